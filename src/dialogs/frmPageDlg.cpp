#include "dialogs/frmPageDlg.h"

#include "core/modWP.h"
#include "dialogs/modTX.h"
#include "forms/FormSupport.h"
#include "wp/KXml.h"
#include "wp/TextControl.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <cfloat>
#include <cstdlib>

namespace wp {

using modTX::DlgString2Twips;
using modTX::Twips2DlgString;
using modvbCodeShieldSupport::Guard;
using modWP::g_intMeasurement;

namespace {
using forms::arrayName;
using forms::TwipsToPixels;

// An attribute of the page XML as a single-precision number of twips. The
// host writes its numbers in the invariant form.
float attributeSingle(const KXml& kxml, const QString& element, const QString& attribute) {
    const KXmlRef node = kxml.ChildNode(element);
    if (!node)
        raise(err::ObjectNotSet);
    bool ok = false;
    const double value = node->AttributeValue(attribute).trimmed().toDouble(&ok);
    if (!ok)
        raise(err::TypeMismatch);
    if (value > FLT_MAX || value < -FLT_MAX)
        raise(err::Overflow);
    return static_cast<float>(value);
}

void setAttributeTwips(const KXml& kxml, const QString& element, const QString& attribute,
                       const QLineEdit* field) {
    const KXmlRef node = kxml.ChildNode(element);
    if (!node)
        raise(err::ObjectNotSet);
    node->SetAttribute(attribute, QString::number(DlgString2Twips(field->text())));
}
} // namespace

int frmPageDlg::NearestPaperSize(qint32 nWidth, qint32 nHeight) {
    if (nWidth < -32768 || nWidth > 32767 || nHeight < -32768 || nHeight > 32767)
        return UserDefined;
    for (int i = 0; i < int(PaperSizes.size()); ++i) {
        if (std::abs(nWidth - PaperSizes[i].width) < PaperTolerance &&
            std::abs(nHeight - PaperSizes[i].height) < PaperTolerance)
            return i;
    }
    return UserDefined;
}

bool frmPageDlg::SettingsValid(const PageTwips& p) {
    bool valid = true;
    if (p.left > p.width || p.left < 1)
        valid = false;
    if (p.top > p.height || p.top < 1)
        valid = false;
    if (p.right > p.width || p.right < 1)
        valid = false;
    if (p.bottom > p.height || p.bottom < 1)
        valid = false;
    // The width is doubled in the host's layout and has to stay a 16-bit value there.
    if (2 * qint64(p.width) > 32767 || p.width < 1)
        valid = false;
    if (p.height > 32767 || p.height < 1)
        valid = false;
    return valid;
}

frmPageDlg::frmPageDlg(QWidget* parent) : Form("frmPageDlg", QStringLiteral("Page Setup"), parent) {
    BuildControls();
}

frmPageDlg::~frmPageDlg() = default;

void frmPageDlg::BuildControls() {
    const TwipsToPixels tw;
    setFont(QFont(QStringLiteral("Arial"), 8));

    auto label = [&](QWidget* parent, const QString& name, const QString& text, int left, int top) {
        auto* l = new QLabel(text, parent);
        l->setObjectName(name);
        l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        l->move(tw.x(left), tw.y(top));
        l->setFixedHeight(tw.y(300));
        l->adjustSize();
        return l;
    };
    auto field = [&](QWidget* parent, const QString& name, int left, int top) {
        auto* e = new QLineEdit(parent);
        e->setObjectName(name);
        e->setGeometry(tw.rect(left, top, 855, 300));
        return e;
    };
    const QString units = QStringLiteral("inches");

    grpPaperSize = new QGroupBox(QStringLiteral("Paper Size"), this);
    grpPaperSize->setObjectName(QStringLiteral("grpPaperSize"));
    grpPaperSize->setGeometry(tw.rect(120, 120, 4935, 1335));
    cmbPaperSize = new QComboBox(grpPaperSize);
    cmbPaperSize->setObjectName(QStringLiteral("cmbPaperSize"));
    cmbPaperSize->setGeometry(tw.rect(360, 360, 1695, 330));
    cjlbl[0] = label(grpPaperSize, arrayName("cjlbl", 0), QStringLiteral("Width:"), 2520, 360);
    fePage[0] = field(grpPaperSize, arrayName("fePage", 0), 3240, 360);
    cjlblMeasUnits[0] = label(grpPaperSize, arrayName("cjlblMeasUnits", 0), units, 4200, 360);
    cjlbl[1] = label(grpPaperSize, arrayName("cjlbl", 1), QStringLiteral("Height:"), 2520, 840);
    fePage[1] = field(grpPaperSize, arrayName("fePage", 1), 3240, 840);
    cjlblMeasUnits[1] = label(grpPaperSize, arrayName("cjlblMeasUnits", 1), units, 4200, 840);

    cjgrpPageMargins = new QGroupBox(QStringLiteral("Page Margins"), this);
    cjgrpPageMargins->setObjectName(QStringLiteral("cjgrpPageMargins"));
    cjgrpPageMargins->setGeometry(tw.rect(120, 1680, 4935, 1335));
    struct MarginRow {
        const char* caption;
        int labelLeft, fieldLeft, unitLeft, top;
    };
    static constexpr MarginRow rows[4] = {{"Left:", 240, 960, 1920, 360},
                                          {"Top:", 2640, 3240, 4200, 360},
                                          {"Right:", 240, 960, 1920, 840},
                                          {"Bottom:", 2640, 3240, 4200, 840}};
    for (int i = 0; i < 4; ++i) {
        const MarginRow& r = rows[i];
        cjlbl[2 + i] = label(cjgrpPageMargins, arrayName("cjlbl", 2 + i),
                             QString::fromLatin1(r.caption), r.labelLeft, r.top);
        feMargins[i] = field(cjgrpPageMargins, arrayName("feMargins", i), r.fieldLeft, r.top);
        cjlblMeasUnits[2 + i] =
            label(cjgrpPageMargins, arrayName("cjlblMeasUnits", 2 + i), units, r.unitLeft, r.top);
    }
    // Each field is named by the label before it (the list, by its group).
    for (int i = 0; i < 2; ++i)
        cjlbl[i]->setBuddy(fePage[i]);
    for (int i = 0; i < 4; ++i)
        cjlbl[2 + i]->setBuddy(feMargins[i]);

    pbOK = new QPushButton(QStringLiteral("OK"), this);
    pbOK->setObjectName(QStringLiteral("pbOK"));
    pbOK->setGeometry(tw.rect(2520, 3240, 1095, 495));
    pbOK->setDefault(true);
    pbCancel = new QPushButton(QStringLiteral("Cancel"), this);
    pbCancel->setObjectName(QStringLiteral("pbCancel"));
    pbCancel->setGeometry(tw.rect(3840, 3240, 1095, 495));
    setCancelButton(pbCancel);

    setFixedSize(tw.x(120 + 4935 + 120), tw.y(3240 + 495 + 120));

    QWidget* order[] = {cmbPaperSize, fePage[0],    fePage[1], feMargins[0], feMargins[1],
                        feMargins[2], feMargins[3], pbOK,      pbCancel};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(cmbPaperSize, &QComboBox::currentIndexChanged, this, [this] {
        if (!m_blnSelecting)
            cmbPaperSize_click();
    });
    // Picking the entry that is already selected fills the fields again, so a
    // size typed within the tolerance snaps to the named one. (A pick that
    // changes the entry arrives twice; the second fill changes nothing.)
    connect(cmbPaperSize, &QComboBox::activated, this, [this] { cmbPaperSize_click(); });
    for (int i = 0; i < 2; ++i) {
        connect(fePage[i], &QLineEdit::textChanged, this, [this, i] { fePage_Change(i); });
        watch(fePage[i], [this, i](QEvent* e) { return FieldFocus(e, i, true); });
    }
    for (int i = 0; i < 4; ++i) {
        connect(feMargins[i], &QLineEdit::textChanged, this, [this, i] { feMargins_Change(i); });
        watch(feMargins[i], [this, i](QEvent* e) { return FieldFocus(e, i, false); });
    }
    connect(pbOK, &QPushButton::clicked, this, [this] { pbOK_Click(); });
    connect(pbCancel, &QPushButton::clicked, this, [this] { pbCancel_Click(); });
}

TextControl* frmPageDlg::tx() const {
    return m_tx.data();
}

void frmPageDlg::setTx(TextControl* tx) {
    m_tx = tx;
}

QString frmPageDlg::DumpModuleVariables() const {
    return dump::var(QStringLiteral("m_sXML"), m_sXML) + dump::var(QStringLiteral("m_tx"), m_tx);
}

QString frmPageDlg::PageSetup(const QString& sXML) {
    Guard g("frmPageDlg", "PageSetup", this);
    g.param(QStringLiteral("sXML"), sXML);
    return g.run([&] {
        ShowLoaded([&] { Load(sXML); });
        return m_sXML;
    });
}

void frmPageDlg::Load(const QString& sXML) {
    m_sXML = sXML;
    Form_Load();
}

bool frmPageDlg::FieldFocus(QEvent* e, int index, bool isPage) {
    if (!forms::isFieldMove(e))
        return false;
    const bool in = e->type() == QEvent::FocusIn;
    if (isPage && in) {
        fePage_GotFocus(index);
    } else if (isPage) {
        fePage_Validate(index);
        fePage_LostFocus(index);
    } else if (in) {
        feMargins_GotFocus(index);
    } else {
        feMargins_Validate(index);
    }
    return false;
}

bool frmPageDlg::PageSettingsValid() {
    Guard g("frmPageDlg", "PageSettingsValid", this);
    return g.run([&] {
        PageTwips page;
        page.width = DlgString2Twips(fePage[0]->text());
        page.height = DlgString2Twips(fePage[1]->text());
        page.left = DlgString2Twips(feMargins[0]->text());
        page.top = DlgString2Twips(feMargins[1]->text());
        page.right = DlgString2Twips(feMargins[2]->text());
        page.bottom = DlgString2Twips(feMargins[3]->text());
        return SettingsValid(page);
    });
}

void frmPageDlg::SelectNearestPaperSize() {
    qint32 nWidth = 0;
    qint32 nHeight = 0;
    Guard g("frmPageDlg", "SelectNearestPaperSize", this);
    g.local(QStringLiteral("nWidth"), nWidth).local(QStringLiteral("nHeight"), nHeight);
    g.run([&] {
        nWidth = DlgString2Twips(fePage[0]->text());
        nHeight = DlgString2Twips(fePage[1]->text());
        const QScopedValueRollback<bool> selecting(m_blnSelecting, true);
        cmbPaperSize->setCurrentIndex(NearestPaperSize(nWidth, nHeight));
    });
}

void frmPageDlg::SaveCancel(int index) {
    KXmlRef kxml;
    Guard g("frmPageDlg", "SaveCancel", this);
    g.local(QStringLiteral("kxml"), kxml).param(QStringLiteral("index"), index);
    g.run([&] {
        switch (index) {
        case 1:
            kxml = std::make_shared<KXml>();
            kxml->LoadXml(m_sXML);
            setAttributeTwips(*kxml, QStringLiteral("page_size"), QStringLiteral("width"),
                              fePage[0]);
            setAttributeTwips(*kxml, QStringLiteral("page_size"), QStringLiteral("height"),
                              fePage[1]);
            setAttributeTwips(*kxml, QStringLiteral("doc_margins"), QStringLiteral("left"),
                              feMargins[0]);
            setAttributeTwips(*kxml, QStringLiteral("doc_margins"), QStringLiteral("top"),
                              feMargins[1]);
            setAttributeTwips(*kxml, QStringLiteral("doc_margins"), QStringLiteral("right"),
                              feMargins[2]);
            setAttributeTwips(*kxml, QStringLiteral("doc_margins"), QStringLiteral("bottom"),
                              feMargins[3]);
            m_sXML = kxml->Xml();
            kxml.reset();
            Unload();
            break;
        case 0:
            m_sXML.clear();
            Unload();
            break;
        default:
            break;
        }
    });
}

void frmPageDlg::Form_Load() {
    KXmlRef kxml;
    Guard g("frmPageDlg", "Form_Load", this);
    g.local(QStringLiteral("kxml"), kxml);
    g.run([&] {
        for (QLabel* unit : cjlblMeasUnits) {
            if (g_intMeasurement == 1)
                unit->setText(QStringLiteral("cm"));
            else if (g_intMeasurement == 2)
                unit->setText(QStringLiteral("inch"));
            unit->adjustSize();
        }

        {
            // Filling the list is no choice of the user's.
            const QScopedValueRollback<bool> selecting(m_blnSelecting, true);
            cmbPaperSize->clear();
            for (const PaperSize& paper : PaperSizes)
                cmbPaperSize->addItem(QString::fromLatin1(paper.name));
            cmbPaperSize->addItem(QStringLiteral("User Defined"));
        }

        // Every assignment runs the field's Change handler, also when the
        // text stays as it was (empty, without a unit), so OK starts right.
        auto assign = [](QLineEdit* field, float twips) {
            const QString text = Twips2DlgString(twips);
            if (field->text() == text)
                emit field->textChanged(text);
            else
                field->setText(text);
        };
        kxml = std::make_shared<KXml>();
        kxml->LoadXml(m_sXML);
        const QString page = QStringLiteral("page_size");
        const QString margins = QStringLiteral("doc_margins");
        assign(fePage[0], attributeSingle(*kxml, page, QStringLiteral("width")));
        assign(fePage[1], attributeSingle(*kxml, page, QStringLiteral("height")));
        assign(feMargins[0], attributeSingle(*kxml, margins, QStringLiteral("left")));
        assign(feMargins[1], attributeSingle(*kxml, margins, QStringLiteral("top")));
        assign(feMargins[2], attributeSingle(*kxml, margins, QStringLiteral("right")));
        assign(feMargins[3], attributeSingle(*kxml, margins, QStringLiteral("bottom")));
        kxml.reset();
        SelectNearestPaperSize();
        cmbPaperSize->setFocus();
    });
}

void frmPageDlg::Unloading() {
    m_tx = nullptr;
}

void frmPageDlg::cmbPaperSize_click() {
    Guard g("frmPageDlg", "cmbPaperSize_click", this);
    g.runEvent([&] {
        const QString text = cmbPaperSize->currentText();
        for (const PaperSize& paper : PaperSizes) {
            if (text == QLatin1String(paper.name)) {
                fePage[0]->setText(Twips2DlgString(float(paper.width)));
                fePage[1]->setText(Twips2DlgString(float(paper.height)));
                return;
            }
        }
    });
}

void frmPageDlg::fePage_Change(int index) {
    Guard g("frmPageDlg", "fePage_Change", this);
    g.param(QStringLiteral("index"), index);
    // A value too large even to convert is invalid as well.
    if (!g.runEvent([&] { pbOK->setEnabled(PageSettingsValid()); }))
        pbOK->setEnabled(false);
}

void frmPageDlg::feMargins_Change(int index) {
    Guard g("frmPageDlg", "feMargins_Change", this);
    g.param(QStringLiteral("index"), index);
    // A value too large even to convert is invalid as well.
    if (!g.runEvent([&] { pbOK->setEnabled(PageSettingsValid()); }))
        pbOK->setEnabled(false);
}

void frmPageDlg::fePage_GotFocus(int index) {
    Guard g("frmPageDlg", "fePage_GotFocus", this);
    g.param(QStringLiteral("index"), index);
    g.runEvent([&] { fePage[index]->setSelection(0, int(fePage[index]->text().size())); });
}

void frmPageDlg::feMargins_GotFocus(int index) {
    Guard g("frmPageDlg", "feMargins_GotFocus", this);
    g.param(QStringLiteral("index"), index);
    g.runEvent([&] { feMargins[index]->setSelection(0, int(feMargins[index]->text().size())); });
}

namespace {
// Leaving a field shows its number in the "0.00" form; other text stays.
void reformat(QLineEdit* field) {
    bool isNumber = false;
    const double value = modTX::ParseDlgNumber(field->text(), &isNumber);
    if (isNumber)
        field->setText(modTX::FormatDlgNumber(value));
}
} // namespace

void frmPageDlg::fePage_Validate(int index) {
    Guard g("frmPageDlg", "fePage_Validate", this);
    g.param(QStringLiteral("index"), index);
    g.runEvent([&] { reformat(fePage[index]); });
}

void frmPageDlg::feMargins_Validate(int index) {
    Guard g("frmPageDlg", "feMargins_Validate", this);
    g.param(QStringLiteral("index"), index);
    g.runEvent([&] { reformat(feMargins[index]); });
}

void frmPageDlg::fePage_LostFocus(int index) {
    Guard g("frmPageDlg", "fePage_LostFocus", this);
    g.param(QStringLiteral("index"), index);
    g.runEvent([&] { SelectNearestPaperSize(); });
}

void frmPageDlg::pbOK_Click() {
    Guard g("frmPageDlg", "pbOK_Click", this);
    g.runEvent([&] { SaveCancel(1); });
}

void frmPageDlg::pbCancel_Click() {
    Guard g("frmPageDlg", "pbCancel_Click", this);
    g.runEvent([&] { SaveCancel(0); });
}

} // namespace wp
