#pragma once
// Writes the control's documents as an Office Open XML word-processing
// document (.docx, fmt::Docx): body, headers and footers with a different
// first page, page size, margins and header/footer distances, lists as
// numbering definitions, tables, pictures (PNG and JPEG, inline and
// floating), PAGE/NUMPAGES fields, and the document properties in the
// package's core and extended properties. Our fields become MERGEFIELDs
// with the field's name and its text as the shown result, which Word keeps
// and mail-merges; field and table ids travel in hidden bookmarks
// ("_wpField7", "_wpTable3") that Word keeps and other readers ignore.

#include "document/TextControlDocument.h"

#include <QByteArray>

namespace wp::DocxWriter {

QByteArray write(const docmodel::DocumentParts& parts);

} // namespace wp::DocxWriter
