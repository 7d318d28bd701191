#include "dialogs/modTX.h"

#include "core/modWP.h"
#include "errors/modvbCodeShieldSupport.h"

#include <QLocale>
#include <cmath>
#include <limits>

namespace wp::modTX {

using modvbCodeShieldSupport::Guard;

namespace {
// Twips per unit of the current setting; 0 when there is no unit.
double twipsPerUnit() {
    switch (modWP::g_intMeasurement) {
    case 1:
        return TwipsPerCm;
    case 2:
        return TwipsPerInch;
    default:
        return 0.0;
    }
}

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}
} // namespace

double ParseDlgNumber(const QString& text, bool* ok) {
    *ok = false;
    const QLocale locale;
    const QString decimal = locale.decimalPoint();
    qsizetype i = 0;
    qsizetype end = text.size();
    while (i < end && isBlank(text.at(i)))
        ++i;
    while (end > i && isBlank(text.at(end - 1)))
        --end;

    // Rewritten in the C form that toDouble reads: sign, digits, '.'.
    QString plain;
    if (i < end) {
        const QStringView rest = QStringView(text).mid(i, end - i);
        if (rest.startsWith(locale.negativeSign()) || rest.startsWith(u'-')) {
            plain += u'-';
            i += rest.startsWith(locale.negativeSign()) ? locale.negativeSign().size() : 1;
        } else if (rest.startsWith(locale.positiveSign()) || rest.startsWith(u'+')) {
            i += rest.startsWith(locale.positiveSign()) ? locale.positiveSign().size() : 1;
        }
    }
    bool digits = false;
    bool separator = false;
    while (i < end) {
        const QChar c = text.at(i);
        if (c >= u'0' && c <= u'9') {
            plain += c;
            digits = true;
            ++i;
        } else if (!separator && QStringView(text).mid(i, end - i).startsWith(decimal)) {
            plain += u'.';
            separator = true;
            i += decimal.size();
        } else {
            return 0.0;
        }
    }
    if (!digits)
        return 0.0;
    const double value = plain.toDouble(ok);
    return *ok ? value : 0.0;
}

QString FormatDlgNumber(double value) {
    // Rounded on the decimal digits the value shows (15 significant), so a
    // value such as 8.505 rounds as written and not as its binary neighbour.
    const double hundredths = std::round(QString::number(value * 100.0, 'g', 15).toDouble());
    const QString decimal = QLocale().decimalPoint();
    if (!std::isfinite(hundredths) || std::fabs(hundredths) >= 1e17) {
        QString text = QString::number(hundredths / 100.0, 'f', 2);
        return text.replace(u'.', decimal);
    }
    const qint64 n = static_cast<qint64>(hundredths);
    const qint64 whole = (n < 0 ? -n : n) / 100;
    const qint64 cents = (n < 0 ? -n : n) % 100;
    return (n < 0 ? QStringLiteral("-") : QString()) + QString::number(whole) + decimal +
           QStringLiteral("%1").arg(cents, 2, 10, QLatin1Char('0'));
}

qint32 DlgString2Twips(const QString& sDlg) {
    Guard g("modTX", "DlgString2Twips");
    g.param(QStringLiteral("sDlg"), sDlg);
    return g.run([&]() -> qint32 {
        bool isNumber = false;
        const double v = ParseDlgNumber(sDlg, &isNumber);
        const double perUnit = twipsPerUnit();
        if (!isNumber || perUnit == 0.0)
            return 0;
        // The default rounding mode rounds ties to the even twip.
        const double twips = std::nearbyint(v * perUnit);
        if (!(twips >= std::numeric_limits<qint32>::min() &&
              twips <= std::numeric_limits<qint32>::max()))
            raise(err::Overflow);
        return static_cast<qint32>(twips);
    });
}

QString Twips2DlgString(float twips) {
    Guard g("modTX", "Twips2DlgString");
    g.param(QStringLiteral("twips"), twips);
    return g.run([&] {
        const double perUnit = twipsPerUnit();
        if (perUnit == 0.0)
            return QString();
        // The nudge goes on the twips, before the division, so that a value
        // sitting on a rounding edge after the division shows the upper figure.
        return FormatDlgNumber((static_cast<double>(twips) + 0.0005) / perUnit);
    });
}

} // namespace wp::modTX
