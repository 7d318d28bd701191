#pragma once
// The résumé's document properties (title, subject, author, manager,
// company, category, keywords, comments) on three tab pages, each with a
// help text from the user's template archive.

#include "forms/FormSupport.h"
#include "wp/KXml.h"

#include <QPointer>
#include <QString>
#include <array>

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace wp {

class frmResumeProps : public Form<frmResumeProps> {
    Q_OBJECT
public:
    /// The entry of the template archive that holds the help texts.
    static inline const QString DescsEntry = QStringLiteral("doc_prop_descs.xml");
    /// The command of the description boxes' pop-up menu.
    static constexpr qint32 ID_EDIT_TEXT = 1099;

    explicit frmResumeProps(QWidget* parent = nullptr);
    ~frmResumeProps() override;

    /// The template archive of the current user: the this-user data
    /// directory immediately followed by "app.mvdt".
    static QString ArchivePath();

    /// Shows the window modally over the résumé XML `strTag` and returns,
    /// once it has closed, the résumé XML with the properties written in
    /// (Save after a change) or "" (Save without change, Cancel, close box).
    QString ShowProperties(const QString& strTag);
    /// Fills the window from the archive and `strTag` without showing it.
    void Load(const QString& strTag);
    /// The result as it stands.
    QString XML() const { return m_strXML; }
    bool IsDirty() const { return m_blnIsDirty; }
    /// What the two buttons call: 1 saves, 0 cancels, others do nothing.
    void SaveCancel(int index);

    QString DumpModuleVariables() const override;

private:
    void BuildControls();
    /// The description box `index` read-only (as shown) or open for editing.
    void SetDescEditable(int index, bool editable);

    void Form_Load();
    void Form_Activate() override;
    void tabProps_SelectedChanged(int index);
    void feSumm_Change(int index);
    void feKeywords_Change();
    void feComments_Change();
    void feDesc_Change(int index);
    void feDesc_MouseDown(int index, int button, const QPoint& globalPos);
    void feDesc_Validate(int index);
    void cbrs_Execute(QAction* control);
    void pbOK_Click();
    void pbCancel_Click();

    KXmlRef m_kxmlRsm;
    KXmlRef m_kxmlProps;
    QString m_strXML;
    bool m_blnIsDirty = false;
    bool m_blnChanged = false;

    QTabWidget* tabProps = nullptr;
    QWidget* pagSummary = nullptr;
    QWidget* pagKeywords = nullptr;
    QWidget* pagComments = nullptr;
    std::array<QLabel*, 6> lblSumm{};
    std::array<QLineEdit*, 6> feSumm{};
    QLabel* lblKeywords = nullptr;
    QLabel* lblComments = nullptr;
    QPlainTextEdit* feKeywords = nullptr;
    QPlainTextEdit* feComments = nullptr;
    std::array<QPlainTextEdit*, 3> feDesc{};
    QPushButton* pbOK = nullptr;
    QPushButton* pbCancel = nullptr;
    QPointer<QMenu> cbrEdit;
};

} // namespace wp
