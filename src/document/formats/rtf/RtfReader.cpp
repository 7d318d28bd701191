#include "document/formats/rtf/RtfReader.h"
#include "document/pages/PageLayout.h"

#include "document/formats/rtf/RtfCommon.h"

#include <QColor>
#include <QHash>
#include <QStringDecoder>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
#include <algorithm>
#include <map>
#include <memory>
#include <string_view>
#include <variant>
#include <vector>

namespace wp::RtfReader {

namespace {

constexpr int MaxDepth = 512;
constexpr int MaxColumns = 256;
constexpr int MaxLength = 1000000; // twips
// All tables of one document together: a short file of empty rows under a
// wide row definition must not make Qt build millions of cells.
constexpr qint64 MaxDocumentCells = 100000;

// --- what a destination collects -------------------------------------------

struct CharProps {
    bool bold = false, italic = false, strike = false, hidden = false, caps = false;
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
    QList<QTextOption::Tab> tabs;
    QTextOption::TabType nextTab = QTextOption::LeftTab;
};

struct CellDef {
    int right = 0;
    int vmerge = 0; // 1 first of a vertical merge, 2 merged into the cell above
    int hmerge = 0; // 1 first of a horizontal merge, 2 merged into the cell before
    int background = 0;
    bool border = false;
    int pad[4] = {-1, -1, -1, -1}; // left, top, right, bottom; -1 the row's
};

struct RowDef {
    std::vector<CellDef> cells;
    int left = 0;
    int gap = -1;
    int align = 0;
    bool header = false;
    bool border = false;
    int pad[4] = {-1, -1, -1, -1}; // left, top, right, bottom; -1 none given
    int height = 0;                // \trrh: at least (or exactly, if below 0)
};

struct Run {
    QString text;
    QTextCharFormat format;
    CharProps props;
    int field = 0;
};

struct Para {
    QTextBlockFormat format;
    std::vector<Run> runs;
};

struct Cell {
    std::vector<Para> paras;
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

// Paragraphs and tables of one document, in order.
struct Builder {
    std::vector<std::variant<Para, Table>> items;
    Para current;
    Cell cell;
    std::vector<Cell> rowCells;
    bool tableOpen = false;
    bool breakBefore = false;
    bool used = false; // a header group has filled it already
    int pendingTableId = 0;

    void text(const QString& t, const CharProps& props, const QTextCharFormat& fmt, int field) {
        if (!current.runs.empty()) {
            Run& last = current.runs.back();
            if (last.field == field && last.props == props) {
                last.text += t;
                return;
            }
        }
        current.runs.push_back({t, fmt, props, field});
    }
    void closeTable() {
        if (!rowCells.empty() || !cell.paras.empty())
            endRow(RowDef());
        tableOpen = false;
    }
    void endPara(const QTextBlockFormat& bf, bool inTable) {
        current.format = bf;
        if (inTable) {
            cell.paras.push_back(std::move(current));
        } else {
            closeTable();
            if (breakBefore)
                current.format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
            breakBefore = false;
            items.emplace_back(std::move(current));
        }
        current = Para();
    }
    void endCell(const QTextBlockFormat& bf) {
        endPara(bf, true);
        rowCells.push_back(std::move(cell));
        cell = Cell();
    }
    void endRow(const RowDef& def) {
        if (!current.runs.empty())
            endPara(QTextBlockFormat(), true);
        if (!cell.paras.empty()) {
            rowCells.push_back(std::move(cell));
            cell = Cell();
        }
        if (rowCells.empty())
            return;
        if (!tableOpen) {
            Table t;
            t.breakBefore = breakBefore;
            breakBefore = false;
            items.emplace_back(std::move(t));
            tableOpen = true;
        }
        Table& t = std::get<Table>(items.back());
        if (t.id == 0)
            t.id = pendingTableId;
        pendingTableId = 0;
        t.rows.push_back({def, std::move(rowCells)});
        rowCells.clear();
    }
    // The document's group is closed: a paragraph without \par still counts.
    void finish(const QTextBlockFormat& bf, bool inTable) {
        if (!current.runs.empty())
            endPara(bf, inTable);
        closeTable();
    }
};

// --- group state -----------------------------------------------------------

enum class Dest {
    Body,
    HeaderFooter, // text into builders[target]
    Skip,
    InfoGroup, // the \info group: its children name the properties
    FontTable,
    ColorTable,
    Info,      // text into info[infoKey]
    FieldInst, // text into the field's instruction
    WpFieldId, // our own field id
    WpTableId, // our own table id
};

struct State {
    Dest dest = Dest::Body;
    int target = 0; // 0 body, 1..4 header/footer index + 1
    CharProps chr;
    ParaProps para;
    int uc = 1;
    int field = 0; // 1-based index into the open fields when inside a result
    QString infoKey;
};

struct FontEntry {
    QString name;
    int charset = -1;
};

// Bullets of symbol fonts, which the documents' fonts do not have: mapped to
// their Unicode characters and shown in the text's own font.
enum class Symbolic { No, Symbol, Wingdings };

Symbolic symbolicFont(const FontEntry& f) {
    if (f.name.startsWith(QLatin1String("Wingdings"), Qt::CaseInsensitive) ||
        f.name.startsWith(QLatin1String("Webdings"), Qt::CaseInsensitive))
        return Symbolic::Wingdings;
    if (f.charset == 2 || f.name.startsWith(QLatin1String("Symbol"), Qt::CaseInsensitive))
        return Symbolic::Symbol;
    return Symbolic::No;
}

char16_t symbolCharacter(Symbolic kind, char16_t ch) {
    if (ch >= 0xF000 && ch <= 0xF0FF)
        ch -= 0xF000; // Word writes symbol glyphs in the private-use area
    static constexpr std::pair<char16_t, char16_t> symbol[] = {
        {0xB7, 0x2022}, {0xA8, 0x2663}, {0xAA, 0x2665}, {0xD8, 0x00AC}, {0x2D, 0x2212}};
    static constexpr std::pair<char16_t, char16_t> wingdings[] = {
        {0x6C, 0x25CF}, {0x6E, 0x25A0}, {0x71, 0x2751}, {0x76, 0x2756},
        {0x77, 0x2B25}, {0xA7, 0x25AA}, {0xA8, 0x25FB}, {0xD8, 0x27A2},
        {0xE0, 0x2192}, {0xFC, 0x2713}, {0xFB, 0x2717}, {0x9F, 0x2022}};
    if (kind == Symbolic::Symbol) {
        for (const auto& [from, to] : symbol)
            if (ch == from)
                return to;
    } else {
        for (const auto& [from, to] : wingdings)
            if (ch == from)
                return to;
    }
    return ch;
}

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
    Parser(const QByteArray& data, docmodel::DocumentContent& out)
        : p(data.constData()), end(data.constData() + data.size()), out(out) {}

