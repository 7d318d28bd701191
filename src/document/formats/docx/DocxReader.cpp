// The package, its sections and the order of the main document; the RTF
// the translation gives is built by the RTF reader.
#include "document/formats/docx/DocxReader.h"

#include "document/formats/docx/DocxTranslator.h"
#include "document/formats/rtf/RtfReader.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace wp::DocxReader {

namespace detail {

void Translator::readSection(QXmlStreamReader& xml, Section& s) {
    while (xml.readNextStartElement()) {
        const auto n = xml.name();
        if (n == QLatin1String("pgSz")) {
            s.page.width = std::clamp(intAttr(xml, "w", s.page.width), 1, MaxLength);
            s.page.height = std::clamp(intAttr(xml, "h", s.page.height), 1, MaxLength);
        } else if (n == QLatin1String("pgMar")) {
            // A negative top or bottom margin is one the text may not push.
            auto margin = [&](const char* name, int fallback) {
                return std::min(std::abs(intAttr(xml, name, fallback)), MaxLength);
            };
            s.page.marginT = margin("top", s.page.marginT);
            s.page.marginB = margin("bottom", s.page.marginB);
            s.page.marginL =
                std::min(MaxLength, margin("left", s.page.marginL) + margin("gutter", 0));
            s.page.marginR = margin("right", s.page.marginR);
            s.page.headerPosition = margin("header", int(s.page.headerPosition));
            s.page.footerPosition = margin("footer", int(s.page.footerPosition));
        } else if (n == QLatin1String("headerReference") || n == QLatin1String("footerReference")) {
            const QString type = attr(xml, "type");
            const int i = (n == QLatin1String("footerReference") ? 2 : 0) +
                          (type == QLatin1String("first") ? 1 : 0);
            if (type != QLatin1String("even"))
                s.refs[i] = attr(xml, "id");
        } else if (n == QLatin1String("titlePg")) {
            s.titlePage = onOff(xml);
        } else if (n == QLatin1String("type")) {
            s.continuous = attr(xml) == QLatin1String("continuous");
        }
        skip(xml);
    }
}

void Translator::readSettings() {
    readPart(QLatin1String("settings"), [this](QXmlStreamReader& xml) {
        if (xml.name() == QLatin1String("defaultTabStop"))
            defaultTab = std::clamp(intAttr(xml, "val", 720), 1, 1440 * 22);
    });
}

bool Translator::readPart(QLatin1String type, const std::function<void(QXmlStreamReader&)>& start) {
    QString part;
    for (const Relationship& r : mainRels)
        if (r.type == type && !r.external)
            part = r.target;
    if (part.isEmpty())
        return false;
    QXmlStreamReader xml(pkg.read(part, true));
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.tokenType() == QXmlStreamReader::DTD)
            throw QStringLiteral("part %1 has a document type declaration").arg(part);
        if (xml.isStartElement())
            start(xml);
    }
    check(xml, part);
    return true;
}

void Translator::scanSections(const QByteArray& document) {
    QXmlStreamReader xml(document);
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.tokenType() == QXmlStreamReader::DTD)
            throw QStringLiteral("part %1 has a document type declaration").arg(mainPart);
        if (xml.isStartElement() && xml.name() == QLatin1String("sectPr") &&
            sections.size() < 10000) {
            Section s;
            readSection(xml, s);
            sections.push_back(s);
        }
    }
    check(xml, mainPart);
    if (sections.empty())
        sections.emplace_back();
}

int Translator::pageWidthForText() const {
    const PageFormat& p = sections.front().page;
    return std::max(1440, p.width - p.marginL - p.marginR);
}

void Translator::readBody(QXmlStreamReader& xml, int depth) {
    if (depth > MaxDepth)
        throw QStringLiteral("the document is nested too deeply");
    while (xml.readNextStartElement()) {
        const auto n = xml.name();
        if (n == QLatin1String("p")) {
            paragraph(xml, 0, depth + 1);
        } else if (n == QLatin1String("tbl")) {
            table(xml, 1, depth + 1);
        } else if (n == QLatin1String("sdt") || n == QLatin1String("sdtContent") ||
                   n == QLatin1String("customXml")) {
            readBody(xml, depth + 1);
        } else if (n == QLatin1String("bookmarkStart")) {
            bookmark(xml);
            skip(xml);
        } else if (n == QLatin1String("AlternateContent")) {
            bool done = false;
            while (xml.readNextStartElement()) {
                if (!done && xml.name() == QLatin1String("Choice")) {
                    readBody(xml, depth + 1);
                    done = true;
                } else {
                    skip(xml);
                }
            }
        } else {
            skip(xml);
        }
    }
}

