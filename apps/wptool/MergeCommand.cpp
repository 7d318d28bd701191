// wptool merge: every step of the cover letter stepper's data set merged at
// once, into one PDF or one RTF file per letter.
#include "stepper/StepperBatch.h"
#include "stepper/frmStepper.h"
#include "wp/hooks.h"
#include "wp/wp.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTextStream>
#include <unistd.h>

namespace {
int usage(QTextStream& err) {
    err << "usage: wptool merge TEMPLATE DATA_DIR OUT.pdf [--options FILE]\n"
           "       wptool merge TEMPLATE DATA_DIR --rtf OUTDIR [--options FILE]\n";
    return 2;
}

QString escaped(QString text) {
    return text.replace(u'&', QStringLiteral("&amp;")).replace(u'<', QStringLiteral("&lt;"));
}
} // namespace

int mergeCommand(const QStringList& args) {
    QTextStream err(stderr);
    QStringList positional;
    QString optionsFile, rtfDir;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QStringLiteral("--options") || a == QStringLiteral("--rtf")) {
            if (i + 1 >= args.size())
                return usage(err);
            (a == QStringLiteral("--options") ? optionsFile : rtfDir) = args[++i];
        } else if (a.startsWith(QStringLiteral("--"))) {
            return usage(err);
        } else {
            positional << a;
        }
    }
    if (positional.size() != (rtfDir.isEmpty() ? 3 : 2))
        return usage(err);
    const QString templatePath = positional[0];
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

    // Reports and messages go to the terminal, not into a window.
    wp::setMessageBoxHandler([&err](const QString& text, int, const QString& title) {
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
        // One line on a terminal, rewritten for each letter.
        const bool terminal = isatty(STDERR_FILENO);
        auto progress = [&err, terminal](qint32 k, qint32 n) {
            if (!terminal)
                return;
            err << "\rwptool merge: letter " << k << " of " << n;
            if (k == n)
                err << "\n";
            err.flush();
        };
        const wp::stepper::BatchResult r =
            rtfDir.isEmpty() ? wp::stepper::MergeToPdf(templ, steps, positional[2], progress)
                             : wp::stepper::MergeToRtf(templ, steps, rtfDir, progress);
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
