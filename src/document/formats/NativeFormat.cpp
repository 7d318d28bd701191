#include "document/formats/NativeFormat.h"

#include "document/ListMarkers.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QPen>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLength>
#include <QTextList>
#include <QTextTable>
#include <QtEndian>
#include <cstring>
#include <map>
#include <set>
#include <vector>

namespace wp::NativeFormat {

namespace {

constexpr char Magic[8] = {'W', 'P', 'T', 'X', 'D', 'O', 'C', '\0'};
constexpr char EndMark[3] = {'E', 'N', 'D'};

enum Item : quint8 { EndOfFrame = 0, BlockItem = 1, TableItem = 2, FrameItem = 3 };
enum ValueType : quint8 {
    TBool = 1,
    TInt = 2,
    TDouble = 3,
    TString = 4,
    TColor = 5,
    TBrush = 6,
    TPen = 7,
    TLength = 8,
    TLengthList = 9,
    TStringList = 10,
    TList = 11,
    TBytes = 12,
    TTab = 13,
};
constexpr int MaxDepth = 32;

// --- writing -----------------------------------------------------------------

class Writer {
public:
    QByteArray out;

    // What a format index must name where it is used.
    enum class Kind { Block, Char, Frame, Table };
    QList<QTextFormat> formats;
    std::vector<QTextFormat> extras;

    // The index to write for a format the document names. Qt can leave an
    // index that names nothing (a block of a freshly cleared document) or a
    // format of another kind; such a reference becomes a default format of
    // the right kind, so that whatever is written reads back.
    quint64 ref(int index, Kind kind) {
        if (index >= 0 && index < formats.size() && fits(formats[index], kind))
            return static_cast<quint64>(index);
        QTextFormat fallback;
        switch (kind) {
        case Kind::Block:
            fallback = QTextBlockFormat();
            break;
        case Kind::Char:
            fallback = QTextCharFormat();
            break;
        case Kind::Frame:
            fallback = QTextFrameFormat();
            break;
        case Kind::Table:
            fallback = QTextTableFormat();
            break;
        }
        for (size_t i = 0; i < extras.size(); ++i)
            if (extras[i] == fallback)
                return static_cast<quint64>(formats.size()) + i;
        extras.push_back(fallback);
        return static_cast<quint64>(formats.size()) + extras.size() - 1;
    }
    static bool fits(const QTextFormat& f, Kind kind) {
        switch (kind) {
        case Kind::Block:
            return f.isBlockFormat();
        case Kind::Char:
            return f.isCharFormat();
        case Kind::Frame:
            return f.isFrameFormat() && !f.isTableFormat();
        case Kind::Table:
            return f.isTableFormat();
        }
        return false;
    }

    void bytes(const char* p, qsizetype n) { out.append(p, n); }
    void u(quint64 v) {
        char buf[10];
        int n = 0;
        do {
            quint8 b = v & 0x7F;
            v >>= 7;
            if (v)
                b |= 0x80;
            buf[n++] = static_cast<char>(b);
        } while (v);
        out.append(buf, n);
    }
    void s(qint64 v) { u((static_cast<quint64>(v) << 1) ^ static_cast<quint64>(v >> 63)); }
    void f(double v) {
        quint64 bits;
        std::memcpy(&bits, &v, 8);
        bits = qToLittleEndian(bits);
        out.append(reinterpret_cast<const char*>(&bits), 8);
    }
    void str(const QString& v) {
        u(static_cast<quint64>(v.size()));
        if constexpr (Q_BYTE_ORDER == Q_LITTLE_ENDIAN) {
            out.append(reinterpret_cast<const char*>(v.utf16()), v.size() * 2);
        } else {
            for (QChar c : v) {
                const quint16 x = qToLittleEndian(c.unicode());
                out.append(reinterpret_cast<const char*>(&x), 2);
            }
        }
    }
    void color(const QColor& c) { u(c.isValid() ? (quint64(c.rgba()) << 1) | 1 : 0); }

