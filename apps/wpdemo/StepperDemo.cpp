// The demo's cover letter stepper: the sample template, the stepper over the
// current document, and its screenshots.
#include "DemoWindow.h"

#include "stepper/TemplateMerge.h"
#include "stepper/frmStepper.h"

#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QStatusBar>
#include <QTimer>

void DemoWindow::openCoverLetterTemplate() {
    openFile(m_samples + QStringLiteral("/cover_letter.rtf"));
}

void DemoWindow::coverLetterStepper() {
    QString xml;
    try {
        m_wp->CoverLetterStepper(xml);
    } catch (const wp::Error& e) {
        QMessageBox::warning(this, windowTitle(), e.description);
    }
}

QStringList DemoWindow::stepperScreenshots(const QString& dir) {
    QStringList paths;
    const QString oldFile = m_fileName;
    openCoverLetterTemplate();
    // The template's own value names: a step lacking one shows red titles.
    QStringList names;
    for (qint16 id = m_tx->FieldNext(0, 0); id; id = m_tx->FieldNext(id, 0)) {
        const QString name = m_tx->FieldData(id);
        if (!name.startsWith(QStringLiteral("current_")) &&
            !name.startsWith(QStringLiteral("followup_")))
            names << name;
    }
    auto* poll = new QTimer(this);
    poll->setInterval(20);
    connect(poll, &QTimer::timeout, this, [poll, dir, names, &paths] {
        auto* form = qobject_cast<wp::frmStepper*>(QApplication::activeModalWidget());
        if (!form || !form->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        auto shot = [&](const QString& name) {
            // The pointer of a headless run rests on a button: show the idle text.
            form->statusBar()->clearMessage();
            QApplication::processEvents();
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
    coverLetterStepper();
    if (!oldFile.isEmpty())
        openFile(oldFile);
    return paths;
}
