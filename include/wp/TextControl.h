#pragma once
// The word-processing control: a paged document with headers, footers,
// fields and tables, edited on screen and drawn one page at a time.
//
// The body and the four header/footer areas are QTextDocuments owned by the
// control. Lengths are twips (in the documents, the page layout takes left
// and right block margins and indents as twips, and space before/after, line
// heights, tab positions and table lengths as 1/96 inch, which Qt scales by
// dpi / 96). Fields are runs of characters whose character
// format carries prop::FieldId and prop::FieldData, so layout and drawing
// treat them as ordinary text; tables are QTextTables whose format carries
// prop::TableId.

#include "wp/PageFormat.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QTextCursor>
#include <QTextFormat>
#include <QWidget>
#include <array>
#include <functional>
#include <utility>

class QPainter;
class QTextDocument;
class QTextTable;

namespace wp {

/// Data formats of SaveToMemory and LoadFromMemory.
namespace fmt {
constexpr int PlainText = 1; ///< UTF-8 text without formatting
constexpr int Rtf = 5;       ///< Rich Text Format (reads what other word processors write)
constexpr int Native = 8;    ///< our own lossless format: everything the control holds
constexpr int Docx = 13;     ///< Office Open XML word-processing document (.docx)
} // namespace fmt

/// QTextFormat properties the control keeps on its text.
namespace prop {
/// Character format of a field's characters: the field id (int, 1..32767).
constexpr int FieldId = QTextFormat::UserProperty + 1;
/// Character format of a field's characters: the field's data (QString).
constexpr int FieldData = QTextFormat::UserProperty + 2;
/// QTextTableFormat of a table: the table id (int, 1..32767).
constexpr int TableId = QTextFormat::UserProperty + 3;
/// QTextBlockFormat (bool): the paragraph's lines stay on one page (RTF \keep).
/// Qt's own nonBreakableLines means "do not wrap", which is something else.
constexpr int KeepTogether = QTextFormat::UserProperty + 4;
/// QTextBlockFormat (bool): the paragraph stays on the page of the next one
/// (RTF \keepn).
constexpr int KeepWithNext = QTextFormat::UserProperty + 5;
/// QTextListFormat (int): the list's nesting level, 0..8 (RTF \ilvl).
constexpr int ListLevel = QTextFormat::UserProperty + 10;
/// QTextListFormat (QString): the bullet character of a bulleted list.
constexpr int ListBullet = QTextFormat::UserProperty + 11;
/// QTextImageFormat (QByteArray): the picture's PNG or JPEG data; an empty
/// value marks a picture we cannot draw, kept as an empty frame of its size.
/// WMF and EMF data is drawn as well.
constexpr int ImageData = QTextFormat::UserProperty + 12;
/// QTextImageFormat (list of four doubles: left, top, width, height): the
/// part of the picture shown, in fractions of its width and height (RTF
/// \piccrop); none: the whole picture.
constexpr int ImageCrop = QTextFormat::UserProperty + 13;
} // namespace prop

/// The one character an emptied field keeps, so that it keeps its id, data
/// and format and can be filled again. It has no width and is never part of
/// FieldText or of exported text.
constexpr char16_t EmptyFieldMark = 0x200B;

/// Keys of the document properties (RTF \info group).
namespace info {
inline const QString Title = QStringLiteral("title");
inline const QString Subject = QStringLiteral("subject");
inline const QString Author = QStringLiteral("author");
inline const QString Manager = QStringLiteral("manager");
inline const QString Company = QStringLiteral("company");
inline const QString Category = QStringLiteral("category");
inline const QString Keywords = QStringLiteral("keywords");
inline const QString Comments = QStringLiteral("comments");
} // namespace info

class TextControl : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int PageWidth READ PageWidth WRITE setPageWidth)
    Q_PROPERTY(int PageHeight READ PageHeight WRITE setPageHeight)
    Q_PROPERTY(int PageMarginL READ PageMarginL WRITE setPageMarginL)
    Q_PROPERTY(int PageMarginT READ PageMarginT WRITE setPageMarginT)
    Q_PROPERTY(int PageMarginR READ PageMarginR WRITE setPageMarginR)
    Q_PROPERTY(int PageMarginB READ PageMarginB WRITE setPageMarginB)
    Q_PROPERTY(int BaseLine READ BaseLine WRITE setBaseLine)
    Q_PROPERTY(int HeaderFooter READ HeaderFooter WRITE setHeaderFooter)
    Q_PROPERTY(QString Tag READ Tag WRITE setTag)
    Q_PROPERTY(qint32 SelStart READ SelStart WRITE setSelStart)
    Q_PROPERTY(qint32 SelLength READ SelLength WRITE setSelLength)
    Q_PROPERTY(QString SelText READ SelText WRITE setSelText)
    Q_PROPERTY(bool FormatSelection READ FormatSelection WRITE setFormatSelection)
    Q_PROPERTY(qint32 ForeColor READ ForeColor WRITE setForeColor)
    Q_PROPERTY(qint16 FieldCurrent READ FieldCurrent WRITE setFieldCurrent)
    Q_PROPERTY(QString FieldText READ FieldText WRITE setFieldText)
    Q_PROPERTY(qint32 FieldStart READ FieldStart)
    Q_PROPERTY(qint16 ViewMode READ ViewMode WRITE setViewMode)
    Q_PROPERTY(qint16 PrintZoom READ PrintZoom WRITE setPrintZoom)
    Q_PROPERTY(qint32 CurrentPages READ CurrentPages)

