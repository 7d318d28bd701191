// Styles: document defaults, the basedOn chains of paragraph, character and
// table styles, and the theme's font names that run fonts may refer to.
#include "document/formats/docx/DocxTranslator.h"

#include <algorithm>

namespace wp::DocxReader::detail {

namespace {

template <typename T> void take(std::optional<T>& to, const std::optional<T>& from) {
    if (from)
        to = from;
}

int underlineOf(const QString& v) {
    if (v == QLatin1String("none"))
        return 0;
    if (v == QLatin1String("double"))
        return 2;
    if (v.startsWith(QLatin1String("dotted")))
        return 3;
    if (v.startsWith(QLatin1String("dash")))
        return 4;
    if (v.startsWith(QLatin1String("wav")))
        return 5;
    return 1;
}

// The named highlight colours of WordprocessingML.
std::optional<QRgb> highlightColor(const QString& v) {
    static const std::pair<const char*, QRgb> names[] = {
        {"yellow", 0xFFFF00},      {"green", 0x00FF00},     {"cyan", 0x00FFFF},
        {"magenta", 0xFF00FF},     {"blue", 0x0000FF},      {"red", 0xFF0000},
        {"darkBlue", 0x000080},    {"darkCyan", 0x008080},  {"darkGreen", 0x008000},
        {"darkMagenta", 0x800080}, {"darkRed", 0x800000},   {"darkYellow", 0x808000},
        {"darkGray", 0x808080},    {"lightGray", 0xC0C0C0}, {"black", 0x000000},
        {"white", 0xFFFFFF}};
    for (const auto& [name, rgb] : names)
        if (v == QLatin1String(name))
            return rgb;
    return std::nullopt;
}

int clampLength(int v) {
    return std::clamp(v, -MaxLength, MaxLength);
}

} // namespace

QString attr(const QXmlStreamReader& xml, const char* name) {
    for (const QXmlStreamAttribute& a : xml.attributes())
        if (a.name() == QLatin1String(name))
            return a.value().toString();
    return {};
}

bool onOff(const QXmlStreamReader& xml) {
    const QString v = attr(xml);
    return v.isEmpty() || v == QLatin1String("1") || v == QLatin1String("true") ||
           v == QLatin1String("on");
}

int intAttr(const QXmlStreamReader& xml, const char* name, int fallback) {
    bool ok = false;
    // Some writers give lengths with a fraction ("1440.0").
    const double v = attr(xml, name).toDouble(&ok);
    return ok ? int(std::clamp(v, -2e9, 2e9)) : fallback;
}

void skip(QXmlStreamReader& xml) {
    xml.skipCurrentElement();
}

void check(const QXmlStreamReader& xml, const QString& part) {
    if (xml.hasError())
        throw QStringLiteral("damaged XML in %1 at line %2: %3")
            .arg(part)
            .arg(xml.lineNumber())
            .arg(xml.errorString());
}

std::optional<QRgb> hexColor(const QString& value) {
    if (value.size() != 6)
        return std::nullopt;
    bool ok = false;
    const uint v = value.toUInt(&ok, 16);
    return ok ? std::optional<QRgb>(v) : std::nullopt;
}

void readMargins(QXmlStreamReader& xml, std::optional<int> (&padding)[4]) {
    while (xml.readNextStartElement()) {
        const auto side = xml.name();
        const int i = side == QLatin1String("left") || side == QLatin1String("start")  ? 0
                      : side == QLatin1String("top")                                   ? 1
                      : side == QLatin1String("right") || side == QLatin1String("end") ? 2
                      : side == QLatin1String("bottom")                                ? 3
                                                                                       : -1;
        if (i >= 0 && attr(xml, "type") != QLatin1String("pct"))
            padding[i] = std::clamp(intAttr(xml, "w"), 0, MaxLength);
        skip(xml);
    }
}

void RunProps::merge(const RunProps& o) {
    take(bold, o.bold);
    take(italic, o.italic);
    take(strike, o.strike);
    take(caps, o.caps);
    take(smallCaps, o.smallCaps);
    take(hidden, o.hidden);
    take(underline, o.underline);
    take(halfPoints, o.halfPoints);
    take(vertical, o.vertical);
    take(font, o.font);
    take(color, o.color);
    take(background, o.background);
}

void ParaProps::merge(const ParaProps& o) {
    take(align, o.align);
    take(left, o.left);
    take(right, o.right);
    take(firstLine, o.firstLine);
    take(before, o.before);
    take(after, o.after);
    take(line, o.line);
    take(lineRule, o.lineRule);
    take(keepNext, o.keepNext);
    take(keepLines, o.keepLines);
    take(pageBreakBefore, o.pageBreakBefore);
    take(widowControl, o.widowControl);
    take(bidi, o.bidi);
    take(numId, o.numId);
    take(ilvl, o.ilvl);
    // Tab stops add up along the chain; a "clear" removes an inherited one.
    for (const Tab& t : o.tabs) {
        std::erase_if(tabs, [&](const Tab& x) { return x.pos == t.pos; });
        tabs.push_back(t);
    }
}

void TableProps::merge(const TableProps& o) {
    take(borders, o.borders);
    for (int i = 0; i < 4; ++i)
        take(padding[i], o.padding[i]);
    take(align, o.align);
    take(indent, o.indent);
}

void Translator::readRunProps(QXmlStreamReader& xml, RunProps& r) {
    while (xml.readNextStartElement()) {
        const auto n = xml.name();
        if (n == QLatin1String("b"))
            r.bold = onOff(xml);
        else if (n == QLatin1String("i"))
            r.italic = onOff(xml);
        else if (n == QLatin1String("strike") || n == QLatin1String("dstrike"))
            r.strike = onOff(xml);
        else if (n == QLatin1String("caps"))
            r.caps = onOff(xml);
        else if (n == QLatin1String("smallCaps"))
            r.smallCaps = onOff(xml);
        else if (n == QLatin1String("vanish") || n == QLatin1String("webHidden"))
            r.hidden = onOff(xml);
        else if (n == QLatin1String("u"))
            r.underline = underlineOf(attr(xml));
        else if (n == QLatin1String("sz")) {
            const int v = intAttr(xml, "val", -1);
            if (v > 0 && v <= 3276)
                r.halfPoints = v;
        } else if (n == QLatin1String("vertAlign")) {
            const QString v = attr(xml);
            r.vertical = v == QLatin1String("superscript") ? 1
                         : v == QLatin1String("subscript") ? -1
                                                           : 0;
        } else if (n == QLatin1String("rFonts")) {
            // Theme fonts take precedence over the names beside them.
            const QString theme = attr(xml, "asciiTheme");
            QString name;
            if (!theme.isEmpty())
                name = theme.startsWith(QLatin1String("major")) ? majorFont : minorFont;
            if (name.isEmpty())
                name = attr(xml, "ascii");
            if (name.isEmpty())
                name = attr(xml, "hAnsi");
            if (!name.isEmpty())
                r.font = name;
        } else if (n == QLatin1String("color")) {
            const QString v = attr(xml);
            if (v == QLatin1String("auto"))
                r.color = 0;
            else if (const auto c = hexColor(v))
                r.color = *c | 0xFF000000u;
        } else if (n == QLatin1String("highlight")) {
            if (const auto c = highlightColor(attr(xml)))
                r.background = *c | 0xFF000000u;
            else if (attr(xml) == QLatin1String("none"))
                r.background = 0;
        } else if (n == QLatin1String("shd")) {
            if (const auto c = hexColor(attr(xml, "fill")); c && !r.background)
                r.background = *c | 0xFF000000u;
        } else if (n == QLatin1String("rStyle")) {
            r.style = attr(xml);
        }
        skip(xml);
    }
}

void Translator::readParaProps(QXmlStreamReader& xml, ParaProps& p,
                               std::optional<Section>* section) {
    while (xml.readNextStartElement()) {
        const auto n = xml.name();
        if (n == QLatin1String("pStyle")) {
            p.style = attr(xml);
        } else if (n == QLatin1String("keepNext")) {
            p.keepNext = onOff(xml);
        } else if (n == QLatin1String("keepLines")) {
            p.keepLines = onOff(xml);
        } else if (n == QLatin1String("pageBreakBefore")) {
            p.pageBreakBefore = onOff(xml);
        } else if (n == QLatin1String("widowControl")) {
            p.widowControl = onOff(xml);
        } else if (n == QLatin1String("bidi")) {
            p.bidi = onOff(xml);
        } else if (n == QLatin1String("jc")) {
            const QString v = attr(xml);
            p.align = v == QLatin1String("center")                                     ? 1
                      : v == QLatin1String("right") || v == QLatin1String("end")       ? 2
                      : v == QLatin1String("both") || v == QLatin1String("distribute") ? 3
                                                                                       : 0;
        } else if (n == QLatin1String("spacing")) {
            if (attr(xml, "beforeAutospacing") == QLatin1String("1"))
                p.before = 280; // what Word gives "auto": 14 points
            else if (const int v = intAttr(xml, "before", -1); v >= 0)
                p.before = std::min(v, MaxLength);
            if (attr(xml, "afterAutospacing") == QLatin1String("1"))
                p.after = 280;
            else if (const int v = intAttr(xml, "after", -1); v >= 0)
                p.after = std::min(v, MaxLength);
            if (const int v = intAttr(xml, "line", -1); v > 0) {
                p.line = std::min(v, MaxLength);
                const QString rule = attr(xml, "lineRule");
                p.lineRule = rule == QLatin1String("exact")     ? 1
                             : rule == QLatin1String("atLeast") ? 2
                                                                : 0;
            }
        } else if (n == QLatin1String("ind")) {
            for (const char* a : {"left", "start"})
                if (const int v = intAttr(xml, a, INT_MIN); v != INT_MIN)
                    p.left = clampLength(v);
            for (const char* a : {"right", "end"})
                if (const int v = intAttr(xml, a, INT_MIN); v != INT_MIN)
                    p.right = clampLength(v);
            if (const int v = intAttr(xml, "firstLine", INT_MIN); v != INT_MIN)
                p.firstLine = clampLength(v);
            if (const int v = intAttr(xml, "hanging", INT_MIN); v != INT_MIN)
                p.firstLine = -clampLength(v);
        } else if (n == QLatin1String("numPr")) {
            while (xml.readNextStartElement()) {
                if (xml.name() == QLatin1String("numId"))
                    p.numId = intAttr(xml, "val");
                else if (xml.name() == QLatin1String("ilvl"))
                    p.ilvl = std::clamp(intAttr(xml, "val"), 0, 8);
                skip(xml);
            }
            continue;
        } else if (n == QLatin1String("tabs")) {
            while (xml.readNextStartElement()) {
                if (xml.name() == QLatin1String("tab") && p.tabs.size() < 64) {
                    Tab t;
                    const QString v = attr(xml);
                    t.pos = std::clamp(intAttr(xml, "pos"), 0, MaxLength);
                    t.clear = v == QLatin1String("clear");
                    t.type = v == QLatin1String("center")                               ? 1
                             : v == QLatin1String("right") || v == QLatin1String("end") ? 2
                             : v == QLatin1String("decimal")                            ? 3
                                                                                        : 0;
                    p.tabs.push_back(t);
                }
                skip(xml);
            }
            continue;
        } else if (n == QLatin1String("sectPr") && section) {
            Section s;
            readSection(xml, s);
            *section = s;
            continue;
        }
        skip(xml);
    }
}

void Translator::readTableProps(QXmlStreamReader& xml, TableProps& t) {
    while (xml.readNextStartElement()) {
        const auto n = xml.name();
        if (n == QLatin1String("tblStyle")) {
            t.style = attr(xml);
        } else if (n == QLatin1String("jc")) {
            const QString v = attr(xml);
            t.align = v == QLatin1String("center")                               ? 1
                      : v == QLatin1String("right") || v == QLatin1String("end") ? 2
                                                                                 : 0;
        } else if (n == QLatin1String("tblInd")) {
            if (attr(xml, "type") != QLatin1String("pct"))
                t.indent = clampLength(intAttr(xml, "w"));
        } else if (n == QLatin1String("tblBorders")) {
            bool any = false;
            while (xml.readNextStartElement()) {
                const QString v = attr(xml);
                any = any ||
                      (!v.isEmpty() && v != QLatin1String("none") && v != QLatin1String("nil"));
                skip(xml);
            }
            t.borders = any;
            continue;
        } else if (n == QLatin1String("tblCellMar")) {
            readMargins(xml, t.padding);
            continue;
        }
        skip(xml);
    }
}

void Translator::readTheme() {
    QString* which = nullptr;
    readPart(QLatin1String("theme"), [&](QXmlStreamReader& xml) {
        if (xml.name() == QLatin1String("majorFont"))
            which = &majorFont;
        else if (xml.name() == QLatin1String("minorFont"))
            which = &minorFont;
        else if (xml.name() == QLatin1String("latin") && which && which->isEmpty())
            *which = attr(xml, "typeface");
    });
}

void Translator::readStyles() {
    readPart(QLatin1String("styles"), [this](QXmlStreamReader& xml) {
        const auto n = xml.name();
        if (n == QLatin1String("rPrDefault")) {
            while (xml.readNextStartElement()) {
                if (xml.name() == QLatin1String("rPr"))
                    readRunProps(xml, defaultRun);
                else
                    skip(xml);
            }
        } else if (n == QLatin1String("pPrDefault")) {
            while (xml.readNextStartElement()) {
                if (xml.name() == QLatin1String("pPr"))
                    readParaProps(xml, defaultPara, nullptr);
                else
                    skip(xml);
            }
        } else if (n == QLatin1String("style")) {
            Style s;
            s.type = attr(xml, "type");
            const QString id = attr(xml, "styleId");
            const QString def = attr(xml, "default");
            const bool isDefault = def == QLatin1String("1") || def == QLatin1String("true");
            while (xml.readNextStartElement()) {
                const auto c = xml.name();
                if (c == QLatin1String("basedOn")) {
                    s.basedOn = attr(xml);
                    skip(xml);
                } else if (c == QLatin1String("rPr")) {
                    readRunProps(xml, s.run);
                } else if (c == QLatin1String("pPr")) {
                    readParaProps(xml, s.para, nullptr);
                } else if (c == QLatin1String("tblPr")) {
                    readTableProps(xml, s.table);
                } else {
                    skip(xml);
                }
            }
            if (isDefault) {
                if (s.type == QLatin1String("paragraph") && defaultParaStyle.isEmpty())
                    defaultParaStyle = id;
                else if (s.type == QLatin1String("character") && defaultCharStyle.isEmpty())
                    defaultCharStyle = id;
                else if (s.type == QLatin1String("table") && defaultTableStyle.isEmpty())
                    defaultTableStyle = id;
            }
            if (!id.isEmpty() && styles.size() < 10000)
                styles.insert(id, s);
        }
    });
}

// The style and those it is based on, the most basic first; a loop in the
// chain ends it.
const Style* Translator::styleChain(const QString& id, std::vector<const Style*>& chain) const {
    QString next = id;
    while (!next.isEmpty() && chain.size() < 32) {
        const auto it = styles.constFind(next);
        if (it == styles.constEnd())
            break;
        if (std::find(chain.begin(), chain.end(), &*it) != chain.end())
            break;
        chain.insert(chain.begin(), &*it);
        next = it->basedOn;
    }
    return chain.empty() ? nullptr : chain.back();
}

RunProps Translator::styleRun(const QString& id) const {
    std::vector<const Style*> chain;
    styleChain(id, chain);
    RunProps r;
    for (const Style* s : chain)
        r.merge(s->run);
    return r;
}

ParaProps Translator::stylePara(const QString& id) const {
    std::vector<const Style*> chain;
    styleChain(id, chain);
    ParaProps p;
    for (const Style* s : chain)
        p.merge(s->para);
    return p;
}

TableProps Translator::styleTable(const QString& id) const {
    std::vector<const Style*> chain;
    styleChain(id, chain);
    TableProps t;
    for (const Style* s : chain)
        t.merge(s->table);
    return t;
}

} // namespace wp::DocxReader::detail
