#include "browser/FileSelectDlg.h"
#include "records/ShotJournal.h"

#include "ProjectTestUtil.h"
#include "RecordBytes.h"
#include "dialogs/FocusGrid.h"
#include "dialogs/Prodwidget.h"
#include "dialogs/TaskScreens.h"
#include "params/ParamSet.h"
#include "records/RecordFile.h"
#include "support/ScreenProbe.h"
#include "support/FakePlatform.h"
#include "support/ModalDriver.h"
#include "support/TestProgramDir.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {

const QString kNothingChosen = QStringLiteral("文件不存在或文件名错误！");

QPushButton *button(const QWidget &dlg, const QString &name)
{
    return dlg.findChild<QPushButton *>(name);
}

QString text(const QWidget &dlg, const QString &name)
{
    if (auto *b = button(dlg, name))
        return ShownCaption(b->text());
    if (auto *e = dlg.findChild<QLineEdit *>(name))
        return e->text();
    return dlg.findChild<QLabel *>(name)->text();
}

/// Name captions of the five rows.
QStringList rowNames(const QWidget &dlg)
{
    QStringList names;
    for (int r = 1; r <= FileSelectDlg::kRowsPerPage; ++r)
        names << text(dlg, QStringLiteral("BTN_NAME%1").arg(r));
    return names;
}

void press(const QWidget &dlg, const QString &name)
{
    button(dlg, name)->click();
}

FileSelectDlg *browserOf(ModalDialog &d)
{
    return qobject_cast<FileSelectDlg *>(d.Widget());
}

/// Project folder in the data root with records "R01" … of the given count.
QString makeProject(const QString &project, int records)
{
    const QString folder = CurrentParams().DataRoot + "/" + project + ".PRO";
    QMap<QString, QByteArray> files;
    for (int i = 1; i <= records; ++i)
        files.insert(QStringLiteral("R%1.QDW").arg(i, 2, 10, QLatin1Char('0')), RecordBytes().Build());
    return MakeFolderWith(folder, files) ? folder : QString();
}

bool progressWindowShown()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (qobject_cast<Prodwidget *>(w) && w->isVisible())
            return true;
    return false;
}

} // namespace

class TstFileSelectDlg : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestProgramDir> m_program;

