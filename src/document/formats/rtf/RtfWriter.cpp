#include "document/formats/rtf/RtfWriter.h"

#include "document/ListMarkers.h"
#include "document/Metafile.h"
#include "document/Notes.h"
#include "document/ParaBorders.h"
#include "document/Pictures.h"
#include "document/TabLeaders.h"
#include "document/TextControlDocument.h"
#include "document/formats/rtf/RtfCommon.h"

#include <QBuffer>
#include <QColor>
#include <QHash>
#include <QImage>
#include <QImageReader>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextList>
#include <QTextTable>
#include <algorithm>
#include <array>
#include <cmath>

namespace wp::RtfWriter {

namespace {

using docmodel::MaxTableDepth;

class Writer : docmodel::PartsWriter {
public:
    using PartsWriter::PartsWriter;
    QByteArray write();

private:
    QByteArray out;
    QStringList fonts;                // index = RTF font number; 0 is the default font
    QList<QRgb> colors;               // index + 1 = RTF colour number
    QHash<int, QByteArray> charProps; // by character format index of `doc`
    double defaultSize = 12;
    // One numbering of the list table: the lists of one group, by level.
    struct ListOut {
        std::pair<const void*, int> key;
        std::array<const QTextList*, 9> levels{};
    };
    std::vector<ListOut> lists;   // index + 1 = RTF \ls and \listid
    std::vector<QString> markers; // of `doc`, by block number

    int fontIndex(const QString& family) {
        int i = fonts.indexOf(family);
        if (i < 0) {
            fonts << family;
            i = int(fonts.size()) - 1;
        }
        return i;
    }
    int colorIndex(const QColor& c) {
        const QRgb rgb = c.rgb() | 0xFF000000u;
        int i = int(colors.indexOf(rgb));
        if (i < 0) {
            colors << rgb;
            i = int(colors.size()) - 1;
        }
        return i + 1;
    }

    void num(const char* word, long long value) {
        out += '\\';
        out += word;
        out += QByteArray::number(value);
    }
    static long long twips(double v) { return std::llround(v); }

    void text(QStringView s) {
        for (qsizetype i = 0; i < s.size(); ++i) {
            const char16_t ch = s[i].unicode();
            if (ch == '\\' || ch == '{' || ch == '}') {
                out += '\\';
                out += char(ch);
            } else if (ch == '\t') {
                out += "\\tab ";
            } else if (ch == 0x2028 || ch == 0x2029 || ch == '\n' || ch == '\r') {
                out += "\\line ";
            } else if (ch == 0x00A0) {
                out += "\\~";
            } else if (ch == 0x00AD) {
                out += "\\-";
            } else if (ch == 0x2011) {
                out += "\\_";
            } else if (ch == EmptyFieldMark || ch == 0xFFFC || ch == 0xFDD0 || ch == 0xFDD1) {
                // no text of its own
            } else if (ch >= 0x20 && ch < 0x80) {
                out += char(ch);
            } else if (ch < 0x20) {
                // other control characters have no RTF form
            } else if (const unsigned char b = rtf::unicodeToCp1252(ch); b != 0) {
                static const char hex[] = "0123456789abcdef";
                out += "\\'";
                out += hex[b >> 4];
                out += hex[b & 15];
            } else {
                num("u", ch > 32767 ? int(ch) - 65536 : int(ch));
                out += '?';
            }
        }
    }

    const QByteArray& props(int formatIndex, const QTextCharFormat& f) {
        auto it = charProps.find(formatIndex);
        if (it != charProps.end())
            return *it;
        QByteArray p;
        auto word = [&](const char* w) {
            p += '\\';
            p += w;
        };
        auto number = [&](const char* w, long long v) {
            word(w);
            p += QByteArray::number(v);
        };
        const QStringList families = f.fontFamilies().toStringList();
        if (!families.isEmpty() && !families.front().isEmpty())
            if (const int fi = fontIndex(families.front()); fi != 0)
                number("f", fi);
        const auto [capitalization, fileSize] = docmodel::fileCase(f);
        const double size = fileSize > 0 ? fileSize : defaultSize;
        if (size > 0 && std::lround(size * 2) != 24)
            number("fs", std::lround(size * 2));
        if (f.fontWeight() >= QFont::DemiBold)
            word("b");
        if (f.fontItalic())
            word("i");
        switch (f.underlineStyle()) {
        case QTextCharFormat::NoUnderline:
            if (f.fontUnderline())
                word("ul");
            break;
        case QTextCharFormat::DashUnderline:
            word("uldash");
            break;
        case QTextCharFormat::DotLine:
            word("uld");
            break;
        case QTextCharFormat::WaveUnderline:
            word("ulwave");
            break;
        default:
            word("ul");
        }
        if (f.fontStrikeOut())
            word("strike");
        if (capitalization == QFont::AllUppercase)
            word("caps");
        else if (capitalization == QFont::SmallCaps)
            word("scaps");
        if (f.foreground().style() != Qt::NoBrush)
            number("cf", colorIndex(f.foreground().color()));
        if (f.background().style() != Qt::NoBrush)
            number("chcbpat", colorIndex(f.background().color()));
        if (f.verticalAlignment() == QTextCharFormat::AlignSuperScript)
            word("super");
        else if (f.verticalAlignment() == QTextCharFormat::AlignSubScript)
            word("sub");
        if (!p.isEmpty())
            p += ' '; // ends the last control word
        return *charProps.insert(formatIndex, p);
    }

