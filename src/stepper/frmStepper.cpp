#include "stepper/frmStepper.h"

#include "core/modWP.h"
#include "document/pages/PageView.h"
#include "forms/FormSupport.h"
#include "forms/StatusPanes.h"
#include "stepper/TemplateMerge.h"
#include "wp/Recordset.h"
#include "wp/TextControl.h"
#include "wp/cADO.h"
#include "wp/cUtil.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QScopeGuard>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>

namespace wp {

using modvbCodeShieldSupport::Guard;
using namespace modWP;

const QString frmStepper::StepperQuery = QStringLiteral(
    "SELECT TOP 20 memDraftCoverLetter FROM tblJobApplications ORDER BY dtmCreated DESC ;");

namespace {
// Toolbar commands: id, key, caption, description, begins a group, icon.
struct StepCommand {
    qint32 id;
    const char* key;
    const char* caption;
    const char* description;
    bool group;
    qint32 icon;
};
constexpr qint32 CounterId = 1094;
constexpr StepCommand kCommands[] = {
    {1091, "keyStepReset", "Close", "Close the data preview form", false, 1112},
    {1092, "keyStepFirst", "First", "Go to the first cover letter in the data set", true, 0},
    {1093, "keyStepPrev", "Previous", "Go to the previous cover letter in the data set", false, 0},
    {CounterId, nullptr, "0 of 0", nullptr, false, 0},
    {1095, "keyStepNext", "Next", "Go to the next cover letter in the data set", false, 0},
    {1096, "keyStepLast", "Last", "Go to the last cover letter in the data set", false, 0},
};

constexpr int PointerHourglass = 11;
constexpr int PointerNoDrop = 12;

// A size attribute of the runtime XML: a whole number, "" reads as 0.
qint32 sizeAttribute(const KXmlRef& node, const QString& name) {
    if (!node)
        return 0;
    const QString text = node->AttributeValue(name).trimmed();
    if (text.isEmpty())
        return 0;
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok)
        raise(err::TypeMismatch);
    if (value > 2147483647.0 || value < -2147483648.0)
        raise(err::Overflow);
    return qint32(qRound64(value));
}

// Keys that would change the letter: the preview shows it, nothing more.
bool editsText(const QKeyEvent* k) {
    static constexpr QKeySequence::StandardKey edits[] = {QKeySequence::Cut,
                                                          QKeySequence::Paste,
                                                          QKeySequence::Undo,
                                                          QKeySequence::Redo,
                                                          QKeySequence::Delete,
                                                          QKeySequence::DeleteStartOfWord,
                                                          QKeySequence::DeleteEndOfWord,
                                                          QKeySequence::DeleteEndOfLine,
                                                          QKeySequence::DeleteCompleteLine};
    for (const auto seq : edits)
        if (k->matches(seq))
            return true;
    switch (k->key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return true;
    default:
        break;
    }
    const QString text = k->text();
    return !text.isEmpty() && text.at(0).isPrint() &&
           !(k->modifiers() & (Qt::ControlModifier | Qt::MetaModifier));
}
} // namespace

