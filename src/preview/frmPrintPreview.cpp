#include "preview/frmPrintPreview.h"

#include "core/modWP.h"
#include "dialogs/FieldNumbers.h"
#include "forms/StatusPanes.h"
#include "preview/modPrintDlg.h"
#include "wp/TextControl.h"

#include <QAction>
#include <QGuiApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>

namespace wp {

using modvbCodeShieldSupport::Guard;

namespace {

// The arguments and locals of a click on a page area, for its report.
void bindMouseUp(Guard& g, const qint16& button, const qint16& shift, const double& X,
                 const double& Y, const double& nOldX, const double& nOldY) {
    g.param(QStringLiteral("Button"), button)
        .param(QStringLiteral("Shift"), shift)
        .param(QStringLiteral("X"), X)
        .param(QStringLiteral("Y"), Y)
        .local(QStringLiteral("nOldX"), nOldX)
        .local(QStringLiteral("nOldY"), nOldY);
}

void clampValue(frmPrintPreview::ScrollState& s) {
    s.value = std::clamp(s.value, 0, std::max(0, s.maximum));
}

// Drawn stand-ins for the toolbar icons where the icon theme has none.
QIcon fallbackIcon(qint32 id) {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink(0x30, 0x30, 0x30);
    p.setPen(QPen(ink, 1.2));
    auto sheet = [&](const QRectF& r) {
        p.setBrush(Qt::white);
        p.drawRect(r);
        p.setBrush(Qt::NoBrush);
    };
    switch (id) {
    case frmPrintPreview::ID_PRINT:
        sheet(QRectF(4.5, 1.5, 7, 5));
        p.setBrush(QColor(0x90, 0x90, 0x90));
        p.drawRoundedRect(QRectF(1.5, 6.5, 13, 6), 1.5, 1.5);
        sheet(QRectF(4.5, 10.5, 7, 4));
        break;
    case frmPrintPreview::ID_PREVIOUS:
    case frmPrintPreview::ID_NEXT: {
        QPainterPath arrow;
        if (id == frmPrintPreview::ID_PREVIOUS) {
            arrow.moveTo(11, 3);
            arrow.lineTo(5, 8);
            arrow.lineTo(11, 13);
        } else {
            arrow.moveTo(5, 3);
            arrow.lineTo(11, 8);
            arrow.lineTo(5, 13);
        }
        arrow.closeSubpath();
        p.fillPath(arrow, QColor(0x20, 0x60, 0xB0));
        break;
    }
    case frmPrintPreview::ID_TWOPAGES:
        sheet(QRectF(1.5, 2.5, 6, 11));
        sheet(QRectF(8.5, 2.5, 6, 11));
        break;
    case frmPrintPreview::ICON_ONEPAGE:
        sheet(QRectF(4.5, 1.5, 8, 13));
        break;
    case frmPrintPreview::ID_ZOOMIN:
    case frmPrintPreview::ID_ZOOMOUT:
        p.drawEllipse(QRectF(1.5, 1.5, 9, 9));
        p.setPen(QPen(ink, 2.2));
        p.drawLine(QPointF(9.5, 9.5), QPointF(14.5, 14.5));
        p.setPen(QPen(ink, 1.4));
        p.drawLine(QPointF(3.5, 6), QPointF(8.5, 6));
        if (id == frmPrintPreview::ID_ZOOMIN)
            p.drawLine(QPointF(6, 3.5), QPointF(6, 8.5));
        break;
    case frmPrintPreview::ICON_CLOSE:
        p.setPen(QPen(QColor(0xB0, 0x20, 0x20), 2.2));
        p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
        p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
        break;
    default:
        break;
    }
    return QIcon(pm);
}

const char* themeIconName(qint32 id) {
    switch (id) {
    case frmPrintPreview::ID_PRINT:
        return "document-print";
    case frmPrintPreview::ID_PREVIOUS:
        return "go-previous";
    case frmPrintPreview::ID_NEXT:
        return "go-next";
    case frmPrintPreview::ID_TWOPAGES:
        return "view-dual";
    case frmPrintPreview::ICON_ONEPAGE:
        return "view-paged";
    case frmPrintPreview::ID_ZOOMIN:
        return "zoom-in";
    case frmPrintPreview::ID_ZOOMOUT:
        return "zoom-out";
    case frmPrintPreview::ICON_CLOSE:
        return "window-close";
    default:
        return "";
    }
}
} // namespace

// A page area: paints its page through the window and reports clicks in
// twips of the area.
class frmPrintPreview::PageArea : public QWidget {
public:
    PageArea(frmPrintPreview* form, int index, QWidget* parent)
        : QWidget(parent), m_form(form), m_index(index) {
        setObjectName(QStringLiteral("picPage%1").arg(index));
        setAutoFillBackground(true);
        QPalette pal = palette();
        pal.setColor(QPalette::Window, Qt::white);
        setPalette(pal);
        setCursor(Qt::PointingHandCursor);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        if (m_index == 1)
            m_form->picPage1_Paint(painter);
        else
            m_form->picPage2_Paint(painter);
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        qint16 button = 0;
        switch (e->button()) {
        case Qt::LeftButton:
            button = 1;
            break;
        case Qt::RightButton:
            button = 2;
            break;
        case Qt::MiddleButton:
            button = 4;
            break;
        default:
            break;
        }
        qint16 shift = 0;
        if (e->modifiers() & Qt::ShiftModifier)
            shift |= 1;
        if (e->modifiers() & Qt::ControlModifier)
            shift |= 2;
        if (e->modifiers() & Qt::AltModifier)
            shift |= 4;
        const double X = e->position().x() * m_form->m_tppX;
        const double Y = e->position().y() * m_form->m_tppY;
        if (m_index == 1)
            m_form->picPage1_MouseUp(button, shift, X, Y);
        else
            m_form->picPage2_MouseUp(button, shift, X, Y);
    }

private:
    frmPrintPreview* m_form;
    int m_index;
};

// --- the rules, without widgets ------------------------------------------

void frmPrintPreview::LayoutGeometry(Geometry& g, const QRectF& client, double pageWidth,
                                     double pageHeight, qint16 zoomMode, bool twoPages) {
    const double lngTop = client.top();
    g.picMain = client;
    const double nInnerHeight = client.height();
    const double scrollVWidth = g.scrollV.width();
    const double scrollHHeight = g.scrollH.height();

    g.scrollV.moveLeft(g.picMain.width() - scrollVWidth);
    g.scrollV.moveTop(lngTop);
    g.scrollV.setHeight(std::max(0.0, nInnerHeight - scrollHHeight));
    g.scrollH.moveLeft(0);
    g.scrollH.moveTop(g.scrollV.top() + g.scrollV.height());
    g.scrollH.setWidth(std::max(0.0, g.picMain.width() - scrollVWidth));

    double W = g.picMain.width();
    double H = g.picMain.height();
    QRectF& p1 = g.picPage1;
    QRectF& p2 = g.picPage2;
    double nWidth = 0;
    double nHeight = 0;
    if (zoomMode == 0 && !twoPages) {
        nHeight = RoundToInt32(H - WholeAllowance);
        nWidth = RoundToInt32(pageWidth * nHeight / pageHeight);
        if (W - WholeAllowance < nWidth) {
            nWidth = RoundToInt32(W - WholeAllowance);
            nHeight = RoundToInt32(pageHeight * nWidth / pageWidth);
            p1.moveTop((H - nHeight) / 2);
            p1.moveLeft(PageMargin);
        } else {
            p1.moveTop(PageMargin);
            p1.moveLeft((W - nWidth) / 2);
        }
        // A window too small for a page keeps the areas as they were.
        if (nHeight >= 1 && nWidth >= 1)
            p1.setSize(QSizeF(nWidth, nHeight));
    } else if (zoomMode == 0) {
        nWidth = RoundToInt32((W - TwoPageAllowance) / 2);
        nHeight = RoundToInt32(pageHeight * nWidth / pageWidth);
        if (H - WholeAllowance < nHeight) {
            nHeight = RoundToInt32(H - WholeAllowance);
            nWidth = RoundToInt32(pageWidth * nHeight / pageHeight);
            const double gap = (W - 2 * nWidth) / 3;
            p1.moveTopLeft(QPointF(gap, PageMargin));
            p2.moveTopLeft(QPointF(gap + gap + nWidth, PageMargin));
        } else {
            p1.moveTopLeft(QPointF(PageMargin, (H - nHeight) / 2));
            p2.moveTopLeft(QPointF(nWidth + 2 * PageMargin, (H - nHeight) / 2));
        }
        if (nHeight >= 1 && nWidth >= 1) {
            p1.setSize(QSizeF(nWidth, nHeight));
            p2.setSize(QSizeF(nWidth, nHeight));
        }
    } else {
        // The scroll range is measured against the whole work area, before
        // the scroll bars take their share of it.
        qint32 nMaxScroll = RoundToInt32(p1.height() + ScrollMargin - H);
        if (nMaxScroll > 0) {
            g.vs.maximum = nMaxScroll;
            g.vs.largeChange = RoundToInt32(H / (p1.height() + ScrollMargin) * nMaxScroll);
            g.vs.smallChange = RoundToInt32(nMaxScroll * 0.2);
            clampValue(g.vs);
        }
        nMaxScroll = RoundToInt32(p1.width() + ScrollMargin - W);
        if (nMaxScroll > 0) {
            g.hs.maximum = nMaxScroll;
            g.hs.largeChange = RoundToInt32(W / (p1.width() + ScrollMargin) * nMaxScroll);
            g.hs.smallChange = RoundToInt32(nMaxScroll * 0.2);
            clampValue(g.hs);
        }
        if (W - scrollVWidth > 0)
            g.picMain.setWidth(W - scrollVWidth);
        if (H - scrollHHeight > 0)
            g.picMain.setHeight(H - scrollHHeight);
        W = g.picMain.width();
        H = g.picMain.height();
        const qint32 nDistX = RoundToInt32((W - p1.width()) / 2);
        const qint32 nDistY = RoundToInt32((H - p1.height()) / 2);
        if (nDistX >= PageMargin) {
            g.hs.enabled = false;
            p1.moveLeft(nDistX);
        } else {
            g.hs.enabled = true;
            p1.moveLeft(PageMargin - g.hs.value);
        }
        if (nDistY < PageMargin) {
            g.vs.enabled = true;
            p1.moveTop(PageMargin - g.vs.value);
        } else {
            g.vs.enabled = false;
            p1.moveTop(nDistY);
        }
    }
}

qint32 frmPrintPreview::ZoomScrollMaximum(double pageSide, double workSide) {
    return std::max(0, RoundToInt32(pageSide + ScrollMargin - workSide));
}

qint16 frmPrintPreview::FittedPrintZoom(double areaWidth, double areaHeight, double pageWidth,
                                        double pageHeight) {
    const qint16 iZoomH = RoundToInt16(areaHeight * 100 / pageHeight);
    const qint16 iZoomW = RoundToInt16(areaWidth * 100 / pageWidth);
    qint16 zoom = 0;
    if (iZoomH < iZoomW)
        zoom = iZoomH;
    else if (iZoomW >= 10)
        zoom = iZoomW;
    // The control draws from 1 % to 1000 %; outside that nothing is drawn.
    return zoom >= 1 && zoom <= 1000 ? zoom : 0;
}

QString frmPrintPreview::PageLabel(qint32 page, qint32 pages) {
    return QStringLiteral("   Page %1 of %2   ").arg(page).arg(pages);
}

// --- the window ----------------------------------------------------------

// Escape closes, as the Close command does.
frmPrintPreview::frmPrintPreview(QWidget* parent)
    : Form("frmPrintPreview", QStringLiteral("Print Preview"), parent) {
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(true);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        m_tppX = 1440.0 / screen->logicalDotsPerInchX();
        m_tppY = 1440.0 / screen->logicalDotsPerInchY();
    }
    BuildControls();
}