    int listNumber(const QTextList* list) {
        const QTextListFormat f = list->format();
        const int group = f.intProperty(docmodel::ListGroup);
        const std::pair<const void*, int> key = group > 0 ? std::pair<const void*, int>(doc, group)
                                                          : std::pair<const void*, int>(list, 0);
        auto it = std::find_if(lists.begin(), lists.end(),
                               [&](const ListOut& l) { return l.key == key; });
        if (it == lists.end()) {
            lists.push_back(ListOut{key, {}});
            it = lists.end() - 1;
        }
        const QTextList*& own = it->levels[size_t(listLevel(f))];
        if (!own)
            own = list;
        return int(it - lists.begin()) + 1;
    }

    static int listLevel(const QTextListFormat& f) {
        return std::clamp(f.intProperty(prop::ListLevel), 0, 8);
    }

    // The number stands in the first line's indent; the text hangs at the
    // left indent.
    static long long hang(const QTextBlockFormat& b) {
        if (b.hasProperty(docmodel::ListHang))
            return std::max<long long>(0, twips(b.doubleProperty(docmodel::ListHang)));
        return std::min<long long>(360, std::max<long long>(0, twips(b.leftMargin())));
    }

    // A list of the list table: each level as its lists say; a level no
    // paragraph uses numbers like the nearest one that does, one indent
    // step further in or out, so that \ilvl finds it.
    void listDefinition(const ListOut& l, int number) {
        out += "{\\list\\listtemplateid";
        out += QByteArray::number(number);
        int nearest = 0;
        while (!l.levels[size_t(nearest)])
            ++nearest;
        for (int level = 0; level < 9; ++level) {
            const QTextList* list = l.levels[size_t(level)];
            int from = level;
            if (!list) {
                for (int d = 1; !list; ++d) {
                    from = level - d >= 0 && l.levels[size_t(level - d)] ? level - d : level + d;
                    if (from < 9 && l.levels[size_t(from)])
                        list = l.levels[size_t(from)];
                }
            }
            const QTextListFormat f = list->format();
            const int nfc = docmodel::numberType(f);
            out += "\n{\\listlevel";
            num("levelnfc", nfc);
            num("levelnfcn", nfc);
            out += "\\leveljc0\\leveljcn0\\levelfollow0";
            num("levelstartat", from == level && f.hasProperty(docmodel::ListStart)
                                    ? f.intProperty(docmodel::ListStart)
                                    : 1);
            out += "{\\leveltext";
            if (nfc == docmodel::Bullet) {
                out += "\\'01";
                text(listMarkerOf(f));
                out += ";}{\\levelnumbers;}";
            } else {
                // "%1.%2." becomes the characters 0 and 1 between the text.
                QString t = docmodel::levelText(f).left(60);
                if (from != level)
                    t = QStringLiteral("%%1.").arg(level + 1);
                QByteArray chars, numbers;
                int count = 0;
                for (qsizetype i = 0; i < t.size(); ++i) {
                    if (t.at(i) == QLatin1Char('%') && i + 1 < t.size() && t.at(i + 1) >= u'1' &&
                        t.at(i + 1) <= u'9') {
                        const int k = t.at(++i).unicode() - u'1';
                        chars += "\\'0" + QByteArray::number(k);
                        ++count;
                        numbers += "\\'" + QByteArray::number(count, 16).rightJustified(2, '0');
                    } else {
                        QByteArray saved;
                        saved.swap(out);
                        text(t.mid(i, 1));
                        saved.swap(out);
                        chars += saved;
                        ++count;
                    }
                }
                out += "\\'" + QByteArray::number(count, 16).rightJustified(2, '0');
                out += chars;
                out += ";}{\\levelnumbers" + numbers + ";}";
            }
            const QTextList* own = l.levels[size_t(level)];
            const QTextList* shown = own ? own : l.levels[size_t(nearest)];
            const QTextBlockFormat b =
                shown->count() ? shown->item(0).blockFormat() : QTextBlockFormat();
            const long long li = twips(b.leftMargin()) + (own ? 0LL : 360LL * (level - nearest));
            const long long levelLi = std::max<long long>(0, li);
            num("fi", -std::min(hang(b), levelLi));
            num("li", levelLi);
            out += '}';
        }
        num("listid", number);
        out += "}\n";
    }

