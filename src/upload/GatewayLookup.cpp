#include "GatewayLookup.h"

#include <QHostAddress>
#include <QtEndian>

#include <cctype>

namespace {

constexpr qsizetype kMaxTableBytes = 64 * 1024;
constexpr int kAddressHexDigits = 8;
constexpr int kMaxFlagHexDigits = 8;
constexpr int kMaxInterfaceName = 15; // IFNAMSIZ less the terminator
constexpr quint32 kRouteUp = 0x1;
constexpr quint32 kRouteGateway = 0x2;
const char kNoGateway[] = "0.0.0.0";

bool isHex(const QByteArray &field, int minDigits, int maxDigits)
{
    if (field.size() < minDigits || field.size() > maxDigits)
        return false;
    for (const char c : field)
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}

// The kernel prints each address as the number its network-order bytes make
// in this machine's byte order.
bool readAddress(const QByteArray &field, quint32 &address)
{
    if (!isHex(field, kAddressHexDigits, kAddressHexDigits))
        return false;
    address = qFromBigEndian(quint32(field.toUInt(nullptr, 16)));
    return true;
}

struct Columns
{
    int Count = 0;
    int Iface = -1, Destination = -1, Gateway = -1, Flags = -1, Metric = -1, Mask = -1;
    bool Complete() const
    {
        return Iface >= 0 && Destination >= 0 && Gateway >= 0 && Flags >= 0 && Metric >= 0 && Mask >= 0;
    }
};

Columns readHeader(const QByteArray &line)
{
    Columns c;
    const QList<QByteArray> names = line.simplified().split(' ');
    c.Count = int(names.size());
    for (int i = 0; i < names.size(); ++i) {
        const QByteArray &n = names.at(i);
        int *slot = n == "Iface" ? &c.Iface
            : n == "Destination" ? &c.Destination
            : n == "Gateway"     ? &c.Gateway
            : n == "Flags"       ? &c.Flags
            : n == "Metric"      ? &c.Metric
            : n == "Mask"        ? &c.Mask
                                 : nullptr;
        if (slot) {
            if (*slot >= 0)
                return Columns(); // a column named twice: not the table we know
            *slot = i;
        }
    }
    return c;
}

bool readRoute(const QByteArray &line, const Columns &c, RouteEntry &route)
{
    const QList<QByteArray> f = line.simplified().split(' ');
    if (f.size() != c.Count)
        return false;
    const QByteArray &name = f.at(c.Iface);
    if (name.isEmpty() || name.size() > kMaxInterfaceName)
        return false;
    for (const char ch : name)
        if (!std::isgraph(static_cast<unsigned char>(ch)))
            return false;
    bool metricOk = false;
    route.Metric = f.at(c.Metric).toLongLong(&metricOk);
    if (!metricOk || !isHex(f.at(c.Flags), 1, kMaxFlagHexDigits))
        return false;
    route.Flags = f.at(c.Flags).toUInt(nullptr, 16);
    route.Interface = QString::fromLatin1(name);
    return readAddress(f.at(c.Destination), route.Destination) && readAddress(f.at(c.Gateway), route.Gateway)
        && readAddress(f.at(c.Mask), route.Mask);
}

} // namespace

QList<RouteEntry> ParseRoutingTable(const QByteArray &text)
{
    QList<RouteEntry> routes;
    if (text.size() > kMaxTableBytes)
        return routes;
    const QList<QByteArray> lines = text.split('\n');
    const Columns columns = readHeader(lines.value(0));
    if (!columns.Complete())
        return routes;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        RouteEntry route;
        if (!lines.at(i).trimmed().isEmpty() && readRoute(lines.at(i), columns, route))
            routes << route;
    }
    return routes;
}

QString LocalIPv4Address(const QList<NetworkInterfaceAddresses> &interfaces)
{
    for (const NetworkInterfaceAddresses &i : interfaces) {
        for (const QString &text : i.IPv4) {
            const QHostAddress a(text);
            if (a.protocol() == QAbstractSocket::IPv4Protocol && !a.isLoopback())
                return a.toString();
        }
    }
    return QHostAddress(QHostAddress::LocalHost).toString();
}

QString FindGatewayAddress(const QList<NetworkInterfaceAddresses> &interfaces, const QByteArray &routingTable)
{
    const QString local = LocalIPv4Address(interfaces);
    const QList<RouteEntry> routes = ParseRoutingTable(routingTable);
    for (const NetworkInterfaceAddresses &i : interfaces) {
        if (!i.IPv4.contains(local))
            continue;
        const RouteEntry *best = nullptr;
        for (const RouteEntry &r : routes) {
            const bool isDefault = r.Destination == 0 && r.Mask == 0 && r.Gateway != 0
                && (r.Flags & kRouteUp) && (r.Flags & kRouteGateway);
            if (isDefault && r.Interface == i.Name && (!best || r.Metric < best->Metric))
                best = &r;
        }
        if (best)
            return QHostAddress(best->Gateway).toString();
    }
    return QString::fromLatin1(kNoGateway);
}

QString FindGatewayAddress()
{
    Platform &p = CurrentPlatform();
    return FindGatewayAddress(p.InterfaceAddresses(), p.RoutingTable());
}
