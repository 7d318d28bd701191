#pragma once
// Lengths between twips and the text of a dialog field, in the unit the host
// chose with clsWP::setMeasurementUnits (1 centimetres, 2 inches; any other
// value no unit).

#include <QString>
#include <QtGlobal>

namespace wp::modTX {

/// Twips per unit: 567 to the centimetre (whole, as the page dialog uses it)
/// and 1440 to the inch.
constexpr double TwipsPerCm = 567.0;
constexpr double TwipsPerInch = 1440.0;

/// Field text to whole twips, rounded half to even. Text that is not a number
/// of the current locale gives 0, and so does a unit setting other than 1 or
/// 2. A result beyond 32 bits is reported and fails with error 65535.
qint32 DlgString2Twips(const QString& sDlg);

/// Twips to field text with two decimals in the current locale ("8.50",
/// "21,00"); the empty string for a unit setting other than 1 or 2.
QString Twips2DlgString(float twips);

/// A number as the current locale writes it in a field: blanks around it, an
/// optional sign, digits with at most one decimal separator. `ok` tells
/// whether the text was one.
double ParseDlgNumber(const QString& text, bool* ok);

/// "0.00": at least one digit, two decimals, no group separators, the
/// locale's decimal separator, rounded half away from zero.
QString FormatDlgNumber(double value);

} // namespace wp::modTX
