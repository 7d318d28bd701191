#pragma once
// Format 8 of SaveToMemory: our own lossless binary format. It carries
// everything the control holds: the body and the four header/footer
// documents with every character, block, table and frame format, the page
// format, BaseLine, Tag and the document properties.
//
// Layout (all integers are LEB128 varints, signed ones zigzag-coded; strings
// are a varint count of UTF-16 units followed by the units, little-endian):
//   "WPTXDOC\0"  magic, then the format version (1)
//   page format, BaseLine, Tag, document properties (count, key/value pairs)
//   five documents (body, header, first-page header, footer, first-page footer):
//     default font, document margin, format table (every QTextFormat with its
//     properties), root frame format index, root frame content
//   "END"
// Frame content is a list of items ended by 0: 1 block (block and character
// format index, fragments of text and character format index), 2 table
// (format, rows, columns, merged areas, then every cell's format and
// content), 3 other frame (format, content).

#include "document/TextControlDocument.h"

#include <QByteArray>
#include <QString>

namespace wp::NativeFormat {

constexpr int Version = 1;

QByteArray write(const docmodel::DocumentParts& parts);
/// Fills `out` from `data`; false with a reason in `error` when the data is
/// not a complete document of this format (then `out` is to be discarded).
bool read(const QByteArray& data, docmodel::DocumentContent& out, QString* error);

} // namespace wp::NativeFormat
