// Loads arbitrary bytes as a document (the native format by its header,
// else RTF), lays it out in pages and draws every page: no value a document
// holds may make the layout or the drawing crash or hang.
#include "FuzzSupport.h"
#include "document/ListMarkers.h"
#include "document/pages/PageLayout.h"

#include <QImage>
#include <QPainter>
void fuzz::testOne(QByteArray bytes) {
    wp::docmodel::DocumentContent doc;
    QString error;
    if (bytes.startsWith("WPTXDOC")) {
        if (!wp::NativeFormat::read(bytes, doc, &error))
            return;
    } else {
        if (!wp::RtfReader::read(bytes, doc, &error))
            return;
        // What the control does after reading RTF.
        wp::PageLayout::fitRowHeights(doc.body.get(),
                                      doc.page.width - doc.page.marginL - doc.page.marginR);
        wp::docmodel::fitListMarkers(doc.body.get(), doc.defaultTab, wp::PageLayout::twipsDevice());
    }
    wp::PageLayout layout;
    layout.setPageFormat(doc.page);
    layout.setDocument(doc.body.get());
    for (int i = 0; i < wp::docmodel::HeaderFooterCount; ++i)
        layout.setHeaderFooterDocument(wp::docmodel::hfFlag(i), doc.headerFooter[i].get());
    // A tenth of a Letter page at 96 dpi: small, but every piece is drawn.
    static QImage sheet(96, 128, QImage::Format_ARGB32_Premultiplied);
    const int pages = layout.pageCount();
    for (int page = 1; page <= pages; ++page) {
        QPainter painter(&sheet);
        layout.drawPage(&painter, page, 10);
    }
}
