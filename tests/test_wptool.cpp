// The command-line tool: what it says about itself, its exit codes, and
// what reaches the terminal besides the results.
#include "support/ToolSupport.h"
#include "support/ZipSupport.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

using wptest::ToolRun;
using wptest::wptool;

namespace {

const QStringList kCommands{"version", "convert", "pdf", "merge", "db", "help"};

QString samples(const char* file) {
    return QStringLiteral(WP_SAMPLES_DIR "/") + QLatin1String(file);
}

// A plain-text document long enough for many pages.
QString longDocument(const QTemporaryDir& dir) {
    QByteArray text;
    for (int i = 0; i < 400; ++i)
        text += "Paragraph " + QByteArray::number(i) + " of a long letter, long enough to wrap.\n";
    const QString path = dir.filePath(QStringLiteral("long.txt"));
    return wptest::writeFile(path, text) ? path : QString();
}

} // namespace

TEST(wptool, helpListsEveryCommandAndDescribesEachOnStdout) {
    const ToolRun list = wptool({QStringLiteral("--help")});
    EXPECT_EQ(list.code, 0);
    EXPECT_TRUE(list.err.isEmpty()) << list.err.toStdString();
    for (const QString& c : kCommands)
        EXPECT_TRUE(list.out.contains(QStringLiteral("\n  ") + c + QLatin1Char(' ')))
            << c.toStdString();
    // Nothing to do: the same list, but as a refusal.
    const ToolRun bare = wptool({});
    EXPECT_EQ(bare.code, 2);
    EXPECT_TRUE(bare.out.isEmpty());
    EXPECT_EQ(bare.err, list.out);

    for (const QString& c : kCommands) {
        const ToolRun help = wptool({c, QStringLiteral("--help")});
        EXPECT_EQ(help.code, 0) << c.toStdString();
        EXPECT_TRUE(help.out.startsWith(QStringLiteral("usage: wptool ") + c)) << c.toStdString();
        EXPECT_TRUE(help.out.contains(QStringLiteral("Exit codes:"))) << c.toStdString();
        EXPECT_TRUE(help.err.isEmpty()) << help.err.toStdString();
        EXPECT_EQ(wptool({c, QStringLiteral("-h")}).out, help.out) << c.toStdString();
        EXPECT_EQ(wptool({QStringLiteral("help"), c}).out, help.out) << c.toStdString();
    }
    const ToolRun version = wptool({QStringLiteral("version")});
    EXPECT_EQ(version.code, 0);
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+\n$")).match(version.out).hasMatch())
        << version.out.toStdString();
    EXPECT_EQ(wptool({QStringLiteral("--version")}).out, version.out);
    // --help wins over the other arguments: nothing is written.
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("x.pdf"));
    EXPECT_EQ(wptool({"pdf", samples("resume.rtf"), pdf, "--help"}).code, 0);
    EXPECT_FALSE(QFileInfo::exists(pdf));
    EXPECT_TRUE(wptool({"merge", "--help"}).out.contains(QStringLiteral("--options FILE")));
    EXPECT_TRUE(wptool({"db", "-h"}).out.contains(QStringLiteral("schema [sqlite|postgresql]")));
}

