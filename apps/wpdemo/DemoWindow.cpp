#include "DemoWindow.h"

#include "ErrorLog.h"
#include "preview/modPrintDlg.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QStatusBar>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>

// Menu actions carry object names, so that tests and automation find them.
static void name(QAction* action, const char* objectName) {
    action->setObjectName(QLatin1String(objectName));
}

static QString readText(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

static const QString kAppTitle = QStringLiteral("wp demo");
static const QString kRecentKey = QStringLiteral("recentFiles");
static const QString kFileFilter =
    QStringLiteral("Documents (*.rtf *.docx *.wpdoc *.txt);;RTF (*.rtf);;Word documents (*.docx);;"
                   "wp documents (*.wpdoc);;Text (*.txt)");

QString DemoWindow::defaultUserDataDir() {
    const QString app = QCoreApplication::applicationDirPath();
    for (const QString& dir :
         {app + QStringLiteral("/userdata"), app + QStringLiteral("/../share/wp/userdata")}) {
        if (QFileInfo::exists(dir + QStringLiteral("/app.mvdt")))
            return QDir(dir).absolutePath();
    }
    return QString();
}

DemoWindow::DemoWindow(const QString& samplesDir, const QString& userDataDir, QWidget* parent)
    : QMainWindow(parent), m_samples(samplesDir),
      m_userData(userDataDir.isEmpty() ? defaultUserDataDir() : userDataDir),
      m_wp(std::make_unique<wp::clsWP>()) {
    setObjectName(QStringLiteral("wpdemo"));
    m_errors = new ErrorLog(errorLogPath(), this);

    m_tx = new wp::TextControl(this);
    m_tx->setObjectName(QStringLiteral("txDocument"));
    m_tx->setAccessibleName(QStringLiteral("Document"));
    m_tx->editView()->setAccessibleName(QStringLiteral("Document pages"));
    setCentralWidget(m_tx);
    connect(m_tx, &wp::TextControl::documentReplaced, this, &DemoWindow::watchDocument);
    connect(m_tx, &wp::TextControl::pageFormatChanged, this, &DemoWindow::markModified);
    watchDocument();

    try {
        m_wp->setEnvXML(environmentXml());
    } catch (const wp::Error&) {
        failed(QStringLiteral("Reading the environment"));
    }
    m_wp->setOptsXML(readText(m_samples + QStringLiteral("/options.xml")));
    m_wp->setRuntimeXML(readText(m_samples + QStringLiteral("/runtime.xml")));
    m_wp->setMeasurementUnits(2);
    m_wp->setTx(m_tx);

    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    name(file->addAction(QStringLiteral("&New Résumé…"), QKeySequence::New, this,
                         &DemoWindow::newResume),
         "actNew");
    name(file->addAction(QStringLiteral("&Open…"), QKeySequence::Open, this, &DemoWindow::open),
         "actOpen");
    m_recentMenu = file->addMenu(QStringLiteral("Open &Recent"));
    connect(m_recentMenu, &QMenu::aboutToShow, this, &DemoWindow::fillRecentMenu);
    name(file->addAction(QStringLiteral("&Save"), QKeySequence::Save, this, &DemoWindow::save),
         "actSave");
    name(file->addAction(QStringLiteral("Save &As…"),
                         QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), this, &DemoWindow::saveAs),
         "actSaveAs");
    file->addSeparator();
    name(file->addAction(QStringLiteral("Page Set&up…"),
                         QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P), this,
                         &DemoWindow::pageSetup),
         "actPageSetup");
    name(file->addAction(QStringLiteral("Print Pre&view"), QKeySequence(Qt::CTRL | Qt::Key_F2),
                         this, &DemoWindow::printPreview),
         "actPrintPreview");
    name(file->addAction(QStringLiteral("&Print…"), QKeySequence::Print, this, &DemoWindow::print),
         "actPrint");
    file->addSeparator();
    name(file->addAction(QStringLiteral("P&roperties…"), QKeySequence(Qt::ALT | Qt::Key_Return),
                         this, &DemoWindow::resumeProperties),
         "actProperties");
    file->addSeparator();
    name(file->addAction(QStringLiteral("E&xit"), QKeySequence::Quit, this, &QWidget::close),
         "actExit");
    QMenu* insert = menuBar()->addMenu(QStringLiteral("&Insert"));
    name(insert->addAction(QStringLiteral("&Table…"), QKeySequence(Qt::CTRL | Qt::Key_F12), this,
                           &DemoWindow::insertTable),
         "actTable");
    QMenu* format = menuBar()->addMenu(QStringLiteral("F&ormat"));
    name(format->addAction(QStringLiteral("&Header and Footer…"),
                           QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_H), this,
                           &DemoWindow::headerFooter),
         "actHeaderFooter");
    QMenu* tools = menuBar()->addMenu(QStringLiteral("&Tools"));
    name(tools->addAction(QStringLiteral("Cover Letter &Template"), this,
                          &DemoWindow::openCoverLetterTemplate),
         "actCoverLetterTemplate");
    name(tools->addAction(QStringLiteral("Cover Letter &Stepper…"),
                          QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_M), this,
                          &DemoWindow::coverLetterStepper),
         "actStepper");
    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    name(help->addAction(QStringLiteral("&About"), this,
                         [this] {
                             wp::MsgBox(QStringLiteral("wp library version %1\nError log: %2")
                                            .arg(m_wp->Version(),
                                                 QDir::toNativeSeparators(errorLogPath())),
                                        wp::mb::Information, kAppTitle);
                         }),
         "actAbout");

    // The data folder as the user named it: relative when below the current one.
    QString shown = QDir::current().relativeFilePath(m_samples);
    if (shown.startsWith(QStringLiteral("..")))
        shown = m_samples;
    m_status = new QLabel(QStringLiteral("wp %1 — data directory %2")
                              .arg(m_wp->Version(), QDir::toNativeSeparators(shown)));
    statusBar()->addWidget(m_status);

    // The host starts on the sample résumé, its XML kept in the control's
    // Tag (which loading a document leaves alone).
    m_tx->setTag(readText(m_samples + QStringLiteral("/resume.xml")));
    if (!openFile(m_samples + QStringLiteral("/resume.rtf")))
        updateTitle(QStringLiteral("Untitled"));
}

