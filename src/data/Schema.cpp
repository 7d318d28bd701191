#include "data/Schema.h"

#include "data/AdoError.h"
#include "data/Workgroup.h"
#include "data/cADOInternal.h"

#include <QAtomicInteger>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace wp::data {

QStringList schemaStatements(Dialect dialect) {
    if (dialect == Dialect::PostgreSQL) {
        return {
            QStringLiteral("CREATE TABLE tblJobApplications ("
                           "lngJobApplicationID SERIAL PRIMARY KEY, "
                           "strCompany VARCHAR(120) NOT NULL, "
                           "strPosition VARCHAR(120) NOT NULL, "
                           "strStatus VARCHAR(30), "
                           "dtmCreated TIMESTAMP NOT NULL, "
                           "memDraftCoverLetter TEXT)"),
            QStringLiteral("CREATE INDEX idxJobApplicationsCreated ON tblJobApplications "
                           "(dtmCreated)"),
            QStringLiteral("CREATE TABLE tblVersion (lngMajor INTEGER NOT NULL, "
                           "lngMinor INTEGER NOT NULL, dtmApplied TIMESTAMP, "
                           "PRIMARY KEY (lngMajor, lngMinor))"),
            QStringLiteral("INSERT INTO tblVersion (lngMajor, lngMinor, dtmApplied) "
                           "VALUES (1, 0, CURRENT_TIMESTAMP)"),
            // The read-only account reads, and nothing more: PUBLIC's
            // default rights (temporary tables, objects in the public
            // schema) are taken away.
            QStringLiteral("GRANT SELECT ON tblJobApplications, tblVersion TO \"%1\"")
                .arg(cADOInternal::ReadOnlyUser()),
            QStringLiteral("REVOKE ALL ON SCHEMA public FROM PUBLIC"),
            QStringLiteral("GRANT USAGE ON SCHEMA public TO \"%1\"")
                .arg(cADOInternal::ReadOnlyUser()),
            QStringLiteral("DO $$BEGIN EXECUTE format('REVOKE ALL ON DATABASE %I FROM PUBLIC', "
                           "current_database()); EXECUTE format('GRANT CONNECT ON DATABASE %I TO "
                           "%I', current_database(), '%1'); END$$")
                .arg(cADOInternal::ReadOnlyUser()),
        };
    }
    return {
        QStringLiteral("CREATE TABLE tblJobApplications ("
                       "lngJobApplicationID INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "strCompany TEXT NOT NULL, "
                       "strPosition TEXT NOT NULL, "
                       "strStatus TEXT, "
                       "dtmCreated DATETIME NOT NULL, "
                       "memDraftCoverLetter TEXT)"),
        QStringLiteral("CREATE INDEX idxJobApplicationsCreated ON tblJobApplications "
                       "(dtmCreated)"),
        QStringLiteral("CREATE TABLE tblVersion (lngMajor INTEGER NOT NULL, "
                       "lngMinor INTEGER NOT NULL, dtmApplied DATETIME, "
                       "PRIMARY KEY (lngMajor, lngMinor))"),
        QStringLiteral("INSERT INTO tblVersion (lngMajor, lngMinor, dtmApplied) "
                       "VALUES (1, 0, datetime('now'))"),
    };
}

