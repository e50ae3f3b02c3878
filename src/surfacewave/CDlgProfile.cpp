#include "surfacewave/CDlgProfile.h"

#include "analysis/AnalysisLog.h"
#include "records/RecordFile.h"
#include "records/SafeWriteBatch.h"
#include "surfacewave/ProfileFiles.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

namespace {

/// The bar is refreshed this often: well inside the 200 ms an operator reads as stalled.
constexpr int kPollMs = 100;
constexpr int kProgressScale = 1000;
/// Pictures are saved as profile_1.png, profile_2.png …; never over an earlier one.
constexpr int kMaxPictures = 999;

} // namespace

CDlgProfile::CDlgProfile(InversionCurve curve, QString projectFolder, InversionSettings settings, QWidget *parent)
    : QDialog(parent)
    , m_curve(std::move(curve))
    , m_folder(std::move(projectFolder))
    , m_settings(settings)
{
    setWindowTitle(QStringLiteral("Vs剖面"));
    setStyleSheet(QStringLiteral("QWidget{color: rgb(0, 0, 0);background-color: rgb(255, 255, 255);font: 16pt ;}"
                                 "QPushButton{border-width: 2px;border-color: rgb(0, 0, 0);border-style: solid;}"));
    m_picture = new QLabel(this);
    m_picture->setMinimumSize(200, 150);
    m_picture->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    m_status = new QLabel(this);
    // The answer, the misfit and the saved file make a long line at 16 pt:
    // unwrapped, it would widen the screen past an 800-pixel display.
    m_status->setWordWrap(true);
    m_progress = new QProgressBar(this);
    m_progress->setRange(0, kProgressScale);
    m_stopButton = new QPushButton(QStringLiteral("停止(S)"), this);
    m_saveButton = new QPushButton(QStringLiteral("保存图片(P)"), this);
    auto *exit = new QPushButton(QStringLiteral("退出(Esc)"), this);
    for (QPushButton *b : {m_stopButton, m_saveButton, exit})
        b->setFocusPolicy(Qt::NoFocus);
    m_saveButton->setEnabled(false);
    connect(m_stopButton, &QPushButton::clicked, this, &CDlgProfile::Stop);
    connect(m_saveButton, &QPushButton::clicked, this, [this] { SavePicture(); });
    connect(exit, &QPushButton::clicked, this, &CDlgProfile::reject);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_progress, 1);
    buttons->addWidget(m_stopButton);
    buttons->addWidget(m_saveButton);
    buttons->addWidget(exit);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_picture, 1);
    layout->addWidget(m_status);
    layout->addLayout(buttons);

    if (!m_curve.Ok()) {
        m_result.Problem = m_curve.Problem;
        m_status->setText(QStringLiteral("曲线无法反演：%1").arg(m_curve.Problem));
        m_stopButton->setEnabled(false);
        return;
    }
    m_status->setText(QStringLiteral("反演中…（%1个拾取点，%2层）").arg(m_curve.Points.size()).arg(m_settings.Layers));
    // The run works on its own copies and hands its result over under the
    // lock; the screen only reads the counters while it runs.
    m_worker = QThread::create([this, curve = m_curve, settings = m_settings] {
        InversionResult r = InvertCurve(curve, settings, [this](const InversionProgress &p) {
            m_done = p.Done;
            m_total = std::max(1, p.Total);
            return !m_stop.load();
        });
        std::lock_guard<std::mutex> hold(m_resultLock);
        m_workerResult = std::move(r);
    });
    connect(m_worker, &QThread::finished, this, &CDlgProfile::Finished);
    m_poll = new QTimer(this);
    connect(m_poll, &QTimer::timeout, this, &CDlgProfile::Poll);
    m_poll->start(kPollMs);
    m_running = true;
    m_worker->start();
}

CDlgProfile::~CDlgProfile()
{
    if (m_worker) {
        m_stop = true;
        m_worker->wait();
        delete m_worker;
    }
}

bool CDlgProfile::Running() const
{
    return m_running;
}

int CDlgProfile::ProgressValue() const
{
    return m_progress->value();
}

void CDlgProfile::Poll()
{
    m_progress->setValue(int(qint64(m_done.load()) * kProgressScale / m_total.load()));
}

void CDlgProfile::Stop()
{
    if (Running()) {
        m_stop = true;
        m_status->setText(QStringLiteral("正在停止…"));
    }
}

void CDlgProfile::Finished()
{
    m_poll->stop();
    m_running = false;
    {
        std::lock_guard<std::mutex> hold(m_resultLock);
        m_result = std::move(m_workerResult);
    }
    m_stopButton->setEnabled(false);
    if (!m_result.Ok()) {
        m_status->setText(QStringLiteral("反演失败：%1").arg(m_result.Problem));
        return;
    }
    m_progress->setValue(kProgressScale);
    QString status = QStringLiteral("%1  拟合差%2  %3个模型").arg(ProfileVs30Text(m_result))
                         .arg(m_result.Misfit, 0, 'f', 2)
                         .arg(m_result.Evaluated);
    if (m_result.Stopped)
        status = QStringLiteral("已停止，显示目前最佳模型：") + status;
    if (!m_folder.isEmpty()) {
        if (SafeWriteBytes(ProfileCsv(m_result), m_folder, QString::fromLatin1(kProjectProfileFile)))
            status += QStringLiteral("  已保存%1").arg(QString::fromLatin1(kProjectProfileFile));
        else
            status += QStringLiteral("  剖面保存失败！");
        m_saveButton->setEnabled(true);
    }
    m_status->setText(status);
    ShowPicture();
}

void CDlgProfile::ShowPicture()
{
    if (m_result.Best.empty())
        return;
    m_picture->setPixmap(QPixmap::fromImage(DrawProfile(m_result, m_picture->size())));
}

QString CDlgProfile::SavePicture()
{
    if (m_folder.isEmpty() || m_result.Best.empty())
        return QString();
    const QImage image = DrawProfile(m_result, QSize(1024, 600));
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
    }
    for (int n = 1; n <= kMaxPictures; ++n) {
        const QString path = QDir(m_folder).filePath(QStringLiteral("profile_%1.png").arg(n));
        QString problem;
        const int result = WriteNewFile(path, bytes, &problem);
        if (result == RecordExists)
            continue;
        if (result != RecordOk) {
            qCDebug(lcAnalysis) << "profile picture not written:" << problem;
            m_status->setText(QStringLiteral("图片保存失败！"));
            return QString();
        }
        m_status->setText(QStringLiteral("图片已保存：%1").arg(QFileInfo(path).fileName()));
        return path;
    }
    m_status->setText(QStringLiteral("图片保存失败：文件过多！"));
    return QString();
}

void CDlgProfile::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_S:
        Stop();
        return;
    case Qt::Key_P:
        SavePicture();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void CDlgProfile::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    ShowPicture();
}

void CDlgProfile::reject()
{
    if (m_worker) {
        m_stop = true;
        m_worker->wait();
        m_running = false;
    }
    QDialog::reject();
}
