#include "MyTDEdit.h"

#include "TDLineEdit.h"

#include <QKeyEvent>

MyTDEdit::MyTDEdit(QWidget *parent)
    : QDateTimeEdit(parent)
    , m_line(new TDLineEdit(this))
{
    setLineEdit(m_line);
    connect(m_line, &TDLineEdit::mousechick, this, &MyTDEdit::on_Chicked);
}

bool MyTDEdit::HasAcceptableInput() const
{
    QString text = m_line->text();
    int pos = m_line->cursorPosition();
    return validate(text, pos) == QValidator::Acceptable;
}

void MyTDEdit::SelectSection(int index)
{
    setCurrentSectionIndex(index);
    setSelectedSection(currentSection());
}

void MyTDEdit::on_Chicked()
{
    setSelectedSection(currentSection());
}

void MyTDEdit::keyPressEvent(QKeyEvent *event)
{
    const int before = currentSectionIndex();
    const bool digit = event->key() >= Qt::Key_0 && event->key() <= Qt::Key_9;
    QDateTimeEdit::keyPressEvent(event);
    // The field moves on by itself once a section is full; here the operator
    // moves with Left and Right, and the section just filled stays selected
    // so that a further digit starts it again.
    if (digit && currentSectionIndex() != before)
        SelectSection(before);
}
