// The page setup dialog, driven headless through its object names: modally
// through clsWP::PageDialogShow, or loaded without showing.
#include "core/modWP.h"
#include "dialogs/frmPageDlg.h"
#include "support/TestSupport.h"
#include "wp/Error.h"
#include "wp/clsWP.h"

#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using wp::frmPageDlg;
using wptest::child;
using wptest::click;

namespace {
using PageDlg = wptest::DialogUnitsTest;
constexpr qint16 Cm = PageDlg::Cm;
constexpr qint16 Inch = PageDlg::Inch;

QString pageXml(qint32 width, qint32 height, qint32 left = 1440, qint32 top = 1440,
                qint32 right = 1440, qint32 bottom = 1440) {
    return QStringLiteral("<page_setup version=\"3\"><page_size width=\"%1\" height=\"%2\" "
                          "orient=\"portrait\"/><doc_margins left=\"%3\" top=\"%4\" "
                          "right=\"%5\" bottom=\"%6\" gutter=\"0\"/><note>keep me</note>"
                          "</page_setup>")
        .arg(width)
        .arg(height)
        .arg(left)
        .arg(top)
        .arg(right)
        .arg(bottom);
}

QLineEdit* field(QWidget* form, const char* name) {
    return child<QLineEdit>(form, QString::fromLatin1(name));
}
QComboBox* paperList(QWidget* form) {
    return child<QComboBox>(form, QStringLiteral("cmbPaperSize"));
}
QString text(QWidget* form, const char* name) {
    return field(form, name)->text();
}
// What the fields show: "width x height", then ", left top right bottom".
QString shown(QWidget* form, bool margins = false) {
    const QString size = text(form, "fePage(0)") + " x " + text(form, "fePage(1)");
    if (!margins)
        return size;
    return size + QStringLiteral(", %1 %2 %3 %4")
                      .arg(text(form, "feMargins(0)"), text(form, "feMargins(1)"),
                           text(form, "feMargins(2)"), text(form, "feMargins(3)"));
}
bool okEnabled(QWidget* form) {
    return child<QPushButton>(form, QStringLiteral("pbOK"))->isEnabled();
}

// Moves the focus as the user does with the Tab key or a click.
void focus(QWidget* form, QWidget* to) {
    QApplication::setActiveWindow(form);
    to->setFocus(Qt::TabFocusReason);
}

// Runs PageDialogShow with `step` acting on the open dialog; a step that leaves
// the dialog open is a failure, and the dialog is then cancelled.
QString showPageDialog(const QString& xml, const std::function<void(QWidget*)>& step) {
    wp::clsWP host;
    QString strXML = xml;
    const QString result = wptest::runModal(
        QStringLiteral("frmPageDlg"), QStringLiteral("Page Setup"),
        [&] { return host.PageDialogShow(strXML); }, step);
    EXPECT_EQ(strXML, xml) << "the caller's text must not change";
    EXPECT_FALSE(wp::modWP::FormInstance<frmPageDlg>::exists());
    return result;
}

} // namespace

TEST_F(PageDlg, letterInInchesShowsAndReturnsTheHostsXmlWithWholeTwips) {
    unit(Inch);
    const QString result =
        showPageDialog(pageXml(12240, 15840, 1800, 1440, 1080, 720), [](QWidget* f) {
            EXPECT_EQ(shown(f, true), "8.50 x 11.00, 1.25 1.00 0.75 0.50");
            EXPECT_EQ(paperList(f)->currentText(), QStringLiteral("Letter"));
            QStringList entries;
            for (int i = 0; i < paperList(f)->count(); ++i)
                entries << paperList(f)->itemText(i);
            EXPECT_EQ(entries, QStringList({"A4", "A5", "B5", "Letter", "Legal", "User Defined"}));
            for (int i = 0; i < 6; ++i)
                EXPECT_EQ(child<QLabel>(f, QStringLiteral("cjlblMeasUnits(%1)").arg(i))->text(),
                          QStringLiteral("inch"));
            field(f, "feMargins(3)")->setText(QStringLiteral("0.6"));
            click(f, "pbOK");
        });
    // What the dialog does not know passes through.
    EXPECT_EQ(result, pageXml(12240, 15840, 1800, 1440, 1080, 864));
}

