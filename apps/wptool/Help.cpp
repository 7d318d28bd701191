// The texts wptool gives about itself, and the table that ties each command
// to them and to the function that runs it.
#include "Commands.h"

#include "wp/clsWP.h"

#include <QTextStream>
#include <array>

namespace wptool {

namespace {

int helpCommand(const QStringList& args);

const std::array<Command, 6> kCommands{{
    {"version", "print the library's version", "wptool version",
     "Prints the version of the wp library (major.minor.revision) to stdout.\n"
     "\n"
     "Exit codes:\n"
     "  0  printed\n"
     "  2  wrong arguments\n",
     versionCommand},
    {"convert", "convert a document between RTF, Word, the native format and text",
     "wptool convert IN OUT",
     "Converts a document between RTF, Word (.docx), the library's own lossless\n"
     "format and plain text, each chosen by the file's extension.\n"
     "\n"
     "Arguments:\n"
     "  IN    the document to read: .rtf, .docx, .wpdoc or .txt (told by its\n"
     "        content when the extension says nothing)\n"
     "  OUT   the file to write: .rtf, .docx, .wpdoc or .txt (UTF-8)\n"
     "\n"
     "Exit codes:\n"
     "  0  written\n"
     "  1  IN cannot be read or is no valid document, or OUT cannot be written\n"
     "  2  wrong arguments, or OUT has none of the four extensions\n",
     convert},
    {"pdf", "write every page of a document to a PDF file", "wptool pdf IN OUT.pdf",
     "Writes every page of a document, headers and footers included, to a PDF\n"
     "file at the page's real size. While it works it shows the page it is at\n"
     "on stderr, when stderr is a terminal.\n"
     "\n"
     "Arguments:\n"
     "  IN       the document: .rtf, .docx, .wpdoc or .txt\n"
     "  OUT.pdf  the PDF file to write; its name ends in .pdf. One that exists\n"
     "           is replaced only once the new file is complete\n"
     "\n"
     "Exit codes:\n"
     "  0  written; the file and its number of pages go to stdout\n"
     "  1  IN cannot be read or is no valid document, or OUT.pdf cannot be written\n"
     "  2  wrong arguments\n",
     pdfCommand},
    {"merge", "merge the cover letter template with every job application",
     "wptool merge TEMPLATE DATA_DIR OUT.pdf [--options FILE] [--require-all]\n"
     "wptool merge TEMPLATE DATA_DIR --rtf OUTDIR [--options FILE] [--require-all]\n"
     "wptool merge TEMPLATE DATA_DIR --docx OUTDIR [--options FILE] [--require-all]",
     "Fills the text fields of the cover letter template from each job\n"
     "application the cover letter stepper steps through (the twenty newest\n"
     "stored cover letters, then the samples of the template archive), into\n"
     "one PDF with each letter from a new page, or into one RTF or Word file\n"
     "per letter (001.rtf, 002.rtf, ... or 001.docx, ...). While it works it\n"
     "shows the letter it is at on stderr, when stderr is a terminal.\n"
     "\n"
     "A letter whose job application has no value for a field keeps the\n"
     "field's title there (in red); each such letter and field is named on\n"
     "stderr, and again in a closing summary.\n"
     "\n"
     "Arguments:\n"
     "  TEMPLATE  the cover letter template (.rtf, .docx or .wpdoc); a text field's\n"
     "            data names its value (company, position, current_date, ...)\n"
     "  DATA_DIR  the folder holding the database mv.mdb with its workgroup\n"
     "            file mv.mdw, and the template archive app.mvdt\n"
     "  OUT.pdf   the PDF file to write (never one of the inputs)\n"
     "\n"
     "Options:\n"
     "  --rtf OUTDIR    write one RTF file per letter into OUTDIR instead of a\n"
     "                  PDF: a new or empty folder, or one holding only an\n"
     "                  earlier run's letters, which the new ones replace\n"
     "  --docx OUTDIR   the same with one Word document per letter\n"
     "  --require-all   write nothing when any letter lacks a value (exit 1)\n"
     "  --options FILE  the host's options XML; its option with sort=\"a08\"\n"
     "                  is the date format (default: the locale's short date)\n"
     "\n"
     "Exit codes:\n"
     "  0  written; the letters and pages go to stdout\n"
     "  1  the template, database or options cannot be read, the output\n"
     "     cannot be written, or --require-all found a missing value\n"
     "  2  wrong arguments\n",
     mergeCommand},
    {"db", "the job-application database: init, seed, version, schema, roles",
     "wptool db init DATA_DIR\n"
     "wptool db seed DATA_DIR [COUNT]\n"
     "wptool db version DATA_DIR\n"
     "wptool db schema [sqlite|postgresql]\n"
     "wptool db roles",
     "Creates, fills and inspects the database of job applications.\n"
     "\n"
     "Subcommands:\n"
     "  init DATA_DIR          create the embedded database mv.mdb and its\n"
     "                         workgroup file mv.mdw (never overwrites them)\n"
     "  seed DATA_DIR [COUNT]  add COUNT sample job applications (default 40,\n"
     "                         at most 1000000)\n"
     "  version DATA_DIR       print the schema version and the versions of the\n"
     "                         data-access parts\n"
     "  schema [sqlite|postgresql]\n"
     "                         print the statements that create the tables\n"
     "                         (default sqlite)\n"
     "  roles                  print the library's two accounts as PostgreSQL\n"
     "                         roles, passwords included\n"
     "\n"
     "Exit codes:\n"
     "  0  done\n"
     "  1  the database cannot be created, opened or written (why on stderr)\n"
     "  2  wrong arguments\n",
     dbCommand},
    {"help", "describe a command", "wptool help [COMMAND]",
     "Describes COMMAND: its usage, arguments, options and exit codes; without\n"
     "COMMAND, lists the commands. 'wptool COMMAND --help' (or -h) does the same.\n"
     "\n"
     "Exit codes:\n"
     "  0  described\n"
     "  2  no such command\n",
     helpCommand},
}};

QString usageLines(const Command& c) {
    const QStringList lines = QString::fromUtf8(c.usage).split(u'\n');
    QString text;
    for (qsizetype i = 0; i < lines.size(); ++i)
        text += (i == 0 ? QStringLiteral("usage: ") : QStringLiteral("       ")) + lines[i] +
                QLatin1Char('\n');
    return text;
}

int helpCommand(const QStringList& args) {
    if (args.size() > 1)
        return usageError(QStringLiteral("help"));
    if (args.isEmpty()) {
        QTextStream(stdout) << overview();
        return 0;
    }
    const Command* c = findCommand(args.first());
    if (!c) {
        QTextStream(stderr) << "wptool help: unknown command \"" << args.first()
                            << "\"; 'wptool --help' lists the commands\n";
        return 2;
    }
    QTextStream(stdout) << help(*c);
    return 0;
}

} // namespace

std::span<const Command> commands() {
    return kCommands;
}

const Command* findCommand(const QString& name) {
    for (const Command& c : kCommands)
        if (name == QLatin1String(c.name))
            return &c;
    return nullptr;
}

QString overview() {
    QString text = QStringLiteral("usage: wptool COMMAND [ARGUMENTS]\n"
                                  "\n"
                                  "The documents, PDFs, cover letter merges and job-application\n"
                                  "database of the wp library, from the command line.\n"
                                  "\n"
                                  "Commands:\n");
    for (const Command& c : kCommands)
        text += QStringLiteral("  %1%2\n").arg(QLatin1String(c.name), -10).arg(c.summary);
    text += QStringLiteral("\n"
                           "'wptool COMMAND --help' describes a command: its arguments, options\n"
                           "and exit codes. Exit codes: 0 done, 1 failed (the reason on stderr),\n"
                           "2 wrong arguments.\n");
    return text;
}

QString help(const Command& command) {
    return usageLines(command) + QLatin1Char('\n') + QString::fromUtf8(command.details);
}

int usageError(const QString& name, const QString& why) {
    QTextStream err(stderr);
    if (!why.isEmpty())
        err << "wptool " << name << ": " << why << "\n";
    if (const Command* c = findCommand(name))
        err << usageLines(*c);
    err << "'wptool " << name << " --help' says more.\n";
    return 2;
}

int versionCommand(const QStringList& args) {
    if (const int refused = rejectOptions(QStringLiteral("version"), args))
        return refused;
    if (!args.isEmpty())
        return usageError(QStringLiteral("version"));
    wp::clsWP wp;
    QTextStream(stdout) << wp.Version() << "\n";
    return 0;
}

} // namespace wptool
