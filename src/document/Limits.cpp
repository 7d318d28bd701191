#include "document/Limits.h"

#include "document/TextControlDocument.h"

#include <QTextDocument>
#include <QTextFormat>
#include <QTextLength>
#include <QTextOption>
#include <QTextTable>
#include <algorithm>
#include <cmath>

namespace wp::docmodel {

namespace {

// Qt takes most lengths of a format in 96-dpi pixels, which it scales to
// the 1440-dpi layout device; paragraph side margins and indents it takes
// as they are, so those hold twips.
constexpr double PixelLimit = MaxLength / 15.0;
// A letter's size in points, and the indent levels Qt multiplies by its
// 40-pixel indent width.
constexpr double PointLimit = MaxLength / 20.0;
constexpr int IndentLevelLimit = MaxLength / 600;
// Letter spacing in percent of the letter: ten letters' widths.
constexpr double SpacingPercentLimit = 1000;

double bound(double v, double limit, bool mayBeNegative) {
    if (!std::isfinite(v))
        return 0;
    return std::clamp(v, mayBeNegative ? -limit : 0.0, limit);
}

void boundDouble(QTextFormat& f, int property, double limit, bool mayBeNegative = false) {
    if (!f.hasProperty(property))
        return;
    const double v = f.doubleProperty(property);
    if (const double b = bound(v, limit, mayBeNegative); b != v)
        f.setProperty(property, b);
}

void boundInt(QTextFormat& f, int property, int low, int high) {
    if (!f.hasProperty(property))
        return;
    const int v = f.intProperty(property);
    if (const int b = std::clamp(v, low, high); b != v)
        f.setProperty(property, b);
}

QTextLength boundLengthValue(const QTextLength& l) {
    switch (l.type()) {
    case QTextLength::FixedLength:
        return QTextLength(l.type(), bound(l.rawValue(), PixelLimit, false));
    case QTextLength::PercentageLength:
        return QTextLength(l.type(), bound(l.rawValue(), 100, false));
    default:
        return l;
    }
}

void boundTextLength(QTextFormat& f, int property) {
    if (!f.hasProperty(property))
        return;
    const QTextLength l = f.lengthProperty(property);
    if (const QTextLength b = boundLengthValue(l); !(b == l))
        f.setProperty(property, b);
}

} // namespace

int boundLength(qint64 twips, bool mayBeNegative) {
    return int(std::clamp<qint64>(twips, mayBeNegative ? -MaxLength : 0, MaxLength));
}

double boundLength(double twips, bool mayBeNegative) {
    return bound(twips, MaxLength, mayBeNegative);
}

int boundPaperLength(qint64 twips) {
    return int(std::clamp<qint64>(twips, MinPaperLength, MaxLength));
}

void boundLengths(QTextFormat& f) {
    // Paragraphs.
    for (int p :
         {QTextFormat::BlockLeftMargin, QTextFormat::BlockRightMargin, QTextFormat::TextIndent})
        boundDouble(f, p, MaxLength, true);
    for (int p :
         {int(QTextFormat::BlockTopMargin), int(QTextFormat::BlockBottomMargin), SpaceAbove})
        boundDouble(f, p, PixelLimit);
    if (f.hasProperty(QTextFormat::LineHeight)) {
        const bool percent =
            f.intProperty(QTextFormat::LineHeightType) == QTextBlockFormat::ProportionalHeight;
        // A line as tall as a page: a 12-point line (240 twips) times that.
        boundDouble(f, QTextFormat::LineHeight, percent ? MaxLength * 100.0 / 240 : PixelLimit);
    }
    boundInt(f, QTextFormat::BlockIndent, 0, IndentLevelLimit);
    boundInt(f, QTextFormat::ListIndent, 0, IndentLevelLimit);
    if (f.hasProperty(QTextFormat::TabPositions)) {
        const QList<QVariant> tabs = f.property(QTextFormat::TabPositions).toList();
        QList<QVariant> bounded;
        for (const QVariant& v : tabs) {
            auto tab = v.value<QTextOption::Tab>();
            tab.position = bound(tab.position, PixelLimit, false);
            bounded << QVariant::fromValue(tab);
        }
        if (bounded != tabs)
            f.setProperty(QTextFormat::TabPositions, bounded);
    }

    // Characters and pictures.
    if (f.hasProperty(QTextFormat::FontPointSize)) {
        const double v = f.doubleProperty(QTextFormat::FontPointSize);
        // Qt refuses sizes of 0 and below: the property goes.
        if (!(v > 0))
            f.clearProperty(QTextFormat::FontPointSize);
        else if (v > PointLimit)
            f.setProperty(QTextFormat::FontPointSize, PointLimit);
    }
    boundInt(f, QTextFormat::FontPixelSize, 1, int(PixelLimit));
    boundDouble(f, QTextFormat::FontWordSpacing, PixelLimit, true);
    if (f.hasProperty(QTextFormat::FontLetterSpacing)) {
        const bool percent =
            !f.hasProperty(QTextFormat::FontLetterSpacingType) ||
            f.intProperty(QTextFormat::FontLetterSpacingType) == QFont::PercentageSpacing;
        if (percent)
            boundDouble(f, QTextFormat::FontLetterSpacing, SpacingPercentLimit);
        else
            boundDouble(f, QTextFormat::FontLetterSpacing, PixelLimit, true);
    }
    for (int p : {int(QTextFormat::ImageWidth), int(QTextFormat::ImageHeight), RowFill})
        boundDouble(f, p, PixelLimit);
    boundInt(f, RowHeight, -MaxLength, MaxLength);
    for (int p = FloatLeft; p <= FloatBottom; ++p)
        boundInt(f, p, -MaxLength, MaxLength);

    // Frames, tables and their cells. A float's top margin places it above
    // its paragraph, so frame margins may be negative.
    for (int p :
         {QTextFormat::FrameMargin, QTextFormat::FrameTopMargin, QTextFormat::FrameBottomMargin,
          QTextFormat::FrameLeftMargin, QTextFormat::FrameRightMargin})
        boundDouble(f, p, PixelLimit, true);
    for (int p : {QTextFormat::FrameBorder, QTextFormat::FramePadding,
                  QTextFormat::TableCellSpacing, QTextFormat::TableCellPadding,
                  QTextFormat::TableCellTopPadding, QTextFormat::TableCellBottomPadding,
                  QTextFormat::TableCellLeftPadding, QTextFormat::TableCellRightPadding,
                  QTextFormat::TableCellTopBorder, QTextFormat::TableCellBottomBorder,
                  QTextFormat::TableCellLeftBorder, QTextFormat::TableCellRightBorder})
        boundDouble(f, p, PixelLimit);
    boundTextLength(f, QTextFormat::FrameWidth);
    boundTextLength(f, QTextFormat::FrameHeight);
    if (f.hasProperty(QTextFormat::TableColumnWidthConstraints)) {
        QList<QTextLength> widths =
            f.lengthVectorProperty(QTextFormat::TableColumnWidthConstraints);
        bool changed = false;
        for (QTextLength& l : widths) {
            const QTextLength b = boundLengthValue(l);
            changed = changed || !(b == l);
            l = b;
        }
        if (changed)
            f.setProperty(QTextFormat::TableColumnWidthConstraints, QVariant::fromValue(widths));
    }
}

bool tableSizeFits(qint64 rows, qint64 columns) {
    return rows >= 1 && columns >= 1 && rows <= MaxTableCells && columns <= MaxTableCells &&
           rows * columns <= MaxTableCells;
}

qint64 tableCells(std::initializer_list<const QTextDocument*> docs) {
    qint64 cells = 0;
    for (const QTextDocument* doc : docs)
        if (doc)
            for (const QTextTable* t : tables(doc))
                cells += qint64(t->rows()) * t->columns();
    return cells;
}

QString tableLimitError(const QTextDocument* piece, qint64 cellsHeld) {
    qint64 cells = cellsHeld;
    for (const QTextTable* t : tables(piece)) {
        if (!tableSizeFits(t->rows(), t->columns()))
            return QStringLiteral("a table's size is out of range");
        cells += qint64(t->rows()) * t->columns();
    }
    if (cells > MaxDocumentCells)
        return QStringLiteral("the tables have too many cells");
    return QString();
}

} // namespace wp::docmodel