frmPrintPreview::~frmPrintPreview() {
    // No painter of ours may outlive a paint.
    if (m_txPrev)
        m_txPrev->setPrintDevice(nullptr);
}

void frmPrintPreview::BuildControls() {
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    cbar = new QMainWindow(this);
    // A main window makes itself a window of its own; this one sits inside ours.
    cbar->setWindowFlags(Qt::Widget);
    cbar->setObjectName(QStringLiteral("cbar"));
    box->addWidget(cbar);
    m_client = new QWidget(cbar);
    m_client->setObjectName(QStringLiteral("cbarClient"));
    cbar->setCentralWidget(m_client);
    watch(m_client, [this](QEvent* e) {
        if (e->type() == QEvent::Resize) {
            Guard g("frmPrintPreview", "Form_Resize", this);
            g.runEvent([&] { FormResize(); });
        }
        return false;
    });

    picMain = new QWidget(m_client);
    picMain->setObjectName(QStringLiteral("picMain"));
    picMain->setAutoFillBackground(true);
    QPalette pal = picMain->palette();
    pal.setColor(QPalette::Window, QColor(0x80, 0x80, 0x80));
    picMain->setPalette(pal);
    picPage1 = new PageArea(this, 1, picMain);
    picPage2 = new PageArea(this, 2, picMain);

    scrollH = new QScrollBar(Qt::Horizontal, m_client);
    scrollH->setObjectName(QStringLiteral("scrollH"));
    scrollV = new QScrollBar(Qt::Vertical, m_client);
    scrollV->setObjectName(QStringLiteral("scrollV"));
    // The arrow keys move a zoomed page once Tab has reached a scroll bar.
    scrollH->setFocusPolicy(Qt::TabFocus);
    scrollV->setFocusPolicy(Qt::TabFocus);
    scrollH->setAccessibleName(QStringLiteral("Scroll across"));
    scrollV->setAccessibleName(QStringLiteral("Scroll down"));
    picMain->setAccessibleName(QStringLiteral("Pages"));
    picPage1->setAccessibleName(QStringLiteral("Current page"));
    picPage2->setAccessibleName(QStringLiteral("Following page"));
    for (QWidget* page : {static_cast<QWidget*>(picPage1), static_cast<QWidget*>(picPage2)})
        page->setAccessibleDescription(
            QStringLiteral("Left click zooms in, right click zooms out"));
    const int extent = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    m_geo.scrollV.setSize(QSizeF(RoundToInt32(extent * m_tppX), 0));
    m_geo.scrollH.setSize(QSizeF(0, RoundToInt32(extent * m_tppY)));
    connect(scrollH, &QScrollBar::valueChanged, this, [this](int v) { scrollH_Change(v); });
    connect(scrollV, &QScrollBar::valueChanged, this, [this](int v) { scrollV_Change(v); });

    // The private copy: drawn from, never shown.
    m_txPrev = new TextControl(this);
    m_txPrev->setObjectName(QStringLiteral("txPrev"));
    m_txPrev->hide();

    imlMain = new modWP::ImageManager(this);
    imlMain->setObjectName(QStringLiteral("imlMain"));
    LoadIcons();

    QSize size(820, 940);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableSize() * 0.9);
    resize(size.expandedTo(QSize(600, 384)));
}

