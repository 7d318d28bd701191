#pragma once
// The workgroup file that secures the embedded database: a small SQLite file
// of account names, salted password hashes and rights, kept beside "mv.mdb"
// as "mv.mdw".

#include <QList>
#include <QString>

namespace wp::data {

struct WorkgroupAccount {
    QString userId;
    QString password;
    bool readOnly = false;
};

/// Writes a new workgroup file with these accounts (an existing file is
/// replaced). Throws wp::Error when the file cannot be written.
void createWorkgroup(const QString& path, const QList<WorkgroupAccount>& accounts);

/// Checks an account against the workgroup file and returns whether it is
/// read-only. Throws DB_SEC_E_AUTH_FAILED for an unknown account or a wrong
/// password, STG_E_FILENOTFOUND or STG_E_INVALIDHEADER for a missing or
/// unreadable file.
bool checkAccount(const QString& path, const QString& userId, const QString& password);

/// The stored hash of `password` under `salt` (hex).
QString passwordHash(const QByteArray& salt, const QString& password);

} // namespace wp::data
