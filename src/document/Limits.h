#pragma once
// What a document may hold: the bounds every reader keeps and every other
// way into a document (paste, a selection load, the control's members)
// keeps as well, so that whatever a document holds lays out in reasonable
// time and reads back after it was saved.

#include <QString>
#include <initializer_list>

class QTextDocument;
class QTextFormat;

namespace wp::docmodel {

/// The longest length a document holds, in twips: a side of the largest
/// paper the page setup takes. A spacing, padding, indent, line height,
/// tab stop, margin or picture size beyond it is no page's, and each one
/// would only add empty pages for the layout to cut and draw.
constexpr int MaxLength = 32767;
/// The shortest paper side a file may ask for, in twips (one inch): on a
/// sliver of paper every line is a page of its own.
constexpr int MinPaperLength = 1440;

/// `twips` bounded to what a page can hold: 0..MaxLength, or
/// -MaxLength..MaxLength for a length that may be negative (an indent).
int boundLength(qint64 twips, bool mayBeNegative = false);
inline int boundLength(int twips, bool mayBeNegative = false) {
    return boundLength(qint64(twips), mayBeNegative);
}
double boundLength(double twips, bool mayBeNegative = false);
/// A paper side read from a file, bounded to MinPaperLength..MaxLength.
int boundPaperLength(qint64 twips);
/// Bounds every length a format holds to what a page can hold, each in the
/// unit Qt takes it in on the layout's twips device.
void boundLengths(QTextFormat& format);

/// The most cells one table may have, and all tables of a document (body,
/// headers and footers) together. Qt builds every cell of a table's grid,
/// merged or not, so a few bytes must not ask for millions of them.
constexpr qint64 MaxTableCells = 65536;
constexpr qint64 MaxDocumentCells = 100000;
/// Whether one table of `rows` by `columns` may be held.
bool tableSizeFits(qint64 rows, qint64 columns);
/// The cells of the tables of the documents together (nullptr ones count
/// nothing).
qint64 tableCells(std::initializer_list<const QTextDocument*> docs);
/// Why `piece` may not join documents that hold `cellsHeld` cells already
/// (a table too large, or too many cells together); empty when it may.
QString tableLimitError(const QTextDocument* piece, qint64 cellsHeld);

} // namespace wp::docmodel
