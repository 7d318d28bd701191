#include "wp/clsWP.h"

#include "core/modWP.h"
#include "dialogs/frmHeaderProperties.h"
#include "dialogs/frmPageDlg.h"
#include "dialogs/frmResumeProps.h"
#include "dialogs/frmResumeTitle.h"
#include "dialogs/frmTableDlg.h"
#include "errors/modvbCodeShieldSupport.h"
#include "host/modStartup.h"
#include "preview/frmPrintPreview.h"
#include "stepper/frmStepper.h"
#include "wp/TextControl.h"

#include <QMetaMethod>
#include <QScopeGuard>

namespace wp {

using modvbCodeShieldSupport::Guard;
using namespace modWP;

namespace {
// clsWP's own members in reports: the one field it keeps.
class ClsWPVariables : public modvbCodeShieldSupport::ModuleVariables {
public:
    explicit ClsWPVariables(const QPointer<QObject>& tx) : m_tx(tx) {}
    QString DumpModuleVariables() const override {
        return dump::var(QStringLiteral("m_tx"), m_tx.data());
    }

private:
    const QPointer<QObject>& m_tx;
};

// The steps every dialog function shares: the guard (reporting clsWP's member,
// the `strXML` argument and, where named, the result as a local), and the
// window's one library-wide instance, created on first use when `open` asks
// for it (so a check that fails first leaves no window behind). `open` hands
// the window its input and runs it modally; its string is the result. A
// window that shows itself (PageSetup) does so inside `open`; for the others
// `open` calls ShowModal.
template <class Form, class Open>
QString GuardedDialog(const char* procedure, const QPointer<QObject>& tx, QString& strXML,
                      Open&& open, const char* resultName = nullptr) {
    QString result;
    ClsWPVariables members(tx);
    Guard g("clsWP", procedure, &members);
    g.param(QStringLiteral("strXML"), strXML);
    if (resultName)
        g.local(QString::fromLatin1(resultName), result);
    return g.run([&] {
        result = open([]() -> Form& { return FormInstance<Form>::get(); });
        return result;
    });
}
} // namespace

clsWP::clsWP(QObject* parent) : QObject(parent) {
    modStartup::Main();
}

clsWP::~clsWP() = default;

QString clsWP::Version() const {
    return LibraryVersion();
}

static KXmlRef loadedDocument(const QString& text) {
    auto doc = std::make_shared<KXml>();
    doc->LoadXml(text); // a text that does not parse leaves an empty document
    return doc;
}

void clsWP::setRuntimeXML(const QString& vData) {
    g_kxmlJdata = loadedDocument(vData);
}

void clsWP::setOptsXML(const QString& vData) {
    g_kxmlOptions = loadedDocument(vData);
}

QString clsWP::EnvXML() const {
    return g_strEnv;
}

void clsWP::setEnvXML(const QString& vData) {
    KXmlRef kxmlNode;
    ClsWPVariables members(m_tx);
    Guard g("clsWP", "EnvXML", &members);
    g.local(QStringLiteral("kxmlNode"), kxmlNode).param(QStringLiteral("vData"), vData);
    g.run([&] {
        // Kept first, so that the text reads back even when the rest fails.
        g_strEnv = vData;
        kxmlNode = std::make_shared<KXml>();
        kxmlNode->LoadXml(vData);
        g_strMorvaleVersion = kxmlNode->ChildValue(QStringLiteral("app_ver"));
        g_strID = kxmlNode->ChildValue(QStringLiteral("app_id"));
        g_blnInIDE = ToBoolean(kxmlNode->ChildValue(QStringLiteral("in_ide")));
        g_strUser = kxmlNode->ChildValue(QStringLiteral("user"));
        g_strInstDir = kxmlNode->ChildValue(QStringLiteral("install_dir"));
        g_strDataDir = kxmlNode->ChildValue(QStringLiteral("data_dir"));
        g_strThisUserMorvaleDataDir =
            kxmlNode->ChildValue(QStringLiteral("this_user_app_data_dir"));
        g_strAllUsersMorvaleDataDir =
            kxmlNode->ChildValue(QStringLiteral("all_users_app_data_dir"));
        if (kxmlNode->HasChild(QStringLiteral("silent")))
            g_blnSilent = ToBoolean(kxmlNode->ChildValue(QStringLiteral("silent")));
        else
            g_blnSilent = false;
        kxmlNode.reset();
    });
}

TextControl* clsWP::tx() const {
    return qobject_cast<TextControl*>(m_tx.data());
}

void clsWP::setTx(TextControl* vData) {
    m_tx = vData;
}

QObject* clsWP::txObject() const {
    return m_tx.data();
}

void clsWP::setTxObject(QObject* object) {
    m_tx = object;
}

void clsWP::setMeasurementUnits(qint16 vData) {
    g_intMeasurement = vData;
}

QString clsWP::runtimeXml() const {
    return g_kxmlJdata ? g_kxmlJdata->Xml() : QString();
}

QString clsWP::optsXml() const {
    return g_kxmlOptions ? g_kxmlOptions->Xml() : QString();
}

int clsWP::measurementUnits() const {
    return g_intMeasurement;
}

void clsWP::putMeasurementUnits(int vData) {
    Invoke(DISPID_MeasurementUnits, {vData}, InvokeKind::PropertyPut);
}

QString clsWP::PageDialogShow(QString& strXML) {
    return GuardedDialog<frmPageDlg>(
        "PageDialogShow", m_tx, strXML, [&](auto form) { return form().PageSetup(strXML); },
        "strResultXML");
}

QString clsWP::HeaderPropertiesShow(QString& strXML) {
    return GuardedDialog<frmHeaderProperties>("HeaderPropertiesShow", m_tx, strXML, [&](auto form) {
        form().setTx(tx());
        form().ShowDialog();
        return QString();
    });
}

QString clsWP::TableDialogShow(QString& strXML) {
    return GuardedDialog<frmTableDlg>("TableDialogShow", m_tx, strXML, [&](auto form) {
        form().setTx(tx());
        form().ShowDialog();
        return gstrReturnXML;
    });
}

QString clsWP::PrintPreviewShow(QString& strXML) {
    return GuardedDialog<frmPrintPreview>("PrintPreviewShow", m_tx, strXML, [&](auto form) {
        form().ShowPreview(tx());
        return QString();
    });
}

QString clsWP::CoverLetterStepper(QString& strXML) {
    return GuardedDialog<frmStepper>("CoverLetterStepper", m_tx, strXML, [&](auto form) {
        // The window goes after every call, so the next one builds it afresh.
        auto release = qScopeGuard([] { FormInstance<frmStepper>::release(); });
        frmStepper& stepper = form();
        stepper.setTx(tx());
        stepper.DoStepper(QStringLiteral("keyStepFirst"));
        ShowModal(&stepper);
        return QString();
    });
}

QString clsWP::ResumePropertiesShow(QString& strXML) {
    return GuardedDialog<frmResumeProps>(
        "ResumePropertiesShow", m_tx, strXML,
        [&](auto form) {
            // The control is reached by name, as any late-bound host object.
            if (!m_tx)
                raise(err::ObjectNotSet);
            const QString strTag = m_tx->property("Tag").toString();
            return form().ShowProperties(strTag);
        },
        "sXML");
}

QString clsWP::ResumeTitleRetrieve(QString& strXML) {
    Q_UNUSED(strXML);
    // No handler here: a failure reaches the host as it is.
    return FormInstance<frmResumeTitle>::get().ShowForm();
}

QVariant clsWP::Invoke(qint32 dispid, const QVariantList& args, InvokeKind kind) {
    auto arg = [&](int i) -> QVariant {
        if (i >= args.size())
            raise(err::InvalidProcedureCall);
        return args.at(i);
    };
    switch (dispid) {
    case DISPID_Version:
        if (kind == InvokeKind::PropertyPut)
            break;
        return Version();
    case DISPID_RuntimeXML:
        if (kind != InvokeKind::PropertyPut)
            break;
        setRuntimeXML(arg(0).toString());
        return {};
    case DISPID_OptsXML:
        if (kind != InvokeKind::PropertyPut)
            break;
        setOptsXML(arg(0).toString());
        return {};
    case DISPID_EnvXML:
        if (kind == InvokeKind::PropertyPut) {
            setEnvXML(arg(0).toString());
            return {};
        }
        return EnvXML();
    case DISPID_tx:
        if (kind == InvokeKind::PropertyPut) {
            setTxObject(arg(0).value<QObject*>());
            return {};
        }
        return QVariant::fromValue(txObject());
    case DISPID_MeasurementUnits: {
        if (kind != InvokeKind::PropertyPut)
            break;
        bool ok = false;
        const qlonglong v = arg(0).toLongLong(&ok);
        if (!ok)
            raise(err::TypeMismatch);
        if (v < -32768 || v > 32767)
            raise(err::Overflow);
        setMeasurementUnits(static_cast<qint16>(v));
        return {};
    }
    default: {
        // The dialog functions: found by their dispatch id in the member table.
        const char* name = nullptr;
        switch (dispid) {
        case DISPID_HeaderPropertiesShow:
            name = "HeaderPropertiesShow";
            break;
        case DISPID_PageDialogShow:
            name = "PageDialogShow";
            break;
        case DISPID_PrintPreviewShow:
            name = "PrintPreviewShow";
            break;
        case DISPID_ResumePropertiesShow:
            name = "ResumePropertiesShow";
            break;
        case DISPID_TableDialogShow:
            name = "TableDialogShow";
            break;
        case DISPID_CoverLetterStepper:
            name = "CoverLetterStepper";
            break;
        case DISPID_ResumeTitleRetrieve:
            name = "ResumeTitleRetrieve";
            break;
        default:
            break;
        }
        if (!name || kind != InvokeKind::Method)
            break;
        const int index = metaObject()->indexOfMethod(QByteArray(name) + "(QString&)");
        if (index < 0)
            break;
        QString strXML = args.isEmpty() ? QString() : args.first().toString();
        QString result;
        metaObject()->method(index).invoke(this, Qt::DirectConnection,
                                           Q_RETURN_ARG(QString, result), Q_ARG(QString&, strXML));
        return result;
    }
    }
    throw Error(438, QStringLiteral("wp"),
                QStringLiteral("Object doesn't support this property or method"));
}

} // namespace wp