private slots:
    void init()
    {
        m_program = std::make_unique<TestProgramDir>();
        CurrentParams().LoadSettings();
    }

    void cleanup() { m_program.reset(); }

    void journalAsAProject()
    {
        QVERIFY(!makeProject("QUARTZON", 1).isEmpty());
        {
            ShotJournal journal(JournalFolderPath());
            JournalPicture p;
            p.Blocks.Header.ChannelCount = 1;
            p.Blocks.Header.SampleLength = 4;
            p.Traces[0] = {1, 2, 3, 4};
            for (int s = 0; s < 3; ++s)
                journal.Record(p, QDateTime(QDate(2024, 5, 17), QTime(9, 0, s)));
            journal.MarkSaved(3); // saved pictures are in their projects
        }
        FileSelectDlg plain(FileSelectDlg::ModeChooseProject);
        QVERIFY(!plain.Entries().contains(JournalProjectName()));
        FileSelectDlg chooser(FileSelectDlg::ModeChooseProject);
        chooser.SetOffersJournal(true);
        QCOMPARE(chooser.Entries(), (QStringList{JournalProjectName(), QStringLiteral("QUARTZON.PRO")}));

        CurrentParams().Header.ProjectName = JournalProjectName();
        FileSelectDlg browser(FileSelectDlg::ModeChooseRecord);
        QCOMPARE(rowNames(browser), (QStringList{"0517-090000-1", "0517-090001-2", "", "", ""}));
        QCOMPARE(text(browser, QStringLiteral("BTN_NAME")), JournalProjectName() + QStringLiteral("/文件"));
    }

    void pagesOfFiveRows_data()
    {
        QTest::addColumn<int>("records");
        QTest::addColumn<QStringList>("page1");
        QTest::addColumn<QStringList>("page2");
        QTest::newRow("none") << 0 << QStringList(5) << QStringList();
        QTest::newRow("five") << 5 << QStringList{"R01", "R02", "R03", "R04", "R05"} << QStringList();
        QTest::newRow("seven") << 7 << QStringList{"R01", "R02", "R03", "R04", "R05"}
                               << QStringList{"R06", "R07", "", "", ""};
        QTest::newRow("ten") << 10 << QStringList{"R01", "R02", "R03", "R04", "R05"}
                             << QStringList{"R06", "R07", "R08", "R09", "R10"};
    }
    void pagesOfFiveRows()
    {
        QFETCH(int, records);
        QFETCH(QStringList, page1);
        QFETCH(QStringList, page2);
        QVERIFY(!makeProject("QUARTZON", records).isEmpty());
        FileSelectDlg dlg(FileSelectDlg::ModeChooseRecord);
        QCOMPARE(dlg.Page(), 1);
        QCOMPARE(rowNames(dlg), page1);
        const QString today = QDate::currentDate().toString("yyyy/MM/dd");
        for (int r = 0; r < 5; ++r)
            QCOMPARE(text(dlg, QStringLiteral("BTN_DATE%1").arg(r + 1)), page1[r].isEmpty() ? QString() : today);

        press(dlg, "BTN_PREPAGE"); // nothing before page 1
        QCOMPARE(dlg.Page(), 1);
        press(dlg, "BTN_NEXT");
        const int last = page2.isEmpty() ? 1 : 2;
        QCOMPARE(dlg.Page(), last);
        QCOMPARE(rowNames(dlg), page2.isEmpty() ? page1 : page2);
        press(dlg, "BTN_NEXT"); // nothing after the last page
        QCOMPARE(dlg.Page(), last);
        press(dlg, "BTN_PREPAGE");
        QCOMPARE(dlg.Page(), 1);
        QCOMPARE(rowNames(dlg), page1);
    }

    void headersSortAndReverse()
    {
        const QString folder = makeProject("QUARTZON", 7);
        // Newest first by date: R03, R07, R01, …
        const QList<int> ages{5, 7, 1, 6, 4, 3, 2};
        for (int i = 0; i < 7; ++i)
            QVERIFY(SetModified(folder + QStringLiteral("/R%1.QDW").arg(i + 1, 2, 10, QLatin1Char('0')),
                                1600000000 - 1000 * ages[i]));
        const QStringList byName{"R01", "R02", "R03", "R04", "R05"};
        const QStringList byNameReversed{"R07", "R06", "R05", "R04", "R03"};
        const QStringList byDate{"R03", "R07", "R06", "R05", "R01"};
        const QStringList byDateReversed{"R02", "R04", "R01", "R05", "R06"};

        FileSelectDlg dlg(FileSelectDlg::ModeChooseRecord);
        QVERIFY(dlg.SortByName());
        press(dlg, "BTN_NEXT");
        press(dlg, "BTN_NAME");
        QCOMPARE(dlg.Page(), 1);
        QCOMPARE(rowNames(dlg), byNameReversed);
        press(dlg, "BTN_NAME");
        QCOMPARE(rowNames(dlg), byName);
        press(dlg, "BTN_DATE");
        QVERIFY(!dlg.SortByName());
        QCOMPARE(rowNames(dlg), byDate);
        press(dlg, "BTN_NEXT");
        press(dlg, "BTN_DATE");
        QCOMPARE(dlg.Page(), 1);
        QCOMPARE(rowNames(dlg), byDateReversed);
        press(dlg, "BTN_NAME");
        QCOMPARE(rowNames(dlg), byName);

        // SetPosition: sort order and page as given, never beyond the last page.
        dlg.SetPosition(2, false);
        QCOMPARE(dlg.Page(), 2);
        QCOMPARE(rowNames(dlg), (QStringList{"R04", "R02", "", "", ""}));
        dlg.SetPosition(9, true);
        QCOMPARE(dlg.Page(), 2);
        QCOMPARE(rowNames(dlg), (QStringList{"R06", "R07", "", "", ""}));
        dlg.SetPosition(-3, true);
        QCOMPARE(dlg.Page(), 1);
    }

    void captionsOfEachMode_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("project"); // the one project, and the current one
        QTest::addColumn<QStringList>("captions"); // title, OK, cancel, name header, input line
        QTest::addColumn<bool>("change");
        QTest::newRow("choose project") << 0 << "QUARTZON" << QStringList{"工地名:", "确定", "取消", "名称", "QUARTZON"} << false;
        QTest::newRow("export") << 1 << "QUARTZON" << QStringList{"导出工地名:", "导出", "退出", "名称", ""} << false;
        QTest::newRow("delete") << 2 << "QUARTZON" << QStringList{"删除工地名:", "确定", "取消", "名称", ""} << false;
        QTest::newRow("choose record") << 3 << "QUARTZON" << QStringList{"文件名:", "确定", "取消", "QUARTZON/文件", ""} << true;
        // Shown as named, not as a shortcut letter.
        QTest::newRow("export, name with &") << 1 << "R&D" << QStringList{"导出工地名:", "导出", "退出", "名称", ""} << false;
        QTest::newRow("choose record, name with &") << 3 << "R&D" << QStringList{"文件名:", "确定", "取消", "R&D/文件", ""} << true;
    }
    void captionsOfEachMode()
    {
        QFETCH(int, mode);
        QFETCH(QString, project);
        QFETCH(QStringList, captions);
        QFETCH(bool, change);
        QVERIFY(!makeProject(project, 1).isEmpty());
        CurrentParams().Header.ProjectName = project;
        FileSelectDlg dlg(mode);
        const QStringList shown{text(dlg, "LB_TITLE"), text(dlg, "BTN_OK"), text(dlg, "BTN_CANCAL"),
                                text(dlg, "BTN_NAME"), text(dlg, "EDIT_INPUT")};
        QCOMPARE(shown, captions);
        QCOMPARE(text(dlg, "BTN_NAME1"), mode == FileSelectDlg::ModeChooseRecord ? QString("R01") : project);
        QCOMPARE(dlg.SelectedName(), captions.last());
        QCOMPARE(!button(dlg, "BTN_CHANGE")->isHidden(), change);
        QCOMPARE(text(dlg, "BTN_DATE"), QStringLiteral("创建时间"));
        QCOMPARE(text(dlg, "BTN_PREPAGE"), QStringLiteral("上\n一\n页"));
        QCOMPARE(text(dlg, "BTN_NEXT"), QStringLiteral("下\n一\n页"));
    }

    // A project name from a record header or the settings file that would
    // lead out of the data folder lists nothing.
    void projectNameLeadingOutListsNothing()
    {
        QVERIFY(MakeFolderWith(m_program->file("OTHER.PRO"), {{"R1.QDW", "outside"}}));
        CurrentParams().Header.ProjectName = "../OTHER";
        FileSelectDlg dlg(FileSelectDlg::ModeChooseRecord);
        QVERIFY(dlg.Entries().isEmpty());
        QCOMPARE(rowNames(dlg), QStringList(5));
    }

    void okWithNothingChosenStays()
    {
        QVERIFY(!makeProject("QUARTZON", 2).isEmpty());
        FileSelectDlg dlg(FileSelectDlg::ModeChooseRecord);
        press(dlg, "BTN_NAME1");
        QCOMPARE(text(dlg, "EDIT_INPUT"), QString("R01"));
        press(dlg, "BTN_DATE4"); // an empty row
        QCOMPARE(dlg.SelectedName(), QString());
        ModalDriver driver;
        driver.Expect([](ModalDialog &d) {
            QCOMPARE(d.Text("labelMsg"), kNothingChosen);
            d.Key(Qt::Key_Return);
        });
        QSignalSpy finished(&dlg, &QDialog::finished);
        press(dlg, "BTN_OK");
        QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
        QCOMPARE(finished.count(), 0);
    }

    void enterOnARowPicksAndConfirms()
    {
        QVERIFY(!makeProject("QUARTZON", 3).isEmpty());
        FileSelectDlg dlg(FileSelectDlg::ModeChooseRecord);
        auto *grid = dlg.findChild<FocusGrid *>();
        grid->SetIndex(grid->IndexOf(button(dlg, "BTN_DATE2")));
        QTest::keyClick(&dlg, Qt::Key_Return);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.SelectedName(), QString("R02"));
        QCOMPARE(dlg.Project(), QString("QUARTZON"));

        FileSelectDlg again(FileSelectDlg::ModeChooseRecord);
        press(again, "BTN_NAME3");
        QTest::keyClick(&again, Qt::Key_Return, Qt::AltModifier);
        QCOMPARE(again.result(), int(QDialog::Accepted));
        QCOMPARE(again.SelectedName(), QString("R03"));
    }

    // Grid of 7 rows × 3: OK CANCAL CHANGE / NAME DATE PREPAGE / rows with
    // PREPAGE (rows 1–2) or NEXT (rows 3–5) in the third column.
    void focusGridMoves_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("to");
        QTest::newRow("prepage up to change") << 3 << 8 << int(Qt::Key_Up) << 2;
        QTest::newRow("prepage down to first next") << 3 << 5 << int(Qt::Key_Down) << 14;
        QTest::newRow("next up to header prepage") << 3 << 17 << int(Qt::Key_Up) << 5;
        QTest::newRow("next down to change") << 3 << 20 << int(Qt::Key_Down) << 2;
        QTest::newRow("change up wraps") << 3 << 2 << int(Qt::Key_Up) << 20;
        QTest::newRow("ok up wraps") << 3 << 0 << int(Qt::Key_Up) << 18;
        QTest::newRow("right wraps") << 3 << 20 << int(Qt::Key_Right) << 0;
        QTest::newRow("left wraps") << 3 << 0 << int(Qt::Key_Left) << 20;
        QTest::newRow("hidden change skipped right") << 1 << 1 << int(Qt::Key_Right) << 3;
        QTest::newRow("hidden change skipped left") << 2 << 3 << int(Qt::Key_Left) << 1;
        QTest::newRow("hidden change skipped up") << 0 << 5 << int(Qt::Key_Up) << 20;
        QTest::newRow("hidden change skipped down") << 1 << 20 << int(Qt::Key_Down) << 5;
    }
    void focusGridMoves()
    {
        QFETCH(int, mode);
        QFETCH(int, from);
        QFETCH(int, key);
        QFETCH(int, to);
        FileSelectDlg dlg(mode);
        auto *grid = dlg.findChild<FocusGrid *>();
        QCOMPARE(grid->Index(), 0);
        grid->SetIndex(from);
        QTest::keyClick(&dlg, Qt::Key(key));
        QCOMPARE(grid->Index(), to);
    }

    // The new project is the whole folder name, in both parameter sets: the
    // next saved record goes into that folder.
    void changeOfProjectKeepsTheFullName()
    {
        QVERIFY(!makeProject("QUARTZON", 1).isEmpty());
        const QString longName = QStringLiteral("长工地名称LONGNAME");
        QVERIFY(!makeProject(longName, 2).isEmpty());
        FileSelectDlg dlg(FileSelectDlg::ModeChooseRecord);
        press(dlg, "BTN_NAME1");
        ModalDriver driver;
        driver.Expect([&](ModalDialog &d) {
            FileSelectDlg *chooser = browserOf(d);
            QVERIFY(chooser);
            QCOMPARE(chooser->Mode(), int(FileSelectDlg::ModeChooseProject));
            QCOMPARE(d.Text("EDIT_INPUT"), QString("QUARTZON"));
            QCOMPARE(chooser->Entries(), (QStringList{"QUARTZON.PRO", longName + ".PRO"}));
            QVERIFY(d.Click("BTN_NAME2"));
            QVERIFY(d.Click("BTN_OK"));
        });
        press(dlg, "BTN_CHANGE");
        QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
        QCOMPARE(dlg.Project(), longName);
        QCOMPARE(CurrentParams().Header.ProjectName, longName);
        QCOMPARE(BackupParams().Header.ProjectName, longName);
        QCOMPARE(rowNames(dlg), (QStringList{"R01", "R02", "", "", ""}));
        QCOMPARE(text(dlg, "BTN_NAME"), longName + "/文件");
        QCOMPARE(dlg.SelectedName(), QString());
        QCOMPARE(SaveRecordAs(CurrentParams(), "NEXT"), int(RecordOk));
        QVERIFY(QFileInfo::exists(CurrentParams().DataRoot + "/" + longName + ".PRO/NEXT.QDW"));

        // Cancelled: the project stays, the pick is cleared all the same.
        press(dlg, "BTN_NAME2");
        driver.Expect([](ModalDialog &d) { d.Key(Qt::Key_Escape); });
        press(dlg, "BTN_CHANGE");
        QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
        QCOMPARE(dlg.Project(), longName);
        QCOMPARE(text(dlg, "EDIT_INPUT"), QString());
    }

    // The acquisition screen's way in: the pick comes back, and so do the
    // page and order the browser was left at.
    void chooseRecordEntryReturnsThePickAndThePosition()
    {
        const QString folder = makeProject("QUARTZON", 12);
        for (int i = 1; i <= 12; ++i) // R01 newest
            QVERIFY(SetModified(folder + QStringLiteral("/R%1.QDW").arg(i, 2, 10, QLatin1Char('0')), 1700000000 - i));
        InstallTaskScreens();
        RecordChoice choice;
        choice.Page = 2;
        choice.Sort = 0;
        ModalDriver driver;
        driver.Expect([](ModalDialog &d) {
            FileSelectDlg *browser = browserOf(d);
            QVERIFY(browser);
            QCOMPARE(browser->Mode(), int(FileSelectDlg::ModeChooseRecord));
            QCOMPARE(browser->Page(), 2);
            QVERIFY(!browser->SortByName());
            QCOMPARE(d.Text("BTN_NAME1"), QString("R06"));
            QVERIFY(d.Click("BTN_NEXT"));
            QVERIFY(d.Click("BTN_NAME2"));
            QVERIFY(d.Click("BTN_OK"));
        });
        QVERIFY(Screens().ChooseRecord(nullptr, choice));
        QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
        QCOMPARE(choice.Project, QString("QUARTZON"));
        QCOMPARE(choice.File, QString("R12"));
        QCOMPARE(choice.Page, 3);
        QCOMPARE(choice.Sort, 0);

        driver.Expect([](ModalDialog &d) {
            QCOMPARE(browserOf(d)->Page(), 3);
            QVERIFY(d.Click("BTN_DATE")); // by date again: reversed, page 1
            QVERIFY(d.Click("BTN_NAME3"));
            QVERIFY(d.Click("BTN_CANCAL"));
        });
        QVERIFY(!Screens().ChooseRecord(nullptr, choice));
        QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
        QCOMPARE(choice.File, QString("R12"));
        QCOMPARE(choice.Page, 1);
        QCOMPARE(choice.Sort, 0);
    }

    void launcherTasksOpenTheirModes()
    {
        InstallTaskScreens();
        ModalDriver driver;
        driver.Expect([](ModalDialog &d) {
            QCOMPARE(browserOf(d)->Mode(), int(FileSelectDlg::ModeExport));
            d.Key(Qt::Key_Escape);
        });
        driver.Expect([](ModalDialog &d) {
            QCOMPARE(browserOf(d)->Mode(), int(FileSelectDlg::ModeDelete));
            d.Key(Qt::Key_Escape);
        });
        Screens().ExportProjects(nullptr);
        Screens().DeleteProjects(nullptr);
        QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
    }

    void exportFromTheBrowser()
    {
        QVERIFY(!makeProject("P1", 3).isEmpty());
        QTemporaryDir stick;
        ScopedFakePlatform platform;
        platform->SetUsbStick(stick.path());
        FileSelectDlg dlg(FileSelectDlg::ModeExport);
        press(dlg, "BTN_NAME1");

        ModalDriver driver;
        const auto message = [](const QString &expected) {
            return [expected](ModalDialog &d) {
                QCOMPARE(d.Text("labelMsg"), expected);
                d.Key(Qt::Key_Return);
            };
        };
        driver.Expect(message(QStringLiteral("导出文件成功！")));
        press(dlg, "BTN_OK");
        QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
        QCOMPARE(QDir(stick.path() + "/P1.PRO").entryList(QDir::Files), (QStringList{"R01.QDW", "R02.QDW", "R03.QDW"}));
        QCOMPARE(QDir(stick.path() + "/P1.SG2").entryList(QDir::Files), (QStringList{"R01.sg2", "R02.sg2", "R03.sg2"}));

        // Again: the question, with "否" focused; Enter keeps the stick as it is.
        const auto before = Snapshot(stick.path());
        driver.Expect([](ModalDialog &d) {
            QCOMPARE(d.Title(), QStringLiteral("消息"));
            QCOMPARE(d.Text("LBShow"), QStringLiteral("该工程U盘已存在，是否需要覆盖？"));
            QCOMPARE(d.Text("BtnOK"), QStringLiteral("是=覆盖"));
            QCOMPARE(d.Text("BtnCancle"), QStringLiteral("否=不覆盖"));
            QVERIFY(d.Find<QPushButton>("BtnOK2")->isHidden());
            QCOMPARE(d.Widget()->focusWidget(), d.Find<QPushButton>("BtnCancle"));
            d.Key(Qt::Key_Return);
        });
        press(dlg, "BTN_OK");
        QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
        QCOMPARE(Snapshot(stick.path()), before);

        // A stick that cannot be flushed is a failure, and the progress window goes.
        platform->SetFlushResult(false);
        driver.Expect([](ModalDialog &d) { QVERIFY(d.Click("BtnOK")); });
        driver.Expect(message(QStringLiteral("导出文件失败！")));
        press(dlg, "BTN_OK");
        QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
        QVERIFY(!progressWindowShown());

        platform->SetUsbStick(QString());
        driver.Expect(message(QStringLiteral("找不到U盘！")));
        press(dlg, "BTN_OK");
        QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
        QVERIFY(button(dlg, "BTN_OK")->isEnabled());
        QVERIFY(!dlg.IsBusy());
    }

    // One real second per listed entry ("." and ".." of an empty project),
    // and nothing the operator presses meanwhile does anything.
    void deletionIsPacedAndTheBrowserInert()
    {
        QVERIFY(!makeProject("EMPTY", 0).isEmpty());
        QVERIFY(!makeProject("OTHER", 1).isEmpty());
        FileSelectDlg dlg(FileSelectDlg::ModeDelete);
        press(dlg, "BTN_NAME1");
        QCOMPARE(dlg.SelectedName(), QString("EMPTY"));
        QSignalSpy finished(&dlg, &QDialog::finished);
        int busyAttempts = 0;
        QElapsedTimer clock;
        ModalDriver driver;
        driver.Expect([&](ModalDialog &d) {
            QCOMPARE(d.Text("LBShow"), QStringLiteral("删除后无法进行恢复，确定要删除此工程内所有文件吗？"));
            QCOMPARE(d.Text("BtnOK"), QStringLiteral(" 确定 "));
            clock.start();
            QTimer::singleShot(300, &dlg, [&] {
                busyAttempts += dlg.IsBusy() ? 1 : 0;
                QTest::mouseClick(button(dlg, "BTN_OK"), Qt::LeftButton);
                QTest::mouseClick(button(dlg, "BTN_CANCAL"), Qt::LeftButton);
                QTest::mouseClick(button(dlg, "BTN_NEXT"), Qt::LeftButton);
                QTest::keyClick(&dlg, Qt::Key_Escape);
                QTest::keyClick(&dlg, Qt::Key_Return, Qt::AltModifier);
                busyAttempts += dlg.IsBusy() ? 1 : 0;
            });
            QVERIFY(d.Click("BtnOK"));
        });
        driver.Expect([&](ModalDialog &d) {
            QVERIFY(clock.elapsed() >= 2000);
            QCOMPARE(d.Text("labelMsg"), QStringLiteral("删除成功！"));
            d.Key(Qt::Key_Return);
        });
        press(dlg, "BTN_OK");
        QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
        QCOMPARE(busyAttempts, 2);
        QCOMPARE(finished.count(), 0);
        QVERIFY(!QFileInfo::exists(CurrentParams().DataRoot + "/EMPTY.PRO"));
        QCOMPARE(dlg.Entries(), QStringList{"OTHER.PRO"});
        QCOMPARE(text(dlg, "EDIT_INPUT"), QString());
    }

    void deletionRefusedOrFailing()
    {
        const QString folder = makeProject("KEEP", 2);
        QVERIFY(QDir().mkpath(folder + "/sub"));
        FileSelectDlg dlg(FileSelectDlg::ModeDelete);
        dlg.SetDeletionPaceMs(0);
        // Two stray Enters, one on the row and one on the question, destroy nothing.
        QTest::keyClick(&dlg, Qt::Key_Down);
        QTest::keyClick(&dlg, Qt::Key_Down);
        QCOMPARE(dlg.focusWidget(), button(dlg, "BTN_NAME1"));
        ModalDriver driver;
        driver.Expect([](ModalDialog &d) {
            QCOMPARE(d.Widget()->focusWidget()->objectName(), QStringLiteral("BtnCancle"));
            d.Key(Qt::Key_Return);
        });
        QTest::keyClick(&dlg, Qt::Key_Return);
        QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
        QCOMPARE(dlg.SelectedName(), QString("KEEP"));
        QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 2);

        driver.Expect([](ModalDialog &d) { QVERIFY(d.Click("BtnOK")); });
        driver.Expect([](ModalDialog &d) {
            QCOMPARE(d.Text("labelMsg"), QStringLiteral("删除失败！"));
            d.Key(Qt::Key_Return);
        });
        press(dlg, "BTN_OK");
        QVERIFY2(driver.Finished(), qPrintable(driver.Failure()));
        QVERIFY(QFileInfo(folder + "/sub").isDir());
        QVERIFY(!progressWindowShown());
    }
};

QTEST_MAIN(TstFileSelectDlg)
#include "tst_fileselectdlg.moc"
