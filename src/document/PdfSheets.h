#pragma once
// A PDF file of sheets, written whole or not at all: the control's own
// export, the stepper's batch of letters and printing to a file share it.

#include "wp/PageFormat.h"

#include <QBuffer>
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

/// Qt's PDF engine names each glyph by the lowest code point that reaches
/// it in the font, so a CJK font's unified ideograph (U+7528) that shares
/// its glyph with a Kangxi radical (U+2F64) reads back, copied or searched,
/// as the radical. Names such glyphs by their ideographs again in the
/// to-Unicode maps of `pdf`, in place: no byte moves.
void nameIdeographs(QByteArray& pdf);

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
    /// Ends the painter, checks every byte reached the file and puts the
    /// file in place; false with error() saying why (the target untouched).
    bool finish();
    QString error() const { return m_error; }

private:
    bool fail(const QString& why);

    QString m_fileName;
    QString m_error;
    std::unique_ptr<QFileDevice> m_file;
    QBuffer m_pdf; // the writer's output, fixed up (nameIdeographs) before it goes to the file
    std::unique_ptr<QPdfWriter> m_writer;
    QPainter m_painter;
};

} // namespace wp
