// Plays arbitrary bytes as a WMF and as an EMF (the header is made to say
// so): no record may make the player read outside the data, crash or hang.
#include "FuzzSupport.h"
#include "document/Metafile.h"

#include <QImage>

void fuzz::testOne(QByteArray bytes) {
    wp::docmodel::renderMetafile(bytes, QSize(64, 48));
    // The same bytes behind a WMF header, and as the records of an EMF.
    QByteArray wmf("\x01\x00\x09\x00\x00\x03\x00\x00\x00\x00\x10\x00\x00\x00\x00\x00\x00\x00", 18);
    wp::docmodel::renderMetafile(wmf + bytes, QSize(64, 48));
    if (bytes.size() >= 88) {
        QByteArray emf = bytes;
        emf.replace(0, 4, QByteArray("\x01\x00\x00\x00", 4));
        emf.replace(40, 4, QByteArray(" EMF", 4));
        wp::docmodel::renderMetafile(emf, QSize(64, 48));
    }
}
