#pragma once
// Documents and helpers shared by the preview and printing tests.
#include "core/modWP.h"
#include "preview/frmPrintPreview.h"
#include "support/TestSupport.h"
#include "wp/TextControl.h"
#include "wp/clsWP.h"

#include <QAction>
#include <QImage>
#include <QToolBar>
#include <gtest/gtest.h>
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

/// Runs PrintPreviewShow over `tx` with `step` acting on the open window; a
/// step that leaves it open is a failure (runModal closes it then).
inline void showPreview(wp::TextControl* tx,
                        const std::function<void(wp::frmPrintPreview*)>& step) {
    wp::clsWP host;
    host.setTx(tx);
    QString strXML = QStringLiteral("<ignored/>");
    const QString result = runModal(
        QStringLiteral("frmPrintPreview"), QStringLiteral("Print Preview"),
        [&] { return host.PrintPreviewShow(strXML); },
        [&](QWidget* modal) {
            auto* preview = qobject_cast<wp::frmPrintPreview*>(modal);
            ASSERT_NE(preview, nullptr);
            step(preview);
        });
    EXPECT_EQ(result, QString());
    EXPECT_FALSE(wp::modWP::FormInstance<wp::frmPrintPreview>::exists());
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
