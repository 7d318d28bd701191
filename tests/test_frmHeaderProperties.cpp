// The header and footer dialog, driven modally through clsWP and its object
// names, acting on a real document control.
#include "dialogs/frmHeaderProperties.h"
#include "support/TestSupport.h"
#include "wp/wp.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <gtest/gtest.h>

using wp::frmHeaderProperties;
using wptest::child;
using wptest::click;

namespace {
QLineEdit* field(QWidget* f, const char* name) {
    return child<QLineEdit>(f, QString::fromLatin1(name));
}
QCheckBox* firstPage(QWidget* f) {
    return child<QCheckBox>(f, QStringLiteral("cjchkFirstPageDifferent"));
}
// Sets the field, clicks its up/down control through the public slot, and
// gives the field's text back.
QString step(QWidget* f, const char* fieldName, const char* text, const char* slot) {
    field(f, fieldName)->setText(QString::fromLatin1(text));
    const QString upDown = QStringLiteral("ud") + QString::fromLatin1(fieldName + 2);
    EXPECT_TRUE(QMetaObject::invokeMethod(child<QWidget>(f, upDown), slot));
    return field(f, fieldName)->text();
}

class HeaderDlg : public ::testing::Test {
protected:
    void SetUp() override { host.setTx(&tx); }
    // HeaderPropertiesShow, always "", with `onForm` acting on the open window.
    void show(const std::function<void(QWidget*)>& onForm) {
        QString strXML;
        EXPECT_EQ(wptest::runModal(
                      QStringLiteral("frmHeaderProperties"),
                      QStringLiteral("Headers and Footers Properties"),
                      [&] { return host.HeaderPropertiesShow(strXML); }, onForm),
                  QString());
    }
    wp::TextControl tx;
    wp::clsWP host;
    wptest::ReportRecorder recorder;
};
} // namespace

