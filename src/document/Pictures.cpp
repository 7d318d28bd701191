#include "document/Pictures.h"

#include "document/Metafile.h"

#include "wp/TextControl.h"

#include <QBuffer>
#include <QCache>
#include <QCryptographicHash>
#include <QHash>
#include <QImage>
#include <QImageReader>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QUrl>
#include <cmath>
#include <vector>

namespace wp::docmodel {

namespace {

// Decoded pictures by their data and size, so that the preview's and the
// stepper's copies of a document show the images the host's document
// decoded. An entry costs its kilobytes; what a document still shows stays
// alive in it after the cache let go.
QCache<QString, QImage>& decodedPictures() {
    static QCache<QString, QImage> cache(64 * 1024);
    return cache;
}

// The pixels to decode a picture drawn `drawn` (96-dpi units) large into:
// its size at PictureDpi, never more than `full`; `full` itself when the
// drawn size is not known (Qt then takes the picture's own size).
QSize decodeSize(const QSize& full, const QSizeF& drawn) {
    if (!full.isValid() || !(drawn.width() > 0) || !(drawn.height() > 0))
        return full;
    const QSize want(std::max(1, int(std::ceil(drawn.width() * PictureDpi / 96.0))),
                     std::max(1, int(std::ceil(drawn.height() * PictureDpi / 96.0))));
    return want.width() < full.width() || want.height() < full.height() ? want.boundedTo(full)
                                                                        : full;
}

// The picture of `data` at `size` pixels: the one decoded before, else what
// `make` gives, kept for the next document that shows it.
template <typename Make>
QImage cachedPicture(const QByteArray& data, const QSize& size, Make make) {
    const QString key = pictureName(data) + QLatin1Char('@') + QString::number(size.width()) +
                        QLatin1Char('x') + QString::number(size.height());
    auto& cache = decodedPictures();
    if (const QImage* hit = cache.object(key))
        return *hit;
    QImage image = make();
    if (!image.isNull())
        cache.insert(key, new QImage(image), std::max<qsizetype>(1, image.sizeInBytes() / 1024));
    return image;
}

// A metafile is drawn at the size it is shown at PictureDpi, else at the
// size it gives itself.
QImage drawMetafile(const QByteArray& data, const QSizeF& drawn) {
    const QSizeF twips = drawn.width() > 0 && drawn.height() > 0 ? drawn * 15 : metafileSize(data);
    const QSize size = twips.width() > 0 && twips.height() > 0
                           ? QSize(std::max(1, int(std::ceil(twips.width() * PictureDpi / 1440))),
                                   std::max(1, int(std::ceil(twips.height() * PictureDpi / 1440))))
                           : QSize(256, 256);
    return cachedPicture(data, size, [&] { return renderMetafile(data, size); });
}

QImage decodePicture(const QByteArray& data, const QSizeF& drawn) {
    if (metafileKind(data) != MetafileKind::None)
        return drawMetafile(data, drawn);
    QByteArray bytes = data;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = decodeSize(reader.size(), drawn);
    return cachedPicture(data, size, [&] {
        if (size.isValid() && size != reader.size())
            reader.setScaledSize(size);
        return reader.read();
    });
}

// The part `crop` of a picture drawn `drawn` large: the whole picture
// decoded at the size it would have, cut to that part.
QImage decodeShown(const QByteArray& data, const QSizeF& drawn, const QRectF& crop) {
    if (!crop.isValid())
        return decodePicture(data, drawn);
    const QSizeF whole = drawn.width() > 0 && drawn.height() > 0
                             ? QSizeF(drawn.width() / crop.width(), drawn.height() / crop.height())
                             : drawn;
    const QImage full = decodePicture(data, whole);
    const QRect part = QRectF(crop.x() * full.width(), crop.y() * full.height(),
                              crop.width() * full.width(), crop.height() * full.height())
                           .toAlignedRect() &
                       full.rect();
    return full.isNull() || part.isEmpty() ? full : full.copy(part);
}

} // namespace

const QImage& blankPicture() {
    static const QImage blank = [] {
        QImage image(1, 1, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        return image;
    }();
    return blank;
}

bool isBlankPicture(const QImage& image) {
    return image.cacheKey() == blankPicture().cacheKey();
}

void keepPicturesOwn(QTextDocument* doc) {
    doc->setResourceProvider([](const QUrl&) { return QVariant(blankPicture()); });
}

QString pictureName(const QByteArray& data, const QRectF& crop) {
    QString name =
        QStringLiteral("wpimage:") +
        QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha1).toHex());
    if (crop.isValid())
        name += QStringLiteral("#%1,%2,%3,%4")
                    .arg(crop.x(), 0, 'f', 4)
                    .arg(crop.y(), 0, 'f', 4)
                    .arg(crop.width(), 0, 'f', 4)
                    .arg(crop.height(), 0, 'f', 4);
    return name;
}

