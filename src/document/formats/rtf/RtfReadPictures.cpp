// Pictures: \pict with PNG, JPEG, WMF or EMF data becomes an inline image
// of the size \picwgoal / \pichgoal and \picscalex / \picscaley give it;
// other kinds (bitmaps, Mac pictures) keep their size as an empty frame. Of
// \shppict and \nonshppict, the first (PNG or JPEG) is read.
#include "document/Metafile.h"
#include "document/formats/rtf/RtfCommon.h"
#include "document/formats/rtf/RtfParser.h"

#include <QTextCursor>
#include <QTextFrame>
#include <QTextImageFormat>
#include <algorithm>

namespace wp::RtfReader::detail {

bool Parser::pictureDestinationWord(std::string_view word) {
    if (word == "shppict")
        return true; // its \pict is the picture itself
    if (word == "object" && inDocument())
        return true; // read for its \result: what readers without its program show
    if (word == "shp" && inDocument()) {
        // A shape in a text box is not read: text boxes do not nest.
        if (st.target == TextBoxTarget) {
            destination(Dest::Skip);
            return true;
        }
        destination(Dest::Shape);
        shape = ShapeProps();
        return true;
    }
    if (st.dest == Dest::Shape) {
        if (word == "shpinst")
            return true;
        if (word == "shptxt" && !shape.hasText) {
            // The text goes into a builder of its own until the shape ends.
            shape.hasText = true;
            builders[TextBoxTarget] = Builder();
            st.dest = Dest::HeaderFooter;
            st.target = TextBoxTarget;
            st.para = ParaProps();
            st.chr = CharProps();
            st.field = 0;
            return true;
        }
        if (word == "sp") {
            st.dest = Dest::ShapeProp;
            shape.propName.clear();
            shape.propValue.clear();
            return true;
        }
        return false; // \shprslt (what readers without shapes show) is skipped
    }
    if (st.dest == Dest::ShapeProp && (word == "sn" || word == "sv")) {
        st.dest = word == "sn" ? Dest::ShapePropName : Dest::ShapePropValue;
        return true;
    }
    if (word != "pict")
        return false;
    // The picture of a shape is its property "pib".
    if (inDocument() ||
        (st.dest == Dest::ShapePropValue && shape.propName == QLatin1String("pib"))) {
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
    const int n = hasParam ? docmodel::boundLength(param) : 0;
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
    else if (word.starts_with("piccrop") && word.size() == 8) {
        static constexpr std::string_view sides = "ltrb";
        if (const size_t side = sides.find(word[7]); side != std::string_view::npos)
            picture.crop[side] = hasParam ? docmodel::boundLength(param, true) : 0;
    } else if (word == "wmetafile" || word == "emfblip")
        picture.kind = PictureProps::Metafile;
    else if (word == "macpict" || word == "dibitmap" || word == "wbitmap" || word == "pmmetafile")
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

bool Parser::shapeWord(std::string_view word, bool hasParam, int param) {
    if (st.dest != Dest::Shape)
        return false;
    const int n = hasParam ? docmodel::boundLength(param, true) : 0;
    static constexpr std::pair<std::string_view, int> relH[] = {
        {"shpbxpage", 0}, {"shpbxmargin", 1}, {"shpbxcolumn", 2}};
    static constexpr std::pair<std::string_view, int> relV[] = {
        {"shpbypage", 0}, {"shpbymargin", 1}, {"shpbypara", 2}};
    for (const auto& [w, v] : relH)
        if (word == w)
            shape.relH = v;
    for (const auto& [w, v] : relV)
        if (word == w)
            shape.relV = v;
    if (word == "shpleft")
        shape.left = n;
    else if (word == "shptop")
        shape.top = n;
    else if (word == "shpright")
        shape.right = n;
    else if (word == "shpbottom")
        shape.bottom = n;
    else if (word == "shpwr")
        shape.wrap = std::clamp(n, 1, 5);
    else if (word == "shpwrk")
        shape.wrapSide = std::clamp(n, 0, 3);
    else if (word == "shpbxignore")
        shape.ignoreH = true;
    else if (word == "shpbyignore")
        shape.ignoreV = true;
    return true;
}

void Parser::shapeText(const QString& text) {
    QString& t = st.dest == Dest::ShapePropName ? shape.propName : shape.propValue;
    if (t.size() < 64)
        t += text;
}

void Parser::endPictureGroup() {
    const Dest parent = stack.back().dest;
    if (st.dest == Dest::ShapePropValue && parent == Dest::ShapeProp) {
        // With \shpbxignore / \shpbyignore the properties say what the
        // position is measured from (page 1, margin 0, column or paragraph 2).
        const int v = shape.propValue.trimmed().toInt();
        // A text box's border, fill and the room between its border and
        // text (EMUs, 635 to the twip).
        static constexpr const char* insets[] = {"dxTextLeft", "dyTextTop", "dxTextRight",
                                                 "dyTextBottom"};
        const QString& name = shape.propName;
        if (name == QLatin1String("posrelh") && shape.ignoreH)
            shape.relH = v == 1 ? 0 : v == 0 ? 1 : 2;
        else if (name == QLatin1String("posrelv") && shape.ignoreV)
            shape.relV = v == 1 ? 0 : v == 0 ? 1 : 2;
        else if (name == QLatin1String("fLine"))
            shape.line = v != 0;
        else if (name == QLatin1String("fFilled"))
            shape.filled = v != 0;
        else if (name == QLatin1String("fillColor"))
            shape.fill = v & 0xFFFFFF;
        for (int i = 0; i < 4; ++i)
            if (name == QLatin1String(insets[i]))
                shape.inset[i] = docmodel::boundLength(v / 635);
        return;
    }
    if (st.dest == Dest::Shape && parent != Dest::Shape) {
        if (!inDocumentDest(parent) || stack.back().target == TextBoxTarget)
            return;
        // A shape shows its picture; one without is a text box.
        std::shared_ptr<TextBox> box;
        if (!shape.hasImage) {
            Builder& text = builders[TextBoxTarget];
            if (!shape.hasText || text.items.empty())
                return;
            box = std::make_shared<TextBox>();
            box->items = std::move(text.items);
            text = Builder();
            box->line = shape.line;
            if (shape.filled)
                box->fill = QColor(shape.fill & 0xFF, (shape.fill >> 8) & 0xFF, shape.fill >> 16);
            std::copy(std::begin(shape.inset), std::end(shape.inset), box->inset);
            box->height = std::max(0, shape.bottom - shape.top);
            shape.image = QTextImageFormat();
            shape.image.setWidth(std::max(0, shape.right - shape.left) / rtf::TwipsPerPixel);
        }
        QTextImageFormat f = shape.image;
        f.setProperty(docmodel::FloatWrap, shape.wrap);
        f.setProperty(docmodel::FloatWrapSide, shape.wrapSide);
        f.setProperty(docmodel::FloatLeft, shape.left);
        f.setProperty(docmodel::FloatTop, shape.top);
        f.setProperty(docmodel::FloatRight, std::max(shape.left, shape.right));
        f.setProperty(docmodel::FloatBottom, std::max(shape.top, shape.bottom));
        f.setProperty(docmodel::FloatRelH, shape.relH);
        f.setProperty(docmodel::FloatRelV, shape.relV);
        builders[stack.back().target].object(f, true, std::move(box));
        return;
    }
    if (st.dest != Dest::Picture || parent == Dest::Picture)
        return;
    const PictureProps& pic = picture;
    // The size on the page in twips: the goal size, else the picture's own
    // (pixels for PNG and JPEG, 0.01 mm for metafiles).
    const bool blip = pic.kind == PictureProps::Png || pic.kind == PictureProps::Jpeg;
    auto own = [&](int v) { return blip ? v * rtf::TwipsPerPixel : v * 1440.0 / 2540.0; };
    double w = pic.wGoal > 0 ? pic.wGoal : own(pic.w);
    double h = pic.hGoal > 0 ? pic.hGoal : own(pic.h);
    // Cropping takes twips off the sides of that size (a negative crop,
    // room added around the picture, is left out).
    QRectF crop;
    const double cropL = std::max(0, pic.crop[0]), cropT = std::max(0, pic.crop[1]);
    const double cropW = w - cropL - std::max(0, pic.crop[2]);
    const double cropH = h - cropT - std::max(0, pic.crop[3]);
    if (w > 0 && h > 0 && cropW >= 1 && cropH >= 1 && (cropW < w || cropH < h)) {
        crop = QRectF(cropL / w, cropT / h, cropW / w, cropH / h);
        w = cropW;
        h = cropH;
    }
    if (pic.scaleX > 0)
        w = w * pic.scaleX / 100.0;
    if (pic.scaleY > 0)
        h = h * pic.scaleY / 100.0;
    w = docmodel::boundLength(w);
    h = docmodel::boundLength(h);
    QByteArray data = blip || (pic.kind == PictureProps::Metafile &&
                               docmodel::metafileKind(pic.data) != docmodel::MetafileKind::None)
                          ? pic.data
                          : QByteArray();
    if (data.isEmpty() && (w < 1 || h < 1))
        return; // nothing to show and no room to keep
    QTextImageFormat fmt;
    fmt.merge(charFormat(stack.back().chr));
    fmt.setName(docmodel::pictureName(data, crop));
    fmt.setProperty(prop::ImageData, data);
    if (crop.isValid())
        fmt.setProperty(prop::ImageCrop,
                        QVariantList{crop.x(), crop.y(), crop.width(), crop.height()});
    // Image sizes are 1/96 inch, which Qt scales to the device.
    if (w >= 1)
        fmt.setWidth(w / rtf::TwipsPerPixel);
    if (h >= 1)
        fmt.setHeight(h / rtf::TwipsPerPixel);
    if (parent == Dest::ShapePropValue) {
        shape.image = fmt;
        shape.hasImage = true;
        return;
    }
    builders[stack.back().target].object(fmt);
}

void Parser::insertFloat(QTextCursor& cursor, const Run& run, double shift) {
    const QTextImageFormat fmt = run.format.toImageFormat();
    // Where the picture stands in the column, in twips, and how far below
    // the top of its paragraph. A place measured from the page or the
    // margin is taken as on the page where the document begins.
    const PageFormat& page = out.page;
    const double column = std::max(1440, page.width - page.marginL - page.marginR);
    const int left = fmt.intProperty(docmodel::FloatLeft);
    const int top = fmt.intProperty(docmodel::FloatTop);
    const double w = fmt.width() * rtf::TwipsPerPixel;
    const int relH = fmt.intProperty(docmodel::FloatRelH);
    const int relV = fmt.intProperty(docmodel::FloatRelV);
    const double x = relH == 0 ? left - page.marginL : left;
    const double y = std::max(0, relV == 0 ? top - page.marginT : top) - shift;
    const double roomLeft = std::max(0.0, x), roomRight = std::max(0.0, column - x - w);
    QTextFrameFormat ff;
    for (int p = docmodel::FloatWrap; p <= docmodel::FloatRelV; ++p)
        ff.setProperty(p, fmt.property(p));
    ff.setBorder(0);
    ff.setPadding(0);
    ff.setTopMargin(y / rtf::TwipsPerPixel); // may be below 0: see insertPara
    // Qt's width of a frame holds its margins: the room beside the shape
    // on the side away from the text. Text goes on the side the shape names
    // (\shpwrk 1 left, 2 right), else on the side with more room; a shape
    // that wraps text above and below takes the column's whole width.
    const bool alone = fmt.intProperty(docmodel::FloatWrap) == 1;
    const int side = fmt.intProperty(docmodel::FloatWrapSide);
    const bool textRight = side == 2 || (side != 1 && roomRight >= roomLeft);
    double outer = w;
    if (alone || textRight) {
        ff.setPosition(QTextFrameFormat::FloatLeft);
        ff.setLeftMargin(roomLeft / rtf::TwipsPerPixel);
        outer += roomLeft;
        if (alone) {
            ff.setRightMargin(roomRight / rtf::TwipsPerPixel);
            outer += roomRight;
        }
    } else {
        ff.setPosition(QTextFrameFormat::FloatRight);
        ff.setRightMargin(roomRight / rtf::TwipsPerPixel);
        outer += roomRight;
    }
    ff.setWidth(QTextLength(QTextLength::FixedLength, outer / rtf::TwipsPerPixel));
    // Text that does not wrap runs under (or over) the shape: its frame
    // takes no height for lines to keep clear of, and its content is drawn
    // all the same. Qt takes a frame's height in the layout's units
    // (twips), its top margin among it.
    const bool noWrap = fmt.intProperty(docmodel::FloatWrap) == 3;
    if (noWrap)
        ff.setHeight(QTextLength(QTextLength::FixedLength, 1));
    if (!run.box) {
        QTextImageFormat image = fmt;
        for (int p = docmodel::FloatWrap; p <= docmodel::FloatRelV; ++p)
            image.clearProperty(p);
        QTextFrame* frame = cursor.insertFrame(ff);
        cursor.insertText(QString(QChar::ObjectReplacementCharacter), image);
        cursor.setPosition(frame->lastPosition() + 1);
        return;
    }
    // A text box: its paragraphs in a frame of the shape's size, inside
    // its border and insets, within the float.
    const TextBox& box = *run.box;
    QTextFrameFormat inner;
    const double border = box.line ? 1 : 0; // 3/4 point
    if (box.line) {
        inner.setBorder(border);
        inner.setBorderBrush(Qt::black);
        inner.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    }
    if (box.fill.isValid())
        inner.setBackground(box.fill);
    // Qt pads a frame alike on all sides: the insets beside the text keep
    // the lines as long as Word makes them.
    inner.setPadding((box.inset[0] + box.inset[2]) / 2.0 / rtf::TwipsPerPixel);
    inner.setWidth(QTextLength(QTextLength::FixedLength, w / rtf::TwipsPerPixel));
    if (box.height > 0)
        inner.setHeight(QTextLength(QTextLength::FixedLength, box.height));
    QTextFrame* frame = cursor.insertFrame(ff);
    // The paragraph Qt keeps before a frame takes no room.
    QTextBlockFormat holder;
    holder.setLineHeight(0, QTextBlockFormat::ProportionalHeight);
    holder.setProperty(docmodel::FloatHolder, true);
    cursor.setBlockFormat(holder);
    cursor.insertFrame(inner);
    bool reuse = true;
    for (const auto& item : box.items) {
        if (const Para* para = std::get_if<Para>(&item)) {
            insertPara(cursor, *para, reuse);
            reuse = false;
        } else if (!std::get<Table>(item).rows.empty()) {
            buildTable(cursor, std::get<Table>(item), w);
            reuse = true;
        }
    }
    cursor.setPosition(frame->lastPosition() + 1);
}

} // namespace wp::RtfReader::detail
