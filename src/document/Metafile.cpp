#include "document/Metafile.h"

#include "document/formats/rtf/RtfCommon.h"

#include <QBuffer>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QPainterPath>
#include <QStringDecoder>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <optional>
#include <vector>

namespace wp::docmodel {

namespace {

constexpr quint32 PlaceableKey = 0x9AC6CDD7u;
constexpr quint32 EmfSignature = 0x464D4520u; // " EMF"
// Bounds on what one metafile may ask of us: records played, states
// saved, objects held, pixels of one bitmap.
constexpr int MaxRecords = 200000;
constexpr int MaxSavedStates = 256;
constexpr size_t MaxObjects = 4096;
constexpr qint64 MaxBitmapPixels = 16 * 1024 * 1024;
constexpr int MaxTextLength = 8192;

// Little-endian reads inside the bytes given: whatever lies outside reads
// as 0, so a record that claims more than it holds never reads past it.
struct Bytes {
    const uchar* d = nullptr;
    qsizetype n = 0;

    bool has(qint64 o, qint64 len) const { return o >= 0 && len >= 0 && o <= n && len <= n - o; }
    quint8 u8(qint64 o) const { return has(o, 1) ? d[o] : 0; }
    quint16 u16(qint64 o) const { return has(o, 2) ? qFromLittleEndian<quint16>(d + o) : 0; }
    qint16 i16(qint64 o) const { return qint16(u16(o)); }
    quint32 u32(qint64 o) const { return has(o, 4) ? qFromLittleEndian<quint32>(d + o) : 0; }
    qint32 i32(qint64 o) const { return qint32(u32(o)); }
    float f32(qint64 o) const {
        const quint32 bits = u32(o);
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return std::isfinite(f) ? f : 0.0f;
    }
    Bytes sub(qint64 o, qint64 len) const { return has(o, len) ? Bytes{d + o, len} : Bytes{}; }
    QColor color(qint64 o) const { return QColor(u8(o), u8(o + 1), u8(o + 2)); }
};

// A font as GDI describes it; made into a QFont when text is drawn, at the
// size the text comes out on the image.
struct FontSpec {
    double height = 0; // logical units; below 0 the em, above it the cell
    int weight = 400;
    bool italic = false, underline = false, strike = false;
    int charset = 0;
    double escapement = 0; // tenths of a degree, counter-clockwise
    QString face;
};

struct GdiObject {
    enum Kind { Pen, Brush, Font, Other } kind = Other;
    QPen pen;
    QBrush brush;
    FontSpec font;
};

struct DcState {
    QPen pen = QPen(Qt::black, 0);
    QBrush brush = QBrush(Qt::white);
    FontSpec font;
    QColor textColor = Qt::black, bkColor = Qt::white;
    bool opaqueBk = true;
    Qt::FillRule fillRule = Qt::OddEvenFill;
    quint32 textAlign = 0;
    int mapMode = 1;
    QPointF wOrg, vOrg;
    QSizeF wExt = QSizeF(1, 1), vExt = QSizeF(1, 1);
    QTransform world;
    QPointF cur;
    QPainterPath clip; // on the image; empty with `clipped` false: none
    bool clipped = false;
};

QPen makePen(quint32 style, double width, const QColor& color) {
    if ((style & 0xF) == 5) // PS_NULL
        return QPen(Qt::NoPen);
    QPen pen(color, std::clamp(width, 0.0, 1e5));
    static constexpr Qt::PenStyle dashes[] = {Qt::SolidLine, Qt::DashLine, Qt::DotLine,
                                              Qt::DashDotLine, Qt::DashDotDotLine};
    pen.setStyle((style & 0xF) < 5 ? dashes[style & 0xF] : Qt::SolidLine);
    const quint32 cap = style & 0xF00, join = style & 0xF000;
    pen.setCapStyle(cap == 0x100 ? Qt::SquareCap : cap == 0x200 ? Qt::FlatCap : Qt::RoundCap);
    pen.setJoinStyle(join == 0x1000   ? Qt::BevelJoin
                     : join == 0x2000 ? Qt::MiterJoin
                                      : Qt::RoundJoin);
    return pen;
}

QBrush makeBrush(quint32 style, const QColor& color, quint32 hatch) {
    if (style == 1) // BS_NULL
        return QBrush(Qt::NoBrush);
    if (style == 2) { // BS_HATCHED
        static constexpr Qt::BrushStyle hatches[] = {Qt::HorPattern,   Qt::VerPattern,
                                                     Qt::FDiagPattern, Qt::BDiagPattern,
                                                     Qt::CrossPattern, Qt::DiagCrossPattern};
        return QBrush(color, hatch < 6 ? hatches[hatch] : Qt::SolidPattern);
    }
    return QBrush(color);
}

// A device-independent bitmap: its header and colours in `info`, its
// pixels in `bits` (for a packed DIB, the bytes after the colours).
QImage dibImage(Bytes info, Bytes bits) {
    const quint32 headerSize = info.u32(0);
    const bool core = headerSize == 12;
    if (!core && (headerSize < 40 || !info.has(0, headerSize)))
        return {};
    const qint64 w = core ? info.u16(4) : info.i32(4);
    const qint64 h = core ? info.u16(6) : info.i32(8);
    const quint32 compression = core ? 0 : info.u32(16);
    if (w <= 0 || h == 0 || std::abs(h) > MaxBitmapPixels / w)
        return {};
    if (compression == 4 || compression == 5) { // BI_JPEG, BI_PNG: the bits are that file
        QByteArray data(reinterpret_cast<const char*>(bits.d), bits.n);
        QBuffer buffer(&data);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer);
        const QSize size = reader.size();
        if (!size.isValid() || qint64(size.width()) * size.height() > MaxBitmapPixels)
            return {};
        return reader.read();
    }
    // Qt reads the bitmap as a BMP file: a file header before the DIB.
    QByteArray file(14, '\0');
    file[0] = 'B';
    file[1] = 'M';
    qToLittleEndian<quint32>(quint32(14 + info.n + bits.n), file.data() + 2);
    qToLittleEndian<quint32>(quint32(14 + info.n), file.data() + 10);
    file.append(reinterpret_cast<const char*>(info.d), info.n);
    file.append(reinterpret_cast<const char*>(bits.d), bits.n);
    QBuffer buffer(&file);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "BMP");
    return reader.read();
}

