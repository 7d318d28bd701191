#pragma once
// Seams through which a host (or a test) answers what the library would
// otherwise ask of the desktop: outside components, message boxes, the
// printer and the print dialog.

#include <QObject>
#include <QString>
#include <functional>

class QPrintDialog;
class QPrinter;

namespace wp {

/// Registers an outside component under its programmatic id (e.g.
/// "errs.Error"). The factory returns a new QObject whose members the
/// library reaches by name only; the library deletes it after use.
void registerComponent(const QString& progId, std::function<QObject*()> factory);
/// Removes a registration; later creations of `progId` fail.
void unregisterComponent(const QString& progId);
/// Creates the component registered under `progId`, or nullptr.
QObject* createComponent(const QString& progId);

/// One report as the "errs.Error" component receives it, in its order.
struct ErrorReport {
    int number = 0;
    QString component, module, procedure, description;
    int line = 0;
    QString variables, version;
};
using ErrorSink = std::function<void(const ErrorReport& report)>;
/// Registers as "errs.Error" a component that hands every report to `sink`
/// and answers the library's question what to do next with `action()` (or
/// "continue" without one). Undone by unregisterComponent("errs.Error").
void registerErrorSink(ErrorSink sink, std::function<QString()> action = {});

/// Message box styles (the classic numbers); combine an icon with buttons.
namespace mb {
constexpr int OKOnly = 0;
constexpr int Critical = 16;
constexpr int Question = 32;
constexpr int Exclamation = 48;
constexpr int Information = 64;
} // namespace mb

using MessageBoxHandler = std::function<int(const QString& text, int style, const QString& title)>;
/// Installs a handler that answers every message box instead of the real
/// one; an empty function restores the real message box.
void setMessageBoxHandler(MessageBoxHandler handler);

/// Shows a message: `style` is an icon code above, `title` the caption.
/// Returns 1 (OK).
int MsgBox(const QString& text, int style = mb::OKOnly, const QString& title = QString());

/// The library-wide current printer, made on first use (the system's
/// default printer, full page: pages are drawn from the paper's edge). A
/// host may point it at a queue or a PDF file; a printer chosen in the print
/// dialog stays current for the rest of the process. Needs a QApplication.
QPrinter& currentPrinter();

using PrintDialogHandler = std::function<int(QPrintDialog& dialog)>;
/// Installs a handler that answers the print dialog instead of the user. It
/// receives the prepared, unshown dialog, may change its range, pages,
/// copies and printer, and returns QDialog::Accepted or QDialog::Rejected;
/// the library then reads the choice from the dialog. An empty function
/// restores the real dialog.
void setPrintDialogHandler(PrintDialogHandler handler);

/// Runs a print dialog: the handler when one is installed, else exec().
int ExecPrintDialog(QPrintDialog& dialog);

} // namespace wp
