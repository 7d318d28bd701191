// Paragraphs, runs, fields and pictures of the body, a header or a footer.
#include "document/ListMarkers.h"
#include "document/Metafile.h"
#include "document/Pictures.h"
#include "document/formats/docx/DocxWriterParts.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QTextDocument>
#include <QTextList>
#include <QTextTable>
#include <cmath>

namespace wp::DocxWriter::detail {

namespace {

QString n(long long v) {
    return QString::number(v);
}

long long twips(double v) {
    return std::llround(v);
}

QString hex(const QColor& c) {
    return QStringLiteral("%1%2%3")
        .arg(c.red(), 2, 16, QLatin1Char('0'))
        .arg(c.green(), 2, 16, QLatin1Char('0'))
        .arg(c.blue(), 2, 16, QLatin1Char('0'))
        .toUpper();
}

// Word's highlight colours: a background of one of these is a highlight,
// any other is a shading.
const char* highlightName(QRgb rgb) {
    static const std::pair<QRgb, const char*> names[] = {
        {0xFFFF00, "yellow"},      {0x00FF00, "green"},     {0x00FFFF, "cyan"},
        {0xFF00FF, "magenta"},     {0x0000FF, "blue"},      {0xFF0000, "red"},
        {0x000080, "darkBlue"},    {0x008080, "darkCyan"},  {0x008000, "darkGreen"},
        {0x800080, "darkMagenta"}, {0x800000, "darkRed"},   {0x808000, "darkYellow"},
        {0x808080, "darkGray"},    {0xC0C0C0, "lightGray"}, {0x000000, "black"}};
    for (const auto& [value, name] : names)
        if ((rgb & 0xFFFFFF) == value)
            return name;
    return nullptr;
}

} // namespace

void Writer::content(QTextFrame::iterator it, double textWidth, int depth) {
    // Tables deeper than we nest give their cells' paragraphs in order.
    const auto items = docmodel::frameItems(it, depth < MaxTableDepth);
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i].second) {
            table(items[i].second, textWidth, depth + 1);
            // Word needs a paragraph after a table in a cell or at the end.
            if (i + 1 == items.size() && depth > 0)
                xml->writeEmptyElement(QStringLiteral("w:p"));
        } else {
            // Word documents take the larger of one paragraph's space after
            // and the next one's space before, where we add them: the gap
            // goes before the next paragraph (its top margin holds it all).
            const bool gapAfter = i + 1 < items.size() && !items[i + 1].second;
            paragraph(items[i].first, gapAfter);
        }
    }
    if (items.empty() || (depth == 0 && items.back().second))
        xml->writeEmptyElement(QStringLiteral("w:p"));
}

