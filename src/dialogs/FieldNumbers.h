#pragma once
// Numbers in dialog fields: text to numbers as the dialogs read it, and
// whole numbers rounded half to even (a value beyond the type's range is an
// overflow, error 6).

#include <QString>
#include <QtGlobal>

namespace wp {

/// Rounds half to even into 16 or 32 bits; out of range (or NaN) is error 6.
qint16 RoundToInt16(double value);
qint32 RoundToInt32(double value);

/// Field text as a number in the current locale (blanks around it, a sign,
/// one decimal separator); anything else, the empty text included, is a
/// type mismatch (error 13).
double TextToDouble(const QString& text);
/// TextToDouble rounded into 16 bits.
qint16 TextToInt16(const QString& text);

/// The number that the text begins with, always with '.' as the decimal
/// point: blanks anywhere are skipped, reading stops at the first character
/// that cannot continue the number, and text without one reads 0
/// ("12.5 mm" is 12.5, "-3" is -3, "mm" is 0, "1e3" is 1000).
double LeadingNumber(const QString& text);

} // namespace wp
