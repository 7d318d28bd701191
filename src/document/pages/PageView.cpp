#include "document/pages/PageView.h"

#include "document/TextControlDocument.h"
#include "document/formats/NativeFormat.h"
#include "document/pages/PageLayout.h"
#include "wp/PageFormat.h"
#include "wp/hooks.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextLayout>
#include <QTextTable>
#include <QTimer>
#include <algorithm>
#include <cmath>

namespace wp {

namespace {
constexpr int kGap = 16; // desk between and around the sheets, pixels
const QColor kDesk(0x9a, 0x9a, 0x9a);
const QColor kShadow(0x60, 0x60, 0x60);
// Laid over the body while a header or footer is edited.
const QColor kDimmed(255, 255, 255, 150);

bool isFooter(int flag) {
    return flag == hf::Footer || flag == hf::FirstPageFooter;
}

// The caret of a position in a header or footer document, in that
// document's own coordinates (twips).
QRectF caretInDocument(QTextDocument* doc, int pos) {
    const QTextBlock block = doc->findBlock(std::clamp(pos, 0, doc->characterCount() - 1));
    const QRectF r = doc->documentLayout()->blockBoundingRect(block);
    QTextLayout* tl = block.layout();
    QTextLine line = tl ? tl->lineForTextPosition(pos - block.position()) : QTextLine();
    if (!line.isValid() && tl && tl->lineCount() > 0)
        line = tl->lineAt(tl->lineCount() - 1);
    if (!line.isValid())
        return QRectF(r.topLeft(), QSizeF(15, std::max(r.height(), 240.0)));
    return QRectF(r.left() + line.cursorToX(pos - block.position()), r.top() + line.y(), 15,
                  line.height());
}

struct KeyMove {
    QKeySequence::StandardKey key;
    QTextCursor::MoveOperation op;
    QTextCursor::MoveMode mode;
};

const KeyMove kMoves[] = {
    {QKeySequence::MoveToNextChar, QTextCursor::NextCharacter, QTextCursor::MoveAnchor},
    {QKeySequence::MoveToPreviousChar, QTextCursor::PreviousCharacter, QTextCursor::MoveAnchor},
    {QKeySequence::MoveToNextWord, QTextCursor::NextWord, QTextCursor::MoveAnchor},
    {QKeySequence::MoveToPreviousWord, QTextCursor::PreviousWord, QTextCursor::MoveAnchor},
    {QKeySequence::MoveToNextLine, QTextCursor::Down, QTextCursor::MoveAnchor},
    {QKeySequence::MoveToPreviousLine, QTextCursor::Up, QTextCursor::MoveAnchor},
    {QKeySequence::MoveToStartOfLine, QTextCursor::StartOfLine, QTextCursor::MoveAnchor},
    {QKeySequence::MoveToEndOfLine, QTextCursor::EndOfLine, QTextCursor::MoveAnchor},
    {QKeySequence::MoveToStartOfBlock, QTextCursor::StartOfBlock, QTextCursor::MoveAnchor},
    {QKeySequence::MoveToEndOfBlock, QTextCursor::EndOfBlock, QTextCursor::MoveAnchor},
    {QKeySequence::MoveToStartOfDocument, QTextCursor::Start, QTextCursor::MoveAnchor},
    {QKeySequence::MoveToEndOfDocument, QTextCursor::End, QTextCursor::MoveAnchor},
    {QKeySequence::SelectNextChar, QTextCursor::NextCharacter, QTextCursor::KeepAnchor},
    {QKeySequence::SelectPreviousChar, QTextCursor::PreviousCharacter, QTextCursor::KeepAnchor},
    {QKeySequence::SelectNextWord, QTextCursor::NextWord, QTextCursor::KeepAnchor},
    {QKeySequence::SelectPreviousWord, QTextCursor::PreviousWord, QTextCursor::KeepAnchor},
    {QKeySequence::SelectNextLine, QTextCursor::Down, QTextCursor::KeepAnchor},
    {QKeySequence::SelectPreviousLine, QTextCursor::Up, QTextCursor::KeepAnchor},
    {QKeySequence::SelectStartOfLine, QTextCursor::StartOfLine, QTextCursor::KeepAnchor},
    {QKeySequence::SelectEndOfLine, QTextCursor::EndOfLine, QTextCursor::KeepAnchor},
    {QKeySequence::SelectStartOfBlock, QTextCursor::StartOfBlock, QTextCursor::KeepAnchor},
    {QKeySequence::SelectEndOfBlock, QTextCursor::EndOfBlock, QTextCursor::KeepAnchor},
    {QKeySequence::SelectStartOfDocument, QTextCursor::Start, QTextCursor::KeepAnchor},
    {QKeySequence::SelectEndOfDocument, QTextCursor::End, QTextCursor::KeepAnchor},
};
} // namespace

PageView::PageView(PageLayout* layout, QWidget* parent)
    : QAbstractScrollArea(parent), m_layout(layout) {
    setObjectName(QStringLiteral("PageView"));
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setMouseTracking(true);
    viewport()->setAutoFillBackground(false);
    setFrameShape(QFrame::NoFrame);
    horizontalScrollBar()->setSingleStep(20);
    verticalScrollBar()->setSingleStep(20);
    if (m_layout->document())
        m_cursor = QTextCursor(m_layout->document());
    connect(m_layout, &PageLayout::pagesChanged, this, &PageView::onPagesChanged);
    updateScrollBars();
}

PageView::~PageView() = default;

void PageView::setTextCursor(const QTextCursor& cursor) {
    // A caret in another part of the page moves the editing there.
    QTextDocument* doc = cursor.document();
    if (m_area && doc && doc == m_layout->document()) {
        editArea(0);
    } else if (doc && doc != editedDocument() && !m_draft) {
        for (int flag : {hf::Header, hf::FirstPageHeader, hf::Footer, hf::FirstPageFooter}) {
            if (m_layout->headerFooterDocument(flag) == doc) {
                editArea(flag);
                if (m_area == flag)
                    break;
            }
        }
    }
    if (doc && doc != editedDocument())
        return;
    m_cursor = cursor;
    cursorMoved();
    ensureCaretVisible();
}

void PageView::setDraft(bool on) {
    if (on == m_draft)
        return;
    if (on)
        editArea(0); // the draft view shows no headers or footers
    m_draft = on;
    m_sheetsDirty = true;
    updateScrollBars();
    ensureCaretVisible();
    viewport()->update();
}

void PageView::setZoom(double percent) {
    if (!(percent >= 10 && percent <= 500) || percent == m_zoom)
        return;
    m_zoom = percent;
    m_sheetsDirty = true;
    updateScrollBars();
    ensureCaretVisible();
    viewport()->update();
}

double PageView::pixelsPerTwip() const {
    return m_zoom / 100.0 * logicalDpiX() / 1440.0;
}

QSize PageView::sheetSize(int page) const {
    const PageFormat& f = m_layout->pageFormatOf(page);
    const QSizeF s = QSizeF(f.width, f.height) * pixelsPerTwip();
    return QSize(int(std::ceil(s.width())), int(std::ceil(s.height())));
}

int PageView::widestSheet() const {
    int width = 0;
    for (int p = 1; p <= m_layout->pageCount(); ++p)
        width = std::max(width, sheetSize(p).width());
    return width;
}

int PageView::sheetHeight(int page) const {
    if (!m_draft)
        return sheetSize(page).height();
    return std::max(1, int(std::round(m_layout->sliceHeight(page) * pixelsPerTwip())));
}

const std::vector<int>& PageView::sheetTops() const {
    const int pages = m_layout->pageCount();
    if (m_sheetsDirty || int(m_tops.size()) != pages) {
        m_tops.resize(pages);
        // Sheets stand apart on the desk; draft slices join into one column.
        const int gap = m_draft ? 0 : kGap;
        int y = kGap;
        for (int p = 1; p <= pages; ++p) {
            m_tops[p - 1] = y;
            y += sheetHeight(p) + gap;
        }
        m_sheetsDirty = false;
    }
    return m_tops;
}

// The page y (twips) that is drawn at the top of a page's sheet.
double PageView::sheetTopTwips(int page) const {
    // The draft view leaves out the header and the repeated table header rows.
    return m_draft ? m_layout->bodyRect(page).top() + m_layout->repeatedHeaderHeight(page) : 0.0;
}

QPoint PageView::pageOrigin(int page) const {
    const QSize sheet = sheetSize(std::clamp(page, 1, m_layout->pageCount()));
    const int x = std::max(kGap, (viewport()->width() - sheet.width()) / 2);
    const auto& tops = sheetTops();
    const int y = tops[std::clamp(page, 1, int(tops.size())) - 1];
    return QPoint(x - horizontalScrollBar()->value(), y - verticalScrollBar()->value());
}

int PageView::pageAtY(int contentY) const {
    const auto& tops = sheetTops();
    // The sheet whose top is the last one above the point (a point in the
    // gap below a sheet still belongs to it).
    auto it = std::upper_bound(tops.begin(), tops.end(), contentY + kGap / 2);
    return std::clamp(int(it - tops.begin()), 1, int(tops.size()));
}

void PageView::onPagesChanged() {
    m_sheetsDirty = true;
    leaveAreaIfGone();
    if (!m_area && m_layout->document() &&
        (m_cursor.isNull() || m_cursor.document() != m_layout->document())) {
        m_cursor = QTextCursor(m_layout->document());
        m_lastPos = m_lastAnchor = -1;
    }
    // Pagination is worked out once per burst of changes, not per change.
    if (!m_scrollPending) {
        m_scrollPending = true;
        QTimer::singleShot(0, this, [this] {
            m_scrollPending = false;
            updateScrollBars();
        });
    }
    viewport()->update();
}

void PageView::updateScrollBars() {
    const int pages = m_layout->pageCount();
    const auto& tops = sheetTops();
    const int contentW = widestSheet() + 2 * kGap;
    const int contentH = tops[pages - 1] + sheetHeight(pages) + kGap;
    const QSize vp = viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(0, contentW - vp.width()));
    horizontalScrollBar()->setPageStep(vp.width());
    verticalScrollBar()->setRange(0, std::max(0, contentH - vp.height()));
    verticalScrollBar()->setPageStep(vp.height());
}

