#pragma once
// Shared by the database tests: a data directory with a fresh embedded
// database, direct SQL on it (as a second program would), and job
// applications with known creation times.

#include "data/Schema.h"
#include "data/cADOInternal.h"
#include "support/TestSupport.h"
#include "wp/cADO.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <chrono>
#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace wptest {

/// A plain connection of its own to a database, closed on scope exit.
class DirectConnection {
public:
    /// The embedded database file `source`; with an account, the ODBC data
    /// source `source`.
    explicit DirectConnection(const QString& source, const QString& user = QString(),
                              const QString& password = QString())
        : m_name(QStringLiteral("direct.%1").arg(++s_count)) {
        QSqlDatabase db = QSqlDatabase::addDatabase(
            user.isEmpty() ? QStringLiteral("QSQLITE") : QStringLiteral("QODBC"), m_name);
        db.setDatabaseName(source);
        db.setUserName(user);
        db.setPassword(password);
        m_open = db.open();
    }
    ~DirectConnection() {
        db().close(); // the handle goes before the connection is removed
        QSqlDatabase::removeDatabase(m_name);
    }
    bool isOpen() const { return m_open; }
    QSqlDatabase db() const { return QSqlDatabase::database(m_name, false); }
    /// Runs statements; the first failure is returned as text ("" when all ran).
    QString exec(const QStringList& statements) const {
        QSqlQuery q(db());
        for (const QString& sql : statements)
            if (!q.exec(sql))
                return sql + QStringLiteral(": ") + q.lastError().text();
        return QString();
    }
    /// The first column of the first row of `sql`.
    QVariant scalar(const QString& sql) const {
        QSqlQuery q(db());
        if (!q.exec(sql) || !q.next())
            return QVariant();
        return q.value(0);
    }

private:
    static inline int s_count = 0;
    QString m_name;
    bool m_open = false;
};

/// A lock that a second program holds for `holdMs`, on a thread of its own
/// (so that it ends while the caller is blocked in the database).
class HeldLock {
public:
    using Open = std::function<std::unique_ptr<DirectConnection>()>;
    HeldLock(Open open, const QStringList& take, const QStringList& release, int holdMs) {
        std::promise<QString> taken;
        m_taken = taken.get_future();
        m_thread = std::thread([open, take, release, holdMs, p = std::move(taken)]() mutable {
            std::unique_ptr<DirectConnection> c = open();
            p.set_value(c->isOpen() ? c->exec(take) : QStringLiteral("cannot connect"));
            std::this_thread::sleep_for(std::chrono::milliseconds(holdMs));
            c->exec(release);
        });
    }
    /// The embedded database, locked exclusively.
    static std::unique_ptr<HeldLock> onFile(const QString& path, int holdMs) {
        return std::make_unique<HeldLock>(
            [path] { return std::make_unique<DirectConnection>(path); },
            QStringList{QStringLiteral("BEGIN EXCLUSIVE")}, QStringList{QStringLiteral("ROLLBACK")},
            holdMs);
    }
    ~HeldLock() { m_thread.join(); }
    /// "" once the lock is held, else why not.
    QString taken() { return m_taken.get(); }

private:
    std::future<QString> m_taken;
    std::thread m_thread;
};

/// Counts the retry policy's pauses instead of sleeping; `onWait` runs at
/// each (with its number, from 1).
struct WaitCounter {
    std::vector<qint32> waits;
    std::function<void(int)> onWait;
    void install(wp::cADO& a) {
        wp::cADOInternal::setWait(a, [this](qint32 ms) {
            waits.push_back(ms);
            if (onWait)
                onWait(int(waits.size()));
        });
    }
};

/// A data directory with a new "mv.mdb" and "mv.mdw".
class DataDir {
public:
    DataDir() { wp::data::initDatabase(m_dir.path()); }
    QString path() const { return m_dir.path(); }
    QString mdb() const { return m_dir.filePath(QStringLiteral("mv.mdb")); }
    QString mdw() const { return m_dir.filePath(QStringLiteral("mv.mdw")); }

private:
    QTemporaryDir m_dir;
};

