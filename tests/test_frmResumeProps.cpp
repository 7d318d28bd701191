// The résumé properties dialog, driven modally through
// clsWP::ResumePropertiesShow over a real template archive.
#include "core/modWP.h"
#include "dialogs/frmResumeProps.h"
#include "support/TestSupport.h"
#include "support/ZipSupport.h"
#include "wp/KXml.h"
#include "wp/TextControl.h"
#include "wp/cUtil.h"
#include "wp/clsWP.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using wp::frmResumeProps;
using wptest::child;
using wptest::click;

namespace {
QLineEdit* summ(QWidget* f, int i) {
    return child<QLineEdit>(f, QStringLiteral("feSumm(%1)").arg(i));
}
QPlainTextEdit* box(QWidget* f, const QString& name) {
    return child<QPlainTextEdit>(f, name);
}
QPlainTextEdit* desc(QWidget* f, int i) {
    return box(f, QStringLiteral("feDesc(%1)").arg(i));
}
using wptest::fileBytes;

class ResumeProps : public ::testing::Test {
protected:
    void SetUp() override {
        wp::modWP::g_strThisUserMorvaleDataDir = dir.path() + QLatin1Char('/');
    }
    void TearDown() override { wp::modWP::ResetGlobals(); }
    QString archive() const { return dir.filePath(QStringLiteral("app.mvdt")); }

    // Runs ResumePropertiesShow over a control whose Tag holds `tag`, with
    // `step` acting on the open dialog; a step that leaves it open fails.
    QString show(const QString& tag, const std::function<void(QWidget*)>& step) {
        wp::TextControl tx;
        tx.setTag(tag);
        wp::clsWP host;
        host.setTx(&tx);
        QString strXML = QStringLiteral("<not read/>");
        const QString result = wptest::runModal(
            QStringLiteral("frmResumeProps"), QStringLiteral("Properties"),
            [&] { return host.ResumePropertiesShow(strXML); },
            [&](QWidget* modal) {
                QApplication::setActiveWindow(modal);
                step(modal);
            });
        EXPECT_EQ(tx.Tag(), tag) << "the dialog never writes the Tag";
        EXPECT_FALSE(wp::modWP::FormInstance<frmResumeProps>::exists());
        return result;
    }

    // Opens the description box `i` for editing through its pop-up command.
    static void editDescription(QWidget* f, int i) {
        QTest::mouseClick(desc(f, i)->viewport(), Qt::RightButton, {}, QPoint(20, 20));
        auto* menu = child<QMenu>(f, QStringLiteral("cbrEdit"));
        ASSERT_TRUE(menu);
        QAction* edit = menu->findChild<QAction*>(QStringLiteral("1099"));
        ASSERT_TRUE(edit);
        EXPECT_EQ(edit->text(), QStringLiteral("Edit text"));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(edit).center());
        EXPECT_FALSE(desc(f, i)->isReadOnly());
        EXPECT_TRUE(desc(f, i)->hasFocus());
    }

    QTemporaryDir dir;
};

const QString kFull = QStringLiteral(
    "<resume id=\"9\"><name>Jane</name><props><title>CV</title><subject>Engineer</subject>"
    "<author>Jane Doe</author><manager/><company>Acme</company><category/>"
    "<keywords>C++, Qt</keywords><comments>Hi</comments></props><body>keep</body></resume>");
const QString kEmptyProps = QStringLiteral(
    "<resume><props><title/><subject/><author/><manager/><company/><category/><keywords/>"
    "<comments/></props></resume>");
} // namespace

TEST_F(ResumeProps, saveWithoutChangeCountsFilledFieldsAsChanges) {
    // All properties empty: nothing to store.
    EXPECT_EQ(show(kEmptyProps, [](QWidget* f) { click(f, "pbOK"); }), QString());
    // Filled fields count as changes: the whole résumé comes back.
    const QString result = show(kFull, [](QWidget* f) {
        // No archive: the help texts keep their design-time texts.
        EXPECT_EQ(desc(f, 0)->toPlainText(), QStringLiteral("Summary"));
        EXPECT_EQ(desc(f, 2)->toPlainText(), QStringLiteral("Comments"));
        auto* tabs = child<QTabWidget>(f, QStringLiteral("tabProps"));
        EXPECT_EQ(tabs->currentIndex(), 0);
        EXPECT_EQ(tabs->tabToolTip(0),
                  "Set the document properties that will show up in your resume when you share "
                  "it as a MS Word document.  Property information will show up in META tags "
                  "when saved as a web page.");
        EXPECT_EQ(tabs->widget(2)->objectName(), QStringLiteral("pagComments"));
        // Focus moves: activation to the title, a tab to its box.
        EXPECT_TRUE(QTest::qWaitFor([f] { return summ(f, 0)->hasFocus(); }, 2000));
        tabs->setCurrentIndex(1);
        EXPECT_TRUE(box(f, "feKeywords")->hasFocus());
        tabs->setCurrentIndex(2);
        EXPECT_TRUE(box(f, "feComments")->hasFocus());
        click(f, "pbOK");
    });
    EXPECT_EQ(result, kFull);
}

