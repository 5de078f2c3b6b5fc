#ifndef SAMPLECONFIG_H
#define SAMPLECONFIG_H

#include "stationconfig.h"

// A station on 3G with every field that a configuration write needs, as in
// "SENDCONFIG:SERIAL=1234|ETH=OFF|COM3G=ON|RADIO=OFF|APN=internet|...".
inline StationConfig sampleConfig()
{
    StationConfig c;
    c.SERIAL = "1234";
    c.ETH = "OFF";
    c.COM3G = "ON";
    c.RADIO = "OFF";
    c.APN = "internet";
    c.VBOXIP = "10.0.0.5";
    c.VBOXPORT = "5000";
    c.PMTYPE = "1";
    c.COMWIFI = "OFF";
    c.WIFICRYPT = "0";
    c.FRAMECRYPT = "0";
    return c;
}

#endif // SAMPLECONFIG_H
