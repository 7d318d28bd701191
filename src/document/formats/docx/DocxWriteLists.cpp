// Numbering: one abstract definition and one numbering per list of the
// document (the lists of one group share it, one per level), each level as
// its lists say; a level no paragraph uses numbers like the nearest one that
// does, one indent step further in or out.
#include "document/ListMarkers.h"
#include "document/formats/docx/DocxWriterParts.h"

#include <QTextList>
#include <cmath>

namespace wp::DocxWriter::detail {

namespace {

QString n(long long v) {
    return QString::number(v);
}

QString numberFormat(int type) {
    switch (type) {
    case docmodel::UpperRoman:
        return QStringLiteral("upperRoman");
    case docmodel::LowerRoman:
        return QStringLiteral("lowerRoman");
    case docmodel::UpperLetter:
        return QStringLiteral("upperLetter");
    case docmodel::LowerLetter:
        return QStringLiteral("lowerLetter");
    case docmodel::Bullet:
        return QStringLiteral("bullet");
    case docmodel::NoNumber:
        return QStringLiteral("none");
    default:
        return QStringLiteral("decimal");
    }
}

} // namespace

int Writer::listNumber(const QTextList* list) {
    const QTextListFormat f = list->format();
    const int group = f.intProperty(docmodel::ListGroup);
    const std::pair<const void*, int> key =
        group > 0 ? std::pair<const void*, int>(doc, group) : std::pair<const void*, int>(list, 0);
    auto it =
        std::find_if(lists.begin(), lists.end(), [&](const ListOut& l) { return l.key == key; });
    if (it == lists.end()) {
        lists.push_back(ListOut{key, {}});
        it = lists.end() - 1;
    }
    const QTextList*& own = it->levels[size_t(std::clamp(f.intProperty(prop::ListLevel), 0, 8))];
    if (!own)
        own = list;
    return int(it - lists.begin()) + 1;
}

QByteArray Writer::numberingXml() {
    QByteArray bytes;
    QXmlStreamWriter w(&bytes);
    w.writeStartDocument(QStringLiteral("1.0"), true);
    w.writeStartElement(QStringLiteral("w:numbering"));
    rootNamespaces(w);
    for (size_t i = 0; i < lists.size(); ++i) {
        const ListOut& l = lists[i];
        w.writeStartElement(QStringLiteral("w:abstractNum"));
        w.writeAttribute(QStringLiteral("w:abstractNumId"), n(static_cast<long long>(i) + 1));
        w.writeEmptyElement(QStringLiteral("w:multiLevelType"));
        w.writeAttribute(QStringLiteral("w:val"), QStringLiteral("multilevel"));
        int nearest = 0;
        while (nearest < 8 && !l.levels[size_t(nearest)])
            ++nearest;
        for (int level = 0; level < 9; ++level) {
            const QTextList* list = l.levels[size_t(level)];
            int from = level;
            for (int d = 1; !list && d < 9; ++d) {
                from = level - d >= 0 && l.levels[size_t(level - d)] ? level - d : level + d;
                if (from < 9 && l.levels[size_t(from)])
                    list = l.levels[size_t(from)];
            }
            const QTextListFormat f = list ? list->format() : QTextListFormat();
            const int type = docmodel::numberType(f);
            w.writeStartElement(QStringLiteral("w:lvl"));
            w.writeAttribute(QStringLiteral("w:ilvl"), n(level));
            w.writeEmptyElement(QStringLiteral("w:start"));
            w.writeAttribute(QStringLiteral("w:val"),
                             n(from == level && f.hasProperty(docmodel::ListStart)
                                   ? f.intProperty(docmodel::ListStart)
                                   : 1));
            w.writeEmptyElement(QStringLiteral("w:numFmt"));
            w.writeAttribute(QStringLiteral("w:val"), numberFormat(type));
            QString text;
            if (type == docmodel::Bullet) {
                const QString b = f.stringProperty(prop::ListBullet);
                text = b.isEmpty() ? QString(QChar(0x2022)) : b.left(1);
            } else {
                text = from == level ? docmodel::levelText(f).left(60)
                                     : QStringLiteral("%%1.").arg(level + 1);
                if (text.isEmpty())
                    text = QStringLiteral("%%1.").arg(level + 1);
            }
            w.writeEmptyElement(QStringLiteral("w:lvlText"));
            w.writeAttribute(QStringLiteral("w:val"), text);
            w.writeEmptyElement(QStringLiteral("w:lvlJc"));
            w.writeAttribute(QStringLiteral("w:val"), QStringLiteral("left"));
            const QTextList* own = l.levels[size_t(level)];
            const QTextList* shown = own ? own : l.levels[size_t(nearest)];
            const QTextBlockFormat b =
                shown && shown->count() ? shown->item(0).blockFormat() : QTextBlockFormat();
            const long long li = std::max(0LL, std::llround(b.leftMargin()) +
                                                   (own ? 0LL : 360LL * (level - nearest)));
            const long long hang =
                b.hasProperty(docmodel::ListHang)
                    ? std::max(0LL, std::llround(b.doubleProperty(docmodel::ListHang)))
                    : std::min(360LL, li);
            w.writeStartElement(QStringLiteral("w:pPr"));
            w.writeEmptyElement(QStringLiteral("w:ind"));
            w.writeAttribute(QStringLiteral("w:left"), n(li));
            w.writeAttribute(QStringLiteral("w:hanging"), n(std::min(hang, li)));
            w.writeEndElement();
            w.writeEndElement(); // lvl
        }
        w.writeEndElement(); // abstractNum
    }
    for (size_t i = 0; i < lists.size(); ++i) {
        w.writeStartElement(QStringLiteral("w:num"));
        w.writeAttribute(QStringLiteral("w:numId"), n(static_cast<long long>(i) + 1));
        w.writeEmptyElement(QStringLiteral("w:abstractNumId"));
        w.writeAttribute(QStringLiteral("w:val"), n(static_cast<long long>(i) + 1));
        w.writeEndElement();
    }
    w.writeEndDocument();
    return bytes;
}

} // namespace wp::DocxWriter::detail