void PageView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void PageView::scrollContentsBy(int, int) {
    viewport()->update();
}

void PageView::paintEvent(QPaintEvent* event) {
    QPainter p(viewport());
    p.fillRect(event->rect(), kDesk);
    leaveAreaIfGone();
    if (m_area && editedAreaPage() == 0)
        editArea(0); // no page shows the area any more
    if (!m_area && m_layout->document() &&
        (m_cursor.isNull() || m_cursor.document() != m_layout->document()))
        m_cursor = QTextCursor(m_layout->document());
    const int pages = m_layout->pageCount();
    const int first = pageAtY(event->rect().top() + verticalScrollBar()->value());
    QAbstractTextDocumentLayout::PaintContext ctx;
    if (!m_area && m_cursor.hasSelection()) {
        QAbstractTextDocumentLayout::Selection sel;
        sel.cursor = m_cursor;
        sel.format.setBackground(palette().brush(QPalette::Active, QPalette::Highlight));
        sel.format.setForeground(palette().brush(QPalette::Active, QPalette::HighlightedText));
        ctx.selections.append(sel);
    }
    const double s = pixelsPerTwip();
    for (int page = first; page <= pages; ++page) {
        const QPoint origin = pageOrigin(page);
        if (origin.y() > event->rect().bottom())
            break;
        const int width = sheetSize(page).width();
        const int height = sheetHeight(page);
        p.save();
        if (m_draft) {
            p.translate(origin);
            p.scale(s, s);
            m_layout->drawBodySlice(&p, page, &ctx);
        } else {
            p.fillRect(QRect(origin + QPoint(3, 3), QSize(width, height)), kShadow);
            p.translate(origin);
            m_layout->drawPage(&p, page, m_zoom, &ctx);
            if (m_area) {
                p.scale(s, s);
                dimBody(&p, page);
                drawAreaSelection(&p, page);
            }
        }
        p.restore();
        if (m_draft && page < pages) {
            p.setPen(QPen(Qt::darkGray, 1, Qt::DotLine));
            p.drawLine(origin.x(), origin.y() + height - 1, origin.x() + width,
                       origin.y() + height - 1);
        }
    }
    if (hasFocus() && m_caretOn && !m_readOnly && !m_cursor.isNull())
        p.fillRect(caretViewportRect(), Qt::black);
}

