#pragma once
// A PDF file whose pages are a document's sheets, shared by the control's
// own export and the stepper's batch of letters.

#include "wp/PageFormat.h"

#include <QPainter>
#include <QPdfWriter>
#include <QString>
#include <memory>

namespace wp {

/// Opens `fileName` as a PDF at 1200 dpi whose pages are sheets of `format`
/// without margins, and begins `painter` on it. On failure returns null and
/// says why in `error`.
std::unique_ptr<QPdfWriter> beginPdfSheets(const QString& fileName, const PageFormat& format,
                                           const QString& title, QPainter& painter, QString& error);

} // namespace wp
