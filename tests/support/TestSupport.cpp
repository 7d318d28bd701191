#include "support/TestSupport.h"

#include "core/modWP.h"
#include "wp/Error.h"
#include "wp/hooks.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLocale>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

namespace wptest {

MessageRecorder::MessageRecorder() {
    wp::setMessageBoxHandler([this](const QString& text, int style, const QString& title) {
        messages.push_back({text, style, title});
        return 1;
    });
}

MessageRecorder::~MessageRecorder() {
    wp::setMessageBoxHandler({});
}

ReportRecorder::ReportRecorder(QString a) : action(std::move(a)) {
    wp::registerErrorSink([this](const wp::ErrorReport& r) { reports.push_back(r); },
                          [this] {
                              ++actionReads;
                              return action;
                          });
}

ReportRecorder::~ReportRecorder() {
    wp::unregisterComponent(QStringLiteral("errs.Error"));
}

QStringList ReportRecorder::takeProcedures() {
    QStringList names;
    for (const ReportCall& r : reports)
        names << r.procedure;
    reports.clear();
    return names;
}

QString ReportRecorder::said(size_t i) const {
    if (i >= reports.size())
        return QStringLiteral("none");
    const ReportCall& r = reports[i];
    return QStringLiteral("%1 %2.%3").arg(r.number).arg(r.module, r.procedure);
}

void DialogUnitsTest::SetUp() {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void DialogUnitsTest::TearDown() {
    wp::modWP::ResetGlobals();
    QLocale::setDefault(QLocale::c());
}

void DialogUnitsTest::unit(qint16 u) {
    wp::modWP::g_intMeasurement = u;
}

void expectFailsWithoutWindow(const std::function<void()>& call) {
    bool opened = false;
    whenModal(
        [&](QWidget* f) {
            opened = true;
            f->close();
        },
        300);
    try {
        call();
        ADD_FAILURE() << "the call did not fail";
    } catch (const wp::Error& e) {
        EXPECT_EQ(e.number, 65535);
    }
    QTest::qWait(350);
    EXPECT_FALSE(opened) << "a window opened";
}

void whenModal(std::function<void(QWidget*)> step, int timeoutMs) {
    auto* timer = new QTimer;
    auto elapsed = std::make_shared<QElapsedTimer>();
    elapsed->start();
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, step, elapsed, timeoutMs] {
        QWidget* modal = QApplication::activeModalWidget();
        const bool up = modal && modal->isVisible();
        if (!up && elapsed->elapsed() <= timeoutMs)
            return;
        timer->stop();
        timer->deleteLater();
        if (up)
            step(modal);
    });
    timer->start();
}

QString runModal(const QString& formName, const QString& caption,
                 const std::function<QString()>& open, const std::function<void(QWidget*)>& step) {
    bool stepped = false;
    whenModal([&](QWidget* modal) {
        QPointer<QWidget> form(modal);
        EXPECT_EQ(modal->objectName(), formName);
        EXPECT_EQ(modal->windowTitle(), caption);
        stepped = true;
        step(modal);
        if (form && form->isVisible()) {
            ADD_FAILURE() << "the step left " << formName.toStdString() << " open";
            if (auto* cancel = child<QAbstractButton>(form, QStringLiteral("pbCancel")))
                cancel->click();
            if (form && form->isVisible())
                form->close();
        }
    });
    const QString result = open();
    EXPECT_TRUE(stepped) << formName.toStdString() << " never came up";
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return result;
}

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
} // namespace

QWidget* focused() {
    QWidget* w = QApplication::focusWidget();
    // A combo box's own line edit is the box.
    if (w && qobject_cast<QComboBox*>(w->parentWidget()))
        return w->parentWidget();
    return w;
}

Walk walk(QWidget* form, const QStringList& offChain) {
    Walk r;
    QAccessibleInterface* window = QAccessible::queryAccessibleInterface(form);
    // A title's "[*]" stands for the modified marker, shown only while modified.
    QString title = form->windowTitle();
    title.replace(QStringLiteral("[*]"),
                  form->isWindowModified() ? QStringLiteral("*") : QString());
    if (title.isEmpty() || window->text(QAccessible::Name) != title)
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

} // namespace wptest
