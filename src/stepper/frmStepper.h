#pragma once
// The cover letter stepper: the template being edited, merged with one job
// application of the data set at a time, stepped through from a toolbar.

#include "forms/FormSupport.h"
#include "wp/KXml.h"

#include <QMainWindow>
#include <QPointer>
#include <QString>

class QAction;
class QLabel;
class QStatusBar;
class QToolBar;

namespace wp {

class TextControl;
namespace modWP {
class ImageManager;
class StatusPanes;
} // namespace modWP

class frmStepper : public FormWindow<frmStepper, QMainWindow> {
    Q_OBJECT
public:
    /// The most steps a data set holds, and the most of them from the database.
    static constexpr qint32 MaxSteps = 100;
    /// The query of the newest stored cover letters, to the letter.
    static const QString StepperQuery;
    static constexpr const char* SampleEntry = "cvl_data.xml";

    /// Builds the data set: the stored cover letters of the database file
    /// `dbPath` (rows that are empty or not XML skipped without a number,
    /// their "template" element removed), then the samples of entry
    /// "cvl_data.xml" of the archive `archivePath`, up to MaxSteps. Returns a
    /// `steps` document of `job_app` elements numbered by `idx` from 1. A
    /// database that cannot be read throws its error.
    static KXmlRef BuildStepSet(const QString& dbPath, const QString& archivePath);

    explicit frmStepper(QWidget* parent = nullptr);
    ~frmStepper() override;

    /// The host's control. Setting it loads the window on first touch and
    /// copies the host document into the preview.
    TextControl* tx() const;
    void setTx(TextControl* tx);

    /// One navigation command by key ("keyStepFirst", "keyStepPrev",
    /// "keyStepNext", "keyStepLast", "keyStepReset" closes the window).
    void DoStepper(const QString& strButtonKey);
    /// Builds m_kxmlStep from the library's data directories; the count.
    qint32 StepperDataLoad();
    /// Reloads the preview from the host document and merges step `XML`.
    void StepDataLoad(const KXmlRef& XML);
    void StatusBarCreate();

    qint32 StepCount() const { return m_lngStepCount; }
    KXmlRef Steps() const { return m_kxmlStep; }
    TextControl* Preview() const { return txStep; }

    QString DumpModuleVariables() const override;

private:
    void Form_Load();
    bool Form_QueryUnload() override;
    /// A key or typed text for the letter: true when it is kept from it.
    bool txStep_Key(QEvent* e);
    void cmd_Execute(QAction* control);
    void txStep_FieldSetCursor(int FieldId, int& MousePointer);
    void CopyHostDocument();
    void SetCounter(qint32 k);

    // Window state, in the order reports dump it.
    QStatusBar* m_oStatusBar = nullptr;
    QAction* m_ctlStepIndex = nullptr;
    QLabel* m_panStatus = nullptr;
    qint32 m_lngStepCount = 0;
    KXmlRef m_kxmlStep;
    QPointer<TextControl> m_tx;

    bool m_blnLoaded = false;
    TextControl* txStep = nullptr;
    QToolBar* m_toolbar = nullptr;
    modWP::ImageManager* imlMain = nullptr;
    modWP::StatusPanes* m_panes = nullptr;
};

} // namespace wp
