#pragma once

#include <QString>
#include <array>
#include <functional>
#include <optional>

class InstrumentLink;
class QWidget;

/// A record picked in the record browser, and where the browser was left.
struct RecordChoice
{
    QString Project; ///< project folder name without its extension
    QString File;    ///< record name without its extension
    int Page = 1;    ///< browser page, in and out
    int Sort = 1;    ///< browser sort order, in and out
};

/// The screens that one screen opens from another subsystem, each run
/// modally with the caller as parent. main() fills them all with
/// InstallTaskScreens(); an empty entry opens nothing, so a screen works (and
/// is tested) before, or without, the screens it leads to.
struct TaskScreens
{
    // Launcher
    std::function<void(QWidget *parent)> Acquisition;
    std::function<void(QWidget *parent)> ExportProjects;
    std::function<void(QWidget *parent)> DeleteProjects;

    // Acquisition screen
    /// Record browser in read mode; choice brings the page and sort order in
    /// and takes the pick out. False when cancelled.
    std::function<bool(QWidget *parent, RecordChoice &choice)> ChooseRecord;
    std::function<void(QWidget *parent)> Settings;
    std::function<void(QWidget *parent)> Analysis;
    /// Upload chooser, then the chosen upload dialog. Returns the name under
    /// which a normal upload sent the record when it succeeded, else nothing.
    std::function<std::optional<QString>(QWidget *parent)> Upload;
    /// Self-check dialog driving link; true when its data is kept (saved).
    std::function<bool(QWidget *parent, InstrumentLink &link)> SelfCheck;

    // Analysis screen
    std::function<void(QWidget *parent)> Dispersion;
};

/// The process's task screens.
TaskScreens &Screens();
/// Fills Screens() with every screen the program has (main, and screen tests
/// that want the real neighbours).
void InstallTaskScreens();
