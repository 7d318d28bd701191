// cADO on the embedded database: connection strings, accounts, inquiries,
// queries, saves and the retry policy against real SQLite files.
#include "data/AdoError.h"
#include "data/SqlText.h"
#include "data/Workgroup.h"
#include "support/TestSupport.h"
#include "support/ZipSupport.h"
#include "test_cADO_support.h"
#include "wp/hooks.h"

#include <QFile>

using wp::cADO;
using wp::cADOInternal;
using wp::RecordsetRef;
namespace ado = wp::ado;
using namespace wptest;

namespace {

// A new database file, a connection of the test's own to it, and cADO on it.
class cADOFile : public ::testing::Test {
protected:
    void SetUp() override { a.setDbname(dir.mdb()); }
    DataDir dir;
    DirectConnection db{dir.mdb()};
    cADO a;
};
using cADOInquiries = cADOFile;
using cADOQueries = cADOFile;
using cADOSaving = cADOFile;
using cADORetry = cADOFile;
using cADOFailures = cADOFile;

} // namespace

TEST(cADOConnection, buildsTheThreeConnectionStringsToTheLetter) {
    cADO a;
    a.setDbname(QStringLiteral("C:\\Data\\mv.mdb"));
    const QString jet = QStringLiteral(
        "Provider=Microsoft.Jet.OLEDB.4.0;Data source=C:\\Data\\mv.mdb;User ID = '%1';Password = "
        "'%2';Mode=ReadWrite|Share Deny None;Jet OLEDB:System database=C:\\Data\\mv.mdw;");
    // Reports read through the read-only account and leave no credentials.
    EXPECT_EQ(a.ReportConnection(), jet.arg(cADOInternal::ReadOnlyUser(), cADOInternal::PassRO(a)));
    EXPECT_TRUE(cADOInternal::CredentialsEmpty(a));
    // The account sizes the deployment is built around.
    EXPECT_EQ(cADOInternal::ReadOnlyUser().size(), 13);
    EXPECT_EQ(cADOInternal::PassRO(a).size(), 9);
    EXPECT_EQ(cADOInternal::ReadWriteUser().size(), 10);
    EXPECT_EQ(cADOInternal::PassRW(a).size(), 14);

    a.setServerName(QStringLiteral("sql01,1433"));
    a.setUserID(QStringLiteral("user"));
    cADOInternal::setPassword(a, QStringLiteral("secret"));
    EXPECT_EQ(cADOInternal::RebuildConnection(a),
              jet.arg(QStringLiteral("user"), QStringLiteral("secret")));
    a.SetConnectType(1);
    EXPECT_EQ(cADOInternal::RebuildConnection(a),
              QStringLiteral("Provider=sqloledb;Data Server=sql01,1433;User Id=user;"
                             "Password=secret;database=C:\\Data\\mv.mdb"));
    a.SetConnectType(2);
    EXPECT_EQ(cADOInternal::RebuildConnection(a),
              QStringLiteral("Provider=MSDASQL.1;Password=secret;Persist Security Info=True;"
                             "User ID=user;Data Source=C:\\Data\\mv.mdb"));
    a.SetConnectType(5);
    EXPECT_EQ(cADOInternal::RebuildConnection(a), QString());
    EXPECT_EQ(a.ReportConnection(), QString());

    // A type outside 16 bits is an overflow; the lowest 16-bit one is unknown.
    ReportRecorder recorder;
    const wp::Error e = errorOf([&] { a.SetConnectType(40000); });
    EXPECT_EQ(e.number, wp::err::ApplicationDefined);
    ASSERT_EQ(recorder.reports.size(), 1u);
    EXPECT_EQ(recorder.said(0), "6 cADO.SetConnectType");
    EXPECT_TRUE(recorder.reports[0].variables.contains(
        QStringLiteral("<ModuleVariables>\r\n{Disabled}</ModuleVariables>")));
    EXPECT_TRUE(recorder.reports[0].variables.contains(QStringLiteral("<vData>40000</vData>")));
    a.SetConnectType(-32768);
    EXPECT_EQ(cADOInternal::RebuildConnection(a), QString());

    // The workgroup file lies beside the database: the last separator of
    // either kind ends the folder.
    for (const auto& [db, wif] : {std::pair{"mv.mdb", "mv.mdw"},
                                  {"/home/ann/m/mv.mdb", "/home/ann/m/mv.mdw"},
                                  {"D:\\x/y\\z.mdb", "D:\\x/y\\mv.mdw"}}) {
        a.setDbname(QString::fromLatin1(db));
        EXPECT_EQ(a.WIF(), QString::fromLatin1(wif));
    }
}