    static QString listMarkerOf(const QTextListFormat& f) {
        const QString b = f.stringProperty(prop::ListBullet);
        return b.isEmpty() ? QString(QChar(0x2022)) : b.left(1);
    }

    // `itap` is the paragraph's table depth: 0 outside tables.
    void paragraphProps(const QTextBlockFormat& b, int itap, const QTextList* list = nullptr) {
        out += "\\pard\\plain";
        if (itap > 0)
            out += "\\intbl";
        if (itap > 1)
            num("itap", itap);
        const Qt::Alignment a = b.alignment() & Qt::AlignHorizontal_Mask;
        if (a & Qt::AlignHCenter)
            out += "\\qc";
        else if (a & Qt::AlignJustify)
            out += "\\qj";
        else if (a & (Qt::AlignRight | Qt::AlignTrailing))
            out += "\\qr";
        // Left/right margins and indents are twips; space before/after and
        // line heights are 96-dpi pixels (see the reader).
        if (const long long v = twips(b.leftMargin()))
            num("li", v);
        if (const long long v = twips(docmodel::ownRightMargin(b)))
            num("ri", v);
        if (list) {
            if (const long long v = hang(b))
                num("fi", -v);
        } else if (const long long v = twips(b.textIndent())) {
            num("fi", v);
        }
        // The room of borders above and below is theirs, not the space's.
        const double before = b.topMargin() - b.doubleProperty(docmodel::SpaceAbove) -
                              docmodel::borderRoomAbove(b) / rtf::TwipsPerPixel;
        if (const long long v = twips(std::max(0.0, before) * rtf::TwipsPerPixel))
            num("sb", v);
        const double after = b.bottomMargin() - docmodel::borderRoomBelow(b) / rtf::TwipsPerPixel;
        if (const long long v = twips(std::max(0.0, after) * rtf::TwipsPerPixel))
            num("sa", v);
        paragraphBorders(b);
        switch (b.lineHeightType()) {
        case QTextBlockFormat::ProportionalHeight:
            if (b.lineHeight() != 100) {
                num("sl", std::lround(b.lineHeight() * 240 / 100));
                out += "\\slmult1";
            }
            break;
        case QTextBlockFormat::MinimumHeight:
            num("sl", twips(b.lineHeight() * rtf::TwipsPerPixel));
            out += "\\slmult0";
            break;
        case QTextBlockFormat::FixedHeight:
            num("sl", -twips(b.lineHeight() * rtf::TwipsPerPixel));
            out += "\\slmult0";
            break;
        default:
            break;
        }
        for (const QTextOption::Tab& tab : docmodel::wordTabs(b)) {
            if (const char* leader = docmodel::tabLeaderWord(tab)) {
                out += '\\';
                out += leader;
            }
            if (tab.type == QTextOption::RightTab)
                out += "\\tqr";
            else if (tab.type == QTextOption::CenterTab)
                out += "\\tqc";
            else if (tab.type == QTextOption::DelimiterTab)
                out += "\\tqdec";
            num("tx", std::llround(tab.position * rtf::TwipsPerPixel));
        }
        if (b.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore)
            out += "\\pagebb";
        if (b.background().style() != Qt::NoBrush)
            num("cbpat", colorIndex(b.background().color()));
        if (b.layoutDirection() == Qt::RightToLeft)
            out += "\\rtlpar";
        if (b.boolProperty(prop::KeepTogether))
            out += "\\keep";
        if (b.boolProperty(prop::KeepWithNext))
            out += "\\keepn";
        if (b.boolProperty(docmodel::WidowControl))
            out += "\\widctlpar";
        if (list) {
            num("ls", listNumber(list));
            num("ilvl", listLevel(list->format()));
        }
        out += ' ';
    }

    void fieldStart(const QTextCharFormat& f) {
        out += "{\\field{\\*\\wpfieldid ";
        out += QByteArray::number(f.intProperty(prop::FieldId));
        out += "}{\\*\\fldinst MERGEFIELD ";
        const QString name = f.stringProperty(prop::FieldData);
        if (name.isEmpty() || name.contains(QLatin1Char(' ')) || name.contains(QLatin1Char('"'))) {
            out += '"';
            QString n = name;
            text(n.remove(QLatin1Char('"')));
            out += '"';
        } else {
            text(name);
        }
        out += "}{\\fldrslt ";
    }

