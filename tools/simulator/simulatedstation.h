#ifndef SIMULATEDSTATION_H
#define SIMULATEDSTATION_H

#include "stationconfig.h"
#include "stationfault.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QMutex>
#include <QString>
#include <QWaitCondition>

class QIODevice;
class StationLine;

// A micro-station in memory: it keeps a communication configuration, answers the
// tool's commands and replays a generated (or given) burst dump. It knows nothing
// of transports; PtyStation and TcpStation hand it a StationLine on their own
// threads. Every public member may be called from any thread; the station must
// outlive the transports that serve it.
//
// Framing: the tool sends its commands without terminators, one write each. A
// command is complete as soon as the gathered bytes start with a command whose
// length is known (the reset byte, "GETCONFIG:", "ENDBURSTMODE", "RESET:",
// "BURSTMODEF:OK\r\n", "SENSDATE:" with its 19-character date); anything else
// (the configuration, the burst requests, unknown text) is complete once the
// line has been quiet for kQuietGapMs.
//
// Over TCP the station's network side answers a burst request ("BURSTMODE:",
// "BURSTMODEF:") in two pieces: its first kTcpBurstFirstPieceBytes bytes, then
// the rest kTcpBurstPieceGapMs later. Over a pty every answer goes in one piece.
class SimulatedStation
{
public:
    static constexpr int kQuietGapMs = 15;
    static constexpr int kDefaultBurstLines = 10;
    static constexpr int kTcpBurstFirstPieceBytes = 2;
    static constexpr int kTcpBurstPieceGapMs = 30;

    SimulatedStation();

    StationConfig config() const;
    void setConfig(const StationConfig &config);

    // Raw answer to "GETCONFIG:" instead of the generated one; an empty array
    // goes back to the generated answer.
    void setConfigReply(const QByteArray &raw);

    // Faults are looked up by the longest key that starts the command. The
    // burst acknowledgement "BURSTMODEF:OK\r\n" is matched only by keys longer
    // than "BURSTMODEF:", so a fault on "BURSTMODEF:" touches the request alone,
    // and one on "BURSTMODEF:OK" applies to the dump that the acknowledgement starts.
    void setFault(const QByteArray &commandPrefix, const StationFault &fault);
    void clearFaults();

    // Whether burst requests over TCP are answered in two pieces (the default)
    // or in one, as a station that behaves like its serial side would.
    void setTcpBurstAnswersSplit(bool split);

    // The generated dump: lines ID=<serial>&Response=<payload>&Date=<time>\r\n,
    // one minute apart from the start the burst request asked for, then "END\r\n".
    void setBurstLineCount(qint64 lines);
    // Bytes sent as they are instead of the generated dump; empty: generate again.
    void setDump(const QByteArray &bytes);
    // The dump goes out in blocks of blockBytes with pauseMs before each block but the first.
    void setDumpBlocks(int blockBytes, int pauseMs);
    // Leaves out the "END\r\n" line of the generated dump, so the station falls silent.
    void setDumpStopsBeforeEnd(bool stop);

    // The exact bytes of the next dump, gathered in memory (for small dumps in tests).
    QByteArray dumpBytes() const;
    // One generated dump line; the payload depends on index only.
    static QByteArray dumpLine(const QString &serial, const QDateTime &start, qint64 index);

    // Every complete command exactly as received, and every byte received.
    QList<QByteArray> receivedCommands() const;
    QByteArray receivedBytes() const;
    // What went out in answer to each command of receivedCommands(), index for
    // index, the dump included, as far as the line took it.
    QList<QByteArray> sentAnswers() const;
    void clearReceived();
    // Waits until at least count commands have been received.
    bool waitForCommands(int count, int timeoutMs) const;

    // The date text of the last "SENSDATE:" command.
    QString lastDate() const;
    // Start of the period of the last burst request (the default start if none or unreadable).
    QDateTime burstStart() const;

    // Where the exchanges are logged; nullptr (the default) keeps the station quiet.
    // The device must stay valid while transports run.
    void setLogDevice(QIODevice *device);
    void log(const QString &event) const;

    // Serves one line until it closes, the transport stops, or the station hangs
    // up (TCP reset or a Drop fault). Called by the transports on their threads.
    void serve(StationLine &line);

private:
    struct Reply;
    struct DumpPlan;

    QByteArray takeComplete(QByteArray &pending) const;
    bool handle(const QByteArray &command, StationLine &line);
    Reply answerFor(const QByteArray &command, const StationLine &line);
    StationFault takeFault(const QByteArray &command);
    void storeConfig(const QByteArray &command);
    DumpPlan dumpPlan() const;
    bool sendDump(const DumpPlan &plan, StationLine &line, int answer, qint64 &budget);
    bool sendLogged(StationLine &line, QByteArray bytes, int answer, qint64 &budget);
    void logBytes(const StationLine &line, const char *direction, const QByteArray &bytes) const;

    mutable QMutex mutex;
    mutable QWaitCondition commandArrived;
    StationConfig stationConfig;
    QByteArray configReply;
    QMap<QByteArray, StationFault> faults;
    qint64 burstLines = kDefaultBurstLines;
    QByteArray rawDump;
    int dumpBlockBytes;
    int dumpPauseMs = 0;
    bool dumpStopsBeforeEnd = false;
    bool tcpBurstAnswersSplit = true;
    QList<QByteArray> commands;
    QList<QByteArray> answers;
    QByteArray received;
    QString date;
    QDateTime start;

    mutable QMutex logMutex;
    QIODevice *logDevice = nullptr;
};

#endif // SIMULATEDSTATION_H
