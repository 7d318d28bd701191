#pragma once
// Pictures come only from a document's own data. A picture keeps its PNG or
// JPEG bytes on its image format (prop::ImageData) under a name made from
// them; the document shows it from a resource decoded at the size it is
// drawn. Any other image name (a file, a web address, a relative path) is
// never looked up: it shows as an empty frame of its size.

#include <QByteArray>
#include <QRectF>
#include <QString>

class QImage;
class QTextDocument;
class QTextFormat;

namespace wp::docmodel {

/// What a document shows for an image it holds no data of: one transparent
/// pixel, stretched to the picture's size. Always the same image, so that
/// it can be told from a picture of the document's own.
const QImage& blankPicture();
bool isBlankPicture(const QImage& image);

/// Makes `doc` answer every image name it holds no resource for with the
/// blank picture, so that Qt never reads a name from disk (its fallback).
void keepPicturesOwn(QTextDocument* doc);

/// The name a picture with these bytes goes by in every document; a
/// cropped one (prop::ImageCrop) carries its crop in the name as well.
QString pictureName(const QByteArray& data, const QRectF& crop = QRectF());

/// The part of the picture a format shows (prop::ImageCrop, in fractions of
/// the whole), or a null rectangle for the whole picture.
QRectF pictureCrop(const QTextFormat& format);

/// Gives every picture of `piece` (a document read for pasting or loading)
/// its data under its own name: the data it carries, else that of the
/// picture of the same name in `source` (the document it goes into: a
/// picture copied within it), else none, an empty frame of its size.
void ownPictures(QTextDocument* piece, const QTextDocument* source = nullptr);

/// Gives the document the images its pictures' data make, each decoded at
/// the size it is drawn at print resolution, never larger than the picture
/// itself; documents holding the same picture at the same size share one
/// decoded image. Data that does not decode shows the blank picture.
void addImageResources(QTextDocument* doc);

/// Dots per inch a picture is decoded at: what a printer shows of a photo.
constexpr int PictureDpi = 300;

} // namespace wp::docmodel
