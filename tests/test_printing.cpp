// Printing through the print dialog seam: to a PDF file, and to the real
// PDF queue of the private CUPS scheduler that tools/test-services starts.
#include "preview/modPrintDlg.h"
#include "support/TestSupport.h"
#include "support/ToolSupport.h"
#include "test_previewDocs.h"
#include "wp/clsWP.h"
#include "wp/hooks.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

using wp::frmPrintPreview;
using wp::modPrintDlg::PrintDialogTX;
using wptest::command;

namespace {
// What the dialog showed, and the answer a handler gives.
struct Answer {
    int result = QDialog::Accepted;
    std::function<void(QPrinter&)> choose;
    int calls = 0;
    QString shown; // "from-to of min-max, copies"
};

class Printing : public ::testing::Test {
protected:
    void SetUp() override {
        wp::setPrintDialogHandler([this](QPrintDialog& dialog) {
            QPrinter& p = *dialog.printer();
            ++answer.calls;
            answer.shown = QStringLiteral("%1-%2 of %3-%4, %5")
                               .arg(p.fromPage())
                               .arg(p.toPage())
                               .arg(dialog.minPage())
                               .arg(dialog.maxPage())
                               .arg(p.copyCount());
            if (answer.choose)
                answer.choose(p);
            return answer.result;
        });
        pdf = dir.filePath(QStringLiteral("out.pdf"));
        wp::currentPrinter().setOutputFileName(pdf);
    }
    void TearDown() override { wp::setPrintDialogHandler({}); }

    wp::modPrintDlg::PRINTDLG_TYPE print(wp::TextControl* tx, qint32 flags = 0) {
        QFile::remove(pdf);
        return PrintDialogTX(tx, flags);
    }

    QTemporaryDir dir;
    QString pdf;
    Answer answer;
};
} // namespace

TEST_F(Printing, theDialogIsPrefilledAndTheChosenPagesReachThePdf) {
    auto tx = wptest::hostDocument(5);
    tx->setViewMode(1);
    qint32 flags = 0;
    QFile::remove(pdf);
    auto result = PrintDialogTX(tx.get(), flags);
    EXPECT_EQ(flags, wp::modPrintDlg::PD_RETURNDC);
    EXPECT_TRUE(result.accepted);
    EXPECT_EQ(result.jobsPrinted, 1);
    EXPECT_EQ(answer.shown, "1-5 of 1-5, 1");
    EXPECT_EQ(wptest::pdfPageCount(pdf), 5);
    EXPECT_EQ(tx->ViewMode(), 1);

    // From and to below 1 mean the first and the last page.
    answer.choose = [](QPrinter& p) { p.setFromTo(0, 0); };
    print(tx.get());
    EXPECT_EQ(wptest::pdfPageCount(pdf), 5);

    answer.result = QDialog::Rejected;
    result = print(tx.get(), 256);
    EXPECT_EQ(answer.shown, "1-5 of 1-5, 1") << "the dialog starts afresh every time";
    EXPECT_FALSE(result.accepted);
    EXPECT_FALSE(QFile::exists(pdf));
    EXPECT_EQ(tx->ViewMode(), 1);
}

namespace {
// The same pages, sheets and words, each word where the other PDF has it.
void expectSameWords(const wptest::PdfWords& got, const wptest::PdfWords& want) {
    ASSERT_EQ(got.pages.size(), want.pages.size());
    for (size_t p = 0; p < want.pages.size(); ++p) {
        SCOPED_TRACE(testing::Message() << "page " << p + 1);
        EXPECT_NEAR(got.sizes[p].width(), want.sizes[p].width(), 0.5);
        EXPECT_NEAR(got.sizes[p].height(), want.sizes[p].height(), 0.5);
        ASSERT_EQ(got.pages[p].size(), want.pages[p].size());
        for (size_t i = 0; i < want.pages[p].size(); ++i) {
            const wptest::PdfWord &g = got.pages[p][i], &w = want.pages[p][i];
            EXPECT_EQ(g.text, w.text);
            EXPECT_NEAR(g.xMin, w.xMin, 0.5) << w.text.toStdString();
            EXPECT_NEAR(g.yMin, w.yMin, 0.5) << w.text.toStdString();
            EXPECT_NEAR(g.xMax, w.xMax, 0.5) << w.text.toStdString();
            EXPECT_NEAR(g.yMax, w.yMax, 0.5) << w.text.toStdString();
        }
    }
}
} // namespace

