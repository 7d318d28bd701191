#pragma once
// Text handling around the database: the connection strings cADO builds,
// the one dialect difference its queries meet (TOP n), and the base table of
// a single-table query (where changed rows are written back).

#include <QMap>
#include <QString>

namespace wp::data {

/// The SQL flavour on the other end of a connection.
enum class Dialect {
    SQLite,     ///< the embedded default
    PostgreSQL, ///< through its ODBC driver
    SqlServer,  ///< through FreeTDS, or an ODBC source that says so
    Other,      ///< any other ODBC source: queries go unchanged
};

/// Keys and values of an OLE DB connection string: keys lower-cased and
/// trimmed, values trimmed and stripped of one pair of single quotes.
QMap<QString, QString> parseConnectionString(const QString& connectionString);

/// The connection string with the value of its password piece removed
/// (the rest of the text as it was).
QString withoutPassword(const QString& connectionString);

/// The statement as `dialect` wants it: "SELECT [DISTINCT] TOP n ..." (or
/// "TOP (n)") becomes "SELECT [DISTINCT] ... LIMIT n" where the database has
/// no TOP; the limit goes after the last clause, before a closing semicolon
/// and trailing comments. "TOP n PERCENT", "WITH TIES", a TOP that is not a
/// number and a TOP in front of several statements cannot be translated:
/// wp::Error DB_E_ERRORSINCOMMAND says so. Everything else passes unchanged.
QString translateTop(const QString& sql, Dialect dialect);

/// The table of a single-table SELECT ("FROM name" not followed by a join or
/// a second table); empty when there is none. `quoted` tells whether the
/// name was written in brackets or double quotes.
QString baseTable(const QString& sql, bool* quoted = nullptr);

} // namespace wp::data
