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

/// How long a connection waits before it gives up.
struct SessionLimits {
    /// On a locked database or table. 0 where the retry policy waits instead.
    int busyTimeoutMs = 0;
    /// On any one statement, on a server (the data-access default is 30 s).
    int commandTimeoutS = 30;
};

class DbSession {
public:
    /// Opens the connection; throws wp::Error in the data-access numbers.
    explicit DbSession(const QString& connectionString, const SessionLimits& limits = {});
    ~DbSession();
    DbSession(const DbSession&) = delete;
    DbSession& operator=(const DbSession&) = delete;

    QSqlDatabase db() const;
    Dialect dialect() const { return m_dialect; }
    /// The connection string with its password left out.
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

    /// Whether the server ended the connection (a failure of SQLSTATE class
    /// 08, or the server shutting down): only a new connection helps.
    bool lost() const { return m_lost; }
    /// Opens the connection again with the same account; throws as opening does.
    void reopen();

private:
    void open();
    [[noreturn]] void raiseOpenFailure(const QSqlError& failure);

    QString m_name;
    QString m_connectionString;
    QString m_path; // the SQLite file (type 0)
    Dialect m_dialect = Dialect::Other;
    bool m_odbc = false;
    bool m_readOnly = false;
    SessionLimits m_limits;
    mutable bool m_lost = false;
};

using DbSessionPtr = std::shared_ptr<DbSession>;

} // namespace wp::data
