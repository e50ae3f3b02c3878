#pragma once

#include "records/ProjectTaskObserver.h"

#include <memory>

class Prodwidget;
class QWidget;

/// Shows an export or a deletion to the operator: the two questions over
/// parent, the progress window while the files go, and waits that keep the
/// screens painted.
class ProjectTaskWindow : public ProjectTaskObserver
{
public:
    explicit ProjectTaskWindow(QWidget *parent);
    ~ProjectTaskWindow() override;

    /// Replaces every pace with a wait of ms milliseconds (−1: as asked).
    void SetPaceMs(int ms) { m_paceMs = ms; }

    bool ConfirmOverwrite() override;
    bool ConfirmDeletion() override;
    void Started(const QString &label, int maximum) override;
    void Progress(int value) override;
    void Finished() override;
    void Pace(int ms) override;

private:
    QWidget *m_parent;
    std::unique_ptr<Prodwidget> m_window;
    int m_paceMs = -1;
};
