// wptool convert IN OUT: a document between RTF, Word, our native format and
// plain text, each chosen by the file's extension.
#include "Commands.h"

#include "wp/TextControl.h"

#include <QTextStream>

namespace wptool {

int convert(const QStringList& args) {
    QTextStream err(stderr);
    if (const int refused = rejectOptions(QStringLiteral("convert"), args))
        return refused;
    if (args.size() != 2)
        return usageError(QStringLiteral("convert"));
    const QString& in = args[0];
    const QString& out = args[1];
    if (wp::TextControl::formatForFile(out) == 0)
        return usageError(
            QStringLiteral("convert"),
            out + QStringLiteral(": unknown output format (use .rtf, .docx, .wpdoc or .txt)"));
    wp::TextControl tx;
    if (!tx.LoadFromFile(in)) {
        err << "wptool convert: " << tx.lastError() << "\n";
        return 1;
    }
    if (!tx.SaveToFile(out)) {
        err << "wptool convert: " << tx.lastError() << "\n";
        return 1;
    }
    return 0;
}

} // namespace wptool
