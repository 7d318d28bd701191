// The document control: page format, fields, tables, selection and the
// lossless native format.
#include "document/TextControlDocument.h"
#include "test_TextControlSample.h"
#include "wp/Error.h"
#include "wp/TextControl.h"

#include <QFile>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>
#include <gtest/gtest.h>

TEST(TextControl, pageFormatMembersReadAndWriteTheOneFormatAndSignal) {
    TextControl tx;
    QSignalSpy spy(&tx, &TextControl::pageFormatChanged);
    tx.setPageWidth(11906);
    tx.setPageMarginT(567);
    tx.setHeaderFooter(5);
    tx.setHeaderFooterPosition(4, 1134);
    EXPECT_EQ(tx.pageFormat().width, 11906);
    EXPECT_EQ(tx.PageMarginT(), 567);
    EXPECT_EQ(tx.HeaderFooter(), 5);
    EXPECT_DOUBLE_EQ(tx.HeaderFooterPosition(4), 1134);
    EXPECT_EQ(spy.count(), 4);
    tx.setPageWidth(11906); // unchanged: no signal
    EXPECT_EQ(spy.count(), 4);
    EXPECT_THROW(tx.HeaderFooterPosition(2), wp::Error);
    EXPECT_THROW(tx.setPageHeight(0), wp::Error);
    EXPECT_THROW(tx.setHeaderFooter(16), wp::Error);
    EXPECT_EQ(tx.headerFooterDocument(3), nullptr);
    // Members are reachable by name, as a late-bound host reaches them.
    EXPECT_TRUE(tx.setProperty("PageHeight", 20000));
    EXPECT_EQ(tx.PageHeight(), 20000);
    double distance = 0;
    EXPECT_TRUE(QMetaObject::invokeMethod(&tx, "HeaderFooterPosition",
                                          Q_RETURN_ARG(double, distance), Q_ARG(int, 4)));
    EXPECT_DOUBLE_EQ(distance, 1134);
}

TEST(TextControl, selectionTextAndInputPosition) {
    TextControl tx;
    EXPECT_EQ(tx.CurrentInputPosition(), (QList<qint32>{1, 1, 0}));
    tx.setSelText(QStringLiteral("Hello world\r\nsecond"));
    EXPECT_EQ(tx.document()->blockCount(), 2);
    EXPECT_EQ(tx.CurrentInputPosition(), (QList<qint32>{1, 2, 6}));
    tx.setSelStart(6);
    tx.setSelLength(5);
    EXPECT_EQ(tx.SelText(), QStringLiteral("world"));
    EXPECT_EQ(tx.SelStart(), 6);
    EXPECT_EQ(tx.SelLength(), 5);
    tx.setSelText(QStringLiteral("there"));
    EXPECT_EQ(tx.document()->firstBlock().text(), QStringLiteral("Hello there"));
    EXPECT_EQ(tx.SelLength(), 0);
    tx.setSelStart(100000); // clamped to the end
    EXPECT_EQ(tx.SelStart(), tx.document()->characterCount() - 1);
    EXPECT_THROW(tx.setCurrentInputPosition(1, 9, 0), wp::Error);
    // The page layout's locator decides page and line.
    tx.pageLineLocator = [](int pos) { return std::make_pair(2, pos + 1); };
    tx.setSelStart(3);
    EXPECT_EQ(tx.CurrentInputPosition(), (QList<qint32>{2, 4, 3}));
}

