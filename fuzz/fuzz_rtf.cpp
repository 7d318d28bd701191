// Feeds arbitrary bytes to the RTF reader.
#include "FuzzSupport.h"

void fuzz::testOne(QByteArray bytes) {
    readsAndRoundTrips(wp::RtfReader::read, bytes);
}
