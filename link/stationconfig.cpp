#include "stationconfig.h"

const QVector<ConfigField> &configFields()
{
    static const QVector<ConfigField> fields = {
        {"SERIAL", &StationConfig::SERIAL, ConfigField::Serial, "serial", true},
        {"ETH", &StationConfig::ETH, ConfigField::Uplink, nullptr, false},
        {"COM3G", &StationConfig::COM3G, ConfigField::Uplink, nullptr, false},
        {"RADIO", &StationConfig::RADIO, ConfigField::Uplink, nullptr, false},
        {"APN", &StationConfig::APN, ConfigField::Text, "apn", false},
        {"LOGIN", &StationConfig::LOGIN, ConfigField::Text, "login", false},
        {"PWD", &StationConfig::PWD, ConfigField::Text, "password", false},
        {"BOXRADIOSERIAL", &StationConfig::BOXRADIOSERIAL, ConfigField::Text, "boxradioserial", false},
        {"VBOXIP", &StationConfig::VBOXIP, ConfigField::Text, "vboxip", true},
        {"VBOXPORT", &StationConfig::VBOXPORT, ConfigField::Text, "vboxport", true},
        {"PMTYPE", &StationConfig::PMTYPE, ConfigField::Text, "pmtype", true},
        {"COMWIFI", &StationConfig::COMWIFI, ConfigField::Uplink, nullptr, false},
        {"SSID", &StationConfig::SSID, ConfigField::Text, "ssid", false},
        {"WIFICRYPT", &StationConfig::WIFICRYPT, ConfigField::Security, nullptr, false},
        {"WIFIPWD", &StationConfig::WIFIPWD, ConfigField::Text, "wifiPassword", false},
        {"FRAMECRYPT", &StationConfig::FRAMECRYPT, ConfigField::Text, "framecrypt", true},
    };
    return fields;
}

const QVector<Uplink> &uplinks()
{
    static const QVector<Uplink> items = {
        {"Ethernet", &StationConfig::ETH, "ON"},
        {"Radio", &StationConfig::RADIO, "XB"},
        {"Wifi", &StationConfig::COMWIFI, "ON"},
        {"3G", &StationConfig::COM3G, "ON"},
    };
    return items;
}