// The size of a packed DIB's header and colour table.
qint64 dibInfoSize(Bytes dib) {
    const quint32 headerSize = dib.u32(0);
    if (headerSize == 12) {
        const int bitCount = dib.u16(10);
        return 12 + (bitCount <= 8 ? 3 * (qint64(1) << bitCount) : 0);
    }
    if (headerSize < 40 || headerSize > 1024)
        return -1;
    const int bitCount = dib.u16(14);
    const quint32 used = dib.u32(32);
    qint64 colors = used ? std::min<qint64>(used, 256) : bitCount <= 8 ? qint64(1) << bitCount : 0;
    qint64 masks = headerSize == 40 && dib.u32(16) == 3 ? 12 : 0; // BI_BITFIELDS
    return headerSize + masks + 4 * colors;
}

QImage packedDib(Bytes dib) {
    const qint64 infoSize = dibInfoSize(dib);
    if (infoSize < 0 || !dib.has(0, infoSize))
        return {};
    return dibImage(dib.sub(0, infoSize), dib.sub(infoSize, dib.n - infoSize));
}

// Masks drawn with AND and OR raster operations (the transparency of old
// metafiles) come out as what they leave on white paper: AND draws only its
// dark pixels, OR only its light ones.
QImage transparentFor(QImage image, quint32 rop) {
    const bool andOp = rop == 0x008800C6, orOp = rop == 0x00EE0086;
    if (!andOp && !orOp)
        return image;
    image = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int v = qGray(line[x]);
            if ((andOp && v > 250) || (orOp && v < 5))
                line[x] = 0;
        }
    }
    return image;
}

QString decodeBytes(const QByteArray& bytes, int charset) {
    const int cp = rtf::codePageOfCharset(charset);
    if (cp == 28591)
        return QString::fromLatin1(bytes);
    if (cp == 1252 || cp == 0) {
        QString s;
        s.reserve(bytes.size());
        for (char b : bytes)
            s += QChar(rtf::cp1252ToUnicode(static_cast<unsigned char>(b)));
        return s;
    }
    QStringDecoder decoder(rtf::codecName(cp).constData());
    return decoder.isValid() ? QString(decoder(bytes)) : QString::fromLatin1(bytes);
}

class Player {
public:
    Player(QImage& image, bool emf) : painter(&image), size(image.size()), emf(emf) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
    }

    void playWmf(Bytes data);
    void playEmf(Bytes data);

private:
    QPainter painter;
    QSize size;
    bool emf;
    DcState dc;
    std::vector<DcState> saved;
    std::vector<std::optional<GdiObject>> wmfObjects;
    std::map<quint32, GdiObject> emfObjects;
    QTransform deviceToImage; // EMF: reference device pixels onto the image
    double pixelsPerMm = 96 / 25.4;
    QPainterPath path;
    bool inPath = false;

    QTransform pageTransform() const;
    QTransform full() const { return dc.world * pageTransform() * deviceToImage; }
    void prepare(bool fill);
    void drawPath(const QPainterPath& p, bool fill, bool stroke);
    void polygon(const QPolygonF& poly, bool closed);
    void polyBezier(const QPolygonF& poly, bool fromCurrent);
    void rectangle(const QRectF& r, bool ellipse, const QSizeF& corner = QSizeF());
    void arc(const QRectF& box, QPointF start, QPointF end, int kind);
    void text(QPointF at, const QString& s, const std::vector<double>& dx, quint32 options,
              const QRectF& rect);
    void image(const QImage& img, const QRectF& target, const QRectF& source, quint32 rop);
    void patBlt(const QRectF& r, quint32 rop);
    void intersectClip(const QPainterPath& onImage);
    void select(const GdiObject& o);
    void save();
    void restore(int which);
    void setWorld(const QTransform& t, quint32 mode);
};

QTransform Player::pageTransform() const {
    const QPointF w = dc.wOrg;
    if (!emf) {
        // A WMF's window is the picture.
        const double sx = dc.wExt.width() ? size.width() / dc.wExt.width() : 1;
        const double sy = dc.wExt.height() ? size.height() / dc.wExt.height() : 1;
        return QTransform::fromTranslate(-w.x(), -w.y()) * QTransform::fromScale(sx, sy);
    }
    double sx = 1, sy = 1;
    switch (dc.mapMode) {
    case 2: // MM_LOMETRIC
        sx = pixelsPerMm / 10, sy = -sx;
        break;
    case 3: // MM_HIMETRIC
        sx = pixelsPerMm / 100, sy = -sx;
        break;
    case 4: // MM_LOENGLISH
        sx = pixelsPerMm * 0.254, sy = -sx;
        break;
    case 5: // MM_HIENGLISH
        sx = pixelsPerMm * 0.0254, sy = -sx;
        break;
    case 6: // MM_TWIPS
        sx = pixelsPerMm * 25.4 / 1440, sy = -sx;
        break;
    case 7: // MM_ISOTROPIC
    case 8: // MM_ANISOTROPIC
        if (dc.wExt.width() && dc.wExt.height()) {
            sx = dc.vExt.width() / dc.wExt.width();
            sy = dc.vExt.height() / dc.wExt.height();
        }
        if (dc.mapMode == 7) {
            const double s = std::min(std::abs(sx), std::abs(sy));
            sx = std::copysign(s, sx);
            sy = std::copysign(s, sy);
        }
        break;
    default:
        break;
    }
    return QTransform::fromTranslate(-w.x(), -w.y()) * QTransform::fromScale(sx, sy) *
           QTransform::fromTranslate(dc.vOrg.x(), dc.vOrg.y());
}

