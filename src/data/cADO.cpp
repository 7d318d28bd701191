#include "wp/cADO.h"

#include "core/modWP.h"
#include "data/AdoError.h"
#include "data/DbSession.h"
#include "data/OdbcNative.h"
#include "data/RecordsetImpl.h"
#include "errors/modvbCodeShieldSupport.h"
#include "wp/hooks.h"

#include <QCoreApplication>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QThread>
#include <csignal>
#include <functional>
#include <initializer_list>
#include <optional>
#include <utility>

namespace wp {

using data::DbSession;
using data::DbSessionPtr;
using modvbCodeShieldSupport::Guard;

namespace {

// The read-only account's name is the one plain text; the rest is put
// together when needed.
const QString kReadOnlyUser = QStringLiteral("MorvaleReader");

QString fromCodes(std::initializer_list<int> codes) {
    QString out;
    out.reserve(qsizetype(codes.size()));
    for (int c : codes)
        out += QChar(c);
    return out;
}

// Retry limits of the members that have the retry policy.
struct Limits {
    int waitMs;
    int limit;
    bool retryLogin; // answer a refused login by supplying the account again
};
constexpr Limits kGetRS{250, 20, true};
constexpr Limits kRunSQL{250, 20, true};
constexpr Limits kSaveBatchRecord{250, 20, false};
constexpr Limits kGetBatchRecord{200, 10, false};

// Members without the retry policy let the database wait this long for a
// lock before they fail.
constexpr int kBusyTimeoutMs = 5000;
// The command time-out of a stored-procedure command, in seconds.
constexpr qint32 kCommandTimeoutS = 5;

QString readWriteUser() {
    return fromCodes({77, 111, 114, 118, 97, 108, 101, 65, 112, 112});
}

bool debuggerAttached() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("TracerPid:"))
            return line.mid(10).trimmed().toInt() != 0;
    return false;
}

// An object parameter in a report: its type, or Nothing.
template <class T> dump::Writer objectWriter(const std::shared_ptr<T>& object, const char* type) {
    const QString typeName = QString::fromLatin1(type);
    return [&object, typeName](const QString& name, int indent) {
        return dump::line(name, object ? u'{' + typeName + u'}' : QStringLiteral("{Nothing}"),
                          indent);
    };
}

} // namespace

// --- state ---

struct cADO::Impl {
    // The class connection: opened only inside RunSQL and SaveRecord.
    struct Connection {
        QString ConnectionString;
        qint32 Mode = ado::adModeShareDenyNone;
        DbSessionPtr session;
        qint32 State() const { return session ? ado::adStateOpen : ado::adStateClosed; }
        void Open(const data::SessionLimits& limits) {
            session = std::make_shared<DbSession>(ConnectionString, limits);
        }
        void Close() { session.reset(); }
    };

    QString m_strDbname;
    QString m_strWIF;
    Connection m_cnn;
    RecordsetRef m_rsSingle;
    RecordsetRef m_rsBatch;
    qint16 m_intConnectType = 0;
    QString m_strUserID;
    QString m_strPassword;
    QString m_strServerName;
    // Seconds a statement may run on a server (the data-access default).
    qint32 commandTimeoutS = 30;
    // Why the last TableExists said no, when the database was busy.
    std::optional<wp::Error> tableBusy;
    // The pause between tries of the retry policy; tests count them.
    std::function<void(qint32 ms)> wait;

    // Members with the retry policy do their own waiting for locks.
    data::SessionLimits retrying() const { return {0, commandTimeoutS}; }
    data::SessionLimits waiting() const { return {kBusyTimeoutMs, commandTimeoutS}; }

    void pause(qint32 ms) {
        if (wait) {
            wait(ms);
            return;
        }
        QCoreApplication::processEvents();
        if (ms > 0)
            QThread::msleep(static_cast<unsigned long>(ms));
    }

    void clearCredentials() {
        m_strUserID.clear();
        m_strPassword.clear();
    }
};

// The retry policy for transient failures: one counter for all steps of a
// call; a busy or locked database (and an object not there yet) is waited
// for, a refused login tried again (the step supplies the account again),
// anything else clears the credentials and the class connection string and
// is passed on. A step that finds its connection lost opens it again first.
class RetryPolicy {
public:
    RetryPolicy(cADO::Impl& d, const Limits& limits) : m_d(d), m_limits(limits) {}