TEST(SqlText, translatesTopOnlyWhereTheDatabaseLacksIt) {
    using wp::data::Dialect;
    using wp::data::translateTop;
    EXPECT_EQ(translateTop(kStepperQuery, Dialect::SQLite),
              QStringLiteral("SELECT memDraftCoverLetter FROM tblJobApplications ORDER BY "
                             "dtmCreated DESC LIMIT 20 ;"));
    EXPECT_EQ(translateTop(kStepperQuery, Dialect::PostgreSQL),
              translateTop(kStepperQuery, Dialect::SQLite));
    EXPECT_EQ(translateTop(kStepperQuery, Dialect::SqlServer), kStepperQuery);
    // Only a leading TOP is ADO's row limit. The limit goes before trailing
    // comments, never into them; comments and literals that look like the end
    // do not count, and a doubled quote stays inside its literal.
    const std::pair<const char*, const char*> cases[] = {
        {"select distinct top 5 a from t", "select distinct a from t LIMIT 5"},
        {"SELECT TOP 3 a FROM t;", "SELECT a FROM t LIMIT 3;"},
        {"SELECT a FROM t WHERE b = 'TOP 5'", "SELECT a FROM t WHERE b = 'TOP 5'"},
        {"SELECT topic FROM t", "SELECT topic FROM t"},
        {"SELECT TOP (7) a FROM t", "SELECT a FROM t LIMIT 7"},
        {"SELECT TOP 2 a FROM t ORDER BY a -- newest first",
         "SELECT a FROM t ORDER BY a LIMIT 2 -- newest first"},
        {"-- lead\nSELECT TOP 2 a FROM t WHERE b = '--;' /* x; */;",
         "-- lead\nSELECT a FROM t WHERE b = '--;' LIMIT 2 /* x; */;"},
        {"SELECT TOP 1 a FROM t WHERE b = 'it''s; --'",
         "SELECT a FROM t WHERE b = 'it''s; --' LIMIT 1"},
    };
    for (const auto& [sql, limited] : cases)
        for (Dialect d : {Dialect::SQLite, Dialect::PostgreSQL})
            EXPECT_EQ(translateTop(QString::fromLatin1(sql), d), QString::fromLatin1(limited));
    auto refused = [](const QString& sql) {
        const wp::Error e = errorOf([&] { translateTop(sql, Dialect::SQLite); });
        return e.number == ado::DB_E_ERRORSINCOMMAND && e.description.contains(sql);
    };
    EXPECT_TRUE(refused(QStringLiteral("SELECT TOP 10 PERCENT a FROM t")));
    EXPECT_TRUE(refused(QStringLiteral("SELECT TOP 3 WITH TIES a FROM t ORDER BY a")));
    EXPECT_TRUE(refused(QStringLiteral("SELECT TOP @n a FROM t")));
    EXPECT_TRUE(refused(QStringLiteral("SELECT TOP 1 a FROM t; DELETE FROM t")));
    EXPECT_FALSE(refused(QStringLiteral("SELECT TOP 10 a FROM t")));
}

TEST(SqlText, sqliteFailuresAreClassifiedByTheirPrimaryCode) {
    // Qt's driver reports extended result codes: the low byte decides.
    const std::pair<int, qint32> cases[] = {
        {517, ado::E_FAIL},                     // BUSY_SNAPSHOT
        {262, ado::E_FAIL},                     // LOCKED_SHAREDCACHE
        {266, ado::E_FAIL},                     // IOERR_READ
        {1299, ado::DB_E_INTEGRITYVIOLATION},   // CONSTRAINT_NOTNULL
        {2067, ado::DB_E_INTEGRITYVIOLATION},   // CONSTRAINT_UNIQUE
        {1032, ado::DB_SEC_E_PERMISSIONDENIED}, // READONLY_DBMOVED
        {526, ado::STG_E_FILENOTFOUND},         // CANTOPEN_ISDIR
    };
    for (const auto& [code, number] : cases)
        EXPECT_EQ(wp::data::sqliteError(QSqlError(QString(), QStringLiteral("x"),
                                                  QSqlError::StatementError, QString::number(code)),
                                        QStringLiteral("/d/mv.mdb"))
                      .number,
                  number)
            << code;
}

