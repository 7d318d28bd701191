#include "preview/modPrintDlg.h"

#include "document/PdfSheets.h"
#include "errors/modvbCodeShieldSupport.h"
#include "wp/TextControl.h"
#include "wp/hooks.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPageSize>
#include <QPainter>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProgressDialog>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QWidget>
#include <algorithm>
#include <optional>
#include <vector>

namespace wp::modPrintDlg {

using modvbCodeShieldSupport::Guard;

namespace {
QPointer<QWidget> g_lockedWindow;

[[noreturn]] void printerError(const QString& why) {
    raise(ErrPrinter, QStringLiteral("wp"), why);
}

[[noreturn]] void printerError(const QPrinter& printer) {
    raise(ErrPrinter, QStringLiteral("wp"),
          QStringLiteral("Printer error: the printer \"%1\" did not take the job.")
              .arg(printer.outputFormat() == QPrinter::PdfFormat ? printer.outputFileName()
                                                                 : printer.printerName()));
}

// The dialog works on a printer of its own, set up like the current one, so
// that the choice can be applied to the current printer setting by setting.
void copyPrinterSettings(const QPrinter& from, QPrinter& to) {
    to.setFullPage(true);
    if (from.outputFormat() == QPrinter::PdfFormat) {
        if (!from.outputFileName().isEmpty())
            to.setOutputFileName(from.outputFileName());
    } else if (!from.printerName().isEmpty()) {
        to.setPrinterName(from.printerName());
    }
    to.setPageLayout(from.pageLayout());
    to.setDuplex(from.duplex());
    to.setColorMode(from.colorMode());
    to.setPaperSource(from.paperSource());
    if (!from.docName().isEmpty())
        to.setDocName(from.docName());
    if (from.outputFormat() == QPrinter::NativeFormat && from.printerName().isEmpty())
        raise(ErrPrinterInfo, QStringLiteral("wp"),
              QStringLiteral("Printer information is not available: no printer is installed."));
}

// The document's sheet as the dialog's first choice, so that a plain OK
// prints the document as it looks: the printer's own paper of that size
// (turned for a landscape document), any size for a file. A printer without
// such a paper keeps its own.
void chooseDocumentPaper(QPrinter& p, qint32 width, qint32 height) {
    if (width <= 0 || height <= 0)
        return;
    const bool landscape = width > height;
    // Points: 20 twips each.
    const QSizeF portrait =
        landscape ? QSizeF(height / 20.0, width / 20.0) : QSizeF(width / 20.0, height / 20.0);
    QPageSize size;
    if (p.outputFormat() == QPrinter::PdfFormat) {
        size = QPageSize(portrait, QPageSize::Point, QString(), QPageSize::FuzzyMatch);
    } else {
        // Within a point, as the page dialog names a paper within 10 twips.
        for (const QPageSize& s : QPrinterInfo(p).supportedPageSizes()) {
            const QSizeF pt = s.size(QPageSize::Point);
            if (qAbs(pt.width() - portrait.width()) <= 1 &&
                qAbs(pt.height() - portrait.height()) <= 1) {
                size = s;
                break;
            }
        }
    }
    if (!size.isValid())
        return;
    p.setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    p.setPageSize(size);
    p.setPageMargins(QMarginsF(0, 0, 0, 0));
}

// The file a document prints to when no file was chosen yet: its title as a
// PDF in the documents folder (the home folder when there is none).
QString defaultPdfFile(const QString& docName) {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (dir.isEmpty() || !QDir(dir).exists())
        dir = QDir::homePath();
    QString base = docName.trimmed();
    static const QRegularExpression unsafe(QStringLiteral(R"([/\\:*?"<>|\x00-\x1F])"));
    base.replace(unsafe, QStringLiteral("_"));
    if (base.isEmpty() || base.startsWith(QLatin1Char('.')))
        base = QStringLiteral("Document");
    return QDir(dir).filePath(base + QStringLiteral(".pdf"));
}
} // namespace

PRINTDLG_TYPE PrintDialogTX(TextControl* tx, qint32& PrintFlags) {
    PRINTDLG_TYPE PRINTDLG;
    qint16 iViewMode = 0;
    bool bReturn = false;
    QString NewPrinterName;
    qint32 iStartPage = 0;
    qint32 iEndPage = 0;
    qint32 intCopies = 0;
    qint32 lngErrNum = 0;
    QString strErrDesc;
    QString strErrSrc;
    Guard g("modPrintDlg", "PrintDialogTX");
    g.param(QStringLiteral("tx"), tx)
        .param(QStringLiteral("PrintFlags"), PrintFlags)
        .local(QStringLiteral("iViewMode"), iViewMode)
        .local(QStringLiteral("bReturn"), bReturn)
        .local(QStringLiteral("NewPrinterName"), NewPrinterName)
        .local(QStringLiteral("iStartPage"), iStartPage)
        .local(QStringLiteral("iEndPage"), iEndPage)
        .local(QStringLiteral("intCopies"), intCopies)
        .local(QStringLiteral("lngErrNum"), lngErrNum)
        .local(QStringLiteral("strErrDesc"), strErrDesc)
        .local(QStringLiteral("strErrSrc"), strErrSrc);
    return g.run([&] {
        if (!tx)
            raise(err::ObjectNotSet);
        iViewMode = tx->ViewMode();
        if (PrintFlags == 0)
            PrintFlags = PD_RETURNDC;
        const qint32 pages = tx->CurrentPages();
        PRINTDLG.Flags = PrintFlags;
        PRINTDLG.nFromPage = 1;
        PRINTDLG.nToPage = pages;
        PRINTDLG.nMinPage = 1;
        PRINTDLG.nMaxPage = pages;
        PRINTDLG.nCopies = 1;

        // Whatever happens below, the control keeps its view mode and no
        // device of ours.
        QPainter* oldDevice = tx->PrintDevice();
        auto restore = qScopeGuard([&] {
            tx->setPrintDevice(oldDevice);
            tx->setViewMode(iViewMode);
        });

        // A printer error (482) ends the work, missing printer information
        // (484) is passed over, anything else goes to the report.
        bool stopped = false;
        auto step = [&](auto&& body) {
            if (stopped)
                return;
            try {
                body();
            } catch (...) {
                const Error e = modvbCodeShieldSupport::currentError(std::current_exception());
                lngErrNum = e.number;
                strErrDesc = e.description;
                strErrSrc = e.source;
                if (lngErrNum == ErrPrinter)
                    stopped = true;
                else if (lngErrNum != ErrPrinterInfo)
                    throw;
            }
        };

        QPrinter& printer = currentPrinter();
        QPrinter dlgPrinter(QPrinter::HighResolution);
        // The dialog fills in its file name as it is built: give it the
        // current printer's file, or one named after the document.
        step([&] {
            QString docName = printer.docName();
            if (docName.isEmpty())
                docName = tx->documentProperty(info::Title);
            dlgPrinter.setDocName(docName);
            const bool toFile = printer.outputFormat() == QPrinter::PdfFormat &&
                                !printer.outputFileName().isEmpty();
            dlgPrinter.setOutputFileName(toFile ? printer.outputFileName()
                                                : defaultPdfFile(docName));
            // The dialog reads the paper as it is built, too.
            chooseDocumentPaper(dlgPrinter, tx->PageWidth(), tx->PageHeight());
        });
        QPrintDialog dialog(&dlgPrinter);
        dialog.setObjectName(QStringLiteral("PrintDialog"));
        // After the dialog is built: building it selects a printer of its own.
        step([&] {
            copyPrinterSettings(printer, dlgPrinter);
            chooseDocumentPaper(dlgPrinter, tx->PageWidth(), tx->PageHeight());
        });
        step([&] {
            dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
            dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
            dialog.setMinMax(PRINTDLG.nMinPage, PRINTDLG.nMaxPage);
            dlgPrinter.setPrintRange(QPrinter::AllPages);
            dlgPrinter.setFromTo(PRINTDLG.nFromPage, PRINTDLG.nToPage);
            dlgPrinter.setCopyCount(PRINTDLG.nCopies);
            bReturn = ExecPrintDialog(dialog) == QDialog::Accepted;
        });
        PRINTDLG.accepted = bReturn;
        if (!bReturn || stopped)
            return PRINTDLG;

        step([&] {
            NewPrinterName = dlgPrinter.printerName().toUpper();
            if (dlgPrinter.outputFormat() == QPrinter::PdfFormat) {
                if (!dlgPrinter.outputFileName().isEmpty())
                    printer.setOutputFileName(dlgPrinter.outputFileName());
            } else if (NewPrinterName != printer.printerName().toUpper() ||
                       printer.outputFormat() != QPrinter::NativeFormat) {
                // Names compare without regard to case; the whole list is searched.
                const QList<QPrinterInfo> installed = QPrinterInfo::availablePrinters();
                for (const QPrinterInfo& info : installed) {
                    if (info.printerName().toUpper() == NewPrinterName) {
                        // Output to a file would win over the queue.
                        printer.setOutputFileName(QString());
                        printer.setPrinterName(info.printerName());
                    }
                }
            }
        });

        // Each setting on its own; a printer that refuses one keeps its own.
        printer.setFullPage(true);
        printer.setDuplex(dlgPrinter.duplex());
        printer.setPageOrientation(dlgPrinter.pageLayout().orientation());
        printer.setPageSize(dlgPrinter.pageLayout().pageSize());
        printer.setColorMode(dlgPrinter.colorMode());
        printer.setPaperSource(dlgPrinter.paperSource());
        // Every copy is a job of its own, so each job carries one copy.
        printer.setCopyCount(1);

        PRINTDLG.nCopies = dlgPrinter.copyCount();
        PRINTDLG.nFromPage = dlgPrinter.fromPage();
        PRINTDLG.nToPage = dlgPrinter.toPage();
        iStartPage = PRINTDLG.nFromPage < 1 ? 1 : PRINTDLG.nFromPage;
        iEndPage = PRINTDLG.nToPage < 1 ? pages : PRINTDLG.nToPage;
        // A range past the end prints the pages that exist.
        iEndPage = std::min(iEndPage, pages);
        intCopies = PRINTDLG.nCopies < 1 ? 1 : PRINTDLG.nCopies;

        tx->setViewMode(2);
        if (printer.docName().isEmpty()) {
            const QString title = tx->documentProperty(info::Title);
            printer.setDocName(title.isEmpty() ? QStringLiteral("Document") : title);
        }

        const int pagesPerJob = std::max(0, iEndPage - iStartPage + 1);
        const int total = pagesPerJob * intCopies;
        if (pagesPerJob == 0)
            return PRINTDLG;
        std::unique_ptr<QProgressDialog> progress;
        if (total > ProgressThreshold) {
            progress =
                std::make_unique<QProgressDialog>(QString(), QStringLiteral("Cancel"), 0, total);
            progress->setObjectName(QStringLiteral("dlgPrintProgress"));
            progress->setWindowTitle(QStringLiteral("Printing"));
            progress->setWindowModality(Qt::ApplicationModal);
            progress->setMinimumDuration(0);
            progress->setAutoClose(false);
            progress->setAutoReset(false);
            progress->setValue(0);
        }
        // A file holds every copy, one after another, and is one job: it is
        // written beside its place and put there only when whole. A queue
        // takes one job per copy.
        const bool toFile =
            printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty();
        // The job's objects go before the message below.
        {
            std::unique_ptr<PdfSheets> file;
            QPainter queuePainter;
            QPainter* painter = &queuePainter;
            // The pages of a section with paper of its own go on that paper,
            // the others on the paper chosen.
            QPageLayout chosen = printer.pageLayout();
            if (toFile) {
                chosen.setMinimumMargins(QMarginsF());
                chosen.setMargins(QMarginsF());
            }
            std::vector<std::optional<QPageLayout>> ownPaper;
            bool mixed = false;
            for (qint32 page = iStartPage; page <= iEndPage; ++page) {
                const PageFormat f = tx->pageFormatOf(page);
                const bool own = f.width != tx->PageWidth() || f.height != tx->PageHeight();
                ownPaper.push_back(own ? std::optional(sheetLayout(f)) : std::nullopt);
                mixed = mixed || own;
            }
            auto paperOf = [&](qint32 page) {
                return ownPaper[size_t(page - iStartPage)].value_or(chosen);
            };
            auto beginJob = [&] {
                if (toFile) {
                    file = std::make_unique<PdfSheets>(printer.outputFileName());
                    if (!file->begin(paperOf(iStartPage), printer.resolution(), printer.docName(),
                                     printer.creator()))
                        printerError(file->error());
                    painter = &file->painter();
                } else {
                    if (mixed)
                        printer.setPageLayout(paperOf(iStartPage));
                    if (!queuePainter.begin(&printer))
                        printerError(printer);
                }
            };
            auto endJob = [&] {
                tx->setPrintDevice(oldDevice);
                if (toFile) {
                    if (!file->finish())
                        printerError(file->error());
                } else if (!queuePainter.end() || printer.printerState() == QPrinter::Error) {
                    printerError(printer);
                }
                ++PRINTDLG.jobsPrinted;
            };
            // A job stopped halfway: a queue's is closed with the pages drawn so
            // far (a queue cannot take back a job once it has begun, and Qt's
            // print engines cannot abort one); a file's is dropped, and the file
            // that was there stays.
            auto finish = qScopeGuard([&] {
                tx->setPrintDevice(oldDevice);
                if (queuePainter.isActive()) {
                    printer.abort();
                    queuePainter.end();
                }
                file.reset();
            });
            int done = 0;
            bool cancelled = false;
            bool jobOpen = false;
            for (int copy = 1; copy <= intCopies && !stopped && !cancelled; ++copy) {
                if (!jobOpen) {
                    step(beginJob);
                    jobOpen = !stopped;
                }
                for (qint32 page = iStartPage; page <= iEndPage && !stopped; ++page) {
                    step([&] {
                        const bool firstOfJob = page == iStartPage && (copy == 1 || !toFile);
                        if (!firstOfJob && !toFile && mixed)
                            printer.setPageLayout(paperOf(page));
                        if (!firstOfJob &&
                            !(toFile ? (mixed ? file->newPage(paperOf(page)) : file->newPage())
                                     : printer.newPage()))
                            printerError(printer);
                        tx->setPrintDevice(painter);
                        tx->PrintPage(page);
                    });
                    ++done;
                    if (progress) {
                        progress->setLabelText(
                            QStringLiteral("Printing page %1 of %2, copy %3 of %4")
                                .arg(page)
                                .arg(iEndPage)
                                .arg(copy)
                                .arg(intCopies));
                        progress->setValue(done);
                        QCoreApplication::processEvents();
                        if (progress->wasCanceled()) {
                            cancelled = true;
                            break;
                        }
                    }
                }
                if (cancelled || stopped || (toFile && copy < intCopies))
                    continue;
                step(endJob);
                jobOpen = false;
            }
        }
        return PRINTDLG;
    });
}

void LockWindow(QWidget* hwnd, bool blnValue) {
    Guard g("modPrintDlg", "LockWindow");
    g.param(QStringLiteral("hwnd"), hwnd).param(QStringLiteral("blnValue"), blnValue);
    g.run([&] {
        if (blnValue) {
            if (!hwnd)
                raise(err::ObjectNotSet);
            if (g_lockedWindow && g_lockedWindow != hwnd)
                g_lockedWindow->setUpdatesEnabled(true);
            hwnd->setUpdatesEnabled(false);
            g_lockedWindow = hwnd;
        } else if (g_lockedWindow) {
            g_lockedWindow->setUpdatesEnabled(true);
            g_lockedWindow = nullptr;
        }
    });
}

} // namespace wp::modPrintDlg
