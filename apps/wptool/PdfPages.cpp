#include "PdfPages.h"

#include "wp/TextControl.h"

#include <QFile>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>

namespace wptool {

bool writePdf(wp::TextControl& tc, const QString& fileName,
              const std::function<void(qint32, qint32)>& progress, QString& error) {
    {
        // Say why a file cannot be written, rather than only that it failed.
        QFile probe(fileName);
        if (!probe.open(QIODevice::WriteOnly)) {
            error = QStringLiteral("Cannot write the PDF file \"%1\": %2")
                        .arg(fileName, probe.errorString());
            return false;
        }
    }
    const wp::PageFormat f = tc.pageFormat();
    QPdfWriter writer(fileName);
    writer.setCreator(QStringLiteral("wp"));
    writer.setTitle(tc.documentProperty(wp::info::Title));
    writer.setResolution(1200);
    // A landscape sheet is a portrait paper size turned on its side.
    const bool landscape = f.width > f.height;
    const QSizeF inches =
        landscape ? QSizeF(f.height, f.width) / 1440.0 : QSizeF(f.width, f.height) / 1440.0;
    writer.setPageLayout(QPageLayout(
        QPageSize(inches, QPageSize::Inch, QString(), QPageSize::ExactMatch),
        landscape ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
    QPainter painter;
    if (!painter.begin(&writer)) {
        error = QStringLiteral("Cannot write the PDF file \"%1\".").arg(fileName);
        return false;
    }
    QPainter* const oldDevice = tc.PrintDevice();
    const qint16 oldZoom = tc.PrintZoom();
    tc.setPrintDevice(&painter);
    tc.setPrintZoom(100);
    const qint32 pages = tc.CurrentPages();
    for (qint32 page = 1; page <= pages; ++page) {
        if (page > 1)
            writer.newPage();
        tc.PrintPage(page);
        if (progress)
            progress(page, pages);
    }
    tc.setPrintDevice(oldDevice);
    tc.setPrintZoom(oldZoom);
    if (!painter.end()) {
        error = QStringLiteral("Cannot finish the PDF file \"%1\".").arg(fileName);
        return false;
    }
    return true;
}

} // namespace wptool
