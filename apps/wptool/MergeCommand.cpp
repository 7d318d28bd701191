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
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextStream>
#include <optional>

namespace wptool {

namespace {
int usage(const QString& why = {}) {
    return usageError(QStringLiteral("merge"), why);
}

QString escaped(QString text) {
    return text.replace(u'&', QStringLiteral("&amp;")).replace(u'<', QStringLiteral("&lt;"));
}

// The earlier run's letters in `dir` (001.rtf, 002.rtf, ... or .docx), or nullopt
// when it holds anything else, which a merge must not mix with its own.
std::optional<QStringList> earlierLetters(const QString& dir) {
    static const QRegularExpression letter(QStringLiteral("^[0-9]{3,}\\.(rtf|docx)$"));
    QStringList letters;
    const QDir d(dir);
    for (const QString& name :
         d.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        if (!letter.match(name).hasMatch() || !QFileInfo(d.filePath(name)).isFile())
            return std::nullopt;
        letters << name;
    }
    return letters;
}

// Writes the letters into a folder of their own inside `dir`, then puts
// them in place of an earlier run's: `dir` never holds a mix of two runs.
wp::stepper::BatchResult mergeToLetterDir(const wp::TextControl& templ, const wp::KXmlRef& steps,
                                          const QString& dir, int fileFormat,
                                          const wp::stepper::Progress& progress) {
    wp::stepper::BatchResult r;
    if (!QDir().mkpath(dir)) {
        r.error = QStringLiteral("Cannot create the folder \"%1\".").arg(dir);
        return r;
    }
    const std::optional<QStringList> earlier = earlierLetters(dir);
    if (!earlier) {
        r.error = QStringLiteral("\"%1\" holds other files than the letters of an earlier run; "
                                 "give an empty or new folder")
                      .arg(dir);
        return r;
    }
    QTemporaryDir fresh(QDir(dir).filePath(QStringLiteral(".merge-XXXXXX")));
    if (!fresh.isValid()) {
        r.error = QStringLiteral("Cannot write into \"%1\": %2").arg(dir, fresh.errorString());
        return r;
    }
    r = wp::stepper::MergeToFiles(templ, steps, fresh.path(), fileFormat, progress);
    if (!r.ok)
        return r;
    QDir d(dir);
    for (const QString& name : *earlier)
        if (!d.remove(name)) {
            r.ok = false;
            r.error = QStringLiteral("Cannot replace \"%1\".").arg(d.filePath(name));
            return r;
        }
    const QDir made(fresh.path());
    for (const QString& name : made.entryList(QDir::Files))
        if (!QFile::rename(made.filePath(name), d.filePath(name))) {
            r.ok = false;
            r.error = QStringLiteral("Cannot move \"%1\" into \"%2\".").arg(name, dir);
            return r;
        }
    return r;
}

// "letter 20 (Job Reference), letter 23 (Company, Job Reference)"
QString gapList(const QList<wp::stepper::LetterGaps>& gaps) {
    QStringList parts;
    for (const auto& g : gaps)
        parts << QStringLiteral("letter %1 (%2)")
                     .arg(g.step)
                     .arg(g.titles.join(QStringLiteral(", ")));
    return parts.join(QStringLiteral(", "));
}
} // namespace

int mergeCommand(const QStringList& args) {
    QTextStream err(stderr);
    QStringList positional;
    QString optionsFile, rtfDir;
    bool requireAll = false;
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
        } else if (a == QStringLiteral("--require-all")) {
            requireAll = true;
        } else if (a.startsWith(QLatin1Char('-')) && a.size() > 1) {
            return usage(QStringLiteral("unknown option ") + a);
        } else {
            positional << a;
        }
    }
    if (positional.size() != (rtfDir.isEmpty() ? 3 : 2))
        return usage();
    const QString templatePath = positional[0];
    const QString dataDir = QDir(positional[1]).absolutePath() + QLatin1Char('/');
    const QString database = dataDir + QStringLiteral("mv.mdb");
    if (rtfDir.isEmpty()) {
        const QString out = positional[2];
        // Never an input overwritten by the letters.
        const std::pair<QString, const char*> inputs[] = {
            {templatePath, "the template"},
            {database, "the database"},
            {dataDir + QStringLiteral("mv.mdw"), "the workgroup file"},
            {dataDir + QStringLiteral("app.mvdt"), "the template archive"},
            {optionsFile, "the options file"},
        };
        for (const auto& [input, what] : inputs)
            if (!input.isEmpty() && sameFile(out, input))
                return usage(QStringLiteral("OUT.pdf is %1 itself").arg(QLatin1String(what)));
        if (!isPdfTarget(out))
            return usage(out + QStringLiteral(": OUT.pdf must end in .pdf"));
    } else {
        // The letters replace an earlier run's in OUTDIR: no input may live there.
        for (const QString& input : {templatePath, database, optionsFile})
            if (!input.isEmpty() && QFileInfo::exists(input) && QFileInfo::exists(rtfDir) &&
                sameFile(QFileInfo(input).absolutePath(), rtfDir))
                return usage(
                    QStringLiteral("OUTDIR holds %1; give a folder of its own").arg(input));
    }

    wp::TextControl templ;
    if (!templ.LoadFromFile(templatePath)) {
        err << "wptool merge: " << templ.lastError() << "\n";
        return 1;
    }
    if (QFileInfo::exists(positional[1]) && !QFileInfo(positional[1]).isDir()) {
        err << "wptool merge: DATA_DIR \"" << positional[1] << "\" is a file, not a folder\n";
        return 1;
    }
    if (!QFileInfo::exists(database)) {
        err << "wptool merge: no database \"" << QDir::toNativeSeparators(database) << "\"\n";
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
        // A letter that keeps a field's title would go out as
        // "(reference Job Reference)": each is named, and --require-all
        // writes nothing while any is left.
        const QList<wp::stepper::LetterGaps> gaps = wp::stepper::MissingValues(templ, steps);
        for (const auto& g : gaps)
            err << "wptool merge: letter " << g.step << ": no value for "
                << g.titles.join(QStringLiteral(", ")) << " (the title stays in the letter)\n";
        const qint32 count = steps ? steps->ChildCount() : 0;
        if (requireAll && !gaps.isEmpty()) {
            err << "wptool merge: nothing written (--require-all): " << count << " letters, "
                << gaps.size() << " with missing values: " << gapList(gaps) << "\n";
            return 1;
        }
        auto progress = [&line](qint32 k, qint32 n) { line.show(k, n); };
        const wp::stepper::BatchResult r =
            rtfDir.isEmpty() ? wp::stepper::MergeToPdf(templ, steps, positional[2], progress)
                             : mergeToLetterDir(templ, steps, rtfDir, fileFormat, progress);
        line.clear();
        if (!r.ok) {
            err << "wptool merge: " << r.error << "\n";
            return 1;
        }
        if (!gaps.isEmpty())
            err << "wptool merge: " << r.letters << " letters, " << gaps.size()
                << " with missing values: " << gapList(gaps) << "\n";
        QTextStream(stdout) << (rtfDir.isEmpty() ? positional[2] : rtfDir) << ": " << r.letters
                            << " letter(s), " << r.pages << " page(s)\n";
    } catch (const wp::Error& e) {
        err << "wptool merge: " << e.description << "\n";
        return 1;
    }
    return 0;
}

} // namespace wptool
