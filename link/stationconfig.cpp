#include "stationconfig.h"

const QVector<ConfigField> &configFields()
{
    static const QVector<ConfigField> fields = {
        {"SERIAL", &StationConfig::SERIAL, ConfigField::Serial, "serial", true, true},
        {"ETH", &StationConfig::ETH, ConfigField::Uplink, nullptr, false, false},
        {"COM3G", &StationConfig::COM3G, ConfigField::Uplink, nullptr, false, false},
        {"RADIO", &StationConfig::RADIO, ConfigField::Uplink, nullptr, false, false},
        {"APN", &StationConfig::APN, ConfigField::Text, "apn", false, false},
        {"LOGIN", &StationConfig::LOGIN, ConfigField::Text, "login", false, false},
        {"PWD", &StationConfig::PWD, ConfigField::Text, "password", false, false},
        {"BOXRADIOSERIAL", &StationConfig::BOXRADIOSERIAL, ConfigField::Text, "boxradioserial", false, true},
        {"VBOXIP", &StationConfig::VBOXIP, ConfigField::Text, "vboxip", true, true},
        {"VBOXPORT", &StationConfig::VBOXPORT, ConfigField::Port, "vboxport", true, true},
        {"PMTYPE", &StationConfig::PMTYPE, ConfigField::Text, "pmtype", true, true},
        {"COMWIFI", &StationConfig::COMWIFI, ConfigField::Uplink, nullptr, false, false},
        {"SSID", &StationConfig::SSID, ConfigField::Text, "ssid", false, false},
        {"WIFICRYPT", &StationConfig::WIFICRYPT, ConfigField::Security, nullptr, false, false},
        {"WIFIPWD", &StationConfig::WIFIPWD, ConfigField::Text, "wifiPassword", false, false},
        {"FRAMECRYPT", &StationConfig::FRAMECRYPT, ConfigField::Text, "framecrypt", true, true},
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

const ConfigField *configField(const QString &key)
{
    for (const ConfigField &field : configFields()) {
        if (key == QLatin1String(field.key))
            return &field;
    }
    return nullptr;
}

const ConfigField *configField(QString StationConfig::*member)
{
    for (const ConfigField &field : configFields()) {
        if (field.member == member)
            return &field;
    }
    return nullptr;
}

QVector<ConfigDifference> configDifferences(const StationConfig &first, const StationConfig &second,
                                            const QStringList &keys)
{
    QVector<ConfigDifference> differences;
    for (const ConfigField &field : configFields()) {
        if (keys.contains(QLatin1String(field.key)) && first.*field.member != second.*field.member)
            differences.append({field.key, first.*field.member, second.*field.member});
    }
    return differences;
}

const Uplink *uplinkOf(QString StationConfig::*member)
{
    for (const Uplink &uplink : uplinks()) {
        if (uplink.member == member)
            return &uplink;
    }
    return nullptr;
}

int chosenUplink(const StationConfig &config)
{
    for (int index = 0; index < uplinks().size(); ++index) {
        const Uplink &uplink = uplinks().at(index);
        if (config.*uplink.member == QLatin1String(uplink.onValue))
            return index;
    }
    return -1;
}

void chooseUplink(StationConfig &config, int index)
{
    for (int i = 0; i < uplinks().size(); ++i) {
        const Uplink &uplink = uplinks().at(i);
        config.*uplink.member = i == index ? QLatin1String(uplink.onValue) : QLatin1String("OFF");
    }
}

const QStringList &securityTexts()
{
    static const QStringList texts = {
        QStringLiteral("No security"), QStringLiteral("WPA (TKIP)"),
        QStringLiteral("WPA2 (AES)"), QStringLiteral("WEP")
    };
    return texts;
}

int securityIndex(const QString &wifiCrypt)
{
    for (int index = 0; index < securityTexts().size(); ++index) {
        if (wifiCrypt == QString::number(index))
            return index;
    }
    return -1;
}

bool isPortText(const QString &text)
{
    if (text.isEmpty())
        return true;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    // Digits only, so no sign or blank gets through; a long run of them overflows to 0.
    const int port = text.toInt();
    return port >= kPortMinimum && port <= kPortMaximum;
}
