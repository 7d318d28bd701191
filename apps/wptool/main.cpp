// wptool: command-line access to the library's document and data tools.
#include "Convert.h"
#include "PdfCommand.h"
#include "wp/wp.h"

#include <QApplication>
#include <QTextStream>

int dbCommand(const QStringList& args);    // DbCommand.cpp
int mergeCommand(const QStringList& args); // MergeCommand.cpp

static int usage() {
    QTextStream(stderr) << "usage: wptool version\n"
                           "       wptool convert IN OUT\n"
                           "       wptool merge TEMPLATE DATA_DIR OUT.pdf | --rtf OUTDIR\n";
    return 2;
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments().mid(1);
    if (args.isEmpty())
        return usage();
    if (args.first() == QStringLiteral("pdf"))
        return pdfCommand(args.mid(1));
    if (args.first() == QStringLiteral("merge"))
        return mergeCommand(args.mid(1));
    if (args.first() == QStringLiteral("db"))
        return dbCommand(args.mid(1));
    if (args.first() == QStringLiteral("version")) {
        wp::clsWP wp;
        QTextStream(stdout) << wp.Version() << "\n";
        return 0;
    }
    if (args.first() == QStringLiteral("convert"))
        return wptool::convert(args.mid(1));
    return usage();
}
