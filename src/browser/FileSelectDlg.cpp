#include "FileSelectDlg.h"
#include "ui_FileSelectDlg.h"

#include "ProjectTaskWindow.h"
#include "dialogs/FocusGrid.h"
#include "dialogs/ScreenSetup.h"
#include "dialogs/TaskScreens.h"
#include "params/ParamSet.h"
#include "records/ProjectDeletion.h"
#include "records/ProjectExport.h"
#include "records/ProjectListing.h"
#include "records/RecordFile.h"
#include "records/ShotJournal.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QKeyEvent>

#include <algorithm>

namespace {

const char *const kBaseSheet =
    "QWidget{color: rgb(0, 0, 0);background-color: rgb(255, 255, 255);font: 25pt ;}"
    "QPushButton{color: rgb(0, 0, 0);border-width: 2px;border-color: rgb(0, 0, 0);border-style: solid;}"
    "QLineEdit{border-width: 2px;border-color: rgb(0, 0, 0);border-style: solid;}"
    "QToolButton{color: rgb(0, 0, 0);border-width: 2px;border-color: rgb(0, 0, 0);border-style: solid;font: 25pt ;}";

const QString kNothingChosen = QStringLiteral("文件不存在或文件名错误！");

struct ModeTexts
{
    const char *Title;
    const char *Ok;
    const char *Cancel;
};
// Index = mode.
const ModeTexts kModeTexts[] = {
    {"工地名:", "确定", "取消"},
    {"导出工地名:", "导出", "退出"},
    {"删除工地名:", "确定", "取消"},
    {"文件名:", "确定", "取消"},
};

// Focus grid: 7 rows of 3 columns; the third column holds the page buttons.
const int kColumns = 3;
const int kChangeIndex = 2;
const int kHeaderPrepageIndex = 5;
const int kFirstNextIndex = 14;
const int kPrepageRows = 2; // list rows whose third column is BTN_PREPAGE

// Room a caption leaves for the border and the button's own padding.
const int kCaptionMargin = 16;
// The widest date a date button must show in full.
const char kWidestDate[] = "0000/00/00";
// Name buttons shrink to this at most; long names are shortened instead.
const int kMinNameWidth = 80;

// Shortens text in the middle until it fits button, so that long names
// neither push the date column off the screen nor lose their endings. A name
// is shown as it is: an "&" in it would otherwise vanish from the caption and
// make the next letter a shortcut.
void SetFittingText(QPushButton *button, const QString &text)
{
    button->ensurePolished();
    const int room = button->width() - kCaptionMargin;
    const QFontMetrics metrics(button->font());
    button->setText(LiteralCaption(room > 0 ? metrics.elidedText(text, Qt::ElideMiddle, room) : text));
}

} // namespace

FileSelectDlg::FileSelectDlg(int mode, QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::FileSelectDlg>())
    , m_mode(std::clamp(mode, int(ModeChooseProject), int(ModeChooseRecord)))
    , m_project(CurrentParams().Header.ProjectName)
{
    ui->setupUi(this);
    m_nameButtons = {ui->BTN_NAME1, ui->BTN_NAME2, ui->BTN_NAME3, ui->BTN_NAME4, ui->BTN_NAME5};
    m_dateButtons = {ui->BTN_DATE1, ui->BTN_DATE2, ui->BTN_DATE3, ui->BTN_DATE4, ui->BTN_DATE5};
    ScreenLook look;
    look.BaseSheet = QString::fromUtf8(kBaseSheet);
    SetUpScreen(this, look);
    SetUpCaptions();
    // The rows know their widths from here on, before the browser is shown,
    // and shorten their captions again whenever a width changes.
    layout()->activate();
    ui->BTN_NAME->installEventFilter(this);
    for (QPushButton *b : m_nameButtons)
        b->installEventFilter(this);
    SetUpFocusGrid();
    ListAgain();
    ShowPage();
    m_grid->Refresh();
}

FileSelectDlg::~FileSelectDlg() = default;