QRect PageView::caretViewportRect() const {
    if (m_cursor.isNull())
        return QRect();
    int page = 1;
    QRectF r;
    if (m_area) {
        page = editedAreaPage();
        const auto place = m_layout->headerFooterPlace(page, isFooter(m_area));
        if (place.flag != m_area)
            return QRect();
        r = caretInDocument(place.doc, m_cursor.position()).translated(place.origin);
    } else {
        std::tie(page, r) = m_layout->caretRect(m_cursor.position());
    }
    const double s = pixelsPerTwip();
    const QPoint o = pageOrigin(page);
    const double top = r.top() - sheetTopTwips(page);
    return QRect(int(o.x() + r.left() * s), int(o.y() + top * s), std::max(1, int(s * 20)),
                 std::max(2, int(std::round(r.height() * s))));
}

void PageView::ensureCaretVisible() {
    updateScrollBars();
    // Before the view has its size there is nothing to scroll for; showing
    // it brings the caret into view.
    if (!isVisible())
        return;
    const QRect c = caretViewportRect();
    if (c.isNull())
        return;
    const int margin = 12;
    const int h = viewport()->height(), w = viewport()->width();
    QScrollBar* v = verticalScrollBar();
    // A caret far out of sight is brought to the middle, one just past an
    // edge only as far as needed.
    if (c.bottom() < 0 || c.top() > h)
        v->setValue(v->value() + c.center().y() - h / 2);
    else if (c.top() < margin)
        v->setValue(v->value() + c.top() - margin);
    else if (c.bottom() > h - margin)
        v->setValue(v->value() + c.bottom() - h + margin);
    QScrollBar* hs = horizontalScrollBar();
    if (c.left() < margin)
        hs->setValue(hs->value() + c.left() - margin);
    else if (c.right() > w - margin)
        hs->setValue(hs->value() + c.right() - w + margin);
}

