// wptool: command-line access to the library's document and data tools.
#include "Commands.h"
#include "Console.h"
#include "wp/wp.h"

#include <QApplication>
#include <QTextStream>
#include <exception>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

// Qt's PDF writer reads every page's content through a fresh 10 MB buffer
// (and compresses into another). glibc hands blocks that large out as
// separate mappings, or trims them off the heap top when freed, so each
// page paid for new zero-filled memory: about a third of `pdf`'s time on a
// 30-page document; `merge` writes its letters the same way. Keeping such
// blocks on the heap lets every page reuse the memory the first one touched.
void keepLargeBlocksOnHeap() {
#ifdef __GLIBC__
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 128 * 1024 * 1024);
#endif
}

int run(const QStringList& args) {
    using namespace wptool;
    QTextStream err(stderr);
    if (args.isEmpty()) {
        err << overview();
        return 2;
    }
    const QString& name = args.first();
    if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
        QTextStream(stdout) << overview();
        return 0;
    }
    const Command* command =
        findCommand(name == QLatin1String("--version") ? QStringLiteral("version") : name);
    if (!command) {
        err << "wptool: unknown command \"" << name << "\"; 'wptool --help' lists the commands\n";
        return 2;
    }
    const QStringList rest = args.mid(1);
    if (rest.contains(QLatin1String("--help")) || rest.contains(QLatin1String("-h"))) {
        QTextStream(stdout) << help(*command);
        return 0;
    }
    try {
        return command->run(rest);
    } catch (const wp::Error& e) {
        err << "wptool " << name << ": " << e.description << " (" << e.number << ")\n";
    } catch (const std::exception& e) {
        err << "wptool " << name << ": " << e.what() << "\n";
    }
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    keepLargeBlocksOnHeap();
    wptool::QuietQt quiet;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int code = 0;
    {
        QApplication app(argc, argv);
        // No one is there to click a message box: its text goes to stderr.
        wp::setMessageBoxHandler([](const QString& text, int, const QString& title) {
            QTextStream(stderr) << "wptool: " << (title.isEmpty() ? QStringLiteral("wp") : title)
                                << ": " << text << "\n";
            return 1;
        });
        code = run(QApplication::arguments().mid(1));
        wp::setMessageBoxHandler({});
    }
    if (code != 0)
        quiet.release();
    return code;
}
