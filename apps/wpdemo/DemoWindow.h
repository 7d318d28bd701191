#pragma once

#include "wp/wp.h"

#include <QMainWindow>
#include <QStringList>
#include <memory>

class QLabel;

/// The demo host's main window: owns the document and a clsWP, and offers
/// the library's dialogs from its menus.
class DemoWindow : public QMainWindow {
    Q_OBJECT
public:
    /// `userDataDir` is the this-user data folder (the template archive
    /// app.mvdt); "" looks for the one built or installed beside the program.
    explicit DemoWindow(const QString& samplesDir, const QString& userDataDir = QString(),
                        QWidget* parent = nullptr);

    /// The this-user data folder found beside the program: "userdata" in the
    /// build folder, or share/wp/userdata of an installation ("" if neither).
    static QString defaultUserDataDir();

    /// Screenshots of the main window and of each dialog; returns the paths.
    QStringList writeScreenshots(const QString& dir);

private:
    QString environmentXml() const;
    /// The document's page size and margins as page XML, in twips.
    QString pageXml() const;
    /// File > Page Setup...: the page dialog over the document's page format.
    void pageSetup();
    /// Tools > Cover Letter Template: the sample template into the editor.
    void openCoverLetterTemplate();
    /// Tools > Cover Letter Stepper...: the stepper over the current document.
    void coverLetterStepper();
    /// The stepper on step 1 and on the first step with missing values.
    QStringList stepperScreenshots(const QString& dir);
    /// File > Properties...: the résumé XML kept in the control's Tag; what
    /// Save returns is stored there and its properties go into the document.
    void resumeProperties();
    /// File > New Résumé...: an empty résumé under the title asked for.
    void newResume();
    /// File > Open, Save, Save As: RTF, native (.wpdoc) and text files.
    bool openFile(const QString& fileName);
    void open();
    bool save();
    bool saveAs();

    QString m_samples;
    QString m_userData;
    std::unique_ptr<wp::clsWP> m_wp;
    wp::TextControl* m_tx = nullptr;
    QLabel* m_status = nullptr;
    QString m_fileName; // the document's file ("" for a new one)
};
