#include "CDlgMsgBox.h"
#include "ui_CDlgMsgBox.h"

#include "ScreenSetup.h"

#include <QKeyEvent>

namespace {
const int kFontPointSize = 25;
const char *const kBaseSheet =
    "QWidget{color: rgb(0, 0, 0);background-color: rgb(255, 255, 255);font: 30pt ;}"
    "QPushButton{color: rgb(0, 0, 0);border-width: 2px;border-color: rgb(0, 0, 0);border-style: solid;}"
    "QLineEdit{border-width: 2px;border-color: rgb(0, 0, 0);border-style: solid;}"
    "QToolButton{color: rgb(0, 0, 0);border-width: 2px;border-color: rgb(0, 0, 0);border-style: solid;font: 40pt ;}";
// A message never grows past this share of the screen's width; longer ones wrap.
const int kMaxWidthPercent = 90;
const int kPercent = 100;
} // namespace

CDlgMsgBox::CDlgMsgBox(const QString &text, QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::CDlgMsgBox>())
{
    ui->setupUi(this);
    ui->labelMsg->setText(text);
    // What the operator was told, for a crew's report and for tests that
    // drive the program from outside and cannot read the screen's text.
    qCDebug(lcDialogs).noquote() << "message:" << text;

    ScreenLook look;
    look.BaseSheet = QString::fromUtf8(kBaseSheet);
    look.FontPointSize = kFontPointSize;
    look.FullScreen = false;
    look.GrabKeyboard = false;
    setFont(ScreenFont(kFontPointSize));
    setStyleSheet(ScreenStyleSheet(look.BaseSheet));
    ensurePolished();
    ui->labelMsg->ensurePolished();

    // The longest messages (range errors) are wider than a small screen at
    // this size; they wrap instead of running off the edge.
    const int widest = ScreenArea(this, false).width() * kMaxWidthPercent / kPercent;
    const QMargins m = layout()->contentsMargins();
    if (widest > 0 && ui->labelMsg->sizeHint().width() + m.left() + m.right() > widest) {
        ui->labelMsg->setWordWrap(true);
        ui->labelMsg->setFixedWidth(widest - m.left() - m.right());
    }

    SetUpScreen(this, look);
    ui->BtnOK->setFocus();
    grabKeyboard();
}

CDlgMsgBox::~CDlgMsgBox() = default;

void CDlgMsgBox::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        on_BtnOK_clicked();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CDlgMsgBox::on_BtnOK_clicked()
{
    releaseKeyboard();
    accept();
}
