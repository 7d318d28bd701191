// The cover letter stepper on real database files and a real template
// archive: the data set, the navigation, and the window run modally through
// clsWP::CoverLetterStepper.
#include "core/modWP.h"
#include "forms/StatusPanes.h"
#include "stepper/StepperBatch.h"
#include "stepper/TemplateMerge.h"
#include "stepper/frmStepper.h"
#include "support/TestSupport.h"
#include "support/ToolSupport.h"
#include "support/ZipSupport.h"
#include "test_cADO_support.h"
#include "wp/TextControl.h"
#include "wp/clsWP.h"

#include <QAction>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QToolBar>
#include <gtest/gtest.h>
#include <numeric>
#include <stdexcept>

using wp::frmStepper;
using wptest::child;

namespace {
QString samplesXml(int count, int first = 0) {
    QString xml = QStringLiteral("<samples>");
    for (int i = first; i < first + count; ++i)
        xml += QStringLiteral("<job_app><template>T</template><company>Sample %1</company>"
                              "</job_app>")
                   .arg(i);
    return xml + QStringLiteral("</samples>");
}

// A data directory (database, workgroup file, optional template archive)
// named by the library's environment, and a host document with fields.
class Stepper : public ::testing::Test {
protected:
    void SetUp() override {
        const QString dir = data.path() + QLatin1Char('/');
        host.setEnvXML(QStringLiteral("<env><in_ide>false</in_ide><data_dir>%1</data_dir>"
                                      "<this_user_app_data_dir>%1</this_user_app_data_dir></env>")
                           .arg(dir));
        host.setOptsXML(
            QStringLiteral("<options><option sort=\"a08\">yyyy-mm-dd</option></options>"));
        host.setRuntimeXML(QStringLiteral("<jdata><runmode><template_stepper_formsize "
                                          "scale_mode=\"1\" width=\"9000\" height=\"6000\"/>"
                                          "</runmode></jdata>"));
        tx.setSelText(QStringLiteral("Dear "));
        tx.FieldInsert(QStringLiteral("Company Name"), QStringLiteral("company"));
        tx.setSelText(QStringLiteral(", seq "));
        tx.FieldInsert(QStringLiteral("Seq"), QStringLiteral("seq"));
        tx.setSelText(QStringLiteral(" on "));
        tx.FieldInsert(QStringLiteral("Date"), QStringLiteral("current_date"));
        host.setTx(&tx);
        wp::modWP::setClock([] { return QDateTime(QDate(2024, 5, 6), QTime(10, 0)); });
    }
    void TearDown() override { wp::modWP::setClock(nullptr); }

    void addRows(int count) {
        wptest::DirectConnection db(data.mdb());
        ASSERT_EQ(db.exec(wptest::jobAppInserts(count)), QString());
    }
    void writeArchive(const QString& sample) {
        ASSERT_TRUE(wptest::makeZip(data.path() + QStringLiteral("/app.mvdt"),
                                    {{QStringLiteral("cvl_data.xml"), sample.toUtf8()}}));
    }
    // The company and seq values of the set's steps, in step order.
    static QStringList companies(const wp::KXmlRef& steps) {
        QStringList out;
        for (int i = 0; i < steps->ChildCount(); ++i) {
            const wp::KXmlRef s = steps->ChildAt(i);
            EXPECT_EQ(s->AttributeValue(QStringLiteral("idx")), QString::number(i + 1));
            out << s->ChildValue(QStringLiteral("company")) + u'#' +
                       s->ChildValue(QStringLiteral("seq"));
        }
        return out;
    }
    static QString counter(QWidget* form) { return child<QAction>(form, "1094")->text(); }
    QString preview(frmStepper& form) { return form.Preview()->document()->toPlainText(); }

    wptest::DataDir data;
    wp::clsWP host;
    wp::TextControl tx;
};
} // namespace

TEST_F(Stepper, newestTwentyRowsThenSamplesWithoutTheirTemplate) {
    addRows(25);
    writeArchive(samplesXml(5));
    frmStepper form;
    form.setTx(&tx);
    EXPECT_EQ(form.StepCount(), 25);
    const QStringList c = companies(form.Steps());
    ASSERT_EQ(c.size(), 25);
    for (int k = 0; k < 20; ++k) // seq 24 is the newest row
        EXPECT_TRUE(c[k].endsWith(u'#' + QString::number(24 - k))) << c[k].toStdString();
    EXPECT_EQ(c[20], "Sample 0#");
    EXPECT_EQ(c[24], "Sample 4#");
    EXPECT_FALSE(form.Steps()->ChildAt(0)->HasChild(QStringLiteral("template")));
    EXPECT_TRUE(form.Steps()->ChildAt(20)->HasChild(QStringLiteral("template")));
    EXPECT_EQ(counter(&form), "1 of 25");
}

