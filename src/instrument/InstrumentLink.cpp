#include "InstrumentLink.h"

#include "InstrumentLog.h"
#include "InstrumentProtocol.h"
#include "InstrumentSocket.h"
#include "model/TraceStore.h"
#include "params/ParamSet.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QTimer>
#include <QUdpSocket>
#include <algorithm>
#include <climits>

namespace {

// The most samples one receive buffer can carry after the data header, whatever
// sample length a settings or record file claims.
constexpr int kMaxBufferedSamples = (kInstrumentBufferSize - kDataHeaderSize) / 2;

} // namespace

InstrumentLink::InstrumentLink(LinkOwner *owner, QObject *parent)
    : QObject(parent)
    , m_owner(owner)
    , m_buffer(kInstrumentBufferSize, '\0')
{
}

InstrumentLink::~InstrumentLink()
{
    DetachSocket();
}

QString InstrumentLink::ConnectFailedText()
{
    return QStringLiteral("<b><font color = red>连接失败！</font></b>");
}

QString InstrumentLink::ConnectionLostText()
{
    return QStringLiteral("<b><font color = red>连接已断开！</font></b>");
}

QObject *InstrumentLink::socketParent()
{
    // The socket belongs to the screen that created it, as the launcher's does.
    return parent() ? parent() : this;
}

void InstrumentLink::AttachSocket()
{
    QUdpSocket *s = EnsureInstrumentSocket(socketParent());
    connect(s, &QUdpSocket::readyRead, this, &InstrumentLink::onSockRead, Qt::UniqueConnection);
    connect(s, &QAbstractSocket::errorOccurred, this, &InstrumentLink::OnSockError,
            Qt::UniqueConnection);
    connect(s, &QAbstractSocket::connected, this, &InstrumentLink::onSockOK, Qt::UniqueConnection);
    connect(s, &QAbstractSocket::disconnected, this, &InstrumentLink::onSockFailed,
            Qt::UniqueConnection);
}

void InstrumentLink::DetachSocket()
{
    if (QUdpSocket *s = InstrumentSocket())
        s->disconnect(this);
}

// --- commands -------------------------------------------------------------

void InstrumentLink::send(const QByteArray &frame, char expectedLetter)
{
    // A command sent in the middle of another's wait gets no wait of its own;
    // the running wait keeps the answer and the letter it is waiting for.
    if (!m_waiting) {
        m_answer = kLinkFailed;
        m_replied = false;
        m_expectedLetter = expectedLetter;
    }
    QUdpSocket *s = InstrumentSocket();
    if (!s || s->write(frame) != frame.size())
        qCDebug(lcInstrument) << "command" << frame.left(kCommandSize) << "not sent:"
                              << (s ? s->errorString() : QStringLiteral("no socket"));
}

void InstrumentLink::endExpectation()
{
    // Outside a wait, a late reply only updates answer and letter, which the
    // next command resets and the stop's reply collection relies on.
    if (!m_waiting)
        m_expectedLetter = 0;
}

int InstrumentLink::command(const QByteArray &frame, char expectedLetter, int waitMs)
{
    send(frame, expectedLetter);
    const int result = GetSockAnswer(waitMs);
    endExpectation();
    return IsReplyLetter(m_replyLetter, expectedLetter) ? result : kLinkFailed;
}

int InstrumentLink::GetConnectStates()
{
    return command(CommandFrame(Cmd::ConnectState), Cmd::ConnectState, m_commandWaitMs);
}

int InstrumentLink::GetVersion()
{
    return command(CommandFrame(Cmd::Version), Cmd::Version, m_commandWaitMs);
}

int InstrumentLink::GetBattery()
{
    return command(CommandFrame(Cmd::Battery), Cmd::Battery, m_commandWaitMs);
}

int InstrumentLink::SetPara(bool bAutoCheck)
{
    // Every sender of the frame comes through here (a shot, the settings,
    // the self-check, the noise monitor): none may hand the unit a wrapped
    // copy of settings it would then record differently. The shot refuses
    // them aloud before it starts.
    const ParamSet &p = CurrentParams();
    const QString unsendable = UnsendableSettingText(p);
    if (!unsendable.isEmpty()) {
        qCWarning(lcInstrument) << "parameters not sent:" << unsendable;
        return kLinkFailed;
    }
    return command(SetParaFrame(p, bAutoCheck), Cmd::SetPara, m_commandWaitMs);
}

int InstrumentLink::StartSample()
{
    return command(CommandFrame(Cmd::Start), Cmd::Start, m_commandWaitMs);
}

int InstrumentLink::GetSampleStates()
{
    return command(CommandFrame(Cmd::SampleState), Cmd::SampleState, m_commandWaitMs);
}

