#ifndef STATIONPROTOCOL_H
#define STATIONPROTOCOL_H

#include "stationconfig.h"

#include <QByteArray>
#include <QString>

class QDateTime;

// The station's command texts and the readers of its answers, shared by both links.
namespace StationProtocol {

const QByteArray kResetByte("\x07", 1);
const QByteArray kTcpReset("RESET:");
const QByteArray kGetConfig("GETCONFIG:");
const QByteArray kStopBurst("ENDBURSTMODE");
const QByteArray kBurstAck("BURSTMODEF:OK\r\n");
const QString kBurstWord = QStringLiteral("BURSTMODE:");
const QString kBurstDownloadWord = QStringLiteral("BURSTMODEF:");

const QString kResetBanner = QStringLiteral("Torvia");
const QString kDateAck = QStringLiteral("SENSERIAL:OK");
const QString kConfigAck = QStringLiteral("SENDCONFIG:OK");
const QString kBurstAckReply = QStringLiteral("BURSTMODE:OK");
const QString kStopBurstAck = QStringLiteral("ENDBURSTMODE:OK");

// What sendBurstModeF hands back when the link cannot be used.
const QString kNoSerial = QStringLiteral("noserialreceived");

// "yyyy/MM/dd:hh:mm:ss", the station's clock format.
QString dateText(const QDateTime &utc);
QString dateCommand(const QString &dateText);

// "SENDCONFIG:SERIAL=...|ETH=...|...|FRAMECRYPT=..." in the station's field order.
QString configCommand(const StationConfig &config);

// False when a field the station needs (serial, virtual box address and port,
// sensor type, frame encryption) is empty.
bool isComplete(const StationConfig &config);

// Stores the pairs of a "GETCONFIG:" answer into config; fields it does not
// name keep their text.
void readConfigReply(const QString &reply, StationConfig &config);

// word + year month day hour + ":" + days, e.g. "BURSTMODE:19052714:007".
QString burstCommand(const QString &word, const QString &year, const QString &month,
                     const QString &day, const QString &hour, const QString &days);

// The station serial in a "BURSTMODEF:" answer: everything after its first three characters.
QString serialFromBurstReply(const QString &reply);

} // namespace StationProtocol

#endif // STATIONPROTOCOL_H