void FileSelectDlg::SetUpCaptions()
{
    const ModeTexts &texts = kModeTexts[m_mode];
    ui->LB_TITLE->setText(QString::fromUtf8(texts.Title));
    ui->BTN_OK->setText(QString::fromUtf8(texts.Ok));
    ui->BTN_CANCAL->setText(QString::fromUtf8(texts.Cancel));
    ui->BTN_CHANGE->setText(QStringLiteral(" 更换工地 "));
    ui->BTN_CHANGE->setVisible(m_mode == ModeChooseRecord);
    ui->BTN_DATE->setText(QStringLiteral("创建时间"));
    ui->BTN_PREPAGE->setText(QStringLiteral("上\n一\n页"));
    ui->BTN_NEXT->setText(QStringLiteral("下\n一\n页"));

    // The date column is as wide as a date, whether a page shows dates or
    // not; the name column takes the rest.
    const int headerWidth = ui->BTN_DATE->sizeHint().width();
    ui->BTN_DATE->setText(QLatin1String(kWidestDate));
    const int dateWidth = ui->BTN_DATE->sizeHint().width() + kCaptionMargin;
    ui->BTN_DATE->setText(QStringLiteral("创建时间"));
    ui->BTN_DATE->setMinimumWidth(std::max(dateWidth, headerWidth));
    ui->BTN_NAME->setMinimumWidth(kMinNameWidth);
    for (int r = 0; r < kRowsPerPage; ++r) {
        m_dateButtons[r]->setMinimumWidth(ui->BTN_DATE->minimumWidth());
        m_nameButtons[r]->setMinimumWidth(kMinNameWidth);
    }
}

void FileSelectDlg::SetUpFocusGrid()
{
    QList<QWidget *> items{ui->BTN_OK, ui->BTN_CANCAL, ui->BTN_CHANGE, ui->BTN_NAME, ui->BTN_DATE, ui->BTN_PREPAGE};
    for (int r = 0; r < kRowsPerPage; ++r)
        items << m_nameButtons[r] << m_dateButtons[r] << (r < kPrepageRows ? ui->BTN_PREPAGE : ui->BTN_NEXT);
    m_grid = new FocusGrid(this, items);
    m_grid->SetSteps(1, kColumns);
    // BTN_CHANGE is hidden outside mode 3 and never gets the focus there.
    m_grid->SetSkipUnavailable(true);
    m_grid->SetIgnoreTab(true);
    m_grid->SetMoveRule([this](int index, FocusGrid::Move move) {
        const QWidget *item = m_grid->Item(index);
        int target = -1;
        if (item == ui->BTN_PREPAGE && move == FocusGrid::Move::Up)
            target = kChangeIndex;
        else if (item == ui->BTN_PREPAGE && move == FocusGrid::Move::Down)
            target = kFirstNextIndex;
        else if (item == ui->BTN_NEXT && move == FocusGrid::Move::Up)
            target = kHeaderPrepageIndex;
        else if (item == ui->BTN_NEXT && move == FocusGrid::Move::Down)
            target = kChangeIndex;
        if (target == kChangeIndex && ui->BTN_CHANGE->isHidden())
            return m_grid->IndexAfter(kChangeIndex, move);
        return target;
    });
    m_grid->SetConfirm([this] { on_BTN_OK_pressed(); });
    // Enter on a row picks it and confirms at once.
    m_grid->SetAfterEnter([this](QWidget *clicked) {
        const auto isRow = [clicked](const auto &buttons) {
            return std::find(buttons.begin(), buttons.end(), clicked) != buttons.end();
        };
        if (clicked && (isRow(m_nameButtons) || isRow(m_dateButtons)))
            on_BTN_OK_pressed();
    });
}

QString FileSelectDlg::EntryExtension() const
{
    const ParamSet &params = CurrentParams();
    if (ListsJournal())
        return JournalEntryExtension();
    return m_mode == ModeChooseRecord ? params.RecordFileExt : params.ProjectFolderExt;
}

bool FileSelectDlg::ListsJournal() const
{
    return m_mode == ModeChooseRecord && m_project == JournalProjectName();
}

void FileSelectDlg::SetOffersJournal(bool offers)
{
    m_offersJournal = offers;
    ListAgain();
    ShowPage();
}

