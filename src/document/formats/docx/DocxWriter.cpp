// The package: content types, relationships, settings, styles, the
// section's page format and the core and extended properties.
#include "document/formats/docx/DocxWriter.h"

#include "document/formats/docx/DocxWriterParts.h"
#include "wp/Error.h"

#include <QTextDocument>
#include <cmath>

namespace wp::DocxWriter {

namespace detail {

namespace {

const QString W = QStringLiteral("http://schemas.openxmlformats.org/wordprocessingml/2006/main");
const QString RelBase =
    QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships/");

QString n(long long v) {
    return QString::number(v);
}

} // namespace

void Writer::rootNamespaces(QXmlStreamWriter& w) {
    w.writeAttribute(QStringLiteral("xmlns:w"), W);
    w.writeAttribute(
        QStringLiteral("xmlns:r"),
        QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships"));
    w.writeAttribute(
        QStringLiteral("xmlns:wp"),
        QStringLiteral("http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing"));
    w.writeAttribute(QStringLiteral("xmlns:a"),
                     QStringLiteral("http://schemas.openxmlformats.org/drawingml/2006/main"));
    w.writeAttribute(QStringLiteral("xmlns:pic"),
                     QStringLiteral("http://schemas.openxmlformats.org/drawingml/2006/picture"));
}

QString Writer::addRelationship(const QString& type, const QString& target) {
    const QString id = QStringLiteral("rId%1").arg(rels->size() + 1);
    rels->emplace_back(type, target);
    return id;
}

QByteArray Writer::relationshipsXml(const std::vector<std::pair<QString, QString>>& partRels) {
    QByteArray bytes;
    QXmlStreamWriter w(&bytes);
    w.writeStartDocument(QStringLiteral("1.0"), true);
    w.writeStartElement(QStringLiteral("Relationships"));
    w.writeDefaultNamespace(
        QStringLiteral("http://schemas.openxmlformats.org/package/2006/relationships"));
    for (size_t i = 0; i < partRels.size(); ++i) {
        w.writeEmptyElement(QStringLiteral("Relationship"));
        w.writeAttribute(QStringLiteral("Id"), QStringLiteral("rId%1").arg(i + 1));
        w.writeAttribute(QStringLiteral("Type"), partRels[i].first.startsWith(u"http")
                                                     ? partRels[i].first
                                                     : RelBase + partRels[i].first);
        w.writeAttribute(QStringLiteral("Target"), partRels[i].second);
    }
    w.writeEndDocument();
    return bytes;
}

QByteArray Writer::contentTypesXml(const std::vector<QString>& headers,
                                   const std::vector<QString>& footers) {
    QByteArray bytes;
    QXmlStreamWriter w(&bytes);
    w.writeStartDocument(QStringLiteral("1.0"), true);
    w.writeStartElement(QStringLiteral("Types"));
    w.writeDefaultNamespace(
        QStringLiteral("http://schemas.openxmlformats.org/package/2006/content-types"));
    auto def = [&](const char* ext, const char* type) {
        w.writeEmptyElement(QStringLiteral("Default"));
        w.writeAttribute(QStringLiteral("Extension"), QLatin1String(ext));
        w.writeAttribute(QStringLiteral("ContentType"), QLatin1String(type));
    };
    def("rels", "application/vnd.openxmlformats-package.relationships+xml");
    def("xml", "application/xml");
    def("png", "image/png");
    def("jpeg", "image/jpeg");
    auto over = [&](const QString& part, const QString& type) {
        w.writeEmptyElement(QStringLiteral("Override"));
        w.writeAttribute(QStringLiteral("PartName"), QLatin1Char('/') + part);
        w.writeAttribute(QStringLiteral("ContentType"), type);
    };
    const QString wml = QStringLiteral("application/vnd.openxmlformats-officedocument."
                                       "wordprocessingml.");
    over(QStringLiteral("word/document.xml"), wml + QStringLiteral("document.main+xml"));
    over(QStringLiteral("word/styles.xml"), wml + QStringLiteral("styles+xml"));
    over(QStringLiteral("word/settings.xml"), wml + QStringLiteral("settings+xml"));
    if (!lists.empty())
        over(QStringLiteral("word/numbering.xml"), wml + QStringLiteral("numbering+xml"));
    for (const QString& h : headers)
        over(h, wml + QStringLiteral("header+xml"));
    for (const QString& f : footers)
        over(f, wml + QStringLiteral("footer+xml"));
    over(QStringLiteral("docProps/core.xml"),
         QStringLiteral("application/vnd.openxmlformats-package.core-properties+xml"));
    over(QStringLiteral("docProps/app.xml"),
         QStringLiteral("application/vnd.openxmlformats-officedocument.extended-properties+xml"));
    w.writeEndDocument();
    return bytes;
}

QByteArray Writer::stylesXml() {
    QByteArray bytes;
    QXmlStreamWriter w(&bytes);
    w.writeStartDocument(QStringLiteral("1.0"), true);
    w.writeStartElement(QStringLiteral("w:styles"));
    w.writeAttribute(QStringLiteral("xmlns:w"), W);
    // The body's default font, and paragraphs without space of their own:
    // every paragraph carries its format directly.
    const QFont font = parts.body->defaultFont();
    w.writeStartElement(QStringLiteral("w:docDefaults"));
    w.writeStartElement(QStringLiteral("w:rPrDefault"));
    w.writeStartElement(QStringLiteral("w:rPr"));
    w.writeEmptyElement(QStringLiteral("w:rFonts"));
    for (const char* a : {"w:ascii", "w:hAnsi", "w:cs", "w:eastAsia"})
        w.writeAttribute(QLatin1String(a), font.family());
    // Our text is laid out with pair kerning (Qt's default), at every size.
    if (font.kerning()) {
        w.writeEmptyElement(QStringLiteral("w:kern"));
        w.writeAttribute(QStringLiteral("w:val"), QStringLiteral("2"));
    }
    const double size = font.pointSizeF() > 0 ? font.pointSizeF() : 12;
    w.writeEmptyElement(QStringLiteral("w:sz"));
    w.writeAttribute(QStringLiteral("w:val"), n(std::lround(size * 2)));
    w.writeEndElement();
    w.writeEndElement();
    w.writeStartElement(QStringLiteral("w:pPrDefault"));
    w.writeStartElement(QStringLiteral("w:pPr"));
    w.writeEmptyElement(QStringLiteral("w:spacing"));
    w.writeAttribute(QStringLiteral("w:after"), QStringLiteral("0"));
    w.writeAttribute(QStringLiteral("w:line"), QStringLiteral("240"));
    w.writeAttribute(QStringLiteral("w:lineRule"), QStringLiteral("auto"));
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndElement(); // docDefaults
    auto style = [&](const char* type, const char* id, const char* name) {
        w.writeStartElement(QStringLiteral("w:style"));
        w.writeAttribute(QStringLiteral("w:type"), QLatin1String(type));
        w.writeAttribute(QStringLiteral("w:default"), QStringLiteral("1"));
        w.writeAttribute(QStringLiteral("w:styleId"), QLatin1String(id));
        w.writeEmptyElement(QStringLiteral("w:name"));
        w.writeAttribute(QStringLiteral("w:val"), QLatin1String(name));
    };
    style("paragraph", "Normal", "Normal");
    w.writeEndElement();
    style("character", "DefaultParagraphFont", "Default Paragraph Font");
    w.writeEndElement();
    style("table", "TableNormal", "Normal Table");
    w.writeStartElement(QStringLiteral("w:tblPr"));
    w.writeStartElement(QStringLiteral("w:tblCellMar"));
    for (const auto& [side, width] : {std::pair{"w:top", 0}, std::pair{"w:left", 108},
                                      std::pair{"w:bottom", 0}, std::pair{"w:right", 108}}) {
        w.writeEmptyElement(QLatin1String(side));
        w.writeAttribute(QStringLiteral("w:w"), n(width));
        w.writeAttribute(QStringLiteral("w:type"), QStringLiteral("dxa"));
    }
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndDocument();
    return bytes;
}

QByteArray Writer::settingsXml() {
    QByteArray bytes;
    QXmlStreamWriter w(&bytes);
    w.writeStartDocument(QStringLiteral("1.0"), true);
    w.writeStartElement(QStringLiteral("w:settings"));
    w.writeAttribute(QStringLiteral("xmlns:w"), W);
    w.writeEmptyElement(QStringLiteral("w:defaultTabStop"));
    w.writeAttribute(QStringLiteral("w:val"), QStringLiteral("720"));
    w.writeStartElement(QStringLiteral("w:compat"));
    w.writeEmptyElement(QStringLiteral("w:compatSetting"));
    w.writeAttribute(QStringLiteral("w:name"), QStringLiteral("compatibilityMode"));
    w.writeAttribute(QStringLiteral("w:uri"),
                     QStringLiteral("http://schemas.microsoft.com/office/word"));
    w.writeAttribute(QStringLiteral("w:val"), QStringLiteral("15"));
    w.writeEndElement();
    w.writeEndDocument();
    return bytes;
}

QByteArray Writer::coreXml() {
    QByteArray bytes;
    QXmlStreamWriter w(&bytes);
    w.writeStartDocument(QStringLiteral("1.0"), true);
    w.writeStartElement(QStringLiteral("cp:coreProperties"));
    w.writeAttribute(
        QStringLiteral("xmlns:cp"),
        QStringLiteral("http://schemas.openxmlformats.org/package/2006/metadata/core-properties"));
    w.writeAttribute(QStringLiteral("xmlns:dc"),
                     QStringLiteral("http://purl.org/dc/elements/1.1/"));
    static const std::pair<const char*, const QString*> items[] = {
        {"dc:title", &info::Title},          {"dc:subject", &info::Subject},
        {"dc:creator", &info::Author},       {"cp:keywords", &info::Keywords},
        {"dc:description", &info::Comments}, {"cp:category", &info::Category}};
    for (const auto& [element, key] : items) {
        const QString v = parts.info.value(*key);
        if (!v.isEmpty())
            w.writeTextElement(QLatin1String(element), v);
    }
    w.writeEndDocument();
    return bytes;
}

QByteArray Writer::appXml() {
    QByteArray bytes;
    QXmlStreamWriter w(&bytes);
    w.writeStartDocument(QStringLiteral("1.0"), true);
    w.writeStartElement(QStringLiteral("Properties"));
    w.writeDefaultNamespace(QStringLiteral(
        "http://schemas.openxmlformats.org/officeDocument/2006/extended-properties"));
    w.writeTextElement(QStringLiteral("Application"), QStringLiteral("wp"));
    if (const QString v = parts.info.value(info::Manager); !v.isEmpty())
        w.writeTextElement(QStringLiteral("Manager"), v);
    if (const QString v = parts.info.value(info::Company); !v.isEmpty())
        w.writeTextElement(QStringLiteral("Company"), v);
    w.writeEndDocument();
    return bytes;
}

void Writer::sectionProps(const std::array<QString, 4>& refs) {
    QXmlStreamWriter& w = *xml;
    const PageFormat& pf = parts.page;
    w.writeStartElement(QStringLiteral("w:sectPr"));
    static const char* const kinds[] = {"w:headerReference", "w:headerReference",
                                        "w:footerReference", "w:footerReference"};
    for (int i = 0; i < 4; ++i) {
        if (refs[size_t(i)].isEmpty())
            continue;
        w.writeEmptyElement(QLatin1String(kinds[i]));
        w.writeAttribute(QStringLiteral("w:type"),
                         i % 2 ? QStringLiteral("first") : QStringLiteral("default"));
        w.writeAttribute(QStringLiteral("r:id"), refs[size_t(i)]);
    }
    w.writeEmptyElement(QStringLiteral("w:pgSz"));
    w.writeAttribute(QStringLiteral("w:w"), n(pf.width));
    w.writeAttribute(QStringLiteral("w:h"), n(pf.height));
    if (pf.width > pf.height)
        w.writeAttribute(QStringLiteral("w:orient"), QStringLiteral("landscape"));
    w.writeEmptyElement(QStringLiteral("w:pgMar"));
    w.writeAttribute(QStringLiteral("w:top"), n(pf.marginT));
    w.writeAttribute(QStringLiteral("w:right"), n(pf.marginR));
    w.writeAttribute(QStringLiteral("w:bottom"), n(pf.marginB));
    w.writeAttribute(QStringLiteral("w:left"), n(pf.marginL));
    w.writeAttribute(QStringLiteral("w:header"), n(std::llround(pf.headerPosition)));
    w.writeAttribute(QStringLiteral("w:footer"), n(std::llround(pf.footerPosition)));
    w.writeAttribute(QStringLiteral("w:gutter"), QStringLiteral("0"));
    if (pf.headerFooter & (hf::FirstPageHeader | hf::FirstPageFooter))
        w.writeEmptyElement(QStringLiteral("w:titlePg"));
    w.writeEndElement();
}

void Writer::documentPart(QXmlStreamWriter& w, const QTextDocument* d, const char* root,
                          std::vector<std::pair<QString, QString>>& partRels, bool body) {
    xml = &w;
    rels = &partRels;
    doc = d;
    w.writeStartDocument(QStringLiteral("1.0"), true);
    w.writeStartElement(QLatin1String(root));
    rootNamespaces(w);
    if (body)
        w.writeStartElement(QStringLiteral("w:body"));
    const double textWidth = double(
        std::max<qint64>(1440, qint64(parts.page.width) - parts.page.marginL - parts.page.marginR));
    content(d->rootFrame()->begin(), textWidth, 0);
    // The caller ends the document (the body after its section).
}

QByteArray Writer::write() {
    std::vector<std::pair<QString, QString>> docRels;
    docRels.emplace_back(QStringLiteral("styles"), QStringLiteral("styles.xml"));
    docRels.emplace_back(QStringLiteral("settings"), QStringLiteral("settings.xml"));

    // Headers and footers first: their pictures and lists are theirs.
    std::array<QString, 4> refs;
    std::vector<QString> headers, footers;
    std::vector<std::pair<QString, QByteArray>> hfParts;
    for (int i = 0; i < docmodel::HeaderFooterCount; ++i) {
        if (!(parts.page.headerFooter & docmodel::hfFlag(i)) || !parts.headerFooter[size_t(i)])
            continue;
        const bool footer = i >= 2;
        const QString name = QStringLiteral("%1%2.xml")
                                 .arg(footer ? QStringLiteral("footer") : QStringLiteral("header"))
                                 .arg(i % 2 + 1);
        std::vector<std::pair<QString, QString>> partRels;
        QByteArray bytes;
        QXmlStreamWriter w(&bytes);
        documentPart(w, parts.headerFooter[size_t(i)], footer ? "w:ftr" : "w:hdr", partRels, false);
        w.writeEndDocument();
        xml = nullptr;
        (footer ? footers : headers).push_back(QStringLiteral("word/") + name);
        hfParts.emplace_back(QStringLiteral("word/") + name, std::move(bytes));
        if (!partRels.empty())
            hfParts.emplace_back(QStringLiteral("word/_rels/") + name + QStringLiteral(".rels"),
                                 relationshipsXml(partRels));
        rels = &docRels;
        refs[size_t(i)] =
            addRelationship(footer ? QStringLiteral("footer") : QStringLiteral("header"), name);
    }
    QByteArray document;
    document.reserve(parts.body->characterCount() * 8 + 4096);
    QXmlStreamWriter w(&document);
    documentPart(w, parts.body, "w:document", docRels, true);
    sectionProps(refs);
    w.writeEndDocument();
    xml = nullptr;
    if (!lists.empty()) {
        rels = &docRels;
        addRelationship(QStringLiteral("numbering"), QStringLiteral("numbering.xml"));
    }

    package.add(QStringLiteral("[Content_Types].xml"), contentTypesXml(headers, footers));
    std::vector<std::pair<QString, QString>> packageRels{
        {QStringLiteral("officeDocument"), QStringLiteral("word/document.xml")},
        {QStringLiteral("http://schemas.openxmlformats.org/package/2006/relationships/metadata/"
                        "core-properties"),
         QStringLiteral("docProps/core.xml")},
        {QStringLiteral("extended-properties"), QStringLiteral("docProps/app.xml")}};
    package.add(QStringLiteral("_rels/.rels"), relationshipsXml(packageRels));
    package.add(QStringLiteral("word/document.xml"), std::move(document));
    package.add(QStringLiteral("word/_rels/document.xml.rels"), relationshipsXml(docRels));
    package.add(QStringLiteral("word/styles.xml"), stylesXml());
    package.add(QStringLiteral("word/settings.xml"), settingsXml());
    if (!lists.empty())
        package.add(QStringLiteral("word/numbering.xml"), numberingXml());
    for (auto& [name, bytes] : hfParts)
        package.add(name, std::move(bytes));
    package.add(QStringLiteral("docProps/core.xml"), coreXml());
    package.add(QStringLiteral("docProps/app.xml"), appXml());
    for (auto& [name, bytes] : media)
        package.add(name, std::move(bytes), false);
    return package.finish();
}

} // namespace detail

QByteArray write(const docmodel::DocumentParts& parts) {
    detail::Writer writer(parts);
    try {
        return writer.write();
    } catch (const QString& why) {
        raise(err::InvalidProcedureCall, QStringLiteral("DocxWriter"), why);
    }
}

} // namespace wp::DocxWriter