DemoWindow::~DemoWindow() = default;

QString DemoWindow::errorLogPath() const {
    return (m_userData.isEmpty() ? m_samples : m_userData) + QStringLiteral("/wpdemo-errors.log");
}

void DemoWindow::failed(const QString& what) {
    // The error component has shown and logged the report already.
    statusBar()->showMessage(
        QStringLiteral("%1 failed; see %2").arg(what, QDir::toNativeSeparators(errorLogPath())),
        10000);
}

void DemoWindow::watchDocument() {
    QList<QTextDocument*> docs{m_tx->document()};
    for (int flag :
         {wp::hf::Header, wp::hf::FirstPageHeader, wp::hf::Footer, wp::hf::FirstPageFooter})
        docs << m_tx->headerFooterDocument(flag);
    for (QTextDocument* doc : docs)
        if (doc)
            connect(doc, &QTextDocument::contentsChanged, this, &DemoWindow::markModified,
                    Qt::UniqueConnection);
}

void DemoWindow::updateTitle(const QString& name) {
    m_docName = name;
    setWindowTitle(QStringLiteral("%1[*] — %2").arg(name, kAppTitle));
}

void DemoWindow::markSaved() {
    setWindowModified(false);
}

std::unique_ptr<QMessageBox> DemoWindow::saveChangesBox() {
    auto box = std::make_unique<QMessageBox>(
        QMessageBox::Warning, kAppTitle,
        QStringLiteral("The document \"%1\" has changed.").arg(m_docName),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
    box->setObjectName(QStringLiteral("msgSaveChanges"));
    box->setInformativeText(QStringLiteral("Do you want to save your changes?"));
    box->setDefaultButton(QMessageBox::Save);
    box->button(QMessageBox::Save)->setObjectName(QStringLiteral("pbSave"));
    box->button(QMessageBox::Discard)->setObjectName(QStringLiteral("pbDiscard"));
    box->button(QMessageBox::Cancel)->setObjectName(QStringLiteral("pbCancel"));
    return box;
}

bool DemoWindow::maybeSave() {
    if (!isWindowModified())
        return true;
    switch (saveChangesBox()->exec()) {
    case QMessageBox::Save:
        return save();
    case QMessageBox::Discard:
        return true;
    default:
        return false;
    }
}

void DemoWindow::closeEvent(QCloseEvent* event) {
    if (maybeSave())
        event->accept();
    else
        event->ignore();
}

QStringList DemoWindow::recentFiles() const {
    return QSettings().value(kRecentKey).toStringList();
}

void DemoWindow::addRecentFile(const QString& fileName) {
    QStringList files = recentFiles();
    const QString path = QFileInfo(fileName).absoluteFilePath();
    files.removeAll(path);
    files.prepend(path);
    while (files.size() > MaxRecentFiles)
        files.removeLast();
    QSettings().setValue(kRecentKey, files);
}

void DemoWindow::fillRecentMenu() {
    m_recentMenu->clear();
    const QStringList files = recentFiles();
    for (int i = 0; i < files.size(); ++i) {
        const QString path = files[i];
        QAction* a = m_recentMenu->addAction(
            QStringLiteral("&%1 %2").arg(i + 1).arg(QFileInfo(path).fileName()), this,
            [this, path] {
                if (maybeSave())
                    openFile(path);
            });
        a->setObjectName(QStringLiteral("recentFile(%1)").arg(i));
        a->setStatusTip(QDir::toNativeSeparators(path));
    }
    if (files.isEmpty())
        m_recentMenu->addAction(QStringLiteral("(none)"))->setEnabled(false);
}

bool DemoWindow::openFile(const QString& fileName) {
    if (!m_tx->LoadFromFile(fileName)) {
        wp::MsgBox(QStringLiteral("Cannot open %1:\n%2")
                       .arg(QDir::toNativeSeparators(fileName), m_tx->lastError()),
                   wp::mb::Exclamation, kAppTitle);
        return false;
    }
    m_fileName = QFileInfo(fileName).absoluteFilePath();
    m_tx->setCurrentInputPosition(1, 1, 0);
    updateTitle(QFileInfo(fileName).fileName());
    markSaved();
    addRecentFile(fileName);
    return true;
}

void DemoWindow::open() {
    if (!maybeSave())
        return;
    const QString name = QFileDialog::getOpenFileName(
        this, QStringLiteral("Open"), QFileInfo(m_fileName).absolutePath(), kFileFilter);
    if (!name.isEmpty())
        openFile(name);
}

bool DemoWindow::save() {
    if (m_fileName.isEmpty())
        return saveAs();
    if (!m_tx->SaveToFile(m_fileName)) {
        wp::MsgBox(QStringLiteral("Cannot save %1:\n%2")
                       .arg(QDir::toNativeSeparators(m_fileName), m_tx->lastError()),
                   wp::mb::Exclamation, kAppTitle);
        return false;
    }
    markSaved();
    statusBar()->showMessage(QStringLiteral("Saved %1").arg(QDir::toNativeSeparators(m_fileName)),
                             5000);
    return true;
}

bool DemoWindow::saveAs() {
    // A new résumé is offered under its title, in the folder last used.
    QString suggested = m_fileName;
    if (suggested.isEmpty()) {
        static const QRegularExpression unsafe(QStringLiteral(R"([/\\:*?"<>|\x00-\x1F])"));
        QString base = m_docName.trimmed().replace(unsafe, QStringLiteral("_"));
        if (base.isEmpty() || base.startsWith(QLatin1Char('.')))
            base = QStringLiteral("Untitled");
        const QStringList recent = recentFiles();
        const QString dir =
            recent.isEmpty() ? QDir::homePath() : QFileInfo(recent.first()).absolutePath();
        suggested = QDir(dir).filePath(base + QStringLiteral(".rtf"));
    }
    QString name =
        QFileDialog::getSaveFileName(this, QStringLiteral("Save As"), suggested, kFileFilter);
    if (name.isEmpty())
        return false;
    if (wp::TextControl::formatForFile(name) == 0)
        name += QStringLiteral(".rtf");
    const QString old = m_fileName;
    m_fileName = name;
    if (!save()) {
        m_fileName = old;
        return false;
    }
    updateTitle(QFileInfo(name).fileName());
    addRecentFile(name);
    return true;
}

QString DemoWindow::environmentXml() const {
    // The sample environment names the samples folder as the data
    // directories, and the folder of the built template archive as the
    // user's own (the samples folder when there is none).
    QString xml = readText(m_samples + QStringLiteral("/env.xml"));
    const QString dir = QDir(m_samples).absolutePath() + QLatin1Char('/');
    const QString user = m_userData.isEmpty() ? dir : QDir(m_userData).absolutePath() + '/';
    return xml.replace(QStringLiteral("$SAMPLES/"), dir)
        .replace(QStringLiteral("$USERDATA/"), user);
}

QString DemoWindow::pageXml() const {
    return QStringLiteral("<page><page_size width=\"%1\" height=\"%2\"/><doc_margins "
                          "left=\"%3\" top=\"%4\" right=\"%5\" bottom=\"%6\"/></page>")
        .arg(m_tx->PageWidth())
        .arg(m_tx->PageHeight())
        .arg(m_tx->PageMarginL())
        .arg(m_tx->PageMarginT())
        .arg(m_tx->PageMarginR())
        .arg(m_tx->PageMarginB());
}

std::optional<QString> DemoWindow::showDialog(QString (wp::clsWP::*function)(QString&),
                                              QString xml) {
    try {
        return (m_wp.get()->*function)(xml);
    } catch (const wp::Error&) {
        failed(QStringLiteral("The dialog"));
        return std::nullopt;
    }
}

void DemoWindow::pageSetup() {
    const std::optional<QString> result = showDialog(&wp::clsWP::PageDialogShow, pageXml());
    if (!result || result->isEmpty())
        return; // failed or cancelled
    wp::KXml doc;
    doc.LoadXml(*result);
    const wp::KXmlRef size = doc.ChildNode(QStringLiteral("page_size"));
    const wp::KXmlRef margins = doc.ChildNode(QStringLiteral("doc_margins"));
    if (!size || !margins)
        return;
    wp::PageFormat format = m_tx->pageFormat();
    format.width = size->AttributeValue(QStringLiteral("width")).toInt();
    format.height = size->AttributeValue(QStringLiteral("height")).toInt();
    format.marginL = margins->AttributeValue(QStringLiteral("left")).toInt();
    format.marginT = margins->AttributeValue(QStringLiteral("top")).toInt();
    format.marginR = margins->AttributeValue(QStringLiteral("right")).toInt();
    format.marginB = margins->AttributeValue(QStringLiteral("bottom")).toInt();
    m_tx->setPageFormat(format);
}

void DemoWindow::headerFooter() {
    // The dialog sets the document control itself; its result is always "".
    showDialog(&wp::clsWP::HeaderPropertiesShow);
}

void DemoWindow::insertTable() {
    const std::optional<QString> result = showDialog(&wp::clsWP::TableDialogShow);
    if (!result || result->isEmpty())
        return; // failed or cancelled
    wp::KXml doc;
    doc.LoadXml(*result);
    const QString id = doc.ChildValue(QStringLiteral("table_id"));
    if (id.toInt() > 0) {
        statusBar()->showMessage(QStringLiteral("Table %1 inserted").arg(id), 5000);
        return;
    }
    // The control refused the table (id 0): say why rather than claim it.
    wp::MsgBox(m_tx->textCursor().currentTable()
                   ? QStringLiteral("No table was inserted: the caret is inside a table, and a "
                                    "table is not put into another here. Move the caret out of "
                                    "the table and insert it again.")
                   : QStringLiteral("No table was inserted: the document holds as many table "
                                    "cells as it can."),
               wp::mb::Information, kAppTitle);
}

void DemoWindow::printPreview() {
    showDialog(&wp::clsWP::PrintPreviewShow);
}

void DemoWindow::print() {
    qint32 flags = wp::modPrintDlg::PD_RETURNDC;
    try {
        const wp::modPrintDlg::PRINTDLG_TYPE done = wp::modPrintDlg::PrintDialogTX(m_tx, flags);
        if (done.accepted)
            statusBar()->showMessage(QStringLiteral("%1 print job(s) sent").arg(done.jobsPrinted),
                                     5000);
    } catch (const wp::Error&) {
        failed(QStringLiteral("Printing"));
    }
}

void DemoWindow::resumeProperties() {
    const std::optional<QString> result = showDialog(&wp::clsWP::ResumePropertiesShow);
    if (!result || result->isEmpty())
        return; // failed, or nothing to store
    m_tx->setTag(*result);
    setWindowModified(true);
    // The properties travel with the document when it is saved as RTF.
    wp::KXml doc;
    doc.LoadXml(*result);
    if (const wp::KXmlRef props = doc.SelectNode(QStringLiteral("props"))) {
        for (const QString& key :
             {wp::info::Title, wp::info::Subject, wp::info::Author, wp::info::Manager,
              wp::info::Company, wp::info::Category, wp::info::Keywords, wp::info::Comments})
            m_tx->setDocumentProperty(key, props->ChildValue(key));
    }
}

void DemoWindow::newResume() {
    if (!maybeSave())
        return;
    QString unused;
    QString title;
    try {
        title = m_wp->ResumeTitleRetrieve(unused);
    } catch (const wp::Error& e) {
        wp::MsgBox(e.description, wp::mb::Exclamation, kAppTitle);
        return;
    }
    if (title.isEmpty())
        return; // cancelled
    m_tx->LoadFromMemory(QByteArray(), wp::fmt::PlainText);
    wp::KXml resume;
    resume.CreateRoot(QStringLiteral("resume"));
    resume.SetChildValue(QStringLiteral("name"), title);
    resume.AddChild(QStringLiteral("props"))->SetChildValue(QStringLiteral("title"), title);
    m_tx->setTag(resume.Xml());
    m_tx->setDocumentProperty(wp::info::Title, title);
    m_fileName.clear();
    updateTitle(title);
    markSaved();
}