void Player::prepare(bool fill) {
    painter.setTransform(QTransform());
    if (dc.clipped)
        painter.setClipPath(dc.clip);
    else
        painter.setClipping(false);
    painter.setTransform(full());
    painter.setPen(dc.pen);
    painter.setBrush(fill ? dc.brush : QBrush(Qt::NoBrush));
    if (dc.brush.style() > Qt::SolidPattern && dc.brush.style() < Qt::LinearGradientPattern) {
        // Hatches are drawn in device pixels, over the background colour
        // when it is opaque.
        painter.setBackgroundMode(dc.opaqueBk ? Qt::OpaqueMode : Qt::TransparentMode);
        painter.setBackground(dc.bkColor);
    }
}

void Player::drawPath(const QPainterPath& p, bool fill, bool stroke) {
    prepare(fill);
    if (!stroke)
        painter.setPen(Qt::NoPen);
    painter.drawPath(p);
}

void Player::polygon(const QPolygonF& poly, bool closed) {
    if (poly.isEmpty())
        return;
    if (inPath) {
        if (closed) {
            path.addPolygon(poly);
            path.closeSubpath();
        } else {
            path.moveTo(poly.first());
            for (qsizetype i = 1; i < poly.size(); ++i)
                path.lineTo(poly[i]);
        }
        return;
    }
    prepare(closed);
    if (closed)
        painter.drawPolygon(poly, dc.fillRule);
    else
        painter.drawPolyline(poly);
}

void Player::polyBezier(const QPolygonF& poly, bool fromCurrent) {
    QPainterPath p;
    qsizetype i = 0;
    if (fromCurrent) {
        p.moveTo(dc.cur);
    } else if (!poly.isEmpty()) {
        p.moveTo(poly[0]);
        i = 1;
    }
    for (; i + 2 < poly.size(); i += 3)
        p.cubicTo(poly[i], poly[i + 1], poly[i + 2]);
    dc.cur = p.currentPosition();
    if (inPath)
        path.addPath(p);
    else
        drawPath(p, false, true);
}

void Player::rectangle(const QRectF& r, bool ellipse, const QSizeF& corner) {
    QPainterPath p;
    if (ellipse)
        p.addEllipse(r.normalized());
    else if (corner.isEmpty())
        p.addRect(r.normalized());
    else
        p.addRoundedRect(r.normalized(), corner.width() / 2, corner.height() / 2);
    if (inPath)
        path.addPath(p);
    else
        drawPath(p, true, true);
}

// An arc of the ellipse in `box` from the ray towards `start` counter-
// clockwise to the ray towards `end`: kind 0 the arc, 1 a chord, 2 a pie.
void Player::arc(const QRectF& box, QPointF start, QPointF end, int kind) {
    const QRectF r = box.normalized();
    if (r.isEmpty())
        return;
    const QPointF c = r.center();
    auto angle = [&](QPointF p) {
        return std::atan2(-(p.y() - c.y()) / r.height(), (p.x() - c.x()) / r.width()) * 180 / M_PI;
    };
    const double a0 = angle(start);
    double sweep = angle(end) - a0;
    if (sweep <= 0)
        sweep += 360;
    QPainterPath p;
    if (kind == 2)
        p.moveTo(c);
    else
        p.arcMoveTo(r, a0);
    p.arcTo(r, a0, sweep);
    if (kind)
        p.closeSubpath();
    if (inPath)
        path.addPath(p);
    else
        drawPath(p, kind != 0, true);
}

void Player::text(QPointF at, const QString& s, const std::vector<double>& dx, quint32 options,
                  const QRectF& rect) {
    const QTransform t = full();
    if (options & 0x2 && !rect.isEmpty()) { // ETO_OPAQUE
        prepare(false);
        painter.fillRect(rect.normalized(), dc.bkColor);
    }
    if (s.isEmpty())
        return;
    if (dc.textAlign & 1) // TA_UPDATECP
        at = dc.cur;
    // The size the text comes out: the font's height mapped onto the image.
    const double scale = std::hypot(t.m21(), t.m22());
    double em = std::abs(dc.font.height) * scale;
    if (dc.font.height > 0)
        em /= 1.15; // a cell height: the em without the leading
    if (dc.font.height == 0)
        em = size.height() / 10.0;
    if (!(em >= 0.5) || em > 4 * MaxMetafilePixels)
        return;
    QFont font;
    if (!dc.font.face.isEmpty())
        font.setFamily(dc.font.face);
    font.setPixelSize(std::max(1, int(std::lround(em))));
    font.setWeight(QFont::Weight(std::clamp(dc.font.weight ? dc.font.weight : 400, 100, 900)));
    font.setItalic(dc.font.italic);
    font.setUnderline(dc.font.underline);
    font.setStrikeOut(dc.font.strike);
    const QFontMetricsF fm(font);
    const double xScale = std::hypot(t.m11(), t.m12());
    std::vector<double> advance;
    double width = 0;
    if (dx.size() == size_t(s.size())) {
        for (double d : dx) {
            advance.push_back(width);
            width += d * xScale;
        }
    } else {
        width = fm.horizontalAdvance(s);
    }
    const quint32 h = dc.textAlign & 6, v = dc.textAlign & 24;
    const double x0 = h == 6 ? -width / 2 : h == 2 ? -width : 0;
    const double y0 = v == 24 ? 0 : v == 8 ? -fm.descent() : fm.ascent();
    painter.setTransform(QTransform());
    if (dc.clipped)
        painter.setClipPath(dc.clip);
    else
        painter.setClipping(false);
    if (options & 0x4 && !rect.isEmpty()) { // ETO_CLIPPED
        QPainterPath clip;
        clip.addPolygon(t.map(QPolygonF(rect.normalized())));
        painter.setClipPath(clip, dc.clipped ? Qt::IntersectClip : Qt::ReplaceClip);
    }
    const QPointF origin = t.map(at);
    const double turn = -dc.font.escapement / 10.0;
    painter.translate(origin);
    painter.rotate(turn);
    painter.setFont(font);
    if (dc.opaqueBk && !(options & 0x2))
        painter.fillRect(QRectF(x0, y0 - fm.ascent(), width, fm.height()), dc.bkColor);
    painter.setPen(dc.textColor);
    if (advance.empty()) {
        painter.drawText(QPointF(x0, y0), s);
    } else {
        for (qsizetype i = 0; i < s.size(); ++i)
            painter.drawText(QPointF(x0 + advance[size_t(i)], y0), QString(s[i]));
    }
    if (dc.textAlign & 1)
        dc.cur = t.inverted().map(origin + QPointF(width, 0));
}