TEST_F(ResumeProps, editsAreWrittenAsTypedUnderTheResumeAndCancelOrCloseKeepNothing) {
    const QString result = show(kEmptyProps, [](QWidget* f) {
        summ(f, 1)->setText(QStringLiteral("  Lead developer  "));
        box(f, "feComments")->setPlainText(QStringLiteral("line 1\nline 2 "));
        click(f, "pbOK");
    });
    EXPECT_EQ(result, QString(kEmptyProps)
                          .replace("<subject/>", "<subject>  Lead developer  </subject>")
                          .replace("<comments/>", "<comments>line 1\nline 2 </comments>"));

    // An emptied field writes an empty element.
    EXPECT_EQ(show(kFull,
                   [](QWidget* f) {
                       summ(f, 0)->clear();
                       box(f, "feKeywords")->clear();
                       click(f, "pbOK");
                   }),
              QString(kFull)
                  .replace("<title>CV</title>", "<title/>")
                  .replace("<keywords>C++, Qt</keywords>", "<keywords/>"));

    // Cancel and the close box keep nothing.
    for (bool cancel : {true, false})
        EXPECT_EQ(show(kFull,
                       [cancel](QWidget* f) {
                           summ(f, 2)->setText(QStringLiteral("Someone else"));
                           cancel ? click(f, "pbCancel") : void(f->close());
                       }),
                  QString());

    // A résumé without properties gets them under its root.
    const QString added =
        show(QStringLiteral("<resume><name>Jane</name></resume>"), [](QWidget* f) {
            summ(f, 0)->setText(QStringLiteral("New"));
            click(f, "pbOK");
        });
    EXPECT_EQ(added, "<resume><name>Jane</name><props><title>New</title><subject/><author/>"
                     "<manager/><company/><category/><keywords/><comments/></props></resume>");

    // Without a résumé there is nothing to write the properties into.
    for (const QString& tag : {QString(), QStringLiteral("not <xml")}) {
        EXPECT_EQ(show(tag,
                       [](QWidget* f) {
                           EXPECT_EQ(summ(f, 0)->text(), QString());
                           summ(f, 0)->setText(QStringLiteral("x"));
                           click(f, "pbOK");
                       }),
                  QString());
    }
}

TEST_F(ResumeProps, helpTextsComeFromTheBuiltTemplateArchive) {
    const QString built = QStringLiteral(WP_USER_DATA_DIR "/app.mvdt");
    ASSERT_TRUE(QFile::copy(built, archive())) << built.toStdString();
    wp::KXml source;
    ASSERT_TRUE(source.LoadXml(QString::fromUtf8(
        fileBytes(QStringLiteral(WP_SAMPLES_DIR "/archive/doc_prop_descs.xml")))));
    const QByteArray before = fileBytes(archive());
    show(kFull, [&](QWidget* f) {
        EXPECT_EQ(desc(f, 0)->toPlainText(), source.ChildValue(QStringLiteral("summary")));
        EXPECT_EQ(desc(f, 1)->toPlainText(), source.ChildValue(QStringLiteral("keywords")));
        EXPECT_FALSE(desc(f, 0)->toPlainText().isEmpty());
        EXPECT_TRUE(desc(f, 0)->isReadOnly());
        // Outside the development environment: no pop-up, and leaving a
        // description box writes nothing.
        QTest::mouseClick(desc(f, 0)->viewport(), Qt::RightButton, {}, QPoint(20, 20));
        EXPECT_EQ(child<QMenu>(f, QStringLiteral("cbrEdit")), nullptr);
        desc(f, 0)->setFocus(Qt::MouseFocusReason);
        summ(f, 0)->setFocus(Qt::MouseFocusReason);
        click(f, "pbCancel");
    });
    EXPECT_EQ(fileBytes(archive()), before);
}

