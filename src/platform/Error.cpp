#include "wp/Error.h"

namespace wp {

Error::Error(qint32 number_, QString source_, QString description_, qint32 line_)
    : number(number_), source(std::move(source_)), description(std::move(description_)),
      line(line_), m_what(QStringLiteral("%1 (%2)").arg(description).arg(number).toUtf8()) {}

QString applicationDefinedDescription() {
    return QStringLiteral("Application-defined or object-defined error");
}

static QString standardDescription(qint32 number) {
    switch (number) {
    case 5:
        return QStringLiteral("Invalid procedure call or argument");
    case 6:
        return QStringLiteral("Overflow");
    case 7:
        return QStringLiteral("Out of memory");
    case 9:
        return QStringLiteral("Subscript out of range");
    case 11:
        return QStringLiteral("Division by zero");
    case 13:
        return QStringLiteral("Type mismatch");
    case 53:
        return QStringLiteral("File not found");
    case 91:
        return QStringLiteral("Object variable or With block variable not set");
    case 94:
        return QStringLiteral("Invalid use of Null");
    case 424:
        return QStringLiteral("Object required");
    case 429:
        return QStringLiteral("ActiveX component can't create object");
    case 438:
        return QStringLiteral("Object doesn't support this property or method");
    default:
        return applicationDefinedDescription();
    }
}

void raise(qint32 number, const QString& source, const QString& description) {
    throw Error(number, source, description.isEmpty() ? standardDescription(number) : description);
}

} // namespace wp