void Writer::paragraphProps(const QTextBlock& b, const QTextBlockFormat& bf, const QTextList* list,
                            bool gapAfter) {
    QXmlStreamWriter& w = *xml;
    w.writeStartElement(QStringLiteral("w:pPr"));
    if (bf.boolProperty(prop::KeepWithNext))
        w.writeEmptyElement(QStringLiteral("w:keepNext"));
    if (bf.boolProperty(prop::KeepTogether))
        w.writeEmptyElement(QStringLiteral("w:keepLines"));
    if (bf.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore)
        w.writeEmptyElement(QStringLiteral("w:pageBreakBefore"));
    w.writeEmptyElement(QStringLiteral("w:widowControl"));
    w.writeAttribute(QStringLiteral("w:val"), bf.boolProperty(docmodel::WidowControl)
                                                  ? QStringLiteral("1")
                                                  : QStringLiteral("0"));
    if (list) {
        w.writeStartElement(QStringLiteral("w:numPr"));
        w.writeEmptyElement(QStringLiteral("w:ilvl"));
        w.writeAttribute(QStringLiteral("w:val"),
                         n(std::clamp(list->format().intProperty(prop::ListLevel), 0, 8)));
        w.writeEmptyElement(QStringLiteral("w:numId"));
        w.writeAttribute(QStringLiteral("w:val"), n(listNumber(list)));
        w.writeEndElement();
    }
    const QList<QTextOption::Tab> tabs = docmodel::wordTabs(bf);
    if (!tabs.isEmpty()) {
        w.writeStartElement(QStringLiteral("w:tabs"));
        for (const QTextOption::Tab& tab : tabs) {
            w.writeEmptyElement(QStringLiteral("w:tab"));
            w.writeAttribute(QStringLiteral("w:val"),
                             tab.type == QTextOption::RightTab       ? QStringLiteral("right")
                             : tab.type == QTextOption::CenterTab    ? QStringLiteral("center")
                             : tab.type == QTextOption::DelimiterTab ? QStringLiteral("decimal")
                                                                     : QStringLiteral("left"));
            w.writeAttribute(QStringLiteral("w:pos"), n(twips(tab.position * TwipsPerPixel)));
        }
        w.writeEndElement();
    }
    if (bf.layoutDirection() == Qt::RightToLeft)
        w.writeEmptyElement(QStringLiteral("w:bidi"));
    // Space before and after and line heights are 1/96 inch; the top margin
    // carries the space after of the paragraph before (SpaceAbove), and a
    // paragraph that a paragraph follows leaves the gap to that one.
    w.writeEmptyElement(QStringLiteral("w:spacing"));
    w.writeAttribute(QStringLiteral("w:before"),
                     n(std::max(0LL, twips(bf.topMargin() * TwipsPerPixel))));
    w.writeAttribute(QStringLiteral("w:after"),
                     gapAfter ? QStringLiteral("0")
                              : n(std::max(0LL, twips(bf.bottomMargin() * TwipsPerPixel))));
    switch (bf.lineHeightType()) {
    case QTextBlockFormat::ProportionalHeight:
        w.writeAttribute(QStringLiteral("w:line"), n(std::lround(bf.lineHeight() * 240 / 100)));
        w.writeAttribute(QStringLiteral("w:lineRule"), QStringLiteral("auto"));
        break;
    case QTextBlockFormat::MinimumHeight:
        w.writeAttribute(QStringLiteral("w:line"), n(twips(bf.lineHeight() * TwipsPerPixel)));
        w.writeAttribute(QStringLiteral("w:lineRule"), QStringLiteral("atLeast"));
        break;
    case QTextBlockFormat::FixedHeight:
        w.writeAttribute(QStringLiteral("w:line"), n(twips(bf.lineHeight() * TwipsPerPixel)));
        w.writeAttribute(QStringLiteral("w:lineRule"), QStringLiteral("exact"));
        break;
    default:
        break;
    }
    w.writeEmptyElement(QStringLiteral("w:ind"));
    w.writeAttribute(QStringLiteral("w:left"), n(twips(bf.leftMargin())));
    w.writeAttribute(QStringLiteral("w:right"), n(twips(docmodel::ownRightMargin(bf))));
    if (list) {
        // The number hangs left of the text by ListHang (see the RTF writer).
        const long long hang = bf.hasProperty(docmodel::ListHang)
                                   ? std::max(0LL, twips(bf.doubleProperty(docmodel::ListHang)))
                                   : std::min(360LL, std::max(0LL, twips(bf.leftMargin())));
        w.writeAttribute(QStringLiteral("w:hanging"), n(hang));
    } else if (const long long fi = twips(bf.textIndent()); fi >= 0) {
        w.writeAttribute(QStringLiteral("w:firstLine"), n(fi));
    } else {
        w.writeAttribute(QStringLiteral("w:hanging"), n(-fi));
    }
    const Qt::Alignment a = bf.alignment() & Qt::AlignHorizontal_Mask;
    if (a & (Qt::AlignHCenter | Qt::AlignJustify | Qt::AlignRight | Qt::AlignTrailing)) {
        w.writeEmptyElement(QStringLiteral("w:jc"));
        w.writeAttribute(QStringLiteral("w:val"), a & Qt::AlignHCenter   ? QStringLiteral("center")
                                                  : a & Qt::AlignJustify ? QStringLiteral("both")
                                                                         : QStringLiteral("right"));
    }
    // The paragraph mark takes the format of the paragraph's first run, so
    // that an empty paragraph keeps its height.
    const auto first = b.begin();
    if (!first.atEnd())
        runProps(first.fragment().charFormat());
    else
        runProps(b.charFormat());
    w.writeEndElement();
}

