// The table dialog, driven modally through clsWP and its object names, on a
// real document control; and the sorted string list it uses.
#include "dialogs/frmTableDlg.h"
#include "support/TestSupport.h"
#include "wp/wp.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextTable>
#include <gtest/gtest.h>

using wp::modWP::gstrReturnXML;
using wptest::child;
using wptest::click;

namespace {
QComboBox* combo(QWidget* f, int index) {
    return child<QComboBox>(f, QStringLiteral("cmbTable(%1)").arg(index));
}
void save(QWidget* f, const char* rows, const char* cols) {
    combo(f, 0)->setEditText(QString::fromLatin1(rows));
    combo(f, 1)->setEditText(QString::fromLatin1(cols));
    click(f, "pbOK");
}
QString tableXml(int id) {
    return QStringLiteral("<tbl><table_id>%1</table_id></tbl>").arg(id);
}
// The texts of the paragraphs just before and just after a table.
QStringList around(const QTextTable* table) {
    if (!table)
        return {QStringLiteral("no table")};
    const QTextDocument* doc = table->document();
    return {doc->findBlock(table->firstPosition() - 1).text(),
            doc->findBlock(table->lastPosition() + 1).text()};
}

class TableDlg : public ::testing::Test {
protected:
    void SetUp() override { host.setTx(&tx); }
    QString show(const std::function<void(QWidget*)>& onForm) {
        QString strXML;
        return wptest::runModal(
            QStringLiteral("frmTableDlg"), QStringLiteral("Table Attributes"),
            [&] { return host.TableDialogShow(strXML); }, onForm);
    }
    // A table of the host's own at the end, where the caret then stays (a
    // new table takes the caret into its first cell).
    void addTable(qint16 id) {
        toEnd();
        ASSERT_EQ(tx.TableInsert(1, 1, -1, id), id);
        toEnd();
    }
    void toEnd() { tx.setSelStart(tx.document()->characterCount()); }
    const QTextTable* table(qint16 id) const { return tx.table(id); }

    wp::TextControl tx;
    wp::clsWP host;
    wptest::ReportRecorder recorder;
    wptest::MessageRecorder messages;
};
} // namespace

TEST_F(TableDlg, savesEightByTwoAtTheCaretUnderId1000AndItSurvivesSaveAndLoad) {
    tx.setSelText(QStringLiteral("Alpha\r\nBeta"));
    tx.setSelStart(2);
    const QString result = show([](QWidget* f) {
        EXPECT_EQ(combo(f, 0)->count(), 100);
        EXPECT_EQ(combo(f, 0)->itemText(99), QStringLiteral("100"));
        EXPECT_EQ(combo(f, 1)->count(), 12);
        EXPECT_EQ(combo(f, 0)->currentText() + combo(f, 1)->currentText(), QStringLiteral("82"));
        click(f, "pbOK");
    });
    EXPECT_EQ(result, tableXml(1000));
    EXPECT_EQ(gstrReturnXML, result);
    for (int format : {0, wp::fmt::Native, wp::fmt::Rtf}) {
        wp::TextControl copy;
        if (format) {
            ASSERT_TRUE(copy.LoadFromMemory(tx.SaveToMemory(format), format));
        }
        const QTextTable* t = (format ? copy : tx).table(1000);
        ASSERT_NE(t, nullptr) << format;
        EXPECT_EQ(t->rows() * 10 + t->columns(), 82) << format;
        EXPECT_EQ(around(t), QStringList({"Al", "pha"})) << format;
    }
}

TEST_F(TableDlg, theNewIdFollowsTheGreatestIdFromTenUp) {
    tx.setSelText(QStringLiteral("x"));
    addTable(3);
    addTable(9);
    EXPECT_EQ(show([](QWidget* f) { click(f, "pbOK"); }), tableXml(1000));
    addTable(12);
    addTable(1001); // "01001" sorts above "00012"
    EXPECT_EQ(show([](QWidget* f) { click(f, "pbOK"); }), tableXml(1002));
    EXPECT_NE(table(1002), nullptr);
    // The caret is in that table now: the control refuses, and its 0 is
    // handed on as it is.
    EXPECT_EQ(show([](QWidget* f) { click(f, "pbOK"); }), tableXml(0));
    // So does a table the document could not load again.
    toEnd();
    EXPECT_EQ(show([](QWidget* f) { save(f, "8400", "12"); }), tableXml(0));

    // The id after 32767 does not fit: reported, nothing inserted, the
    // window stays and the result keeps its value.
    addTable(32767);
    show([this](QWidget* f) {
        click(f, "pbOK");
        EXPECT_TRUE(f->isVisible());
        ASSERT_FALSE(recorder.reports.empty());
        EXPECT_EQ(recorder.reports[0].number, wp::err::Overflow);
        EXPECT_TRUE(recorder.reports[0].variables.contains(QStringLiteral("intTableIDNew")));
        f->close();
    });
    EXPECT_EQ(gstrReturnXML, tableXml(0));
    EXPECT_EQ(table(0), nullptr);
}