    // A picture: PNG or JPEG data as hex, an empty metafile for one we
    // cannot draw, with its size on the page.
    void picture(const QTextImageFormat& f) {
        QByteArray data = f.property(prop::ImageData).toByteArray();
        if (!f.hasProperty(prop::ImageData)) {
            // An image the document holds as a resource only; a name it
            // holds nothing for is an empty frame.
            const QImage image =
                doc->resource(QTextDocument::ImageResource, QUrl(f.name())).value<QImage>();
            QBuffer buffer(&data);
            if (!image.isNull() && !docmodel::isBlankPicture(image) &&
                buffer.open(QIODevice::WriteOnly))
                image.save(&buffer, "PNG");
        }
        const bool png = data.startsWith("\x89PNG");
        const bool jpeg = data.startsWith("\xFF\xD8");
        QSize pixels;
        if (png || jpeg) {
            QBuffer buffer(&data);
            buffer.open(QIODevice::ReadOnly);
            pixels = QImageReader(&buffer).size();
        }
        // Image sizes are 1/96 inch, as Qt takes them.
        const double w = f.hasProperty(QTextFormat::ImageWidth) ? f.width() : pixels.width();
        const double h = f.hasProperty(QTextFormat::ImageHeight) ? f.height() : pixels.height();
        const docmodel::MetafileKind meta = docmodel::metafileKind(data);
        // RTF holds a WMF without its placeable header.
        if (meta == docmodel::MetafileKind::Wmf && data.startsWith("\xD7\xCD\xC6\x9A"))
            data.remove(0, 22);
        out += png                                   ? "{\\pict\\pngblip"
               : jpeg                                ? "{\\pict\\jpegblip"
               : meta == docmodel::MetafileKind::Emf ? "{\\pict\\emfblip"
                                                     : "{\\pict\\wmetafile8";
        // A cropped picture: the whole one's size and what is cut off it.
        const QRectF crop = docmodel::pictureCrop(f);
        const double wholeW = crop.isValid() ? w / crop.width() : w;
        const double wholeH = crop.isValid() ? h / crop.height() : h;
        num("picw", pixels.isValid() ? pixels.width() : std::llround(wholeW * 2540 / 96));
        num("pich", pixels.isValid() ? pixels.height() : std::llround(wholeH * 2540 / 96));
        num("picwgoal", std::llround(wholeW * rtf::TwipsPerPixel));
        num("pichgoal", std::llround(wholeH * rtf::TwipsPerPixel));
        if (crop.isValid()) {
            num("piccropl", std::llround(crop.left() * wholeW * rtf::TwipsPerPixel));
            num("piccropt", std::llround(crop.top() * wholeH * rtf::TwipsPerPixel));
            num("piccropr", std::llround((1 - crop.right()) * wholeW * rtf::TwipsPerPixel));
            num("piccropb", std::llround((1 - crop.bottom()) * wholeH * rtf::TwipsPerPixel));
        }
        out += '\n';
        if (png || jpeg || meta != docmodel::MetafileKind::None) {
            const QByteArray hex = data.toHex();
            for (qsizetype i = 0; i < hex.size(); i += 128) {
                out += hex.mid(i, 128);
                out += '\n';
            }
        }
        out += '}';
    }

    // One paragraph; `end` is "\\par", "\\cell" or "" (the document's last).
    void block(const QTextBlock& b, int itap, const char* end) {
        const QTextList* list = b.textList();
        const std::vector<const QTextFrame*> floats = docmodel::floatsBefore(b);
        const QTextBlockFormat bf = docmodel::writtenBlockFormat(b, floats);
        if (itap == 0 && bf.boolProperty(docmodel::ColumnBreakBefore))
            out += "\\column";
        paragraphProps(bf, itap, list);
        if (list) {
            // The number as text, for readers that know no lists.
            out += "{\\listtext\\pard\\plain ";
            if (size_t(b.blockNumber()) < markers.size())
                text(markers[size_t(b.blockNumber())]);
            out += "\\tab}";
        }
        for (const QTextFrame* f : floats)
            shape(f);
        int openField = 0;
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            const QTextCharFormat f = frag.charFormat();
            const int field = f.intProperty(prop::FieldId);
            if (field != openField) {
                if (openField)
                    out += "}}";
                if (field)
                    fieldStart(f);
                openField = field;
            }
            // A page number stays a field, its text the number last drawn.
            static constexpr const char* pageFields[] = {"", "PAGE", "NUMPAGES", "SECTIONPAGES"};
            const int pageField = f.intProperty(docmodel::PageFieldKind);
            if (pageField > 0 && pageField < 4) {
                out += "{\\field{\\*\\fldinst ";
                out += pageFields[pageField];
                out += "}{\\fldrslt ";
            }
            out += '{';
            out += props(frag.charFormatIndex(), f);
            const QByteArray noteData = f.property(docmodel::NoteData).toByteArray();
            if (f.isImageFormat()) {
                for (QChar ch : frag.text())
                    if (ch == QChar::ObjectReplacementCharacter)
                        picture(f.toImageFormat());
            } else if (!noteData.isEmpty()) {
                note(frag.text(), noteData);
            } else {
                text(frag.text());
            }
            out += '}';
            if (pageField > 0 && pageField < 4)
                out += "}}";
        }
        if (openField)
            out += "}}";
        // An empty paragraph's height is its mark's font: the mark carries
        // the block's character format.
        if (b.length() <= 1 && floats.empty() && *end) {
            const QByteArray mark = props(b.charFormatIndex(), b.charFormat());
            if (!mark.isEmpty())
                out += '{' + mark + ' ' + end + '}';
            else
                out += end;
        } else {
            out += end;
        }
        out += '\n';
    }