TEST(wptool, wrongArgumentsExitTwoWithTheCommandsUsage) {
    const ToolRun unknown = wptool({QStringLiteral("publish"), QStringLiteral("x")});
    EXPECT_EQ(unknown.code, 2);
    EXPECT_TRUE(unknown.err.contains(QStringLiteral("\"publish\"")));
    EXPECT_TRUE(unknown.err.contains(QStringLiteral("wptool --help")));
    EXPECT_TRUE(unknown.out.isEmpty());
    EXPECT_EQ(wptool({"help", "publish"}).code, 2);

    QTemporaryDir dir;
    const QString doc = dir.filePath(QStringLiteral("resume.rtf"));
    ASSERT_TRUE(QFile::copy(samples("resume.rtf"), doc));
    const struct {
        QStringList args;
        const char* usage;
    } cases[] = {
        {{"version", "now"}, "usage: wptool version\n"},
        {{"convert", "a.rtf"}, "usage: wptool convert IN OUT\n"},
        {{"convert", samples("resume.rtf"), "a.doc"}, "usage: wptool convert IN OUT\n"},
        {{"pdf", "a.rtf"}, "usage: wptool pdf IN OUT.pdf\n"},
        {{"pdf", "a.rtf", "b.pdf", "c.pdf"}, "usage: wptool pdf IN OUT.pdf\n"},
        // Never the document itself overwritten by its PDF.
        {{"pdf", doc, dir.filePath("./resume.rtf")}, "OUT.pdf is IN itself"},
        {{"merge", "t.rtf", "data"}, "usage: wptool merge TEMPLATE"},
        {{"merge", "t.rtf", "data", "o.pdf", "--bogus"}, "usage: wptool merge TEMPLATE"},
        {{"merge", "t.rtf", "data", "o.pdf", "--options"}, "usage: wptool merge TEMPLATE"},
        {{"db"}, "usage: wptool db init DATA_DIR\n"},
        {{"db", "drop", "data"}, "usage: wptool db init DATA_DIR\n"},
        {{"db", "init"}, "usage: wptool db init DATA_DIR\n"},
        {{"db", "seed", "data", "many"}, "usage: wptool db init DATA_DIR\n"},
        {{"db", "schema", "oracle"}, "usage: wptool db init DATA_DIR\n"},
        {{"db", "roles", "extra"}, "usage: wptool db init DATA_DIR\n"},
        {{"help", "pdf", "db"}, "usage: wptool help [COMMAND]\n"},
        // A PDF under another name, and options no command has, are named.
        {{"pdf", doc, dir.filePath("out.txt")}, "out.txt: OUT.pdf must end in .pdf"},
        {{"pdf", "--fast", doc, dir.filePath("o.pdf")}, "unknown option --fast"},
        {{"convert", doc, dir.filePath("o.txt"), "-q"}, "unknown option -q"},
        {{"db", "version", dir.path(), "--all"}, "unknown option --all"},
    };
    for (const auto& c : cases) {
        const ToolRun r = wptool(c.args);
        const std::string what = c.args.join(u' ').toStdString();
        EXPECT_EQ(r.code, 2) << what;
        EXPECT_TRUE(r.err.contains(QLatin1String(c.usage))) << what << ": " << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty()) << what;
    }
    EXPECT_EQ(wptest::fileBytes(doc), wptest::fileBytes(samples("resume.rtf")));
}

TEST(wptool, failuresExitOneWithTheReason) {
    QTemporaryDir dir;
    const struct {
        QStringList args;
        const char* reason;
    } cases[] = {
        {{"db", "version", dir.path()}, "mv.mdb"},
        {{"db", "init", dir.filePath("none")}, "does not exist"},
        {{"pdf", samples("resume.rtf"), dir.filePath("none/x.pdf")}, "Cannot write the PDF file"},
        {{"convert", dir.filePath("none.rtf"), dir.filePath("x.txt")}, "none.rtf"},
        // Two missing paths are no one file: the input cannot be read.
        {{"pdf", dir.filePath("none.rtf"), dir.filePath("none.pdf")}, "cannot read"},
        {{"db", "version", samples("resume.rtf")}, "is a file, not a folder"},
    };
    for (const auto& c : cases) {
        const ToolRun r = wptool(c.args);
        const std::string what = c.args.join(u' ').toStdString();
        EXPECT_EQ(r.code, 1) << what;
        EXPECT_TRUE(r.err.contains(QLatin1String(c.reason))) << what << ": " << r.err.toStdString();
    }
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST(wptool, qtNotesReachTheTerminalOnlyWhenTheCommandFails) {
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("resume.pdf"));
    // Without a runtime folder Qt warns; a private one, gone afterwards, keeps it quiet.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    const QString tmp = dir.filePath(QStringLiteral("tmp"));
    ASSERT_TRUE(QDir().mkpath(tmp));
    env.insert(QStringLiteral("TMPDIR"), tmp);
    ToolRun r = wptool({QStringLiteral("pdf"), samples("resume.rtf"), pdf}, env);
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
    EXPECT_EQ(wptest::pdfPageCount(pdf), 2);
    EXPECT_TRUE(QDir(tmp).isEmpty())
        << QDir(tmp).entryList(QDir::AllEntries).join(u' ').toStdString();

    // A runtime folder others may read makes Qt warn: kept back on success,
    // told after our own message on failure.
    const QString open = dir.filePath(QStringLiteral("runtime"));
    ASSERT_TRUE(QDir().mkpath(open));
    ASSERT_TRUE(QFile::setPermissions(open, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                                QFileDevice::ExeOther));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), open);
    r = wptool({QStringLiteral("pdf"), samples("resume.rtf"), pdf}, env);
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
    r = wptool({QStringLiteral("pdf"), dir.filePath(QStringLiteral("none.rtf")), pdf}, env);
    EXPECT_EQ(r.code, 1);
    const qsizetype ours = r.err.indexOf(QStringLiteral("wptool pdf: "));
    const qsizetype qts = r.err.indexOf(QStringLiteral("QStandardPaths"));
    EXPECT_GE(ours, 0) << r.err.toStdString();
    EXPECT_GT(qts, ours) << r.err.toStdString();
}

