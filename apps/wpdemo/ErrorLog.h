#pragma once
// The demo's "errs.Error" component: every report of the library is
// appended to a log file, and each failure is shown once, with the whole
// report behind the Details button.

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <memory>

class QMessageBox;

class QWidget;

class ErrorLog : public QObject {
    Q_OBJECT
public:
    /// Registers "errs.Error" for as long as this object lives; reports are
    /// appended to `logPath`, and the dialog is shown over `window`.
    ErrorLog(const QString& logPath, QWidget* window);
    ~ErrorLog() override;

    QString logPath() const { return m_logPath; }
    /// Off: failures go to stderr instead of a dialog (runs with nobody to
    /// press OK, such as the screenshots).
    void setInteractive(bool on) { m_interactive = on; }

    /// One report: written to the log at once; the reports of one failure
    /// (one per procedure on its way up) are shown together in one dialog.
    void add(int number, const QString& component, const QString& module, const QString& procedure,
             const QString& description, int line, const QString& variables,
             const QString& version);

    /// The report as written to the log.
    static QString format(int number, const QString& component, const QString& module,
                          const QString& procedure, const QString& description, int line,
                          const QString& variables, const QString& version);

    /// The dialog of one failure: its message, and the reports behind Details.
    std::unique_ptr<QMessageBox> dialog(const QString& headline, const QString& details) const;

private:
    void showPending();

    QString m_logPath;
    QPointer<QWidget> m_window;
    QStringList m_pending; // reports not shown yet
    QString m_headline;    // the first (innermost) report's message
    bool m_interactive = true;
};
