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
#include <QPrinterInfo>
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
    int calls = 0, minPage = 0, maxPage = 0, fromPage = 0, toPage = 0, copies = 0;
};

class Printing : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        wp::setPrintDialogHandler([this](QPrintDialog& dialog) {
            QPrinter& p = *dialog.printer();
            ++answer.calls;
            answer.minPage = dialog.minPage();
            answer.maxPage = dialog.maxPage();
            answer.fromPage = p.fromPage();
            answer.toPage = p.toPage();
            answer.copies = p.copyCount();
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
    EXPECT_EQ(answer.minPage, 1);
    EXPECT_EQ(answer.maxPage, 5);
    EXPECT_EQ(answer.fromPage, 1);
    EXPECT_EQ(answer.toPage, 5);
    EXPECT_EQ(answer.copies, 1);
    EXPECT_EQ(wptest::pdfPageCount(pdf), 5);
    EXPECT_EQ(tx->ViewMode(), 1);

    answer.choose = [](QPrinter& p) {
        p.setPrintRange(QPrinter::PageRange);
        p.setFromTo(2, 3);
    };
    result = print(tx.get());
    EXPECT_EQ(wptest::pdfPageCount(pdf), 2);
    const QString text = wptest::pdfText(pdf, 1, 2);
    EXPECT_TRUE(text.contains(QLatin1String("Page 2"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QLatin1String("Page 3")));
    EXPECT_FALSE(text.contains(QLatin1String("Page 4")));

    // From and to below 1 mean the first and the last page.
    answer.choose = [](QPrinter& p) { p.setFromTo(0, 0); };
    print(tx.get());
    EXPECT_EQ(wptest::pdfPageCount(pdf), 5);
    // The dialog starts afresh every time.
    EXPECT_EQ(answer.fromPage, 1);
    EXPECT_EQ(answer.toPage, 5);

    answer.result = QDialog::Rejected;
    result = print(tx.get(), 256);
    EXPECT_FALSE(result.accepted);
    EXPECT_FALSE(QFile::exists(pdf));
    EXPECT_EQ(tx->ViewMode(), 1);
}

TEST_F(Printing, thePreviewPrintsAtFullSizeFrozenAndComesBackToItsZoom) {
    auto host = wptest::hostDocument(3);
    int zoomWhilePrinting = -1;
    bool updatesWhilePrinting = true;
    wptest::showPreview(host.get(), [&](frmPrintPreview* f) {
        command(f, 964)->trigger();
        answer.choose = [&](QPrinter&) {
            zoomWhilePrinting = f->property("m_iZoomMode").toInt();
            updatesWhilePrinting = f->updatesEnabled();
        };
        command(f, 968)->trigger();
        EXPECT_EQ(f->property("m_iZoomMode").toInt(), 1);
        EXPECT_TRUE(f->updatesEnabled());
        command(f, 966)->trigger();
    });
    EXPECT_EQ(answer.calls, 1);
    EXPECT_EQ(zoomWhilePrinting, 2);
    EXPECT_FALSE(updatesWhilePrinting);
    EXPECT_EQ(wptest::pdfPageCount(pdf), 3);
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
    ASSERT_TRUE(QPrinterInfo::printerInfo(queue()).printerName() == queue());
    auto tx = wptest::hostDocument(4);
    tx->setDocumentProperty(wp::info::Title, QStringLiteral("wp-print-test"));
    const int docsBefore = settledDocuments();
    const int jobsBefore = completedJobs();
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
    for (int i = docsBefore; i < docs.size(); ++i)
        copies += wptest::pdfPageCount(docs[i]) == 2;
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
    EXPECT_EQ(tx->ViewMode(), 1);
    // No control to print is no printer error: reported, and the call fails.
    EXPECT_THROW(PrintDialogTX(nullptr, flags), wp::Error);
    ASSERT_EQ(reports.reports.size(), 1u);
    EXPECT_EQ(reports.reports[0].module, QStringLiteral("modPrintDlg"));
    EXPECT_EQ(reports.reports[0].procedure, QStringLiteral("PrintDialogTX"));
    EXPECT_EQ(reports.reports[0].number, 91);
}
