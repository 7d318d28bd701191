#include "Convert.h"

#include "wp/TextControl.h"

#include <QTextStream>

namespace wptool {

int convert(const QStringList& args) {
    QTextStream err(stderr);
    if (args.size() != 2) {
        err << "usage: wptool convert IN OUT   (IN and OUT: .rtf, .wpdoc or .txt)\n";
        return 2;
    }
    const QString& in = args[0];
    const QString& out = args[1];
    if (wp::TextControl::formatForFile(out) == 0) {
        err << "wptool: " << out << ": unknown output format (use .rtf, .wpdoc or .txt)\n";
        return 2;
    }
    wp::TextControl tx;
    if (!tx.LoadFromFile(in)) {
        err << "wptool: " << tx.lastError() << "\n";
        return 1;
    }
    if (!tx.SaveToFile(out)) {
        err << "wptool: " << tx.lastError() << "\n";
        return 1;
    }
    return 0;
}

} // namespace wptool