void FileSelectDlg::ListAgain()
{
    const ParamSet &params = CurrentParams();
    if (ListsJournal()) {
        // Only whole unsaved pictures; the names run in the order they were
        // taken, the dates newest first.
        m_folder = JournalFolderPath();
        m_entries.clear();
        const QList<JournalEntry> entries = ShotJournal::WholeEntries(m_folder, true);
        for (const JournalEntry &e : entries)
            m_entries.prepend(e.Name + QLatin1Char('.') + JournalEntryExtension());
        if (!m_sortByName)
            std::reverse(m_entries.begin(), m_entries.end());
    } else if (m_mode == ModeChooseRecord) {
        // Empty for an empty project name or one that would leave the data root.
        m_folder = ProjectFolderOf(params, m_project);
        if (!m_folder.isEmpty())
            RemoveUnfinishedRecords(m_folder);
        m_entries = ListEntries(m_folder, params.RecordFileExt, EntryKind::Files, m_sortByName);
    } else {
        m_folder = DataRootPath(params);
        m_entries = ListEntries(m_folder, params.ProjectFolderExt, EntryKind::Folders, m_sortByName);
        if (m_offersJournal && m_mode == ModeChooseProject
            && !ShotJournal::WholeEntries(JournalFolderPath(), true).isEmpty())
            m_entries.prepend(JournalProjectName());
    }
    m_page = 1;
    SetSelected(m_mode == ModeChooseProject ? m_project : QString());
}

int FileSelectDlg::PageCount() const
{
    return std::max(1, int((m_entries.size() + kRowsPerPage - 1) / kRowsPerPage));
}

void FileSelectDlg::ShowPage()
{
    const QString extension = EntryExtension();
    const int first = kRowsPerPage * (m_page - 1);
    for (int r = 0; r < kRowsPerPage; ++r) {
        const int index = first + r;
        const bool used = index >= 0 && index < m_entries.size();
        const QString &entry = used ? m_entries.at(index) : QString();
        m_rowNames[r] = used ? StripExtension(entry, extension) : QString();
        // Only the rows on show read their dates: a flip costs five look-ups.
        m_dateButtons[r]->setText(used ? EntryDateText(m_folder + QLatin1Char('/') + entry) : QString());
    }
    UpdateCaptions();
}

QString FileSelectDlg::FullCaption(const QPushButton *button) const
{
    if (button == ui->BTN_NAME)
        return m_mode == ModeChooseRecord ? m_project + QStringLiteral("/文件") : QStringLiteral("名称");
    const auto row = std::find(m_nameButtons.begin(), m_nameButtons.end(), button);
    return row != m_nameButtons.end() ? m_rowNames[size_t(row - m_nameButtons.begin())] : QString();
}

void FileSelectDlg::UpdateCaptions()
{
    SetFittingText(ui->BTN_NAME, FullCaption(ui->BTN_NAME));
    for (QPushButton *b : m_nameButtons)
        SetFittingText(b, FullCaption(b));
}

bool FileSelectDlg::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize)
        if (auto *b = qobject_cast<QPushButton *>(watched))
            SetFittingText(b, FullCaption(b));
    return QDialog::eventFilter(watched, event);
}

void FileSelectDlg::SetPosition(int page, bool byName)
{
    m_sortByName = byName;
    ListAgain();
    // A page beyond the end (records deleted since) shows the last one.
    m_page = std::clamp(page, 1, PageCount());
    ShowPage();
}

void FileSelectDlg::SetSelected(const QString &name)
{
    m_selected = name;
    ui->EDIT_INPUT->setText(name);
    ui->EDIT_INPUT->setCursorPosition(0); // a long name shows its beginning
}

void FileSelectDlg::PickRow(int row)
{
    if (m_busy)
        return;
    SetSelected(m_rowNames[row]);
}

void FileSelectDlg::on_BTN_NAME1_pressed() { PickRow(0); }
void FileSelectDlg::on_BTN_NAME2_pressed() { PickRow(1); }
void FileSelectDlg::on_BTN_NAME3_pressed() { PickRow(2); }
void FileSelectDlg::on_BTN_NAME4_pressed() { PickRow(3); }
void FileSelectDlg::on_BTN_NAME5_pressed() { PickRow(4); }
void FileSelectDlg::on_BTN_DATE1_pressed() { PickRow(0); }
void FileSelectDlg::on_BTN_DATE2_pressed() { PickRow(1); }
void FileSelectDlg::on_BTN_DATE3_pressed() { PickRow(2); }
void FileSelectDlg::on_BTN_DATE4_pressed() { PickRow(3); }
void FileSelectDlg::on_BTN_DATE5_pressed() { PickRow(4); }

// A header press sorts by its column; pressed again, it reverses the order.
void FileSelectDlg::SortBy(bool byName)
{
    if (m_busy)
        return;
    if (m_sortByName != byName) {
        m_sortByName = byName;
        ListAgain();
    } else {
        std::reverse(m_entries.begin(), m_entries.end());
        m_page = 1;
    }
    ShowPage();
}

