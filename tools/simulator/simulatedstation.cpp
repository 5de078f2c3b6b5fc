#include "simulatedstation.h"

#include "stationline.h"
#include "stationprotocol.h"

#include <QDeadlineTimer>
#include <QIODevice>
#include <QLocale>
#include <QMutexLocker>
#include <QPair>
#include <QStringList>

#include <utility>

namespace {

constexpr int kIdleWaitMs = 200;          // a read wait while no command is pending
constexpr int kDefaultDumpBlock = 4096;
constexpr int kLogLimit = 256;            // longer transfers are logged by their head only
constexpr int kDateLength = 19;           // "yyyy/MM/dd:hh:mm:ss"

const QByteArray kBanner("Torvia station v2.1 ready\r\n");
const QByteArray kLineEnd("\r\n");
const QByteArray kEndLine("END\r\n");
const QByteArray kConfigWord("SENDCONFIG:");
const QByteArray kBurstAckWord("BURSTMODEF:OK");
const QByteArray kSerialReplyWord("OK:");
const QByteArray kDateWord = StationProtocol::dateCommand(QString()).toLatin1();
const QByteArray kBurstWord = StationProtocol::kBurstWord.toLatin1();
const QByteArray kBurstDownloadWord = StationProtocol::kBurstDownloadWord.toLatin1();
const QDateTime kDefaultBurstStart(QDate(2019, 5, 27), QTime(14, 0), Qt::UTC);

// The commands whose length is known, so they need no quiet gap to end.
const QByteArray kFixedCommands[] = {
    StationProtocol::kResetByte, StationProtocol::kGetConfig, StationProtocol::kStopBurst,
    StationProtocol::kTcpReset, StationProtocol::kBurstAck,
};

StationConfig defaultConfig()
{
    StationConfig c;
    c.SERIAL = QStringLiteral("ST1234");
    c.ETH = QStringLiteral("ON");
    c.COM3G = QStringLiteral("OFF");
    c.RADIO = QStringLiteral("OFF");
    c.COMWIFI = QStringLiteral("OFF");
    c.VBOXIP = QStringLiteral("10.0.0.5");
    c.VBOXPORT = QStringLiteral("5000");
    c.PMTYPE = QStringLiteral("1");
    c.FRAMECRYPT = QStringLiteral("0");
    c.WIFICRYPT = QStringLiteral("0");
    return c;
}

// "BURSTMODEF:19052714:007" asks for the period from 27 May 2019, 14 h.
QDateTime periodStart(const QByteArray &command, int wordLength)
{
    const QByteArray digits = command.mid(wordLength, 8);
    bool ok = digits.size() == 8;
    for (const char c : digits)
        ok = ok && c >= '0' && c <= '9';
    if (!ok)
        return kDefaultBurstStart;
    const QDate day(2000 + digits.mid(0, 2).toInt(), digits.mid(2, 2).toInt(),
                    digits.mid(4, 2).toInt());
    const QTime hour(digits.mid(6, 2).toInt(), 0);
    const QDateTime start(day, hour, Qt::UTC);
    return start.isValid() ? start : kDefaultBurstStart;
}

QString escaped(const QByteArray &bytes)
{
    QString text;
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\r')
            text += QLatin1String("\\r");
        else if (c == '\n')
            text += QLatin1String("\\n");
        else if (u < 0x20 || u >= 0x7f)
            text += QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'));
        else
            text += QLatin1Char(c);
    }
    return text;
}

} // namespace

// What the station does about one command, decided under the lock and carried
// out without it, so pauses never hold up the thread that configures the station.
struct SimulatedStation::Reply
{
    QList<QPair<QByteArray, int>> pieces;   // bytes + pause before them
    bool dump = false;                      // the dump follows the pieces
    bool hangUp = false;
    qint64 budget = -1;                     // >= 0: bytes that go out before the hang-up
    int answer = 0;                         // the command's index among those received
};

struct SimulatedStation::DumpPlan
{
    QString serial;
    QDateTime start;
    qint64 lines = 0;
    QByteArray raw;
    int blockBytes = kDefaultDumpBlock;
    int pauseMs = 0;
    bool withEnd = true;
};

namespace {

// Produces a dump block by block, so that even a dump of hundreds of megabytes
// never sits in memory whole.
class DumpBlocks
{
public:
    DumpBlocks(QString serial, QDateTime start, qint64 lines, QByteArray raw, int blockBytes,
               bool withEnd)
        : serial(std::move(serial)), start(std::move(start)), lines(lines), raw(std::move(raw)),
          blockBytes(qMax(1, blockBytes)), withEnd(withEnd)
    {
    }

