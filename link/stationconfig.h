#ifndef STATIONCONFIG_H
#define STATIONCONFIG_H

#include <QString>
#include <QVector>

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

// One configuration field as the station and the form know it. The writer of
// the configuration command, the reader of the station's answer, both form
// mappings and the simulated station all walk the same list.
struct ConfigField
{
    enum Kind {
        Text,       // free text in a line edit of the form
        Serial,     // the station serial: sent from the form, read back into RECEIVEDSERIAL
        Uplink,     // one of the four uplink switches behind the link combo box
        Security    // the Wi-Fi security, behind the security combo box
    };

    const char *key;                  // as on the wire: "SSID"
    QString StationConfig::*member;   // where the record keeps it
    Kind kind;
    const char *widget;               // the form's line edit (Text and Serial), else nullptr
    bool required;                    // a configuration write is refused while it is empty
};

// The sixteen fields in the order the configuration command carries them.
const QVector<ConfigField> &configFields();

// An item of the link combo box and the uplink switch it turns on. Only the
// switched-on value is ever taken from the station's answer.
struct Uplink
{
    const char *item;                 // the combo box text: "Radio"
    QString StationConfig::*member;
    const char *onValue;              // "ON", or "XB" for the radio
};

// In the combo box's order, which is also the order in which a read picks the uplink.
const QVector<Uplink> &uplinks();

#endif // STATIONCONFIG_H