    void value(const QVariant& v) {
        switch (v.typeId()) {
        case QMetaType::Bool:
            out.append(char(TBool));
            u(v.toBool() ? 1 : 0);
            break;
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::Short:
        case QMetaType::Char:
            out.append(char(TInt));
            s(v.toLongLong());
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            out.append(char(TDouble));
            f(v.toDouble());
            break;
        case QMetaType::QString:
            out.append(char(TString));
            str(v.toString());
            break;
        case QMetaType::QColor:
            out.append(char(TColor));
            color(v.value<QColor>());
            break;
        case QMetaType::QBrush: {
            const QBrush b = v.value<QBrush>();
            out.append(char(TBrush));
            u(static_cast<quint64>(b.style()));
            color(b.color());
            break;
        }
        case QMetaType::QPen: {
            const QPen p = v.value<QPen>();
            out.append(char(TPen));
            u(static_cast<quint64>(p.style()));
            f(p.widthF());
            color(p.color());
            u(static_cast<quint64>(p.capStyle()));
            u(static_cast<quint64>(p.joinStyle()));
            break;
        }
        case QMetaType::QByteArray: {
            const QByteArray b = v.toByteArray();
            out.append(char(TBytes));
            u(static_cast<quint64>(b.size()));
            out.append(b);
            break;
        }
        case QMetaType::QStringList: {
            const QStringList l = v.toStringList();
            out.append(char(TStringList));
            u(static_cast<quint64>(l.size()));
            for (const QString& x : l)
                str(x);
            break;
        }
        case QMetaType::QVariantList: {
            const QVariantList l = v.toList();
            out.append(char(TList));
            u(static_cast<quint64>(l.size()));
            for (const QVariant& x : l)
                value(x);
            break;
        }
        default:
            if (v.typeId() == qMetaTypeId<QTextLength>()) {
                const QTextLength l = v.value<QTextLength>();
                out.append(char(TLength));
                u(static_cast<quint64>(l.type()));
                f(l.rawValue());
            } else if (v.typeId() == qMetaTypeId<QTextOption::Tab>()) {
                // A paragraph's tab stop: position, alignment, delimiter.
                const auto t = v.value<QTextOption::Tab>();
                out.append(char(TTab));
                f(t.position);
                u(static_cast<quint64>(t.type));
                u(t.delimiter.unicode());
            } else if (v.typeId() == qMetaTypeId<QList<QTextLength>>()) {
                const auto l = v.value<QList<QTextLength>>();
                out.append(char(TLengthList));
                u(static_cast<quint64>(l.size()));
                for (const QTextLength& x : l) {
                    u(static_cast<quint64>(x.type()));
                    f(x.rawValue());
                }
            } else {
                out.append(char(0)); // a value we cannot carry: dropped on load
            }
        }
    }

    void format(const QTextFormat& fmt, int objectIndex) {
        u(static_cast<quint64>(fmt.type()));
        s(objectIndex);
        const auto props = fmt.properties();
        u(static_cast<quint64>(props.size()));
        for (auto it = props.cbegin(); it != props.cend(); ++it) {
            u(static_cast<quint64>(it.key()));
            value(it.value());
        }
    }

    void frameContent(QTextFrame::iterator it, int depth) {
        for (; !it.atEnd(); ++it) {
            if (QTextFrame* child = it.currentFrame()) {
                if (auto* table = qobject_cast<QTextTable*>(child))
                    tableItem(table, depth);
                else {
                    out.append(char(FrameItem));
                    u(ref(child->formatIndex(), Kind::Frame));
                    frameContent(child->begin(), depth + 1);
                }
            } else {
                block(it.currentBlock());
            }
        }
        out.append(char(EndOfFrame));
    }

    void block(const QTextBlock& b) {
        out.append(char(BlockItem));
        u(ref(b.blockFormatIndex(), Kind::Block));
        u(ref(b.charFormatIndex(), Kind::Char));
        int n = 0;
        for (auto it = b.begin(); !it.atEnd(); ++it)
            ++n;
        u(static_cast<quint64>(n));
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            u(ref(frag.charFormatIndex(), Kind::Char));
            str(frag.text());
        }
    }

