#pragma once
// Reading and writing ZIP archives in tests with libzip itself, so that what
// the library wrote is checked by an independent reader.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <optional>
#include <zip.h>

namespace wptest {

/// The whole file, to compare an archive before and after ("" when unreadable).
inline QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

/// Writes `bytes` as the whole file; false when it cannot be written.
inline bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

/// The bytes of entry `name`, or nothing when the archive or entry is missing
/// or cannot be read (a damaged archive, a bad checksum).
inline std::optional<QByteArray> zipEntry(const QString& archive, const QString& name) {
    int code = 0;
    zip_t* z = zip_open(QFile::encodeName(archive).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &code);
    if (!z)
        return std::nullopt;
    std::optional<QByteArray> out;
    zip_stat_t st;
    if (zip_stat(z, name.toUtf8().constData(), ZIP_FL_ENC_UTF_8, &st) == 0) {
        if (zip_file_t* f = zip_fopen(z, name.toUtf8().constData(), 0)) {
            QByteArray data(qsizetype(st.size), '\0');
            if (zip_fread(f, data.data(), st.size) == zip_int64_t(st.size))
                out = data;
            zip_fclose(f);
        }
    }
    zip_discard(z);
    return out;
}

/// The entry names of an archive, in their order ({} when unreadable).
inline QStringList zipNames(const QString& archive) {
    int code = 0;
    zip_t* z = zip_open(QFile::encodeName(archive).constData(), ZIP_RDONLY, &code);
    QStringList names;
    if (!z)
        return names;
    for (zip_int64_t i = 0, n = zip_get_num_entries(z, 0); i < n; ++i)
        names << QString::fromUtf8(zip_get_name(z, zip_uint64_t(i), ZIP_FL_ENC_GUESS));
    zip_discard(z);
    return names;
}

/// Writes an archive holding exactly the given entries (name, bytes).
inline bool makeZip(const QString& archive, const QList<QPair<QString, QByteArray>>& entries) {
    int code = 0;
    zip_t* z = zip_open(QFile::encodeName(archive).constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (!z)
        return false;
    for (const auto& [name, bytes] : entries) {
        zip_source_t* s = zip_source_buffer(z, bytes.constData(), zip_uint64_t(bytes.size()), 0);
        if (!s || zip_file_add(z, name.toUtf8().constData(), s, ZIP_FL_ENC_UTF_8) < 0) {
            zip_source_free(s);
            zip_discard(z);
            return false;
        }
    }
    return zip_close(z) == 0;
}

} // namespace wptest
