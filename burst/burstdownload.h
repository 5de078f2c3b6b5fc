#ifndef BURSTDOWNLOAD_H
#define BURSTDOWNLOAD_H

#include "commandsmanager.h"

#include <QString>

#include <functional>

class BurstFile;
class QIODevice;

// Receives a burst dump into the burst data file, over either link. The file is
// ready before the station is told to send, everything the station sends goes
// to the file as it comes, and the dump ends with the block that holds its
// terminator. Every way of going on for ever is bounded: a station that falls
// silent, a dump larger than any station holds, a station that keeps talking
// after its terminator. A failure keeps what arrived in "<file>.part" and says why.
class BurstDownload
{
public:
    enum Wait {
        Data,       // a block is ready to be taken
        Progress,   // bytes came, but not yet a block
        Nothing,    // the wait ended without bytes; waiting again may help
        LineLost    // nothing can come any more (a closed port)
    };

    // How the block that holds the terminator ends.
    enum Ending {
        AtTerminatorLine,   // with the end of the terminator's line (serial)
        AtQuiet             // at the first pause of kBlockSilenceMs (TCP)
    };

    // The station sends its terminator line in one go; past these, what still
    // comes after it is no longer part of the dump.
    static constexpr int kBlockSilenceMs = 100;
    static constexpr int kAfterTerminatorMs = 1000;
    static constexpr qint64 kAfterTerminatorBytes = 64 * 1024;

    // Waits at most maxMs for the next block.
    using WaitForData = std::function<Wait(int maxMs)>;

    BurstDownload(QIODevice &line, WaitForData waitForData, Ending ending, const char *timeoutLine);

    void setSilenceLimit(int ms) { silenceLimitMs = ms; }
    void setSizeLimit(qint64 bytes) { sizeLimit = bytes; }
    void setProgressHandler(std::function<void(qint64, qint64)> handler);

    // Creates the ".part" of path, then calls acknowledge, then writes what
    // arrives until the terminator; only then does the ".part" become path.
    CommandResult run(const QString &path, const std::function<void()> &acknowledge);

    QString failureDetail() const { return detail; }

private:
    bool take(BurstFile &file, qint64 most);
    void finishTerminatorBlock(BurstFile &file);
    bool endsUnfinished(const BurstFile &file) const;
    static QString writeFailure(const BurstFile &file);
    CommandResult fail(BurstFile &file, const QString &why);

    QIODevice &line;
    WaitForData waitForData;
    Ending ending;
    const char *timeoutLine;
    int silenceLimitMs = CommandsManager::kBurstSilenceMs;
    qint64 sizeLimit = CommandsManager::kBurstSizeLimit;
    std::function<void(qint64, qint64)> progress;
    QByteArray buffer;
    QString detail;
};

#endif // BURSTDOWNLOAD_H