TEST(SqlText, readsConnectionStringsAndBaseTablesAndDropsOnlyThePassword) {
    const auto cs = wp::data::parseConnectionString(QStringLiteral(
        "Provider=Microsoft.Jet.OLEDB.4.0;Data source=/d/mv.mdb;User ID = 'u';Password = '';"
        "Mode=ReadWrite|Share Deny None;Jet OLEDB:System database=/d/mv.mdw;"));
    EXPECT_EQ(cs.value(QStringLiteral("data source")), QStringLiteral("/d/mv.mdb"));
    EXPECT_EQ(cs.value(QStringLiteral("user id")), QStringLiteral("u"));
    EXPECT_TRUE(cs.contains(QStringLiteral("password")));
    EXPECT_EQ(cs.value(QStringLiteral("password")), QString());
    EXPECT_EQ(cs.value(QStringLiteral("jet oledb:system database")), QStringLiteral("/d/mv.mdw"));

    using wp::data::withoutPassword;
    EXPECT_EQ(withoutPassword(QStringLiteral("Provider=MSDASQL.1;Password=pw;User ID=u")),
              QStringLiteral("Provider=MSDASQL.1;Password=;User ID=u"));

    using wp::data::baseTable;
    EXPECT_EQ(baseTable(QStringLiteral("SELECT * FROM tblJobApplications WHERE x = 1")),
              QStringLiteral("tblJobApplications"));
    EXPECT_EQ(baseTable(QStringLiteral("select a,\nb from [tbl Version];")),
              QStringLiteral("tbl Version"));
    EXPECT_EQ(baseTable(QStringLiteral("SELECT a FROM t1, t2")), QString());
    EXPECT_EQ(baseTable(QStringLiteral("SELECT a FROM t1 JOIN t2 ON t1.k = t2.k")), QString());
    EXPECT_EQ(baseTable(QStringLiteral("UPDATE t SET a = 1")), QString());
}

TEST_F(cADOInquiries, tableExistsAndVersionFollowTheTables) {
    expectInquiriesFollowTheTables(a, db);
}

TEST(cADOConnection, mdacVersionNamesTheDataAccessParts) {
    MessageRecorder messages;
    cADO a;
    EXPECT_EQ(a.MDACVersion(), QString());
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, QStringLiteral("No database has been specified."));
    EXPECT_EQ(messages.messages[0].style, wp::mb::Critical);
    EXPECT_EQ(messages.messages[0].title, QStringLiteral("cADO.MDAC Version"));

    a.setDbname(QStringLiteral("/nowhere/mv.mdb")); // the database is not opened
    const QString v = a.MDACVersion();
    EXPECT_TRUE(v.startsWith(QStringLiteral("<ado><ADO_Version>") +
                             QString::fromLatin1(qVersion()) +
                             QStringLiteral("</ADO_Version><DBMS_Name>SQLite</DBMS_Name>")))
        << v.toStdString();
    EXPECT_TRUE(v.contains(QStringLiteral("<Provider_Name>QSQLITE</Provider_Name>")));
    EXPECT_TRUE(v.endsWith(QStringLiteral("</ado>")));
    EXPECT_EQ(messages.messages.size(), 1u);
}

TEST_F(cADOQueries, stepperQueryGivesTheTwentyNewestDetached) {
    ASSERT_EQ(db.exec(jobAppInserts(25)), QString());
    expectTwentyNewestDetached(a);

    // A server-side cursor keeps its connection, with the account of its lock type.
    RecordsetRef kept =
        a.GetRS(kStepperQuery, ado::adOpenKeyset, ado::adLockOptimistic, ado::adUseServer);
    EXPECT_TRUE(kept->ActiveConnection().contains(QStringLiteral("User ID = '") +
                                                  cADOInternal::ReadWriteUser() +
                                                  QStringLiteral("';Password = '';")))
        << kept->ActiveConnection().toStdString();
    EXPECT_FALSE(kept->ActiveConnection().contains(cADOInternal::PassRW(a)));
    EXPECT_TRUE(cADOInternal::CredentialsEmpty(a));
}

