// The demo's cover letter stepper: the sample template, the stepper over the
// current document, and its screenshots.
#include "DemoWindow.h"

#include "stepper/frmStepper.h"

#include <QAction>
#include <QApplication>
#include <QPointer>
#include <QStatusBar>
#include <QTimer>

void DemoWindow::openCoverLetterTemplate() {
    if (maybeSave())
        openFile(m_samples + QStringLiteral("/cover_letter.rtf"));
}

void DemoWindow::coverLetterStepper() {
    QString xml;
    try {
        m_wp->CoverLetterStepper(xml);
    } catch (const wp::Error&) {
        failed(QStringLiteral("The cover letter stepper"));
    }
}

QStringList DemoWindow::stepperScreenshots(const QString& dir) {
    QStringList paths;
    // The stepper runs over the template in a control of its own, so the
    // document in the editor stays as it is.
    wp::TextControl letter;
    if (!letter.LoadFromFile(m_samples + QStringLiteral("/cover_letter.rtf"))) {
        qWarning("wpdemo: cannot open the cover letter template: %s",
                 qPrintable(letter.lastError()));
        return paths;
    }
    // The template's own value names: a step lacking one shows red titles.
    QStringList names;
    for (qint16 id = letter.FieldNext(0, 0); id; id = letter.FieldNext(id, 0)) {
        const QString name = letter.FieldData(id);
        if (!name.startsWith(QStringLiteral("current_")) &&
            !name.startsWith(QStringLiteral("followup_")))
            names << name;
    }
    QPointer<QTimer> poll = new QTimer(this);
    poll->setInterval(20);
    connect(poll, &QTimer::timeout, this, [poll = poll.data(), dir, names, &paths] {
        auto* form = qobject_cast<wp::frmStepper*>(QApplication::activeModalWidget());
        if (!form || !form->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        auto shot = [&](const QString& name) {
            // The pointer of a headless run rests on a button: show the idle text.
            QApplication::processEvents();
            form->statusBar()->clearMessage();
            const QString path = dir + u'/' + name;
            if (form->grab().save(path))
                paths << path;
        };
        shot(QStringLiteral("frmStepper.png"));
        qint32 missing = 0;
        for (qint32 i = 0; i < form->StepCount() && !missing; ++i)
            for (const QString& name : names)
                if (form->Steps()->ChildAt(i)->ChildValue(name).isEmpty()) {
                    missing = i + 1;
                    break;
                }
        if (missing > 1) {
            for (qint32 k = 1; k < missing; ++k)
                form->DoStepper(QStringLiteral("keyStepNext"));
            shot(QStringLiteral("frmStepper-missing.png"));
        }
        form->findChild<QAction*>(QStringLiteral("1091"))->trigger();
    });
    poll->start();
    m_wp->setTx(&letter);
    coverLetterStepper();
    m_wp->setTx(m_tx);
    delete poll; // still there when the stepper never came up
    return paths;
}
