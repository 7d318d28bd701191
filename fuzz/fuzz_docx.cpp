// Feeds arbitrary bytes to the Word document reader: ZIP packages, their
// relationships and the XML of their parts. Bytes that are no ZIP archive
// become the main part of a package around them, so that mutations reach
// the XML rather than only the archive's checksums.
#include "FuzzSupport.h"
#include "document/formats/docx/DocxPackage.h"
#include "document/formats/docx/DocxReader.h"

void fuzz::testOne(QByteArray bytes) {
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
            return;
        }
    }
    readsAndRoundTrips(wp::DocxReader::read, bytes);
}
