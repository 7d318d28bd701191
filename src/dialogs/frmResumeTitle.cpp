#include "dialogs/frmResumeTitle.h"

#include "core/modWP.h"
#include "wp/hooks.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace wp {

using forms::ignoringFailure;
using modvbCodeShieldSupport::Guard;

frmResumeTitle::frmResumeTitle(QWidget* parent)
    : Form("frmResumeTitle", QStringLiteral("Resume Title"), parent) {
    BuildControls();
}

frmResumeTitle::~frmResumeTitle() = default;

void frmResumeTitle::BuildControls() {
    const forms::TwipsToPixels tw;
    setFont(QFont(QStringLiteral("Arial"), 8));

    cjlblDesc = new QLabel(QStringLiteral("The resume title is the name of the resume as it will "
                                          "appear on the resume tree when viewing your resumes.  "
                                          "Provide a unique name."),
                           this);
    cjlblDesc->setObjectName(QStringLiteral("cjlblDesc"));
    cjlblDesc->setWordWrap(true);
    cjlblDesc->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    cjlblDesc->setGeometry(tw.rect(120, 120, 5055, 615));
    cjlblTitle = new QLabel(QStringLiteral("Resume Title:"), this);
    cjlblTitle->setObjectName(QStringLiteral("cjlblTitle"));
    cjlblTitle->setGeometry(tw.rect(120, 900, 1095, 300));
    feTitle = new QLineEdit(this);
    feTitle->setObjectName(QStringLiteral("feTitle"));
    feTitle->setGeometry(tw.rect(1200, 900, 3975, 300));
    cjlblTitle->setBuddy(feTitle);
    watch(feTitle, [this](QEvent* e) {
        if (forms::keyAscii(e) == 13)
            ignoringFailure([this] { feTitle_KeyPress(13); });
        return false; // the key goes on to the field
    });

    pbOK = new QPushButton(QStringLiteral("Save"), this);
    pbOK->setObjectName(QStringLiteral("pbOK"));
    pbOK->setGeometry(tw.rect(2760, 1440, 1095, 375));
    pbCancel = new QPushButton(QStringLiteral("Cancel"), this);
    pbCancel->setObjectName(QStringLiteral("pbCancel"));
    pbCancel->setGeometry(tw.rect(4080, 1440, 1095, 375));
    setCancelButton(pbCancel);
    // Enter is the title field's own key (it saves there): no default button
    // may answer it a second time.
    for (QPushButton* b : {pbOK, pbCancel}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
    setFixedSize(tw.x(120 + 5055 + 120), tw.y(1440 + 375 + 120));
    setTabOrder(feTitle, pbOK);
    setTabOrder(pbOK, pbCancel);

    // The click handlers have no error handler of their own; what fails in
    // them has been reported by SaveCancel and ends here, not in Qt's loop.
    connect(pbOK, &QPushButton::clicked, this,
            [this] { ignoringFailure([this] { pbOK_Click(); }); });
    connect(pbCancel, &QPushButton::clicked, this,
            [this] { ignoringFailure([this] { pbCancel_Click(); }); });
}

QString frmResumeTitle::DumpModuleVariables() const {
    return dump::var(QStringLiteral("m_sResumeTitle"), m_sResumeTitle);
}

bool frmResumeTitle::IsBlankTitle(const QString& text) {
    // Tabs and other white space count as a title: only spaces are cut.
    for (const QChar c : text)
        if (c != QLatin1Char(' '))
            return false;
    return true;
}

QString frmResumeTitle::ShowForm() {
    Guard g("frmResumeTitle", "ShowForm", this);
    return g.run([&] {
        ShowLoaded([] {});
        return m_sResumeTitle;
    });
}

void frmResumeTitle::SaveCancel(qint16 index) {
    Guard g("frmResumeTitle", "SaveCancel", this);
    g.param(QStringLiteral("index"), index);
    g.run([&] {
        m_sResumeTitle.clear();
        switch (index) {
        case 0:
            Unload();
            break;
        case 1:
            if (IsBlankTitle(feTitle->text())) {
                MsgBox(QStringLiteral("Please provide a title for the resume.  Thank you."),
                       mb::Information, QStringLiteral("Missing Title"));
                break;
            }
            m_sResumeTitle = feTitle->text();
            Unload();
            break;
        default:
            break;
        }
    });
}

void frmResumeTitle::Form_Activate() {
    Guard g("frmResumeTitle", "Form_Activate", this);
    g.runEvent([&] {
        // The focus is a courtesy: a window that cannot take it still works.
        if (feTitle->isVisible())
            feTitle->setFocus(Qt::ActiveWindowFocusReason);
    });
}

void frmResumeTitle::Form_Unload() {
    // No handler of its own: the next call gets a fresh window with an empty field.
    DropLibraryInstance();
}

void frmResumeTitle::feTitle_KeyPress(int KeyAscii) {
    if (KeyAscii == 13)
        SaveCancel(1);
}

void frmResumeTitle::pbOK_Click() {
    SaveCancel(1);
}

void frmResumeTitle::pbCancel_Click() {
    SaveCancel(0);
}

} // namespace wp