TEST_F(Stepper, brokenRowsLeaveNoGapAndSamplesStopAtOneHundred) {
    const char* const rows[][2] = {{"2024-01-03 10:00:00", "'<job_app><seq>A</seq></job_app>'"},
                                   {"2024-01-02 10:00:00", "'<job_app><seq>broken'"},
                                   {"2024-01-01 12:00:00", "NULL"},
                                   {"2024-01-01 10:00:00", "'<job_app><seq>B</seq></job_app>'"},
                                   {"2023-12-01 10:00:00", "'<job_app><seq>C</seq></job_app>'"}};
    QStringList inserts;
    for (const auto& row : rows)
        inserts << QStringLiteral("INSERT INTO tblJobApplications (strCompany, strPosition, "
                                  "dtmCreated, memDraftCoverLetter) VALUES ('x', 'p', '%1', %2)")
                       .arg(QLatin1String(row[0]), QLatin1String(row[1]));
    ASSERT_EQ(wptest::DirectConnection(data.mdb()).exec(inserts), QString());
    writeArchive(samplesXml(200));
    const wp::KXmlRef steps = frmStepper::BuildStepSet(data.mdb(), data.path() + "/app.mvdt");
    const QStringList c = companies(steps);
    ASSERT_EQ(c.size(), 100);
    EXPECT_EQ(c.mid(0, 4), QStringList({"#A", "#B", "#C", "Sample 0#"}));
    EXPECT_EQ(c[99], "Sample 96#");
}

TEST_F(Stepper, noRowsAndNoSamplesGiveAnEmptySetThatNavigatesNowhere) {
    {
        frmStepper form;
        form.setTx(&tx);
        EXPECT_EQ(form.StepCount(), 0);
        EXPECT_EQ(form.Steps()->Xml().contains(QStringLiteral("steps")), true);
        for (const char* key : {"keyStepFirst", "keyStepNext", "keyStepLast", "keyStepPrev"}) {
            form.DoStepper(QString::fromLatin1(key));
            EXPECT_EQ(counter(&form), "0 of 0");
        }
        // The template as copied, unmerged.
        EXPECT_EQ(preview(form), "Dear Company Name, seq Seq on Date");
    }
    writeArchive(QStringLiteral("<samples/>")); // a root without children
    EXPECT_EQ(frmStepper::BuildStepSet(data.mdb(), data.path() + "/app.mvdt")->ChildCount(), 0);
    writeArchive(QStringLiteral("<samples><job_app>")); // not XML
    EXPECT_EQ(frmStepper::BuildStepSet(data.mdb(), data.path() + "/app.mvdt")->ChildCount(), 0);
}

TEST_F(Stepper, navigationStopsAtTheEndsAndPutsTheCaretAtTheStart) {
    addRows(3);
    frmStepper form;
    form.setTx(&tx);
    form.DoStepper(QStringLiteral("keyStepFirst"));
    EXPECT_EQ(preview(form), "Dear " + wp::data::sampleJobApp(2).company + ", seq 2 on 2024-05-06");
    form.DoStepper(QStringLiteral("keyStepPrev")); // nothing before the first
    EXPECT_EQ(counter(&form), "1 of 3");
    form.DoStepper(QStringLiteral("keyStepNext"));
    EXPECT_EQ(counter(&form), "2 of 3");
    EXPECT_TRUE(preview(form).contains(QStringLiteral("seq 1 on")));
    form.DoStepper(QStringLiteral("keyStepLast"));
    EXPECT_EQ(counter(&form), "3 of 3");
    form.Preview()->setSelStart(12);
    form.DoStepper(QStringLiteral("keyStepNext")); // nothing after the last...
    EXPECT_EQ(counter(&form), "3 of 3");
    EXPECT_TRUE(preview(form).contains(QStringLiteral("seq 0 on")));
    EXPECT_EQ(form.Preview()->SelStart(), 0); // ...but the caret goes to the start
    form.DoStepper(QStringLiteral("keyStepCounter"));
    EXPECT_EQ(counter(&form), "3 of 3");
    form.Preview()->setSelStart(12);
    form.DoStepper(QStringLiteral("keyStepReset"));
    EXPECT_EQ(form.Preview()->SelStart(), 12); // Close leaves the caret
    // The host document was never touched.
    EXPECT_EQ(tx.document()->toPlainText(), "Dear Company Name, seq Seq on Date");
}