void PageView::showEvent(QShowEvent* event) {
    QAbstractScrollArea::showEvent(event);
    ensureCaretVisible();
}

PageView::Hit PageView::hitAt(const QPoint& pt) const {
    Hit h;
    h.page = pageAtY(pt.y() + verticalScrollBar()->value());
    h.pagePoint =
        QPointF(pt - pageOrigin(h.page)) / pixelsPerTwip() + QPointF(0, sheetTopTwips(h.page));
    if (!m_draft) {
        for (bool footer : {false, true}) {
            const auto place = m_layout->headerFooterPlace(h.page, footer);
            if (place.flag && place.area.contains(h.pagePoint)) {
                h.area = place.flag;
                break;
            }
        }
    }
    return h;
}

int PageView::positionAt(const QPoint& pt) const {
    if (!m_layout->document())
        return -1;
    const Hit h = hitAt(pt);
    return m_layout->hitTest(h.page, h.pagePoint);
}

// The position in the edited area nearest to a viewport point, taken on the
// sheet that shows the area's caret.
int PageView::areaPositionAt(const QPoint& pt) const {
    const int page = editedAreaPage();
    const auto place = m_layout->headerFooterPlace(page, isFooter(m_area));
    if (!m_area || place.flag != m_area)
        return -1;
    QPointF p = QPointF(pt - pageOrigin(page)) / pixelsPerTwip() - place.origin;
    const QSizeF size = place.doc->documentLayout()->documentSize();
    p.setX(std::clamp(p.x(), 0.0, std::max(0.0, size.width() - 1)));
    p.setY(std::clamp(p.y(), 0.0, std::max(0.0, size.height() - 1)));
    const int pos = place.doc->documentLayout()->hitTest(p, Qt::FuzzyHit);
    return pos >= 0 ? pos : place.doc->characterCount() - 1;
}

QTextDocument* PageView::editedDocument() const {
    return m_area ? m_layout->headerFooterDocument(m_area) : m_layout->document();
}

int PageView::editedAreaPage() const {
    if (!m_area)
        return 0;
    // The page the area was entered on, or the first that still shows it.
    const int pages = m_layout->pageCount();
    for (int p : {m_areaPage, 1, 2})
        if (p >= 1 && p <= pages && m_layout->headerFooterPlace(p, isFooter(m_area)).flag == m_area)
            return p;
    return 0;
}

void PageView::editArea(int flag, int page) {
    if (switchArea(flag, page)) {
        cursorMoved();
        ensureCaretVisible();
    }
}