void frmPrintPreview::LoadIcons() {
    for (qint32 id : {ID_PRINT, ID_PREVIOUS, ID_NEXT, ID_TWOPAGES, ICON_ONEPAGE, ID_ZOOMIN,
                      ID_ZOOMOUT, ICON_CLOSE})
        imlMain->SetIcon(
            id, QIcon::fromTheme(QString::fromLatin1(themeIconName(id)), fallbackIcon(id)));
}

QString frmPrintPreview::DumpModuleVariables() const {
    return dump::var(QStringLiteral("m_cTX"), m_cTX) +
           dump::var(QStringLiteral("m_lPageWidth"), m_lPageWidth) +
           dump::var(QStringLiteral("m_lPageHeight"), m_lPageHeight) +
           dump::var(QStringLiteral("m_lCurPage"), m_lCurPage) +
           dump::var(QStringLiteral("m_bTwoPages"), m_bTwoPages) +
           dump::var(QStringLiteral("m_iZoomMode"), m_iZoomMode) +
           dump::var(QStringLiteral("m_iOldPrintZoom"), m_iOldPrintZoom) +
           dump::var(QStringLiteral("m_panStatus"), m_panStatus);
}

void frmPrintPreview::ShowPreview(TextControl* tx) {
    Guard g("frmPrintPreview", "ShowPreview", this);
    g.param(QStringLiteral("tx"), tx);
    g.run([&] { ShowLoaded([&] { Load(tx); }); });
}