void initDatabase(const QString& dataDir) {
    const QDir dir(dataDir);
    if (!dir.exists())
        raiseAdo(ado::STG_E_FILENOTFOUND, QStringLiteral("wptool"),
                 QStringLiteral("The data directory '%1' does not exist.").arg(dataDir));
    const QString mdb = dir.filePath(QStringLiteral("mv.mdb"));
    const QString mdw = dir.filePath(QStringLiteral("mv.mdw"));
    for (const QString& f : {mdb, mdw})
        if (QFile::exists(f))
            raiseAdo(ado::E_FAIL, QStringLiteral("wptool"),
                     QStringLiteral("'%1' already exists; it is left as it is.").arg(f));

    static QAtomicInteger<quint64> counter;
    const QString name = QStringLiteral("wp.init.%1").arg(counter.fetchAndAddRelaxed(1));
    QString failure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(mdb);
        if (!db.open()) {
            failure = db.lastError().text();
        } else {
            QSqlQuery q(db);
            db.transaction(); // one write to disk for the whole schema
            for (const QString& sql : schemaStatements(Dialect::SQLite)) {
                if (!q.exec(sql)) {
                    failure = q.lastError().text();
                    break;
                }
            }
            if (failure.isEmpty() && !db.commit())
                failure = db.lastError().text();
            q.finish();
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    if (!failure.isEmpty()) {
        QFile::remove(mdb);
        raiseAdo(ado::E_FAIL, QStringLiteral("wptool"),
                 QStringLiteral("Cannot create '%1': %2").arg(mdb, failure));
    }
    cADO ado;
    try {
        createWorkgroup(mdw, {{cADOInternal::ReadOnlyUser(), cADOInternal::PassRO(ado), true},
                              {cADOInternal::ReadWriteUser(), cADOInternal::PassRW(ado), false}});
    } catch (...) {
        QFile::remove(mdb);
        throw;
    }
}

QString sqliteDateTime(const QDateTime& when) {
    return when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

namespace {

struct Company {
    const char* name;
    const char* contact;
    const char* title;
    const char* salutation;
    const char* address;
    const char* city;
    const char* state;
    const char* zip;
};

const Company kCompanies[] = {
    {"Northwind Traders", "Laura Callahan", "Hiring Manager", "Dear Ms. Callahan",
     "507 - 20th Ave. E.", "Seattle", "WA", "98122"},
    {"Contoso Pharmaceuticals", "Michael Suyama", "Director of Finance", "Dear Mr. Suyama",
     "Coventry House, Miner Rd.", "Boston", "MA", "02110"},
    {"Fabrikam Engineering", "Anne Dodsworth", "Talent Acquisition Lead", "Dear Ms. Dodsworth",
     "7 Houndstooth Rd.", "Denver", "CO", "80202"},
    {"Adventure Works Cycles", "Robert King", "Operations Manager", "Dear Mr. King",
     "Edgeham Hollow, Winchester Way", "Portland", "OR", "97205"},
    {"Tailspin Toys", "Janet Leverling", "Head of Marketing", "Dear Ms. Leverling",
     "722 Moss Bay Blvd.", "Kirkland", "WA", "98033"},
    {"Wide World Importers", "Steven Buchanan", "Logistics Director", "Dear Mr. Buchanan",
     "14 Garrett Hill", "Chicago", "IL", "60601"},
    {"Litware Systems", "Nancy Davolio", "Engineering Manager", "Dear Ms. Davolio",
     "908 W. Capital Way", "Austin", "TX", "78701"},
    {"Proseware Health", "Andrew Fuller", "Vice President, Sales", "Dear Mr. Fuller",
     "4726 - 11th Ave. N.E.", "Minneapolis", "MN", "55401"},
    {"Woodgrove Bank", "Margaret Peacock", "Recruiting Coordinator", "Dear Ms. Peacock",
     "4110 Old Redmond Rd.", "Charlotte", "NC", "28202"},
    {"Coho Winery", "Yoshi Latimer", "General Manager", "Dear Mr. Latimer",
     "City Center Plaza, 516 Main St.", "Napa", "CA", "94559"},
    {"Blue Yonder Airlines", "Carlos Hernández", "Crew Resources Manager", "Dear Mr. Hernández",
     "Carrera 22 con Ave. Carlos Soublette #8-35", "Miami", "FL", "33101"},
    {"Lucerne Publishing", "Renée Müller", "Managing Editor", "Dear Ms. Müller",
     "Berliner Platz 43", "New York", "NY", "10013"},
};

const char* const kPositions[] = {
    "Senior Accountant", "Financial Analyst",     "Project Manager",
    "Software Engineer", "Marketing Specialist",  "Operations Coordinator",
    "Office Manager",    "Sales Representative",  "Technical Writer",
    "Data Analyst",      "Customer Success Lead", "Logistics Planner",
};

const char* const kSources[] = {"the company website", "LinkedIn",   "a referral from a colleague",
                                "the Sunday paper",    "a job fair", "Indeed"};
const char* const kStatuses[] = {"Draft", "Sent", "Interview", "Offer", "Declined", "Sent"};

QString esc(const QString& text) {
    return text.toHtmlEscaped();
}

QString element(const char* tag, const QString& value) {
    return QStringLiteral("  <%1>%2</%1>\n").arg(QLatin1String(tag), esc(value));
}

} // namespace

SampleJobApp sampleJobApp(int n, const QDateTime& start) {
    const QDateTime base =
        start.isValid() ? start : QDateTime(QDate(2023, 1, 9), QTime(9, 0, 0), Qt::UTC);
    const Company& c = kCompanies[size_t(n) % std::size(kCompanies)];
    const QString position =
        QString::fromUtf8(kPositions[size_t(n * 7 + n / 12) % std::size(kPositions)]);
    SampleJobApp app;
    app.company = QString::fromUtf8(c.name);
    app.position = position;
    app.status = QString::fromUtf8(kStatuses[size_t(n) % std::size(kStatuses)]);
    // About two applications a week, at office hours.
    app.created = base.addDays(qint64(n) * 3 + (n % 2)).addSecs(qint64(n % 7) * 3600 + n % 60);
    const QString ref =
        QStringLiteral("%1-%2").arg(app.company.left(2).toUpper()).arg(1000 + (n * 37) % 9000);
    QString xml = QStringLiteral("<job_app>\n");
    xml += element("template", QStringLiteral("Standard cover letter"));
    xml += element("company", app.company);
    xml += element("contact_name", QString::fromUtf8(c.contact));
    xml += element("contact_title", QString::fromUtf8(c.title));
    xml += element("salutation", QString::fromUtf8(c.salutation));
    xml += element("address", QString::fromUtf8(c.address));
    xml += element("city", QString::fromUtf8(c.city));
    xml += element("state", QString::fromUtf8(c.state));
    xml += element("zip", QString::fromUtf8(c.zip));
    xml += element("position", position);
    xml += element("job_ref", ref);
    xml += element("job_source", QString::fromUtf8(kSources[size_t(n) % std::size(kSources)]));
    xml += element("applied_date", app.created.date().toString(Qt::ISODate));
    xml += QStringLiteral("</job_app>");
    app.coverLetterXml = xml;
    return app;
}

} // namespace wp::data
