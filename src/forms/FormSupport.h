#pragma once
// What every window shares: its twips layout, the names of its control
// arrays, keeping the window alive while its Show function still reads the
// result, and the window base that unloads, closes and answers Escape.

#include "core/modWP.h"
#include "errors/modvbCodeShieldSupport.h"
#include "forms/CommandBars.h"

#include <QAbstractButton>
#include <QAction>
#include <QCloseEvent>
#include <QDialog>
#include <QEvent>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QScopeGuard>
#include <QScreen>
#include <QString>
#include <QToolBar>
#include <functional>
#include <utility>
#include <vector>

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

/// Runs `body` and drops whatever it fails with: for a step whose failure
/// does not matter (a focus move) or has been reported already.
template <class F> void ignoringFailure(F&& body) noexcept {
    try {
        body();
    } catch (...) {
    }
}

/// A focus event that moves between the window's own controls: switching
/// to another window or opening a popup is no leaving of a field.
inline bool isFieldMove(const QEvent* e) {
    if (e->type() != QEvent::FocusIn && e->type() != QEvent::FocusOut)
        return false;
    const Qt::FocusReason reason = static_cast<const QFocusEvent*>(e)->reason();
    return reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason;
}

/// The key code a key press hands its handler: 13 for Enter, else the
/// character typed; -1 for a key that types nothing.
inline int keyAscii(const QEvent* e) {
    if (e->type() != QEvent::KeyPress)
        return -1;
    const auto* key = static_cast<const QKeyEvent*>(e);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
        return 13;
    return key->text().isEmpty() ? -1 : key->text().at(0).unicode();
}

} // namespace wp::forms

namespace wp {

/// The base of every window, on the Qt window class `Window`: it carries
/// the window's name and caption, unloading (the window lets go of what it
/// holds, then the library drops its window object so that the next call
/// builds a fresh one), the close box, the first activation of a showing,
/// and the events of its controls routed to their handlers. A window adds
/// its controls, its state and its handlers.
template <class Derived, class Window>
class FormWindow : public Window, public modvbCodeShieldSupport::ModuleVariables {
protected:
    FormWindow(const char* module, const QString& caption, QWidget* parent)
        : Window(parent), m_module(module) {
        this->setObjectName(QLatin1String(module));
        this->setWindowTitle(caption);
    }

    /// Loads the window with `load` and shows it modally; returns once it has
    /// closed, with the window still there to read its result from. A window
    /// that fails to load is dropped and the failure passed on.
    template <class Load> void ShowLoaded(Load&& load) {
        const forms::ShowScope::Running running(m_show, this);
        try {
            load();
        } catch (...) {
            DropLibraryInstance();
            throw;
        }
        modWP::ShowModal(this);
    }

    /// Unloads the window and hides it, which ends its modal loop.
    void Unload() {
        Form_Unload();
        this->hide();
    }
    /// Lets go of the window's objects, then drops the library-wide window
    /// object, whatever the letting go did.
    virtual void Form_Unload() {
        modvbCodeShieldSupport::Guard g(m_module, "Form_Unload", this);
        g.runEvent([&] {
            const auto drop = qScopeGuard([this] { DropLibraryInstance(); });
            Unloading();
        });
    }
    /// What the window lets go of as it unloads.
    virtual void Unloading() {}
    /// The close box asks first; true lets the window go.
    virtual bool Form_QueryUnload() { return true; }
    /// The first activation of each showing.
    virtual void Form_Activate() {}

    /// Clears the library-wide window object when it is this window.
    void DropLibraryInstance() {
        using Instance = modWP::FormInstance<Derived>;
        if (Instance::exists() && &Instance::get() == this)
            Instance::release();
    }

    /// Hands the events of `watched` to `handler`, which returns true for an
    /// event it has used up.
    void watch(QObject* watched, std::function<bool(QEvent*)> handler) {
        watched->installEventFilter(this);
        m_watched.emplace_back(watched, std::move(handler));
    }

    bool event(QEvent* e) override {
        if (m_show.holdsBack(e))
            return true;
        if (m_show.firstActivation(e))
            Form_Activate();
        return Window::event(e);
    }
    bool eventFilter(QObject* watched, QEvent* e) override {
        for (const auto& [object, handler] : m_watched)
            if (object == watched && handler(e))
                return true;
        return Window::eventFilter(watched, e);
    }
    /// The close box unloads without running any button: the result stays
    /// as it stands.
    void closeEvent(QCloseEvent* e) override {
        if (!Form_QueryUnload()) {
            e->ignore();
            return;
        }
        Form_Unload();
        e->accept();
    }

    const char* const m_module;

private:
    forms::ShowScope m_show;
    std::vector<std::pair<QObject*, std::function<bool(QEvent*)>>> m_watched;
};

/// A dialog window: Escape answers as its cancel button, or unloads the
/// window when it has none.
template <class Derived> class Form : public FormWindow<Derived, QDialog> {
public:
    void reject() override {
        if (m_cancel)
            m_cancel->click();
        else
            this->Unload();
    }

protected:
    Form(const char* module, const QString& caption, QWidget* parent)
        : FormWindow<Derived, QDialog>(module, caption, parent) {}
    void setCancelButton(QAbstractButton* button) { m_cancel = button; }

private:
    QPointer<QAbstractButton> m_cancel;
};

} // namespace wp
