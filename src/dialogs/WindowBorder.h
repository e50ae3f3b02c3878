#pragma once

#include <QWidget>

/// A visible frame around a small window. Without a window manager (as on the
/// controller) a dialog gets no decoration of its own and would run into
/// whatever lies behind it. The frame is a child that covers its window,
/// stays above the window's other children, lets touches through and paints
/// only the border.
class WindowBorder : public QWidget
{
    Q_OBJECT

public:
    /// Width of the frame in pixels.
    static constexpr int kWidth = 2;

    /// Gives window its frame (once; a second call does nothing).
    static void AddTo(QWidget *window);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    explicit WindowBorder(QWidget *window);
};