    void paragraphBorders(const QTextBlockFormat& b) {
        using namespace docmodel;
        const int sides = b.intProperty(ParaBorderSides);
        static constexpr std::pair<int, const char*> words[] = {{BorderTop, "\\brdrt"},
                                                                {BorderBottom, "\\brdrb"},
                                                                {BorderLeft, "\\brdrl"},
                                                                {BorderRight, "\\brdrr"},
                                                                {BorderBetween, "\\brdrbtw"}};
        static constexpr const char* styles[] = {"\\brdrs", "\\brdrth", "\\brdrdb", "\\brdrdot",
                                                 "\\brdrdash"};
        const int style = std::clamp(b.intProperty(ParaBorderStyle), 0, 4);
        for (const auto& [side, word] : words) {
            if (!(sides & side))
                continue;
            out += word;
            out += styles[style];
            num("brdrw", twips(b.doubleProperty(ParaBorderWidth)));
            num("brsp",
                twips(b.doubleProperty(side & (BorderLeft | BorderRight) ? ParaBorderSpaceH
                                                                         : ParaBorderSpace)));
            if (const QColor c = b.colorProperty(ParaBorderColor); c.isValid())
                num("brdrcf", colorIndex(c));
        }
    }

    // A footnote: its mark (a number that readers count again, or the
    // writer's own character) and its text.
    void note(const QString& mark, const QByteArray& data) {
        const auto noteDoc = docmodel::noteDocument(data);
        const bool number = !mark.isEmpty() && std::all_of(mark.begin(), mark.end(),
                                                           [](QChar ch) { return ch.isDigit(); });
        if (number)
            out += "\\chftn";
        else
            text(mark);
        if (!noteDoc)
            return;
        const QTextDocument* outer = doc;
        std::vector<QString> outerMarkers = std::move(markers);
        QHash<int, QByteArray> outerProps = std::move(charProps);
        const double outerSize = defaultSize;
        out += "{\\footnote\\pard\\plain ";
        content(noteDoc.get());
        out += '}';
        doc = outer;
        markers = std::move(outerMarkers);
        charProps = std::move(outerProps);
        defaultSize = outerSize;
    }

    // A row at table depth `depth`: an outer row has its definition first
    // and ends with \\row; a nested one ends with its definition in
    // \\nesttableprops and \\nestrow.
    void tableRow(QTextTable* t, int r, const std::vector<long long>& bounds, int id, int depth) {
        if (depth == 1) {
            rowDefinition(t, r, bounds, id);
            out += '\n';
        }
        const int cols = t->columns();
        for (int c = 0; c < cols;) {
            const QTextTableCell cell = t->cellAt(r, c);
            const int span = std::max(1, cell.columnSpan());
            if (cell.row() < r) {
                out += "\\pard\\plain\\intbl";
                if (depth > 1)
                    num("itap", depth);
                out += depth > 1 ? " \\nestcell\n" : " \\cell\n";
            } else {
                cellContent(cell, depth, double(bounds[std::min(c + span, cols)] - bounds[c]));
            }
            c += span;
        }
        if (depth == 1) {
            out += "\\row\n";
        } else {
            out += "{\\*\\nesttableprops";
            rowDefinition(t, r, bounds, id);
            out += "\\nestrow}{\\nonesttables\\par}\n";
        }
    }

    // A cell's own padding in twips, without what fitting its row's height
    // added. As Word writes it, \clpadl is the top and \clpadt the left.
    void cellPadding(const QTextTableCellFormat& f) {
        static constexpr std::pair<int, const char*> sides[] = {
            {QTextFormat::TableCellTopPadding, "l"},
            {QTextFormat::TableCellLeftPadding, "t"},
            {QTextFormat::TableCellRightPadding, "r"},
            {QTextFormat::TableCellBottomPadding, "b"}};
        for (const auto& [property, side] : sides) {
            if (!f.hasProperty(property))
                continue;
            double px = f.doubleProperty(property);
            if (property == QTextFormat::TableCellBottomPadding)
                px -= f.doubleProperty(docmodel::RowFill);
            out += "\\clpadf";
            out += side;
            out += '3';
            num((QByteArray("clpad") + side).constData(),
                std::max(0LL, std::llround(px * rtf::TwipsPerPixel)));
        }
    }