void Writer::runProps(const QTextCharFormat& f) {
    QXmlStreamWriter& w = *xml;
    w.writeStartElement(QStringLiteral("w:rPr"));
    const QStringList families = f.fontFamilies().toStringList();
    if (!families.isEmpty() && !families.front().isEmpty()) {
        w.writeEmptyElement(QStringLiteral("w:rFonts"));
        for (const char* a : {"w:ascii", "w:hAnsi", "w:cs", "w:eastAsia"})
            w.writeAttribute(QLatin1String(a), families.front());
    }
    if (f.fontWeight() >= QFont::DemiBold)
        w.writeEmptyElement(QStringLiteral("w:b"));
    if (f.fontItalic())
        w.writeEmptyElement(QStringLiteral("w:i"));
    const auto [capitalization, size] = docmodel::fileCase(f);
    if (capitalization == QFont::AllUppercase)
        w.writeEmptyElement(QStringLiteral("w:caps"));
    else if (capitalization == QFont::SmallCaps)
        w.writeEmptyElement(QStringLiteral("w:smallCaps"));
    if (f.fontStrikeOut())
        w.writeEmptyElement(QStringLiteral("w:strike"));
    if (f.foreground().style() != Qt::NoBrush) {
        w.writeEmptyElement(QStringLiteral("w:color"));
        w.writeAttribute(QStringLiteral("w:val"), hex(f.foreground().color()));
    }
    if (size > 0) {
        w.writeEmptyElement(QStringLiteral("w:sz"));
        w.writeAttribute(QStringLiteral("w:val"), n(std::lround(size * 2)));
    }
    const char* highlight = nullptr;
    if (f.background().style() != Qt::NoBrush) {
        highlight = highlightName(f.background().color().rgb());
        if (highlight) {
            w.writeEmptyElement(QStringLiteral("w:highlight"));
            w.writeAttribute(QStringLiteral("w:val"), QLatin1String(highlight));
        }
    }
    QString underline;
    switch (f.underlineStyle()) {
    case QTextCharFormat::NoUnderline:
        if (f.fontUnderline())
            underline = QStringLiteral("single");
        break;
    case QTextCharFormat::DashUnderline:
        underline = QStringLiteral("dash");
        break;
    case QTextCharFormat::DotLine:
        underline = QStringLiteral("dotted");
        break;
    case QTextCharFormat::WaveUnderline:
        underline = QStringLiteral("wave");
        break;
    default:
        underline = QStringLiteral("single");
    }
    if (!underline.isEmpty()) {
        w.writeEmptyElement(QStringLiteral("w:u"));
        w.writeAttribute(QStringLiteral("w:val"), underline);
    }
    if (f.background().style() != Qt::NoBrush && !highlight) {
        w.writeEmptyElement(QStringLiteral("w:shd"));
        w.writeAttribute(QStringLiteral("w:val"), QStringLiteral("clear"));
        w.writeAttribute(QStringLiteral("w:color"), QStringLiteral("auto"));
        w.writeAttribute(QStringLiteral("w:fill"), hex(f.background().color()));
    }
    if (f.verticalAlignment() == QTextCharFormat::AlignSuperScript ||
        f.verticalAlignment() == QTextCharFormat::AlignSubScript) {
        w.writeEmptyElement(QStringLiteral("w:vertAlign"));
        w.writeAttribute(QStringLiteral("w:val"),
                         f.verticalAlignment() == QTextCharFormat::AlignSuperScript
                             ? QStringLiteral("superscript")
                             : QStringLiteral("subscript"));
    }
    w.writeEndElement();
}

