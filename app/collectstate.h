#ifndef COLLECTSTATE_H
#define COLLECTSTATE_H

#include <QDateTime>
#include <QJsonObject>
#include <QString>

// What marlowdesk-collect remembers between runs: per station serial, the hour at
// which the last fully uploaded period ended, so that the next run can start there.
// One JSON file per user. It is written whole into a temporary file that then takes
// the old one's place, under a lock, so that the collections of several stations
// may end at the same time; a file that cannot be read as such is an error, never
// silently started afresh.
class CollectState
{
public:
    // $XDG_STATE_HOME/marlowdesk/collect.json, or ~/.local/state/marlowdesk/collect.json.
    static QString defaultPath();

    explicit CollectState(const QString &path);

    QString path() const { return filePath; }
    // Reads the file; a missing one is an empty state. False, with the reason in error, otherwise.
    bool load(QString &error);
    // The end of the station's last fully uploaded period; invalid when none is on record.
    QDateTime periodEnd(const QString &stationSerial) const;
    // Records a fully uploaded period of the station (a later end than the one on
    // record only) and writes the file. False, with the reason in error, on failure.
    bool recordUpload(const QString &stationSerial, const QDateTime &end, const QString &fileName,
                      QString &error);

    // The hour texts of the file, as the collector's --from reads them.
    static QString hourText(const QDateTime &hour);
    static QDateTime hourFromText(const QString &text);

private:
    bool read(QJsonObject &into, QString &error) const;

    QString filePath;
    QJsonObject stations;
};

#endif // COLLECTSTATE_H
