#pragma once
// The editing view of a paged document: its pages as white sheets on a grey
// desk, with headers and footers, a caret, selection, typing and scrolling.
// Every page is painted by PageLayout::drawPage, as on paper.

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QTextCursor>
#include <functional>
#include <vector>

class QPainter;
class QTextDocument;

namespace wp {

class PageLayout;

class PageView : public QAbstractScrollArea {
    Q_OBJECT
public:
    /// Shows the pages of `layout` (not owned; it must outlive the view).
    explicit PageView(PageLayout* layout, QWidget* parent = nullptr);
    ~PageView() override;

    PageLayout* pageLayout() const { return m_layout; }

    /// The caret and selection, on the layout's document or, while a header
    /// or footer is edited, on that area's document.
    QTextCursor textCursor() const { return m_cursor; }
    void setTextCursor(const QTextCursor& cursor);

    /// The header or footer edited in place (an hf:: flag; 0: the body) and
    /// the page whose sheet shows its caret.
    int editedArea() const { return m_area; }
    int editedAreaPage() const;
    /// Edits area `flag` in place as page `page` shows it (0: the first page
    /// that shows it), caret at its start; the body is dimmed meanwhile.
    /// With 0, returns to the body and its caret. An area that no page
    /// shows, or the draft view, leaves the body edited.
    void editArea(int flag, int page = 0);

    /// A read-only view shows no caret and refuses typing, pasting and
    /// deleting; moving, selecting and copying still work, and Tab moves
    /// the focus on.
    bool isReadOnly() const { return m_readOnly; }
    void setReadOnly(bool on);

    /// Zoom of the sheets, percent of their real size on this screen.
    double zoom() const { return m_zoom; }
    void setZoom(double percent);

    /// Draft view: the body slices of the pages as one column, without
    /// headers, footers or gaps; a dotted line marks each page break.
    bool draft() const { return m_draft; }
    void setDraft(bool on);

    /// Field under the mouse: id of the field at a document position (0 for
    /// none), and the pointer code its handler asks for (0 keeps the text
    /// pointer). Both are set by the control that owns the fields.
    std::function<int(int pos)> fieldAt;
    std::function<int(int fieldId)> fieldPointer;
    /// Puts typed or pasted text at the cursor (the owner's rules for
    /// fields); plain insertText when unset.
    std::function<void(QTextCursor& cursor, const QString& text)> insertText;
    /// The shape shown for a classic mouse-pointer code (0 default, 1 arrow,
    /// 2 cross, 3 I-beam, 11 hourglass, 12 no-drop, ...).
    static Qt::CursorShape cursorShape(int pointerCode);

    /// Top-left of a page's sheet in viewport pixels.
    QPoint pageOrigin(int page) const;
    /// Scale of the sheets: viewport pixels per twip.
    double pixelsPerTwip() const;
    /// The caret's rectangle in viewport pixels.
    QRect caretViewportRect() const;
    /// Scrolls so that the caret can be seen.
    void ensureCaretVisible();
    /// Document position under a viewport point (-1 off the pages).
    int positionAt(const QPoint& viewportPoint) const;

signals:
    void cursorPositionChanged();
    void selectionChanged();
    /// Editing moved between the body (0) and a header or footer (hf:: flag).
    void editedAreaChanged(int flag);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool focusNextPrevChild(bool next) override;

private:
    void onPagesChanged();
    void updateScrollBars();
    QSize sheetSize(int page) const; // a section may have paper of its own
    int widestSheet() const;
    int sheetHeight(int page) const;
    const std::vector<int>& sheetTops() const;
    double sheetTopTwips(int page) const;
    int pageAtY(int contentY) const;
    void typeText(const QString& text);
    /// Tab and Shift+Tab in a table: the caret to the next or the previous
    /// cell, a new row after the last; false outside a table.
    bool moveToCell(bool back);
    void cursorMoved(bool selectionMayChange = true);
    bool handleMove(QKeyEvent* event);
    void moveByPage(bool down, QTextCursor::MoveMode mode);
    void copy() const;
    void paste();
    void updatePointer(const QPoint& viewportPoint);
    // Where a viewport point falls: its page, the point in page twips, and
    // the header or footer area under it (hf:: flag, 0: the body).
    struct Hit {
        int page = 1;
        QPointF pagePoint;
        int area = 0;
    };
    Hit hitAt(const QPoint& viewportPoint) const;
    int areaPositionAt(const QPoint& viewportPoint) const;
    QTextDocument* editedDocument() const;
    bool switchArea(int flag, int page);
    void leaveAreaIfGone();
    void drawAreaSelection(QPainter* painter, int page) const;
    void dimBody(QPainter* painter, int page) const;

    PageLayout* m_layout;
    QTextCursor m_cursor;
    int m_area = 0;           // hf:: flag of the area edited in place, 0: the body
    int m_areaPage = 1;       // the page whose sheet shows its caret
    QTextCursor m_bodyCursor; // the body's caret while an area is edited
    double m_zoom = 100;
    bool m_draft = false;
    bool m_readOnly = false;
    mutable bool m_sheetsDirty = true;
    mutable std::vector<int> m_tops; // content y of each sheet's top, pixels
    bool m_caretOn = true;
    bool m_selecting = false;
    bool m_scrollPending = false;
    int m_lastPos = -1, m_lastAnchor = -1;
    QBasicTimer m_blink;
};

} // namespace wp