    void tableItem(QTextTable* table, int depth) {
        out.append(char(TableItem));
        u(ref(table->formatIndex(), Kind::Table));
        const int rows = table->rows(), cols = table->columns();
        u(static_cast<quint64>(rows));
        u(static_cast<quint64>(cols));
        // The reader rebuilds the grid from the merged areas and then reads
        // one cell per area. Write exactly that grid, even where Qt's own is
        // inconsistent: an area that would overlap another or leave the
        // table is written unmerged, and a place no cell claims is written
        // as an empty cell, so that what we write always reads back.
        std::vector<char> covered(static_cast<size_t>(rows) * cols, 0);
        std::vector<std::array<int, 4>> merged;
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < cols; ++c) {
                const QTextTableCell cell = table->cellAt(r, c);
                if (cell.row() != r || cell.column() != c || covered[r * cols + c])
                    continue;
                int rs = cell.rowSpan(), cs = cell.columnSpan();
                bool free = rs >= 1 && cs >= 1 && rs <= rows - r && cs <= cols - c;
                for (int y = r; free && y < r + rs; ++y)
                    for (int x = c; free && x < c + cs; ++x)
                        free = !covered[y * cols + x];
                if (!free)
                    rs = cs = 1;
                for (int y = r; y < r + rs; ++y)
                    for (int x = c; x < c + cs; ++x)
                        covered[y * cols + x] = 1;
                if (rs > 1 || cs > 1)
                    merged.push_back({r, c, rs, cs});
            }
        u(merged.size());
        for (const auto& m : merged)
            for (int x : m)
                u(static_cast<quint64>(x));
        std::fill(covered.begin(), covered.end(), 0);
        for (const auto& m : merged)
            for (int y = m[0]; y < m[0] + m[2]; ++y)
                for (int x = m[1]; x < m[1] + m[3]; ++x)
                    covered[y * cols + x] = (y == m[0] && x == m[1]) ? 0 : 1;
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < cols; ++c) {
                if (covered[r * cols + c])
                    continue;
                const QTextTableCell cell = table->cellAt(r, c);
                if (cell.row() == r && cell.column() == c) {
                    u(ref(cell.tableCellFormatIndex(), Kind::Char));
                    frameContent(cell.begin(), depth + 1);
                } else {
                    u(ref(-1, Kind::Char));
                    out.append(char(BlockItem));
                    u(ref(-1, Kind::Block));
                    u(ref(-1, Kind::Char));
                    u(0);
                    out.append(char(EndOfFrame));
                }
            }
    }

    void document(const QTextDocument* doc) {
        // Not QFont::toString(): a family with a comma would not read back.
        const QFont font = doc->defaultFont();
        str(font.family());
        f(font.pointSizeF());
        s(font.weight());
        u(font.italic() ? 1 : 0);
        f(doc->documentMargin());
        // The content goes first into its own buffer: only then is it known
        // which default formats the table needs beyond the document's own.
        formats = doc->allFormats();
        extras.clear();
        QByteArray head;
        head.swap(out);
        u(ref(doc->rootFrame()->formatIndex(), Kind::Frame));
        frameContent(doc->rootFrame()->begin(), 0);
        QByteArray content;
        content.swap(out);
        out.swap(head);
        // Each list once more, under the object index its paragraphs name:
        // Qt's collection holds one format for lists that look alike.
        std::vector<int> extraObjects(extras.size(), -1);
        std::set<int> listObjects;
        for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
            if (const QTextList* list = b.textList();
                list && listObjects.insert(list->objectIndex()).second) {
                extras.push_back(list->format());
                extraObjects.push_back(list->objectIndex());
            }
        u(static_cast<quint64>(formats.size()) + extras.size());
        for (const QTextFormat& fmt : formats)
            format(fmt, fmt.isListFormat() ? -1 : fmt.objectIndex());
        for (size_t i = 0; i < extras.size(); ++i)
            format(extras[i], extraObjects[i]);
        out.append(content);
    }
};

// --- reading -----------------------------------------------------------------

struct Failure {
    QString what;
};

