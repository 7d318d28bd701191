// Sections in columns: the column's part laid out at a column's width is
// cut into slices shown side by side, column after column, page after page.
#include "document/pages/PageLayout.h"

#include "document/TextControlDocument.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace wp {

namespace {
constexpr double kEps = 0.01;
}

double PageLayout::textWidth() const {
    return std::max(1, m_format.width - m_format.marginL - m_format.marginR);
}

// The section of the pieces a root paragraph or table (of block format
// `format`) added from `firstItem` on: the one before, or a new one when
// its columns differ or it begins a section in columns.
void PageLayout::noteSection(const QTextBlockFormat& format, size_t firstItem) const {
    if (m_sections.empty())
        m_sections.push_back(Section{{textWidth()}, false, 0, false, {}});
    const Section& last = m_sections.back();
    Section s;
    s.rule = format.boolProperty(docmodel::ColumnLine);
    s.start = format.intProperty(docmodel::SectionBreak);
    if (s.start != 0) {
        s.hasFormat = docmodel::sectionPage(format, m_format, s.format);
    } else {
        s.hasFormat = last.hasFormat;
        s.format = last.format;
    }
    // A section's text is no wider than the document's (see
    // docmodel::SectionPage).
    const double width =
        s.hasFormat ? std::clamp(double(s.format.width - s.format.marginL - s.format.marginR),
                                 std::min(1440.0, textWidth()), textWidth())
                    : textWidth();
    s.columns = docmodel::sectionColumns(format, width);
    // Sections with columns, their own paper or on odd or even pages are
    // cut here; the others are one column of the document's pages.
    const bool own = s.columns.size() > 1 || s.start == docmodel::SectionOddPage ||
                     s.start == docmodel::SectionEvenPage || s.hasFormat || last.hasFormat;
    if (s.columns != last.columns || s.rule != last.rule || (own && s.start != 0))
        m_sections.push_back(std::move(s));
    m_hasColumns = m_hasColumns || own;
    const int section = int(m_sections.size()) - 1;
    for (size_t i = firstItem; i < m_items.size(); ++i)
        m_items[i].section = section;
    if (firstItem < m_items.size() && format.boolProperty(docmodel::ColumnBreakBefore))
        m_items[firstItem].columnBreak = true;
}