void Writer::runText(const QTextCharFormat& f, QStringView s) {
    QXmlStreamWriter& w = *xml;
    w.writeStartElement(QStringLiteral("w:r"));
    runProps(f);
    QString chunk;
    auto flush = [&] {
        if (chunk.isEmpty())
            return;
        w.writeStartElement(QStringLiteral("w:t"));
        if (chunk.front().isSpace() || chunk.back().isSpace())
            w.writeAttribute(QStringLiteral("xml:space"), QStringLiteral("preserve"));
        w.writeCharacters(chunk);
        w.writeEndElement();
        chunk.clear();
    };
    for (const QChar qc : s) {
        const char16_t ch = qc.unicode();
        if (ch == '\t') {
            flush();
            w.writeEmptyElement(QStringLiteral("w:tab"));
        } else if (ch == 0x2028 || ch == 0x2029 || ch == '\n' || ch == '\r') {
            flush();
            w.writeEmptyElement(QStringLiteral("w:br"));
        } else if (ch == 0x00AD) {
            flush();
            w.writeEmptyElement(QStringLiteral("w:softHyphen"));
        } else if (ch == 0x2011) {
            flush();
            w.writeEmptyElement(QStringLiteral("w:noBreakHyphen"));
        } else if (ch == EmptyFieldMark || ch == 0xFFFC || ch == 0xFDD0 || ch == 0xFDD1 ||
                   ch < 0x20) {
            // no text of its own
        } else {
            chunk += qc;
        }
    }
    flush();
    w.writeEndElement();
}

void Writer::fieldBegin(const QString& instruction, int id, int bookmark) {
    QXmlStreamWriter& w = *xml;
    if (id > 0) {
        w.writeEmptyElement(QStringLiteral("w:bookmarkStart"));
        w.writeAttribute(QStringLiteral("w:id"), n(bookmark));
        w.writeAttribute(QStringLiteral("w:name"), QStringLiteral("_wpField%1").arg(id));
    }
    w.writeStartElement(QStringLiteral("w:r"));
    w.writeEmptyElement(QStringLiteral("w:fldChar"));
    w.writeAttribute(QStringLiteral("w:fldCharType"), QStringLiteral("begin"));
    w.writeEndElement();
    w.writeStartElement(QStringLiteral("w:r"));
    w.writeStartElement(QStringLiteral("w:instrText"));
    w.writeAttribute(QStringLiteral("xml:space"), QStringLiteral("preserve"));
    w.writeCharacters(QLatin1Char(' ') + instruction + QLatin1Char(' '));
    w.writeEndElement();
    w.writeEndElement();
}

void Writer::fieldSeparate() {
    QXmlStreamWriter& w = *xml;
    w.writeStartElement(QStringLiteral("w:r"));
    w.writeEmptyElement(QStringLiteral("w:fldChar"));
    w.writeAttribute(QStringLiteral("w:fldCharType"), QStringLiteral("separate"));
    w.writeEndElement();
}

void Writer::fieldEnd(int bookmark) {
    QXmlStreamWriter& w = *xml;
    w.writeStartElement(QStringLiteral("w:r"));
    w.writeEmptyElement(QStringLiteral("w:fldChar"));
    w.writeAttribute(QStringLiteral("w:fldCharType"), QStringLiteral("end"));
    w.writeEndElement();
    if (bookmark >= 0) {
        w.writeEmptyElement(QStringLiteral("w:bookmarkEnd"));
        w.writeAttribute(QStringLiteral("w:id"), n(bookmark));
    }
}

