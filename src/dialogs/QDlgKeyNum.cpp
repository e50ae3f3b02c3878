#include "QDlgKeyNum.h"
#include "ui_QDlgKeyNum.h"

#include "FocusGrid.h"
#include "ScreenSetup.h"

#include <QDoubleValidator>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>

namespace {
const char *const kBaseSheet =
    "QWidget{color: rgb(0, 0, 0);background-color: rgb(255, 255, 255);font: 20pt ;}"
    "QPushButton{color: rgb(0, 0, 0);border-width: 2px;border-color: rgb(0, 0, 0);border-style: solid;}"
    "QLineEdit{border-width: 2px;border-color: rgb(0, 0, 0);border-style: solid;}"
    "QToolButton{color: rgb(0, 0, 0);border-width: 2px;border-color: rgb(0, 0, 0);border-style: solid;font: 40pt ;}";
const int kNumberMode = 0;
const int kChoiceMode = 1;
const int kNumberItems = 14;      // tBtnSign stays hidden and out of reach
const int kLeftRightStep = 1;
const int kUpDownStep = 4;        // one row of the keypad
const int kEntryLength = 7;
const int kSensorEntryLength = 10; // sensor factors carry more digits
const int kDigitKeys = 10;
const int kDotIndex = 12;
const int kBackIndex = 13;
const int kSignIndex = 14;

// Texts are C-locale numbers whatever the controller's locale says.
QLocale NumberLocale()
{
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator | QLocale::OmitGroupSeparator);
    return c;
}

bool TakesLongEntry(const QString &title)
{
    return title == QStringLiteral("探头系数(mv/g):") || title == QStringLiteral("探头系数(mv/(m/s)):");
}

bool IsExponentTitle(const QString &title)
{
    return title == QStringLiteral("指数放大:");
}
} // namespace

QDlgKeyNum::QDlgKeyNum(const QString &title, float initial, int digits, float minimum, float maximum,
                       QWidget *parent)
    : QDialog(parent)
    , decimals(std::max(0, digits))
    , ui(std::make_unique<Ui::QDlgKeyNum>())
    , m_minimum(minimum)
    , m_maximum(maximum)
    , m_mode(kNumberMode)
{
    SetUpCommon(title);

    m_validator = std::make_unique<QDoubleValidator>(minimum, maximum, decimals);
    m_validator->setNotation(QDoubleValidator::StandardNotation);
    m_validator->setLocale(NumberLocale());
    ui->editValue->setValidator(m_validator.get());
    // The start value is never cut to the entry's length: pressing OK alone
    // must give back exactly what the caller had (a longitude with six
    // decimals is longer than seven characters).
    const QString start = NumberLocale().toString(double(initial), 'f', decimals);
    const int limit = TakesLongEntry(title) ? kSensorEntryLength : kEntryLength;
    ui->editValue->setMaxLength(std::max(limit, int(start.size())));
    // The operator edits the value from its end: a digit is added there and
    // Back takes one character away, so a slip costs one key, not the value.
    ui->editValue->setText(start);
    ui->editValue->end(false);

    if (IsExponentTitle(title)) {
        ui->tBtnDot->setEnabled(false);
        ui->tBtnDot->setText(QString());
    } else if (decimals == 0) {
        ui->tBtnDot->setEnabled(false);
    }

    m_grid->SetCount(kNumberItems);
    m_grid->SetKeyCodes(QVector<int>(m_keyCodes.begin(), m_keyCodes.end()));
    m_grid->SetConfirm([this] { on_tBtnOK_clicked(); });
    m_grid->Refresh();
}

QDlgKeyNum::QDlgKeyNum(const QString &title, const QString &initial, QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::QDlgKeyNum>())
    , m_mode(kChoiceMode)
{
    SetUpCommon(title);
    ui->editValue->setText(initial);
    ui->editValue->setReadOnly(true);
    // Until SetChoices runs there is nothing to choose.
    SetChoices(QString());
    m_grid->SetConfirm([this] { PickAndConfirm(); });
    m_grid->SetAfterEnter([this](QWidget *) { ConfirmIfOpen(); });
}

void QDlgKeyNum::SetUpCommon(const QString &title)
{
    ui->setupUi(this);
    ui->lbTitle->setText(title);
    ui->lbTitle2->hide();
    ui->editValue2->hide();
    ui->tBtnSign->hide();
    ui->tBtnOK->setText(QStringLiteral("  确定  "));
    ui->tBtnCancel->setText(QStringLiteral("  取消  "));
    ui->tBtnBack->setText(QStringLiteral("Back"));

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
        ui->tBtnDot,
        ui->tBtnBack,
        ui->tBtnSign,
    };
    int i = 0;
    m_keyCodes[i++] = FocusGrid::kNoKey; // OK answers Alt+Return only
    m_keyCodes[i++] = Qt::Key_Escape;
    for (int d = 0; d < kDigitKeys; ++d)
        m_keyCodes[i++] = Qt::Key_0 + d;
    m_keyCodes[i++] = Qt::Key_Period;
    m_keyCodes[i++] = Qt::Key_Backspace;
    m_keyCodes[i++] = Qt::Key_Plus;

    ScreenLook look;
    look.BaseSheet = QString::fromUtf8(kBaseSheet);
    // The number keypad always covers the whole desktop, metering or not.
    look.ReserveMetering = false;
    SetUpScreen(this, look);

    m_grid = new FocusGrid(this, QList<QWidget *>(m_items.begin(), m_items.end()));
    m_grid->SetSteps(kLeftRightStep, kUpDownStep);
    m_grid->SetIgnoreTab(true);
}

QDlgKeyNum::~QDlgKeyNum() = default;

