#pragma once
// The page setup dialog: paper size and the four margins of the host's page
// XML, shown in the host's unit and handed back as whole twips.

#include "forms/FormSupport.h"

#include <QPointer>
#include <QString>
#include <array>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace wp {

class TextControl;

class frmPageDlg : public Form<frmPageDlg> {
    Q_OBJECT
public:
    /// A named paper size of the list, in twips, portrait.
    struct PaperSize {
        const char* name;
        qint32 width;
        qint32 height;
    };
    /// The named sizes in list order; "User Defined" follows them.
    static constexpr std::array<PaperSize, 5> PaperSizes{{{"A4", 11906, 16837},
                                                          {"A5", 8418, 11906},
                                                          {"B5", 9978, 14174},
                                                          {"Letter", 12240, 15840},
                                                          {"Legal", 12240, 20160}}};
    static constexpr int UserDefined = 5;
    /// Sizes within this many twips (exclusive) count as the named size.
    static constexpr qint32 PaperTolerance = 10;

    /// The six lengths of a page, in twips.
    struct PageTwips {
        qint32 width = 0;
        qint32 height = 0;
        qint32 left = 0;
        qint32 top = 0;
        qint32 right = 0;
        qint32 bottom = 0;
    };

    /// List position of the first named size matching width × height within
    /// the tolerance (orientation counts), else UserDefined. Sizes beyond 16
    /// bits match nothing.
    static int NearestPaperSize(qint32 nWidth, qint32 nHeight);
    /// Whether the host can take these values: margins from 1 twip up to the
    /// paper side they run along, width up to 16383 and height up to 32767.
    static bool SettingsValid(const PageTwips& page);

    explicit frmPageDlg(QWidget* parent = nullptr);
    ~frmPageDlg() override;

    /// Shows the window modally with the host's page XML and returns, once it
    /// has closed, the updated XML (OK), "" (Cancel) or the input (close box).
    QString PageSetup(const QString& sXML);
    /// Loads the window with `sXML` without showing it; a failure is
    /// reported and fails with error 65535.
    void Load(const QString& sXML);
    /// The result text as it stands (the input until OK or Cancel).
    QString XML() const { return m_sXML; }
    /// What the two buttons call: 1 keeps the six values in the XML and
    /// unloads, 0 empties the result and unloads, any other index does nothing.
    void SaveCancel(int index);

    TextControl* tx() const;
    void setTx(TextControl* tx);

    QString DumpModuleVariables() const override;

private:
    void BuildControls();
    bool PageSettingsValid();
    void SelectNearestPaperSize();
    /// A field's focus events, as its handlers take them.
    bool FieldFocus(QEvent* e, int index, bool isPage);

    void Form_Load();
    void Unloading() override;
    void cmbPaperSize_click();
    void fePage_Change(int index);
    void fePage_GotFocus(int index);
    void fePage_LostFocus(int index);
    void fePage_Validate(int index);
    void feMargins_Change(int index);
    void feMargins_GotFocus(int index);
    void feMargins_Validate(int index);
    void pbOK_Click();
    void pbCancel_Click();

    QString m_sXML;
    QPointer<TextControl> m_tx;

    // Set while code selects a list entry, so the list does not fill the
    // size fields from its own echo.
    bool m_blnSelecting = false;

    QGroupBox* grpPaperSize = nullptr;
    QComboBox* cmbPaperSize = nullptr;
    QGroupBox* cjgrpPageMargins = nullptr;
    std::array<QLabel*, 6> cjlbl{};
    std::array<QLineEdit*, 2> fePage{};
    std::array<QLineEdit*, 4> feMargins{};
    std::array<QLabel*, 6> cjlblMeasUnits{};
    QPushButton* pbOK = nullptr;
    QPushButton* pbCancel = nullptr;
};

} // namespace wp
