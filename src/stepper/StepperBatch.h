#pragma once
// Every step of a stepper data set merged at once: one PDF with the letters
// one after another, or one RTF (or Word) file per letter.

#include "wp/KXml.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

namespace wp {
class TextControl;
}

namespace wp::stepper {

/// Called after each letter with its step number and the number of steps.
using Progress = std::function<void(qint32 step, qint32 count)>;

struct BatchResult {
    bool ok = false;
    qint32 letters = 0;
    qint32 pages = 0;
    QString error; ///< why it failed ("" on success)
};

/// A letter that keeps field titles for want of values.
struct LetterGaps {
    qint32 step = 0;
    QStringList titles; ///< the fields' titles, in document order
};

/// The letters of `steps` whose job application has no value for a field
/// of `templ` (the merge leaves such a field's title in red), in step order.
QList<LetterGaps> MissingValues(const TextControl& templ, const KXmlRef& steps);

/// Merges each `job_app` of `steps` (in step order) into a fresh copy of
/// `templ`, as the stepper shows it, and draws the letters into one PDF
/// file, each starting on a new page.
BatchResult MergeToPdf(const TextControl& templ, const KXmlRef& steps, const QString& pdfPath,
                       const Progress& progress = {});

/// The same merge written as one RTF file per letter into `dir`: 001.rtf,
/// 002.rtf, ...
BatchResult MergeToRtf(const TextControl& templ, const KXmlRef& steps, const QString& dir,
                       const Progress& progress = {});

/// The same merge written as one file per letter in `format` (fmt::Rtf or
/// fmt::Docx) into `dir`: 001.rtf or 001.docx, 002..., and so on.
BatchResult MergeToFiles(const TextControl& templ, const KXmlRef& steps, const QString& dir,
                         int format, const Progress& progress = {});

} // namespace wp::stepper