void frmPrintPreview::Load(TextControl* tx) {
    CloneTX(tx);
    m_cTX = m_txPrev;
    m_lPageWidth = m_cTX->PageWidth();
    m_lPageHeight = m_cTX->PageHeight();
    m_lCurPage = 1;
    m_iOldPrintZoom = m_cTX->PrintZoom();
    m_iZoomMode = 0;
    m_bTwoPages = false;
    // The copy is in place now: the first screen shows its pages.
    ToggleButtons();
    FormResize();
}

void frmPrintPreview::EnsureLoaded() {
    if (m_blnLoaded)
        return;
    m_blnLoaded = true;
    Form_Load();
}

void frmPrintPreview::CloneTX(TextControl* tx) {
    Guard g("frmPrintPreview", "CloneTX", this);
    g.param(QStringLiteral("tx"), tx);
    g.run([&] {
        // The first touch of the copy loads the window.
        EnsureLoaded();
        if (!tx)
            wp::raise(err::ObjectNotSet);
        m_txPrev->setPageFormat(tx->pageFormat());
        m_txPrev->setBaseLine(tx->BaseLine());
        m_txPrev->resize(qRound(12000 / m_tppX), qRound(15000 / m_tppY));
        m_txPrev->setViewMode(2);
        const QByteArray data = tx->SaveToMemory(fmt::Native, false);
        if (!m_txPrev->LoadFromMemory(data, fmt::Native, false))
            wp::raise(err::InvalidProcedureCall, QStringLiteral("wp"),
                      QStringLiteral("The document could not be copied for the preview: %1")
                          .arg(m_txPrev->lastError()));
    });
}