TEST(TextControl, fieldsWalkInDocumentOrderKeepIdDataAndFormatWhenRefilledAndTakeWindowsColours) {
    TextControl tx;
    tx.setSelText(QStringLiteral("To "));
    const qint16 a = tx.FieldInsert(QStringLiteral("Name"), QStringLiteral("name"));
    tx.setSelText(QStringLiteral(" at "));
    const qint16 b = tx.FieldInsert(QStringLiteral("Firm"), QStringLiteral("company"));
    // A field inserted before the others comes first in the walk.
    tx.setSelStart(0);
    const qint16 c = tx.FieldInsert(QStringLiteral("Date"), QStringLiteral("current_date"));
    EXPECT_EQ(QSet<qint16>({a, b, c}).size(), 3);
    EXPECT_EQ(fieldIds(tx), (QList<qint16>{c, a, b}));
    EXPECT_EQ(tx.FieldNext(b, 0), 0);
    EXPECT_EQ(tx.FieldNext(999, 0), 0);
    EXPECT_EQ(tx.FieldData(a), QStringLiteral("name"));
    EXPECT_EQ(tx.FieldData(999), QString());

    // Format the field, empty it and fill it again: id, data and format stay.
    tx.setFieldCurrent(a);
    EXPECT_EQ(tx.FieldText(), QStringLiteral("Name"));
    const int start = tx.FieldStart();
    EXPECT_EQ(tx.document()->toPlainText().mid(start - 1, 4), QStringLiteral("Name"));
    tx.setFormatSelection(true);
    tx.setSelStart(start - 1);
    tx.setSelLength(4);
    tx.setForeColor(255);
    tx.setFieldText(QString());
    EXPECT_EQ(tx.FieldText(), QString());
    EXPECT_EQ(fieldIds(tx), (QList<qint16>{c, a, b}));
    EXPECT_FALSE(tx.document()->toPlainText().contains(QStringLiteral("Name")));
    tx.setFieldCurrent(b);
    tx.setFieldText(QString());
    tx.setFieldCurrent(a);
    tx.setFieldText(QStringLiteral("Joe"));
    EXPECT_EQ(tx.FieldText(), QStringLiteral("Joe"));
    EXPECT_EQ(tx.FieldData(a), QStringLiteral("name"));
    tx.setSelStart(tx.FieldStart() - 1);
    tx.setSelLength(1);
    EXPECT_EQ(tx.ForeColor(), 255);
    EXPECT_EQ(QString::fromUtf8(tx.SaveToMemory(wp::fmt::PlainText)),
              QStringLiteral("DateTo Joe at "));
    EXPECT_THROW(tx.setFieldCurrent(999), wp::Error);
    // Typing after a field does not extend it.
    tx.setFieldCurrent(a);
    tx.setSelStart(tx.FieldStart() - 1 + 3);
    tx.setSelText(QStringLiteral("!"));
    EXPECT_EQ(tx.FieldText(), QStringLiteral("Joe"));
    // No field inside a field; typing inside one is part of its text.
    tx.setSelStart(tx.FieldStart());
    EXPECT_THROW(tx.FieldInsert(QStringLiteral("x"), QStringLiteral("x")), wp::Error);
    tx.setSelText(QStringLiteral("o"));
    EXPECT_EQ(tx.FieldText(), QStringLiteral("Jooe"));
    EXPECT_EQ(fieldIds(tx), (QList<qint16>{c, a, b}));
    // Without FormatSelection a colour goes to the whole text (0xFF0000 is blue).
    tx.setFormatSelection(false);
    tx.setForeColor(0xFF0000);
    QTextCursor at(tx.document());
    at.setPosition(1);
    EXPECT_EQ(at.charFormat().foreground().color(), QColor(0, 0, 255));
    at.movePosition(QTextCursor::End);
    EXPECT_EQ(at.charFormat().foreground().color(), QColor(0, 0, 255));
    EXPECT_THROW(tx.setForeColor(-1), wp::Error);
}

TEST(TextControl, tablesInsertUnderTheirIdsAndEnumerateInDocumentOrder) {
    TextControl tx;
    tx.setSelText(QStringLiteral("start\nend"));
    EXPECT_EQ(tableIds(tx), QList<qint16>());
    EXPECT_EQ(tx.TableInsert(2, 2, -1, 12), 12); // at the caret, the end
    EXPECT_EQ(tx.TableInsert(1, 1, 0, 1001), 1001);
    EXPECT_EQ(tableIds(tx), (QList<qint16>{1001, 12}));
    // Refused: a used id, sizes below 1, a position inside a table or outside.
    EXPECT_EQ(tx.TableInsert(1, 1, 0, 12), 0);
    EXPECT_EQ(tx.TableInsert(0, 1, 0, 50), 0);
    EXPECT_EQ(tx.TableInsert(1, 0, 0, 50), 0);
    EXPECT_EQ(tx.TableInsert(1, 1, 100000, 50), 0);
    EXPECT_EQ(tx.TableInsert(1, 1, tx.table(12)->firstPosition(), 50), 0);
    EXPECT_EQ(tx.TableInsert(1, 1, 0, -3), 0);
    EXPECT_EQ(tx.TableInsert(300, 300, 0, 50), 0); // more cells than one table may have
    // Id 0 takes the smallest free id.
    EXPECT_EQ(tx.TableInsert(3, 4, 0, 0), 1);
    EXPECT_EQ(tableIds(tx), (QList<qint16>{1, 1001, 12}));
    EXPECT_EQ(tx.table(1)->rows(), 3);
    EXPECT_EQ(tx.table(1)->columns(), 4);
    qint16 state = 7, id = 0;
    EXPECT_EQ(tx.TableNext(state, id), 0);
}

