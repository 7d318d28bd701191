#pragma once
// The table dialog: asks for rows and columns and inserts a table of that
// size at the input position of the host's document under a fresh id; the
// result XML goes to gstrReturnXML.

#include "errors/modvbCodeShieldSupport.h"

#include <QDialog>
#include <QPointer>
#include <array>

class QComboBox;
class QLabel;
class QPushButton;

namespace wp {

class TextControl;

class frmTableDlg : public QDialog, public modvbCodeShieldSupport::ModuleVariables {
    Q_OBJECT
public:
    /// The id of the first table when the document has none from 10 up.
    static constexpr qint16 FirstTableId = 1000;

    explicit frmTableDlg(QWidget* parent = nullptr);
    ~frmTableDlg() override;

    /// Loads the window and shows it modally; returns once it has closed.
    void ShowDialog();
    /// Loads the window (fills the two lists) without showing it.
    void Load();
    /// What the two buttons call: 1 inserts the table, stores the result XML
    /// in gstrReturnXML and unloads (rows or columns below 1: a message, and
    /// the window stays); 0 empties gstrReturnXML and unloads; any other
    /// index does nothing.
    void SaveCancel(int index);

    TextControl* tx() const;
    void setTx(TextControl* tx);

    QString DumpModuleVariables() const override;

public slots:
    /// Escape closes the window like its close box: the result stays as it was.
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void BuildControls();
    void Unload();
    void DropLibraryInstance();

    void Form_Load();
    void Form_Unload();
    void cmbTable_KeyPress(int index, int& KeyAscii);
    void pbOK_Click();
    void pbCancel_Click();

    QPointer<TextControl> m_tx;

    std::array<QLabel*, 2> cjlbl{};
    std::array<QComboBox*, 2> cmbTable{};
    QPushButton* pbOK = nullptr;
    QPushButton* pbCancel = nullptr;
};

} // namespace wp
