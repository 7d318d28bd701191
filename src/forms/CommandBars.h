#pragma once
// The shared toolbar-button routine and the icons that windows give their
// toolbars.

#include <QHash>
#include <QIcon>
#include <QObject>
#include <QVariant>
#include <optional>

class QAction;
class QToolBar;

namespace wp::modWP {

/// Image manager of a window: icons by id for its toolbars.
class ImageManager : public QObject {
    Q_OBJECT
public:
    explicit ImageManager(QObject* parent = nullptr);
    void SetIcon(qint32 id, const QIcon& icon);
    QIcon Icon(qint32 id) const;
    bool HasIcon(qint32 id) const;

private:
    QHash<qint32, QIcon> m_icons;
};

/// Control type and button style codes of the command bars.
constexpr qint32 xtpControlButton = 1;
constexpr qint32 xtpControlLabel = 8;
constexpr qint32 xtpButtonAutomatic = 0;
constexpr qint32 xtpButtonCaption = 1;
constexpr qint32 xtpButtonIcon = 2;
constexpr qint32 xtpButtonIconAndCaption = 3;

/// Adds one command to a toolbar with all its properties. The action's
/// objectName is the command id; `vParms` is stored only when given.
QAction* AddButton(QToolBar* ctls, qint32 typ, qint32 ID, const QString& sCaption, bool bGroup,
                   const QString& sDesc, qint32 ButtonStyle, const QString& category, bool bEnabled,
                   qint32 lngIconID, const std::optional<QVariant>& vParms, bool bVisible);

} // namespace wp::modWP
