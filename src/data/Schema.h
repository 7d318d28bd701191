#pragma once
// The host database's tables, for the embedded file and for a server, and
// realistic job applications to fill them with (samples, tests, benchmarks).

#include "data/SqlText.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace wp::data {

/// CREATE statements of tblJobApplications (with its index on dtmCreated)
/// and tblVersion, for SQLite or PostgreSQL, plus the starting version row.
QStringList schemaStatements(Dialect dialect);

/// Creates "mv.mdb" and "mv.mdw" (with the two accounts) in `dataDir`.
/// Refuses, with a clear wp::Error, when either file already exists or the
/// directory cannot be written.
void initDatabase(const QString& dataDir);

/// One sample job application.
struct SampleJobApp {
    QString company;
    QString position;
    QString status;
    QDateTime created;
    QString coverLetterXml; ///< a `job_app` element
};

/// The `n`th sample (deterministic): companies, contacts, positions and
/// dates that read like a real job search, newest last.
SampleJobApp sampleJobApp(int n, const QDateTime& start = QDateTime());

/// dtmCreated as the embedded database stores it (sorts as text).
QString sqliteDateTime(const QDateTime& when);

} // namespace wp::data