    bool next(QByteArray &block)
    {
        if (!raw.isEmpty()) {
            block = raw.mid(rawOffset, blockBytes);
            rawOffset += block.size();
            return !block.isEmpty();
        }
        while (buffer.size() < blockBytes && !finished) {
            if (index < lines)
                buffer += SimulatedStation::dumpLine(serial, start, index++);
            else {
                if (withEnd)
                    buffer += kEndLine;
                finished = true;
            }
        }
        block = buffer.left(blockBytes);
        buffer.remove(0, block.size());
        return !block.isEmpty();
    }

private:
    QString serial;
    QDateTime start;
    qint64 lines;
    QByteArray raw;
    int blockBytes;
    bool withEnd;
    int rawOffset = 0;
    qint64 index = 0;
    bool finished = false;
    QByteArray buffer;
};

} // namespace

SimulatedStation::SimulatedStation()
    : stationConfig(defaultConfig()), dumpBlockBytes(kDefaultDumpBlock), start(kDefaultBurstStart)
{
}

StationConfig SimulatedStation::config() const
{
    QMutexLocker lock(&mutex);
    return stationConfig;
}

void SimulatedStation::setConfig(const StationConfig &config)
{
    QMutexLocker lock(&mutex);
    stationConfig = config;
}

void SimulatedStation::setConfigReply(const QByteArray &raw)
{
    QMutexLocker lock(&mutex);
    configReply = raw;
}

void SimulatedStation::setFault(const QByteArray &commandPrefix, const StationFault &fault)
{
    QMutexLocker lock(&mutex);
    faults.insert(commandPrefix, fault);
}

void SimulatedStation::clearFaults()
{
    QMutexLocker lock(&mutex);
    faults.clear();
}

void SimulatedStation::setTcpBurstAnswersSplit(bool split)
{
    QMutexLocker lock(&mutex);
    tcpBurstAnswersSplit = split;
}

void SimulatedStation::setBurstLineCount(qint64 lines)
{
    QMutexLocker lock(&mutex);
    burstLines = qMax<qint64>(0, lines);
}

void SimulatedStation::setDump(const QByteArray &bytes)
{
    QMutexLocker lock(&mutex);
    rawDump = bytes;
}

void SimulatedStation::setDumpBlocks(int blockBytes, int pauseMs)
{
    QMutexLocker lock(&mutex);
    dumpBlockBytes = qMax(1, blockBytes);
    dumpPauseMs = qMax(0, pauseMs);
}

void SimulatedStation::setDumpStopsBeforeEnd(bool stop)
{
    QMutexLocker lock(&mutex);
    dumpStopsBeforeEnd = stop;
}

QByteArray SimulatedStation::dumpBytes() const
{
    const DumpPlan plan = dumpPlan();
    DumpBlocks blocks(plan.serial, plan.start, plan.lines, plan.raw, plan.blockBytes, plan.withEnd);
    QByteArray all;
    for (QByteArray block; blocks.next(block);)
        all += block;
    return all;
}