    void rowDefinition(QTextTable* t, int r, const std::vector<long long>& bounds, int id) {
        const QTextTableFormat tf = t->format();
        out += "\\trowd";
        // \trgaph pads the sides only; the table's padding above and below
        // goes with its unit, without which readers take none.
        const long long pad = std::llround(tf.cellPadding() * rtf::TwipsPerPixel);
        num("trgaph", pad);
        num("trpaddt", pad);
        num("trpaddb", pad);
        out += "\\trpaddft3\\trpaddfb3";
        if (bounds.front() != 0)
            num("trleft", bounds.front());
        if (tf.alignment() & Qt::AlignHCenter)
            out += "\\trqc";
        else if (tf.alignment() & Qt::AlignRight)
            out += "\\trqr";
        if (r < tf.headerRowCount())
            out += "\\trhdr";
        if (const int height = t->cellAt(r, 0).format().intProperty(docmodel::RowHeight))
            num("trrh", height);
        if (r == 0 && id > 0) {
            out += "{\\*\\wptblid ";
            out += QByteArray::number(id);
            out += '}';
        }
        const bool border =
            tf.border() > 0 && tf.borderStyle() != QTextFrameFormat::BorderStyle_None;
        const int cols = t->columns();
        for (int c = 0; c < cols;) {
            const QTextTableCell cell = t->cellAt(r, c);
            const int span = std::max(1, cell.columnSpan());
            if (cell.row() < r)
                out += "\\clvmrg";
            else if (cell.rowSpan() > 1)
                out += "\\clvmgf";
            if (border)
                out += "\\clbrdrt\\brdrs\\brdrw10\\clbrdrl\\brdrs\\brdrw10"
                       "\\clbrdrb\\brdrs\\brdrw10\\clbrdrr\\brdrs\\brdrw10";
            const QTextCharFormat cf = cell.format();
            if (cf.background().style() != Qt::NoBrush)
                num("clcbpat", colorIndex(cf.background().color()));
            cellPadding(cell.format().toTableCellFormat());
            num("cellx", bounds[std::min(c + span, cols)]);
            c += span;
        }
    }

    // A float as a shape placed where it was read from.
    void shape(const QTextFrame* frame) {
        QTextFrameFormat f = frame->frameFormat();
        QTextImageFormat image;
        bool found = false;
        for (QTextFrame::iterator it = frame->begin(); !it.atEnd() && !found; ++it)
            for (auto frag = it.currentBlock().begin(); !frag.atEnd() && !found; ++frag)
                if (frag.fragment().charFormat().isImageFormat()) {
                    image = frag.fragment().charFormat().toImageFormat();
                    found = true;
                }
        static const char* const relH[] = {"shpbxpage", "shpbxmargin", "shpbxcolumn"};
        static const char* const relV[] = {"shpbypage", "shpbymargin", "shpbypara"};
        out += "{\\shp{\\*\\shpinst";
        num("shpleft", f.intProperty(docmodel::FloatLeft));
        num("shptop", f.intProperty(docmodel::FloatTop));
        num("shpright", f.intProperty(docmodel::FloatRight));
        num("shpbottom", f.intProperty(docmodel::FloatBottom));
        out += '\\';
        out += relH[std::clamp(f.intProperty(docmodel::FloatRelH), 0, 2)];
        out += '\\';
        out += relV[std::clamp(f.intProperty(docmodel::FloatRelV), 0, 2)];
        num("shpwr", std::clamp(f.intProperty(docmodel::FloatWrap), 1, 5));
        num("shpwrk", std::clamp(f.intProperty(docmodel::FloatWrapSide), 0, 3));
        out += "\\shpz0";
        if (found) {
            out += "{\\sp{\\sn pib}{\\sv ";
            picture(image);
            out += "}}}}";
            return;
        }
        // A text box: its border, fill and insets (its frame's within the
        // float), and its paragraphs.
        const QList<QTextFrame*> inside = frame->childFrames();
        if (!inside.isEmpty())
            f = inside.front()->frameFormat();
        auto prop = [&](const char* name, qint64 value) {
            out += "{\\sp{\\sn ";
            out += name;
            out += "}{\\sv ";
            out += QByteArray::number(value);
            out += "}}";
        };
        prop("shapeType", 202);
        prop("fLine", f.border() > 0 ? 1 : 0);
        const QColor fill = f.background().color();
        prop("fFilled", f.background().style() != Qt::NoBrush ? 1 : 0);
        if (f.background().style() != Qt::NoBrush)
            prop("fillColor", fill.red() | fill.green() << 8 | fill.blue() << 16);
        const qint64 pad = std::llround(f.padding() * rtf::TwipsPerPixel) * 635;
        for (const char* inset : {"dxTextLeft", "dyTextTop", "dxTextRight", "dyTextBottom"})
            prop(inset, pad);
        out += "{\\shptxt ";
        for (const auto& item : docmodel::frameItems(frame->begin(), false))
            block(item.first, 0, "\\par");
        out += "}}}";
    }

