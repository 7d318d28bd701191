#pragma once
// Pagination of a body document with its headers and footers, in twips.
//
// The body is laid out once, as one continuous column of the page's text
// width, on a fixed 1440-dpi paint device: one layout unit is one twip, so
// the page breaks never depend on the device a page is drawn on. The
// continuous column is then cut into pages between lines, between table
// rows and at explicit page breaks; a page shows its slice of the column
// inside the margins. A section laid out in columns is laid out at the
// column's width (see docmodel::SectionColumns), and its part of the column
// is cut into column slices that a page shows side by side. One routine,
// drawPage, paints a page for the editor,
// the preview, PDF and the printer alike.
//
// An edit of the body is followed from its page: only the paragraphs and
// tables it touched are measured again, and the pages after it are reused
// as soon as a page begins where one began before: the pagination a
// keystroke needs hardly grows with the document.

#include "wp/PageFormat.h"

#include <QAbstractTextDocumentLayout>
#include <QLineF>
#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QTextBlock>
#include <QTextDocument>
#include <array>
#include <map>
#include <memory>
#include <utility>
#include <vector>

class QPainter;
class QPaintDevice;
class QTextFrame;
class QTextTable;

namespace wp {

class PageLayout : public QObject {
    Q_OBJECT
public:
    explicit PageLayout(QObject* parent = nullptr);
    ~PageLayout() override;

    /// The device every document of a layout is measured on: 1440 dpi.
    static QPaintDevice* twipsDevice();
    /// Grows the bottom padding of table rows whose cells ask for a least
    /// height (docmodel::RowHeight) until they reach it, laid out at
    /// `textWidth` twips on the twips device.
    static void fitRowHeights(QTextDocument* doc, double textWidth);

    /// The body document (not owned). Its layout is moved to the twips
    /// device and the page's text width.
    void setDocument(QTextDocument* body);
    QTextDocument* document() const { return m_body; }
    /// The header or footer document of one hf:: area (not owned; nullptr
    /// for none).
    void setHeaderFooterDocument(int flag, QTextDocument* doc);
    QTextDocument* headerFooterDocument(int flag) const;
    void setPageFormat(const PageFormat& format);
    const PageFormat& pageFormat() const { return m_format; }

    /// Number of pages (at least 1).
    int pageCount() const;
    /// Page size in twips (the document's).
    QSizeF pageSize() const { return QSizeF(m_format.width, m_format.height); }
    /// The page format of page `page` (from 1): a section's own paper and
    /// margins, or the document's.
    const PageFormat& pageFormatOf(int page) const;

    /// Draws page `page` (from 1) at the painter's origin at `zoomPercent`
    /// of its real size at the painter device's logical resolution: white
    /// sheet, header, body slice, footer. `context` carries the editor's
    /// selections (its clip is ignored). Throws wp::Error for a page out of
    /// range or an inactive painter.
    void drawPage(QPainter* painter, int page, double zoomPercent,
                  const QAbstractTextDocumentLayout::PaintContext* context = nullptr) const;
    /// Draws page `page` on a painter already scaled to twips.
    void drawPageTwips(QPainter* painter, int page,
                       const QAbstractTextDocumentLayout::PaintContext* context = nullptr) const;

    /// Height in twips of the table header rows a page repeats above its
    /// slice (0 for none).
    double repeatedHeaderHeight(int page) const;
    /// Height in twips of the slice of the body column a page shows.
    double sliceHeight(int page) const;
    /// Draws only a page's body slice (draft view), on a painter scaled to
    /// twips: the slice's top at y 0, the text at the left margin.
    void drawBodySlice(QPainter* painter, int page,
                       const QAbstractTextDocumentLayout::PaintContext* context = nullptr) const;

    /// The body area of a page, in page twips.
    QRectF bodyRect(int page) const;
    /// The header (or footer) area as a page shows it, in page twips: its
    /// hf:: flag and document (0 and nullptr: the page has none), where the
    /// document's origin lies, and the part of the sheet above (below) the
    /// body that belongs to it.
    struct HeaderFooterPlace {
        int flag = 0;
        QTextDocument* doc = nullptr;
        QPointF origin;
        QRectF area;
    };
    HeaderFooterPlace headerFooterPlace(int page, bool footer) const;
    /// Page (from 1) and line on that page (from 1) of a body position.
    std::pair<int, int> pageAndLine(int pos) const;
    /// Body position of page/line/column (column from 0, clamped to the
    /// line); -1 when there is no such page or line.
    int positionAt(int page, int line, int column) const;
    /// Number of text lines on a page (table cell lines included).
    int lineCount(int page) const;
    /// The visible text of one line on a page (from 1), for checks.
    QString lineText(int page, int line) const;
    /// Body position nearest to a point of a page (page twips).
    int hitTest(int page, const QPointF& pagePoint) const;
    /// The caret of a body position: page and rectangle in page twips.
    std::pair<int, QRectF> caretRect(int pos) const;
    /// Page twips → body document coordinates of the same page, and back.
    QPointF pageToDocument(int page, const QPointF& pagePoint) const;
    QPointF documentToPage(int page, const QPointF& docPoint) const;

