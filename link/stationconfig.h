#ifndef STATIONCONFIG_H
#define STATIONCONFIG_H

#include <QString>

// The station's communication configuration as it travels on the wire: every
// field is named by its key and holds text, never a number.
struct StationConfig
{
    QString ETH;
    QString COMWIFI;
    QString COM3G;
    QString RADIO;
    QString APN;
    QString LOGIN;
    QString PWD;
    QString SSID;
    QString WIFIPWD;
    QString SERIAL;
    QString BOXRADIOSERIAL;
    QString VBOXIP;
    QString VBOXPORT;
    QString WIFICRYPT;
    QString FRAMECRYPT;
    QString PMTYPE;
    QString RECEIVEDSERIAL;
};

#endif // STATIONCONFIG_H