int InstrumentLink::GetSampleFinishStates()
{
    return command(CommandFrame(Cmd::FinishState), Cmd::FinishState, m_commandWaitMs);
}

int InstrumentLink::GetSampleDataH()
{
    send(CommandFrame(Cmd::DataHeader), Cmd::DataHeader);
    // The self-check refills its noise picture from scratch on every round.
    TraceStore &store = Store();
    if (store.SelfCheckRunning) {
        const int channels = CurrentParams().ChannelsInUse();
        for (int c = 0; c < channels; ++c)
            store.PreviousTraces[c].clear();
    }
    const int result = GetSockAnswer(m_commandWaitMs);
    endExpectation();
    return IsReplyLetter(m_replyLetter, Cmd::DataHeader) ? result : kLinkFailed;
}

int InstrumentLink::SetStopSample()
{
    // A shot stopped before any new data arrived leaves the previous picture in place.
    Store().RestorePreviousIfEmpty(CurrentParams().ChannelsInUse());
    return command(CommandFrame(Cmd::Stop), Cmd::Stop, m_commandWaitMs);
}

int InstrumentLink::GetSampleData(int ch)
{
    // A nested request (refused its wait) must not change the channel awaited.
    const int previous = m_expectedChannel;
    if (!m_waiting)
        m_expectedChannel = ch;
    const int result = command(SampleDataFrame(ch), Cmd::Data, m_dataWaitMs);
    m_expectedChannel = previous;
    return result;
}

bool InstrumentLink::waitCutShort() const
{
    const TraceStore &store = Store();
    return !store.LinkActive || store.AcqState == AcqStopRequested;
}

