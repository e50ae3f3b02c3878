#include "TDLineEdit.h"

TDLineEdit::TDLineEdit(QWidget *parent)
    : QLineEdit(parent)
{
}

void TDLineEdit::mouseReleaseEvent(QMouseEvent *event)
{
    QLineEdit::mouseReleaseEvent(event);
    emit mousechick();
}
