#pragma once
// Tab leaders: the dots, hyphens or line that fill the space a tab leaves
// before its stop (tables of contents, dates at the right margin). Qt's
// tab stops have none; a stop's leader character rides in its delimiter,
// which Qt reads only for decimal stops, and the page draws it.

#include <QTextOption>
#include <string_view>

class QPainter;
class QRectF;
class QTextDocument;

namespace wp::docmodel {

/// The leader an RTF word names (\tldot '.', \tlmdot U+00B7, \tlhyph '-',
/// \tlul and \tlth '_', \tleq '='), 0 for any other word.
char16_t tabLeaderOf(std::string_view word);
/// The RTF word of a stop's leader, nullptr for none.
const char* tabLeaderWord(const QTextOption::Tab& tab);

/// Draws the leaders of the tabs of `doc` whose lines reach into `clip`
/// (document coordinates, twips), on a painter at the document's origin.
void drawTabLeaders(QPainter* painter, const QTextDocument* doc, const QRectF& clip);

} // namespace wp::docmodel