TEST(TextControl, nativeRoundTripKeepsEverythingAndAPastedPartGetsFreshIds) {
    TextControl tx;
    buildSample(tx);
    const QByteArray saved = tx.SaveToMemory(wp::fmt::Native, false);
    TextControl copy;
    QSignalSpy replaced(&copy, &TextControl::documentReplaced);
    ASSERT_TRUE(copy.LoadFromMemory(saved, wp::fmt::Native, false))
        << copy.lastError().toStdString();
    EXPECT_EQ(replaced.count(), 1);
    // Format tables are numbered as formats were made; the content is the same.
    EXPECT_EQ(copy.document()->toHtml().toStdString(), tx.document()->toHtml().toStdString());
    TextControl third;
    const QByteArray again = copy.SaveToMemory(wp::fmt::Native);
    ASSERT_TRUE(third.LoadFromMemory(again, wp::fmt::Native));
    EXPECT_EQ(third.SaveToMemory(wp::fmt::Native), again);
    EXPECT_EQ(copy.pageFormat(), tx.pageFormat());
    EXPECT_EQ(copy.BaseLine(), 3);
    EXPECT_EQ(copy.documentProperty(wp::info::Author), QStringLiteral("Jane"));
    expectSampleKept(copy, tx);

    // The whole body saved as a part and pasted after itself doubles fields
    // and tables, which then get fresh ids.
    tx.setSelStart(0);
    tx.setSelLength(tx.document()->characterCount() - 1);
    const QByteArray all = tx.SaveToMemory(wp::fmt::Native, true);
    tx.setSelStart(tx.document()->characterCount() - 1);
    ASSERT_TRUE(tx.LoadFromMemory(all, wp::fmt::Native, true));
    const auto fields = fieldIds(tx);
    EXPECT_EQ(fields.size(), 4);
    EXPECT_EQ(QSet<qint16>(fields.begin(), fields.end()).size(), 4);
    const auto tables = tableIds(tx);
    ASSERT_EQ(tables.size(), 2);
    EXPECT_EQ(tables[0], 1000);
    EXPECT_NE(tables[1], 1000);
}

TEST(TextControl, damagedNativeDataIsRefusedAndChangesNothing) {
    TextControl src;
    buildSample(src);
    const QByteArray good = src.SaveToMemory(wp::fmt::Native);
    TextControl tx;
    tx.setSelText(QStringLiteral("keep me"));
    tx.setPageWidth(5000);
    QSignalSpy replaced(&tx, &TextControl::documentReplaced);
    QTextDocument* before = tx.document();
    const auto refused = [&](const QByteArray& data) {
        const bool ok = tx.LoadFromMemory(data, wp::fmt::Native);
        const bool unchanged = tx.document() == before &&
                               tx.document()->toPlainText() == QStringLiteral("keep me") &&
                               tx.PageWidth() == 5000;
        return !ok && unchanged && !tx.lastError().isEmpty();
    };
    QByteArray badVersion = good;
    badVersion[8] = 9;
    // A list style that is no style (found by the fuzzer).
    QFile badList(
        QStringLiteral(WP_SAMPLES_DIR "/../fuzz/corpus/native/list-style-out-of-range.wpdoc"));
    ASSERT_TRUE(badList.open(QIODevice::ReadOnly));
    QList<QByteArray> damaged{QByteArray(), "{\\rtf1 not ours}", good + "x", badVersion,
                              badList.readAll()};
    for (qsizetype cut : {qsizetype(8), qsizetype(9), qsizetype(20), good.size() / 3,
                          good.size() / 2, good.size() - 4, good.size() - 1})
        damaged << good.left(cut);
    for (const QByteArray& data : damaged)
        EXPECT_TRUE(refused(data)) << data.size() << " bytes";
    // Every single flipped byte either loads a document or is refused.
    for (int i = 8; i < good.size(); i += 7) {
        QByteArray bad = good;
        bad[i] = static_cast<char>(bad[i] ^ 0x5A);
        TextControl scratch;
        if (scratch.LoadFromMemory(bad, wp::fmt::Native)) {
            EXPECT_TRUE(scratch.lastError().isEmpty());
        }
    }
    EXPECT_EQ(replaced.count(), 0);
    EXPECT_TRUE(tx.LoadFromMemory(good, wp::fmt::Native));
    EXPECT_EQ(replaced.count(), 1);
}

