#ifndef BURSTRECORD_H
#define BURSTRECORD_H

#include <QString>

// Turns one line of the burst data file into one record of an upload packet.
namespace BurstRecord {

// "Response value__Date value\r\n" for a measurement line, "END\r\n" for any line
// that holds the terminator word, and "" (with a debug line) for a line that
// cannot be decoded. Never fails.
QString decode(const QString &line);
// The same into record, whose memory serves again for the next line.
void decode(const QString &line, QString &record);

} // namespace BurstRecord

#endif // BURSTRECORD_H
