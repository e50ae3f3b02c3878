#include "InstrumentSocket.h"

#include <QPointer>
#include <QUdpSocket>

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
