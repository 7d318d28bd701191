#pragma once
// The documents of a text control as one value, and the walks over fields
// and tables that the control, its formats and its view share.

#include "document/Limits.h"
#include "document/Pictures.h"
#include "wp/PageFormat.h"
#include "wp/TextControl.h"

#include <QMap>
#include <QString>
#include <QTextBlock>
#include <QTextFrame>
#include <QTextOption>
#include <array>
#include <memory>
#include <utility>
#include <vector>

class QTextCursor;
class QTextDocument;
class QTextFrame;
class QTextTable;

class QTextTableFormat;

namespace wp::docmodel {

/// Header/footer areas in storage order: Header, FirstPageHeader, Footer,
/// FirstPageFooter.
constexpr int HeaderFooterCount = 4;
/// Index 0..3 of an hf:: flag, -1 for anything else.
int hfIndex(int flag);
/// hf:: flag of index 0..3.
int hfFlag(int index);

/// Character format (int, one of PageNumber..SectionPages): the run shows a
/// page number that drawing fills in for each page.
constexpr int PageFieldKind = QTextFormat::UserProperty + 40;
enum PageField { PageNumber = 1, PageCount = 2, SectionPages = 3 };
/// The PageField of a field instruction ("PAGE", "NUMPAGES \* ARABIC"...),
/// 0 for any other field.
int pageFieldOf(const QString& instruction);

/// Block format (double, 96-dpi pixels): the part of the top margin that is
/// the previous paragraph's space after. Word processors add the space after
/// one paragraph to the space before the next where Qt takes the larger of
/// the two; a document read from such a format carries the sum in the top
/// margin, and writing it back takes the part out again.
constexpr int SpaceAbove = QTextFormat::UserProperty + 41;
/// Adds each paragraph's space after to the top margin of the paragraph that
/// follows it in the same frame or cell (see SpaceAbove).
void addSpaceAfterToNext(QTextDocument* doc);
/// Brings SpaceAbove up to date for the paragraphs from body position
/// `from` to `to` and the one after them, after an edit changed the space
/// after of the paragraph before one of them (or split or joined them). The
/// change joins the edit's own undo step.
void refreshSpaceAbove(QTextDocument* doc, int from, int to);

/// Character format (double, points): the run is small capitals of this
/// size. Qt draws its own small capitals at a wrong size on the layout's
/// 1440-dpi device (they all but vanish), so a document read from a file
/// keeps them as capitals, its lowercase letters at four fifths of the
/// size, as word processors draw them; writers give back small capitals of
/// this size.
constexpr int SmallCapsSize = QTextFormat::UserProperty + 80;
/// Turns the runs of `doc` that ask for Qt's small capitals into the above.
void emulateSmallCaps(QTextDocument* doc);
/// The capitalization and point size (0: the default) a file should give a
/// run of format `f`.
std::pair<QFont::Capitalization, double> fileCase(const QTextCharFormat& f);

/// Table cell format (int, twips): the least height of the cell's row, which
/// the layout meets by growing the row's bottom padding; below 0 the row is
/// exactly that tall (RTF \trrh), its padding shrinking for content that
/// does not fit.
constexpr int RowHeight = QTextFormat::UserProperty + 42;
/// Table cell format (double, 96-dpi units): what fitting the row's height
/// added to the cell's bottom padding (taken off again when saving).
constexpr int RowFill = QTextFormat::UserProperty + 79;

/// Block format (bool): a page never ends after a paragraph's first line or
/// before its last (widow and orphan control).
constexpr int WidowControl = QTextFormat::UserProperty + 43;

/// Frame format (int, above 0): the frame is a picture placed beside the
/// text, floating at the left or right of the column with text wrapping
/// around it; the value is how text wraps (RTF \shpwr: 1 above and below,
/// 2 around, 3 none, 4 tight, 5 through). The other Float properties keep
/// the placement as read, so that it is written back unchanged: the sides
/// of the picture (twips) from where RTF measures them (FloatRelH: 0 page,
/// 1 margin, 2 column; FloatRelV: 0 page, 1 margin, 2 paragraph) and the
/// side text may take (\shpwrk).
constexpr int FloatWrap = QTextFormat::UserProperty + 70;
constexpr int FloatWrapSide = QTextFormat::UserProperty + 71;
constexpr int FloatLeft = QTextFormat::UserProperty + 72;
constexpr int FloatTop = QTextFormat::UserProperty + 73;
constexpr int FloatRight = QTextFormat::UserProperty + 74;
constexpr int FloatBottom = QTextFormat::UserProperty + 75;
constexpr int FloatRelH = QTextFormat::UserProperty + 76;
constexpr int FloatRelV = QTextFormat::UserProperty + 77;
/// Block format (bool): the empty paragraph that a float at the start of
/// the document or a cell stands after; it takes no room and is no text of
/// the document's own.
constexpr int FloatHolder = QTextFormat::UserProperty + 78;
/// Block format (list of QTextOption::Tab, 96-dpi units): the paragraph's
/// tab stops as word processors measure them, from the column's left edge.
/// Qt measures a paragraph's stops from where its line starts, so a
/// paragraph whose first line starts elsewhere and that holds tabs carries
/// these beside its TabPositions (see setWordTabs).
constexpr int WordTabs = QTextFormat::UserProperty + 92;
/// Gives a paragraph `tabs` (from the column's left edge, 96-dpi units) as
/// Qt places them for its first line: less where that line starts, with the
/// stop a hanging indent makes and the default stops every `defaultTab`
/// twips after the last one, and right or centred stops beyond
/// `textWidth` twips (the column's) brought back to its edge, where word
/// processors let the text run on into the margin.
void setWordTabs(QTextBlockFormat& bf, const QList<QTextOption::Tab>& tabs, double defaultTab,
                 double textWidth);
/// A paragraph's tab stops from the column's left edge (WordTabs, or its
/// TabPositions).
QList<QTextOption::Tab> wordTabs(const QTextBlockFormat& bf);

/// Sections laid out in columns. The body is one continuous column; the
/// paragraphs of a section in columns carry its columns on their block
/// format (table cells' paragraphs too), so that the layout cuts that part
/// of the column into side-by-side slices:
/// SectionColumns (int, 2..MaxSectionColumns) the number of columns,
/// ColumnGap (int, twips) the space between two, ColumnLine (bool) a line
/// drawn between them, ColumnWidths (string of twips "w1 g1 w2 g2 ... wn",
/// for unequal columns) each width and the gap after it. A root paragraph
/// of such a section is laid out at the narrowest column's width: its
/// right margin is widened by ColumnNarrowing (double, twips), which is
/// layout only and taken off again when saving.
constexpr int SectionColumns = QTextFormat::UserProperty + 110;
constexpr int ColumnGap = QTextFormat::UserProperty + 111;
constexpr int ColumnLine = QTextFormat::UserProperty + 112;
constexpr int ColumnWidths = QTextFormat::UserProperty + 113;
constexpr int ColumnNarrowing = QTextFormat::UserProperty + 114;
/// Block format (int, a SectionStart): the paragraph begins a new section,
/// which starts as the value says (on an odd or even page: a blank page
/// comes first when the page it would begin is not one).
constexpr int SectionBreak = QTextFormat::UserProperty + 115;
enum SectionStart {
    SectionContinuous = 1,
    SectionNewPage = 2,
    SectionNewColumn = 3,
    SectionOddPage = 4,
    SectionEvenPage = 5
};
/// Block format (string of twips "width height left top right bottom"), on
/// the paragraph that begins a section (SectionBreak): the section's paper
/// and margins where they are not the document's. Its text is laid out no
/// wider than the document's text width.
constexpr int SectionPage = QTextFormat::UserProperty + 117;
/// The section's page format: `base` (the document's) with the paper and
/// margins of SectionPage, bounded as a file's are. False for a format
/// without a usable SectionPage.
bool sectionPage(const QTextFormat& format, const PageFormat& base, PageFormat& page);
/// Block format (bool): the paragraph begins a new column.
constexpr int ColumnBreakBefore = QTextFormat::UserProperty + 116;
constexpr int MaxSectionColumns = 12;
/// A paragraph's own right indent: its right margin less the narrowing
/// its section's columns add.
double ownRightMargin(const QTextBlockFormat& format);
/// The column widths and gaps of a section (twips, "w1 g1 w2 ... wn"), for
/// a text width of `textWidth`: ColumnWidths when the format has them for
/// its number of columns, else equal columns with ColumnGap between them.
/// One column of the text width for a format without columns.
std::vector<double> sectionColumns(const QTextFormat& format, double textWidth);
/// Whether a frame is a float (FloatWrap).
bool isFloat(const QTextFrame* frame);
/// The empty paragraph a float at the start of a frame stands after.
bool isFloatHolder(const QTextBlock& block);
/// The floats that stand right before a paragraph, in order.
std::vector<const QTextFrame*> floatsBefore(const QTextBlock& block);
/// A paragraph's format as a writer gives it: with the space before that
/// the empty paragraph before its floats (`floats`, from floatsBefore) holds.
QTextBlockFormat writtenBlockFormat(const QTextBlock& block,
                                    const std::vector<const QTextFrame*>& floats);
/// Tables nested deeper than this are read and written as paragraphs of
/// their cell.
constexpr int MaxTableDepth = 16;
/// A table's column widths in twips, as the writers give them: the table's
/// width (fixed, a share of `textWidth` or all of it) shared out by the
/// column constraints, the columns without one taking equal parts of what
/// is left, at least 144 twips each. (Table lengths are 1/96 inch.)
std::vector<double> columnWidths(const QTextTable* table, double textWidth);
/// What a writer walks: the paragraphs and tables of a frame in order (a
/// table as {invalid block, table}). Floats are left out (they go with the
/// paragraph after them) and so are float holders; other frames give their
/// paragraphs, and so do tables when `tables` is false.
std::vector<std::pair<QTextBlock, QTextTable*>> frameItems(QTextFrame::iterator it, bool tables);

/// What a save reads: the control's documents and settings, not owned.
struct DocumentParts {
    const QTextDocument* body = nullptr;
    std::array<const QTextDocument*, HeaderFooterCount> headerFooter{};
    PageFormat page;
    int baseLine = 0;
    QString tag;
    QMap<QString, QString> info;
};

/// The head of a format's writer: the parts it writes, and the document of
/// them (the body, a header or footer) being written.
class PartsWriter {
public:
    explicit PartsWriter(const DocumentParts& parts) : parts(parts) {}

protected:
    const DocumentParts& parts;
    const QTextDocument* doc = nullptr;
};

/// What a load produces: fresh documents and settings, owned until the
/// control adopts them.
struct DocumentContent {
    DocumentContent();
    ~DocumentContent();
    DocumentContent(DocumentContent&&) noexcept;
    DocumentContent& operator=(DocumentContent&&) noexcept;

