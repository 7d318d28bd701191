#pragma once
// The header and footer dialog: the distances of the header and the footer
// from the page border, in millimetres, and whether the first page has its
// own header and footer, set directly on the host's document control.

#include "errors/modvbCodeShieldSupport.h"

#include <QDialog>
#include <QPointer>
#include <QString>
#include <array>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace wp {

class TextControl;

/// Up/down buttons beside a field. They hold no value of their own: each
/// click only tells the window, which steps the field.
class UpDownButtons : public QWidget {
    Q_OBJECT
public:
    explicit UpDownButtons(QWidget* parent = nullptr);

public slots:
    /// What a click on the upper button does.
    void stepUp();
    /// What a click on the lower button does.
    void stepDown();

signals:
    void UpClick();
    void DownClick();

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    QToolButton* m_up = nullptr;
    QToolButton* m_down = nullptr;
};

class frmHeaderProperties : public QDialog, public modvbCodeShieldSupport::ModuleVariables {
    Q_OBJECT
public:
    /// Twips to the millimetre, as this dialog has always counted them.
    static constexpr double TwipsPerMm = 56.7;

    /// The text an up (+1) or down (-1) click leaves in a field: the number
    /// the text begins with, rounded half to even, plus `delta`. Beyond 32
    /// bits is error 6.
    static QString Step(const QString& text, int delta);

    explicit frmHeaderProperties(QWidget* parent = nullptr);
    ~frmHeaderProperties() override;

    /// Loads the window from its document control and shows it modally;
    /// returns once it has closed. A load failure is reported and fails with
    /// error 65535.
    void ShowDialog();
    /// Loads the window from its document control without showing it.
    void Load();
    /// What the two buttons call: 1 applies the fields to the document
    /// control and unloads, 0 unloads, any other index does nothing.
    void SaveCancel(int index);

    TextControl* tx() const;
    void setTx(TextControl* tx);

    QString DumpModuleVariables() const override;

public slots:
    /// Escape acts as the Cancel button.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void BuildControls();
    void Unload();
    void DropLibraryInstance();

    void Form_Load();
    void Form_Unload();
    void pbOK_Click();
    void pbCancel_Click();
    void udHeader_UpClick();
    void udHeader_DownClick();
    void udFooter_UpClick();
    void udFooter_DownClick();

    QPointer<TextControl> m_tx;

    QGroupBox* cjgrpDistance = nullptr;
    std::array<QLabel*, 4> cjlbl{};
    QLineEdit* feHeader = nullptr;
    UpDownButtons* udHeader = nullptr;
    QLineEdit* feFooter = nullptr;
    UpDownButtons* udFooter = nullptr;
    QCheckBox* cjchkFirstPageDifferent = nullptr;
    QPushButton* pbOK = nullptr;
    QPushButton* pbCancel = nullptr;
};

} // namespace wp
