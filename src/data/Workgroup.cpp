#include "data/Workgroup.h"

#include "data/AdoError.h"

#include <QAtomicInteger>
#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace wp::data {

namespace {

const QString kSource = QStringLiteral("QSQLITE");

QString connectionName() {
    static QAtomicInteger<quint64> counter;
    return QStringLiteral("wp.mdw.%1").arg(counter.fetchAndAddRelaxed(1));
}

// Verified logins by file state, so that a call does not open the workgroup
// file again while it is unchanged.
struct Verified {
    QMutex mutex;
    QHash<QString, bool> readOnlyByKey;
};
Verified& verified() {
    static Verified v;
    return v;
}

QString cacheKey(const QFileInfo& info, const QString& userId, const QString& password) {
    return info.absoluteFilePath() + u'\n' +
           QString::number(info.lastModified().toMSecsSinceEpoch()) + u'\n' +
           QString::number(info.size()) + u'\n' + userId.toLower() + u'\n' +
           passwordHash(QByteArrayLiteral("cache"), password);
}

[[noreturn]] void authFailed() {
    raiseAdo(ado::DB_SEC_E_AUTH_FAILED, kSource,
             QStringLiteral("Not a valid account name or password."));
}

} // namespace

QString passwordHash(const QByteArray& salt, const QString& password) {
    QCryptographicHash h(QCryptographicHash::Sha256);
    h.addData(salt);
    h.addData(password.toUtf8());
    return QString::fromLatin1(h.result().toHex());
}

void createWorkgroup(const QString& path, const QList<WorkgroupAccount>& accounts) {
    if (QFile::exists(path) && !QFile::remove(path))
        raiseAdo(ado::E_FAIL, kSource, QStringLiteral("Cannot replace '%1'.").arg(path));
    const QString name = connectionName();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        QString failure;
        if (!db.open()) {
            failure = db.lastError().text();
        } else {
            QSqlQuery q(db);
            if (!q.exec(QStringLiteral(
                    "CREATE TABLE tblAccounts (strUserID TEXT PRIMARY KEY COLLATE NOCASE, "
                    "strSalt TEXT NOT NULL, strHash TEXT NOT NULL, blnReadOnly INTEGER NOT NULL)")))
                failure = q.lastError().text();
            for (const WorkgroupAccount& a : accounts) {
                if (!failure.isEmpty())
                    break;
                QByteArray salt(16, '\0');
                for (char& c : salt)
                    c = static_cast<char>(QRandomGenerator::system()->bounded(256));
                q.prepare(QStringLiteral("INSERT INTO tblAccounts VALUES (?, ?, ?, ?)"));
                q.addBindValue(a.userId);
                q.addBindValue(QString::fromLatin1(salt.toHex()));
                q.addBindValue(passwordHash(salt, a.password));
                q.addBindValue(a.readOnly ? 1 : 0);
                if (!q.exec())
                    failure = q.lastError().text();
            }
            db.close();
        }
        if (!failure.isEmpty()) {
            QSqlDatabase::removeDatabase(name);
            raiseAdo(ado::E_FAIL, kSource,
                     QStringLiteral("Cannot write the workgroup file '%1': %2").arg(path, failure));
        }
    }
    QSqlDatabase::removeDatabase(name);
}

bool checkAccount(const QString& path, const QString& userId, const QString& password) {
    const QFileInfo info(path);
    if (!info.isFile())
        raiseAdo(ado::STG_E_FILENOTFOUND, kSource,
                 QStringLiteral("Cannot start your application. The workgroup information file "
                                "is missing or opened exclusively by another user."));
    if (userId.isEmpty())
        authFailed();
    const QString key = cacheKey(info, userId, password);
    {
        QMutexLocker lock(&verified().mutex);
        const auto it = verified().readOnlyByKey.constFind(key);
        if (it != verified().readOnlyByKey.constEnd())
            return it.value();
    }

    const QString name = connectionName();
    bool found = false;
    bool readOnly = true;
    QString salt, hash;
    QSqlError failure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=1000"));
        if (!db.open()) {
            failure = db.lastError();
        } else {
            QSqlQuery q(db);
            q.prepare(QStringLiteral(
                "SELECT strSalt, strHash, blnReadOnly FROM tblAccounts WHERE strUserID = ?"));
            q.addBindValue(userId);
            if (!q.exec()) {
                failure = q.lastError();
            } else if (q.next()) {
                found = true;
                salt = q.value(0).toString();
                hash = q.value(1).toString();
                readOnly = q.value(2).toInt() != 0;
            }
        }
    }
    QSqlDatabase::removeDatabase(name);
    if (failure.isValid()) {
        wp::Error e = sqliteError(failure, path);
        if (e.number == ado::DB_E_ERRORSINCOMMAND) // a database, but not a workgroup file
            e = wp::Error(ado::STG_E_INVALIDHEADER, kSource,
                          QStringLiteral("'%1' is not a workgroup information file.").arg(path));
        throw e;
    }
    if (!found || passwordHash(QByteArray::fromHex(salt.toLatin1()), password) != hash)
        authFailed();
    QMutexLocker lock(&verified().mutex);
    verified().readOnlyByKey.insert(key, readOnly);
    return readOnly;
}

} // namespace wp::data
