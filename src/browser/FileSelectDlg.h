#pragma once

#include <QDialog>
#include <QStringList>

#include <array>
#include <memory>

namespace Ui {
class FileSelectDlg;
}
class FocusGrid;
class QPushButton;
struct RecordChoice;

/// The full-screen browser of the data folder: projects or the records of
/// one project, five to a page, sorted by name or date. Depending on its mode
/// it returns the pick, copies the picked project to the USB stick or deletes
/// it.
class FileSelectDlg : public QDialog
{
    Q_OBJECT

public:
    enum Mode { ModeChooseProject = 0, ModeExport = 1, ModeDelete = 2, ModeChooseRecord = 3 };
    /// Entries on one page.
    static constexpr int kRowsPerPage = 5;

    FileSelectDlg(int mode, QWidget *parent = nullptr);
    ~FileSelectDlg() override;

    /// Sorts by name (byName) or date, lists again and shows page (kept
    /// within the pages there are).
    void SetPosition(int page, bool byName);

    int Mode() const { return m_mode; }
    int Page() const { return m_page; }
    bool SortByName() const { return m_sortByName; }
    /// Name picked from the list, without extension.
    QString SelectedName() const { return m_selected; }
    /// Project whose records mode 3 lists.
    QString Project() const { return m_project; }
    /// The entries listed, file names with extension, in display order.
    const QStringList &Entries() const { return m_entries; }
    /// True while an export or a deletion runs: the browser takes no input.
    bool IsBusy() const { return m_busy; }

    /// The project list offers the journal of unsaved shots as a project of
    /// its own (JournalProjectName()), for the record browser's project change.
    void SetOffersJournal(bool offers);

    /// Wait between two removals of a deletion (−1: the usual second).
    void SetDeletionPaceMs(int ms) { m_paceMs = ms; }

    /// Runs the browser in mode 3 over parent at choice's page and sort order;
    /// the pick goes into choice, and so do the page and order it was left at.
    /// False when cancelled.
    static bool ChooseRecord(QWidget *parent, RecordChoice &choice);

public slots:
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    /// Shortens the name captions again when their buttons change width.
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private slots:
    void on_BTN_NAME1_pressed();
    void on_BTN_NAME2_pressed();
    void on_BTN_NAME3_pressed();
    void on_BTN_NAME4_pressed();
    void on_BTN_NAME5_pressed();
    void on_BTN_DATE1_pressed();
    void on_BTN_DATE2_pressed();
    void on_BTN_DATE3_pressed();
    void on_BTN_DATE4_pressed();
    void on_BTN_DATE5_pressed();
    void on_BTN_NAME_clicked();
    void on_BTN_DATE_clicked();
    void on_BTN_NEXT_pressed();
    void on_BTN_PREPAGE_pressed();
    void on_BTN_CHANGE_pressed();
    void on_BTN_CANCAL_pressed();
    void on_BTN_OK_pressed();

private:
    void SetUpCaptions();
    void SetUpFocusGrid();
    void ListAgain();
    void ShowPage();
    void UpdateCaptions();
    /// What a name button shows when it is wide enough.
    QString FullCaption(const QPushButton *button) const;
    void PickRow(int row);
    void SortBy(bool byName);
    void SetSelected(const QString &name);
    int PageCount() const;
    void RunProjectTask();
    QString EntryExtension() const;
    bool ListsJournal() const;

    std::unique_ptr<Ui::FileSelectDlg> ui;
    int m_mode;
    QString m_selected;
    QString m_project;
    QString m_folder;
    QStringList m_entries;
    int m_page = 1;
    bool m_sortByName = true;
    bool m_busy = false;
    int m_paceMs = -1;
    bool m_offersJournal = false;
    FocusGrid *m_grid = nullptr;
    std::array<QPushButton *, kRowsPerPage> m_nameButtons{};
    std::array<QPushButton *, kRowsPerPage> m_dateButtons{};
    /// Full names of the rows on show (their captions may be shortened to fit).
    std::array<QString, kRowsPerPage> m_rowNames;
};
