// The table dialog, driven modally through clsWP and its object names, on a
// real document control; and the sorted string list it uses.
#include "dialogs/frmTableDlg.h"
#include "host/modWP.h"
#include "support/TestSupport.h"
#include "wp/wp.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMetaMethod>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
#include <gtest/gtest.h>

using wp::frmTableDlg;
using wp::modWP::gstrReturnXML;
using wptest::child;

namespace {
QComboBox* combo(QWidget* f, int index) {
    return child<QComboBox>(f, QStringLiteral("cmbTable(%1)").arg(index));
}
void click(QWidget* f, const char* button) {
    child<QPushButton>(f, QString::fromLatin1(button))->click();
}
void type(QWidget* f, const QString& rows, const QString& cols) {
    combo(f, 0)->setEditText(rows);
    combo(f, 1)->setEditText(cols);
}
QString tableXml(int id) {
    return QStringLiteral("<tbl><table_id>%1</table_id></tbl>").arg(id);
}
// The text of the paragraphs just before and just after a table.
QPair<QString, QString> around(const QTextTable* table) {
    QTextCursor c(table->document());
    c.setPosition(table->firstPosition() - 1);
    const QString before = c.block().text();
    c.setPosition(table->lastPosition() + 1);
    return {before, c.block().text()};
}

class TableDlg : public ::testing::Test {
protected:
    void SetUp() override { host.setTx(&tx); }
    void TearDown() override { wp::modWP::ResetGlobals(); }

    QString show(const std::function<void(QWidget*)>& onForm) {
        QString strXML;
        const QString result = wptest::runModal(
            QStringLiteral("frmTableDlg"), QStringLiteral("Table Attributes"),
            [&] { return host.TableDialogShow(strXML); }, onForm);
        EXPECT_FALSE(wp::modWP::FormInstance<frmTableDlg>::exists());
        return result;
    }
    // A table of the host's own at the end of the document, where the caret
    // then stays (a new table puts the caret into its first cell).
    void addTable(qint16 id) {
        toEnd();
        ASSERT_EQ(tx.TableInsert(1, 1, -1, id), id);
        toEnd();
    }
    void toEnd() { tx.setSelStart(tx.document()->characterCount()); }
    int tableCount() const {
        int n = 0;
        qint16 state = 0;
        qint16 id = 0;
        while ((state = tx.TableNext(state, id)) != 0)
            ++n;
        return n;
    }

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
        for (int i = 0; i < 2; ++i) {
            QStringList items;
            for (int n = 0; n < combo(f, i)->count(); ++n)
                items << combo(f, i)->itemText(n);
            QStringList expected;
            for (int n = 1; n <= (i == 0 ? 100 : 12); ++n)
                expected << QString::number(n);
            EXPECT_EQ(items, expected);
            EXPECT_TRUE(combo(f, i)->isEditable());
        }
        EXPECT_EQ(combo(f, 0)->currentText(), QStringLiteral("8"));
        EXPECT_EQ(combo(f, 1)->currentText(), QStringLiteral("2"));
        EXPECT_EQ(child<QLabel>(f, QStringLiteral("cjlbl(0)"))->text(), QStringLiteral("Rows:"));
        EXPECT_EQ(child<QLabel>(f, QStringLiteral("cjlbl(1)"))->text(), QStringLiteral("Columns:"));
        EXPECT_EQ(child<QPushButton>(f, QStringLiteral("pbOK"))->text(), QStringLiteral("Save"));
        click(f, "pbOK");
    });
    EXPECT_EQ(result, tableXml(1000));
    EXPECT_EQ(gstrReturnXML, result);

    auto check = [](const wp::TextControl& doc, const char* how) {
        const QTextTable* table = doc.table(1000);
        ASSERT_NE(table, nullptr) << how;
        EXPECT_EQ(table->rows(), 8) << how;
        EXPECT_EQ(table->columns(), 2) << how;
        EXPECT_EQ(around(table), qMakePair(QStringLiteral("Al"), QStringLiteral("pha"))) << how;
    };
    check(tx, "inserted");
    for (int format : {wp::fmt::Native, wp::fmt::Rtf}) {
        wp::TextControl copy;
        ASSERT_TRUE(copy.LoadFromMemory(tx.SaveToMemory(format), format))
            << copy.lastError().toStdString();
        check(copy, format == wp::fmt::Native ? "native" : "RTF");
    }
}