void frmPrintPreview::Form_Load() {
    Guard g("frmPrintPreview", "Form_Load", this);
    g.run([&] {
        setMinimumSize(600, 384);
        StatusBarCreate();
        m_lCurPage = 1;
        m_iZoomMode = 0;
        m_bTwoPages = false;
        FormResize();
        picPage2->hide();
        scrollH->hide();
        scrollV->hide();
        ToolbarCreate();
        QGuiApplication::restoreOverrideCursor();
        ToggleButtons();
    });
}

void frmPrintPreview::ToolbarCreate() {
    Guard g("frmPrintPreview", "ToolbarCreate", this);
    g.run([&] {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        m_toolbar = new QToolBar(QStringLiteral("PrintPreview"), cbar);
        m_toolbar->setObjectName(QStringLiteral("PrintPreview"));
        m_toolbar->setWindowTitle(QStringLiteral("PrintPreview"));
        m_toolbar->setMovable(false);
        m_toolbar->setFloatable(false);
        m_toolbar->setIconSize(QSize(16, 16));
        m_toolbar->toggleViewAction()->setVisible(false);
        cbar->addToolBar(Qt::TopToolBarArea, m_toolbar);

        struct Row {
            qint32 typ;
            qint32 id;
            const char* caption;
            bool group;
            const char* desc;
            qint32 style;
            qint32 icon;
        };
        using namespace modWP;
        static constexpr Row rows[] = {
            {xtpControlButton, ID_PRINT, "Print...", false, "Open the printing dialog",
             xtpButtonIconAndCaption, ID_PRINT},
            {xtpControlButton, ID_PREVIOUS, "Previous Page", true, "Previous page",
             xtpButtonIconAndCaption, ID_PREVIOUS},
            {xtpControlLabel, ID_PAGELABEL, "Page X of Y", false, "", xtpButtonCaption, 0},
            {xtpControlButton, ID_NEXT, "Next Page", false, "Next page", xtpButtonIconAndCaption,
             ID_NEXT},
            {xtpControlButton, ID_TWOPAGES, "Two Pages", true, "Preview two pages",
             xtpButtonIconAndCaption, ID_TWOPAGES},
            {xtpControlButton, ID_ZOOMIN, "Zoom In", true, "Zoom In", xtpButtonIconAndCaption,
             ID_ZOOMIN},
            {xtpControlButton, ID_ZOOMOUT, "Zoom Out", false, "Zoom Out", xtpButtonIconAndCaption,
             ID_ZOOMOUT},
            {xtpControlButton, ID_CLOSE, "Close", true, "Close print preview", xtpButtonAutomatic,
             ICON_CLOSE},
        };
        for (const Row& r : rows) {
            QAction* action =
                AddButton(m_toolbar, r.typ, r.id, QString::fromLatin1(r.caption), r.group,
                          QString::fromLatin1(r.desc), r.style, QStringLiteral("Controls"), true,
                          r.icon, std::nullopt, true);
            const qint32 id = r.id;
            connect(action, &QAction::triggered, this, [this, id] { cbar_Execute(id); });
        }
        // Tab walks the commands, then the scroll bars of a zoomed page.
        QWidget* last = forms::reachByKeyboard(m_toolbar);
        setTabOrder(last, scrollV);
        setTabOrder(scrollV, scrollH);
        // The keys a reader of pages expects.
        Button(ID_PRINT)->setShortcut(QKeySequence::Print);
        Button(ID_PREVIOUS)->setShortcut(QKeySequence(Qt::Key_PageUp));
        Button(ID_NEXT)->setShortcut(QKeySequence(Qt::Key_PageDown));
        Button(ID_ZOOMIN)->setShortcuts(
            {QKeySequence::ZoomIn, QKeySequence(Qt::CTRL | Qt::Key_Equal)});
        Button(ID_ZOOMOUT)->setShortcut(QKeySequence::ZoomOut);
    });
}

