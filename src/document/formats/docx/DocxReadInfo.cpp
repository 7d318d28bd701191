// The package's core properties (Dublin Core and OPC) and extended
// properties (the application's): the résumé's eight document properties.
#include "document/formats/docx/DocxTranslator.h"

namespace wp::DocxReader::detail {

void Translator::writeInfo(QByteArray& rtf) {
    // Element of the properties part -> RTF \info destination.
    static const std::pair<const char*, const char*> core[] = {
        {"title", "title"},       {"subject", "subject"},     {"creator", "author"},
        {"keywords", "keywords"}, {"description", "doccomm"}, {"category", "category"}};
    static const std::pair<const char*, const char*> app[] = {{"Manager", "manager"},
                                                              {"Company", "company"}};
    QByteArray info;
    const QHash<QString, Relationship> packageRels = pkg.relationships(QString());
    for (const Relationship& r : packageRels) {
        const bool isCore = r.type == QLatin1String("core-properties");
        if (r.external || (!isCore && r.type != QLatin1String("extended-properties")))
            continue;
        QXmlStreamReader xml(pkg.read(r.target, true));
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.tokenType() == QXmlStreamReader::DTD)
                throw QStringLiteral("part %1 has a document type declaration").arg(r.target);
            if (!xml.isStartElement())
                continue;
            const QString name = xml.name().toString();
            auto take = [&](const auto& table) {
                for (const auto& [element, word] : table)
                    if (name == QLatin1String(element)) {
                        const QString value =
                            xml.readElementText(QXmlStreamReader::SkipChildElements);
                        if (value.trimmed().isEmpty())
                            return;
                        info += "{\\";
                        info += word;
                        info += ' ';
                        text(info, value.left(65536));
                        info += '}';
                        return;
                    }
            };
            if (isCore)
                take(core);
            else
                take(app);
        }
        check(xml, r.target);
    }
    if (!info.isEmpty())
        rtf += "{\\info" + info + "}\n";
}

} // namespace wp::DocxReader::detail