void Player::image(const QImage& img, const QRectF& target, const QRectF& source, quint32 rop) {
    if (img.isNull() || inPath)
        return;
    prepare(false);
    QRectF src = source.isEmpty() ? QRectF(img.rect()) : source;
    painter.drawImage(target, transparentFor(img, rop), src);
}

void Player::patBlt(const QRectF& r, quint32 rop) {
    if (inPath)
        return;
    prepare(false);
    if (rop == 0x00000042)
        painter.fillRect(r.normalized(), Qt::black);
    else if (rop == 0x00FF0062)
        painter.fillRect(r.normalized(), Qt::white);
    else if (rop == 0x00F00021 && dc.brush.style() != Qt::NoBrush)
        painter.fillRect(r.normalized(), dc.brush);
}

void Player::intersectClip(const QPainterPath& onImage) {
    dc.clip = dc.clipped ? dc.clip.intersected(onImage) : onImage;
    dc.clipped = true;
}

void Player::select(const GdiObject& o) {
    if (o.kind == GdiObject::Pen)
        dc.pen = o.pen;
    else if (o.kind == GdiObject::Brush)
        dc.brush = o.brush;
    else if (o.kind == GdiObject::Font)
        dc.font = o.font;
}

void Player::save() {
    if (saved.size() < MaxSavedStates)
        saved.push_back(dc);
}

// `which` below 0 counts back from the last state saved; above it, it is
// the state's number from the first.
void Player::restore(int which) {
    qint64 keep = which < 0 ? qint64(saved.size()) + which : qint64(which) - 1;
    if (keep < 0 || keep >= qint64(saved.size()))
        return;
    dc = saved[size_t(keep)];
    saved.resize(size_t(keep));
}

void Player::setWorld(const QTransform& t, quint32 mode) {
    if (mode == 1)
        dc.world = QTransform();
    else if (mode == 2)
        dc.world = t * dc.world;
    else if (mode == 3)
        dc.world = dc.world * t;
    else if (mode == 4)
        dc.world = t;
}

// --- WMF -----------------------------------------------------------------