    /// Forces the pagination to be worked out again on next use.
    void invalidate();
    /// How many times the pages were worked out from the start, and how many
    /// times only from the page of a change (for tests and measurements).
    int fullPasses() const { return m_fullPasses; }
    int partialPasses() const { return m_partialPasses; }

signals:
    /// The pages changed (content, format or count): views repaint.
    void pagesChanged();

private:
    struct Line {
        double top = 0, bottom = 0; // document coordinates
        int blockPos = 0;           // position of its block
        int start = 0, length = 0;  // within the block
        int page = 0;               // from 0
        int onPage = 0;             // line number on its page, from 0
    };
    // A piece of the column that a page shows beside others: a column of a
    // section in columns (or the band of a one-column section above or
    // below them), in document y y0..y1, shown `x` twips right of the left
    // margin and `top` twips below the body's top; drawn within clipL..clipR
    // (twips right of the left margin).
    struct Slice {
        double y0 = 0, y1 = 0, x = 0, top = 0, clipL = 0, clipR = 0;
        double width = 0; // of the column's text
    };
    struct Page {
        // Only in a document with columns: the page's slices in document
        // order, and the lines drawn between columns (page twips from the
        // left margin and the body's top).
        std::vector<Slice> slices;
        std::vector<QLineF> rules;
        int section = -1;  // whose page format the page has; -1 the document's
        double y0 = 0;     // document y shown at the body's top
        double y1 = 0;     // document y where the page's slice ends
        int firstLine = 0; // index into m_order
        int lineCount = 0;
        int firstItem = 0; // the piece of the column the page begins with
        // A page that begins inside a table repeats the table's header rows
        // (document y headTop..headBottom) above its slice.
        double headTop = 0, headBottom = 0;
        double lead() const { return headBottom - headTop; }
    };
    struct Item {           // an unbreakable piece of the column
        double start = 0;   // where a page that begins with it starts
        double prevEnd = 0; // where the page before ends if broken here
        double bottom = 0;
        bool breakBefore = false;
        double headTop = 0, headBottom = 0; // header rows of its table, if any
        int section = 0;                    // index into m_sections
        bool columnBreak = false;           // it begins a new column
    };
    // A run of the column laid out in the same columns.
    struct Section {
        std::vector<double> columns; // widths and the gaps between them, twips
        bool rule = false;           // a line between the columns
        int start = 0;               // how it begins (docmodel::SectionStart)
        bool hasFormat = false;      // its pages have its own paper and margins:
        PageFormat format;
    };
    // A child of the root frame (a paragraph or a table) as it was collected:
    // where its lines and pieces begin, and the state it was collected in, so
    // that a change collects again only the children it touches.
    struct Unit {
        int pos = 0;        // body position where it begins
        int firstBlock = 0; // block number
        int firstLine = 0;  // index into m_lines
        int firstItem = 0;  // index into m_items
        double anchor = 0;  // layout y of its top
        // The piece before it: its bottom before this child was glued to it,
        // and how far this child stretched it (-inf: not at all).
        double prevBottom = 0;
        double joinBottom = 0;
        bool keepIn = false, breakIn = false; // glue and page break pending
    };
    struct Areas {
        double bodyTop = 0, bodyBottom = 0;
        QTextDocument* header = nullptr;
        QTextDocument* footer = nullptr;
    };

