#pragma once
// One open database connection, made from one of cADO's OLE DB connection
// strings: the Jet form opens the SQLite file after checking the account in
// the workgroup file, the SQL Server form opens FreeTDS through ODBC, the
// ODBC form opens the named data source. Closed and removed on destruction.

#include "data/SqlText.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>
#include <memory>

namespace wp::data {

class DbSession {
public:
    /// Opens the connection; throws wp::Error in the data-access numbers.
    explicit DbSession(const QString& connectionString);
    ~DbSession();
    DbSession(const DbSession&) = delete;
    DbSession& operator=(const DbSession&) = delete;

    QSqlDatabase db() const;
    Dialect dialect() const { return m_dialect; }
    const QString& connectionString() const { return m_connectionString; }
    /// Whether the account may only read (embedded database).
    bool readOnly() const { return m_readOnly; }

    /// Runs `sql` (TOP n translated for the dialect) with positional values;
    /// throws the classified failure.
    QSqlQuery exec(const QString& sql, const QVariantList& values = {},
                   bool forwardOnly = true) const;
    /// Runs a statement exactly as given (no translation).
    QSqlQuery execRaw(const QString& sql, const QVariantList& values = {},
                      bool forwardOnly = true) const;
    /// The classified error of a failed query.
    [[noreturn]] void raise(const QSqlQuery& failed) const;
    void transaction() const;
    void commit() const;
    void rollback() const;

    /// The translated SQL for this connection.
    QString translate(const QString& sql) const { return translateTop(sql, m_dialect); }

private:
    QString m_name;
    QString m_connectionString;
    QString m_path; // the SQLite file (type 0)
    Dialect m_dialect = Dialect::Other;
    bool m_odbc = false;
    bool m_readOnly = false;
};

using DbSessionPtr = std::shared_ptr<DbSession>;

} // namespace wp::data
