// The print preview: its layout rules as plain numbers, and the window
// driven headless through its object names while it is modal.
#include "core/modWP.h"
#include "support/TestSupport.h"
#include "test_previewDocs.h"
#include "wp/Error.h"
#include "wp/clsWP.h"

#include <QApplication>
#include <QLabel>
#include <QScrollBar>
#include <QTest>
#include <QToolBar>
#include <gtest/gtest.h>

using wp::frmPrintPreview;
using wptest::child;
using wptest::command;
using wptest::showPreview;
using Geometry = frmPrintPreview::Geometry;

namespace {
constexpr double Bar = 240; // scroll bar thickness used by the layout cases

Geometry bars() {
    Geometry g;
    g.scrollV.setSize(QSizeF(Bar, 0));
    g.scrollH.setSize(QSizeF(0, Bar));
    return g;
}

Geometry layout(double w, double h, qint16 zoom, bool two, Geometry g = bars(), double pw = 12240,
                double ph = 15840) {
    frmPrintPreview::LayoutGeometry(g, QRectF(0, 0, w, h), pw, ph, zoom, two);
    return g;
}

QString label(QWidget* f) {
    return command(f, frmPrintPreview::ID_PAGELABEL)->text();
}
// The enabled ones of Next (961), Previous, Two Pages, Zoom In and Zoom Out (965).
QString enabled(QWidget* f) {
    QStringList ids;
    for (qint32 id = 961; id <= 965; ++id)
        if (command(f, id)->isEnabled())
            ids << QString::number(id);
    return ids.join(u' ');
}
} // namespace

TEST(PreviewLayout, wholePageFitsByHeightOrByWidthAndHalvesRoundToEven) {
    // Tall window: the height decides, the page is centred across.
    Geometry g = layout(9000, 6000, 0, false);
    EXPECT_EQ(g.picMain, QRectF(0, 0, 9000, 6000));
    EXPECT_EQ(g.picPage1, QRectF(2297.5, 100, 4405, 5700)); // 12240 × 5700 / 15840 = 4404.5
    EXPECT_EQ(g.scrollV, QRectF(9000 - Bar, 0, Bar, 6000 - Bar));
    EXPECT_EQ(g.scrollH, QRectF(0, 6000 - Bar, 9000 - Bar, Bar));
    // Too wide for the height: the width decides, the page is centred down.
    g = layout(3000, 9000, 0, false);
    EXPECT_EQ(g.picPage1, QRectF(100, 2753, 2700, 3494));
    // 1000 × 5701 / 2000 = 2850.5 rounds to the even 2850.
    g = layout(9000, 6001, 0, false, bars(), 1000, 2000);
    EXPECT_EQ(g.picPage1.size(), QSizeF(2850, 5701));
}

TEST(PreviewLayout, twoPagesSideBySideWithGapsOrCentredDownAndTinyWindowsKeepTheirSize) {
    Geometry g = layout(12000, 6000, 0, true); // too tall: the height decides
    EXPECT_EQ(g.picPage1.size(), QSizeF(4405, 5700));
    EXPECT_EQ(g.picPage2.size(), QSizeF(4405, 5700));
    const double gap = (12000 - 2 * 4405) / 3.0;
    EXPECT_DOUBLE_EQ(g.picPage1.left(), gap);
    EXPECT_DOUBLE_EQ(g.picPage2.left(), 2 * gap + 4405);
    EXPECT_EQ(g.picPage1.top(), 100);
    g = layout(9000, 12000, 0, true); // width decides: (9000 - 400) / 2
    EXPECT_EQ(g.picPage1, QRectF(100, 3217.5, 4300, 5565));
    EXPECT_EQ(g.picPage2, QRectF(4500, 3217.5, 4300, 5565));

    // Tiny windows keep the page areas at their last size.
    const QSizeF before = g.picPage1.size();
    g = layout(350, 250, 0, true, g);
    EXPECT_EQ(g.picPage1.size(), before);
    EXPECT_EQ(g.picPage2.size(), before);
    g = layout(250, 250, 0, false, g);
    EXPECT_EQ(g.picPage1.size(), before);
    EXPECT_EQ(g.scrollH.width(), 10); // never below 0
    g = layout(100, 100, 0, false, g);
    EXPECT_EQ(g.scrollH.width(), 0);
    EXPECT_EQ(g.scrollV.height(), 0);
}

