#include "CommandLine.h"

#include "params/ParamSet.h"

#include <QHostAddress>

namespace {

bool parseInstrument(const QString &value, ParamSet &params, QString *error)
{
    QString host = value;
    QString port;
    const int colon = value.lastIndexOf(QLatin1Char(':'));
    if (colon >= 0) {
        host = value.left(colon);
        port = value.mid(colon + 1);
    }
    QHostAddress address;
    if (!address.setAddress(host) || address.protocol() != QAbstractSocket::IPv4Protocol) {
        *error = QStringLiteral("--instrument: \"%1\" is not an IPv4 address").arg(host);
        return false;
    }
    if (!port.isNull()) {
        bool ok = false;
        const uint number = port.toUInt(&ok);
        if (!ok || number == 0 || number > 65535) {
            *error = QStringLiteral("--instrument: \"%1\" is not a port number").arg(port);
            return false;
        }
        params.InstrumentPort = QString::number(number);
    }
    params.InstrumentAddress = address.toString();
    return true;
}

} // namespace

bool ApplyCommandLine(const QStringList &arguments, ParamSet &params, QString *error)
{
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &arg = arguments.at(i);
        QString value;
        if (arg == QLatin1String("--instrument")) {
            if (i + 1 >= arguments.size()) {
                *error = QStringLiteral("--instrument needs HOST[:PORT]");
                return false;
            }
            value = arguments.at(++i);
        } else if (arg.startsWith(QLatin1String("--instrument="))) {
            value = arg.mid(int(sizeof("--instrument=")) - 1);
        } else {
            *error = QStringLiteral("unknown argument \"%1\"; usage: zeb [--instrument HOST[:PORT]]").arg(arg);
            return false;
        }
        if (!parseInstrument(value, params, error))
            return false;
    }
    return true;
}
