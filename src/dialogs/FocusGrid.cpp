#include "FocusGrid.h"

#include "ScreenSetup.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QRegularExpression>
#include <QWidget>

#include <algorithm>

QChar CaptionShortcut(const QString &caption)
{
    static const QRegularExpression letterInBrackets(QStringLiteral("\\(([A-Za-z0-9])\\)\\s*$"));
    const QRegularExpressionMatch m = letterInBrackets.match(caption);
    return m.hasMatch() ? m.captured(1).at(0).toUpper() : QChar();
}

FocusGrid::FocusGrid(QWidget *owner, const QList<QWidget *> &items)
    : QObject(owner)
    , m_owner(owner)
{
    m_owner->installEventFilter(this);
    SetItems(items);
}

void FocusGrid::SetItems(const QList<QWidget *> &items)
{
    for (const auto &w : std::as_const(m_items))
        if (w)
            w->removeEventFilter(this);
    m_items.clear();
    for (QWidget *w : items) {
        m_items.append(w);
        if (w)
            w->installEventFilter(this);
    }
    m_count = int(m_items.size());
}

QList<QWidget *> FocusGrid::Items() const
{
    QList<QWidget *> list;
    for (const auto &w : m_items)
        list.append(w.data());
    return list;
}

QWidget *FocusGrid::Item(int index) const
{
    return index >= 0 && index < m_items.size() ? m_items.at(index).data() : nullptr;
}

int FocusGrid::IndexOf(const QWidget *item) const
{
    for (int i = 0; i < m_items.size(); ++i)
        if (item && m_items.at(i) == item)
            return i;
    return -1;
}

void FocusGrid::SetCount(int count)
{
    m_count = std::clamp(count, 0, int(m_items.size()));
}

void FocusGrid::SetSteps(int horizontal, int vertical)
{
    m_hStep = horizontal;
    m_vStep = vertical;
}

void FocusGrid::SetShortcutButtons(const QList<QAbstractButton *> &buttons)
{
    m_shortcutButtons.clear();
    for (QAbstractButton *b : buttons)
        m_shortcutButtons.append(b);
    m_customShortcuts = true;
}

bool FocusGrid::Available(int index) const
{
    const QWidget *w = Item(index);
    return w && !w->isHidden() && w->isEnabled();
}

int FocusGrid::IndexAfter(int index, Move move) const
{
    if (m_moveRule) {
        const int ruled = m_moveRule(index, move);
        if (ruled >= 0)
            return ruled;
    }
    const int n = m_count;
    if (n <= 0)
        return index;
    int step = 0;
    switch (move) {
    case Move::Left: step = -m_hStep; break;
    case Move::Right: step = m_hStep; break;
    case Move::Up: step = -m_vStep; break;
    case Move::Down: step = m_vStep; break;
    }
    int i = index;
    // At most n steps: after that every reachable item has been tried.
    for (int tries = 0; tries < n; ++tries) {
        i = ((i + step) % n + n) % n;
        if (!m_skipUnavailable || Available(i))
            return i;
    }
    return index;
}

void FocusGrid::SetIndex(int index)
{
    if (m_index != index) {
        m_index = index;
        emit IndexChanged(m_index);
    }
    Refresh();
}

void FocusGrid::Refresh()
{
    // A screen closed by the key just handled keeps neither focus nor keyboard.
    if (WasClosed(m_owner))
        return;
    m_owner->setFocus();
    if (m_grabOnRefresh)
        m_owner->grabKeyboard();
    if (m_index >= 0 && m_index < m_count)
        if (QWidget *w = Item(m_index))
            w->setFocus();
}

QWidget *FocusGrid::FocusedWidget() const
{
    QWidget *w = m_owner->focusWidget();
    if (w && w != m_owner)
        return w;
    return m_index >= 0 && m_index < m_count ? Item(m_index) : nullptr;
}

QWidget *FocusGrid::ClickFocused()
{
    auto *button = qobject_cast<QAbstractButton *>(FocusedWidget());
    if (!button || !button->isEnabled())
        return nullptr;
    QPointer<QAbstractButton> clicked(button);
    button->click();
    return clicked.data();
}

bool FocusGrid::RunShortcut(int key)
{
    const bool letter = (key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9);
    if (!letter)
        return false;
    QList<QAbstractButton *> buttons;
    if (m_customShortcuts) {
        for (const auto &b : std::as_const(m_shortcutButtons))
            if (b)
                buttons.append(b);
    } else {
        for (const auto &w : std::as_const(m_items))
            if (auto *b = qobject_cast<QAbstractButton *>(w.data()))
                buttons.append(b);
    }
    for (QAbstractButton *b : std::as_const(buttons)) {
        if (CaptionShortcut(b->text()) != QChar(key))
            continue;
        if (b->isEnabled() && !b->isHidden()) {
            const int i = IndexOf(b);
            if (i >= 0)
                m_index = i;
            b->setFocus();
            b->click();
        }
        return true;
    }
    return false;
}

bool FocusGrid::HandleKey(QKeyEvent *event)
{
    const int key = event->key();
    const bool alt = event->modifiers() & Qt::AltModifier;
    switch (key) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return m_ignoreTab;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (alt) {
            if (!m_confirm)
                return false;
            m_confirm();
            return true;
        }
    {
        QPointer<QWidget> clicked = ClickFocused();
        if (m_afterEnter)
            m_afterEnter(clicked.data());
        return true;
    }
    case Qt::Key_Left:
        SetIndex(IndexAfter(m_index, Move::Left));
        return true;
    case Qt::Key_Right:
        SetIndex(IndexAfter(m_index, Move::Right));
        return true;
    case Qt::Key_Up:
        SetIndex(IndexAfter(m_index, Move::Up));
        return true;
    case Qt::Key_Down:
        SetIndex(IndexAfter(m_index, Move::Down));
        return true;
    default:
        break;
    }
    if (alt && RunShortcut(key))
        return true;
    const int codes = std::min(m_count, int(m_keyCodes.size()));
    for (int i = 0; i < codes; ++i) {
        if (m_keyCodes.at(i) == kNoKey || m_keyCodes.at(i) != key)
            continue;
        QPointer<QAbstractButton> button = qobject_cast<QAbstractButton *>(Item(i));
        if (button)
            button->click();
        SetIndex(i);
        return true;
    }
    return false;
}

bool FocusGrid::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
        if (HandleKey(static_cast<QKeyEvent *>(event)))
            return true;
        break;
    case QEvent::MouseButtonPress: {
        const int i = IndexOf(qobject_cast<QWidget *>(watched));
        if (i >= 0 && i < m_count && m_index != i) {
            m_index = i;
            emit IndexChanged(m_index);
        }
        break;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
