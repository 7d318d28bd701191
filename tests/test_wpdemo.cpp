// The demo host: every window it opens comes up titled, with a name for
// every control a keyboard user reaches; unsaved changes are asked about;
// the dialogs' results reach the document; errors are logged and shown.
#include "DemoWindow.h"
#include "support/TestSupport.h"
#include "support/ZipSupport.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QProcess>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <gtest/gtest.h>
#include <memory>

using wptest::child;

namespace {

// One window of the demo: the menu action that opens it, and its name.
struct DemoWindowCase {
    const char* action;
    const char* form;
};

const DemoWindowCase kWindows[] = {
    {"actPageSetup", "frmPageDlg"},
    {"actPrintPreview", "frmPrintPreview"},
    {"actHeaderFooter", "frmHeaderProperties"},
    {"actTable", "frmTableDlg"},
    {"actProperties", "frmResumeProps"},
    {"actNew", "frmResumeTitle"},
    {"actStepper", "frmStepper"},
};

// Closes a window of the library the way its user would.
void leave(QWidget* w) {
    if (auto* cancel = child<QPushButton>(w, QStringLiteral("pbCancel")))
        cancel->click();
    else if (QAction* close = w->findChild<QAction*>(QStringLiteral("966"))) // preview
        close->trigger();
    else if (QAction* reset = w->findChild<QAction*>(QStringLiteral("1091"))) // stepper
        reset->trigger();
    if (w->isVisible())
        w->close();
}

class WpDemo : public ::testing::Test {
protected:
    void SetUp() override {
        // Recent files go to a settings file of the test's own.
        qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
        QCoreApplication::setOrganizationName(QStringLiteral("wp-test"));
        QCoreApplication::setApplicationName(QStringLiteral("wpdemo"));
        // The user data folder holds the error log: a copy, so the log is ours.
        QDir().mkpath(userData());
        ASSERT_TRUE(QFile::copy(QStringLiteral(WP_USER_DATA_DIR "/app.mvdt"),
                                userData() + QStringLiteral("/app.mvdt")));
        window = std::make_unique<DemoWindow>(QStringLiteral(WP_SAMPLES_DIR), userData());
        window->resize(900, 700);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    void TearDown() override {
        if (window)
            window->setWindowModified(false); // nothing to ask at the end
        window.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    QString userData() const { return home.filePath(QStringLiteral("userdata")); }
    // A copy of a sample document in the test's folder.
    QString copyOf(const QString& sample, const QString& as) {
        const QString path = home.filePath(as);
        QFile::remove(path);
        EXPECT_TRUE(QFile::copy(QStringLiteral(WP_SAMPLES_DIR "/") + sample, path));
        QFile(path).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        return path;
    }
    void trigger(const char* action) {
        QAction* a = window->findChild<QAction*>(QLatin1String(action));
        ASSERT_NE(a, nullptr) << action;
        a->trigger();
    }
    // Opens the window of `action`, runs `step` on it while it is modal.
    void withModal(const char* action, const std::function<void(QWidget*)>& step) {
        bool seen = false;
        wptest::whenModal([&](QWidget* w) {
            seen = true;
            step(w);
            if (w->isVisible())
                leave(w);
        });
        trigger(action);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(seen) << action << " opened no window";
    }
    void forEveryWindow(const std::function<void(QWidget*)>& check);
    QString bodyText() const { return window->textControl()->document()->toPlainText(); }

    QTemporaryDir home;
    std::unique_ptr<DemoWindow> window;
};

// Every window the demo opens, the print dialog through the library's seam.
void WpDemo::forEveryWindow(const std::function<void(QWidget*)>& check) {
    for (const DemoWindowCase& c : kWindows) {
        SCOPED_TRACE(c.action);
        withModal(c.action, [&](QWidget* w) {
            EXPECT_EQ(w->objectName(), QLatin1String(c.form));
            check(w);
        });
    }
    SCOPED_TRACE("actPrint");
    bool printSeen = false;
    wp::setPrintDialogHandler([&](QPrintDialog& d) {
        printSeen = true;
        d.show();
        check(&d);
        d.hide();
        return int(QDialog::Rejected);
    });
    trigger("actPrint");
    wp::setPrintDialogHandler({});
    EXPECT_TRUE(printSeen);
}

// Each menu opens its window, titled; the demo's own window is walked as
// test_Accessibility walks the library's.
TEST_F(WpDemo, everyMenuOpensItsWindowTitledAndEveryControlIsNamed) {
    EXPECT_TRUE(window->windowTitle().contains(QStringLiteral("resume.rtf")));
    forEveryWindow([](QWidget* w) { EXPECT_FALSE(w->windowTitle().trimmed().isEmpty()); });
    // Leaving each window left the document as it was.
    EXPECT_FALSE(window->isWindowModified());
    EXPECT_EQ(wptest::walk(window.get()).faults, QStringList());
}

TEST_F(WpDemo, closingAModifiedDocumentAsksToSaveAndCancelKeepsIt) {
    const QString path = copyOf(QStringLiteral("resume.rtf"), QStringLiteral("mine.rtf"));
    ASSERT_TRUE(window->openFile(path));
    EXPECT_FALSE(window->isWindowModified());
    QTextCursor(window->textControl()->document()).insertText(QStringLiteral("Edited here. "));
    EXPECT_TRUE(window->isWindowModified());
    EXPECT_TRUE(window->windowTitle().contains(QStringLiteral("mine.rtf[*]")));
    const QByteArray before = wptest::fileBytes(path);

    auto answer = [](const char* button) {
        wptest::whenModal([button](QWidget* w) {
            EXPECT_EQ(w->objectName(), QStringLiteral("msgSaveChanges"));
            EXPECT_TRUE(qobject_cast<QMessageBox*>(w)->text().contains(QStringLiteral("mine.rtf")));
            child<QPushButton>(w, QLatin1String(button))->click();
        });
    };
    answer("pbCancel");
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isWindowModified());
    EXPECT_TRUE(bodyText().contains(QStringLiteral("Edited here.")));
    EXPECT_EQ(wptest::fileBytes(path), before);

    // Opening another document asks too, and Cancel keeps this one.
    answer("pbCancel");
    trigger("actCoverLetterTemplate");
    EXPECT_EQ(window->fileName(), path);
    EXPECT_TRUE(bodyText().contains(QStringLiteral("Edited here.")));

    answer("pbSave");
    EXPECT_TRUE(window->close());
    EXPECT_FALSE(window->isWindowModified());
    wp::TextControl saved;
    ASSERT_TRUE(saved.LoadFromFile(path)) << saved.lastError().toStdString();
    EXPECT_TRUE(saved.document()->toPlainText().contains(QStringLiteral("Edited here.")));

    // Discard closes without writing.
    window->show();
    QTextCursor(window->textControl()->document()).insertText(QStringLiteral("Draft. "));
    answer("pbDiscard");
    EXPECT_TRUE(window->close());
    ASSERT_TRUE(saved.LoadFromFile(path));
    EXPECT_FALSE(saved.document()->toPlainText().contains(QStringLiteral("Draft.")));
}

TEST_F(WpDemo, badFileIsRefusedClearlyAndRecentFilesKeepTheNewestFive) {
    wptest::MessageRecorder messages;
    const QString good = copyOf(QStringLiteral("resume.rtf"), QStringLiteral("a.rtf"));
    ASSERT_TRUE(window->openFile(good));
    const QString text = bodyText();
    const QString bad = home.filePath(QStringLiteral("broken.rtf"));
    ASSERT_TRUE(wptest::writeFile(bad, "PK\x03\x04 a zip archive, no document"));
    EXPECT_FALSE(window->openFile(bad));
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_TRUE(messages.messages[0].text.contains(QStringLiteral("broken.rtf")));
    EXPECT_EQ(window->fileName(), good);
    EXPECT_EQ(bodyText(), text);
    EXPECT_FALSE(window->recentFiles().contains(bad));

    QStringList opened;
    for (int i = 0; i < DemoWindow::MaxRecentFiles + 1; ++i) {
        opened.prepend(copyOf(QStringLiteral("cover_letter.rtf"), QStringLiteral("%1.rtf").arg(i)));
        ASSERT_TRUE(window->openFile(opened.first()));
    }
    window->openFile(opened[2]); // opened again: to the top, not twice
    QStringList expected = opened.mid(0, DemoWindow::MaxRecentFiles);
    expected.move(2, 0);
    EXPECT_EQ(window->recentFiles(), expected);
}

TEST_F(WpDemo, dialogResultsReachTheDocumentAndTheWindow) {
    wp::TextControl* tx = window->textControl();
    withModal("actPageSetup", [](QWidget* w) {
        child<QLineEdit>(w, QStringLiteral("feMargins(0)"))->setText(QStringLiteral("1.50"));
        wptest::click(w, "pbOK");
    });
    EXPECT_EQ(tx->PageMarginL(), 2160);
    EXPECT_TRUE(window->isWindowModified());

    withModal("actTable", [](QWidget* w) { wptest::click(w, "pbOK"); });
    qint16 state = 0, id = 0, last = 0;
    while ((state = tx->TableNext(state, id)) != 0)
        last = std::max(last, id);
    EXPECT_TRUE(window->statusBar()->currentMessage().contains(QString::number(last)))
        << window->statusBar()->currentMessage().toStdString();
    // The caret is in the new table now: a table there is refused, and the
    // user is told why instead of "Table 0 inserted".
    {
        wptest::MessageRecorder messages;
        withModal("actTable", [](QWidget* w) { wptest::click(w, "pbOK"); });
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_TRUE(messages.messages[0].text.contains(QStringLiteral("inside a table")));
        EXPECT_FALSE(window->statusBar()->currentMessage().contains(QStringLiteral("Table 0")));
    }

    withModal("actProperties", [](QWidget* w) {
        child<QLineEdit>(w, QStringLiteral("feSumm(1)"))->setText(QStringLiteral("Staff engineer"));
        wptest::click(w, "pbOK");
    });
    EXPECT_TRUE(tx->Tag().contains(QStringLiteral("Staff engineer")));
    EXPECT_EQ(tx->documentProperty(wp::info::Subject), QStringLiteral("Staff engineer"));

    // A new résumé, after the changes above were discarded: its title names the window.
    wptest::whenModal([](QWidget* w) {
        wptest::click(w, "pbDiscard");
        wptest::whenModal([](QWidget* title) {
            child<QLineEdit>(title, QStringLiteral("feTitle"))
                ->setText(QStringLiteral("Résumé 2027"));
            wptest::click(title, "pbOK");
        });
    });
    trigger("actNew");
    EXPECT_TRUE(window->windowTitle().startsWith(QStringLiteral("Résumé 2027")));
    EXPECT_TRUE(window->fileName().isEmpty());
    EXPECT_TRUE(bodyText().isEmpty());
    // Its title is the name the close prompt uses and Save As offers.
    QTest::keyClicks(tx->editView(), QStringLiteral("Jane"));
    QString offered;
    wptest::whenModal([&](QWidget* w) {
        EXPECT_TRUE(qobject_cast<QMessageBox*>(w)->text().contains(QStringLiteral("Résumé 2027")))
            << qobject_cast<QMessageBox*>(w)->text().toStdString();
        wptest::whenModal([&](QWidget* dialog) {
            if (auto* files = qobject_cast<QFileDialog*>(dialog))
                offered = files->selectedFiles().value(0);
            dialog->close();
        });
        wptest::click(w, "pbSave");
    });
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(offered.endsWith(QStringLiteral("/Résumé 2027.rtf"))) << offered.toStdString();
}

TEST_F(WpDemo, libraryErrorsAreLoggedAndShownWithTheWholeReport) {
    QString details;
    wptest::whenModal([&](QWidget* w) {
        EXPECT_EQ(w->objectName(), QStringLiteral("errsErrorDialog"));
        details = qobject_cast<QMessageBox*>(w)->detailedText();
        wptest::click(w, "pbOK");
    });
    QString xml = QStringLiteral("<page><page_size width=");
    EXPECT_EQ(wptest::errorOf([&] { window->wp()->PageDialogShow(xml); }).number, 65535);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !details.isEmpty(); }, 5000));
    // One dialog for the failure, with every report on its way up.
    EXPECT_TRUE(details.contains(QStringLiteral("Procedure: PageDialogShow")));
    EXPECT_TRUE(details.contains(QStringLiteral("Module: clsWP")));
    EXPECT_TRUE(details.contains(QStringLiteral("<Variables>")));
    QFile log(window->errorLogPath());
    ASSERT_TRUE(log.open(QIODevice::ReadOnly)) << window->errorLogPath().toStdString();
    const QString logged = QString::fromUtf8(log.readAll());
    EXPECT_TRUE(logged.contains(QStringLiteral("Procedure: PageDialogShow")));
    EXPECT_EQ(logged.count(QStringLiteral("=== ")), details.count(QStringLiteral("=== ")));
}

} // namespace

// Started without a display, as from a plain terminal or over ssh: help
// and screenshots come out offscreen instead of Qt's abort, with none of
// Qt's start-up notes on the terminal.
TEST(WpDemoProcess, withoutADisplayHelpAndScreenshotsRunOffscreenAndQuietly) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QLatin1String(name));
    QTemporaryDir shots;
    const QString exe = QCoreApplication::applicationDirPath() + QStringLiteral("/../wpdemo");
    for (const QStringList& args :
         {QStringList{"--help"}, QStringList{"--samples", WP_SAMPLES_DIR, "--screenshots",
                                             shots.path(), "--hidpi-only"}}) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(exe, args);
        ASSERT_TRUE(p.waitForFinished(120000)) << args.join(u' ').toStdString();
        EXPECT_EQ(p.exitCode(), 0) << args.join(u' ').toStdString();
        EXPECT_EQ(QString::fromLocal8Bit(p.readAllStandardError()), QString());
        EXPECT_FALSE(p.readAllStandardOutput().isEmpty());
    }
    EXPECT_FALSE(QDir(shots.path()).entryList({QStringLiteral("*.png")}).isEmpty());
}
