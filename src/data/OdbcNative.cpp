#include "data/OdbcNative.h"

#include <QLibrary>
#include <sql.h>
#include <sqlext.h>

namespace wp::data::odbc {

namespace {

using GetDiagRecFn = SQLRETURN (*)(SQLSMALLINT, SQLHANDLE, SQLSMALLINT, SQLCHAR*, SQLINTEGER*,
                                   SQLCHAR*, SQLSMALLINT, SQLSMALLINT*);
using GetInfoFn = SQLRETURN (*)(SQLHDBC, SQLUSMALLINT, SQLPOINTER, SQLSMALLINT, SQLSMALLINT*);
using AllocHandleFn = SQLRETURN (*)(SQLSMALLINT, SQLHANDLE, SQLHANDLE*);
using FreeHandleFn = SQLRETURN (*)(SQLSMALLINT, SQLHANDLE);
using SetEnvAttrFn = SQLRETURN (*)(SQLHENV, SQLINTEGER, SQLPOINTER, SQLINTEGER);

struct Api {
    GetDiagRecFn getDiagRec = nullptr;
    GetInfoFn getInfo = nullptr;
    AllocHandleFn allocHandle = nullptr;
    FreeHandleFn freeHandle = nullptr;
    SetEnvAttrFn setEnvAttr = nullptr;
    bool ok = false;

    Api() {
        // The same library Qt's ODBC plugin is linked with.
        static QLibrary lib(QStringLiteral("odbc"), 2);
        if (!lib.load())
            return;
        getDiagRec = reinterpret_cast<GetDiagRecFn>(lib.resolve("SQLGetDiagRec"));
        getInfo = reinterpret_cast<GetInfoFn>(lib.resolve("SQLGetInfo"));
        allocHandle = reinterpret_cast<AllocHandleFn>(lib.resolve("SQLAllocHandle"));
        freeHandle = reinterpret_cast<FreeHandleFn>(lib.resolve("SQLFreeHandle"));
        setEnvAttr = reinterpret_cast<SetEnvAttrFn>(lib.resolve("SQLSetEnvAttr"));
        ok = getDiagRec && getInfo && allocHandle && freeHandle && setEnvAttr;
    }
};

const Api& api() {
    static const Api instance;
    return instance;
}

bool succeeded(SQLRETURN r) {
    return r == SQL_SUCCESS || r == SQL_SUCCESS_WITH_INFO;
}

// Calls `f` with an allocated, unconnected connection handle.
template <class F> QString withUnconnectedHandle(F f) {
    const Api& a = api();
    if (!a.ok)
        return QString();
    SQLHANDLE env = SQL_NULL_HANDLE;
    SQLHANDLE dbc = SQL_NULL_HANDLE;
    QString out;
    if (succeeded(a.allocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) {
        a.setEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        if (succeeded(a.allocHandle(SQL_HANDLE_DBC, env, &dbc))) {
            out = f(dbc);
            a.freeHandle(SQL_HANDLE_DBC, dbc);
        }
        a.freeHandle(SQL_HANDLE_ENV, env);
    }
    return out;
}

} // namespace

bool available() {
    return api().ok;
}

QString statementState(void* hstmt) {
    const Api& a = api();
    if (!a.ok || !hstmt)
        return QString();
    SQLCHAR state[SQL_SQLSTATE_SIZE + 1] = {};
    SQLINTEGER native = 0;
    SQLCHAR message[16];
    SQLSMALLINT length = 0;
    const SQLRETURN r =
        a.getDiagRec(SQL_HANDLE_STMT, hstmt, 1, state, &native, message, sizeof message, &length);
    if (!succeeded(r))
        return QString();
    return QString::fromLatin1(reinterpret_cast<const char*>(state), SQL_SQLSTATE_SIZE);
}

QString connectionInfo(void* hdbc, int infoType) {
    const Api& a = api();
    if (!a.ok || !hdbc)
        return QString();
    char value[256] = {};
    SQLSMALLINT length = 0;
    const SQLRETURN r =
        a.getInfo(hdbc, static_cast<SQLUSMALLINT>(infoType), value, sizeof value - 1, &length);
    return succeeded(r) ? QString::fromUtf8(value) : QString();
}

QString driverManagerVersion() {
    return withUnconnectedHandle([](SQLHANDLE dbc) { return connectionInfo(dbc, SQL_DM_VER); });
}

QString odbcVersion() {
    return withUnconnectedHandle([](SQLHANDLE dbc) { return connectionInfo(dbc, SQL_ODBC_VER); });
}

} // namespace wp::data::odbc