void Writer::paragraph(const QTextBlock& b, bool gapAfter) {
    QXmlStreamWriter& w = *xml;
    const QTextList* list = b.textList();
    const std::vector<const QTextFrame*> floats = docmodel::floatsBefore(b);
    const QTextBlockFormat bf = docmodel::writtenBlockFormat(b, floats);
    w.writeStartElement(QStringLiteral("w:p"));
    paragraphProps(b, bf, list, gapAfter);
    if (pendingTableId > 0) {
        // The table's id: a hidden bookmark in its first paragraph.
        w.writeEmptyElement(QStringLiteral("w:bookmarkStart"));
        w.writeAttribute(QStringLiteral("w:id"), n(bookmarkCount));
        w.writeAttribute(QStringLiteral("w:name"),
                         QStringLiteral("_wpTable%1").arg(pendingTableId));
        w.writeEmptyElement(QStringLiteral("w:bookmarkEnd"));
        w.writeAttribute(QStringLiteral("w:id"), n(bookmarkCount++));
        pendingTableId = 0;
    }
    for (const QTextFrame* f : floats) {
        for (QTextFrame::iterator it = f->begin(); !it.atEnd(); ++it)
            for (auto frag = it.currentBlock().begin(); !frag.atEnd(); ++frag)
                if (frag.fragment().charFormat().isImageFormat()) {
                    const QTextFrameFormat ff = f->frameFormat();
                    picture(frag.fragment().charFormat().toImageFormat(), &ff);
                }
    }
    int openField = 0, openBookmark = -1;
    for (auto it = b.begin(); !it.atEnd(); ++it) {
        const QTextFragment frag = it.fragment();
        const QTextCharFormat f = frag.charFormat();
        const int field = f.intProperty(prop::FieldId);
        if (field != openField) {
            if (openField)
                fieldEnd(openBookmark);
            openBookmark = -1;
            if (field) {
                // MERGEFIELD with the field's name; its text is the result.
                QString name = f.stringProperty(prop::FieldData);
                name.remove(QLatin1Char('"'));
                if (name.isEmpty() || name.contains(QLatin1Char(' ')))
                    name = QLatin1Char('"') + name + QLatin1Char('"');
                openBookmark = bookmarkCount++;
                fieldBegin(QStringLiteral("MERGEFIELD ") + name, field, openBookmark);
                fieldSeparate();
            }
            openField = field;
        }
        static constexpr const char* pageFields[] = {"", "PAGE", "NUMPAGES", "SECTIONPAGES"};
        const int pageField = f.intProperty(docmodel::PageFieldKind);
        const bool isPageField = pageField > 0 && pageField < 4;
        if (isPageField) {
            fieldBegin(QLatin1String(pageFields[pageField]), 0, -1);
            fieldSeparate();
        }
        if (f.isImageFormat()) {
            for (QChar ch : frag.text())
                if (ch == QChar::ObjectReplacementCharacter)
                    picture(f.toImageFormat(), nullptr);
        } else {
            runText(f, frag.text());
        }
        if (isPageField)
            fieldEnd(-1);
    }
    if (openField)
        fieldEnd(openBookmark);
    w.writeEndElement();
}