void Player::playWmf(Bytes data) {
    qint64 at = 0;
    if (data.u32(0) == PlaceableKey) {
        const QRectF box(QPointF(data.i16(6), data.i16(8)), QPointF(data.i16(10), data.i16(12)));
        dc.wOrg = box.topLeft();
        dc.wExt = box.size();
        at = 22;
    }
    const qint64 objects = data.u16(at + 10);
    wmfObjects.resize(std::min<size_t>(size_t(objects), MaxObjects));
    at += qint64(data.u16(at + 2)) * 2;
    auto addObject = [&](const GdiObject& o) {
        for (auto& slot : wmfObjects)
            if (!slot) {
                slot = o;
                return;
            }
    };
    for (int n = 0; n < MaxRecords && data.has(at, 6); ++n) {
        const qint64 words = data.u32(at);
        const quint16 fn = data.u16(at + 4);
        if (fn == 0 || words < 3 || !data.has(at, words * 2))
            return;
        const Bytes r = data.sub(at + 6, words * 2 - 6); // the parameters
        at += words * 2;
        auto pt = [&](qint64 o) { return QPointF(r.i16(o + 2), r.i16(o)); }; // y, x
        auto box = [&](qint64 o) {                                           // b, r, t, l
            return QRectF(QPointF(r.i16(o + 6), r.i16(o + 4)), QPointF(r.i16(o + 2), r.i16(o)));
        };
        auto points = [&](qint64 o, qint64 count) {
            QPolygonF poly;
            if (count <= 0 || !r.has(o, count * 4))
                return poly;
            poly.reserve(count);
            for (qint64 i = 0; i < count; ++i)
                poly << QPointF(r.i16(o + 4 * i), r.i16(o + 4 * i + 2));
            return poly;
        };
        switch (fn) {
        case 0x0103: // SETMAPMODE: the window is the picture whatever the mode
        case 0x0107: // SETSTRETCHBLTMODE
        case 0x0104: // SETROP2
        case 0x0626: // ESCAPE
        case 0x020D: // SETVIEWPORTEXT
        case 0x020E: // SETVIEWPORTORG
            break;
        case 0x020B: // SETWINDOWORG
            dc.wOrg = pt(0);
            break;
        case 0x020C: // SETWINDOWEXT
            if (r.i16(0) && r.i16(2))
                dc.wExt = QSizeF(r.i16(2), r.i16(0));
            break;
        case 0x001E: // SAVEDC
            save();
            break;
        case 0x0127: // RESTOREDC
            restore(r.i16(0));
            break;
        case 0x0102: // SETBKMODE
            dc.opaqueBk = r.u16(0) == 2;
            break;
        case 0x0201: // SETBKCOLOR
            dc.bkColor = r.color(0);
            break;
        case 0x0209: // SETTEXTCOLOR
            dc.textColor = r.color(0);
            break;
        case 0x012E: // SETTEXTALIGN
            dc.textAlign = r.u16(0);
            break;
        case 0x0106: // SETPOLYFILLMODE
            dc.fillRule = r.u16(0) == 2 ? Qt::WindingFill : Qt::OddEvenFill;
            break;
        case 0x02FA: { // CREATEPENINDIRECT
            GdiObject o{GdiObject::Pen, makePen(r.u16(0), r.i16(2), r.color(6)), {}, {}};
            addObject(o);
            break;
        }
        case 0x02FC: { // CREATEBRUSHINDIRECT
            GdiObject o{GdiObject::Brush, {}, makeBrush(r.u16(0), r.color(2), r.u16(6)), {}};
            addObject(o);
            break;
        }
        case 0x0142: { // DIBCREATEPATTERNBRUSH
            GdiObject o{GdiObject::Brush, {}, QBrush(Qt::gray), {}};
            const QImage pattern = packedDib(r.sub(4, r.n - 4));
            if (!pattern.isNull())
                o.brush = QBrush(pattern);
            addObject(o);
            break;
        }
        case 0x02FB: { // CREATEFONTINDIRECT
            GdiObject o;
            o.kind = GdiObject::Font;
            o.font.height = r.i16(0);
            o.font.escapement = r.i16(4);
            o.font.weight = r.i16(8);
            o.font.italic = r.u8(10);
            o.font.underline = r.u8(11);
            o.font.strike = r.u8(12);
            o.font.charset = r.u8(13);
            QByteArray face;
            for (qint64 i = 18; i < 50 && r.u8(i); ++i)
                face += char(r.u8(i));
            o.font.face = decodeBytes(face, o.font.charset);
            addObject(o);
            break;
        }
        case 0x00F7: // CREATEPALETTE
        case 0x01F9: // CREATEPATTERNBRUSH
        case 0x06FF: // CREATEREGION
            addObject(GdiObject());
            break;
        case 0x012D: { // SELECTOBJECT
            const quint16 i = r.u16(0);
            if (i < wmfObjects.size() && wmfObjects[i])
                select(*wmfObjects[i]);
            break;
        }
        case 0x01F0: { // DELETEOBJECT
            const quint16 i = r.u16(0);
            if (i < wmfObjects.size())
                wmfObjects[i].reset();
            break;
        }
        case 0x0214: // MOVETO
            dc.cur = pt(0);
            break;
        case 0x0213: { // LINETO
            const QPointF to = pt(0);
            polygon(QPolygonF({dc.cur, to}), false);
            dc.cur = to;
            break;
        }
        case 0x0325: // POLYLINE
        case 0x0324: // POLYGON
            polygon(points(2, r.i16(0)), fn == 0x0324);
            break;
        case 0x0538: { // POLYPOLYGON
            const qint64 polys = r.u16(0);
            qint64 o = 2 + polys * 2;
            QPainterPath p;
            p.setFillRule(dc.fillRule);
            for (qint64 i = 0; i < polys && r.has(o, 0); ++i) {
                const QPolygonF poly = points(o, r.u16(2 + 2 * i));
                p.addPolygon(poly);
                p.closeSubpath();
                o += qint64(r.u16(2 + 2 * i)) * 4;
            }
            if (inPath)
                path.addPath(p);
            else
                drawPath(p, true, true);
            break;
        }
        case 0x041B: // RECTANGLE
            rectangle(box(0), false);
            break;
        case 0x0418: // ELLIPSE
            rectangle(box(0), true);
            break;
        case 0x061C: // ROUNDRECT
            rectangle(box(4), false, QSizeF(r.i16(2), r.i16(0)));
            break;
        case 0x0817: // ARC
        case 0x0830: // CHORD
        case 0x081A: // PIE
            arc(box(8), pt(4), pt(0), fn == 0x0817 ? 0 : fn == 0x0830 ? 1 : 2);
            break;
        case 0x0416: { // INTERSECTCLIPRECT
            QPainterPath p;
            p.addPolygon(full().map(QPolygonF(box(0).normalized())));
            intersectClip(p);
            break;
        }
        case 0x0521: { // TEXTOUT
            const qint64 len = std::min<qint64>(r.i16(0), MaxTextLength);
            if (len <= 0 || !r.has(2, len))
                break;
            const QByteArray s(reinterpret_cast<const char*>(r.d + 2), len);
            const qint64 o = 2 + ((len + 1) & ~1);
            text(pt(o), decodeBytes(s, dc.font.charset), {}, 0, QRectF());
            break;
        }
        case 0x0A32: { // EXTTEXTOUT
            const qint64 len = std::min<qint64>(r.i16(4), MaxTextLength);
            const quint16 options = r.u16(6);
            qint64 o = 8;
            QRectF rect;
            if (options & 0x6) {
                rect = QRectF(QPointF(r.i16(8), r.i16(10)), QPointF(r.i16(12), r.i16(14)));
                o += 8;
            }
            if (len < 0 || !r.has(o, len))
                break;
            const QByteArray s(reinterpret_cast<const char*>(r.d + o), len);
            std::vector<double> dx;
            const qint64 dxAt = o + ((len + 1) & ~1);
            if (len > 0 && r.has(dxAt, len * 2))
                for (qint64 i = 0; i < len; ++i)
                    dx.push_back(r.i16(dxAt + 2 * i));
            const QString str = decodeBytes(s, dc.font.charset);
            if (str.size() != len)
                dx.clear(); // double-byte characters: their advances pair up differently
            text(pt(0), str, dx, options, rect);
            break;
        }
        case 0x061D: { // PATBLT: rop, height, width, y, x
            const QRectF rect(r.i16(10), r.i16(8), r.i16(6), r.i16(4));
            patBlt(rect, r.u32(0));
            break;
        }
        case 0x0B41:   // DIBSTRETCHBLT
        case 0x0940: { // DIBBITBLT
            // A record without a bitmap has one more word before the
            // target; one with a bitmap has none.
            const bool stretch = fn == 0x0B41;
            const qint64 fixed = stretch ? 20 : 16;
            const bool hasBitmap = words * 2 - 6 > fixed + 2;
            const quint32 rop = r.u32(0);
            const qint64 o = hasBitmap ? 0 : 2;
            QRectF target, source;
            if (stretch) {
                source = QRectF(r.i16(o + 10), r.i16(o + 8), r.i16(o + 6), r.i16(o + 4));
                target = QRectF(r.i16(o + 18), r.i16(o + 16), r.i16(o + 14), r.i16(o + 12));
            } else {
                source = QRectF(r.i16(o + 6), r.i16(o + 4), r.i16(o + 10), r.i16(o + 8));
                target = QRectF(r.i16(o + 14), r.i16(o + 12), r.i16(o + 10), r.i16(o + 8));
            }
            if (!hasBitmap) {
                patBlt(target, rop);
                break;
            }
            image(packedDib(r.sub(fixed, r.n - fixed)), target, source, rop);
            break;
        }
        case 0x0F43: { // STRETCHDIB: rop, usage, source h w y x, target h w y x, DIB
            const QRectF source(r.i16(12), r.i16(10), r.i16(8), r.i16(6));
            const QRectF target(r.i16(20), r.i16(18), r.i16(16), r.i16(14));
            image(packedDib(r.sub(22, r.n - 22)), target, source, r.u32(0));
            break;
        }
        default:
            break;
        }
    }
}