TEST(PreviewLayout, zoomedPageScrollsWhenLargerAndIsCentredWhenItFits) {
    Geometry g = bars();
    g.picPage1.setSize(QSizeF(12240, 15840));
    g = layout(9000, 6000, 2, false, g);
    EXPECT_EQ(g.vs.maximum, 10040); // 15840 + 200 - 6000
    EXPECT_EQ(g.vs.largeChange, 3756);
    EXPECT_EQ(g.vs.smallChange, 2008);
    EXPECT_EQ(g.hs.maximum, 3440);
    EXPECT_EQ(g.hs.largeChange, 2489);
    EXPECT_EQ(g.hs.smallChange, 688);
    EXPECT_EQ(g.picMain, QRectF(0, 0, 9000 - Bar, 6000 - Bar));
    EXPECT_TRUE(g.hs.enabled);
    EXPECT_TRUE(g.vs.enabled);
    EXPECT_EQ(g.picPage1.topLeft(), QPointF(100, 100));
    g.hs.value = 500;
    g.vs.value = 20000; // beyond the range: held at the maximum
    g = layout(9000, 6000, 2, false, g);
    EXPECT_EQ(g.picPage1.topLeft(), QPointF(-400, 100 - 10040));

    // A page that fits: both bars disabled, the page centred, ranges kept.
    g = layout(20000, 20000, 2, false, g);
    EXPECT_FALSE(g.hs.enabled);
    EXPECT_FALSE(g.vs.enabled);
    EXPECT_EQ(g.picPage1.topLeft(), QPointF(3760, 1960));
    EXPECT_EQ(g.vs.maximum, 10040);
    EXPECT_EQ(frmPrintPreview::ZoomScrollMaximum(15840, 20000), 0);
    EXPECT_EQ(frmPrintPreview::ZoomScrollMaximum(11880, 5760), 6320);
}

TEST(PreviewLayout, printZoomFitsTheSmallerSideAndBelowTenPercentIsNotDrawn) {
    EXPECT_EQ(frmPrintPreview::FittedPrintZoom(4405, 5700, 12240, 15840), 36);
    EXPECT_EQ(frmPrintPreview::FittedPrintZoom(12240, 15840, 12240, 15840), 100);
    EXPECT_EQ(frmPrintPreview::FittedPrintZoom(9180, 11880, 12240, 15840), 75);
    EXPECT_EQ(frmPrintPreview::FittedPrintZoom(6000, 1000, 12240, 15840), 6); // by height
    EXPECT_EQ(frmPrintPreview::FittedPrintZoom(1000, 2000, 12240, 15840), 0); // 8 % by width
    EXPECT_EQ(frmPrintPreview::FittedPrintZoom(1224, 1584, 12240, 15840), 10);
    EXPECT_EQ(frmPrintPreview::FittedPrintZoom(30000, 30000, 1440, 1440), 0);      // over 1000 %
    EXPECT_THROW(frmPrintPreview::FittedPrintZoom(30000, 30000, 1, 1), wp::Error); // 16 bits
}