QByteArray SimulatedStation::dumpLine(const QString &serial, const QDateTime &start, qint64 index)
{
    // Upper-case hexadecimal cannot spell "END", which would end the dump early.
    const quint32 seed = quint32(index) * 2654435761u + 0x9e3779b9u;
    const QString payload = QStringLiteral("%1%2%3")
                                .arg(quint32(index), 8, 16, QLatin1Char('0'))
                                .arg(seed, 8, 16, QLatin1Char('0'))
                                .arg(seed ^ (seed >> 13), 8, 16, QLatin1Char('0'))
                                .toUpper();
    const QString when = QLocale::c().toString(start.addSecs(60 * index),
                                               QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    return (QStringLiteral("ID=") + serial + QStringLiteral("&Response=") + payload
            + QStringLiteral("&Date=") + when)
               .toUtf8()
        + kLineEnd;
}

QList<QByteArray> SimulatedStation::receivedCommands() const
{
    QMutexLocker lock(&mutex);
    return commands;
}

QByteArray SimulatedStation::receivedBytes() const
{
    QMutexLocker lock(&mutex);
    return received;
}

QList<QByteArray> SimulatedStation::sentAnswers() const
{
    QMutexLocker lock(&mutex);
    return answers;
}

void SimulatedStation::clearReceived()
{
    QMutexLocker lock(&mutex);
    commands.clear();
    answers.clear();
    received.clear();
}

bool SimulatedStation::waitForCommands(int count, int timeoutMs) const
{
    QDeadlineTimer deadline(timeoutMs);
    QMutexLocker lock(&mutex);
    while (commands.size() < count) {
        if (!commandArrived.wait(&mutex, deadline))
            return commands.size() >= count;
    }
    return true;
}

QString SimulatedStation::lastDate() const
{
    QMutexLocker lock(&mutex);
    return date;
}

QDateTime SimulatedStation::burstStart() const
{
    QMutexLocker lock(&mutex);
    return start;
}

void SimulatedStation::setLogDevice(QIODevice *device)
{
    QMutexLocker lock(&logMutex);
    logDevice = device;
}

void SimulatedStation::log(const QString &event) const
{
    QMutexLocker lock(&logMutex);
    if (!logDevice)
        return;
    const QString stamp = QLocale::c().toString(QDateTime::currentDateTime(),
                                                QStringLiteral("hh:mm:ss.zzz"));
    logDevice->write((stamp + QLatin1Char(' ') + event + QLatin1Char('\n')).toUtf8());
}

void SimulatedStation::logBytes(const StationLine &line, const char *direction,
                                const QByteArray &bytes) const
{
    {
        QMutexLocker lock(&logMutex);
        if (!logDevice)
            return;
    }
    const QByteArray head = bytes.left(kLogLimit);
    QString text = QStringLiteral("%1 %2 \"%3\" [%4]")
                       .arg(line.name(), QLatin1String(direction), escaped(head),
                            QString::fromLatin1(head.toHex(' ')));
    if (bytes.size() > head.size())
        text += QStringLiteral(" ... %1 bytes in all").arg(bytes.size());
    log(text);
}

void SimulatedStation::serve(StationLine &line)
{
    QByteArray pending;
    for (;;) {
        QByteArray bytes;
        const auto result = line.read(pending.isEmpty() ? kIdleWaitMs : kQuietGapMs, bytes);
        if (result == StationLine::ReadResult::Closed)
            return;
        if (result == StationLine::ReadResult::Data) {
            logBytes(line, "RX", bytes);
            {
                QMutexLocker lock(&mutex);
                received += bytes;
            }
            pending += bytes;
            for (QByteArray c = takeComplete(pending); !c.isEmpty(); c = takeComplete(pending)) {
                if (!handle(c, line))
                    return;
            }
        } else if (!pending.isEmpty()) {
            // The line fell quiet: whatever was gathered is one command.
            const QByteArray command = std::exchange(pending, QByteArray());
            if (!handle(command, line))
                return;
        }
    }
}

QByteArray SimulatedStation::takeComplete(QByteArray &pending) const
{
    int length = 0;
    for (const QByteArray &fixed : kFixedCommands) {
        if (pending.startsWith(fixed))
            length = fixed.size();
    }
    if (pending.startsWith(kDateWord) && pending.size() >= kDateWord.size() + kDateLength)
        length = kDateWord.size() + kDateLength;
    const QByteArray command = pending.left(length);
    pending.remove(0, length);
    return command;
}

bool SimulatedStation::handle(const QByteArray &command, StationLine &line)
{
    Reply reply = answerFor(command, line);
    for (const auto &piece : reply.pieces) {
        if (!line.pause(piece.second) || !sendLogged(line, piece.first, reply.answer, reply.budget))
            return false;
    }
    if (reply.dump && !sendDump(dumpPlan(), line, reply.answer, reply.budget))
        return false;
    if (reply.hangUp && line.canClose()) {
        log(line.name() + QStringLiteral(" hanging up"));
        return false;
    }
    return true;
}

SimulatedStation::Reply SimulatedStation::answerFor(const QByteArray &command,
                                                   const StationLine &line)
{
    QMutexLocker lock(&mutex);
    commands.append(command);
    answers.append(QByteArray());
    commandArrived.wakeAll();

    Reply reply;
    reply.answer = commands.size() - 1;
    QByteArray answer;
    bool burstAnswer = false;
    if (command == StationProtocol::kResetByte) {
        answer = kBanner;
    } else if (command.startsWith(StationProtocol::kGetConfig)) {
        answer = configReply.isEmpty()
            ? StationProtocol::configCommand(stationConfig).toUtf8() + kLineEnd
            : configReply;
    } else if (command.startsWith(kConfigWord)) {
        storeConfig(command);
        answer = StationProtocol::kConfigAck.toLatin1() + kLineEnd;
    } else if (command.startsWith(kDateWord)) {
        date = QString::fromUtf8(command.mid(kDateWord.size()));
        answer = StationProtocol::kDateAck.toLatin1() + kLineEnd;
    } else if (command.startsWith(kBurstAckWord)) {
        reply.dump = true;
    } else if (command.startsWith(kBurstDownloadWord)) {
        start = periodStart(command, kBurstDownloadWord.size());
        answer = kSerialReplyWord + stationConfig.SERIAL.toUtf8() + kLineEnd;
        burstAnswer = true;
    } else if (command.startsWith(kBurstWord)) {
        answer = StationProtocol::kBurstAckReply.toLatin1() + kLineEnd;
        burstAnswer = true;
    } else if (command.startsWith(StationProtocol::kStopBurst)) {
        answer = StationProtocol::kStopBurstAck.toLatin1() + kLineEnd;
    } else if (command.startsWith(StationProtocol::kTcpReset)) {
        reply.hangUp = true;
    } else {
        log(QStringLiteral("%1 unknown command, no answer: \"%2\"")
                .arg(line.name(), escaped(command)));
    }
    if (burstAnswer && tcpBurstAnswersSplit && line.canClose()) {
        reply.pieces.append({answer.left(kTcpBurstFirstPieceBytes), 0});
        reply.pieces.append({answer.mid(kTcpBurstFirstPieceBytes), kTcpBurstPieceGapMs});
    } else if (!answer.isEmpty()) {
        reply.pieces.append({answer, 0});
    }

    const StationFault fault = takeFault(command);
    switch (fault.kind) {
    case StationFault::None:
        break;
    case StationFault::Silent:
        reply.pieces.clear();
        reply.dump = false;
        break;
    case StationFault::Late:
        reply.pieces.prepend({QByteArray(), fault.delayMs});
        break;
    case StationFault::Pieces:
        reply.pieces = fault.pieces;
        reply.dump = false;
        break;
    case StationFault::Split: {
        QByteArray whole;
        for (const auto &piece : std::as_const(reply.pieces))
            whole += piece.first;
        reply.pieces.clear();
        int from = 0;
        for (const int cut : fault.cuts + QList<int>{int(whole.size())}) {
            const int to = qBound(from, cut, whole.size());
            reply.pieces.append({whole.mid(from, to - from), from ? fault.delayMs : 0});
            from = to;
        }
        break;
    }
    case StationFault::WrongText:
        reply.pieces = {{fault.text, 0}};
        reply.dump = false;
        break;
    case StationFault::Drop:
        reply.budget = fault.afterBytes;
        reply.hangUp = true;
        break;
    }
    return reply;
}

StationFault SimulatedStation::takeFault(const QByteArray &command)
{
    const bool isAck = command.startsWith(kBurstAckWord);
    QByteArray best;
    bool found = false;
    for (auto it = faults.cbegin(); it != faults.cend(); ++it) {
        const QByteArray &key = it.key();
        if (!command.startsWith(key) || (isAck && key.size() <= kBurstDownloadWord.size()))
            continue;
        if (!found || key.size() > best.size()) {
            best = key;
            found = true;
        }
    }
    if (!found)
        return {};
    const StationFault fault = faults.value(best);
    if (!fault.persistent)
        faults.remove(best);
    return fault;
}

void SimulatedStation::storeConfig(const QByteArray &command)
{
    const QStringList parts = QString::fromUtf8(command.mid(kConfigWord.size()))
                                  .split(QLatin1Char('|'));
    for (const QString &part : parts) {
        const int equals = part.indexOf(QLatin1Char('='));
        if (equals < 0)
            continue;
        const QString key = part.left(equals);
        // The station keeps every pair it is sent, uplink switches "OFF" included,
        // so that what the tool wrote can be read back and compared field by field.
        for (const ConfigField &field : configFields()) {
            if (key == QLatin1String(field.key))
                stationConfig.*field.member = part.mid(equals + 1);
        }
    }
}

SimulatedStation::DumpPlan SimulatedStation::dumpPlan() const
{
    QMutexLocker lock(&mutex);
    DumpPlan plan;
    plan.serial = stationConfig.SERIAL;
    plan.start = start;
    plan.lines = burstLines;
    plan.raw = rawDump;
    plan.blockBytes = dumpBlockBytes;
    plan.pauseMs = dumpPauseMs;
    plan.withEnd = !dumpStopsBeforeEnd;
    return plan;
}

bool SimulatedStation::sendDump(const DumpPlan &plan, StationLine &line, int answer,
                                qint64 &budget)
{
    DumpBlocks blocks(plan.serial, plan.start, plan.lines, plan.raw, plan.blockBytes, plan.withEnd);
    QByteArray block;
    for (bool first = true; budget != 0 && blocks.next(block); first = false) {
        if (!first && !line.pause(plan.pauseMs))
            return false;
        if (!sendLogged(line, block, answer, budget))
            return false;
    }
    log(line.name() + (budget == 0 ? QStringLiteral(" dump cut short") : QStringLiteral(" dump sent")));
    return true;
}

// Sends what the budget leaves of bytes and keeps it as part of the command's answer.
bool SimulatedStation::sendLogged(StationLine &line, QByteArray bytes, int answer, qint64 &budget)
{
    if (budget >= 0) {
        bytes.truncate(int(qMin<qint64>(budget, bytes.size())));
        budget -= bytes.size();
    }
    if (bytes.isEmpty())
        return true;
    logBytes(line, "TX", bytes);
    if (!line.send(bytes))
        return false;
    QMutexLocker lock(&mutex);
    // A late answer may come after the records were cleared: it is kept nowhere.
    if (answer < answers.size())
        answers[answer] += bytes;
    return true;
}
