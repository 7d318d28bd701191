#include "document/pages/PageLayout.h"

#include "document/ListMarkers.h"
#include "document/ParaBorders.h"
#include "document/TabLeaders.h"
#include "document/TextControlDocument.h"

#include "wp/Error.h"
#include "wp/TextControl.h"

#include <QImage>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextFrame>
#include <QTextLayout>
#include <QTextTable>
#include <algorithm>
#include <cmath>
#include <limits>

namespace wp {

namespace {

constexpr double kTwipsPerInch = 1440.0;
// Frame borders and paddings are given in 96-dpi units; on the twips device
// Qt scales them by 1440 / 96.
constexpr double kFormatScale = kTwipsPerInch / 96.0;
constexpr double kEps = 0.01;
constexpr double kTabStop = 720 / kFormatScale;
// A 12-point line: the least body height of a page when the body is empty.
constexpr double kMinLine = 240;

double docHeight(QTextDocument* doc) {
    return doc ? doc->documentLayout()->documentSize().height() : 0.0;
}

// How far a header or footer reaches into the page: an empty one (a first
// page's that a file leaves out) takes no room from the body.
double reach(QTextDocument* doc) {
    return doc && !doc->isEmpty() ? docHeight(doc) : 0.0;
}

} // namespace

PageLayout::PageLayout(QObject* parent) : QObject(parent) {}

PageLayout::~PageLayout() = default;

QPaintDevice* PageLayout::twipsDevice() {
    static QImage device = [] {
        QImage img(1, 1, QImage::Format_RGB32);
        const int dotsPerMeter = qRound(kTwipsPerInch / 0.0254);
        img.setDotsPerMeterX(dotsPerMeter);
        img.setDotsPerMeterY(dotsPerMeter);
        return img;
    }();
    return &device;
}

void PageLayout::setDocument(QTextDocument* body) {
    if (m_body == body)
        return;
    if (m_body)
        disconnect(m_body, nullptr, this, nullptr);
    m_body = body;
    if (body) {
        body->documentLayout(); // Qt reports where a change is only to a layout
        connect(body, &QTextDocument::contentsChange, this, &PageLayout::bodyChange);
        connect(body, &QTextDocument::contentsChanged, this, &PageLayout::bodyChanged);
        connect(body, &QObject::destroyed, this, &PageLayout::invalidate);
    }
    invalidate();
}

void PageLayout::setHeaderFooterDocument(int flag, QTextDocument* doc) {
    const int i = docmodel::hfIndex(flag);
    if (i < 0 || m_hf[i] == doc)
        return;
    if (m_hf[i] && m_hf[i] != m_body) {
        bool stillUsed = false;
        for (int k = 0; k < 4; ++k)
            stillUsed = stillUsed || (k != i && m_hf[k] == m_hf[i]);
        if (!stillUsed)
            disconnect(m_hf[i], nullptr, this, nullptr);
    }
    m_hf[i] = doc;
    if (doc) {
        connect(doc, &QTextDocument::contentsChanged, this, &PageLayout::markDirty,
                Qt::UniqueConnection);
    }
    markDirty();
}

QTextDocument* PageLayout::headerFooterDocument(int flag) const {
    const int i = docmodel::hfIndex(flag);
    return i < 0 ? nullptr : m_hf[i].data();
}

void PageLayout::setPageFormat(const PageFormat& format) {
    if (m_format == format)
        return;
    m_format = format;
    invalidate();
}

void PageLayout::invalidate() {
    m_full = true;
    markDirty();
}

void PageLayout::markDirty() {
    m_dirty = true;
    emit pagesChanged();
}

bool PageLayout::prepare(QTextDocument* doc) const {
    if (!doc)
        return false;
    const double textWidth = this->textWidth();
    QAbstractTextDocumentLayout* layout = doc->documentLayout();
    bool relayout = false;
    if (layout->paintDevice() != twipsDevice()) {
        layout->setPaintDevice(twipsDevice());
        relayout = true;
    }
    if (doc->documentMargin() != 0) {
        doc->setDocumentMargin(0);
        relayout = true;
    }
    // A document's default tab stop is Qt's 80 pixels (at 96 dpi, scaled to
    // the device): word processors put one every half inch, 48 pixels.
    QTextOption option = doc->defaultTextOption();
    if (option.tabStopDistance() == 80) {
        option.setTabStopDistance(kTabStop);
        doc->setDefaultTextOption(option);
        relayout = true;
    }
    if (doc->textWidth() != textWidth) {
        doc->setTextWidth(textWidth);
        relayout = true;
    } else if (relayout) {
        doc->markContentsDirty(0, doc->characterCount());
    }
    return relayout;
}

double PageLayout::bodyHeight(int pageIndex) const {
    const Areas a = areas(pageIndex);
    return a.bodyBottom - a.bodyTop;
}

const PageFormat& PageLayout::formatOf(int pageIndex) const {
    if (pageIndex >= 0 && pageIndex < int(m_pages.size())) {
        const int s = m_pages[size_t(pageIndex)].section;
        if (s >= 0 && s < int(m_sections.size()) && m_sections[size_t(s)].hasFormat)
            return m_sections[size_t(s)].format;
    }
    return m_format;
}

const PageFormat& PageLayout::pageFormatOf(int page) const {
    pageAt(page);
    return formatOf(page - 1);
}

PageLayout::Areas PageLayout::areas(int pageIndex) const {
    return areasOf(pageIndex, formatOf(pageIndex));
}

PageLayout::Areas PageLayout::areasOf(int pageIndex, const PageFormat& pf) const {
    Areas a;
    if (const int flag = areaFlag(pageIndex, false))
        a.header = m_hf[docmodel::hfIndex(flag)];
    if (const int flag = areaFlag(pageIndex, true))
        a.footer = m_hf[docmodel::hfIndex(flag)];
    a.bodyTop = pf.marginT;
    a.bodyBottom = pf.height - pf.marginB;
    // A header or footer taller than its margin pushes the body back, as in
    // a word processor, rather than overlapping it.
    if (a.header)
        a.bodyTop = std::max(a.bodyTop, pf.headerPosition + reach(a.header));
    if (a.footer)
        a.bodyBottom = std::min(a.bodyBottom, pf.height - pf.footerPosition - reach(a.footer));
    // Margins or header/footer distances that leave no room for text still
    // give each page room for its tallest line, so that a one-page document
    // never turns into thousands of sliver pages; the body then moves up
    // over the bottom margin as far as the sheet allows.
    const double minBody = std::min(m_minBody, double(std::max(1, pf.height)));
    if (a.bodyBottom - a.bodyTop < minBody) {
        a.bodyTop = std::clamp(a.bodyTop, 0.0, std::max(0.0, pf.height - minBody));
        a.bodyBottom = a.bodyTop + minBody;
    }
    return a;
}

void PageLayout::ensurePages() const {
    if (m_dirty || m_pages.empty())
        paginate();
}

void PageLayout::collectBlock(const QTextBlock& block, std::vector<Item>* items, bool& pendingBreak,
                              bool atRoot) const {
    QTextLayout* tl = block.layout();
    const QTextBlockFormat fmt = block.blockFormat();
    const bool before =
        pendingBreak || (fmt.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore);
    pendingBreak = false;
    // A block of the root frame is laid out at its document position; only
    // blocks inside tables and frames need the layout's offset lookup.
    const double top = atRoot && tl ? tl->position().y()
                                    : m_body->documentLayout()->blockBoundingRect(block).top();
    if (block.blockNumber() < int(m_blockFirstLine.size()))
        m_blockFirstLine[block.blockNumber()] = int(m_lines.size());
    const bool together = fmt.boolProperty(prop::KeepTogether);
    const bool widows = fmt.boolProperty(docmodel::WidowControl);
    // The paragraph's own space before, without the space after of the one
    // before it that the top margin carries too.
    const double spaceBefore =
        std::max(0.0, fmt.topMargin() - fmt.doubleProperty(docmodel::SpaceAbove)) * kFormatScale;
    const int blockPos = block.position();
    const int n = tl ? tl->lineCount() : 0;
    for (int i = 0; i < n; ++i) {
        const QTextLine line = tl->lineAt(i);
        Line l;
        l.top = top + line.y();
        l.bottom = l.top + line.height();
        l.blockPos = blockPos;
        l.start = line.textStart();
        l.length = line.textLength();
        l.page = -1; // not on a page yet
        m_lines.push_back(l);
        if (!items)
            continue;
        // A paragraph kept together, or the first line after one kept with
        // its next, joins the piece before it: they change pages as one.
        const bool join =
            !items->empty() && ((i > 0 && (together || (widows && (i == 1 || i == n - 1)))) ||
                                (i == 0 && m_keepWithNext && !before));
        if (join) {
            items->back().bottom = std::max(items->back().bottom, l.bottom);
            if (items == m_unitItems && items->size() == m_unitFirstItem)
                m_unitJoin = std::max(m_unitJoin, l.bottom);
        } else if (i == 0 && atRoot && (before || items->empty()))
            // The document's first page, and a page begun by a page break,
            // keep the paragraph's space before; other pages begin with text.
            items->push_back(Item{l.top - spaceBefore, l.top - spaceBefore, l.bottom, before});
        else
            items->push_back(Item{l.top, l.top, l.bottom, i == 0 && before});
    }
    if (items) {
        if (n > 0)
            m_keepWithNext = fmt.boolProperty(prop::KeepWithNext);
        pendingBreak = fmt.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysAfter;
    }
}

void PageLayout::collectFrame(QTextFrame* frame, std::vector<Item>& items,
                              bool& pendingBreak) const {
    for (QTextFrame::iterator it = frame->begin(); !it.atEnd(); ++it) {
        if (QTextFrame* child = it.currentFrame()) {
            if (auto* table = qobject_cast<QTextTable*>(child)) {
                collectTable(table, items, pendingBreak);
            } else if (docmodel::isFloat(child)) {
                continue; // a picture beside the text: the lines beside it paginate
            } else {
                if (child->frameFormat().pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore)
                    pendingBreak = true;
                collectFrame(child, items, pendingBreak);
            }
        } else {
            collectBlock(it.currentBlock(), &items, pendingBreak, frame == m_body->rootFrame());
        }
    }
}

void PageLayout::collectTable(QTextTable* table, std::vector<Item>& items,
                              bool& pendingBreak) const {
    const QTextTableFormat tf = table->format();
    const bool before =
        pendingBreak || (tf.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore);
    pendingBreak = false;
    const int rows = table->rows();
    const int cols = table->columns();
    constexpr double inf = std::numeric_limits<double>::infinity();
    std::vector<double> top(rows, inf), bottom(rows, -inf);
    std::vector<bool> breakable(rows, true); // may a page begin with this row?
    const double border = tf.border() * kFormatScale;

    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            const QTextTableCell cell = table->cellAt(r, c);
            if (!cell.isValid())
                continue;
            if (cell.row() != r || cell.column() != c) {
                if (cell.row() < r)
                    breakable[r] = false; // a cell from above spans into this row
                continue;
            }
            const size_t firstLine = m_lines.size();
            bool dummy = false;
            std::vector<Item> nested; // rows of nested tables never break the page
            for (QTextFrame::iterator it = cell.begin(); !it.atEnd(); ++it) {
                if (QTextFrame* child = it.currentFrame()) {
                    if (auto* inner = qobject_cast<QTextTable*>(child))
                        collectTable(inner, nested, dummy);
                    else
                        collectFrame(child, nested, dummy);
                } else {
                    collectBlock(it.currentBlock(), nullptr, dummy);
                }
            }
            if (m_lines.size() == firstLine)
                continue;
            double minTop = inf, maxBottom = -inf;
            for (size_t i = firstLine; i < m_lines.size(); ++i) {
                minTop = std::min(minTop, m_lines[i].top);
                maxBottom = std::max(maxBottom, m_lines[i].bottom);
            }
            const QTextTableCellFormat cf = cell.format().toTableCellFormat();
            const double padTop = cf.hasProperty(QTextFormat::TableCellTopPadding)
                                      ? cf.topPadding()
                                      : tf.cellPadding();
            const double padBottom = cf.hasProperty(QTextFormat::TableCellBottomPadding)
                                         ? cf.bottomPadding()
                                         : tf.cellPadding();
            const int lastRow = std::min(rows - 1, r + std::max(1, cell.rowSpan()) - 1);
            top[r] = std::min(top[r], minTop - padTop * kFormatScale - border);
            bottom[lastRow] =
                std::max(bottom[lastRow], maxBottom + padBottom * kFormatScale + border);
        }
    }

    // Header rows are repeated on every page the table goes on to, as long
    // as they leave room for a row of their own.
    int headerRows = std::clamp(tf.headerRowCount(), 0, rows - 1);
    for (int r = 0; r < headerRows; ++r) {
        if (!std::isfinite(top[r]) || !std::isfinite(bottom[r]))
            headerRows = 0;
    }
    // One item per group of rows that no cell spans across; a page may end
    // between two groups, never inside one.
    bool open = false;
    for (int r = 0; r < rows; ++r) {
        const double rowTop = std::isfinite(top[r]) ? top[r] : (open ? items.back().bottom : 0.0);
        const double rowBottom = std::max(bottom[r], rowTop);
        if (!open && m_keepWithNext && !before && !items.empty()) {
            // The paragraph before is kept with the table's first row.
            items.back().bottom = std::max(items.back().bottom, rowBottom);
            if (&items == m_unitItems && items.size() == m_unitFirstItem)
                m_unitJoin = std::max(m_unitJoin, rowBottom);
            open = true;
            continue;
        }
        if (!open || breakable[r]) {
            const double prevEnd = open ? items.back().bottom : rowTop;
            items.push_back(Item{rowTop, std::max(prevEnd, rowTop), rowBottom, !open && before});
            // A page that ends before this row still shows the row above
            // down to its bottom border.
            items.back().prevEnd = open ? std::max(rowTop, bottom[r - 1]) : rowTop;
            if (r >= headerRows && headerRows > 0) {
                items.back().headTop = top[0];
                items.back().headBottom = std::max(top[0], bottom[headerRows - 1]);
            }
            open = true;
        } else {
            items.back().bottom = std::max(items.back().bottom, rowBottom);
        }
    }
    m_keepWithNext = false;
    pendingBreak = tf.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysAfter;
}

