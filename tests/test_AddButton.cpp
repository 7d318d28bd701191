// AddButton: one command on a toolbar with all its properties.
#include "core/modWP.h"
#include "forms/CommandBars.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QMainWindow>
#include <QToolBar>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace wp::modWP;

namespace {
struct Window {
    QMainWindow window;
    QToolBar* bar = window.addToolBar(QStringLiteral("Preview"));
    ImageManager* images = new ImageManager(&window);
    Window() {
        QPixmap red(16, 16);
        red.fill(Qt::red);
        images->SetIcon(101, QIcon(red));
    }
};
} // namespace

TEST(AddButton, setsEveryPropertyOnTheNewCommand) {
    Window w;
    QAction* a = AddButton(w.bar, xtpControlButton, 961, "Next Page", true, "Go to the next page",
                           xtpButtonIconAndCaption, "Controls", false, 101, std::nullopt, true);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->objectName(), "961");
    EXPECT_EQ(a->text(), "Next Page");
    EXPECT_EQ(a->toolTip(), "Go to the next page");
    EXPECT_EQ(a->statusTip(), "Go to the next page");
    EXPECT_FALSE(a->isEnabled());
    EXPECT_TRUE(a->isVisible());
    EXPECT_EQ(a->property("Category").toString(), "Controls");
    EXPECT_EQ(a->property("IconId").toInt(), 101);
    EXPECT_FALSE(a->icon().isNull());
    EXPECT_FALSE(a->data().isValid()) << "an omitted parameter stores nothing";
    EXPECT_EQ(w.bar->findChild<QAction*>("961"), a);
    // The group starts with a separator before the command.
    const auto actions = w.bar->actions();
    ASSERT_EQ(actions.size(), 2);
    EXPECT_TRUE(actions[0]->isSeparator());
    auto* button = qobject_cast<QToolButton*>(w.bar->widgetForAction(a));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
}

TEST(AddButton, iconZeroAndParameterRules) {
    Window w;
    QAction* plain = AddButton(w.bar, xtpControlButton, 1, "A", false, "", 3, "Controls", true, 0,
                               QVariant(QString()), false);
    ASSERT_NE(plain, nullptr) << "returned even when hidden";
    EXPECT_FALSE(plain->isVisible());
    EXPECT_FALSE(plain->property("IconId").isValid()) << "icon id 0 sets no icon";
    EXPECT_TRUE(plain->icon().isNull());
    EXPECT_TRUE(plain->data().isValid()) << "an empty string is still a given parameter";
    EXPECT_EQ(plain->data().toString(), "");
    QAction* keyed = AddButton(w.bar, xtpControlButton, 2, "B", false, "", 3, "Controls", true, 0,
                               QVariant(QStringLiteral("keyStepNext")), true);
    EXPECT_EQ(keyed->data().toString(), "keyStepNext");
    QAction* label = AddButton(w.bar, xtpControlLabel, 1094, "0 of 0", false, "", 3, "Controls",
                               true, 0, std::nullopt, true);
    EXPECT_EQ(label->text(), "0 of 0");
    EXPECT_EQ(w.bar->actions().size(), 3) << "no group, no separators";
}

TEST(AddButton, failuresAreReportedWithTheirParameters) {
    wptest::ReportRecorder reports;
    EXPECT_THROW(
        AddButton(nullptr, 1, 5, "X", false, "d", 3, "Controls", true, 7, std::nullopt, true),
        wp::Error);
    ASSERT_EQ(reports.reports.size(), 1u);
    EXPECT_EQ(reports.said(0), "91 modWP.AddButton");
    const auto& r = reports.reports[0];
    EXPECT_TRUE(r.variables.contains("<LocalVariables>\r\n<Control>{Nothing}</Control>\r\n"));
    EXPECT_TRUE(r.variables.contains("<ctls>{Nothing}</ctls>\r\n"
                                     "<typ>{Can't dump UDT parameters}</typ>\r\n<ID>5</ID>\r\n"));
    EXPECT_TRUE(r.variables.contains("<ButtonStyle>{Can't dump UDT parameters}</ButtonStyle>"));
    EXPECT_TRUE(r.variables.contains("<lngIconID>7</lngIconID>"));
    EXPECT_TRUE(r.variables.contains("<vParms>{Error 13 formatting for output}</vParms>"));
}
