#pragma once
// The few ODBC calls Qt's driver does not expose (SQLSTATE of a failure,
// names and versions), resolved from the driver manager at run time so
// that the library does not link against it.

#include <QString>

namespace wp::data::odbc {

/// Whether the driver manager (libodbc) could be loaded.
bool available();
/// SQLSTATE of the first diagnostic record of a statement handle ("" if none).
QString statementState(void* hstmt);
/// A text value of SQLGetInfo on a connection handle ("" on failure).
QString connectionInfo(void* hdbc, int infoType);
/// The driver manager's version ("03.52.0002.0003"); "" when unavailable.
QString driverManagerVersion();
/// The ODBC version the driver manager implements ("03.52"); "" when unavailable.
QString odbcVersion();

} // namespace wp::data::odbc