std::array<double, 4> PageLayout::headerFooterHeights() const {
    std::array<double, 4> heights{};
    for (int i = 0; i < 4; ++i)
        heights[i] = docHeight(m_hf[i]);
    return heights;
}

void PageLayout::collectAll() const {
    bool pending = false;
    m_keepWithNext = false;
    m_sections.assign(1, Section{{textWidth()}, false, 0, false, {}});
    m_hasColumns = false;
    QTextFrame* root = m_body->rootFrame();
    for (QTextFrame::iterator it = root->begin(); !it.atEnd(); ++it)
        collectUnit(it.currentBlock(), it.currentFrame(), pending);
}

double PageLayout::tallestLine() const {
    double tallest = kMinLine;
    for (const Line& l : m_lines)
        tallest = std::max(tallest, l.bottom - l.top);
    return tallest;
}

void PageLayout::paginate() const {
    // Moving a document onto the twips device reports a change: do it
    // before the pages are taken as clean.
    for (const auto& d : m_hf)
        prepare(d);
    if (prepare(m_body))
        m_full = true;
    m_dirty = false;
    if (!m_full && m_body && !m_pages.empty() && paginateChange()) {
        ++m_partialPasses;
    } else {
        ++m_fullPasses;
        m_lines.clear();
        m_items.clear();
        m_units.clear();
        m_blockFirstLine.clear();
        if (m_body) {
            m_body->documentLayout()->documentSize(); // lays the whole document out
            m_blockFirstLine.assign(m_body->blockCount(), -1);
            collectAll();
            m_charCount = m_body->characterCount();
            m_blockCount = m_body->blockCount();
        }
        m_minBody = tallestLine();
        m_hfHeights = headerFooterHeights();
        layPages(0, {}, -1, 0, 0);
        assignLines(0, -1, -1, 0);
    }
    m_full = false;
    m_changeFrom = m_changeTo = -1;
    m_changeDelta = 0;
}

