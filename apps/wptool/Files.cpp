// What the commands check of the paths they are given before they read or
// write anything.
#include "Commands.h"

#include <QFile>
#include <QFileInfo>
#include <sys/stat.h>

namespace wptool {

bool sameFile(const QString& a, const QString& b) {
    struct stat sa {};
    struct stat sb {};
    if (::stat(QFile::encodeName(a).constData(), &sa) != 0 ||
        ::stat(QFile::encodeName(b).constData(), &sb) != 0)
        return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

int rejectOptions(const QString& name, const QStringList& args) {
    for (const QString& a : args)
        if (a.size() > 1 && a.startsWith(QLatin1Char('-')))
            return usageError(name, QStringLiteral("unknown option ") + a);
    return 0;
}

bool isPdfTarget(const QString& path) {
    if (path.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        return true;
    const QFileInfo info(path);
    return info.exists() && !info.isDir() && !QFileInfo(info.canonicalFilePath()).isFile();
}

} // namespace wptool
