#pragma once
// What the dialogs that work on the host's document control share: the
// control, loading and showing modally, and unloading, which drops the
// library-wide window object so that the next call starts with a fresh one.

#include "errors/modvbCodeShieldSupport.h"
#include "host/modWP.h"
#include "wp/TextControl.h"

#include <QCloseEvent>
#include <QDialog>
#include <QPointer>

namespace wp {

template <class Form>
class DocumentDialog : public QDialog, public modvbCodeShieldSupport::ModuleVariables {
public:
    TextControl* tx() const { return m_tx.data(); }
    void setTx(TextControl* tx) { m_tx = tx; }

    /// Loads the window and shows it modally; returns once it has closed. A
    /// load failure is reported, unloads the window and fails with error 65535.
    void ShowDialog() {
        try {
            Load();
        } catch (...) {
            Form_Unload();
            throw;
        }
        modWP::ShowModal(this);
    }
    /// Loads the window without showing it.
    void Load() { Form_Load(); }

    QString DumpModuleVariables() const override { return dump::var(QStringLiteral("m_tx"), m_tx); }

protected:
    DocumentDialog(const char* module, QWidget* parent) : QDialog(parent), m_module(module) {
        setObjectName(QLatin1String(module));
    }

    virtual void Form_Load() = 0;
    /// Releases the document control and drops the library-wide window object.
    void Form_Unload() {
        modvbCodeShieldSupport::Guard g(m_module, "Form_Unload", this);
        g.runEvent([&] {
            m_tx = nullptr;
            using Instance = modWP::FormInstance<Form>;
            if (Instance::exists() && &Instance::get() == this)
                Instance::release();
        });
    }
    void Unload() {
        Form_Unload();
        hide();
    }
    /// The close box unloads without running either button.
    void closeEvent(QCloseEvent* e) override {
        Form_Unload();
        e->accept();
    }

    QPointer<TextControl> m_tx;

private:
    const char* m_module;
};

} // namespace wp
