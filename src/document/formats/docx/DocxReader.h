#pragma once
// Reads Office Open XML word-processing documents (.docx, fmt::Docx) into
// the control's documents. WordprocessingML and RTF describe the same model
// (twips, half points, style-free direct formats once the styles are
// resolved), so the reader resolves styles, themes and numbering, and
// translates the main document, its first section's headers and footers and
// the package's properties into our RTF dialect, which the RTF reader builds
// into documents: one builder of lists, tables, pictures and fields.

#include "document/TextControlDocument.h"

#include <QByteArray>
#include <QString>

namespace wp::DocxReader {

/// Fills `out` from the package `data`; false with a reason in `error` when
/// it is not a word-processing package, is damaged, or would take more
/// than the caps allow (see DocxPackage.h).
bool read(const QByteArray& data, docmodel::DocumentContent& out, QString* error);

/// The RTF text the package translates to (what read() builds from).
/// Throws a QString that says why when the package cannot be read.
QByteArray toRtf(const QByteArray& data);

} // namespace wp::DocxReader
