// What the stepper pays to read its cover letters: cADO's GetRS of the
// stepper's query on a table of 10,000 job applications, beside a plain
// QSqlQuery that opens its own connection and reads the same rows, on the
// embedded database and (when tools/test-services is running, WP_PG_DSN set)
// on PostgreSQL through ODBC. The "all rows" pair reads all 10,000 cover
// letters, to show the cost per row of the record set.
#include "data/Schema.h"
#include "data/SqlText.h"
#include "data/cADOInternal.h"
#include "wp/cADO.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <unistd.h>

namespace {

constexpr int kRows = 10000;
const QString kStepperQuery = QStringLiteral(
    "SELECT TOP 20 memDraftCoverLetter FROM tblJobApplications ORDER BY dtmCreated DESC ;");
const QString kAllQuery =
    QStringLiteral("SELECT memDraftCoverLetter FROM tblJobApplications ORDER BY dtmCreated DESC ;");

bool fill(QSqlDatabase db, bool postgres) {
    QSqlQuery q(db);
    if (postgres) {
        for (const char* sql :
             {"DROP TABLE IF EXISTS tblJobApplications", "DROP TABLE IF EXISTS tblVersion"})
            q.exec(QString::fromLatin1(sql));
        for (const QString& sql : wp::data::schemaStatements(wp::data::Dialect::PostgreSQL))
            if (!q.exec(sql))
                return false;
    }
    db.transaction();
    q.prepare(QStringLiteral("INSERT INTO tblJobApplications (strCompany, strPosition, strStatus, "
                             "dtmCreated, memDraftCoverLetter) VALUES (?, ?, ?, ?, ?)"));
    for (int i = 0; i < kRows; ++i) {
        const wp::data::SampleJobApp app = wp::data::sampleJobApp(i);
        q.addBindValue(app.company);
        q.addBindValue(app.position);
        q.addBindValue(app.status);
        if (postgres)
            q.addBindValue(app.created);
        else
            q.addBindValue(wp::data::sqliteDateTime(app.created));
        q.addBindValue(app.coverLetterXml);
        if (!q.exec())
            return false;
    }
    return db.commit();
}

struct Embedded {
    QTemporaryDir dir;
    QString mdb;
    Embedded() {
        wp::data::initDatabase(dir.path());
        mdb = dir.filePath(QStringLiteral("mv.mdb"));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "bench.fill");
            db.setDatabaseName(mdb);
            if (!db.open() || !fill(db, false))
                std::fprintf(stderr, "bench: cannot fill %s\n", qPrintable(mdb));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("bench.fill"));
    }
};

Embedded& embedded() {
    static Embedded e;
    return e;
}

struct Server {
    bool ok = false;
    int lock = -1;
    QString dsn, user, password;
    Server() {
        dsn = qEnvironmentVariable("WP_PG_DSN");
        if (dsn.isEmpty())
            return;
        user = qEnvironmentVariable("WP_PG_RW_USER");
        password = qEnvironmentVariable("WP_PG_RW_PASSWORD");
        // The test database is shared with the test processes.
        lock = ::open(qPrintable(qEnvironmentVariable("WP_PG_LOCKFILE")), O_RDWR | O_CREAT, 0666);
        if (lock >= 0)
            ::flock(lock, LOCK_EX);
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), "bench.pg");
            db.setDatabaseName(dsn);
            db.setUserName(user);
            db.setPassword(password);
            ok = db.open() && fill(db, true);
            if (!ok)
                std::fprintf(stderr, "bench: PostgreSQL not usable: %s\n",
                             qPrintable(db.lastError().text()));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("bench.pg"));
    }
};

Server& server() {
    static Server s;
    return s;
}

// The plain Qt way: a connection of its own, one query, every value read.
void plainQuery(benchmark::State& state, bool postgres, const QString& sql) {
    qint64 n = 0;
    for (auto _ : state) {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(postgres ? QStringLiteral("QODBC")
                                                                 : QStringLiteral("QSQLITE"),
                                                        QStringLiteral("bench.plain"));
            if (postgres) {
                db.setDatabaseName(server().dsn);
                db.setUserName(qEnvironmentVariable("WP_PG_RO_USER"));
                db.setPassword(qEnvironmentVariable("WP_PG_RO_PASSWORD"));
            } else {
                db.setDatabaseName(embedded().mdb);
                db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
            }
            if (!db.open()) {
                state.SkipWithError("cannot open");
                break;
            }
            QSqlQuery q(db);
            q.setForwardOnly(true);
            q.exec(wp::data::translateTop(sql, postgres ? wp::data::Dialect::PostgreSQL
                                                        : wp::data::Dialect::SQLite));
            while (q.next()) {
                QString text = q.value(0).toString();
                benchmark::DoNotOptimize(text);
                ++n;
            }
        }
        QSqlDatabase::removeDatabase(QStringLiteral("bench.plain"));
    }
    state.counters["rows"] = benchmark::Counter(double(n), benchmark::Counter::kAvgIterations);
}

void viaGetRS(benchmark::State& state, bool postgres, const QString& sql) {
    wp::cADO ado;
    if (postgres) {
        ado.SetConnectType(2);
        ado.setDbname(server().dsn);
    } else {
        ado.setDbname(embedded().mdb);
    }
    qint64 n = 0;
    for (auto _ : state) {
        wp::RecordsetRef rs = ado.GetRS(sql, wp::ado::adOpenForwardOnly, wp::ado::adLockReadOnly,
                                        wp::ado::adUseClient);
        if (!(rs->BOF() && rs->EOF_())) {
            for (rs->MoveFirst(); !rs->EOF_(); rs->MoveNext()) {
                QString text = rs->Text(QStringLiteral("memDraftCoverLetter"));
                benchmark::DoNotOptimize(text);
                ++n;
            }
        }
    }
    state.counters["rows"] = benchmark::Counter(double(n), benchmark::Counter::kAvgIterations);
}

void BM_SQLiteStepper_Qt(benchmark::State& s) {
    plainQuery(s, false, kStepperQuery);
}
void BM_SQLiteStepper_wp(benchmark::State& s) {
    viaGetRS(s, false, kStepperQuery);
}
void BM_SQLiteAllRows_Qt(benchmark::State& s) {
    plainQuery(s, false, kAllQuery);
}
void BM_SQLiteAllRows_wp(benchmark::State& s) {
    viaGetRS(s, false, kAllQuery);
}

void requireServer(benchmark::State& s) {
    if (!server().ok)
        s.SkipWithError("no PostgreSQL: run `eval \"$(tools/test-services start)\"` first");
}
void BM_PostgreSQLStepper_Qt(benchmark::State& s) {
    requireServer(s);
    if (server().ok)
        plainQuery(s, true, kStepperQuery);
}
void BM_PostgreSQLStepper_wp(benchmark::State& s) {
    requireServer(s);
    if (server().ok)
        viaGetRS(s, true, kStepperQuery);
}
void BM_PostgreSQLAllRows_Qt(benchmark::State& s) {
    requireServer(s);
    if (server().ok)
        plainQuery(s, true, kAllQuery);
}
void BM_PostgreSQLAllRows_wp(benchmark::State& s) {
    requireServer(s);
    if (server().ok)
        viaGetRS(s, true, kAllQuery);
}

} // namespace

BENCHMARK(BM_SQLiteStepper_Qt)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SQLiteStepper_wp)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SQLiteAllRows_Qt)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SQLiteAllRows_wp)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PostgreSQLStepper_Qt)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PostgreSQLStepper_wp)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PostgreSQLAllRows_Qt)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PostgreSQLAllRows_wp)->Unit(benchmark::kMillisecond);