QRectF pictureCrop(const QTextFormat& f) {
    const QVariantList v = f.property(prop::ImageCrop).toList();
    if (v.size() != 4)
        return QRectF();
    const QRectF crop(v[0].toDouble(), v[1].toDouble(), v[2].toDouble(), v[3].toDouble());
    const bool inside = crop.x() >= 0 && crop.y() >= 0 && crop.width() > 0 && crop.height() > 0 &&
                        crop.right() <= 1 && crop.bottom() <= 1;
    return inside ? crop : QRectF();
}

void ownPictures(QTextDocument* piece, const QTextDocument* source) {
    QHash<QString, QByteArray> known;
    if (source)
        for (const QTextFormat& f : source->allFormats())
            if (f.isImageFormat() && f.hasProperty(prop::ImageData))
                known.insert(f.toImageFormat().name(), f.property(prop::ImageData).toByteArray());
    struct Change {
        int start, end;
        QTextImageFormat format;
    };
    std::vector<Change> changes;
    for (QTextBlock block = piece->begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            if (!frag.charFormat().isImageFormat())
                continue;
            QTextImageFormat f = frag.charFormat().toImageFormat();
            const QByteArray data = f.hasProperty(prop::ImageData)
                                        ? f.property(prop::ImageData).toByteArray()
                                        : known.value(f.name());
            const QString name = pictureName(data, pictureCrop(f));
            if (f.hasProperty(prop::ImageData) && f.name() == name)
                continue;
            f.setName(name);
            f.setProperty(prop::ImageData, data);
            changes.push_back({frag.position(), frag.position() + frag.length(), f});
        }
    QTextCursor cursor(piece);
    for (const Change& c : changes) {
        cursor.setPosition(c.start);
        cursor.setPosition(c.end, QTextCursor::KeepAnchor);
        cursor.setCharFormat(c.format);
    }
}

void addImageResources(QTextDocument* doc) {
    if (!doc->resourceProvider())
        keepPicturesOwn(doc);
    // The largest size each picture is drawn at; a side of no given size
    // (below 0) is the picture's own, which only the whole picture gives.
    struct Use {
        QByteArray data;
        QSizeF drawn;
        QRectF crop;
    };
    QHash<QString, Use> uses;
    auto larger = [](double a, double b) { return a < 0 || b < 0 ? -1.0 : std::max(a, b); };
    for (const QTextFormat& f : doc->allFormats()) {
        if (!f.isImageFormat() || !f.hasProperty(prop::ImageData))
            continue;
        const QTextImageFormat image = f.toImageFormat();
        const QSizeF drawn(image.hasProperty(QTextFormat::ImageWidth) ? image.width() : -1,
                           image.hasProperty(QTextFormat::ImageHeight) ? image.height() : -1);
        const auto known = uses.find(image.name());
        if (known == uses.end()) {
            uses.insert(image.name(),
                        {image.property(prop::ImageData).toByteArray(), drawn, pictureCrop(image)});
            continue;
        }
        known->drawn = QSizeF(larger(known->drawn.width(), drawn.width()),
                              larger(known->drawn.height(), drawn.height()));
    }
    for (auto it = uses.cbegin(); it != uses.cend(); ++it) {
        const QUrl url(it.key());
        if (!isBlankPicture(doc->resource(QTextDocument::ImageResource, url).value<QImage>()))
            continue; // given already
        const QImage image = decodeShown(it->data, it->drawn, it->crop);
        if (!image.isNull())
            doc->addResource(QTextDocument::ImageResource, url, image);
    }
}

} // namespace wp::docmodel