    bool run(QString* error);

private:
    const char* p;
    const char* end;
    docmodel::DocumentContent& out;

    std::vector<State> stack;
    State st;
    Builder builders[1 + docmodel::HeaderFooterCount];
    std::map<int, FontEntry> fonts;
    std::vector<QColor> colors;
    int colorR = -1, colorG = -1, colorB = -1;
    int fontNumber = 0;
    int fontCharset = -1;
    QString fontName;
    int deff = -1;
    int docCodePage = 1252;
    bool titlePage = false;
    int hfPresent = 0;
    RowDef rowDef;
    CellDef cellDef;
    int borderTarget = 0; // 1 row/cell border being described
    std::vector<FieldCtx> fields;
    int nextFieldId = 1;
    bool ignorableNext = false;
    int skipFallback = 0;
    QByteArray pendingBytes;
    QString pendingText;
    QString failure;
    std::unique_ptr<QStringDecoder> decoder;
    int decoderCodePage = 1252;
    qint64 cellBudget = MaxDocumentCells;

    [[noreturn]] void fail(const QString& what) { throw what; }

    // --- text ---------------------------------------------------------------

    int currentCodePage() const {
        if (st.dest == Dest::FontTable && fontCharset >= 0) {
            const int cp = rtf::codePageOfCharset(fontCharset);
            return cp ? cp : docCodePage;
        }
        const auto it = fonts.find(st.chr.font >= 0 ? st.chr.font : deff);
        if (it != fonts.end() && it->second.charset >= 0) {
            const int cp = rtf::codePageOfCharset(it->second.charset);
            if (cp)
                return cp;
        }
        return docCodePage;
    }

    void flushBytes() {
        if (pendingBytes.isEmpty())
            return;
        const int cp = currentCodePage();
        if (cp == 1252) {
            for (char b : pendingBytes)
                pendingText += QChar(rtf::cp1252ToUnicode(static_cast<unsigned char>(b)));
        } else if (cp == 28591) {
            pendingText += QString::fromLatin1(pendingBytes);
        } else {
            if (!decoder || decoderCodePage != cp) {
                const QByteArray name = cp == 10000 ? QByteArray("macintosh")
                                        : cp == 437 ? QByteArray("IBM437")
                                        : cp == 850 ? QByteArray("IBM850")
                                        : cp == 932 ? QByteArray("Shift_JIS")
                                        : cp == 936 ? QByteArray("GBK")
                                        : cp == 949 ? QByteArray("EUC-KR")
                                        : cp == 950 ? QByteArray("Big5")
                                                    : "windows-" + QByteArray::number(cp);
                decoder = std::make_unique<QStringDecoder>(name.constData());
                decoderCodePage = cp;
            }
            if (decoder->isValid())
                pendingText += (*decoder)(pendingBytes);
            else
                for (char b : pendingBytes)
                    pendingText += QChar(rtf::cp1252ToUnicode(static_cast<unsigned char>(b)));
        }
        pendingBytes.clear();
    }

    void flush() {
        flushBytes();
        if (pendingText.isEmpty())
            return;
        emitText(pendingText);
        pendingText.clear();
    }

    Builder& builder() { return builders[st.target]; }

    Symbolic currentSymbolic() const {
        const auto it = fonts.find(st.chr.font >= 0 ? st.chr.font : deff);
        return it == fonts.end() ? Symbolic::No : symbolicFont(it->second);
    }

    void emitText(const QString& text) {
        switch (st.dest) {
        case Dest::Body:
        case Dest::HeaderFooter: {
            if (st.chr.hidden)
                return;
            QString t = text;
            if (const Symbolic kind = currentSymbolic(); kind != Symbolic::No)
                for (QChar& ch : t)
                    ch = QChar(symbolCharacter(kind, ch.unicode()));
            int fieldId = 0;
            QTextCharFormat fmt = charFormat(st.chr);
            if (st.field > 0 && st.field <= int(fields.size())) {
                FieldCtx& f = fields[st.field - 1];
                if (f.merge) {
                    fieldId = f.id;
                    fmt.setProperty(prop::FieldId, f.id);
                    fmt.setProperty(prop::FieldData, f.name);
                    f.emitted += t.size();
                } else if (f.pageField) {
                    fmt.setProperty(docmodel::PageFieldKind, f.pageField);
                    fieldId = -f.pageField; // a run of its own
                }
            }
            builder().text(t, st.chr, fmt, fieldId);
            break;
        }
        case Dest::FontTable:
            fontName += text;
            break;
        case Dest::Info:
            out.info[st.infoKey] += text;
            break;
        case Dest::FieldInst:
            if (!fields.empty())
                fields.back().inst += text;
            break;
        case Dest::WpFieldId:
            if (!fields.empty())
                fields.back().idText += text;
            break;
        case Dest::WpTableId:
            builders[st.target].pendingTableId = text.trimmed().toInt();
            break;
        case Dest::Skip:
        case Dest::InfoGroup:
        case Dest::ColorTable:
            break;
        }
    }