// Whatever the preview shows (whole page, two pages, 75 %), the print is
// the document at 100 %: the words of exportPdf's PDF, where it has them.
TEST_F(Printing, thePreviewPrintsAtFullSizeFrozenAndComesBackToItsZoom) {
    auto host = wptest::hostDocument(3);
    const QString exported = dir.filePath(QStringLiteral("export.pdf"));
    ASSERT_TRUE(host->exportPdf(exported));
    const wptest::PdfWords want = wptest::pdfWords(exported);
    ASSERT_EQ(want.pages.size(), 3u);
    struct View {
        const char* name;
        std::vector<qint32> commands;
        int zoomMode;
        bool twoPages;
    };
    const View views[] = {
        {"whole page", {}, 0, false}, {"two pages", {963}, 0, true}, {"75 %", {964}, 1, false}};
    for (const View& v : views) {
        SCOPED_TRACE(v.name);
        QFile::remove(pdf);
        int zoomWhilePrinting = -1;
        bool updatesWhilePrinting = true;
        wptest::showPreview(host.get(), [&](frmPrintPreview* f) {
            for (qint32 id : v.commands)
                command(f, id)->trigger();
            QApplication::processEvents();
            const qint16 viewZoom = f->txPrev()->PrintZoom();
            EXPECT_LT(viewZoom, 100);
            answer.choose = [&](QPrinter&) {
                zoomWhilePrinting = f->property("m_iZoomMode").toInt();
                updatesWhilePrinting = f->updatesEnabled();
            };
            command(f, 968)->trigger();
            EXPECT_EQ(f->property("m_iZoomMode").toInt(), v.zoomMode);
            EXPECT_EQ(f->property("m_bTwoPages").toBool(), v.twoPages);
            EXPECT_EQ(f->txPrev()->PrintZoom(), viewZoom);
            EXPECT_TRUE(f->updatesEnabled());
            command(f, 966)->trigger();
        });
        EXPECT_EQ(zoomWhilePrinting, 2);
        EXPECT_FALSE(updatesWhilePrinting);
        expectSameWords(wptest::pdfWords(pdf), want);
    }
    EXPECT_EQ(answer.calls, 3);
}

// A plain OK in the real dialog prints on the document's paper, turned as
// the document is, whatever paper the printer had.
TEST_F(Printing, thePrintDialogStartsWithTheDocumentsPaper) {
    wp::setPrintDialogHandler([](QPrintDialog& dialog) {
        QTimer::singleShot(0, &dialog, [&dialog] { dialog.accept(); });
        return dialog.exec();
    });
    struct Case {
        int width, height;
        double widthPt, heightPt;
    };
    const Case cases[] = {{12240, 15840, 612, 792},     // Letter
                          {15840, 12240, 792, 612},     // Letter, landscape
                          {11906, 16838, 595.3, 841.9}, // A4
                          {8391, 11906, 419.6, 595.3}}; // A5
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
        wp::currentPrinter().setPageSize(
            QPageSize(c.width > 12000 && c.height > 15000 ? QPageSize::A4 : QPageSize::Letter));
        wp::currentPrinter().setPageOrientation(QPageLayout::Portrait);
        auto tx = wptest::hostDocument(1, c.width, c.height);
        const auto result = print(tx.get());
        EXPECT_TRUE(result.accepted);
        const wptest::PdfWords got = wptest::pdfWords(pdf);
        ASSERT_EQ(got.sizes.size(), 1u);
        EXPECT_NEAR(got.sizes[0].width(), c.widthPt, 0.5);
        EXPECT_NEAR(got.sizes[0].height(), c.heightPt, 0.5);
    }
}

