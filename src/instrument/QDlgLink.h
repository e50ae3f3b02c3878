#pragma once

#include <QDialog>
#include <memory>

class FocusGrid;
class LinkDialogOwner;
class QTimer;

namespace Ui {
class QDlgLink;
}

/// The small window the acquisition screen shows while it connects to the
/// unit: progress, the failure text when the connection fails or is lost, and
/// a retry. It closes by itself once the link is up; closing only hides it.
class QDlgLink : public QDialog
{
    Q_OBJECT

public:
    /// owner's waiting flag guards cancel and its Connect() runs a retry; owner may be null.
    explicit QDlgLink(LinkDialogOwner *owner, QWidget *parent = nullptr);
    ~QDlgLink() override;

    /// Shows text (a failure) and enables retry and cancel; the caller shows
    /// the window when it was not showing a result before.
    void ShowResult(const QString &text);
    /// The link is up: the window closes by itself.
    void CloseOnSuccess();

    /// True while the window is up showing progress or a result.
    bool IsShowingResult() const { return m_showingResult; }
    void SetShowingResult(bool showing) { m_showingResult = showing; }

    /// Text shown while a connection attempt runs.
    static QString ConnectingText();
    /// Answer to a cancel while a command waits for its reply.
    static QString BusyText();

public slots:
    void on_btnReTry_clicked();
    void on_btnCancel_clicked();
    /// Once a second: closes the window when the link has come up meanwhile.
    void UpdateTime();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void closeQuietly();

    LinkDialogOwner *m_owner = nullptr;
    bool m_showingResult = false;
    QTimer *m_timer = nullptr;
    std::unique_ptr<Ui::QDlgLink> ui;
    FocusGrid *m_grid = nullptr;
};
