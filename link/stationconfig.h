#ifndef STATIONCONFIG_H
#define STATIONCONFIG_H

#include <QString>
#include <QStringList>
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
        Port,       // a port number in a line edit of the form, or nothing
        Serial,     // the station serial: sent from the form, read back into RECEIVEDSERIAL
        Uplink,     // one of the four uplink switches behind the link combo box
        Security    // the Wi-Fi security, behind the security combo box
    };

    const char *key;                  // as on the wire: "SSID"
    QString StationConfig::*member;   // where the record keeps it
    Kind kind;
    const char *widget;               // the form's line edit (Text, Port and Serial), else nullptr
    bool required;                    // a configuration write is refused while it is empty
    bool advanced;                    // on the password-protected Advanced tab
};

// The sixteen fields in the order the configuration command carries them.
const QVector<ConfigField> &configFields();

// The field of a wire key, or of a member of the record; nullptr for none.
const ConfigField *configField(const QString &key);
const ConfigField *configField(QString StationConfig::*member);

// One field whose text differs between two configurations.
struct ConfigDifference
{
    const char *key;   // the wire key
    QString first;
    QString second;
};

// The fields that keys names (wire keys) whose texts differ, compared exactly, in
// the configuration command's order.
QVector<ConfigDifference> configDifferences(const StationConfig &first, const StationConfig &second,
                                            const QStringList &keys);

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

// The uplink switch of member, or nullptr for any other field.
const Uplink *uplinkOf(QString StationConfig::*member);

// The index in uplinks() of the uplink that config switches on, the first in that
// order when several read "ON"; -1 when none does.
int chosenUplink(const StationConfig &config);

// Switches the uplink at index on and the three others "OFF"; an index outside
// uplinks() switches all four off.
void chooseUplink(StationConfig &config, int index);

// The items of the security combo box; an item's index, in decimal, is its WIFICRYPT value.
const QStringList &securityTexts();

// The item of securityTexts() that a WIFICRYPT value names, or -1.
int securityIndex(const QString &wifiCrypt);

// A Port field holds nothing or a number in this range; the form's validator and
// the configuration files take the same range.
constexpr int kPortMinimum = 1;
constexpr int kPortMaximum = 65535;

// Whether text is empty or a decimal number from kPortMinimum to kPortMaximum.
bool isPortText(const QString &text);

#endif // STATIONCONFIG_H
