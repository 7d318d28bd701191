// The cover letter stepper's costs, each beside a Qt or LibreOffice
// baseline in the same run:
// - one step (reload the template, merge ~30 fields) of a two-page letter,
//   beside cloning the same QTextDocument and replacing 30 runs in it;
// - StepperDataLoad with 20 database rows and 80 samples from the template
//   archive, beside a plain QSqlQuery plus a QXmlStreamReader pass;
// - wptool merge's work for 100 letters into one PDF, beside LibreOffice
//   converting the same 100 merged RTF files (when soffice is installed).
#include "core/modWP.h"
#include "data/Schema.h"
#include "stepper/StepperBatch.h"
#include "stepper/TemplateMerge.h"
#include "stepper/frmStepper.h"
#include "wp/TextControl.h"
#include "wp/cUtil.h"
#include "wp/clsWP.h"

#include <QDir>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>
#include <QXmlStreamReader>
#include <benchmark/benchmark.h>
#include <sys/resource.h>

namespace {

const char* const kNames[] = {"company",  "contact_name", "contact_title", "salutation",
                              "address",  "city",         "state",         "zip",
                              "position", "job_ref",      "job_source",    "applied_date"};

// A data directory with 20 stored cover letters and 80 samples in the
// archive, named by the library's environment.
struct Fixture {
    QTemporaryDir dir;
    wp::clsWP host;
    wp::TextControl tx;
    int fields = 0;

    Fixture() {
        wp::data::initDatabase(dir.path());
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "bench");
            db.setDatabaseName(dir.filePath(QStringLiteral("mv.mdb")));
            db.open();
            QSqlQuery q(db);
            db.transaction();
            q.prepare(QStringLiteral("INSERT INTO tblJobApplications (strCompany, strPosition, "
                                     "strStatus, dtmCreated, memDraftCoverLetter) VALUES "
                                     "(?, ?, ?, ?, ?)"));
            for (int i = 0; i < 20; ++i) {
                const wp::data::SampleJobApp app = wp::data::sampleJobApp(i);
                for (const QVariant& v :
                     {QVariant(app.company), QVariant(app.position), QVariant(app.status),
                      QVariant(wp::data::sqliteDateTime(app.created)),
                      QVariant(app.coverLetterXml)})
                    q.addBindValue(v);
                q.exec();
            }
            db.commit();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("bench"));
        QString samples = QStringLiteral("<cvl_data>");
        for (int i = 20; i < 100; ++i)
            samples += wp::data::sampleJobApp(i).coverLetterXml;
        samples += QStringLiteral("</cvl_data>");
        wp::cUtil().WriteEntry(dir.filePath(QStringLiteral("app.mvdt")),
                               QStringLiteral("cvl_data.xml"), samples);

        const QString d = dir.path() + QLatin1Char('/');
        host.setEnvXML(QStringLiteral("<env><in_ide>0</in_ide><data_dir>%1</data_dir>"
                                      "<this_user_app_data_dir>%1</this_user_app_data_dir></env>")
                           .arg(d));
        host.setOptsXML(
            QStringLiteral("<options><option sort=\"a08\">mmmm d, yyyy</option></options>"));
        // Two pages: paragraphs of prose with the fields spread through them.
        for (int p = 0; p < 10; ++p) {
            tx.setSelText(QStringLiteral("Paragraph %1 of the letter, which reads like a real "
                                         "one, with enough words to wrap over several lines "
                                         "of the page. ")
                              .arg(p)
                              .repeated(3));
            for (int f = 0; f < 3; ++f, ++fields) {
                const int n = (p * 3 + f) % (int(std::size(kNames)) + 2);
                const QString name = n < int(std::size(kNames))    ? QString::fromLatin1(kNames[n])
                                     : n == int(std::size(kNames)) ? QStringLiteral("current_date")
                                                                   : QStringLiteral("missing");
                tx.FieldInsert(QStringLiteral("Title of ") + name, name);
                tx.setSelText(QStringLiteral(" and "));
            }
            tx.setSelText(QStringLiteral("\n"));
        }
        host.setTx(&tx);
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void BM_StepperStep_wp(benchmark::State& state) {
    Fixture& f = fixture();
    wp::frmStepper form;
    form.setTx(&f.tx);
    const wp::KXmlRef step = form.Steps()->ChildAt(0);
    for (auto _ : state)
        form.StepDataLoad(step);
    state.counters["fields"] = f.fields;
    state.counters["pages"] = form.Preview()->CurrentPages();
}
BENCHMARK(BM_StepperStep_wp)->Unit(benchmark::kMillisecond);

// Qt baseline: a copy of the same body and its field runs replaced in place.
void BM_StepperStep_QtClone(benchmark::State& state) {
    Fixture& f = fixture();
    QList<QPair<int, int>> runs; // position and length of each field, last first
    for (qint16 id = f.tx.FieldNext(0, 0); id; id = f.tx.FieldNext(id, 0)) {
        f.tx.setFieldCurrent(id);
        runs.prepend({f.tx.FieldStart() - 1, int(f.tx.FieldText().size())});
    }
    for (auto _ : state) {
        std::unique_ptr<QTextDocument> doc(f.tx.document()->clone());
        QTextCursor c(doc.get());
        for (const auto& [pos, len] : runs) {
            c.setPosition(pos);
            c.setPosition(pos + len, QTextCursor::KeepAnchor);
            c.insertText(QStringLiteral("Northwind Traders"));
        }
        benchmark::DoNotOptimize(doc->characterCount());
    }
}
BENCHMARK(BM_StepperStep_QtClone)->Unit(benchmark::kMillisecond);

void BM_StepperDataLoad_wp(benchmark::State& state) {
    Fixture& f = fixture();
    wp::frmStepper form;
    form.setTx(&f.tx);
    qint32 n = 0;
    for (auto _ : state)
        n = form.StepperDataLoad();
    state.counters["steps"] = n;
}
BENCHMARK(BM_StepperDataLoad_wp)->Unit(benchmark::kMillisecond);

// Qt baseline: the same 20 rows by a plain query and the samples by a stream reader.
void BM_StepperDataLoad_QtQuery(benchmark::State& state) {
    Fixture& f = fixture();
    const QString mdb = f.dir.filePath(QStringLiteral("mv.mdb"));
    const QString archive = f.dir.filePath(QStringLiteral("app.mvdt"));
    int n = 0;
    for (auto _ : state) {
        n = 0;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "baseline");
            db.setDatabaseName(mdb);
            db.open();
            QSqlQuery q(db);
            q.exec(QStringLiteral("SELECT memDraftCoverLetter FROM tblJobApplications ORDER BY "
                                  "dtmCreated DESC LIMIT 20"));
            while (q.next()) {
                QXmlStreamReader r(q.value(0).toString());
                while (!r.atEnd())
                    r.readNext();
                ++n;
            }
        }
        QSqlDatabase::removeDatabase(QStringLiteral("baseline"));
        QXmlStreamReader r(wp::cUtil().ReadEntry(archive, QStringLiteral("cvl_data.xml")));
        while (!r.atEnd())
            if (r.readNext() == QXmlStreamReader::StartElement && r.name() == u"job_app")
                ++n;
    }
    state.counters["steps"] = n;
}
BENCHMARK(BM_StepperDataLoad_QtQuery)->Unit(benchmark::kMillisecond);

