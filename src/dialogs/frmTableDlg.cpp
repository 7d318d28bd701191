#include "dialogs/frmTableDlg.h"

#include "core/modWP.h"
#include "dialogs/FieldNumbers.h"
#include "forms/FormSupport.h"
#include "wp/KSortedList.h"
#include "wp/KXml.h"
#include "wp/TextControl.h"
#include "wp/hooks.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <memory>

namespace wp {

using forms::arrayName;
using forms::TwipsToPixels;
using modvbCodeShieldSupport::Guard;
using modWP::gstrReturnXML;

namespace {
// Table ids below this are the host's own and never counted for a new one.
constexpr qint16 LowestCountedId = 10;
constexpr int KeyEnter = 13;
} // namespace

frmTableDlg::frmTableDlg(QWidget* parent)
    : DocumentDialog("frmTableDlg", QStringLiteral("Table Attributes"), parent) {
    // Escape closes the window like its close box: the result stays as it was.
    BuildControls();
}

frmTableDlg::~frmTableDlg() = default;

void frmTableDlg::BuildControls() {
    const TwipsToPixels tw;
    setFont(QFont(QStringLiteral("Arial"), 8));

    const char* captions[2] = {"Rows:", "Columns:"};
    for (int i = 0; i < 2; ++i) {
        const int top = 240 + i * 480;
        cjlbl[i] = new QLabel(QString::fromLatin1(captions[i]), this);
        cjlbl[i]->setObjectName(arrayName("cjlbl", i));
        cjlbl[i]->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        cjlbl[i]->move(tw.x(240), tw.y(top));
        cjlbl[i]->setFixedHeight(tw.y(315));
        cjlbl[i]->adjustSize();
        cmbTable[i] = new QComboBox(this);
        cmbTable[i]->setObjectName(arrayName("cmbTable", i));
        cmbTable[i]->setEditable(true);
        // Typed text is used as it stands; it never becomes a list entry.
        cmbTable[i]->setInsertPolicy(QComboBox::NoInsert);
        cmbTable[i]->setGeometry(tw.rect(1200, top, 1215, 315));
        cjlbl[i]->setBuddy(cmbTable[i]);
        // A key set to 0 is swallowed: Enter never reaches the default button.
        const auto keyPress = [this, i](QEvent* e) {
            int KeyAscii = forms::keyAscii(e);
            if (KeyAscii < 0)
                return false;
            cmbTable_KeyPress(i, KeyAscii);
            return KeyAscii == 0;
        };
        watch(cmbTable[i], keyPress);
        watch(cmbTable[i]->lineEdit(), keyPress);
    }

    pbOK = new QPushButton(QStringLiteral("Save"), this);
    pbOK->setObjectName(QStringLiteral("pbOK"));
    pbOK->setDefault(true);
    pbOK->setGeometry(tw.rect(240, 1260, 1095, 375));
    pbCancel = new QPushButton(QStringLiteral("Cancel"), this);
    pbCancel->setObjectName(QStringLiteral("pbCancel"));
    pbCancel->setGeometry(tw.rect(1440, 1260, 1095, 375));
    setFixedSize(tw.x(240 + 1095 + 105 + 1095 + 240), tw.y(1260 + 375 + 180));

    QWidget* order[] = {cmbTable[0], cmbTable[1], pbOK, pbCancel};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(pbOK, &QPushButton::clicked, this, [this] { pbOK_Click(); });
    connect(pbCancel, &QPushButton::clicked, this, [this] { pbCancel_Click(); });
}

void frmTableDlg::Form_Load() {
    Guard g("frmTableDlg", "Form_Load", this);
    g.run([&] {
        const int counts[2] = {100, 12};
        const int selected[2] = {7, 1};
        for (int i = 0; i < 2; ++i) {
            cmbTable[i]->clear();
            for (int n = 1; n <= counts[i]; ++n)
                cmbTable[i]->addItem(QString::number(n));
            cmbTable[i]->setCurrentIndex(selected[i]);
        }
        cmbTable[0]->setFocus();
    });
}

void frmTableDlg::cmbTable_KeyPress(int index, int& KeyAscii) {
    Guard g("frmTableDlg", "cmbTable_KeyPress", this);
    g.param(QStringLiteral("index"), index).param(QStringLiteral("KeyAscii"), KeyAscii);
    g.runEvent([&] {
        if (KeyAscii != KeyEnter)
            return;
        KeyAscii = 0;
        if (index == 0)
            cmbTable[1]->setFocus(Qt::TabFocusReason);
        else
            pbOK->setFocus(Qt::TabFocusReason);
    });
}

void frmTableDlg::SaveCancel(int index) {
    qint16 intRows = 0;
    qint16 intCols = 0;
    qint16 intEnum = 0;
    qint16 intTableID = 0;
    std::unique_ptr<KSortedList> cksa;
    qint16 intReturn = 0;
    QList<qint32> cur;
    QString strTableID;
    qint16 intTableIDNew = 0;
    KXmlRef kxmlTemp;
    Guard g("frmTableDlg", "SaveCancel", this);
    g.param(QStringLiteral("index"), index)
        .local(QStringLiteral("intRows"), intRows)
        .local(QStringLiteral("intCols"), intCols)
        .local(QStringLiteral("intEnum"), intEnum)
        .local(QStringLiteral("intTableID"), intTableID)
        .local(QStringLiteral("cksa"), cksa)
        .local(QStringLiteral("intReturn"), intReturn)
        .local(QStringLiteral("cur"), cur)
        .local(QStringLiteral("strTableID"), strTableID)
        .local(QStringLiteral("intTableIDNew"), intTableIDNew)
        .local(QStringLiteral("kxmlTemp"), kxmlTemp);
    g.run([&] {
        switch (index) {
        case 0:
            gstrReturnXML.clear();
            Unload();
            break;
        case 1: {
            intRows = TextToInt16(cmbTable[0]->currentText());
            intCols = TextToInt16(cmbTable[1]->currentText());
            if (intRows < 1 || intCols < 1) {
                MsgBox(QStringLiteral("The rows and columns must be greater than or equal to 1."),
                       mb::Exclamation | mb::OKOnly, QStringLiteral("Invalid Values"));
                return;
            }
            if (!m_tx)
                wp::raise(err::ObjectNotSet);

            // A table at the very start of the document gets a paragraph
            // before it, so that text can still be typed above the table.
            cur = m_tx->CurrentInputPosition();
            if (cur.size() < 3)
                wp::raise(err::SubscriptOutOfRange);
            if (cur.at(0) == 1 && cur.at(1) == 1 && cur.at(2) == 0) {
                m_tx->setSelLength(0);
                m_tx->setSelText(QStringLiteral("\r\n"));
            }

            // Zero-padded to five digits, the ids sort as numbers do.
            cksa = std::make_unique<KSortedList>();
            intEnum = 0;
            while ((intEnum = m_tx->TableNext(intEnum, intTableID)) != 0) {
                if (intTableID >= LowestCountedId) {
                    strTableID = QStringLiteral("00000000%1").arg(intTableID).right(5);
                    cksa->Add(strTableID);
                }
            }
            if (cksa->Count() > 0) {
                cksa->Sort(0);
                intTableIDNew = RoundToInt16(qint32(TextToInt16(cksa->Item(0))) + 1);
            } else {
                intTableIDNew = FirstTableId;
            }
            cksa.reset();

            intReturn = m_tx->TableInsert(intRows, intCols, -1, intTableIDNew);

            kxmlTemp = std::make_shared<KXml>();
            kxmlTemp->CreateRoot(QStringLiteral("tbl"));
            kxmlTemp->AddChild(QStringLiteral("table_id"), QString::number(intReturn));
            gstrReturnXML = kxmlTemp->Xml();
            kxmlTemp.reset();
            Unload();
            break;
        }
        default:
            break;
        }
    });
}

void frmTableDlg::pbOK_Click() {
    Guard g("frmTableDlg", "pbOK_Click", this);
    g.runEvent([&] { SaveCancel(1); });
}

void frmTableDlg::pbCancel_Click() {
    Guard g("frmTableDlg", "pbCancel_Click", this);
    g.runEvent([&] { SaveCancel(0); });
}

} // namespace wp