// Moves the editing to area `flag` (0: the body) without scrolling; false
// when nothing changed.
bool PageView::switchArea(int flag, int page) {
    QTextDocument* doc = nullptr;
    if (flag) {
        doc = m_layout->headerFooterDocument(flag);
        const bool footer = isFooter(flag);
        auto shows = [&](int p) {
            return p >= 1 && p <= m_layout->pageCount() &&
                   m_layout->headerFooterPlace(p, footer).flag == flag;
        };
        if (!shows(page))
            page = shows(1) ? 1 : (shows(2) ? 2 : 0);
        if (m_draft || !doc || page == 0)
            return false;
    }
    if (flag == m_area && (!flag || page == m_areaPage))
        return false;
    const bool changed = flag != m_area;
    if (changed) {
        if (!m_area)
            m_bodyCursor = m_cursor;
        if (flag) {
            m_cursor = QTextCursor(doc);
        } else {
            QTextDocument* body = m_layout->document();
            m_cursor = !m_bodyCursor.isNull() && m_bodyCursor.document() == body
                           ? m_bodyCursor
                           : (body ? QTextCursor(body) : QTextCursor());
            m_bodyCursor = QTextCursor();
        }
        m_area = flag;
        m_lastPos = m_lastAnchor = -1;
        m_selecting = false;
    }
    m_areaPage = flag ? page : 1;
    viewport()->update();
    if (changed)
        emit editedAreaChanged(flag);
    return true;
}

// An area whose document went, or that the format no longer shows, gives
// the editing back to the body.
void PageView::leaveAreaIfGone() {
    if (!m_area)
        return;
    QTextDocument* doc = m_layout->headerFooterDocument(m_area);
    if (!doc || m_cursor.document() != doc || m_draft ||
        !(m_layout->pageFormat().headerFooter & m_area))
        editArea(0);
}

void PageView::dimBody(QPainter* painter, int page) const {
    const QRectF body = m_layout->bodyRect(page);
    painter->fillRect(QRectF(0, body.top(), m_layout->pageFormatOf(page).width, body.height()),
                      kDimmed);
    const auto place = m_layout->headerFooterPlace(page, isFooter(m_area));
    if (place.flag != m_area)
        return;
    // A dashed line parts the edited area from the body.
    QPen pen(palette().color(QPalette::Active, QPalette::Highlight), 0, Qt::DashLine);
    pen.setCosmetic(true);
    painter->setPen(pen);
    const double y = isFooter(m_area) ? place.area.top() : place.area.bottom();
    painter->drawLine(QPointF(0, y), QPointF(place.area.width(), y));
}

// The selection in the edited area, laid over the text as the sheet drew it.
void PageView::drawAreaSelection(QPainter* painter, int page) const {
    if (!m_cursor.hasSelection())
        return;
    const auto place = m_layout->headerFooterPlace(page, isFooter(m_area));
    if (place.flag != m_area || place.doc != m_cursor.document())
        return;
    QColor color = palette().color(QPalette::Active, QPalette::Highlight);
    color.setAlpha(110);
    const int start = m_cursor.selectionStart(), end = m_cursor.selectionEnd();
    QTextDocument* doc = place.doc;
    for (QTextBlock b = doc->findBlock(start); b.isValid() && b.position() <= end; b = b.next()) {
        QTextLayout* tl = b.layout();
        if (!tl)
            continue;
        const QPointF topLeft =
            place.origin + doc->documentLayout()->blockBoundingRect(b).topLeft();
        for (int i = 0; i < tl->lineCount(); ++i) {
            const QTextLine line = tl->lineAt(i);
            const int ls = b.position() + line.textStart();
            const int le = ls + line.textLength();
            const int from = std::max(start, ls), to = std::min(end, le);
            if (from > to || (from == to && end <= le))
                continue;
            const double x1 = line.cursorToX(from - b.position());
            double x2 = line.cursorToX(to - b.position());
            if (end > le) // the selection goes on past the line's end
                x2 = std::max(x2, x1 + 90);
            painter->fillRect(QRectF(topLeft.x() + std::min(x1, x2), topLeft.y() + line.y(),
                                     std::abs(x2 - x1), line.height()),
                              color);
        }
    }
}

void PageView::cursorMoved(bool selectionMayChange) {
    m_caretOn = true;
    if (hasFocus())
        m_blink.start(QApplication::cursorFlashTime() / 2 > 0 ? QApplication::cursorFlashTime() / 2
                                                              : 500,
                      this);
    viewport()->update();
    const int pos = m_cursor.position(), anchor = m_cursor.anchor();
    if (pos != m_lastPos)
        emit cursorPositionChanged();
    if (selectionMayChange && (anchor != m_lastAnchor || pos != m_lastPos) &&
        (anchor != pos || m_lastAnchor != m_lastPos))
        emit selectionChanged();
    m_lastPos = pos;
    m_lastAnchor = anchor;
}