    // A cell's paragraphs and nested tables; `width` is the cell's, in twips.
    void cellContent(const QTextTableCell& cell, int depth, double width) {
        const auto items = docmodel::frameItems(cell.begin(), depth < MaxTableDepth);
        for (size_t i = 0; i < items.size(); ++i) {
            if (QTextTable* t = items[i].second) {
                const auto bounds = columnBounds(t, width);
                for (int r = 0; r < t->rows(); ++r)
                    tableRow(t, r, bounds, 0, depth + 1);
            } else {
                const bool last = i + 1 == items.size();
                block(items[i].first, depth, !last ? "\\par" : depth > 1 ? "\\nestcell" : "\\cell");
            }
        }
    }
    // `textWidth` is the page's text width for an outer table, the cell's
    // width for a nested one.
    std::vector<long long> columnBounds(QTextTable* t, double textWidth) {
        const std::vector<double> widths = docmodel::columnWidths(t, textWidth);
        const size_t cols = widths.size();
        std::vector<long long> bounds(cols + 1);
        double x = std::llround(t->format().leftMargin() * rtf::TwipsPerPixel);
        bounds[0] = std::llround(x);
        for (size_t c = 0; c < cols; ++c) {
            x += std::max(1.0, widths[c]);
            bounds[c + 1] = std::max(bounds[c] + 1, static_cast<long long>(std::llround(x)));
        }
        return bounds;
    }

    void table(QTextTable* t) {
        if (t->format().pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore)
            out += "\\page\n";
        const auto bounds = columnBounds(
            t, double(std::max<qint64>(1440, qint64(parts.page.width) - parts.page.marginL -
                                                 parts.page.marginR)));
        const int id = t->format().intProperty(prop::TableId);
        for (int r = 0; r < t->rows(); ++r)
            tableRow(t, r, bounds, id, 1);
    }

    void content(const QTextDocument* d) {
        doc = d;
        markers = docmodel::listMarkers(d);
        charProps.clear();
        defaultSize = d->defaultFont().pointSizeF() > 0 ? d->defaultFont().pointSizeF() : 12;
        // Items of the root frame: the last block goes without \par, so that
        // other word processors add no empty paragraph. The body's sections
        // end with \sect.
        const auto items = docmodel::frameItems(d->rootFrame()->begin(), true);
        const bool body = d == parts.body;
        std::vector<QTextBlockFormat> formats;
        for (const auto& [b, t] : items)
            formats.push_back(t ? t->cellAt(0, 0).firstCursorPosition().blockFormat()
                                : b.blockFormat());
        if (body && !formats.empty() && formats.front().intProperty(docmodel::SectionColumns) > 1)
            section(formats.front(), false);
        for (size_t i = 0; i < items.size(); ++i) {
            const bool sectionEnds =
                body && i + 1 < items.size() && sectionBegins(formats[i], formats[i + 1]);
            if (items[i].second) {
                table(items[i].second);
                // Out of the table first: a \sect there would end a cell's
                // paragraph.
                if (sectionEnds)
                    out += "\\pard\\sect";
            } else {
                block(items[i].first, 0,
                      i + 1 == items.size() ? ""
                      : sectionEnds         ? "\\sect"
                                            : "\\par");
            }
            if (sectionEnds)
                section(formats[i + 1], true);
        }
    }

    static bool sectionBegins(const QTextBlockFormat& before, const QTextBlockFormat& after) {
        if (after.hasProperty(docmodel::SectionBreak))
            return true;
        for (int p : {docmodel::SectionColumns, docmodel::ColumnGap, docmodel::ColumnLine,
                      docmodel::ColumnWidths})
            if (before.property(p) != after.property(p))
                return true;
        return false;
    }

    // Paper and margins, under the document's words or a section's.
    void paper(const PageFormat& f, bool section) {
        static const char* const document[] = {"paperw", "paperh", "margl",
                                               "margr",  "margt",  "margb"};
        static const char* const sect[] = {"pgwsxn",   "pghsxn",   "marglsxn",
                                           "margrsxn", "margtsxn", "margbsxn"};
        const int values[] = {f.width, f.height, f.marginL, f.marginR, f.marginT, f.marginB};
        for (int i = 0; i < 6; ++i)
            num(section ? sect[i] : document[i], values[i]);
    }