std::pair<int, int> PageLayout::layPages(int from, const std::vector<Page>& old, int stableItem,
                                         int itemShift, double dy) const {
    if (m_hasColumns) {
        layColumnPages();
        return {-1, -1};
    }
    const std::vector<Item>& items = m_items;
    collectNotes();
    double notes = 0; // of the marks on the page so far
    Page cur;
    double h = 0;
    size_t i = 0;
    if (from > 0) {
        m_pages.assign(old.begin(), old.begin() + from);
        cur = old[from];
        h = bodyHeight(from) - cur.lead();
        i = size_t(cur.firstItem);
    } else {
        m_pages.clear();
        // The first paragraph's space before shows on the first page too.
        if (!items.empty())
            cur.y0 = std::min(0.0, items.front().start);
        h = bodyHeight(0);
    }
    // A page that begins where an old one began, at a piece after the
    // change, is that page again, and so are the ones after it.
    auto reused = [&]() -> int {
        if (stableItem < 0 || cur.firstItem < stableItem)
            return -1;
        const int oldItem = cur.firstItem - itemShift;
        auto it = std::lower_bound(old.begin(), old.end(), oldItem,
                                   [](const Page& p, int item) { return p.firstItem < item; });
        for (; it != old.end() && it->firstItem == oldItem; ++it) {
            const bool sameHead =
                std::abs(it->lead() - cur.lead()) < 1e-6 &&
                (cur.lead() <= 0 || std::abs(it->headTop + dy - cur.headTop) < 1e-6);
            if (it != old.begin() && std::abs(it->y0 + dy - cur.y0) < 1e-6 && sameHead)
                return int(it - old.begin());
        }
        return -1;
    };
    auto reuseFrom = [&](int q) {
        const int first = int(m_pages.size());
        for (size_t p = size_t(q); p < old.size(); ++p) {
            Page pg = old[p];
            pg.y0 += dy;
            pg.y1 += dy;
            if (pg.lead() > 0) {
                pg.headTop += dy;
                pg.headBottom += dy;
            }
            pg.firstItem += itemShift;
            m_pages.push_back(pg);
        }
        return std::make_pair(first, q);
    };
    for (; i < items.size(); ++i) {
        const Item& item = items[i];
        const bool pageHasContent = item.start > cur.y0 + kEps;
        const double itemNotes = notesIn(item.start, item.bottom);
        if (pageHasContent &&
            (item.breakBefore || item.bottom - cur.y0 + noteRoom(notes + itemNotes) > h + kEps)) {
            cur.y1 = std::max(item.prevEnd, cur.y0);
            m_pages.push_back(cur);
            notes = 0;
            cur = Page{};
            cur.y0 = item.start;
            cur.firstItem = int(i);
            h = bodyHeight(int(m_pages.size()));
            const double lead = item.headBottom - item.headTop;
            if (lead > 0 && lead < h / 2 && item.bottom - item.start <= h - lead) {
                cur.headTop = item.headTop;
                cur.headBottom = item.headBottom;
                h -= lead;
            }
            if (const int q = reused(); q >= 0)
                return reuseFrom(q);
        }
        notes += itemNotes;
        // Taller than a whole page (a huge row or picture): cut it.
        while (item.bottom - cur.y0 > h + kEps) {
            cur.y1 = cur.y0 + h;
            m_pages.push_back(cur);
            const double next = cur.y1;
            cur = Page{};
            cur.y0 = next;
            cur.firstItem = int(i);
            h = bodyHeight(int(m_pages.size()));
            if (const int q = reused(); q >= 0)
                return reuseFrom(q);
        }
    }
    cur.y1 = cur.y0 + h;
    m_pages.push_back(cur);
    return {-1, -1};
}

