// wptool pdf: a document's pages, headers and footers included, as PDF.
#include "PdfCommand.h"

#include "Commands.h"
#include "Console.h"
#include "wp/TextControl.h"

#include <QFileInfo>
#include <QTextStream>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

// Qt's PDF writer reads every page's content through a fresh 10 MB buffer
// (and compresses into another). glibc hands blocks that large out as
// separate mappings, or trims them off the heap top when freed, so each
// page paid for new zero-filled memory: about a third of the command's
// time on a 30-page document. Keeping such blocks on the heap lets every
// page reuse the memory the first one touched.
void keepLargeBlocksOnHeap() {
#ifdef __GLIBC__
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 128 * 1024 * 1024);
#endif
}

} // namespace

int pdfCommand(const QStringList& args) {
    QTextStream err(stderr);
    if (args.size() != 2)
        return wptool::usageError(QStringLiteral("pdf"));
    keepLargeBlocksOnHeap();
    const QString in = args[0], out = args[1];
    if (QFileInfo(in) == QFileInfo(out))
        return wptool::usageError(QStringLiteral("pdf"), QStringLiteral("OUT.pdf is IN itself"));
    wp::TextControl tc;
    if (!tc.LoadFromFile(in)) {
        err << "wptool pdf: " << tc.lastError() << "\n";
        return 1;
    }
    wptool::ProgressLine line(QStringLiteral("wptool pdf: page"));
    if (!tc.exportPdf(out, [&line](qint32 k, qint32 n) { line.show(k, n); })) {
        err << "wptool pdf: " << tc.lastPdfError() << "\n";
        return 1;
    }
    line.clear();
    QTextStream(stdout) << out << ": " << tc.CurrentPages() << " page(s)\n";
    return 0;
}