KXmlRef frmStepper::BuildStepSet(const QString& dbPath, const QString& archivePath) {
    KXmlRef steps;
    qint32 lngCount = 0;
    {
        cADO ado;
        ado.setDbname(dbPath);
        const RecordsetRef rs =
            ado.GetRS(StepperQuery, ado::adOpenForwardOnly, ado::adLockReadOnly, ado::adUseClient);
        if (rs && !(rs->BOF() && rs->EOF_())) {
            rs->MoveFirst();
            steps = std::make_shared<KXml>();
            steps->CreateRoot(QStringLiteral("steps"));
            while (!rs->EOF_()) {
                const QString text = rs->Text(QStringLiteral("memDraftCoverLetter"));
                auto node = std::make_shared<KXml>();
                if (node->LoadXml(text)) {
                    ++lngCount;
                    node->SetAttribute(QStringLiteral("idx"), QString::number(lngCount));
                    node->RemoveChild(QStringLiteral("template"));
                    steps->AppendNode(node);
                }
                rs->MoveNext();
            }
        }
    }
    if (!steps) {
        steps = std::make_shared<KXml>();
        steps->CreateRoot(QStringLiteral("steps"));
    }
    const QString sample = cUtil().ReadEntry(archivePath, QString::fromLatin1(SampleEntry));
    if (!sample.isEmpty()) {
        auto samples = std::make_shared<KXml>();
        samples->LoadXml(sample);
        if (samples->ChildCount() > 0) {
            while (KXmlRef node = samples->ChildAt(0)) {
                ++lngCount;
                node->SetAttribute(QStringLiteral("idx"), QString::number(lngCount));
                steps->AppendNode(node);
                if (lngCount >= MaxSteps)
                    break;
            }
        }
    }
    return steps;
}

frmStepper::frmStepper(QWidget* parent)
    : FormWindow("frmStepper", QStringLiteral("Template Preview"), parent) {
    setFont(QFont(QStringLiteral("Arial"), 9));
    txStep = new TextControl(this);
    txStep->setObjectName(QStringLiteral("txStep"));
    setCentralWidget(txStep);
    watch(txStep->editView(), [this](QEvent* e) { return txStep_Key(e); });
    if (auto* view = qobject_cast<PageView*>(txStep->editView()))
        view->setReadOnly(true); // a preview of the letter: no caret
    txStep->editView()->setAccessibleName(tr("Letter preview"));
    connect(txStep, &TextControl::FieldSetCursor, this,
            [this](int id, int& pointer) { txStep_FieldSetCursor(id, pointer); });
    imlMain = new ImageManager(this);
    imlMain->setObjectName(QStringLiteral("imlMain"));
    imlMain->SetIcon(1112, QIcon::fromTheme(QStringLiteral("window-close"),
                                            style()->standardIcon(QStyle::SP_DialogCloseButton)));
}

frmStepper::~frmStepper() = default;

QString frmStepper::DumpModuleVariables() const {
    return dump::var(QStringLiteral("m_oStatusBar"), m_oStatusBar) +
           dump::var(QStringLiteral("m_ctlStepIndex"), m_ctlStepIndex) +
           dump::var(QStringLiteral("m_panStatus"), m_panStatus) +
           dump::var(QStringLiteral("m_lngStepCount"), m_lngStepCount) +
           dump::var(QStringLiteral("m_kxmlStep"), m_kxmlStep) +
           dump::var(QStringLiteral("m_tx"), m_tx);
}

TextControl* frmStepper::tx() const {
    return m_tx.data();
}

void frmStepper::setTx(TextControl* vData) {
    // Touching the window loads it, before the property itself runs.
    if (!m_blnLoaded)
        Form_Load();
    Guard g("frmStepper", "tx", this);
    g.param(QStringLiteral("vData"), vData);
    g.run([&] {
        m_tx = vData;
        if (m_tx)
            CopyHostDocument();
    });
}

void frmStepper::CopyHostDocument() {
    if (!m_tx)
        wp::raise(err::ObjectNotSet);
    txStep->LoadFromMemory(m_tx->SaveToMemory(fmt::Native, false), fmt::Native, false);
}

