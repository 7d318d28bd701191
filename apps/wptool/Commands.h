#pragma once
// wptool's commands: what each is called, what it says about itself, and
// the function that runs it.

#include "PdfCommand.h"

#include <QString>
#include <QStringList>
#include <span>

namespace wptool {

struct Command {
    const char* name;
    const char* summary; ///< one line for the list of commands
    const char* usage;   ///< the usage lines, each starting "wptool NAME"
    const char* details; ///< arguments, options and exit codes
    int (*run)(const QStringList& args);
};

/// Every command, in the order the help lists them.
std::span<const Command> commands();
/// The command called `name`, or nullptr.
const Command* findCommand(const QString& name);

/// The list of commands, for `wptool --help` and a bare `wptool`.
QString overview();
/// A command's usage lines, then its details.
QString help(const Command& command);

/// Writes "wptool NAME: why" (when `why` is given), the command's usage
/// lines and where its help is to stderr; returns 2, the exit code of wrong
/// arguments.
int usageError(const QString& name, const QString& why = {});

/// Whether two paths name one file on disk (hard and symbolic links
/// included); a path to nothing names no file, so two missing paths differ.
bool sameFile(const QString& a, const QString& b);
/// The usage error "unknown option X" for the first argument that looks
/// like an option, or 0 when there is none.
int rejectOptions(const QString& name, const QStringList& args);
/// Whether `path` may take a PDF: its name ends in .pdf, or it is a device
/// or pipe that exists (/dev/stdout).
bool isPdfTarget(const QString& path);

/// convert IN OUT: between RTF, the native format and text, by extension.
int convert(const QStringList& args);      // Convert.cpp
int dbCommand(const QStringList& args);    // DbCommand.cpp
int mergeCommand(const QStringList& args); // MergeCommand.cpp
int versionCommand(const QStringList& args);

} // namespace wptool
