// The header and footer dialog, driven modally through clsWP and its object
// names, acting on a real document control.
#include "dialogs/frmHeaderProperties.h"
#include "host/modWP.h"
#include "support/TestSupport.h"
#include "wp/Error.h"
#include "wp/TextControl.h"
#include "wp/clsWP.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using wp::frmHeaderProperties;
using wptest::child;

namespace {
QLineEdit* field(QWidget* f, const char* name) {
    return child<QLineEdit>(f, QString::fromLatin1(name));
}
QCheckBox* firstPage(QWidget* f) {
    return child<QCheckBox>(f, QStringLiteral("cjchkFirstPageDifferent"));
}
void click(QWidget* f, const char* button) {
    child<QPushButton>(f, QString::fromLatin1(button))->click();
}
// An up or down click, through the control's public slot.
void step(QWidget* f, const char* upDown, const char* slot) {
    ASSERT_TRUE(QMetaObject::invokeMethod(child<QWidget>(f, QString::fromLatin1(upDown)), slot));
}

class HeaderDlg : public ::testing::Test {
protected:
    void SetUp() override { host.setTx(&tx); }
    void TearDown() override { wp::modWP::ResetGlobals(); }

    // HeaderPropertiesShow with `step` acting on the open window.
    void show(const std::function<void(QWidget*)>& onForm) {
        QString strXML = QStringLiteral("<ignored/>");
        EXPECT_EQ(wptest::runModal(
                      QStringLiteral("frmHeaderProperties"),
                      QStringLiteral("Headers and Footers Properties"),
                      [&] { return host.HeaderPropertiesShow(strXML); }, onForm),
                  QString());
        EXPECT_FALSE(wp::modWP::FormInstance<frmHeaderProperties>::exists())
            << "every call gets a fresh window";
    }
    // The procedures reported since the last call, in order.

    wp::TextControl tx;
    wp::clsWP host;
    wptest::ReportRecorder recorder;
};
} // namespace

TEST_F(HeaderDlg, showsWholeMillimetresAndSavesTheFieldsTimes56Point7) {
    tx.setHeaderFooter(5);
    tx.setHeaderFooterPosition(1, 1134);
    tx.setHeaderFooterPosition(4, 708.75); // 12.5 mm shows as 12
    show([](QWidget* f) {
        EXPECT_EQ(child<QGroupBox>(f, QStringLiteral("cjgrpDistance"))->title(),
                  QStringLiteral("Distance from page border"));
        QStringList labels;
        for (int i = 0; i < 4; ++i)
            labels << child<QLabel>(f, QStringLiteral("cjlbl(%1)").arg(i))->text();
        EXPECT_EQ(labels, QStringList({"Header", "mm", "Footer", "mm"}));
        EXPECT_EQ(firstPage(f)->text(), QStringLiteral("Manage the header and footer on the "
                                                       "first page separately from all other "
                                                       "pages."));
        EXPECT_EQ(child<QPushButton>(f, QStringLiteral("pbOK"))->text(), QStringLiteral("Save"));
        EXPECT_EQ(field(f, "feHeader")->text(), QStringLiteral("20"));
        EXPECT_EQ(field(f, "feFooter")->text(), QStringLiteral("12"));
        EXPECT_FALSE(firstPage(f)->isChecked());
        field(f, "feHeader")->setText(QStringLiteral("12.5"));
        field(f, "feFooter")->setText(QStringLiteral("20"));
        firstPage(f)->setChecked(true);
        click(f, "pbOK");
    });
    EXPECT_DOUBLE_EQ(tx.HeaderFooterPosition(1), 708.75);
    EXPECT_DOUBLE_EQ(tx.HeaderFooterPosition(4), 1134);
    EXPECT_EQ(tx.HeaderFooter(), 15);
    EXPECT_TRUE(recorder.reports.empty());
}

TEST_F(HeaderDlg, flagsLoadTheCheckBoxAndSaveAs15Or5) {
    // Opening alone turns a document without header and footer into 15,
    // Cancel included; nothing else changes.
    tx.setHeaderFooterPosition(1, 567);
    show([](QWidget* f) {
        EXPECT_TRUE(firstPage(f)->isChecked());
        field(f, "feHeader")->setText(QStringLiteral("40"));
        click(f, "pbCancel");
    });
    EXPECT_EQ(tx.HeaderFooter(), 15);
    EXPECT_DOUBLE_EQ(tx.HeaderFooterPosition(1), 567);

    const struct {
        int flags;
        bool checked;
    } cases[] = {{15, true}, {5, false}, {2, true}, {8, true}, {1, false}, {4, false}};
    for (const auto& c : cases) {
        tx.setHeaderFooter(c.flags);
        show([&](QWidget* f) {
            EXPECT_EQ(firstPage(f)->isChecked(), c.checked) << "flags " << c.flags;
            firstPage(f)->setChecked(false);
            click(f, "pbOK");
        });
        EXPECT_EQ(tx.HeaderFooter(), 5) << "flags " << c.flags;
    }
    // The close box and Escape apply nothing.
    show([](QWidget* f) {
        firstPage(f)->setChecked(true);
        f->close();
    });
    show([](QWidget* f) {
        firstPage(f)->setChecked(true);
        QTest::keyClick(f, Qt::Key_Escape);
    });
    EXPECT_EQ(tx.HeaderFooter(), 5);
}

