#pragma once
// A document with something of everything the control holds, and walks
// over its fields and tables, for the tests of the control and its formats.
#include "wp/TextControl.h"

#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
#include <gtest/gtest.h>

namespace {

using wp::TextControl;

inline void buildSample(TextControl& tx) {
    QTextCursor c(tx.document());
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    bold.setFontFamilies({QStringLiteral("Arial")});
    bold.setFontPointSize(14);
    QTextBlockFormat centred;
    centred.setAlignment(Qt::AlignHCenter);
    centred.setTopMargin(120);
    c.setBlockFormat(centred);
    c.insertText(QStringLiteral("Jane Doe"), bold);
    c.insertBlock(QTextBlockFormat());
    c.insertText(QStringLiteral("Dear "), QTextCharFormat());
    tx.setTextCursor(c);
    tx.FieldInsert(QStringLiteral("Contact Name"), QStringLiteral("contact_name"));
    c = tx.textCursor();
    c.insertText(QStringLiteral(", thank you \u00e9\u4e2d\U0001F600."));
    tx.setTextCursor(c);
    ASSERT_EQ(tx.TableInsert(2, 3, -1, 1000), 1000);
    QTextTable* t = tx.table(1000);
    ASSERT_NE(t, nullptr);
    t->mergeCells(0, 0, 1, 2);
    QTextCursor cell = t->cellAt(1, 2).firstCursorPosition();
    cell.insertText(QStringLiteral("cell text"));
    cell.insertBlock();
    cell.insertText(QStringLiteral("second paragraph"));
    tx.setTextCursor(t->cellAt(1, 0).firstCursorPosition());
    tx.FieldInsert(QStringLiteral("Company"), QStringLiteral("company"));
    c = QTextCursor(tx.document());
    c.movePosition(QTextCursor::End);
    QTextBlockFormat breakBefore;
    breakBefore.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    c.insertBlock(breakBefore);
    c.insertText(QStringLiteral("Page two"));

    QTextCursor(tx.headerFooterDocument(wp::hf::Header)).insertText(QStringLiteral("Header"));
    QTextCursor(tx.headerFooterDocument(wp::hf::FirstPageFooter))
        .insertText(QStringLiteral("First footer"));
    wp::PageFormat pf;
    pf.width = 11906;
    pf.height = 16838;
    pf.marginL = 1134;
    pf.marginT = 1000;
    pf.marginR = 900;
    pf.marginB = 800;
    pf.headerPosition = 708.75;
    pf.footerPosition = 567;
    pf.headerFooter = 15;
    tx.setPageFormat(pf);
    tx.setBaseLine(3);
    tx.setTag(QStringLiteral("<resume><props><title>T</title></props></resume>"));
    tx.setDocumentProperty(wp::info::Author, QStringLiteral("Jane"));
}

inline QList<qint16> fieldIds(const TextControl& tx) {
    QList<qint16> ids;
    for (qint16 id = tx.FieldNext(0, 0); id != 0; id = tx.FieldNext(id, 0))
        ids << id;
    return ids;
}

// Each field's name and title, in document order.
inline QStringList fields(TextControl& tx) {
    QStringList out;
    for (qint16 id : fieldIds(tx)) {
        tx.setFieldCurrent(id);
        out << tx.FieldData(id) + QLatin1Char('=') + tx.FieldText();
    }
    return out;
}

inline QString plain(const TextControl& tx) {
    return QString::fromUtf8(tx.SaveToMemory(wp::fmt::PlainText));
}

inline QList<qint16> tableIds(const TextControl& tx) {
    QList<qint16> ids;
    qint16 state = 0, id = 0;
    while ((state = tx.TableNext(state, id)) != 0)
        ids << id;
    return ids;
}

// What every saved format keeps of buildSample(): headers, fields with
// their ids, data, text and place, the table and its merge, and formatting.
inline void expectSampleKept(TextControl& copy, TextControl& tx) {
    EXPECT_EQ(copy.headerFooterDocument(wp::hf::Header)->toPlainText(), QStringLiteral("Header"));
    EXPECT_EQ(copy.headerFooterDocument(wp::hf::FirstPageFooter)->toPlainText(),
              QStringLiteral("First footer"));
    EXPECT_EQ(fieldIds(copy), fieldIds(tx));
    for (qint16 id : fieldIds(tx)) {
        EXPECT_EQ(copy.FieldData(id), tx.FieldData(id));
        copy.setFieldCurrent(id);
        tx.setFieldCurrent(id);
        EXPECT_EQ(copy.FieldText(), tx.FieldText());
        EXPECT_EQ(copy.FieldStart(), tx.FieldStart());
    }
    EXPECT_EQ(tableIds(copy), QList<qint16>{1000});
    QTextTable* t = copy.table(1000);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->cellAt(0, 1).column(), 0); // still merged
    EXPECT_EQ(t->cellAt(0, 0).columnSpan(), 2);
    QTextCursor c(copy.document());
    c.setPosition(2);
    EXPECT_EQ(c.charFormat().fontWeight(), QFont::Bold);
    EXPECT_EQ(c.charFormat().fontFamilies().toStringList(), QStringList{QStringLiteral("Arial")});
    EXPECT_EQ(c.blockFormat().alignment(), Qt::AlignHCenter);
    EXPECT_EQ(copy.document()->lastBlock().blockFormat().pageBreakPolicy(),
              QTextFormat::PageBreak_AlwaysBefore);
}

} // namespace
