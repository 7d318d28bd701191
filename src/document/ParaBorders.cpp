#include "document/ParaBorders.h"

#include <QAbstractTextDocumentLayout>
#include <QColor>
#include <QPainter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <algorithm>

namespace wp::docmodel {

namespace {

int sides(const QTextBlockFormat& f) {
    return f.intProperty(ParaBorderSides);
}

// The sides a paragraph draws: none where the box goes on.
int drawn(const QTextBlockFormat& f) {
    const int joined = f.intProperty(ParaBorderJoined);
    int s = sides(f) & ~joined;
    if ((sides(f) & BorderBetween) && (joined & BorderBottom))
        s |= BorderBottom;
    return s;
}

double lineWidth(const QTextBlockFormat& f) {
    const double w = std::max(1.0, f.doubleProperty(ParaBorderWidth));
    return f.intProperty(ParaBorderStyle) == BorderThick ? 2 * w : w;
}

// Twips the lines of a side take, with the space between them.
double sideWidth(const QTextBlockFormat& f) {
    return f.intProperty(ParaBorderStyle) == BorderDouble ? 3 * lineWidth(f) : lineWidth(f);
}

} // namespace

double borderRoomAbove(const QTextBlockFormat& f) {
    return drawn(f) & BorderTop ? f.doubleProperty(ParaBorderSpace) + sideWidth(f) : 0;
}

double borderRoomBelow(const QTextBlockFormat& f) {
    return drawn(f) & BorderBottom ? f.doubleProperty(ParaBorderSpace) + sideWidth(f) : 0;
}

bool sameBorders(const QTextBlockFormat& a, const QTextBlockFormat& b) {
    return sides(a) && sides(a) == sides(b) &&
           a.doubleProperty(ParaBorderWidth) == b.doubleProperty(ParaBorderWidth) &&
           a.intProperty(ParaBorderStyle) == b.intProperty(ParaBorderStyle) &&
           a.colorProperty(ParaBorderColor) == b.colorProperty(ParaBorderColor) &&
           a.leftMargin() == b.leftMargin() && a.rightMargin() == b.rightMargin();
}

void drawParagraphBorders(QPainter* painter, const QTextDocument* doc, const QRectF& clip) {
    const QList<QTextFormat> formats = doc->allFormats();
    if (std::none_of(formats.begin(), formats.end(),
                     [](const QTextFormat& f) { return f.hasProperty(ParaBorderSides); }))
        return;
    constexpr double pixel = 15; // twips a 96-dpi unit of the block format takes
    painter->save();
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        const QTextBlockFormat f = b.blockFormat();
        const QTextLayout* tl = b.layout();
        if (!sides(f) || !tl || tl->lineCount() == 0)
            continue;
        const QTextLine first = tl->lineAt(0), last = tl->lineAt(tl->lineCount() - 1);
        const QPointF at = tl->position();
        const double w = lineWidth(f), space = f.doubleProperty(ParaBorderSpace);
        const double textTop = at.y() + first.y(), textBottom = at.y() + last.y() + last.height();
        const int joined = f.intProperty(ParaBorderJoined);
        // The box goes on into the space between paragraphs that share it.
        const double top = joined & BorderTop ? textTop - f.topMargin() * pixel
                                              : textTop - space - sideWidth(f) + w / 2;
        const double bottom =
            joined & BorderBottom ? textBottom : textBottom + space + sideWidth(f) - w / 2;
        if (bottom < clip.top() || top > clip.bottom())
            continue;
        const double spaceH = f.doubleProperty(ParaBorderSpaceH);
        const double left = at.x() + f.leftMargin() - spaceH - sideWidth(f) + w / 2;
        const double right = at.x() + first.x() + first.width() + spaceH + sideWidth(f) - w / 2;
        QColor color = f.colorProperty(ParaBorderColor);
        if (!color.isValid())
            color = Qt::black;
        const int style = f.intProperty(ParaBorderStyle);
        QPen pen(color, w,
                 style == BorderDotted   ? Qt::DotLine
                 : style == BorderDashed ? Qt::DashLine
                                         : Qt::SolidLine);
        pen.setCapStyle(Qt::FlatCap);
        painter->setPen(pen);
        const int s = drawn(f);
        // A double border: a second line inside the first.
        const int strokes = style == BorderDouble ? 2 : 1;
        for (int k = 0; k < strokes; ++k) {
            const double in = k * 2 * w;
            if (s & BorderTop)
                painter->drawLine(QPointF(left + in, top + in), QPointF(right - in, top + in));
            if (s & BorderBottom)
                painter->drawLine(QPointF(left + in, bottom - in),
                                  QPointF(right - in, bottom - in));
            if (s & BorderLeft)
                painter->drawLine(QPointF(left + in, top), QPointF(left + in, bottom));
            if (s & BorderRight)
                painter->drawLine(QPointF(right - in, top), QPointF(right - in, bottom));
        }
    }
    painter->restore();
}

} // namespace wp::docmodel
