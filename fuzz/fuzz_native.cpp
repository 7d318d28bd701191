// Feeds arbitrary bytes to the native format's loader.
#include "FuzzSupport.h"

void fuzz::testOne(QByteArray bytes) {
    readsAndRoundTrips(wp::NativeFormat::read, bytes);
}
