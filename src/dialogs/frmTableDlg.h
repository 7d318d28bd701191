#pragma once
// The table dialog: asks for rows and columns and inserts a table of that
// size at the input position of the host's document under a fresh id; the
// result XML goes to gstrReturnXML.

#include "dialogs/DocumentDialog.h"

#include <array>

class QComboBox;
class QLabel;
class QPushButton;

namespace wp {

class frmTableDlg : public DocumentDialog<frmTableDlg> {
    Q_OBJECT
public:
    /// The id of the first table when the document has none from 10 up.
    static constexpr qint16 FirstTableId = 1000;

    explicit frmTableDlg(QWidget* parent = nullptr);
    ~frmTableDlg() override;

    /// What the two buttons call: 1 inserts the table, stores the result XML
    /// in gstrReturnXML and unloads (rows or columns below 1: a message, and
    /// the window stays); 0 empties gstrReturnXML and unloads; any other
    /// index does nothing.
    void SaveCancel(int index);

private:
    void BuildControls();

    void Form_Load() override;
    void cmbTable_KeyPress(int index, int& KeyAscii);
    void pbOK_Click();
    void pbCancel_Click();

    std::array<QLabel*, 2> cjlbl{};
    std::array<QComboBox*, 2> cmbTable{};
    QPushButton* pbOK = nullptr;
    QPushButton* pbCancel = nullptr;
};

} // namespace wp
