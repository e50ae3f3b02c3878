#include "UploadServerBase.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTextStream>
#include <QTimer>

UploadServerBase::UploadServerBase(QObject *parent)
    : QObject(parent)
{
}

UploadServerBase::~UploadServerBase()
{
    Stop();
}

bool UploadServerBase::Start(quint16 port)
{
    m_server = std::make_unique<QTcpServer>();
    if (!m_server->listen(QHostAddress(QHostAddress::LocalHost), port)) {
        m_server.reset();
        return false;
    }
    m_port = m_server->serverPort();
    connect(m_server.get(), &QTcpServer::newConnection, this, &UploadServerBase::Accept);
    return true;
}

void UploadServerBase::Stop()
{
    for (const auto &c : std::as_const(m_open))
        if (c->Socket)
            c->Socket->abort();
    m_open.clear();
    m_server.reset();
}

bool UploadServerBase::SetRefusing(bool refusing)
{
    // Not listening is what the device meets as a refused connection.
    if (!m_server)
        return false;
    if (refusing) {
        m_server->close();
        return true;
    }
    return m_server->isListening() || m_server->listen(QHostAddress(QHostAddress::LocalHost), m_port);
}

void UploadServerBase::Accept()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        socket->setParent(this);
        auto c = std::make_shared<Connection>();
        c->Id = ++m_connections;
        c->Socket = socket;
        m_open << c;
        std::weak_ptr<Connection> weak = c;
        connect(socket, &QTcpSocket::readyRead, this, [this, weak] {
            const auto conn = weak.lock();
            if (!conn || !conn->Socket)
                return;
            conn->Buffer += conn->Socket->readAll();
            BytesArrived(*conn);
        });
        connect(socket, &QTcpSocket::disconnected, this, [this, weak, socket] {
            socket->deleteLater();
            for (qsizetype i = 0; i < m_open.size(); ++i)
                if (m_open.at(i) == weak.lock())
                    m_open.removeAt(i--);
        });
        Log(QStringLiteral("connection %1").arg(c->Id));
        Connected(*c);
    }
}

void UploadServerBase::AddFault(int fault, int at, int times, int param)
{
    m_faults << FaultEntry{fault, at, times, param};
}

const UploadServerBase::FaultEntry *UploadServerBase::FaultAt(int fault, int number) const
{
    for (const FaultEntry &f : m_faults)
        if (f.Fault == fault && number >= f.At && (f.Times < 0 || number < f.At + f.Times))
            return &f;
    return nullptr;
}

void UploadServerBase::SendTo(const Connection &connection, const QByteArray &bytes, int delayMs)
{
    QPointer<QTcpSocket> socket = connection.Socket;
    const auto write = [socket, bytes] {
        if (socket && socket->state() == QAbstractSocket::ConnectedState) {
            socket->write(bytes);
            socket->flush();
        }
    };
    if (delayMs <= 0)
        write();
    else
        QTimer::singleShot(delayMs, this, write);
}

void UploadServerBase::CloseLater(const Connection &connection, int delayMs)
{
    QPointer<QTcpSocket> socket = connection.Socket;
    QTimer::singleShot(delayMs, this, [socket] {
        if (socket)
            socket->disconnectFromHost();
    });
}

void UploadServerBase::Drop(Connection &connection)
{
    connection.Buffer.clear();
    if (connection.Socket)
        connection.Socket->abort();
}

void UploadServerBase::Problem(const QString &text)
{
    m_problems << text;
    Log(QStringLiteral("PROBLEM: ") + text);
}

void UploadServerBase::Log(const QString &text) const
{
    if (m_verbose)
        QTextStream(stdout) << text << Qt::endl;
}