TEST_F(PageDlg, centimetresMatchNamedSizesWithinTenTwipsOfTheShownText) {
    unit(Cm);
    struct Case {
        qint32 width, height;
        const char *shown, *paper;
    };
    // The second shows 20.98 x 29.69: 11896 x 16834, its width off by 10.
    const Case cases[] = {{11900, 16840, "20.99 x 29.70", "A4"},
                          {11896, 16837, "20.98 x 29.69", "User Defined"},
                          {12240, 15840, "21.59 x 27.94", "Letter"},
                          {15840, 12240, "27.94 x 21.59", "User Defined"}};
    for (const Case& c : cases) {
        frmPageDlg form;
        form.Load(pageXml(c.width, c.height));
        EXPECT_EQ(shown(&form), QString::fromLatin1(c.shown));
        EXPECT_EQ(paperList(&form)->currentText(), QString::fromLatin1(c.paper)) << c.width;
        EXPECT_EQ(child<QLabel>(&form, QStringLiteral("cjlblMeasUnits(5)"))->text(), "cm");
        EXPECT_TRUE(okEnabled(&form));
    }
}

TEST_F(PageDlg, choosingANamedSizeFillsTheFieldsAndRecomputesOK) {
    unit(Inch);
    frmPageDlg form;
    form.Load(pageXml(17000, 15840)); // 11.81 inches wide: too wide for the host
    EXPECT_EQ(paperList(&form)->currentText(), QStringLiteral("User Defined"));
    EXPECT_FALSE(okEnabled(&form));

    paperList(&form)->setCurrentIndex(paperList(&form)->findText(QStringLiteral("Legal")));
    EXPECT_EQ(shown(&form), "8.50 x 14.00");
    EXPECT_TRUE(okEnabled(&form));

    field(&form, "fePage(1)")->setText(QStringLiteral("13.5"));
    paperList(&form)->setCurrentIndex(frmPageDlg::UserDefined);
    EXPECT_EQ(shown(&form), "8.50 x 13.5");

    paperList(&form)->setCurrentIndex(1);
    EXPECT_EQ(shown(&form), "5.85 x 8.27");

    // Picking the selected entry again snaps a size typed within the tolerance.
    field(&form, "fePage(0)")->setText(QStringLiteral("5.86"));
    emit paperList(&form)->activated(1);
    EXPECT_EQ(text(&form, "fePage(0)"), QStringLiteral("5.85"));
}

TEST_F(PageDlg, okFollowsTheValidityOfEveryValue) {
    unit(Inch);
    frmPageDlg form;
    form.Load(pageXml(12240, 15840));
    struct Step {
        const char* field;
        const char* text;
        bool ok;
    };
    const Step steps[] = {
        {"feMargins(0)", "", false},     {"feMargins(0)", "0", false},
        {"feMargins(0)", "abc", false},  {"feMargins(0)", "8.50", true}, // equal to the width
        {"feMargins(0)", "8.51", false}, {"feMargins(0)", "1", true},
        {"feMargins(1)", "11.00", true}, {"feMargins(1)", "11.01", false},
        {"feMargins(1)", "1", true},     {"feMargins(2)", "-1", false},
        {"feMargins(2)", "0.01", true},  {"feMargins(3)", "11.01", false},
        {"feMargins(3)", "11", true},    {"fePage(0)", "11.38", false}, // 16387 twips
        {"fePage(0)", "11.37", true},    {"fePage(0)", "0", false},
        {"fePage(0)", "8.5", true},      {"fePage(1)", "22.76", false}, // 32774 twips
        {"fePage(1)", "22.75", true},    {"fePage(1)", "30", false},
        {"fePage(1)", "11", true},
    };
    for (const Step& s : steps) {
        field(&form, s.field)->setText(QString::fromLatin1(s.text));
        EXPECT_EQ(okEnabled(&form), s.ok) << s.field << " = '" << s.text << "'";
    }
}