/// Inserts `count` sample job applications created one hour apart from
/// `start`, in shuffled order, returning the SQL that does it.
inline QStringList jobAppInserts(int count, bool postgres = false) {
    QStringList out;
    const QDateTime start(QDate(2024, 3, 1), QTime(8, 0), Qt::UTC);
    for (int k = 0; k < count; ++k) {
        const int i = (k * 7) % count; // not in creation order
        const wp::data::SampleJobApp app = wp::data::sampleJobApp(i);
        const QString when = wp::data::sqliteDateTime(start.addSecs(qint64(i) * 3600));
        QString xml = app.coverLetterXml;
        xml.replace(QStringLiteral("<job_app>"), QStringLiteral("<job_app><seq>%1</seq>").arg(i));
        xml.replace(u'\'', QStringLiteral("''"));
        out << QStringLiteral("INSERT INTO tblJobApplications (strCompany, strPosition, strStatus, "
                              "dtmCreated, memDraftCoverLetter) VALUES ('%1', '%2', '%3', %4'%5', "
                              "'%6')")
                   .arg(QString(app.company).replace(u'\'', QStringLiteral("''")), app.position,
                        app.status, postgres ? QStringLiteral("TIMESTAMP ") : QString(), when, xml);
    }
    return out;
}

/// One value from the job applications, as text.
inline QString jobApps(const DirectConnection& db, const char* what, const char* where) {
    return db
        .scalar(QStringLiteral("SELECT %1 FROM tblJobApplications WHERE %2")
                    .arg(QLatin1String(what), QLatin1String(where)))
        .toString();
}

/// Signs `a` in with the read-write account, as a caller holding it would.
inline void signInWriter(wp::cADO& a) {
    a.setUserID(wp::cADOInternal::ReadWriteUser());
    wp::cADOInternal::setPassword(a, wp::cADOInternal::PassRW(a));
}

/// The stepper's query, to the letter.
inline const QString kStepperQuery = QStringLiteral(
    "SELECT TOP 20 memDraftCoverLetter FROM tblJobApplications ORDER BY dtmCreated DESC ;");

/// The `seq` values of the rows of a record set of cover letters, in order.
inline std::vector<int> sequence(const wp::RecordsetRef& rs) {
    std::vector<int> out;
    rs->MoveFirst();
    while (!rs->EOF_()) {
        const QString xml = rs->Text(QStringLiteral("memDraftCoverLetter"));
        const qsizetype a = xml.indexOf(QStringLiteral("<seq>"));
        const qsizetype b = xml.indexOf(QStringLiteral("</seq>"));
        out.push_back(a < 0 ? -1 : xml.mid(a + 5, b - a - 5).toInt());
        rs->MoveNext();
    }
    return out;
}

/// The stepper's query through `a`, read-only on a client cursor, over 25
/// job applications: the twenty newest, newest first, detached.
inline void expectTwentyNewestDetached(wp::cADO& a) {
    wp::RecordsetRef rs = a.GetRS(kStepperQuery, wp::ado::adOpenForwardOnly,
                                  wp::ado::adLockReadOnly, wp::ado::adUseClient);
    ASSERT_TRUE(rs);
    EXPECT_TRUE(wp::cADOInternal::CredentialsEmpty(a));
    EXPECT_EQ(rs->ActiveConnection(), QString());
    EXPECT_EQ(rs->CursorType(), wp::ado::adOpenForwardOnly);
    EXPECT_EQ(rs->LockType(), wp::ado::adLockReadOnly);
    EXPECT_EQ(rs->RecordCount(), 20);
    std::vector<int> expected;
    for (int i = 24; i >= 5; --i)
        expected.push_back(i);
    EXPECT_EQ(sequence(rs), expected);
}

/// A write through `a`'s read-only account fails as a permission, with the
/// driver `source` saying `why`, and changes nothing in `db`.
inline void expectReadOnlyRefusesWrites(wp::cADO& a, const DirectConnection& db,
                                        const QString& source, const QString& why) {
    const wp::Error e = errorOf([&] {
        a.GetRS(QStringLiteral("UPDATE tblJobApplications SET strStatus = 'Withdrawn'"), 0,
                wp::ado::adLockReadOnly, wp::ado::adUseClient);
    });
    EXPECT_EQ(e.number, wp::ado::DB_SEC_E_PERMISSIONDENIED);
    EXPECT_EQ(e.source, source);
    EXPECT_TRUE(e.description.contains(why)) << e.description.toStdString();
    EXPECT_TRUE(wp::cADOInternal::CredentialsEmpty(a));
    EXPECT_EQ(jobApps(db, "Count(*)", "strStatus = 'Withdrawn'"), "0");
}

