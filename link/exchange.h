#ifndef EXCHANGE_H
#define EXCHANGE_H

#include <QByteArray>
#include <QString>

class QIODevice;

// The one request/response procedure that every station command uses, on either
// transport: write, wait for the bytes to leave, wait for the first reply bytes,
// gather until the line falls silent, trim, cut at a zero byte, decode UTF-8.
namespace Exchange {

constexpr int kNoWait = -1;

struct Limits
{
    int bytesWrittenMs;   // W: kNoWait skips the wait for the bytes to leave
    int firstReplyMs;     // T1: the first reply byte must come within this
    int silenceMs;        // T2: a reply ends at the first pause this long
};

// No real reply comes near these: the longest configuration answer is under
// 2 KiB and arrives within a second. A station that keeps talking past them
// is broken, and its reply counts as none.
struct Caps
{
    qint64 bytes = 32 * 1024;
    int ms = 30000;       // from the first reply byte on
};

// Gathers a reply: nothing if no byte comes within firstReplyMs, otherwise
// everything until silenceMs pass without a new byte. Nothing, too, once the
// reply outgrows either cap: the rest is left unread.
QByteArray gather(QIODevice &line, int firstReplyMs, int silenceMs, const Caps &caps = Caps());

// Trims ASCII white space at both ends, cuts at the first zero byte, decodes UTF-8.
QString decode(const QByteArray &raw);

// Writes the command, then gathers and decodes the reply.
QString run(QIODevice &line, const QByteArray &command, const Limits &limits,
            const Caps &caps = Caps());

} // namespace Exchange

#endif // EXCHANGE_H
