#pragma once
// The library's one public class: takes the host's environment, options,
// runtime data, unit and document control, and runs the dialogs.

#include "wp/Error.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantList>

namespace wp {

class TextControl;

class clsWP : public QObject {
    Q_OBJECT
    Q_CLASSINFO("TypeLibrary", "wp {C3028EF1-1243-4B49-9D24-89AAFBE59342} 1.0")
    Q_CLASSINFO("CLSID", "{7B4BD93F-41B2-44C5-8A87-F2A992623D8A}")
    Q_CLASSINFO("Interface", "_clsWP {CAAEEC3C-BCA0-4BE2-91F0-84E4FE871AD4}")
    Q_CLASSINFO("FileVersion", "1.0.0.77")
    Q_PROPERTY(QString Version READ Version)
    Q_PROPERTY(QString EnvXML READ EnvXML WRITE setEnvXML)
    Q_PROPERTY(QObject* tx READ txObject WRITE setTxObject)
    // Write-only for the host; reading gives what the library holds.
    Q_PROPERTY(QString RuntimeXML READ runtimeXml WRITE setRuntimeXML)
    Q_PROPERTY(QString OptsXML READ optsXml WRITE setOptsXML)
    // Wider than the unit itself, so that an out-of-range put fails (Overflow).
    Q_PROPERTY(int MeasurementUnits READ measurementUnits WRITE putMeasurementUnits)

public:
    /// Dispatch ids of the members, as the interface table numbers them.
    enum DispId : qint32 {
        DISPID_MeasurementUnits = 0x68030000,
        DISPID_tx = 0x68030001,
        DISPID_EnvXML = 0x68030002,
        DISPID_OptsXML = 0x68030003,
        DISPID_RuntimeXML = 0x68030004,
        DISPID_Version = 0x68030005,
        DISPID_HeaderPropertiesShow = 0x60030006,
        DISPID_PageDialogShow = 0x60030007,
        DISPID_PrintPreviewShow = 0x60030008,
        DISPID_ResumePropertiesShow = 0x60030009,
        DISPID_TableDialogShow = 0x6003000A,
        DISPID_CoverLetterStepper = 0x6003000B,
        DISPID_ResumeTitleRetrieve = 0x6003000C,
    };
    /// How Invoke reaches a property: read it or put it.
    enum class InvokeKind { Method, PropertyGet, PropertyPut };

    explicit clsWP(QObject* parent = nullptr);
    ~clsWP() override;

    /// "1.0.77": major, minor and revision of the file version.
    QString Version() const;
    /// Replaces the library-wide runtime XML document (parse errors leave it empty).
    Q_INVOKABLE void setRuntimeXML(const QString& vData);
    /// Replaces the library-wide options XML document.
    Q_INVOKABLE void setOptsXML(const QString& vData);
    /// The environment text last put, unchanged.
    QString EnvXML() const;
    /// Takes the environment XML apart into the library-wide values; throws
    /// wp::Error 65535 after its report when "in_ide" is missing or invalid.
    void setEnvXML(const QString& vData);
    /// The host's document control (not owned).
    TextControl* tx() const;
    void setTx(TextControl* vData);
    /// The unit code of the page dialog (1 cm, 2 inches), unchecked.
    Q_INVOKABLE void setMeasurementUnits(qint16 vData);

    /// The page setup dialog over the host's page XML (page_size width and
    /// height, doc_margins left, top, right, bottom, in twips). Returns the
    /// XML with the six values as whole twips (OK), "" (Cancel) or the input
    /// unchanged (close box). A page XML the dialog cannot read throws
    /// wp::Error 65535 after its report.
    Q_INVOKABLE QString PageDialogShow(QString& strXML);
    /// The header and footer dialog over the document control: distances in
    /// millimetres and a separate first page, applied to the control on
    /// Save. Returns "". Without a document control it throws wp::Error
    /// 65535 after its report.
    Q_INVOKABLE QString HeaderPropertiesShow(QString& strXML);
    /// The table dialog: on Save a table of the chosen size is inserted at
    /// the document control's input position under a fresh id. Returns
    /// "<tbl><table_id>id</table_id></tbl>" (Save), "" (Cancel) or the
    /// previous call's result (close box, Escape).
    Q_INVOKABLE QString TableDialogShow(QString& strXML);
    /// The print preview of the host's document (tx): a private copy shown
    /// page by page, with printing. Returns "" once the window has closed;
    /// the host's document is never changed.
    Q_INVOKABLE QString PrintPreviewShow(QString& strXML);
    /// The cover letter stepper over the host's document (`tx`), merged
    /// with the stored and sample job applications one at a time. Returns
    /// "" once the window has closed; a data set that cannot be built
    /// throws wp::Error 65535 after its report and the window never shows.
    Q_INVOKABLE QString CoverLetterStepper(QString& strXML);

    /// The résumé properties dialog over the résumé XML that the host keeps
    /// in the document control's Tag (strXML is not read). Returns the
    /// résumé XML with the edited properties (Save after a change) or "".
    Q_INVOKABLE QString ResumePropertiesShow(QString& strXML);

    /// Asks for the title of a new résumé (strXML is not read). Returns the
    /// title as typed, or "" when the user cancels.
    Q_INVOKABLE QString ResumeTitleRetrieve(QString& strXML);

    /// Reaches a member by its dispatch id, as a late-bound host would.
    QVariant Invoke(qint32 dispid, const QVariantList& args = {},
                    InvokeKind kind = InvokeKind::Method);

private:
    QObject* txObject() const;
    void setTxObject(QObject* object);
    QString runtimeXml() const;
    QString optsXml() const;
    int measurementUnits() const;
    void putMeasurementUnits(int vData);

    QPointer<QObject> m_tx;
};

} // namespace wp