/// TableExists and VersionDB through `a` follow what `db` does to the tables.
inline void expectInquiriesFollowTheTables(wp::cADO& a, const DirectConnection& db) {
    EXPECT_FALSE(wp::cADOInternal::TableExists(a, QStringLiteral("tblNoSuchTable")));
    EXPECT_TRUE(wp::cADOInternal::TableExists(a, QStringLiteral("tblJobApplications")));
    EXPECT_EQ(a.VersionDB(), QStringLiteral("1;0")); // as created
    ASSERT_EQ(db.exec({QStringLiteral("DELETE FROM tblVersion")}), QString());
    EXPECT_EQ(a.VersionDB(), QStringLiteral("1;0")); // empty table
    ASSERT_EQ(db.exec({QStringLiteral("INSERT INTO tblVersion (lngMajor, lngMinor) VALUES "
                                      "(1, 5), (2, 3), (2, 7)")}),
              QString());
    EXPECT_EQ(a.VersionDB(), QStringLiteral("2;7"));
    ASSERT_EQ(db.exec({QStringLiteral("DROP TABLE tblVersion")}), QString());
    EXPECT_EQ(a.VersionDB(), QStringLiteral("1;0")); // no table
    EXPECT_TRUE(wp::cADOInternal::CredentialsEmpty(a));
}

/// SaveRecord over `rows` job applications, each record set taken with the
/// caller's read-write account: a save commits; one that breaks a constraint
/// writes nothing, stays pending and goes through once cancelled and redone;
/// a row added comes back with its key, so it can be changed afterwards.
inline void expectSaveRecordCommitsOrRollsBack(wp::cADO& a, const DirectConnection& db, int rows) {
    using wp::cADOInternal;
    signInWriter(a);
    wp::RecordsetRef rs = a.GetRecord(
        QStringLiteral("SELECT * FROM tblJobApplications WHERE lngJobApplicationID = 2"));
    EXPECT_FALSE(cADOInternal::CredentialsEmpty(a)); // the caller's own, left in place
    EXPECT_EQ(rs->LockType(), wp::ado::adLockOptimistic);
    EXPECT_EQ(rs->CursorType(), wp::ado::adOpenKeyset);
    EXPECT_EQ(rs->ActiveConnection(), QString());
    rs->setValue(QStringLiteral("strStatus"), QStringLiteral("Interview"));
    EXPECT_TRUE(a.SaveRecord(rs));
    EXPECT_EQ(rs->PendingCount(), 0);
    EXPECT_EQ(jobApps(db, "strStatus", "lngJobApplicationID = 2"), "Interview");
    EXPECT_TRUE(cADOInternal::CredentialsEmpty(a)); // SaveRecord used its own account

    // Two changes, the second breaking NOT NULL: neither stays.
    signInWriter(a);
    wp::RecordsetRef all = a.GetRecord(
        QStringLiteral("SELECT * FROM tblJobApplications ORDER BY lngJobApplicationID"));
    all->MoveFirst();
    all->setValue(QStringLiteral("strStatus"), QStringLiteral("Withdrawn"));
    all->MoveNext();
    all->setValue(QStringLiteral("strCompany"), QVariant());
    EXPECT_FALSE(a.SaveRecord(all));
    EXPECT_EQ(all->PendingCount(), 2); // still pending, for another try
    EXPECT_EQ(jobApps(db, "Count(*)", "strStatus = 'Withdrawn' OR strCompany IS NULL"), "0");
    EXPECT_TRUE(cADOInternal::CredentialsEmpty(a));
    all->CancelBatch();
    all->MoveFirst();
    all->setValue(QStringLiteral("strStatus"), QStringLiteral("Withdrawn"));
    EXPECT_TRUE(a.SaveRecord(all));
    EXPECT_EQ(jobApps(db, "Count(*)", "strStatus = 'Withdrawn'"), "1");

    signInWriter(a);
    wp::RecordsetRef added =
        a.GetRecord(QStringLiteral("SELECT * FROM tblJobApplications WHERE 1 = 0"));
    added->AddNew();
    added->setValue(QStringLiteral("strCompany"), QStringLiteral("Coho Winery"));
    added->setValue(QStringLiteral("strPosition"), QStringLiteral("Cellar Master"));
    added->setValue(QStringLiteral("dtmCreated"), QDateTime(QDate(2024, 6, 2), QTime(9, 0)));
    ASSERT_TRUE(a.SaveRecord(added));
    EXPECT_EQ(added->Value(QStringLiteral("lngJobApplicationID")).toInt(), rows + 1);
    added->setValue(QStringLiteral("strStatus"), QStringLiteral("Declined"));
    EXPECT_TRUE(a.SaveRecord(added));
    EXPECT_EQ(jobApps(db, "strStatus",
                      qPrintable(QStringLiteral("lngJobApplicationID = %1").arg(rows + 1))),
              "Declined");
}

} // namespace wptest