TEST_F(PageDlg, leavingAFieldReformatsItAndPicksTheNearestSize) {
    unit(Inch);
    wptest::ReportRecorder recorder;
    const QString result = showPageDialog(pageXml(11906, 16837), [](QWidget* f) {
        QLineEdit* width = field(f, "fePage(0)");
        QLineEdit* height = field(f, "fePage(1)");
        focus(f, width);
        EXPECT_EQ(width->selectedText(), QStringLiteral("8.27")) << "entering selects all";
        QTest::keyClicks(width, QStringLiteral("8.5"));
        EXPECT_EQ(width->text(), QStringLiteral("8.5"));
        EXPECT_EQ(paperList(f)->currentText(), QStringLiteral("A4")) << "only on leaving";
        focus(f, height);
        EXPECT_EQ(width->text(), QStringLiteral("8.50"));
        EXPECT_EQ(height->selectedText(), QStringLiteral("11.69"));
        QTest::keyClicks(height, QStringLiteral("11"));
        focus(f, field(f, "feMargins(0)"));
        EXPECT_EQ(height->text(), QStringLiteral("11.00"));
        EXPECT_EQ(paperList(f)->currentText(), QStringLiteral("Letter"));

        // A margin is re-formatted too; text that is no number stays.
        QLineEdit* left = field(f, "feMargins(0)");
        left->setText(QStringLiteral(" 1.255"));
        focus(f, field(f, "feMargins(1)"));
        EXPECT_EQ(left->text(), QStringLiteral("1.26"));
        left->setText(QStringLiteral("one"));
        focus(f, left);
        focus(f, field(f, "feMargins(1)"));
        EXPECT_EQ(left->text(), QStringLiteral("one"));
        EXPECT_FALSE(okEnabled(f));
        left->setText(QStringLiteral("1"));

        // A size far beyond 16 bits only makes the list say "User Defined".
        focus(f, height);
        height->setText(QStringLiteral("40"));
        focus(f, width);
        EXPECT_EQ(paperList(f)->currentText(), QStringLiteral("User Defined"));
        EXPECT_FALSE(okEnabled(f));
        height->setText(QStringLiteral("11"));
        click(f, "pbOK");
    });
    EXPECT_TRUE(recorder.reports.empty());
    EXPECT_EQ(result, pageXml(12240, 15840));
}

TEST_F(PageDlg, cancelGivesEmptyAndTheCloseBoxGivesTheInputBack) {
    const QString xml = pageXml(12240, 15840);
    // Without a unit the fields stay empty and OK is off.
    unit(0);
    EXPECT_EQ(showPageDialog(xml,
                             [](QWidget* f) {
                                 EXPECT_EQ(shown(f, true), " x ,    ");
                                 EXPECT_EQ(child<QLabel>(f, "cjlblMeasUnits(0)")->text(), "inches");
                                 EXPECT_EQ(paperList(f)->currentText(), "User Defined");
                                 EXPECT_FALSE(okEnabled(f));
                                 field(f, "fePage(0)")->setText(QStringLiteral("5"));
                                 f->close();
                             }),
              xml);
    unit(Inch);
    EXPECT_EQ(showPageDialog(xml,
                             [](QWidget* f) {
                                 field(f, "fePage(0)")->setText(QStringLiteral("5"));
                                 click(f, "pbCancel");
                             }),
              QString());

    // The other indexes of SaveCancel leave the window open and the result as it was.
    frmPageDlg form;
    form.Load(xml);
    form.show();
    form.SaveCancel(2);
    form.SaveCancel(-1);
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.XML(), xml);
}

TEST_F(PageDlg, reachableByDispatchIdAndA4ComesBackAsTheTwipsOfTheShownText) {
    unit(Inch);
    wp::clsWP host;
    // A4 shows as 8.27 x 11.69; OK returns the twips of that text.
    wptest::whenModal([](QWidget* f) { click(f, "pbOK"); });
    const QString result =
        host.Invoke(wp::clsWP::DISPID_PageDialogShow, {pageXml(11906, 16837, 720, 720, 720, 720)})
            .toString();
    EXPECT_EQ(result, pageXml(11909, 16834, 720, 720, 720, 720));
}

TEST_F(PageDlg, commaLocaleShowsAndReadsCommas) {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    unit(Inch);
    const QString result = showPageDialog(pageXml(12240, 15840), [](QWidget* f) {
        EXPECT_EQ(shown(f, true), "8,50 x 11,00, 1,00 1,00 1,00 1,00");
        EXPECT_EQ(paperList(f)->currentText(), QStringLiteral("Letter"));
        field(f, "feMargins(0)")->setText(QStringLiteral("1,5"));
        focus(f, field(f, "feMargins(0)"));
        focus(f, field(f, "feMargins(1)"));
        EXPECT_EQ(text(f, "feMargins(0)"), QStringLiteral("1,50"));
        click(f, "pbOK");
    });
    EXPECT_EQ(result, pageXml(12240, 15840, 2160));
}

