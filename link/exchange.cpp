#include "exchange.h"

#include <QIODevice>

namespace Exchange {

QByteArray gather(QIODevice &line, int firstReplyMs, int silenceMs)
{
    if (!line.waitForReadyRead(firstReplyMs))
        return {};
    QByteArray reply = line.readAll();
    // The station sends its answer in several pieces; only silence ends it.
    while (line.waitForReadyRead(silenceMs))
        reply += line.readAll();
    return reply;
}

QString decode(const QByteArray &raw)
{
    const QByteArray trimmed = raw.trimmed();
    const int zero = trimmed.indexOf('\0');
    return QString::fromUtf8(zero < 0 ? trimmed : trimmed.left(zero));
}

QString run(QIODevice &line, const QByteArray &command, const Limits &limits)
{
    line.write(command);
    if (limits.bytesWrittenMs != kNoWait)
        line.waitForBytesWritten(limits.bytesWrittenMs);
    return decode(gather(line, limits.firstReplyMs, limits.silenceMs));
}

} // namespace Exchange
