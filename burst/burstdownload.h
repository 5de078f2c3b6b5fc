#ifndef BURSTDOWNLOAD_H
#define BURSTDOWNLOAD_H

#include "commandsmanager.h"

#include <QString>

#include <functional>

class QIODevice;

// Receives a burst dump into the burst data file, over either link. The file is
// ready before the station is told to send, everything the station sends goes
// to the file as it comes, the dump ends at its terminator, and a station that
// falls silent for too long ends it as a failure. A link supplies only its wait
// for the station's next bytes.
class BurstDownload
{
public:
    enum Wait {
        Data,       // bytes are ready to be read
        Nothing,    // the wait ended without bytes; waiting again may help
        LineLost    // nothing can come any more (a closed port)
    };

    // Waits for the next bytes; given how much of the silence bound is left.
    using WaitForData = std::function<Wait(int remainingMs)>;

    BurstDownload(QIODevice &line, WaitForData waitForData);

    // Opens the file for stationSerial, then calls acknowledge, then writes what
    // arrives until the terminator. Gives up with 1 once the station has sent
    // nothing for silenceLimitMs, writing timeoutLine to the debug log.
    CommandResult run(const QString &stationSerial, const std::function<void()> &acknowledge,
                      int silenceLimitMs, const char *timeoutLine);

    // Another file than the serial's; progress as bytes and lines are written.
    void setFileName(const QString &path) { fileName = path; }
    void setProgressHandler(std::function<void(qint64, qint64)> handler) { progress = std::move(handler); }

private:
    QString fileName;
    std::function<void(qint64, qint64)> progress;
    QIODevice &line;
    WaitForData waitForData;
};

#endif // BURSTDOWNLOAD_H