TEST_F(TableDlg, theNewIdFollowsTheGreatestIdFromTenUp) {
    // Ids below 10 do not count.
    tx.setSelText(QStringLiteral("x"));
    addTable(3);
    addTable(9);
    EXPECT_EQ(show([](QWidget* f) { click(f, "pbOK"); }), tableXml(1000));
    // 1001 is greater than 12 as a number and, zero-padded, as a string.
    addTable(12);
    addTable(1001);
    EXPECT_EQ(show([](QWidget* f) { click(f, "pbOK"); }), tableXml(1002));
    ASSERT_NE(tx.table(1002), nullptr);
    EXPECT_EQ(tableCount(), 6);

    // With the caret in a table the control refuses the insertion, and the
    // dialog hands its answer, 0, on as it is.
    EXPECT_EQ(show([](QWidget* f) { click(f, "pbOK"); }), tableXml(0));
    EXPECT_EQ(tableCount(), 6);

    // The next id would not fit in 16 bits: reported, nothing inserted, the
    // window stays and the result keeps its old value.
    addTable(32767);
    show([this](QWidget* f) {
        click(f, "pbOK");
        EXPECT_TRUE(f->isVisible());
        ASSERT_FALSE(recorder.reports.empty());
        EXPECT_EQ(recorder.reports[0].number, wp::err::Overflow);
        EXPECT_TRUE(recorder.reports[0].variables.contains(QStringLiteral("intTableIDNew")));
        EXPECT_EQ(recorder.takeProcedures(), QStringList({"SaveCancel", "pbOK_Click"}));
        EXPECT_EQ(gstrReturnXML, tableXml(0));
        f->close();
    });
    EXPECT_EQ(tableCount(), 7);
}

TEST_F(TableDlg, atTheVeryStartAParagraphBreakComesFirst) {
    tx.setSelText(QStringLiteral("Text"));
    tx.setCurrentInputPosition(1, 1, 0);
    ASSERT_EQ(tx.CurrentInputPosition(), (QList<qint32>{1, 1, 0}));
    show([](QWidget* f) {
        type(f, QStringLiteral("1"), QStringLiteral("1"));
        click(f, "pbOK");
    });
    EXPECT_EQ(around(tx.table(1000)), qMakePair(QString(), QStringLiteral("Text")));
    EXPECT_EQ(tx.document()->firstBlock().text(), QString());

    // Anywhere else the table goes in as it is.
    tx.setCurrentInputPosition(1, 1, 0);
    tx.setSelText(QStringLiteral("Head"));
    show([](QWidget* f) { click(f, "pbOK"); });
    EXPECT_EQ(tx.document()->firstBlock().text(), QStringLiteral("Head"));
    EXPECT_EQ(around(tx.table(1001)).first, QStringLiteral("Head"));
}

TEST_F(TableDlg, rowsAndColumnsBelowOneOrNoNumberKeepTheWindowOpen) {
    gstrReturnXML = QStringLiteral("older");
    const QString result = show([this](QWidget* f) {
        type(f, QStringLiteral("0"), QStringLiteral("2"));
        click(f, "pbOK");
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(messages.messages[0].text,
                  QStringLiteral("The rows and columns must be greater than or equal to 1."));
        EXPECT_EQ(messages.messages[0].title, QStringLiteral("Invalid Values"));
        EXPECT_EQ(messages.messages[0].style, wp::mb::Exclamation | wp::mb::OKOnly);
        EXPECT_TRUE(f->isVisible());
        EXPECT_TRUE(recorder.reports.empty()) << "a value below 1 is no error";

        type(f, QStringLiteral("3"), QStringLiteral("-0.6"));
        click(f, "pbOK");
        EXPECT_EQ(messages.messages.size(), 2u);

        type(f, QStringLiteral("3"), QString());
        click(f, "pbOK");
        EXPECT_TRUE(f->isVisible());
        EXPECT_EQ(recorder.takeProcedures(), QStringList({"SaveCancel", "pbOK_Click"}));
        type(f, QStringLiteral("40000"), QStringLiteral("2"));
        click(f, "pbOK");
        EXPECT_EQ(recorder.takeProcedures(), QStringList({"SaveCancel", "pbOK_Click"}));
        EXPECT_EQ(gstrReturnXML, QStringLiteral("older"));
        EXPECT_EQ(tableCount(), 0);

        // Half to even: 2.5 rows are 2, 3.5 columns are 4.
        type(f, QStringLiteral("2.5"), QStringLiteral("3.5"));
        click(f, "pbOK");
    });
    EXPECT_EQ(result, tableXml(1000));
    ASSERT_NE(tx.table(1000), nullptr);
    EXPECT_EQ(tx.table(1000)->rows(), 2);
    EXPECT_EQ(tx.table(1000)->columns(), 4);
    EXPECT_EQ(messages.messages.size(), 2u);
}