TEST_F(Stepper, windowRunsModallyReadOnlyAndIsBuiltAfreshEachCall) {
    addRows(1);
    wptest::ReportRecorder reports;
    wp::modWP::setLockKeyReader([] { return wp::modWP::LockKeys{true, false, true}; });
    for (int call = 0; call < 2; ++call) {
        QString xml = QStringLiteral("<ignored/>");
        const QString result = wptest::runModal(
            QStringLiteral("frmStepper"), QStringLiteral("Template Preview"),
            [&] { return host.CoverLetterStepper(xml); },
            [&](QWidget* w) {
                EXPECT_EQ(counter(w), "1 of 1");
                auto* bar = child<QToolBar>(w, "Stepper");
                ASSERT_NE(bar, nullptr);
                EXPECT_EQ(wptest::commandIds(bar),
                          QStringList({"1091", "1092", "1093", "1094", "1095", "1096"}));
                EXPECT_EQ(child<QAction>(w, "1095")->toolTip(),
                          "Go to the next cover letter in the data set");
                EXPECT_EQ(child<QLabel>(w, "pane(4)")->text(), "100%");
                EXPECT_EQ(child<QLabel>(w, "pane(1)")->text(), "");
                EXPECT_EQ(child<QLabel>(w, "pane(59137)")->text(), "CAP");
                EXPECT_EQ(child<QLabel>(w, "pane(59138)")->text(), "");
                EXPECT_EQ(child<QLabel>(w, "pane(59139)")->text(), "SCRL");
                EXPECT_EQ(w->size(), QSize(600, 400)); // 9000 × 6000 twips at 96 dpi
                auto* preview = child<wp::TextControl>(w, "txStep");
                const QString before = preview->document()->toPlainText();
                EXPECT_TRUE(before.contains(QStringLiteral("seq 0")));
                QTest::keyClicks(preview->editView(), QStringLiteral("typed"));
                QTest::keyClick(preview->editView(), Qt::Key_Backspace);
                QTest::keyClick(preview->editView(), Qt::Key_Return);
                EXPECT_EQ(preview->document()->toPlainText(), before);
                int pointer = 0;
                emit preview->FieldSetCursor(1, pointer);
                EXPECT_EQ(pointer, 12);
                child<QAction>(w, "1095")->trigger(); // Next at the end: nothing
                EXPECT_EQ(counter(w), "1 of 1");
                child<QAction>(w, "1091")->trigger();
            });
        EXPECT_EQ(result, "");
        EXPECT_FALSE(wp::modWP::FormInstance<frmStepper>::exists());
    }
    wp::modWP::setLockKeyReader(nullptr);
    EXPECT_TRUE(reports.reports.empty());
}

TEST_F(Stepper, windowWithoutSizeTakesItsShareOfTheScreen) {
    host.setRuntimeXML(QStringLiteral("<jdata><runmode><template_stepper_formsize width=\"0\" "
                                      "height=\"5000\"/></runmode></jdata>"));
    frmStepper form;
    form.setTx(&tx);
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    // 60 % × 70 % of the screen, but never below the window's 600 × 384 pixels.
    EXPECT_EQ(form.size(), QSize(std::max(600, qRound(screen.width() * 0.6)),
                                 std::max(384, qRound(screen.height() * 0.7))));
}

TEST_F(Stepper, databaseThatCannotBeOpenedFailsTheCallAfterItsReports) {
    QFile::remove(data.mdb());
    wptest::ReportRecorder reports;
    QString xml;
    wptest::expectFailsWithoutWindow([&] { host.CoverLetterStepper(xml); });
    ASSERT_GE(reports.reports.size(), 2u);
    EXPECT_EQ(reports.said(0), "-2147287038 frmStepper.StepperDataLoad");
    EXPECT_EQ(reports.said(reports.reports.size() - 1), "65535 clsWP.CoverLetterStepper");
    EXPECT_FALSE(wp::modWP::FormInstance<frmStepper>::exists());
}

