#include "data/AdoError.h"

#include <QSqlError>

namespace wp::data {

namespace {
const QString kSqliteSource = QStringLiteral("QSQLITE");
const QString kOdbcSource = QStringLiteral("QODBC");

QString describe(const QSqlError& error) {
    QString text = error.databaseText().trimmed();
    if (text.isEmpty())
        text = error.driverText().trimmed();
    return text;
}
} // namespace

void raiseAdo(qint32 number, const QString& source, const QString& description) {
    throw wp::Error(number, source, description);
}

void raiseRecordset(qint32 number) {
    QString text;
    switch (number) {
    case ado::adErrNoCurrentRecord:
        text = QStringLiteral("Either BOF or EOF is True, or the current record has been deleted. "
                              "Requested operation requires a current record.");
        break;
    case ado::adErrItemNotFound:
        text = QStringLiteral("Item cannot be found in the collection corresponding to the "
                              "requested name or ordinal.");
        break;
    case ado::adErrFeatureNotAvailable:
        text = QStringLiteral("Current Recordset does not support updating. This may be a "
                              "limitation of the provider, or of the selected locktype.");
        break;
    case ado::adErrObjectClosed:
        text = QStringLiteral("Operation is not allowed when the object is closed.");
        break;
    default:
        break;
    }
    throw wp::Error(number, QStringLiteral("ADODB.Recordset"), text);
}

wp::Error sqliteError(const QSqlError& error, const QString& path) {
    // Qt reports SQLite's primary result code.
    const int code = error.nativeErrorCode().toInt();
    switch (code) {
    case 5:  // SQLITE_BUSY
    case 6:  // SQLITE_LOCKED
    case 10: // SQLITE_IOERR
        return wp::Error(ado::E_FAIL, kSqliteSource, describe(error));
    case 8:  // SQLITE_READONLY
    case 23: // SQLITE_AUTH
        return wp::Error(ado::DB_SEC_E_PERMISSIONDENIED, kSqliteSource, describe(error));
    case 19: // SQLITE_CONSTRAINT
        return wp::Error(ado::DB_E_INTEGRITYVIOLATION, kSqliteSource, describe(error));
    case 11: // SQLITE_CORRUPT
    case 26: // SQLITE_NOTADB
        return wp::Error(ado::STG_E_INVALIDHEADER, kSqliteSource,
                         QStringLiteral("Unrecognized database format '%1'.").arg(path));
    case 14: // SQLITE_CANTOPEN
        return wp::Error(ado::STG_E_FILENOTFOUND, kSqliteSource,
                         QStringLiteral("Could not find file '%1'.").arg(path));
    default:
        return wp::Error(ado::DB_E_ERRORSINCOMMAND, kSqliteSource, describe(error));
    }
}

wp::Error odbcError(const QSqlError& error, const QString& sqlState, bool connecting) {
    const QString text = describe(error);
    const QString cls = sqlState.left(2);
    // Drivers report a refused login in different ways: PostgreSQL's as a
    // failed connection (08001) with its own words, SQL Server as 28000.
    const bool authFailed =
        cls == QLatin1String("28") ||
        text.contains(QLatin1String("authentication failed"), Qt::CaseInsensitive) ||
        text.contains(QLatin1String("Login failed"), Qt::CaseInsensitive) ||
        (text.contains(QLatin1String("role \"")) && text.contains(QLatin1String("does not exist")));
    if (authFailed)
        return wp::Error(ado::DB_SEC_E_AUTH_FAILED, kOdbcSource, text);
    if (connecting || cls == QLatin1String("08") || cls == QLatin1String("40") ||
        sqlState == QLatin1String("55P03") || sqlState == QLatin1String("57014") ||
        sqlState == QLatin1String("HYT00") || sqlState == QLatin1String("HYT01") ||
        sqlState == QLatin1String("57P01"))
        return wp::Error(ado::E_FAIL, kOdbcSource, text);
    if (sqlState == QLatin1String("42501"))
        return wp::Error(ado::DB_SEC_E_PERMISSIONDENIED, kOdbcSource, text);
    if (cls == QLatin1String("23"))
        return wp::Error(ado::DB_E_INTEGRITYVIOLATION, kOdbcSource, text);
    return wp::Error(ado::DB_E_ERRORSINCOMMAND, kOdbcSource, text);
}

} // namespace wp::data
