#include "core/modWP.h"

#include "core/Dump.h"

#include <QAction>
#include <QDialog>
#include <QEventLoop>
#include <QLocale>
#include <QToolBar>
#include <QToolButton>

namespace wp::modWP {

KXmlRef g_kxmlEnv;
KXmlRef g_kxmlJdata;
KXmlRef g_kxmlOptions;
QString g_strVerIE;
QString g_strEnv;
QString g_strMorvaleVersion;
QString g_strID;
bool g_blnInIDE = false;
QString g_strUser;
QString g_strDataDir;
QString g_strInstDir;
QString g_strAllUsersMorvaleDataDir;
QString g_strThisUserMorvaleDataDir;
bool g_blnSilent = false;
QString gstrReturnXML;
qint16 g_intMeasurement = 0;

QString DumpGlobals() {
    using dump::var;
    QString out;
    out += var(QStringLiteral("g_kxmlEnv"), g_kxmlEnv);
    out += var(QStringLiteral("g_kxmlJdata"), g_kxmlJdata);
    out += var(QStringLiteral("g_kxmlOptions"), g_kxmlOptions);
    out += var(QStringLiteral("g_strVerIE"), g_strVerIE);
    out += var(QStringLiteral("g_strEnv"), g_strEnv);
    out += var(QStringLiteral("g_strMorvaleVersion"), g_strMorvaleVersion);
    out += var(QStringLiteral("g_strID"), g_strID);
    out += var(QStringLiteral("g_blnInIDE"), g_blnInIDE);
    out += var(QStringLiteral("g_strUser"), g_strUser);
    out += var(QStringLiteral("g_strDataDir"), g_strDataDir);
    out += var(QStringLiteral("g_strInstDir"), g_strInstDir);
    out += var(QStringLiteral("g_strAllUsersMorvaleDataDir"), g_strAllUsersMorvaleDataDir);
    out += var(QStringLiteral("g_strThisUserMorvaleDataDir"), g_strThisUserMorvaleDataDir);
    out += var(QStringLiteral("g_blnSilent"), g_blnSilent);
    out += var(QStringLiteral("gstrReturnXML"), gstrReturnXML);
    out += var(QStringLiteral("g_intMeasurement"), g_intMeasurement);
    return out;
}

QString LibraryVersion() {
    // File version 1.0.0.77: major, minor and revision (the fourth field).
    return QStringLiteral(WP_VERSION_TEXT);
}

void ResetGlobals() {
    g_kxmlEnv.reset();
    g_kxmlJdata.reset();
    g_kxmlOptions.reset();
    g_strVerIE.clear();
    g_strEnv.clear();
    g_strMorvaleVersion.clear();
    g_strID.clear();
    g_blnInIDE = false;
    g_strUser.clear();
    g_strDataDir.clear();
    g_strInstDir.clear();
    g_strAllUsersMorvaleDataDir.clear();
    g_strThisUserMorvaleDataDir.clear();
    g_blnSilent = false;
    gstrReturnXML.clear();
    g_intMeasurement = 0;
}

bool ToBoolean(const QString& text) {
    const QString t = text.trimmed();
    if (t.compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QStringLiteral("false"), Qt::CaseInsensitive) == 0)
        return false;
    bool ok = false;
    const double number = QLocale::c().toDouble(t, &ok);
    if (!ok)
        raise(err::TypeMismatch);
    return number != 0.0;
}

void ShowModal(QWidget* window) {
    if (!window)
        raise(err::ObjectNotSet);
    window->setParent(nullptr, window->windowFlags());
    if (auto* dialog = qobject_cast<QDialog*>(window)) {
        // Hiding or unloading the window (its own buttons do) ends exec().
        dialog->exec();
        return;
    }
    QPointer<QWidget> guard(window);
    window->setWindowModality(Qt::ApplicationModal);
    window->setAttribute(Qt::WA_ShowModal, true);
    QEventLoop loop;
    QObject::connect(window, &QObject::destroyed, &loop, &QEventLoop::quit);
    window->show();
    while (guard && guard->isVisible())
        loop.processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::DialogExec);
}

} // namespace wp::modWP
