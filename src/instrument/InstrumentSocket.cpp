#include "InstrumentSocket.h"

#include <QPointer>
#include <QUdpSocket>
#include <QVariant>

namespace {
QPointer<QUdpSocket> &socketRef()
{
    static QPointer<QUdpSocket> socket;
    return socket;
}
} // namespace

QUdpSocket *InstrumentSocket()
{
    return socketRef().data();
}

QUdpSocket *EnsureInstrumentSocket(QObject *parent)
{
    QPointer<QUdpSocket> &s = socketRef();
    if (!s) {
        s = new QUdpSocket(parent);
        s->setReadBufferSize(kInstrumentBufferSize);
    }
    return s.data();
}

void DeleteInstrumentSocket()
{
    delete socketRef().data();
}

void ConnectInstrumentSocket(QUdpSocket *socket, const QHostAddress &address, quint16 port)
{
    socket->connectToHost(address, port, QIODevice::ReadWrite);
    // The read buffer size of a QUdpSocket is only Qt's own bookkeeping; the
    // kernel's buffer is what holds replies until they are read. Every
    // connect opens a new descriptor, so it is set each time.
    socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, QVariant(kInstrumentBufferSize));
}