TEST(wptool, progressIsOneLineOnATerminalAndNothingElsewhere) {
    QTemporaryDir dir;
    const QString doc = longDocument(dir);
    const QString pdf = dir.filePath(QStringLiteral("long.pdf"));
    const ToolRun piped = wptool({QStringLiteral("pdf"), doc, pdf});
    ASSERT_EQ(piped.code, 0) << piped.err.toStdString();
    EXPECT_TRUE(piped.err.isEmpty()) << piped.err.toStdString();
    const int pages = wptest::pdfPageCount(pdf);
    ASSERT_GT(pages, 5);
    EXPECT_EQ(piped.out, pdf + QStringLiteral(": %1 page(s)\n").arg(pages));

    // `script` gives the tool a terminal; both streams land in its output.
    const QString script = QStandardPaths::findExecutable(QStringLiteral("script"));
    if (script.isEmpty())
        GTEST_SKIP() << "no `script` to give the tool a terminal";
    QProcess p;
    p.start(script, {QStringLiteral("-qec"),
                     QStringLiteral("'%1' pdf '%2' '%3'").arg(wptest::wptoolPath(), doc, pdf),
                     QStringLiteral("/dev/null")});
    ASSERT_TRUE(p.waitForFinished(120000));
    EXPECT_EQ(p.exitCode(), 0);
    const QString tty = QString::fromLocal8Bit(p.readAllStandardOutput());
    EXPECT_TRUE(tty.startsWith(QStringLiteral("\rwptool pdf: page 1 of %1").arg(pages)))
        << tty.left(80).toStdString();
    const QString last = QStringLiteral("\rwptool pdf: page %1 of %1").arg(pages);
    const qsizetype at = tty.indexOf(last);
    ASSERT_GE(at, 0) << tty.toStdString();
    // The line is wiped before the result, which starts at the line's start,
    // and nothing before it ended a line.
    const QRegularExpression wipedThenResult(QStringLiteral("^\\r +\\r%1: %2 page\\(s\\)\\r?\\n$")
                                                 .arg(QRegularExpression::escape(pdf))
                                                 .arg(pages));
    EXPECT_TRUE(wipedThenResult.match(tty.mid(at + last.size())).hasMatch()) << tty.toStdString();
    EXPECT_FALSE(tty.left(at).contains(u'\n'));
}

// A PDF that cannot be written whole is not written at all: the error is
// named, the exit code is 1, a PDF that was there is left as it was and no
// temporary file stays behind; on a device it is written in place.
TEST(wptool, aPdfIsWrittenWholeOrNotAtAll) {
    QTemporaryDir dir;
    const QString doc = longDocument(dir);
    ToolRun r = wptool({QStringLiteral("pdf"), doc, QStringLiteral("/dev/full")});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("No space left on device"))) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_FALSE(QFileInfo(QStringLiteral("/dev/full")).isFile());

    if (geteuid() != 0)
        GTEST_SKIP() << "a full disk is a small tmpfs, which only root may mount";
    QTemporaryDir disk;
    ASSERT_EQ(QProcess::execute(QStringLiteral("mount"),
                                {"-t", "tmpfs", "-o", "size=192k", "tmpfs", disk.path()}),
              0);
    const auto unmount =
        qScopeGuard([&] { QProcess::execute(QStringLiteral("umount"), {disk.path()}); });
    const QString pdf = disk.filePath(QStringLiteral("out.pdf"));
    r = wptool({QStringLiteral("pdf"), samples("resume.rtf"), pdf});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QByteArray before = wptest::fileBytes(pdf);
    // What room is left is too little for the long document.
    QFile filler(disk.filePath(QStringLiteral("filler")));
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    const QByteArray block(4096, 'x');
    while (filler.write(block) == block.size()) {
    }
    filler.close();

    for (const QStringList& args :
         {QStringList{"pdf", doc, pdf}, QStringList{"pdf", samples("resume.rtf"), pdf}}) {
        r = wptool(args);
        EXPECT_EQ(r.code, 1) << args.join(u' ').toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("No space left on device")))
            << r.err.toStdString();
        EXPECT_EQ(wptest::fileBytes(pdf), before);
        EXPECT_EQ(
            QDir(disk.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList({"filler", "out.pdf"}));
    }
}