namespace {
// The private queue of tools/test-services, or empty when it is not running.
QString queue() {
    return qEnvironmentVariable("WP_CUPS_QUEUE");
}

QStringList spooledDocuments() {
    QDir spool(qEnvironmentVariable("WP_CUPS_SPOOL"));
    QStringList docs = spool.entryList({QStringLiteral("d*-001")}, QDir::Files, QDir::Name);
    for (QString& d : docs)
        d = spool.filePath(d);
    return docs;
}

int completedJobs() {
    const QString out =
        wptest::output(QStringLiteral("lpstat"), {QStringLiteral("-W"), QStringLiteral("completed"),
                                                  QStringLiteral("-o"), queue()});
    return int(out.split(QLatin1Char('\n'), Qt::SkipEmptyParts).size());
}

// The queue's driver writes each job to ~/PDF under the job's title.
void removeQueueOutput() {
    QDir out(QDir::home().filePath(QStringLiteral("PDF")));
    for (const QString& f : out.entryList({QStringLiteral("wp-print-test*.pdf")}, QDir::Files))
        out.remove(f);
}

// The queue's documents once earlier cases' jobs have all arrived: no job
// pending and the count steady, so that a late job is not counted as ours.
int settledDocuments() {
    QElapsedTimer t;
    t.start();
    int last = -1;
    while (t.elapsed() < 30000) {
        const bool idle =
            wptest::output(QStringLiteral("lpstat"), {QStringLiteral("-o"), queue()}).isEmpty();
        const int now = int(spooledDocuments().size());
        if (idle && now == last)
            return now;
        last = now;
        QThread::msleep(300);
    }
    return last;
}

bool waitForCompletedJobs(int count) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 30000) {
        if (completedJobs() >= count)
            return true;
        QThread::msleep(100);
    }
    return false;
}
} // namespace

TEST_F(Printing, theQueueChosenBecomesCurrentAndEachCopyIsAJobOfTheRange) {
    WP_REQUIRE_SERVICE(!queue().isEmpty(),
                       "no print queue: run tools/test-services start (CUPS) first");
    auto tx = wptest::hostDocument(4);
    tx->setDocumentProperty(wp::info::Title, QStringLiteral("wp-print-test"));
    const int docsBefore = settledDocuments();
    const int jobsBefore = completedJobs();
    wp::currentPrinter().setPageSize(QPageSize(QPageSize::A4));
    answer.choose = [](QPrinter& p) {
        p.setPrinterName(queue());
        p.setCopyCount(2);
        p.setPrintRange(QPrinter::PageRange);
        p.setFromTo(2, 3);
    };
    const auto result = print(tx.get());
    EXPECT_EQ(result.jobsPrinted, 2);
    EXPECT_EQ(wp::currentPrinter().printerName(), queue());
    EXPECT_EQ(wp::currentPrinter().outputFormat(), QPrinter::NativeFormat);
    ASSERT_TRUE(waitForCompletedJobs(jobsBefore + 2));
    // Two new documents are the two copies, each of the range (the queue is
    // shared with other cases, whose jobs may arrive meanwhile).
    const QStringList docs = spooledDocuments();
    int copies = 0;
    // On the document's Letter paper, though the printer had A4.
    for (int i = docsBefore; i < docs.size(); ++i)
        if (wptest::pdfPageCount(docs[i]) == 2) {
            ++copies;
            EXPECT_TRUE(wptest::pdfInfo(docs[i]).contains(QStringLiteral("612 x 792")))
                << wptest::pdfInfo(docs[i]).toStdString();
        }
    EXPECT_EQ(copies, 2);
    removeQueueOutput();

    // A name that differs only in case is the printer we have.
    answer.choose = [](QPrinter& p) { p.setPrinterName(queue().toLower()); };
    print(tx.get());
    EXPECT_EQ(wp::currentPrinter().printerName(), queue());
    ASSERT_TRUE(waitForCompletedJobs(jobsBefore + 3));
    removeQueueOutput();
}

TEST_F(Printing, cancellingALongJobStopsItAndStartsNoFurtherCopy) {
    auto tx = wptest::hostDocument(8);
    tx->setDocumentProperty(wp::info::Title, QStringLiteral("wp-print-test"));
    bool cancelled = false;
    auto cancelSoon = [&] {
        // Cancel as soon as the progress dialog takes events.
        QTimer::singleShot(0, [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* progress = qobject_cast<QProgressDialog*>(w);
                    progress && progress->objectName() == QLatin1String("dlgPrintProgress")) {
                    progress->cancel();
                    cancelled = true;
                }
        });
    };
    // A file: nothing of the stopped job is left.
    answer.choose = [&](QPrinter& p) {
        p.setCopyCount(2);
        cancelSoon();
    };
    auto result = print(tx.get());
    EXPECT_TRUE(cancelled);
    EXPECT_TRUE(result.accepted);
    EXPECT_EQ(result.jobsPrinted, 0);
    EXPECT_FALSE(QFile::exists(pdf));
    EXPECT_EQ(tx->PrintDevice(), nullptr);

    WP_REQUIRE_SERVICE(!queue().isEmpty(),
                       "no print queue: run tools/test-services start (CUPS) first");
    // A queue: the job in hand ends short, no second copy follows.
    const int docsBefore = settledDocuments();
    const int jobsBefore = completedJobs();
    cancelled = false;
    answer.choose = [&](QPrinter& p) {
        p.setPrinterName(queue());
        p.setCopyCount(2);
        cancelSoon();
    };
    result = print(tx.get());
    EXPECT_TRUE(cancelled);
    EXPECT_EQ(result.jobsPrinted, 0);
    // Whatever reached the queue before the Cancel took (the job in hand,
    // cut short) is less than one whole copy of the eight pages.
    const QStringList docs = spooledDocuments();
    EXPECT_TRUE(waitForCompletedJobs(jobsBefore + int(docs.size()) - docsBefore));
    for (int i = docsBefore; i < docs.size(); ++i)
        EXPECT_LT(wptest::pdfPageCount(docs[i]), 8) << docs[i].toStdString();
    removeQueueOutput();
}

