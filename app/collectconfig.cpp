#include "collectconfig.h"

#include "commandsmanager.h"

CollectConfig::Result CollectConfig::read(CommandsManager &link, const QString &path, QString &message)
{
    if (link.getConfig() != kSuccess) {
        message = QStringLiteral("the station did not report its configuration");
        return Unreachable;
    }
    const StationConfigFile file = StationConfigFile::fromStationRead(link.config);
    QString error;
    if (!file.save(path, &error)) {
        message = QStringLiteral("cannot write %1: %2").arg(path, error);
        return BadFile;
    }
    message = QStringLiteral("configuration of station %1 written to %2").arg(file.station(), path);
    return Done;
}

CollectConfig::Result CollectConfig::write(CommandsManager &link, const StationConfigFile &file,
                                           bool readsBack, QString &message)
{
    StationConfig sent;
    if (file.keys().size() < configFields().size()) {
        if (link.getConfig() != kSuccess) {
            message = QStringLiteral("the station did not report the configuration the file completes");
            return Unreachable;
        }
        sent = StationConfigFile::fromStationRead(link.config).config();
    }
    file.applyTo(sent);
    switch (link.setConfig(sent)) {
    case kSuccess:
        break;
    case kIncomplete:
        message = QStringLiteral("the configuration lacks a field the station needs "
                                 "(serial, virtual box address and port, sensor, encryption): nothing sent");
        return BadFile;
    case kNotConnected:
        message = QStringLiteral("cannot reach the station");
        return Unreachable;
    default:
        message = QStringLiteral("the station refused the configuration");
        return Refused;
    }
    // Over TCP the station does not confirm: the link has read the configuration
    // back, and only the same fields mean it was taken.
    if (readsBack) {
        const StationConfig reported = StationConfigFile::fromStationRead(link.config).config();
        const QVector<ConfigDifference> differences = configDifferences(sent, reported, file.keys());
        if (!differences.isEmpty()) {
            message = QStringLiteral("the station reports %1 as \"%2\", not \"%3\"")
                          .arg(QLatin1String(differences.first().key), differences.first().second,
                               differences.first().first);
            return Refused;
        }
    }
    message = QStringLiteral("configuration sent and taken");
    return Done;
}
