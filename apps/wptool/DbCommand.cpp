// wptool db: creates and fills the embedded database of a data directory.
//   wptool db init DATA_DIR         new "mv.mdb" and its workgroup file "mv.mdw"
//   wptool db seed DATA_DIR [N]     adds N sample job applications (default 40)
//   wptool db version DATA_DIR      schema version and data-access versions
//   wptool db schema [sqlite|postgresql]   the CREATE statements
//   wptool db roles                 the two accounts as PostgreSQL roles
#include "Commands.h"
#include "data/Schema.h"
#include "data/cADOInternal.h"
#include "wp/cADO.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QTextStream>

namespace {

int usage(const QString& why = {}) {
    return wptool::usageError(QStringLiteral("db"), why);
}

QString databasePath(const QString& dataDir) {
    return QDir(dataDir).filePath(QStringLiteral("mv.mdb"));
}

int seed(const QString& dataDir, int count) {
    wp::cADO ado;
    ado.setDbname(databasePath(dataDir));
    // Written back through the library itself, as a host would.
    wp::RecordsetRef rs = ado.GetBatchRecord(
        QStringLiteral("SELECT strCompany, strPosition, strStatus, dtmCreated, memDraftCoverLetter "
                       "FROM tblJobApplications WHERE 1 = 0"));
    const int first = [&] {
        wp::RecordsetRef n = ado.GetRS(
            QStringLiteral("SELECT Count(*) as MyCount FROM tblJobApplications;"), 0, 1, 3);
        return n->Value(QStringLiteral("MyCount")).toInt();
    }();
    for (int i = first; i < first + count; ++i) {
        const wp::data::SampleJobApp app = wp::data::sampleJobApp(i);
        rs->AddNew();
        rs->setValue(QStringLiteral("strCompany"), app.company);
        rs->setValue(QStringLiteral("strPosition"), app.position);
        rs->setValue(QStringLiteral("strStatus"), app.status);
        rs->setValue(QStringLiteral("dtmCreated"), wp::data::sqliteDateTime(app.created));
        // Now and then an application was sent without a stored cover letter.
        if (i % 9 != 4)
            rs->setValue(QStringLiteral("memDraftCoverLetter"), app.coverLetterXml);
    }
    ado.SaveBatchRecord(rs);
    QTextStream(stdout) << "added " << count << " job applications to " << databasePath(dataDir)
                        << "\n";
    return 0;
}

} // namespace

int wptool::dbCommand(const QStringList& args) {
    const QString verb = args.value(0);
    // The most arguments each subcommand takes, its name included.
    static const QHash<QString, qsizetype> kMostArgs{
        {QStringLiteral("init"), 2},   {QStringLiteral("seed"), 3},  {QStringLiteral("version"), 2},
        {QStringLiteral("schema"), 2}, {QStringLiteral("roles"), 1},
    };
    if (verb.isEmpty())
        return usage();
    if (const int refused = wptool::rejectOptions(QStringLiteral("db"), args))
        return refused;
    if (!kMostArgs.contains(verb))
        return usage(QStringLiteral("unknown subcommand \"%1\"").arg(verb));
    if (args.size() > kMostArgs.value(verb))
        return usage(QStringLiteral("too many arguments"));
    try {
        if (verb == QLatin1String("schema")) {
            const QString dialect = args.value(1, QStringLiteral("sqlite"));
            if (dialect != QLatin1String("sqlite") && dialect != QLatin1String("postgresql"))
                return usage(QStringLiteral("no schema for \"%1\"").arg(dialect));
            const bool pg = dialect == QLatin1String("postgresql");
            for (const QString& sql : wp::data::schemaStatements(pg ? wp::data::Dialect::PostgreSQL
                                                                    : wp::data::Dialect::SQLite))
                QTextStream(stdout) << sql << ";\n";
            return 0;
        }
        if (verb == QLatin1String("roles")) {
            // The server's logins must be the accounts the library supplies.
            wp::cADO ado;
            QTextStream out(stdout);
            out << "CREATE ROLE \"" << wp::cADOInternal::ReadWriteUser() << "\" LOGIN PASSWORD '"
                << wp::cADOInternal::PassRW(ado) << "';\n";
            out << "CREATE ROLE \"" << wp::cADOInternal::ReadOnlyUser() << "\" LOGIN PASSWORD '"
                << wp::cADOInternal::PassRO(ado) << "';\n";
            return 0;
        }
        if (args.size() < 2)
            return usage(QStringLiteral("DATA_DIR is missing"));
        const QString dataDir = args.at(1);
        if (QFileInfo::exists(dataDir) && !QFileInfo(dataDir).isDir()) {
            QTextStream(stderr) << "wptool db " << verb << ": DATA_DIR \"" << dataDir
                                << "\" is a file, not a folder\n";
            return 1;
        }
        if (verb == QLatin1String("init")) {
            wp::data::initDatabase(dataDir);
            QTextStream(stdout) << "created " << databasePath(dataDir) << " and "
                                << QDir(dataDir).filePath(QStringLiteral("mv.mdw")) << "\n";
            return 0;
        }
        if (verb == QLatin1String("seed")) {
            bool ok = true;
            const int count = args.size() > 2 ? args.at(2).toInt(&ok) : 40;
            if (!ok || count < 0 || count > 1000000)
                return usage(QStringLiteral("COUNT must be a number from 0 to 1000000"));
            return seed(dataDir, count);
        }
        if (verb == QLatin1String("version")) {
            // A missing file reads as the oldest schema: say so instead.
            if (!QFileInfo(databasePath(dataDir)).isFile()) {
                QTextStream(stderr) << "wptool db version: no database \""
                                    << QDir::toNativeSeparators(databasePath(dataDir)) << "\"\n";
                return 1;
            }
            wp::cADO ado;
            ado.setDbname(databasePath(dataDir));
            QTextStream(stdout) << "schema " << ado.VersionDB() << "\n"
                                << ado.MDACVersion() << "\n";
            return 0;
        }
    } catch (const wp::Error& e) {
        QTextStream(stderr) << "wptool db " << verb << ": " << e.description << " (" << e.number
                            << ")\n";
        return 1;
    }
    return usage();
}
