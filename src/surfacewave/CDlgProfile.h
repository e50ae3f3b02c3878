#pragma once

#include "surfacewave/Inversion.h"

#include <QDialog>
#include <QImage>

#include <atomic>
#include <memory>
#include <mutex>

class QLabel;
class QProgressBar;
class QPushButton;
class QThread;
class QTimer;

/// The profile screen: inverts a curve on a worker thread with a progress
/// bar and a stop key (S), then shows the Vs profile with its band, Vs30 and
/// the fitted curve. The result is stored beside the project's combined
/// curve; P saves the picture into the project folder. Esc stops a run and
/// returns; the record is never touched.
class CDlgProfile : public QDialog
{
    Q_OBJECT

public:
    /// Starts inverting curve at once; projectFolder empty: nothing is stored.
    CDlgProfile(InversionCurve curve, QString projectFolder, InversionSettings settings = {},
                QWidget *parent = nullptr);
    ~CDlgProfile() override;

    /// A run is on: from the start until its result is shown.
    bool Running() const;
    /// The result shown (empty before the run ends).
    const InversionResult &Result() const { return m_result; }
    /// Asks the run to stop; the best model so far is shown, labelled.
    void Stop();
    /// Saves the picture as a new PNG in the project folder; its path, or empty with a message.
    QString SavePicture();
    int ProgressValue() const;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void reject() override;

private:
    void Poll();
    void Finished();
    void ShowPicture();

    InversionCurve m_curve;
    QString m_folder;
    InversionSettings m_settings;
    InversionResult m_result;
    QThread *m_worker = nullptr;
    QTimer *m_poll = nullptr;
    bool m_running = false;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_done{0};
    std::atomic<int> m_total{1};
    std::mutex m_resultLock;
    InversionResult m_workerResult;
    QLabel *m_picture = nullptr;
    QLabel *m_status = nullptr;
    QProgressBar *m_progress = nullptr;
    QPushButton *m_stopButton = nullptr;
    QPushButton *m_saveButton = nullptr;
};