TEST_F(TableDlg, atTheVeryStartAParagraphBreakComesFirst) {
    tx.setSelText(QStringLiteral("Text"));
    tx.setCurrentInputPosition(1, 1, 0);
    show([](QWidget* f) { click(f, "pbOK"); });
    EXPECT_EQ(around(table(1000)), QStringList({"", "Text"}));
    // Anywhere else the table goes in as it is.
    tx.setCurrentInputPosition(1, 1, 0);
    tx.setSelText(QStringLiteral("Head"));
    show([](QWidget* f) { click(f, "pbOK"); });
    EXPECT_EQ(around(table(1001)).first(), QStringLiteral("Head"));
    EXPECT_EQ(tx.document()->firstBlock().text(), QStringLiteral("Head"));
}

TEST_F(TableDlg, valuesBelowOneOrNoNumberKeepTheWindowOpenAndHalvesRoundToEven) {
    gstrReturnXML = QStringLiteral("older");
    const QString result = show([this](QWidget* f) {
        save(f, "0", "2");
        save(f, "3", "-0.6");
        ASSERT_EQ(messages.messages.size(), 2u);
        EXPECT_EQ(messages.messages[0].text,
                  QStringLiteral("The rows and columns must be greater than or equal to 1."));
        EXPECT_EQ(messages.messages[0].title, QStringLiteral("Invalid Values"));
        EXPECT_EQ(messages.messages[0].style, wp::mb::Exclamation);
        EXPECT_TRUE(recorder.reports.empty()) << "a value below 1 is no error";
        save(f, "3", "");
        save(f, "40000", "2");
        EXPECT_EQ(recorder.takeProcedures(),
                  QStringList({"SaveCancel", "pbOK_Click", "SaveCancel", "pbOK_Click"}));
        EXPECT_TRUE(f->isVisible());
        EXPECT_EQ(gstrReturnXML, QStringLiteral("older"));
        save(f, "2.5", "3.5");
    });
    EXPECT_EQ(result, tableXml(1000));
    ASSERT_NE(table(1000), nullptr);
    EXPECT_EQ(table(1000)->rows(), 2);
    EXPECT_EQ(table(1000)->columns(), 4);
}

TEST_F(TableDlg, enterMovesTheFocusDownAndNeverSavesAndOnlyCancelEmptiesTheResult) {
    const QString result = show([](QWidget* f) {
        QApplication::setActiveWindow(f);
        EXPECT_EQ(QApplication::focusWidget(), combo(f, 0));
        QTest::keyClick(combo(f, 0), Qt::Key_Return);
        EXPECT_EQ(QApplication::focusWidget(), combo(f, 1));
        combo(f, 1)->lineEdit()->selectAll();
        QTest::keyClicks(combo(f, 1), QStringLiteral("5"));
        QTest::keyClick(combo(f, 1)->lineEdit(), Qt::Key_Enter);
        EXPECT_EQ(QApplication::focusWidget(), child<QPushButton>(f, QStringLiteral("pbOK")));
        EXPECT_TRUE(f->isVisible());
        EXPECT_EQ(combo(f, 1)->count(), 12) << "typed text is no list entry";
        QTest::keyClick(child<QPushButton>(f, QStringLiteral("pbOK")), Qt::Key_Return);
    });
    EXPECT_EQ(result, tableXml(1000));
    EXPECT_EQ(table(1000)->columns(), 5);
    // Only Cancel empties the result; the close box keeps it.
    EXPECT_EQ(show([](QWidget* f) { f->close(); }), tableXml(1000));
    EXPECT_EQ(show([](QWidget* f) { click(f, "pbCancel"); }), QString());
    EXPECT_EQ(table(1001), nullptr);
    EXPECT_FALSE(wp::modWP::FormInstance<wp::frmTableDlg>::exists());
}

TEST(KSortedList, countAddItemAndSortInTheInterfaceOrder) {
    wp::KSortedList list;
    for (const char* s : {"00012", "01001", "00999", "00012"})
        list.Add(QString::fromLatin1(s));
    EXPECT_EQ(list.Count(), 4);
    EXPECT_EQ(list.Item(1), QStringLiteral("01001")) << "in the order added until sorted";
    list.Sort(0);
    EXPECT_EQ(list.Item(0) + list.Item(3), QStringLiteral("0100100012"));
    list.Sort(1);
    EXPECT_EQ(list.Item(0) + list.Item(3), QStringLiteral("0001201001"));
    EXPECT_THROW(list.Item(4), wp::Error);
    EXPECT_THROW(list.Item(-1), wp::Error);
    const QMetaObject* mo = list.metaObject();
    QStringList members;
    for (int i = mo->methodOffset(); i < mo->methodCount(); ++i)
        members << QString::fromLatin1(mo->method(i).name());
    EXPECT_EQ(members, QStringList({"Count", "Add", "Item", "Sort"}));
}
