#pragma once

#include <QtGlobal>

class QHostAddress;
class QObject;
class QUdpSocket;

/// Size of the instrument socket's read buffer, and of the client's receive buffer.
constexpr int kInstrumentBufferSize = 786452;

/// The one instrument socket of the process, or nullptr when none exists
/// (never created yet, or deleted with the screen that owned it).
QUdpSocket *InstrumentSocket();
/// Returns the instrument socket, creating it with parent when none exists.
QUdpSocket *EnsureInstrumentSocket(QObject *parent);
/// Deletes the instrument socket (the acquisition screen does so when it goes).
void DeleteInstrumentSocket();
/// Associates socket with the unit at address and port, read-write, and gives
/// the new descriptor a kernel receive buffer of kInstrumentBufferSize, so that
/// a burst of 24 data replies is not dropped.
void ConnectInstrumentSocket(QUdpSocket *socket, const QHostAddress &address, quint16 port);
