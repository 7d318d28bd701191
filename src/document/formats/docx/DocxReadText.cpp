// Paragraphs, runs and fields. A paragraph's format is the document
// defaults, the table's style, the numbering level, the paragraph style and
// the direct format in that order; a run adds its character style and its
// own format. Fields (simple and complex) become RTF fields with their
// instruction; a field spread over paragraphs keeps its result as text.
#include "document/formats/docx/DocxTranslator.h"

#include <algorithm>

namespace wp::DocxReader::detail {

int Translator::fontIndex(const QString& name) {
    qsizetype i = fonts.indexOf(name);
    if (i < 0) {
        fonts << name;
        i = fonts.size() - 1;
    }
    return int(i);
}

int Translator::colorIndex(QRgb rgb) {
    rgb |= 0xFF000000u;
    qsizetype i = colors.indexOf(rgb);
    if (i < 0) {
        colors << rgb;
        i = colors.size() - 1;
    }
    return int(i) + 1;
}

void Translator::num(QByteArray& to, const char* word, long long value) {
    to += '\\';
    to += word;
    to += QByteArray::number(value);
}

void Translator::text(QByteArray& to, QStringView s) {
    for (const QChar qc : s) {
        const char16_t ch = qc.unicode();
        if (ch == '\\' || ch == '{' || ch == '}') {
            to += '\\';
            to += char(ch);
        } else if (ch == '\t') {
            to += "\\tab ";
        } else if (ch == '\n' || ch == '\r') {
            to += "\\line ";
        } else if (ch >= 0x20 && ch < 0x80) {
            to += char(ch);
        } else if (ch >= 0x80) {
            num(to, "u", ch > 32767 ? int(ch) - 65536 : int(ch));
            to += '?';
        }
    }
}

QByteArray Translator::paragraphProps(const ParaProps& p, int tableDepth) {
    QByteArray r = "\\pard\\plain";
    if (tableDepth > 0)
        r += "\\intbl";
    if (tableDepth > 1)
        num(r, "itap", tableDepth);
    static const char* const aligns[] = {"", "\\qc", "\\qr", "\\qj"};
    r += aligns[std::clamp(p.align.value_or(0), 0, 3)];
    if (p.bidi.value_or(false))
        r += "\\rtlpar";
    num(r, "li", p.left.value_or(0));
    num(r, "ri", p.right.value_or(0));
    num(r, "fi", p.firstLine.value_or(0));
    if (const int v = p.before.value_or(0))
        num(r, "sb", v);
    if (const int v = p.after.value_or(0))
        num(r, "sa", v);
    if (p.line) {
        const int rule = p.lineRule.value_or(0);
        num(r, "sl", rule == 1 ? -*p.line : *p.line);
        num(r, "slmult", rule == 0 ? 1 : 0);
    }
    for (const Tab& t : p.tabs) {
        if (t.clear)
            continue;
        static const char* const types[] = {"", "\\tqc", "\\tqr", "\\tqdec"};
        r += types[std::clamp(t.type, 0, 3)];
        num(r, "tx", t.pos);
    }
    if (p.pageBreakBefore.value_or(false) && tableDepth == 0)
        r += "\\pagebb";
    if (p.keepLines.value_or(false))
        r += "\\keep";
    if (p.keepNext.value_or(false))
        r += "\\keepn";
    r += p.widowControl.value_or(false) ? "\\widctlpar" : "\\nowidctlpar";
    if (p.numId && *p.numId > 0)
        if (const auto ls = lsOfNum.find(*p.numId);
            ls != lsOfNum.end() && level(*p.numId, p.ilvl.value_or(0))) {
            num(r, "ls", ls->second);
            num(r, "ilvl", p.ilvl.value_or(0));
        }
    r += ' ';
    return r;
}

void Translator::runStart(QByteArray& content, const RunProps& r) {
    content += "{\\plain";
    if (r.font && !r.font->isEmpty())
        num(content, "f", fontIndex(*r.font));
    // Without a size anywhere, WordprocessingML's text is 10 points.
    num(content, "fs", r.halfPoints.value_or(20));
    if (r.bold.value_or(false))
        content += "\\b";
    if (r.italic.value_or(false))
        content += "\\i";
    if (r.strike.value_or(false))
        content += "\\strike";
    if (r.caps.value_or(false))
        content += "\\caps";
    else if (r.smallCaps.value_or(false))
        content += "\\scaps";
    if (r.hidden.value_or(false))
        content += "\\v";
    static const char* const underlines[] = {"", "\\ul", "\\uldb", "\\uld", "\\uldash", "\\ulwave"};
    content += underlines[std::clamp(r.underline.value_or(0), 0, 5)];
    if (r.color && *r.color)
        num(content, "cf", colorIndex(*r.color));
    if (r.background && *r.background)
        num(content, "chcbpat", colorIndex(*r.background));
    if (const int v = r.vertical.value_or(0))
        content += v > 0 ? "\\super" : "\\sub";
    content += ' ';
}

void Translator::bookmark(QXmlStreamReader& xml) {
    // Our own writer marks field and table ids with hidden bookmarks.
    const QString name = attr(xml, "name");
    bool ok = false;
    if (name.startsWith(QLatin1String("_wpField"))) {
        const int id = name.mid(8).toInt(&ok);
        if (ok && id > 0 && id <= 32767)
            pendingFieldId = id;
    } else if (name.startsWith(QLatin1String("_wpTable")) && tableIdSlot) {
        const int id = name.mid(8).toInt(&ok);
        if (ok && id > 0 && id <= 32767 && *tableIdSlot == 0)
            *tableIdSlot = id;
    }
}

void Translator::fieldChar(QXmlStreamReader& xml, QByteArray& content) {
    const QString type = attr(xml, "fldCharType");
    if (type == QLatin1String("begin")) {
        if (fieldStack.size() >= 32)
            throw QStringLiteral("fields nested too deeply");
        Field f;
        f.id = pendingFieldId;
        pendingFieldId = 0;
        fieldStack.push_back(f);
    } else if (type == QLatin1String("separate") && !fieldStack.empty()) {
        Field& f = fieldStack.back();
        if (f.phase == 1 && fieldStack.size() == 1) {
            content += "{\\field";
            if (f.id > 0) {
                content += "{\\*\\wpfieldid ";
                content += QByteArray::number(f.id);
                content += '}';
            }
            content += "{\\*\\fldinst ";
            text(content, f.instr);
            content += "}{\\fldrslt ";
            f.open = true;
        }
        f.phase = 2;
    } else if (type == QLatin1String("end") && !fieldStack.empty()) {
        const Field f = fieldStack.back();
        fieldStack.pop_back();
        if (f.open) {
            content += "}}";
        } else if (fieldStack.empty() && f.phase == 1) {
            // No result: an empty field still keeps its place.
            content += "{\\field{\\*\\fldinst ";
            text(content, f.instr);
            content += "}{\\fldrslt }}";
        }
    }
}

void Translator::closeFieldsAtParagraphEnd(QByteArray& content) {
    for (Field& f : fieldStack)
        if (f.open) {
            content += "}}";
            f.open = false;
        }
}

bool Translator::fieldShown() const {
    return std::all_of(fieldStack.begin(), fieldStack.end(),
                       [](const Field& f) { return f.phase == 2; });
}

void Translator::runElement(QXmlStreamReader& xml, QByteArray& content, const RunProps& props,
                            int tableDepth, bool& started) {
    auto start = [&] {
        if (!started)
            runStart(content, props);
        started = true;
    };
    auto end = [&] {
        if (started)
            content += '}';
        started = false;
    };
    const auto n = xml.name();
    if (n == QLatin1String("t")) {
        const QString t = xml.readElementText(QXmlStreamReader::IncludeChildElements);
        if (fieldShown()) {
            start();
            text(content, t);
        }
        return;
    }
    if (n == QLatin1String("instrText")) {
        const QString t = xml.readElementText(QXmlStreamReader::IncludeChildElements);
        if (!fieldStack.empty() && fieldStack.back().phase == 1 &&
            fieldStack.back().instr.size() < 4096)
            fieldStack.back().instr += t;
        return;
    }
    if (n == QLatin1String("fldChar")) {
        end();
        fieldChar(xml, content);
    } else if (!fieldShown()) {
        // part of an instruction
    } else if (n == QLatin1String("tab") || n == QLatin1String("ptab")) {
        start();
        content += "\\tab ";
    } else if (n == QLatin1String("br") || n == QLatin1String("cr")) {
        const bool page = attr(xml, "type") == QLatin1String("page");
        if (page && tableDepth == 0 && fieldStack.empty()) {
            end();
            content += "\\page ";
        } else {
            start();
            content += "\\line ";
        }
    } else if (n == QLatin1String("noBreakHyphen")) {
        start();
        content += "\\_";
    } else if (n == QLatin1String("softHyphen")) {
        start();
        content += "\\-";
    } else if (n == QLatin1String("sym")) {
        bool ok = false;
        const uint ch = attr(xml, "char").toUInt(&ok, 16);
        if (ok && ch > 0 && ch < 0xFFFF) {
            end();
            RunProps symbol = props;
            symbol.font = attr(xml, "font");
            runStart(content, symbol);
            const QChar c{char16_t(ch)};
            text(content, QStringView(&c, 1));
            content += '}';
        }
    } else if (n == QLatin1String("drawing")) {
        end();
        drawing(xml, content);
        return;
    } else if (n == QLatin1String("pict") || n == QLatin1String("object")) {
        end();
        vmlPicture(xml, content);
        return;
    } else if (n == QLatin1String("AlternateContent")) {
        // The first choice is the richer form; its fallback repeats it.
        if (runNesting >= MaxDepth)
            throw QStringLiteral("the document is nested too deeply");
        bool done = false;
        while (xml.readNextStartElement()) {
            if (!done && xml.name() == QLatin1String("Choice")) {
                end();
                ++runNesting;
                while (xml.readNextStartElement())
                    runElement(xml, content, props, tableDepth, started);
                --runNesting;
                done = true;
            } else {
                skip(xml);
            }
        }
        return;
    }
    skip(xml);
}

void Translator::run(QXmlStreamReader& xml, QByteArray& content, int tableDepth) {
    RunProps direct;
    // The run's format comes first, then its content.
    bool pending = xml.readNextStartElement();
    if (pending && xml.name() == QLatin1String("rPr")) {
        readRunProps(xml, direct);
        pending = false;
    }
    RunProps r = paraRun;
    r.merge(styleRun(direct.style.isEmpty() ? defaultCharStyle : direct.style));
    r.merge(direct);
    bool started = false;
    if (pending)
        runElement(xml, content, r, tableDepth, started);
    while (xml.readNextStartElement())
        runElement(xml, content, r, tableDepth, started);
    if (started)
        content += '}';
}

void Translator::paragraphElement(QXmlStreamReader& xml, QByteArray& content, int tableDepth,
                                  int depth) {
    if (depth > MaxDepth)
        throw QStringLiteral("the document is nested too deeply");
    const auto n = xml.name();
    if (n == QLatin1String("r")) {
        run(xml, content, tableDepth);
    } else if (n == QLatin1String("hyperlink") || n == QLatin1String("smartTag") ||
               n == QLatin1String("customXml") || n == QLatin1String("ins") ||
               n == QLatin1String("moveTo") || n == QLatin1String("dir") ||
               n == QLatin1String("bdo") || n == QLatin1String("sdtContent") ||
               n == QLatin1String("sdt")) {
        while (xml.readNextStartElement())
            paragraphElement(xml, content, tableDepth, depth + 1);
    } else if (n == QLatin1String("fldSimple")) {
        const QString instr = attr(xml, "instr");
        const bool own = fieldStack.empty();
        if (own) {
            content += "{\\field";
            if (pendingFieldId > 0) {
                content += "{\\*\\wpfieldid ";
                content += QByteArray::number(pendingFieldId);
                content += '}';
            }
            content += "{\\*\\fldinst ";
            text(content, instr);
            content += "}{\\fldrslt ";
        }
        pendingFieldId = 0;
        while (xml.readNextStartElement())
            paragraphElement(xml, content, tableDepth, depth + 1);
        if (own)
            content += "}}";
    } else if (n == QLatin1String("bookmarkStart")) {
        bookmark(xml);
        skip(xml);
    } else if (n == QLatin1String("oMath") || n == QLatin1String("oMathPara")) {
        // An equation keeps its text.
        QString t;
        int open = 1;
        while (open > 0 && !xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement()) {
                if (xml.name() == QLatin1String("t") && t.size() < 65536)
                    t += xml.readElementText(QXmlStreamReader::IncludeChildElements);
                else
                    ++open;
            } else if (xml.isEndElement()) {
                --open;
            }
        }
        runStart(content, paraRun);
        text(content, t);
        content += '}';
    } else if (n == QLatin1String("AlternateContent")) {
        bool done = false;
        while (xml.readNextStartElement()) {
            if (!done && xml.name() == QLatin1String("Choice")) {
                while (xml.readNextStartElement())
                    paragraphElement(xml, content, tableDepth, depth + 1);
                done = true;
            } else {
                skip(xml);
            }
        }
    } else {
        skip(xml);
    }
}