void frmStepper::Form_Load() {
    Guard g("frmStepper", "Form_Load", this);
    g.run([&] {
        m_blnLoaded = true;
        QApplication::setOverrideCursor(PageView::cursorShape(PointerHourglass));
        auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });

        const QScreen* screen = QGuiApplication::primaryScreen();
        const double dpiX = screen ? screen->logicalDotsPerInchX() : 96.0;
        const double dpiY = screen ? screen->logicalDotsPerInchY() : 96.0;
        // The window never gets smaller than 600 × 384 pixels.
        setMinimumSize(600, 384);

        KXmlRef runmode = g_kxmlJdata ? g_kxmlJdata->ChildNode(QStringLiteral("runmode")) : nullptr;
        KXmlRef formsize =
            runmode ? runmode->FindNode(QStringLiteral("template_stepper_formsize")) : nullptr;
        setProperty("ScaleMode", sizeAttribute(formsize, QStringLiteral("scale_mode")));
        const qint32 width = sizeAttribute(formsize, QStringLiteral("width"));
        const qint32 height = sizeAttribute(formsize, QStringLiteral("height"));
        if (width != 0) {
            resize(qRound(width * dpiX / 1440.0), qRound(height * dpiY / 1440.0));
        } else {
            const QSize s = screen ? screen->geometry().size() : QSize(1280, 1024);
            resize(qRound(s.width() * 0.6), qRound(s.height() * 0.7));
        }

        m_toolbar = new QToolBar(QStringLiteral("Stepper"), this);
        m_toolbar->setObjectName(QStringLiteral("Stepper"));
        m_toolbar->setMovable(false);
        m_toolbar->setIconSize(QSize(16, 16));
        addToolBar(Qt::TopToolBarArea, m_toolbar);
        for (const StepCommand& c : kCommands) {
            if (c.id == CounterId) {
                m_ctlStepIndex =
                    AddButton(m_toolbar, xtpControlLabel, c.id, QString::fromLatin1(c.caption),
                              c.group, QString(), xtpButtonCaption, QStringLiteral("Controls"),
                              true, 0, std::nullopt, true);
                continue;
            }
            QAction* a =
                AddButton(m_toolbar, xtpControlButton, c.id, QString::fromLatin1(c.caption),
                          c.group, QString::fromLatin1(c.description), xtpButtonIconAndCaption,
                          QStringLiteral("Controls"), true, c.icon, std::nullopt, true);
            a->setProperty("key", QString::fromLatin1(c.key));
            if (c.id == 1091)
                a->setShortcut(QKeySequence(Qt::Key_Escape));
        }
        setTabOrder(forms::reachByKeyboard(m_toolbar), txStep->editView());
        connect(m_toolbar, &QToolBar::actionTriggered, this,
                [this](QAction* control) { cmd_Execute(control); });

        txStep->setVisible(true);
        StatusBarCreate();
        txStep->setViewMode(2);

        StepperDataLoad();
        if (m_lngStepCount > 0)
            SetCounter(1);
    });
}

void frmStepper::StatusBarCreate() {
    Guard g("frmStepper", "StatusBarCreate", this);
    g.run([&] {
        m_oStatusBar = statusBar();
        m_oStatusBar->setObjectName(QStringLiteral("StatusBar"));
        m_panes = new StatusPanes(m_oStatusBar, QStringLiteral("Ready"));
        m_panStatus = m_panes->AddPane(0, 160, QString(), true);
        for (qint32 id = 1; id <= 3; ++id)
            m_panes->AddPane(id, 48, QString());
        m_panes->AddPane(4, 48, QStringLiteral("100%"));
        m_panes->AddIndicator(ID_INDICATOR_CAPS);
        m_panes->AddIndicator(ID_INDICATOR_NUM);
        m_panes->AddIndicator(ID_INDICATOR_SCRL);
        m_oStatusBar->setVisible(true);
    });
}

qint32 frmStepper::StepperDataLoad() {
    Guard g("frmStepper", "StepperDataLoad", this);
    return g.run([&] {
        m_kxmlStep = BuildStepSet(g_strDataDir + QStringLiteral("mv.mdb"),
                                  g_strThisUserMorvaleDataDir + QStringLiteral("app.mvdt"));
        m_lngStepCount = m_kxmlStep->ChildCount();
        return m_lngStepCount;
    });
}

void frmStepper::StepDataLoad(const KXmlRef& XML) {
    Guard g("frmStepper", "StepDataLoad", this);
    g.param(QStringLiteral("XML"), XML);
    g.run([&] {
        if (!m_tx)
            wp::raise(err::ObjectNotSet);
        txStep->setUpdatesEnabled(false);
        auto reload = qScopeGuard([this] { txStep->setUpdatesEnabled(true); });
        if (txStep->LoadFromMemory(m_tx->SaveToMemory(fmt::Native, false), fmt::Native, false))
            LoadJobAppTemplateFields(txStep, XML);
    });
}