// Each line belongs to the page its top falls on; lines are numbered on
// their page in document order. Only the lines of pages from `from` up to
// the first reused page are placed again; later lines of reused pages
// (from `stableLine` on) keep their number on the page.
void PageLayout::assignLines(int from, int reusedNew, int reusedOld, int stableLine) const {
    const int pageCount = int(m_pages.size());
    const int end = reusedNew >= 0 ? reusedNew : pageCount;
    auto pageOf = [this](const Line& l) {
        const auto it = std::upper_bound(m_pages.begin(), m_pages.end(), l.top + kEps,
                                         [](double y, const Page& p) { return y < p.y0; });
        return std::max(0, int(it - m_pages.begin()) - 1);
    };
    std::vector<int> perPage(size_t(pageCount), 0);
    bool placed = true;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        Line& l = m_lines[i];
        if (l.page >= 0 && l.page < from && int(i) < stableLine)
            continue;
        if (reusedNew >= 0 && int(i) >= stableLine && l.page >= reusedOld) {
            l.page += reusedNew - reusedOld;
            continue;
        }
        l.page = pageOf(l);
        placed = placed && l.page >= from && l.page < end;
        l.onPage = perPage[size_t(l.page)]++;
    }
    for (int p = from; p < end; ++p)
        m_pages[size_t(p)].lineCount = perPage[size_t(p)];
    int first = 0;
    for (Page& p : m_pages) {
        p.firstLine = first;
        first += p.lineCount;
    }
    if (!placed || first != int(m_lines.size())) {
        // A line left the pages it was counted on: place them all again.
        std::fill(perPage.begin(), perPage.end(), 0);
        for (Line& l : m_lines) {
            l.page = pageOf(l);
            l.onPage = perPage[size_t(l.page)]++;
        }
        first = 0;
        for (int p = 0; p < pageCount; ++p) {
            m_pages[size_t(p)].lineCount = perPage[size_t(p)];
            m_pages[size_t(p)].firstLine = first;
            first += perPage[size_t(p)];
        }
    }
    m_order.resize(m_lines.size());
    for (size_t i = 0; i < m_lines.size(); ++i)
        m_order[size_t(m_pages[size_t(m_lines[i].page)].firstLine + m_lines[i].onPage)] = int(i);
}