TEST(TextControl, nativeKeepsFramesAndEveryKindOfFormatValue) {
    TextControl tx;
    QTextCursor c(tx.document());
    c.insertText(QStringLiteral("before"));
    QTextTableFormat tableFormat;
    tableFormat.setProperty(wp::prop::TableId, 20);
    tableFormat.setColumnWidthConstraints({QTextLength(QTextLength::FixedLength, 100),
                                           QTextLength(QTextLength::PercentageLength, 40)});
    tableFormat.setBorderBrush(QBrush(QColor(10, 20, 30), Qt::Dense4Pattern));
    c.insertTable(2, 2, tableFormat);
    QTextCharFormat odd;
    odd.setTextOutline(QPen(QColor(1, 2, 3), 2.5, Qt::DashLine));
    odd.setFontFamilies({QStringLiteral("A"), QStringLiteral("B")});
    odd.setProperty(QTextFormat::UserProperty + 50, QVariantList{1, QStringLiteral("x")});
    odd.setAnchorHref(QStringLiteral("http://example.org"));
    QTextCursor end(tx.document());
    end.movePosition(QTextCursor::End);
    end.insertText(QStringLiteral("after"), odd);
    QTextFrameFormat frameFormat;
    frameFormat.setBorder(3);
    end.insertFrame(frameFormat);
    end.insertText(QStringLiteral("framed"));

    TextControl copy;
    ASSERT_TRUE(copy.LoadFromMemory(tx.SaveToMemory(wp::fmt::Native), wp::fmt::Native))
        << copy.lastError().toStdString();
    EXPECT_EQ(copy.document()->toHtml().toStdString(), tx.document()->toHtml().toStdString());
    // The HTML holds the text, frames, column widths and families, but no
    // ids, brush patterns, outlines, user properties or anchors.
    EXPECT_EQ(tableIds(copy), (QList<qint16>{20}));
    EXPECT_EQ(copy.table(20)->format().borderBrush(), tableFormat.borderBrush());
    QTextCursor at(copy.document());
    at.setPosition(copy.document()->toPlainText().indexOf(QStringLiteral("after")) + 1);
    const QTextCharFormat f = at.charFormat();
    EXPECT_EQ(f.textOutline(), odd.textOutline());
    EXPECT_EQ(f.property(QTextFormat::UserProperty + 50),
              odd.property(QTextFormat::UserProperty + 50));
    EXPECT_EQ(f.anchorHref(), QStringLiteral("http://example.org"));
}

TEST(TextControl, tagBelongsToTheControlAndSurvivesEveryLoad) {
    TextControl source;
    buildSample(source);
    const QString hostXml =
        QStringLiteral("<resume id=\"7\"><props><title>Mine</title></props></resume>");
    for (int format : {wp::fmt::Native, wp::fmt::Rtf, wp::fmt::PlainText}) {
        TextControl tx;
        tx.setTag(hostXml);
        const QByteArray data = source.SaveToMemory(format);
        ASSERT_TRUE(tx.LoadFromMemory(data, format)) << format;
        EXPECT_EQ(tx.Tag(), hostXml) << format;
        ASSERT_TRUE(tx.LoadFromMemory(data, format, true)) << format; // into the selection
        EXPECT_EQ(tx.Tag(), hostXml) << format;
        EXPECT_FALSE(tx.LoadFromMemory("\x01garbage", wp::fmt::Native));
        EXPECT_EQ(tx.Tag(), hostXml) << format;
        tx.setTag(QString());
        ASSERT_TRUE(tx.LoadFromMemory(source.SaveToMemory(wp::fmt::Native), wp::fmt::Native));
        EXPECT_EQ(tx.Tag(), "") << "a document's saved Tag must not replace the control's";
    }
}