void frmPrintPreview::StatusBarCreate() {
    Guard g("frmPrintPreview", "StatusBarCreate", this);
    g.run([&] {
        QStatusBar* bar = cbar->statusBar();
        bar->setObjectName(QStringLiteral("StatusBar"));
        bar->setSizeGripEnabled(false);
        bar->show();
        // A command's description covers the bar while the mouse is on the
        // command; then the idle text "Ready" is back.
        auto* panes = new modWP::StatusPanes(bar, QStringLiteral("Ready"));
        m_panStatus = panes->AddPane(0, 0, QStringLiteral("Ready"), true);
    });
}

QAction* frmPrintPreview::Button(qint32 id) const {
    return m_toolbar ? m_toolbar->findChild<QAction*>(QString::number(id)) : nullptr;
}

void frmPrintPreview::ToggleButtons() {
    Guard g("frmPrintPreview", "ToggleButtons", this);
    g.run([&] {
        if (!m_toolbar)
            return;
        const qint32 pages = m_txPrev->CurrentPages();
        auto set = [this](qint32 id, bool enabled) {
            if (QAction* a = Button(id))
                a->setEnabled(enabled);
        };
        set(ID_PREVIOUS, m_lCurPage >= 2);
        set(ID_NEXT, m_bTwoPages ? pages > m_lCurPage + 1 : pages > m_lCurPage);
        set(ID_TWOPAGES, m_iZoomMode < 1);
        if (pages == 1)
            set(ID_TWOPAGES, false);
        set(ID_ZOOMIN, m_iZoomMode < 2);
        set(ID_ZOOMOUT, m_iZoomMode >= 1);
        if (QAction* label = Button(ID_PAGELABEL))
            label->setText(PageLabel(m_lCurPage, pages));
    });
}

void frmPrintPreview::FormResize() {
    Guard g("frmPrintPreview", "FormResize", this);
    g.run([&] {
        m_lPageWidth = m_txPrev->PageWidth();
        m_lPageHeight = m_txPrev->PageHeight();
        m_iOldPrintZoom = m_txPrev->PrintZoom();
        const QRectF client(0, 0, RoundToInt32(m_client->width() * m_tppX),
                            RoundToInt32(m_client->height() * m_tppY));
        m_geo.hs.value = scrollH->value();
        m_geo.vs.value = scrollV->value();
        LayoutGeometry(m_geo, client, m_lPageWidth, m_lPageHeight, m_iZoomMode, m_bTwoPages);
        ApplyGeometry();
        DoPreview();
    });
}

void frmPrintPreview::ApplyGeometry() {
    auto px = [this](const QRectF& r) {
        return QRect(qRound(r.left() / m_tppX), qRound(r.top() / m_tppY),
                     qRound(r.width() / m_tppX), qRound(r.height() / m_tppY));
    };
    picMain->setGeometry(px(m_geo.picMain));
    picPage1->setGeometry(px(m_geo.picPage1));
    picPage2->setGeometry(px(m_geo.picPage2));
    scrollH->setGeometry(px(m_geo.scrollH));
    scrollV->setGeometry(px(m_geo.scrollV));
    auto apply = [](QScrollBar* bar, const ScrollState& s) {
        const QSignalBlocker block(bar);
        bar->setRange(0, std::max(0, s.maximum));
        bar->setPageStep(s.largeChange);
        bar->setSingleStep(s.smallChange);
        bar->setValue(s.value);
        bar->setEnabled(s.enabled);
    };
    apply(scrollH, m_geo.hs);
    apply(scrollV, m_geo.vs);
}

void frmPrintPreview::DoPreview() {
    Guard g("frmPrintPreview", "DoPreview", this);
    g.run([&] {
        picPage1->update();
        if (m_bTwoPages)
            picPage2->update();
    });
}

