#pragma once
// What the fuzz targets share: the libFuzzer entry points (a GUI application
// for the fonts of QTextDocument, the input as bytes to each target's
// fuzz::testOne), and a check that a document that was read writes and reads
// again in both formats. Included by the one source file of each target.

#include "document/TextControlDocument.h"
#include "document/formats/NativeFormat.h"
#include "document/formats/rtf/RtfReader.h"
#include "document/formats/rtf/RtfWriter.h"

#include <QGuiApplication>
#include <QTextDocument>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace fuzz {

inline void startApplication() {
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(argc, argv);
}

// A document that loaded must survive both writers and read back.
inline void roundTrip(const wp::docmodel::DocumentContent& doc) {
    const auto parts = doc.parts();
    wp::docmodel::DocumentContent native;
    QString error;
    if (!wp::NativeFormat::read(wp::NativeFormat::write(parts), native, &error))
        std::abort();
    wp::docmodel::DocumentContent rtf;
    if (!wp::RtfReader::read(wp::RtfWriter::write(parts), rtf, &error))
        std::abort();
    // What was written is stable: writing it again gives the same text. (A
    // fuzzed table can leave Qt's grid with a place no cell claims; the writer
    // fills it with an empty cell, so the first text may gain a separator.)
    wp::docmodel::DocumentContent again;
    if (!wp::NativeFormat::read(wp::NativeFormat::write(native.parts()), again, &error))
        std::abort();
    if (again.body->toPlainText() != native.body->toPlainText())
        std::abort();
}

// What a reader loaded must survive both writers; false when it loaded nothing.
inline bool readsAndRoundTrips(bool (*read)(const QByteArray&, wp::docmodel::DocumentContent&,
                                            QString*),
                               const QByteArray& bytes) {
    wp::docmodel::DocumentContent doc;
    QString error;
    if (!read(bytes, doc, &error))
        return false;
    roundTrip(doc);
    return true;
}

// One input, defined by each target.
void testOne(QByteArray bytes);

} // namespace fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::startApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::testOne(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    return 0;
}
