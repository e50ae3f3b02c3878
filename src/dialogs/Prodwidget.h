#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class Prodwidget;
}

/// Progress window of the long file operations (reading a record, copying or
/// deleting a project). Its callers run their loops on the GUI thread without
/// returning to the event loop, so the window paints itself synchronously.
class Prodwidget : public QWidget
{
    Q_OBJECT

public:
    /// Frameless top-level window, half the screen wide, a third high, centred.
    explicit Prodwidget(QWidget *parent = nullptr);
    ~Prodwidget() override;

    void SetText(const QString &text);
    void SetRange(int min, int max);
    /// Cheap enough to call for every sample: the window is repainted only when
    /// the bar's filled part or its percentage text changes.
    void SetValue(int value);

    /// The last value given to SetValue, bounded to the range.
    int Value() const { return m_value; }
    /// How often the bar has been painted since the window was built.
    int BarPaintCount() const { return m_barPaints; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Shown
    {
        int percent = -1;
        int chunk = -1;
        bool operator==(const Shown &o) const { return percent == o.percent && chunk == o.chunk; }
    };
    Shown ShownFor(int value) const;
    void MeasureBar();
    void ShowValue(int value);

    std::unique_ptr<Ui::Prodwidget> ui;
    int m_min = 0;
    int m_max = 100;
    int m_value = 0;
    int m_barWidth = 0; ///< width of the bar's filled area when full, in pixels
    Shown m_shown;
    int m_paintedValue = 0;
    int m_barPaints = 0;
};
