#include "UnitSimulator.h"

#include <QDebug>
#include <QTimer>
#include <QUdpSocket>
#include <QtEndian>

namespace {

constexpr int kMaxRequest = 64;
constexpr int kDataHeaderSize = 10;
constexpr int kUnitChannels = 24;
constexpr char kFirstLetter = 'a';
constexpr char kLastLetter = 'z';
/// How long after a stale reply the right one follows, unless a fault says otherwise.
constexpr int kStaleLeadMs = 50;

bool isCommand(char c)
{
    return c >= kFirstLetter && c <= kLastLetter;
}

// A plausible mistake: the reply of the neighbouring command, never the
// version reply (which would also rewrite the program's version text).
char neighbourLetter(char letter)
{
    switch (letter) {
    case 'i':
        return 'a';
    case 'a':
    case 'b':
        return 'c';
    case 'j':
        return 'h';
    default:
        return static_cast<char>(letter + 1);
    }
}

} // namespace

UnitSimulator::UnitSimulator(QObject *parent)
    : QObject(parent)
{
    m_clock.start();
}

double UnitSimulator::recordStartSeconds() const
{
    // The record ended when the finish was reported, its length before that;
    // a record fetched before it finished began now.
    const double now = m_clock.nsecsElapsed() / 1e9;
    const double length = m_params.DurationMs() * m_timeScale / 1000.0;
    return m_isTriggered && m_sinceTrigger.isValid()
               ? now - m_sinceTrigger.nsecsElapsed() / 1e9
               : now - length;
}

UnitSimulator::~UnitSimulator()
{
    Stop();
}

bool UnitSimulator::Start(quint16 port)
{
    Stop();
    m_socket = new QUdpSocket(this);
    // Loopback only: nothing of the simulator is reachable from the network.
    if (!m_socket->bind(QHostAddress(QHostAddress::LocalHost), port)) {
        qWarning() << "unit simulator: cannot bind 127.0.0.1 port" << port << ":"
                   << m_socket->errorString();
        delete m_socket;
        m_socket = nullptr;
        return false;
    }
    m_socket->setReadBufferSize(1 << 20);
    m_port = m_socket->localPort();
    connect(m_socket, &QUdpSocket::readyRead, this, &UnitSimulator::onReadyRead);
    return true;
}

void UnitSimulator::Stop()
{
    ++m_epoch;
    delete m_socket;
    m_socket = nullptr;
    m_armed = false;
}

bool UnitSimulator::IsRunning() const
{
    return m_socket != nullptr;
}

void UnitSimulator::SetFault(char letter, Fault fault, int param, int times)
{
    m_faults[letter] = FaultEntry{fault, param, times};
}

void UnitSimulator::SetReplyOverride(char letter, const QByteArray &datagram, int times)
{
    m_overrides[letter] = {datagram, times};
}

void UnitSimulator::SetChannelFault(int channel, Fault fault, int times)
{
    m_channelFaults[channel] = FaultEntry{fault, 0, times};
}

void UnitSimulator::SetDuplicateReply(char letter, int times)
{
    m_duplicates[letter] = times;
}

void UnitSimulator::ClearFaults()
{
    m_faults.clear();
    m_channelFaults.clear();
    m_duplicates.clear();
    m_overrides.clear();
    m_silentAfter = -1;
}

void UnitSimulator::SetSilentAfter(int commands)
{
    m_silentAfter = commands;
}

int UnitSimulator::Received(char letter) const
{
    return isCommand(letter) ? m_received[letter - kFirstLetter] : 0;
}

void UnitSimulator::ResetCounters()
{
    m_received.fill(0);
    m_receivedTotal = 0;
    m_repliesSent = 0;
    m_channelRequests.clear();
    m_commandLog.clear();
}

bool UnitSimulator::takeRequestFault(char letter, int channel, FaultEntry &out)
{
    if (letter == 'j') {
        auto it = m_channelFaults.find(channel);
        if (it != m_channelFaults.end()) {
            out = it->second;
            if (it->second.times > 0 && --it->second.times == 0)
                m_channelFaults.erase(it);
            return true;
        }
    }
    return takeFault(letter, out);
}

bool UnitSimulator::takeFault(char letter, FaultEntry &out)
{
    auto it = m_faults.find(letter);
    if (it == m_faults.end())
        return false;
    out = it->second;
    if (it->second.times > 0 && --it->second.times == 0)
        m_faults.erase(it);
    return true;
}

void UnitSimulator::onReadyRead()
{
    while (m_socket && m_socket->hasPendingDatagrams()) {
        QByteArray request(kMaxRequest, '\0');
        QHostAddress from;
        quint16 port = 0;
        const qint64 n = m_socket->readDatagram(request.data(), request.size(), &from, &port);
        if (n < 0)
            break;
        request.truncate(static_cast<int>(n));
        handle(request, from, port);
    }
}