void QDlgKeyNum::SetChoices(const QString &c1, const QString &c2, const QString &c3, const QString &c4,
                            const QString &c5, const QString &c6, const QString &c7, const QString &c8,
                            const QString &c9, const QString &c10, const QString &c11, const QString &c12)
{
    if (m_mode != kChoiceMode)
        return;
    const std::array<const QString *, kChoiceCount> choices{&c1, &c2, &c3, &c4, &c5, &c6,
                                                            &c7, &c8, &c9, &c10, &c11, &c12};
    const int firstChoice = 2; // after OK and Cancel
    int shown = 0;
    for (int c = 0; c < kChoiceCount; ++c) {
        QAbstractButton *key = m_items[firstChoice + c];
        key->setText(*choices[c]);
        key->setEnabled(!choices[c]->isEmpty());
        if (!choices[c]->isEmpty())
            ++shown;
    }
    m_grid->SetCount(firstChoice + shown);
    m_grid->Refresh();
}

int QDlgKeyNum::HighlightIndex() const
{
    return m_grid->Index();
}

int QDlgKeyNum::ItemCount() const
{
    return m_grid->Count();
}

void QDlgKeyNum::keyPressEvent(QKeyEvent *event)
{
    if (m_grid->HandleKey(event))
        return;
    // Esc is a key of the number keypad; in choice mode it cancels the same way.
    if (event->key() == Qt::Key_Escape) {
        on_tBtnCancel_clicked();
        return;
    }
    QDialog::keyPressEvent(event);
}

void QDlgKeyNum::PickAndConfirm()
{
    m_grid->ClickFocused();
    ConfirmIfOpen();
}

void QDlgKeyNum::ConfirmIfOpen()
{
    // Enter on Cancel has closed the keypad already: it must stay cancelled.
    if (!WasClosed(this))
        on_tBtnOK_clicked();
}

void QDlgKeyNum::KeyPressed(QAbstractButton *key)
{
    if (m_mode == kChoiceMode) {
        ui->editValue->setText(key->text());
        return;
    }
    const QString before = ui->editValue->text();
    ui->editValue->insert(key->text());
    // The validator and the entry's length drop a key that makes the number
    // longer than the range allows; a key that does nothing must say why.
    if (ui->editValue->text() == before && key != ui->tBtnDot)
        RefuseRange();
}

void QDlgKeyNum::Refuse(const QString &message)
{
    ShowMessage(this, message);
    m_grid->Refresh();
}

void QDlgKeyNum::on_tBtnOK_clicked()
{
    const QString entry = ui->editValue->text().trimmed();
    if (m_mode == kChoiceMode) {
        value = NumberLocale().toFloat(entry);
        text = ui->editValue->text();
        releaseKeyboard();
        accept();
        return;
    }
    if (entry.isEmpty()) {
        Refuse(QStringLiteral("输入为空，请输入一个值!"));
        return;
    }
    bool ok = false;
    float typed = NumberLocale().toFloat(entry, &ok);
    // A dot typed into an emptied entry is read as the 0 it abbreviates.
    if (!ok && entry == QLatin1String(".")) {
        typed = 0.0f;
        ok = true;
    }
    if (ok && typed >= m_minimum && typed <= m_maximum) {
        value = typed;
        releaseKeyboard();
        accept();
        return;
    }
    RefuseRange();
}

void QDlgKeyNum::RefuseRange()
{
    const QLocale c = NumberLocale();
    const QString low = c.toString(double(m_minimum), 'f', decimals);
    const QString high = c.toString(double(m_maximum), 'f', decimals);
    Refuse(QStringLiteral("输入范围有误,请输入%1到%2之间的值(包含%3和%4)!").arg(low, high, low, high));
}

void QDlgKeyNum::on_tBtnCancel_clicked()
{
    releaseKeyboard();
    reject();
}

void QDlgKeyNum::on_tBtnBack_clicked()
{
    if (m_mode == kChoiceMode) {
        KeyPressed(ui->tBtnBack);
        return;
    }
    ui->editValue->backspace();
}

void QDlgKeyNum::on_tBtnDot_clicked()
{
    KeyPressed(ui->tBtnDot);
}

void QDlgKeyNum::on_tBtnSign_clicked()
{
    if (m_mode == kChoiceMode)
        return;
    QString entry = ui->editValue->text();
    entry = entry.startsWith(QLatin1Char('-')) ? entry.mid(1) : QLatin1Char('-') + entry;
    int pos = 0;
    if (m_validator->validate(entry, pos) != QValidator::Invalid)
        ui->editValue->setText(entry);
}

void QDlgKeyNum::on_editValue2_returnPressed()
{
}

void QDlgKeyNum::on_tBtn0_clicked() { KeyPressed(ui->tBtn0); }
void QDlgKeyNum::on_tBtn1_clicked() { KeyPressed(ui->tBtn1); }
void QDlgKeyNum::on_tBtn2_clicked() { KeyPressed(ui->tBtn2); }
void QDlgKeyNum::on_tBtn3_clicked() { KeyPressed(ui->tBtn3); }
void QDlgKeyNum::on_tBtn4_clicked() { KeyPressed(ui->tBtn4); }
void QDlgKeyNum::on_tBtn5_clicked() { KeyPressed(ui->tBtn5); }
void QDlgKeyNum::on_tBtn6_clicked() { KeyPressed(ui->tBtn6); }
void QDlgKeyNum::on_tBtn7_clicked() { KeyPressed(ui->tBtn7); }
void QDlgKeyNum::on_tBtn8_clicked() { KeyPressed(ui->tBtn8); }
void QDlgKeyNum::on_tBtn9_clicked() { KeyPressed(ui->tBtn9); }
