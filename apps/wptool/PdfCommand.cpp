// wptool pdf: a document's pages, headers and footers included, as PDF.
#include "PdfCommand.h"

#include "wp/TextControl.h"

#include <QTextStream>

int pdfCommand(const QStringList& args) {
    QTextStream err(stderr);
    if (args.size() != 2) {
        err << "usage: wptool pdf IN OUT.pdf\n";
        return 2;
    }
    const QString in = args[0], out = args[1];
    wp::TextControl tc;
    if (!tc.LoadFromFile(in)) {
        err << "wptool pdf: " << tc.lastError() << "\n";
        return 1;
    }
    if (!tc.exportPdf(out)) {
        err << "wptool pdf: " << tc.lastPdfError() << "\n";
        return 1;
    }
    QTextStream(stdout) << out << ": " << tc.CurrentPages() << " page(s)\n";
    return 0;
}
