// clsWP: the environment, options and runtime XML, the version, the unit,
// the document control and reaching members by dispatch id.
#include "core/modWP.h"
#include "support/TestSupport.h"
#include "wp/TextControl.h"
#include "wp/clsWP.h"

#include <QImage>
#include <QPainter>
#include <QtCore/qmetaobject.h>
#include <gtest/gtest.h>

using namespace wp;
using namespace wp::modWP;

namespace {
QString env(const QString& inIde, const QString& silent = QString()) {
    QString xml = QStringLiteral("<env><app_ver>3.1</app_ver><app_id>ID7</app_id>");
    if (!inIde.isNull())
        xml += "<in_ide>" + inIde + "</in_ide>";
    xml += QStringLiteral("<user>anna</user><install_dir>/opt/m/</install_dir>"
                          "<data_dir>/data/</data_dir>"
                          "<this_user_app_data_dir>/home/anna/m/</this_user_app_data_dir>"
                          "<all_users_app_data_dir>/srv/m/</all_users_app_data_dir>");
    if (!silent.isNull())
        xml += "<silent>" + silent + "</silent>";
    return xml + QStringLiteral("</env>");
}

class ClsWP : public ::testing::Test {
protected:
    void SetUp() override { ResetGlobals(); }
};
} // namespace

TEST_F(ClsWP, environmentIsTakenApartKeyByKey) {
    clsWP host;
    host.setEnvXML(env("-1"));
    EXPECT_EQ(g_strMorvaleVersion, "3.1");
    EXPECT_EQ(g_strID, "ID7");
    EXPECT_TRUE(g_blnInIDE);
    EXPECT_EQ(g_strUser, "anna");
    EXPECT_EQ(g_strInstDir, "/opt/m/");
    EXPECT_EQ(g_strDataDir, "/data/");
    EXPECT_EQ(g_strThisUserMorvaleDataDir, "/home/anna/m/");
    EXPECT_EQ(g_strAllUsersMorvaleDataDir, "/srv/m/");
    EXPECT_FALSE(g_blnSilent);
    EXPECT_EQ(host.EnvXML(), env("-1"));
    EXPECT_FALSE(g_kxmlEnv) << "the environment is not kept as a document";

    host.setEnvXML(env("FALSE", "TRUE"));
    EXPECT_FALSE(g_blnInIDE);
    EXPECT_TRUE(g_blnSilent);
    host.setEnvXML(env("0", "0"));
    EXPECT_FALSE(g_blnSilent);
}

TEST_F(ClsWP, badEnvironmentReportsAndFails65535) {
    wptest::ReportRecorder reports;
    clsWP host;
    for (const QString& bad : {env(QString()), env("maybe"), env("1", "sometimes")}) {
        reports.reports.clear();
        EXPECT_EQ(wptest::errorOf([&] { host.setEnvXML(bad); }).number, 65535) << bad.toStdString();
        ASSERT_EQ(reports.reports.size(), 1u);
        EXPECT_EQ(reports.said(0), "13 clsWP.EnvXML");
        EXPECT_TRUE(reports.reports[0].variables.contains("<kxmlNode>{KXml}</kxmlNode>"));
        EXPECT_TRUE(reports.reports[0].variables.contains("<m_tx>{Nothing}</m_tx>"));
        EXPECT_TRUE(reports.reports[0].variables.contains("<Parameters>\r\n<vData>"));
        EXPECT_EQ(host.EnvXML(), bad) << "the text reads back even after a failure";
    }
    // Keys before the failing one keep their new values.
    EXPECT_EQ(g_strUser, "anna");
}

TEST_F(ClsWP, envXmlThatDoesNotParseReadsBackUnchanged) {
    wptest::MessageRecorder boxes;
    clsWP host;
    const QString broken = QStringLiteral("<env><in_ide>1</in_ide");
    EXPECT_THROW(host.setEnvXML(broken), wp::Error);
    EXPECT_EQ(host.EnvXML(), broken);
    ASSERT_EQ(boxes.messages.size(), 1u);
    EXPECT_TRUE(boxes.messages[0].text.contains("Procedure: EnvXML"));
    EXPECT_TRUE(boxes.messages[0].text.contains("Line Number: 0"));
}

