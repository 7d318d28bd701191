#pragma once
// Writes the control's documents as Rich Text Format (format 5 of
// SaveToMemory), in code page 1252 with \uN for everything else. Fields
// become {\field{\*\fldinst MERGEFIELD name}{\fldrslt text}}; our own field
// and table ids travel in {\*\wpfieldid N} and {\*\wptblid N}, which other
// readers skip.

#include "document/TextControlDocument.h"

#include <QByteArray>

namespace wp::RtfWriter {

QByteArray write(const docmodel::DocumentParts& parts);

} // namespace wp::RtfWriter
