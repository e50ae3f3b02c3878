#pragma once

class QApplication;
class QDialog;

/// Ends the program when the launcher finishes, and only then. Qt would
/// otherwise quit as soon as a parentless window (a progress window, a
/// keypad) closes while the launcher is hidden behind a task screen, whose
/// own windows have parents and so do not count as open.
void TieApplicationToLauncher(QApplication &app, QDialog &launcher);

/// Gives every top-level window its class name as X window role
/// (WM_WINDOW_ROLE), so that a test driving the real program on a display
/// can tell its frameless screens apart; the operator never sees it.
void TagWindowRoles(QApplication &app);