int InstrumentLink::GetSockAnswer(int timeMS)
{
    if (m_waiting)
        return kLinkFailed;
    m_waiting = true;

    QElapsedTimer clock;
    clock.start();
    // Only wakes the dispatcher at the deadline; a reply, a failure or a button
    // press wakes it earlier. Between events the thread sleeps.
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    while (!m_replied && m_answer < 0) {
        const qint64 left = timeMS - clock.elapsed();
        if (left <= 0)
            break;
        if (waitCutShort()) {
            // Already cut short: one pass over what is pending, no sleeping.
            QCoreApplication::processEvents();
        } else {
            deadline.start(static_cast<int>(qMin<qint64>(left, INT_MAX)));
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        if (waitCutShort())
            break;
    }
    m_waiting = false;
    return m_answer;
}

// --- connection -------------------------------------------------------------

void InstrumentLink::Connect()
{
    TraceStore &store = Store();
    store.LinkActive = true;
    m_waiting = true;

    AttachSocket();
    QUdpSocket *s = InstrumentSocket();
    // Dropping an earlier association must not count as losing the link.
    disconnect(s, &QAbstractSocket::disconnected, this, &InstrumentLink::onSockFailed);
    s->abort();
    connect(s, &QAbstractSocket::disconnected, this, &InstrumentLink::onSockFailed,
            Qt::UniqueConnection);

    const ParamSet &p = CurrentParams();
    QHostAddress address;
    bool portOk = false;
    const quint16 port = p.InstrumentPort.trimmed().toUShort(&portOk);
    if (!address.setAddress(p.InstrumentAddress.trimmed())
        || address.protocol() != QAbstractSocket::IPv4Protocol || !portOk || port == 0) {
        // The socket would wait for a host lookup that never reports; say so at once.
        qCWarning(lcInstrument) << "instrument address unusable:" << p.InstrumentAddress
                                << p.InstrumentPort;
        onSockFailed();
        return;
    }
    ConnectInstrumentSocket(s, address, port);
}

void InstrumentLink::onSockOK()
{
    TraceStore &store = Store();
    if (m_closing) {
        store.LinkActive = false;
        m_waiting = false;
        if (m_owner)
            m_owner->CloseByAccept();
        return;
    }
    m_waiting = false;
    const int r = GetConnectStates();
    if (m_owner)
        m_owner->RefreshButtons();
    if (r <= 0) {
        onSockFailed();
    } else {
        store.LinkState = LinkUp;
        if (m_owner)
            m_owner->CloseLinkDialog();
    }
    m_waiting = false;
    store.LinkActive = false;
    // The unit starts with the operator's parameters.
    if (store.LinkState == LinkUp)
        SetPara(false);
}

void InstrumentLink::onSockFailed()
{
    TraceStore &store = Store();
    if (m_closing) {
        store.LinkActive = false;
        store.LinkState = LinkDown;
        m_waiting = false;
        if (m_owner)
            m_owner->CloseByAccept();
        return;
    }
    if (m_owner)
        m_owner->HideBanner();
    QString text;
    if (store.LinkState == LinkUp || store.LinkState == LinkLost) {
        store.LinkState = LinkLost;
        text = ConnectionLostText();
    } else {
        store.LinkState = LinkDown;
        text = ConnectFailedText();
    }
    if (m_owner)
        m_owner->ShowLinkFailure(text);
    m_waiting = false;
    store.LinkActive = false;
}

void InstrumentLink::OnSockError(QAbstractSocket::SocketError e)
{
    qCDebug(lcInstrument) << "socket error" << e;
    if (m_closing) {
        if (m_owner)
            m_owner->CloseByAccept();
    } else if (e == QAbstractSocket::ConnectionRefusedError
               || e == QAbstractSocket::RemoteHostClosedError
               || e == QAbstractSocket::NetworkError) {
        onSockFailed();
    }
    m_waiting = false;
}

// --- replies ----------------------------------------------------------------

void InstrumentLink::onSockRead()
{
    QUdpSocket *s = InstrumentSocket();
    if (!s)
        return;
    // One datagram per call: a longer one is cut at the trace the parameters
    // expect (never beyond the buffer), a shorter one reads as zeros behind it.
    const qint64 samples = qMin<qint64>(CurrentParams().SampleLengthInUse(), kMaxBufferedSamples);
    const qint64 want = kDataHeaderSize + 2 * samples;
    char *buf = m_buffer.data();
    qint64 got = s->readDatagram(buf, want);
    if (got < 0)
        got = 0;
    std::fill(buf + got, buf + want, '\0');

    const ReplyKind kind = ClassifyReply(buf);
    if ((kind == ReplyKind::Short || kind == ReplyKind::Version)
        && dropUnexpected(buf[kReplyLetterIndex], 0))
        return;
    if (kind == ReplyKind::Data
        && dropUnexpected(buf[kDataLetterIndex], static_cast<qint8>(buf[kDataChannelIndex])))
        return;

    switch (kind) {
    case ReplyKind::Version:
        CurrentParams().HardwareVersionText =
            HardwareVersionText(static_cast<quint8>(buf[kReplyValueIndex]));
        Q_FALLTHROUGH();
    case ReplyKind::Short:
        m_replyLetter = buf[kReplyLetterIndex];
        m_answer = static_cast<qint8>(buf[kReplyValueIndex]);
        m_replied = true;
        return;
    case ReplyKind::Data:
        if (Store().LinkActive)
            handleDataReply(static_cast<int>(samples));
        else
            qCDebug(lcInstrument) << "data reply outside an acquisition dropped";
        return;
    case ReplyKind::Ignored:
        qCDebug(lcInstrument) << "unrecognised datagram of" << got << "bytes dropped";
        return;
    }
}

bool InstrumentLink::dropUnexpected(char letter, int channel)
{
    if (m_expectedLetter == 0)
        return false;
    // There is no sequence number: a reply late for an earlier command (one
    // whose wait was cut short) would otherwise end this wait with its letter
    // or file its channel. Only the awaited letter, and channel, ends it.
    const bool data = IsReplyLetter(letter, Cmd::Data);
    if (IsReplyLetter(letter, m_expectedLetter) && (!data || channel == m_expectedChannel))
        return false;
    qCDebug(lcInstrument) << "reply" << letter << channel << "dropped while waiting for"
                          << m_expectedLetter << m_expectedChannel;
    emit ReplyDropped(letter, channel);
    return true;
}

void InstrumentLink::handleDataReply(int samples)
{
    const char *buf = m_buffer.constData();
    m_replyLetter = buf[kDataLetterIndex];
    const int c = static_cast<qint8>(buf[kDataChannelIndex]);
    const ParamSet &p = CurrentParams();
    // Only the channel asked for is filed: another channel's trace (a stale
    // reply, or the unit's mistake) must not overwrite or be averaged twice.
    if (c < 1 || c > p.ChannelsInUse() || c != m_expectedChannel) {
        qCDebug(lcInstrument) << "data reply for channel" << c << "while expecting"
                              << m_expectedChannel;
        m_answer = kLinkFailed;
        m_replied = true;
        return;
    }
    TraceStore &store = Store();
    const bool removeOffset = !store.SelfCheckRunning && p.Header.TriggerMethod == 1;
    const float offset = ConvertSamples(buf + kDataHeaderSize, samples, GainFactor(p.Gains[c - 1]),
                                        removeOffset, m_amplitudes);
    if (!store.LinkActive)
        return; // abandoned: a stop or a failure came first
    store.FileChannel(c, m_amplitudes.constData(), m_amplitudes.size(), offset);
    m_answer = 1;
    m_replied = true;
}
