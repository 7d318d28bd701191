#pragma once
// The RTF reader's parser, shared by the files that each read one part of
// RTF: RtfReader.cpp (groups, control words, text and code pages, document
// settings), RtfReadFonts.cpp (font and colour tables), RtfReadLists.cpp
// (list tables, \pn numbering and the lists built from them),
// RtfReadPictures.cpp (pictures), RtfReadText.cpp
// (paragraph and character formatting), RtfReadTables.cpp (tables),
// RtfReadFields.cpp (fields) and RtfReadInfo.cpp (the \info group).

#include "document/TextControlDocument.h"

#include <QColor>
#include <QFont>
#include <QList>
#include <QString>
#include <QTextFormat>
#include <QTextImageFormat>
#include <QTextOption>
#include <algorithm>
#include <map>
#include <memory>
#include <string_view>
#include <variant>
#include <vector>

class QStringDecoder;
class QTextCursor;
class QTextList;

namespace wp::RtfReader::detail {

// Outlook nests its mail bodies thousands of groups deep; the group stack
// is our own, so depth costs only memory.
constexpr int MaxDepth = 20000;
constexpr int MaxColumns = 256;
constexpr int MaxTableDepth = 16;
// A row's \trgaph when it gives none, in twips.
constexpr int DefaultGap = 108;

// A paragraph's list (\ls) and level (\ilvl) ride on its block format until
// the document is built.
constexpr int ListOverrideProperty = QTextFormat::UserProperty + 0x7F00;
constexpr int ListLevelProperty = QTextFormat::UserProperty + 0x7F01;
// A paragraph's style (\s) plus one, when \contextualspace drops its space
// next to paragraphs of that style; read off when the paragraph ends.
constexpr int ContextualStyleProperty = QTextFormat::UserProperty + 0x7F02;
// A footnote's mark: the index of its note, until the note is built.
constexpr int NoteIndexProperty = QTextFormat::UserProperty + 0x7F03;
// A mark's run takes no further text.
constexpr int NoteMarkRun = -1000;
// Footnotes a document may have.
constexpr int MaxNotes = 10000;

// --- what a destination collects -------------------------------------------

struct CharProps {
    bool bold = false, italic = false, strike = false, hidden = false, caps = false;
    bool smallCaps = false;
    int underline = 0; // 0 none, 1 single, 2 double, 3 dotted, 4 dashed, 5 wave
    int font = -1;     // -1: the default font
    int halfPoints = 24;
    int color = 0; // colour table index, 0: automatic
    int background = 0;
    int vertical = 0; // 1 superscript, -1 subscript
    bool operator==(const CharProps&) const = default;
};

struct ParaProps {
    int align = 0; // 0 left, 1 centre, 2 right, 3 justify
    int li = 0, ri = 0, fi = 0, sb = 0, sa = 0, sl = 0;
    bool slmult = false, intbl = false, pagebb = false, keep = false, keepn = false, widows = false;
    bool rtl = false;        // \rtlpar: the paragraph reads right to left
    int style = 0;           // \s
    int shading = 0;         // \cbpat: the paragraph's background colour
    int shadePercent = 0;    // \shading: hundredths of a percent of \cfpat over it
    int shadeColor = 0;      // \cfpat
    bool contextual = false; // \contextualspace
    int itap = 0;            // table depth: 1 a table of the text, 2 one nested in its cell...
    int ls = 0, ilvl = 0;    // list override (\ls, or a \pn numbering) and its level
    // Borders (docmodel::ParaBorderSides...): the sides, the side being
    // described, and the lines' width, style, colour and space.
    int borders = 0, borderSide = 0, borderWidth = 0, borderStyle = 0, borderColor = 0;
    int borderSpace = 0, borderSpaceH = 0;
    QList<QTextOption::Tab> tabs;
    QTextOption::TabType nextTab = QTextOption::LeftTab;
    char16_t nextLeader = 0; // \tldot...: what fills the space before the next stop
};

struct CellDef {
    int right = 0;
    int vmerge = 0; // 1 first of a vertical merge, 2 merged into the cell above
    int hmerge = 0; // 1 first of a horizontal merge, 2 merged into the cell before
    int background = 0;
    bool border = false;
    int pad[4] = {-1, -1, -1, -1}; // left, top, right, bottom; -1 the row's
    bool padNull[4] = {};          // \clpadf0: the padding is not given
};

struct RowDef {
    std::vector<CellDef> cells;
    int left = 0;
    int gap = -1;
    int align = 0;
    bool header = false;
    bool border = false;
    int pad[4] = {-1, -1, -1, -1}; // left, top, right, bottom; -1 none given
    bool padNull[4] = {};          // \trpaddf0: the padding is not given
    int height = 0;                // \trrh: at least (or exactly, if below 0)
};

struct TextBox;

struct Run {
    QString text;
    QTextCharFormat format;
    CharProps props;
    int field = 0;
    bool listText = false; // a list's visible number, dropped when the list is understood
    bool object = false;   // a picture: one character of its own
    bool floating = false; // a picture or text box placed beside the text (ShapeProps)
    std::shared_ptr<const TextBox> box = nullptr; // a text box's text, for a floating run
};

struct Para {
    QTextBlockFormat format;
    std::vector<Run> runs;
    // The character format at the paragraph's end: an empty paragraph's
    // line is as high as its font makes it.
    QTextCharFormat mark;
    int contextualStyle = 0; // ContextualStyleProperty
    int style = -1;
};

struct Table;

struct Cell {
    std::vector<Para> paras;
    // Nested tables, each before the paragraph of its index.
    std::vector<std::pair<size_t, std::shared_ptr<Table>>> tables;
};

struct Row {
    RowDef def;
    std::vector<Cell> cells;
};

struct Table {
    std::vector<Row> rows;
    int id = 0;
    bool breakBefore = false;
};

// The paragraphs and tables of a text box (\shptxt) and how its frame looks.
struct TextBox {
    std::vector<std::variant<Para, Table>> items;
    bool line = true;
    QColor fill; // invalid: none
    int inset[4] = {};
    int height = 0; // twips
};

// A table nested in a cell of the table one level up, being read.
struct NestLevel {
    Cell cell;
    std::vector<Cell> rowCells;
    std::shared_ptr<Table> table;
};

// Paragraphs and tables of one document, in order.
struct Builder {
    std::vector<std::variant<Para, Table>> items;
    Para current;
    Cell cell;
    std::vector<Cell> rowCells;
    bool tableOpen = false;
    bool breakBefore = false;
    bool sectionBreak = false; // breakBefore comes from \sect: \sbknone takes it back
    int sectionStart = 0;      // a docmodel::SectionStart for the next paragraph, 0 none
    bool columnBreak = false;  // \column: the next paragraph begins a column
    bool used = false;         // a header group has filled it already
    bool weak = false;         // filled by a left-page variant, which the plain one replaces
    int pendingTableId = 0;
    std::vector<NestLevel> nest; // table depth 2, 3, ...