// --- EMF -----------------------------------------------------------------

void Player::playEmf(Bytes data) {
    // The reference device's pixels, and the picture frame (0.01 mm) on them.
    const double devW = data.i32(72), devH = data.i32(76);
    const double mmW = data.i32(80), mmH = data.i32(84);
    if (devW > 0 && mmW > 0)
        pixelsPerMm = devW / mmW;
    const double ppmY = devH > 0 && mmH > 0 ? devH / mmH : pixelsPerMm;
    QRectF frame(QPointF(data.i32(24) * pixelsPerMm / 100, data.i32(28) * ppmY / 100),
                 QPointF(data.i32(32) * pixelsPerMm / 100, data.i32(36) * ppmY / 100));
    if (frame.width() <= 0 || frame.height() <= 0)
        frame = QRectF(QPointF(data.i32(8), data.i32(12)),
                       QPointF(data.i32(16) + 1.0, data.i32(20) + 1.0));
    if (frame.width() <= 0 || frame.height() <= 0)
        return;
    deviceToImage =
        QTransform::fromTranslate(-frame.left(), -frame.top()) *
        QTransform::fromScale(size.width() / frame.width(), size.height() / frame.height());
    qint64 at = 0;
    for (int n = 0; n < MaxRecords && data.has(at, 8); ++n) {
        const quint32 type = data.u32(at);
        const qint64 len = data.u32(at + 4);
        if (len < 8 || len % 4 || !data.has(at, len))
            return;
        const Bytes r = data.sub(at, len); // the whole record
        at += len;
        auto pointL = [&](qint64 o) { return QPointF(r.i32(o), r.i32(o + 4)); };
        auto rectL = [&](qint64 o) { return QRectF(pointL(o), pointL(o + 8)); };
        auto sizeL = [&](qint64 o) { return QSizeF(r.i32(o), r.i32(o + 4)); };
        // `count` points from `o`, 32-bit or 16-bit ones.
        auto points = [&](qint64 o, qint64 count, bool small) {
            QPolygonF poly;
            const int step = small ? 4 : 8;
            if (count <= 0 || !r.has(o, count * step))
                return poly;
            poly.reserve(count);
            for (qint64 i = 0; i < count; ++i, o += step)
                poly << (small ? QPointF(r.i16(o), r.i16(o + 2)) : pointL(o));
            return poly;
        };
        auto bitmap = [&](qint64 offBmi, qint64 cbBmi, qint64 offBits, qint64 cbBits) {
            if (!r.has(offBmi, cbBmi) || !r.has(offBits, cbBits) || cbBmi < 12)
                return QImage();
            return dibImage(r.sub(offBmi, cbBmi), r.sub(offBits, cbBits));
        };
        switch (type) {
        case 14: // EOF
            return;
        case 9: // SETWINDOWEXTEX
            if (r.i32(8) && r.i32(12))
                dc.wExt = sizeL(8);
            break;
        case 10: // SETWINDOWORGEX
            dc.wOrg = pointL(8);
            break;
        case 11: // SETVIEWPORTEXTEX
            if (r.i32(8) && r.i32(12))
                dc.vExt = sizeL(8);
            break;
        case 12: // SETVIEWPORTORGEX
            dc.vOrg = pointL(8);
            break;
        case 17: // SETMAPMODE
            dc.mapMode = int(r.u32(8));
            break;
        case 18: // SETBKMODE
            dc.opaqueBk = r.u32(8) == 2;
            break;
        case 19: // SETPOLYFILLMODE
            dc.fillRule = r.u32(8) == 2 ? Qt::WindingFill : Qt::OddEvenFill;
            break;
        case 22: // SETTEXTALIGN
            dc.textAlign = r.u32(8);
            break;
        case 24: // SETTEXTCOLOR
            dc.textColor = r.color(8);
            break;
        case 25: // SETBKCOLOR
            dc.bkColor = r.color(8);
            break;
        case 27: // MOVETOEX
            dc.cur = pointL(8);
            if (inPath)
                path.moveTo(dc.cur);
            break;
        case 54: { // LINETO
            const QPointF to = pointL(8);
            if (inPath) {
                if (path.elementCount() == 0)
                    path.moveTo(dc.cur);
                path.lineTo(to);
            } else {
                polygon(QPolygonF({dc.cur, to}), false);
            }
            dc.cur = to;
            break;
        }
        case 33: // SAVEDC
            save();
            break;
        case 34: // RESTOREDC
            restore(r.i32(8));
            break;
        case 35: // SETWORLDTRANSFORM
        case 36: // MODIFYWORLDTRANSFORM
            setWorld(QTransform(r.f32(8), r.f32(12), r.f32(16), r.f32(20), r.f32(24), r.f32(28)),
                     type == 35 ? 4 : r.u32(32));
            break;
        case 37: { // SELECTOBJECT
            const quint32 i = r.u32(8);
            if (i & 0x80000000u) {
                // Stock objects: brushes white..null, pens white, black, null.
                static constexpr int grays[] = {255, 192, 128, 64, 0};
                const quint32 stock = i & 0x7FFFFFFFu;
                if (stock <= 4)
                    dc.brush = QBrush(QColor(grays[stock], grays[stock], grays[stock]));
                else if (stock == 5)
                    dc.brush = QBrush(Qt::NoBrush);
                else if (stock == 6 || stock == 7)
                    dc.pen = QPen(stock == 6 ? Qt::white : Qt::black, 0);
                else if (stock == 8)
                    dc.pen = QPen(Qt::NoPen);
                else if (stock >= 10 && stock <= 17 && stock != 15)
                    dc.font = FontSpec();
            } else if (const auto it = emfObjects.find(i); it != emfObjects.end()) {
                select(it->second);
            }
            break;
        }
        case 40: // DELETEOBJECT
            emfObjects.erase(r.u32(8));
            break;
        case 38:   // CREATEPEN
        case 39:   // CREATEBRUSHINDIRECT
        case 95:   // EXTCREATEPEN
        case 82:   // EXTCREATEFONTINDIRECTW
        case 94: { // CREATEDIBPATTERNBRUSHPT
            const quint32 i = r.u32(8);
            if (emfObjects.size() >= MaxObjects && !emfObjects.count(i))
                break;
            GdiObject o;
            if (type == 38) {
                o.kind = GdiObject::Pen;
                o.pen = makePen(r.u32(12), r.i32(16), r.color(24));
            } else if (type == 95) {
                o.kind = GdiObject::Pen;
                o.pen = makePen(r.u32(28), r.u32(32), r.color(40));
            } else if (type == 39) {
                o.kind = GdiObject::Brush;
                o.brush = makeBrush(r.u32(12), r.color(16), r.u32(20));
            } else if (type == 94) {
                o.kind = GdiObject::Brush;
                const QImage pattern = bitmap(r.u32(16), r.u32(20), r.u32(24), r.u32(28));
                o.brush = pattern.isNull() ? QBrush(Qt::gray) : QBrush(pattern);
            } else {
                o.kind = GdiObject::Font;
                o.font.height = r.i32(12);
                o.font.escapement = r.i32(20);
                o.font.weight = r.i32(28);
                o.font.italic = r.u8(32);
                o.font.underline = r.u8(33);
                o.font.strike = r.u8(34);
                o.font.charset = r.u8(35);
                for (qint64 c = 40; c < 104 && r.u16(c); c += 2)
                    o.font.face += QChar(r.u16(c));
            }
            emfObjects[i] = o;
            break;
        }
        case 3:  // POLYGON
        case 4:  // POLYLINE
        case 86: // POLYGON16
        case 87: // POLYLINE16
            polygon(points(28, r.u32(24), type > 80), type == 3 || type == 86);
            break;
        case 2:  // POLYBEZIER
        case 5:  // POLYBEZIERTO
        case 85: // POLYBEZIER16
        case 88: // POLYBEZIERTO16
            polyBezier(points(28, r.u32(24), type > 80), type == 5 || type == 88);
            break;
        case 6:    // POLYLINETO
        case 89: { // POLYLINETO16
            QPolygonF poly = points(28, r.u32(24), type == 89);
            if (poly.isEmpty())
                break;
            if (inPath) {
                if (path.elementCount() == 0)
                    path.moveTo(dc.cur);
                for (const QPointF& p : poly)
                    path.lineTo(p);
            } else {
                poly.prepend(dc.cur);
                polygon(poly, false);
            }
            dc.cur = poly.last();
            break;
        }
        case 7:    // POLYPOLYLINE
        case 8:    // POLYPOLYGON
        case 90:   // POLYPOLYLINE16
        case 91: { // POLYPOLYGON16
            const bool small = type > 80, closed = type == 8 || type == 91;
            const qint64 polys = r.u32(24), total = r.u32(28);
            if (!r.has(32, polys * 4))
                break;
            qint64 o = 32 + polys * 4, used = 0;
            QPainterPath p;
            p.setFillRule(dc.fillRule);
            for (qint64 i = 0; i < polys; ++i) {
                const qint64 count = r.u32(32 + 4 * i);
                if (count > total - used)
                    break;
                const QPolygonF poly = points(o, count, small);
                if (poly.isEmpty())
                    break;
                if (closed) {
                    p.addPolygon(poly);
                    p.closeSubpath();
                } else {
                    p.moveTo(poly.first());
                    for (const QPointF& pt : poly)
                        p.lineTo(pt);
                }
                o += count * (small ? 4 : 8);
                used += count;
            }
            if (inPath)
                path.addPath(p);
            else
                drawPath(p, closed, true);
            break;
        }
        case 42: // ELLIPSE
        case 43: // RECTANGLE
            rectangle(rectL(8), type == 42);
            break;
        case 44: // ROUNDRECT
            rectangle(rectL(8), false, sizeL(24));
            break;
        case 45: // ARC
        case 46: // CHORD
        case 47: // PIE
            arc(rectL(8), pointL(24), pointL(32), type == 45 ? 0 : type == 46 ? 1 : 2);
            break;
        case 59: // BEGINPATH
            inPath = true;
            path = QPainterPath();
            path.setFillRule(dc.fillRule);
            break;
        case 60: // ENDPATH
            inPath = false;
            break;
        case 61: // CLOSEFIGURE
            if (inPath)
                path.closeSubpath();
            break;
        case 62: // FILLPATH
        case 63: // STROKEANDFILLPATH
        case 64: // STROKEPATH
            path.setFillRule(dc.fillRule);
            drawPath(path, type != 64, type != 62);
            path = QPainterPath();
            break;
        case 67: { // SELECTCLIPPATH
            intersectClip(full().map(path));
            path = QPainterPath();
            break;
        }
        case 30: { // INTERSECTCLIPRECT
            QPainterPath p;
            p.addPolygon(full().map(QPolygonF(rectL(8).normalized())));
            intersectClip(p);
            break;
        }
        case 75: { // EXTSELECTCLIPRGN: the region's rectangles are device pixels
            const qint64 cb = r.u32(8);
            const quint32 mode = r.u32(12);
            if (mode == 5 && cb == 0) { // RGN_COPY of no region: no clip
                dc.clipped = false;
                dc.clip = QPainterPath();
                break;
            }
            const qint64 count = r.u32(16 + 8);
            if (!r.has(16, cb) || count > (cb - 32) / 16 || (mode != 1 && mode != 5))
                break;
            QPainterPath region;
            for (qint64 i = 0; i < count; ++i)
                region.addPolygon(
                    deviceToImage.map(QPolygonF(rectL(16 + 32 + 16 * i).normalized())));
            if (mode == 5)
                dc.clipped = false;
            intersectClip(region);
            break;
        }
        case 83:   // EXTTEXTOUTA
        case 84: { // EXTTEXTOUTW
            const qint64 chars = std::min<qint64>(r.u32(44), MaxTextLength);
            const qint64 offString = r.u32(48), offDx = r.u32(72);
            const quint32 options = r.u32(52);
            const bool wide = type == 84;
            if (!r.has(offString, chars * (wide ? 2 : 1)))
                break;
            QString s;
            if (wide) {
                for (qint64 i = 0; i < chars; ++i)
                    s += QChar(r.u16(offString + 2 * i));
            } else {
                s = decodeBytes(QByteArray(reinterpret_cast<const char*>(r.d + offString), chars),
                                dc.font.charset);
            }
            std::vector<double> dx;
            if (offDx && r.has(offDx, chars * 4) && !(options & 0x10)) // not ETO_GLYPH_INDEX
                for (qint64 i = 0; i < chars; ++i)
                    dx.push_back(r.i32(offDx + 4 * i));
            if (options & 0x10)
                break; // glyph numbers of a font we do not have
            text(pointL(36), s, dx, options, rectL(56));
            break;
        }
        case 76:   // BITBLT
        case 77: { // STRETCHBLT
            const QRectF target(pointL(24), sizeL(32));
            const quint32 rop = r.u32(40);
            const qint64 cbBmi = r.u32(88);
            if (cbBmi == 0) {
                patBlt(target, rop);
                break;
            }
            QRectF source(pointL(44), type == 77 ? sizeL(100) : sizeL(32));
            image(bitmap(r.u32(84), cbBmi, r.u32(92), r.u32(96)), target, source, rop);
            break;
        }
        case 81: { // STRETCHDIBITS
            const QRectF target(pointL(24), sizeL(72));
            const QRectF source(pointL(32), sizeL(40));
            image(bitmap(r.u32(48), r.u32(52), r.u32(56), r.u32(60)), target, source, r.u32(68));
            break;
        }
        case 80: { // SETDIBITSTODEVICE
            const QRectF target(pointL(24), sizeL(40));
            const QRectF source(pointL(32), sizeL(40));
            image(bitmap(r.u32(48), r.u32(52), r.u32(56), r.u32(60)), target, source, 0x00CC0020);
            break;
        }
        default: // comments (EMF+ among them, which draws its EMF twin too) and the rest
            break;
        }
    }
}

} // namespace

