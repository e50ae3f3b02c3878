// Finding the witness server: the routing table read strictly, and the
// default gateway of the interface that carries the local address.
#include "support/FakePlatform.h"

#include "upload/GatewayLookup.h"

#include <QHostAddress>
#include <QtEndian>
#include <QtTest>

namespace {

const QByteArray kHeader = "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT      \n";

// An address as the kernel prints it: its network-order bytes read as a
// number of this machine.
QByteArray Hex(const char *address)
{
    return QByteArray::number(qToBigEndian(QHostAddress(QString::fromLatin1(address)).toIPv4Address()), 16)
        .toUpper()
        .rightJustified(8, '0');
}

QByteArray Route(const char *iface, const char *destination, const char *gateway, const char *flags,
                 int metric, const char *mask)
{
    return QByteArray(iface) + '\t' + Hex(destination) + '\t' + Hex(gateway) + '\t' + flags + "\t0\t0\t"
        + QByteArray::number(metric) + '\t' + Hex(mask) + "\t0\t0\t0\n";
}

using Interfaces = QList<NetworkInterfaceAddresses>;

} // namespace

class TstGatewayLookup : public QObject
{
    Q_OBJECT

private slots:
    void gateway_data();
    void gateway();
    void malformedLinesAreLeftOut();
    void platformDecides();
};

void TstGatewayLookup::gateway_data()
{
    QTest::addColumn<Interfaces>("interfaces");
    QTest::addColumn<QByteArray>("table");
    QTest::addColumn<QString>("gateway");
    // Addresses as a controller's network has them; they are only text to
    // read here: nothing in this test opens a socket.
    const NetworkInterfaceAddresses lo{QStringLiteral("lo"), {QStringLiteral("127.0.0.1")}};
    const NetworkInterfaceAddresses eth0{QStringLiteral("eth0"), {QStringLiteral("192.168.0.50")}};
    const NetworkInterfaceAddresses wlan0{QStringLiteral("wlan0"), {QStringLiteral("10.0.0.7")}};
    const QByteArray ethDefault = Route("eth0", "0.0.0.0", "192.168.0.1", "0003", 100, "0.0.0.0");
    const QByteArray ethNet = Route("eth0", "192.168.0.0", "0.0.0.0", "0001", 100, "255.255.255.0");
    const QByteArray wlanDefault = Route("wlan0", "0.0.0.0", "10.0.0.1", "0003", 600, "0.0.0.0");

    QTest::newRow("one adapter") << Interfaces{lo, eth0} << kHeader + ethNet + ethDefault << "192.168.0.1";
    // The first address that is not a loopback one decides the interface.
    QTest::newRow("two adapters, first local address wins")
        << Interfaces{lo, wlan0, eth0} << kHeader + ethDefault + wlanDefault << "10.0.0.1";
    QTest::newRow("lowest metric on that interface")
        << Interfaces{eth0} << kHeader + Route("eth0", "0.0.0.0", "192.168.0.9", "0003", 300, "0.0.0.0") + ethDefault
        << "192.168.0.1";
    QTest::newRow("default route on another interface only") << Interfaces{eth0} << kHeader + wlanDefault << "0.0.0.0";
    QTest::newRow("route that is down") << Interfaces{eth0}
                                        << kHeader + Route("eth0", "0.0.0.0", "192.168.0.1", "0002", 0, "0.0.0.0")
                                        << "0.0.0.0";
    QTest::newRow("no adapters") << Interfaces{} << kHeader + ethDefault << "0.0.0.0";
    QTest::newRow("loopback only") << Interfaces{lo} << kHeader + ethDefault << "0.0.0.0";
    QTest::newRow("no table") << Interfaces{lo, eth0} << QByteArray() << "0.0.0.0";
    QTest::newRow("table without its header") << Interfaces{eth0} << ethDefault << "0.0.0.0";
    QTest::newRow("table far too long") << Interfaces{eth0} << kHeader + ethDefault + QByteArray(70000, '\n')
                                        << "0.0.0.0";
}

void TstGatewayLookup::gateway()
{
    QFETCH(Interfaces, interfaces);
    QFETCH(QByteArray, table);
    QFETCH(QString, gateway);
    QCOMPARE(FindGatewayAddress(interfaces, table), gateway);
}

void TstGatewayLookup::malformedLinesAreLeftOut()
{
    const QByteArray good = Route("eth0", "0.0.0.0", "192.168.0.1", "0003", 100, "0.0.0.0");
    const QList<QByteArray> bad{
        "eth0\t00000000\t0100A8C0\t0003\t0\t0\t100\n",                        // columns missing
        "eth0\t00000000\t0100A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\t9\n",  // a column too many
        "eth0\t0000000G\t0100A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n",     // not hexadecimal
        "eth0\t000000000\t0100A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n",    // nine digits
        "eth0\t00000000\t0100A8C0\t0003\t0\t0\tten\t00000000\t0\t0\t0\n",     // metric not a number
        "averyveryverylongname0\t00000000\t0100A8C0\t0003\t0\t0\t1\t00000000\t0\t0\t0\n",
        QByteArray::fromRawData("eth0\t00000000\t01\0A8C0\t0003\t0\t0\t1\t00000000\t0\t0\t0\n", 48), // a zero byte
        QByteArray::fromRawData("\0\0eth0\t00000000\t0100A8C0\t0003\t0\t0\t1\t00000000\t0\t0\t0\n", 51), // zero bytes in the name
    };
    QByteArray table = kHeader;
    for (const QByteArray &line : bad)
        table += line;
    QCOMPARE(ParseRoutingTable(table).size(), 0);
    const QList<RouteEntry> routes = ParseRoutingTable(table + good);
    QCOMPARE(routes.size(), 1);
    QCOMPARE(routes.first().Interface, QStringLiteral("eth0"));
    QCOMPARE(QHostAddress(routes.first().Gateway).toString(), QStringLiteral("192.168.0.1"));
    QCOMPARE(routes.first().Flags, 3u);
    QCOMPARE(routes.first().Metric, 100);
}

void TstGatewayLookup::platformDecides()
{
    // The harmless platform knows of no network; a fake one is asked, never the machine.
    QCOMPARE(FindGatewayAddress(), QStringLiteral("0.0.0.0"));
    ScopedFakePlatform platform;
    platform->SetInterfaceAddresses({{QStringLiteral("eth1"), {QStringLiteral("172.16.5.5")}}});
    platform->SetRoutingTable(kHeader + Route("eth1", "0.0.0.0", "172.16.0.254", "0003", 0, "0.0.0.0"));
    QCOMPARE(FindGatewayAddress(), QStringLiteral("172.16.0.254"));
}

QTEST_GUILESS_MAIN(TstGatewayLookup)
#include "tst_gatewaylookup.moc"
