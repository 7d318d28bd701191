#pragma once
// What the dialogs that work on the host's document control share: the
// control, loading and showing modally, and letting the control go when
// the window unloads.

#include "forms/FormSupport.h"
#include "wp/TextControl.h"

#include <QPointer>

namespace wp {

template <class Derived> class DocumentDialog : public Form<Derived> {
public:
    TextControl* tx() const { return m_tx.data(); }
    void setTx(TextControl* tx) { m_tx = tx; }

    /// Loads the window and shows it modally; returns once it has closed. A
    /// load failure is reported, unloads the window and fails with error 65535.
    void ShowDialog() {
        this->ShowLoaded([this] { Load(); });
    }
    /// Loads the window without showing it.
    void Load() { Form_Load(); }

    QString DumpModuleVariables() const override { return dump::var(QStringLiteral("m_tx"), m_tx); }

protected:
    DocumentDialog(const char* module, const QString& caption, QWidget* parent)
        : Form<Derived>(module, caption, parent) {}

    virtual void Form_Load() = 0;
    void Unloading() override { m_tx = nullptr; }

    QPointer<TextControl> m_tx;
};

} // namespace wp