    // The section that paragraph format `f` begins: how it begins (after a
    // \sect) and its columns.
    void section(const QTextBlockFormat& f, bool afterBreak) {
        out += "\\sectd";
        if (afterBreak) {
            int start = f.intProperty(docmodel::SectionBreak);
            if (!start)
                start = f.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore
                            ? docmodel::SectionNewPage
                            : docmodel::SectionContinuous;
            if (start == docmodel::SectionContinuous)
                out += "\\sbknone";
            else if (start == docmodel::SectionNewColumn)
                out += "\\sbkcol";
            else if (start == docmodel::SectionOddPage)
                out += "\\sbkodd";
            else if (start == docmodel::SectionEvenPage)
                out += "\\sbkeven";
        }
        PageFormat page;
        if (afterBreak && docmodel::sectionPage(f, parts.page, page)) {
            paper(page, true);
            if (page.width > page.height)
                out += "\\lndscpsxn";
        }
        const int cols = f.intProperty(docmodel::SectionColumns);
        if (cols > 1) {
            num("cols", cols);
            num("colsx", f.intProperty(docmodel::ColumnGap));
            const QStringList widths = f.stringProperty(docmodel::ColumnWidths)
                                           .split(QLatin1Char(' '), Qt::SkipEmptyParts);
            if (widths.size() == 2 * cols - 1) {
                for (int c = 0; c < cols; ++c) {
                    num("colno", c + 1);
                    num("colw", std::llround(widths[2 * c].toDouble()));
                    if (c + 1 < cols)
                        num("colsr", std::llround(widths[2 * c + 1].toDouble()));
                }
            }
            if (f.boolProperty(docmodel::ColumnLine))
                out += "\\linebetcol";
        }
        out += '\n';
    }
};

QByteArray Writer::write() {
    // The body and the headers first: they name the fonts and colours.
    fonts << parts.body->defaultFont().family();
    QByteArray body;
    std::array<QByteArray, docmodel::HeaderFooterCount> hfText;
    static const char* const hfWords[docmodel::HeaderFooterCount] = {"header", "headerf", "footer",
                                                                     "footerf"};
    for (int i = 0; i < docmodel::HeaderFooterCount; ++i) {
        if (!(parts.page.headerFooter & docmodel::hfFlag(i)))
            continue;
        out.clear();
        content(parts.headerFooter[i]);
        hfText[i] = out;
    }
    out.clear();
    out.reserve(parts.body->characterCount() * 2 + 1024);
    content(parts.body);
    body.swap(out);

    out += "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1\n{\\fonttbl";
    for (int i = 0; i < fonts.size(); ++i) {
        out += "{\\f";
        out += QByteArray::number(i);
        out += "\\fnil\\fcharset0 ";
        text(fonts[i]);
        out += ";}";
    }
    out += "}\n{\\colortbl;";
    for (QRgb c : colors) {
        num("red", qRed(c));
        num("green", qGreen(c));
        num("blue", qBlue(c));
        out += ';';
    }
    out += "}\n";
    if (!lists.empty()) {
        out += "{\\*\\listtable\n";
        for (size_t i = 0; i < lists.size(); ++i)
            listDefinition(lists[i], int(i) + 1);
        out += "}\n{\\*\\listoverridetable";
        for (size_t i = 0; i < lists.size(); ++i) {
            out += "{\\listoverride";
            num("listid", int(i) + 1);
            out += "\\listoverridecount0";
            num("ls", int(i) + 1);
            out += '}';
        }
        out += "}\n";
    }
    static const std::pair<const char*, const char*> infoWords[] = {
        {"title", "title"},       {"subject", "subject"},  {"author", "author"},
        {"manager", "manager"},   {"company", "company"},  {"category", "category"},
        {"keywords", "keywords"}, {"comments", "doccomm"},
    };
    bool anyInfo = false;
    for (const auto& [key, word] : infoWords) {
        const QString v = parts.info.value(QString::fromLatin1(key));
        if (v.isEmpty())
            continue;
        if (!anyInfo)
            out += "{\\info";
        anyInfo = true;
        out += "{\\";
        out += word;
        out += ' ';
        text(v);
        out += '}';
    }
    if (anyInfo)
        out += "}\n";
    const PageFormat& pf = parts.page;
    paper(pf, false);
    num("headery", twips(pf.headerPosition));
    num("footery", twips(pf.footerPosition));
    if (pf.headerFooter & (hf::FirstPageHeader | hf::FirstPageFooter))
        out += "\\titlepg";
    out += '\n';
    for (int i = 0; i < docmodel::HeaderFooterCount; ++i) {
        if (!(parts.page.headerFooter & docmodel::hfFlag(i)))
            continue;
        out += "{\\";
        out += hfWords[i];
        out += ' ';
        out += hfText[i];
        out += "}\n";
    }
    out += body;
    out += "}\n";
    return out;
}

} // namespace

QByteArray write(const docmodel::DocumentParts& parts) {
    Writer w(parts);
    return w.write();
}

} // namespace wp::RtfWriter