TEST_F(HeaderDlg, showsWholeMillimetresSavesTheFieldsTimes56Point7AndTheFlagsAs15Or5) {
    // Opening alone turns "no header and footer" into 15, Cancel included.
    show([](QWidget* f) {
        EXPECT_TRUE(firstPage(f)->isChecked());
        field(f, "feHeader")->setText(QStringLiteral("40"));
        click(f, "pbCancel");
    });
    EXPECT_EQ(tx.HeaderFooter(), 15);
    EXPECT_DOUBLE_EQ(tx.HeaderFooterPosition(1), 720);
    for (int flags : {15, 2, 8, 5, 1}) {
        tx.setHeaderFooter(flags);
        show([&](QWidget* f) {
            EXPECT_EQ(firstPage(f)->isChecked(), (flags & 10) != 0) << flags;
            firstPage(f)->setChecked(false);
            click(f, "pbOK");
        });
        EXPECT_EQ(tx.HeaderFooter(), 5) << flags;
    }
    // The close box applies nothing.
    show([](QWidget* f) {
        firstPage(f)->setChecked(true);
        f->close();
    });
    EXPECT_EQ(tx.HeaderFooter(), 5);

    // Distances show as whole millimetres and save as typed; the flags are 5 here.
    tx.setHeaderFooterPosition(1, 1134);
    tx.setHeaderFooterPosition(4, 708.75); // 12.5 mm shows as 12
    show([](QWidget* f) {
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
    EXPECT_FALSE(wp::modWP::FormInstance<frmHeaderProperties>::exists());
}

TEST_F(HeaderDlg, upAndDownStepTheLeadingNumberAndSaveStopsAtTheFirstFailingField) {
    show([this](QWidget* f) {
        EXPECT_EQ(step(f, "feHeader", "12.5", "stepUp"), QStringLiteral("13"));
        EXPECT_EQ(step(f, "feHeader", "13.5", "stepUp"), QStringLiteral("15"));
        EXPECT_EQ(step(f, "feFooter", " 7,5 mm", "stepUp"), QStringLiteral("8"));
        EXPECT_EQ(step(f, "feFooter", "1e1", "stepDown"), QStringLiteral("9"));
        EXPECT_EQ(step(f, "feFooter", "mm", "stepDown"), QStringLiteral("-1"));
        EXPECT_EQ(step(f, "feFooter", "0", "stepDown"), QStringLiteral("-1"));
        EXPECT_EQ(field(f, "feHeader")->text(), QStringLiteral("15"));
        EXPECT_EQ(step(f, "feHeader", "2147483647", "stepUp"), QStringLiteral("2147483647"));
        EXPECT_EQ(recorder.takeProcedures(), QStringList({"udHeader_UpClick"}));

        // -1 mm is -56.7 twips, which the control refuses: the header is
        // applied, the rest not, and the window stays.
        field(f, "feHeader")->setText(QStringLiteral("10"));
        firstPage(f)->setChecked(false);
        click(f, "pbOK");
        EXPECT_TRUE(f->isVisible());
        EXPECT_EQ(recorder.takeProcedures(), QStringList({"SaveCancel", "pbOK_Click"}));
        // Text that is no number stops the save at its own field.
        field(f, "feHeader")->setText(QStringLiteral("abc"));
        click(f, "pbOK");
        ASSERT_EQ(recorder.reports.size(), 2u);
        EXPECT_EQ(recorder.said(0), "13 frmHeaderProperties.SaveCancel");
        EXPECT_TRUE(recorder.reports[0].variables.contains(QStringLiteral("m_tx")));
        // So is a distance longer than any paper: kept, it would overflow
        // the whole millimetres of every later opening.
        recorder.reports.clear();
        field(f, "feHeader")->setText(QStringLiteral("40000"));
        click(f, "pbOK");
        EXPECT_TRUE(f->isVisible());
        ASSERT_EQ(recorder.reports.size(), 2u);
        EXPECT_EQ(recorder.reports[0].number, wp::err::InvalidProcedureCall);
        EXPECT_EQ(recorder.takeProcedures(), QStringList({"SaveCancel", "pbOK_Click"}));
        click(f, "pbCancel");
    });
    EXPECT_DOUBLE_EQ(tx.HeaderFooterPosition(1), 567);
    EXPECT_DOUBLE_EQ(tx.HeaderFooterPosition(4), 720);
    EXPECT_EQ(tx.HeaderFooter(), 15);
    show([](QWidget* f) {
        EXPECT_EQ(field(f, "feHeader")->text(), QStringLiteral("10"));
        click(f, "pbCancel");
    });
    EXPECT_TRUE(recorder.reports.empty());
    EXPECT_THROW(frmHeaderProperties::Step(QStringLiteral("-2147483648"), -1), wp::Error);
}

TEST_F(HeaderDlg, withoutADocumentControlTheCallFailsBeforeTheWindowOpens) {
    wp::clsWP bare;
    QString strXML;
    wptest::expectFailsWithoutWindow([&] { bare.HeaderPropertiesShow(strXML); });
    EXPECT_EQ(recorder.takeProcedures(), QStringList({"Form_Load", "HeaderPropertiesShow"}));
    EXPECT_FALSE(wp::modWP::FormInstance<frmHeaderProperties>::exists());
}

TEST_F(HeaderDlg, captionsFitTheWindow) {
    frmHeaderProperties form;
    form.setTx(&tx);
    form.Load();
    EXPECT_EQ(firstPage(&form)->text(), QStringLiteral("Manage the header and footer on the "
                                                       "first page separately from all other "
                                                       "pages."));
    QStringList captions{form.findChild<QGroupBox*>()->title()};
    for (const char* name : {"cjlbl(0)", "cjlbl(1)", "cjlbl(2)", "cjlbl(3)", "pbOK", "pbCancel"}) {
        QWidget* w = child<QWidget>(&form, QString::fromLatin1(name));
        captions << w->property("text").toString();
    }
    EXPECT_EQ(captions, QStringList({"Distance from page border", "Header", "mm", "Footer", "mm",
                                     "Save", "Cancel"}));
    for (QWidget* w : form.findChildren<QWidget*>()) {
        const QRect inWindow(w->mapTo(&form, QPoint(0, 0)), w->size());
        EXPECT_TRUE(form.rect().contains(inWindow)) << w->objectName().toStdString();
        // Push buttons ask for more than their caption needs.
        if (qobject_cast<QLabel*>(w) || qobject_cast<QCheckBox*>(w)) {
            EXPECT_GE(w->width(), w->sizeHint().width()) << w->objectName().toStdString();
        }
    }
}