static void collectTables(QTextFrame* frame, std::vector<QTextTable*>& out) {
    for (QTextFrame* child : frame->childFrames()) {
        if (auto* table = qobject_cast<QTextTable*>(child))
            out.push_back(table);
        collectTables(child, out);
    }
}

void PageLayout::fitRowHeights(QTextDocument* doc, double textWidth) {
    if (!doc)
        return;
    std::vector<QTextTable*> tables;
    collectTables(doc->rootFrame(), tables);
    auto rowHeight = [](const QTextTableCell& cell) {
        return cell.format().intProperty(docmodel::RowHeight);
    };
    bool any = false;
    for (QTextTable* t : tables)
        for (int r = 0; r < t->rows() && !any; ++r)
            for (int c = 0; c < t->columns() && !any; ++c)
                any = rowHeight(t->cellAt(r, c)) != 0;
    if (!any)
        return;
    QAbstractTextDocumentLayout* layout = doc->documentLayout();
    layout->setPaintDevice(twipsDevice());
    doc->setDocumentMargin(0);
    doc->setTextWidth(std::max(1.0, textWidth));
    for (QTextTable* t : tables) {
        const QTextTableFormat tf = t->format();
        const double border = tf.border() * kFormatScale;
        auto pad = [&tf](const QTextTableCellFormat& cf, int property, double value) {
            return cf.hasProperty(property) ? value : tf.cellPadding();
        };
        for (int r = 0; r < t->rows(); ++r) {
            // The cells that begin on this row and end on it.
            std::vector<QTextTableCell> cells;
            int least = 0;
            bool exact = false;
            for (int c = 0; c < t->columns(); ++c) {
                const QTextTableCell cell = t->cellAt(r, c);
                if (cell.row() != r || cell.column() != c || cell.rowSpan() != 1)
                    continue;
                cells.push_back(cell);
                least = std::max(least, std::abs(rowHeight(cell)));
                exact = exact || rowHeight(cell) < 0;
            }
            if (least <= 0)
                continue;
            double height = 0;
            for (const QTextTableCell& cell : cells) {
                const QTextBlock first = cell.firstCursorPosition().block();
                const QTextBlock last = cell.lastCursorPosition().block();
                const QTextTableCellFormat cf = cell.format().toTableCellFormat();
                const double top = layout->blockBoundingRect(first).top();
                const double bottom = layout->blockBoundingRect(last).bottom();
                height = std::max(
                    height, bottom - top +
                                (pad(cf, QTextFormat::TableCellTopPadding, cf.topPadding()) +
                                 pad(cf, QTextFormat::TableCellBottomPadding, cf.bottomPadding())) *
                                    kFormatScale +
                                border);
            }
            const double missing = least - height;
            // An exact row also shrinks to its height.
            if (missing < 1 && !(exact && missing < -1))
                continue;
            for (QTextTableCell& cell : cells) {
                QTextTableCellFormat cf = cell.format().toTableCellFormat();
                cf.setBottomPadding(
                    pad(cf, QTextFormat::TableCellBottomPadding, cf.bottomPadding()) +
                    missing / kFormatScale);
                cf.setProperty(docmodel::RowFill,
                               cf.doubleProperty(docmodel::RowFill) + missing / kFormatScale);
                cell.setFormat(cf);
            }
        }
    }
}

int PageLayout::pageCount() const {
    ensurePages();
    return int(m_pages.size());
}

const PageLayout::Page& PageLayout::pageAt(int page) const {
    ensurePages();
    if (page < 1 || page > int(m_pages.size())) {
        raise(err::SubscriptOutOfRange, QStringLiteral("wp"),
              QStringLiteral("Page %1 does not exist: the document has %2 page(s).")
                  .arg(page)
                  .arg(m_pages.size()));
    }
    return m_pages[page - 1];
}

QRectF PageLayout::bodyRect(int page) const {
    pageAt(page);
    const Areas a = areas(page - 1);
    const PageFormat& f = formatOf(page - 1);
    return QRectF(f.marginL, a.bodyTop, std::max(1, f.width - f.marginL - f.marginR),
                  a.bodyBottom - a.bodyTop);
}

QPointF PageLayout::pageToDocument(int page, const QPointF& p) const {
    const Page& pg = pageAt(page);
    const Areas a = areas(page - 1);
    const double left = formatOf(page - 1).marginL;
    if (const Slice* s = sliceNear(pg, p - QPointF(left, a.bodyTop)))
        return QPointF(p.x() - left - s->x, p.y() - a.bodyTop - s->top + s->y0);
    return QPointF(p.x() - left, p.y() - a.bodyTop - pg.lead() + pg.y0);
}

