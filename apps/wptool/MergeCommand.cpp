// wptool merge: every step of the cover letter stepper's data set merged at
// once, into one PDF or one RTF or Word file per letter.
#include "Commands.h"
#include "Console.h"
#include "stepper/StepperBatch.h"
#include "stepper/frmStepper.h"
#include "wp/hooks.h"
#include "wp/wp.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTextStream>

namespace wptool {

namespace {
int usage(const QString& why = {}) {
    return usageError(QStringLiteral("merge"), why);
}

QString escaped(QString text) {
    return text.replace(u'&', QStringLiteral("&amp;")).replace(u'<', QStringLiteral("&lt;"));
}
} // namespace

int mergeCommand(const QStringList& args) {
    QTextStream err(stderr);
    QStringList positional;
    QString optionsFile, rtfDir;
    int fileFormat = wp::fmt::Rtf; // of the letters written into rtfDir
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QStringLiteral("--options") || a == QStringLiteral("--rtf") ||
            a == QStringLiteral("--docx")) {
            if (i + 1 >= args.size())
                return usage(a + QStringLiteral(" needs a value"));
            if (a == QStringLiteral("--docx"))
                fileFormat = wp::fmt::Docx;
            (a == QStringLiteral("--options") ? optionsFile : rtfDir) = args[++i];
        } else if (a.startsWith(QLatin1Char('-')) && a.size() > 1) {
            return usage(QStringLiteral("unknown option ") + a);
        } else {
            positional << a;
        }
    }
    if (positional.size() != (rtfDir.isEmpty() ? 3 : 2))
        return usage();
    const QString templatePath = positional[0];
    if (rtfDir.isEmpty() && QFileInfo(templatePath) == QFileInfo(positional[2]))
        return usage(QStringLiteral("OUT.pdf is the template itself"));
    const QString dataDir = QDir(positional[1]).absolutePath() + QLatin1Char('/');

    wp::TextControl templ;
    if (!templ.LoadFromFile(templatePath)) {
        err << "wptool merge: " << templ.lastError() << "\n";
        return 1;
    }
    if (!QFileInfo::exists(dataDir + QStringLiteral("mv.mdb"))) {
        err << "wptool merge: no database \"" << QDir::toNativeSeparators(dataDir) << "mv.mdb\"\n";
        return 1;
    }
    QString options;
    if (!optionsFile.isEmpty()) {
        QFile f(optionsFile);
        if (!f.open(QIODevice::ReadOnly)) {
            err << "wptool merge: cannot read the options \"" << optionsFile
                << "\": " << f.errorString() << "\n";
            return 1;
        }
        options = QString::fromUtf8(f.readAll());
        wp::KXml check;
        if (!check.LoadXml(options) ||
            !check.FindByAttribute(nullptr, QStringLiteral("option"), QStringLiteral("sort"),
                                   QStringLiteral("a08"))) {
            err << "wptool merge: \"" << optionsFile
                << "\" holds no date format (an option with sort=\"a08\")\n";
            return 1;
        }
    } else {
        // The locale's short date; its letters mean the same in the host's patterns.
        options = QStringLiteral("<options><option sort=\"a08\">%1</option></options>")
                      .arg(escaped(QLocale::system().dateFormat(QLocale::ShortFormat)));
    }

    // Reports and messages go to the terminal, not into a window, each on a
    // line of its own.
    ProgressLine line(QStringLiteral("wptool merge: letter"));
    wp::setMessageBoxHandler([&err, &line](const QString& text, int, const QString& title) {
        line.clear();
        err << "wptool merge: " << title << ": " << text << "\n";
        err.flush();
        return 1;
    });
    wp::clsWP host;
    try {
        host.setEnvXML(QStringLiteral("<env><in_ide>false</in_ide><data_dir>%1</data_dir>"
                                      "<this_user_app_data_dir>%1</this_user_app_data_dir></env>")
                           .arg(escaped(dataDir)));
        host.setOptsXML(options);
        const wp::KXmlRef steps = wp::frmStepper::BuildStepSet(
            dataDir + QStringLiteral("mv.mdb"), dataDir + QStringLiteral("app.mvdt"));
        auto progress = [&line](qint32 k, qint32 n) { line.show(k, n); };
        const wp::stepper::BatchResult r =
            rtfDir.isEmpty()
                ? wp::stepper::MergeToPdf(templ, steps, positional[2], progress)
                : wp::stepper::MergeToFiles(templ, steps, rtfDir, fileFormat, progress);
        line.clear();
        if (!r.ok) {
            err << "wptool merge: " << r.error << "\n";
            return 1;
        }
        QTextStream(stdout) << (rtfDir.isEmpty() ? positional[2] : rtfDir) << ": " << r.letters
                            << " letter(s), " << r.pages << " page(s)\n";
    } catch (const wp::Error& e) {
        err << "wptool merge: " << e.description << "\n";
        return 1;
    }
    return 0;
}

} // namespace wptool
