#pragma once
// Reads Rich Text Format (format 5 of LoadFromMemory) into the control's
// documents: page size and margins, header/footer distances, headers and
// footers (first-page ones too), fonts, colours, character and paragraph
// formatting, page breaks, tables, MERGEFIELD fields (other fields keep
// their result text), the \info properties, \uN and \'hh text in the
// document's code page. Unknown control words and {\* } destinations are
// skipped as RTF requires.

#include "document/TextControlDocument.h"

#include <QByteArray>
#include <QString>

namespace wp::RtfReader {

/// Fills `out` from `data`; false with a reason in `error` when the data is
/// not RTF or ends inside a group (truncated).
bool read(const QByteArray& data, docmodel::DocumentContent& out, QString* error);

} // namespace wp::RtfReader
