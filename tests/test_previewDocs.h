#pragma once
// Documents and helpers shared by the preview and printing tests.
#include "preview/frmPrintPreview.h"
#include "wp/TextControl.h"

#include <QAction>
#include <QImage>
#include <QToolBar>
#include <memory>

namespace wptest {

/// A host document of `pages` pages ("Page 1" ... each after a page break),
/// in a large bold font so that a drawn page shows ink.
inline std::unique_ptr<wp::TextControl> hostDocument(int pages, int pageWidth = 12240,
                                                     int pageHeight = 15840) {
    auto tx = std::make_unique<wp::TextControl>();
    QByteArray rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 Liberation Serif;}}\\f0\\fs96\\b ";
    for (int i = 1; i <= pages; ++i) {
        if (i > 1)
            rtf += "\\page ";
        rtf += "Page " + QByteArray::number(i) + " XXXXXXXX\\par ";
    }
    rtf += "}";
    if (!tx->LoadFromMemory(rtf, wp::fmt::Rtf))
        return nullptr;
    tx->setPageWidth(pageWidth);
    tx->setPageHeight(pageHeight);
    return tx;
}

inline QAction* command(QWidget* form, qint32 id) {
    return form->findChild<QAction*>(QString::number(id));
}

/// Whether an image has any dark pixel (ink of drawn text).
inline bool hasInk(const QImage& image) {
    const QImage img = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (qGray(img.pixel(x, y)) < 100)
                return true;
    return false;
}

} // namespace wptest
