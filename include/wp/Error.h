#pragma once
// The one failure type that crosses the library's boundary.

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <exception>

namespace wp {

/// A failure inside the library, as its host sees it: error number, source,
/// description and the source line (0 where lines carry no numbers).
class Error : public std::exception {
public:
    Error(qint32 number, QString source, QString description, qint32 line = 0);

    const char* what() const noexcept override { return m_what.constData(); }

    qint32 number;
    QString source;
    QString description;
    qint32 line;

private:
    QByteArray m_what;
};

/// Error numbers the library raises itself (the classic runtime numbers).
namespace err {
constexpr qint32 InvalidProcedureCall = 5;
constexpr qint32 Overflow = 6;
constexpr qint32 SubscriptOutOfRange = 9;
constexpr qint32 TypeMismatch = 13;
constexpr qint32 FileNotFound = 53;
constexpr qint32 PathFileAccess = 75;
constexpr qint32 ObjectNotSet = 91;
constexpr qint32 InvalidUseOfNull = 94;
constexpr qint32 ObjectRequired = 424;
constexpr qint32 CannotCreateObject = 429;
/// What every guarded procedure fails with after its report.
constexpr qint32 ApplicationDefined = 65535;
} // namespace err

/// The description the caller sees for error 65535.
QString applicationDefinedDescription();

/// Throws wp::Error with the runtime's standard description for `number`.
[[noreturn]] void raise(qint32 number, const QString& source = QStringLiteral("wp"),
                        const QString& description = QString());

} // namespace wp
