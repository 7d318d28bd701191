#pragma once
#include <QStringList>

/// wptool pdf IN OUT.pdf: the pages of a document (RTF, native or plain
/// text) as a PDF file. Returns the exit code.
int pdfCommand(const QStringList& args);
