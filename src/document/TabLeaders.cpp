#include "document/TabLeaders.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <algorithm>
#include <cmath>

namespace wp::docmodel {

namespace {

constexpr std::pair<std::string_view, char16_t> kLeaders[] = {
    {"tldot", u'.'}, {"tlmdot", 0x00B7}, {"tlhyph", u'-'},
    {"tlul", u'_'},  {"tlth", u'_'},     {"tleq", u'='},
};

char16_t leaderOf(const QTextOption::Tab& tab) {
    return tab.type == QTextOption::DelimiterTab ? 0 : tab.delimiter.unicode();
}

bool hasLeaders(const QTextBlockFormat& f) {
    const QList<QTextOption::Tab> tabs = f.tabPositions();
    return std::any_of(tabs.begin(), tabs.end(),
                       [](const QTextOption::Tab& t) { return leaderOf(t) != 0; });
}

} // namespace

char16_t tabLeaderOf(std::string_view word) {
    for (const auto& [w, ch] : kLeaders)
        if (w == word)
            return ch;
    return 0;
}

const char* tabLeaderWord(const QTextOption::Tab& tab) {
    const char16_t ch = leaderOf(tab);
    for (const auto& [w, leader] : kLeaders)
        if (ch && leader == ch)
            return w.data();
    return nullptr;
}

void drawTabLeaders(QPainter* painter, const QTextDocument* doc, const QRectF& clip) {
    const QList<QTextFormat> formats = doc->allFormats();
    if (std::none_of(formats.begin(), formats.end(), [](const QTextFormat& f) {
            return f.isBlockFormat() && hasLeaders(f.toBlockFormat());
        }))
        return;
    constexpr double pixel = 15; // twips a 96-dpi unit of a tab stop takes
    // The leaders are measured on the device the document was laid out on.
    QPaintDevice* device = doc->documentLayout()->paintDevice();
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        const QTextBlockFormat f = b.blockFormat();
        const QTextLayout* tl = b.layout();
        if (!tl || !hasLeaders(f) || !b.text().contains(QLatin1Char('\t')))
            continue;
        const QList<QTextOption::Tab> tabs = f.tabPositions();
        const QString text = b.text();
        for (int i = 0; i < tl->lineCount(); ++i) {
            const QTextLine line = tl->lineAt(i);
            const double top = tl->position().y() + line.y();
            if (top > clip.bottom() || top + line.height() < clip.top())
                continue;
            for (int k = line.textStart(); k < line.textStart() + line.textLength(); ++k) {
                if (text[k] != QLatin1Char('\t'))
                    continue;
                // Where the text before the tab ends: QTextLine::cursorToX
                // places positions after small capitals too far left.
                double x0 = line.cursorToX(k);
                if (k > line.textStart())
                    for (const QGlyphRun& run : tl->glyphRuns(k - 1, 1))
                        x0 = std::max(x0, run.boundingRect().right());
                const double x1 = line.cursorToX(k + 1);
                // The stop the tab went to: the first beyond where it began,
                // counted from where the line starts.
                const auto stop = std::find_if(tabs.begin(), tabs.end(), [&](const auto& t) {
                    return line.x() + t.position * pixel > x0 + 1;
                });
                if (stop == tabs.end() || !leaderOf(*stop))
                    continue;
                QTextCursor at(b);
                at.setPosition(b.position() + k + 1);
                const QFont font(at.charFormat().font(), device);
                const QString leader(QChar(leaderOf(*stop)));
                const double advance = QFontMetricsF(font, device).horizontalAdvance(leader);
                const int count = advance > 0 ? int(std::floor((x1 - x0) / advance)) : 0;
                if (count <= 0)
                    continue;

                QTextLayout fill(leader.repeated(count), font, device);
                fill.beginLayout();
                QTextLine only = fill.createLine();
                fill.endLayout();
                if (!only.isValid())
                    continue;
                // The leader fills the gap from end to end, its characters
                // spaced evenly: it joins the text on both sides.
                const QPointF origin(tl->position().x() + x0, top + line.ascent());
                const double step = (x1 - x0) / count;
                painter->save();
                painter->setPen(Qt::black);
                for (QGlyphRun run : fill.glyphRuns()) {
                    QList<QPointF> at = run.positions();
                    for (qsizetype i = 0; i < at.size(); ++i)
                        at[i] = QPointF(i * step, 0);
                    run.setPositions(at);
                    painter->drawGlyphRun(origin, run);
                }
                painter->restore();
            }
        }
    }
}

} // namespace wp::docmodel
