#include "stationprotocol.h"

#include <QDateTime>
#include <QStringList>

namespace StationProtocol {

QString dateText(const QDateTime &utc)
{
    return utc.toString(QStringLiteral("yyyy/MM/dd:hh:mm:ss"));
}

QString dateCommand(const QString &dateText)
{
    return QStringLiteral("SENSDATE:") + dateText;
}

QString configCommand(const StationConfig &c)
{
    QStringList pairs;
    for (const ConfigField &field : configFields())
        pairs << QLatin1String(field.key) + QLatin1Char('=') + c.*field.member;
    return QStringLiteral("SENDCONFIG:") + pairs.join(QLatin1Char('|'));
}

bool isComplete(const StationConfig &c)
{
    for (const ConfigField &field : configFields()) {
        if (field.required && (c.*field.member).isEmpty())
            return false;
    }
    return true;
}

namespace {

const QString kSerialKey = QStringLiteral("SENDCONFIG:SERIAL");

// Stores value into the field that key names. The answer opens with the
// station's serial under a key that carries the command word, so that key is
// matched by containment; every other key must match exactly (a bare "SERIAL"
// names nothing). An uplink switch is written only with its switched-on value.
void storePair(const QString &key, const QString &value, StationConfig &c)
{
    if (key.contains(kSerialKey)) {
        c.RECEIVEDSERIAL = value;
        return;
    }
    for (const ConfigField &field : configFields()) {
        if (field.kind == ConfigField::Serial || key != QLatin1String(field.key))
            continue;
        const Uplink *uplink = uplinkOf(field.member);
        if (!uplink || value == QLatin1String(uplink->onValue))
            c.*field.member = value;
        return;
    }
}

} // namespace

void readConfigReply(const QString &reply, StationConfig &config)
{
    const QStringList parts = reply.split(QLatin1Char('|'));
    for (const QString &part : parts) {
        const QStringList pieces = part.split(QLatin1Char('='));
        // A part without "=" carries no value: it leaves its field as it was.
        if (pieces.size() < 2)
            continue;
        storePair(pieces.at(0), pieces.at(1), config);
    }
}

QString burstCommand(const QString &word, const QString &year, const QString &month,
                     const QString &day, const QString &hour, const QString &days)
{
    return word + year + month + day + hour + QLatin1Char(':') + days;
}

QString serialFromBurstReply(const QString &reply)
{
    return reply.mid(3);
}

} // namespace StationProtocol
