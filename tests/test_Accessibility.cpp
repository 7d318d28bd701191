// Every window of the library, open and modal, as an assistive tool and a
// keyboard-only user meet it: through Qt's accessibility interface and the
// Tab, Enter and Escape keys.
#include "support/TestSupport.h"
#include "support/ZipSupport.h"
#include "test_cADO_support.h"
#include "test_previewDocs.h"
#include "wp/wp.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

using wptest::child;

namespace {
using wptest::focused;
using wptest::Walk;
using wptest::walk;

QString defaultButton(QWidget* form) {
    for (auto* b : form->findChildren<QPushButton*>())
        if (b->isDefault())
            return b->objectName();
    return {};
}

void expectWalk(QWidget* form, const QStringList& offChain = {}) {
    const Walk r = walk(form, offChain);
    EXPECT_EQ(r.faults, QStringList())
        << form->objectName().toStdString() << ": " << r.chain.join(u' ').toStdString();
}

// Escape answers as Cancel (or Close) does, wherever the focus is; a window
// left open fails the modal run.
void escape(QWidget* form) {
    QTest::keyClick(focused() ? focused() : form, Qt::Key_Escape);
}

class Accessibility : public ::testing::Test {
protected:
    void SetUp() override { host.setTx(&tx); }
    void TearDown() override { EXPECT_EQ(reports.takeProcedures(), QStringList()); }
    QString run(const char* form, const char* caption, QString (wp::clsWP::*show)(QString&),
                const std::function<void(QWidget*)>& step) {
        QString strXML = QStringLiteral("<p><page_size width=\"12240\" height=\"15840\"/>"
                                        "<doc_margins left=\"1440\" top=\"1440\" right=\"1440\" "
                                        "bottom=\"1440\"/></p>");
        return wptest::runModal(
            QString::fromLatin1(form), QString::fromLatin1(caption),
            [&] { return (host.*show)(strXML); }, step);
    }
    wp::TextControl tx;
    wp::clsWP host;
    wptest::ReportRecorder reports;
};
} // namespace

TEST_F(Accessibility, dialogsNameEveryFieldByItsLabelAndTabInReadingOrder) {
    wp::modWP::g_intMeasurement = 2;
    EXPECT_EQ(run("frmPageDlg", "Page Setup", &wp::clsWP::PageDialogShow,
                  [](QWidget* f) {
                      expectWalk(f);
                      EXPECT_EQ(defaultButton(f), "pbOK");
                      escape(f);
                  }),
              QString());
    tx.setHeaderFooterPosition(1, 567);
    run("frmHeaderProperties", "Headers and Footers Properties", &wp::clsWP::HeaderPropertiesShow,
        [](QWidget* f) {
            // The up/down buttons take no focus: the arrow keys in the field step it.
            expectWalk(f, {"udHeader", "udFooter"});
            auto* header = child<QLineEdit>(f, QStringLiteral("feHeader"));
            header->setText(QStringLiteral("7"));
            QTest::keyClick(header, Qt::Key_Up);
            QTest::keyClick(header, Qt::Key_Up);
            QTest::keyClick(header, Qt::Key_Down);
            EXPECT_EQ(header->text(), QStringLiteral("8"));
            EXPECT_EQ(defaultButton(f), "pbOK");
            escape(f);
        });
    EXPECT_DOUBLE_EQ(tx.HeaderFooterPosition(1), 567) << "Escape saved the distance";
    wp::modWP::gstrReturnXML = QStringLiteral("<tbl/>");
    EXPECT_EQ(run("frmTableDlg", "Table Attributes", &wp::clsWP::TableDialogShow,
                  [](QWidget* f) {
                      expectWalk(f);
                      EXPECT_EQ(defaultButton(f), "pbOK");
                      escape(f);
                  }),
              QStringLiteral("<tbl/>"));
    EXPECT_EQ(run("frmResumeTitle", "Resume Title", &wp::clsWP::ResumeTitleRetrieve,
                  [](QWidget* f) {
                      expectWalk(f);
                      escape(f);
                  }),
              QString());
}

TEST_F(Accessibility, everyPageOfThePropertiesIsReachedAndNamed) {
    tx.setTag(QStringLiteral("<resume><props><title>T</title></props></resume>"));
    EXPECT_EQ(run("frmResumeProps", "Properties", &wp::clsWP::ResumePropertiesShow,
                  [](QWidget* f) {
                      auto* tabs = child<QTabWidget>(f, QStringLiteral("tabProps"));
                      for (int page = 0; page < 3; ++page) {
                          SCOPED_TRACE(page);
                          ASSERT_EQ(tabs->currentIndex(), page);
                          // The help texts are read-only: the mouse opens them.
                          expectWalk(f, {"feDesc(0)", "feDesc(1)", "feDesc(2)"});
                          QTest::keyClick(focused(), Qt::Key_Tab, Qt::ControlModifier);
                      }
                      EXPECT_EQ(defaultButton(f), "pbOK");
                      escape(f);
                  }),
              QString());
}

TEST_F(Accessibility, previewCommandsAndScrollBarsAreReachedByTab) {
    const auto doc = wptest::hostDocument(3);
    ASSERT_NE(doc, nullptr);
    wptest::showPreview(doc.get(), [](wp::frmPrintPreview* f) {
        expectWalk(f);
        // 100 %: the scroll bars join the walk once they can move the page.
        f->SetZoomMode(2);
        QTest::qWait(20);
        const Walk zoomed = walk(f);
        EXPECT_EQ(zoomed.faults, QStringList());
        EXPECT_TRUE(zoomed.chain.contains("scrollV")) << zoomed.chain.join(u' ').toStdString();
        escape(f);
    });
}

TEST_F(Accessibility, stepperToolbarAndLetterAreReachedAndTabLeavesTheLetter) {
    wptest::DataDir data;
    host.setEnvXML(QStringLiteral("<env><in_ide>false</in_ide><data_dir>%1/</data_dir>"
                                  "<this_user_app_data_dir>%1/</this_user_app_data_dir></env>")
                       .arg(data.path()));
    tx.setSelText(QStringLiteral("Dear reader"));
    run("frmStepper", "Template Preview", &wp::clsWP::CoverLetterStepper, [](QWidget* f) {
        const Walk r = walk(f);
        EXPECT_EQ(r.faults, QStringList());
        EXPECT_TRUE(r.chain.contains("PageView")) << r.chain.join(u' ').toStdString();
        escape(f);
    });
}