    void ensurePages() const;
    void paginate() const;
    bool paginateChange() const;
    void collectAll() const;
    double tallestLine() const;
    void collectUnit(const QTextBlock& block, QTextFrame* frame, bool& pendingBreak) const;
    bool unitAt(int pos, QTextBlock& block, QTextFrame*& frame, int& next) const;
    double unitAnchor(const QTextBlock& block, QTextFrame* frame) const;
    // Cuts the pieces into pages from page `from` on; pages from `stableItem`
    // (old pages shifted by `itemShift` pieces and `dy`) are reused as soon
    // as a page begins where one of them began. Returns the first reused
    // page's new and old index (-1 for none).
    std::pair<int, int> layPages(int from, const std::vector<Page>& old, int stableItem,
                                 int itemShift, double dy) const;
    void assignLines(int from, int reusedNew, int reusedOld, int stableLine) const;
    void layColumnPages() const;
    void noteSection(const QTextBlockFormat& format, size_t firstItem) const;
    const Slice* sliceOf(const Page& pg, double docY) const;
    const Slice* sliceNear(const Page& pg, const QPointF& bodyPoint) const;
    double textWidth() const;
    std::array<double, 4> headerFooterHeights() const;
    void bodyChange(int from, int removed, int added);
    void bodyChanged();
    void collectFrame(QTextFrame* frame, std::vector<Item>& items, bool& pendingBreak) const;
    void collectTable(QTextTable* table, std::vector<Item>& items, bool& pendingBreak) const;
    void collectBlock(const QTextBlock& block, std::vector<Item>* items, bool& pendingBreak,
                      bool atRoot = false) const;
    Areas areas(int pageIndex) const;
    Areas areasOf(int pageIndex, const PageFormat& f) const;
    double bodyHeight(int pageIndex) const;
    const PageFormat& formatOf(int pageIndex) const;
    int areaFlag(int pageIndex, bool footer) const;
    bool prepare(QTextDocument* doc) const; // true: it had to be laid out again
    // A root paragraph the page (or its slice from document y `from`)
    // begins inside.
    QTextBlock splitBlock(const Page& pg, double from = -1e300) const;
    // Draws a page's column slices (and the lines between them) with the
    // body's top left at `origin`.
    void drawSlices(QPainter* painter, const Page& pg, const QPointF& origin,
                    const QAbstractTextDocumentLayout::PaintContext* context) const;
    std::unique_ptr<QTextDocument> numbered(QTextDocument* doc, int page) const;
    int lineIndexOf(int pos) const;
    const Page& pageAt(int page) const;
    void markDirty();

    // Footnotes: each note stands at the foot of the page that shows its
    // mark, above the bottom margin (PageLayoutNotes.cpp).
    void collectNotes() const;
    double notesIn(double top, double bottom) const;
    static double noteRoom(double notes);
    void drawNotes(QPainter* painter, const Page& pg, double bodyBottom) const;

    QPointer<QTextDocument> m_body;
    QPointer<QTextDocument> m_hf[4]; // header, first header, footer, first footer
    PageFormat m_format;

    mutable bool m_dirty = true;
    mutable bool m_full = true; // the body must be collected from the start
    // The body's changes since the last pagination, in today's positions:
    // [m_changeFrom, m_changeTo) is new text, everything after it moved by
    // m_changeDelta.
    mutable int m_changeFrom = -1, m_changeTo = -1, m_changeDelta = 0;
    bool m_changeSeen = false;                     // a contentsChange came with the last edit
    int m_editFrom = -1, m_editTo = -1;            // the last edit's new text
    bool m_fixing = false;                         // paragraph spacing is being brought up to date
    mutable int m_charCount = 0, m_blockCount = 0; // of the body last collected
    mutable std::array<double, 4> m_hfHeights{};   // header/footer heights last used
    mutable std::vector<Page> m_pages;
    mutable std::vector<Line> m_lines;
    mutable std::vector<Item> m_items;
    mutable std::vector<Unit> m_units;
    mutable std::vector<int> m_blockFirstLine; // block number → first index in m_lines
    mutable std::vector<int> m_order;          // m_lines indices by page, then line
    mutable std::vector<Section> m_sections;   // of the items, by Item::section
    mutable bool m_hasColumns = false;   // a section has columns or begins on an odd or even page
    mutable double m_minBody = 240;      // least body height of a page: its tallest line
    mutable bool m_keepWithNext = false; // while collecting: glue the next piece
    mutable const std::vector<Item>* m_unitItems = nullptr; // while collecting a child
    mutable size_t m_unitFirstItem = 0;
    mutable double m_unitJoin = 0;
    mutable int m_fullPasses = 0, m_partialPasses = 0;
    // The body's notes: where each mark's line stands (its middle, document
    // y, in order) and the note's laid out text, by the mark's data.
    mutable std::vector<std::pair<double, QTextDocument*>> m_noteMarks;
    mutable std::map<QByteArray, std::unique_ptr<QTextDocument>> m_noteDocs;
};

} // namespace wp
