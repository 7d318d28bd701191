#pragma once
// The print preview: a private copy of the host's document drawn page by
// page as it prints, at whole page, 75 % or 100 %, one or two pages at a
// time, with paging, click-to-zoom, scrolling and printing.
//
// Every length of the layout is twips, as the window's rules are written;
// the widgets get pixels through the screen's twips per pixel.

#include "forms/FormSupport.h"

#include <QPointer>
#include <QRectF>

class QAction;
class QLabel;
class QMainWindow;
class QPainter;
class QScrollBar;
class QToolBar;

namespace wp {

class TextControl;
namespace modWP {
class ImageManager;
}

class frmPrintPreview : public Form<frmPrintPreview> {
    Q_OBJECT
    Q_PROPERTY(qint32 m_lCurPage READ CurPage)
    Q_PROPERTY(bool m_bTwoPages READ TwoPages)
    Q_PROPERTY(qint16 m_iZoomMode READ ZoomMode)

public:
    /// Command ids of the toolbar (and the icon ids of its buttons).
    enum : qint32 {
        ID_NEXT = 961,
        ID_PREVIOUS = 962,
        ID_TWOPAGES = 963,
        ID_ZOOMIN = 964,
        ID_ZOOMOUT = 965,
        ID_CLOSE = 966,
        ID_PAGELABEL = 967,
        ID_PRINT = 968,
        ICON_ONEPAGE = 960,
        ICON_CLOSE = 1126,
    };
    /// Twips of the layout: page margin inside the work area, room added
    /// around a zoomed page, vertical allowance of the whole-page view and
    /// horizontal allowance of two pages.
    static constexpr double PageMargin = 100;
    static constexpr double ScrollMargin = 200;
    static constexpr double WholeAllowance = 300;
    static constexpr double TwoPageAllowance = 400;

    /// A scroll bar's range and position, twips.
    struct ScrollState {
        qint32 maximum = 0;
        qint32 largeChange = 0;
        qint32 smallChange = 0;
        qint32 value = 0;
        bool enabled = true;
    };
    /// Positions and sizes of the work area, the page areas and the scroll
    /// bars inside the client area, twips.
    struct Geometry {
        QRectF picMain, picPage1, picPage2, scrollH, scrollV;
        ScrollState hs, vs;
    };

    /// The layout steps for a client area of `client` twips (left, top,
    /// width, height): places the work area and the scroll bars, then the
    /// page areas by zoom mode. The page areas keep their size where the
    /// window is too small for one, and a zoomed page keeps the size its
    /// zoom gave it.
    static void LayoutGeometry(Geometry& g, const QRectF& client, double pageWidth,
                               double pageHeight, qint16 zoomMode, bool twoPages);
    /// The scroll range a zoom switch sets from the page area and work area
    /// sizes (never below 0: a scroll bar's range cannot run backwards).
    static qint32 ZoomScrollMaximum(double pageSide, double workSide);
    /// The print zoom that fits a page of pageWidth × pageHeight into an area
    /// of areaWidth × areaHeight (the smaller of the two, whole percent),
    /// or 0 when no zoom is to be set: below 10 % by width, or outside the
    /// 1..1000 % a page can be drawn at.
    static qint16 FittedPrintZoom(double areaWidth, double areaHeight, double pageWidth,
                                  double pageHeight);
    /// "   Page X of Y   ".
    static QString PageLabel(qint32 page, qint32 pages);

    explicit frmPrintPreview(QWidget* parent = nullptr);
    ~frmPrintPreview() override;

    /// Copies the host's document, starts at page 1, whole page, one page,
    /// and shows the window modally; returns when it has closed.
    void ShowPreview(TextControl* tx);
    /// What ShowPreview does before showing: the copy, the starting state
    /// and the first layout. A failure is reported and fails with 65535.
    void Load(TextControl* tx);
    /// Switches the zoom mode (0 whole page, 1 75 %, 2 100 %); other values
    /// are ignored.
    void SetZoomMode(qint16 zoom);
    /// Sets the copy's print zoom so that a page fills picPage1; false when
    /// no zoom was set (nothing is then drawn).
    bool CalculatePrintZoom();
    /// Lays out the work area, scroll bars and page areas, then repaints.
    void FormResize();
    /// Repaints the page areas that are shown.
    void DoPreview();
    /// Runs the command of a toolbar id (other ids do nothing).
    void cbar_Execute(qint32 id);
    /// Click-to-zoom: `button` 1 left, 2 right; `shift` 1 Shift, 2 Ctrl,
    /// 4 Alt; X, Y in twips of the page area.
    void picPage1_MouseUp(qint16 button, qint16 shift, double X, double Y);
    void picPage2_MouseUp(qint16 button, qint16 shift, double X, double Y);
    /// Prints `tx` through the print dialog at 100 %, the window frozen,
    /// and brings the preview back as it was.
    void PrintTX2(TextControl* tx, qint32 PrintFlags);

    qint32 CurPage() const { return m_lCurPage; }
    bool TwoPages() const { return m_bTwoPages; }
    qint16 ZoomMode() const { return m_iZoomMode; }
    const Geometry& geometryTwips() const { return m_geo; }
    /// The private copy (never shown).
    TextControl* txPrev() const { return m_txPrev; }
    /// Screen twips per pixel, across and down.
    double twipsPerPixelX() const { return m_tppX; }
    double twipsPerPixelY() const { return m_tppY; }

    QString DumpModuleVariables() const override;

private:
    class PageArea;
    friend class PageArea;

    void BuildControls();
    void CloneTX(TextControl* tx);
    void EnsureLoaded();
    void Form_Load();
    void Unloading() override;
    void ToolbarCreate();
    void StatusBarCreate();
    void ToggleButtons();
    void LoadIcons();
    QAction* Button(qint32 id) const;
    void ApplyGeometry();
    void ClickZoom(double X, double Y, double nOldX, double nOldY);
    void picPage1_Paint(QPainter& painter);
    void picPage2_Paint(QPainter& painter);
    void scrollH_Change(int value);
    void scrollV_Change(int value);

    // Window state.
    TextControl* m_cTX = nullptr;
    qint32 m_lPageWidth = 0;
    qint32 m_lPageHeight = 0;
    qint32 m_lCurPage = 1;
    bool m_bTwoPages = false;
    qint16 m_iZoomMode = 0;
    qint16 m_iOldPrintZoom = 100;
    QLabel* m_panStatus = nullptr;

    Geometry m_geo;
    double m_tppX = 15.0;
    double m_tppY = 15.0;
    bool m_blnLoaded = false;
    bool m_blnApplying = false;

    QMainWindow* cbar = nullptr;
    QToolBar* m_toolbar = nullptr;
    QWidget* m_client = nullptr;
    QWidget* picMain = nullptr;
    PageArea* picPage1 = nullptr;
    PageArea* picPage2 = nullptr;
    QScrollBar* scrollH = nullptr;
    QScrollBar* scrollV = nullptr;
    TextControl* m_txPrev = nullptr;
    modWP::ImageManager* imlMain = nullptr;
};

} // namespace wp
