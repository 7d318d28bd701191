#pragma once
// The prompt for the name of a new résumé.

#include "forms/FormSupport.h"

#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;

namespace wp {

class frmResumeTitle : public Form<frmResumeTitle> {
    Q_OBJECT
public:
    explicit frmResumeTitle(QWidget* parent = nullptr);
    ~frmResumeTitle() override;

    /// Shows the window modally and returns, once it has closed, the title
    /// as typed (Save) or "" (Cancel, close box).
    QString ShowForm();
    /// What the two buttons call: 1 accepts a title that is not blank (else
    /// asks for one and stays open), 0 cancels; the result is emptied first.
    void SaveCancel(qint16 index);
    /// The accepted title ("" until Save accepts one).
    QString ResumeTitle() const { return m_sResumeTitle; }

    /// Whether `text` is blank for a title: nothing left once spaces (and
    /// only spaces) are cut from both ends.
    static bool IsBlankTitle(const QString& text);

    QString DumpModuleVariables() const override;

private:
    void BuildControls();

    void Form_Activate() override;
    void Form_Unload() override;
    void feTitle_KeyPress(int KeyAscii);
    void pbOK_Click();
    void pbCancel_Click();

    QString m_sResumeTitle;

    QLabel* cjlblDesc = nullptr;
    QLabel* cjlblTitle = nullptr;
    QLineEdit* feTitle = nullptr;
    QPushButton* pbOK = nullptr;
    QPushButton* pbCancel = nullptr;
};

} // namespace wp
