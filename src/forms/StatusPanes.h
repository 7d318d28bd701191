#pragma once
// A window's status bar built from panes addressed by id, with the lock-key
// indicators that show whether Caps, Num and Scroll Lock are on.

#include <QHash>
#include <QObject>
#include <QString>
#include <functional>

class QLabel;
class QStatusBar;
class QTimer;

namespace wp::modWP {

/// Pane ids of the three lock-key indicators.
constexpr qint32 ID_INDICATOR_CAPS = 59137;
constexpr qint32 ID_INDICATOR_NUM = 59138;
constexpr qint32 ID_INDICATOR_SCRL = 59139;

struct LockKeys {
    bool caps = false;
    bool num = false;
    bool scroll = false;
};
/// The lock keys as the keyboard's LEDs show them (Linux LED class devices;
/// all off where the system exposes none).
LockKeys ReadLockKeys();
/// Replaces where the indicators read the keys from (tests, hosts with
/// their own source); an empty function restores ReadLockKeys.
void setLockKeyReader(std::function<LockKeys()> reader);

class StatusPanes : public QObject {
    Q_OBJECT
public:
    /// Takes over `bar`: its idle text shows whenever no message is up.
    StatusPanes(QStatusBar* bar, const QString& idleText);

    /// A pane `width` pixels wide; a stretching pane takes the free width
    /// and is where messages and command descriptions appear. Its label is
    /// named "pane(id)".
    QLabel* AddPane(qint32 id, int width, const QString& text = QString(), bool stretch = false);
    /// One of the ID_INDICATOR_* panes: its key's name while the key is on.
    QLabel* AddIndicator(qint32 id);
    QLabel* Pane(qint32 id) const { return m_panes.value(id); }
    /// Brings the indicators up to date with the keys (also on a timer).
    void RefreshIndicators();

private:
    QStatusBar* m_bar;
    QString m_idleText;
    QHash<qint32, QLabel*> m_panes;
    QTimer* m_timer = nullptr;
};

} // namespace wp::modWP