void UnitSimulator::handle(const QByteArray &request, const QHostAddress &from, quint16 port)
{
    if (request.size() < 4 || !request.startsWith("VRK") || !isCommand(request[3])) {
        if (m_verbose)
            qDebug() << "unit simulator: ignored" << request.toHex(' ');
        return;
    }
    const char letter = request[3];
    const int channel = letter == 'j' && request.size() > 4 ? static_cast<qint8>(request[4]) : 0;
    ++m_received[letter - kFirstLetter];
    ++m_receivedTotal;
    if (letter == 'j')
        m_channelRequests.append(channel);
    m_commandLog.append(letter == 'j' ? QStringLiteral("j%1").arg(channel) : QString(QLatin1Char(letter)));
    if (m_verbose)
        qDebug() << "unit simulator: command" << letter << request.mid(4).toHex(' ');
    emit CommandReceived(letter);

    // The unit's state follows every command, answered or not.
    QByteArray reply = replyFor(letter, request);
    if (m_silentAfter == 0 || reply.isEmpty())
        return;
    if (m_silentAfter > 0)
        --m_silentAfter;

    auto over = m_overrides.find(letter);
    if (over != m_overrides.end()) {
        reply = over->second.first;
        if (--over->second.second <= 0)
            m_overrides.erase(over);
    }

    int delay = m_replyDelayMs;
    FaultEntry f{};
    if (takeRequestFault(letter, channel, f)) {
        switch (f.fault) {
        case Fault::NoReply:
            return;
        case Fault::LateReply:
            delay += f.param;
            break;
        case Fault::WrongLetter: {
            const char wrong = f.param ? static_cast<char>(f.param) : neighbourLetter(letter);
            reply = shortReply(wrong, 1);
            break;
        }
        case Fault::WrongChannel:
            if (letter == 'j')
                reply = dataReply(f.param ? f.param : channel % kUnitChannels + 1);
            break;
        case Fault::StaleFirst:
            if (!m_lastReply.isEmpty()) {
                queueReply(m_lastReply, m_lastReplyLetter, delay, from, port);
                delay += f.param > 0 ? f.param : kStaleLeadMs;
            }
            break;
        }
    }
    m_lastReply = reply;
    m_lastReplyLetter = letter;
    queueReply(reply, letter, delay, from, port);
    auto twice = m_duplicates.find(letter);
    if (twice != m_duplicates.end()) {
        queueReply(reply, letter, delay, from, port);
        if (--twice->second <= 0)
            m_duplicates.erase(twice);
    }
}

void UnitSimulator::queueReply(const QByteArray &reply, char letter, int delayMs,
                               const QHostAddress &to, quint16 port)
{
    // Never from inside the receive handler: the reply leaves on a later pass
    // of the event loop, in the order the commands came.
    const quint64 epoch = m_epoch;
    QTimer::singleShot(qMax(0, delayMs), this, [this, reply, letter, to, port, epoch] {
        if (epoch != m_epoch || !m_socket)
            return;
        if (m_socket->writeDatagram(reply, to, port) == reply.size()) {
            ++m_repliesSent;
            emit ReplySent(letter);
        } else if (m_verbose) {
            qDebug() << "unit simulator: reply not sent:" << m_socket->errorString();
        }
    });
}

bool UnitSimulator::triggered()
{
    if (!m_armed)
        return false;
    if (!m_isTriggered) {
        const bool automatic = m_params.TriggerMethod == 0 || m_params.SelfCheck();
        const bool waited = m_triggerWaitMs >= 0 && m_sinceStart.elapsed() >= m_triggerWaitMs;
        if (automatic || waited || m_triggerRequested) {
            m_isTriggered = true;
            m_sinceTrigger.start();
        }
    }
    return m_isTriggered;
}

QByteArray UnitSimulator::replyFor(char letter, const QByteArray &request)
{
    switch (letter) {
    case 'a':
        return shortReply(letter, m_connectAnswer);
    case 'b':
        return shortReply(letter, m_versionByte);
    case 'c':
        return shortReply(letter, m_battery);
    case 'd': {
        UnitParams p;
        if (!DecodeParaFrame(request, p))
            return shortReply(letter, 0);
        m_params = p;
        m_lastParaFrame = request;
        return shortReply(letter, 1);
    }
    case 'e':
        m_armed = true;
        m_isTriggered = false;
        m_triggerRequested = false;
        m_sinceStart.start();
        return shortReply(letter, 1);
    case 'f':
        return shortReply(letter, triggered() ? 1 : 0);
    case 'g': {
        const bool done = triggered()
                          && m_sinceTrigger.elapsed() >= m_params.DurationMs() * m_timeScale;
        return shortReply(letter, done ? 1 : 0);
    }
    case 'h':
        // Each data header opens a new shot: new noise, new hammer blow.
        m_armed = false;
        ++m_shot;
        m_model.SetRecordStart(recordStartSeconds());
        return shortReply(letter, 1);
    case 'i':
        m_armed = false;
        return shortReply(letter, 1);
    case 'j': {
        if (m_shot == 0)
            ++m_shot;
        const int ch = request.size() > 4 ? static_cast<qint8>(request[4]) : 0;
        return dataReply(ch);
    }
    default:
        return {};
    }
}

QByteArray UnitSimulator::shortReply(char letter, int value) const
{
    QByteArray r("VRK");
    r.append(letter);
    r.append(static_cast<char>(value));
    return r;
}

QVector<qint16> UnitSimulator::ChannelSamples(int channel) const
{
    return m_model.Channel(m_params, m_shot, channel);
}

QByteArray UnitSimulator::dataReply(int channel) const
{
    const QVector<qint16> samples = ChannelSamples(channel);
    const int n = samples.size();
    QByteArray r(kDataHeaderSize + 2 * n, '\0');
    char *b = r.data();
    b[0] = 'V';
    b[1] = 'R';
    b[2] = 'K';
    b[3] = 'j';
    qToLittleEndian<quint16>(static_cast<quint16>(n), b + 4);
    b[6] = 'j';
    b[8] = static_cast<char>(channel);
    qToLittleEndian<qint16>(samples.constData(), n, b + kDataHeaderSize);
    return r;
}
