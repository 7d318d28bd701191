#pragma once
// The ZIP package of an Office Open XML document: its parts read with caps
// on their sizes (a zip bomb or a huge part is refused, not inflated), the
// relationships between parts, and a package written into memory.

#include <QByteArray>
#include <QHash>
#include <QString>
#include <memory>
#include <utility>
#include <vector>

namespace wp::docx {

/// The most one part may hold uncompressed, and all parts read together.
constexpr qint64 MaxPartSize = 64 * 1024 * 1024;
constexpr qint64 MaxPackageSize = 256 * 1024 * 1024;
/// More entries than this is not a word-processing document.
constexpr qint64 MaxEntries = 10000;

/// A part's relationship to another part or to something outside.
struct Relationship {
    QString type;   ///< the last segment of its type URI ("image", "header"...)
    QString target; ///< a part name without the leading "/", or the external URI
    bool external = false;
};

/// A package being read. Every failure throws a QString that says why.
class PackageReader {
public:
    /// Opens `data` as a ZIP archive; throws when it is not one, has too
    /// many entries or declares more than MaxPackageSize uncompressed.
    explicit PackageReader(const QByteArray& data);
    ~PackageReader();
    PackageReader(const PackageReader&) = delete;
    PackageReader& operator=(const PackageReader&) = delete;

    bool contains(const QString& part) const;
    /// The part's bytes; throws when it is missing (unless `optional`, then
    /// ""), larger than MaxPartSize or beyond what is left of MaxPackageSize.
    QByteArray read(const QString& part, bool optional = false);
    /// The relationships of `part` by id ("" for the package's own), their
    /// targets resolved to part names; a target outside the package throws.
    QHash<QString, Relationship> relationships(const QString& part);

private:
    struct Zip;
    std::unique_ptr<Zip> zip;
    qint64 budget = MaxPackageSize;
};

/// A package being written: parts in the order added.
class PackageWriter {
public:
    /// `compress` false stores the part as it is (pictures are compressed).
    void add(const QString& part, QByteArray data, bool compress = true);
    /// The ZIP archive; throws a QString when libzip fails.
    QByteArray finish();

private:
    std::vector<std::pair<QString, QByteArray>> parts;
    std::vector<bool> compressed;
};

/// The folder of a part name ("word/document.xml" -> "word").
QString partFolder(const QString& part);
/// `target` resolved against the folder `base`; "" when it leaves the package.
QString resolvePartName(const QString& base, const QString& target);
/// Where a part keeps its relationships ("word/_rels/document.xml.rels").
QString relationshipsPart(const QString& part);

} // namespace wp::docx
