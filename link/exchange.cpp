#include "exchange.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QIODevice>

namespace Exchange {

QByteArray gather(QIODevice &line, int firstReplyMs, int silenceMs, const Caps &caps)
{
    if (!line.waitForReadyRead(firstReplyMs))
        return {};
    QElapsedTimer clock;
    clock.start();
    // One byte past the cap is enough to know the reply is too long.
    QByteArray reply = line.read(caps.bytes + 1);
    // The station sends its answer in several pieces; only silence ends it.
    while (reply.size() <= caps.bytes) {
        const qint64 left = caps.ms - clock.elapsed();
        if (left <= 0) {
            qDebug() << "reply still running after" << caps.ms << "ms: given up";
            return {};
        }
        // A pause that only the cap cut short has not ended the reply.
        if (!line.waitForReadyRead(int(qMin<qint64>(silenceMs, left))))
            return left < silenceMs ? QByteArray() : reply;
        reply += line.read(caps.bytes + 1 - reply.size());
    }
    qDebug() << "reply longer than" << caps.bytes << "bytes: given up";
    return {};
}

QString decode(const QByteArray &raw)
{
    const QByteArray trimmed = raw.trimmed();
    const int zero = trimmed.indexOf('\0');
    return QString::fromUtf8(zero < 0 ? trimmed : trimmed.left(zero));
}

QString run(QIODevice &line, const QByteArray &command, const Limits &limits, const Caps &caps)
{
    line.write(command);
    if (limits.bytesWrittenMs != kNoWait)
        line.waitForBytesWritten(limits.bytesWrittenMs);
    return decode(gather(line, limits.firstReplyMs, limits.silenceMs, caps));
}

} // namespace Exchange
