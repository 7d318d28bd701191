#pragma once
// The members of cADO that only the library itself may call (the tools and
// the tests reach them through here): the connection string builder, the
// two passwords, the table test, the stored-procedure query and the
// caller's password.

#include "wp/cADO.h"

#include <functional>

namespace wp {

struct cADOInternal {
    static QString RebuildConnection(const cADO& ado) { return ado.RebuildConnection(); }
    static QString PassRO(const cADO& ado) { return ado.PassRO(); }
    static QString PassRW(const cADO& ado) { return ado.PassRW(); }
    static bool TableExists(cADO& ado, const QString& table) { return ado.TableExists(table); }
    static RecordsetRef spRst(cADO& ado, const QString& name, const QString& parms) {
        return ado.spRst(name, parms);
    }
    static void setPassword(cADO& ado, const QString& password) { ado.setPassword(password); }
    /// The user IDs of the two accounts (deployment configuration).
    static QString ReadOnlyUser();
    static QString ReadWriteUser();
    /// Whether the credential fields are both empty.
    static bool CredentialsEmpty(const cADO& ado);
    /// Replaces the retry policy's pause (processing pending events, then
    /// sleeping `ms`; 0 before a login is tried again); empty restores it.
    static void setWait(cADO& ado, std::function<void(qint32 ms)> wait);
    /// The command time-out on a server, in seconds (30 unless changed).
    static void setCommandTimeout(cADO& ado, qint32 seconds);
};

} // namespace wp