class Reader {
public:
    Reader(const QByteArray& data) : p(data.constData()), end(data.constData() + data.size()) {}

    const char* p;
    const char* end;

    [[noreturn]] void fail(const QString& what) { throw Failure{what}; }
    qsizetype left() const { return end - p; }
    quint8 byte() {
        if (p >= end)
            fail(QStringLiteral("the data ends too early"));
        return static_cast<quint8>(*p++);
    }
    quint64 u() {
        quint64 v = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            const quint8 b = byte();
            v |= quint64(b & 0x7F) << shift;
            if (!(b & 0x80))
                return v;
        }
        fail(QStringLiteral("a number is malformed"));
    }
    qint64 s() {
        const quint64 v = u();
        return static_cast<qint64>(v >> 1) ^ -static_cast<qint64>(v & 1);
    }
    int i32(qint64 lo, qint64 hi, const char* what) {
        const qint64 v = s();
        if (v < lo || v > hi)
            fail(QStringLiteral("%1 is out of range").arg(QLatin1String(what)));
        return static_cast<int>(v);
    }
    quint64 count(quint64 max, const char* what) {
        const quint64 v = u();
        if (v > max || v > static_cast<quint64>(left()))
            fail(QStringLiteral("%1 is out of range").arg(QLatin1String(what)));
        return v;
    }
    double f() {
        if (left() < 8)
            fail(QStringLiteral("the data ends too early"));
        quint64 bits;
        std::memcpy(&bits, p, 8);
        p += 8;
        bits = qFromLittleEndian(bits);
        double v;
        std::memcpy(&v, &bits, 8);
        return v;
    }
    double finite() {
        const double v = f();
        if (!std::isfinite(v))
            fail(QStringLiteral("a length is not a number"));
        return v;
    }
    QString str() {
        const quint64 n = u();
        if (n > static_cast<quint64>(left() / 2))
            fail(QStringLiteral("a text runs past the end of the data"));
        QString v(static_cast<qsizetype>(n), Qt::Uninitialized);
        if constexpr (Q_BYTE_ORDER == Q_LITTLE_ENDIAN) {
            std::memcpy(v.data(), p, n * 2);
        } else {
            for (quint64 i = 0; i < n; ++i) {
                quint16 x;
                std::memcpy(&x, p + 2 * i, 2);
                v[i] = QChar(qFromLittleEndian(x));
            }
        }
        p += n * 2;
        return v;
    }
    QColor color() {
        const quint64 v = u();
        if (v == 0)
            return QColor();
        if (v > 0x1FFFFFFFFull)
            fail(QStringLiteral("a colour is out of range"));
        return QColor::fromRgba(static_cast<QRgb>(v >> 1));
    }
    QTextLength length() {
        const quint64 type = u();
        if (type > QTextLength::PercentageLength)
            fail(QStringLiteral("a length type is unknown"));
        return QTextLength(static_cast<QTextLength::Type>(type), finite());
    }

    QVariant value(int depth = 0) {
        switch (byte()) {
        case 0:
            return QVariant();
        case TBool:
            return QVariant(u() != 0);
        case TInt: {
            const qint64 v = s();
            if (v < INT_MIN || v > INT_MAX)
                return QVariant(static_cast<qlonglong>(v));
            return QVariant(static_cast<int>(v));
        }
        case TDouble: {
            // Not-a-number lengths would reach the layout: dropped.
            const double v = f();
            return std::isfinite(v) ? QVariant(v) : QVariant();
        }
        case TString:
            return QVariant(str());
        case TColor:
            return QVariant(color());
        case TBrush: {
            const quint64 style = u();
            if (style > Qt::ConicalGradientPattern)
                fail(QStringLiteral("a brush style is unknown"));
            const QColor c = color();
            // Gradients and textures are not carried: keep their colour.
            const auto st = style > Qt::DiagCrossPattern ? Qt::SolidPattern
                                                         : static_cast<Qt::BrushStyle>(style);
            return QVariant(QBrush(c, st));
        }
        case TPen: {
            const quint64 style = u();
            if (style > Qt::CustomDashLine)
                fail(QStringLiteral("a pen style is unknown"));
            const double width = finite();
            const QColor c = color();
            const quint64 cap = u();
            const quint64 join = u();
            QPen pen(QBrush(c), width, static_cast<Qt::PenStyle>(style),
                     static_cast<Qt::PenCapStyle>(cap & 0x30),
                     static_cast<Qt::PenJoinStyle>(join & 0x1C0));
            return QVariant(pen);
        }
        case TLength:
            return QVariant::fromValue(length());
        case TTab: {
            const double pos = finite();
            const quint64 type = u();
            const quint64 delimiter = u();
            if (type > QTextOption::DelimiterTab || delimiter > 0xFFFF)
                fail(QStringLiteral("a tab stop is of an unknown kind"));
            return QVariant::fromValue(QTextOption::Tab(
                pos, static_cast<QTextOption::TabType>(type), QChar(char16_t(delimiter))));
        }
        case TLengthList: {
            const quint64 n = count(10000, "a length list");
            QList<QTextLength> l;
            l.reserve(static_cast<qsizetype>(n));
            for (quint64 i = 0; i < n; ++i)
                l << length();
            return QVariant::fromValue(l);
        }
        case TBytes: {
            const quint64 n = count(1u << 30, "a picture's size");
            QByteArray b(p, static_cast<qsizetype>(n));
            p += n;
            return QVariant(b);
        }
        case TStringList: {
            const quint64 n = count(10000, "a list of names");
            QStringList l;
            for (quint64 i = 0; i < n; ++i)
                l << str();
            return QVariant(l);
        }
        case TList: {
            if (depth > 4)
                fail(QStringLiteral("a list is nested too deeply"));
            const quint64 n = count(10000, "a list");
            QVariantList l;
            for (quint64 i = 0; i < n; ++i)
                l << value(depth + 1);
            return QVariant(l);
        }
        default:
            fail(QStringLiteral("a format value is of an unknown kind"));
        }
    }

    QTextFormat format() {
        const quint64 type = u();
        if (type > QTextFormat::UserFormat + 0xFFFF)
            fail(QStringLiteral("a format type is out of range"));
        // Object indexes name objects of the writing document; ours are new.
        // They only tie a list's paragraphs to its list format.
        objects.push_back(i32(-1, INT_MAX, "an object index"));
        const quint64 n = count(100000, "a property count");
        std::vector<std::pair<int, QVariant>> props;
        props.reserve(n);
        int objectType = 0;
        for (quint64 i = 0; i < n; ++i) {
            const quint64 key = u();
            if (key > 0x7FFFFFFF)
                fail(QStringLiteral("a property id is out of range"));
            QVariant v = value();
            if (!v.isValid() || key == QTextFormat::ObjectIndex)
                continue;
            if (key == QTextFormat::ObjectType)
                objectType = v.toInt();
            props.emplace_back(static_cast<int>(key), std::move(v));
        }
        // Qt compares formats property by property in the order they were
        // set: start from the same defaults its own format classes set.
        QTextFormat fmt;
        if (type == QTextFormat::FrameFormat)
            fmt = objectType == QTextFormat::TableObject ? QTextFormat(QTextTableFormat())
                                                         : QTextFormat(QTextFrameFormat());
        else if (type == QTextFormat::CharFormat)
            fmt = objectType == QTextFormat::TableCellObject ? QTextFormat(QTextTableCellFormat())
                                                             : QTextFormat(QTextCharFormat());
        else if (type == QTextFormat::BlockFormat)
            fmt = QTextBlockFormat();
        else
            fmt = QTextFormat(static_cast<int>(type));
        for (auto& [key, v] : props)
            fmt.setProperty(key, v);
        docmodel::boundLengths(fmt);
        // Qt reads a list's style as its enum everywhere: only its values.
        if (const int style = fmt.intProperty(QTextFormat::ListStyle);
            style < QTextListFormat::ListUpperRoman || style > QTextListFormat::ListStyleUndefined)
            fail(QStringLiteral("a list style is out of range"));
        return fmt;
    }

    // The document being built.
    std::vector<QTextFormat> formats;
    std::vector<int> objects;          // object index of each format
    std::map<int, size_t> listFormats; // object index -> its list format
    std::map<int, QTextList*> lists;   // object index -> our list
    QTextDocument* doc = nullptr;
    qint64 cellBudget = docmodel::MaxDocumentCells;

    const QTextFormat& fmtAt(quint64 index) {
        if (index >= formats.size())
            fail(QStringLiteral("a format index is out of range"));
        return formats[index];
    }
    QTextBlockFormat blockFormat(quint64 index) {
        const QTextFormat& f = fmtAt(index);
        if (!f.isBlockFormat())
            fail(QStringLiteral("a paragraph names a format of another kind"));
        return f.toBlockFormat();
    }
    QTextCharFormat charFormat(quint64 index) {
        const QTextFormat& f = fmtAt(index);
        if (!f.isCharFormat())
            fail(QStringLiteral("a text run names a format of another kind"));
        return f.toCharFormat();
    }

    void addToList(QTextCursor& cursor, int object) {
        if (object < 0)
            return;
        if (const auto list = lists.find(object); list != lists.end()) {
            list->second->add(cursor.block());
        } else if (const auto f = listFormats.find(object); f != listFormats.end()) {
            // Lists saved with Qt's own styles get our markers.
            lists[object] =
                cursor.createList(docmodel::ownListFormat(formats[f->second].toListFormat()));
        }
    }

    // Reads items into the frame the cursor stands in; the cursor starts in
    // the frame's first (empty) block.
    void frameContent(QTextCursor& cursor, int depth) {
        if (depth > MaxDepth)
            fail(QStringLiteral("tables are nested too deeply"));
        bool reuseBlock = true; // the frame's first block, and the one after a frame
        bool any = false;
        for (;;) {
            const quint8 item = byte();
            if (item == EndOfFrame)
                break;
            if (item == BlockItem) {
                const quint64 bi = u();
                const QTextBlockFormat bf = blockFormat(bi);
                const QTextCharFormat cf = charFormat(u());
                if (reuseBlock) {
                    cursor.setBlockFormat(bf);
                    cursor.setBlockCharFormat(cf);
                } else {
                    cursor.insertBlock(bf, cf);
                }
                reuseBlock = false;
                addToList(cursor, objects[bi]);
                const quint64 n = count(1u << 30, "a fragment count");
                for (quint64 i = 0; i < n; ++i) {
                    const QTextCharFormat ff = charFormat(u());
                    QString text = str();
                    // Structure comes only from the items: paragraph and frame
                    // marks inside a text would build another document.
                    for (QChar& ch : text)
                        if (ch == QChar::ParagraphSeparator || ch == QLatin1Char('\n') ||
                            ch == QLatin1Char('\r') || ch.unicode() == 0xFDD0 ||
                            ch.unicode() == 0xFDD1)
                            ch = QChar::LineSeparator;
                    cursor.insertText(text, ff);
                }
            } else if (item == TableItem) {
                if (reuseBlock && !any)
                    fail(QStringLiteral("a table stands where a paragraph must"));
                table(cursor, depth);
                reuseBlock = true;
            } else if (item == FrameItem) {
                if (reuseBlock && !any)
                    fail(QStringLiteral("a frame stands where a paragraph must"));
                const QTextFormat& f = fmtAt(u());
                if (!f.isFrameFormat() || f.isTableFormat())
                    fail(QStringLiteral("a frame names a format of another kind"));
                QTextFrame* frame = cursor.insertFrame(f.toFrameFormat());
                frameContent(cursor, depth + 1);
                cursor.setPosition(frame->lastPosition() + 1);
                reuseBlock = true;
            } else {
                fail(QStringLiteral("an unknown item"));
            }
            any = true;
        }
        if (!any)
            fail(QStringLiteral("a frame has no paragraph"));
        if (reuseBlock)
            fail(QStringLiteral("a table or frame is not followed by a paragraph"));
    }

    void table(QTextCursor& cursor, int depth) {
        const QTextFormat& f = fmtAt(u());
        if (!f.isTableFormat())
            fail(QStringLiteral("a table names a format of another kind"));
        const quint64 rows = u();
        const quint64 cols = u();
        if (!docmodel::tableSizeFits(qint64(std::min<quint64>(rows, INT_MAX)),
                                     qint64(std::min<quint64>(cols, INT_MAX))) ||
            static_cast<qint64>(rows * cols) > left() * 64)
            fail(QStringLiteral("a table's size is out of range"));
        cellBudget -= static_cast<qint64>(rows * cols);
        if (cellBudget < 0)
            fail(QStringLiteral("the tables have too many cells"));
        const int R = static_cast<int>(rows), C = static_cast<int>(cols);
        std::vector<char> covered(rows * cols, 0);
        struct Area {
            int r, c, rs, cs;
        };
        std::vector<Area> areas;
        const quint64 nMerged = count(rows * cols, "a merge count");
        for (quint64 i = 0; i < nMerged; ++i) {
            Area a;
            a.r = static_cast<int>(count(rows - 1, "a merged row"));
            a.c = static_cast<int>(count(cols - 1, "a merged column"));
            a.rs = static_cast<int>(u());
            a.cs = static_cast<int>(u());
            if (a.rs < 1 || a.cs < 1 || a.rs > R - a.r || a.cs > C - a.c)
                fail(QStringLiteral("a merged cell leaves its table"));
            for (int r = a.r; r < a.r + a.rs; ++r)
                for (int c = a.c; c < a.c + a.cs; ++c) {
                    if (covered[r * C + c])
                        fail(QStringLiteral("merged cells overlap"));
                    covered[r * C + c] = 1;
                }
            areas.push_back(a);
        }
        QTextTable* t = cursor.insertTable(R, C, f.toTableFormat());
        for (const Area& a : areas)
            t->mergeCells(a.r, a.c, a.rs, a.cs);
        for (int r = 0; r < R; ++r)
            for (int c = 0; c < C; ++c) {
                QTextTableCell cell = t->cellAt(r, c);
                if (cell.row() != r || cell.column() != c)
                    continue;
                const QTextFormat& cf = fmtAt(u());
                if (!cf.isCharFormat())
                    fail(QStringLiteral("a cell names a format of another kind"));
                cell.setFormat(cf.toCharFormat());
                QTextCursor inCell = cell.firstCursorPosition();
                frameContent(inCell, depth + 1);
            }
        cursor.setPosition(t->lastPosition() + 1);
    }

    void document(QTextDocument* target) {
        doc = target;
        QFont font = doc->defaultFont();
        font.setFamily(str());
        const double size = finite();
        if (size > 0)
            font.setPointSizeF(std::min(size, docmodel::MaxLength / 20.0));
        font.setWeight(static_cast<QFont::Weight>(i32(1, 1000, "the font weight")));
        font.setItalic(u() != 0);
        doc->setDefaultFont(font);
        const double margin = finite();
        if (margin < 0 || margin > docmodel::MaxLength)
            fail(QStringLiteral("the document margin is out of range"));
        doc->setDocumentMargin(margin);
        const quint64 n = count(1u << 24, "the format count");
        formats.clear();
        objects.clear();
        listFormats.clear();
        lists.clear();
        formats.reserve(n);
        for (quint64 i = 0; i < n; ++i)
            formats.push_back(format());
        for (size_t i = 0; i < formats.size(); ++i)
            if (formats[i].isListFormat() && objects[i] >= 0)
                listFormats.emplace(objects[i], i);
        const QTextFormat& rf = fmtAt(u());
        if (!rf.isFrameFormat())
            fail(QStringLiteral("the root frame names a format of another kind"));
        QTextCursor cursor(doc);
        cursor.beginEditBlock();
        QTextFrameFormat root = doc->rootFrame()->frameFormat();
        const auto props = rf.properties();
        for (auto it = props.cbegin(); it != props.cend(); ++it)
            root.setProperty(it.key(), it.value());
        doc->rootFrame()->setFrameFormat(root);
        frameContent(cursor, 0);
        cursor.endEditBlock();
    }
};

} // namespace

