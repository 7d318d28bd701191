// An outside program: creates clsWP, reads the version, and receives the
// report of a bad environment through its own "errs.Error" component.
#include <wp/wp.h>

#include <QCoreApplication>
#include <cstdio>

class ErrorSink : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Action READ Action)
public:
    static inline int reports = 0;
    static inline QString procedure;
    Q_INVOKABLE void ErrorHandler(int number, const QString&, const QString&, const QString& proc,
                                  const QString&, int, const QString&, const QString&) {
        ++reports;
        procedure = proc;
        std::printf("report %d from %s\n", number, qPrintable(proc));
    }
    QString Action() const { return QStringLiteral("log"); }
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    wp::registerComponent("errs.Error", [] { return new ErrorSink; });
    wp::clsWP host;
    std::printf("version %s\n", qPrintable(host.Version()));
    if (host.Version() != QStringLiteral("1.0.77"))
        return 1;
    try {
        host.setEnvXML("<env><user>x</user></env>");
        return 2;
    } catch (const wp::Error& e) {
        std::printf("failed with %d\n", e.number);
        if (e.number != 65535)
            return 3;
    }
    return ErrorSink::reports == 1 && ErrorSink::procedure == "EnvXML" ? 0 : 4;
}

#include "host.moc"
