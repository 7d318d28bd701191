#include "Console.h"

#include <QFile>
#include <QMutex>
#include <QStringList>
#include <unistd.h>

namespace wptool {

namespace {

QMutex g_keptMutex;
QStringList g_kept; // Qt's messages, held until the command's outcome is known

void writeErr(const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

void keepMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    const QString line = qFormatLogMessage(type, context, text) + QLatin1Char('\n');
    QMutexLocker lock(&g_keptMutex);
    if (type == QtFatalMsg) {
        // Qt ends the process after this: say everything now.
        writeErr(g_kept.join(QString()) + line);
        g_kept.clear();
        return;
    }
    g_kept << line;
}

} // namespace

QuietQt::QuietQt() {
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        // A folder of our own for this run (made 0700), gone when we end.
        auto dir = std::make_unique<QTemporaryDir>();
        if (dir->isValid()) {
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir->path()));
            m_runtimeDir = std::move(dir);
        }
    }
    qInstallMessageHandler(keepMessage);
}

QuietQt::~QuietQt() {
    qInstallMessageHandler(nullptr);
    if (m_runtimeDir)
        qunsetenv("XDG_RUNTIME_DIR");
}

void QuietQt::release() {
    QMutexLocker lock(&g_keptMutex);
    if (!g_kept.isEmpty())
        writeErr(g_kept.join(QString()));
    g_kept.clear();
}

ProgressLine::ProgressLine(QString label, FILE* out)
    : ProgressLine(std::move(label), out, isatty(fileno(out)) == 1) {}

ProgressLine::ProgressLine(QString label, FILE* out, bool terminal)
    : m_label(std::move(label)), m_out(out), m_terminal(terminal) {}

ProgressLine::~ProgressLine() {
    clear();
}

void ProgressLine::show(qint64 done, qint64 total) {
    if (!m_terminal)
        return;
    // A terminal that redraws for every page would slow the work down.
    if (m_since.isValid() && done != total && m_since.elapsed() < 50)
        return;
    m_since.start();
    const QString text = QStringLiteral("%1 %2 of %3").arg(m_label).arg(done).arg(total);
    // Spaces cover what is left of a longer line before.
    const QString line =
        QLatin1Char('\r') + text + QString(qMax<qsizetype>(0, m_width - text.size()), u' ');
    m_width = text.size();
    const QByteArray bytes = line.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), m_out);
    std::fflush(m_out);
}

void ProgressLine::clear() {
    if (!m_terminal || m_width == 0)
        return;
    const QByteArray blank = '\r' + QByteArray(m_width, ' ') + '\r';
    std::fwrite(blank.constData(), 1, size_t(blank.size()), m_out);
    std::fflush(m_out);
    m_width = 0;
}

} // namespace wptool