TEST_F(cADOQueries, runSqlReturnsRowsAffectedAndTheReadOnlyAccountCannotWrite) {
    ASSERT_EQ(db.exec(jobAppInserts(5)), QString());
    ReportRecorder recorder;
    EXPECT_EQ(a.RunSQL(QStringLiteral("UPDATE tblJobApplications SET strStatus = 'Sent' WHERE "
                                      "lngJobApplicationID IN (1, 2, 4)")),
              3);
    EXPECT_EQ(a.RunSQL(QStringLiteral("DELETE FROM tblJobApplications WHERE 1 = 0")), 0);
    EXPECT_TRUE(cADOInternal::CredentialsEmpty(a));
    // Constraints are integrity violations, whatever the extended code.
    EXPECT_EQ(errorOf([&] {
                  a.RunSQL(QStringLiteral("INSERT INTO tblJobApplications (strCompany) VALUES "
                                          "('Northwind')"));
              }).number,
              ado::DB_E_INTEGRITYVIOLATION);
    const wp::Error e = errorOf([&] { a.RunSQL(QStringLiteral("UPDATE tblNope SET a = 1")); });
    EXPECT_EQ(e.number, ado::DB_E_ERRORSINCOMMAND);
    EXPECT_TRUE(e.description.contains(QStringLiteral("tblNope")));
    EXPECT_TRUE(cADOInternal::CredentialsEmpty(a));
    EXPECT_TRUE(recorder.reports.empty()); // passed on, not reported

    expectReadOnlyRefusesWrites(a, db, QStringLiteral("QSQLITE"), QStringLiteral("readonly"));

    // The same account's caller-held record set refuses changes too.
    a.setUserID(cADOInternal::ReadOnlyUser());
    cADOInternal::setPassword(a, cADOInternal::PassRO(a));
    RecordsetRef rs = a.ReadOnlyRecord(QStringLiteral("SELECT * FROM tblJobApplications"), 0);
    EXPECT_EQ(rs->CursorType(), ado::adOpenStatic); // the argument is not used
    EXPECT_EQ(
        errorOf([&] { rs->setValue(QStringLiteral("strStatus"), QStringLiteral("x")); }).number,
        ado::adErrFeatureNotAvailable);
}

TEST_F(cADOSaving, saveRecordCommitsOrRollsBack) {
    ASSERT_EQ(db.exec(jobAppInserts(3)), QString());
    expectSaveRecordCommitsOrRollsBack(a, db, 3);
}

TEST_F(cADOSaving, batchRecordWritesAllPendingChanges) {
    ASSERT_EQ(db.exec(jobAppInserts(4)), QString());
    RecordsetRef rs = a.GetBatchRecord(QStringLiteral(
        "SELECT lngJobApplicationID, strCompany, strPosition, dtmCreated, strStatus FROM "
        "tblJobApplications ORDER BY lngJobApplicationID"));
    EXPECT_TRUE(cADOInternal::CredentialsEmpty(a));
    EXPECT_EQ(rs->LockType(), ado::adLockBatchOptimistic);
    rs->MoveFirst();
    rs->setValue(QStringLiteral("strStatus"), QStringLiteral("Declined"));
    rs->MoveNext();
    rs->Delete();
    rs->AddNew();
    rs->setValue(QStringLiteral("strCompany"), QStringLiteral("Trey Research"));
    rs->setValue(QStringLiteral("strPosition"), QStringLiteral("Lab Manager"));
    rs->setValue(QStringLiteral("dtmCreated"), QStringLiteral("2024-06-01 10:00:00"));
    EXPECT_TRUE(a.SaveBatchRecord(rs));
    EXPECT_EQ(rs->RecordCount(), 4);
    EXPECT_EQ(rs->ActiveConnection(), QString());
    EXPECT_TRUE(cADOInternal::CredentialsEmpty(a));
    EXPECT_EQ(jobApps(db, "strStatus", "lngJobApplicationID = 1"), "Declined");
    EXPECT_EQ(jobApps(db, "Count(*)", "lngJobApplicationID = 2"), "0");
    EXPECT_EQ(jobApps(db, "strPosition", "strCompany = 'Trey Research'"), "Lab Manager");

    // A row changed by someone else since it was read is not overwritten.
    RecordsetRef stale = a.GetBatchRecord(
        QStringLiteral("SELECT lngJobApplicationID, strStatus FROM tblJobApplications"));
    ASSERT_EQ(db.exec({QStringLiteral("DELETE FROM tblJobApplications WHERE lngJobApplicationID "
                                      "= 1")}),
              QString());
    stale->MoveFirst();
    stale->setValue(QStringLiteral("strStatus"), QStringLiteral("Sent"));
    const wp::Error e = errorOf([&] { a.SaveBatchRecord(stale); });
    EXPECT_EQ(e.number, ado::DB_E_CONCURRENCYVIOLATION);
    EXPECT_TRUE(cADOInternal::CredentialsEmpty(a));
}

