#include "document/formats/rtf/RtfReader.h"

#include "document/formats/rtf/RtfCommon.h"
#include "document/formats/rtf/RtfParser.h"

#include <QStringDecoder>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <cstring>

namespace wp::RtfReader {

namespace detail {

Parser::Parser(const QByteArray& data, docmodel::DocumentContent& out)
    : p(data.constData()), end(data.constData() + data.size()), out(out) {}

Parser::~Parser() = default;

// --- text ---------------------------------------------------------------------

// The index of a double-byte code page's lead byte that ends `bytes`
// without its trail byte, or -1.
static qsizetype loneLeadByte(const QByteArray& bytes, int cp) {
    auto lead = [cp](unsigned char b) {
        return cp == 932 ? (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC)
                         : b >= 0x81 && b <= 0xFE;
    };
    for (qsizetype i = 0; i < bytes.size(); ++i)
        if (lead(static_cast<unsigned char>(bytes[i]))) {
            if (i + 1 == bytes.size())
                return i;
            ++i;
        }
    return -1;
}

int Parser::currentCodePage() const {
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

void Parser::flushBytes() {
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
            const QByteArray name = rtf::codecName(cp);
            decoder = std::make_unique<QStringDecoder>(name.constData());
            decoderCodePage = cp;
        }
        if (decoder->isValid()) {
            // Each run of bytes stands alone: a double-byte code page's lead
            // byte at its end (a bullet's \'b7 before a tab) is a character
            // of its own, not the first half of the next run's.
            const qsizetype lone = cp == 932 || cp == 936 || cp == 949 || cp == 950
                                       ? loneLeadByte(pendingBytes, cp)
                                       : -1;
            if (lone >= 0) {
                pendingText += (*decoder)(QByteArrayView(pendingBytes).first(lone));
                pendingText +=
                    QChar(rtf::cp1252ToUnicode(static_cast<unsigned char>(pendingBytes[lone])));
            } else {
                pendingText += (*decoder)(pendingBytes);
            }
            decoder->resetState();
        } else
            for (char b : pendingBytes)
                pendingText += QChar(rtf::cp1252ToUnicode(static_cast<unsigned char>(b)));
    }
    pendingBytes.clear();
}

void Parser::flush() {
    flushBytes();
    if (pendingText.isEmpty())
        return;
    emitText(pendingText);
    pendingText.clear();
}

void Parser::emitText(const QString& text) {
    switch (st.dest) {
    case Dest::Body:
    case Dest::HeaderFooter: {
        if (st.chr.hidden)
            return;
        QString t = text;
        if (const Symbolic kind = currentSymbolic(); kind != Symbolic::No)
            for (QChar& ch : t)
                ch = QChar(symbolCharacter(kind, ch.unicode()));
        QTextCharFormat fmt = charFormat(st.chr);
        const int fieldId = fieldOfText(t, fmt);
        builder().text(t, st.chr, fmt, fieldId, st.listText);
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
        builder().pendingTableId = text.trimmed().toInt();
        break;
    case Dest::LevelText:
    case Dest::ParaNumberingText:
        listText(text);
        break;
    case Dest::ShapePropName:
    case Dest::ShapePropValue:
        shapeText(text);
        break;
    case Dest::Picture:
    case Dest::Shape:
    case Dest::ShapeProp:
    case Dest::ListTable:
    case Dest::ListOverrideTable:
    case Dest::ParaNumbering:
    case Dest::Skip:
    case Dest::InfoGroup:
    case Dest::ColorTable:
        break;
    }
}

void Parser::destination(Dest d) {
    st.dest = d;
    if (d == Dest::Skip)
        st.field = 0;
}

// --- groups and control words ---------------------------------------------------

void Parser::pushGroup() {
    if (int(stack.size()) >= MaxDepth)
        fail(QStringLiteral("groups are nested too deeply"));
    stack.push_back(st);
}

void Parser::popGroup() {
    if (stack.empty())
        fail(QStringLiteral("a closing brace has no opening one"));
    endFieldGroup(int(stack.size()));
    endFontGroup();
    endListGroup();
    endPictureGroup();
    endTableGroup();
    // A header or footer, or the document itself, ends here.
    if ((st.dest == Dest::HeaderFooter && stack.back().dest != Dest::HeaderFooter) ||
        stack.size() == 1)
        builder().finish(blockFormat(st.para), st.para.intbl);
    st = stack.back();
    stack.pop_back();
}

bool Parser::headerFooterWord(std::string_view word) {
    // Without facing pages Word shows the plain (or right-page) header on
    // every page and ignores the left-page one; with them, our one header
    // is the right pages', the first page's among them.
    if (word == "header" || word == "headerr")
        headerFooter(hf::Header);
    else if (word == "footer" || word == "footerr")
        headerFooter(hf::Footer);
    else if (word == "headerl")
        headerFooter(hf::Header, true);
    else if (word == "footerl")
        headerFooter(hf::Footer, true);
    else if (word == "headerf")
        headerFooter(hf::FirstPageHeader);
    else if (word == "footerf")
        headerFooter(hf::FirstPageFooter);
    else
        return false;
    return true;
}

void Parser::headerFooter(int flag, bool leftPage) {
    const int index = docmodel::hfIndex(flag);
    Builder& b = builders[index + 1];
    if ((leftPage && (!facingPages || b.used)) || (b.used && !b.weak) || st.dest != Dest::Body) {
        destination(Dest::Skip);
        return;
    }
    if (b.used)
        b = Builder();
    b.used = true;
    b.weak = leftPage;
    hfPresent |= flag;
    st.dest = Dest::HeaderFooter;
    st.target = index + 1;
    st.para = ParaProps();
    st.chr = CharProps();
    st.field = 0;
}

void Parser::controlWord(std::string_view word, bool hasParam, int param) {
    const bool ignorable = ignorableNext;
    ignorableNext = false;
    if (st.dest == Dest::Skip)
        return;

    // Destinations first.
    if (tableDestinationWord(word) || infoWord(word) || headerFooterWord(word) || noteWord(word) ||
        fieldWord(word) || tableIdWord(word) || listDestinationWord(word) ||
        pictureDestinationWord(word))
        return;
    static constexpr std::string_view skipped[] = {
        "stylesheet",
        "object",
        "shp",
        "shpinst",
        "shprslt",
        "annotation",
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
        "nonesttables",
        "hlinkbase",
        "do",
        "background",
        "sp",
        "objdata",
        "blipuid",
        "factoidname",
        "hsv",
    };
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

    if (fontOrColorTableWord(word, hasParam ? param : 1) || listTableWord(word, hasParam, param) ||
        pictureWord(word, hasParam, param) || shapeWord(word, hasParam, param) ||
        documentWord(word, hasParam, param))
        return;
    if (!inDocument() || specialCharacter(word))
        return;

    // Everything below changes state: emit the text gathered so far first.
    flush();
    if (!sectionWord(word, hasParam, param) && !paragraphWord(word, hasParam, param) &&
        !characterWord(word, hasParam, param))
        rowWord(word, hasParam, param);
}

bool Parser::documentWord(std::string_view word, bool hasParam, int param) {
    const int n = hasParam ? param : 1;
    // Document and section settings. Lengths are bounded to what a page
    // can hold, paper sides to paper. The document's page format is the
    // first section's; a later section's paper and margins (a landscape
    // appendix, say) are its own.
    const bool ours = !(laterSection && word.ends_with("sxn"));
    if (!ours && !sect.pageSet) {
        sect.page = out.page;
        sect.pageSet = st.dest == Dest::Body;
    }
    PageFormat& pf = ours ? out.page : sect.page;
    auto positive = [&](int& field) {
        if (hasParam && param > 0)
            field = docmodel::boundPaperLength(param);
    };
    auto nonNegative = [&](int& field) {
        if (hasParam && param >= 0)
            field = docmodel::boundLength(param);
    };
    if (word == "paperw" || word == "pgwsxn") {
        positive(pf.width);
        return true;
    }
    if (word == "deftab") {
        if (hasParam && param > 0)
            out.defaultTab = std::min(param, 1440 * 22);
        return true;
    }
    if (word == "paperh" || word == "pghsxn") {
        positive(pf.height);
        return true;
    }
    if (word == "margl" || word == "marglsxn") {
        nonNegative(pf.marginL);
        return true;
    }
    if (word == "margr" || word == "margrsxn") {
        nonNegative(pf.marginR);
        return true;
    }
    if (word == "margt" || word == "margtsxn") {
        nonNegative(pf.marginT);
        return true;
    }
    if (word == "margb" || word == "margbsxn") {
        nonNegative(pf.marginB);
        return true;
    }
    if (word == "headery") {
        if (hasParam && param >= 0)
            pf.headerPosition = docmodel::boundLength(param);
        return true;
    }
    if (word == "footery") {
        if (hasParam && param >= 0)
            pf.footerPosition = docmodel::boundLength(param);
        return true;
    }
    if (word == "titlepg") {
        titlePage = true;
        return true;
    }
    if (word == "facingp") {
        facingPages = true;
        return true;
    }
    if (word == "deff") {
        deff = n;
        return true;
    }
    if (word == "ansicpg") {
        // The Mac's Far Eastern code pages are the Windows ones.
        static constexpr std::pair<int, int> mac[] = {
            {10001, 932}, {10002, 950}, {10003, 949}, {10008, 936}};
        if (hasParam && param > 0)
            docCodePage = param;
        for (const auto& [from, to] : mac)
            if (docCodePage == from)
                docCodePage = to;
        return true;
    }
    if (word == "mac") {
        docCodePage = 10000;
        return true;
    }
    if (word == "pc") {
        docCodePage = 437;
        return true;
    }
    if (word == "pca") {
        docCodePage = 850;
        return true;
    }
    if (word == "uc") {
        st.uc = qBound(0, n, 10);
        return true;
    }
    if (word == "u") {
        if (!hasParam)
            return true;
        flushBytes();
        pendingText += QChar(static_cast<char16_t>(param < 0 ? param + 65536 : param));
        skipFallback = st.uc;
        return true;
    }

    return false;
}

void Parser::controlSymbol(char ch) {
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
                    pictureBinary(p, value);
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
                const int hi = rtf::hexValue(p[0]), lo = rtf::hexValue(p[1]);
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
        if (st.dest == Dest::Picture) {
            pictureData();
            if (p < end && *p != '{' && *p != '}' && *p != '\\')
                ++p; // not picture data: dropped
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
        if (st.dest == Dest::Skip || fontOrColorTableText(ch))
            continue;
        if (ch != '\0')
            pendingBytes += ch;
    }
    if (!stack.empty())
        fail(QStringLiteral("the data ends inside a group (%1 not closed)").arg(stack.size()));
}

void Parser::buildDocument(QTextDocument* doc, Builder& b) {
    QTextCursor cursor(doc);
    cursor.beginEditBlock();
    openLists.clear();
    bool reuse = true;
    for (size_t i = 0; i < b.items.size(); ++i) {
        const auto& item = b.items[i];
        if (const Para* para = std::get_if<Para>(&item)) {
            if (para->runs.empty() && i + 1 < b.items.size() &&
                std::holds_alternative<Table>(b.items[i + 1]) &&
                !para->format.hasProperty(QTextFormat::BackgroundBrush)) {
                // Qt lays out an empty paragraph before a table without a
                // line unless it has a background: an empty line
                // there keeps its height, as in Word.
                Para kept = *para;
                kept.format.setBackground(QBrush(Qt::NoBrush));
                insertPara(cursor, kept, reuse);
            } else {
                insertPara(cursor, *para, reuse);
            }
            reuse = false;
        } else {
            const Table& t = std::get<Table>(item);
            if (t.rows.empty())
                continue;
            buildTable(cursor, t, textWidth());
            reuse = true;
        }
    }
    cursor.endEditBlock();
}

void Parser::defaultFont(QTextDocument* doc) const {
    // The default font names the documents' font.
    const auto it = fonts.find(deff);
    if (it != fonts.end() && !it->second.name.isEmpty()) {
        QFont font = doc->defaultFont();
        font.setFamilies(fontFamilies(it->second));
        font.setStyleHint(it->second.hint);
        doc->setDefaultFont(font);
    }
}

void Parser::build() {
    buildNotes();
    for (int i = 0; i <= docmodel::HeaderFooterCount; ++i) {
        QTextDocument* doc = i == 0 ? out.body.get() : out.headerFooter[i - 1].get();
        defaultFont(doc);
        buildDocument(doc, builders[i]);
        docmodel::addImageResources(doc);
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

} // namespace detail

bool read(const QByteArray& data, docmodel::DocumentContent& out, QString* error) {
    detail::Parser parser(data, out);
    if (!parser.run(error))
        return false;
    docmodel::addSpaceAfterToNext(out.body.get());
    docmodel::emulateSmallCaps(out.body.get());
    for (const auto& doc : out.headerFooter) {
        docmodel::addSpaceAfterToNext(doc.get());
        docmodel::emulateSmallCaps(doc.get());
    }
    return true;
}

} // namespace wp::RtfReader