TEST_F(HeaderDlg, upAndDownStepTheLeadingNumberRoundedHalfToEven) {
    show([this](QWidget* f) {
        QLineEdit* header = field(f, "feHeader");
        QLineEdit* footer = field(f, "feFooter");
        header->setText(QStringLiteral("12.5"));
        step(f, "udHeader", "stepUp");
        EXPECT_EQ(header->text(), QStringLiteral("13"));
        header->setText(QStringLiteral("13.5"));
        step(f, "udHeader", "stepUp");
        EXPECT_EQ(header->text(), QStringLiteral("15"));
        footer->setText(QStringLiteral("0"));
        step(f, "udFooter", "stepDown");
        EXPECT_EQ(footer->text(), QStringLiteral("-1"));
        EXPECT_EQ(header->text(), QStringLiteral("15")) << "each control steps its own field";
        footer->setText(QStringLiteral(" 7,5 mm"));
        step(f, "udFooter", "stepUp");
        EXPECT_EQ(footer->text(), QStringLiteral("8"));
        footer->setText(QStringLiteral("mm"));
        step(f, "udFooter", "stepDown");
        EXPECT_EQ(footer->text(), QStringLiteral("-1"));
        header->setText(QStringLiteral("2147483647"));
        step(f, "udHeader", "stepUp");
        EXPECT_EQ(header->text(), QStringLiteral("2147483647")) << "overflow leaves the text";
        EXPECT_EQ(recorder.takeProcedures(), QStringList({"udHeader_UpClick"}));
        // -1 mm is -56.7 twips, which the document control refuses: the
        // save stops there and the window stays.
        header->setText(QStringLiteral("10"));
        click(f, "pbOK");
        EXPECT_TRUE(f->isVisible());
        EXPECT_EQ(recorder.takeProcedures(), QStringList({"SaveCancel", "pbOK_Click"}));
        click(f, "pbCancel");
    });
    EXPECT_DOUBLE_EQ(tx.HeaderFooterPosition(1), 567) << "header applied before the refusal";

    EXPECT_EQ(frmHeaderProperties::Step(QStringLiteral("-2.5"), -1), QStringLiteral("-3"));
    EXPECT_EQ(frmHeaderProperties::Step(QStringLiteral("1e3"), 1), QStringLiteral("1001"));
    EXPECT_EQ(frmHeaderProperties::Step(QStringLiteral(""), 1), QStringLiteral("1"));
    EXPECT_EQ(frmHeaderProperties::Step(QStringLiteral("1 2.5"), 1), QStringLiteral("13"));
    EXPECT_EQ(frmHeaderProperties::Step(QStringLiteral("-2147483648"), 1),
              QStringLiteral("-2147483647"));
    EXPECT_THROW(frmHeaderProperties::Step(QStringLiteral("-2147483648"), -1), wp::Error);
    EXPECT_THROW(frmHeaderProperties::Step(QStringLiteral("9e99"), 0), wp::Error);
}

TEST_F(HeaderDlg, aFieldThatIsNoNumberStopsTheSaveAtItsStep) {
    tx.setHeaderFooter(5);
    tx.setHeaderFooterPosition(4, 720);
    show([this](QWidget* f) {
        field(f, "feHeader")->setText(QStringLiteral("15"));
        field(f, "feFooter")->setText(QStringLiteral("abc"));
        firstPage(f)->setChecked(true);
        click(f, "pbOK");
        EXPECT_TRUE(f->isVisible());
        ASSERT_EQ(recorder.reports.size(), 2u);
        EXPECT_EQ(recorder.reports[0].module, QStringLiteral("frmHeaderProperties"));
        EXPECT_EQ(recorder.reports[0].number, wp::err::TypeMismatch);
        EXPECT_TRUE(recorder.reports[0].variables.contains(QStringLiteral("m_tx")));
        EXPECT_EQ(recorder.takeProcedures(), QStringList({"SaveCancel", "pbOK_Click"}));
        click(f, "pbCancel");
    });
    EXPECT_DOUBLE_EQ(tx.HeaderFooterPosition(1), 15 * 56.7);
    EXPECT_DOUBLE_EQ(tx.HeaderFooterPosition(4), 720);
    EXPECT_EQ(tx.HeaderFooter(), 5);
}

TEST_F(HeaderDlg, withoutADocumentControlTheCallFailsAndNothingOpens) {
    wp::clsWP bare;
    QString strXML;
    wptest::expectFailsWithoutWindow([&] { bare.HeaderPropertiesShow(strXML); });
    EXPECT_EQ(recorder.takeProcedures(), QStringList({"Form_Load", "HeaderPropertiesShow"}));
    EXPECT_FALSE(wp::modWP::FormInstance<frmHeaderProperties>::exists());
}

TEST_F(HeaderDlg, captionsFitAndTheTabOrderRunsTopToBottom) {
    frmHeaderProperties form;
    form.setTx(&tx);
    form.Load();
    for (QWidget* w : form.findChildren<QWidget*>()) {
        const QRect inWindow(w->mapTo(&form, QPoint(0, 0)), w->size());
        EXPECT_TRUE(form.rect().contains(inWindow)) << w->objectName().toStdString();
        // Push buttons ask for more than their caption needs; the others
        // need their whole size hint for their caption.
        if (auto* b = qobject_cast<QPushButton*>(w)) {
            EXPECT_GT(b->width(), b->fontMetrics().horizontalAdvance(b->text()) + 8);
        } else if (qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w)) {
            EXPECT_GE(w->width(), w->sizeHint().width()) << w->objectName().toStdString();
        }
    }
    EXPECT_EQ(wptest::tabOrder(field(&form, "feHeader")),
              QStringList({"feHeader", "feFooter", "cjchkFirstPageDifferent", "pbOK", "pbCancel"}));
}
