#include "core/Dump.h"

#include <QMetaObject>
#include <QMetaType>

namespace wp::dump {

namespace {
// Collections that contain themselves, or absurdly deep ones, stop here.
constexpr int MaxIndent = 64;
constexpr int ArrayDumpDimensionLimit = 3;
} // namespace

QString closingName(const QString& name) {
    const qsizetype space = name.indexOf(u' ');
    return space < 0 ? name : name.left(space);
}

QString line(const QString& name, const QString& valueText, int indent) {
    return QString(indent, u' ') + u'<' + name + u'>' + valueText + QStringLiteral("</") +
           closingName(name) + u'>' + CrLf;
}

QString escapeNul(QString text) {
    return text.replace(QChar(u'\0'), QStringLiteral("{Null}"));
}

QString typeNameOf(const QObject* object) {
    QString name = QString::fromLatin1(object->metaObject()->className());
    const qsizetype colons = name.lastIndexOf(QStringLiteral("::"));
    return colons < 0 ? name : name.mid(colons + 2);
}

QString var(const QString& name, const QString& value, int indent) {
    return line(name, escapeNul(value), indent);
}
QString var(const QString& name, const char* value, int indent) {
    return var(name, QString::fromUtf8(value), indent);
}
QString var(const QString& name, bool value, int indent) {
    return line(name, value ? QStringLiteral("True") : QStringLiteral("False"), indent);
}
QString var(const QString& name, qint64 value, int indent) {
    return line(name, QString::number(value), indent);
}
QString var(const QString& name, double value, int indent) {
    return line(name, QString::number(value, 'g', 15), indent);
}
QString var(const QString& name, EmptyT, int indent) {
    return line(name, QStringLiteral("{Empty}"), indent);
}
QString var(const QString& name, NullT, int indent) {
    return line(name, QStringLiteral("{Null}"), indent);
}
QString var(const QString& name, const Udt& value, int indent) {
    return line(name, QStringLiteral("{UDT - ") + value.typeName + u'}', indent);
}
QString var(const QString& name, UdtParameter, int indent) {
    return line(name, QStringLiteral("{Can't dump UDT parameters}"), indent);
}
QString var(const QString& name, ExternalUdt, int indent) {
    return line(name, QStringLiteral("{Cannot dump external UDTs}"), indent);
}

QString var(const QString& name, const QObject* value, int indent) {
    if (!value)
        return line(name, QStringLiteral("{Nothing}"), indent);
    return line(name, u'{' + typeNameOf(value) + u'}', indent);
}

QString var(const QString& name, const KXml* value, int indent) {
    return line(name, value ? QStringLiteral("{KXml}") : QStringLiteral("{Nothing}"), indent);
}

QString var(const QString& name, const QVariantList& value, int indent) {
    if (indent > MaxIndent)
        return line(name, QStringLiteral("{Dump truncated}"), indent);
    return var<QVariant>(name, value, indent);
}

QString var(const QString& name, const QVariant& value, int indent) {
    if (!value.isValid())
        return var(name, Empty, indent);
    const QMetaType type = value.metaType();
    if (type == QMetaType::fromType<std::nullptr_t>())
        return var(name, Null, indent);
    switch (type.id()) {
    case QMetaType::Bool:
        return var(name, value.toBool(), indent);
    case QMetaType::QVariantList:
        return var(name, value.toList(), indent);
    case QMetaType::QStringList:
        return var<QString>(name, value.toStringList(), indent);
    case QMetaType::Double:
    case QMetaType::Float:
        return var(name, value.toDouble(), indent);
    default:
        break;
    }
    if (type.flags() & QMetaType::PointerToQObject)
        return var(name, value.value<QObject*>(), indent);
    if (value.canConvert<Array>())
        return var(name, value.value<Array>(), indent);
    if (value.canConvert<QString>())
        return var(name, value.toString(), indent);
    return line(name, u'{' + QString::fromLatin1(type.name()) + u'}', indent);
}

QString var(const QString& name, const Array& value, int indent) {
    if (value.dims.empty())
        return line(name, QStringLiteral("{UnInitialised Array}"), indent);
    const int rank = static_cast<int>(value.dims.size());
    if (rank > ArrayDumpDimensionLimit)
        return line(name, QStringLiteral("{Dump truncated at %1 dimensions}").arg(rank), indent);
    for (int d = 1; d < rank; ++d) {
        if (!value.dims[d].readable)
            return line(name, QStringLiteral("{UnInitialised Array Dimension %1}").arg(d + 1),
                        indent);
    }
    QString out = QString(indent, u' ') + u'<' + name + u'>' + CrLf;
    std::vector<int> index(rank);
    for (int d = 0; d < rank; ++d)
        index[d] = value.dims[d].lower;
    qsizetype flat = 0;
    bool any = true;
    for (const auto& dim : value.dims)
        any = any && dim.upper >= dim.lower;
    while (any) {
        QStringList parts;
        for (int i : index)
            parts << QString::number(i);
        const QString elementName = name + QStringLiteral(" Index=\"") + parts.join(u',') + u'"';
        const QVariant element = flat < value.elements.size() ? value.elements[flat] : QVariant();
        out += var(elementName, element, indent + 2);
        ++flat;
        // Last index fastest.
        int d = rank - 1;
        while (d >= 0 && ++index[d] > value.dims[d].upper) {
            index[d] = value.dims[d].lower;
            --d;
        }
        if (d < 0)
            break;
    }
    return out + QString(indent, u' ') + QStringLiteral("</") + closingName(name) + u'>' + CrLf;
}

QString list(const std::vector<Variable>& variables, int indent) {
    if (variables.empty())
        return QStringLiteral("{None}");
    QString out;
    for (const Variable& v : variables) {
        try {
            out += v.dump(indent);
        } catch (const wp::Error& e) {
            out += line(v.name, QStringLiteral("{Error %1 formatting for output}").arg(e.number),
                        indent);
        } catch (const std::exception&) {
            out += line(v.name,
                        QStringLiteral("{Error %1 formatting for output}").arg(err::TypeMismatch),
                        indent);
        }
    }
    return out;
}

} // namespace wp::dump
