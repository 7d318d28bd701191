#include "forms/CommandBars.h"

#include "errors/modvbCodeShieldSupport.h"

#include <QAction>
#include <QToolBar>
#include <QToolButton>

namespace wp::modWP {

ImageManager::ImageManager(QObject* parent) : QObject(parent) {
    setObjectName(QStringLiteral("ImageManager"));
}
void ImageManager::SetIcon(qint32 id, const QIcon& icon) {
    m_icons.insert(id, icon);
}
QIcon ImageManager::Icon(qint32 id) const {
    return m_icons.value(id);
}
bool ImageManager::HasIcon(qint32 id) const {
    return m_icons.contains(id);
}

QAction* AddButton(QToolBar* ctls, qint32 typ, qint32 ID, const QString& sCaption, bool bGroup,
                   const QString& sDesc, qint32 ButtonStyle, const QString& category, bool bEnabled,
                   qint32 lngIconID, const std::optional<QVariant>& vParms, bool bVisible) {
    QAction* Control = nullptr;
    // An omitted parameter is no value at all: it cannot be shown as text.
    const dump::Writer vParmsDump = [&vParms](const QString& name, int indent) {
        if (!vParms)
            throw wp::Error(err::TypeMismatch, QStringLiteral("wp"), QString());
        return dump::var(name, *vParms, indent);
    };
    modvbCodeShieldSupport::Guard g("modWP", "AddButton");
    g.local(QStringLiteral("Control"), Control)
        .param(QStringLiteral("ctls"), ctls)
        .udtParam(QStringLiteral("typ"))
        .param(QStringLiteral("ID"), ID)
        .param(QStringLiteral("sCaption"), sCaption)
        .param(QStringLiteral("bGroup"), bGroup)
        .param(QStringLiteral("sDesc"), sDesc)
        .udtParam(QStringLiteral("ButtonStyle"))
        .param(QStringLiteral("category"), category)
        .param(QStringLiteral("bEnabled"), bEnabled)
        .param(QStringLiteral("lngIconID"), lngIconID)
        .param(QStringLiteral("vParms"), vParmsDump)
        .param(QStringLiteral("bVisible"), bVisible);
    return g.run([&]() -> QAction* {
        if (!ctls)
            raise(err::ObjectNotSet);
        if (typ != xtpControlButton && typ != xtpControlLabel)
            raise(err::InvalidProcedureCall);
        Control = new QAction(sCaption, ctls);
        Control->setObjectName(QString::number(ID));
        Control->setProperty("id", ID);
        Control->setProperty("typ", typ);
        if (bGroup)
            ctls->addSeparator();
        ctls->addAction(Control);
        Control->setProperty("BeginGroup", bGroup);
        Control->setToolTip(sDesc);
        Control->setStatusTip(sDesc);
        Control->setProperty("DescriptionText", sDesc);
        Control->setProperty("ButtonStyle", ButtonStyle);
        if (auto* button = qobject_cast<QToolButton*>(ctls->widgetForAction(Control))) {
            switch (ButtonStyle) {
            case xtpButtonCaption:
                button->setToolButtonStyle(Qt::ToolButtonTextOnly);
                break;
            case xtpButtonIcon:
                button->setToolButtonStyle(Qt::ToolButtonIconOnly);
                break;
            case xtpButtonIconAndCaption:
                button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
                break;
            default:
                button->setToolButtonStyle(Qt::ToolButtonFollowStyle);
                break;
            }
            if (typ == xtpControlLabel)
                button->setAutoRaise(true);
        }
        Control->setProperty("Category", category);
        Control->setEnabled(bEnabled);
        Control->setVisible(bVisible);
        if (vParms)
            Control->setData(*vParms);
        if (lngIconID != 0) {
            Control->setProperty("IconId", lngIconID);
            auto* images = ctls->window()->findChild<ImageManager*>();
            if (images && images->HasIcon(lngIconID))
                Control->setIcon(images->Icon(lngIconID));
        }
        return Control;
    });
}

} // namespace wp::modWP
