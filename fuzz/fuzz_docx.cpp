// Feeds arbitrary bytes to the Word document reader: ZIP packages, their
// relationships and the XML of their parts.
#include "FuzzSupport.h"
#include "document/formats/docx/DocxReader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::startApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    wp::docmodel::DocumentContent doc;
    QString error;
    if (wp::DocxReader::read(bytes, doc, &error))
        fuzz::roundTrip(doc);
    return 0;
}
