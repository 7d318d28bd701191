// Conversions between twips and the text of a dialog field.
#include "dialogs/modTX.h"
#include "support/TestSupport.h"
#include "wp/Error.h"

#include <QLocale>
#include <gtest/gtest.h>
#include <tuple>

using wp::modTX::DlgString2Twips;
using wp::modTX::FormatDlgNumber;
using wp::modTX::Twips2DlgString;

namespace {
using ModTX = wptest::DialogUnitsTest;
constexpr qint16 Cm = ModTX::Cm;
constexpr qint16 Inch = ModTX::Inch;
} // namespace

TEST_F(ModTX, fieldTextConvertsToTwipsRoundingHalfToEven) {
    const std::tuple<qint16, const char*, qint32> cases[] = {
        {Inch, "0.01", 14},
        {Inch, "-1", -1440},
        {Inch, "  8.50\t", 12240},
        {Inch, "+1", 1440},
        {Inch, ".5", 720},
        {Inch, "5.", 7200},
        {Inch, "0", 0},
        {Cm, "2.54", 1440},
        {Cm, "0.01", 6},
        {Cm, "21", 11907},
        {Cm, "20.99", 11901},
        {Cm, "29.70", 16840},
        {Cm, "29.69", 16834},
        // 283.5, 850.5 and 1417.5 twips: ties go to the even twip.
        {Cm, "0.5", 284},
        {Cm, "1.5", 850},
        {Cm, "2.5", 1418},
        {Cm, "-0.5", -284},
    };
    for (const auto& [u, text, twips] : cases) {
        unit(u);
        EXPECT_EQ(DlgString2Twips(QString::fromLatin1(text)), twips) << text << " unit " << u;
    }
}

TEST_F(ModTX, textThatIsNoNumberOrNoUnitGivesZero) {
    for (qint16 u : {Cm, Inch}) {
        unit(u);
        for (const char* text : {"", " ", "abc", "8.5.1", "8..5", "-", ".", "8,5", "8 5", "1-"})
            EXPECT_EQ(DlgString2Twips(QString::fromLatin1(text)), 0) << text;
    }
    for (qint16 u : {qint16(0), qint16(3), qint16(-1)}) {
        unit(u);
        EXPECT_EQ(DlgString2Twips(QStringLiteral("8.5")), 0);
        EXPECT_EQ(Twips2DlgString(12240), QString());
    }
}

TEST_F(ModTX, twipsFormatWithTwoDecimalsInTheUnit) {
    const std::tuple<qint16, float, const char*> cases[] = {
        {Inch, 0, "0.00"},
        {Inch, -1440, "-1.00"},
        {Inch, 16387, "11.38"},
        {Inch, 1440000, "1000.00"},
        {Cm, 11906, "21.00"},
        {Cm, 16837, "29.69"},
        {Cm, 12240, "21.59"},
        {Cm, 11900, "20.99"},
        {Cm, 16840, "29.70"},
        {Cm, 11896, "20.98"},
        // 7.2 twips as a single is a hair below 0.005 inch: the nudge lifts it.
        {Inch, 7.2f, "0.01"},
    };
    for (const auto& [u, twips, text] : cases) {
        unit(u);
        EXPECT_EQ(Twips2DlgString(twips), QString::fromLatin1(text)) << twips << " unit " << u;
    }
}

TEST_F(ModTX, formatRoundsHalfAwayFromZeroOnTheShownDigits) {
    EXPECT_EQ(FormatDlgNumber(-2.675), QStringLiteral("-2.68"));
    EXPECT_EQ(FormatDlgNumber(0.125), QStringLiteral("0.13"));
    EXPECT_EQ(FormatDlgNumber(0.124999), QStringLiteral("0.12"));
    EXPECT_EQ(FormatDlgNumber(-0.001), QStringLiteral("0.00"));
    EXPECT_EQ(FormatDlgNumber(1234567.891), QStringLiteral("1234567.89"));
}

TEST_F(ModTX, commaLocaleReadsAndWritesCommas) {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    unit(Inch);
    EXPECT_EQ(Twips2DlgString(1440000), QStringLiteral("1000,00")); // no group separator
    EXPECT_EQ(DlgString2Twips(QStringLiteral(" -0,01 ")), -14);
    EXPECT_EQ(DlgString2Twips(QStringLiteral("8,5,0")), 0);
    EXPECT_EQ(DlgString2Twips(QStringLiteral("8.5")), 0); // a point is no separator here
    unit(Cm);
    EXPECT_EQ(Twips2DlgString(16837), QStringLiteral("29,69"));
    EXPECT_EQ(DlgString2Twips(QStringLiteral("2,54")), 1440);
}

TEST_F(ModTX, productBeyond32BitsIsReportedFromModTX) {
    wptest::ReportRecorder recorder;
    unit(Inch);
    // 2147483647 twips is 1491308.088 inches.
    EXPECT_EQ(DlgString2Twips(QStringLiteral("1491308.08")), 2147483635);
    EXPECT_EQ(DlgString2Twips(QStringLiteral("-1491308.08")), -2147483635);
    EXPECT_TRUE(recorder.reports.empty());

    for (const char* text : {"10000000", "1491308.09", "-1491308.09"}) {
        recorder.reports.clear();
        EXPECT_EQ(wptest::errorOf([&] { DlgString2Twips(QString::fromLatin1(text)); }).number,
                  65535)
            << text;
        ASSERT_EQ(recorder.reports.size(), 1u) << text;
        EXPECT_EQ(recorder.said(0), "6 modTX.DlgString2Twips");
        EXPECT_TRUE(recorder.reports[0].variables.contains(
            QStringLiteral("<sDlg>%1</sDlg>").arg(QString::fromLatin1(text))));
    }
}