TEST_F(ClsWP, optionsAndRuntimeAreReplacedWholeAndSharedByAllObjects) {
    clsWP a, b;
    a.setOptsXML("<options><option sort=\"a08\">d.M.yyyy</option></options>");
    ASSERT_TRUE(g_kxmlOptions);
    EXPECT_TRUE(g_kxmlOptions->FindByAttribute(nullptr, "option", "sort", "a08"));
    b.setOptsXML("<options><option sort=\"a01\">x</option></options>");
    EXPECT_FALSE(g_kxmlOptions->FindByAttribute(nullptr, "option", "sort", "a08"));
    a.setRuntimeXML("<jdata><runmode/></jdata>");
    EXPECT_TRUE(g_kxmlJdata->HasChild("runmode"));
    a.setRuntimeXML("not xml");
    ASSERT_TRUE(g_kxmlJdata);
    EXPECT_EQ(g_kxmlJdata->ChildCount(), 0);
    b.Invoke(clsWP::DISPID_RuntimeXML, {"<jdata><a/><b/></jdata>"}, clsWP::InvokeKind::PropertyPut);
    EXPECT_EQ(g_kxmlJdata->ChildCount(), 2);
}

// The version needs nothing set before it; every member is reached by name
// and by dispatch id, and puts by name reach the library.
TEST_F(ClsWP, lateBindingReachesEveryContractMemberByName) {
    clsWP host;
    EXPECT_EQ(host.property("Version").toString(), "1.0.77");
    EXPECT_EQ(host.Invoke(clsWP::DISPID_Version, {}, clsWP::InvokeKind::PropertyGet).toString(),
              "1.0.77");
    const QMetaObject* mo = host.metaObject();
    EXPECT_STREQ(mo->classInfo(mo->indexOfClassInfo("CLSID")).value(),
                 "{7B4BD93F-41B2-44C5-8A87-F2A992623D8A}");
    // The other properties are read or put by name below.
    EXPECT_GE(mo->indexOfProperty("EnvXML"), 0);
    for (const char* name :
         {"HeaderPropertiesShow", "PageDialogShow", "PrintPreviewShow", "ResumePropertiesShow",
          "TableDialogShow", "CoverLetterStepper", "ResumeTitleRetrieve"})
        EXPECT_GE(mo->indexOfMethod(QByteArray(name) + "(QString&)"), 0) << name;

    // Puts by name reach the library, not a dynamic property of the object.
    EXPECT_TRUE(host.setProperty("OptsXML", "<o><option sort=\"a08\">d.M.yy</option></o>"));
    ASSERT_TRUE(g_kxmlOptions);
    EXPECT_EQ(g_kxmlOptions->FindByAttribute(nullptr, "option", "sort", "a08")->Text(), "d.M.yy");
    EXPECT_TRUE(host.setProperty("RuntimeXML", "<jdata><runmode/></jdata>"));
    ASSERT_TRUE(g_kxmlJdata);
    EXPECT_TRUE(g_kxmlJdata->HasChild("runmode"));
    EXPECT_TRUE(host.setProperty("MeasurementUnits", 7)); // stored unchecked
    EXPECT_EQ(g_intMeasurement, 7);
    EXPECT_THROW(host.setProperty("MeasurementUnits", 32768), wp::Error);
    EXPECT_EQ(g_intMeasurement, 7);
    EXPECT_THROW(host.Invoke(0x12345), wp::Error);

    // The document control is reached by name too.
    TextControl tx;
    EXPECT_EQ(host.tx(), nullptr);
    host.setTx(&tx);
    EXPECT_EQ(host.Invoke(clsWP::DISPID_tx, {}, clsWP::InvokeKind::PropertyGet).value<QObject*>(),
              &tx);
    EXPECT_EQ(host.property("tx").value<QObject*>(), &tx);
    EXPECT_TRUE(tx.setProperty("ViewMode", 2));
    EXPECT_EQ(tx.ViewMode(), 2);
    EXPECT_TRUE(tx.setProperty("PrintZoom", 50));
    EXPECT_EQ(tx.PrintZoom(), 50);
    EXPECT_EQ(tx.property("CurrentPages").toInt(), 1);
    qint16 id = 0;
    ASSERT_TRUE(QMetaObject::invokeMethod(&tx, "TableInsert", Q_RETURN_ARG(qint16, id),
                                          Q_ARG(qint32, 2), Q_ARG(qint32, 2), Q_ARG(qint32, -1),
                                          Q_ARG(qint16, 7)));
    EXPECT_EQ(id, 7);
    qint16 state = 0, tableId = 0, next = 0;
    ASSERT_TRUE(QMetaObject::invokeMethod(&tx, "TableNext", Q_RETURN_ARG(qint16, next),
                                          Q_ARG(qint16&, state), Q_ARG(qint16&, tableId)));
    EXPECT_NE(next, 0);
    EXPECT_EQ(tableId, 7);
    QImage page(200, 260, QImage::Format_RGB32);
    QPainter painter(&page);
    EXPECT_TRUE(QMetaObject::invokeMethod(&tx, "setPrintDevice", Q_ARG(QPainter*, &painter)));
    EXPECT_TRUE(QMetaObject::invokeMethod(&tx, "PrintPage", Q_ARG(qint32, 1)));
}
