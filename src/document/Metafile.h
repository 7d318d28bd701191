#pragma once
// Windows metafiles (WMF, with or without its placeable header, and EMF)
// as Word, WordPad and Outlook put them in documents: played on a QPainter
// record by record. Only the records such documents use are drawn; the rest
// are passed over. Every count, offset and size a record gives is checked
// against the record, so any bytes play in bounded time and memory.

#include <QByteArray>
#include <QSizeF>

class QImage;
class QSize;

namespace wp::docmodel {

enum class MetafileKind { None, Wmf, Emf };

/// What kind of metafile `data` holds (by its header), None for anything else.
MetafileKind metafileKind(const QByteArray& data);

/// The size the metafile says it is drawn at, in twips; empty when it does
/// not say (a WMF without its placeable header).
QSizeF metafileSize(const QByteArray& data);

/// The metafile drawn on a transparent image of `pixels`, its picture frame
/// filling the image; a null image for data that is no metafile. Sides are
/// bounded to MaxMetafilePixels.
QImage renderMetafile(const QByteArray& data, const QSize& pixels);

/// The longest side of an image a metafile is drawn into.
constexpr int MaxMetafilePixels = 4096;

} // namespace wp::docmodel