    void text(const QString& t, const CharProps& props, const QTextCharFormat& fmt, int field,
              bool listText);
    void object(const QTextCharFormat& fmt, bool floating = false,
                std::shared_ptr<const TextBox> box = nullptr);
    void closeTable();
    void endPara(const QTextBlockFormat& bf, bool inTable, int itap = 1);
    void endNestCell(const QTextBlockFormat& bf, int itap);
    void endNestRow(const RowDef& def, int itap);
    Cell& cellAt(int itap);
    void closeNested(int itap);
    void endCell(const QTextBlockFormat& bf);
    void endRow(const RowDef& def);
    // The document's group is closed: a paragraph without \par still counts.
    void finish(const QTextBlockFormat& bf, bool inTable);
};

// --- group state -----------------------------------------------------------

enum class Dest {
    Body,
    HeaderFooter, // text into builders[target], or a footnote's (see Parser::builder)
    Skip,
    InfoGroup, // the \info group: its children name the properties
    FontTable,
    ColorTable,
    Info,              // text into info[infoKey]
    FieldInst,         // text into the field's instruction
    WpFieldId,         // our own field id
    WpTableId,         // our own table id
    ListTable,         // \listtable
    ListOverrideTable, // \listoverridetable
    LevelText,         // a list level's \leveltext
    ParaNumbering,     // an old-style \pn group
    ParaNumberingText, // \pntxtb / \pntxta of a \pn group
    Picture,           // \pict
    Shape,             // \shp and its \shpinst: a picture placed on the page
    ShapeProp,         // a shape's {\sp ...}
    ShapePropName,     // its {\sn ...}
    ShapePropValue,    // its {\sv ...}
};

// The columns of the body's section being read (\cols, \colsx, \colno,
// \colw, \colsr, \linebetcol).
struct SectProps {
    int cols = 1;
    int gap = 720;
    bool line = false;
    int colno = 0;                 // the column \colw and \colsr describe, from 1
    std::vector<int> widths, gaps; // per column, 0 not given
    PageFormat page;               // a later section's own paper and margins...
    bool pageSet = false;          // ...when it gives them
};

struct State {
    Dest dest = Dest::Body;
    int target = 0; // 0 body, 1..4 header/footer index + 1, TextBoxTarget, then notes
    CharProps chr;
    ParaProps para;
    int uc = 1;
    int field = 0;            // 1-based index into the open fields when inside a result
    bool listText = false;    // inside \listtext or \pntext
    bool afterNumber = false; // \pntxta rather than \pntxtb
    bool nestProps = false;   // inside \nesttableprops
    QString infoKey;
};

struct FontEntry {
    QString name;
    int charset = -1;
    QFont::StyleHint hint = QFont::AnyStyle; // \froman, \fswiss, \fmodern...
};

// The families to ask for a font of the table (its kind goes in the style
// hint).
QStringList fontFamilies(const FontEntry& f);

// Bullets of symbol fonts, which the documents' fonts do not have: mapped to
// their Unicode characters and shown in the text's own font.
enum class Symbolic { No, Symbol, Wingdings };
Symbolic symbolicFont(const FontEntry& f);
char16_t symbolCharacter(Symbolic kind, char16_t ch);

// One level of a list definition. `text` is the level text without its
// length: characters 0..8 stand for the numbers of those levels.
struct ListLevel {
    int nfc = 0; // 0 decimal, 1/2 upper/lower roman, 3/4 upper/lower letter, 23 bullet, 255 none
    int start = 1;
    QString text;
    int li = 0, fi = 0;
    int font = -1;
    bool operator==(const ListLevel&) const = default;
};

struct ListDef {
    int id = 0;
    std::vector<ListLevel> levels;
};

// The builder a text box's text goes into while its shape is read.
constexpr int TextBoxTarget = 1 + docmodel::HeaderFooterCount;
// The first footnote's target; the note of index i is FirstNoteTarget + i.
constexpr int FirstNoteTarget = TextBoxTarget + 1;

// Overrides from \pn paragraphs get numbers above those of \ls.
constexpr int ParaNumberingBase = 1 << 20;

struct PictureProps {
    enum Kind { None, Png, Jpeg, Metafile, Other } kind = None;
    int w = 0, h = 0, wGoal = 0, hGoal = 0, scaleX = 0, scaleY = 0;
    int crop[4] = {}; // \piccropl, t, r, b (twips)
    QByteArray data;
    int half = -1; // a hex digit waiting for its partner
};

// A floating picture (\shp) being read: where it stands, in twips, and
// what it stands beside.
struct ShapeProps {
    int left = 0, top = 0, right = 0, bottom = 0;
    int relH = 2, relV = 2;                // 0 page, 1 margin, 2 column / paragraph
    int wrap = 2, wrapSide = 0;            // \shpwr, \shpwrk
    bool ignoreH = false, ignoreV = false; // \shpbxignore, \shpbyignore: posrelh/posrelv hold
    QString propName, propValue;
    QTextImageFormat image;
    bool hasImage = false;
    bool hasText = false;              // \shptxt: a text box
    bool line = true;                  // fLine: a text box has its border
    int fill = 0xFFFFFF;               // fillColor (0xBBGGRR), when fFilled
    bool filled = true;                // fFilled
    int inset[4] = {144, 72, 144, 72}; // dxTextLeft, dyTextTop, dxTextRight, dyTextBottom (twips)
};

// A footnote being read or read: its text, and the number its mark shows.
struct Note {
    Builder builder;
    int number = 0;
    bool endnote = false; // \ftnalt: the note goes to the document's end
};

struct FieldCtx {
    int depth = 0;
    QString inst;
    QString idText;
    int id = 0;
    QString name;
    bool merge = false;
    int pageField = 0;
    int emitted = 0;
    CharProps lastProps;
};

class Parser {
public:
    Parser(const QByteArray& data, docmodel::DocumentContent& out);
    ~Parser();

