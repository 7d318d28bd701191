#pragma once
// Documents to lay out into pages, and drawn pages read back as pixels.

#include <QImage>
#include <QRect>
#include <QString>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>

namespace wptest {

/// Adds `n` paragraphs to `doc`, the i-th one `pattern` with %1 as i (from 1).
inline void addParagraphs(QTextDocument* doc, int n, const QString& pattern) {
    QTextCursor c(doc);
    c.movePosition(QTextCursor::End);
    for (int i = 1; i <= n; ++i) {
        if (i > 1)
            c.insertBlock();
        c.insertText(pattern.arg(i));
    }
}

/// The rectangle of pixels that are not the background colour (empty when none).
inline QRect inkBox(const QImage& img, QRgb background) {
    int left = img.width(), top = img.height(), right = -1, bottom = -1;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixel(x, y) != background) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

/// Keeps a picture of a drawn page for a person to look at, when WP_SHOTS names a folder.
inline void keepShot(const QImage& img, const QString& name) {
    const QString dir = qEnvironmentVariable("WP_SHOTS");
    if (!dir.isEmpty())
        img.save(dir + QLatin1Char('/') + name);
}

} // namespace wptest