    template <class F> auto step(F&& f) -> decltype(f()) {
        for (;;) {
            try {
                return f();
            } catch (const wp::Error& e) {
                handle(e);
            }
        }
    }

    /// A step on `session` that reconnects first when the server dropped it.
    template <class F> auto on(DbSession& session, F&& f) -> decltype(f()) {
        return step([&] {
            if (session.lost())
                session.reopen();
            return f();
        });
    }

private:
    void handle(const wp::Error& e) {
        if (e.number == ado::E_FAIL || e.number == err::ObjectNotSet) {
            m_d.pause(m_limits.waitMs);
            if (++m_retries <= m_limits.limit)
                return;
            m_d.clearCredentials();
            throw e;
        }
        if (m_limits.retryLogin && e.number == ado::DB_SEC_E_AUTH_FAILED) {
            // Unbounded in the original; the same counter bounds it here.
            m_d.pause(0);
            if (++m_retries <= m_limits.limit)
                return;
            m_d.clearCredentials();
            throw e;
        }
        if (modWP::g_blnInIDE && debuggerAttached()) {
            std::raise(SIGTRAP); // stop in the debugger, then run the step again
            return;
        }
        m_d.clearCredentials();
        m_d.m_cnn.ConnectionString.clear();
        throw e;
    }

    cADO::Impl& m_d;
    Limits m_limits;
    qint32 m_retries = 0;
};

// --- creation and properties ---

cADO::cADO() : d(std::make_unique<Impl>()) {
    d->m_cnn.Mode = ado::adModeShareDenyNone;
}

cADO::~cADO() {
    if (d->m_cnn.State() != ado::adStateClosed)
        d->m_cnn.Close();
}

QString cADO::Dbname() const {
    return d->m_strDbname;
}

void cADO::setDbname(const QString& vData) {
    d->m_strDbname = vData;
    // The workgroup file lies beside the database; on this platform a slash
    // separates like the backslash.
    const qsizetype lngPos = std::max(vData.lastIndexOf(u'\\'), vData.lastIndexOf(u'/'));
    d->m_strWIF = (lngPos >= 0 ? vData.left(lngPos + 1) : QString()) + QStringLiteral("mv.mdw");
}

QString cADO::WIF() const {
    return d->m_strWIF;
}
QString cADO::ServerName() const {
    return d->m_strServerName;
}
void cADO::setServerName(const QString& vData) {
    d->m_strServerName = vData;
}
void cADO::setUserID(const QString& vData) {
    d->m_strUserID = vData;
}
void cADO::setPassword(const QString& vData) {
    d->m_strPassword = vData;
}

QString cADO::PassRO() const {
    return fromCodes({114, 100, 55, 33, 75, 113, 50, 109, 90});
}

QString cADO::PassRW() const {
    return fromCodes({119, 114, 57, 35, 84, 98, 52, 120, 76, 112, 50, 118, 81, 101});
}

void cADO::SetConnectType(qint32 vData) {
    Guard g("cADO", "SetConnectType");
    g.disableModuleVariables().param(QStringLiteral("vData"), vData);
    g.run([&] {
        if (vData < -32768 || vData > 32767)
            wp::raise(err::Overflow);
        d->m_intConnectType = static_cast<qint16>(vData);
    });
}

QString cADO::RebuildConnection() const {
    const Impl& m = *d;
    switch (m.m_intConnectType) {
    case 0:
        return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data source=") + Dbname() + u';' +
               QStringLiteral("User ID = '") + m.m_strUserID + QStringLiteral("';Password = '") +
               m.m_strPassword + QStringLiteral("';") +
               QStringLiteral("Mode=ReadWrite|Share Deny None;") +
               QStringLiteral("Jet OLEDB:System database=") + m.m_strWIF + u';';
    case 1:
        return QStringLiteral("Provider=sqloledb;Data Server=") + ServerName() +
               QStringLiteral(";User Id=") + m.m_strUserID + QStringLiteral(";Password=") +
               m.m_strPassword + QStringLiteral(";database=") + Dbname();
    case 2:
        return QStringLiteral("Provider=MSDASQL.1;Password=") + m.m_strPassword +
               QStringLiteral(";Persist Security Info=True;User ID=") + m.m_strUserID +
               QStringLiteral(";Data Source=") + Dbname();
    default:
        return QString();
    }
}

