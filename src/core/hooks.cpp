#include "wp/hooks.h"

#include <QApplication>
#include <QHash>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>

namespace wp {

namespace {
QHash<QString, std::function<QObject*()>>& registry() {
    static QHash<QString, std::function<QObject*()>> components;
    return components;
}
MessageBoxHandler& messageHandler() {
    static MessageBoxHandler handler;
    return handler;
}
PrintDialogHandler& printHandler() {
    static PrintDialogHandler handler;
    return handler;
}
// The error component's contract: two members that the library reaches by
// name only, so they stay an invokable method and a property.
class SinkErrorComponent : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Action READ Action)
public:
    SinkErrorComponent(ErrorSink sink, std::function<QString()> action)
        : m_sink(std::move(sink)), m_action(std::move(action)) {}
    Q_INVOKABLE void ErrorHandler(int number, const QString& component, const QString& module,
                                  const QString& procedure, const QString& description, int line,
                                  const QString& variables, const QString& version) {
        if (m_sink)
            m_sink({number, component, module, procedure, description, line, variables, version});
    }
    QString Action() const { return m_action ? m_action() : QStringLiteral("continue"); }

private:
    ErrorSink m_sink;
    std::function<QString()> m_action;
};
} // namespace

void registerErrorSink(ErrorSink sink, std::function<QString()> action) {
    registerComponent(QStringLiteral("errs.Error"),
                      [sink = std::move(sink), action = std::move(action)]() -> QObject* {
                          return new SinkErrorComponent(sink, action);
                      });
}

void registerComponent(const QString& progId, std::function<QObject*()> factory) {
    registry().insert(progId.toLower(), std::move(factory));
}

void unregisterComponent(const QString& progId) {
    registry().remove(progId.toLower());
}

QObject* createComponent(const QString& progId) {
    const auto it = registry().constFind(progId.toLower());
    if (it == registry().constEnd() || !*it)
        return nullptr;
    return (*it)();
}

void setMessageBoxHandler(MessageBoxHandler handler) {
    messageHandler() = std::move(handler);
}

int MsgBox(const QString& text, int style, const QString& title) {
    if (messageHandler())
        return messageHandler()(text, style, title);
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (style & 0x70) {
    case mb::Critical:
        icon = QMessageBox::Critical;
        break;
    case mb::Question:
        icon = QMessageBox::Question;
        break;
    case mb::Exclamation:
        icon = QMessageBox::Warning;
        break;
    case mb::Information:
        icon = QMessageBox::Information;
        break;
    default:
        break;
    }
    const QString caption = title.isEmpty() ? QStringLiteral("wp") : title;
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        // No widgets to show it with: a console host still learns what happened.
        qWarning("%s: %s", qPrintable(caption), qPrintable(text));
        return 1;
    }
    QMessageBox box(icon, caption, text, QMessageBox::Ok);
    box.exec();
    return 1;
}

namespace {
QPrinter* g_printer = nullptr;
void dropPrinter() {
    delete g_printer;
    g_printer = nullptr;
}
} // namespace

QPrinter& currentPrinter() {
    // Made on first use, after the application object (a QPrinter asks the
    // print system for its default queue), and dropped with that object,
    // while the print system is still there.
    if (!g_printer) {
        g_printer = new QPrinter(QPrinter::HighResolution);
        g_printer->setFullPage(true);
        qAddPostRoutine(dropPrinter);
    }
    return *g_printer;
}

void setPrintDialogHandler(PrintDialogHandler handler) {
    printHandler() = std::move(handler);
}

int ExecPrintDialog(QPrintDialog& dialog) {
    if (printHandler())
        return printHandler()(dialog);
    return dialog.exec();
}

} // namespace wp

#include "hooks.moc"