TEST_F(PageDlg, unreadablePageXmlFailsWithReportsAndError65535) {
    unit(Inch);
    wptest::ReportRecorder recorder;
    struct Bad {
        QString xml;
        int number;
    };
    const Bad cases[] = {
        {QStringLiteral("<p><page_size width=\"12240\"/><doc_margins left=\"1\" top=\"1\" "
                        "right=\"1\" bottom=\"1\"/></p>"),
         13},
        {pageXml(12240, 15840).replace(QStringLiteral("top=\"1440\""), QStringLiteral("top=\"a\"")),
         13},
        {QStringLiteral("<p><page_size width=\"12240\" height=\"15840\"/></p>"), 91},
        {QStringLiteral("<page_size width="), 91},
    };
    for (const Bad& bad : cases) {
        recorder.reports.clear();
        wp::clsWP host;
        QString strXML = bad.xml;
        SCOPED_TRACE(bad.xml.toStdString());
        wptest::expectFailsWithoutWindow([&] { host.PageDialogShow(strXML); });
        ASSERT_EQ(recorder.reports.size(), 3u) << bad.xml.toStdString();
        EXPECT_EQ(recorder.said(0), QStringLiteral("%1 frmPageDlg.Form_Load").arg(bad.number));
        EXPECT_TRUE(recorder.reports[0].variables.contains(QStringLiteral("<m_sXML>")));
        EXPECT_EQ(recorder.said(1), "65535 frmPageDlg.PageSetup");
        EXPECT_EQ(recorder.said(2), "65535 clsWP.PageDialogShow");
        EXPECT_TRUE(recorder.reports[2].variables.contains(QStringLiteral("<strResultXML>")));
        EXPECT_FALSE(wp::modWP::FormInstance<frmPageDlg>::exists());
    }

    // The failed window is gone: the next call loads a fresh one.
    recorder.reports.clear();
    const QString result = showPageDialog(pageXml(12240, 15840), [](QWidget* f) {
        EXPECT_EQ(paperList(f)->count(), 6);
        click(f, "pbOK");
    });
    EXPECT_EQ(result, pageXml(12240, 15840));
    EXPECT_TRUE(recorder.reports.empty());
}

TEST_F(PageDlg, aValueBeyond32BitsIsReportedAndAHostInItsOwnLoopGetsTheResult) {
    // As from a menu command: the window unloads inside nested loops and its
    // deletion must wait until PageSetup has read the result.
    unit(Inch);
    wptest::ReportRecorder recorder;
    QEventLoop hostLoop;
    QString result;
    QTimer::singleShot(0, [&] {
        result = showPageDialog(pageXml(12240, 15840), [&recorder](QWidget* f) {
            field(f, "fePage(0)")->setText(QStringLiteral("2000000"));
            ASSERT_EQ(recorder.reports.size(), 3u); // the first from modTX
            EXPECT_EQ(recorder.said(1), "65535 frmPageDlg.PageSettingsValid");
            EXPECT_EQ(recorder.said(2), "65535 frmPageDlg.fePage_Change");
            EXPECT_FALSE(okEnabled(f));
            field(f, "fePage(0)")->setText(QStringLiteral("8.5"));
            EXPECT_TRUE(okEnabled(f));
            field(f, "feMargins(0)")->setText(QStringLiteral("2"));
            click(f, "pbOK");
        });
        hostLoop.quit();
    });
    hostLoop.exec();
    EXPECT_EQ(result, pageXml(12240, 15840, 2880));
}

TEST_F(PageDlg, nearestSizeAndValidityRules) {
    using P = frmPageDlg;
    EXPECT_EQ(P::NearestPaperSize(11906 + 9, 16837 - 9), 0);
    EXPECT_EQ(P::NearestPaperSize(11906 + 10, 16837), P::UserDefined);
    EXPECT_EQ(P::NearestPaperSize(11906, 16837 - 10), P::UserDefined);
    EXPECT_EQ(P::NearestPaperSize(8418, 11906), 1);
    EXPECT_EQ(P::NearestPaperSize(9978, 14174), 2);
    EXPECT_EQ(P::NearestPaperSize(12240, 20160), 4);
    EXPECT_EQ(P::NearestPaperSize(16837, 11906), P::UserDefined);
    EXPECT_EQ(P::NearestPaperSize(12240, 15840 + 65536), P::UserDefined);
    EXPECT_EQ(P::NearestPaperSize(12240 - 65536, 15840), P::UserDefined);

    // The exact limits of the paper size; the margins are covered through the fields.
    EXPECT_TRUE(P::SettingsValid({16383, 32767, 1, 1, 1, 1}));
    EXPECT_FALSE(P::SettingsValid({16384, 32767, 1, 1, 1, 1}));
    EXPECT_FALSE(P::SettingsValid({16383, 32768, 1, 1, 1, 1}));
}