void frmPrintPreview::SetZoomMode(qint16 zoom) {
    Guard g("frmPrintPreview", "SetZoomMode", this);
    g.param(QStringLiteral("zoom"), zoom);
    g.run([&] {
        if (zoom < 0 || zoom > 2)
            return;
        m_iZoomMode = zoom;
        if (zoom == 0) {
            scrollH->hide();
            scrollV->hide();
            picPage2->setVisible(m_bTwoPages);
        } else {
            scrollH->show();
            scrollV->show();
            scrollH->raise();
            scrollV->raise();
            picPage2->hide();
            const double factor = zoom == 1 ? 0.75 : 1.0;
            m_geo.picPage1.setSize(QSizeF(m_lPageWidth * factor, m_lPageHeight * factor));
            m_geo.vs.maximum = ZoomScrollMaximum(m_geo.picPage1.height(), m_geo.picMain.height());
            m_geo.hs.maximum = ZoomScrollMaximum(m_geo.picPage1.width(), m_geo.picMain.width());
            clampValue(m_geo.vs);
            clampValue(m_geo.hs);
            ApplyGeometry();
        }
        ToggleButtons();
        FormResize();
    });
}

bool frmPrintPreview::CalculatePrintZoom() {
    Guard g("frmPrintPreview", "CalculatePrintZoom", this);
    return g.run([&] {
        if (!m_cTX)
            wp::raise(err::ObjectNotSet);
        const qint16 zoom = FittedPrintZoom(m_geo.picPage1.width(), m_geo.picPage1.height(),
                                            m_cTX->PageWidth(), m_cTX->PageHeight());
        if (zoom == 0)
            return false;
        m_cTX->setPrintZoom(zoom);
        return true;
    });
}

void frmPrintPreview::picPage1_Paint(QPainter& painter) {
    Guard g("frmPrintPreview", "picPage1_Paint", this);
    g.runEvent([&] {
        if (!CalculatePrintZoom())
            return;
        // The first page may stay blank rather than interrupt the window.
        auto tolerate = [](auto&& step) {
            try {
                step();
            } catch (...) {
            }
        };
        qint16 iViewMode = 2;
        tolerate([&] { iViewMode = m_cTX->ViewMode(); });
        tolerate([&] { m_cTX->setViewMode(2); });
        tolerate([&] { m_cTX->setPrintDevice(&painter); });
        tolerate([&] { m_cTX->PrintPage(m_lCurPage); });
        tolerate([&] { m_cTX->setViewMode(iViewMode); });
        m_cTX->setPrintDevice(nullptr);
    });
}

void frmPrintPreview::picPage2_Paint(QPainter& painter) {
    Guard g("frmPrintPreview", "picPage2_Paint", this);
    g.runEvent([&] {
        if (!CalculatePrintZoom())
            return;
        auto done = qScopeGuard([&] { m_cTX->setPrintDevice(nullptr); });
        const qint16 iViewMode = m_cTX->ViewMode();
        m_cTX->setViewMode(2);
        m_cTX->setPrintDevice(&painter);
        m_cTX->PrintPage(m_lCurPage + 1);
        m_cTX->setViewMode(iViewMode);
    });
}

void frmPrintPreview::scrollH_Change(int value) {
    Guard g("frmPrintPreview", "scrollH_Change", this);
    g.runEvent([&] {
        m_geo.hs.value = value;
        m_geo.picPage1.moveLeft(PageMargin - value);
        FormResize();
    });
}

void frmPrintPreview::scrollV_Change(int value) {
    Guard g("frmPrintPreview", "scrollV_Change", this);
    g.runEvent([&] {
        m_geo.vs.value = value;
        m_geo.picPage1.moveTop(PageMargin - value);
        FormResize();
    });
}

