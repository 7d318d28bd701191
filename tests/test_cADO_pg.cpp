// cADO against a real PostgreSQL server through its ODBC driver (connect
// type 2), as an office installation would use it. The server is the
// throwaway cluster of tools/test-services; without it these tests skip.
#include "data/Schema.h"
#include "support/TestSupport.h"
#include "test_cADO_support.h"

#include <QFile>
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

template <class F> wp::Error errorOf(F&& f) {
    try {
        f();
    } catch (const wp::Error& e) {
        return e;
    }
    return wp::Error(0, QString(), QStringLiteral("no error"));
}

QString env(const char* name) {
    return qEnvironmentVariable(name);
}

class PostgreSQL : public ::testing::Test {
protected:
    void SetUp() override {
        if (env("WP_PG_DSN").isEmpty())
            GTEST_SKIP() << "no PostgreSQL test server: WP_PG_DSN is not set (./run test starts "
                            "one through tools/test-services; see its output for why it did not)";
        // Test processes share the one database: one at a time.
        m_lock = ::open(qPrintable(env("WP_PG_LOCKFILE")), O_RDWR | O_CREAT, 0666);
        ASSERT_GE(m_lock, 0) << "cannot open WP_PG_LOCKFILE";
        ASSERT_EQ(::flock(m_lock, LOCK_EX), 0);
        m_admin = std::make_unique<DirectConnection>(env("WP_PG_DSN"), env("WP_PG_RW_USER"),
                                                     env("WP_PG_RW_PASSWORD"));
        ASSERT_TRUE(m_admin->isOpen())
            << "cannot reach data source " << qPrintable(env("WP_PG_DSN"));
        QStringList setup{QStringLiteral("DROP FUNCTION IF EXISTS fnJobsByStatus(text)"),
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
    void useReadWriteAccount() {
        ado.setUserID(cADOInternal::ReadWriteUser());
        cADOInternal::setPassword(ado, cADOInternal::PassRW(ado));
    }
    DirectConnection& admin() { return *m_admin; }

    cADO ado;

private:
    int m_lock = -1;
    std::unique_ptr<DirectConnection> m_admin;
};

} // namespace

TEST_F(PostgreSQL, accountsMatchTheServerRoles) {
    // The roles the test server was given are the deployment's accounts.
    EXPECT_EQ(env("WP_PG_RO_USER"), cADOInternal::ReadOnlyUser());
    EXPECT_EQ(env("WP_PG_RO_PASSWORD"), cADOInternal::PassRO(ado));
    EXPECT_EQ(env("WP_PG_RW_USER"), cADOInternal::ReadWriteUser());
    EXPECT_EQ(env("WP_PG_RW_PASSWORD"), cADOInternal::PassRW(ado));
}

TEST_F(PostgreSQL, stepperQueryGivesTheTwentyNewestWithTheReadOnlyAccount) {
    ASSERT_EQ(admin().exec(jobAppInserts(25, true)), QString());
    RecordsetRef rs =
        ado.GetRS(kStepperQuery, ado::adOpenForwardOnly, ado::adLockReadOnly, ado::adUseClient);
    EXPECT_TRUE(cADOInternal::CredentialsEmpty(ado));
    EXPECT_EQ(rs->ActiveConnection(), QString());
    std::vector<int> expected;
    for (int i = 24; i >= 5; --i)
        expected.push_back(i);
    EXPECT_EQ(sequence(rs), expected);

    RecordsetRef connected = ado.GetRS(QStringLiteral("SELECT current_user AS who"), 0,
                                       ado::adLockReadOnly, ado::adUseServer);
    EXPECT_TRUE(connected->ActiveConnection().contains(QStringLiteral("User ID=") +
                                                       cADOInternal::ReadOnlyUser()));
    EXPECT_EQ(connected->Text(QStringLiteral("WHO")), cADOInternal::ReadOnlyUser());
}

TEST_F(PostgreSQL, readOnlyRoleCannotWrite) {
    ASSERT_EQ(admin().exec(jobAppInserts(3, true)), QString());
    const wp::Error e = errorOf([&] {
        ado.GetRS(QStringLiteral("UPDATE tblJobApplications SET strStatus = 'Offer'"), 0,
                  ado::adLockReadOnly, ado::adUseClient);
    });
    EXPECT_EQ(e.number, ado::DB_SEC_E_PERMISSIONDENIED);
    EXPECT_EQ(e.source, QStringLiteral("QODBC"));
    EXPECT_TRUE(e.description.contains(QStringLiteral("permission denied")))
        << e.description.toStdString();
    EXPECT_TRUE(cADOInternal::CredentialsEmpty(ado));
    EXPECT_EQ(admin()
                  .scalar(QStringLiteral(
                      "SELECT Count(*) FROM tblJobApplications WHERE strStatus = 'Offer'"))
                  .toInt(),
              0);
}

TEST_F(PostgreSQL, runSqlAndSavesWriteThroughTheReadWriteRole) {
    ASSERT_EQ(admin().exec(jobAppInserts(5, true)), QString());
    EXPECT_EQ(ado.RunSQL(QStringLiteral("UPDATE tblJobApplications SET strStatus = 'Sent' WHERE "
                                        "lngJobApplicationID <= 3")),
              3);
    EXPECT_TRUE(cADOInternal::CredentialsEmpty(ado));

    useReadWriteAccount();
    RecordsetRef rs = ado.GetRecord(
        QStringLiteral("SELECT * FROM tblJobApplications WHERE lngJobApplicationID = 4"));
    rs->setValue(QStringLiteral("strCompany"), QVariant()); // NOT NULL
    EXPECT_FALSE(ado.SaveRecord(rs));
    EXPECT_EQ(admin()
                  .scalar(QStringLiteral(
                      "SELECT Count(*) FROM tblJobApplications WHERE strCompany IS NULL"))
                  .toInt(),
              0);
    rs->CancelBatch();
    rs->setValue(QStringLiteral("strStatus"), QStringLiteral("Interview"));
    EXPECT_TRUE(ado.SaveRecord(rs));

    RecordsetRef batch = ado.GetBatchRecord(
        QStringLiteral("SELECT strCompany, strPosition, dtmCreated, memDraftCoverLetter FROM "
                       "tblJobApplications WHERE 1 = 0"));
    batch->AddNew();
    batch->setValue(QStringLiteral("strCompany"), QStringLiteral("Trey Research"));
    batch->setValue(QStringLiteral("strPosition"), QStringLiteral("Lab Manager"));
    batch->setValue(QStringLiteral("dtmCreated"), QDateTime(QDate(2024, 6, 1), QTime(10, 0)));
    batch->setValue(QStringLiteral("memDraftCoverLetter"), QString()); // empty, not NULL
    EXPECT_TRUE(ado.SaveBatchRecord(batch));
    EXPECT_EQ(admin()
                  .scalar(QStringLiteral("SELECT strStatus FROM tblJobApplications WHERE "
                                         "lngJobApplicationID = 4"))
                  .toString(),
              QStringLiteral("Interview"));
    EXPECT_EQ(admin()
                  .scalar(QStringLiteral("SELECT Count(*) FROM tblJobApplications WHERE "
                                         "strCompany = 'Trey Research' AND "
                                         "memDraftCoverLetter = ''"))
                  .toInt(),
              1);
}

TEST_F(PostgreSQL, versionAndTableInquiries) {
    EXPECT_FALSE(cADOInternal::TableExists(ado, QStringLiteral("tblNoSuchTable")));
    EXPECT_EQ(ado.VersionDB(), QStringLiteral("1;0"));
    ASSERT_EQ(admin().exec({QStringLiteral("DELETE FROM tblVersion"),
                            QStringLiteral("INSERT INTO tblVersion (lngMajor, lngMinor) VALUES "
                                           "(1, 5), (2, 3), (2, 7)")}),
              QString());
    EXPECT_EQ(ado.VersionDB(), QStringLiteral("2;7"));
    EXPECT_TRUE(cADOInternal::CredentialsEmpty(ado));
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

TEST_F(PostgreSQL, tableLockReleasedDuringTheWaitsLetsTheCallSucceed) {
    ASSERT_EQ(admin().exec(jobAppInserts(25, true)), QString());
    DirectConnection locker(env("WP_PG_DSN"), env("WP_PG_RW_USER"), env("WP_PG_RW_PASSWORD"));
    ASSERT_TRUE(locker.db().transaction());
    ASSERT_EQ(
        locker.exec({QStringLiteral("LOCK TABLE tblJobApplications IN ACCESS EXCLUSIVE MODE")}),
        QString());
    bool released = false;
    QTimer::singleShot(1000, [&] {
        locker.db().rollback();
        released = true;
    });
    RecordsetRef rs = ado.GetRS(kStepperQuery, 0, ado::adLockReadOnly, ado::adUseClient);
    EXPECT_TRUE(released);
    EXPECT_EQ(rs->RecordCount(), 20);
}

TEST_F(PostgreSQL, storedProcedureRowsThroughTheReadOnlyAccount) {
    ASSERT_EQ(admin().exec(jobAppInserts(6, true)), QString());
    ASSERT_EQ(admin().exec({QStringLiteral(
                  "CREATE FUNCTION fnJobsByStatus(p text) RETURNS TABLE(company varchar, "
                  "status varchar) LANGUAGE sql AS $$ SELECT strCompany, strStatus FROM "
                  "tblJobApplications WHERE strStatus = p ORDER BY lngJobApplicationID $$")}),
              QString());
    RecordsetRef rs =
        cADOInternal::spRst(ado, QStringLiteral("fnJobsByStatus"), QStringLiteral("Sent"));
    EXPECT_TRUE(cADOInternal::CredentialsEmpty(ado));
    const int expected = admin()
                             .scalar(QStringLiteral("SELECT Count(*) FROM tblJobApplications "
                                                    "WHERE strStatus = 'Sent'"))
                             .toInt();
    ASSERT_GT(expected, 0);
    EXPECT_EQ(rs->RecordCount(), expected);
    EXPECT_EQ(rs->Text(QStringLiteral("status")), QStringLiteral("Sent"));
}
