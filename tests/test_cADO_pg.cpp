// cADO against a real PostgreSQL server through its ODBC driver (connect
// type 2), as an office installation would use it. The server is the
// throwaway cluster of tools/test-services; without it these tests skip,
// except in CI (CI=true), where they fail.
#include "data/Schema.h"
#include "support/TestSupport.h"
#include "test_cADO_support.h"

#include <QProcess>
#include <QTimer>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using wp::cADO;
using wp::cADOInternal;
using wp::RecordsetRef;
namespace ado = wp::ado;
using namespace wptest;

namespace {

QString env(const char* name) {
    return qEnvironmentVariable(name);
}

class PostgreSQL : public ::testing::Test {
protected:
    void SetUp() override {
        WP_REQUIRE_SERVICE(!env("WP_PG_DSN").isEmpty(),
                           "no PostgreSQL test server: WP_PG_DSN is not set (./run test starts "
                           "one through tools/test-services; see its output for why it did not)");
        // Test processes share the one database: one at a time.
        m_lock = ::open(qPrintable(env("WP_PG_LOCKFILE")), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        ASSERT_GE(m_lock, 0) << "cannot open WP_PG_LOCKFILE";
        ASSERT_EQ(::flock(m_lock, LOCK_EX), 0);
        m_admin = connect();
        QStringList setup{QStringLiteral("DROP FUNCTION IF EXISTS fnJobsByStatus(text)"),
                          QStringLiteral("DROP FUNCTION IF EXISTS fnFault() CASCADE"),
                          QStringLiteral("DROP SEQUENCE IF EXISTS seqFault"),
                          QStringLiteral("DROP TABLE IF EXISTS tblJobApplications"),
                          QStringLiteral("DROP TABLE IF EXISTS tblVersion")};
        setup << wp::data::schemaStatements(wp::data::Dialect::PostgreSQL);
        ASSERT_EQ(m_admin->exec(setup), QString());
        ado.SetConnectType(2);
        ado.setDbname(env("WP_PG_DSN"));
    }
    void TearDown() override {
        m_admin.reset();
        if (m_lock >= 0)
            ::close(m_lock); // releases the lock
    }
    DirectConnection& admin() { return *m_admin; }
    /// A new connection of the read-write account (the old ones die with a
    /// server restart).
    std::unique_ptr<DirectConnection> connect() const {
        return std::make_unique<DirectConnection>(env("WP_PG_DSN"), env("WP_PG_RW_USER"),
                                                  env("WP_PG_RW_PASSWORD"));
    }
    /// Runs the cluster's stop-server or start-server script.
    static void server(const char* script) {
        ASSERT_EQ(QProcess::execute(env(script), {}), 0) << script;
    }

    cADO ado;

private:
    int m_lock = -1;
    std::unique_ptr<DirectConnection> m_admin;
};

} // namespace

TEST_F(PostgreSQL, stepperQueryGivesTheTwentyNewestWithTheReadOnlyAccount) {
    ASSERT_EQ(admin().exec(jobAppInserts(25, true)), QString());
    expectTwentyNewestDetached(ado);

    RecordsetRef connected = ado.GetRS(QStringLiteral("SELECT current_user AS who"), 0,
                                       ado::adLockReadOnly, ado::adUseServer);
    EXPECT_TRUE(connected->ActiveConnection().contains(QStringLiteral("User ID=") +
                                                       cADOInternal::ReadOnlyUser()));
    EXPECT_EQ(connected->Text(QStringLiteral("WHO")), cADOInternal::ReadOnlyUser());
}

TEST_F(PostgreSQL, runSqlAndSavesWriteThroughTheReadWriteRole) {
    ASSERT_EQ(admin().exec(jobAppInserts(5, true)), QString());
    EXPECT_EQ(ado.RunSQL(QStringLiteral("UPDATE tblJobApplications SET strStatus = 'Sent' WHERE "
                                        "lngJobApplicationID <= 3")),
              3);

    expectSaveRecordCommitsOrRollsBack(ado, admin(), 5);

    RecordsetRef batch = ado.GetBatchRecord(
        QStringLiteral("SELECT strCompany, strPosition, dtmCreated, memDraftCoverLetter FROM "
                       "tblJobApplications WHERE 1 = 0"));
    batch->AddNew();
    batch->setValue(QStringLiteral("strCompany"), QStringLiteral("Trey Research"));
    batch->setValue(QStringLiteral("strPosition"), QStringLiteral("Lab Manager"));
    batch->setValue(QStringLiteral("dtmCreated"), QDateTime(QDate(2024, 6, 1), QTime(10, 0)));
    batch->setValue(QStringLiteral("memDraftCoverLetter"), QString()); // empty, not NULL
    EXPECT_TRUE(ado.SaveBatchRecord(batch));
    EXPECT_EQ(
        jobApps(admin(), "Count(*)", "strCompany = 'Trey Research' AND memDraftCoverLetter = ''"),
        "1");
}

TEST_F(PostgreSQL, versionAndTableInquiries) {
    expectInquiriesFollowTheTables(ado, admin());
    const QString v = ado.MDACVersion();
    EXPECT_TRUE(v.contains(QStringLiteral("<Provider_Name>QODBC</Provider_Name>")))
        << v.toStdString();
    EXPECT_TRUE(v.contains(QStringLiteral("<DBMS_Version>03.")));
}

TEST_F(PostgreSQL, wrongPasswordIsALoginFailure) {
    ReportRecorder recorder;
    ado.setUserID(cADOInternal::ReadWriteUser());
    cADOInternal::setPassword(ado, QStringLiteral("wrong"));
    EXPECT_EQ(errorOf([&] { ado.GetRecord(QStringLiteral("SELECT 1 AS one")); }).number,
              wp::err::ApplicationDefined);
    ASSERT_EQ(recorder.reports.size(), 1u);
    EXPECT_EQ(recorder.reports[0].number, ado::DB_SEC_E_AUTH_FAILED);
    EXPECT_TRUE(recorder.reports[0].description.contains(QStringLiteral("authentication failed")));
}

TEST_F(PostgreSQL, storedProcedureRowsThroughTheReadOnlyAccount) {
    ASSERT_EQ(admin().exec(jobAppInserts(6, true)), QString());
    ASSERT_EQ(admin().exec({QStringLiteral(
                  "CREATE FUNCTION fnJobsByStatus(p text) RETURNS TABLE(company varchar, "
                  "status varchar) LANGUAGE sql AS $$ SELECT strCompany, strStatus FROM "
                  "tblJobApplications WHERE strStatus = p ORDER BY lngJobApplicationID $$")}),
              QString());
    // A lock held for a moment is waited for, not failed at (spRst has no retries).
    HeldLock lock([this] { return connect(); },
                  {QStringLiteral("BEGIN"),
                   QStringLiteral("LOCK TABLE tblJobApplications IN ACCESS EXCLUSIVE MODE")},
                  {QStringLiteral("ROLLBACK")}, 300);
    ASSERT_EQ(lock.taken(), QString());
    RecordsetRef rs =
        cADOInternal::spRst(ado, QStringLiteral("fnJobsByStatus"), QStringLiteral("Sent"));
    EXPECT_TRUE(cADOInternal::CredentialsEmpty(ado));
    EXPECT_EQ(rs->RecordCount(), 2); // the second and the sixth sample
    EXPECT_EQ(rs->Text(QStringLiteral("status")), QStringLiteral("Sent"));
}

TEST_F(PostgreSQL, readOnlyRoleHasSelectAndNothingElse) {
    ASSERT_EQ(admin().exec(jobAppInserts(3, true)), QString());
    expectReadOnlyRefusesWrites(ado, admin(), QStringLiteral("QODBC"),
                                QStringLiteral("permission denied"));
    DirectConnection reader(env("WP_PG_DSN"), env("WP_PG_RO_USER"), env("WP_PG_RO_PASSWORD"));
    EXPECT_EQ(reader.exec({QStringLiteral("SELECT Count(*) FROM tblJobApplications")}), QString());
    for (const char* sql :
         {"CREATE TEMP TABLE tmpX (a int)", "CREATE TABLE tblX (a int)",
          "INSERT INTO tblVersion (lngMajor, lngMinor) VALUES (9, 9)", "DELETE FROM tblVersion"})
        EXPECT_NE(reader.exec({QString::fromLatin1(sql)}), QString()) << sql;
    EXPECT_EQ(admin().scalar(QStringLiteral("SELECT Count(*) FROM tblVersion")).toInt(), 1);
}

TEST_F(PostgreSQL, commandTimeoutEndsAStatementWithoutRetrying) {
    cADOInternal::setCommandTimeout(ado, 1);
    WaitCounter counter;
    counter.install(ado);
    const wp::Error e = errorOf([&] {
        ado.GetRS(QStringLiteral("SELECT pg_sleep(4) AS s"), 0, ado::adLockReadOnly,
                  ado::adUseClient);
    });
    EXPECT_EQ(e.number, ado::DB_E_ABORTLIMITREACHED) << e.description.toStdString();
    EXPECT_TRUE(counter.waits.empty());
}

TEST_F(PostgreSQL, tableLockReleasedOrServerRestartedDuringTheWaitsLetsTheCallSucceed) {
    ASSERT_EQ(admin().exec(jobAppInserts(25, true)), QString());
    const auto lockTable = [this] {
        auto locker = connect();
        EXPECT_TRUE(locker->db().transaction());
        EXPECT_EQ(locker->exec(
                      {QStringLiteral("LOCK TABLE tblJobApplications IN ACCESS EXCLUSIVE MODE")}),
                  QString());
        return locker;
    };
    auto locker = lockTable();
    bool released = false;
    QTimer::singleShot(1000, [&] {
        locker->db().rollback();
        released = true;
    });
    RecordsetRef rs = ado.GetRS(kStepperQuery, 0, ado::adLockReadOnly, ado::adUseClient);
    EXPECT_TRUE(released);
    EXPECT_EQ(rs->RecordCount(), 20);

    locker = lockTable();
    // The query meets the lock; during the waits the server goes down and
    // comes back, so the session it had is gone.
    WaitCounter counter;
    counter.onWait = [&](int n) {
        if (n == 1)
            server("WP_PG_STOP");
        if (n == 3)
            server("WP_PG_START");
    };
    counter.install(ado);
    rs = ado.GetRS(kStepperQuery, 0, ado::adLockReadOnly, ado::adUseClient);
    EXPECT_EQ(rs->RecordCount(), 20);
    EXPECT_GE(counter.waits.size(), 3u);
    counter.onWait = nullptr;
    counter.waits.clear();
    EXPECT_EQ(ado.RunSQL(QStringLiteral("UPDATE tblJobApplications SET strStatus = 'Sent'")), 25);
    EXPECT_TRUE(counter.waits.empty());
}

TEST_F(PostgreSQL, saveInterruptedByALostConnectionLeavesNothingHalfWritten) {
    ASSERT_EQ(admin().exec(jobAppInserts(3, true)), QString());
    // The first update to 'Boom' ends its own session, as a server crash would.
    ASSERT_EQ(admin().exec({QStringLiteral("CREATE SEQUENCE seqFault"),
                            QStringLiteral(
                                "CREATE FUNCTION fnFault() RETURNS trigger LANGUAGE plpgsql AS $$ "
                                "BEGIN IF NEW.strStatus = 'Boom' AND nextval('seqFault') = 1 THEN "
                                "PERFORM pg_terminate_backend(pg_backend_pid()); END IF; RETURN "
                                "NEW; END $$"),
                            QStringLiteral("CREATE TRIGGER trgFault BEFORE UPDATE ON "
                                           "tblJobApplications FOR EACH ROW EXECUTE FUNCTION "
                                           "fnFault()")}),
              QString());
    RecordsetRef rs = ado.GetBatchRecord(
        QStringLiteral("SELECT lngJobApplicationID, strStatus FROM tblJobApplications ORDER BY 1"));
    rs->MoveFirst();
    rs->setValue(QStringLiteral("strStatus"), QStringLiteral("Declined"));
    rs->MoveNext();
    rs->setValue(QStringLiteral("strStatus"), QStringLiteral("Boom"));
    int writtenAtLoss = -1;
    WaitCounter counter;
    counter.onWait = [&](int n) {
        if (n == 1)
            writtenAtLoss = connect()
                                ->scalar(QStringLiteral("SELECT Count(*) FROM tblJobApplications "
                                                        "WHERE strStatus IN ('Declined', 'Boom')"))
                                .toInt();
    };
    counter.install(ado);
    EXPECT_TRUE(ado.SaveBatchRecord(rs));
    EXPECT_EQ(counter.waits.size(), 1u);
    EXPECT_EQ(writtenAtLoss, 0);
    EXPECT_EQ(jobApps(admin(), "Count(*)", "strStatus IN ('Declined', 'Boom')"), "2");
}
