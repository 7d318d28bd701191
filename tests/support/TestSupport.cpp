#include "support/TestSupport.h"

#include "wp/hooks.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <memory>

namespace wptest {

MessageRecorder::MessageRecorder() {
    wp::setMessageBoxHandler([this](const QString& text, int style, const QString& title) {
        messages.push_back({text, style, title});
        return 1;
    });
}

MessageRecorder::~MessageRecorder() {
    wp::setMessageBoxHandler({});
}

namespace {
// The component handed to the library: members reached by name only.
class RecordingErrorComponent : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Action READ Action)
public:
    explicit RecordingErrorComponent(ReportRecorder* owner) : m_owner(owner) {}
    Q_INVOKABLE void ErrorHandler(int number, const QString& component, const QString& module,
                                  const QString& procedure, const QString& description, int line,
                                  const QString& variables, const QString& version) {
        m_owner->reports.push_back(
            {number, component, module, procedure, description, line, variables, version});
    }
    QString Action() const {
        ++m_owner->actionReads;
        return m_owner->action;
    }

private:
    ReportRecorder* m_owner;
};
} // namespace

ReportRecorder::ReportRecorder(QString a) : action(std::move(a)) {
    wp::registerComponent(QStringLiteral("errs.Error"),
                          [this]() -> QObject* { return new RecordingErrorComponent(this); });
}

ReportRecorder::~ReportRecorder() {
    wp::unregisterComponent(QStringLiteral("errs.Error"));
}

void whenModal(std::function<void(QWidget*)> step, int timeoutMs) {
    auto* timer = new QTimer;
    auto elapsed = std::make_shared<QElapsedTimer>();
    elapsed->start();
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, step, elapsed, timeoutMs] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal->isVisible()) {
            timer->stop();
            timer->deleteLater();
            step(modal);
        } else if (elapsed->elapsed() > timeoutMs) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
}

} // namespace wptest

#include "TestSupport.moc"