namespace {
void setAccount(cADO::Impl& d, const QString& user, const QString& password) {
    d.m_strUserID = user;
    d.m_strPassword = password;
}
} // namespace

QString cADO::ReportConnection() {
    QString strConnect;
    Guard g("cADO", "ReportConnection");
    g.disableModuleVariables().local(QStringLiteral("strConnect"), strConnect);
    return g.run([&] {
        setAccount(*d, kReadOnlyUser, PassRO());
        strConnect = RebuildConnection();
        d->clearCredentials();
        return strConnect;
    });
}

bool cADO::TableExists(const QString& sTableName) {
    // Any failure (a missing table makes the count fail) means "no".
    try {
        setAccount(*d, kReadOnlyUser, PassRO());
        const QString strConnect = RebuildConnection();
        d->clearCredentials();
        DbSession session(strConnect, d->waiting());
        QSqlQuery q =
            session.exec(QStringLiteral("SELECT Count(*) as MyCount FROM ") + sTableName + u';');
        return q.next();
    } catch (const wp::Error& e) {
        d->clearCredentials();
        if (e.number == ado::E_FAIL)
            d->tableBusy = e; // still locked after the wait: not "no such table"
        return false;
    } catch (...) {
        d->clearCredentials();
        return false;
    }
}

QString cADO::VersionDB() {
    QString strVersion;
    Guard g("cADO", "VersionDB");
    g.disableModuleVariables().local(QStringLiteral("strVersion"), strVersion);
    return g.run([&] {
        d->tableBusy.reset();
        if (!TableExists(QStringLiteral("tblVersion"))) {
            // A database too busy to answer has a version all the same.
            if (d->tableBusy)
                throw *std::exchange(d->tableBusy, std::nullopt);
            return strVersion = QStringLiteral("1;0");
        }
        setAccount(*d, kReadOnlyUser, PassRO());
        const QString strConnect = RebuildConnection();
        d->clearCredentials();
        DbSession session(strConnect, d->waiting());
        Recordset rs;
        rs.impl().source = QStringLiteral(
            "SELECT MAX(lngMinor) As MaxMinor, lngMajor As MaxMajor FROM tblVersion WHERE "
            "lngMajor IN (SELECT MAX(lngMajor) AS dtm FROM tblVersion) GROUP BY lngMajor;");
        QSqlQuery q = session.exec(rs.impl().source);
        if (!rs.impl().fill(q))
            session.raise(q);
        if (rs.BOF() && rs.EOF_())
            strVersion = QStringLiteral("1;0");
        else
            strVersion =
                rs.Text(QStringLiteral("MaxMajor")) + u';' + rs.Text(QStringLiteral("MaxMinor"));
        rs.Close();
        return strVersion;
    });
}

QString cADO::MDACVersion() const {
    if (Dbname().isEmpty()) {
        MsgBox(QStringLiteral("No database has been specified."), mb::Critical,
               QStringLiteral("cADO.MDAC Version"));
        return QString();
    }
    // The versions of what stands in for ADO and its provider: Qt's SQL
    // layer, then SQLite or the ODBC driver manager. A part that cannot be
    // read ends the text there, as it is.
    QString strVersion = QStringLiteral("<ado>");
    const bool embedded = d->m_intConnectType == 0;
    const QString provider = embedded ? QStringLiteral("QSQLITE") : QStringLiteral("QODBC");
    const QStringList drivers = QSqlDatabase::drivers();
    strVersion += QStringLiteral("<ADO_Version>") + QString::fromLatin1(qVersion()) +
                  QStringLiteral("</ADO_Version>");
    QString dbmsName, dbmsVersion, interfaceVersion;
    if (embedded) {
        if (!drivers.contains(provider))
            return strVersion;
        dbmsName = QStringLiteral("SQLite");
        const QString name = QStringLiteral("wp.cADO.version");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(provider, name);
            db.setDatabaseName(QStringLiteral(":memory:"));
            if (db.open()) {
                QSqlQuery q(db);
                if (q.exec(QStringLiteral("SELECT sqlite_version()")) && q.next())
                    dbmsVersion = q.value(0).toString();
            }
        }
        QSqlDatabase::removeDatabase(name);
        interfaceVersion = dbmsVersion;
    } else {
        if (!drivers.contains(provider) || !data::odbc::available())
            return strVersion;
        dbmsName = d->m_intConnectType == 1 ? QStringLiteral("Microsoft SQL Server")
                                            : QStringLiteral("ODBC data source ") + Dbname();
        dbmsVersion = data::odbc::driverManagerVersion();
        interfaceVersion = data::odbc::odbcVersion();
    }
    strVersion += QStringLiteral("<DBMS_Name>") + dbmsName + QStringLiteral("</DBMS_Name>");
    if (dbmsVersion.isEmpty())
        return strVersion;
    strVersion +=
        QStringLiteral("<DBMS_Version>") + dbmsVersion + QStringLiteral("</DBMS_Version>");
    if (interfaceVersion.isEmpty())
        return strVersion;
    strVersion +=
        QStringLiteral("<OLE_DB_Version>") + interfaceVersion + QStringLiteral("</OLE_DB_Version>");
    strVersion += QStringLiteral("<Provider_Name>") + provider + QStringLiteral("</Provider_Name>");
    strVersion += QStringLiteral("<Provider_Version>") + QString::fromLatin1(qVersion()) +
                  QStringLiteral("</Provider_Version>");
    return strVersion + QStringLiteral("</ado>");
}

