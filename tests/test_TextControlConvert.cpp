// Documents in files: LoadFromFile/SaveToFile and `wptool convert`.
#include "support/ToolSupport.h"
#include "support/ZipSupport.h"
#include "test_TextControlSample.h"
#include "wp/TextControl.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using wptest::ToolRun;
using wptest::wptool;

TEST(TextControlConvert, filesLoadBySuffixOrContentAndSaveBySuffix) {
    QTemporaryDir dir;
    TextControl tx;
    buildSample(tx);
    EXPECT_EQ(TextControl::formatForFile(QStringLiteral("a/B.RTF")), wp::fmt::Rtf);
    EXPECT_EQ(TextControl::formatForFile(QStringLiteral("x.wpdoc")), wp::fmt::Native);
    EXPECT_EQ(TextControl::formatForFile(QStringLiteral("x.doc")), 0);
    ASSERT_TRUE(tx.SaveToFile(dir.filePath(QStringLiteral("a.wpdoc"))));
    ASSERT_TRUE(tx.SaveToFile(dir.filePath(QStringLiteral("a.data")), wp::fmt::Rtf));
    EXPECT_FALSE(tx.SaveToFile(dir.filePath(QStringLiteral("a.data"))));
    EXPECT_FALSE(tx.SaveToFile(dir.filePath(QStringLiteral("missing/dir/a.rtf"))));
    EXPECT_TRUE(tx.lastError().contains(QStringLiteral("a.rtf")));

    TextControl copy;
    ASSERT_TRUE(copy.LoadFromFile(dir.filePath(QStringLiteral("a.wpdoc"))));
    EXPECT_EQ(copy.SaveToMemory(wp::fmt::PlainText), tx.SaveToMemory(wp::fmt::PlainText));
    TextControl fromRtf;
    ASSERT_TRUE(fromRtf.LoadFromFile(dir.filePath(QStringLiteral("a.data")))); // told by content
    EXPECT_EQ(fieldIds(fromRtf), fieldIds(tx));
    EXPECT_FALSE(copy.LoadFromFile(dir.filePath(QStringLiteral("none.rtf"))));
    EXPECT_TRUE(copy.lastError().contains(QStringLiteral("none.rtf")));
    EXPECT_EQ(fieldIds(copy), fieldIds(tx)); // unchanged
}

TEST(TextControlConvert, wptoolConvertsBothWaysAndLeavesNoFileForBadInput) {
    QTemporaryDir dir;
    TextControl tx;
    buildSample(tx);
    const QString native = dir.filePath(QStringLiteral("in.wpdoc"));
    const QString rtf = dir.filePath(QStringLiteral("out.rtf"));
    const QString back = dir.filePath(QStringLiteral("back.wpdoc"));
    ASSERT_TRUE(tx.SaveToFile(native));
    EXPECT_EQ(wptool({QStringLiteral("convert"), native, rtf}).code, 0);
    EXPECT_EQ(wptool({QStringLiteral("convert"), rtf, back}).code, 0);
    TextControl copy;
    ASSERT_TRUE(copy.LoadFromFile(back));
    EXPECT_EQ(copy.SaveToMemory(wp::fmt::PlainText), tx.SaveToMemory(wp::fmt::PlainText));
    EXPECT_EQ(fieldIds(copy), fieldIds(tx));
    EXPECT_EQ(tableIds(copy), tableIds(tx));
    EXPECT_EQ(copy.pageFormat().width, tx.pageFormat().width);

    const QString bad = dir.filePath(QStringLiteral("bad.rtf"));
    ASSERT_TRUE(wptest::writeFile(bad, "{\\rtf1 truncated {\\b"));
    ToolRun r = wptool({QStringLiteral("convert"), bad, dir.filePath(QStringLiteral("x.wpdoc"))});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("bad.rtf"))) << r.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("x.wpdoc"))));
}
