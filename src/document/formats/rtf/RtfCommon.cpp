#include "document/formats/rtf/RtfCommon.h"

#include <QStringList>

namespace wp::rtf {

namespace {
// cp1252 0x80..0x9F; 0 marks the five bytes the code page leaves undefined.
constexpr char16_t High1252[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                   0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                   0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                   0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
} // namespace

char16_t cp1252ToUnicode(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F) {
        const char16_t u = High1252[byte - 0x80];
        return u ? u : char16_t(byte);
    }
    return byte;
}

unsigned char unicodeToCp1252(char16_t ch) {
    if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF))
        return static_cast<unsigned char>(ch);
    for (int i = 0; i < 32; ++i)
        if (High1252[i] == ch)
            return static_cast<unsigned char>(0x80 + i);
    return 0;
}

QByteArray codecName(int cp) {
    return cp == 10000 ? QByteArray("macintosh")
           : cp == 437 ? QByteArray("IBM437")
           : cp == 850 ? QByteArray("IBM850")
           : cp == 932 ? QByteArray("Shift_JIS")
           : cp == 936 ? QByteArray("GBK")
           : cp == 949 ? QByteArray("EUC-KR")
           : cp == 950 ? QByteArray("Big5")
                       : "windows-" + QByteArray::number(cp);
}

int codePageOfCharset(int charset) {
    switch (charset) {
    case 0:
        return 1252;
    case 2: // symbol fonts: the bytes are glyph numbers, read as Latin-1
        return 28591;
    case 77:
        return 10000;
    // The Mac's Far Eastern character sets are the Windows code pages'.
    case 78:
        return 932;
    case 79:
        return 949;
    case 80:
        return 936;
    case 81:
        return 950;
    case 128:
        return 932;
    case 129:
        return 949;
    case 134:
        return 936;
    case 136:
        return 950;
    case 161:
        return 1253;
    case 162:
        return 1254;
    case 163:
        return 1258;
    case 177:
        return 1255;
    case 178:
        return 1256;
    case 186:
        return 1257;
    case 204:
        return 1251;
    case 222:
        return 874;
    case 238:
        return 1250;
    default:
        return 0;
    }
}

QString mergeFieldName(const QString& instruction) {
    const QString inst = instruction.trimmed();
    if (!inst.startsWith(QLatin1String("MERGEFIELD"), Qt::CaseInsensitive))
        return QString();
    QString rest = inst.mid(10);
    if (!rest.isEmpty() && !rest.front().isSpace())
        return QString();
    rest = rest.trimmed();
    if (rest.startsWith(QLatin1Char('"'))) {
        const int close = rest.indexOf(QLatin1Char('"'), 1);
        return close < 0 ? rest.mid(1) : rest.mid(1, close - 1);
    }
    qsizetype end = 0;
    while (end < rest.size() && !rest.at(end).isSpace())
        ++end;
    return rest.left(end);
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace wp::rtf