TEST(PrintPreview, opensOnTheCopyAtPageOneWithItsControlsAndPagesThroughToTheEnd) {
    auto host = wptest::hostDocument(5);
    host->setPrintZoom(40);
    const QByteArray before = host->SaveToMemory(wp::fmt::Native);
    showPreview(host.get(), [&](frmPrintPreview* f) {
        EXPECT_EQ(f->minimumSize(), QSize(600, 384));
        auto* bar = child<QToolBar>(f, QStringLiteral("PrintPreview"));
        ASSERT_NE(bar, nullptr);
        EXPECT_EQ(wptest::commandIds(bar),
                  QStringList({"968", "962", "967", "961", "963", "964", "965", "966"}));
        EXPECT_EQ(command(f, 968)->text(), QStringLiteral("Print..."));
        EXPECT_EQ(command(f, 968)->toolTip(), QStringLiteral("Open the printing dialog"));
        EXPECT_EQ(command(f, 966)->statusTip(), QStringLiteral("Close print preview"));
        EXPECT_FALSE(command(f, 966)->icon().isNull());
        EXPECT_EQ(child<QLabel>(f, QStringLiteral("pane(0)"))->text(), QStringLiteral("Ready"));
        // The first screen is computed on the copy.
        EXPECT_EQ(label(f), QStringLiteral("   Page 1 of 5   "));
        EXPECT_EQ(enabled(f), "961 963 964");
        EXPECT_FALSE(child<QWidget>(f, QStringLiteral("txPrev"))->isVisible());
        EXPECT_NE(f->txPrev(), host.get());
        EXPECT_FALSE(child<QScrollBar>(f, QStringLiteral("scrollH"))->isVisible());
        EXPECT_FALSE(child<QWidget>(f, QStringLiteral("picPage2"))->isVisible());
        auto* picMain = child<QWidget>(f, QStringLiteral("picMain"));
        EXPECT_EQ(picMain->size(), picMain->parentWidget()->size());
        EXPECT_TRUE(
            wptest::hasInk(child<QWidget>(f, QStringLiteral("picPage1"))->grab().toImage()));

        QApplication::setActiveWindow(f);
        QTest::keyClick(f, Qt::Key_PageDown);
        EXPECT_EQ(label(f), QStringLiteral("   Page 2 of 5   "));
        EXPECT_EQ(enabled(f), "961 962 963 964");
        for (int i = 0; i < 3; ++i)
            command(f, 961)->trigger();
        EXPECT_EQ(label(f), QStringLiteral("   Page 5 of 5   "));
        EXPECT_EQ(enabled(f), "962 963 964");
        // Two pages on the last page show the last two.
        command(f, 963)->trigger();
        EXPECT_EQ(label(f), QStringLiteral("   Page 4 of 5   "));
        EXPECT_EQ(command(f, 963)->text(), QStringLiteral("One Page"));
        EXPECT_TRUE(child<QWidget>(f, QStringLiteral("picPage2"))->isVisible());
        EXPECT_EQ(enabled(f), "962 963 964");
        command(f, 962)->trigger();
        EXPECT_EQ(enabled(f), "961 962 963 964"); // pages 3 and 4: page 5 follows
        // Zooming hides the second page and disables the two-page switch.
        command(f, 964)->trigger();
        EXPECT_FALSE(child<QWidget>(f, QStringLiteral("picPage2"))->isVisible());
        EXPECT_EQ(enabled(f), "961 962 964 965");
        command(f, 965)->trigger();
        EXPECT_TRUE(child<QWidget>(f, QStringLiteral("picPage2"))->isVisible());
        QTest::keyClick(f, Qt::Key_Escape);
    });
    EXPECT_EQ(host->SaveToMemory(wp::fmt::Native), before);
    EXPECT_EQ(host->PrintZoom(), 40);
}

TEST(PrintPreview, clickZoomsOnThePointClickedAndScrollBarsFollow) {
    auto host = wptest::hostDocument(3);
    showPreview(host.get(), [](frmPrintPreview* f) {
        f->resize(700, 500);
        QApplication::processEvents();
        const QSizeF whole = f->geometryTwips().picPage1.size();
        // A right click at whole page changes nothing.
        f->picPage1_MouseUp(2, 0, 10, 10);
        EXPECT_EQ(f->property("m_iZoomMode").toInt(), 0);
        // A left click near the bottom right zooms to 75 % and scrolls there.
        const double X = whole.width() * 0.8;
        const double Y = whole.height() * 0.9;
        f->picPage1_MouseUp(1, 0, X, Y);
        const auto& g = f->geometryTwips();
        EXPECT_EQ(g.picPage1.size(), QSizeF(12240 * 0.75, 15840 * 0.75));
        auto* sh = child<QScrollBar>(f, QStringLiteral("scrollH"));
        auto* sv = child<QScrollBar>(f, QStringLiteral("scrollV"));
        EXPECT_TRUE(sh->isVisible());
        EXPECT_GT(sv->maximum(), 0);
        EXPECT_EQ(sh->value(), qRound(X / qRound(whole.width()) * sh->maximum()));
        EXPECT_EQ(sv->value(), std::nearbyint(Y / std::nearbyint(whole.height()) * sv->maximum()));
        EXPECT_EQ(g.picPage1.top(), 100 - sv->value());
        EXPECT_EQ(child<QWidget>(f, QStringLiteral("picPage1"))->y(),
                  qRound((100 - sv->value()) / f->twipsPerPixelY()));
        // Scrolling to 0 shows the top edge 100 twips inside the work area.
        sv->setValue(0);
        EXPECT_EQ(f->geometryTwips().picPage1.top(), 100);
        // Left to 100 %, where a further left click does nothing; right goes back.
        f->picPage1_MouseUp(1, 0, 0, 0);
        EXPECT_EQ(f->property("m_iZoomMode").toInt(), 2);
        f->picPage1_MouseUp(1, 0, 0, 0);
        EXPECT_EQ(f->property("m_iZoomMode").toInt(), 2);
        EXPECT_EQ(enabled(f), "961 965");
        f->picPage1_MouseUp(2, 0, 0, 0);
        EXPECT_EQ(f->property("m_iZoomMode").toInt(), 1);
        // A real click reaches the page area.
        auto* page = child<QWidget>(f, QStringLiteral("picPage1"));
        QTest::mouseClick(page, Qt::RightButton, {}, QPoint(5, 5));
        EXPECT_EQ(f->property("m_iZoomMode").toInt(), 0);
        const QWidget* area = page->parentWidget()->parentWidget();
        EXPECT_EQ(f->geometryTwips().picMain.size(),
                  QSizeF(std::nearbyint(area->width() * f->twipsPerPixelX()),
                         std::nearbyint(area->height() * f->twipsPerPixelY())));
        command(f, 966)->trigger();
    });
}

