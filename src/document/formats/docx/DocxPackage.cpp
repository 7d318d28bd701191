#include "document/formats/docx/DocxPackage.h"

#include <QStringList>
#include <QXmlStreamReader>
#include <zip.h>

namespace wp::docx {

namespace {

QString zipMessage(zip_error_t* error) {
    return QString::fromUtf8(zip_error_strerror(error));
}

} // namespace

struct PackageReader::Zip {
    zip_t* archive = nullptr;
    ~Zip() {
        if (archive)
            zip_discard(archive);
    }
};

PackageReader::PackageReader(const QByteArray& data) : zip(std::make_unique<Zip>()) {
    zip_error_t error;
    zip_error_init(&error);
    // The source only borrows `data`, which outlives the reader's caller.
    zip_source_t* source =
        zip_source_buffer_create(data.constData(), zip_uint64_t(data.size()), 0, &error);
    if (!source) {
        const QString why = zipMessage(&error);
        zip_error_fini(&error);
        throw QStringLiteral("not a ZIP package: %1").arg(why);
    }
    zip->archive = zip_open_from_source(source, ZIP_RDONLY, &error);
    if (!zip->archive) {
        zip_source_free(source);
        const QString why = zipMessage(&error);
        zip_error_fini(&error);
        throw QStringLiteral("not a ZIP package: %1").arg(why);
    }
    zip_error_fini(&error);
    const zip_int64_t entries = zip_get_num_entries(zip->archive, 0);
    if (entries > MaxEntries)
        throw QStringLiteral("the package has %1 entries (at most %2)")
            .arg(entries)
            .arg(MaxEntries);
    // What the entries declare is checked before anything is inflated; the
    // reading itself stops at the caps as well, in case the sizes lie.
    qint64 declared = 0;
    for (zip_int64_t i = 0; i < entries; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(zip->archive, zip_uint64_t(i), 0, &st) == 0 &&
            (st.valid & ZIP_STAT_SIZE)) {
            declared += qint64(std::min<zip_uint64_t>(st.size, zip_uint64_t(MaxPackageSize) + 1));
            if (declared > MaxPackageSize)
                throw QStringLiteral("the package unpacks to more than %1 MB")
                    .arg(MaxPackageSize >> 20);
        }
    }
}

PackageReader::~PackageReader() = default;

bool PackageReader::contains(const QString& part) const {
    return zip_name_locate(zip->archive, part.toUtf8().constData(), ZIP_FL_NOCASE) >= 0;
}

QByteArray PackageReader::read(const QString& part, bool optional) {
    const zip_int64_t index =
        zip_name_locate(zip->archive, part.toUtf8().constData(), ZIP_FL_NOCASE);
    if (index < 0) {
        if (optional)
            return {};
        throw QStringLiteral("the package has no part %1").arg(part);
    }
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(zip->archive, zip_uint64_t(index), 0, &st) != 0)
        throw QStringLiteral("cannot read part %1").arg(part);
    const qint64 cap = std::min(MaxPartSize, budget);
    if ((st.valid & ZIP_STAT_SIZE) && st.size > zip_uint64_t(cap))
        throw QStringLiteral("part %1 is too large (%2 bytes)").arg(part).arg(st.size);
    zip_file_t* file = zip_fopen_index(zip->archive, zip_uint64_t(index), 0);
    if (!file)
        throw QStringLiteral("cannot read part %1: %2")
            .arg(part, QString::fromUtf8(zip_strerror(zip->archive)));
    QByteArray bytes;
    if (st.valid & ZIP_STAT_SIZE)
        bytes.reserve(qsizetype(st.size));
    char chunk[65536];
    for (;;) {
        const zip_int64_t n = zip_fread(file, chunk, sizeof chunk);
        if (n < 0) {
            const QString why = QString::fromUtf8(zip_file_strerror(file));
            zip_fclose(file);
            throw QStringLiteral("cannot read part %1: %2").arg(part, why);
        }
        if (n == 0)
            break;
        if (bytes.size() + n > cap) {
            zip_fclose(file);
            throw QStringLiteral("part %1 is too large").arg(part);
        }
        bytes.append(chunk, qsizetype(n));
    }
    zip_fclose(file);
    budget -= bytes.size();
    return bytes;
}

