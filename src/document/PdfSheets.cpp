#include "document/PdfSheets.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

namespace wp {

QPageLayout sheetLayout(const PageFormat& f) {
    const bool landscape = f.width > f.height;
    const QSizeF inches =
        landscape ? QSizeF(f.height, f.width) / 1440.0 : QSizeF(f.width, f.height) / 1440.0;
    return QPageLayout(QPageSize(inches, QPageSize::Inch, QString(), QPageSize::ExactMatch),
                       landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                       QMarginsF(0, 0, 0, 0));
}

void nameIdeographs(QByteArray& pdf) {
    auto hex = [](char c) {
        return c >= '0' && c <= '9'   ? c - '0'
               : c >= 'A' && c <= 'F' ? c - 'A' + 10
               : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                      : -1;
    };
    qsizetype at = 0;
    while ((at = pdf.indexOf("begincmap", at)) >= 0) {
        const qsizetype end = pdf.indexOf("endcmap", at);
        if (end < 0)
            return;
        // Lines of "<from> <to> [<u> ...]" (bfrange) or "<glyph> <u>" (bfchar):
        // only the tokens after the glyph numbers are code points.
        int section = 0; // 1 bfrange, 2 bfchar
        qsizetype line = at;
        while (line < end) {
            qsizetype next = pdf.indexOf('\n', line);
            if (next < 0 || next > end)
                next = end;
            const QByteArrayView text(pdf.constData() + line, next - line);
            if (text.endsWith("beginbfrange"))
                section = 1;
            else if (text.endsWith("beginbfchar"))
                section = 2;
            else if (text.startsWith("endbf"))
                section = 0;
            else if (section && text.startsWith('<')) {
                int token = 0;
                for (qsizetype i = line; i < next; ++i) {
                    if (pdf[i] != '<')
                        continue;
                    ++token;
                    if (token <= (section == 1 ? 2 : 1) || i + 5 >= next || pdf[i + 5] != '>')
                        continue;
                    int unit = 0;
                    for (int k = 1; k <= 4; ++k)
                        unit = unit * 16 + std::max(0, hex(pdf[i + k]));
                    const bool radical = unit >= 0x2E80 && unit <= 0x2FDF;
                    const bool compatibility = unit >= 0xF900 && unit <= 0xFAFF;
                    if (!radical && !compatibility)
                        continue;
                    const QString unified =
                        QString(QChar(char16_t(unit))).normalized(QString::NormalizationForm_KC);
                    if (unified.size() != 1 || unified[0].isSurrogate())
                        continue;
                    const QByteArray digits = QByteArray::number(unified[0].unicode(), 16)
                                                  .toUpper()
                                                  .rightJustified(4, '0');
                    std::copy(digits.begin(), digits.end(), pdf.begin() + i + 1);
                }
            }
            line = next + 1;
        }
        at = end;
    }
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
    m_pdf.open(QIODevice::WriteOnly);
    m_writer = std::make_unique<QPdfWriter>(&m_pdf);
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

bool PdfSheets::finish() {
    if (!m_writer)
        return fail(QStringLiteral("it was never begun"));
    if (m_painter.isActive() && !m_painter.end())
        return fail(QStringLiteral("the PDF writer did not finish"));
    m_writer.reset();
    QByteArray data = m_pdf.buffer();
    m_pdf.close();
    m_pdf.setData(QByteArray());
    nameIdeographs(data);
    if (m_file->write(data) != data.size())
        return fail(m_file->errorString());
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
