#include "stepper/StepperBatch.h"

#include "document/PdfSheets.h"

#include "stepper/TemplateMerge.h"
#include "wp/TextControl.h"

#include <QDir>

namespace wp::stepper {

namespace {
// Runs `each` on the letter of every step, merged into a fresh copy of the
// template; stops at the first letter `each` refuses.
template <class Each>
BatchResult forEachLetter(const TextControl& templ, const KXmlRef& steps, const Progress& progress,
                          Each&& each) {
    BatchResult r;
    const QByteArray source = templ.SaveToMemory(fmt::Native, false);
    const qint32 count = steps ? steps->ChildCount() : 0;
    TextControl letter;
    for (qint32 k = 1; k <= count; ++k) {
        if (!letter.LoadFromMemory(source, fmt::Native, false)) {
            r.error = letter.lastError();
            return r;
        }
        modWP::LoadJobAppTemplateFields(&letter, steps->ChildAt(k - 1));
        if (!each(letter, k, r))
            return r;
        ++r.letters;
        if (progress)
            progress(k, count);
    }
    r.ok = true;
    return r;
}
} // namespace

BatchResult MergeToPdf(const TextControl& templ, const KXmlRef& steps, const QString& pdfPath,
                       const Progress& progress) {
    QPainter painter;
    QString error;
    const auto writer = beginPdfSheets(pdfPath, templ.pageFormat(), QString(), painter, error);
    if (!writer) {
        BatchResult r;
        r.error = error;
        return r;
    }
    BatchResult r = forEachLetter(templ, steps, progress,
                                  [&](TextControl& letter, qint32, BatchResult& result) {
                                      letter.setPrintDevice(&painter);
                                      letter.setPrintZoom(100);
                                      const qint32 pages = letter.CurrentPages();
                                      for (qint32 p = 1; p <= pages; ++p) {
                                          if (result.pages > 0)
                                              writer->newPage();
                                          letter.PrintPage(p);
                                          ++result.pages;
                                      }
                                      letter.setPrintDevice(nullptr);
                                      return true;
                                  });
    if (!painter.end() && r.ok) {
        r.ok = false;
        r.error = QStringLiteral("Cannot finish the PDF file \"%1\".").arg(pdfPath);
    }
    return r;
}

BatchResult MergeToRtf(const TextControl& templ, const KXmlRef& steps, const QString& dir,
                       const Progress& progress) {
    return MergeToFiles(templ, steps, dir, fmt::Rtf, progress);
}

BatchResult MergeToFiles(const TextControl& templ, const KXmlRef& steps, const QString& dir,
                         int format, const Progress& progress) {
    if (!QDir().mkpath(dir)) {
        BatchResult r;
        r.error = QStringLiteral("Cannot create the folder \"%1\".").arg(dir);
        return r;
    }
    const QString extension = format == fmt::Docx ? QStringLiteral("docx") : QStringLiteral("rtf");
    return forEachLetter(
        templ, steps, progress, [&](TextControl& letter, qint32 k, BatchResult& result) {
            const QString file = QDir(dir).filePath(
                QStringLiteral("%1.%2").arg(k, 3, 10, QLatin1Char('0')).arg(extension));
            if (!letter.SaveToFile(file, format)) {
                result.error = letter.lastError();
                return false;
            }
            result.pages += letter.CurrentPages();
            return true;
        });
}

} // namespace wp::stepper
