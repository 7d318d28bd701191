// Every window of the library, open and modal, as an assistive tool and a
// keyboard-only user meet it: through Qt's accessibility interface and the
// Tab, Enter and Escape keys.
#include "support/TestSupport.h"
#include "support/ZipSupport.h"
#include "test_cADO_support.h"
#include "test_previewDocs.h"
#include "wp/wp.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using wptest::child;

namespace {
// The name a screen reader speaks for a control. A combo box on this
// platform gives its value as its name and its label through a relation.
QString spokenName(QAccessibleInterface* i) {
    if (i->role() == QAccessible::ComboBox) {
        const auto labels = i->relations(QAccessible::Label);
        return labels.isEmpty() ? QString() : labels.first().first->text(QAccessible::Name);
    }
    return i->text(QAccessible::Name);
}

bool takesInput(QAccessible::Role role) {
    switch (role) {
    case QAccessible::Button:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::ComboBox:
    case QAccessible::EditableText:
    case QAccessible::SpinBox:
    case QAccessible::ScrollBar:
    case QAccessible::Slider:
    case QAccessible::PageTabList:
        return true;
    default:
        return false;
    }
}

bool within(const QWidget* w, const QStringList& names) {
    for (; w; w = w->parentWidget())
        if (names.contains(w->objectName()))
            return true;
    return false;
}

QString nameOf(const QWidget* w) {
    return w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className())
                                     : w->objectName();
}

// What a walk of one window found wrong, and the controls Tab visited.
struct Walk {
    QStringList faults;
    QStringList chain;
};

// Collects the visible controls that take input or the focus, and checks
// that each has a name of its own: not empty, no mnemonic '&' left in it,
// and not shared with another control (a field without a label of its own
// takes its group's title, the same for every field of the group).
void collect(QAccessibleInterface* i, QMap<QString, QString>& names, QList<QWidget*>& controls,
             QStringList& faults) {
    for (int c = 0; c < i->childCount(); ++c) {
        QAccessibleInterface* kid = i->child(c);
        if (!kid || kid->state().invisible || !kid->object() || !kid->object()->isWidgetType())
            continue;
        auto* w = static_cast<QWidget*>(kid->object());
        // A widget that hands its focus on (a tab widget to its tab bar) is met there.
        const bool control =
            (kid->state().focusable || takesInput(kid->role())) && !w->focusProxy();
        if (control) {
            const QString name = spokenName(kid);
            if (name.trimmed().isEmpty() || name.contains(u'&'))
                faults << QStringLiteral("%1 is named \"%2\"").arg(nameOf(w), name);
            else if (names.contains(name))
                faults << QStringLiteral("%1 and %2 are both named \"%3\"")
                              .arg(names.value(name), nameOf(w), name);
            names.insert(name, nameOf(w));
            controls << w;
        }
        // A control's own parts (a list's popup, a view's scroll bars) go with it.
        if (!control)
            collect(kid, names, controls, faults);
    }
}

// Whether `b` comes after `a` when the window is read line by line: lower
// down (by more than half the smaller height), or on the same line further right.
bool readsAfter(const QRect& a, const QRect& b) {
    const int tolerance = std::min(a.height(), b.height()) / 2;
    if (std::abs(b.center().y() - a.center().y()) > tolerance)
        return b.center().y() > a.center().y();
    return b.center().x() > a.center().x();
}

QWidget* focused() {
    QWidget* w = QApplication::focusWidget();
    // A combo box's own line edit is the box.
    if (w && qobject_cast<QComboBox*>(w->parentWidget()))
        return w->parentWidget();
    return w;
}

// Walks `form`: its names, then the Tab key round the window. Tab must come
// back where it began, visit the controls in reading order (one step back,
// from the last to the first), and reach every enabled control but those
// of `offChain`, which the keyboard reaches otherwise.
Walk walk(QWidget* form, const QStringList& offChain = {}) {
    Walk r;
    QAccessibleInterface* window = QAccessible::queryAccessibleInterface(form);
    if (form->windowTitle().isEmpty() || window->text(QAccessible::Name) != form->windowTitle())
        r.faults << QStringLiteral("the window has no title");
    QMap<QString, QString> names;
    QList<QWidget*> controls;
    collect(window, names, controls, r.faults);

    QApplication::setActiveWindow(form);
    if (!focused())
        QTest::keyClick(form, Qt::Key_Tab);
    QWidget* start = focused();
    QList<QWidget*> visited;
    for (QWidget* w = start; w && visited.size() < 60;) {
        visited << w;
        r.chain << nameOf(w);
        QTest::keyClick(w, Qt::Key_Tab);
        w = focused();
        if (w == start)
            break;
        if (visited.contains(w) || !w || visited.size() == 60) {
            r.faults << QStringLiteral("Tab is caught after %1").arg(r.chain.join(u' '));
            return r;
        }
    }
    int backSteps = 0;
    for (int k = 0; k < visited.size() && visited.size() > 1; ++k) {
        QWidget* a = visited[k];
        QWidget* b = visited[(k + 1) % visited.size()];
        if (!readsAfter(QRect(a->mapTo(form, QPoint()), a->size()),
                        QRect(b->mapTo(form, QPoint()), b->size())))
            ++backSteps;
    }
    if (backSteps > 1)
        r.faults << QStringLiteral("Tab jumps about: %1").arg(r.chain.join(u' '));
    for (QWidget* w : controls)
        if (w->isEnabled() && !w->testAttribute(Qt::WA_TransparentForMouseEvents) &&
            !within(w, offChain) && !visited.contains(w))
            r.faults << QStringLiteral("Tab never reaches %1").arg(nameOf(w));
    return r;
}

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

// Escape answers as Cancel (or Close) does, wherever the focus is.
void escape(QWidget* form) {
    QTest::keyClick(focused() ? focused() : form, Qt::Key_Escape);
    EXPECT_FALSE(form->isVisible()) << form->objectName().toStdString();
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