    QTextCharFormat charFormat(const CharProps& c) const {
        QTextCharFormat f;
        if (c.bold)
            f.setFontWeight(QFont::Bold);
        if (c.italic)
            f.setFontItalic(true);
        if (c.strike)
            f.setFontStrikeOut(true);
        if (c.caps)
            f.setFontCapitalization(QFont::AllUppercase);
        switch (c.underline) {
        case 0:
            break;
        case 3:
            f.setUnderlineStyle(QTextCharFormat::DotLine);
            break;
        case 4:
            f.setUnderlineStyle(QTextCharFormat::DashUnderline);
            break;
        case 5:
            f.setUnderlineStyle(QTextCharFormat::WaveUnderline);
            break;
        default:
            f.setUnderlineStyle(QTextCharFormat::SingleUnderline);
        }
        if (c.font >= 0 && c.font != deff) {
            const auto it = fonts.find(c.font);
            if (it != fonts.end() && !it->second.name.isEmpty() &&
                symbolicFont(it->second) == Symbolic::No)
                f.setFontFamilies(QStringList{it->second.name});
        }
        if (c.halfPoints != 24 && c.halfPoints > 0)
            f.setFontPointSize(c.halfPoints / 2.0);
        if (c.color > 0 && c.color < int(colors.size()) && colors[c.color].isValid())
            f.setForeground(colors[c.color]);
        if (c.background > 0 && c.background < int(colors.size()) && colors[c.background].isValid())
            f.setBackground(colors[c.background]);
        if (c.vertical > 0)
            f.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
        else if (c.vertical < 0)
            f.setVerticalAlignment(QTextCharFormat::AlignSubScript);
        return f;
    }

    QTextBlockFormat blockFormat(const ParaProps& p) const {
        QTextBlockFormat b;
        static constexpr Qt::Alignment aligns[4] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight,
                                                    Qt::AlignJustify};
        if (p.align)
            b.setAlignment(aligns[p.align]);
        // On the layout's 1440-dpi device Qt takes left/right margins and
        // indents as twips, but scales space before/after and line heights
        // by 1440 / 96: those are kept in 96-dpi pixels.
        if (p.li)
            b.setLeftMargin(p.li);
        if (p.ri)
            b.setRightMargin(p.ri);
        if (p.fi)
            b.setTextIndent(p.fi);
        if (p.sb)
            b.setTopMargin(p.sb / rtf::TwipsPerPixel);
        if (p.sa)
            b.setBottomMargin(p.sa / rtf::TwipsPerPixel);
        if (p.sl > 0 && p.slmult)
            b.setLineHeight(p.sl * 100.0 / 240.0, QTextBlockFormat::ProportionalHeight);
        else if (p.sl > 0)
            b.setLineHeight(p.sl / rtf::TwipsPerPixel, QTextBlockFormat::MinimumHeight);
        else if (p.sl < 0)
            b.setLineHeight(-p.sl / rtf::TwipsPerPixel, QTextBlockFormat::FixedHeight);
        if (!p.tabs.isEmpty())
            b.setTabPositions(p.tabs);
        if (p.pagebb)
            b.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        if (p.keep)
            b.setProperty(prop::KeepTogether, true);
        if (p.keepn)
            b.setProperty(prop::KeepWithNext, true);
        if (p.widows)
            b.setProperty(docmodel::WidowControl, true);
        return b;
    }

    bool inDocument() const { return st.dest == Dest::Body || st.dest == Dest::HeaderFooter; }

    // --- control words ------------------------------------------------------

    void pushGroup() {
        if (int(stack.size()) >= MaxDepth)
            fail(QStringLiteral("groups are nested too deeply"));
        stack.push_back(st);
    }

    void popGroup() {
        if (stack.empty())
            fail(QStringLiteral("a closing brace has no opening one"));
        const int depth = int(stack.size());
        // A field ends with its group.
        if (!fields.empty() && fields.back().depth == depth) {
            FieldCtx f = fields.back();
            if (f.merge && f.emitted == 0 && inDocument()) {
                const int saved = st.field;
                st.field = int(fields.size());
                fields.back().lastProps = st.chr;
                emitText(QString(QChar(EmptyFieldMark)));
                st.field = saved;
            }
            fields.pop_back();
        }
        if (st.dest == Dest::FontTable && !fontName.trimmed().isEmpty() &&
            stack.back().dest == Dest::FontTable) {
            fonts[fontNumber] = {fontName.trimmed(), fontCharset};
            fontName.clear();
        }
        // A header or footer, or the document itself, ends here.
        if ((st.dest == Dest::HeaderFooter && stack.back().dest != Dest::HeaderFooter) ||
            stack.size() == 1)
            builder().finish(blockFormat(st.para), st.para.intbl);
        st = stack.back();
        stack.pop_back();
    }

    void beginField() {
        FieldCtx f;
        f.depth = int(stack.size());
        fields.push_back(f);
    }

    void beginFieldResult() {
        if (fields.empty())
            return;
        FieldCtx& f = fields.back();
        f.name = rtf::mergeFieldName(f.inst);
        f.merge = !f.name.isEmpty() && inDocument();
        f.pageField = docmodel::pageFieldOf(f.inst);
        if (f.merge) {
            bool ok = false;
            int id = f.idText.trimmed().toInt(&ok);
            if (!ok || id < 1 || id > 32767)
                id = 0;
            if (id == 0)
                id = nextFieldId;
            nextFieldId = std::max(nextFieldId, id + 1);
            f.id = id;
        }
        st.field = int(fields.size());
    }

    void destination(Dest d) {
        st.dest = d;
        if (d == Dest::Skip)
            st.field = 0;
    }

    void headerFooter(int flag) {
        const int index = docmodel::hfIndex(flag);
        Builder& b = builders[index + 1];
        if (b.used || st.dest != Dest::Body) {
            destination(Dest::Skip);
            return;
        }
        b.used = true;
        hfPresent |= flag;
        st.dest = Dest::HeaderFooter;
        st.target = index + 1;
        st.para = ParaProps();
        st.chr = CharProps();
        st.field = 0;
    }