void BM_MergeToPdf100_wp(benchmark::State& state) {
    Fixture& f = fixture();
    const wp::KXmlRef steps = wp::frmStepper::BuildStepSet(
        f.dir.filePath(QStringLiteral("mv.mdb")), f.dir.filePath(QStringLiteral("app.mvdt")));
    const QString pdf = f.dir.filePath(QStringLiteral("all.pdf"));
    wp::stepper::BatchResult r;
    for (auto _ : state)
        r = wp::stepper::MergeToPdf(f.tx, steps, pdf);
    state.counters["letters"] = r.letters;
    state.counters["pages"] = r.pages;
}
BENCHMARK(BM_MergeToPdf100_wp)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(1);

// LibreOffice baseline: the same 100 merged letters as RTF files to PDF.
void BM_MergeToPdf100_LO(benchmark::State& state) {
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty()) {
        state.SkipWithError("soffice is not installed");
        return;
    }
    Fixture& f = fixture();
    const wp::KXmlRef steps = wp::frmStepper::BuildStepSet(
        f.dir.filePath(QStringLiteral("mv.mdb")), f.dir.filePath(QStringLiteral("app.mvdt")));
    const QString rtf = f.dir.filePath(QStringLiteral("rtf"));
    wp::stepper::MergeToRtf(f.tx, steps, rtf);
    QStringList args = {QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                        QStringLiteral("pdf"), QStringLiteral("--outdir"),
                        f.dir.filePath(QStringLiteral("lo"))};
    for (const QString& name : QDir(rtf).entryList({QStringLiteral("*.rtf")}, QDir::Files))
        args << QDir(rtf).filePath(name);
    const QString profile = f.dir.filePath(QStringLiteral("lo-profile"));
    args.prepend(QStringLiteral("-env:UserInstallation=file://") + profile);
    {
        // A first run builds LibreOffice's profile: not part of the conversion.
        QProcess warm;
        warm.start(soffice, args.mid(0, 6) << args.last());
        warm.waitForFinished(-1);
    }
    auto childCpuMs = [] {
        rusage u{};
        getrusage(RUSAGE_CHILDREN, &u);
        return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 +
               (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
    };
    const double cpuBefore = childCpuMs();
    for (auto _ : state) {
        QProcess p;
        p.start(soffice, args);
        p.waitForFinished(-1);
        if (p.exitCode() != 0)
            state.SkipWithError("soffice failed");
    }
    // LibreOffice's own processor time, which the CPU column does not see
    // (tools/bench-report adds it).
    state.counters["cpu_ms"] =
        benchmark::Counter(childCpuMs() - cpuBefore, benchmark::Counter::kAvgIterations);
    state.counters["letters"] =
        double(QDir(f.dir.filePath(QStringLiteral("lo"))).entryList({"*.pdf"}).size());
}
BENCHMARK(BM_MergeToPdf100_LO)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(1);

} // namespace
