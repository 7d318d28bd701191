#pragma once
// Database failures in the data-access error numbers: what the retry policy
// of cADO decides on, with the database's own words as the description.

#include "data/SqlText.h"
#include "wp/Error.h"
#include "wp/Recordset.h"

#include <QString>

class QSqlError;

namespace wp::data {

/// The error of a failed SQLite call: busy and locked are E_FAIL, a
/// read-only refusal DB_SEC_E_PERMISSIONDENIED, a constraint
/// DB_E_INTEGRITYVIOLATION, a file that is no database STG_E_INVALIDHEADER,
/// anything else DB_E_ERRORSINCOMMAND. `path` names the file.
wp::Error sqliteError(const QSqlError& error, const QString& path);

/// The error of a failed ODBC call; `sqlState` is the first diagnostic's
/// SQLSTATE when it could be read. Refused logins are DB_SEC_E_AUTH_FAILED,
/// lost connections, lock and deadlock failures E_FAIL, a statement that
/// outlasted the command time-out DB_E_ABORTLIMITREACHED.
wp::Error odbcError(const QSqlError& error, const QString& sqlState, bool connecting);

/// Whether `sqlState` says the connection itself is gone (class 08, or the
/// server shutting down or restarting: 57P01 to 57P03).
bool connectionLost(const QString& sqlState);

/// Throws an error with `number`, the data source `source` and `description`.
[[noreturn]] void raiseAdo(qint32 number, const QString& source, const QString& description);

/// The record set errors with their standard texts.
[[noreturn]] void raiseRecordset(qint32 number);

} // namespace wp::data