MetafileKind metafileKind(const QByteArray& data) {
    const Bytes b{reinterpret_cast<const uchar*>(data.constData()), data.size()};
    if (b.u32(0) == 1 && b.u32(40) == EmfSignature && b.u32(4) >= 88)
        return MetafileKind::Emf;
    const qint64 at = b.u32(0) == PlaceableKey ? 22 : 0;
    const quint16 type = b.u16(at), header = b.u16(at + 2), version = b.u16(at + 4);
    if ((type == 1 || type == 2) && header == 9 && (version == 0x300 || version == 0x100))
        return MetafileKind::Wmf;
    return MetafileKind::None;
}

QSizeF metafileSize(const QByteArray& data) {
    const Bytes b{reinterpret_cast<const uchar*>(data.constData()), data.size()};
    switch (metafileKind(data)) {
    case MetafileKind::Emf: {
        const QSizeF frame(double(b.i32(32)) - b.i32(24), double(b.i32(36)) - b.i32(28));
        return frame.isValid() ? frame * 1440 / 2540 : QSizeF();
    }
    case MetafileKind::Wmf: {
        if (b.u32(0) != PlaceableKey || b.u16(14) == 0)
            return {};
        const QSizeF box(b.i16(10) - b.i16(6), b.i16(12) - b.i16(8));
        return box.isValid() ? box * 1440 / b.u16(14) : QSizeF();
    }
    case MetafileKind::None:
        break;
    }
    return {};
}

QImage renderMetafile(const QByteArray& data, const QSize& pixels) {
    const MetafileKind kind = metafileKind(data);
    if (kind == MetafileKind::None || pixels.isEmpty())
        return {};
    QImage image(pixels.boundedTo(QSize(MaxMetafilePixels, MaxMetafilePixels)),
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        Player player(image, kind == MetafileKind::Emf);
        const Bytes b{reinterpret_cast<const uchar*>(data.constData()), data.size()};
        if (kind == MetafileKind::Emf)
            player.playEmf(b);
        else
            player.playWmf(b);
    }
    return image;
}

} // namespace wp::docmodel
