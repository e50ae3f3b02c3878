#include "TimeDateDlg.h"

#include "MyTDEdit.h"
#include "SettingsLook.h"
#include "TDLineEdit.h"
#include "platform/Platform.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {
constexpr int kDigitColumns = 4;
constexpr int kSpacing = 10;
constexpr int kMargin = 12;
// The field and the digits are what the operator works with: larger than the rest.
const char kTimeSheet[] = "QDateTimeEdit, QDateTimeEdit QLineEdit{font: 30pt ;}QPushButton{font: 26pt ;}";
const char kDisplayFormat[] = "yyyy-MM-dd hh:mm:ss";

QPushButton *MakeButton(const QString &caption, const QString &objectName, QWidget *parent)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(objectName);
    b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    b->setFocusPolicy(Qt::NoFocus); // the field keeps the focus: digits type into it
    b->setAutoDefault(false);
    return b;
}
} // namespace

TimeDateDlg::TimeDateDlg(QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("设置时间"));
    auto *label = new QLabel(QStringLiteral("设置时间"), this);
    label->setAlignment(Qt::AlignCenter);
    m_field = new MyTDEdit(this);
    m_field->setObjectName(QStringLiteral("dateTimeEdit"));
    m_field->setDateTimeRange(Platform::EarliestClock(), Platform::LatestClock());
    m_field->setDisplayFormat(QLatin1String(kDisplayFormat));
    m_field->setButtonSymbols(QAbstractSpinBox::NoButtons);
    m_field->setAlignment(Qt::AlignCenter);
    m_field->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);

    auto *digits = new QGridLayout;
    digits->setSpacing(kSpacing);
    for (int d = 0; d < kDigits; ++d) {
        m_digits[d] = MakeButton(QString::number(d), QStringLiteral("btnDigit%1").arg(d), this);
        digits->addWidget(m_digits[d], d / kDigitColumns, d % kDigitColumns);
        connect(m_digits[d], &QPushButton::pressed, this, &TimeDateDlg::OnInsertData);
    }
    // The last row of digits: 8, 9, then the section moves.
    QPushButton *left = MakeButton(QStringLiteral("Left"), QStringLiteral("btnLeft"), this);
    QPushButton *right = MakeButton(QStringLiteral("Right"), QStringLiteral("btnRight"), this);
    digits->addWidget(left, 2, 2);
    digits->addWidget(right, 2, 3);
    connect(left, &QPushButton::pressed, this, &TimeDateDlg::OnLeft);
    connect(right, &QPushButton::pressed, this, &TimeDateDlg::OnRight);

    QPushButton *curTime = MakeButton(QStringLiteral("CurTime"), QStringLiteral("btnCurTime"), this);
    QPushButton *ok = MakeButton(QStringLiteral(" 确定 "), QStringLiteral("btnOK"), this);
    QPushButton *cancel = MakeButton(QStringLiteral(" 取消 "), QStringLiteral("btnCancel"), this);
    connect(curTime, &QPushButton::clicked, this, &TimeDateDlg::OnCurTime);
    connect(ok, &QPushButton::clicked, this, &TimeDateDlg::OnOK);
    connect(cancel, &QPushButton::clicked, this, &TimeDateDlg::reject);
    auto *commands = new QHBoxLayout;
    commands->setSpacing(kSpacing);
    commands->addWidget(curTime);
    commands->addWidget(ok);
    commands->addWidget(cancel);

    auto *main = new QVBoxLayout(this);
    main->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    main->setSpacing(kSpacing);
    main->addWidget(label);
    main->addWidget(m_field);
    main->addLayout(digits, 3);
    main->addLayout(commands, 1);

    ScreenLook look = SettingsLook();
    look.BaseSheet += QString::fromUtf8(kTimeSheet);
    SetUpScreen(this, look);
    SetValue(CurrentPlatform().Now());
    m_field->setFocus();
    m_field->SelectSection(0);
}

void TimeDateDlg::SetValue(const QDateTime &t)
{
    m_field->setDateTime(t);
    // The field keeps within its limits; the result is what it shows.
    m_value = m_field->dateTime();
}

void TimeDateDlg::OnInsertData()
{
    const int d = int(std::find(m_digits.begin(), m_digits.end(), sender()) - m_digits.begin());
    if (d < 0 || d >= kDigits)
        return;
    m_field->setFocus();
    QCoreApplication::postEvent(m_field, new QKeyEvent(QEvent::KeyPress, Qt::Key_0 + d, Qt::NoModifier,
                                                       m_digits[d]->text()));
}

void TimeDateDlg::DeliverTypedDigits()
{
    // Digits reach the field as posted key presses, and a burst of keys is
    // handled before any of them arrives: without this a Right typed after
    // "2024" would move on first and the year would land in the month, and
    // an OK would close on the value without its last digits.
    QCoreApplication::sendPostedEvents(m_field, QEvent::KeyPress);
}

void TimeDateDlg::OnCurTime()
{
    DeliverTypedDigits();
    SetValue(CurrentPlatform().Now());
}

void TimeDateDlg::OnLeft()
{
    DeliverTypedDigits();
    const int i = m_field->currentSectionIndex();
    if (i > 0)
        m_field->SelectSection(i - 1);
}

void TimeDateDlg::OnRight()
{
    DeliverTypedDigits();
    const int i = m_field->currentSectionIndex();
    if (i < m_field->sectionCount() - 1)
        m_field->SelectSection(i + 1);
}

void TimeDateDlg::OnOK()
{
    // Only a value the operator can see may set the clock: a half-typed
    // section (a year "202") is interpreted, shown, and left for a second OK.
    DeliverTypedDigits();
    if (!m_field->HasAcceptableInput()) {
        const int section = m_field->currentSectionIndex();
        m_field->interpretText();
        m_field->SelectSection(section);
        return;
    }
    releaseKeyboard();
    m_field->interpretText();
    m_value = m_field->dateTime();
    accept();
}

void TimeDateDlg::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    const bool alt = event->modifiers() & Qt::AltModifier;
    if (key == Qt::Key_Escape) {
        releaseKeyboard();
        reject();
    } else if ((key == Qt::Key_Return || key == Qt::Key_Enter) && alt) {
        OnOK();
    } else if (key == Qt::Key_Left) {
        OnLeft();
    } else if (key == Qt::Key_Right) {
        OnRight();
    } else if (key >= Qt::Key_0 && key <= Qt::Key_9) {
        m_digits[key - Qt::Key_0]->click();
    }
}
