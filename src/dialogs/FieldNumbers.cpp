#include "dialogs/FieldNumbers.h"

#include "dialogs/modTX.h"
#include "wp/Error.h"

#include <cmath>
#include <limits>

namespace wp {

namespace {
template <class Int> Int roundTo(double value) {
    // The default rounding mode rounds ties to the even number.
    const double r = std::nearbyint(value);
    if (!(r >= std::numeric_limits<Int>::min() && r <= std::numeric_limits<Int>::max()))
        raise(err::Overflow);
    return static_cast<Int>(r);
}

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}
} // namespace

qint16 RoundToInt16(double value) {
    return roundTo<qint16>(value);
}

qint32 RoundToInt32(double value) {
    return roundTo<qint32>(value);
}

double TextToDouble(const QString& text) {
    bool ok = false;
    const double value = modTX::ParseDlgNumber(text, &ok);
    if (!ok)
        raise(err::TypeMismatch);
    return value;
}

qint16 TextToInt16(const QString& text) {
    return RoundToInt16(TextToDouble(text));
}

double LeadingNumber(const QString& text) {
    QString plain; // the number's characters, in the C form
    bool digits = false;
    bool point = false;
    qsizetype exponentAt = -1; // where an exponent began in `plain`
    bool exponentDigits = false;
    for (const QChar c : text) {
        if (isBlank(c))
            continue;
        if (c >= u'0' && c <= u'9') {
            plain += c;
            (exponentAt < 0 ? digits : exponentDigits) = true;
        } else if ((c == u'-' || c == u'+') &&
                   (plain.isEmpty() || (exponentAt >= 0 && plain.size() == exponentAt + 1))) {
            plain += c;
        } else if (c == u'.' && !point && exponentAt < 0) {
            plain += c;
            point = true;
        } else if ((c == u'e' || c == u'E' || c == u'd' || c == u'D') && digits && exponentAt < 0) {
            exponentAt = plain.size();
            plain += u'e';
        } else {
            break;
        }
    }
    if (!digits)
        return 0.0;
    if (exponentAt >= 0 && !exponentDigits) {
        plain.truncate(exponentAt); // "12e" or "12e-" is 12
        exponentAt = -1;
    }
    bool ok = false;
    const double value = plain.toDouble(&ok);
    if (ok)
        return value;
    // Beyond the range of a double: too small is 0, too large infinite.
    if (exponentAt >= 0 && plain.at(exponentAt + 1) == u'-')
        return 0.0;
    return plain.startsWith(u'-') ? -std::numeric_limits<double>::infinity()
                                  : std::numeric_limits<double>::infinity();
}

} // namespace wp
