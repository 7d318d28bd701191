#include "document/ListMarkers.h"

#include "wp/TextControl.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QTextList>
#include <algorithm>
#include <array>
#include <map>

namespace wp::docmodel {

namespace {

constexpr int Levels = 9;

QString roman(int n) {
    static constexpr std::pair<int, const char*> parts[] = {
        {1000, "m"}, {900, "cm"}, {500, "d"}, {400, "cd"}, {100, "c"}, {90, "xc"}, {50, "l"},
        {40, "xl"},  {10, "x"},   {9, "ix"},  {5, "v"},    {4, "iv"},  {1, "i"}};
    QString s;
    for (const auto& [value, text] : parts)
        for (; n >= value; n -= value)
            s += QLatin1String(text);
    return s;
}

// a..z, then aa..zz, as word processors count past z.
QString letters(int n) {
    const QChar ch(u'a' + (n - 1) % 26);
    return QString((n - 1) / 26 + 1, ch);
}

int levelOf(const QTextListFormat& f) {
    return std::clamp(f.intProperty(prop::ListLevel), 0, Levels - 1);
}

QString bulletOf(const QTextListFormat& f) {
    const QString b = f.stringProperty(prop::ListBullet);
    if (!b.isEmpty())
        return b.left(1);
    switch (f.style()) {
    case QTextListFormat::ListCircle:
        return QString(QChar(0x25E6));
    case QTextListFormat::ListSquare:
        return QString(QChar(0x25AA));
    default:
        return QString(QChar(0x2022));
    }
}

// The numbers of the document's lists, item by item in document order.
class Numbering {
public:
    QString next(const QTextBlock& block) {
        const QTextList* list = block.textList();
        if (!list)
            return {};
        const QTextListFormat f = list->format();
        const int group = f.intProperty(ListGroup);
        // Qt's own lists number alone.
        Level* levels = states[group > 0 ? group : -1 - list->objectIndex()].data();
        const int k = levelOf(f);
        Level& own = levels[k];
        if (own.list != list || own.restart) {
            own.list = list;
            own.value = f.hasProperty(ListStart) ? f.intProperty(ListStart) : 1;
            own.restart = false;
        } else if (own.value < 0x7FFFFFFF) {
            ++own.value;
        }
        own.type = numberType(f);
        for (int j = k + 1; j < Levels; ++j)
            levels[j].restart = true;
        if (own.type == Bullet)
            return bulletOf(f);
        if (own.type == NoNumber)
            return {};
        const QString text = levelText(f);
        QString out;
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar ch = text.at(i);
            if (ch == QLatin1Char('%') && i + 1 < text.size() && text.at(i + 1) >= u'1' &&
                text.at(i + 1) <= u'9') {
                const int j = text.at(++i).unicode() - u'1';
                // A level above that has shown no item yet counts as its first.
                const Level& l = levels[j];
                out += j <= k && l.list ? formatNumber(l.value, l.type) : QStringLiteral("1");
            } else {
                out += ch;
            }
        }
        return out;
    }

private:
    struct Level {
        const QTextList* list = nullptr;
        int value = 0;
        int type = Decimal;
        bool restart = true;
    };
    std::map<int, std::array<Level, Levels>> states;
};

// The marker is shown in the format of the paragraph's first character.
QTextCharFormat markerFormat(const QTextBlock& b) {
    return b.begin().atEnd() ? b.charFormat() : b.begin().fragment().charFormat();
}

} // namespace

QString levelText(const QTextListFormat& f) {
    if (f.hasProperty(ListLevelText))
        return f.stringProperty(ListLevelText);
    // Qt's own lists show their prefix, their number and their suffix.
    return f.numberPrefix() + QLatin1Char('%') + QString::number(levelOf(f) + 1) + f.numberSuffix();
}

QTextListFormat ownListFormat(const QTextListFormat& f) {
    if (f.style() == QTextListFormat::ListStyleUndefined)
        return f;
    QTextListFormat own = f;
    own.setProperty(ListNumberType, numberType(f));
    if (numberType(f) == Bullet)
        own.setProperty(prop::ListBullet, bulletOf(f));
    else
        own.setProperty(ListLevelText, levelText(f));
    own.setStyle(QTextListFormat::ListStyleUndefined);
    return own;
}

