// Tables: a grid of the columns' widths in twips, rows with their height
// and header flag, cells with their spans, vertical merges, shading and
// padding; borders single or none, as the control draws them.
#include "document/formats/docx/DocxWriterParts.h"

#include <QTextTable>
#include <cmath>

namespace wp::DocxWriter::detail {

namespace {

QString n(long long v) {
    return QString::number(v);
}

} // namespace

// `textWidth` is the page's text width for an outer table, the cell's for a
// nested one.
std::vector<long long> Writer::columnWidths(QTextTable* t, double textWidth) const {
    std::vector<long long> out;
    for (double x : docmodel::columnWidths(t, textWidth))
        out.push_back(std::max(1LL, std::llround(x)));
    return out;
}

void Writer::table(QTextTable* t, double textWidth, int depth) {
    QXmlStreamWriter& w = *xml;
    const QTextTableFormat tf = t->format();
    const std::vector<long long> widths = columnWidths(t, textWidth);
    long long total = 0;
    for (long long x : widths)
        total += x;
    const bool border = tf.border() > 0 && tf.borderStyle() != QTextFrameFormat::BorderStyle_None;
    const long long padding = std::llround(tf.cellPadding() * TwipsPerPixel);

    if (tf.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore && depth == 1) {
        w.writeStartElement(QStringLiteral("w:p"));
        w.writeStartElement(QStringLiteral("w:r"));
        w.writeEmptyElement(QStringLiteral("w:br"));
        w.writeAttribute(QStringLiteral("w:type"), QStringLiteral("page"));
        w.writeEndElement();
        w.writeEndElement();
    }
    w.writeStartElement(QStringLiteral("w:tbl"));
    w.writeStartElement(QStringLiteral("w:tblPr"));
    w.writeEmptyElement(QStringLiteral("w:tblW"));
    w.writeAttribute(QStringLiteral("w:w"), n(total));
    w.writeAttribute(QStringLiteral("w:type"), QStringLiteral("dxa"));
    if (tf.alignment() & (Qt::AlignHCenter | Qt::AlignRight)) {
        w.writeEmptyElement(QStringLiteral("w:jc"));
        w.writeAttribute(QStringLiteral("w:val"), tf.alignment() & Qt::AlignHCenter
                                                      ? QStringLiteral("center")
                                                      : QStringLiteral("right"));
    }
    if (const long long left = std::llround(tf.leftMargin() * TwipsPerPixel)) {
        w.writeEmptyElement(QStringLiteral("w:tblInd"));
        w.writeAttribute(QStringLiteral("w:w"), n(left));
        w.writeAttribute(QStringLiteral("w:type"), QStringLiteral("dxa"));
    }
    w.writeStartElement(QStringLiteral("w:tblBorders"));
    for (const char* side : {"w:top", "w:left", "w:bottom", "w:right", "w:insideH", "w:insideV"}) {
        w.writeEmptyElement(QLatin1String(side));
        w.writeAttribute(QStringLiteral("w:val"),
                         border ? QStringLiteral("single") : QStringLiteral("nil"));
        if (border) {
            w.writeAttribute(QStringLiteral("w:sz"), QStringLiteral("4"));
            w.writeAttribute(QStringLiteral("w:space"), QStringLiteral("0"));
            w.writeAttribute(QStringLiteral("w:color"), QStringLiteral("000000"));
        }
    }
    w.writeEndElement();
    w.writeEmptyElement(QStringLiteral("w:tblLayout"));
    w.writeAttribute(QStringLiteral("w:type"), QStringLiteral("fixed"));
    w.writeStartElement(QStringLiteral("w:tblCellMar"));
    for (const char* side : {"w:top", "w:left", "w:bottom", "w:right"}) {
        w.writeEmptyElement(QLatin1String(side));
        w.writeAttribute(QStringLiteral("w:w"), n(padding));
        w.writeAttribute(QStringLiteral("w:type"), QStringLiteral("dxa"));
    }
    w.writeEndElement();
    w.writeEndElement(); // tblPr
    w.writeStartElement(QStringLiteral("w:tblGrid"));
    for (long long x : widths) {
        w.writeEmptyElement(QStringLiteral("w:gridCol"));
        w.writeAttribute(QStringLiteral("w:w"), n(x));
    }
    w.writeEndElement();

    const int id = depth == 1 ? tf.intProperty(prop::TableId) : 0;
    const int cols = t->columns();
    for (int r = 0; r < t->rows(); ++r) {
        w.writeStartElement(QStringLiteral("w:tr"));
        const int height = t->cellAt(r, 0).format().intProperty(docmodel::RowHeight);
        if (height || r < tf.headerRowCount()) {
            w.writeStartElement(QStringLiteral("w:trPr"));
            if (height) {
                w.writeEmptyElement(QStringLiteral("w:trHeight"));
                w.writeAttribute(QStringLiteral("w:val"), n(std::abs(height)));
                w.writeAttribute(QStringLiteral("w:hRule"),
                                 height < 0 ? QStringLiteral("exact") : QStringLiteral("atLeast"));
            }
            if (r < tf.headerRowCount())
                w.writeEmptyElement(QStringLiteral("w:tblHeader"));
            w.writeEndElement();
        }
        for (int c = 0; c < cols;) {
            const QTextTableCell cell = t->cellAt(r, c);
            const int span = std::max(1, cell.columnSpan());
            long long width = 0;
            for (int k = c; k < std::min(cols, c + span); ++k)
                width += widths[size_t(k)];
            w.writeStartElement(QStringLiteral("w:tc"));
            w.writeStartElement(QStringLiteral("w:tcPr"));
            w.writeEmptyElement(QStringLiteral("w:tcW"));
            w.writeAttribute(QStringLiteral("w:w"), n(width));
            w.writeAttribute(QStringLiteral("w:type"), QStringLiteral("dxa"));
            if (span > 1) {
                w.writeEmptyElement(QStringLiteral("w:gridSpan"));
                w.writeAttribute(QStringLiteral("w:val"), n(span));
            }
            const bool covered = cell.row() < r;
            if (covered) {
                w.writeEmptyElement(QStringLiteral("w:vMerge"));
            } else if (cell.rowSpan() > 1) {
                w.writeEmptyElement(QStringLiteral("w:vMerge"));
                w.writeAttribute(QStringLiteral("w:val"), QStringLiteral("restart"));
            }
            const QTextTableCellFormat cf = cell.format().toTableCellFormat();
            if (cf.background().style() != Qt::NoBrush) {
                const QColor bg = cf.background().color();
                w.writeEmptyElement(QStringLiteral("w:shd"));
                w.writeAttribute(QStringLiteral("w:val"), QStringLiteral("clear"));
                w.writeAttribute(QStringLiteral("w:color"), QStringLiteral("auto"));
                w.writeAttribute(QStringLiteral("w:fill"),
                                 QStringLiteral("%1")
                                     .arg(bg.rgb() & 0xFFFFFF, 6, 16, QLatin1Char('0'))
                                     .toUpper());
            }
            // The cell's own padding, without what fitting its row's height added.
            static constexpr std::pair<int, const char*> sides[] = {
                {QTextFormat::TableCellTopPadding, "w:top"},
                {QTextFormat::TableCellLeftPadding, "w:left"},
                {QTextFormat::TableCellBottomPadding, "w:bottom"},
                {QTextFormat::TableCellRightPadding, "w:right"}};
            bool anyPadding = false;
            for (const auto& side : sides)
                anyPadding = anyPadding || cf.hasProperty(side.first);
            if (anyPadding && !covered) {
                // The padding also holds the space before the cell's first
                // paragraph and after its last (see addSpaceAfterToNext),
                // which the paragraphs carry in the file.
                const double before =
                    std::max(0.0, cell.firstCursorPosition().blockFormat().topMargin());
                const double after =
                    std::max(0.0, cell.lastCursorPosition().blockFormat().bottomMargin());
                w.writeStartElement(QStringLiteral("w:tcMar"));
                for (const auto& [property, name] : sides) {
                    if (!cf.hasProperty(property))
                        continue;
                    double px = cf.doubleProperty(property);
                    if (property == QTextFormat::TableCellBottomPadding)
                        px -= cf.doubleProperty(docmodel::RowFill) + after;
                    else if (property == QTextFormat::TableCellTopPadding)
                        px -= before;
                    w.writeEmptyElement(QLatin1String(name));
                    w.writeAttribute(QStringLiteral("w:w"),
                                     n(std::max(0LL, std::llround(px * TwipsPerPixel))));
                    w.writeAttribute(QStringLiteral("w:type"), QStringLiteral("dxa"));
                }
                w.writeEndElement();
            }
            w.writeEndElement(); // tcPr
            if (covered) {
                w.writeEmptyElement(QStringLiteral("w:p"));
            } else {
                if (r == 0 && c == 0 && id > 0)
                    pendingTableId = id;
                content(cell.begin(), double(width), depth);
            }
            w.writeEndElement(); // tc
            c += span;
        }
        w.writeEndElement(); // tr
    }
    w.writeEndElement(); // tbl
}

} // namespace wp::DocxWriter::detail