// The last paragraph of a document goes without \par, so that the RTF
// reader adds no empty one after it.
static void dropLastPar(QByteArray& rtf) {
    if (rtf.endsWith("\\par\n"))
        rtf.chop(5);
}

void Translator::readHeaderFooter(const QString& rid, const char* word) {
    const auto it = mainRels.constFind(rid);
    if (it == mainRels.constEnd() || it->external ||
        (it->type != QLatin1String("header") && it->type != QLatin1String("footer")))
        return;
    const QString part = it->target;
    const QHash<QString, Relationship> partRels = pkg.relationships(part);
    rels = &partRels;
    currentPart = part;
    const QByteArray data = pkg.read(part);
    QXmlStreamReader xml(data);
    out.clear();
    fieldStack.clear();
    spaceAfterBefore = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.tokenType() == QXmlStreamReader::DTD)
            throw QStringLiteral("part %1 has a document type declaration").arg(part);
        if (xml.isStartElement()) {
            readBody(xml, 0);
            break;
        }
    }
    check(xml, part);
    closeFieldsAtParagraphEnd(out);
    dropLastPar(out);
    rels = &mainRels;
    hfOut += "{\\";
    hfOut += word;
    hfOut += ' ';
    hfOut += out;
    hfOut += "}\n";
}

QByteArray Translator::translate() {
    const QHash<QString, Relationship> packageRels = pkg.relationships(QString());
    for (const Relationship& r : packageRels)
        if (r.type == QLatin1String("officeDocument") && !r.external)
            mainPart = r.target;
    if (mainPart.isEmpty())
        throw QStringLiteral("not a word-processing document: the package names no main part");
    mainRels = pkg.relationships(mainPart);
    rels = &mainRels;
    currentPart = mainPart;
    readTheme();
    readStyles();
    readNumbering();
    readSettings();
    // The default font is font 0, the RTF reader's \deff.
    fonts << defaultRun.font.value_or(minorFont.isEmpty() ? QStringLiteral("Times New Roman")
                                                          : minorFont);
    const QByteArray document = pkg.read(mainPart);
    scanSections(document);

    QXmlStreamReader xml(document);
    bool body = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("body")) {
            readBody(xml, 0);
            body = true;
            break;
        }
    }
    check(xml, mainPart);
    if (!body)
        throw QStringLiteral("not a word-processing document: %1 has no body").arg(mainPart);
    closeFieldsAtParagraphEnd(out);
    dropLastPar(out);
    QByteArray bodyOut;
    bodyOut.swap(out);

    // Headers and footers of the first section: the control has one page format.
    const Section& first = sections.front();
    static const char* const words[] = {"header", "headerf", "footer", "footerf"};
    for (int i = 0; i < 4; ++i)
        if (!first.refs[i].isEmpty() && (first.titlePage || i % 2 == 0))
            readHeaderFooter(first.refs[i], words[i]);

    QByteArray lists;
    writeListTables(lists);
    QByteArray info;
    writeInfo(info);

    QByteArray rtf = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1\n{\\fonttbl";
    for (qsizetype i = 0; i < fonts.size(); ++i) {
        rtf += "{\\f";
        rtf += QByteArray::number(i);
        rtf += "\\fnil ";
        text(rtf, fonts[i]);
        rtf += ";}";
    }
    rtf += "}\n{\\colortbl;";
    for (QRgb c : colors) {
        num(rtf, "red", qRed(c));
        num(rtf, "green", qGreen(c));
        num(rtf, "blue", qBlue(c));
        rtf += ';';
    }
    rtf += "}\n";
    rtf += lists;
    rtf += info;
    const PageFormat& pf = first.page;
    num(rtf, "paperw", pf.width);
    num(rtf, "paperh", pf.height);
    num(rtf, "margl", pf.marginL);
    num(rtf, "margr", pf.marginR);
    num(rtf, "margt", pf.marginT);
    num(rtf, "margb", pf.marginB);
    num(rtf, "headery", std::llround(pf.headerPosition));
    num(rtf, "footery", std::llround(pf.footerPosition));
    num(rtf, "deftab", defaultTab);
    if (first.titlePage)
        rtf += "\\titlepg";
    rtf += '\n';
    rtf += hfOut;
    rtf += bodyOut;
    rtf += "}\n";
    return rtf;
}

} // namespace detail

QByteArray toRtf(const QByteArray& data) {
    docx::PackageReader package(data);
    detail::Translator translator(package);
    return translator.translate();
}

bool read(const QByteArray& data, docmodel::DocumentContent& out, QString* error) {
    QByteArray rtf;
    try {
        rtf = toRtf(data);
    } catch (const QString& why) {
        if (error)
            *error = QStringLiteral("cannot read the Word document: %1").arg(why);
        return false;
    }
    return RtfReader::read(rtf, out, error);
}

} // namespace wp::DocxReader