TEST_F(TableDlg, enterMovesTheFocusDownAndNeverSaves) {
    const QString result = show([this](QWidget* f) {
        QApplication::setActiveWindow(f);
        EXPECT_EQ(QApplication::focusWidget(), combo(f, 0));
        QTest::keyClick(combo(f, 0), Qt::Key_Return);
        EXPECT_EQ(QApplication::focusWidget(), combo(f, 1));
        // Typing still reaches the box.
        combo(f, 1)->lineEdit()->selectAll();
        QTest::keyClicks(combo(f, 1), QStringLiteral("5"));
        EXPECT_EQ(combo(f, 1)->currentText(), QStringLiteral("5"));
        QTest::keyClick(combo(f, 1)->lineEdit(), Qt::Key_Enter);
        EXPECT_EQ(QApplication::focusWidget(), child<QPushButton>(f, QStringLiteral("pbOK")));
        EXPECT_TRUE(f->isVisible());
        EXPECT_EQ(tableCount(), 0);
        EXPECT_EQ(combo(f, 1)->count(), 12) << "typed text is no list entry";

        EXPECT_EQ(wptest::tabOrder(combo(f, 0)),
                  QStringList({"cmbTable(0)", "cmbTable(1)", "pbOK", "pbCancel"}));
        // Enter on Save is the user's Save.
        QTest::keyClick(child<QPushButton>(f, QStringLiteral("pbOK")), Qt::Key_Return);
    });
    EXPECT_EQ(result, tableXml(1000));
    EXPECT_EQ(tx.table(1000)->columns(), 5);
}

TEST_F(TableDlg, cancelEmptiesTheResultWhileTheCloseBoxAndEscapeKeepIt) {
    EXPECT_EQ(show([](QWidget* f) { click(f, "pbOK"); }), tableXml(1000));
    EXPECT_EQ(show([](QWidget* f) { f->close(); }), tableXml(1000));
    EXPECT_EQ(show([](QWidget* f) { QTest::keyClick(f, Qt::Key_Escape); }), tableXml(1000));
    EXPECT_EQ(show([](QWidget* f) { click(f, "pbCancel"); }), QString());
    EXPECT_EQ(gstrReturnXML, QString());
    EXPECT_EQ(tableCount(), 1);

    // A late-bound host reaches the function by its dispatch id.
    toEnd();
    wptest::whenModal([](QWidget* f) { click(f, "pbOK"); });
    EXPECT_EQ(host.Invoke(wp::clsWP::DISPID_TableDialogShow, {QString()}).toString(),
              tableXml(1001));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    // Without a document control the save is reported and the window stays.
    wp::clsWP bare;
    QString strXML;
    wptest::whenModal([this](QWidget* f) {
        click(f, "pbOK");
        EXPECT_TRUE(f->isVisible());
        EXPECT_EQ(recorder.takeProcedures(), QStringList({"SaveCancel", "pbOK_Click"}));
        click(f, "pbCancel");
    });
    EXPECT_EQ(bare.TableDialogShow(strXML), QString());
}

TEST(KSortedList, countAddItemAndSortReachableByName) {
    wp::KSortedList list;
    EXPECT_EQ(list.Count(), 0);
    for (const char* s : {"00012", "01001", "00999", "00012"})
        list.Add(QString::fromLatin1(s));
    EXPECT_EQ(list.Count(), 4);
    EXPECT_EQ(list.Item(1), QStringLiteral("01001")) << "kept in the order added until sorted";
    list.Sort(0);
    QStringList items;
    for (int i = 0; i < list.Count(); ++i)
        items << list.Item(i);
    EXPECT_EQ(items, QStringList({"01001", "00999", "00012", "00012"}));
    list.Sort(1);
    EXPECT_EQ(list.Item(0), QStringLiteral("00012"));
    EXPECT_EQ(list.Item(3), QStringLiteral("01001"));
    for (int bad : {-1, 4}) {
        try {
            list.Item(bad);
            ADD_FAILURE() << "index " << bad;
        } catch (const wp::Error& e) {
            EXPECT_EQ(e.number, wp::err::SubscriptOutOfRange);
        }
    }

    // The interface's members in its order, reached by name.
    const QMetaObject* mo = list.metaObject();
    QStringList members;
    for (int i = mo->methodOffset(); i < mo->methodCount(); ++i)
        members << QString::fromLatin1(mo->method(i).name());
    EXPECT_EQ(members, QStringList({"Count", "Add", "Item", "Sort"}));
    QString top;
    ASSERT_TRUE(QMetaObject::invokeMethod(&list, "Sort", Q_ARG(qint32, 0)));
    ASSERT_TRUE(
        QMetaObject::invokeMethod(&list, "Item", Q_RETURN_ARG(QString, top), Q_ARG(qint32, 0)));
    EXPECT_EQ(top, QStringLiteral("01001"));
    EXPECT_STREQ(mo->classInfo(mo->indexOfClassInfo("CLSID")).value(),
                 "{BDA7C356-183B-4A36-8CB5-439C9566BE52}");
}