void FileSelectDlg::on_BTN_NAME_clicked()
{
    SortBy(true);
}

void FileSelectDlg::on_BTN_DATE_clicked()
{
    SortBy(false);
}

void FileSelectDlg::on_BTN_NEXT_pressed()
{
    if (m_busy || m_page * kRowsPerPage >= m_entries.size())
        return;
    ++m_page;
    ShowPage();
}

void FileSelectDlg::on_BTN_PREPAGE_pressed()
{
    if (m_busy || m_page < 2)
        return;
    --m_page;
    ShowPage();
}

void FileSelectDlg::on_BTN_CHANGE_pressed()
{
    if (m_busy || m_mode != ModeChooseRecord)
        return;
    {
        KeyboardGrabPause pause;
        FileSelectDlg chooser(ModeChooseProject, this);
        chooser.SetOffersJournal(true);
        if (chooser.exec() == QDialog::Accepted) {
            // The whole folder name: a shortened one would send the next
            // saved record into a new folder of that shorter name.
            m_project = chooser.SelectedName();
            // The journal is no project to save into: a picture read from
            // it is saved into the project that was current.
            if (m_project != JournalProjectName()) {
                CurrentParams().Header.ProjectName = m_project;
                // The acquisition screen saves with the backup set's parameters.
                BackupParams().Header.ProjectName = m_project;
            }
            ListAgain();
            ShowPage();
        }
    }
    SetSelected(QString());
    m_grid->Refresh();
}

void FileSelectDlg::on_BTN_CANCAL_pressed()
{
    reject();
}

void FileSelectDlg::on_BTN_OK_pressed()
{
    if (m_busy)
        return;
    if (m_selected.isEmpty()) {
        ShowMessage(this, kNothingChosen);
        m_grid->Refresh();
        return;
    }
    if (m_mode == ModeChooseProject || m_mode == ModeChooseRecord) {
        accept();
        return;
    }
    RunProjectTask();
    m_grid->Refresh();
}

void FileSelectDlg::RunProjectTask()
{
    const bool exporting = m_mode == ModeExport;
    ProjectTaskResult result = ProjectTaskResult::Failed;
    QStringList unconverted;
    {
        KeyboardGrabPause pause;
        // No second OK, page flip or Cancel while files are copied or removed:
        // the waits below keep the event loop running. The buttons rather
        // than the dialog are disabled, so that the questions asked over it
        // stay enabled.
        m_busy = true;
        const QList<QPushButton *> buttons = findChildren<QPushButton *>(QString(), Qt::FindDirectChildrenOnly);
        for (QPushButton *b : buttons)
            b->setEnabled(false);
        ProjectTaskWindow window(this);
        window.SetPaceMs(m_paceMs);
        if (exporting) {
            ProjectExport exporter(CurrentParams(), m_selected, window);
            result = exporter.Run();
            unconverted = exporter.Unconverted();
        } else {
            result = DeleteProject(CurrentParams(), m_selected, window);
        }
        for (QPushButton *b : buttons)
            b->setEnabled(true);
        m_busy = false;
    }
    const QString message = ProjectTaskMessage(result, exporting);
    if (!message.isEmpty())
        ShowMessage(this, message);
    if (exporting && result == ProjectTaskResult::Done && !unconverted.isEmpty())
        ShowMessage(this, UnconvertedRecordsMessage(unconverted));
    if (!exporting && result == ProjectTaskResult::Done) {
        ListAgain();
        ShowPage();
    }
}

void FileSelectDlg::reject()
{
    if (m_busy)
        return;
    QDialog::reject();
}

void FileSelectDlg::closeEvent(QCloseEvent *event)
{
    if (m_busy) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void FileSelectDlg::keyPressEvent(QKeyEvent *event)
{
    // Arrows, Enter and Alt+Enter are the focus grid's.
    if (event->key() == Qt::Key_Escape)
        reject();
    else
        event->ignore();
}

bool FileSelectDlg::ChooseRecord(QWidget *parent, RecordChoice &choice)
{
    KeyboardGrabPause pause;
    FileSelectDlg browser(ModeChooseRecord, parent);
    browser.SetPosition(choice.Page, choice.Sort != 0);
    const bool chosen = browser.exec() == QDialog::Accepted;
    choice.Page = browser.Page();
    choice.Sort = browser.SortByName() ? 1 : 0;
    if (chosen) {
        choice.Project = browser.Project();
        choice.File = browser.SelectedName();
    }
    return chosen;
}
