// Feeds arbitrary bytes to the Word document reader: ZIP packages, their
// relationships and the XML of their parts. Bytes that are no ZIP archive
// become the main part of a package around them, so that mutations reach
// the XML rather than only the archive's checksums.
#include "FuzzSupport.h"
#include "document/formats/docx/DocxPackage.h"
#include "document/formats/docx/DocxReader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::startApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (!bytes.startsWith("PK")) {
        wp::docx::PackageWriter package;
        package.add(QStringLiteral("_rels/.rels"),
                    "<Relationships "
                    "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                    "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/"
                    "officeDocument/2006/relationships/officeDocument\" "
                    "Target=\"word/document.xml\"/></Relationships>");
        package.add(QStringLiteral("word/document.xml"), bytes, false);
        try {
            bytes = package.finish();
        } catch (const QString&) {
            return 0;
        }
    }
    wp::docmodel::DocumentContent doc;
    QString error;
    if (wp::DocxReader::read(bytes, doc, &error))
        fuzz::roundTrip(doc);
    return 0;
}
