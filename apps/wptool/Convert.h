#pragma once
// wptool convert IN OUT: converts a document between RTF, our native
// format and plain text, each chosen by the file's extension.

#include <QStringList>

namespace wptool {

/// Runs the command with its arguments (IN OUT); returns the exit code:
/// 0 done, 1 the input could not be read or is no valid document or the
/// output could not be written, 2 wrong arguments.
int convert(const QStringList& args);

} // namespace wptool