qsizetype Translator::paragraph(QXmlStreamReader& xml, int tableDepth, int depth) {
    ParaProps direct;
    std::optional<Section> section;
    QByteArray content;
    bool pending = xml.readNextStartElement();
    if (pending && xml.name() == QLatin1String("pPr")) {
        readParaProps(xml, direct, tableDepth == 0 ? &section : nullptr);
        pending = false;
    }
    ParaProps p = defaultPara;
    if (!tableStyle.isEmpty())
        p.merge(stylePara(tableStyle));
    const QString ps = direct.style.isEmpty() ? defaultParaStyle : direct.style;
    const ParaProps sp = stylePara(ps);
    const int numId = direct.numId ? *direct.numId : sp.numId.value_or(0);
    const int ilvl = direct.ilvl ? *direct.ilvl : sp.ilvl.value_or(0);
    ParaProps numbering;
    if (const Level* l = numId > 0 ? level(numId, ilvl) : nullptr) {
        numbering.left = l->left;
        numbering.firstLine = l->firstLine;
    }
    // A numbering the paragraph names itself indents over its style's.
    if (direct.numId) {
        p.merge(sp);
        p.merge(numbering);
    } else {
        p.merge(numbering);
        p.merge(sp);
    }
    p.merge(direct);
    p.numId = numId;
    p.ilvl = ilvl;
    paraRun = defaultRun;
    if (!tableStyle.isEmpty())
        paraRun.merge(styleRun(tableStyle));
    paraRun.merge(styleRun(ps));

    if (pending)
        paragraphElement(xml, content, tableDepth, depth + 1);
    while (xml.readNextStartElement())
        paragraphElement(xml, content, tableDepth, depth + 1);
    closeFieldsAtParagraphEnd(content);
    // Word documents take the larger of the space after the paragraph before
    // and this one's space before; the RTF reader adds them, so this one
    // keeps only what its space before has beyond the other.
    const int after = p.after.value_or(0);
    if (p.before)
        p.before = std::max(0, *p.before - spaceAfterBefore);
    spaceAfterBefore = after;
    out += paragraphProps(p, tableDepth);
    out += content;
    const qsizetype end = out.size();
    const bool pageBreak =
        section && sectionIndex + 1 < sections.size() && !sections[sectionIndex + 1].continuous;
    if (section)
        ++sectionIndex;
    out += pageBreak ? "\\sect\n" : "\\par\n";
    return end;
}

} // namespace wp::DocxReader::detail
