// The template field merge and the host's date patterns, on a real control
// with a fixed clock.
#include "core/modWP.h"
#include "stepper/TemplateMerge.h"
#include "support/TestSupport.h"
#include "wp/Error.h"
#include "wp/TextControl.h"
#include "wp/clsWP.h"

#include <QTextCursor>
#include <QTextDocument>
#include <gtest/gtest.h>

using namespace wp::modWP;

namespace {
const QLocale kUs(QLocale::English, QLocale::UnitedStates);

QString fmt(const QDateTime& when, const char* pattern) {
    return FormatDateTime(when, QString::fromUtf8(pattern), kUs);
}

// A letter typed at the caret; "[Title|name]" inserts a field.
struct Letter {
    wp::TextControl tx;
    QMap<QString, qint16> ids;
    Letter() {
        const QString text = QStringLiteral(
            "Date: [Today|current_date] at [Now|current_time]\nDear [Contact Name|contact_name] "
            "of [Company|company]\nRe: [Position|position]\nFollow up [Follow Up|followup_date] "
            "[Follow Time|followup_time] / [Capital Date|Current_Date] / [Job Reference "
            "Number|job_ref] / [Source|job_source]");
        for (const QString& part : text.split(u'[')) {
            const QStringList field = part.section(u']', 0, 0).split(u'|');
            if (field.size() == 2)
                ids[field[1]] = tx.FieldInsert(field[0], field[1]);
            tx.setSelText(field.size() == 2 ? part.section(u']', 1) : part);
        }
    }
    QString text(const char* name) {
        tx.setFieldCurrent(ids.value(QString::fromLatin1(name)));
        return tx.FieldText();
    }
    QTextCharFormat format(const char* name) {
        tx.setFieldCurrent(ids.value(QString::fromLatin1(name)));
        QTextCursor c(tx.document());
        c.setPosition(tx.FieldStart()); // after the field's first character
        return c.charFormat();
    }
};

wp::KXmlRef jobApp(const QString& xml) {
    auto node = std::make_shared<wp::KXml>();
    EXPECT_TRUE(node->LoadXml(xml));
    return node;
}

class TemplateMerge : public ::testing::Test {
protected:
    void SetUp() override {
        wp::clsWP host;
        host.setOptsXML(QStringLiteral("<options><option sort=\"a01\">x</option>"
                                       "<option sort=\"a08\">mmmm d, yyyy</option></options>"));
        setClock([this] { return now; });
    }
    void TearDown() override { setClock(nullptr); }
    QDateTime now{QDate(2024, 1, 28), QTime(21, 5, 42)};
};
} // namespace

TEST(DateFormat, tokensAgainstKnownDates) {
    const QDateTime sat(QDate(2023, 12, 30), QTime(9, 7, 3));   // a Saturday
    const QDateTime sun(QDate(2023, 1, 1), QTime(0, 30, 0));    // a Sunday
    const QDateTime tue(QDate(2024, 12, 31), QTime(12, 0, 59)); // leap year, Tuesday
    EXPECT_EQ(fmt(sat, "d dd ddd dddd"), "30 30 Sat Saturday");
    EXPECT_EQ(fmt(sun, "d dd m mm mmm mmmm"), "1 01 1 01 Jan January");
    EXPECT_EQ(fmt(sat, "MMMM d, yyyy"), "December 30, 2023");
    EXPECT_EQ(fmt(sat, "y yy yyyy q"), "364 23 2023 4");
    EXPECT_EQ(fmt(tue, "y q"), "366 4");
    // Sunday is day 1; the week of 1 January is week 1 and weeks start on Sunday.
    EXPECT_EQ(fmt(sun, "w ww"), "1 1");
    EXPECT_EQ(fmt(sat, "w ww"), "7 52");
    EXPECT_EQ(fmt(QDateTime(QDate(2023, 1, 8), QTime()), "w ww"), "1 2");
    EXPECT_EQ(fmt(tue, "w ww"), "3 53");
    // Minutes: "n", or "m" right after an hour; 12-hour clock with a designator.
    EXPECT_EQ(fmt(sat, "h:n:s hh:nn:ss"), "9:7:3 09:07:03");
    EXPECT_EQ(fmt(sat, "hh:mm mm/dd"), "09:07 12/30");
    EXPECT_EQ(fmt(sun, "h AM/PM|h am/pm|h A/P|h a/p"), "12 AM|12 am|12 A|12 a");
    EXPECT_EQ(fmt(tue, "hh:mm AM/PM"), "12:00 PM");
    EXPECT_EQ(fmt(tue, "HH"), "12");
    // Literals: quoted, escaped, and anything that is no token.
    EXPECT_EQ(fmt(sat, "\"day\" d \\d, - yyyy."), "day 30 d, - 2023.");
    EXPECT_EQ(fmt(sat, "\"unterminated"), "unterminated");
    EXPECT_EQ(fmt(sat, ""), "");
    // The separators are the locale's own.
    const QLocale de(QLocale::German, QLocale::Germany);
    EXPECT_EQ(FormatDateTime(sat, QStringLiteral("dd/mm/yyyy"), de), "30.12.2023");
    EXPECT_EQ(FormatDateTime(sat, QStringLiteral("dddd"), de), "Samstag");
}