void frmStepper::SetCounter(qint32 k) {
    m_ctlStepIndex->setText(QStringLiteral("%1 of %2").arg(k).arg(m_lngStepCount));
}

void frmStepper::DoStepper(const QString& strButtonKey) {
    qint32 lngStep = 0;
    KXmlRef kxmlStep;
    Guard g("frmStepper", "DoStepper", this);
    g.local(QStringLiteral("lngStep"), lngStep)
        .local(QStringLiteral("kxmlStep"), kxmlStep)
        .param(QStringLiteral("strButtonKey"), strButtonKey);
    g.run([&] {
        if (strButtonKey == QStringLiteral("keyStepReset")) {
            close();
            return;
        }
        if (!m_ctlStepIndex)
            wp::raise(err::ObjectNotSet);
        // The counter's caption is the only record of where we are.
        const qint32 k = m_ctlStepIndex->text().section(u' ', 0, 0).toInt();
        const qint32 n = m_lngStepCount;
        lngStep = 0;
        if (strButtonKey == QStringLiteral("keyStepFirst"))
            lngStep = 1;
        else if (strButtonKey == QStringLiteral("keyStepPrev"))
            lngStep = k - 1 >= 1 ? k - 1 : 0;
        else if (strButtonKey == QStringLiteral("keyStepNext"))
            lngStep = k + 1 <= n ? k + 1 : 0;
        else if (strButtonKey == QStringLiteral("keyStepLast"))
            lngStep = n;
        if (lngStep > 0 && m_kxmlStep) {
            kxmlStep = m_kxmlStep->FindByAttribute(nullptr, QStringLiteral("job_app"),
                                                   QStringLiteral("idx"), QString::number(lngStep));
            if (kxmlStep) {
                StepDataLoad(kxmlStep);
                SetCounter(lngStep);
            }
        }
        txStep->setCurrentInputPosition(1, 1, 0);
    });
}

void frmStepper::cmd_Execute(QAction* control) {
    Guard g("frmStepper", "cmd_Execute", this);
    g.param(QStringLiteral("Control"), static_cast<QObject*>(control));
    g.runEvent([&] {
        const QString key = control ? control->property("key").toString() : QString();
        if (!key.isEmpty())
            DoStepper(key);
    });
}

void frmStepper::txStep_FieldSetCursor(int FieldId, int& MousePointer) {
    Guard g("frmStepper", "txStep_FieldSetCursor", this);
    g.param(QStringLiteral("FieldId"), FieldId).param(QStringLiteral("MousePointer"), MousePointer);
    g.runEvent([&] { MousePointer = PointerNoDrop; });
}

bool frmStepper::txStep_Key(QEvent* e) {
    if (e->type() == QEvent::InputMethod)
        return !static_cast<QInputMethodEvent*>(e)->commitString().isEmpty();
    if (e->type() != QEvent::KeyPress)
        return false;
    const auto* key = static_cast<QKeyEvent*>(e);
    // Tab leaves the letter for the tool bar, as in any read-only view.
    if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
        if (!(key->modifiers() & Qt::ControlModifier))
            focusNextPrevChild(key->key() == Qt::Key_Tab &&
                               !(key->modifiers() & Qt::ShiftModifier));
        return true;
    }
    return editsText(key);
}

bool frmStepper::Form_QueryUnload() {
    Guard g("frmStepper", "Form_QueryUnload", this);
    g.runEvent([&] {
        m_oStatusBar = nullptr;
        m_panStatus = nullptr;
        m_tx = nullptr;
        m_ctlStepIndex = nullptr;
        m_kxmlStep.reset();
    });
    return true; // never refused
}

} // namespace wp