// --- queries ---

namespace {

// Reads the rows of `query` into `rs` on `session` (the describing of the
// base table is only needed when the rows may be written back).
void openInto(Recordset& rs, const DbSession& session) {
    Recordset::Impl& r = rs.impl();
    QSqlQuery q = session.exec(r.source);
    if (!r.fill(q))
        session.raise(q);
    if (r.lockType != ado::adLockReadOnly && r.state == ado::adStateOpen)
        r.describeTable(session);
}

RecordsetRef newRecordset(const QString& source, qint32 location, qint32 type, qint32 lock) {
    auto rs = std::make_shared<Recordset>();
    Recordset::Impl& r = rs->impl();
    r.source = source;
    r.cursorLocation = location;
    r.cursorType = type;
    r.lockType = lock;
    return rs;
}

} // namespace

RecordsetRef cADO::GetRS(const QString& strQuery, qint32 strCursorType, qint32 strLockType,
                         qint32 strCursorLocation) {
    // The account is in the credential fields only while the string is built.
    auto connectionString = [&] {
        if (strLockType == ado::adLockReadOnly)
            setAccount(*d, kReadOnlyUser, PassRO());
        else
            setAccount(*d, readWriteUser(), PassRW());
        const QString strConnect = RebuildConnection();
        d->clearCredentials();
        return strConnect;
    };
    RetryPolicy retry(*d, kGetRS);
    try {
        RecordsetRef rs = newRecordset(strQuery, strCursorLocation, strCursorType, strLockType);
        DbSessionPtr session = retry.step(
            [&] { return std::make_shared<DbSession>(connectionString(), d->retrying()); });
        retry.on(*session, [&] { openInto(*rs, *session); });
        // A client cursor is handed out detached: the caller holds no
        // connection while reading.
        if (strCursorLocation != ado::adUseClient && rs->State() == ado::adStateOpen)
            rs->impl().session = session;
        d->clearCredentials();
        return rs;
    } catch (...) {
        d->clearCredentials();
        throw;
    }
}

RecordsetRef cADO::GetRecord(const QString& strQuery) {
    Guard g("cADO", "GetRecord");
    g.disableModuleVariables().param(QStringLiteral("strQuery"), strQuery);
    return g.run([&] {
        // The caller's own account, left in place.
        d->m_rsSingle =
            newRecordset(strQuery, ado::adUseClient, ado::adOpenKeyset, ado::adLockOptimistic);
        RecordsetRef rs = d->m_rsSingle;
        d->m_rsSingle.reset();
        DbSession session(RebuildConnection(), d->waiting());
        openInto(*rs, session);
        return rs;
    });
}

RecordsetRef cADO::ReadOnlyRecord(const QString& strQuery, qint32 strCursorType) {
    Guard g("cADO", "ReadOnlyRecord");
    g.disableModuleVariables()
        .param(QStringLiteral("strQuery"), strQuery)
        .param(QStringLiteral("strCursorType"), strCursorType);
    return g.run([&] {
        d->m_rsSingle =
            newRecordset(strQuery, ado::adUseClient, ado::adOpenStatic, ado::adLockReadOnly);
        RecordsetRef rs = d->m_rsSingle;
        d->m_rsSingle.reset();
        DbSession session(RebuildConnection(), d->waiting());
        openInto(*rs, session);
        return rs;
    });
}

