#pragma once
// A PDF file of sheets, written whole or not at all: the control's own
// export, the stepper's batch of letters and printing to a file share it.

#include "wp/PageFormat.h"

#include <QFileDevice>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QString>
#include <memory>

namespace wp {

/// The page layout of a document's sheets: its own size, no margins, a
/// landscape sheet as a portrait paper turned on its side.
QPageLayout sheetLayout(const PageFormat& format);

/// Pages drawn into a temporary file beside the target, which replaces the
/// target only once the whole file is written (Qt's PDF engine says nothing
/// of write errors: the file device is checked). A target that is no
/// regular file (/dev/full, a pipe) is written in place and checked the
/// same way. Until finish() succeeds the target is left as it was, and
/// destroying the object (an error, a cancel, an exception) leaves no
/// temporary file and no active painter.
class PdfSheets {
public:
    explicit PdfSheets(QString fileName);
    ~PdfSheets();
    PdfSheets(const PdfSheets&) = delete;
    PdfSheets& operator=(const PdfSheets&) = delete;

    /// Opens the file and begins the painter on the first page; false with
    /// error() saying why.
    bool begin(const QPageLayout& layout, int resolution, const QString& title,
               const QString& creator = QStringLiteral("wp"));
    QPainter& painter() { return m_painter; }
    bool newPage();
    /// Begins the next page, on paper of `layout`.
    bool newPage(const QPageLayout& layout);
    /// Ends the painter, checks every byte reached the file and puts the
    /// file in place; false with error() saying why (the target untouched).
    bool finish();
    QString error() const { return m_error; }

private:
    bool fail(const QString& why);

    QString m_fileName;
    QString m_error;
    std::unique_ptr<QFileDevice> m_file;
    std::unique_ptr<QIODevice> m_mend; // between the writer and the file
    std::unique_ptr<QPdfWriter> m_writer;
    QPainter m_painter;
};

} // namespace wp
