#include "dialogs/frmResumeProps.h"

#include "core/modWP.h"
#include "wp/cUtil.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTabWidget>

namespace wp {

using forms::arrayName;
using forms::ignoringFailure;
using modvbCodeShieldSupport::Guard;
using modWP::g_blnInIDE;

namespace {
// The summary fields: their keys in `props` and their labels, in order.
struct SummaryRow {
    const char* key;
    const char* label;
};
constexpr SummaryRow kSummary[6] = {{"title", "Title:"},     {"subject", "Subject:"},
                                    {"author", "Author:"},   {"manager", "Manager:"},
                                    {"company", "Company:"}, {"category", "Category:"}};

// The tab pages: control name, caption, tooltip, description key and the
// description box's design-time text.
struct Page {
    const char* name;
    const char* caption;
    const char* tooltip;
    const char* descKey;
};
constexpr Page kPages[3] = {
    {"pagSummary", "Summary",
     "Set the document properties that will show up in your resume when you share it as a MS "
     "Word document.  Property information will show up in META tags when saved as a web page.",
     "summary"},
    {"pagKeywords", "Keywords", "Keywords help to identify your skills", "keywords"},
    {"pagComments", "Comments", "Provide comments that you want visible to the public.",
     "comments"}};

QString latin(const char* s) {
    return QString::fromLatin1(s);
}

// Writing a control's text from code raises its change notification as
// typing does, but only when the text really changes.
void assign(QLineEdit* field, const QString& text) {
    if (field->text() != text)
        field->setText(text);
}
void assign(QPlainTextEdit* box, const QString& text) {
    if (box->toPlainText() != text)
        box->setPlainText(text);
}
} // namespace

frmResumeProps::frmResumeProps(QWidget* parent)
    : Form("frmResumeProps", QStringLiteral("Properties"), parent) {
    BuildControls();
}

frmResumeProps::~frmResumeProps() = default;

QString frmResumeProps::ArchivePath() {
    return modWP::g_strThisUserMorvaleDataDir + QStringLiteral("app.mvdt");
}

void frmResumeProps::BuildControls() {
    const forms::TwipsToPixels tw;
    setFont(QFont(QStringLiteral("Arial"), 8));

    tabProps = new QTabWidget(this);
    tabProps->setObjectName(QStringLiteral("tabProps"));
    tabProps->setGeometry(tw.rect(120, 120, 5895, 6615));
    std::array<QWidget*, 3> pages{};
    for (int i = 0; i < 3; ++i) {
        pages[i] = new QWidget;
        pages[i]->setObjectName(latin(kPages[i].name));
        tabProps->addTab(pages[i], latin(kPages[i].caption));
        tabProps->setTabToolTip(i, latin(kPages[i].tooltip));
    }
    pagSummary = pages[0];
    pagKeywords = pages[1];
    pagComments = pages[2];

    auto label = [&](QWidget* page, const QString& name, const QString& text, int top) {
        auto* l = new QLabel(text, page);
        l->setObjectName(name);
        l->setGeometry(tw.rect(240, top, 840, 300));
        return l;
    };
    for (int i = 0; i < 6; ++i) {
        const int top = 360 + 480 * i;
        lblSumm[i] = label(pagSummary, arrayName("lblSumm", i), latin(kSummary[i].label), top);
        feSumm[i] = new QLineEdit(pagSummary);
        feSumm[i]->setObjectName(arrayName("feSumm", i));
        feSumm[i]->setGeometry(tw.rect(1080, top, 4215, 300));
        lblSumm[i]->setBuddy(feSumm[i]);
        connect(feSumm[i], &QLineEdit::textChanged, this, [this, i] { feSumm_Change(i); });
    }
    auto bigBox = [&](QWidget* page, const char* name) {
        auto* box = new QPlainTextEdit(page);
        box->setObjectName(latin(name));
        box->setGeometry(tw.rect(1080, 360, 4455, 3015));
        box->setTabChangesFocus(true);
        return box;
    };
    lblKeywords =
        label(pagKeywords, QStringLiteral("lblKeywords"), QStringLiteral("Keywords:"), 360);
    feKeywords = bigBox(pagKeywords, "feKeywords");
    lblComments =
        label(pagComments, QStringLiteral("lblComments"), QStringLiteral("Comments:"), 360);
    feComments = bigBox(pagComments, "feComments");
    lblKeywords->setBuddy(feKeywords);
    lblComments->setBuddy(feComments);
    connect(feKeywords, &QPlainTextEdit::textChanged, this, [this] { feKeywords_Change(); });
    connect(feComments, &QPlainTextEdit::textChanged, this, [this] { feComments_Change(); });

    for (int i = 0; i < 3; ++i) {
        auto* box = new QPlainTextEdit(latin(kPages[i].caption), pages[i]);
        box->setObjectName(arrayName("feDesc", i));
        // The help text has no label of its own: its page names it.
        box->setAccessibleName(latin(kPages[i].caption) + QStringLiteral(" description"));
        box->setGeometry(tw.rect(240, 3840, 5415, 2295));
        box->setTabChangesFocus(true);
        // The pop-up of the development environment replaces the standard one.
        box->setContextMenuPolicy(Qt::PreventContextMenu);
        box->viewport()->setContextMenuPolicy(Qt::PreventContextMenu);
        watch(box->viewport(), [this, i](QEvent* e) {
            if (e->type() != QEvent::MouseButtonPress)
                return false;
            const auto* mouse = static_cast<QMouseEvent*>(e);
            const int button = mouse->button() == Qt::LeftButton     ? 1
                               : mouse->button() == Qt::RightButton  ? 2
                               : mouse->button() == Qt::MiddleButton ? 4
                                                                     : 0;
            feDesc_MouseDown(i, button, mouse->globalPosition().toPoint());
            return false;
        });
        watch(box, [this, i](QEvent* e) {
            if (e->type() == QEvent::FocusOut && forms::isFieldMove(e))
                feDesc_Validate(i);
            return false;
        });
        feDesc[i] = box;
        connect(box, &QPlainTextEdit::textChanged, this, [this, i] { feDesc_Change(i); });
        SetDescEditable(i, false);
    }

    pbOK = new QPushButton(QStringLiteral("Save"), this);
    pbOK->setObjectName(QStringLiteral("pbOK"));
    pbOK->setGeometry(tw.rect(3600, 6855, 1095, 375));
    pbCancel = new QPushButton(QStringLiteral("Cancel"), this);
    pbCancel->setObjectName(QStringLiteral("pbCancel"));
    pbCancel->setGeometry(tw.rect(4920, 6855, 1095, 375));
    setCancelButton(pbCancel);
    for (QPushButton* b : {pbOK, pbCancel})
        b->setAutoDefault(false);
    // Enter in a summary field saves; the multi-line boxes keep it for new lines.
    pbOK->setDefault(true);
    setFixedSize(tw.x(120 + 5895 + 120), tw.y(6855 + 375 + 120));

    connect(tabProps, &QTabWidget::currentChanged, this,
            [this](int index) { tabProps_SelectedChanged(index); });
    connect(pbOK, &QPushButton::clicked, this, [this] { pbOK_Click(); });
    connect(pbCancel, &QPushButton::clicked, this, [this] { pbCancel_Click(); });
}

void frmResumeProps::SetDescEditable(int index, bool editable) {
    // Shown as a flat read-only help text; opened, as an ordinary edit box.
    QPlainTextEdit* box = feDesc[index];
    box->setReadOnly(!editable);
    box->setFrameShape(editable ? QFrame::StyledPanel : QFrame::NoFrame);
    box->viewport()->setBackgroundRole(editable ? QPalette::Base : QPalette::Window);
    box->viewport()->setAutoFillBackground(true);
    box->setFocusPolicy(editable ? Qt::StrongFocus : Qt::ClickFocus);
}

QString frmResumeProps::DumpModuleVariables() const {
    return dump::var(QStringLiteral("m_kxmlRsm"), m_kxmlRsm.get()) +
           dump::var(QStringLiteral("m_kxmlProps"), m_kxmlProps.get()) +
           dump::var(QStringLiteral("m_strXML"), m_strXML) +
           dump::var(QStringLiteral("m_blnIsDirty"), m_blnIsDirty) +
           dump::var(QStringLiteral("m_blnChanged"), m_blnChanged);
}

QString frmResumeProps::ShowProperties(const QString& strTag) {
    Guard g("frmResumeProps", "ShowProperties", this);
    g.param(QStringLiteral("strTag"), strTag);
    return g.run([&] {
        ShowLoaded([&] { Load(strTag); });
        const QString result = m_strXML;
        Form_Unload();
        m_kxmlProps.reset();
        m_kxmlRsm.reset();
        return result;
    });
}

void frmResumeProps::Load(const QString& strTag) {
    Form_Load();

    cUtil util;
    const QString descs = util.ReadEntry(ArchivePath(), DescsEntry);
    if (!descs.isEmpty()) {
        KXml kxml;
        kxml.LoadXml(descs);
        for (int i = 0; i < 3; ++i)
            assign(feDesc[i], kxml.ChildValue(latin(kPages[i].descKey)));
    }

    for (QLineEdit* field : feSumm)
        assign(field, QString());
    assign(feKeywords, QString());
    assign(feComments, QString());

    m_kxmlRsm = std::make_shared<KXml>();
    m_kxmlRsm->LoadXml(strTag); // an empty or broken Tag leaves no properties
    m_kxmlProps = m_kxmlRsm->SelectNode(QStringLiteral("props"));

    if (m_kxmlProps) {
        for (int i = 0; i < 6; ++i)
            assign(feSumm[i], m_kxmlProps->ChildValue(latin(kSummary[i].key)));
        assign(feKeywords, m_kxmlProps->ChildValue(QStringLiteral("keywords")));
        assign(feComments, m_kxmlProps->ChildValue(QStringLiteral("comments")));
    }
    tabProps->setCurrentIndex(0);
}

void frmResumeProps::SaveCancel(int index) {
    Guard g("frmResumeProps", "SaveCancel", this);
    g.param(QStringLiteral("index"), index);
    g.run([&] {
        switch (index) {
        case 1:
            if (!m_blnIsDirty) {
                m_strXML.clear();
            } else {
                if (!m_kxmlProps) {
                    // A résumé without properties gets them as the last child
                    // of its root, so that they reach the returned XML. (A Tag
                    // that held no XML has no root: the result stays "".)
                    m_kxmlProps = std::make_shared<KXml>();
                    m_kxmlProps->CreateRoot(QStringLiteral("props"));
                    m_kxmlRsm->AppendNode(m_kxmlProps);
                }
                for (int i = 0; i < 6; ++i)
                    m_kxmlProps->SetChildValue(latin(kSummary[i].key), feSumm[i]->text());
                m_kxmlProps->SetChildValue(QStringLiteral("keywords"), feKeywords->toPlainText());
                m_kxmlProps->SetChildValue(QStringLiteral("comments"), feComments->toPlainText());
                m_strXML = m_kxmlRsm->Xml();
            }
            Unload();
            break;
        case 0:
            m_strXML.clear();
            Unload();
            break;
        default:
            break;
        }
    });
}

void frmResumeProps::Form_Load() {
    Guard g("frmResumeProps", "Form_Load", this);
    g.run([&] {
        // The pages share one height of help text.
        for (int i = 1; i < 3; ++i)
            feDesc[i]->resize(feDesc[i]->width(), feDesc[0]->height());
        for (QPlainTextEdit* box : feDesc)
            box->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    });
}

void frmResumeProps::Form_Activate() {
    Guard g("frmResumeProps", "Form_Activate", this);
    g.runEvent([&] { ignoringFailure([&] { feSumm[0]->setFocus(Qt::ActiveWindowFocusReason); }); });
}

void frmResumeProps::tabProps_SelectedChanged(int index) {
    Guard g("frmResumeProps", "tabProps_SelectedChanged", this);
    g.param(QStringLiteral("index"), index);
    g.runEvent([&] {
        ignoringFailure([&] {
            if (index == 1)
                feKeywords->setFocus(Qt::OtherFocusReason);
            else if (index == 2)
                feComments->setFocus(Qt::OtherFocusReason);
        });
    });
}

void frmResumeProps::feSumm_Change(int index) {
    Guard g("frmResumeProps", "feSumm_Change", this);
    g.param(QStringLiteral("index"), index);
    g.runEvent([&] { m_blnIsDirty = true; });
}

void frmResumeProps::feKeywords_Change() {
    Guard g("frmResumeProps", "feKeywords_Change", this);
    g.runEvent([&] { m_blnIsDirty = true; });
}

void frmResumeProps::feComments_Change() {
    Guard g("frmResumeProps", "feComments_Change", this);
    g.runEvent([&] { m_blnIsDirty = true; });
}

void frmResumeProps::feDesc_Change(int index) {
    Guard g("frmResumeProps", "feDesc_Change", this);
    g.param(QStringLiteral("index"), index);
    g.runEvent([&] { m_blnChanged = true; });
}

void frmResumeProps::feDesc_MouseDown(int index, int button, const QPoint& globalPos) {
    Guard g("frmResumeProps", "feDesc_MouseDown", this);
    g.param(QStringLiteral("index"), index).param(QStringLiteral("Button"), button);
    g.runEvent([&] {
        if (button != 2 || !g_blnInIDE)
            return;
        delete cbrEdit.data();
        cbrEdit = new QMenu(this);
        cbrEdit->setObjectName(QStringLiteral("cbrEdit"));
        QAction* control = cbrEdit->addAction(QStringLiteral("Edit text"));
        control->setObjectName(QString::number(ID_EDIT_TEXT));
        control->setData(index);
        connect(cbrEdit, &QMenu::triggered, this, [this](QAction* a) { cbrs_Execute(a); });
        cbrEdit->popup(globalPos);
    });
}

void frmResumeProps::cbrs_Execute(QAction* control) {
    Guard g("frmResumeProps", "cbrs_Execute", this);
    g.param(QStringLiteral("Control"), static_cast<const QObject*>(control));
    g.runEvent([&] {
        if (!control || control->objectName().toInt() != ID_EDIT_TEXT)
            return;
        const QVariant parameter = control->data();
        bool ok = false;
        const int index = parameter.toInt(&ok);
        if (!ok || index < 0 || index > 2)
            wp::raise(err::SubscriptOutOfRange);
        SetDescEditable(index, true);
        feDesc[index]->setFocus(Qt::OtherFocusReason);
    });
}

void frmResumeProps::feDesc_Validate(int index) {
    KXmlRef kxml;
    QString sText;
    Guard g("frmResumeProps", "feDesc_Validate", this);
    g.param(QStringLiteral("index"), index)
        .local(QStringLiteral("kxml"), kxml)
        .local(QStringLiteral("sText"), sText);
    // Whatever happens, the box goes back to showing its text.
    const auto readOnly = qScopeGuard([&] { SetDescEditable(index, false); });
    g.runEvent([&] {
        if (!g_blnInIDE || !m_blnChanged)
            return;
        sText = feDesc[index]->toPlainText();
        kxml = std::make_shared<KXml>();
        cUtil util;
        const QString entry = util.ReadEntry(ArchivePath(), DescsEntry);
        // An entry that could not be read, or read as no XML, is not an
        // empty one: writing now would leave this text alone in it.
        if (!util.lastError().isEmpty())
            wp::raise(err::PathFileAccess, QStringLiteral("cUtil"), util.lastError());
        if (entry.isEmpty()) {
            kxml->CreateRoot(QStringLiteral("descs"));
            kxml->AddAttribute(QStringLiteral("ver"), QStringLiteral("1"));
        } else if (!kxml->LoadXml(entry)) {
            wp::raise(err::PathFileAccess, QStringLiteral("cUtil"),
                      QStringLiteral("The entry \"%1\" of \"%2\" is no XML document")
                          .arg(DescsEntry, ArchivePath()));
        }
        QString key;
        for (QWidget* w = feDesc[index]; w && key.isEmpty(); w = w->parentWidget())
            for (const Page& page : kPages)
                if (w->objectName() == latin(page.name))
                    key = latin(page.descKey);
        if (key.isEmpty())
            wp::raise(err::ObjectNotSet);
        kxml->SetChildValue(key, sText);
        cUtil().WriteEntry(ArchivePath(), DescsEntry, kxml->Xml());
        kxml.reset();
        m_blnChanged = false;
    });
}

void frmResumeProps::pbOK_Click() {
    Guard g("frmResumeProps", "pbOK_Click", this);
    g.runEvent([&] { SaveCancel(1); });
}

void frmResumeProps::pbCancel_Click() {
    Guard g("frmResumeProps", "pbCancel_Click", this);
    g.runEvent([&] { SaveCancel(0); });
}

} // namespace wp