TEST_F(cADOSaving, quotedNamesAndGeneratedKeysKeepNewRowsEditable) {
    ASSERT_EQ(db.exec({QStringLiteral(
                  "CREATE TABLE [tbl Notes] (id INTEGER PRIMARY KEY AUTOINCREMENT, [Order] "
                  "INTEGER, [note text] TEXT, strAdded TEXT DEFAULT 'today')")}),
              QString());
    RecordsetRef rs = a.GetBatchRecord(QStringLiteral("SELECT * FROM [tbl Notes]"));
    for (int i = 1; i <= 2; ++i) {
        rs->AddNew();
        rs->setValue(QStringLiteral("Order"), i);
        rs->setValue(QStringLiteral("note text"), QStringLiteral("note %1").arg(i));
    }
    ASSERT_TRUE(a.SaveBatchRecord(rs));
    rs->MoveFirst();
    EXPECT_EQ(rs->Value(QStringLiteral("id")).toInt(), 1);
    EXPECT_EQ(rs->Text(QStringLiteral("strAdded")), QStringLiteral("today"));
    rs->setValue(QStringLiteral("note text"), QStringLiteral("changed"));
    rs->MoveNext();
    EXPECT_EQ(rs->Value(QStringLiteral("id")).toInt(), 2);
    rs->Delete();
    ASSERT_TRUE(a.SaveBatchRecord(rs));
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT group_concat(id || ':' || [note text]) FROM "
                                       "[tbl Notes]"))
                  .toString(),
              QStringLiteral("1:changed"));
}

TEST_F(cADORetry, lockHeldBeyondTheLimitFailsAndOneReleasedInTimeDoesNot) {
    ASSERT_EQ(db.exec(jobAppInserts(25)), QString());
    DirectConnection locker(dir.mdb());
    ASSERT_EQ(locker.exec({QStringLiteral("BEGIN EXCLUSIVE")}), QString());
    ReportRecorder recorder;
    WaitCounter counter;
    counter.install(a);
    const wp::Error e =
        errorOf([&] { a.GetRS(kStepperQuery, 0, ado::adLockReadOnly, ado::adUseClient); });
    EXPECT_EQ(e.number, ado::E_FAIL);
    EXPECT_EQ(e.source, QStringLiteral("QSQLITE"));
    EXPECT_EQ(e.description, QStringLiteral("database is locked"));
    EXPECT_EQ(counter.waits, std::vector<qint32>(21, 250)); // the 21st failure is passed on
    EXPECT_TRUE(cADOInternal::CredentialsEmpty(a));
    EXPECT_TRUE(recorder.reports.empty());

    counter.waits.clear();
    EXPECT_EQ(errorOf([&] {
                  a.GetBatchRecord(QStringLiteral("SELECT * FROM tblJobApplications"));
              }).number,
              ado::E_FAIL);
    EXPECT_EQ(counter.waits, std::vector<qint32>(11, 200));
    EXPECT_TRUE(cADOInternal::CredentialsEmpty(a));

    counter.waits.clear();
    counter.onWait = [&](int n) {
        if (n == 4)
            locker.exec({QStringLiteral("ROLLBACK")});
    };
    RecordsetRef rs = a.GetRS(kStepperQuery, 0, ado::adLockReadOnly, ado::adUseClient);
    EXPECT_EQ(counter.waits, std::vector<qint32>(4, 250));
    EXPECT_EQ(rs->RecordCount(), 20);
    EXPECT_TRUE(cADOInternal::CredentialsEmpty(a));
}