RecordsetRef cADO::GetBatchRecord(const QString& strQuery) {
    auto connectionString = [&] {
        setAccount(*d, readWriteUser(), PassRW());
        const QString strConnect = RebuildConnection();
        d->clearCredentials();
        return strConnect;
    };
    RetryPolicy retry(*d, kGetBatchRecord);
    try {
        d->m_rsBatch =
            newRecordset(strQuery, ado::adUseClient, ado::adOpenKeyset, ado::adLockBatchOptimistic);
        RecordsetRef rs = d->m_rsBatch;
        d->m_rsBatch.reset();
        DbSessionPtr session = retry.step(
            [&] { return std::make_shared<DbSession>(connectionString(), d->retrying()); });
        retry.on(*session, [&] { openInto(*rs, *session); });
        return rs;
    } catch (...) {
        d->m_rsBatch.reset();
        d->clearCredentials();
        throw;
    }
}

qint32 cADO::RunSQL(const QString& strSQL) {
    RetryPolicy retry(*d, kRunSQL);
    try {
        // Every statement kind runs with the read-write account, which is
        // in the credential fields only while the string is built (again
        // after a refused login).
        qint32 lngRecordsAffected = 0;
        retry.step([&] {
            setAccount(*d, readWriteUser(), PassRW());
            d->m_cnn.ConnectionString = RebuildConnection();
            d->clearCredentials();
            d->m_cnn.Open(d->retrying());
        });
        retry.on(*d->m_cnn.session, [&] {
            QSqlQuery q = d->m_cnn.session->exec(strSQL);
            lngRecordsAffected = q.isSelect() ? -1 : q.numRowsAffected();
        });
        if (d->m_cnn.State() == ado::adStateOpen)
            d->m_cnn.Close();
        return lngRecordsAffected;
    } catch (...) {
        d->m_cnn.Close();
        d->clearCredentials();
        throw;
    }
}

bool cADO::SaveRecord(const RecordsetRef& AdoRS) {
    bool blnResult = true;
    const dump::Writer rsDump = objectWriter(AdoRS, "Recordset");
    Guard g("cADO", "SaveRecord");
    g.disableModuleVariables().local(QStringLiteral("SaveRecord"), blnResult);
    g.param(QStringLiteral("AdoRS"), rsDump);
    return g.run([&] {
        try {
            setAccount(*d, readWriteUser(), PassRW());
            d->m_cnn.ConnectionString = RebuildConnection();
            d->clearCredentials();
            d->m_cnn.Open(d->waiting());
            if (!AdoRS)
                wp::raise(err::ObjectNotSet);
            Recordset::Impl& r = AdoRS->impl();
            r.session = d->m_cnn.session;
            try {
                r.session->transaction();
                const Recordset::Impl::Generated generated = r.writeChanges(*r.session);
                r.session->commit();
                r.acceptChanges(generated);
            } catch (...) {
                // Nothing of a failed save stays in the database.
                blnResult = false;
                r.session->rollback();
            }
            r.session.reset();
            d->m_cnn.Close();
            return blnResult;
        } catch (...) {
            if (AdoRS)
                AdoRS->impl().session.reset();
            d->m_cnn.Close();
            d->clearCredentials();
            throw;
        }
    });
}

bool cADO::SaveBatchRecord(const RecordsetRef& AdoRS) {
    RetryPolicy retry(*d, kSaveBatchRecord);
    try {
        retry.step([&] {
            if (!AdoRS)
                wp::raise(err::ObjectNotSet);
            setAccount(*d, readWriteUser(), PassRW());
            const QString strConnect = RebuildConnection();
            d->clearCredentials();
            AdoRS->impl().session = std::make_shared<DbSession>(strConnect, d->retrying());
        });
        Recordset::Impl& r = AdoRS->impl();
        retry.on(*r.session, [&] {
            // One transaction, so that a step run again never writes twice
            // and a lost connection leaves nothing half-written.
            r.session->transaction();
            Recordset::Impl::Generated generated;
            try {
                generated = r.writeChanges(*r.session);
                r.session->commit();
            } catch (...) {
                r.session->rollback();
                throw;
            }
            r.acceptChanges(generated);
        });
        r.session.reset();
        d->clearCredentials();
        return true;
    } catch (...) {
        if (AdoRS)
            AdoRS->impl().session.reset();
        d->clearCredentials();
        throw;
    }
}

