#pragma once
// Running the command-line tool and reading the PDFs it writes, with
// poppler's own tools as the independent reader.

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QXmlStreamReader>
#include <vector>

namespace wptest {

struct ToolRun {
    int code = -1;
    QString out, err;
};

/// Where the built wptool is: beside the tests' folder.
inline QString wptoolPath() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../wptool");
}

/// Runs the built wptool with `args`, in `env`.
inline ToolRun wptool(const QStringList& args,
                      const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    const QString exe = wptoolPath();
    ToolRun r;
    if (!QFileInfo::exists(exe)) {
        r.err = QStringLiteral("no wptool at ") + exe;
        return r;
    }
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(exe, args);
    if (!p.waitForFinished(120000))
        return r;
    r.code = p.exitCode();
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

/// What `program` writes to its standard output when run with `args`.
inline QString output(const QString& program, const QStringList& args) {
    QProcess proc;
    proc.start(program, args);
    proc.waitForFinished(30000);
    return QString::fromUtf8(proc.readAllStandardOutput());
}

/// The text of pages `first` to `last` of a PDF (pdftotext), in reading
/// order or, with `layout`, as laid out on the page.
inline QString pdfText(const QString& pdf, int first, int last, bool layout = false) {
    QStringList args{"-f", QString::number(first), "-l", QString::number(last), pdf, "-"};
    if (layout)
        args.prepend(QStringLiteral("-layout"));
    return output(QStringLiteral("pdftotext"), args);
}

/// What pdfinfo says of a PDF ("" when it cannot be read).
inline QString pdfInfo(const QString& pdf) {
    return output(QStringLiteral("pdfinfo"), {pdf});
}

/// The number of pages of a PDF (pdfinfo), -1 when it cannot be read.
inline int pdfPageCount(const QString& pdf) {
    for (const QString& line : pdfInfo(pdf).split(u'\n'))
        if (line.startsWith(QStringLiteral("Pages:")))
            return line.mid(6).trimmed().toInt();
    return -1;
}

/// The text of each page of a PDF, one entry a page (none when unreadable).
inline QStringList pdfPageTexts(const QString& pdf, bool layout = false) {
    QStringList pages;
    for (int p = 1, n = pdfPageCount(pdf); p <= n; ++p)
        pages << pdfText(pdf, p, p, layout);
    return pages;
}

/// One word of a PDF page as pdftotext -bbox finds it, in points from the
/// sheet's top left corner.
struct PdfWord {
    QString text;
    double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
};

/// The words of each page of a PDF, with the size of each page in points
/// (none when it cannot be read).
struct PdfWords {
    std::vector<QSizeF> sizes;
    std::vector<std::vector<PdfWord>> pages;
};

inline PdfWords pdfWords(const QString& pdf) {
    PdfWords r;
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return r;
    QXmlStreamReader xml(p.readAllStandardOutput());
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        const auto a = xml.attributes();
        auto num = [&a](const char* name) { return a.value(QLatin1String(name)).toDouble(); };
        if (xml.name() == QLatin1String("page")) {
            r.sizes.emplace_back(num("width"), num("height"));
            r.pages.emplace_back();
        } else if (xml.name() == QLatin1String("word") && !r.pages.empty()) {
            PdfWord w{{}, num("xMin"), num("yMin"), num("xMax"), num("yMax")};
            w.text = xml.readElementText();
            r.pages.back().push_back(w);
        }
    }
    return r;
}

} // namespace wptest