TEST_F(TemplateMerge, reservedNamesUseTheClockAndOthersTheJobApplication) {
    Letter letter;
    // A bold company field keeps its format when filled.
    letter.tx.setFieldCurrent(letter.ids["company"]);
    QTextCursor c(letter.tx.document());
    c.setPosition(letter.tx.FieldStart() - 1);
    c.setPosition(letter.tx.FieldStart() - 1 + 7, QTextCursor::KeepAnchor);
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    c.mergeCharFormat(bold);

    LoadJobAppTemplateFields(
        &letter.tx,
        jobApp(QStringLiteral("<job_app><current_date>not me</current_date>"
                              "<Current_Date>Capital</Current_Date>"
                              "<company>Northwind Traders</company><position>Analyst</position>"
                              "<job_ref></job_ref></job_app>")));
    EXPECT_EQ(letter.text("current_date"), "January 28, 2024");
    EXPECT_EQ(letter.text("current_time"), "09:05 PM");
    EXPECT_EQ(letter.text("followup_time"), "09:05 PM"); // now, not a week ahead
    EXPECT_EQ(letter.text("followup_date"), "February 4, 2024");
    EXPECT_EQ(letter.text("Current_Date"), "Capital"); // names are case-sensitive
    EXPECT_EQ(letter.text("company"), "Northwind Traders");
    EXPECT_EQ(letter.format("company").fontWeight(), QFont::Bold);
    EXPECT_NE(letter.format("company").foreground().color(), QColor(Qt::red));
    // Empty and missing values keep their titles, unbroken, in pure red.
    const QString nbsp(QChar(160));
    EXPECT_EQ(letter.text("job_ref"), "Job" + nbsp + "Reference" + nbsp + "Number");
    EXPECT_EQ(letter.text("job_source"), "Source");
    EXPECT_EQ(letter.format("job_ref").foreground().color(), QColor(255, 0, 0));
    EXPECT_EQ(letter.format("job_source").foreground().color(), QColor(255, 0, 0));
    EXPECT_TRUE(letter.tx.FormatSelection());
    EXPECT_EQ(letter.tx.SelLength(), 0);
    EXPECT_TRUE(letter.tx.document()->toPlainText().contains(QStringLiteral("\nRe: Analyst\n")));

    // A second merge on the same document fills the red title but keeps its colour.
    LoadJobAppTemplateFields(&letter.tx, jobApp(QStringLiteral("<job_app><job_ref>NW-1234</job_ref>"
                                                               "</job_app>")));
    EXPECT_EQ(letter.text("job_ref"), "NW-1234");
    EXPECT_EQ(letter.format("job_ref").foreground().color(), QColor(255, 0, 0));
    // Now missing: the visible text is the title, which is why the stepper
    // reloads the template before each merge.
    EXPECT_EQ(letter.text("company"), "Northwind" + nbsp + "Traders");
    EXPECT_EQ(letter.format("company").foreground().color(), QColor(255, 0, 0));
}

TEST_F(TemplateMerge, documentWithoutFieldsIsLeftAlone) {
    wp::TextControl tx;
    tx.setSelText(QStringLiteral("No fields here."));
    LoadJobAppTemplateFields(&tx, jobApp(QStringLiteral("<job_app/>")));
    EXPECT_EQ(tx.document()->toPlainText(), "No fields here.");
}

TEST_F(TemplateMerge, missingDateFormatOrJobApplicationIsReported) {
    wptest::ReportRecorder reports;
    Letter letter;
    wp::clsWP().setOptsXML(QStringLiteral("<options><option sort=\"a07\">d</option></options>"));
    EXPECT_EQ(wptest::errorOf([&] {
                  LoadJobAppTemplateFields(&letter.tx, jobApp(QStringLiteral("<job_app/>")));
              }).number,
              65535);
    ASSERT_EQ(reports.reports.size(), 1u);
    EXPECT_EQ(reports.reports[0].module, "modWP");
    EXPECT_EQ(reports.reports[0].procedure, "LoadJobAppTemplateFields");
    EXPECT_EQ(letter.text("company"), "Company"); // nothing merged

    wp::clsWP().setOptsXML(QStringLiteral("<options><option sort=\"a08\">d</option></options>"));
    EXPECT_THROW(LoadJobAppTemplateFields(&letter.tx, nullptr), wp::Error);
    EXPECT_EQ(reports.reports.size(), 2u);
}
