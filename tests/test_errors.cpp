// The error reporter: dump format, variables document, report routes, the
// chain of reports, and processor faults turned into ordinary errors.
#include "core/modWP.h"
#include "errors/modvbCodeShieldSupport.h"
#include "host/modStartup.h"
#include "support/TestSupport.h"
#include "wp/hooks.h"

#include <QObject>
#include <csignal>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace wp;
using namespace wp::modvbCodeShieldSupport;
using dump::var;

namespace {
const QString br = QStringLiteral("\r\n");

class Widget : public QObject {
    Q_OBJECT
};
} // namespace

TEST(Dump, scalarsSpecialValuesAndLists) {
    EXPECT_EQ(var("s", QStringLiteral("abc")), "<s>abc</s>" + br);
    EXPECT_EQ(var("s", QString("a") + QChar(u'\0') + "b", 2), "  <s>a{Null}b</s>" + br);
    EXPECT_EQ(var("n", qint16(-7)), "<n>-7</n>" + br);
    EXPECT_EQ(var("b", true), "<b>True</b>" + br);
    EXPECT_EQ(var("e", dump::Empty), "<e>{Empty}</e>" + br);
    EXPECT_EQ(var("v", QVariant()), "<v>{Empty}</v>" + br);
    EXPECT_EQ(var("v", QVariant::fromValue(nullptr)), "<v>{Null}</v>" + br);
    EXPECT_EQ(var("o", static_cast<QObject*>(nullptr)), "<o>{Nothing}</o>" + br);
    Widget w;
    EXPECT_EQ(var("o", &w), "<o>{Widget}</o>" + br);
    EXPECT_EQ(var("x", KXmlRef()), "<x>{Nothing}</x>" + br);
    EXPECT_EQ(var("x", std::make_shared<KXml>()), "<x>{KXml}</x>" + br);
    EXPECT_EQ(var("u", dump::Udt{"PaperSize"}), "<u>{UDT - PaperSize}</u>" + br);
    EXPECT_EQ(var("typ", dump::UdtParameter{}), "<typ>{Can't dump UDT parameters}</typ>" + br);
    EXPECT_EQ(var("Pane", dump::ExternalUdt{}), "<Pane>{Cannot dump external UDTs}</Pane>" + br);

    EXPECT_EQ(dump::list({}), "{None}");
    const dump::Writer failing = [](const QString&, int) -> QString {
        throw wp::Error(13, "wp", "Type mismatch");
    };
    QString ok = QStringLiteral("fine");
    const QString text = dump::list({dump::bind("bad", failing), dump::bind("ok", ok)});
    EXPECT_EQ(text, "<bad>{Error 13 formatting for output}</bad>" + br + "<ok>fine</ok>" + br);
}

TEST(Dump, collectionsByPositionFromOneAndArraysByDimension) {
    QVariantList inner{QVariant(1), QVariant(QStringLiteral("two"))};
    QVariantList outer{QVariant(inner), QVariant()};
    EXPECT_EQ(var("c", outer), "<c>" + br + "  <c[1]>" + br + "    <c[1][1]>1</c[1][1]>" + br +
                                   "    <c[1][2]>two</c[1][2]>" + br + "  </c[1]>" + br +
                                   "  <c[2]>{Empty}</c[2]>" + br + "</c>" + br);

    EXPECT_EQ(var("a", dump::Array{}), "<a>{UnInitialised Array}</a>" + br);

    const dump::Array two{{{1, 2}, {1, 2}}, {11, 12, 21, 22}};
    EXPECT_EQ(var("a", two), "<a>" + br + "  <a Index=\"1,1\">11</a>" + br +
                                 "  <a Index=\"1,2\">12</a>" + br + "  <a Index=\"2,1\">21</a>" +
                                 br + "  <a Index=\"2,2\">22</a>" + br + "</a>" + br);

    const dump::Array one{{{0, 1}}, {QStringLiteral("x"), QVariant::fromValue(nullptr)}};
    EXPECT_EQ(var("a", one), "<a>" + br + "  <a Index=\"0\">x</a>" + br +
                                 "  <a Index=\"1\">{Null}</a>" + br + "</a>" + br);
    // An element that is an array itself closes with the bare name.
    const dump::Array nested{{{1, 1}}, {QVariant::fromValue(one)}};
    EXPECT_TRUE(var("n", nested).endsWith("{Null}</n>" + br + "  </n>" + br + "</n>" + br))
        << var("n", nested).toStdString();

    EXPECT_EQ(var("a", dump::Array{{{0, 0}, {0, 0}, {0, 0}, {0, 0}}, {}}),
              "<a>{Dump truncated at 4 dimensions}</a>" + br);
    EXPECT_EQ(var("a", dump::Array{{{0, 1}, {0, 1}, {0, 0, false}}, {}}),
              "<a>{UnInitialised Array Dimension 3}</a>" + br);
}