QByteArray write(const docmodel::DocumentParts& parts) {
    Writer w;
    w.out.reserve(parts.body->characterCount() * 3 + 4096);
    w.bytes(Magic, sizeof Magic);
    w.u(Version);
    const PageFormat& pf = parts.page;
    w.s(pf.width);
    w.s(pf.height);
    w.s(pf.marginL);
    w.s(pf.marginT);
    w.s(pf.marginR);
    w.s(pf.marginB);
    w.f(pf.headerPosition);
    w.f(pf.footerPosition);
    w.s(pf.headerFooter);
    w.s(parts.baseLine);
    w.str(parts.tag);
    w.u(static_cast<quint64>(parts.info.size()));
    for (auto it = parts.info.cbegin(); it != parts.info.cend(); ++it) {
        w.str(it.key());
        w.str(it.value());
    }
    w.document(parts.body);
    for (const QTextDocument* doc : parts.headerFooter)
        w.document(doc);
    w.bytes(EndMark, sizeof EndMark);
    return w.out;
}

bool read(const QByteArray& data, docmodel::DocumentContent& out, QString* error) {
    if (data.size() < qsizetype(sizeof Magic) || std::memcmp(data.constData(), Magic, 8) != 0) {
        if (error)
            *error = QStringLiteral("not a document of this format (no header)");
        return false;
    }
    Reader r(data);
    r.p += sizeof Magic;
    try {
        const quint64 version = r.u();
        if (version != Version)
            r.fail(QStringLiteral("format version %1 is not supported").arg(version));
        PageFormat& pf = out.page;
        // Lengths beyond what a page holds are bounded, as in every reader;
        // the paper is the host's choice (the control takes any size), but
        // a sliver of it would make every line a page.
        pf.width = std::max(docmodel::MinPaperLength, r.i32(1, INT_MAX, "the page width"));
        pf.height = std::max(docmodel::MinPaperLength, r.i32(1, INT_MAX, "the page height"));
        pf.marginL = docmodel::boundLength(r.i32(0, INT_MAX, "a margin"));
        pf.marginT = docmodel::boundLength(r.i32(0, INT_MAX, "a margin"));
        pf.marginR = docmodel::boundLength(r.i32(0, INT_MAX, "a margin"));
        pf.marginB = docmodel::boundLength(r.i32(0, INT_MAX, "a margin"));
        pf.headerPosition = r.finite();
        pf.footerPosition = r.finite();
        if (pf.headerPosition < 0 || pf.footerPosition < 0)
            r.fail(QStringLiteral("a header or footer distance is negative"));
        pf.headerPosition = docmodel::boundLength(pf.headerPosition);
        pf.footerPosition = docmodel::boundLength(pf.footerPosition);
        pf.headerFooter = r.i32(0, 15, "the header/footer flags");
        out.baseLine = r.i32(INT_MIN, INT_MAX, "BaseLine");
        out.tag = r.str();
        const quint64 n = r.count(1000, "the property count");
        for (quint64 i = 0; i < n; ++i) {
            const QString key = r.str();
            out.info.insert(key, r.str());
        }
        r.document(out.body.get());
        for (auto& doc : out.headerFooter)
            r.document(doc.get());
        if (r.left() != sizeof EndMark || std::memcmp(r.p, EndMark, sizeof EndMark) != 0)
            r.fail(QStringLiteral("the end mark is missing"));
        // Pictures come from the data the file holds; any other name it
        // gives is an empty frame.
        docmodel::ownPictures(out.body.get());
        docmodel::addImageResources(out.body.get());
        for (auto& doc : out.headerFooter) {
            docmodel::ownPictures(doc.get());
            docmodel::addImageResources(doc.get());
        }
    } catch (const Failure& f) {
        if (error)
            *error = QStringLiteral("damaged document at byte %1: %2")
                         .arg(r.p - data.constData())
                         .arg(f.what);
        return false;
    }
    return true;
}

} // namespace wp::NativeFormat
