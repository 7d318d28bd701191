#pragma once
// A document's pages drawn into a PDF file one at a time, so that the
// command can say which page it is at.

#include <QString>
#include <functional>

namespace wp {
class TextControl;
}

namespace wptool {

/// Writes every page of `tc` (through PrintPage, at the page's real size)
/// to `fileName`, calling `progress(page, pages)` after each page. False,
/// with the reason in `error`, when the file cannot be written.
bool writePdf(wp::TextControl& tc, const QString& fileName,
              const std::function<void(qint32 page, qint32 pages)>& progress, QString& error);

} // namespace wptool