TEST(Report, withoutComponentShowsApplicationErrorBox) {
    wptest::MessageRecorder box;
    Guard g("modTest", "Failing");
    EXPECT_THROW(g.run([] { wp::raise(err::TypeMismatch); }), wp::Error);
    ASSERT_EQ(box.messages.size(), 1u);
    EXPECT_EQ(box.messages[0].title, "Application Error");
    EXPECT_EQ(box.messages[0].style, wp::mb::Critical);
    EXPECT_EQ(box.messages[0].text,
              "wp has encountered a problem. We are sorry for the inconvenience." + br + br +
                  "Module: modTest" + br + "Procedure: Failing" + br + "Line Number: 0" + br + br +
                  "Type mismatch (13)");
}

namespace {
// A class with members for the module-variables part of the report.
class Holder : public ModuleVariables {
public:
    QString m_sName = QStringLiteral("held");
    QString DumpModuleVariables() const override { return var("m_sName", m_sName); }
};

int level3(int n) {
    int lngDepth = 3;
    Guard g("modInner", "Level3");
    g.param("n", n).local("lngDepth", lngDepth);
    return g.run([&]() -> int { wp::raise(err::SubscriptOutOfRange); });
}
int level2(int n) {
    Holder holder;
    Guard g("frmMiddle", "Level2", &holder);
    g.param("n", n);
    return g.run([&] { return level3(n + 1); });
}
int level1() {
    Guard g("clsOuter", "Level1");
    return g.run([&] { return level2(1); });
}
} // namespace

TEST(Report, failureThreeDeepGivesThreeReportsAndAnEventHandlerContainsIt) {
    wptest::ReportRecorder reports;
    modWP::ResetGlobals();
    modWP::g_intMeasurement = 2;
    const wp::Error e = wptest::errorOf([] { level1(); });
    EXPECT_EQ(e.number, 65535);
    EXPECT_EQ(e.description, "Application-defined or object-defined error");
    ASSERT_EQ(reports.reports.size(), 3u);
    const auto& inner = reports.reports[0];
    EXPECT_EQ(reports.said(0), "9 modInner.Level3");
    EXPECT_EQ(inner.description, "Subscript out of range");
    EXPECT_EQ(inner.component, "wp");
    EXPECT_EQ(inner.line, 0);
    EXPECT_EQ(inner.version, "1.0.77");
    EXPECT_TRUE(inner.variables.startsWith(
        "<Variables>" + br + "<LocalVariables>" + br + "<lngDepth>3</lngDepth>" + br +
        "</LocalVariables>" + br + "<ModuleVariables>" + br + "{None}</ModuleVariables>" + br +
        "<GlobalVariables>" + br));
    EXPECT_TRUE(inner.variables.endsWith("</GlobalVariables>" + br + "</Variables>" + br +
                                         "<Parameters>" + br + "<n>2</n>" + br + "</Parameters>"));
    // The globals carry the library state.
    EXPECT_TRUE(inner.variables.contains("<g_intMeasurement>2</g_intMeasurement>"));
    EXPECT_TRUE(inner.variables.contains("<g_kxmlEnv>{Nothing}</g_kxmlEnv>"));
    EXPECT_EQ(reports.said(1), "65535 frmMiddle.Level2");
    EXPECT_TRUE(reports.reports[1].variables.contains("<LocalVariables>" + br + "{None}"));
    EXPECT_TRUE(reports.reports[1].variables.contains("<m_sName>held</m_sName>"));
    EXPECT_EQ(reports.said(2), "65535 clsOuter.Level1");
    EXPECT_EQ(reports.actionReads, 3);
    EXPECT_EQ(vbcsErrorNumber, 65535);

    // An event handler reports the failure and does not pass it on.
    Guard g("frmAny", "pbOK_Click");
    EXPECT_FALSE(g.runEvent([] { wp::raise(err::ObjectNotSet); }));
    ASSERT_EQ(reports.reports.size(), 4u);
    EXPECT_EQ(reports.reports[3].number, 91);
}