QPointF PageLayout::documentToPage(int page, const QPointF& p) const {
    const Page& pg = pageAt(page);
    const Areas a = areas(page - 1);
    if (const Slice* s = sliceOf(pg, p.y()))
        return QPointF(p.x() + formatOf(page - 1).marginL + s->x,
                       p.y() - s->y0 + a.bodyTop + s->top);
    return QPointF(p.x() + formatOf(page - 1).marginL, p.y() - pg.y0 + a.bodyTop + pg.lead());
}

void PageLayout::drawPage(QPainter* painter, int page, double zoomPercent,
                          const QAbstractTextDocumentLayout::PaintContext* context) const {
    if (!painter || !painter->isActive() || !painter->device())
        raise(err::ObjectNotSet, QStringLiteral("wp"),
              QStringLiteral("No active drawing device to draw the page on."));
    if (!(zoomPercent > 0))
        raise(err::InvalidProcedureCall, QStringLiteral("wp"),
              QStringLiteral("The zoom must be above 0 %."));
    pageAt(page);
    const QPaintDevice* dev = painter->device();
    painter->save();
    painter->scale(zoomPercent / 100.0 * dev->logicalDpiX() / kTwipsPerInch,
                   zoomPercent / 100.0 * dev->logicalDpiY() / kTwipsPerInch);
    drawPageTwips(painter, page, context);
    painter->restore();
}

// Draws a document's layout with its origin at `origin`, limited to `clip`
// (document coordinates).
static void drawDocument(QPainter* painter, QTextDocument* doc, const QPointF& origin,
                         const QRectF& clip, const QAbstractTextDocumentLayout::PaintContext* base,
                         const QTextBlock& split = QTextBlock()) {
    QAbstractTextDocumentLayout::PaintContext ctx;
    if (base)
        ctx = *base;
    ctx.palette.setColor(QPalette::Text, Qt::black);
    // Lines that only touch the slice belong to the neighbouring page: keep
    // them out of the drawing (a PDF would carry their text).
    ctx.clip = clip.adjusted(0, 1, 0, -1);
    painter->save();
    painter->translate(origin);
    painter->setClipRect(clip, Qt::IntersectClip);
    // Qt draws a paragraph from the last line above the clip on: a page that
    // begins inside a paragraph would carry that line of the page before,
    // hidden by the clip but in a PDF's text all the same. Unless a selection
    // or caret is to be shown, such a paragraph's lines on this page are
    // drawn one by one and Qt draws from the next paragraph on.
    QTextLayout* tl = split.isValid() ? split.layout() : nullptr;
    const bool plain = !base || (base->selections.isEmpty() && base->cursorPosition < 0);
    if (tl && plain) {
        const QRectF r = doc->documentLayout()->blockBoundingRect(split);
        if (r.bottom() + 1 < ctx.clip.bottom()) {
            ctx.clip.setTop(std::max(ctx.clip.top(), r.bottom() + 1));
            doc->documentLayout()->draw(painter, ctx);
        }
        painter->setPen(Qt::black);
        for (int i = 0; i < tl->lineCount(); ++i) {
            const QTextLine line = tl->lineAt(i);
            const double top = tl->position().y() + line.y();
            if (top + kEps >= clip.top() && top < clip.bottom() - 1)
                line.draw(painter, tl->position());
        }
    } else {
        doc->documentLayout()->draw(painter, ctx);
    }
    // The slice itself: a marker on the slice's first line (the document's
    // first paragraph, say) stands on its top edge.
    docmodel::drawListMarkers(painter, doc, clip);
    docmodel::drawParagraphBorders(painter, doc, clip);
    docmodel::drawTabLeaders(painter, doc, clip);
    painter->restore();
}

QTextBlock PageLayout::splitBlock(const Page& pg, double from) const {
    int k = 0;
    while (k < pg.lineCount && m_lines[m_order[pg.firstLine + k]].top + kEps < from)
        ++k;
    if (k == pg.lineCount || !m_body)
        return QTextBlock();
    const Line& l = m_lines[m_order[pg.firstLine + k]];
    const QTextBlock block = m_body->findBlock(l.blockPos);
    // Only paragraphs of the root frame: table rows never split.
    const bool inside = l.start > 0 && block.isValid() && block.layout() &&
                        m_body->frameAt(l.blockPos) == m_body->rootFrame();
    return inside ? block : QTextBlock();
}

std::unique_ptr<QTextDocument> PageLayout::numbered(QTextDocument* doc, int page) const {
    struct Run {
        int pos, length, kind;
        QTextCharFormat format;
    };
    std::vector<Run> runs;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            if (const int kind = f.charFormat().intProperty(docmodel::PageFieldKind))
                runs.push_back({f.position(), f.length(), kind, f.charFormat()});
        }
    }
    if (runs.empty())
        return nullptr;
    std::unique_ptr<QTextDocument> copy(doc->clone());
    // One run of a field may come in several fragments: the number goes in
    // the first, the others are emptied.
    QTextCursor c(copy.get());
    for (auto it = runs.rbegin(); it != runs.rend(); ++it) {
        const bool first = std::next(it) == runs.rend() ||
                           std::next(it)->pos + std::next(it)->length != it->pos ||
                           std::next(it)->kind != it->kind;
        const int number = it->kind == docmodel::PageNumber ? page : pageCount();
        c.setPosition(it->pos);
        c.setPosition(it->pos + it->length, QTextCursor::KeepAnchor);
        c.insertText(first ? QString::number(number) : QString(), it->format);
    }
    prepare(copy.get());
    return copy;
}

