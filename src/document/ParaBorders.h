#pragma once
// Borders around paragraphs, as word processors draw them: lines above,
// below and beside the text, apart from it by their own space, which the
// paragraph's height takes in too. Paragraphs in a row with the same
// borders share one box. Qt's paragraphs know no borders: the block
// format carries them and the page draws them.

#include <QTextFormat>

class QPainter;
class QRectF;
class QTextBlockFormat;
class QTextDocument;

namespace wp::docmodel {

/// Block format (int): the sides with a border, of BorderSide.
constexpr int ParaBorderSides = QTextFormat::UserProperty + 93;
enum BorderSide {
    BorderTop = 1,
    BorderBottom = 2,
    BorderLeft = 4,
    BorderRight = 8,
    BorderBetween = 16
};
/// Block format (double, twips): the lines' width.
constexpr int ParaBorderWidth = QTextFormat::UserProperty + 94;
/// Block format (int): the lines' style, of BorderStyle.
constexpr int ParaBorderStyle = QTextFormat::UserProperty + 95;
enum BorderStyle {
    BorderSingle = 0,
    BorderThick = 1,
    BorderDouble = 2,
    BorderDotted = 3,
    BorderDashed = 4
};
/// Block format (QColor): the lines' colour; none given, black.
constexpr int ParaBorderColor = QTextFormat::UserProperty + 96;
/// Block format (double, twips): the space between the text and the lines
/// above and below it, and beside it.
constexpr int ParaBorderSpace = QTextFormat::UserProperty + 97;
constexpr int ParaBorderSpaceH = QTextFormat::UserProperty + 98;
/// Block format (int, of BorderSide): the box goes on from the paragraph
/// before (BorderTop) or into the one after (BorderBottom): no line there.
constexpr int ParaBorderJoined = QTextFormat::UserProperty + 99;

/// The room, in twips, that the borders above and below a paragraph add
/// to its space before and after.
double borderRoomAbove(const QTextBlockFormat& f);
double borderRoomBelow(const QTextBlockFormat& f);
/// Whether two paragraphs' borders make one box.
bool sameBorders(const QTextBlockFormat& a, const QTextBlockFormat& b);

/// Draws the borders of the paragraphs of `doc` that reach into `clip`
/// (document coordinates, twips), on a painter at the document's origin.
void drawParagraphBorders(QPainter* painter, const QTextDocument* doc, const QRectF& clip);

} // namespace wp::docmodel
