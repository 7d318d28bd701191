#pragma once
// The numbers and bullets of list paragraphs. Qt's lists know no start
// number, no number made of the numbers of several levels ("1.2.") and
// draw bullets as shapes; our lists carry their own numbering on the list
// format, Qt draws no marker (ListStyleUndefined), and the markers are
// worked out here and drawn as text of the page.

#include <QRectF>
#include <QString>
#include <QTextFormat>
#include <vector>

class QPaintDevice;
class QPainter;
class QTextBlock;
class QTextDocument;
class QTextListFormat;

namespace wp::docmodel {

/// List format (int): what a level counts with, one of NumberType.
constexpr int ListNumberType = QTextFormat::UserProperty + 60;
/// List format (int): the number of a level's first item.
constexpr int ListStart = QTextFormat::UserProperty + 61;
/// List format (QString): the marker with "%1".."%9" standing for the
/// numbers of levels 1..9, as in "%1.%2."; empty: the level's own number.
constexpr int ListLevelText = QTextFormat::UserProperty + 62;
/// List format (int, above 0): the lists of one numbering, one per level
/// and run of items, share it; a level's number restarts under each item
/// of a level above it.
constexpr int ListGroup = QTextFormat::UserProperty + 63;
/// Block format (double, twips): how far left of the paragraph's text its
/// marker starts.
constexpr int ListHang = QTextFormat::UserProperty + 64;
/// Block format (double, twips): the first line's indent that a number too
/// wide for its room pushes the text on by (see fitListMarkers).
constexpr int MarkerPush = QTextFormat::UserProperty + 65;

enum NumberType {
    Decimal = 0,
    UpperRoman = 1,
    LowerRoman = 2,
    UpperLetter = 3,
    LowerLetter = 4,
    Bullet = 23,
    NoNumber = 255,
};

/// `n` written as `type` counts ("iv", "AB"); an empty string for a
/// bullet or no number, and decimal for numbers a type cannot show.
QString formatNumber(int n, int type);

/// The number type of a list format: ours, or the one its Qt style means.
int numberType(const QTextListFormat& f);

/// The level text of a list format, "%1".."%9" standing for numbers.
QString levelText(const QTextListFormat& f);

/// A list format as our lists carry it: a format of Qt's own styles gets
/// the same number type, start and level text, and Qt draws no marker.
QTextListFormat ownListFormat(const QTextListFormat& f);

/// The markers of all paragraphs of a document, by block number.
std::vector<QString> listMarkers(const QTextDocument* doc);

/// A number wider than the room before its paragraph's text pushes the
/// first line on by `tabStop` twips, as the tab after it would; a
/// narrower one takes the push back. Measured on `device`, the layout's.
void fitListMarkers(QTextDocument* doc, double tabStop, const QPaintDevice* device);

/// The marker a list paragraph shows ("5.", "1.2.", "(c)", "•"); empty for
/// a paragraph of no list.
QString listMarker(const QTextBlock& block);

/// Draws the markers of the list paragraphs whose first line lies in
/// `clip` (document coordinates) as text, on a painter in the document's
/// coordinates.
void drawListMarkers(QPainter* painter, const QTextDocument* doc, const QRectF& clip);

} // namespace wp::docmodel