void PageLayout::drawPageTwips(QPainter* painter, int page,
                               const QAbstractTextDocumentLayout::PaintContext* context) const {
    const Page& pg = pageAt(page);
    const Areas a = areas(page - 1);
    const PageFormat& pf = formatOf(page - 1);
    const QRectF sheet(0, 0, pf.width, pf.height);
    painter->save();
    painter->fillRect(sheet, Qt::white);
    painter->setClipRect(sheet, Qt::IntersectClip);
    painter->setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                            QPainter::SmoothPixmapTransform);
    const double left = pf.marginL;
    // Page numbers in a header or footer show this page's.
    const auto header = a.header ? numbered(a.header, page) : nullptr;
    const auto footer = a.footer ? numbered(a.footer, page) : nullptr;
    if (a.header) {
        const QPointF origin(left, pf.headerPosition);
        drawDocument(painter, header ? header.get() : a.header, origin,
                     QRectF(-origin.x(), -origin.y(), sheet.width(), sheet.height()), nullptr);
    }
    drawSlices(painter, pg, QPointF(left, a.bodyTop), context);
    if (m_body && pg.slices.empty()) {
        if (pg.lead() > 0) {
            drawDocument(painter, m_body, QPointF(left, a.bodyTop - pg.headTop),
                         QRectF(-left, pg.headTop, sheet.width(), pg.lead()), context);
        }
        drawDocument(painter, m_body, QPointF(left, a.bodyTop + pg.lead() - pg.y0),
                     QRectF(-left, pg.y0, sheet.width(), pg.y1 - pg.y0), context, splitBlock(pg));
    }
    drawNotes(painter, pg, a.bodyBottom);
    if (a.footer) {
        const QPointF origin(left, pf.height - pf.footerPosition - docHeight(a.footer));
        drawDocument(painter, footer ? footer.get() : a.footer, origin,
                     QRectF(-origin.x(), -origin.y(), sheet.width(), sheet.height()), nullptr);
    }
    painter->restore();
}

double PageLayout::repeatedHeaderHeight(int page) const {
    return pageAt(page).lead();
}

double PageLayout::sliceHeight(int page) const {
    const Page& pg = pageAt(page);
    if (pg.slices.empty())
        return pg.y1 - pg.y0;
    // A page in columns: down to its lowest column.
    double bottom = 0;
    for (const Slice& s : pg.slices)
        bottom = std::max(bottom, s.top + s.y1 - s.y0);
    return bottom;
}

void PageLayout::drawSlices(QPainter* painter, const Page& pg, const QPointF& origin,
                            const QAbstractTextDocumentLayout::PaintContext* context) const {
    if (!m_body)
        return;
    for (const Slice& s : pg.slices) {
        drawDocument(painter, m_body, origin + QPointF(s.x, s.top - s.y0),
                     QRectF(s.clipL - s.x, s.y0, s.clipR - s.clipL, s.y1 - s.y0), context,
                     splitBlock(pg, s.y0));
    }
    if (!pg.rules.empty()) {
        painter->save();
        painter->setPen(QPen(Qt::black, 10));
        painter->translate(origin);
        for (const QLineF& rule : pg.rules)
            painter->drawLine(rule);
        painter->restore();
    }
}

void PageLayout::drawBodySlice(QPainter* painter, int page,
                               const QAbstractTextDocumentLayout::PaintContext* context) const {
    const Page& pg = pageAt(page);
    const PageFormat& pf = formatOf(page - 1);
    const QRectF strip(0, 0, pf.width, sliceHeight(page));
    painter->save();
    painter->fillRect(strip, Qt::white);
    painter->setClipRect(strip, Qt::IntersectClip);
    painter->setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                            QPainter::SmoothPixmapTransform);
    drawSlices(painter, pg, QPointF(pf.marginL, 0), context);
    if (m_body && pg.slices.empty()) {
        const double left = pf.marginL;
        drawDocument(painter, m_body, QPointF(left, -pg.y0),
                     QRectF(-left, pg.y0, strip.width(), strip.height()), context, splitBlock(pg));
    }
    painter->restore();
}

int PageLayout::lineIndexOf(int pos) const {
    ensurePages();
    if (!m_body || m_lines.empty())
        return -1;
    const QTextBlock block = m_body->findBlock(std::clamp(pos, 0, m_body->characterCount() - 1));
    if (!block.isValid() || block.blockNumber() >= int(m_blockFirstLine.size()))
        return -1;
    const int first = m_blockFirstLine[block.blockNumber()];
    if (first < 0)
        return -1;
    QTextLayout* tl = block.layout();
    const QTextLine line = tl ? tl->lineForTextPosition(pos - block.position()) : QTextLine();
    const int index = first + (line.isValid() ? line.lineNumber() : 0);
    return std::min(index, int(m_lines.size()) - 1);
}

std::pair<int, int> PageLayout::pageAndLine(int pos) const {
    const int i = lineIndexOf(pos);
    if (i < 0)
        return {1, 1};
    return {m_lines[i].page + 1, m_lines[i].onPage + 1};
}

int PageLayout::lineCount(int page) const {
    return pageAt(page).lineCount;
}

int PageLayout::positionAt(int page, int line, int column) const {
    ensurePages();
    if (!m_body || page < 1 || page > int(m_pages.size()) || line < 1 ||
        line > m_pages[page - 1].lineCount)
        return -1;
    const Line& l = m_lines[m_order[m_pages[page - 1].firstLine + line - 1]];
    // A wrapped line's last position is the first of the next line.
    const QTextBlock block = m_body->findBlock(l.blockPos);
    const bool lastOfBlock = l.start + l.length >= block.length() - 1;
    const int limit = lastOfBlock ? l.length : std::max(0, l.length - 1);
    return l.blockPos + l.start + std::clamp(column, 0, limit);
}