void PageView::moveByPage(bool down, QTextCursor::MoveMode mode) {
    if (m_area) { // a header or footer is one short piece
        m_cursor.movePosition(down ? QTextCursor::End : QTextCursor::Start, mode);
        return;
    }
    const QRect caret = caretViewportRect();
    const int dy = viewport()->height() * 9 / 10;
    QScrollBar* v = verticalScrollBar();
    v->setValue(v->value() + (down ? dy : -dy));
    const int pos = positionAt(QPoint(caret.center().x(), caret.center().y()));
    if (pos >= 0)
        m_cursor.setPosition(pos, mode);
}

bool PageView::handleMove(QKeyEvent* event) {
    for (const KeyMove& m : kMoves) {
        if (event->matches(m.key)) {
            m_cursor.movePosition(m.op, m.mode);
            return true;
        }
    }
    if (event->matches(QKeySequence::MoveToNextPage) ||
        event->matches(QKeySequence::SelectNextPage)) {
        moveByPage(true, event->matches(QKeySequence::SelectNextPage) ? QTextCursor::KeepAnchor
                                                                      : QTextCursor::MoveAnchor);
        return true;
    }
    if (event->matches(QKeySequence::MoveToPreviousPage) ||
        event->matches(QKeySequence::SelectPreviousPage)) {
        moveByPage(false, event->matches(QKeySequence::SelectPreviousPage)
                              ? QTextCursor::KeepAnchor
                              : QTextCursor::MoveAnchor);
        return true;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        m_cursor.select(QTextCursor::Document);
        return true;
    }
    return false;
}

void PageView::keyPressEvent(QKeyEvent* event) {
    if (m_cursor.isNull()) {
        event->ignore();
        return;
    }
    if (m_area && event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        editArea(0);
        event->accept();
        return;
    }
    QTextDocument* doc = m_cursor.document();
    if (handleMove(event)) {
    } else if (event->matches(QKeySequence::Copy)) {
        copy();
    } else if (m_readOnly) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    } else if (event->matches(QKeySequence::Undo)) {
        doc->undo(&m_cursor);
    } else if (event->matches(QKeySequence::Redo)) {
        doc->redo(&m_cursor);
    } else if (event->matches(QKeySequence::Cut)) {
        copy();
        m_cursor.removeSelectedText();
    } else if (event->matches(QKeySequence::Paste)) {
        paste();
    } else if (event->key() == Qt::Key_Backspace && !(event->modifiers() & ~Qt::ShiftModifier)) {
        m_cursor.deletePreviousChar();
    } else if (event->matches(QKeySequence::Delete)) {
        m_cursor.deleteChar();
    } else if (event->matches(QKeySequence::DeleteStartOfWord)) {
        if (!m_cursor.hasSelection())
            m_cursor.movePosition(QTextCursor::PreviousWord, QTextCursor::KeepAnchor);
        m_cursor.removeSelectedText();
    } else if (event->matches(QKeySequence::DeleteEndOfWord)) {
        if (!m_cursor.hasSelection())
            m_cursor.movePosition(QTextCursor::NextWord, QTextCursor::KeepAnchor);
        m_cursor.removeSelectedText();
    } else if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (event->modifiers() & Qt::ShiftModifier)
            m_cursor.insertText(QString(QChar::LineSeparator));
        else
            m_cursor.insertBlock();
    } else if ((event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab) &&
               !(event->modifiers() & ~Qt::ShiftModifier)) {
        // In a table Tab goes to the next cell and Shift+Tab back, as in
        // every word processor; elsewhere it is a tab character.
        const bool back =
            event->key() == Qt::Key_Backtab || (event->modifiers() & Qt::ShiftModifier);
        if (!moveToCell(back))
            typeText(QStringLiteral("\t"));
    } else {
        const QString text = event->text();
        if (text.isEmpty() || !(text.at(0).isPrint() || text.at(0) == QLatin1Char('\t')) ||
            (event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier))) {
            QAbstractScrollArea::keyPressEvent(event);
            return;
        }
        typeText(text);
    }
    event->accept();
    cursorMoved();
    ensureCaretVisible();
}

