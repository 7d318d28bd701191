#pragma once
// Helpers shared by the tests: recording message boxes and error reports,
// and driving modal windows from inside their own event loop.

#include "wp/Error.h"
#include "wp/hooks.h"

#include <QAction>
#include <QObject>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <gtest/gtest.h>
#include <ostream>
#include <vector>

// Readable QString values in test failure messages.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace wptest {

/// One message box the library asked for.
struct Message {
    QString text;
    int style = 0;
    QString title;
};

/// Answers every message box with OK and records it, for the scope's life.
class MessageRecorder {
public:
    MessageRecorder();
    ~MessageRecorder();
    std::vector<Message> messages;
};

/// One call of the error component's ErrorHandler.
using ReportCall = wp::ErrorReport;

/// Registers an "errs.Error" component that records each report, for the
/// scope's life.
class ReportRecorder {
public:
    explicit ReportRecorder(QString action = QStringLiteral("continue"));
    ~ReportRecorder();
    /// The procedure names reported so far, in order; clears the reports.
    QStringList takeProcedures();
    /// Report `i` as "number module.procedure" (one comparison, readable
    /// when it fails); "none" when there is no such report.
    QString said(size_t i) const;
    std::vector<ReportCall> reports;
    int actionReads = 0;
    QString action;
};

/// Runs `step` once the next modal window is up (polled from a timer inside
/// its event loop); gives up after `timeoutMs`.
void whenModal(std::function<void(QWidget* modal)> step, int timeoutMs = 5000);

/// Runs `open`, a call that shows a modal window and returns once it has
/// closed, with `step` acting on the window once it is up. The window must
/// carry `formName` and `caption`; a step that leaves it open is a failure,
/// and its pbCancel button then closes it. Windows unloaded on the way are
/// deleted before this returns what `open` returned.
QString runModal(const QString& formName, const QString& caption,
                 const std::function<QString()>& open,
                 const std::function<void(QWidget* form)>& step);

/// Runs `call`, which must fail with wp::Error 65535 before any modal window
/// opens; one that opens anyway is closed, so the test cannot hang.
void expectFailsWithoutWindow(const std::function<void()>& call);

/// What a walk of one window found wrong for a keyboard or screen-reader
/// user, and the controls Tab visited.
struct Walk {
    QStringList faults;
    QStringList chain;
};

/// Walks `form`: every control that takes input has a name of its own (no
/// '&', not shared), then the Tab key goes round the window in reading order
/// back to where it began and reaches every enabled control but those
/// within `offChain` (reached by the keyboard otherwise). Usable on any
/// window, the library's dialogs and a host's main window alike.
Walk walk(QWidget* form, const QStringList& offChain = {});

/// The widget with the keyboard focus (a combo box for its own line edit).
QWidget* focused();

/// The wp::Error that `f` throws (number 0, "no error" when it throws none).
template <class F> wp::Error errorOf(F&& f) {
    try {
        f();
    } catch (const wp::Error& e) {
        return e;
    }
    return wp::Error(0, QString(), QStringLiteral("no error"));
}

/// The object names (command ids) of a tool bar's buttons, separators left out.
inline QStringList commandIds(const QWidget* bar) {
    QStringList ids;
    for (QAction* a : bar->actions())
        if (!a->isSeparator())
            ids << a->objectName();
    return ids;
}

/// For the dialog tests: the dot is the decimal separator while a case runs
/// (en_US), and the library's globals are reset after it.
class DialogUnitsTest : public ::testing::Test {
public:
    static constexpr qint16 Cm = 1;
    static constexpr qint16 Inch = 2;

protected:
    void SetUp() override;
    void TearDown() override;
    /// The host's measurement unit (g_intMeasurement).
    static void unit(qint16 u);
};

/// The child of `root` with that objectName, of type T (nullptr when none).
template <class T> T* child(QWidget* root, const QString& name) {
    return root ? root->findChild<T*>(name) : nullptr;
}

/// Clicks the push button of `form` with that objectName.
inline void click(QWidget* form, const char* name) {
    child<QPushButton>(form, QString::fromLatin1(name))->click();
}

} // namespace wptest

/// A test that needs an outside service (a database server, a print queue,
/// LibreOffice) skips without it on a developer's machine; in CI (CI=true) a
/// missing service is a failure, never a quiet skip.
#define WP_REQUIRE_SERVICE(available, why)                                                         \
    do {                                                                                           \
        if (!(available)) {                                                                        \
            if (qEnvironmentVariable("CI") == QLatin1String("true"))                               \
                FAIL() << "in CI: " << why;                                                        \
            GTEST_SKIP() << why;                                                                   \
        }                                                                                          \
    } while (false)