TEST_F(Printing, aPrinterErrorStopsQuietlyOtherFailuresAreReported) {
    wptest::ReportRecorder reports;
    wptest::MessageRecorder messages;
    auto tx = wptest::hostDocument(2);
    tx->setViewMode(1);
    // A file that cannot be written: the printer refuses the job (482).
    answer.choose = [](QPrinter& p) {
        p.setOutputFileName(QStringLiteral("/nonexistent-directory/out.pdf"));
    };
    qint32 flags = 256;
    const auto result = PrintDialogTX(tx.get(), flags);
    EXPECT_TRUE(result.accepted);
    EXPECT_EQ(result.jobsPrinted, 0);
    EXPECT_TRUE(reports.reports.empty());
    EXPECT_TRUE(messages.messages.empty());
    EXPECT_EQ(tx->ViewMode(), 1);
    // No control to print is no printer error: reported, and the call fails.
    EXPECT_THROW(PrintDialogTX(nullptr, flags), wp::Error);
    ASSERT_EQ(reports.reports.size(), 1u);
    EXPECT_EQ(reports.said(0), "91 modPrintDlg.PrintDialogTX");
}

// Copies printed into a file are one job, the file holds each of them, and
// a file that cannot be written whole is not written: the one that was
// there stays.
TEST_F(Printing, aFileHoldsEveryCopyAndIsWrittenWholeOrNotAtAll) {
    wptest::MessageRecorder messages;
    auto tx = wptest::hostDocument(3);
    answer.choose = [](QPrinter& p) {
        p.setCopyCount(2);
        p.setPrintRange(QPrinter::PageRange);
        p.setFromTo(2, 3);
    };
    auto result = print(tx.get());
    EXPECT_EQ(result.jobsPrinted, 1);
    const QStringList pages = wptest::pdfPageTexts(pdf);
    ASSERT_EQ(pages.size(), 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(pages[i].contains(QStringLiteral("Page %1").arg(2 + i % 2))) << i;
    EXPECT_TRUE(messages.messages.empty());

    // A landscape section's pages go on its paper, as in exportPdf's PDF.
    wp::TextControl turned;
    ASSERT_TRUE(turned.LoadFromMemory("{\\rtf1 Upright\\par\\sect\\sectd\\pgwsxn15840"
                                      "\\pghsxn12240\\marglsxn2880 Turned\\par}",
                                      wp::fmt::Rtf));
    const QString exported = dir.filePath(QStringLiteral("export.pdf"));
    ASSERT_TRUE(turned.exportPdf(exported));
    answer.choose = [](QPrinter& p) { p.setCopyCount(2); };
    print(&turned);
    const wptest::PdfWords want = wptest::pdfWords(exported), got = wptest::pdfWords(pdf);
    ASSERT_EQ(got.sizes.size(), 4u);
    EXPECT_GT(want.sizes[1].width(), want.sizes[1].height());
    expectSameWords(got, {{want.sizes[0], want.sizes[1], want.sizes[0], want.sizes[1]},
                          {want.pages[0], want.pages[1], want.pages[0], want.pages[1]}});
    QFile::remove(exported);

    QFile kept(pdf);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    const QByteArray before = kept.readAll();
    kept.close();
    // A device the file cannot be written to whole; the file there before stays.
    answer.choose = [](QPrinter& p) { p.setOutputFileName(QStringLiteral("/dev/full")); };
    qint32 flags = 0;
    result = PrintDialogTX(tx.get(), flags);
    EXPECT_EQ(result.jobsPrinted, 0);
    EXPECT_TRUE(messages.messages.empty());
    EXPECT_EQ(tx->PrintDevice(), nullptr);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList({"out.pdf"}));
}
