#include "burstdownload.h"

#include "burstfile.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QIODevice>

#include <algorithm>

namespace {

// The station sends its terminator line in one go; what follows it within
// this pause still belongs to the dump.
constexpr int kBlockSilenceMs = 100;
// What is read at a time into the one buffer that every piece passes through.
constexpr int kReadBytes = 256 * 1024;

} // namespace

BurstDownload::BurstDownload(QIODevice &line, WaitForData waitForData)
    : line(line), waitForData(std::move(waitForData))
{
}

CommandResult BurstDownload::run(const QString &stationSerial,
                                 const std::function<void()> &acknowledge, int silenceLimitMs,
                                 const char *timeoutLine)
{
    // The file is ready before the acknowledgement, so nothing the station sends is missed.
    BurstFile file(stationSerial);
    if (!fileName.isEmpty())
        file.setFileName(fileName);
    if (!file.open())
        return kFailure;
    acknowledge();

    QByteArray buffer(kReadBytes, Qt::Uninitialized);
    qint64 bytes = 0;
    qint64 lines = 0;
    // Each piece goes to the file as it comes: memory holds one buffer, not the dump.
    const auto takeAvailable = [&] {
        qint64 read = 0;
        while ((read = line.read(buffer.data(), buffer.size())) > 0) {
            file.write(buffer.constData(), read);
            bytes += read;
            lines += std::count(buffer.constData(), buffer.constData() + read, '\n');
            if (progress)
                progress(bytes, lines);
        }
    };

    QElapsedTimer quiet;
    quiet.start();
    while (!file.terminatorSeen()) {
        const qint64 remaining = qMax<qint64>(0, silenceLimitMs - quiet.elapsed());
        const Wait wait = waitForData(int(remaining));
        if (wait == Data) {
            takeAvailable();
            quiet.restart();
        } else if (wait == LineLost || quiet.hasExpired(silenceLimitMs)) {
            qDebug() << timeoutLine;
            return kFailure;
        }
    }
    // The rest of the terminator's block belongs to the file, not in front of the
    // next command's answer.
    while (line.waitForReadyRead(kBlockSilenceMs))
        takeAvailable();
    return kSuccess;
}
