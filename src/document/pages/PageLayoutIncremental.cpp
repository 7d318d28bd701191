// The incremental pass: after an edit of the body, only the pieces the edit
// touched are collected again and the pages are cut again from the first
// page the edit can have moved.
#include "document/pages/PageLayout.h"

#include "document/TextControlDocument.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>
#include <algorithm>

namespace wp {

void PageLayout::bodyChange(int from, int removed, int added) {
    m_changeSeen = true;
    m_editFrom = from;
    m_editTo = from + added;
    if (m_full)
        return;
    if (m_changeFrom < 0) {
        m_changeFrom = from;
        m_changeTo = from + added;
        m_changeDelta = added - removed;
        return;
    }
    // Merge with the earlier changes: their end moves with this one's text.
    int to = m_changeTo;
    if (to >= from + removed)
        to += added - removed;
    else if (to > from)
        to = from + added;
    m_changeTo = std::max(to, from + added);
    m_changeFrom = std::min(m_changeFrom, from);
    m_changeDelta += added - removed;
}

void PageLayout::bodyChanged() {
    // A change Qt reports without its range (the default font, say) may
    // move anything.
    if (!m_changeSeen)
        m_full = true;
    m_changeSeen = false;
    if (!m_fixing && m_body && m_editFrom >= 0) {
        // Editing a paragraph may leave the spacing the next one carries for
        // it out of date: bring it up to date as part of the same edit.
        m_fixing = true;
        docmodel::refreshSpaceAbove(m_body, m_editFrom, m_editTo);
        m_fixing = false;
    }
    m_editFrom = m_editTo = -1;
    markDirty();
}

// The child of the root frame that begins at body position `pos`: a block
// or a frame, and where the next one begins. False when none begins there.
bool PageLayout::unitAt(int pos, QTextBlock& block, QTextFrame*& frame, int& next) const {
    block = QTextBlock();
    frame = nullptr;
    if (pos < 0 || pos >= m_body->characterCount())
        return false;
    QTextFrame* root = m_body->rootFrame();
    QTextFrame* f = m_body->frameAt(pos);
    while (f && f != root && f->parentFrame() != root)
        f = f->parentFrame();
    if (!f)
        return false;
    if (f != root) {
        frame = f;
        next = f->lastPosition() + 1;
        return f->firstPosition() == pos;
    }
    block = m_body->findBlock(pos);
    next = pos + block.length();
    return block.isValid() && block.position() == pos;
}

double PageLayout::unitAnchor(const QTextBlock& block, QTextFrame* frame) const {
    if (frame)
        return m_body->documentLayout()->frameBoundingRect(frame).top();
    return block.layout() ? block.layout()->position().y() : 0.0;
}

void PageLayout::collectUnit(const QTextBlock& block, QTextFrame* frame, bool& pendingBreak) const {
    Unit u;
    u.pos = frame ? frame->firstPosition() : block.position();
    u.firstBlock = frame ? m_body->findBlock(u.pos).blockNumber() : block.blockNumber();
    u.firstLine = int(m_lines.size());
    u.firstItem = int(m_items.size());
    u.anchor = unitAnchor(block, frame);
    u.prevBottom = m_items.empty() ? 0.0 : m_items.back().bottom;
    u.keepIn = m_keepWithNext;
    u.breakIn = pendingBreak;
    m_unitItems = &m_items;
    m_unitFirstItem = m_items.size();
    m_unitJoin = -std::numeric_limits<double>::infinity();
    if (auto* table = qobject_cast<QTextTable*>(frame)) {
        collectTable(table, m_items, pendingBreak);
    } else if (frame) {
        if (frame->frameFormat().pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore)
            pendingBreak = true;
        collectFrame(frame, m_items, pendingBreak);
    } else {
        collectBlock(block, &m_items, pendingBreak, true);
    }
    noteSection(frame ? m_body->findBlock(u.pos).blockFormat() : block.blockFormat(),
                size_t(u.firstItem));
    u.joinBottom = m_unitJoin;
    m_unitItems = nullptr;
    m_units.push_back(u);
}

// Works the pages out again after edits of the body: the root frame's
// children the edits touched are collected again, the others moved by the
// change in height and length, and the pages are cut again from the last
// page the edits cannot have moved until a page begins where one began
// before. False when the change cannot be followed (then everything is
// collected again); the collected state is then left half done.
bool PageLayout::paginateChange() const {
    const std::array<double, 4> hfHeights = headerFooterHeights();
    // Columns move text between the columns of a page: their pages are
    // always worked out from the start.
    if (m_hasColumns)
        return false;
    const bool sameAreas = hfHeights == m_hfHeights;
    m_hfHeights = hfHeights;
    if (m_changeFrom < 0) {
        // Only a header or footer changed: the body's pieces are the same.
        if (!sameAreas) {
            layPages(0, {}, -1, 0, 0);
            assignLines(0, -1, -1, 0);
        }
        return true;
    }
    m_body->documentLayout()->documentSize(); // lays the change out
    const int delta = m_changeDelta;
    const int charCount = m_body->characterCount();
    const int blockCount = m_body->blockCount();
    if (m_units.empty() || charCount != m_charCount + delta ||
        int(m_blockFirstLine.size()) != m_blockCount)
        return false;
    const int oldFrom = m_changeFrom;
    const int oldTo = std::max(oldFrom, m_changeTo - delta);
    const int n = int(m_units.size());
    auto unitOf = [this](int pos) {
        const auto it = std::upper_bound(m_units.begin(), m_units.end(), pos,
                                         [](int p, const Unit& u) { return p < u.pos; });
        return std::max(0, int(it - m_units.begin()) - 1);
    };
    // One child more on each side: a paragraph glued to the next one, an
    // empty paragraph Qt tucks into a table beside it.
    const int k = std::max(0, unitOf(oldFrom) - 1);
    const int e = std::min(n, unitOf(oldTo) + 2);

    const Unit first = m_units[k];
    const int oldLines = int(m_lines.size());
    const int oldItems = int(m_items.size());
    const int tailLine = e < n ? m_units[e].firstLine : oldLines;
    const int tailItem = e < n ? m_units[e].firstItem : oldItems;
    const int tailBlock = e < n ? m_units[e].firstBlock : m_blockCount;
    const std::vector<Unit> units(m_units.begin() + e, m_units.end());
    const std::vector<Line> lines(m_lines.begin() + tailLine, m_lines.end());
    const std::vector<Item> items(m_items.begin() + tailItem, m_items.end());
    const std::vector<int> blocks(m_blockFirstLine.begin() + tailBlock, m_blockFirstLine.end());

    // Collect again from where child k began, in the state it began in.
    m_units.resize(k);
    m_lines.resize(first.firstLine);
    m_items.resize(first.firstItem);
    if (!m_items.empty())
        m_items.back().bottom = first.prevBottom;
    m_blockFirstLine.resize(first.firstBlock);
    m_blockFirstLine.resize(blockCount, -1);
    m_keepWithNext = first.keepIn;
    bool pending = first.breakIn;
    int pos = first.pos;
    const int nt = int(units.size());
    int t = 0; // the first old child after the ones collected again
    for (;;) {
        const int end = (t < nt ? units[t].pos : m_charCount) + delta;
        while (pos < end) {
            QTextBlock block;
            QTextFrame* frame = nullptr;
            int next = 0;
            if (!unitAt(pos, block, frame, next) || next > end)
                return false;
            collectUnit(block, frame, pending);
            pos = next;
        }
        if (pos != end || m_hasColumns)
            return false;
        if (t == nt)
            break;
        // The next child was collected in the same state, and has pieces of
        // its own for later children to be glued to: keep it and the rest.
        const Unit& u = units[t];
        const int ownEnd = t + 1 < nt ? units[t + 1].firstItem : oldItems;
        if (m_keepWithNext == u.keepIn && pending == u.breakIn &&
            m_items.empty() == (u.firstItem == 0) && ownEnd > u.firstItem)
            break;
        ++t;
    }

    double dy = 0;
    const int keptLine = t < nt ? units[t].firstLine : oldLines;
    const int keptItem = t < nt ? units[t].firstItem : oldItems;
    const int keptBlock = t < nt ? units[t].firstBlock : m_blockCount;
    const int blockShift = blockCount - m_blockCount;
    const int lineShift = int(m_lines.size()) - keptLine;
    const int itemShift = int(m_items.size()) - keptItem;
    if (t < nt) {
        QTextBlock block;
        QTextFrame* frame = nullptr;
        int next = 0;
        if (!unitAt(pos, block, frame, next))
            return false;
        dy = unitAnchor(block, frame) - units[t].anchor;
    }
    if (t < nt && m_body->findBlock(pos).blockNumber() != keptBlock + blockShift)
        return false;
    const int stableItem = int(m_items.size());
    const int stableLine = int(m_lines.size());
    for (int i = t; i < nt; ++i) {
        Unit u = units[i];
        u.pos += delta;
        u.firstBlock += blockShift;
        u.firstLine += lineShift;
        u.firstItem += itemShift;
        u.anchor += dy;
        u.joinBottom += dy;
        if (i == t) {
            // Glued to the piece collected again: stretch it as before.
            u.prevBottom = m_items.empty() ? 0.0 : m_items.back().bottom;
            if (!m_items.empty() && std::isfinite(u.joinBottom))
                m_items.back().bottom = std::max(m_items.back().bottom, u.joinBottom);
        } else {
            u.prevBottom += dy;
        }
        m_units.push_back(u);
    }
    for (size_t i = size_t(keptLine - tailLine); i < lines.size(); ++i) {
        Line l = lines[i];
        l.top += dy;
        l.bottom += dy;
        l.blockPos += delta;
        m_lines.push_back(l);
    }
    for (size_t i = size_t(keptItem - tailItem); i < items.size(); ++i) {
        Item it = items[i];
        it.start += dy;
        it.prevEnd += dy;
        it.bottom += dy;
        if (it.headBottom > it.headTop) {
            it.headTop += dy;
            it.headBottom += dy;
        }
        m_items.push_back(it);
    }
    for (int b = keptBlock; b < m_blockCount; ++b) {
        const int line = blocks[size_t(b - tailBlock)];
        m_blockFirstLine[size_t(b + blockShift)] = line >= 0 ? line + lineShift : -1;
    }
    m_charCount = charCount;
    m_blockCount = blockCount;

    const double minBody = tallestLine();
    const bool reuse = sameAreas && minBody == m_minBody;
    m_minBody = minBody;
    std::vector<Page> old;
    old.swap(m_pages);
    int from = 0;
    if (reuse) {
        // The last page that begins before the first piece that may differ
        // (the one the first child collected again may be glued to): the
        // pages before it, and where it begins, cannot have moved.
        const int touched = first.firstItem - 1;
        const auto it =
            std::lower_bound(old.begin(), old.end(), touched,
                             [](const Page& p, int item) { return p.firstItem < item; });
        from = std::max(0, int(it - old.begin()) - 1);
    }
    const auto [reusedNew, reusedOld] = layPages(from, old, reuse ? stableItem : -1, itemShift, dy);
    assignLines(from, reusedNew, reusedOld, stableLine);
    return true;
}

} // namespace wp