void Writer::picture(const QTextImageFormat& f, const QTextFrameFormat* floating) {
    QByteArray data = f.property(prop::ImageData).toByteArray();
    if (!f.hasProperty(prop::ImageData) || docmodel::pictureCrop(f).isValid() ||
        docmodel::metafileKind(data) != docmodel::MetafileKind::None) {
        // An image the document holds as a resource only, a metafile or a
        // cropped picture: the image the document shows.
        data.clear();
        const QImage image =
            doc->resource(QTextDocument::ImageResource, QUrl(f.name())).value<QImage>();
        QBuffer buffer(&data);
        if (!image.isNull() && buffer.open(QIODevice::WriteOnly))
            image.save(&buffer, "PNG");
    }
    bool jpeg = data.startsWith("\xFF\xD8");
    if (!jpeg && !data.startsWith("\x89PNG")) {
        // A picture we cannot draw keeps its size as a transparent frame.
        QImage empty(1, 1, QImage::Format_ARGB32);
        empty.fill(Qt::transparent);
        data.clear();
        QBuffer buffer(&data);
        buffer.open(QIODevice::WriteOnly);
        empty.save(&buffer, "PNG");
    }
    QSize pixels;
    {
        QBuffer buffer(&data);
        buffer.open(QIODevice::ReadOnly);
        pixels = QImageReader(&buffer).size();
    }
    const double wPx = f.hasProperty(QTextFormat::ImageWidth) ? f.width() : pixels.width();
    const double hPx = f.hasProperty(QTextFormat::ImageHeight) ? f.height() : pixels.height();
    const QString cx = n(std::max(1LL, std::llround(wPx * EmuPerPixel)));
    const QString cy = n(std::max(1LL, std::llround(hPx * EmuPerPixel)));
    const QString name =
        QStringLiteral("image%1.%2").arg(++mediaCount).arg(jpeg ? u"jpeg" : u"png");
    media.emplace_back(QStringLiteral("word/media/") + name, data);
    const QString rid = addRelationship(QStringLiteral("image"), QStringLiteral("media/") + name);
    const QString id = n(++drawingCount);

    QXmlStreamWriter& w = *xml;
    w.writeStartElement(QStringLiteral("w:r"));
    w.writeStartElement(QStringLiteral("w:drawing"));
    if (floating) {
        // Placed as read: the sides in twips from the page, margin or column.
        const QTextFrameFormat& ff = *floating;
        static const char* const relH[] = {"page", "margin", "column"};
        static const char* const relV[] = {"page", "margin", "paragraph"};
        w.writeStartElement(QStringLiteral("wp:anchor"));
        // Text runs up to the picture's sides, as our layout wraps it.
        for (const char* a : {"distT", "distB", "distL", "distR"})
            w.writeAttribute(QLatin1String(a), QStringLiteral("0"));
        w.writeAttribute(QStringLiteral("simplePos"), QStringLiteral("0"));
        w.writeAttribute(QStringLiteral("relativeHeight"), id);
        w.writeAttribute(QStringLiteral("behindDoc"), QStringLiteral("0"));
        w.writeAttribute(QStringLiteral("locked"), QStringLiteral("0"));
        w.writeAttribute(QStringLiteral("layoutInCell"), QStringLiteral("1"));
        w.writeAttribute(QStringLiteral("allowOverlap"), QStringLiteral("1"));
        w.writeEmptyElement(QStringLiteral("wp:simplePos"));
        w.writeAttribute(QStringLiteral("x"), QStringLiteral("0"));
        w.writeAttribute(QStringLiteral("y"), QStringLiteral("0"));
        w.writeStartElement(QStringLiteral("wp:positionH"));
        w.writeAttribute(
            QStringLiteral("relativeFrom"),
            QLatin1String(relH[std::clamp(ff.intProperty(docmodel::FloatRelH), 0, 2)]));
        w.writeTextElement(QStringLiteral("wp:posOffset"),
                           n(ff.intProperty(docmodel::FloatLeft) * 635LL));
        w.writeEndElement();
        w.writeStartElement(QStringLiteral("wp:positionV"));
        w.writeAttribute(
            QStringLiteral("relativeFrom"),
            QLatin1String(relV[std::clamp(ff.intProperty(docmodel::FloatRelV), 0, 2)]));
        w.writeTextElement(QStringLiteral("wp:posOffset"),
                           n(ff.intProperty(docmodel::FloatTop) * 635LL));
        w.writeEndElement();
    } else {
        w.writeStartElement(QStringLiteral("wp:inline"));
        for (const char* a : {"distT", "distB", "distL", "distR"})
            w.writeAttribute(QLatin1String(a), QStringLiteral("0"));
    }
    w.writeEmptyElement(QStringLiteral("wp:extent"));
    w.writeAttribute(QStringLiteral("cx"), cx);
    w.writeAttribute(QStringLiteral("cy"), cy);
    if (floating) {
        const int wrap = std::clamp(floating->intProperty(docmodel::FloatWrap), 1, 5);
        static const char* const wraps[] = {"",
                                            "wp:wrapTopAndBottom",
                                            "wp:wrapSquare",
                                            "wp:wrapNone",
                                            "wp:wrapTight",
                                            "wp:wrapThrough"};
        static const char* const sides[] = {"bothSides", "left", "right", "largest"};
        w.writeStartElement(QLatin1String(wraps[wrap]));
        if (wrap == 2 || wrap == 4 || wrap == 5)
            w.writeAttribute(
                QStringLiteral("wrapText"),
                QLatin1String(
                    sides[std::clamp(floating->intProperty(docmodel::FloatWrapSide), 0, 3)]));
        if (wrap == 4 || wrap == 5) {
            // A tight wrap needs its polygon: the picture's rectangle.
            w.writeStartElement(QStringLiteral("wp:wrapPolygon"));
            w.writeAttribute(QStringLiteral("edited"), QStringLiteral("0"));
            w.writeEmptyElement(QStringLiteral("wp:start"));
            w.writeAttribute(QStringLiteral("x"), QStringLiteral("0"));
            w.writeAttribute(QStringLiteral("y"), QStringLiteral("0"));
            for (const auto& [x, y] : {std::pair{"21600", "0"}, std::pair{"21600", "21600"},
                                       std::pair{"0", "21600"}, std::pair{"0", "0"}}) {
                w.writeEmptyElement(QStringLiteral("wp:lineTo"));
                w.writeAttribute(QStringLiteral("x"), QLatin1String(x));
                w.writeAttribute(QStringLiteral("y"), QLatin1String(y));
            }
            w.writeEndElement();
        }
        w.writeEndElement();
    }
    w.writeEmptyElement(QStringLiteral("wp:docPr"));
    w.writeAttribute(QStringLiteral("id"), id);
    w.writeAttribute(QStringLiteral("name"), QStringLiteral("Picture %1").arg(id));
    w.writeStartElement(QStringLiteral("a:graphic"));
    w.writeStartElement(QStringLiteral("a:graphicData"));
    w.writeAttribute(QStringLiteral("uri"),
                     QStringLiteral("http://schemas.openxmlformats.org/drawingml/2006/picture"));
    w.writeStartElement(QStringLiteral("pic:pic"));
    w.writeStartElement(QStringLiteral("pic:nvPicPr"));
    w.writeEmptyElement(QStringLiteral("pic:cNvPr"));
    w.writeAttribute(QStringLiteral("id"), id);
    w.writeAttribute(QStringLiteral("name"), name);
    w.writeEmptyElement(QStringLiteral("pic:cNvPicPr"));
    w.writeEndElement();
    w.writeStartElement(QStringLiteral("pic:blipFill"));
    w.writeEmptyElement(QStringLiteral("a:blip"));
    w.writeAttribute(QStringLiteral("r:embed"), rid);
    w.writeStartElement(QStringLiteral("a:stretch"));
    w.writeEmptyElement(QStringLiteral("a:fillRect"));
    w.writeEndElement();
    w.writeEndElement();
    w.writeStartElement(QStringLiteral("pic:spPr"));
    w.writeStartElement(QStringLiteral("a:xfrm"));
    w.writeEmptyElement(QStringLiteral("a:off"));
    w.writeAttribute(QStringLiteral("x"), QStringLiteral("0"));
    w.writeAttribute(QStringLiteral("y"), QStringLiteral("0"));
    w.writeEmptyElement(QStringLiteral("a:ext"));
    w.writeAttribute(QStringLiteral("cx"), cx);
    w.writeAttribute(QStringLiteral("cy"), cy);
    w.writeEndElement();
    w.writeStartElement(QStringLiteral("a:prstGeom"));
    w.writeAttribute(QStringLiteral("prst"), QStringLiteral("rect"));
    w.writeEmptyElement(QStringLiteral("a:avLst"));
    w.writeEndElement();
    w.writeEndElement(); // spPr
    w.writeEndElement(); // pic
    w.writeEndElement(); // graphicData
    w.writeEndElement(); // graphic
    w.writeEndElement(); // inline / anchor
    w.writeEndElement(); // drawing
    w.writeEndElement(); // r
}

} // namespace wp::DocxWriter::detail
