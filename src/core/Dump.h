#pragma once
// Text dump of variables for error reports: one line per variable,
// "<name>value</name>", with nested elements for arrays and collections.

#include "wp/Error.h"
#include "wp/KXml.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <vector>

namespace wp::dump {

/// Line break of the report texts.
inline const QString CrLf = QStringLiteral("\r\n");

/// A never-assigned value.
struct EmptyT {};
inline constexpr EmptyT Empty{};
/// A database null.
struct NullT {};
inline constexpr NullT Null{};

/// A structure whose fields are not dumped, only its type name.
struct Udt {
    QString typeName;
};
/// A parameter of a structure or outside enumeration type.
struct UdtParameter {};
/// A local or module variable of an outside structure type.
struct ExternalUdt {};

/// A fixed-size array with up to any number of dimensions and per-dimension
/// lower bounds; no dimensions means "not yet dimensioned". Elements are held
/// with the last index fastest.
struct Array {
    struct Dim {
        int lower = 0;
        int upper = -1;
        bool readable = true;
    };
    std::vector<Dim> dims;
    QVariantList elements;
};

/// A value already turned into dump text by a nested dumper.
using Writer = std::function<QString(const QString& name, int indent)>;

QString line(const QString& name, const QString& valueText, int indent);
QString closingName(const QString& name);
QString escapeNul(QString text);
QString typeNameOf(const QObject* object);

// Value overloads: each returns the whole dump of one variable.
QString var(const QString& name, const QString& value, int indent = 0);
QString var(const QString& name, const char* value, int indent = 0);
QString var(const QString& name, bool value, int indent = 0);
QString var(const QString& name, qint64 value, int indent = 0);
QString var(const QString& name, double value, int indent = 0);
QString var(const QString& name, EmptyT, int indent = 0);
QString var(const QString& name, NullT, int indent = 0);
QString var(const QString& name, const Udt& value, int indent = 0);
QString var(const QString& name, UdtParameter, int indent = 0);
QString var(const QString& name, ExternalUdt, int indent = 0);
QString var(const QString& name, const Array& value, int indent = 0);
QString var(const QString& name, const QVariant& value, int indent = 0);
QString var(const QString& name, const QObject* value, int indent = 0);
QString var(const QString& name, const KXml* value, int indent = 0);
QString var(const QString& name, const QVariantList& value, int indent = 0);

template <class T>
requires(std::is_integral_v<T> && !std::is_same_v<T, bool>) QString
    var(const QString& name, T value, int indent = 0) {
    return var(name, static_cast<qint64>(value), indent);
}
template <class T>
requires std::is_enum_v<T> QString var(const QString& name, T value, int indent = 0) {
    return var(name, static_cast<qint64>(value), indent);
}
inline QString var(const QString& name, float value, int indent = 0) {
    return var(name, static_cast<double>(value), indent);
}
template <class T>
requires std::is_base_of_v<QObject, T> QString var(const QString& name, const T* value,
                                                   int indent = 0) {
    return var(name, static_cast<const QObject*>(value), indent);
}
template <class T>
requires std::is_base_of_v<QObject, T> QString var(const QString& name, T* value, int indent = 0) {
    return var(name, static_cast<const QObject*>(value), indent);
}
template <class T> QString var(const QString& name, const QPointer<T>& value, int indent = 0) {
    return var(name, static_cast<const QObject*>(value.data()), indent);
}
template <class T>
QString var(const QString& name, const std::shared_ptr<T>& value, int indent = 0) {
    return var(name, value.get(), indent);
}
template <class T>
QString var(const QString& name, const std::unique_ptr<T>& value, int indent = 0) {
    return var(name, value.get(), indent);
}
template <class T> QString var(const QString& name, const std::optional<T>& value, int indent = 0) {
    return value ? var(name, *value, indent) : var(name, Empty, indent);
}
/// A collection: each element under name[position], indented by 2.
template <class T> QString var(const QString& name, const QList<T>& items, int indent = 0) {
    QString out = QString(indent, u' ') + u'<' + name + u'>' + CrLf;
    int i = 0;
    for (const T& item : items)
        out += var(name + u'[' + QString::number(++i) + u']', item, indent + 2);
    return out + QString(indent, u' ') + QStringLiteral("</") + closingName(name) + u'>' + CrLf;
}
inline QString var(const QString& name, const Writer& writer, int indent = 0) {
    return writer(name, indent);
}

/// A variable bound by reference: dumped with its value at report time.
struct Variable {
    QString name;
    std::function<QString(int indent)> dump;
};

template <class T> Variable bind(const QString& name, const T& value) {
    return Variable{name, [name, &value](int indent) { return var(name, value, indent); }};
}

/// Dumps every variable in turn, or "{None}" when there are none; a
/// variable whose formatting fails reads "{Error n formatting for output}".
QString list(const std::vector<Variable>& variables, int indent = 0);

} // namespace wp::dump
Q_DECLARE_METATYPE(wp::dump::Array)
