// Embedding wp: a host gives clsWP its environment and its document, then
// opens the page setup and the print preview over that document.
//
//   embed [--headless] DOCUMENT
//
// --headless is for machines with no one at the screen: each dialog is
// answered as soon as it opens (its OK button, else it is closed).
#include <wp/wp.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QTimer>
#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool headless = args.removeAll(QStringLiteral("--headless")) > 0;
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: embed [--headless] DOCUMENT\n");
        return 2;
    }
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [] {
        if (QWidget* dialog = QApplication::activeModalWidget()) {
            if (auto* ok = dialog->findChild<QAbstractButton*>(QStringLiteral("pbOK")))
                ok->click();
            else
                dialog->close();
        }
    });
    if (headless)
        answer.start(100);

    wp::TextControl doc; // the host's document
    if (!doc.LoadFromFile(args.first())) {
        std::fprintf(stderr, "embed: %s\n", qPrintable(doc.lastError()));
        return 1;
    }
    try {
        wp::clsWP wp;
        wp.setEnvXML(QStringLiteral("<env><in_ide>false</in_ide><user>demo</user>"
                                    "<data_dir>%1/</data_dir></env>")
                         .arg(QDir::currentPath()));
        wp.setOptsXML(
            QStringLiteral("<options><option sort=\"a08\">MMMM d, yyyy</option></options>"));
        wp.setMeasurementUnits(2); // inches
        wp.setTx(&doc);

        // The page setup works on the host's page XML, in twips.
        QString page = QStringLiteral("<page_setup><page_size width=\"%1\" height=\"%2\"/>"
                                      "<doc_margins left=\"%3\" top=\"%4\" right=\"%5\" "
                                      "bottom=\"%6\"/></page_setup>")
                           .arg(doc.PageWidth())
                           .arg(doc.PageHeight())
                           .arg(doc.PageMarginL())
                           .arg(doc.PageMarginT())
                           .arg(doc.PageMarginR())
                           .arg(doc.PageMarginB());
        const QString chosen = wp.PageDialogShow(page); // "" when cancelled
        std::printf("page setup: %s\n", chosen.isEmpty() ? "cancelled" : qPrintable(chosen));

        QString unused;
        wp.PrintPreviewShow(unused); // returns once the preview has closed
        std::printf("preview closed\n");
    } catch (const wp::Error& e) {
        // The library has reported the failure already; e.number is 65535.
        std::fprintf(stderr, "embed: %s (%d)\n", qPrintable(e.description), e.number);
        return 1;
    }
    return 0;
}