TEST_F(cADORetry, membersWithoutRetriesWaitForALock) {
    ASSERT_EQ(db.exec(jobAppInserts(3)), QString());
    ASSERT_EQ(
        db.exec({QStringLiteral("INSERT INTO tblVersion (lngMajor, lngMinor) VALUES (2, 7)")}),
        QString());
    ReportRecorder recorder;
    auto locked = [&](const std::function<void()>& call) {
        auto lock = HeldLock::onFile(dir.mdb(), 300);
        ASSERT_EQ(lock->taken(), QString());
        call();
    };
    locked([&] { EXPECT_TRUE(cADOInternal::TableExists(a, QStringLiteral("tblVersion"))); });
    locked([&] { EXPECT_EQ(a.VersionDB(), QStringLiteral("2;7")); });
    signInWriter(a);
    RecordsetRef rs;
    locked([&] { rs = a.GetRecord(QStringLiteral("SELECT * FROM tblJobApplications")); });
    ASSERT_TRUE(rs);
    EXPECT_EQ(rs->RecordCount(), 3);
    locked([&] {
        EXPECT_EQ(a.ReadOnlyRecord(QStringLiteral("SELECT * FROM tblVersion"))->RecordCount(), 2);
    });
    rs->MoveFirst();
    rs->setValue(QStringLiteral("strStatus"), QStringLiteral("Offer"));
    locked([&] { EXPECT_TRUE(a.SaveRecord(rs)); });
    EXPECT_EQ(jobApps(db, "Count(*)", "strStatus = 'Offer'"), "1");
    EXPECT_TRUE(recorder.reports.empty());

    // Locked beyond the wait: a failure, not the version of an empty database.
    DirectConnection locker(dir.mdb());
    ASSERT_EQ(locker.exec({QStringLiteral("BEGIN EXCLUSIVE")}), QString());
    EXPECT_EQ(errorOf([&] { a.VersionDB(); }).number, wp::err::ApplicationDefined);
    ASSERT_EQ(recorder.reports.size(), 1u);
    EXPECT_EQ(recorder.said(0), QStringLiteral("%1 cADO.VersionDB").arg(ado::E_FAIL));
}

TEST_F(cADORetry, refusedLoginTriedAgainUpToTheLimitLeavesNoCredentials) {
    ASSERT_TRUE(QFile::remove(dir.mdw()));
    wp::data::createWorkgroup(dir.mdw(),
                              {{cADOInternal::ReadOnlyUser(), QStringLiteral("x"), true},
                               {cADOInternal::ReadWriteUser(), QStringLiteral("old"), false}});
    WaitCounter counter;
    counter.install(a);
    // The account is supplied again up to the limit, then the refusal passed on.
    EXPECT_EQ(
        errorOf([&] { a.GetRS(kStepperQuery, 0, ado::adLockReadOnly, ado::adUseClient); }).number,
        ado::DB_SEC_E_AUTH_FAILED);
    EXPECT_EQ(counter.waits, std::vector<qint32>(21, 0)); // no pause before a login
    EXPECT_TRUE(cADOInternal::CredentialsEmpty(a));

    counter.waits.clear();
    counter.onWait = [&](int n) {
        if (n == 2) { // the administrator puts the right password in
            QFile::remove(dir.mdw());
            wp::data::createWorkgroup(
                dir.mdw(), {{cADOInternal::ReadWriteUser(), cADOInternal::PassRW(a), false}});
        }
    };
    EXPECT_EQ(a.RunSQL(QStringLiteral("DELETE FROM tblVersion")), 1);
    EXPECT_EQ(counter.waits, std::vector<qint32>(2, 0));
    EXPECT_TRUE(cADOInternal::CredentialsEmpty(a));
}

TEST_F(cADOFailures, wrongPasswordIsReported) {
    ReportRecorder recorder;
    a.setUserID(cADOInternal::ReadWriteUser());
    cADOInternal::setPassword(a, QStringLiteral("not the password"));
    EXPECT_EQ(errorOf([&] { a.GetRecord(QStringLiteral("SELECT * FROM tblVersion")); }).number,
              wp::err::ApplicationDefined);
    ASSERT_EQ(recorder.reports.size(), 1u);
    EXPECT_EQ(recorder.said(0), QStringLiteral("%1 cADO.GetRecord").arg(ado::DB_SEC_E_AUTH_FAILED));
    EXPECT_EQ(recorder.reports[0].description,
              QStringLiteral("Not a valid account name or password."));
    EXPECT_TRUE(recorder.reports[0].variables.contains(
        QStringLiteral("<strQuery>SELECT * FROM tblVersion</strQuery>")));
}