bool PageView::moveToCell(bool back) {
    QTextTable* table = m_cursor.currentTable();
    if (!table)
        return false;
    const QTextTableCell from = table->cellAt(m_cursor);
    int row = from.row();
    int col = from.column();
    // Cells covered by a merged one are passed over.
    for (int guard = table->rows() * table->columns() + 1; guard > 0; --guard) {
        if (back) {
            if (--col < 0) {
                if (row == 0)
                    return true; // the first cell: Shift+Tab stays
                --row;
                col = table->columns() - 1;
            }
        } else {
            col = col == from.column() && row == from.row() ? col + from.columnSpan() : col + 1;
            if (col >= table->columns()) {
                col = 0;
                ++row;
            }
            // Tab in the last cell adds a row for the next entry.
            if (row >= table->rows())
                table->appendRows(1);
        }
        const QTextTableCell to = table->cellAt(row, col);
        if (to.isValid() && to.row() == row && to.column() == col) {
            // The next cell's text is selected, so that typing replaces it.
            m_cursor = to.lastCursorPosition();
            m_cursor.setPosition(to.firstCursorPosition().position(), QTextCursor::KeepAnchor);
            return true;
        }
    }
    return true;
}

void PageView::typeText(const QString& text) {
    if (insertText)
        insertText(m_cursor, text);
    else
        m_cursor.insertText(text);
}

void PageView::copy() const {
    if (!m_cursor.hasSelection())
        return;
    const QTextDocumentFragment fragment = m_cursor.selection();
    auto* mime = new QMimeData;
    mime->setText(fragment.toPlainText());
    mime->setHtml(fragment.toHtml());
    QGuiApplication::clipboard()->setMimeData(mime);
}

void PageView::paste() {
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    if (!mime)
        return;
    if (!mime->hasHtml()) {
        if (mime->hasText())
            typeText(mime->text());
        return;
    }
    // The HTML is read into a document of our own, which answers the
    // pictures and style sheets it names (nothing is read from disk); its
    // own pictures are those copied from this document. It then passes
    // through the native format's reader, so that what goes in keeps the
    // bounds of every document read.
    docmodel::DocumentContent html;
    QTextDocument* doc = html.body.get();
    QTextCursor(doc).insertFragment(QTextDocumentFragment::fromHtml(mime->html(), doc));
    docmodel::ownPictures(doc, m_cursor.document());
    const qint64 cells =
        docmodel::tableCells({m_layout->document(), m_layout->headerFooterDocument(hf::Header),
                              m_layout->headerFooterDocument(hf::FirstPageHeader),
                              m_layout->headerFooterDocument(hf::Footer),
                              m_layout->headerFooterDocument(hf::FirstPageFooter)});
    QString error = docmodel::tableLimitError(doc, cells);
    docmodel::DocumentContent piece;
    if (error.isEmpty())
        NativeFormat::read(NativeFormat::write(html.parts()), piece, &error);
    if (error.isEmpty())
        docmodel::insertPiece(m_cursor, piece.body.get(), cells, &error);
    if (!error.isEmpty())
        MsgBox(QStringLiteral("The text cannot be pasted: %1.").arg(error), mb::Exclamation);
}

void PageView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    const QPoint pt = event->position().toPoint();
    const Hit hit = hitAt(pt);
    // While a header or footer is edited, the dimmed body and the other
    // areas wait for a double-click; in the body, a press on a header or
    // footer leaves the caret where it is, as the press may begin one.
    if (hit.area != m_area)
        return;
    if (m_area)
        m_areaPage = hit.page;
    const int pos = m_area ? areaPositionAt(pt) : positionAt(pt);
    if (pos < 0)
        return;
    m_cursor.setPosition(pos, (event->modifiers() & Qt::ShiftModifier) ? QTextCursor::KeepAnchor
                                                                       : QTextCursor::MoveAnchor);
    m_selecting = true;
    cursorMoved();
}

void PageView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pt = event->position().toPoint();
    if (m_selecting && (event->buttons() & Qt::LeftButton)) {
        const int pos = m_area ? areaPositionAt(pt) : positionAt(pt);
        if (pos >= 0 && pos != m_cursor.position()) {
            m_cursor.setPosition(pos, QTextCursor::KeepAnchor);
            cursorMoved();
            ensureCaretVisible();
        }
    }
    updatePointer(pt);
}

