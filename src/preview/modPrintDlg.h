#pragma once
// Printing a document control through the print dialog on the library-wide
// current printer: one job per copy, each page drawn by the control.

#include <QtGlobal>

class QWidget;

namespace wp {
class TextControl;
}

namespace wp::modPrintDlg {

/// Asks the dialog to hand back a device (the only flag the preview passes).
constexpr qint32 PD_RETURNDC = 256;
/// Printer errors: 482 stops the printing, 484 is passed over.
constexpr qint32 ErrPrinter = 482;
constexpr qint32 ErrPrinterInfo = 484;
/// Jobs of more pages than this show a progress dialog with Cancel.
constexpr int ProgressThreshold = 3;

/// The dialog's record as it came back.
struct PRINTDLG_TYPE {
    qint32 Flags = 0;
    qint32 nFromPage = 0;
    qint32 nToPage = 0;
    qint32 nMinPage = 0;
    qint32 nMaxPage = 0;
    qint32 nCopies = 0;
    bool accepted = false;
    /// Jobs printed to the end (a cancelled or failed job does not count).
    qint32 jobsPrinted = 0;
};

/// Runs the print dialog over the current printer, pre-filled with pages 1
/// to the control's page count and one copy, applies the choice (printer
/// by name, duplex, orientation, paper, quality, colour, paper bin) and
/// prints the chosen pages once per copy, one job each. A `PrintFlags` of 0
/// becomes PD_RETURNDC. The control's view mode is the same afterwards.
PRINTDLG_TYPE PrintDialogTX(TextControl* tx, qint32& PrintFlags);

/// Freezes (true) or unfreezes (false) the drawing of a window; one window
/// is frozen at a time, and false unfreezes whichever it is.
void LockWindow(QWidget* hwnd, bool blnValue);

} // namespace wp::modPrintDlg