public:
    explicit TextControl(QWidget* parent = nullptr);
    ~TextControl() override;

    // --- documents -------------------------------------------------------

    /// The body. The pointer changes when a load replaces the document
    /// (documentReplaced); the old document is deleted right after that signal.
    QTextDocument* document() const;
    /// The content of a header/footer area (hf::Header, hf::FirstPageHeader,
    /// hf::Footer, hf::FirstPageFooter); always present, whether or not the
    /// HeaderFooter flags show it. nullptr for any other flag.
    QTextDocument* headerFooterDocument(int flag) const;
    /// The header or footer area edited in place (an hf:: flag), 0 while
    /// the body is. Meanwhile the selection members (SelStart, SelLength,
    /// SelText, ForeColor, textCursor) act on that area; the input position,
    /// fields, tables and the body's caret stay with the body.
    int editedHeaderFooter() const;
    /// Edits area `flag` in place, caret at its start; 0 returns to the body
    /// and its caret. An area the HeaderFooter flags do not show is error 5.
    void editHeaderFooter(int flag);

    // --- page format (twips) ---------------------------------------------

    PageFormat pageFormat() const;
    void setPageFormat(const PageFormat& format);
    int PageWidth() const;
    void setPageWidth(int twips);
    int PageHeight() const;
    void setPageHeight(int twips);
    int PageMarginL() const;
    void setPageMarginL(int twips);
    int PageMarginT() const;
    void setPageMarginT(int twips);
    int PageMarginR() const;
    void setPageMarginR(int twips);
    int PageMarginB() const;
    void setPageMarginB(int twips);
    /// Kept with the document and copied with it; no effect on the layout.
    int BaseLine() const;
    void setBaseLine(int value);
    /// Which header and footer areas exist: a combination of hf:: flags (0..15).
    int HeaderFooter() const;
    void setHeaderFooter(int flags);
    /// Distance in twips of the header (index 1) from the top border or of
    /// the footer (index 4) from the bottom border; fractions are kept.
    /// Other indexes and negative distances are refused (error 5).
    Q_INVOKABLE double HeaderFooterPosition(int index) const;
    Q_INVOKABLE void setHeaderFooterPosition(int index, double twips);

    // --- properties kept with the document -------------------------------

    /// Free text of the host (the résumé XML).
    QString Tag() const;
    void setTag(const QString& text);
    /// Document properties by info:: key ("" when unset).
    QString documentProperty(const QString& key) const;
    void setDocumentProperty(const QString& key, const QString& value);
    QMap<QString, QString> documentProperties() const;

    // --- selection and input position ------------------------------------

    /// Selection start from 0 (the smaller end). Setting it collapses the
    /// selection there; positions past the end are clamped.
    qint32 SelStart() const;
    void setSelStart(qint32 pos);
    /// Selection length from SelStart; the caret goes to its end.
    qint32 SelLength() const;
    void setSelLength(qint32 length);
    /// The selected text; setting it replaces the selection ("\r\n", "\r" and
    /// "\n" become paragraph breaks) and puts the caret after it.
    QString SelText() const;
    void setSelText(const QString& text);
    /// True: ForeColor acts on the selection; False: on the whole body.
    bool FormatSelection() const;
    void setFormatSelection(bool on);
    /// Text colour as a Windows colour value (0x00BBGGRR: red is 255).
    qint32 ForeColor() const;
    void setForeColor(qint32 colorref);
    /// Caret position as {page, line, column}: page and line from 1, column
    /// from 0. Page and line come from pageLineLocator when it is set;
    /// without it the page is 1 and the line is the paragraph number.
    Q_INVOKABLE QList<qint32> CurrentInputPosition() const;
    /// Moves the caret (collapsing the selection); positionLocator maps
    /// (page, line, column) to a position when it is set.
    Q_INVOKABLE void setCurrentInputPosition(qint32 page, qint32 line, qint32 column);
    /// The control's caret (a copy): in the body, or in the header or footer
    /// being edited; setTextCursor moves it within that document.
    QTextCursor textCursor() const;
    void setTextCursor(const QTextCursor& cursor);

    /// Set by the page layout: (page, line), both from 1, of a body position.
    std::function<std::pair<int, int>(int pos)> pageLineLocator;
    /// Set by the page layout: body position of (page, line, column), or -1.
    std::function<int(int page, int line, int column)> positionLocator;

    // --- fields ----------------------------------------------------------

    /// Inserts a field with that visible text and data at the caret
    /// (replacing the selection) in the caret's character format; returns
    /// its new id, unique in the body. Inside another field it is error 5.
    Q_INVOKABLE qint16 FieldInsert(const QString& text, const QString& data);
    /// The id of the field after field `id` in document order (0: the
    /// first field); 0 after the last field or when `id` is unknown. Type 0
    /// is every field.
    Q_INVOKABLE qint16 FieldNext(qint16 id, qint16 type) const;
    /// The current field (0: none). Setting an unknown id is error 5.
    qint16 FieldCurrent() const;
    void setFieldCurrent(qint16 id);
    /// The data of field `id` ("" for an unknown id).
    Q_INVOKABLE QString FieldData(qint16 id) const;
    Q_INVOKABLE void setFieldData(qint16 id, const QString& data);
    /// Visible text of the current field. Setting it keeps the field's id,
    /// data and character format, also for the empty text.
    QString FieldText() const;
    void setFieldText(const QString& text);
    /// Position of the current field's first character, from 1 (0: none).
    qint32 FieldStart() const;
    /// The field that holds body position `pos` (0: none); for the view.
    qint16 fieldAt(int pos) const;
    /// Asks the FieldSetCursor handlers for the pointer over field `id`
    /// (0, the default pointer, when nobody sets one); for the view.
    int fieldMousePointer(qint16 id);

    // --- tables ----------------------------------------------------------

    /// Inserts a rows x cols table at body position `pos` (-1: the caret)
    /// under `id` (0: the smallest free id). Returns the table's id, or 0
    /// when refused: rows or cols below 1, an id below 0 or already used,
    /// a position inside a table or out of range, or more than 100000
    /// table cells in the document (it could not be loaded again).
    Q_INVOKABLE qint16 TableInsert(qint32 rows, qint32 cols, qint32 pos, qint16 id);
    /// Enumerates the body's tables in document order: start with
    /// enumState 0; each call sets tableId and returns the next state, or
    /// returns 0 when there is no further table.
    Q_INVOKABLE qint16 TableNext(qint16& enumState, qint16& tableId) const;
    /// The body's table with that id (nullptr: none).
    QTextTable* table(qint16 id) const;

    // --- load and save ---------------------------------------------------

    /// The document in `format` (fmt::). With `selectionOnly` only the
    /// selected part of the body, without page format and headers/footers.
    Q_INVOKABLE QByteArray SaveToMemory(int format, bool selectionOnly = false) const;
    /// Replaces the document by `data` in `format` (with `selectionOnly`,
    /// replaces the selection by the data's body). Returns false and leaves
    /// everything as it was when the data is not a valid document; the
    /// reason is in lastError().
    Q_INVOKABLE bool LoadFromMemory(const QByteArray& data, int format, bool selectionOnly = false);
    /// Why the last load or file operation failed ("" after a success).
    QString lastError() const;

    /// The format a file name stands for by its extension: ".rtf" fmt::Rtf,
    /// ".docx" fmt::Docx, ".wpdoc" fmt::Native, ".txt" fmt::PlainText; 0 for
    /// any other.
    static int formatForFile(const QString& fileName);
    /// Loads a file in `format` (0: by its extension, else by its content).
    /// False, with the reason in lastError(), leaves the document as it was.
    bool LoadFromFile(const QString& fileName, int format = 0);
    /// Saves the document to a file in `format` (0: by its extension);
    /// false with the reason in lastError().
    bool SaveToFile(const QString& fileName, int format = 0);

    // --- pages: view, drawing and printing -------------------------------

    /// 2: page-layout view (the pages as sheets, with headers and footers);
    /// 0 or 1: draft view (the body as one column, page breaks as dotted
    /// lines). Pagination, drawing and printing are the same in both.
    qint16 ViewMode() const;
    void setViewMode(qint16 mode);
    /// Scale of PrintPage in percent of the page's real size (1..1000;
    /// anything else is error 5). The default is 100.
    qint16 PrintZoom() const;
    void setPrintZoom(qint16 percent);
    /// The device PrintPage draws on: an active painter on a widget, image,
    /// PDF writer or printer (not owned; nullptr: none).
    Q_INVOKABLE QPainter* PrintDevice() const;
    Q_INVOKABLE void setPrintDevice(QPainter* painter);
    /// Draws page `page` (from 1) on PrintDevice at its origin at PrintZoom
    /// percent of the real size at the device's logical resolution: white
    /// sheet, body, header and footer. A page out of range is error 9, no
    /// active device error 91.
    Q_INVOKABLE void PrintPage(qint32 page);
    /// The number of pages.
    qint32 CurrentPages() const;
    /// The paper and margins of page `page` (from 1): those of its section
    /// when the section has its own, else pageFormat(). A page out of range
    /// is error 9.
    PageFormat pageFormatOf(qint32 page) const;
    /// Writes every page, headers and footers included, to a PDF file at
    /// the page's real size (through PrintPage). False, with the reason in
    /// lastPdfError(), when the file cannot be written. `progress(page,
    /// pages)`, when given, is called after each page.
    bool exportPdf(const QString& fileName,
                   const std::function<void(qint32 page, qint32 pages)>& progress = {});
    QString lastPdfError() const;
    /// Zoom of the on-screen sheets, percent (10..500; default 100).
    double viewZoom() const;
    void setViewZoom(double percent);
    /// The editing view inside the control (for hosts that grab or scroll it).
    QWidget* editView() const;

signals:
    /// The documents were replaced by a load: fetch document() and
    /// headerFooterDocument() again and lay them out anew.
    void documentReplaced();
    /// Page size, margins, header/footer flags or distances changed.
    void pageFormatChanged();
    /// Editing moved between the body (0) and a header or footer (hf:: flag).
    void headerFooterEditingChanged(int flag);
    /// The caret or the selection moved through one of the members above.
    void cursorPositionChanged();
    /// The mouse is over field `fieldId`: set `mousePointer` to the pointer
    /// code to show.
    void FieldSetCursor(int fieldId, int& mousePointer);

private:
    struct Private;
    Private* d;

    // The cells of the tables of every document of the control together.
    qint64 cellsHeld() const;

    // The pages (layout and editing view) live in TextControlPages.cpp; the
    // holder is built after `d` by every constructor.
    class Pages;
    struct PagesHolder {
        explicit PagesHolder(TextControl* control);
        ~PagesHolder();
        PagesHolder(const PagesHolder&) = delete;
        PagesHolder& operator=(const PagesHolder&) = delete;
        Pages* p;
    };
    PagesHolder m_pages{this};
};

} // namespace wp
