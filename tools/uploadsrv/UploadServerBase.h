#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTcpSocket>

#include <memory>

class QTcpServer;

/// What both test servers share: listening on 127.0.0.1, one byte buffer per
/// connection, replies sent now or later, named faults that apply to a range
/// of frame numbers, and the list of problems found in what the device sent.
class UploadServerBase : public QObject
{
    Q_OBJECT

public:
    explicit UploadServerBase(QObject *parent = nullptr);
    ~UploadServerBase() override;

    /// Listens on 127.0.0.1:port (0: an ephemeral port); false when it cannot.
    bool Start(quint16 port = 0);
    /// Stops listening and drops every connection.
    void Stop();
    quint16 Port() const { return m_port; }
    /// Stops listening, so that connections are refused, or listens again on
    /// the same port; false when that port cannot be had again.
    bool SetRefusing(bool refusing);
    /// Prints every frame and reply to standard output.
    void SetVerbose(bool verbose) { m_verbose = verbose; }
    void ClearFaults() { m_faults.clear(); }

    /// Connections accepted so far.
    int Connections() const { return m_connections; }
    /// Everything wrong with what the device sent, one line each; empty when all was right.
    QStringList Problems() const { return m_problems; }

protected:
    struct Connection
    {
        int Id = 0;
        QPointer<QTcpSocket> Socket;
        QByteArray Buffer;
    };

    struct FaultEntry
    {
        int Fault = 0;
        int At = 1;
        int Times = 1;
        int Param = 0;
    };

    /// A new connection; the server may greet it.
    virtual void Connected(Connection &connection) { Q_UNUSED(connection); }
    /// New bytes are in connection.Buffer: take whole frames out of it.
    virtual void BytesArrived(Connection &connection) = 0;

    /// Adds a fault for frames number at … at + times − 1 (all later ones for times < 0).
    void AddFault(int fault, int at, int times, int param);
    /// The fault of kind fault planned for frame number, if any.
    const FaultEntry *FaultAt(int fault, int number) const;

    /// Writes bytes to connection's socket after delayMs (0: now).
    void SendTo(const Connection &connection, const QByteArray &bytes, int delayMs = 0);
    /// Closes connection after delayMs, once what was written has gone out.
    void CloseLater(const Connection &connection, int delayMs = 0);
    /// Drops connection at once, reading nothing more.
    void Drop(Connection &connection);

    void Problem(const QString &text);
    void Log(const QString &text) const;

private:
    void Accept();

    std::unique_ptr<QTcpServer> m_server;
    quint16 m_port = 0;
    bool m_verbose = false;
    int m_connections = 0;
    QList<std::shared_ptr<Connection>> m_open;
    QList<FaultEntry> m_faults;
    QStringList m_problems;
};
