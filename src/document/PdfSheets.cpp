#include "document/PdfSheets.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cstring>

namespace wp {

namespace {

// The character a glyph's code `code` (4 hex digits, a ToUnicode entry)
// should read as: CJK fonts draw an ideograph and the radical of the same
// shape (U+2F00...) with one glyph, and Qt's PDF engine names each glyph
// by the lowest code that reaches it, so 入 would extract as ⼊.
void mendCode(char* code) {
    bool ok = false;
    const uint u = QByteArray(code, 4).toUInt(&ok, 16);
    if (!ok || u < 0x2E80 || u > 0x2FDF)
        return;
    const QString d = QChar(char16_t(u)).decomposition();
    if (d.size() == 1 && QChar(char16_t(u)).decompositionTag() == QChar::Compat)
        std::memcpy(
            code,
            QByteArray::number(d[0].unicode(), 16).toUpper().rightJustified(4, '0').constData(), 4);
}

// Mends the target codes of a ToUnicode map in place, code for code, so
// that no byte of the file moves: "<from> <to> [<code>...]", "<g> <g>
// <code>" and "<g> <code>" lines.
void mendToUnicode(QByteArray& cmap) {
    char* data = cmap.data();
    qsizetype line = 0;
    while (line < cmap.size()) {
        qsizetype end = cmap.indexOf('\n', line);
        if (end < 0)
            end = cmap.size();
        const QByteArrayView l(data + line, end - line);
        const auto token = [&](qsizetype at) {
            return at + 6 <= l.size() && l[at] == '<' && l[at + 5] == '>';
        };
        if (token(0) && token(7) && l.size() > 14 && l[14] == '[') {
            for (qsizetype at = 15; token(at); at += 7)
                mendCode(data + line + at + 1);
        } else if (token(0) && token(7) && token(14) && l.size() == 20 &&
                   l.first(6) == l.sliced(7, 6)) {
            mendCode(data + line + 15);
        } else if (token(0) && token(7) && l.size() == 13) {
            mendCode(data + line + 8);
        }
        line = end + 1;
    }
}

// Passes the PDF engine's bytes to the file, mending the ToUnicode maps
// on their way (the engine writes each map whole, in one piece).
class TextMapMend : public QIODevice {
public:
    explicit TextMapMend(QIODevice* out) : m_out(out) { open(QIODevice::WriteOnly); }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 len) override {
        const QByteArrayView chunk(data, len);
        if (!chunk.contains("/Ordering (UCS)"))
            return m_out->write(data, len);
        QByteArray cmap(data, len);
        mendToUnicode(cmap);
        return m_out->write(cmap);
    }

private:
    QIODevice* m_out;
};

} // namespace

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
    m_mend = std::make_unique<TextMapMend>(m_file.get());
    m_writer = std::make_unique<QPdfWriter>(m_mend.get());
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
