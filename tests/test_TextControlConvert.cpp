// Documents in files: LoadFromFile/SaveToFile and `wptool convert`.
#include "support/ToolSupport.h"
#include "support/ZipSupport.h"
#include "test_TextControlSample.h"
#include "wp/TextControl.h"

#include <QImage>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>
#include <QUrl>
#include <gtest/gtest.h>

using wptest::ToolRun;
using wptest::wptool;

TEST(TextControlConvert, filesLoadBySuffixOrContentSaveBySuffixAndWptoolConvertsBothWays) {
    QTemporaryDir dir;
    TextControl tx;
    buildSample(tx);
    EXPECT_EQ(TextControl::formatForFile(QStringLiteral("a/B.RTF")), wp::fmt::Rtf);
    EXPECT_EQ(TextControl::formatForFile(QStringLiteral("x.wpdoc")), wp::fmt::Native);
    const QString native = dir.filePath(QStringLiteral("a.wpdoc"));
    ASSERT_TRUE(tx.SaveToFile(native));
    ASSERT_TRUE(tx.SaveToFile(dir.filePath(QStringLiteral("a.data")), wp::fmt::Rtf));
    EXPECT_FALSE(tx.SaveToFile(dir.filePath(QStringLiteral("a.data"))));
    EXPECT_FALSE(tx.SaveToFile(dir.filePath(QStringLiteral("missing/dir/a.rtf"))));
    EXPECT_TRUE(tx.lastError().contains(QStringLiteral("a.rtf")));

    TextControl copy;
    ASSERT_TRUE(copy.LoadFromFile(native));
    EXPECT_EQ(copy.SaveToMemory(wp::fmt::PlainText), tx.SaveToMemory(wp::fmt::PlainText));
    TextControl fromRtf;
    ASSERT_TRUE(fromRtf.LoadFromFile(dir.filePath(QStringLiteral("a.data")))); // told by content
    EXPECT_EQ(fieldIds(fromRtf), fieldIds(tx));
    EXPECT_FALSE(copy.LoadFromFile(dir.filePath(QStringLiteral("none.rtf"))));
    EXPECT_EQ(fieldIds(copy), fieldIds(tx)); // unchanged

    const QString rtf = dir.filePath(QStringLiteral("out.rtf"));
    const QString back = dir.filePath(QStringLiteral("back.wpdoc"));
    EXPECT_EQ(wptool({QStringLiteral("convert"), native, rtf}).code, 0);
    EXPECT_EQ(wptool({QStringLiteral("convert"), rtf, back}).code, 0);
    ASSERT_TRUE(copy.LoadFromFile(back));
    EXPECT_EQ(copy.SaveToMemory(wp::fmt::PlainText), tx.SaveToMemory(wp::fmt::PlainText));

    const QString bad = dir.filePath(QStringLiteral("bad.rtf"));
    ASSERT_TRUE(wptest::writeFile(bad, "{\\rtf1 truncated {\\b"));
    ToolRun r = wptool({QStringLiteral("convert"), bad, dir.filePath(QStringLiteral("x.wpdoc"))});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("bad.rtf"))) << r.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("x.wpdoc"))));
}

// A document that names pictures on the user's disk (or a device that
// never ends) instead of holding them gets empty frames of their size: the
// RTF wptool writes holds no pixel of the file.
TEST(TextControlConvert, wptoolWritesNoPixelsOfPicturesNamedOnDisk) {
    QTemporaryDir dir;
    const QString photo = dir.filePath(QStringLiteral("photo.png"));
    QImage red(40, 30, QImage::Format_RGB32);
    red.fill(Qt::red);
    ASSERT_TRUE(red.save(photo));
    TextControl tx;
    QTextCursor cursor(tx.document());
    cursor.insertText(QStringLiteral("Named "));
    for (const QString& name :
         {QUrl::fromLocalFile(photo).toString(), photo, QStringLiteral("file:///dev/zero")}) {
        QTextImageFormat picture;
        picture.setName(name);
        picture.setWidth(96);
        picture.setHeight(72);
        cursor.insertImage(picture);
    }
    const QString named = dir.filePath(QStringLiteral("named.wpdoc"));
    ASSERT_TRUE(tx.SaveToFile(named));

    const QString rtf = dir.filePath(QStringLiteral("named.rtf"));
    ASSERT_EQ(wptool({QStringLiteral("convert"), named, rtf}).code, 0);
    const QByteArray written = wptest::fileBytes(rtf);
    EXPECT_FALSE(written.contains("blip")) << written.toStdString();
    EXPECT_EQ(written.count("\\picwgoal1440\\pichgoal1080"), 3);
}
