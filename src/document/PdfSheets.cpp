#include "document/PdfSheets.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace wp {

QPageLayout sheetLayout(const PageFormat& f) {
    const bool landscape = f.width > f.height;
    const QSizeF inches =
        landscape ? QSizeF(f.height, f.width) / 1440.0 : QSizeF(f.width, f.height) / 1440.0;
    return QPageLayout(QPageSize(inches, QPageSize::Inch, QString(), QPageSize::ExactMatch),
                       landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                       QMarginsF(0, 0, 0, 0));
}

PdfSheets::PdfSheets(QString fileName) : m_fileName(std::move(fileName)) {}

PdfSheets::~PdfSheets() {
    // The painter first: it still writes into the writer, and the writer
    // into the file.
    if (m_painter.isActive())
        m_painter.end();
    m_writer.reset();
    auto* save = qobject_cast<QSaveFile*>(m_file.get());
    if (save && save->isOpen())
        save->cancelWriting(); // its destructor then removes the temporary file
}

bool PdfSheets::fail(const QString& why) {
    m_error = QStringLiteral("Cannot write the PDF file \"%1\": %2")
                  .arg(QDir::toNativeSeparators(m_fileName), why);
    return false;
}

bool PdfSheets::begin(const QPageLayout& layout, int resolution, const QString& title,
                      const QString& creator) {
    const QFileInfo target(m_fileName);
    if (m_fileName.isEmpty())
        return fail(QStringLiteral("no file name"));
    if (target.isDir())
        return fail(QStringLiteral("it is a folder"));
    // A device or a pipe cannot be replaced by a file: write into it. A
    // symbolic link stays one: the file it names is replaced.
    const QString real = target.exists() ? target.canonicalFilePath() : m_fileName;
    if (target.exists() && !QFileInfo(real).isFile())
        m_file = std::make_unique<QFile>(real);
    else
        m_file = std::make_unique<QSaveFile>(real);
    if (!m_file->open(QIODevice::WriteOnly))
        return fail(m_file->errorString());
    m_writer = std::make_unique<QPdfWriter>(m_file.get());
    m_writer->setCreator(creator);
    m_writer->setTitle(title);
    m_writer->setResolution(resolution);
    m_writer->setPageLayout(layout);
    if (!m_painter.begin(m_writer.get()))
        return fail(QStringLiteral("the PDF writer did not start"));
    return true;
}

bool PdfSheets::newPage() {
    return m_writer && m_writer->newPage();
}

bool PdfSheets::newPage(const QPageLayout& layout) {
    return m_writer && m_writer->setPageLayout(layout) && m_writer->newPage();
}

bool PdfSheets::finish() {
    if (!m_writer)
        return fail(QStringLiteral("it was never begun"));
    if (m_painter.isActive() && !m_painter.end())
        return fail(QStringLiteral("the PDF writer did not finish"));
    m_writer.reset();
    if (auto* save = qobject_cast<QSaveFile*>(m_file.get())) {
        // commit() flushes, syncs and renames, and fails on any earlier
        // write error (a full disk) without touching the target.
        if (!save->commit())
            return fail(save->errorString());
        return true;
    }
    if (!m_file->flush() || m_file->error() != QFileDevice::NoError)
        return fail(m_file->errorString());
    m_file->close();
    if (m_file->error() != QFileDevice::NoError)
        return fail(m_file->errorString());
    return true;
}

} // namespace wp