void PageView::updatePointer(const QPoint& pt) {
    int code = 0;
    if (m_area) {
        if (hitAt(pt).area != m_area)
            code = 1; // the dimmed body takes no clicks but a double-click
    } else if (fieldAt && fieldPointer) {
        const int pos = positionAt(pt);
        const int id = pos >= 0 ? fieldAt(pos) : 0;
        if (id != 0)
            code = fieldPointer(id);
    }
    viewport()->setCursor(code == 0 ? Qt::IBeamCursor : cursorShape(code));
}

void PageView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        m_selecting = false;
    QAbstractScrollArea::mouseReleaseEvent(event);
}

void PageView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint pt = event->position().toPoint();
    const Hit hit = hitAt(pt);
    // A double-click into a header or footer edits it in place, one into
    // the body returns there; either puts the caret under the pointer.
    if (hit.area != m_area) {
        switchArea(hit.area, hit.page);
        if (m_area != hit.area)
            return;
        const int pos = m_area ? areaPositionAt(pt) : positionAt(pt);
        if (pos >= 0)
            m_cursor.setPosition(pos);
        cursorMoved();
        ensureCaretVisible();
        return;
    }
    if (m_area)
        m_areaPage = hit.page;
    const int pos = m_area ? areaPositionAt(pt) : positionAt(pt);
    if (pos < 0)
        return;
    m_cursor.setPosition(pos);
    m_cursor.select(QTextCursor::WordUnderCursor);
    cursorMoved();
}

void PageView::inputMethodEvent(QInputMethodEvent* event) {
    if (m_cursor.isNull() || m_readOnly) {
        event->ignore();
        return;
    }
    if (!event->commitString().isEmpty() || event->replacementLength() > 0) {
        m_cursor.beginEditBlock();
        if (event->replacementLength() > 0) {
            m_cursor.setPosition(m_cursor.position() + event->replacementStart());
            m_cursor.setPosition(m_cursor.position() + event->replacementLength(),
                                 QTextCursor::KeepAnchor);
        }
        typeText(event->commitString());
        m_cursor.endEditBlock();
        cursorMoved();
        ensureCaretVisible();
    }
    event->accept();
}

QVariant PageView::inputMethodQuery(Qt::InputMethodQuery query) const {
    switch (query) {
    case Qt::ImCursorRectangle:
        return caretViewportRect();
    case Qt::ImCursorPosition:
        return m_cursor.positionInBlock();
    case Qt::ImSurroundingText:
        return m_cursor.block().text();
    case Qt::ImAnchorPosition:
        return m_cursor.anchor() - m_cursor.block().position();
    default:
        return QAbstractScrollArea::inputMethodQuery(query);
    }
}

void PageView::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    cursorMoved(false);
}

void PageView::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    m_blink.stop();
    viewport()->update();
}

void PageView::timerEvent(QTimerEvent* event) {
    if (event->timerId() == m_blink.timerId()) {
        m_caretOn = !m_caretOn;
        viewport()->update(caretViewportRect().adjusted(-2, -2, 2, 2));
        return;
    }
    QAbstractScrollArea::timerEvent(event);
}

bool PageView::focusNextPrevChild(bool next) {
    // Tab is typed into an editable document; a read-only one passes it on.
    return m_readOnly && QAbstractScrollArea::focusNextPrevChild(next);
}

void PageView::setReadOnly(bool on) {
    m_readOnly = on;
    setAttribute(Qt::WA_InputMethodEnabled, !on);
    viewport()->update();
}

Qt::CursorShape PageView::cursorShape(int code) {
    switch (code) {
    case 1:
        return Qt::ArrowCursor;
    case 2:
        return Qt::CrossCursor;
    case 3:
        return Qt::IBeamCursor;
    case 5:
    case 15:
        return Qt::SizeAllCursor;
    case 6:
        return Qt::SizeBDiagCursor;
    case 7:
        return Qt::SizeVerCursor;
    case 8:
        return Qt::SizeFDiagCursor;
    case 9:
        return Qt::SizeHorCursor;
    case 10:
        return Qt::UpArrowCursor;
    case 11:
        return Qt::WaitCursor;
    case 12:
        return Qt::ForbiddenCursor;
    case 13:
        return Qt::BusyCursor;
    case 14:
        return Qt::WhatsThisCursor;
    case 16:
        return Qt::PointingHandCursor;
    default:
        return Qt::IBeamCursor;
    }
}

} // namespace wp