std::vector<QString> listMarkers(const QTextDocument* doc) {
    std::vector<QString> markers(size_t(std::max(0, doc->blockCount())));
    Numbering numbering;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        QString m = numbering.next(b);
        if (b.blockNumber() < int(markers.size()))
            markers[size_t(b.blockNumber())] = std::move(m);
    }
    return markers;
}

void fitListMarkers(QTextDocument* doc, double tabStop, const QPaintDevice* device) {
    const std::vector<QString> markers = listMarkers(doc);
    QTextCursor cursor(doc);
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        const QTextBlockFormat bf = b.blockFormat();
        if (!b.textList() || !bf.hasProperty(ListHang))
            continue;
        const QString& marker = markers[size_t(b.blockNumber())];
        const QTextCharFormat cf = markerFormat(b);
        const double width = QFontMetricsF(cf.font(), device).horizontalAdvance(marker);
        // A number that fills its room leaves the tab after it no room either.
        const double push = width >= bf.doubleProperty(ListHang) - 1 ? tabStop : 0.0;
        if (push == bf.doubleProperty(MarkerPush))
            continue;
        QTextBlockFormat f = bf;
        f.setTextIndent(push);
        f.setProperty(MarkerPush, push);
        cursor.setPosition(b.position());
        cursor.setBlockFormat(f);
    }
}

QString formatNumber(int n, int type) {
    switch (type) {
    case Bullet:
    case NoNumber:
        return {};
    case UpperRoman:
    case LowerRoman:
        if (n < 1 || n > 3999)
            break;
        return type == UpperRoman ? roman(n).toUpper() : roman(n);
    case UpperLetter:
    case LowerLetter:
        if (n < 1 || n > 26 * 1000)
            break;
        return type == UpperLetter ? letters(n).toUpper() : letters(n);
    default:
        break;
    }
    return QString::number(n);
}

int numberType(const QTextListFormat& f) {
    if (f.hasProperty(ListNumberType))
        return f.intProperty(ListNumberType);
    switch (f.style()) {
    case QTextListFormat::ListDecimal:
        return Decimal;
    case QTextListFormat::ListUpperRoman:
        return UpperRoman;
    case QTextListFormat::ListLowerRoman:
        return LowerRoman;
    case QTextListFormat::ListUpperAlpha:
        return UpperLetter;
    case QTextListFormat::ListLowerAlpha:
        return LowerLetter;
    default:
        return Bullet;
    }
}

QString listMarker(const QTextBlock& block) {
    if (!block.isValid() || !block.textList())
        return {};
    Numbering numbering;
    for (QTextBlock b = block.document()->begin(); b.isValid(); b = b.next()) {
        const QString marker = numbering.next(b);
        if (b == block)
            return marker;
    }
    return {};
}

void drawListMarkers(QPainter* painter, const QTextDocument* doc, const QRectF& clip) {
    QAbstractTextDocumentLayout* layout = doc->documentLayout();
    Numbering numbering;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        QTextLayout* tl = b.layout();
        // Blocks of tables stand no lower than their layout position says.
        if (tl && tl->position().y() > clip.bottom())
            break;
        const QString marker = numbering.next(b);
        if (marker.isEmpty() || !tl || tl->lineCount() == 0)
            continue;
        // Where the layout's origin lies in the document.
        const QPointF origin = layout->blockBoundingRect(b).topLeft();
        const QTextLine first = tl->lineAt(0);
        const double top = origin.y() + first.y();
        if (top + 0.01 < clip.top() || top >= clip.bottom() - 1)
            continue;
        const QTextCharFormat cf =
            b.begin().atEnd() ? b.charFormat() : b.begin().fragment().charFormat();
        QTextLayout text(marker, cf.font(), layout->paintDevice());
        text.beginLayout();
        QTextLine line = text.createLine();
        text.endLayout();
        if (!line.isValid())
            continue;
        const QTextBlockFormat bf = b.blockFormat();
        const double textX = origin.x() + first.x() - bf.doubleProperty(MarkerPush);
        const double hang =
            bf.hasProperty(ListHang)
                ? bf.doubleProperty(ListHang)
                : line.naturalTextWidth() + QFontMetricsF(cf.font(), layout->paintDevice())
                                                .horizontalAdvance(QLatin1Char(' '));
        painter->save();
        const QBrush fg = cf.foreground();
        painter->setPen(fg.style() == Qt::NoBrush ? QColor(Qt::black) : fg.color());
        text.draw(painter, QPointF(textX - hang, top + first.ascent() - line.ascent() - line.y()));
        painter->restore();
    }
}

} // namespace wp::docmodel