QHash<QString, Relationship> PackageReader::relationships(const QString& part) {
    QHash<QString, Relationship> rels;
    const QByteArray data = read(relationshipsPart(part), true);
    if (data.isEmpty())
        return rels;
    const QString base = partFolder(part);
    QXmlStreamReader xml(data);
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.tokenType() == QXmlStreamReader::DTD)
            throw QStringLiteral("part %1 has a document type declaration")
                .arg(relationshipsPart(part));
        if (!xml.isStartElement() || xml.name() != QLatin1String("Relationship"))
            continue;
        const auto a = xml.attributes();
        Relationship r;
        r.type = a.value(QLatin1String("Type")).toString().section(QLatin1Char('/'), -1);
        r.external = a.value(QLatin1String("TargetMode")) == QLatin1String("External");
        r.target = a.value(QLatin1String("Target")).toString();
        if (!r.external) {
            const QString resolved = resolvePartName(base, r.target);
            if (resolved.isEmpty())
                throw QStringLiteral("part %1 refers to \"%2\", outside the package")
                    .arg(part.isEmpty() ? QStringLiteral("the package") : part, r.target);
            r.target = resolved;
        }
        rels.insert(a.value(QLatin1String("Id")).toString(), r);
    }
    if (xml.hasError())
        throw QStringLiteral("damaged XML in %1: %2")
            .arg(relationshipsPart(part), xml.errorString());
    return rels;
}

QString partFolder(const QString& part) {
    const qsizetype slash = part.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : part.left(slash);
}

QString resolvePartName(const QString& base, const QString& target) {
    QStringList path;
    QString t = target;
    if (t.startsWith(QLatin1Char('/')))
        t.remove(0, 1);
    else if (!base.isEmpty())
        path = base.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString& seg : t.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (seg == QLatin1String("."))
            continue;
        if (seg == QLatin1String("..")) {
            if (path.isEmpty())
                return {};
            path.removeLast();
            continue;
        }
        path << seg;
    }
    return path.join(QLatin1Char('/'));
}

QString relationshipsPart(const QString& part) {
    const QString folder = partFolder(part);
    const QString name = part.mid(folder.isEmpty() ? 0 : folder.size() + 1);
    return (folder.isEmpty() ? QString() : folder + QLatin1Char('/')) + QStringLiteral("_rels/") +
           name + QStringLiteral(".rels");
}

void PackageWriter::add(const QString& part, QByteArray data, bool compress) {
    parts.emplace_back(part, std::move(data));
    compressed.push_back(compress);
}

QByteArray PackageWriter::finish() {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* target = zip_source_buffer_create(nullptr, 0, 0, &error);
    if (!target) {
        const QString why = zipMessage(&error);
        zip_error_fini(&error);
        throw QStringLiteral("cannot build the package: %1").arg(why);
    }
    zip_source_keep(target); // read back after zip_close
    zip_t* archive = zip_open_from_source(target, ZIP_TRUNCATE, &error);
    if (!archive) {
        zip_source_free(target);
        zip_source_free(target);
        const QString why = zipMessage(&error);
        zip_error_fini(&error);
        throw QStringLiteral("cannot build the package: %1").arg(why);
    }
    zip_error_fini(&error);
    auto failed = [&](const QString& why) {
        zip_discard(archive);
        zip_source_free(target);
        return QStringLiteral("cannot build the package: %1").arg(why);
    };
    for (size_t i = 0; i < parts.size(); ++i) {
        const QByteArray& data = parts[i].second;
        // libzip reads the buffers only in zip_close; `parts` holds them.
        zip_source_t* source =
            zip_source_buffer(archive, data.constData(), zip_uint64_t(data.size()), 0);
        const zip_int64_t index = source
                                      ? zip_file_add(archive, parts[i].first.toUtf8().constData(),
                                                     source, ZIP_FL_ENC_UTF_8)
                                      : -1;
        if (index < 0) {
            if (source)
                zip_source_free(source);
            throw failed(QString::fromUtf8(zip_strerror(archive)));
        }
        zip_set_file_compression(archive, zip_uint64_t(index),
                                 compressed[i] ? ZIP_CM_DEFLATE : ZIP_CM_STORE, 0);
    }
    if (zip_close(archive) != 0)
        throw failed(QString::fromUtf8(zip_strerror(archive)));
    QByteArray out;
    zip_stat_t st;
    zip_stat_init(&st);
    bool ok = zip_source_stat(target, &st) == 0 && (st.valid & ZIP_STAT_SIZE) &&
              zip_source_open(target) == 0;
    if (ok) {
        out.resize(qsizetype(st.size));
        ok = zip_source_read(target, out.data(), st.size) == zip_int64_t(st.size);
        zip_source_close(target);
    }
    zip_source_free(target);
    if (!ok)
        throw QStringLiteral("cannot build the package");
    parts.clear();
    compressed.clear();
    return out;
}

} // namespace wp::docx
