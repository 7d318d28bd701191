#pragma once
// Library-wide state shared by every clsWP object of the process, the
// dialog-window instances, and the shared toolbar-button routine.

#include "wp/Error.h"
#include "wp/KXml.h"

#include <QPointer>
#include <QString>
#include <QVariant>
#include <QWidget>
#include <optional>

class QAction;
class QToolBar;

namespace wp::modWP {

// In the order the error report dumps them.
extern KXmlRef g_kxmlEnv; // never set; dumped only
extern KXmlRef g_kxmlJdata;
extern KXmlRef g_kxmlOptions;
extern QString g_strVerIE; // never set; dumped only
extern QString g_strEnv;
extern QString g_strMorvaleVersion;
extern QString g_strID;
extern bool g_blnInIDE;
extern QString g_strUser;
extern QString g_strDataDir;
extern QString g_strInstDir;
extern QString g_strAllUsersMorvaleDataDir;
extern QString g_strThisUserMorvaleDataDir;
extern bool g_blnSilent;
extern QString gstrReturnXML;
extern qint16 g_intMeasurement;

/// Every global above, dumped in order.
QString DumpGlobals();
/// "major.minor.revision" of the file version.
QString LibraryVersion();
/// Restores every global to its starting value (hosts that restart, tests).
void ResetGlobals();

/// Text to Boolean the way the environment XML wants it: true/false in any
/// case, or a number (0 false). Anything else is a type mismatch (error 13).
bool ToBoolean(const QString& text);

/// The one library-wide instance of a dialog window, created on first use
/// and dropped when the window unloads.
template <class Form> class FormInstance {
public:
    static Form& get() {
        if (!s_form)
            s_form = new Form();
        return *s_form;
    }
    static bool exists() { return !s_form.isNull(); }
    /// Drops the instance; the window object goes once control returns to
    /// the event loop.
    static void release() {
        if (s_form) {
            Form* form = s_form;
            s_form = nullptr;
            form->hide();
            form->deleteLater();
        }
    }

private:
    static inline QPointer<Form> s_form;
};

/// Shows a window modally without owner; returns when it has closed.
void ShowModal(QWidget* window);

} // namespace wp::modWP
