#include "forms/StatusPanes.h"

#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QLabel>
#include <QStatusBar>
#include <QTimer>

namespace wp::modWP {

namespace {
std::function<LockKeys()>& readerHook() {
    static std::function<LockKeys()> reader;
    return reader;
}

// Whether any LED of that function ("capslock", ...) is lit.
bool ledOn(const QString& function) {
    const QDir leds(QStringLiteral("/sys/class/leds"));
    const QStringList names =
        leds.entryList({QStringLiteral("*::") + function}, QDir::Dirs | QDir::System);
    for (const QString& name : names) {
        QFile f(leds.filePath(name) + QStringLiteral("/brightness"));
        if (f.open(QIODevice::ReadOnly) && f.readAll().trimmed().toInt() > 0)
            return true;
    }
    return false;
}

QString indicatorText(qint32 id) {
    switch (id) {
    case ID_INDICATOR_CAPS:
        return QStringLiteral("CAP");
    case ID_INDICATOR_NUM:
        return QStringLiteral("NUM");
    case ID_INDICATOR_SCRL:
        return QStringLiteral("SCRL");
    default:
        return QString();
    }
}

QString paneName(qint32 id) {
    return QStringLiteral("pane(%1)").arg(id);
}
} // namespace

LockKeys ReadLockKeys() {
    return {ledOn(QStringLiteral("capslock")), ledOn(QStringLiteral("numlock")),
            ledOn(QStringLiteral("scrolllock"))};
}

void setLockKeyReader(std::function<LockKeys()> reader) {
    readerHook() = std::move(reader);
}

StatusPanes::StatusPanes(QStatusBar* bar, const QString& idleText)
    : QObject(bar), m_bar(bar), m_idleText(idleText) {
    setObjectName(QStringLiteral("StatusPanes"));
    // A command's description shows while the mouse is on it; then the idle text returns.
    connect(bar, &QStatusBar::messageChanged, this, [this](const QString& message) {
        if (message.isEmpty() && !m_idleText.isEmpty())
            m_bar->showMessage(m_idleText);
    });
    bar->showMessage(m_idleText);
}

QLabel* StatusPanes::AddPane(qint32 id, int width, const QString& text, bool stretch) {
    auto* label = new QLabel(text, m_bar);
    label->setObjectName(paneName(id));
    label->setMinimumWidth(width);
    if (stretch) {
        m_bar->addWidget(label, 1);
    } else {
        label->setAlignment(Qt::AlignCenter);
        m_bar->addPermanentWidget(label);
    }
    m_panes.insert(id, label);
    return label;
}

QLabel* StatusPanes::AddIndicator(qint32 id) {
    const QString text = indicatorText(id);
    QLabel* label = AddPane(id, 0);
    // As wide as its text, whether the key is on or off.
    label->setMinimumWidth(QFontMetrics(label->font()).horizontalAdvance(text) + 8);
    if (!m_timer) {
        m_timer = new QTimer(this);
        m_timer->setInterval(250);
        connect(m_timer, &QTimer::timeout, this, &StatusPanes::RefreshIndicators);
        m_timer->start();
    }
    RefreshIndicators();
    return label;
}

void StatusPanes::RefreshIndicators() {
    const LockKeys keys = readerHook() ? readerHook()() : ReadLockKeys();
    const std::pair<qint32, bool> states[] = {{ID_INDICATOR_CAPS, keys.caps},
                                              {ID_INDICATOR_NUM, keys.num},
                                              {ID_INDICATOR_SCRL, keys.scroll}};
    for (const auto& [id, on] : states)
        if (QLabel* label = m_panes.value(id))
            label->setText(on ? indicatorText(id) : QString());
}

} // namespace wp::modWP