// --- stored procedures ---

struct Command::Impl {
    DbSessionPtr session;
    QString commandText;
    bool prepared = false;
    qint32 commandType = ado::adCmdStoredProc;
    qint32 commandTimeout = 5;
};

Command::Command(std::unique_ptr<Impl> impl) : d(std::move(impl)) {}
Command::~Command() = default;
QString Command::ActiveConnection() const {
    return d->session ? d->session->connectionString() : QString();
}
QString Command::CommandText() const {
    return d->commandText;
}
bool Command::Prepared() const {
    return d->prepared;
}
qint32 Command::CommandType() const {
    return d->commandType;
}
qint32 Command::CommandTimeout() const {
    return d->commandTimeout;
}

RecordsetRef Command::Execute(const QVariant& parameter, qint32 /*options*/) {
    if (!d->session)
        wp::raise(err::ObjectNotSet);
    const DbSession& s = *d->session;
    if (s.dialect() == data::Dialect::SQLite)
        data::raiseAdo(ado::DB_E_ERRORSINCOMMAND, QStringLiteral("QSQLITE"),
                       QStringLiteral("The embedded database has no stored procedures ('%1').")
                           .arg(d->commandText));
    QVariantList values;
    QString call = QStringLiteral("{call ") + d->commandText;
    if (parameter.isValid()) {
        call += QStringLiteral("(?)");
        values << parameter;
    }
    call += u'}';
    auto rs =
        newRecordset(d->commandText, ado::adUseServer, ado::adOpenForwardOnly, ado::adLockReadOnly);
    QSqlQuery q = s.execRaw(call, values);
    if (!rs->impl().fill(q))
        s.raise(q);
    return rs;
}

CommandRef cADO::CreateStoredProcedure(const QString& strQuery, const QString& strQueryName,
                                       bool isPrepared) {
    Guard g("cADO", "CreateStoredProcedure");
    g.disableModuleVariables()
        .param(QStringLiteral("strQuery"), strQuery)
        .param(QStringLiteral("strQueryName"), strQueryName)
        .param(QStringLiteral("isPrepared"), isPrepared);
    return g.run([&] {
        auto impl = std::make_unique<Command::Impl>();
        impl->session = std::make_shared<DbSession>( // the caller's account
            RebuildConnection(), data::SessionLimits{kBusyTimeoutMs, kCommandTimeoutS});
        impl->commandText = strQuery;
        impl->prepared = isPrepared;
        impl->commandType = ado::adCmdStoredProc;
        impl->commandTimeout = kCommandTimeoutS;
        return std::make_shared<Command>(std::move(impl));
    });
}

RecordsetRef cADO::spRst(const QString& strNameSP, const QString& strParms) {
    Guard g("cADO", "spRst");
    g.disableModuleVariables()
        .param(QStringLiteral("strNameSP"), strNameSP)
        .param(QStringLiteral("strParms"), strParms);
    return g.run([&] {
        auto impl = std::make_unique<Command::Impl>();
        setAccount(*d, kReadOnlyUser, PassRO());
        const QString strConnect = RebuildConnection();
        d->clearCredentials();
        impl->session = std::make_shared<DbSession>(
            strConnect, data::SessionLimits{kBusyTimeoutMs, kCommandTimeoutS});
        impl->commandType = ado::adCmdStoredProc;
        impl->commandText = strNameSP;
        impl->commandTimeout = kCommandTimeoutS;
        Command cmd(std::move(impl));
        return cmd.Execute(strParms, -1);
    });
}

} // namespace wp

#include "data/cADOInternal.h"

namespace wp {
QString cADOInternal::ReadOnlyUser() {
    return kReadOnlyUser;
}
QString cADOInternal::ReadWriteUser() {
    return readWriteUser();
}
bool cADOInternal::CredentialsEmpty(const cADO& ado) {
    return ado.d->m_strUserID.isEmpty() && ado.d->m_strPassword.isEmpty();
}
void cADOInternal::setWait(cADO& ado, std::function<void(qint32)> wait) {
    ado.d->wait = std::move(wait);
}
void cADOInternal::setCommandTimeout(cADO& ado, qint32 seconds) {
    ado.d->commandTimeoutS = seconds;
}
} // namespace wp
