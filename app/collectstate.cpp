#include "collectstate.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QLockFile>
#include <QSaveFile>

namespace {

const QString kHourFormat = QStringLiteral("yyyy-MM-dd HH");
const QString kStations = QStringLiteral("stations");
const QString kEnd = QStringLiteral("end");
const QString kFile = QStringLiteral("file");
const QString kUploaded = QStringLiteral("uploaded");
// Another collector holds the lock for a read and a write at most.
constexpr int kLockWaitMs = 10000;

} // namespace

QString CollectState::defaultPath()
{
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    // A relative XDG_STATE_HOME does not count: the state must not move with the working folder.
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return base + QStringLiteral("/marlowdesk/collect.json");
}

CollectState::CollectState(const QString &path)
    : filePath(path)
{
}

QString CollectState::hourText(const QDateTime &hour)
{
    return hour.toString(kHourFormat);
}

QDateTime CollectState::hourFromText(const QString &text)
{
    return QDateTime::fromString(text, kHourFormat);
}

bool CollectState::read(QJsonObject &into, QString &error) const
{
    into = QJsonObject();
    QFile file(filePath);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read the state file %1: %2").arg(filePath, file.errorString());
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    const QJsonValue stationsValue = document.object().value(kStations);
    bool valid = document.isObject() && stationsValue.isObject();
    const QJsonObject all = stationsValue.toObject();
    for (auto it = all.begin(); valid && it != all.end(); ++it)
        valid = hourFromText(it.value().toObject().value(kEnd).toString()).isValid();
    if (!valid) {
        error = QStringLiteral("the state file %1 is damaged (%2); mend or remove it")
                    .arg(filePath, parseError.error == QJsonParseError::NoError
                                       ? QStringLiteral("not a record of stations")
                                       : parseError.errorString());
        return false;
    }
    into = all;
    return true;
}

bool CollectState::load(QString &error)
{
    return read(stations, error);
}

QDateTime CollectState::periodEnd(const QString &stationSerial) const
{
    return hourFromText(stations.value(stationSerial).toObject().value(kEnd).toString());
}

bool CollectState::recordUpload(const QString &stationSerial, const QDateTime &end,
                                const QString &fileName, QString &error)
{
    if (!QDir().mkpath(QFileInfo(filePath).absolutePath())) {
        error = QStringLiteral("cannot make the folder of the state file %1").arg(filePath);
        return false;
    }
    QLockFile lock(filePath + QStringLiteral(".lock"));
    if (!lock.tryLock(kLockWaitMs)) {
        error = QStringLiteral("the state file %1 stays locked by another collector").arg(filePath);
        return false;
    }
    // Read again under the lock: another station's collection may have ended meanwhile.
    if (!read(stations, error))
        return false;
    QJsonObject station = stations.value(stationSerial).toObject();
    if (periodEnd(stationSerial).isValid() && periodEnd(stationSerial) >= end)
        return true;
    station.insert(kEnd, hourText(end));
    station.insert(kFile, fileName);
    station.insert(kUploaded, QDateTime::currentDateTime().toString(Qt::ISODate));
    stations.insert(stationSerial, station);

    QSaveFile file(filePath);
    const QJsonObject root{{kStations, stations}};
    if (!file.open(QIODevice::WriteOnly)
        || file.write(QJsonDocument(root).toJson()) < 0 || !file.commit()) {
        error = QStringLiteral("cannot write the state file %1: %2").arg(filePath, file.errorString());
        return false;
    }
    return true;
}
