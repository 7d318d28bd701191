#pragma once
// Helpers every dialog window shares: its twips layout, the names of its
// control arrays, and keeping the window alive while its Show function
// still reads the result.

#include "host/modWP.h"

#include <QAction>
#include <QEvent>
#include <QGuiApplication>
#include <QObject>
#include <QRect>
#include <QScreen>
#include <QString>
#include <QToolBar>

namespace wp::forms {

/// Positions are designed in twips; the screen's resolution turns them into pixels.
class TwipsToPixels {
public:
    TwipsToPixels() {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            m_x = screen->logicalDotsPerInchX() / 1440.0;
            m_y = screen->logicalDotsPerInchY() / 1440.0;
        }
    }
    QRect rect(int left, int top, int width, int height) const {
        return {x(left), y(top), x(width), y(height)};
    }
    int x(int twips) const { return qRound(twips * m_x); }
    int y(int twips) const { return qRound(twips * m_y); }

private:
    double m_x = 96.0 / 1440.0;
    double m_y = 96.0 / 1440.0;
};

/// "name(index)": the objectName of one element of a control array.
inline QString arrayName(const char* name, int index) {
    return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(index);
}

/// Lets Tab reach the buttons of a tool bar (a tool bar's own buttons take
/// no focus), in their order on the bar; a label control stays out of the
/// way of the focus and the mouse. Returns the last button, for the tab order
/// of what follows the bar.
inline QWidget* reachByKeyboard(QToolBar* bar) {
    QWidget* last = nullptr;
    for (QAction* action : bar->actions()) {
        QWidget* w = bar->widgetForAction(action);
        if (!w || action->isSeparator())
            continue;
        if (action->property("typ").toInt() == modWP::xtpControlLabel) {
            w->setFocusPolicy(Qt::NoFocus);
            w->setAttribute(Qt::WA_TransparentForMouseEvents);
            continue;
        }
        w->setFocusPolicy(Qt::TabFocus);
        if (last)
            QWidget::setTabOrder(last, w);
        last = w;
    }
    return last;
}

/// Unloading a window asks for its deletion from inside its modal loop, but
/// the Show function still reads the result after that loop: while a Show
/// runs, the deletion waits and is asked for again when it ends.
class ShowScope {
public:
    /// For the window's event(): true when the event was held back.
    bool holdsBack(QEvent* e) {
        if (e->type() == QEvent::DeferredDelete && m_running) {
            m_deletePending = true;
            return true;
        }
        return false;
    }
    /// For the window's event(): true for the first activation of a showing,
    /// when the window moves the focus to its first field.
    bool firstActivation(QEvent* e) {
        if (e->type() != QEvent::WindowActivate || m_activated)
            return false;
        m_activated = true;
        return true;
    }
    /// Marks a Show function running for its lifetime.
    class Running {
    public:
        Running(ShowScope& scope, QObject* window) : m_scope(scope), m_window(window) {
            m_scope.m_running = true;
            m_scope.m_activated = false;
        }
        ~Running() {
            m_scope.m_running = false;
            if (m_scope.m_deletePending)
                m_window->deleteLater();
        }
        Running(const Running&) = delete;
        Running& operator=(const Running&) = delete;

    private:
        ShowScope& m_scope;
        QObject* m_window;
    };

private:
    bool m_running = false;
    bool m_deletePending = false;
    bool m_activated = false;
};

} // namespace wp::forms
