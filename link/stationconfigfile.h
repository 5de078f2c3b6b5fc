#ifndef STATIONCONFIGFILE_H
#define STATIONCONFIGFILE_H

#include "stationconfig.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

// A station configuration kept as a file, so that one station's configuration can
// be checked against a station or applied to the next one. The file is a JSON object:
//
//   {"format": "marlowdesk-station-config", "version": 1,
//    "saved": "2026-12-07T10:15:00Z", "station": "ST1234",
//    "fields": {"APN": "internet", "COM3G": "ON", "ETH": "OFF", ...}}
//
// "fields" holds some or all of the sixteen configuration fields under their wire
// keys, with their wire values; "station" (the serial the station reported) is
// there only when the configuration was read from one. A file is checked whole
// before anything uses it: a file with any problem yields no values at all.
class StationConfigFile
{
public:
    static const QString kFormat;
    // The version this program writes; it reads every version up to it.
    static constexpr int kVersion = 1;
    // A configuration takes about a kilobyte; anything far larger is another file.
    static constexpr qint64 kMaxBytes = 64 * 1024;

    enum Fields {
        BasicFields,   // those outside the Advanced tab
        AllFields
    };

    // The fields of config as the form shows them: the uplink as one switched on and
    // three "OFF" (left out when none is on), the security only when the form can
    // show it. station is the serial that the station reported, or nothing.
    static StationConfigFile fromConfig(const StationConfig &config, Fields fields,
                                        const QString &station = QString());

    // All the fields of a configuration just read from a station (a link's record
    // after getConfig), the serial being the one the station reported.
    static StationConfigFile fromStationRead(const StationConfig &read);

    // Parses and checks a whole document. Every problem found is appended to
    // problems, one text each; when there is any, the file returned holds nothing.
    static StationConfigFile fromJson(const QByteArray &json, QStringList &problems);

    // Reads and checks the file at path, as fromJson.
    static StationConfigFile load(const QString &path, QStringList &problems);

    QByteArray toJson() const;

    // Writes the file whole under path or leaves what was there; on failure error
    // (when given) says why.
    bool save(const QString &path, QString *error = nullptr) const;

    // What a load of this file, once saved, would refuse in it: a value that the
    // form cannot show (a port out of range, a control character).
    QStringList problems() const;

    // The fields the file holds; the others are empty.
    const StationConfig &config() const { return values; }
    // The wire keys of the fields it holds, in the configuration command's order.
    const QStringList &keys() const { return fieldKeys; }
    const QString &station() const { return stationSerial; }
    const QDateTime &saved() const { return savedAt; }
    bool isEmpty() const { return fieldKeys.isEmpty(); }
    bool holdsAdvanced() const;

    // Writes the fields the file holds into config; the others keep their text.
    void applyTo(StationConfig &config) const;

private:
    void add(const ConfigField &field, const QString &value);

    StationConfig values;
    QStringList fieldKeys;
    QString stationSerial;
    QDateTime savedAt;
};

#endif // STATIONCONFIGFILE_H
