#pragma once
// What the RTF reader and writer share: code page 1252, the charset
// numbers of font tables, and the length units.

#include <QByteArray>
#include <QString>

namespace wp::rtf {

/// The Unicode character of a cp1252 byte (0x80..0x9F differ from Latin-1).
char16_t cp1252ToUnicode(unsigned char byte);
/// The cp1252 byte of a character, or 0 when cp1252 has none.
unsigned char unicodeToCp1252(char16_t ch);
/// Windows code page of an RTF \fcharset number (0: the document's).
int codePageOfCharset(int charset);
/// The name QStringDecoder knows a Windows code page by.
QByteArray codecName(int codePage);

/// Lengths in the documents, as the page layout (a 1440-dpi device) takes
/// them: left and right block margins and the first-line indent are twips;
/// space before and after, line heights, tab positions, and table widths,
/// padding and borders are 1/96 inch, which Qt scales by dpi / 96 (one of
/// them is 15 twips).
constexpr double TwipsPerPixel = 15.0;

/// The value of a hex digit, or -1 for another character.
int hexValue(char c);

/// The quoted name of a MERGEFIELD instruction, or "" for other fields.
QString mergeFieldName(const QString& instruction);

} // namespace wp::rtf
