#include "DemoWindow.h"

#include "dialogs/frmPageDlg.h"
#include "dialogs/frmResumeProps.h"
#include "dialogs/frmResumeTitle.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QVBoxLayout>

static QString readText(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

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
    setWindowTitle(QStringLiteral("wp demo"));

    m_tx = new wp::TextControl(this);
    setCentralWidget(m_tx);

    try {
        m_wp->setEnvXML(environmentXml());
    } catch (const wp::Error& e) {
        QMessageBox::warning(this, windowTitle(), e.description);
    }
    m_wp->setOptsXML(readText(m_samples + QStringLiteral("/options.xml")));
    m_wp->setRuntimeXML(readText(m_samples + QStringLiteral("/runtime.xml")));
    m_wp->setMeasurementUnits(2);
    m_wp->setTx(m_tx);

    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(QStringLiteral("&New Résumé…"), QKeySequence::New, this,
                    &DemoWindow::newResume);
    file->addAction(QStringLiteral("&Open…"), QKeySequence::Open, this, &DemoWindow::open);
    file->addAction(QStringLiteral("&Save"), QKeySequence::Save, this, &DemoWindow::save);
    file->addAction(QStringLiteral("Save &As…"), QKeySequence::SaveAs, this, &DemoWindow::saveAs);
    file->addSeparator();
    file->addAction(QStringLiteral("Page Set&up…"), this, &DemoWindow::pageSetup);
    file->addAction(QStringLiteral("P&roperties…"), this, &DemoWindow::resumeProperties);
    file->addAction(QStringLiteral("E&xit"), this, &QWidget::close);
    QMenu* tools = menuBar()->addMenu(QStringLiteral("&Tools"));
    tools->addAction(QStringLiteral("Cover Letter &Template"), this,
                     &DemoWindow::openCoverLetterTemplate);
    tools->addAction(QStringLiteral("Cover Letter &Stepper…"), this,
                     &DemoWindow::coverLetterStepper);
    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->addAction(QStringLiteral("&About"), this, [this] {
        QMessageBox::about(this, windowTitle(),
                           QStringLiteral("wp library version %1").arg(m_wp->Version()));
    });

    m_status = new QLabel(QStringLiteral("wp %1 — data directory %2")
                              .arg(m_wp->Version(), QDir::toNativeSeparators(m_samples)));
    statusBar()->addWidget(m_status);

    // The host starts on the sample résumé, its XML kept in the control's
    // Tag (which loading a document leaves alone).
    m_tx->setTag(readText(m_samples + QStringLiteral("/resume.xml")));
    openFile(m_samples + QStringLiteral("/resume.rtf"));
}

static const QString kFileFilter =
    QStringLiteral("Documents (*.rtf *.wpdoc *.txt);;RTF (*.rtf);;wp documents (*.wpdoc)");

bool DemoWindow::openFile(const QString& fileName) {
    if (!m_tx->LoadFromFile(fileName)) {
        QMessageBox::warning(this, windowTitle(),
                             QStringLiteral("Cannot open %1:\n%2")
                                 .arg(QDir::toNativeSeparators(fileName), m_tx->lastError()));
        return false;
    }
    m_fileName = fileName;
    m_tx->setCurrentInputPosition(1, 1, 0);
    setWindowTitle(QStringLiteral("wp demo — %1").arg(QFileInfo(fileName).fileName()));
    return true;
}

void DemoWindow::open() {
    const QString name = QFileDialog::getOpenFileName(
        this, QStringLiteral("Open"), QFileInfo(m_fileName).absolutePath(), kFileFilter);
    if (!name.isEmpty())
        openFile(name);
}

bool DemoWindow::save() {
    if (m_fileName.isEmpty())
        return saveAs();
    if (!m_tx->SaveToFile(m_fileName)) {
        QMessageBox::warning(this, windowTitle(),
                             QStringLiteral("Cannot save %1:\n%2")
                                 .arg(QDir::toNativeSeparators(m_fileName), m_tx->lastError()));
        return false;
    }
    return true;
}

