#ifndef SAMPLECONFIG_H
#define SAMPLECONFIG_H

#include "stationconfig.h"

#include <QRegularExpression>

// A station on 3G whose fields all hold texts of their own, so that a field sent or shown
// under another key shows at once; kSampleCommand is how it goes out.
inline StationConfig sampleConfig()
{
    StationConfig c;
    c.SERIAL = "1234", c.ETH = "OFF", c.COM3G = "ON", c.RADIO = "OFF", c.APN = "internet", c.LOGIN = "user";
    c.PWD = "secret", c.BOXRADIOSERIAL = "B7", c.VBOXIP = "10.0.0.5", c.VBOXPORT = "5000", c.PMTYPE = "1";
    c.COMWIFI = "OFF", c.SSID = "net", c.WIFICRYPT = "2", c.WIFIPWD = "wpass", c.FRAMECRYPT = "0";
    return c;
}

const QByteArray kSampleCommand = "SENDCONFIG:SERIAL=1234|ETH=OFF|COM3G=ON|RADIO=OFF|APN=internet|LOGIN=user"
    "|PWD=secret|BOXRADIOSERIAL=B7|VBOXIP=10.0.0.5|VBOXPORT=5000|PMTYPE=1|COMWIFI=OFF|SSID=net|WIFICRYPT=2"
    "|WIFIPWD=wpass|FRAMECRYPT=0";

// The sample, or config, with "KEY=value" changes, separated by blanks.
inline StationConfig changed(StationConfig config, const QString &changes)
{
    for (const QString &change : changes.split(' ', Qt::SkipEmptyParts))
        config.*configField(change.section('=', 0, 0))->member = change.section('=', 1, -1);
    return config;
}

// The fields of a record that hold text, "KEY=value" in wire order, RECEIVEDSERIAL last.
inline QString configText(const StationConfig &c)
{
    QStringList pairs;
    for (const ConfigField &field : configFields())
        pairs << QLatin1String(field.key) + '=' + c.*field.member;
    pairs << "RECEIVEDSERIAL=" + c.RECEIVEDSERIAL;
    return pairs.filter(QRegularExpression("=.")).join('|');
}

#endif // SAMPLECONFIG_H