TEST(ExceptionFilter, namesAndNumbers) {
    // Access violation, division by zero and stack overflow are met below.
    EXPECT_EQ(ExceptionName(0x80000003u), "Breakpoint");
    EXPECT_EQ(ExceptionName(0xC000013Au), "Control-C Exit");
    EXPECT_EQ(ExceptionName(0x1234ABu), "Unknown (&H001234AB)");
}

namespace {
// Kept out of line and behind volatile so the compiler cannot fold the faults
// away; the processor itself must see them, so the undefined-behaviour
// sanitizer leaves these two alone.
int* volatile g_nowhere = nullptr;
volatile int g_zero = 0;
__attribute__((noinline, no_sanitize("undefined"))) int readThrough() {
    return *static_cast<volatile int*>(g_nowhere);
}
volatile int g_quotient = 0;
__attribute__((noinline, no_sanitize("undefined"))) int divide(int a) {
    g_quotient = a / g_zero;
    return g_quotient;
}
} // namespace

#include "test_errors.moc"

namespace {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winfinite-recursion"
__attribute__((noinline)) int recurse(int n) {
    volatile char pad[512];
    pad[0] = static_cast<char>(n);
    return recurse(n + 1) + pad[0];
}
#pragma GCC diagnostic pop
} // namespace

TEST(ExceptionFilter, faultsAndStackOverflowsInsideGuardsAreReportedAndTheProcessGoesOn) {
    modStartup::Main();
    ASSERT_TRUE(vbcsHasInitialised);
    wptest::ReportRecorder reports;
    auto inner = [] {
        Guard g("modFault", "Recurse");
        return g.run([] { return recurse(0); });
    };
    for (int round = 0; round < 2; ++round) {
        Guard g("modFault", "Outer");
        EXPECT_THROW(g.run(inner), wp::Error);
    }
    EXPECT_EQ(guardDepth(), 0);
    for (int round = 0; round < 2; ++round) {
        Guard g("modFault", "ReadNull");
        EXPECT_THROW(g.run([] { return readThrough(); }), wp::Error);
    }
    Guard g("modFault", "Divide");
    EXPECT_THROW(g.run([] { return divide(1); }), wp::Error);
    // The outermost guard reports what happened below it; the faults after
    // the overflow are reported as usual.
    ASSERT_EQ(reports.reports.size(), 5u);
    for (int i : {0, 1}) {
        EXPECT_EQ(reports.reports[i].number, 10237);
        EXPECT_EQ(reports.reports[i].description, "Stack Overflow");
        EXPECT_EQ(reports.reports[i].procedure, "Outer");
    }
    EXPECT_EQ(reports.reports[2].number, 10005);
    EXPECT_EQ(reports.reports[2].description, "Access Violation");
    EXPECT_EQ(reports.reports[3].number, 10005);
    EXPECT_EQ(reports.reports[4].number, 10132);
    EXPECT_EQ(reports.reports[4].description, "Integer Divide By Zero");
    EXPECT_EQ(vbcsErrorSource, "vbcsExceptionFilter");
}

namespace {
__attribute__((noinline)) int readThroughNoexcept() noexcept {
    return readThrough();
}
void hostHandler(int) {
    const char text[] = "host handler\n";
    (void)!write(STDERR_FILENO, text, sizeof text - 1);
    _exit(3);
}
} // namespace

TEST(ExceptionFilterDeathTest, faultsNoGuardCanContainAreNamedAndEndTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            modStartup::Main();
            readThrough();
        },
        ::testing::ExitedWithCode(70), "outside any library procedure");
    EXPECT_EXIT(
        {
            modStartup::Main();
            recurse(0);
        },
        ::testing::ExitedWithCode(70), "0xC00000FD \\(Stack Overflow\\)");
    // A fault in code that cannot throw is written out before the end.
    EXPECT_DEATH(
        {
            modStartup::Main();
            Guard g("modFault", "NoExcept");
            g.run([] { return readThroughNoexcept(); });
        },
        "wp: unrecoverable failure .*: Access Violation \\(10005\\); the process ends");
}

TEST(ExceptionFilterDeathTest, faultOutsideAnyGuardGoesToTheHostsEarlierHandler) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            std::signal(SIGSEGV, hostHandler);
            modStartup::Main();
            wptest::ReportRecorder reports;
            Guard g("modFault", "ReadNull");
            EXPECT_THROW(g.run([] { return readThrough(); }), wp::Error);
            if (reports.reports.size() != 1)
                _exit(1);
            readThrough();
        },
        ::testing::ExitedWithCode(3), "host handler");
}