bool DemoWindow::saveAs() {
    QString name =
        QFileDialog::getSaveFileName(this, QStringLiteral("Save As"), m_fileName, kFileFilter);
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
    setWindowTitle(QStringLiteral("wp demo — %1").arg(QFileInfo(name).fileName()));
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

void DemoWindow::pageSetup() {
    QString xml = pageXml();
    QString result;
    try {
        result = m_wp->PageDialogShow(xml);
    } catch (const wp::Error& e) {
        QMessageBox::warning(this, windowTitle(), e.description);
        return;
    }
    if (result.isEmpty())
        return; // cancelled
    wp::KXml doc;
    doc.LoadXml(result);
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

void DemoWindow::resumeProperties() {
    QString unused;
    QString result;
    try {
        result = m_wp->ResumePropertiesShow(unused);
    } catch (const wp::Error& e) {
        QMessageBox::warning(this, windowTitle(), e.description);
        return;
    }
    if (result.isEmpty())
        return; // nothing to store
    m_tx->setTag(result);
    // The properties travel with the document when it is saved as RTF.
    wp::KXml doc;
    doc.LoadXml(result);
    if (const wp::KXmlRef props = doc.SelectNode(QStringLiteral("props"))) {
        for (const QString& key :
             {wp::info::Title, wp::info::Subject, wp::info::Author, wp::info::Manager,
              wp::info::Company, wp::info::Category, wp::info::Keywords, wp::info::Comments})
            m_tx->setDocumentProperty(key, props->ChildValue(key));
    }
}

void DemoWindow::newResume() {
    QString unused;
    const QString title = m_wp->ResumeTitleRetrieve(unused);
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
    setWindowTitle(QStringLiteral("wp demo — %1").arg(title));
}

QStringList DemoWindow::writeScreenshots(const QString& dir) {
    QDir().mkpath(dir);
    QStringList paths;
    const QString main = dir + QStringLiteral("/wpdemo.png");
    if (grab().save(main))
        paths << main;
    {
        // The editing view with its caret, scrolled to the first page break.
        activateWindow();
        m_tx->setFocus();
        QCoreApplication::processEvents();
        m_tx->setCurrentInputPosition(std::min(2, m_tx->CurrentPages()), 1, 0);
        const QString shot = dir + QStringLiteral("/wpdemo-editor.png");
        if (m_tx->editView()->grab().save(shot))
            paths << shot;
        m_tx->setCurrentInputPosition(1, 1, 0);
    }
    {
        // Loaded with the document's page, drawn without running it modally.
        wp::frmPageDlg page;
        page.Load(pageXml());
        const QString shot = dir + QStringLiteral("/frmPageDlg.png");
        if (page.grab().save(shot))
            paths << shot;
    }
    paths << stepperScreenshots(dir);
    {
        // The properties of the sample résumé, one picture a tab.
        wp::frmResumeProps props;
        props.Load(m_tx->Tag());
        auto* tabs = props.findChild<QTabWidget*>(QStringLiteral("tabProps"));
        props.show();
        for (int i = 0; tabs && i < tabs->count(); ++i) {
            tabs->setCurrentIndex(i);
            QCoreApplication::processEvents();
            const QString shot =
                dir + QStringLiteral("/frmResumeProps-%1.png").arg(tabs->widget(i)->objectName());
            if (props.grab().save(shot))
                paths << shot;
        }
        props.hide();
    }
    {
        wp::frmResumeTitle title;
        if (auto* field = title.findChild<QLineEdit*>(QStringLiteral("feTitle")))
            field->setText(QStringLiteral("Résumé for Northwind, 2026"));
        const QString shot = dir + QStringLiteral("/frmResumeTitle.png");
        if (title.grab().save(shot))
            paths << shot;
    }
    return paths;
}
