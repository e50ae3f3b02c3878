#include "QDlgKeyText.h"
#include "ui_QDlgKeyText.h"

#include "FocusGrid.h"
#include "ScreenSetup.h"

#include <QEvent>
#include <QLineEdit>
#include <algorithm>


namespace {
const char *const kBaseSheet =
    "QWidget{color: rgb(0, 0, 0);background-color: rgb(255, 255, 255);font: 20pt ;}"
    "QPushButton{color: rgb(0, 0, 0);border-width: 2px;border-color: rgb(0, 0, 0);border-style: solid;}"
    "QLineEdit{border-width: 2px;border-color: rgb(0, 0, 0);border-style: solid;}"
    "QToolButton{color: rgb(0, 0, 0);border-width: 2px;border-color: rgb(0, 0, 0);border-style: solid;font: 40pt ;}";
// Word keys would not fit a key of an 800 x 480 screen at the 40-point size of the characters.
const char *const kWordKeySheet = "QToolButton{font: 24pt ;}";
const int kLeftRightStep = 1;
const int kUpDownStep = 8; // one row of the keyboard
const int kDigitKeys = 10;
const int kLetterKeys = 26;
} // namespace

QDlgKeyText::QDlgKeyText(const QString &title, const QString &text, int maxLength, QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::QDlgKeyText>())
{
    ui->setupUi(this);
    ui->lbTitle->setText(title);
    // The limit holds for typing only: a longer start text (a project name
    // from a record file) must come back whole when the operator just presses
    // OK, or the next record would go into another folder.
    if (maxLength > 0) {
        ui->editValue->setMaxLength(std::max(maxLength, int(text.size())));
        // Once edited below the limit, the limit holds again. Setting the
        // length puts the cursor at the end, so it is put back.
        connect(ui->editValue, &QLineEdit::textChanged, this, [this, maxLength](const QString &now) {
            const int limit = std::max(maxLength, int(now.size()));
            if (limit == ui->editValue->maxLength())
                return;
            const int cursor = ui->editValue->cursorPosition();
            ui->editValue->setMaxLength(limit);
            ui->editValue->setCursorPosition(cursor);
        });
    }
    ui->editValue->setText(text);
    ui->editValue->selectAll();
    // The toolkit may drop the selection of an entry that never had the focus
    // (a pointer entering the window is enough); the first key replaces the
    // old text all the same, unless the operator touched the entry to place the cursor.
    m_replaceAll = !text.isEmpty();
    ui->editValue->installEventFilter(this);
    connect(ui->editValue, &QLineEdit::cursorPositionChanged, this, [this] { m_replaceAll = false; });

    m_items = {
        ui->tBtnOK,
        ui->tBtnCancel,
        ui->tBtn0,
        ui->tBtn1,
        ui->tBtn2,
        ui->tBtn3,
        ui->tBtn4,
        ui->tBtn5,
        ui->tBtn6,
        ui->tBtn7,
        ui->tBtn8,
        ui->tBtn9,
        ui->tBtnA,
        ui->tBtnB,
        ui->tBtnC,
        ui->tBtnD,
        ui->tBtnE,
        ui->tBtnF,
        ui->tBtnG,
        ui->tBtnH,
        ui->tBtnI,
        ui->tBtnJ,
        ui->tBtnK,
        ui->tBtnL,
        ui->tBtnM,
        ui->tBtnN,
        ui->tBtnO,
        ui->tBtnP,
        ui->tBtnQ,
        ui->tBtnR,
        ui->tBtnS,
        ui->tBtnT,
        ui->tBtnU,
        ui->tBtnV,
        ui->tBtnW,
        ui->tBtnX,
        ui->tBtnY,
        ui->tBtnZ,
        ui->tBtnMinus,
        ui->tBtnAdd,
        ui->tBtnBack,
        ui->tBtnDel,
    };
    int i = 0;
    m_keyCodes[i++] = FocusGrid::kNoKey; // OK answers Alt+Return only
    m_keyCodes[i++] = Qt::Key_Escape;
    for (int d = 0; d < kDigitKeys; ++d)
        m_keyCodes[i++] = Qt::Key_0 + d;
    for (int c = 0; c < kLetterKeys; ++c)
        m_keyCodes[i++] = Qt::Key_A + c;
    m_keyCodes[i++] = Qt::Key_Minus; // types "_": file names take no "-"
    m_keyCodes[i++] = Qt::Key_Plus;
    m_keyCodes[i++] = Qt::Key_Backspace;
    m_keyCodes[i++] = Qt::Key_Delete;

    for (QAbstractButton *word : {static_cast<QAbstractButton *>(ui->tBtnOK), static_cast<QAbstractButton *>(ui->tBtnCancel),
                                  static_cast<QAbstractButton *>(ui->tBtnBack), static_cast<QAbstractButton *>(ui->tBtnDel)})
        word->setStyleSheet(QString::fromLatin1(kWordKeySheet));

    ScreenLook look;
    look.BaseSheet = QString::fromUtf8(kBaseSheet);
    SetUpScreen(this, look);

    m_grid = new FocusGrid(this, QList<QWidget *>(m_items.begin(), m_items.end()));
    m_grid->SetSteps(kLeftRightStep, kUpDownStep);
    m_grid->SetKeyCodes(QVector<int>(m_keyCodes.begin(), m_keyCodes.end()));
    m_grid->SetConfirm([this] { on_tBtnOK_clicked(); });
    m_grid->Refresh();
}

