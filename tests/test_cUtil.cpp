// cUtil: one entry of a real ZIP archive read and written as UTF-8 text.
#include "support/TestSupport.h"
#include "support/ZipSupport.h"
#include "wp/Error.h"
#include "wp/cUtil.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using wp::cUtil;

namespace {

using wptest::fileBytes;

// Printable text that hardly compresses.
QString noise(qsizetype size) {
    QString text(size, Qt::Uninitialized);
    auto* rng = QRandomGenerator::global();
    for (auto& c : text)
        c = QChar(u'!' + rng->bounded(90));
    return text;
}

// An archive path in a fresh folder, and the object that reads and writes it.
class cUtilArchive : public ::testing::Test {
protected:
    QTemporaryDir dir;
    const QString zip = dir.filePath("app.mvdt");
    cUtil u;
};

} // namespace

TEST_F(cUtilArchive, writesCreatesAndReplacesEntriesReadableByLibzip) {
    EXPECT_EQ(u.ReadEntry(zip, "doc_prop_descs.xml"), ""); // no archive yet
    EXPECT_EQ(u.lastError(), "");

    const QString text = QString::fromUtf8("<descs ver=\"1\"><d>Résumé — 履歴書</d></descs>");
    u.WriteEntry(zip, "doc_prop_descs.xml", text);
    u.WriteEntry(zip, "cvl_data.xml", "<cvl/>");
    EXPECT_EQ(wptest::zipEntry(zip, "doc_prop_descs.xml"), text.toUtf8());
    EXPECT_EQ(u.ReadEntry(zip, "doc_prop_descs.xml"), text);

    u.WriteEntry(zip, "doc_prop_descs.xml", "<descs ver=\"1\"/>");
    EXPECT_EQ(wptest::zipNames(zip), (QStringList{"doc_prop_descs.xml", "cvl_data.xml"}));
    // A name beyond ASCII is stored as UTF-8, as other programs read it.
    const QString name = QString::fromUtf8("Lebenslauf_ä.xml");
    u.WriteEntry(zip, name, "<a/>");
    EXPECT_EQ(wptest::zipNames(zip).value(2), name);
    EXPECT_EQ(u.ReadEntry(zip, name), "<a/>");

    // An entry written by another program, with a byte-order mark.
    ASSERT_TRUE(wptest::makeZip(zip, {{"bom.xml", "\xEF\xBB\xBF<a>\xC3\xA9</a>"}}));
    EXPECT_EQ(u.ReadEntry(zip, "bom.xml"), QString::fromUtf8("<a>é</a>"));
    // Into a folder that does not exist.
    EXPECT_THROW(u.WriteEntry(dir.filePath("no/such/app.mvdt"), "a", "b"), wp::Error);

    // Through a symbolic link (a chain of two): the archive it names is
    // written and the links stay.
    ASSERT_TRUE(QDir(dir.path()).mkdir("shared"));
    const QString real = dir.filePath("shared/app.mvdt");
    ASSERT_TRUE(QFile::rename(zip, real));
    ASSERT_TRUE(QFile::link("shared/app.mvdt", dir.filePath("hop")));
    ASSERT_TRUE(QFile::link("hop", zip));
    u.WriteEntry(zip, "cvl_data.xml", "<cvl v=\"2\"/>");
    EXPECT_TRUE(QFileInfo(zip).isSymLink());
    EXPECT_TRUE(QFileInfo(dir.filePath("hop")).isSymLink());
    EXPECT_EQ(wptest::zipEntry(real, "cvl_data.xml"), "<cvl v=\"2\"/>");
    EXPECT_EQ(wptest::zipNames(real), (QStringList{"bom.xml", "cvl_data.xml"}));
}

TEST_F(cUtilArchive, damagedArchiveReadsAsMissingAndIsNotOverwritten) {
    ASSERT_TRUE(wptest::writeFile(zip, "PK\x03\x04 this is not really an archive"));
    const QByteArray before = fileBytes(zip);
    const wp::Error e =
        wptest::errorOf([&] { u.WriteEntry(zip, "doc_prop_descs.xml", "<descs/>"); });
    EXPECT_TRUE(e.description.contains("app.mvdt")) << e.description.toStdString();
    EXPECT_EQ(fileBytes(zip), before);

    // A good archive cut short loses its directory.
    ASSERT_TRUE(wptest::makeZip(zip, {{"a.xml", QByteArray(5000, 'x')}}));
    ASSERT_TRUE(wptest::writeFile(zip, fileBytes(zip).chopped(30)));
    EXPECT_TRUE(u.ReadEntry(zip, "a.xml").isEmpty());
    EXPECT_NE(u.lastError(), "");
    ASSERT_TRUE(wptest::makeZip(zip, {{"a.xml", "<a/>"}}));
    EXPECT_EQ(u.ReadEntry(zip, "missing.xml"), ""); // a good read clears the error
    EXPECT_EQ(u.lastError(), "");
}