    void controlWord(std::string_view word, bool hasParam, int param) {
        const bool ignorable = ignorableNext;
        ignorableNext = false;
        if (st.dest == Dest::Skip)
            return;
        const int n = hasParam ? param : 1;
        auto& c = st.chr;
        auto& pp = st.para;

        // Destinations first.
        if (word == "fonttbl") {
            destination(Dest::FontTable);
            return;
        }
        if (word == "colortbl") {
            destination(Dest::ColorTable);
            colorR = colorG = colorB = -1;
            return;
        }
        if (word == "info") {
            destination(st.dest == Dest::Body ? Dest::InfoGroup : Dest::Skip);
            return;
        }
        if (st.dest == Dest::InfoGroup) {
            static constexpr std::pair<std::string_view, const char*> keys[] = {
                {"title", "title"},       {"subject", "subject"},  {"author", "author"},
                {"manager", "manager"},   {"company", "company"},  {"category", "category"},
                {"keywords", "keywords"}, {"doccomm", "comments"},
            };
            for (const auto& [rtfWord, key] : keys)
                if (word == rtfWord) {
                    st.dest = Dest::Info;
                    st.infoKey = QString::fromLatin1(key);
                    out.info[st.infoKey].clear();
                    return;
                }
        }
        if (word == "header" || word == "headerr" || word == "headerl") {
            headerFooter(hf::Header);
            return;
        }
        if (word == "footer" || word == "footerr" || word == "footerl") {
            headerFooter(hf::Footer);
            return;
        }
        if (word == "headerf") {
            headerFooter(hf::FirstPageHeader);
            return;
        }
        if (word == "footerf") {
            headerFooter(hf::FirstPageFooter);
            return;
        }
        if (word == "field") {
            if (inDocument())
                beginField();
            else
                destination(Dest::Skip);
            return;
        }
        if (word == "fldinst") {
            destination(inDocument() && !fields.empty() ? Dest::FieldInst : Dest::Skip);
            return;
        }
        if (word == "fldrslt") {
            if (inDocument())
                beginFieldResult();
            return;
        }
        if (word == "wpfieldid") {
            destination(inDocument() && !fields.empty() ? Dest::WpFieldId : Dest::Skip);
            return;
        }
        if (word == "wptblid") {
            if (inDocument()) {
                const int target = st.target;
                destination(Dest::WpTableId);
                st.target = target;
            } else {
                destination(Dest::Skip);
            }
            return;
        }
        static constexpr std::string_view skipped[] = {
            "stylesheet",
            "pict",
            "object",
            "shp",
            "shpinst",
            "shprslt",
            "footnote",
            "annotation",
            "pn",
            "listtable",
            "listoverridetable",
            "revtbl",
            "rsidtbl",
            "xmlnstbl",
            "themedata",
            "colorschememapping",
            "latentstyles",
            "datastore",
            "filetbl",
            "nonshppict",
            "bkmkstart",
            "bkmkend",
            "xe",
            "tc",
            "txe",
            "docvar",
            "ftnsep",
            "ftnsepc",
            "aftnsep",
            "aftnsepc",
            "ftncn",
            "aftncn",
            "atnid",
            "atnauthor",
            "comment",
            "private",
            "generator",
            "operator",
            "creatim",
            "revtim",
            "printim",
            "buptim",
            "userprops",
            "fchars",
            "lchars",
            "template",
            "mmathPr",
            "pgdsctbl",
            "panose",
            "falt",
            "fname",
            "listtext",
            "pntext",
            "pntxta",
            "pntxtb",
            "nesttableprops",
            "hlinkbase",
            "do",
            "background",
            "sp",
            "objdata",
            "blipuid",
            "factoidname",
            "hsv",
        };
        // \listtext and \pntext carry a list's visible number or bullet:
        // keep it as text, since lists are not kept as lists.
        if (word == "listtext" || word == "pntext")
            return;
        for (std::string_view s : skipped)
            if (word == s) {
                destination(Dest::Skip);
                return;
            }
        if (ignorable || st.dest == Dest::InfoGroup) {
            // An unknown destination marked \*: skip the whole group.
            if (ignorable)
                destination(Dest::Skip);
            return;
        }

        // Font and colour tables.
        if (st.dest == Dest::FontTable) {
            if (word == "f") {
                fontNumber = n;
                fontCharset = -1;
                fontName.clear();
            } else if (word == "fcharset") {
                fontCharset = n;
            }
            return;
        }
        if (st.dest == Dest::ColorTable) {
            if (word == "red")
                colorR = qBound(0, n, 255);
            else if (word == "green")
                colorG = qBound(0, n, 255);
            else if (word == "blue")
                colorB = qBound(0, n, 255);
            return;
        }

        // Document and section settings.
        PageFormat& pf = out.page;
        // Page lengths beyond 1000000 twips (about 700 inches) are no paper.
        auto positive = [&](int& field) {
            if (hasParam && param > 0)
                field = std::min(param, MaxLength);
        };
        auto nonNegative = [&](int& field) {
            if (hasParam && param >= 0)
                field = std::min(param, MaxLength);
        };
        if (word == "paperw" || word == "pgwsxn") {
            positive(pf.width);
            return;
        }
        if (word == "paperh" || word == "pghsxn") {
            positive(pf.height);
            return;
        }
        if (word == "margl" || word == "marglsxn") {
            nonNegative(pf.marginL);
            return;
        }
        if (word == "margr" || word == "margrsxn") {
            nonNegative(pf.marginR);
            return;
        }
        if (word == "margt" || word == "margtsxn") {
            nonNegative(pf.marginT);
            return;
        }
        if (word == "margb" || word == "margbsxn") {
            nonNegative(pf.marginB);
            return;
        }
        if (word == "headery") {
            if (hasParam && param >= 0)
                pf.headerPosition = std::min(param, MaxLength);
            return;
        }
        if (word == "footery") {
            if (hasParam && param >= 0)
                pf.footerPosition = std::min(param, MaxLength);
            return;
        }
        if (word == "titlepg") {
            titlePage = true;
            return;
        }
        if (word == "deff") {
            deff = n;
            return;
        }
        if (word == "ansicpg") {
            if (hasParam && param > 0)
                docCodePage = param;
            return;
        }
        if (word == "mac") {
            docCodePage = 10000;
            return;
        }
        if (word == "pc") {
            docCodePage = 437;
            return;
        }
        if (word == "pca") {
            docCodePage = 850;
            return;
        }
        if (word == "uc") {
            st.uc = qBound(0, n, 10);
            return;
        }
        if (word == "u") {
            if (!hasParam)
                return;
            flushBytes();
            pendingText += QChar(static_cast<char16_t>(param < 0 ? param + 65536 : param));
            skipFallback = st.uc;
            return;
        }

        if (!inDocument())
            return;

        // Special characters.
        static constexpr std::pair<std::string_view, char16_t> chars[] = {
            {"tab", u'\t'},      {"line", 0x2028},    {"emdash", 0x2014},    {"endash", 0x2013},
            {"emspace", 0x2003}, {"enspace", 0x2002}, {"qmspace", 0x2005},   {"bullet", 0x2022},
            {"lquote", 0x2018},  {"rquote", 0x2019},  {"ldblquote", 0x201C}, {"rdblquote", 0x201D},
            {"zwj", 0x200D},     {"zwnj", 0x200C},    {"zwbo", 0x200B},
        };
        for (const auto& [w, ch] : chars)
            if (word == w) {
                flushBytes();
                pendingText += QChar(ch);
                return;
            }

        // Everything below changes state: emit the text gathered so far first.
        flush();
        Builder& b = builder();

        if (word == "par") {
            b.endPara(blockFormat(pp), pp.intbl);
        } else if (word == "sect") {
            b.endPara(blockFormat(pp), pp.intbl);
            b.breakBefore = true;
        } else if (word == "page") {
            if (!b.current.runs.empty())
                b.endPara(blockFormat(pp), pp.intbl);
            b.breakBefore = true;
        } else if (word == "cell") {
            b.endCell(blockFormat(pp));
        } else if (word == "nestcell" || word == "nestrow") {
            b.endPara(blockFormat(pp), true);
        } else if (word == "row") {
            b.endRow(rowDef);
        } else if (word == "pard") {
            pp = ParaProps();
        } else if (word == "plain") {
            c = CharProps();
        } else if (word == "intbl") {
            pp.intbl = true;
        } else if (word == "ql") {
            pp.align = 0;
        } else if (word == "qc") {
            pp.align = 1;
        } else if (word == "qr") {
            pp.align = 2;
        } else if (word == "qj" || word == "qd") {
            pp.align = 3;
        } else if (word == "li" || word == "lin") {
            pp.li = hasParam ? std::clamp(param, -MaxLength, MaxLength) : 0;
        } else if (word == "ri" || word == "rin") {
            pp.ri = hasParam ? std::clamp(param, -MaxLength, MaxLength) : 0;
        } else if (word == "fi") {
            pp.fi = hasParam ? std::clamp(param, -MaxLength, MaxLength) : 0;
        } else if (word == "sb") {
            pp.sb = hasParam ? std::clamp(param, 0, MaxLength) : 0;
        } else if (word == "sa") {
            pp.sa = hasParam ? std::clamp(param, 0, MaxLength) : 0;
        } else if (word == "sl") {
            pp.sl = hasParam ? std::clamp(param, -MaxLength, MaxLength) : 0;
        } else if (word == "slmult") {
            pp.slmult = n != 0;
        } else if (word == "pagebb") {
            pp.pagebb = n != 0;
        } else if (word == "keep") {
            pp.keep = n != 0;
        } else if (word == "tqr") {
            pp.nextTab = QTextOption::RightTab;
        } else if (word == "tqc") {
            pp.nextTab = QTextOption::CenterTab;
        } else if (word == "tqdec") {
            pp.nextTab = QTextOption::DelimiterTab;
        } else if (word == "tx") {
            // Tab positions are in 1/96 inch, as Qt scales them.
            if (hasParam && param >= 0 && param <= MaxLength && pp.tabs.size() < 64)
                pp.tabs << QTextOption::Tab(
                    param / rtf::TwipsPerPixel, pp.nextTab,
                    pp.nextTab == QTextOption::DelimiterTab ? QChar(QLatin1Char('.')) : QChar());
            pp.nextTab = QTextOption::LeftTab;
        } else if (word == "keepn") {
            pp.keepn = n != 0;
        } else if (word == "widctlpar" || word == "nowidctlpar") {
            pp.widows = word[0] == 'w';
        } else if (word == "b") {
            c.bold = n != 0;
        } else if (word == "i") {
            c.italic = n != 0;
        } else if (word == "strike" || word == "striked") {
            c.strike = n != 0;
        } else if (word == "caps") {
            c.caps = n != 0;
        } else if (word == "v") {
            c.hidden = n != 0;
        } else if (word == "ul") {
            c.underline = n != 0 ? 1 : 0;
        } else if (word == "ulnone") {
            c.underline = 0;
        } else if (word == "uldb") {
            c.underline = 2;
        } else if (word == "uld") {
            c.underline = 3;
        } else if (word == "uldash") {
            c.underline = 4;
        } else if (word == "ulwave") {
            c.underline = 5;
        } else if (word == "ulw" || word == "ulth") {
            c.underline = 1;
        } else if (word == "f") {
            c.font = n;
        } else if (word == "fs") {
            c.halfPoints = hasParam && param > 0 && param <= 3276 ? param : 24;
        } else if (word == "cf") {
            c.color = std::max(0, n);
        } else if (word == "cb" || word == "highlight" || word == "chcbpat") {
            c.background = std::max(0, n);
        } else if (word == "super") {
            c.vertical = 1;
        } else if (word == "sub") {
            c.vertical = -1;
        } else if (word == "nosupersub") {
            c.vertical = 0;
        } else if (word == "up") {
            c.vertical = n > 0 ? 1 : 0;
        } else if (word == "dn") {
            c.vertical = n > 0 ? -1 : 0;
        }
        // Tables.
        else if (word == "trowd") {
            rowDef = RowDef();
            cellDef = CellDef();
        } else if (word == "cellx") {
            cellDef.right = hasParam ? std::clamp(param, -MaxLength, MaxLength) : 0;
            rowDef.cells.push_back(cellDef);
            cellDef = CellDef();
        } else if (word == "trleft") {
            rowDef.left = hasParam ? std::clamp(param, -MaxLength, MaxLength) : 0;
        } else if (word == "trgaph") {
            rowDef.gap = hasParam ? std::clamp(param, 0, MaxLength) : 0;
        } else if (const size_t side = std::string_view("ltrb").find(word.back());
                   side < 4 && ((word.starts_with("clpad") && word.size() == 6) ||
                                (word.starts_with("trpadd") && word.size() == 7))) {
            // Cell padding, or the row's for cells that give none. Word (and
            // everyone after it) writes a cell's top padding as \clpadl and
            // its left as \clpadt.
            const size_t cellSide = side == 0 ? 1 : side == 1 ? 0 : side;
            if (word[0] == 'c')
                cellDef.pad[cellSide] = std::clamp(n, 0, MaxLength);
            else
                rowDef.pad[side] = std::clamp(n, 0, MaxLength);
        } else if (word == "trrh") {
            rowDef.height = std::clamp(n, -MaxLength, MaxLength);
        } else if (word == "trqc") {
            rowDef.align = 1;
        } else if (word == "trqr") {
            rowDef.align = 2;
        } else if (word == "trhdr") {
            rowDef.header = true;
        } else if (word == "clvmgf") {
            cellDef.vmerge = 1;
        } else if (word == "clvmrg") {
            cellDef.vmerge = 2;
        } else if (word == "clmgf") {
            cellDef.hmerge = 1;
        } else if (word == "clmrg") {
            cellDef.hmerge = 2;
        } else if (word == "clcbpat") {
            cellDef.background = std::max(0, n);
        } else if (word == "clbrdrt" || word == "clbrdrb" || word == "clbrdrl" ||
                   word == "clbrdrr") {
            borderTarget = 2;
        } else if (word == "trbrdrt" || word == "trbrdrb" || word == "trbrdrl" ||
                   word == "trbrdrr" || word == "trbrdrh" || word == "trbrdrv") {
            borderTarget = 1;
        } else if (word.starts_with("brdr") && word != "brdrw" && word != "brdrcf") {
            const bool visible = word != "brdrnone" && word != "brdrnil" && word != "brdrtbl";
            if (borderTarget == 2)
                cellDef.border = cellDef.border || visible;
            else if (borderTarget == 1)
                rowDef.border = rowDef.border || visible;
        }
    }