QDlgKeyText::~QDlgKeyText() = default;

int QDlgKeyText::HighlightIndex() const
{
    return m_grid->Index();
}

void QDlgKeyText::InsertKey(const QAbstractButton *key)
{
    if (m_replaceAll)
        ui->editValue->clear();
    m_replaceAll = false;
    ui->editValue->insert(key->text());
}

bool QDlgKeyText::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->editValue && event->type() == QEvent::MouseButtonPress)
        m_replaceAll = false;
    return QDialog::eventFilter(watched, event);
}

void QDlgKeyText::on_tBtnOK_clicked()
{
    result = ui->editValue->text().trimmed();
    if (!result.isEmpty()) {
        releaseKeyboard();
        accept();
        return;
    }
    ShowMessage(this, QStringLiteral("输入为空,请重新输入!"));
    ui->editValue->clear();
    m_grid->Refresh();
}

void QDlgKeyText::on_tBtnCancel_clicked()
{
    releaseKeyboard();
    reject();
}

void QDlgKeyText::on_tBtnDel_clicked()
{
    m_replaceAll = false;
    ui->editValue->clear();
}

void QDlgKeyText::on_tBtnBack_clicked()
{
    if (m_replaceAll)
        ui->editValue->clear();
    m_replaceAll = false;
    ui->editValue->backspace();
}

void QDlgKeyText::on_tBtnAdd_clicked() { InsertKey(ui->tBtnAdd); }
void QDlgKeyText::on_tBtnMinus_clicked() { InsertKey(ui->tBtnMinus); }
void QDlgKeyText::on_tBtn0_clicked() { InsertKey(ui->tBtn0); }
void QDlgKeyText::on_tBtn1_clicked() { InsertKey(ui->tBtn1); }
void QDlgKeyText::on_tBtn2_clicked() { InsertKey(ui->tBtn2); }
void QDlgKeyText::on_tBtn3_clicked() { InsertKey(ui->tBtn3); }
void QDlgKeyText::on_tBtn4_clicked() { InsertKey(ui->tBtn4); }
void QDlgKeyText::on_tBtn5_clicked() { InsertKey(ui->tBtn5); }
void QDlgKeyText::on_tBtn6_clicked() { InsertKey(ui->tBtn6); }
void QDlgKeyText::on_tBtn7_clicked() { InsertKey(ui->tBtn7); }
void QDlgKeyText::on_tBtn8_clicked() { InsertKey(ui->tBtn8); }
void QDlgKeyText::on_tBtn9_clicked() { InsertKey(ui->tBtn9); }
void QDlgKeyText::on_tBtnA_clicked() { InsertKey(ui->tBtnA); }
void QDlgKeyText::on_tBtnB_clicked() { InsertKey(ui->tBtnB); }
void QDlgKeyText::on_tBtnC_clicked() { InsertKey(ui->tBtnC); }
void QDlgKeyText::on_tBtnD_clicked() { InsertKey(ui->tBtnD); }
void QDlgKeyText::on_tBtnE_clicked() { InsertKey(ui->tBtnE); }
void QDlgKeyText::on_tBtnF_clicked() { InsertKey(ui->tBtnF); }
void QDlgKeyText::on_tBtnG_clicked() { InsertKey(ui->tBtnG); }
void QDlgKeyText::on_tBtnH_clicked() { InsertKey(ui->tBtnH); }
void QDlgKeyText::on_tBtnI_clicked() { InsertKey(ui->tBtnI); }
void QDlgKeyText::on_tBtnJ_clicked() { InsertKey(ui->tBtnJ); }
void QDlgKeyText::on_tBtnK_clicked() { InsertKey(ui->tBtnK); }
void QDlgKeyText::on_tBtnL_clicked() { InsertKey(ui->tBtnL); }
void QDlgKeyText::on_tBtnM_clicked() { InsertKey(ui->tBtnM); }
void QDlgKeyText::on_tBtnN_clicked() { InsertKey(ui->tBtnN); }
void QDlgKeyText::on_tBtnO_clicked() { InsertKey(ui->tBtnO); }
void QDlgKeyText::on_tBtnP_clicked() { InsertKey(ui->tBtnP); }
void QDlgKeyText::on_tBtnQ_clicked() { InsertKey(ui->tBtnQ); }
void QDlgKeyText::on_tBtnR_clicked() { InsertKey(ui->tBtnR); }
void QDlgKeyText::on_tBtnS_clicked() { InsertKey(ui->tBtnS); }
void QDlgKeyText::on_tBtnT_clicked() { InsertKey(ui->tBtnT); }
void QDlgKeyText::on_tBtnU_clicked() { InsertKey(ui->tBtnU); }
void QDlgKeyText::on_tBtnV_clicked() { InsertKey(ui->tBtnV); }
void QDlgKeyText::on_tBtnW_clicked() { InsertKey(ui->tBtnW); }
void QDlgKeyText::on_tBtnX_clicked() { InsertKey(ui->tBtnX); }
void QDlgKeyText::on_tBtnY_clicked() { InsertKey(ui->tBtnY); }
void QDlgKeyText::on_tBtnZ_clicked() { InsertKey(ui->tBtnZ); }