// Cuts the pieces into pages whose bands of columns are filled column after
// column. A section that a continuous break ends has its columns balanced:
// each as high as the least height that holds its part in as many columns.
void PageLayout::layColumnPages() const {
    m_pages.clear();
    const std::vector<Item>& items = m_items;
    auto sectionFormat = [this](int section) -> const PageFormat& {
        const Section& s = m_sections[size_t(std::clamp(section, 0, int(m_sections.size()) - 1))];
        return s.hasFormat ? s.format : m_format;
    };
    auto heightOn = [&](int pageIndex, int section) {
        const Areas a = areasOf(pageIndex, sectionFormat(section));
        return a.bodyBottom - a.bodyTop;
    };
    Page cur;
    cur.section = items.empty() ? -1 : items.front().section;
    double h = heightOn(0, cur.section);
    double bandTop = 0; // where the band of the current section begins on the page
    int sec = items.empty() ? 0 : items.front().section;
    int col = 0; // the current column of the band
    double colY0 = items.empty() ? 0.0 : std::min(0.0, items.front().start);
    size_t bandFirst = 0; // the band's first piece
    std::vector<Slice> band;
    cur.y0 = colY0;

    auto columns = [this](int section) -> const std::vector<double>& {
        return m_sections[size_t(std::clamp(section, 0, int(m_sections.size()) - 1))].columns;
    };
    auto count = [&](int section) { return int(columns(section).size() + 1) / 2; };
    // The slice of column `c` of the current section from y0 to y1.
    auto slice = [&](int c, double y0, double y1) {
        const std::vector<double>& cols = columns(sec);
        double x = 0;
        for (int k = 0; k < 2 * c; ++k)
            x += cols[size_t(k)];
        const double w = cols[size_t(2 * c)];
        const PageFormat& pf = sectionFormat(cur.section);
        Slice s{y0,      std::max(y0, y1),    x,
                bandTop, -double(pf.marginL), double(pf.width - pf.marginL),
                w};
        if (c > 0)
            s.clipL = x - cols[size_t(2 * c - 1)] / 2;
        if (2 * c + 1 < int(cols.size()))
            s.clipR = x + w + cols[size_t(2 * c + 1)] / 2;
        return s;
    };
    auto closeColumn = [&](double end) { band.push_back(slice(col, colY0, end)); };
    // Cuts pieces first..last of the band into at most n columns of height
    // `height`; false when they need more.
    auto cutBand = [&](size_t first, size_t last, double height, std::vector<Slice>* out) {
        const int n = count(sec);
        int c = 0;
        double y0 = band.front().y0;
        for (size_t k = first; k < last; ++k) {
            const Item& it = items[k];
            if (it.start > y0 + kEps && (it.columnBreak || it.bottom - y0 > height + kEps)) {
                if (out)
                    out->push_back(slice(c, y0, it.prevEnd));
                if (++c >= n)
                    return false;
                y0 = it.start;
            }
            if (it.bottom - y0 > height + kEps)
                return false;
        }
        if (out)
            out->push_back(slice(c, y0, band.back().y1));
        return true;
    };
    auto closeBand = [&](bool balance, size_t last) {
        if (band.empty())
            return;
        if (balance && count(sec) > 1 && last > bandFirst) {
            double lo = 0, hi = 0;
            for (const Slice& s : band)
                hi = std::max(hi, s.y1 - s.y0);
            if (cutBand(bandFirst, last, hi, nullptr)) {
                for (int k = 0; k < 30 && hi - lo > 1; ++k) {
                    const double mid = (lo + hi) / 2;
                    (cutBand(bandFirst, last, mid, nullptr) ? hi : lo) = mid;
                }
                std::vector<Slice> balanced;
                cutBand(bandFirst, last, hi, &balanced);
                band.swap(balanced);
            }
        }
        double height = 0;
        for (const Slice& s : band)
            height = std::max(height, s.y1 - s.y0);
        if (m_sections[size_t(sec)].rule) {
            for (size_t k = 1; k < band.size(); ++k) {
                const double x = (band[k - 1].clipR + band[k].clipL) / 2;
                cur.rules.emplace_back(x, bandTop, x, bandTop + height);
            }
        }
        cur.slices.insert(cur.slices.end(), band.begin(), band.end());
        band.clear();
        bandTop += height;
    };
    auto newPage = [&](size_t i, double start) {
        cur.y1 = cur.slices.empty() ? cur.y0 : cur.slices.back().y1;
        m_pages.push_back(cur);
        cur = Page{};
        cur.y0 = start;
        cur.firstItem = int(i);
        cur.section = items[i].section;
        h = heightOn(int(m_pages.size()), cur.section);
        bandTop = 0;
        col = 0;
        colY0 = start;
        bandFirst = i;
    };
    // Ends the column at `end`: the next one begins at `start`, on the next
    // page when the band has no column left (or `page`).
    auto advance = [&](size_t i, double end, double start, bool page) {
        closeColumn(end);
        if (!page && col + 1 < count(sec)) {
            ++col;
            colY0 = start;
            return;
        }
        closeBand(false, i);
        newPage(i, start);
    };

    for (size_t i = 0; i < items.size(); ++i) {
        const Item& it = items[i];
        if (it.section != sec) {
            // The band of the section before ends here; one that a
            // continuous break ends is balanced.
            closeColumn(it.prevEnd);
            closeBand(!it.breakBefore, i);
            sec = it.section;
            col = 0;
            colY0 = it.start;
            bandFirst = i;
        }
        const bool colContent = it.start > colY0 + kEps;
        const bool pageContent = colContent || col > 0 || bandTop > 0;
        const double avail = h - bandTop;
        if (it.breakBefore && pageContent) {
            advance(i, it.prevEnd, it.start, true);
            const int start = m_sections[size_t(sec)].start;
            const bool odd = m_pages.size() % 2 == 0; // the new page's number is odd
            if (i == bandFirst && ((start == docmodel::SectionOddPage && !odd) ||
                                   (start == docmodel::SectionEvenPage && odd)))
                newPage(i, it.start); // a blank page between
        } else if (it.columnBreak && pageContent) {
            advance(i, it.prevEnd, it.start, false);
        } else if (it.bottom - colY0 > avail + kEps && (colContent || (bandTop > 0 && col == 0))) {
            advance(i, it.prevEnd, it.start, !colContent);
        }
        // Taller than a whole column (a huge row or picture): cut it.
        while (it.bottom - colY0 > h - bandTop + kEps) {
            const double next = colY0 + (h - bandTop);
            advance(i, next, next, false);
        }
    }
    closeColumn(colY0 + (h - bandTop));
    closeBand(false, items.size());
    cur.y1 = cur.slices.empty() ? cur.y0 + h : cur.slices.back().y1;
    m_pages.push_back(cur);
}

const PageLayout::Slice* PageLayout::sliceOf(const Page& pg, double docY) const {
    for (const Slice& s : pg.slices)
        if (docY < s.y1 - kEps)
            return &s;
    return pg.slices.empty() ? nullptr : &pg.slices.back();
}

// The slice a point of the body (twips from the left margin and the body's
// top) falls in, or the nearest.
const PageLayout::Slice* PageLayout::sliceNear(const Page& pg, const QPointF& p) const {
    const Slice* best = nullptr;
    double bestDist = std::numeric_limits<double>::infinity();
    for (const Slice& s : pg.slices) {
        const double dx = p.x() < s.clipL ? s.clipL - p.x() : std::max(0.0, p.x() - s.clipR);
        const double bottom = s.top + (s.y1 - s.y0);
        const double dy = p.y() < s.top ? s.top - p.y() : std::max(0.0, p.y() - bottom);
        const double d = dx * dx + dy * dy;
        if (d < bestDist) {
            bestDist = d;
            best = &s;
        }
    }
    return best;
}

} // namespace wp
