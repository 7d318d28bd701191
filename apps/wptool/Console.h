#pragma once
// What wptool writes to the terminal beside its results: Qt's own start-up
// notes held back unless the command fails, and a progress line for long
// work.

#include <QElapsedTimer>
#include <QString>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>

namespace wptool {

/// Keeps Qt's messages (platform plugin, fonts, standard paths) off the
/// terminal of a command that succeeds, and gives the process a private
/// runtime folder when the session has none (Qt warns without one). Made
/// before the application object, kept for the whole of main().
class QuietQt {
public:
    QuietQt();
    ~QuietQt();
    QuietQt(const QuietQt&) = delete;
    QuietQt& operator=(const QuietQt&) = delete;
    /// Writes the messages kept so far to stderr: the command failed, and
    /// they may tell why.
    void release();

private:
    std::unique_ptr<QTemporaryDir> m_runtimeDir;
};

/// One line on `out` rewritten in place ("\r") as work goes on, such as
/// "wptool pdf: page 12 of 391". Silent when `out` is no terminal, so that
/// logs and pipes get no control characters.
class ProgressLine {
public:
    /// `label` comes before the numbers ("wptool pdf: page").
    explicit ProgressLine(QString label, FILE* out = stderr);
    ProgressLine(QString label, FILE* out, bool terminal);
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    /// Shows "label done of total"; at most about 20 times a second, but
    /// always the first and the last step.
    void show(qint64 done, qint64 total);
    /// Wipes the line, so that what follows starts on a clean line.
    void clear();

private:
    QString m_label;
    FILE* m_out;
    bool m_terminal;
    qsizetype m_width = 0; // characters on the line now
    QElapsedTimer m_since;
};

} // namespace wptool