TEST_F(cADOFailures, filesThatAreNotDatabasesAreRefusedClearly) {
    ASSERT_TRUE(wptest::writeFile(dir.mdb(), QByteArray(4096, 'x')));
    wp::Error e =
        errorOf([&] { a.GetRS(kStepperQuery, 0, ado::adLockReadOnly, ado::adUseClient); });
    EXPECT_EQ(e.number, ado::STG_E_INVALIDHEADER);
    EXPECT_EQ(e.description, QStringLiteral("Unrecognized database format '%1'.").arg(dir.mdb()));
    EXPECT_TRUE(cADOInternal::CredentialsEmpty(a));

    ASSERT_TRUE(QFile::remove(dir.mdb()));
    e = errorOf([&] { a.RunSQL(QStringLiteral("DELETE FROM tblVersion")); });
    EXPECT_EQ(e.number, ado::STG_E_FILENOTFOUND);
    EXPECT_FALSE(QFile::exists(dir.mdb())); // opening never creates the file

    // A database where the workgroup file should be.
    DataDir other;
    ASSERT_TRUE(QFile::remove(dir.mdw()));
    ASSERT_TRUE(QFile::copy(other.mdb(), dir.mdw()));
    ASSERT_TRUE(QFile::copy(other.mdb(), dir.mdb()));
    e = errorOf([&] { a.GetRS(kStepperQuery, 0, ado::adLockReadOnly, ado::adUseClient); });
    EXPECT_EQ(e.number, ado::STG_E_INVALIDHEADER);

    // db init never overwrites a database.
    const QByteArray before = wptest::fileBytes(dir.mdb());
    EXPECT_EQ(errorOf([&] { wp::data::initDatabase(dir.path()); }).number, ado::E_FAIL);
    EXPECT_EQ(wptest::fileBytes(dir.mdb()), before);
}

TEST_F(cADOFailures, storedProceduresAreNotOnTheEmbeddedDatabase) {
    ReportRecorder recorder;
    EXPECT_EQ(errorOf([&] {
                  cADOInternal::spRst(a, QStringLiteral("spJobs"), QStringLiteral("1"));
              }).number,
              wp::err::ApplicationDefined);
    ASSERT_EQ(recorder.reports.size(), 1u);
    EXPECT_EQ(recorder.said(0), QStringLiteral("%1 cADO.spRst").arg(ado::DB_E_ERRORSINCOMMAND));
    EXPECT_TRUE(cADOInternal::CredentialsEmpty(a));

    signInWriter(a);
    wp::CommandRef cmd = a.CreateStoredProcedure(QStringLiteral("spJobs"), QString(), true);
    EXPECT_EQ(cmd->CommandType(), ado::adCmdStoredProc);
    EXPECT_EQ(cmd->CommandTimeout(), 5);
    EXPECT_FALSE(cADOInternal::CredentialsEmpty(a));
}

TEST_F(cADOFailures, unreachableSqlServerIsAConnectionFailure) {
    // Type 1 goes through the FreeTDS ODBC driver; nothing listens on port 1.
    ReportRecorder recorder;
    a.SetConnectType(1);
    a.setServerName(QStringLiteral("127.0.0.1,1"));
    a.setDbname(QStringLiteral("morvale"));
    a.setUserID(QStringLiteral("sa"));
    cADOInternal::setPassword(a, QStringLiteral("x"));
    EXPECT_EQ(errorOf([&] { a.GetRecord(QStringLiteral("SELECT 1")); }).number,
              wp::err::ApplicationDefined);
    ASSERT_EQ(recorder.reports.size(), 1u);
    EXPECT_EQ(recorder.reports[0].number, ado::E_FAIL);
    EXPECT_TRUE(recorder.reports[0].description.contains(QStringLiteral("FreeTDS")))
        << recorder.reports[0].description.toStdString();
}
