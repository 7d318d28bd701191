#pragma once
// The library's gateway to the host's database: builds the connection
// strings of the three kinds of database (the embedded file secured by its
// workgroup file, SQL Server, an ODBC data source), supplies the two fixed
// accounts only while a connection string is built, and runs queries and
// saves with the retry policy for busy databases and refused logins.
//
// Connect type 0 opens the SQLite file named by Dbname, checking the account
// against the workgroup file WIF; type 1 opens SQL Server through FreeTDS;
// type 2 opens an ODBC data source (PostgreSQL, for example). Failures keep
// the data-access numbers of wp::ado (E_FAIL for a busy or locked database,
// DB_SEC_E_AUTH_FAILED for a refused login).

#include "wp/Error.h"
#include "wp/Recordset.h"

#include <QString>
#include <QVariant>
#include <QtGlobal>
#include <memory>

namespace wp {

/// A prepared call of a stored procedure, as CreateStoredProcedure gives it.
class Command {
public:
    ~Command();
    Command(const Command&) = delete;
    Command& operator=(const Command&) = delete;

    QString ActiveConnection() const;
    QString CommandText() const;
    bool Prepared() const;
    /// ado::adCmdStoredProc.
    qint32 CommandType() const;
    /// Seconds.
    qint32 CommandTimeout() const;
    /// Calls the procedure with one parameter value (none when `parameter`
    /// is invalid) and returns its rows (a closed record set when it returns
    /// none). The embedded database has no stored procedures: that is an
    /// error DB_E_ERRORSINCOMMAND.
    RecordsetRef Execute(const QVariant& parameter = QVariant(), qint32 options = -1);

    struct Impl;
    explicit Command(std::unique_ptr<Impl> impl);

private:
    std::unique_ptr<Impl> d;
};
using CommandRef = std::shared_ptr<Command>;

class cADO {
public:
    /// Creates the class connection (share mode adModeShareDenyNone).
    cADO();
    /// Closes the class connection if it is open.
    ~cADO();
    cADO(const cADO&) = delete;
    cADO& operator=(const cADO&) = delete;

    /// The database: a file path (type 0), a database name (1) or an ODBC
    /// data source name (2).
    QString Dbname() const;
    /// Also derives WIF: the text up to its last backslash or slash, then
    /// "mv.mdw".
    void setDbname(const QString& vData);
    /// The workgroup file beside the database.
    QString WIF() const;
    /// The SQL Server host (type 1), "host" or "host,port".
    QString ServerName() const;
    void setServerName(const QString& vData);
    /// The caller's account for GetRecord, ReadOnlyRecord and
    /// CreateStoredProcedure.
    void setUserID(const QString& vData);
    /// Versions of the data-access parts as XML-like text: "<ado>" with
    /// ADO_Version (Qt's SQL layer), DBMS_Name, DBMS_Version, OLE_DB_Version
    /// (SQLite's library, or the ODBC version of the driver manager),
    /// Provider_Name and Provider_Version (the Qt driver), then "</ado>".
    /// Without Dbname: the message "No database has been specified." and "".
    QString MDACVersion() const;

    /// 0 embedded (default), 1 SQL Server, 2 ODBC; outside 16 bits is an
    /// overflow (reported).
    void SetConnectType(qint32 vData);
    /// The read-only account's connection string, credentials included.
    QString ReportConnection();
    /// "major;minor" of the schema from tblVersion; "1;0" without it.
    QString VersionDB();

    /// Opens the rows of `strQuery` with the read-only account when
    /// `strLockType` is adLockReadOnly, else the read-write one. A client
    /// cursor (adUseClient) is returned detached; any other location keeps
    /// its connection. Busy databases are retried (250 ms, 20 times).
    RecordsetRef GetRS(const QString& strQuery, qint32 strCursorType = 0, qint32 strLockType = 0,
                       qint32 strCursorLocation = 0);
    /// A detached keyset, optimistic record set with the caller's account.
    RecordsetRef GetRecord(const QString& strQuery);
    /// A detached static, read-only record set with the caller's account
    /// (the cursor type argument is not used).
    RecordsetRef ReadOnlyRecord(const QString& strQuery, qint32 strCursorType = 0);
    /// A detached keyset, batch-optimistic record set with the read-write
    /// account, for SaveBatchRecord. Busy databases: 200 ms, 10 times.
    RecordsetRef GetBatchRecord(const QString& strQuery);
    /// Runs a statement with the read-write account; returns the rows affected.
    qint32 RunSQL(const QString& strSQL);
    /// Writes the record set's changes in one transaction; false (rolled
    /// back) when that fails.
    bool SaveRecord(const RecordsetRef& AdoRS);
    /// Writes all pending changes of the record set; failures that outlast
    /// the retries reach the caller.
    bool SaveBatchRecord(const RecordsetRef& AdoRS);
    /// A stored-procedure command on the caller's account, time-out 5 s.
    CommandRef CreateStoredProcedure(const QString& strQuery, const QString& strQueryName = {},
                                     bool isPrepared = false);

    struct Impl;

private:
    friend struct cADOInternal;
    QString RebuildConnection() const;
    QString PassRO() const;
    QString PassRW() const;
    bool TableExists(const QString& sTableName);
    RecordsetRef spRst(const QString& strNameSP, const QString& strParms);
    void setPassword(const QString& vData);

    std::unique_ptr<Impl> d;
};

} // namespace wp
