#include "ErrorLog.h"

#include "wp/hooks.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

ErrorLog::ErrorLog(const QString& logPath, QWidget* window)
    : QObject(window), m_logPath(logPath), m_window(window) {
    // The library reads the action and goes on; the demo never asks it to stop.
    wp::registerErrorSink([self = QPointer<ErrorLog>(this)](const wp::ErrorReport& r) {
        if (self)
            self->add(r.number, r.component, r.module, r.procedure, r.description, r.line,
                      r.variables, r.version);
    });
}

ErrorLog::~ErrorLog() {
    wp::unregisterComponent(QStringLiteral("errs.Error"));
}

QString ErrorLog::format(int number, const QString& component, const QString& module,
                         const QString& procedure, const QString& description, int line,
                         const QString& variables, const QString& version) {
    return QStringLiteral("=== %1 %2 %3\nModule: %4\nProcedure: %5\nLine: %6\nError: %7 (%8)\n%9\n")
        .arg(QDateTime::currentDateTime().toString(Qt::ISODate), component, version, module,
             procedure)
        .arg(line)
        .arg(description)
        .arg(number)
        .arg(variables);
}

void ErrorLog::add(int number, const QString& component, const QString& module,
                   const QString& procedure, const QString& description, int line,
                   const QString& variables, const QString& version) {
    const QString report =
        format(number, component, module, procedure, description, line, variables, version);
    QDir().mkpath(QFileInfo(m_logPath).absolutePath());
    QFile log(m_logPath);
    if (!log.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text) ||
        log.write(report.toUtf8()) < 0)
        qWarning("wpdemo: cannot write the error log %s: %s", qPrintable(m_logPath),
                 qPrintable(log.errorString()));
    if (m_pending.isEmpty()) {
        m_headline = QStringLiteral("%1\n\nModule: %2\nProcedure: %3\nError number: %4")
                         .arg(description, module, procedure)
                         .arg(number);
        // The outer procedures report the same failure right after this
        // one: the dialog waits for them to be gathered.
        QTimer::singleShot(0, this, &ErrorLog::showPending);
    }
    m_pending << report;
}

void ErrorLog::showPending() {
    if (m_pending.isEmpty())
        return;
    if (!m_interactive) {
        qWarning("wpdemo: %s\n(report in %s)", qPrintable(m_headline), qPrintable(m_logPath));
        m_pending.clear();
        return;
    }
    const std::unique_ptr<QMessageBox> box = dialog(m_headline, m_pending.join(QLatin1Char('\n')));
    m_pending.clear();
    box->exec();
}

std::unique_ptr<QMessageBox> ErrorLog::dialog(const QString& headline,
                                              const QString& details) const {
    auto box = std::make_unique<QMessageBox>(
        QMessageBox::Critical, QStringLiteral("wp demo — Error"),
        QStringLiteral("The operation could not be finished.\n\n") + headline, QMessageBox::Ok,
        m_window);
    box->setObjectName(QStringLiteral("errsErrorDialog"));
    box->setInformativeText(
        QStringLiteral("The report was added to %1.").arg(QDir::toNativeSeparators(m_logPath)));
    box->setDetailedText(details);
    box->button(QMessageBox::Ok)->setObjectName(QStringLiteral("pbOK"));
    return box;
}
