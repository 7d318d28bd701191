#include "support/TestSupport.h"

#include "core/modWP.h"
#include "wp/Error.h"
#include "wp/hooks.h"

#include <QAbstractButton>
#include <QApplication>
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

QStringList tabOrder(QWidget* first) {
    QStringList order;
    QWidget* w = first;
    do {
        if ((w->focusPolicy() & Qt::TabFocus) && !w->focusProxy())
            order << w->objectName();
        w = w->nextInFocusChain();
    } while (w && w != first);
    return order;
}

void whenModal(std::function<void(QWidget*)> step, int timeoutMs) {
    auto* timer = new QTimer;
    auto elapsed = std::make_shared<QElapsedTimer>();
    elapsed->start();
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, step, elapsed, timeoutMs] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal->isVisible()) {
            timer->stop();
            timer->deleteLater();
            step(modal);
        } else if (elapsed->elapsed() > timeoutMs) {
            timer->stop();
            timer->deleteLater();
        }
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

} // namespace wptest