TEST_F(Stepper, wptoolMergeDrawsEveryLetterOnItsOwnPages) {
    addRows(2);
    // The second sample is long enough for a second page.
    const QString longText = QStringLiteral("A long paragraph of experience. ").repeated(400);
    writeArchive(QStringLiteral("<s><job_app><company>Short Ltd</company></job_app>"
                                "<job_app><company>Long Inc</company><seq>%1</seq></job_app>"
                                "<job_app><seq>7</seq></job_app></s>")
                     .arg(longText));
    const QString templ = data.path() + QStringLiteral("/letter.wpdoc");
    ASSERT_TRUE(tx.SaveToFile(templ));
    const QString options = data.path() + QStringLiteral("/options.xml");
    ASSERT_TRUE(
        wptest::writeFile(options, "<options><option sort=\"a08\">dd.mm.yyyy</option></options>"));

    // What the stepper shows: each letter's pages.
    const wp::KXmlRef steps = frmStepper::BuildStepSet(data.mdb(), data.path() + "/app.mvdt");
    ASSERT_EQ(steps->ChildCount(), 5);
    host.setOptsXML(QStringLiteral("<options><option sort=\"a08\">d</option></options>"));
    std::vector<int> pages;
    for (int k = 0; k < 5; ++k) {
        wp::TextControl letter;
        letter.LoadFromMemory(tx.SaveToMemory(wp::fmt::Native), wp::fmt::Native);
        wp::modWP::LoadJobAppTemplateFields(&letter, steps->ChildAt(k));
        pages.push_back(letter.CurrentPages());
    }
    EXPECT_GE(pages[3], 2);
    const int total = std::accumulate(pages.begin(), pages.end(), 0);

    const QString pdf = data.path() + QStringLiteral("/all.pdf");
    const wptest::ToolRun run =
        wptest::wptool({"merge", templ, data.path(), pdf, "--options", options});
    ASSERT_EQ(run.code, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("5 letter(s), %1 page(s)").arg(total)));
    // A letter that keeps a field's title is named, and summed up at the end.
    EXPECT_TRUE(run.err.contains(QStringLiteral("letter 3: no value for Seq")))
        << run.err.toStdString();
    EXPECT_TRUE(run.err.endsWith(QStringLiteral(
        "5 letters, 2 with missing values: letter 3 (Seq), letter 5 (Company Name)\n")))
        << run.err.toStdString();
    ASSERT_EQ(wptest::pdfPageCount(pdf), total);
    // Letter k starts on the page after the pages of the letters before it.
    const QStringList expected = {wp::data::sampleJobApp(1).company + ", seq 1",
                                  wp::data::sampleJobApp(0).company + ", seq 0",
                                  "Dear Short Ltd, seq Seq", "Dear Long Inc, seq A long",
                                  "Dear Company Name, seq 7"};
    int first = 1;
    for (int k = 0; k < 5; ++k) {
        const QString text = wptest::pdfText(pdf, first, first + pages[k] - 1).simplified();
        EXPECT_TRUE(text.contains(expected[k])) << k << ": " << text.left(80).toStdString();
        EXPECT_EQ(text.count(QStringLiteral("Dear ")), 1) << k;
        first += pages[k];
    }
    EXPECT_TRUE(
        wptest::pdfText(pdf, 1, 1).contains(QRegularExpression("\\d\\d\\.\\d\\d\\.20\\d\\d")));

    // One RTF or Word file per letter; an earlier, longer run's letters are
    // all replaced, never mixed with the new ones.
    auto opensWith = [](const QString& file, const QString& start) {
        wp::TextControl letter;
        return letter.LoadFromFile(file) && letter.document()->toPlainText().startsWith(start);
    };
    const QString out = data.path() + QStringLiteral("/letters");
    ASSERT_TRUE(QDir().mkpath(out));
    for (const char* earlier : {"001.rtf", "006.rtf", "007.rtf"})
        ASSERT_TRUE(wptest::writeFile(out + u'/' + QLatin1String(earlier), "{\\rtf1 old}"));
    ASSERT_EQ(wptest::wptool({"merge", templ, data.path(), "--rtf", out}).code, 0);
    EXPECT_EQ(QDir(out).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList({"001.rtf", "002.rtf", "003.rtf", "004.rtf", "005.rtf"}));
    EXPECT_TRUE(opensWith(out + QStringLiteral("/001.rtf"), QStringLiteral("Dear ")));
    EXPECT_TRUE(opensWith(out + QStringLiteral("/003.rtf"), QStringLiteral("Dear Short Ltd")));
    const QString docxOut = data.path() + QStringLiteral("/letters-docx");
    ASSERT_EQ(wptest::wptool({"merge", templ, data.path(), "--docx", docxOut}).code, 0);
    EXPECT_EQ(QDir(docxOut).entryList(QDir::Files),
              QStringList({"001.docx", "002.docx", "003.docx", "004.docx", "005.docx"}));
    EXPECT_TRUE(opensWith(docxOut + QStringLiteral("/003.docx"), QStringLiteral("Dear Short Ltd")));

    // Refused runs: a missing value under --require-all, a folder with
    // anything else in it, missing or unreadable inputs, and (code 2) an
    // output that would overwrite an input.
    const QString strict = data.path() + QStringLiteral("/strict.pdf");
    const QString mixed = data.path() + QStringLiteral("/mixed");
    ASSERT_TRUE(QDir().mkpath(mixed));
    ASSERT_TRUE(wptest::writeFile(mixed + QStringLiteral("/notes.txt"), "mine"));
    const QByteArray database = wptest::fileBytes(data.mdb());
    const struct {
        QStringList args;
        int code;
        QString why;
    } refusals[] = {
        {{templ, data.path(), strict, "--require-all"}, 1, "letter 5 (Company Name)"},
        {{templ, data.path(), "--rtf", mixed}, 1, "empty or new folder"},
        {{data.path() + "/none.rtf", data.path(), pdf}, 1, ""},
        {{templ, out + "rtf", pdf}, 1, "mv.mdb"},
        {{templ, data.path(), pdf, "--options", templ}, 1, "a08"},
        {{templ, options, pdf}, 1, "is a file, not a folder"},
        {{templ, data.path(), data.mdb()}, 2, "OUT.pdf is the database itself"},
        {{templ, data.path(), data.path() + "/mv.mdw"}, 2, "OUT.pdf is the workgroup file itself"},
        {{templ, data.path(), data.path() + "/./app.mvdt"},
         2,
         "OUT.pdf is the template archive itself"},
        {{templ, data.path(), options, "--options", options},
         2,
         "OUT.pdf is the options file itself"},
        {{templ, data.path(), templ}, 2, "OUT.pdf is the template itself"},
        {{templ, data.path(), data.path() + "/letters.txt"}, 2, "OUT.pdf must end in .pdf"}};
    for (const auto& c : refusals) {
        const wptest::ToolRun r = wptest::wptool(QStringList{"merge"} + c.args);
        EXPECT_EQ(r.code, c.code) << c.args.join(u' ').toStdString();
        EXPECT_FALSE(r.err.isEmpty());
        EXPECT_TRUE(r.err.contains(c.why)) << r.err.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(strict));
    EXPECT_EQ(QDir(mixed).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList({"notes.txt"}));
    EXPECT_EQ(wptest::fileBytes(data.mdb()), database);
}

