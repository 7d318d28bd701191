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
    // Qt's driver turns SQLite's extended result codes on: the primary code
    // is the low byte (SQLITE_CONSTRAINT_NOTNULL 1299 is SQLITE_CONSTRAINT).
    const int code = error.nativeErrorCode().toInt() & 0xff;
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

bool connectionLost(const QString& sqlState) {
    return sqlState.startsWith(QLatin1String("08")) || sqlState == QLatin1String("57P01") ||
           sqlState == QLatin1String("57P02") || sqlState == QLatin1String("57P03");
}

wp::Error odbcError(const QSqlError& error, const QString& sqlState, bool connecting) {
    const QString text = describe(error);
    // 28000 (SQL Server, FreeTDS) and 28P01 (PostgreSQL) are refused logins.
    // PostgreSQL's ODBC driver hides the server's SQLSTATE of a failed
    // connection behind 08001; its words are all there is to go on then.
    const bool authFailed =
        sqlState.startsWith(QLatin1String("28")) ||
        (connecting &&
         (text.contains(QLatin1String("authentication failed"), Qt::CaseInsensitive) ||
          text.contains(QLatin1String("Login failed"), Qt::CaseInsensitive) ||
          (text.contains(QLatin1String("role \"")) &&
           text.contains(QLatin1String("does not exist")))));
    if (authFailed)
        return wp::Error(ado::DB_SEC_E_AUTH_FAILED, kOdbcSource, text);
    // A statement the command time-out ended is not retried: it would only
    // take as long again.
    if (sqlState == QLatin1String("57014") || sqlState == QLatin1String("HYT00") ||
        sqlState == QLatin1String("HYT01"))
        return wp::Error(ado::DB_E_ABORTLIMITREACHED, kOdbcSource, text);
    if (connecting || connectionLost(sqlState) || sqlState.startsWith(QLatin1String("40")) ||
        sqlState == QLatin1String("55P03"))
        return wp::Error(ado::E_FAIL, kOdbcSource, text);
    if (sqlState == QLatin1String("42501"))
        return wp::Error(ado::DB_SEC_E_PERMISSIONDENIED, kOdbcSource, text);
    if (sqlState.startsWith(QLatin1String("23")))
        return wp::Error(ado::DB_E_INTEGRITYVIOLATION, kOdbcSource, text);
    return wp::Error(ado::DB_E_ERRORSINCOMMAND, kOdbcSource, text);
}

} // namespace wp::data
