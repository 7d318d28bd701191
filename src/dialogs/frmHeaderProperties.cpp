#include "dialogs/frmHeaderProperties.h"

#include "core/modWP.h"
#include "dialogs/FieldNumbers.h"
#include "forms/FormSupport.h"
#include "wp/PageFormat.h"
#include "wp/TextControl.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <limits>
#include <tuple>

namespace wp {

using forms::arrayName;
using forms::TwipsToPixels;
using modvbCodeShieldSupport::Guard;

namespace {
// The flag sets the dialog writes: every area, or the header and footer
// without the first page's own.
constexpr int AllAreas = hf::Header | hf::FirstPageHeader | hf::Footer | hf::FirstPageFooter;
constexpr int HeaderAndFooter = hf::Header | hf::Footer;
} // namespace

UpDownButtons::UpDownButtons(QWidget* parent) : QWidget(parent) {
    auto button = [this](Qt::ArrowType arrow) {
        auto* b = new QToolButton(this);
        b->setArrowType(arrow);
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
        return b;
    };
    m_up = button(Qt::UpArrow);
    m_down = button(Qt::DownArrow);
    connect(m_up, &QToolButton::clicked, this, &UpDownButtons::stepUp);
    connect(m_down, &QToolButton::clicked, this, &UpDownButtons::stepDown);
}

void UpDownButtons::setField(QWidget* field, const QString& name) {
    m_field = field;
    field->installEventFilter(this);
    setAccessibleName(name);
    m_up->setAccessibleName(name + QStringLiteral(" up"));
    m_down->setAccessibleName(name + QStringLiteral(" down"));
}

bool UpDownButtons::eventFilter(QObject* watched, QEvent* e) {
    if (watched == m_field && e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(e)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            (key == Qt::Key_Up ? m_up : m_down)->click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, e);
}

void UpDownButtons::stepUp() {
    emit UpClick();
}

void UpDownButtons::stepDown() {
    emit DownClick();
}

void UpDownButtons::resizeEvent(QResizeEvent*) {
    const int upper = height() / 2;
    m_up->setGeometry(0, 0, width(), upper);
    m_down->setGeometry(0, upper, width(), height() - upper);
}

QString frmHeaderProperties::Step(const QString& text, int delta) {
    const qint64 stepped = qint64(RoundToInt32(LeadingNumber(text))) + delta;
    if (stepped < std::numeric_limits<qint32>::min() ||
        stepped > std::numeric_limits<qint32>::max())
        wp::raise(err::Overflow);
    return QString::number(stepped);
}

frmHeaderProperties::frmHeaderProperties(QWidget* parent)
    : DocumentDialog("frmHeaderProperties", QStringLiteral("Headers and Footers Properties"),
                     parent) {
    BuildControls();
}

frmHeaderProperties::~frmHeaderProperties() = default;

void frmHeaderProperties::BuildControls() {
    const TwipsToPixels tw;
    setFont(QFont(QStringLiteral("Arial"), 8));

    cjgrpDistance = new QGroupBox(QStringLiteral("Distance from page border"), this);
    cjgrpDistance->setObjectName(QStringLiteral("cjgrpDistance"));
    auto label = [&](int index, const QString& text, int left, int top) {
        auto* l = new QLabel(text, cjgrpDistance);
        l->setObjectName(arrayName("cjlbl", index));
        l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        l->move(tw.x(left), tw.y(top));
        l->setFixedHeight(tw.y(300));
        l->adjustSize();
        return l;
    };
    auto row = [&](const char* fieldName, const char* upDownName, int top) {
        auto* e = new QLineEdit(cjgrpDistance);
        e->setObjectName(QLatin1String(fieldName));
        e->setGeometry(tw.rect(1080, top, 735, 300));
        auto* ud = new UpDownButtons(cjgrpDistance);
        ud->setObjectName(QLatin1String(upDownName));
        ud->setGeometry(tw.rect(1815, top, 240, 300));
        return std::pair{e, ud};
    };
    cjlbl[0] = label(0, QStringLiteral("Header"), 240, 360);
    std::tie(feHeader, udHeader) = row("feHeader", "udHeader", 360);
    cjlbl[1] = label(1, QStringLiteral("mm"), 2160, 360);
    cjlbl[2] = label(2, QStringLiteral("Footer"), 240, 840);
    std::tie(feFooter, udFooter) = row("feFooter", "udFooter", 840);
    cjlbl[3] = label(3, QStringLiteral("mm"), 2160, 840);
    cjlbl[0]->setBuddy(feHeader);
    cjlbl[2]->setBuddy(feFooter);
    udHeader->setField(feHeader, cjlbl[0]->text());
    udFooter->setField(feFooter, cjlbl[2]->text());

    cjchkFirstPageDifferent = new QCheckBox(
        QStringLiteral(
            "Manage the header and footer on the first page separately from all other pages."),
        this);
    cjchkFirstPageDifferent->setObjectName(QStringLiteral("cjchkFirstPageDifferent"));

    pbOK = new QPushButton(QStringLiteral("Save"), this);
    pbOK->setObjectName(QStringLiteral("pbOK"));
    pbOK->setDefault(true);
    pbCancel = new QPushButton(QStringLiteral("Cancel"), this);
    pbCancel->setObjectName(QStringLiteral("pbCancel"));
    setCancelButton(pbCancel);

    // The check box's caption stays on one line: the window is as wide as
    // it needs, and never narrower than its design.
    const int inner = std::max(tw.x(4935), cjchkFirstPageDifferent->sizeHint().width() + tw.x(120));
    cjgrpDistance->setGeometry(tw.x(120), tw.y(120), inner, tw.y(1335));
    cjchkFirstPageDifferent->setGeometry(tw.x(120), tw.y(1575), inner, tw.y(300));
    const int right = tw.x(120) + inner;
    pbCancel->setGeometry(right - tw.x(1095), tw.y(2040), tw.x(1095), tw.y(375));
    pbOK->setGeometry(right - tw.x(2310), tw.y(2040), tw.x(1095), tw.y(375));
    setFixedSize(right + tw.x(120), tw.y(2040 + 375 + 120));

    QWidget* order[] = {feHeader, feFooter, cjchkFirstPageDifferent, pbOK, pbCancel};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(udHeader, &UpDownButtons::UpClick, this, [this] { udHeader_UpClick(); });
    connect(udHeader, &UpDownButtons::DownClick, this, [this] { udHeader_DownClick(); });
    connect(udFooter, &UpDownButtons::UpClick, this, [this] { udFooter_UpClick(); });
    connect(udFooter, &UpDownButtons::DownClick, this, [this] { udFooter_DownClick(); });
    connect(pbOK, &QPushButton::clicked, this, [this] { pbOK_Click(); });
    connect(pbCancel, &QPushButton::clicked, this, [this] { pbCancel_Click(); });
}

void frmHeaderProperties::Form_Load() {
    Guard g("frmHeaderProperties", "Form_Load", this);
    g.run([&] {
        if (!m_tx)
            wp::raise(err::ObjectNotSet);
        // A document without header and footer gets both at once, before the
        // user has chosen anything; Cancel does not take that back.
        if (m_tx->HeaderFooter() == 0)
            m_tx->setHeaderFooter(AllAreas);
        feHeader->setText(
            QString::number(RoundToInt16(m_tx->HeaderFooterPosition(hf::Header) / TwipsPerMm)));
        feFooter->setText(
            QString::number(RoundToInt16(m_tx->HeaderFooterPosition(hf::Footer) / TwipsPerMm)));
        cjchkFirstPageDifferent->setChecked(m_tx->HeaderFooter() &
                                            (hf::FirstPageHeader | hf::FirstPageFooter));
        feHeader->setFocus();
    });
}

void frmHeaderProperties::SaveCancel(int index) {
    Guard g("frmHeaderProperties", "SaveCancel", this);
    g.param(QStringLiteral("index"), index);
    g.run([&] {
        switch (index) {
        case 1:
            // In this order: a field that is no number stops the save there,
            // with what came before it applied.
            if (!m_tx)
                wp::raise(err::ObjectNotSet);
            m_tx->setHeaderFooterPosition(hf::Header, TextToDouble(feHeader->text()) * TwipsPerMm);
            m_tx->setHeaderFooterPosition(hf::Footer, TextToDouble(feFooter->text()) * TwipsPerMm);
            m_tx->setHeaderFooter(cjchkFirstPageDifferent->isChecked() ? AllAreas
                                                                       : HeaderAndFooter);
            Unload();
            break;
        case 0:
            Unload();
            break;
        default:
            break;
        }
    });
}

void frmHeaderProperties::pbOK_Click() {
    Guard g("frmHeaderProperties", "pbOK_Click", this);
    g.runEvent([&] { SaveCancel(1); });
}

void frmHeaderProperties::pbCancel_Click() {
    Guard g("frmHeaderProperties", "pbCancel_Click", this);
    g.runEvent([&] { SaveCancel(0); });
}

void frmHeaderProperties::udHeader_UpClick() {
    Guard g("frmHeaderProperties", "udHeader_UpClick", this);
    g.runEvent([&] { feHeader->setText(Step(feHeader->text(), 1)); });
}

void frmHeaderProperties::udHeader_DownClick() {
    Guard g("frmHeaderProperties", "udHeader_DownClick", this);
    g.runEvent([&] { feHeader->setText(Step(feHeader->text(), -1)); });
}

void frmHeaderProperties::udFooter_UpClick() {
    Guard g("frmHeaderProperties", "udFooter_UpClick", this);
    g.runEvent([&] { feFooter->setText(Step(feFooter->text(), 1)); });
}

void frmHeaderProperties::udFooter_DownClick() {
    Guard g("frmHeaderProperties", "udFooter_DownClick", this);
    g.runEvent([&] { feFooter->setText(Step(feFooter->text(), -1)); });
}

} // namespace wp
