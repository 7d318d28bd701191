// The archive utility over libzip. libzip writes a changed archive to a
// temporary file beside it and renames that over the old one when closing,
// so a failed or interrupted write never leaves a half-written archive.
#include "wp/cUtil.h"

#include "wp/Error.h"

#include <QFileInfo>
#include <memory>
#include <zip.h>

namespace wp {

namespace {

QString describe(zip_error_t* error) {
    return QString::fromUtf8(zip_error_strerror(error));
}

QString openError(int code) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    QString text = describe(&error);
    zip_error_fini(&error);
    return text;
}

struct ArchiveCloser {
    void operator()(zip_t* z) const { zip_discard(z); }
};
using Archive = std::unique_ptr<zip_t, ArchiveCloser>;

struct FileCloser {
    void operator()(zip_file_t* f) const { zip_fclose(f); }
};

[[noreturn]] void fail(const QString& archivePath, const QString& why) {
    // Path/File access error: what the runtime raised for a file it could not write.
    throw Error(err::PathFileAccess, QStringLiteral("cUtil"),
                QStringLiteral("Cannot write the archive \"%1\": %2").arg(archivePath, why));
}

} // namespace

QString cUtil::ReadEntry(const QString& archivePath, const QString& entry) {
    m_lastError.clear();
    const QFileInfo info(archivePath);
    if (!info.exists())
        return QString();

    int code = 0;
    Archive zip(zip_open(QFile::encodeName(archivePath).constData(), ZIP_RDONLY, &code));
    if (!zip) {
        m_lastError =
            QStringLiteral("Cannot read the archive \"%1\": %2").arg(archivePath, openError(code));
        return QString();
    }
    const QByteArray name = entry.toUtf8();
    const zip_int64_t index = zip_name_locate(zip.get(), name.constData(), ZIP_FL_ENC_UTF_8);
    if (index < 0)
        return QString();

    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(zip.get(), zip_uint64_t(index), 0, &st) != 0) {
        m_lastError = describe(zip_get_error(zip.get()));
        return QString();
    }
    const auto tooLarge = [&] {
        m_lastError = QStringLiteral("The entry \"%1\" of \"%2\" is larger than %3 bytes")
                          .arg(entry, archivePath)
                          .arg(MaxEntrySize);
        return QString();
    };
    if ((st.valid & ZIP_STAT_SIZE) && st.size > zip_uint64_t(MaxEntrySize))
        return tooLarge();

    std::unique_ptr<zip_file_t, FileCloser> file(
        zip_fopen_index(zip.get(), zip_uint64_t(index), 0));
    if (!file) {
        m_lastError = QStringLiteral("Cannot read the entry \"%1\" of \"%2\": %3")
                          .arg(entry, archivePath, describe(zip_get_error(zip.get())));
        return QString();
    }
    // The stored size may lie (a damaged or hostile archive): the limit is
    // kept while reading, not only trusted from the directory.
    QByteArray data;
    char chunk[65536];
    for (;;) {
        const zip_int64_t n = zip_fread(file.get(), chunk, sizeof chunk);
        if (n < 0) {
            m_lastError = QStringLiteral("Cannot read the entry \"%1\" of \"%2\": %3")
                              .arg(entry, archivePath, describe(zip_file_get_error(file.get())));
            return QString();
        }
        if (n == 0)
            break;
        if (data.size() + n > MaxEntrySize)
            return tooLarge();
        data.append(chunk, qsizetype(n));
    }
    if (data.startsWith("\xEF\xBB\xBF"))
        data.remove(0, 3);
    return QString::fromUtf8(data);
}

void cUtil::WriteEntry(const QString& archivePath, const QString& entry, const QString& text) {
    if (entry.isEmpty())
        fail(archivePath, QStringLiteral("the entry has no name"));
    // Held until zip_close: libzip reads the buffer only while writing.
    const QByteArray data = text.toUtf8();
    if (data.size() > MaxEntrySize)
        fail(archivePath, QStringLiteral("the entry \"%1\" is larger than %2 bytes")
                              .arg(entry)
                              .arg(MaxEntrySize));

    // libzip renames its temporary file over the path it opened: through a
    // symbolic link that would replace the link by a file. The archive the
    // link names is written, and the link stays.
    QString target = archivePath;
    for (int hops = 0; QFileInfo(target).isSymLink(); ++hops) {
        if (hops == 40)
            fail(archivePath, QStringLiteral("too many levels of symbolic links"));
        target = QFileInfo(target).symLinkTarget();
    }

    int code = 0;
    Archive zip(zip_open(QFile::encodeName(target).constData(), ZIP_CREATE, &code));
    if (!zip)
        fail(archivePath, openError(code));

    zip_source_t* source =
        zip_source_buffer(zip.get(), data.constData(), zip_uint64_t(data.size()), 0);
    if (!source)
        fail(archivePath, describe(zip_get_error(zip.get())));
    const QByteArray name = entry.toUtf8();
    if (zip_file_add(zip.get(), name.constData(), source, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8) <
        0) {
        zip_source_free(source);
        fail(archivePath, describe(zip_get_error(zip.get())));
    }
    if (zip_close(zip.get()) != 0)
        fail(archivePath, describe(zip_get_error(zip.get())));
    (void)zip.release(); // zip_close freed it
}

} // namespace wp