    std::unique_ptr<QTextDocument> body;
    std::array<std::unique_ptr<QTextDocument>, HeaderFooterCount> headerFooter;
    PageFormat page;
    int baseLine = 0;
    QString tag;
    QMap<QString, QString> info;
    int defaultTab = 720; // twips between default tab stops, as read

    DocumentParts parts() const;
};

/// Gives a new document the control's defaults (no document margin: the
/// page layout places it; the default font; pictures only from its own
/// data).
void prepareDocument(QTextDocument* doc);

/// One field: its id and the body positions [start, end) of its characters.
struct FieldRun {
    int id = 0;
    int start = 0;
    int end = 0;
};
/// The document's fields in document order; adjacent characters with the
/// same id form one run.
std::vector<FieldRun> fieldRuns(const QTextDocument* doc);
/// The document's tables in document order (nested ones after their parent).
std::vector<QTextTable*> tables(const QTextDocument* doc);
/// The look of a table the control inserts: `cols` equal columns across the
/// text width, collapsed single borders, table id `id`.
QTextTableFormat insertedTableFormat(int cols, int id);

/// Gives every field and table a unique id again after text was pasted in:
/// the second run of a repeated id gets the next free one.
void renumberDuplicates(QTextDocument* doc);

/// Puts `piece` (a document read for pasting or for a selection load) at
/// the cursor: its pictures keep their data (ownPictures), its
/// fields and tables get ids of their own. Refused, with the reason in
/// `error` and the cursor's document unchanged, when its tables would
/// break the limits the readers keep, beside the `cellsHeld` cells of the
/// documents it joins: what was inserted must read back once saved.
bool insertPiece(QTextCursor& cursor, QTextDocument* piece, qint64 cellsHeld, QString* error);

} // namespace wp::docmodel