    bool run(QString* error);

private:
    const char* p;
    const char* end;
    docmodel::DocumentContent& out;

    std::vector<State> stack;
    State st;
    Builder builders[TextBoxTarget + 1];
    std::vector<Note> notes;
    std::vector<QByteArray> noteData; // each note's document, once built
    std::map<int, FontEntry> fonts;
    std::vector<QColor> colors;
    int colorR = -1, colorG = -1, colorB = -1;
    int fontNumber = 0;
    int fontCharset = -1;
    QFont::StyleHint fontHint = QFont::AnyStyle;
    QString fontName;
    int deff = -1;
    int docCodePage = 1252;
    bool titlePage = false;
    bool facingPages = false;
    int footnoteMarks = 0;     // \chftn marks in the text so far
    int endnoteMarks = 0;      // of them, endnotes
    bool laterSection = false; // past the first \sect: its page settings are not ours // \facingp:
                               // left and right pages have their own headers
    int hfPresent = 0;
    SectProps sect;
    RowDef rowDef;
    RowDef outerRowDef; // the row definition a nested one interrupts
    CellDef cellDef;
    int borderTarget = 0; // 1 row, 2 cell, 3 paragraph border being described
    std::vector<FieldCtx> fields;
    int nextFieldId = 1;
    bool ignorableNext = false;
    int skipFallback = 0;
    QByteArray pendingBytes;
    QString pendingText;
    QString failure;
    std::unique_ptr<QStringDecoder> decoder;
    int decoderCodePage = 1252;
    qint64 cellBudget = docmodel::MaxDocumentCells;
    std::vector<ListDef> listDefs;
    std::map<int, int> listOverrides; // \ls number -> \listid
    int overrideLs = 0, overrideId = 0;
    // Start numbers an override gives its levels (\lfolevel with
    // \listoverridestartat): per \ls, level -> start.
    std::map<int, std::map<int, int>> overrideStarts;
    std::map<int, int> pendingStarts; // of the override being read
    int lfoLevel = -1;
    bool lfoStartAt = false;
    std::vector<ListLevel> paraNumberings; // \pn definitions, \ls = base + index
    ListLevel paraNumbering;
    QString numberBefore, numberAfter; // \pntxtb, \pntxta
    // The lists of the document being built: per \ls, the open list of each level.
    std::map<int, std::vector<QTextList*>> openLists;
    PictureProps picture;
    ShapeProps shape;

