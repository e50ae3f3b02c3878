#include "CDlgMsgQuestion.h"
#include "ui_CDlgMsgQuestion.h"

#include "FocusGrid.h"
#include "ScreenSetup.h"

#include <QSpacerItem>

namespace {
const int kFontPointSize = 24;
const int kButtonFontPointSize = 26;
const int kButtonWidth = 180;
const int kButtonHeight = 60;
const int kShortHeight = 150; // height of a question with one or two answers
const char *const kBaseSheet =
    "QWidget{color: rgb(0, 0, 0);background-color: rgb(255, 255, 255);font: 20pt ;}"
    "QPushButton{color: rgb(0, 0, 0);border-width: 2px;border-color: rgb(0, 0, 0);border-style: solid;}"
    "QLineEdit{border-width: 2px;border-color: rgb(0, 0, 0);border-style: solid;}"
    "QToolButton{color: rgb(0, 0, 0);border-width: 2px;border-color: rgb(0, 0, 0);border-style: solid;font: 40pt ;}";
} // namespace

CDlgMsgQuestion::CDlgMsgQuestion(const QString &text, QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::CDlgMsgQuestion>())
    , m_question(text)
{
    ui->setupUi(this);
    setWindowTitle(QStringLiteral("消息"));
    ui->LBShow->setText(text);
    ui->BtnOK->setText(QStringLiteral(" 确定 "));
    ui->BtnCancle->setText(QStringLiteral(" 取消 "));
    ui->BtnOK2->hide();

    const QFont buttonFont = ScreenFont(kButtonFontPointSize);
    for (QPushButton *b : {ui->BtnOK, ui->BtnOK2, ui->BtnCancle}) {
        b->setFont(buttonFont);
        b->setFixedSize(kButtonWidth, kButtonHeight);
        // Enter is the focus grid's; a default button would answer it first.
        b->setAutoDefault(false);
    }

    ScreenLook look;
    look.BaseSheet = QString::fromUtf8(kBaseSheet);
    look.FontPointSize = kFontPointSize;
    look.FullScreen = false;
    look.GrabKeyboard = false;
    SetUpScreen(this, look);

    // Arrow keys walk the shown answers; the caller keeps or pauses its own grab.
    m_grid = new FocusGrid(this, {ui->BtnOK, ui->BtnOK2, ui->BtnCancle});
    m_grid->SetSkipUnavailable(true);
    m_grid->SetGrabOnRefresh(false);
    ui->BtnOK->setFocus();
}

CDlgMsgQuestion::~CDlgMsgQuestion() = default;

void CDlgMsgQuestion::SetTexts(const QString &title, const QString &question, const QString &okText,
                               const QString &cancelText, const QString &ok2Text)
{
    if (!title.trimmed().isEmpty())
        setWindowTitle(title);
    if (question.trimmed().isEmpty()) {
        ui->LBShow->hide();
    } else {
        m_question = question;
        ui->LBShow->setText(question);
        // As a message box's text: what the operator was asked, for reports and outside tests.
        qCDebug(lcDialogs).noquote() << "question:" << question;
        ui->LBShow->show();
    }
    const auto caption = [](QPushButton *b, const QString &text) {
        b->setVisible(!text.trimmed().isEmpty());
        if (!text.trimmed().isEmpty())
            b->setText(text);
    };
    caption(ui->BtnOK, okText);
    caption(ui->BtnCancle, cancelText);
    caption(ui->BtnOK2, ok2Text);

    const bool allThree = !ui->BtnOK->isHidden() && !ui->BtnCancle->isHidden() && !ui->BtnOK2->isHidden();
    if (allThree) {
        ui->spacerLeft->changeSize(0, 0, QSizePolicy::Fixed, QSizePolicy::Minimum);
        ui->spacerRight->changeSize(0, 0, QSizePolicy::Fixed, QSizePolicy::Minimum);
    }
    // The row has changed: the dialog takes its new natural size (three
    // answers would not fit the width fixed for two).
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    layout()->invalidate();
    FixAtNaturalSize(this);
    if (!allThree)
        setFixedHeight(kShortHeight);
}

void CDlgMsgQuestion::SetButtonFocus(int button)
{
    QPushButton *const buttons[] = {ui->BtnOK, ui->BtnCancle, ui->BtnOK2};
    if (button < 0 || button >= int(std::size(buttons)))
        return;
    buttons[button]->setFocus();
    m_grid->SetIndex(m_grid->IndexOf(buttons[button]));
}

void CDlgMsgQuestion::on_BtnOK_clicked()
{
    m_choice = 1;
    accept();
}

void CDlgMsgQuestion::on_BtnOK2_clicked()
{
    m_choice = 2;
    accept();
}

void CDlgMsgQuestion::on_BtnCancle_clicked()
{
    m_choice = 0;
    reject();
}