TEST_F(ResumeProps, developmentEnvironmentEditsCreateTheDescriptionEntry) {
    wp::modWP::g_blnInIDE = true;
    ASSERT_TRUE(wptest::makeZip(archive(), {{"cvl_data.xml", "<cvl/>"}}));
    show(kFull, [](QWidget* f) {
        child<QTabWidget>(f, QStringLiteral("tabProps"))->setCurrentIndex(1);
        editDescription(f, 1);
        desc(f, 1)->selectAll();
        QTest::keyClicks(desc(f, 1), QStringLiteral("List your skills."));
        box(f, "feKeywords")->setFocus(Qt::MouseFocusReason);
        EXPECT_TRUE(desc(f, 1)->isReadOnly()) << "leaving the box ends the editing";
        click(f, "pbCancel");
    });
    EXPECT_EQ(wptest::zipEntry(archive(), "cvl_data.xml"), "<cvl/>");
    EXPECT_EQ(wp::cUtil().ReadEntry(archive(), "doc_prop_descs.xml"),
              "<descs ver=\"1\"><keywords>List your skills.</keywords></descs>");

    // The next showing reads the text back; an edit of another page joins it.
    show(kFull, [](QWidget* f) {
        EXPECT_EQ(desc(f, 1)->toPlainText(), QStringLiteral("List your skills."));
        editDescription(f, 0);
        desc(f, 0)->setPlainText(QStringLiteral("About you."));
        summ(f, 3)->setFocus(Qt::TabFocusReason);
        click(f, "pbOK");
    });
    EXPECT_EQ(wp::cUtil().ReadEntry(archive(), "doc_prop_descs.xml"),
              "<descs ver=\"1\"><keywords>List your skills.</keywords>"
              "<summary>About you.</summary></descs>");
}

TEST_F(ResumeProps, anArchiveThatCannotBeReadOrWrittenIsReportedAndKept) {
    wp::modWP::g_blnInIDE = true;
    // A sound archive whose help texts fail their checksum: they cannot be
    // read, yet a write would succeed and keep only the one edited text.
    QByteArray texts = "<descs ver=\"1\">";
    for (int i = 0; i < 300; ++i)
        texts += "<summary>" + QByteArray::number(i * 7919 % 1000) + "</summary>";
    texts += "</descs>";
    ASSERT_TRUE(wptest::makeZip(archive(), {{"doc_prop_descs.xml", texts}, {"b", "<cvl/>"}}));
    QByteArray badChecksum = fileBytes(archive());
    badChecksum[200] = char(badChecksum[200] ^ 0x55);
    const QByteArray archives[] = {
        "PK\x03\x04 damaged",
        badChecksum,
        wptest::makeZip(archive(), {{"doc_prop_descs.xml", "<descs ver=\"1\"><summary>cut"}})
            ? fileBytes(archive())
            : QByteArray(),
    };
    for (const QByteArray& bytes : archives) {
        ASSERT_TRUE(wptest::writeFile(archive(), bytes));
        wptest::ReportRecorder reports;
        show(kFull, [](QWidget* f) {
            editDescription(f, 0);
            desc(f, 0)->setPlainText(QStringLiteral("Lost?"));
            summ(f, 0)->setFocus(Qt::MouseFocusReason);
            EXPECT_TRUE(desc(f, 0)->isReadOnly());
            click(f, "pbCancel");
        });
        ASSERT_EQ(reports.reports.size(), 1u);
        EXPECT_EQ(reports.said(0), "75 frmResumeProps.feDesc_Validate");
        EXPECT_TRUE(reports.reports[0].description.contains("app.mvdt"));
        EXPECT_TRUE(reports.reports[0].variables.contains("m_blnChanged"));
        EXPECT_EQ(fileBytes(archive()), bytes);
    }
}

TEST_F(ResumeProps, reachedByDispatchIdAndReportedWithoutAControl) {
    wp::TextControl tx;
    tx.setTag(kEmptyProps);
    wp::clsWP host;
    host.setTx(&tx);
    wptest::whenModal([](QWidget* f) {
        summ(f, 4)->setText(QStringLiteral("Initech"));
        click(f, "pbOK");
    });
    const QString result =
        host.Invoke(wp::clsWP::DISPID_ResumePropertiesShow, {QString()}).toString();
    EXPECT_EQ(result, QString(kEmptyProps).replace("<company/>", "<company>Initech</company>"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    wptest::ReportRecorder reports;
    wp::clsWP bare;
    QString strXML;
    wptest::expectFailsWithoutWindow([&] { bare.ResumePropertiesShow(strXML); });
    ASSERT_EQ(reports.reports.size(), 1u);
    EXPECT_EQ(reports.said(0), "91 clsWP.ResumePropertiesShow");
}
