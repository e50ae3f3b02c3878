#pragma once

#include <QLineEdit>

/// The date-time field's line edit: reports every mouse release, after it
/// has placed the cursor, so that the field can select the section touched.
class TDLineEdit : public QLineEdit
{
    Q_OBJECT

public:
    explicit TDLineEdit(QWidget *parent = nullptr);

signals:
    void mousechick();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
};
