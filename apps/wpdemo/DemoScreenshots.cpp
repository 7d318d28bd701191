// The demo's screenshots: the main window, the editor and every dialog on
// the sample data, each grabbed as the user would see it.
#include "DemoWindow.h"

#include "ErrorLog.h"

#include "dialogs/frmHeaderProperties.h"
#include "dialogs/frmPageDlg.h"
#include "dialogs/frmResumeProps.h"
#include "dialogs/frmResumeTitle.h"
#include "dialogs/frmTableDlg.h"
#include "preview/frmPrintPreview.h"
#include "preview/modPrintDlg.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>
#include <QTimer>

namespace {
// Saves a grab of `w` as dir/name; the path, or "" when it cannot be written.
QString saveGrab(QWidget* w, const QString& dir, const QString& name) {
    QCoreApplication::processEvents();
    const QString path = dir + QLatin1Char('/') + name;
    if (w->grab().save(path))
        return path;
    qWarning("wpdemo: cannot write %s", qPrintable(path));
    return QString();
}
} // namespace

QString DemoWindow::editorScreenshot(const QString& dir, const QString& suffix) {
    // The editing view with its caret in the first list, the photo above it.
    activateWindow();
    m_tx->setFocus();
    QCoreApplication::processEvents();
    for (QTextBlock b = m_tx->document()->begin(); b.isValid(); b = b.next())
        if (b.textList()) {
            QTextCursor c(b);
            c.movePosition(QTextCursor::EndOfWord);
            m_tx->setTextCursor(c);
            break;
        }
    const QString path =
        saveGrab(m_tx->editView(), dir, QStringLiteral("wpdemo-editor%1.png").arg(suffix));
    m_tx->setCurrentInputPosition(1, 1, 0);
    return path;
}

QStringList DemoWindow::previewScreenshots(const QString& dir, const QString& suffix) {
    QStringList paths;
    // Driven from inside its modal loop, as a user would: grab, switch, grab.
    auto* timer = new QTimer(this);
    timer->setInterval(20);
    int waited = 0;
    connect(timer, &QTimer::timeout, this, [&, timer] {
        auto* preview = qobject_cast<wp::frmPrintPreview*>(QApplication::activeModalWidget());
        if (!preview || !preview->isVisible()) {
            if (++waited > 250)
                timer->stop();
            return;
        }
        timer->stop();
        auto shot = [&](const QString& name) {
            const QString path = saveGrab(preview, dir, name + suffix + QStringLiteral(".png"));
            if (!path.isEmpty())
                paths << path;
        };
        auto run = [&](qint32 id) {
            if (QAction* a = preview->findChild<QAction*>(QString::number(id)))
                a->trigger();
        };
        preview->resize(900, 760);
        shot(QStringLiteral("frmPrintPreview"));
        run(wp::frmPrintPreview::ID_TWOPAGES);
        shot(QStringLiteral("frmPrintPreview-two"));
        run(wp::frmPrintPreview::ID_TWOPAGES);
        run(wp::frmPrintPreview::ID_ZOOMIN);
        run(wp::frmPrintPreview::ID_ZOOMIN);
        shot(QStringLiteral("frmPrintPreview-100"));
        run(wp::frmPrintPreview::ID_CLOSE);
    });
    timer->start();
    printPreview();
    delete timer;
    return paths;
}

QString DemoWindow::printDialogScreenshot(const QString& dir) {
    // The print dialog as File > Print prepares it, grabbed and cancelled.
    QString path;
    wp::setPrintDialogHandler([&](QPrintDialog& dialog) {
        dialog.show();
        path = saveGrab(&dialog, dir, QStringLiteral("QPrintDialog.png"));
        dialog.hide();
        return int(QDialog::Rejected);
    });
    print();
    wp::setPrintDialogHandler({});
    return path;
}

QStringList DemoWindow::messageScreenshots(const QString& dir) {
    QStringList paths;
    auto shot = [&](QMessageBox* box, const QString& name) {
        box->show();
        const QString path = saveGrab(box, dir, name);
        box->hide();
        if (!path.isEmpty())
            paths << path;
    };
    shot(saveChangesBox().get(), QStringLiteral("msgSaveChanges.png"));
    // A failure as the library reports it: a page XML the dialog cannot read.
    const QString report = ErrorLog::format(
        65535, QStringLiteral("wp"), QStringLiteral("clsWP"), QStringLiteral("PageDialogShow"),
        QStringLiteral("Application-defined or object-defined error"), 0,
        QStringLiteral("<Variables>\r\n<LocalVariables>\r\n<strResultXML></strResultXML>\r\n"
                       "</LocalVariables>\r\n...</Variables>"),
        m_wp->Version());
    shot(m_errors
             ->dialog(QStringLiteral("Application-defined or object-defined error\n\nModule: "
                                     "frmPageDlg\nProcedure: PageSetup\nError number: 65535"),
                      report)
             .get(),
         QStringLiteral("errsErrorDialog.png"));
    return paths;
}

QStringList DemoWindow::writeScreenshots(const QString& dir, bool hiDpiOnly) {
    QDir().mkpath(dir);
    m_errors->setInteractive(false); // nobody is there to close an error dialog
    QStringList paths;
    auto add = [&paths](const QString& path) {
        if (!path.isEmpty())
            paths << path;
    };
    if (hiDpiOnly) {
        add(editorScreenshot(dir, QStringLiteral("@2x")));
        paths << previewScreenshots(dir, QStringLiteral("@2x"));
        return paths;
    }
    add(saveGrab(this, dir, QStringLiteral("wpdemo.png")));
    add(editorScreenshot(dir, QString()));
    {
        // Loaded with the document's page, drawn without running it modally.
        wp::frmPageDlg page;
        page.Load(pageXml());
        add(saveGrab(&page, dir, QStringLiteral("frmPageDlg.png")));
    }
    paths << previewScreenshots(dir, QString());
    add(printDialogScreenshot(dir));
    paths << stepperScreenshots(dir);
    paths << messageScreenshots(dir);
    {
        // Loaded from a copy of the page format: loading may switch the
        // header and footer on, and a screenshot must not change the document.
        wp::TextControl copy;
        copy.setPageFormat(m_tx->pageFormat());
        wp::frmHeaderProperties header;
        header.setTx(&copy);
        header.Load();
        add(saveGrab(&header, dir, QStringLiteral("frmHeaderProperties.png")));
    }
    {
        wp::frmTableDlg table;
        table.Load();
        add(saveGrab(&table, dir, QStringLiteral("frmTableDlg.png")));
    }
    {
        // The properties of the sample résumé, one picture a tab.
        wp::frmResumeProps props;
        props.Load(m_tx->Tag());
        auto* tabs = props.findChild<QTabWidget*>(QStringLiteral("tabProps"));
        props.show();
        for (int i = 0; tabs && i < tabs->count(); ++i) {
            tabs->setCurrentIndex(i);
            add(saveGrab(
                &props, dir,
                QStringLiteral("frmResumeProps-%1.png").arg(tabs->widget(i)->objectName())));
        }
        props.hide();
    }
    {
        wp::frmResumeTitle title;
        if (auto* field = title.findChild<QLineEdit*>(QStringLiteral("feTitle")))
            field->setText(QStringLiteral("Résumé for Northwind, 2026"));
        add(saveGrab(&title, dir, QStringLiteral("frmResumeTitle.png")));
    }
    return paths;
}