    [[noreturn]] void fail(const QString& what) { throw what; }
    Builder& builder() {
        return st.target < FirstNoteTarget ? builders[st.target]
                                           : notes[size_t(st.target - FirstNoteTarget)].builder;
    }
    static bool inDocumentDest(Dest d) { return d == Dest::Body || d == Dest::HeaderFooter; }
    bool inDocument() const { return inDocumentDest(st.dest); }
    void destination(Dest d);

    // Groups, control words and text (RtfReader.cpp).
    void parse();
    void pushGroup();
    void popGroup();
    void controlWord(std::string_view word, bool hasParam, int param);
    void controlSymbol(char ch);
    bool documentWord(std::string_view word, bool hasParam, int param);
    bool headerFooterWord(std::string_view word);
    void headerFooter(int flag, bool leftPage = false);
    int currentCodePage() const;
    void flushBytes();
    void flush();
    void emitText(const QString& text);
    void build();
    void buildDocument(QTextDocument* doc, Builder& b);
    void defaultFont(QTextDocument* doc) const;

    // Footnotes (RtfReadText.cpp).
    bool noteWord(std::string_view word);
    void beginNote();
    static QString noteNumber(const Note& note);
    void buildNotes();
    QTextCharFormat markFormat(const QTextCharFormat& f) const;

    // Font and colour tables (RtfReadFonts.cpp).
    bool tableDestinationWord(std::string_view word);
    bool fontOrColorTableWord(std::string_view word, int n);
    bool fontOrColorTableText(char ch);
    void endFontGroup();
    Symbolic currentSymbolic() const;

    // Lists (RtfReadLists.cpp).
    bool listDestinationWord(std::string_view word);
    bool listTableWord(std::string_view word, bool hasParam, int param);
    void listText(const QString& text);
    void endListGroup();
    const ListLevel* listLevel(int ls, int ilvl) const;
    int listStart(int ls, int ilvl, const ListLevel& level) const;
    void insertPara(QTextCursor& cursor, const Para& para, bool reuse);

    // Pictures (RtfReadPictures.cpp).
    bool pictureDestinationWord(std::string_view word);
    bool pictureWord(std::string_view word, bool hasParam, int param);
    void pictureData();
    void pictureBinary(const char* data, qsizetype size);
    void endPictureGroup();
    bool shapeWord(std::string_view word, bool hasParam, int param);
    void shapeText(const QString& text);
    void insertFloat(QTextCursor& cursor, const Run& run, double shift);

    // Paragraphs and characters (RtfReadText.cpp).
    bool specialCharacter(std::string_view word);
    bool paragraphWord(std::string_view word, bool hasParam, int param);
    bool characterWord(std::string_view word, bool hasParam, int param);
    void paragraphBorderWord(std::string_view word, int param);
    bool sectionWord(std::string_view word, bool hasParam, int param);
    void sectionFormat(QTextBlockFormat& b, bool inTable) const;
    // The first section's text width in twips, at least an inch.
    double textWidth() const {
        return double(
            std::max<qint64>(1440, qint64(out.page.width) - out.page.marginL - out.page.marginR));
    }
    QTextCharFormat charFormat(const CharProps& c) const;
    QTextBlockFormat blockFormat(const ParaProps& p) const;

    // Tables (RtfReadTables.cpp).
    bool tableIdWord(std::string_view word);
    bool rowWord(std::string_view word, bool hasParam, int param);
    void buildTable(QTextCursor& cursor, const Table& t, double available);
    void endTableGroup();

    // Fields (RtfReadFields.cpp).
    bool fieldWord(std::string_view word);
    void beginField();
    void beginFieldResult();
    void endFieldGroup(int depth);
    int fieldOfText(const QString& text, QTextCharFormat& fmt);

    // The \info group (RtfReadInfo.cpp).
    bool infoWord(std::string_view word);
};

} // namespace wp::RtfReader::detail
