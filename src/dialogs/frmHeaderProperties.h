#pragma once
// The header and footer dialog: the distances of the header and the footer
// from the page border, in millimetres, and whether the first page has its
// own header and footer, set directly on the host's document control.

#include "dialogs/DocumentDialog.h"

#include <QString>
#include <array>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace wp {

/// Up/down buttons beside a field. They hold no value of their own: each
/// click only tells the window, which steps the field.
class UpDownButtons : public QWidget {
    Q_OBJECT
public:
    explicit UpDownButtons(QWidget* parent = nullptr);
    /// The field the buttons step: its Up and Down arrow keys click them,
    /// so the keyboard steps it as the mouse does, and they take its name.
    void setField(QWidget* field, const QString& name);

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
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    QToolButton* m_up = nullptr;
    QToolButton* m_down = nullptr;
    QWidget* m_field = nullptr;
};

class frmHeaderProperties : public DocumentDialog<frmHeaderProperties> {
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

    /// What the two buttons call: 1 applies the fields to the document
    /// control and unloads, 0 unloads, any other index does nothing.
    void SaveCancel(int index);

private:
    void BuildControls();

    void Form_Load() override;
    void pbOK_Click();
    void pbCancel_Click();
    void udHeader_UpClick();
    void udHeader_DownClick();
    void udFooter_UpClick();
    void udFooter_DownClick();

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