    void controlSymbol(char ch) {
        const bool ignorable = ignorableNext;
        ignorableNext = false;
        Q_UNUSED(ignorable);
        switch (ch) {
        case '*':
            ignorableNext = true;
            return;
        case '\\':
        case '{':
        case '}':
            pendingBytes += ch;
            return;
        case '~':
            flushBytes();
            pendingText += QChar(0x00A0);
            return;
        case '-':
            flushBytes();
            pendingText += QChar(0x00AD);
            return;
        case '_':
            flushBytes();
            pendingText += QChar(0x2011);
            return;
        case '\n':
        case '\r':
            controlWord("par", false, 0);
            return;
        case '|':
        case ':':
        default:
            return;
        }
    }

    static int hexValue(char c) {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    }

    void parse();
    void build();
    void buildDocument(QTextDocument* doc, Builder& b);
    void buildTable(QTextCursor& cursor, const Table& t);
};

void Parser::parse() {
    while (p < end) {
        const char ch = *p;
        if (ch == '{') {
            ++p;
            flush();
            if (skipFallback > 0)
                skipFallback = 0;
            pushGroup();
            continue;
        }
        if (ch == '}') {
            ++p;
            flush();
            skipFallback = 0;
            popGroup();
            if (stack.empty()) {
                // The document's own group is closed: what follows is not RTF.
                return;
            }
            continue;
        }
        if (ch == '\\') {
            ++p;
            if (p >= end)
                fail(QStringLiteral("the data ends inside a control word"));
            const char c = *p;
            if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
                const char* start = p;
                while (p < end && ((*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z')) &&
                       p - start < 32)
                    ++p;
                const std::string_view word(start, static_cast<size_t>(p - start));
                bool hasParam = false;
                bool negative = false;
                qint64 value = 0;
                if (p < end && *p == '-' && p + 1 < end && p[1] >= '0' && p[1] <= '9') {
                    negative = true;
                    ++p;
                }
                int digits = 0;
                while (p < end && *p >= '0' && *p <= '9') {
                    hasParam = true;
                    if (digits++ < 10)
                        value = value * 10 + (*p - '0');
                    ++p;
                }
                if (p < end && *p == ' ')
                    ++p;
                value = std::clamp<qint64>(negative ? -value : value, -2147483647, 2147483647);
                if (word == "bin") {
                    flush();
                    if (value < 0 || value > end - p)
                        fail(QStringLiteral("binary data runs past the end"));
                    p += value;
                    continue;
                }
                if (skipFallback > 0 && word != "u") {
                    --skipFallback;
                    continue;
                }
                controlWord(word, hasParam, static_cast<int>(value));
                continue;
            }
            ++p;
            if (c == '\'') {
                if (end - p < 2)
                    fail(QStringLiteral("the data ends inside a character code"));
                const int hi = hexValue(p[0]), lo = hexValue(p[1]);
                p += 2;
                if (hi < 0 || lo < 0)
                    continue; // a malformed code is dropped
                if (skipFallback > 0) {
                    --skipFallback;
                    continue;
                }
                if (st.dest == Dest::Skip || st.dest == Dest::ColorTable)
                    continue;
                pendingBytes += static_cast<char>(hi * 16 + lo);
                continue;
            }
            if (skipFallback > 0 && c != '*') {
                --skipFallback;
                continue;
            }
            if (st.dest != Dest::Skip || c == '*')
                controlSymbol(c);
            continue;
        }
        ++p;
        if (ch == '\r' || ch == '\n')
            continue;
        if (skipFallback > 0) {
            --skipFallback;
            continue;
        }
        if (stack.empty())
            continue; // text outside the document group
        switch (st.dest) {
        case Dest::Skip:
            break;
        case Dest::ColorTable:
            if (ch == ';') {
                colors.push_back(
                    colorR < 0 && colorG < 0 && colorB < 0
                        ? QColor()
                        : QColor(std::max(colorR, 0), std::max(colorG, 0), std::max(colorB, 0)));
                colorR = colorG = colorB = -1;
            }
            break;
        case Dest::FontTable:
            if (ch == ';') {
                flushBytes();
                fontName += pendingText;
                pendingText.clear();
                fonts[fontNumber] = {fontName.trimmed(), fontCharset};
                fontName.clear();
            } else {
                pendingBytes += ch;
            }
            break;
        default:
            if (ch == '\0')
                break;
            pendingBytes += ch;
        }
    }
    if (!stack.empty())
        fail(QStringLiteral("the data ends inside a group (%1 not closed)").arg(stack.size()));
}

// Padding from the cell, else from the row (the table's \trgaph padding
// stays for sides neither gives), and the row's least height.
static void applyCellLayout(QTextTableCell& cell, const RowDef& row, const CellDef* def) {
    QTextTableCellFormat cf = cell.format().toTableCellFormat();
    bool changed = row.height != 0;
    for (int side = 0; side < 4; ++side) {
        const int twips = def && def->pad[side] >= 0 ? def->pad[side] : row.pad[side];
        if (twips < 0)
            continue;
        const double px = twips / rtf::TwipsPerPixel;
        side == 0   ? cf.setLeftPadding(px)
        : side == 1 ? cf.setTopPadding(px)
        : side == 2 ? cf.setRightPadding(px)
                    : cf.setBottomPadding(px);
        changed = true;
    }
    if (row.height != 0)
        cf.setProperty(docmodel::RowHeight, std::abs(row.height));
    if (changed)
        cell.setFormat(cf);
}

void Parser::buildTable(QTextCursor& cursor, const Table& t) {
    // Columns: every cell boundary of every row.
    // 64-bit: boundaries of rows with many cells beyond their definitions
    // grow by an inch each.
    std::vector<qint64> bounds;
    for (const Row& row : t.rows) {
        bounds.push_back(row.def.left);
        qint64 right = row.def.left;
        const size_t n = std::max(row.def.cells.size(), row.cells.size());
        for (size_t i = 0; i < n; ++i) {
            right = i < row.def.cells.size() ? std::max<qint64>(row.def.cells[i].right, right + 1)
                                             : right + 1440;
            bounds.push_back(right);
        }
    }
    std::sort(bounds.begin(), bounds.end());
    bounds.erase(std::unique(bounds.begin(), bounds.end()), bounds.end());
    if (bounds.size() < 2)
        bounds = {0, 1440};
    if (bounds.size() - 1 > MaxColumns)
        bounds.resize(MaxColumns + 1);
    const int cols = int(bounds.size()) - 1;
    const int rows = int(t.rows.size());
    cellBudget -= qint64(rows) * cols;
    if (cellBudget < 0)
        fail(QStringLiteral("the tables have too many cells"));
    auto column = [&](qint64 x) {
        const auto it = std::lower_bound(bounds.begin(), bounds.end(), x);
        return std::min<int>(int(it - bounds.begin()), cols);
    };

    const qint64 textWidth =
        std::max<qint64>(1440, qint64(out.page.width) - out.page.marginL - out.page.marginR);
    QTextTableFormat tf;
    bool border = false;
    int gap = -1;
    for (const Row& row : t.rows) {
        border = border || row.def.border;
        for (const CellDef& cd : row.def.cells)
            border = border || cd.border;
        if (gap < 0)
            gap = row.def.gap;
    }
    if (gap < 0)
        gap = 108;
    tf.setBorder(border ? 1 : 0);
    tf.setBorderStyle(border ? QTextFrameFormat::BorderStyle_Solid
                             : QTextFrameFormat::BorderStyle_None);
    tf.setBorderBrush(QBrush(Qt::black));
    tf.setBorderCollapse(true);
    tf.setCellSpacing(0);
    tf.setCellPadding(gap / rtf::TwipsPerPixel);
    // Column widths are shares of the table, the table a share of the text width.
    const double span = bounds.back() - bounds.front();
    QList<QTextLength> widths;
    for (int i = 0; i < cols; ++i)
        widths << QTextLength(QTextLength::PercentageLength,
                              100.0 * (bounds[i + 1] - bounds[i]) / span);
    tf.setColumnWidthConstraints(widths);
    tf.setWidth(
        QTextLength(QTextLength::PercentageLength, std::min(100.0, 100.0 * span / textWidth)));
    if (!t.rows.empty() && t.rows.front().def.left > 0)
        tf.setLeftMargin(t.rows.front().def.left / rtf::TwipsPerPixel);
    if (!t.rows.empty()) {
        const int align = t.rows.front().def.align;
        tf.setAlignment(align == 1   ? Qt::AlignHCenter
                        : align == 2 ? Qt::AlignRight
                                     : Qt::AlignLeft);
        int headers = 0;
        while (headers < rows && t.rows[headers].def.header)
            ++headers;
        if (headers)
            tf.setHeaderRowCount(headers);
    }
    if (t.id > 0 && t.id <= 32767)
        tf.setProperty(prop::TableId, t.id);
    if (t.breakBefore)
        tf.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);

    QTextTable* table = cursor.insertTable(rows, cols, tf);

    // Spans: horizontal from the cell boundaries and \clmrg, vertical from \clvmrg.
    struct Placed {
        int c0 = 0, c1 = 0; // column range [c0, c1)
        const Cell* content = nullptr;
        const CellDef* def = nullptr;
    };
    std::vector<std::vector<Placed>> placed(rows);
    for (int r = 0; r < rows; ++r) {
        const Row& row = t.rows[r];
        qint64 left = row.def.left;
        const size_t n = std::max(row.def.cells.size(), row.cells.size());
        qint64 right = left;
        for (size_t i = 0; i < n; ++i) {
            right = i < row.def.cells.size() ? std::max<qint64>(row.def.cells[i].right, right + 1)
                                             : right + 1440;
            Placed pc;
            pc.c0 = column(left);
            pc.c1 = column(right);
            pc.content = i < row.cells.size() ? &row.cells[i] : nullptr;
            pc.def = i < row.def.cells.size() ? &row.def.cells[i] : nullptr;
            left = right;
            if (pc.c0 >= pc.c1)
                continue;
            if (pc.def && pc.def->hmerge == 2 && !placed[r].empty()) {
                placed[r].back().c1 = pc.c1;
                continue;
            }
            placed[r].push_back(pc);
        }
    }
    std::vector<std::vector<int>> rowSpan(rows);
    for (int r = 0; r < rows; ++r)
        rowSpan[r].assign(placed[r].size(), 1);
    for (int r = 1; r < rows; ++r)
        for (size_t i = 0; i < placed[r].size(); ++i) {
            const Placed& pc = placed[r][i];
            if (!pc.def || pc.def->vmerge != 2)
                continue;
            // Find the origin above with the same columns.
            for (int up = r - 1; up >= 0; --up) {
                bool found = false;
                for (size_t j = 0; j < placed[up].size(); ++j)
                    if (placed[up][j].c0 == pc.c0 && placed[up][j].c1 == pc.c1 &&
                        rowSpan[up][j] > 0) {
                        if (up + rowSpan[up][j] == r) {
                            rowSpan[up][j] += 1;
                            rowSpan[r][i] = 0; // covered
                        }
                        found = true;
                        break;
                    }
                if (found)
                    break;
            }
        }
    for (int r = 0; r < rows; ++r)
        for (size_t i = 0; i < placed[r].size(); ++i) {
            const Placed& pc = placed[r][i];
            if (rowSpan[r][i] > 1 || pc.c1 - pc.c0 > 1)
                if (rowSpan[r][i] > 0)
                    table->mergeCells(r, pc.c0, rowSpan[r][i], pc.c1 - pc.c0);
        }
    for (int r = 0; r < rows; ++r)
        for (size_t i = 0; i < placed[r].size(); ++i) {
            const Placed& pc = placed[r][i];
            if (rowSpan[r][i] == 0)
                continue;
            QTextTableCell cell = table->cellAt(r, pc.c0);
            if (cell.row() != r || cell.column() != pc.c0)
                continue;
            if (pc.def && pc.def->background > 0 && pc.def->background < int(colors.size()) &&
                colors[pc.def->background].isValid()) {
                QTextTableCellFormat cf = cell.format().toTableCellFormat();
                cf.setBackground(colors[pc.def->background]);
                cell.setFormat(cf);
            }
            applyCellLayout(cell, t.rows[r].def, pc.def);
            if (!pc.content)
                continue;
            QTextCursor cc = cell.firstCursorPosition();
            bool first = true;
            for (const Para& para : pc.content->paras) {
                if (first)
                    cc.setBlockFormat(para.format);
                else
                    cc.insertBlock(para.format);
                first = false;
                for (const Run& run : para.runs)
                    cc.insertText(run.text, run.format);
            }
        }
    cursor.setPosition(table->lastPosition() + 1);
}

void Parser::buildDocument(QTextDocument* doc, Builder& b) {
    QTextCursor cursor(doc);
    cursor.beginEditBlock();
    bool reuse = true;
    for (const auto& item : b.items) {
        if (const Para* para = std::get_if<Para>(&item)) {
            if (reuse)
                cursor.setBlockFormat(para->format);
            else
                cursor.insertBlock(para->format);
            reuse = false;
            for (const Run& run : para->runs)
                cursor.insertText(run.text, run.format);
        } else {
            const Table& t = std::get<Table>(item);
            if (t.rows.empty())
                continue;
            buildTable(cursor, t);
            reuse = true;
        }
    }
    cursor.endEditBlock();
}

void Parser::build() {
    // The default font names the documents' font.
    const auto it = fonts.find(deff);
    for (int i = 0; i <= docmodel::HeaderFooterCount; ++i) {
        QTextDocument* doc = i == 0 ? out.body.get() : out.headerFooter[i - 1].get();
        if (it != fonts.end() && !it->second.name.isEmpty()) {
            QFont font = doc->defaultFont();
            font.setFamilies(QStringList{it->second.name});
            doc->setDefaultFont(font);
        }
        buildDocument(doc, builders[i]);
    }
    int flags = hfPresent;
    if (titlePage) {
        if (flags & hf::Header)
            flags |= hf::FirstPageHeader;
        if (flags & hf::Footer)
            flags |= hf::FirstPageFooter;
    } else {
        // Without \titlepg the first page shows the ordinary ones.
        flags &= ~(hf::FirstPageHeader | hf::FirstPageFooter);
    }
    out.page.headerFooter = flags;
    for (auto i = out.info.begin(); i != out.info.end();) {
        if (i.value().trimmed().isEmpty())
            i = out.info.erase(i);
        else
            ++i;
    }
    docmodel::renumberDuplicates(out.body.get());
}

bool Parser::run(QString* error) {
    static const char head[] = "{\\rtf";
    const char* q = p;
    while (q < end && (*q == ' ' || *q == '\r' || *q == '\n' || *q == '\t'))
        ++q;
    if (end - q < 5 || std::memcmp(q, head, 5) != 0) {
        if (error)
            *error = QStringLiteral("not RTF: the data does not begin with {\\rtf");
        return false;
    }
    p = q;
    try {
        parse();
        build();
    } catch (const QString& what) {
        if (error)
            *error = QStringLiteral("damaged RTF: %1").arg(what);
        return false;
    }
    return true;
}

} // namespace

bool read(const QByteArray& data, docmodel::DocumentContent& out, QString* error) {
    Parser parser(data, out);
    if (!parser.run(error))
        return false;
    docmodel::addSpaceAfterToNext(out.body.get());
    for (const auto& doc : out.headerFooter)
        docmodel::addSpaceAfterToNext(doc.get());
    PageLayout::fitRowHeights(out.body.get(), out.page.width - out.page.marginL - out.page.marginR);
    return true;
}

} // namespace wp::RtfReader
