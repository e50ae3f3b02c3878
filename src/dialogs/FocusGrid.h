#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QVector>

#include <functional>

class QAbstractButton;
class QKeyEvent;
class QWidget;

/// Keyboard operation of a screen in one place: a list of widgets (the grid,
/// row by row) with a current index, arrow-key moves that wrap within the
/// first Count() items, Enter/Return clicking the focused enabled widget,
/// Alt+Enter/Return confirming, Alt+letter running the enabled button whose
/// caption ends in "(letter)", and optionally physical keys that press items.
///
/// The grid watches the owner and its items: key presses reaching either are
/// handled here, and a mouse press on an item makes it the current one. Keys it
/// does not handle (Esc, for instance) go on to the owner as usual.
///
///     m_grid = new FocusGrid(this, {ui->btnA, ui->btnB, ui->btnC, ui->btnD});
///     m_grid->SetSteps(1, 2);                      // two columns
///     m_grid->SetConfirm([this] { accept(); });    // Alt+Return
///     m_grid->Refresh();
class FocusGrid : public QObject
{
    Q_OBJECT

public:
    enum class Move { Left, Right, Up, Down };

    /// The grid belongs to owner (its Qt parent) and starts at index 0.
    explicit FocusGrid(QWidget *owner, const QList<QWidget *> &items = {});

    void SetItems(const QList<QWidget *> &items);
    QList<QWidget *> Items() const;
    QWidget *Item(int index) const;
    int IndexOf(const QWidget *item) const;

    /// Moves wrap within the first count items (all by default); the others are out of reach.
    void SetCount(int count);
    int Count() const { return m_count; }

    /// Index steps of Left/Right and Up/Down (default 1 and 1).
    void SetSteps(int horizontal, int vertical);
    /// Moves step over hidden and disabled items (default false).
    void SetSkipUnavailable(bool skip) { m_skipUnavailable = skip; }
    /// A screen's own exceptions to the plain steps: return the new index, or
    /// -1 for the plain step.
    void SetMoveRule(std::function<int(int index, Move move)> rule) { m_moveRule = std::move(rule); }
    /// Index reached from index by move, after the rule, the step, the wrap and the skipping.
    int IndexAfter(int index, Move move) const;

    /// Key codes index-aligned with the items: a key press whose key equals one
    /// of the first Count() codes clicks that item and makes it current.
    /// kNoKey matches nothing.
    void SetKeyCodes(const QVector<int> &codes) { m_keyCodes = codes; }
    static constexpr int kNoKey = -1;

    /// Alt+Enter/Return runs confirm; without one, the keys are left to the owner.
    void SetConfirm(std::function<void()> confirm) { m_confirm = std::move(confirm); }
    /// Runs after every plain Enter/Return, with the button it clicked (or null).
    void SetAfterEnter(std::function<void(QWidget *clicked)> after) { m_afterEnter = std::move(after); }
    /// Buttons that Alt+letter reaches (default: the items that are buttons).
    void SetShortcutButtons(const QList<QAbstractButton *> &buttons);
    /// Swallows Tab and Backtab so that the focus cannot leave the grid (default false).
    void SetIgnoreTab(bool ignore) { m_ignoreTab = ignore; }
    /// Refresh grabs the keyboard for the owner (default true).
    void SetGrabOnRefresh(bool grab) { m_grabOnRefresh = grab; }

    int Index() const { return m_index; }
    /// Makes index current (any value is kept; only 0 ≤ index < Count() gets the focus) and refreshes.
    void SetIndex(int index);
    /// Focuses the owner, grabs the keyboard, then focuses the current item when it is within reach.
    void Refresh();

    /// Clicks the focused widget when it is an enabled button; returns it, or null.
    QWidget *ClickFocused();

    /// Handles one key press; true when it was used.
    bool HandleKey(QKeyEvent *event);

signals:
    void IndexChanged(int index);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool Available(int index) const;
    QWidget *FocusedWidget() const;
    bool RunShortcut(int key);

    QWidget *m_owner;
    QList<QPointer<QWidget>> m_items;
    QList<QPointer<QAbstractButton>> m_shortcutButtons;
    bool m_customShortcuts = false;
    QVector<int> m_keyCodes;
    int m_count = 0;
    int m_index = 0;
    int m_hStep = 1;
    int m_vStep = 1;
    bool m_skipUnavailable = false;
    bool m_ignoreTab = false;
    bool m_grabOnRefresh = true;
    std::function<int(int, Move)> m_moveRule;
    std::function<void()> m_confirm;
    std::function<void(QWidget *)> m_afterEnter;
};

/// The letter of a caption such as "采样(S)" (upper case), or 0 when it has none.
QChar CaptionShortcut(const QString &caption);
