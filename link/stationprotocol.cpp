#include "stationprotocol.h"

#include <QDateTime>
#include <QStringList>

namespace StationProtocol {

QString dateText(const QDateTime &utc)
{
    return utc.toString(QStringLiteral("yyyy/MM/dd:hh:mm:ss"));
}

QString dateCommand(const QString &dateText)
{
    return QStringLiteral("SENSDATE:") + dateText;
}

QString configCommand(const StationConfig &c)
{
    return QStringLiteral("SENDCONFIG:SERIAL=") + c.SERIAL
        + QStringLiteral("|ETH=") + c.ETH
        + QStringLiteral("|COM3G=") + c.COM3G
        + QStringLiteral("|RADIO=") + c.RADIO
        + QStringLiteral("|APN=") + c.APN
        + QStringLiteral("|LOGIN=") + c.LOGIN
        + QStringLiteral("|PWD=") + c.PWD
        + QStringLiteral("|BOXRADIOSERIAL=") + c.BOXRADIOSERIAL
        + QStringLiteral("|VBOXIP=") + c.VBOXIP
        + QStringLiteral("|VBOXPORT=") + c.VBOXPORT
        + QStringLiteral("|PMTYPE=") + c.PMTYPE
        + QStringLiteral("|COMWIFI=") + c.COMWIFI
        + QStringLiteral("|SSID=") + c.SSID
        + QStringLiteral("|WIFICRYPT=") + c.WIFICRYPT
        + QStringLiteral("|WIFIPWD=") + c.WIFIPWD
        + QStringLiteral("|FRAMECRYPT=") + c.FRAMECRYPT;
}

bool isComplete(const StationConfig &c)
{
    return !c.SERIAL.isEmpty() && !c.VBOXIP.isEmpty() && !c.VBOXPORT.isEmpty()
        && !c.PMTYPE.isEmpty() && !c.FRAMECRYPT.isEmpty();
}

namespace {

// Stores value into the first field whose rule matches key; the rules are tried
// in this order. The uplink flags are written only with their enabled value.
void storePair(const QString &key, const QString &value, StationConfig &c)
{
    if (key == QLatin1String("APN"))
        c.APN = value;
    else if (key == QLatin1String("LOGIN"))
        c.LOGIN = value;
    else if (key == QLatin1String("PWD"))
        c.PWD = value;
    else if (key == QLatin1String("SSID"))
        c.SSID = value;
    else if (key == QLatin1String("WIFIPWD"))
        c.WIFIPWD = value;
    else if (key.contains(QLatin1String("SENDCONFIG:SERIAL")))
        c.RECEIVEDSERIAL = value;
    else if (key == QLatin1String("BOXRADIOSERIAL"))
        c.BOXRADIOSERIAL = value;
    else if (key == QLatin1String("VBOXIP"))
        c.VBOXIP = value;
    else if (key == QLatin1String("VBOXPORT"))
        c.VBOXPORT = value;
    else if (key == QLatin1String("PMTYPE"))
        c.PMTYPE = value;
    else if (key == QLatin1String("FRAMECRYPT"))
        c.FRAMECRYPT = value;
    else if (key == QLatin1String("WIFICRYPT"))
        c.WIFICRYPT = value;
    else if (key == QLatin1String("ETH") && value == QLatin1String("ON"))
        c.ETH = value;
    else if (key == QLatin1String("COM3G") && value == QLatin1String("ON"))
        c.COM3G = value;
    else if (key == QLatin1String("RADIO") && value == QLatin1String("XB"))
        c.RADIO = value;
    else if (key == QLatin1String("COMWIFI") && value == QLatin1String("ON"))
        c.COMWIFI = value;
}

} // namespace

void readConfigReply(const QString &reply, StationConfig &config)
{
    const QStringList parts = reply.split(QLatin1Char('|'));
    for (const QString &part : parts) {
        const QStringList pieces = part.split(QLatin1Char('='));
        // A part without "=" carries no value: it leaves its field as it was.
        if (pieces.size() < 2)
            continue;
        storePair(pieces.at(0), pieces.at(1), config);
    }
}

QString burstCommand(const QString &word, const QString &year, const QString &month,
                     const QString &day, const QString &hour, const QString &days)
{
    return word + year + month + day + hour + QLatin1Char(':') + days;
}

QString serialFromBurstReply(const QString &reply)
{
    return reply.mid(3);
}

} // namespace StationProtocol
