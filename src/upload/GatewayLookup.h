#pragma once

#include "platform/Platform.h"

#include <QByteArray>
#include <QList>
#include <QString>

/// One line of the kernel's IPv4 routing table.
struct RouteEntry
{
    QString Interface;
    quint32 Destination = 0; ///< host byte order
    quint32 Gateway = 0;     ///< host byte order
    quint32 Mask = 0;        ///< host byte order
    quint32 Flags = 0;
    qint64 Metric = 0;
};

/// Reads the text of "/proc/net/route": a header naming the columns, then
/// one route a line. Lines that do not hold exactly the header's columns with
/// well-formed values are left out; a text without the header, or longer
/// than any routing table, gives no routes.
QList<RouteEntry> ParseRoutingTable(const QByteArray &text);

/// The first IPv4 address of interfaces that is not a loopback address, or
/// "127.0.0.1" when there is none.
QString LocalIPv4Address(const QList<NetworkInterfaceAddresses> &interfaces);

/// The gateway of the lowest-metric default route on the interface that
/// carries the local address, or "0.0.0.0".
QString FindGatewayAddress(const QList<NetworkInterfaceAddresses> &interfaces, const QByteArray &routingTable);
/// The same on the network the current platform reports.
QString FindGatewayAddress();