TEST(PrintPreview, clickOnTheSecondPageMakesItCurrentUnlessAModifierIsHeld) {
    auto host = wptest::hostDocument(4);
    showPreview(host.get(), [](frmPrintPreview* f) {
        command(f, 963)->trigger();
        f->picPage2_MouseUp(1, 1, 100, 100); // Shift held
        EXPECT_EQ(label(f), QStringLiteral("   Page 1 of 4   "));
        EXPECT_EQ(f->property("m_iZoomMode").toInt(), 0);
        f->picPage2_MouseUp(2, 0, 100, 100); // right button
        EXPECT_EQ(f->property("m_iZoomMode").toInt(), 0);
        f->picPage2_MouseUp(1, 0, 100, 100);
        EXPECT_EQ(f->property("m_iZoomMode").toInt(), 1);
        EXPECT_TRUE(f->property("m_bTwoPages").toBool());
        EXPECT_FALSE(child<QWidget>(f, QStringLiteral("picPage2"))->isVisible());
        EXPECT_EQ(label(f), QStringLiteral("   Page 2 of 4   "));
        f->close();
    });
}

TEST(PrintPreview, aPageBelowTenPercentIsNotDrawnUntilTheWindowGrows) {
    auto host = wptest::hostDocument(1, 100000, 100000);
    showPreview(host.get(), [](frmPrintPreview* f) {
        f->resize(600, 384);
        QApplication::processEvents();
        auto* page = child<QWidget>(f, QStringLiteral("picPage1"));
        EXPECT_FALSE(wptest::hasInk(page->grab().toImage()));
        EXPECT_FALSE(f->CalculatePrintZoom());
        f->picPage1_MouseUp(1, 0, 0, 0); // 75 % of a page this large draws
        EXPECT_TRUE(wptest::hasInk(page->grab().toImage()));
        command(f, 966)->trigger();
    });
}

TEST(PrintPreview, reopeningStartsAtPageOneWholePageOnAFreshCopy) {
    auto host = wptest::hostDocument(3);
    showPreview(host.get(), [](frmPrintPreview* f) {
        command(f, 961)->trigger();
        command(f, 964)->trigger();
        command(f, 966)->trigger();
    });
    auto other = wptest::hostDocument(6);
    host->LoadFromMemory(other->SaveToMemory(wp::fmt::Native), wp::fmt::Native);
    showPreview(host.get(), [](frmPrintPreview* f) {
        EXPECT_EQ(f->property("m_iZoomMode").toInt(), 0);
        EXPECT_EQ(label(f), QStringLiteral("   Page 1 of 6   "));
        command(f, 966)->trigger();
    });
}

TEST(PrintPreview, withoutADocumentTheCallFailsAfterItsReportAndTheNextOneWorks) {
    wptest::ReportRecorder reports;
    wp::clsWP host;
    QString strXML;
    wptest::expectFailsWithoutWindow([&] { host.PrintPreviewShow(strXML); });
    EXPECT_EQ(reports.said(0), "91 frmPrintPreview.CloneTX");
    EXPECT_EQ(reports.said(reports.reports.size() - 1), "65535 clsWP.PrintPreviewShow");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(wp::modWP::FormInstance<frmPrintPreview>::exists());
    // A one-page document cannot page or show two pages.
    auto doc = wptest::hostDocument(1);
    showPreview(doc.get(), [](frmPrintPreview* f) {
        EXPECT_EQ(label(f), QStringLiteral("   Page 1 of 1   "));
        EXPECT_EQ(enabled(f), "964");
        command(f, 966)->trigger();
    });
}
