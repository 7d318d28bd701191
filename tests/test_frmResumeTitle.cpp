// The résumé title prompt, driven modally through clsWP::ResumeTitleRetrieve.
#include "core/modWP.h"
#include "dialogs/frmResumeTitle.h"
#include "support/TestSupport.h"
#include "wp/clsWP.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using wp::frmResumeTitle;
using wptest::child;
using wptest::click;

namespace {
QLineEdit* titleField(QWidget* f) {
    return child<QLineEdit>(f, QStringLiteral("feTitle"));
}

// Runs ResumeTitleRetrieve with `step` acting on the open window; a step that
// leaves it open fails and cancels it.
QString retrieve(const std::function<void(QWidget*)>& step) {
    wp::clsWP host;
    QString strXML = QStringLiteral("<ignored/>");
    const QString result = wptest::runModal(
        QStringLiteral("frmResumeTitle"), QStringLiteral("Resume Title"),
        [&] { return host.ResumeTitleRetrieve(strXML); },
        [&](QWidget* modal) {
            EXPECT_EQ(titleField(modal)->text(), "") << "every call starts with an empty field";
            step(modal);
        });
    EXPECT_EQ(strXML, QStringLiteral("<ignored/>"));
    EXPECT_FALSE(wp::modWP::FormInstance<frmResumeTitle>::exists());
    return result;
}
} // namespace

TEST(ResumeTitle, savesTheTitleAsTypedWithItsSpacesAndTabsByButtonOrEnter) {
    wptest::MessageRecorder boxes;
    EXPECT_EQ(retrieve([](QWidget* f) {
                  EXPECT_EQ(child<QLabel>(f, QStringLiteral("cjlblDesc"))->text(),
                            "The resume title is the name of the resume as it will appear on the "
                            "resume tree when viewing your resumes.  Provide a unique name.");
                  EXPECT_EQ(child<QLabel>(f, QStringLiteral("cjlblTitle"))->text(),
                            "Resume Title:");
                  EXPECT_EQ(child<QPushButton>(f, QStringLiteral("pbOK"))->text(), "Save");
                  EXPECT_TRUE(QTest::qWaitFor([f] { return titleField(f)->hasFocus(); }, 2000))
                      << "activation focuses the title";
                  titleField(f)->setText(QStringLiteral("  Senior Engineer 2026 "));
                  click(f, "pbOK");
              }),
              QStringLiteral("  Senior Engineer 2026 "));
    // Two calls in a row: the second starts afresh (checked in retrieve);
    // only spaces make a title blank, so tabs and a no-break space are one.
    for (const QString& title : {QStringLiteral("\t\t"), QStringLiteral(" \u00A0 ")})
        EXPECT_EQ(retrieve([&title](QWidget* f) {
                      titleField(f)->setText(title);
                      click(f, "pbOK");
                  }),
                  title);
    // Enter in the field saves.
    EXPECT_EQ(retrieve([](QWidget* f) {
                  QTest::keyClicks(titleField(f), QStringLiteral("Draft"));
                  QTest::keyClick(titleField(f), Qt::Key_Return);
              }),
              QStringLiteral("Draft"));
    EXPECT_TRUE(boxes.messages.empty());
}

TEST(ResumeTitle, blankTitleIsRefusedAndCancelThenReturnsNothing) {
    wptest::MessageRecorder boxes;
    EXPECT_EQ(retrieve([&](QWidget* f) {
                  titleField(f)->setText(QStringLiteral("   "));
                  QTest::keyClick(titleField(f), Qt::Key_Enter);
                  ASSERT_EQ(boxes.messages.size(), 1u);
                  EXPECT_EQ(boxes.messages[0].text,
                            "Please provide a title for the resume.  Thank you.");
                  EXPECT_EQ(boxes.messages[0].title, "Missing Title");
                  EXPECT_EQ(boxes.messages[0].style, 64);
                  EXPECT_TRUE(f->isVisible()) << "a refused title keeps the window open";
                  click(f, "pbOK"); // empty: refused again
                  EXPECT_EQ(boxes.messages.size(), 2u);
                  EXPECT_TRUE(f->isVisible());
                  click(f, "pbCancel");
              }),
              QString());

    // Typing a title after a refusal is accepted; the close box returns nothing.
    EXPECT_EQ(retrieve([](QWidget* f) {
                  click(f, "pbOK");
                  titleField(f)->setText(QStringLiteral("x"));
                  click(f, "pbOK");
              }),
              QStringLiteral("x"));
    EXPECT_EQ(retrieve([](QWidget* f) {
                  titleField(f)->setText(QStringLiteral("typed, then closed"));
                  f->close();
              }),
              QString());
}
