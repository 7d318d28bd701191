// Drawings: an inline picture becomes an RTF picture of its extent, an
// anchored one a shape placed where the anchor puts it. PNG and JPEG go as
// they are; other pictures Qt can read (GIF, BMP) go as PNG; what cannot be
// drawn (metafiles, charts, SmartArt, text boxes) keeps its place as an
// empty frame of its size.
#include "document/formats/docx/DocxTranslator.h"

#include <QBuffer>
#include <QImage>
#include <algorithm>
#include <cmath>

namespace wp::DocxReader::detail {

namespace {

constexpr long long EmuPerTwip = 635;

long long twipsOfEmu(const QString& v) {
    bool ok = false;
    const long long emu = v.trimmed().toLongLong(&ok);
    return ok ? std::clamp<long long>(emu / EmuPerTwip, -MaxLength, MaxLength) : 0;
}

struct Anchor {
    long long w = 0, h = 0;
    QString rid;
    QString relH = QStringLiteral("column"), relV = QStringLiteral("paragraph");
    QString alignH, alignV;
    long long x = 0, y = 0;
    int wrap = 3, wrapSide = 0;
};

// Reads the children of a drawing's wp:inline or wp:anchor.
void readDrawingObject(QXmlStreamReader& xml, Anchor& a) {
    int open = 1;
    QString positioning; // "H" or "V" while inside wp:positionH / wp:positionV
    while (open > 0 && !xml.atEnd()) {
        xml.readNext();
        if (xml.isEndElement()) {
            --open;
            if (xml.name() == QLatin1String("positionH") ||
                xml.name() == QLatin1String("positionV"))
                positioning.clear();
            continue;
        }
        if (!xml.isStartElement())
            continue;
        ++open;
        const auto n = xml.name();
        if (n == QLatin1String("extent")) {
            a.w = twipsOfEmu(attr(xml, "cx"));
            a.h = twipsOfEmu(attr(xml, "cy"));
        } else if (n == QLatin1String("blip")) {
            if (a.rid.isEmpty())
                a.rid = attr(xml, "embed");
        } else if (n == QLatin1String("positionH")) {
            positioning = QStringLiteral("H");
            a.relH = attr(xml, "relativeFrom");
        } else if (n == QLatin1String("positionV")) {
            positioning = QStringLiteral("V");
            a.relV = attr(xml, "relativeFrom");
        } else if (n == QLatin1String("posOffset") || n == QLatin1String("align")) {
            const bool offset = n == QLatin1String("posOffset");
            const QString t = xml.readElementText(QXmlStreamReader::IncludeChildElements);
            --open;
            if (positioning == QLatin1String("H"))
                offset ? void(a.x = twipsOfEmu(t)) : void(a.alignH = t);
            else if (positioning == QLatin1String("V"))
                offset ? void(a.y = twipsOfEmu(t)) : void(a.alignV = t);
        } else if (n == QLatin1String("wrapNone")) {
            a.wrap = 3;
        } else if (n == QLatin1String("wrapSquare") || n == QLatin1String("wrapTight") ||
                   n == QLatin1String("wrapThrough")) {
            a.wrap = n == QLatin1String("wrapSquare") ? 2 : n == QLatin1String("wrapTight") ? 4 : 5;
            const QString side = attr(xml, "wrapText");
            a.wrapSide = side == QLatin1String("left")      ? 1
                         : side == QLatin1String("right")   ? 2
                         : side == QLatin1String("largest") ? 3
                                                            : 0;
        } else if (n == QLatin1String("wrapTopAndBottom")) {
            a.wrap = 1;
        }
    }
}

} // namespace

void Translator::picture(QByteArray& content, const QString& rid, long long w, long long h) {
    QByteArray data;
    const auto it = rels ? rels->constFind(rid) : QHash<QString, Relationship>::const_iterator();
    if (rels && it != rels->constEnd() && !it->external && it->type == QLatin1String("image"))
        data = pkg.read(it->target, true);
    const bool png = data.startsWith("\x89PNG");
    const bool jpeg = data.startsWith("\xFF\xD8");
    if (!png && !jpeg && !data.isEmpty()) {
        const QImage image = QImage::fromData(data);
        data.clear();
        QBuffer buffer(&data);
        if (!image.isNull() && image.width() <= 16384 && image.height() <= 16384 &&
            buffer.open(QIODevice::WriteOnly))
            image.save(&buffer, "PNG");
    }
    const bool drawable = data.startsWith("\x89PNG") || jpeg;
    content += drawable ? (jpeg ? "{\\pict\\jpegblip" : "{\\pict\\pngblip") : "{\\pict\\wmetafile8";
    num(content, "picwgoal", std::max(1LL, w));
    num(content, "pichgoal", std::max(1LL, h));
    if (drawable) {
        num(content, "bin", data.size());
        content += ' ';
        content += data;
    }
    content += '}';
}

void Translator::drawing(QXmlStreamReader& xml, QByteArray& content) {
    while (xml.readNextStartElement()) {
        const bool anchored = xml.name() == QLatin1String("anchor");
        if (!anchored && xml.name() != QLatin1String("inline")) {
            skip(xml);
            continue;
        }
        Anchor a;
        readDrawingObject(xml, a);
        if (!anchored) {
            picture(content, a.rid, a.w, a.h);
            continue;
        }
        // Placed beside the text: measured from the page, the margin or the
        // column, an alignment turned into an offset.
        const Section& s = sections.empty() ? Section() : sections.front();
        const long long textWidth = pageWidthForText();
        const int relH = a.relH == QLatin1String("page")     ? 0
                         : a.relH == QLatin1String("margin") ? 1
                                                             : 2;
        const int relV = a.relV == QLatin1String("page")     ? 0
                         : a.relV == QLatin1String("margin") ? 1
                                                             : 2;
        const long long room = relH == 0 ? s.page.width : textWidth;
        long long x = a.x;
        if (a.alignH == QLatin1String("right") || a.alignH == QLatin1String("outside"))
            x = room - a.w;
        else if (a.alignH == QLatin1String("center"))
            x = (room - a.w) / 2;
        else if (!a.alignH.isEmpty())
            x = 0;
        const long long y = a.alignV.isEmpty() ? a.y : 0;
        content += "{\\shp{\\*\\shpinst";
        num(content, "shpleft", x);
        num(content, "shptop", y);
        num(content, "shpright", x + a.w);
        num(content, "shpbottom", y + a.h);
        static const char* const bx[] = {"\\shpbxpage", "\\shpbxmargin", "\\shpbxcolumn"};
        static const char* const by[] = {"\\shpbypage", "\\shpbymargin", "\\shpbypara"};
        content += bx[relH];
        content += by[relV];
        num(content, "shpwr", a.wrap);
        num(content, "shpwrk", a.wrapSide);
        content += "{\\sp{\\sn pib}{\\sv ";
        picture(content, a.rid, a.w, a.h);
        content += "}}}}";
    }
}

void Translator::vmlPicture(QXmlStreamReader& xml, QByteArray& content) {
    // A VML shape: its size from its style ("width:120pt;height:80pt").
    QString rid;
    double w = 0, h = 0;
    int open = 1;
    while (open > 0 && !xml.atEnd()) {
        xml.readNext();
        if (xml.isEndElement()) {
            --open;
            continue;
        }
        if (!xml.isStartElement())
            continue;
        ++open;
        if (xml.name() == QLatin1String("shape") && w == 0) {
            for (const QString& item : attr(xml, "style").split(QLatin1Char(';'))) {
                const QString key = item.section(QLatin1Char(':'), 0, 0).trimmed();
                QString value = item.section(QLatin1Char(':'), 1).trimmed();
                double factor = 20; // points
                if (value.endsWith(QLatin1String("in")))
                    factor = 1440;
                else if (value.endsWith(QLatin1String("cm")))
                    factor = 567;
                value.chop(2);
                const double v = std::clamp(value.toDouble() * factor, 0.0, double(MaxLength));
                if (key == QLatin1String("width"))
                    w = v;
                else if (key == QLatin1String("height"))
                    h = v;
            }
        } else if (xml.name() == QLatin1String("imagedata") && rid.isEmpty()) {
            rid = attr(xml, "id");
        }
    }
    if (w > 0 && h > 0)
        picture(content, rid, std::llround(w), std::llround(h));
}

} // namespace wp::DocxReader::detail