// A progress callback that throws (a cancel) out of the control's PDF export
// or the batch merge: the control keeps its device and zoom, no painter
// outlives its writer, and the PDF that was there stays, with no temporary
// file beside it.
TEST_F(Stepper, aCancelOutOfAPdfLeavesTheControlAndTheFileAsTheyWere) {
    addRows(3);
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("out.pdf"));
    tx.setSelText(QStringLiteral("More text. ").repeated(900));
    ASSERT_TRUE(tx.exportPdf(pdf));
    const QByteArray before = wptest::fileBytes(pdf);
    auto cancelAt2 = [](qint32 k, qint32) {
        if (k == 2)
            throw std::runtime_error("cancelled");
    };
    auto unchanged = [&] {
        EXPECT_EQ(wptest::fileBytes(pdf), before);
        EXPECT_EQ(
            QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList({"out.pdf"}));
    };

    QImage image(10, 10, QImage::Format_RGB32);
    QPainter own(&image);
    tx.setPrintDevice(&own);
    tx.setPrintZoom(60);
    EXPECT_THROW(tx.exportPdf(pdf, cancelAt2), std::runtime_error);
    EXPECT_EQ(tx.PrintDevice(), &own);
    EXPECT_EQ(tx.PrintZoom(), 60);
    unchanged();
    tx.setPrintDevice(nullptr);
    own.end();

    const wp::KXmlRef steps = frmStepper::BuildStepSet(data.mdb(), data.path() + "/app.mvdt");
    ASSERT_EQ(steps->ChildCount(), 3);
    EXPECT_THROW(wp::stepper::MergeToPdf(tx, steps, pdf, cancelAt2), std::runtime_error);
    unchanged();
    // Both still write afterwards.
    const auto merged = wp::stepper::MergeToPdf(tx, steps, pdf);
    EXPECT_TRUE(merged.ok) << merged.error.toStdString();
    EXPECT_EQ(wptest::pdfPageCount(pdf), merged.pages);
}
