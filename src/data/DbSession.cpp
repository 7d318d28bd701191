#include "data/DbSession.h"

#include "data/AdoError.h"
#include "data/OdbcNative.h"
#include "data/Workgroup.h"

#include <QAtomicInteger>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlResult>
#include <sqlext.h>

namespace wp::data {

namespace {

QString nextName() {
    static QAtomicInteger<quint64> counter;
    return QStringLiteral("wp.cADO.%1").arg(counter.fetchAndAddRelaxed(1));
}

void* handleOf(const QVariant& v) {
    // Qt hands ODBC handles out as a QVariant holding the SQLHANDLE.
    if (!v.isValid() || !v.data())
        return nullptr;
    return *static_cast<void* const*>(v.constData());
}

// FreeTDS takes the port apart from the host; SQL Server names it
// "host,port".
QString freeTdsTarget(const QString& serverName) {
    const QStringList parts = serverName.split(u',');
    QString out = QStringLiteral("SERVER=") + parts.value(0).trimmed();
    if (parts.size() > 1)
        out += QStringLiteral(";PORT=") + parts.value(1).trimmed();
    return out;
}

// Seconds a login may take before the server counts as unreachable.
constexpr int kLoginTimeoutS = 2;
// A lock on a server table, where the retry policy waits between tries.
constexpr int kRetryLockWaitMs = 50;

} // namespace

DbSession::DbSession(const QString& connectionString, const SessionLimits& limits)
    : m_name(nextName()), m_connectionString(withoutPassword(connectionString)), m_limits(limits) {
    const QMap<QString, QString> cs = parseConnectionString(connectionString);
    const QString provider = cs.value(QStringLiteral("provider")).toLower();
    {
        QSqlDatabase db;
        if (provider.startsWith(QLatin1String("microsoft.jet.oledb"))) {
            m_dialect = Dialect::SQLite;
            m_path = cs.value(QStringLiteral("data source"));
            if (!QFileInfo(m_path).isFile())
                raiseAdo(ado::STG_E_FILENOTFOUND, QStringLiteral("QSQLITE"),
                         QStringLiteral("Could not find file '%1'.").arg(m_path));
            m_readOnly = checkAccount(cs.value(QStringLiteral("jet oledb:system database")),
                                      cs.value(QStringLiteral("user id")),
                                      cs.value(QStringLiteral("password")));
            db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
            db.setDatabaseName(m_path);
            const QString busy =
                QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(std::max(0, limits.busyTimeoutMs));
            db.setConnectOptions(m_readOnly ? QStringLiteral("QSQLITE_OPEN_READONLY;") + busy
                                            : busy);
        } else if (provider == QLatin1String("sqloledb") ||
                   provider.startsWith(QLatin1String("msdasql"))) {
            m_odbc = true;
            db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), m_name);
            if (provider == QLatin1String("sqloledb")) {
                m_dialect = Dialect::SqlServer;
                db.setDatabaseName(QStringLiteral("DRIVER={FreeTDS};") +
                                   freeTdsTarget(cs.value(QStringLiteral("data server"))) +
                                   QStringLiteral(";DATABASE=") +
                                   cs.value(QStringLiteral("database")) +
                                   QStringLiteral(";ClientCharset=UTF-8"));
            } else {
                db.setDatabaseName(cs.value(QStringLiteral("data source")));
            }
            db.setUserName(cs.value(QStringLiteral("user id")));
            db.setPassword(cs.value(QStringLiteral("password")));
            // A server that does not answer costs each try of the retry
            // policy this long, so it is short; a statement that does not
            // finish ends with the command time-out.
            db.setConnectOptions(
                QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=%1;SQL_ATTR_CONNECTION_TIMEOUT=%2")
                    .arg(kLoginTimeoutS)
                    .arg(std::max(0, limits.commandTimeoutS)));
        } else {
            raiseAdo(ado::E_FAIL, QStringLiteral("ADODB.Connection"),
                     QStringLiteral("Provider cannot be found. It may not be properly installed."));
        }
    }
    try {
        open();
    } catch (...) {
        QSqlDatabase::removeDatabase(m_name);
        throw;
    }
}

void DbSession::raiseOpenFailure(const QSqlError& failure) {
    throw m_odbc ? odbcError(failure, QString(), true) : sqliteError(failure, m_path);
}

void DbSession::open() {
    QSqlDatabase d = db();
    if (!d.open())
        raiseOpenFailure(d.lastError());
    m_lost = false;
    if (m_odbc && m_dialect != Dialect::SqlServer) {
        const QString dbms = odbc::connectionInfo(handleOf(d.driver()->handle()), SQL_DBMS_NAME);
        if (dbms.contains(QLatin1String("PostgreSQL"), Qt::CaseInsensitive))
            m_dialect = Dialect::PostgreSQL;
        else if (dbms.contains(QLatin1String("SQL Server"), Qt::CaseInsensitive))
            m_dialect = Dialect::SqlServer;
        else if (dbms.contains(QLatin1String("SQLite"), Qt::CaseInsensitive))
            m_dialect = Dialect::SQLite;
    }
    if (m_dialect == Dialect::PostgreSQL && m_odbc) {
        // A table lock makes a query wait: briefly where the retry policy
        // does the waiting, a few seconds elsewhere. The server ends any
        // statement that outlasts the command time-out.
        execRaw(QStringLiteral("SET lock_timeout = %1")
                    .arg(m_limits.busyTimeoutMs > 0 ? m_limits.busyTimeoutMs : kRetryLockWaitMs));
        execRaw(QStringLiteral("SET statement_timeout = %1")
                    .arg(qint64(std::max(0, m_limits.commandTimeoutS)) * 1000));
    }
}

void DbSession::reopen() {
    {
        QSqlDatabase d = db();
        d.close();
    }
    open();
}

DbSession::~DbSession() {
    {
        QSqlDatabase d = QSqlDatabase::database(m_name, false);
        if (d.isOpen())
            d.close();
    }
    QSqlDatabase::removeDatabase(m_name);
}

QSqlDatabase DbSession::db() const {
    return QSqlDatabase::database(m_name, false);
}

QSqlQuery DbSession::exec(const QString& sql, const QVariantList& values, bool forwardOnly) const {
    return execRaw(translate(sql), values, forwardOnly);
}

QSqlQuery DbSession::execRaw(const QString& sql, const QVariantList& values,
                             bool forwardOnly) const {
    QSqlQuery q(db());
    q.setForwardOnly(forwardOnly);
    bool ok;
    if (values.isEmpty()) {
        ok = q.exec(sql);
    } else {
        ok = q.prepare(sql);
        for (const QVariant& v : values)
            q.addBindValue(v);
        ok = ok && q.exec();
    }
    if (!ok)
        raise(q);
    return q;
}

void DbSession::raise(const QSqlQuery& failed) const {
    if (m_odbc) {
        const QString state = odbc::statementState(handleOf(failed.result()->handle()));
        m_lost = m_lost || connectionLost(state);
        throw odbcError(failed.lastError(), state, false);
    }
    throw sqliteError(failed.lastError(), m_path);
}

void DbSession::transaction() const {
    QSqlDatabase d = db();
    if (!d.transaction()) {
        const QSqlError e = d.lastError();
        throw m_odbc ? odbcError(e, QString(), false) : sqliteError(e, m_path);
    }
}

void DbSession::commit() const {
    QSqlDatabase d = db();
    if (!d.commit()) {
        const QSqlError e = d.lastError();
        throw m_odbc ? odbcError(e, QString(), false) : sqliteError(e, m_path);
    }
}

void DbSession::rollback() const {
    db().rollback();
}

} // namespace wp::data