void frmPrintPreview::cbar_Execute(qint32 id) {
    Guard g("frmPrintPreview", "cbar_Execute", this);
    g.param(QStringLiteral("Control"), id);
    g.runEvent([&] {
        switch (id) {
        case ID_NEXT:
            ++m_lCurPage;
            ToggleButtons();
            FormResize();
            break;
        case ID_PREVIOUS:
            --m_lCurPage;
            ToggleButtons();
            FormResize();
            break;
        case ID_TWOPAGES: {
            m_iZoomMode = 0;
            m_bTwoPages = !m_bTwoPages;
            QAction* button = Button(ID_TWOPAGES);
            if (m_bTwoPages) {
                button->setText(QStringLiteral("One Page"));
                button->setIcon(imlMain->Icon(ICON_ONEPAGE));
                // On the last page the last two pages are shown.
                if (m_txPrev->CurrentPages() == m_lCurPage)
                    --m_lCurPage;
            } else {
                button->setText(QStringLiteral("Two Pages"));
                button->setIcon(imlMain->Icon(ID_TWOPAGES));
            }
            FormResize();
            picPage2->setVisible(m_bTwoPages);
            ToggleButtons();
            break;
        }
        case ID_ZOOMIN:
            SetZoomMode(qint16(m_iZoomMode + 1));
            break;
        case ID_ZOOMOUT:
            SetZoomMode(qint16(m_iZoomMode - 1));
            break;
        case ID_CLOSE:
            Unload();
            break;
        case ID_PRINT:
            PrintTX2(m_cTX, modPrintDlg::PD_RETURNDC);
            break;
        default:
            break;
        }
    });
}

void frmPrintPreview::ClickZoom(double X, double Y, double nOldX, double nOldY) {
    // The scroll bars' change events move the page, so the point clicked
    // comes into view in the same proportion.
    if (nOldX != 0)
        scrollH->setValue(RoundToInt32(X / nOldX * m_geo.hs.maximum));
    if (nOldY != 0)
        scrollV->setValue(RoundToInt32(Y / nOldY * m_geo.vs.maximum));
}

void frmPrintPreview::picPage1_MouseUp(qint16 button, qint16 shift, double X, double Y) {
    double nOldX = 0;
    double nOldY = 0;
    Guard g("frmPrintPreview", "picPage1_MouseUp", this);
    bindMouseUp(g, button, shift, X, Y, nOldX, nOldY);
    g.runEvent([&] {
        nOldX = RoundToInt32(m_geo.picPage1.width());
        nOldY = RoundToInt32(m_geo.picPage1.height());
        if (button == 1) {
            if (m_iZoomMode == 2)
                return;
            SetZoomMode(qint16(m_iZoomMode + 1));
        } else if (button == 2) {
            SetZoomMode(qint16(m_iZoomMode - 1));
        }
        if (m_iZoomMode > 0)
            ClickZoom(X, Y, nOldX, nOldY);
    });
}

void frmPrintPreview::picPage2_MouseUp(qint16 button, qint16 shift, double X, double Y) {
    double nOldX = 0;
    double nOldY = 0;
    Guard g("frmPrintPreview", "picPage2_MouseUp", this);
    bindMouseUp(g, button, shift, X, Y, nOldX, nOldY);
    g.runEvent([&] {
        if (button != 1 || m_txPrev->CurrentPages() == m_lCurPage)
            return;
        // Both pages have the size of the first.
        nOldX = RoundToInt32(m_geo.picPage1.width());
        nOldY = RoundToInt32(m_geo.picPage1.height());
        if (shift == 0) {
            ++m_lCurPage;
            SetZoomMode(qint16(m_iZoomMode + 1));
        }
        if (m_iZoomMode > 0)
            ClickZoom(X, Y, nOldX, nOldY);
    });
}

void frmPrintPreview::PrintTX2(TextControl* tx, qint32 PrintFlags) {
    qint16 intZoomFactor = 0;
    Guard g("frmPrintPreview", "PrintTX2", this);
    g.param(QStringLiteral("tx"), tx)
        .param(QStringLiteral("PrintFlags"), PrintFlags)
        .local(QStringLiteral("intZoomFactor"), intZoomFactor);
    g.run([&] {
        modPrintDlg::LockWindow(this, true);
        intZoomFactor = m_iZoomMode;
        // The window comes back as it was, whatever the dialog and the printer did.
        // The print zoom is otherwise computed only while the page areas
        // paint, and the frozen window never paints: compute it here, for
        // the print and again for the view that comes back.
        auto restore = [&] {
            if (intZoomFactor != 2)
                SetZoomMode(intZoomFactor);
            CalculatePrintZoom();
            modPrintDlg::LockWindow(this, false);
        };
        try {
            if (intZoomFactor != 2)
                SetZoomMode(2);
            CalculatePrintZoom();
            modPrintDlg::PrintDialogTX(tx, PrintFlags);
        } catch (...) {
            restore();
            throw;
        }
        restore();
    });
}

void frmPrintPreview::Unloading() {
    if (m_cTX)
        m_cTX->setPrintZoom(m_iOldPrintZoom);
}

} // namespace wp