QString PageLayout::lineText(int page, int line) const {
    if (positionAt(page, line, 0) < 0)
        return QString();
    const Line& l = m_lines[m_order[m_pages[page - 1].firstLine + line - 1]];
    QString text = m_body->findBlock(l.blockPos).text().mid(l.start, l.length);
    text.replace(QChar::LineSeparator, QLatin1Char(' '));
    return text.trimmed();
}

int PageLayout::hitTest(int page, const QPointF& pagePoint) const {
    const Page& pg = pageAt(page);
    if (!m_body)
        return 0;
    QPointF p = pageToDocument(page, pagePoint);
    // Keep to the lines of this page (of its column): a click in a margin
    // goes to the nearest line of the page, not to the text of a
    // neighbouring one.
    double minTop = pg.y0, maxBottom = pg.y1, width = textWidth();
    if (const Slice* s = sliceOf(pg, p.y())) {
        minTop = s->y0;
        maxBottom = s->y1;
        width = s->width;
    }
    const double from = minTop, to = maxBottom;
    if (pg.lineCount > 0) {
        minTop = std::numeric_limits<double>::infinity();
        maxBottom = -minTop;
        for (int k = 0; k < pg.lineCount; ++k) {
            const Line& l = m_lines[m_order[pg.firstLine + k]];
            if (!pg.slices.empty() && (l.top + kEps < from || l.top >= to - kEps))
                continue;
            minTop = std::min(minTop, l.top);
            maxBottom = std::max(maxBottom, l.bottom);
        }
        if (!std::isfinite(minTop)) {
            minTop = from;
            maxBottom = to;
        }
    }
    p.setY(std::clamp(p.y(), minTop + 1, std::max(minTop + 1, maxBottom - 1)));
    p.setX(std::clamp(p.x(), 0.0, width - 1));
    const int pos = m_body->documentLayout()->hitTest(p, Qt::FuzzyHit);
    if (pos >= 0)
        return pos;
    // Fall back on the nearest line of the page.
    int best = -1;
    double bestDist = std::numeric_limits<double>::infinity();
    for (int k = 0; k < pg.lineCount; ++k) {
        const int i = m_order[pg.firstLine + k];
        const Line& l = m_lines[i];
        const double d = p.y() < l.top ? l.top - p.y() : (p.y() > l.bottom ? p.y() - l.bottom : 0);
        if (d < bestDist) {
            bestDist = d;
            best = i;
        }
    }
    if (best < 0)
        return 0;
    const Line& l = m_lines[best];
    const QTextBlock block = m_body->findBlock(l.blockPos);
    const QRectF r = m_body->documentLayout()->blockBoundingRect(block);
    const QTextLine line = block.layout()->lineForTextPosition(l.start);
    return l.blockPos + (line.isValid() ? line.xToCursor(p.x() - r.left()) : l.start);
}

std::pair<int, QRectF> PageLayout::caretRect(int pos) const {
    ensurePages();
    if (!m_body)
        return {1, QRectF(formatOf(0).marginL, areas(0).bodyTop, 15, 240)};
    const int i = lineIndexOf(pos);
    const QTextBlock block = m_body->findBlock(std::clamp(pos, 0, m_body->characterCount() - 1));
    if (i < 0 || !block.layout())
        return {1, QRectF(formatOf(0).marginL, areas(0).bodyTop, 15, 240)};
    const Line& l = m_lines[i];
    const QRectF r = m_body->documentLayout()->blockBoundingRect(block);
    QTextLine line = block.layout()->lineForTextPosition(pos - block.position());
    if (!line.isValid())
        line = block.layout()->lineAt(0);
    const double x = r.left() + line.cursorToX(pos - block.position());
    const QPointF topLeft = documentToPage(l.page + 1, QPointF(x, l.top));
    return {l.page + 1, QRectF(topLeft, QSizeF(15, l.bottom - l.top))};
}

// The hf:: flag of the header (footer) a page shows, 0 for none: the
// first-page one on the first page when the format has it.
int PageLayout::areaFlag(int pageIndex, bool footer) const {
    const int flags = m_format.headerFooter;
    const int first = footer ? hf::FirstPageFooter : hf::FirstPageHeader;
    const int other = footer ? hf::Footer : hf::Header;
    if (pageIndex == 0 && (flags & first))
        return first;
    return (flags & other) ? other : 0;
}

PageLayout::HeaderFooterPlace PageLayout::headerFooterPlace(int page, bool footer) const {
    pageAt(page);
    HeaderFooterPlace place;
    const int flag = areaFlag(page - 1, footer);
    if (!flag || !m_hf[docmodel::hfIndex(flag)])
        return place;
    place.flag = flag;
    place.doc = m_hf[docmodel::hfIndex(flag)];
    const Areas a = areas(page - 1);
    const PageFormat& pf = formatOf(page - 1);
    if (footer) {
        place.origin = QPointF(pf.marginL, pf.height - pf.footerPosition - docHeight(place.doc));
        place.area = QRectF(0, a.bodyBottom, pf.width, pf.height - a.bodyBottom);
    } else {
        place.origin = QPointF(pf.marginL, pf.headerPosition);
        place.area = QRectF(0, 0, pf.width, a.bodyTop);
    }
    return place;
}

} // namespace wp