TEST(cUtil, readOnlyFolderIsReportedAndTheArchiveKept) {
    QTemporaryDir dir;
    const QString folder = dir.filePath("data");
    ASSERT_TRUE(QDir().mkdir(folder));
    const QString zip = folder + "/app.mvdt";
    cUtil().WriteEntry(zip, "doc_prop_descs.xml", "<descs ver=\"1\"/>");
    const QByteArray before = fileBytes(zip);
    ASSERT_EQ(chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    ASSERT_EQ(chmod(QFile::encodeName(folder).constData(), 0555), 0);

    // In a child process, as "nobody" when the tests run as root, so that
    // the folder's permissions apply.
    const pid_t pid = fork();
    if (pid == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(99);
        cUtil u;
        if (u.ReadEntry(zip, "doc_prop_descs.xml") != "<descs ver=\"1\"/>")
            _exit(2);
        const wp::Error e = wptest::errorOf(
            [&] { u.WriteEntry(zip, "doc_prop_descs.xml", "<descs ver=\"1\"><new/></descs>"); });
        // 1: written although the folder is read-only.
        _exit(e.number == 0 ? 1 : e.description.contains("app.mvdt") ? 0 : 3);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    chmod(QFile::encodeName(folder).constData(), 0755);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(fileBytes(zip), before);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList{"app.mvdt"}); // no leftovers
}

TEST(cUtil, fullDiskIsReportedAndTheArchiveKept) {
    QTemporaryDir dir;
    const QString disk = dir.filePath("disk");
    ASSERT_TRUE(QDir().mkdir(disk));
    if (mount("tmpfs", QFile::encodeName(disk).constData(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "mounting a small file system needs privileges this run lacks";
    const auto unmount = qScopeGuard([&] { umount(QFile::encodeName(disk).constData()); });
    const QString zip = disk + "/app.mvdt";
    cUtil u;
    u.WriteEntry(zip, "doc_prop_descs.xml", "<descs ver=\"1\"/>");
    const QByteArray before = fileBytes(zip);
    EXPECT_THROW(u.WriteEntry(zip, "big.xml", noise(100000)), wp::Error); // above 64 KiB packed
    EXPECT_EQ(fileBytes(zip), before);
    EXPECT_EQ(QDir(disk).entryList(QDir::Files), QStringList{"app.mvdt"});
}

TEST_F(cUtilArchive, interruptedWriteLeavesTheOldArchiveIntact) {
    cUtil().WriteEntry(zip, "doc_prop_descs.xml", "<descs ver=\"1\"/>");
    const QByteArray before = fileBytes(zip);

    // Slow to compress, so the write takes long enough to be cut.
    const QString big = noise(40 * 1024 * 1024);
    const pid_t pid = fork();
    if (pid == 0) {
        cUtil().WriteEntry(zip, "big.xml", big);
        _exit(0);
    }
    // Kill the writer as soon as its temporary file appears beside the archive.
    bool sawTemp = false;
    for (int i = 0; i < 20000 && !sawTemp; ++i) {
        sawTemp = QDir(dir.path()).entryList(QDir::Files).size() > 1;
        if (!sawTemp)
            QThread::usleep(200);
    }
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(sawTemp);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the write finished before it could be interrupted";
    EXPECT_EQ(fileBytes(zip), before);
}

TEST_F(cUtilArchive, entriesAboveTheLimitAreRefused) {
    // Zeros compress to almost nothing: a small archive with a huge entry.
    ASSERT_TRUE(wptest::makeZip(
        zip, {{"huge.xml", QByteArray(cUtil::MaxEntrySize + 1, '\0')}, {"small.xml", "<a/>"}}));
    EXPECT_EQ(u.ReadEntry(zip, "huge.xml"), "");
    EXPECT_TRUE(u.lastError().contains("huge.xml")) << u.lastError().toStdString();
    EXPECT_EQ(u.ReadEntry(zip, "small.xml"), "<a/>");

    const QByteArray before = fileBytes(zip);
    EXPECT_THROW(u.WriteEntry(zip, "big.xml", QString(cUtil::MaxEntrySize + 1, 'a')), wp::Error);
    EXPECT_EQ(fileBytes(zip), before);
    // Exactly at the limit is still fine.
    u.WriteEntry(zip, "big.xml", QString(cUtil::MaxEntrySize, 'a'));
    EXPECT_EQ(wptest::zipEntry(zip, "big.xml")->size(), cUtil::MaxEntrySize);
}
