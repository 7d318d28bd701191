// wptool pdf: a document's pages, headers and footers included, as PDF.
#include "PdfCommand.h"

#include "Commands.h"
#include "Console.h"
#include "wp/TextControl.h"

#include <QTextStream>

int pdfCommand(const QStringList& args) {
    QTextStream err(stderr);
    if (const int refused = wptool::rejectOptions(QStringLiteral("pdf"), args))
        return refused;
    if (args.size() != 2)
        return wptool::usageError(QStringLiteral("pdf"));
    const QString in = args[0], out = args[1];
    if (wptool::sameFile(in, out))
        return wptool::usageError(QStringLiteral("pdf"), QStringLiteral("OUT.pdf is IN itself"));
    if (!wptool::isPdfTarget(out))
        return wptool::usageError(QStringLiteral("pdf"),
                                  out + QStringLiteral(": OUT.pdf must end in .pdf"));
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
