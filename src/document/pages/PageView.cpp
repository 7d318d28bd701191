#include "document/pages/PageView.h"

#include "document/pages/PageLayout.h"

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
#include <QTimer>
#include <algorithm>
#include <cmath>

namespace wp {

namespace {
constexpr int kGap = 16; // desk between and around the sheets, pixels
const QColor kDesk(0x9a, 0x9a, 0x9a);
const QColor kShadow(0x60, 0x60, 0x60);

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
    m_cursor = cursor;
    cursorMoved();
    ensureCaretVisible();
}

void PageView::setDraft(bool on) {
    if (on == m_draft)
        return;
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

QSize PageView::sheetSize() const {
    const QSizeF s = m_layout->pageSize() * pixelsPerTwip();
    return QSize(int(std::ceil(s.width())), int(std::ceil(s.height())));
}

int PageView::sheetHeight(int page) const {
    if (!m_draft)
        return sheetSize().height();
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
    const QSize sheet = sheetSize();
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
    if (m_layout->document() &&
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
    const QSize sheet = sheetSize();
    const int pages = m_layout->pageCount();
    const auto& tops = sheetTops();
    const int contentW = sheet.width() + 2 * kGap;
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
    if (m_layout->document() && (m_cursor.isNull() || m_cursor.document() != m_layout->document()))
        m_cursor = QTextCursor(m_layout->document());
    const int pages = m_layout->pageCount();
    const int first = pageAtY(event->rect().top() + verticalScrollBar()->value());
    QAbstractTextDocumentLayout::PaintContext ctx;
    if (m_cursor.hasSelection()) {
        QAbstractTextDocumentLayout::Selection sel;
        sel.cursor = m_cursor;
        sel.format.setBackground(palette().brush(QPalette::Active, QPalette::Highlight));
        sel.format.setForeground(palette().brush(QPalette::Active, QPalette::HighlightedText));
        ctx.selections.append(sel);
    }
    const double s = pixelsPerTwip();
    const int width = sheetSize().width();
    for (int page = first; page <= pages; ++page) {
        const QPoint origin = pageOrigin(page);
        if (origin.y() > event->rect().bottom())
            break;
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
        }
        p.restore();
        if (m_draft && page < pages) {
            p.setPen(QPen(Qt::darkGray, 1, Qt::DotLine));
            p.drawLine(origin.x(), origin.y() + height - 1, origin.x() + width,
                       origin.y() + height - 1);
        }
    }
    if (hasFocus() && m_caretOn && !m_cursor.isNull())
        p.fillRect(caretViewportRect(), Qt::black);
}

QRect PageView::caretViewportRect() const {
    if (m_cursor.isNull())
        return QRect();
    const auto [page, r] = m_layout->caretRect(m_cursor.position());
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

int PageView::positionAt(const QPoint& pt) const {
    if (!m_layout->document())
        return -1;
    const int page = pageAtY(pt.y() + verticalScrollBar()->value());
    const QPointF pagePoint =
        QPointF(pt - pageOrigin(page)) / pixelsPerTwip() + QPointF(0, sheetTopTwips(page));
    return m_layout->hitTest(page, pagePoint);
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
    QTextDocument* doc = m_cursor.document();
    if (handleMove(event)) {
    } else if (event->matches(QKeySequence::Undo)) {
        doc->undo(&m_cursor);
    } else if (event->matches(QKeySequence::Redo)) {
        doc->redo(&m_cursor);
    } else if (event->matches(QKeySequence::Copy)) {
        copy();
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
    } else if (event->key() == Qt::Key_Tab && !(event->modifiers() & ~Qt::ShiftModifier)) {
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
    if (mime->hasHtml())
        m_cursor.insertFragment(QTextDocumentFragment::fromHtml(mime->html()));
    else if (mime->hasText())
        typeText(mime->text());
}

void PageView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    const int pos = positionAt(event->position().toPoint());
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
        const int pos = positionAt(pt);
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
    if (fieldAt && fieldPointer) {
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
    const int pos = positionAt(event->position().toPoint());
    if (pos < 0)
        return;
    m_cursor.setPosition(pos);
    m_cursor.select(QTextCursor::WordUnderCursor);
    cursorMoved();
}

void PageView::inputMethodEvent(QInputMethodEvent* event) {
    if (m_cursor.isNull())
        return;
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

bool PageView::focusNextPrevChild(bool) {
    return false; // Tab is typed into the document
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
