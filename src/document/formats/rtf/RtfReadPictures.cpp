// Pictures: \pict with PNG or JPEG data becomes an inline image of the
// size \picwgoal / \pichgoal and \picscalex / \picscaley give it; other
// kinds (WMF, EMF, bitmaps) keep their size as an empty frame. Of
// \shppict and \nonshppict, the first (PNG or JPEG) is read.
#include "document/formats/rtf/RtfCommon.h"
#include "document/formats/rtf/RtfParser.h"

#include <QCryptographicHash>
#include <QTextImageFormat>
#include <algorithm>

namespace wp::RtfReader::detail {

bool Parser::pictureDestinationWord(std::string_view word) {
    if (word == "shppict")
        return true; // its \pict is the picture itself
    if (word != "pict")
        return false;
    if (inDocument()) {
        destination(Dest::Picture);
        picture = PictureProps();
    } else {
        destination(Dest::Skip);
    }
    return true;
}

bool Parser::pictureWord(std::string_view word, bool hasParam, int param) {
    if (st.dest != Dest::Picture)
        return false;
    const int n = hasParam ? std::clamp(param, 0, MaxLength) : 0;
    if (word == "pngblip")
        picture.kind = PictureProps::Png;
    else if (word == "jpegblip")
        picture.kind = PictureProps::Jpeg;
    else if (word == "picw")
        picture.w = n;
    else if (word == "pich")
        picture.h = n;
    else if (word == "picwgoal")
        picture.wGoal = n;
    else if (word == "pichgoal")
        picture.hGoal = n;
    else if (word == "picscalex")
        picture.scaleX = n;
    else if (word == "picscaley")
        picture.scaleY = n;
    else if (word == "wmetafile" || word == "emfblip" || word == "macpict" || word == "dibitmap" ||
             word == "wbitmap" || word == "pmmetafile")
        picture.kind = PictureProps::Other;
    return true;
}

// Hex digits of the picture's data, read here in one sweep: pictures are
// most of a résumé's bytes.
void Parser::pictureData() {
    QByteArray& data = picture.data;
    while (p < end) {
        const char c = *p;
        if (c == '\r' || c == '\n' || c == ' ' || c == '\t') {
            ++p;
            continue;
        }
        const int d = rtf::hexValue(c);
        if (d < 0)
            return;
        ++p;
        if (picture.half < 0) {
            picture.half = d;
        } else {
            data += char(picture.half * 16 + d);
            picture.half = -1;
        }
    }
}

void Parser::pictureBinary(const char* data, qsizetype size) {
    if (st.dest == Dest::Picture)
        picture.data.append(data, size);
}

void Parser::endPictureGroup() {
    if (st.dest != Dest::Picture || stack.back().dest == Dest::Picture)
        return;
    const PictureProps& pic = picture;
    // The size on the page in twips: the goal size, else the picture's own
    // (pixels for PNG and JPEG, 0.01 mm for metafiles).
    const bool blip = pic.kind == PictureProps::Png || pic.kind == PictureProps::Jpeg;
    auto own = [&](int v) { return blip ? v * rtf::TwipsPerPixel : v * 1440.0 / 2540.0; };
    double w = pic.wGoal > 0 ? pic.wGoal : own(pic.w);
    double h = pic.hGoal > 0 ? pic.hGoal : own(pic.h);
    if (pic.scaleX > 0)
        w = w * pic.scaleX / 100.0;
    if (pic.scaleY > 0)
        h = h * pic.scaleY / 100.0;
    w = std::min<double>(w, MaxLength);
    h = std::min<double>(h, MaxLength);
    QByteArray data = blip ? pic.data : QByteArray();
    if (data.isEmpty() && (w < 1 || h < 1))
        return; // nothing to show and no room to keep
    QTextImageFormat fmt;
    fmt.merge(charFormat(stack.back().chr));
    fmt.setName(
        QStringLiteral("wpimage:") +
        QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha1).toHex()));
    fmt.setProperty(prop::ImageData, data);
    // Image sizes are 1/96 inch, which Qt scales to the device.
    if (w >= 1)
        fmt.setWidth(w / rtf::TwipsPerPixel);
    if (h >= 1)
        fmt.setHeight(h / rtf::TwipsPerPixel);
    builders[stack.back().target].object(fmt);
}

} // namespace wp::RtfReader::detail
