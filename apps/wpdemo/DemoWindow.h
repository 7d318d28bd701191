#pragma once

#include "wp/wp.h"

#include <QMainWindow>
#include <QStringList>
#include <memory>
#include <optional>

class QLabel;
class QMenu;
class QMessageBox;
class ErrorLog;

/// The demo host's main window: owns the document and a clsWP, and offers
/// the library's dialogs from its menus.
class DemoWindow : public QMainWindow {
    Q_OBJECT
public:
    /// `userDataDir` is the this-user data folder (the template archive
    /// app.mvdt, the error log); "" looks for the one built or installed
    /// beside the program.
    explicit DemoWindow(const QString& samplesDir, const QString& userDataDir = QString(),
                        QWidget* parent = nullptr);
    ~DemoWindow() override;

    /// The this-user data folder found beside the program: "userdata" in the
    /// build folder, or share/wp/userdata of an installation ("" if neither).
    static QString defaultUserDataDir();
    /// How many files File > Open Recent keeps.
    static constexpr int MaxRecentFiles = 5;

    /// Screenshots of the main window and of each dialog; returns the paths.
    /// With `hiDpiOnly`, only the editor and the preview, named "<window>@2x"
    /// (for a run at device pixel ratio 2).
    QStringList writeScreenshots(const QString& dir, bool hiDpiOnly = false);

    /// Loads a document (RTF, native .wpdoc or text) without asking about
    /// unsaved changes; a failure is shown and leaves the document as it was.
    bool openFile(const QString& fileName);
    /// Saves to the document's file (Save As for a new one).
    bool save();
    /// The document's file ("" for a new one).
    QString fileName() const { return m_fileName; }
    /// The files of File > Open Recent, newest first.
    QStringList recentFiles() const;
    /// Where the errs.Error component appends its reports.
    QString errorLogPath() const;
    wp::TextControl* textControl() const { return m_tx; }
    wp::clsWP* wp() const { return m_wp.get(); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QString environmentXml() const;
    /// Runs one of clsWP's dialog functions; a failure (already reported
    /// by the error component) gives no result.
    std::optional<QString> showDialog(QString (wp::clsWP::*function)(QString&), QString xml = {});
    /// The document's page size and margins as page XML, in twips.
    QString pageXml() const;
    /// File > Page Setup...: the page dialog over the document's page format.
    void pageSetup();
    /// Format > Header and Footer...: distances and first page, set on the document.
    void headerFooter();
    /// Insert > Table...: a table at the caret; its id goes to the status bar.
    void insertTable();
    /// File > Print Preview: the library's preview over the document.
    void printPreview();
    /// File > Print: straight to the print dialog.
    void print();
    /// Tools > Cover Letter Template: the sample template into the editor.
    void openCoverLetterTemplate();
    /// Tools > Cover Letter Stepper...: the stepper over the current document.
    void coverLetterStepper();
    /// File > Properties...: the résumé XML kept in the control's Tag; what
    /// Save returns is stored there and its properties go into the document.
    void resumeProperties();
    /// File > New Résumé...: an empty résumé under the title asked for.
    void newResume();
    void open();
    bool saveAs();
    /// Asks whether to save a modified document: false when the user
    /// cancels (or the save fails), so the caller must leave things as they are.
    bool maybeSave();
    /// "Do you want to save your changes?" with Save, Discard and Cancel.
    std::unique_ptr<QMessageBox> saveChangesBox();
    /// The document is as on disk: the title loses its modified marker.
    void markSaved();
    void markModified() { setWindowModified(true); }
    /// Watches the body and the header and footer areas for changes.
    void watchDocument();
    /// The window title: the document's name and the modified marker.
    void updateTitle(const QString& name);
    void addRecentFile(const QString& fileName);
    void fillRecentMenu();
    void failed(const QString& what);

    // Screenshot helpers (DemoScreenshots.cpp, StepperDemo.cpp).
    QStringList previewScreenshots(const QString& dir, const QString& suffix);
    QStringList stepperScreenshots(const QString& dir);
    QString printDialogScreenshot(const QString& dir);
    QString editorScreenshot(const QString& dir, const QString& suffix);
    /// The demo's own message boxes: unsaved changes, and a library failure.
    QStringList messageScreenshots(const QString& dir);

    QString m_samples;
    QString m_userData;
    std::unique_ptr<wp::clsWP> m_wp;
    wp::TextControl* m_tx = nullptr;
    QLabel* m_status = nullptr;
    QMenu* m_recentMenu = nullptr;
    ErrorLog* m_errors = nullptr;
    QString m_fileName; // the document's file ("" for a new one)
    QString m_docName;  // its name in the title bar and the prompts
};
