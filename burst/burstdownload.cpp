#include "burstdownload.h"

#include "burstfile.h"

#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QIODevice>

namespace {

// What is read at a time into the one buffer that every piece passes through.
constexpr int kReadBytes = 256 * 1024;

QString nativePath(const QString &path)
{
    return QDir::toNativeSeparators(QDir::current().absoluteFilePath(path));
}

} // namespace

BurstDownload::BurstDownload(QIODevice &line, WaitForData waitForData, Ending ending,
                             const char *timeoutLine)
    : line(line), waitForData(std::move(waitForData)), ending(ending), timeoutLine(timeoutLine)
{
}

void BurstDownload::setProgressHandler(std::function<void(qint64, qint64)> handler)
{
    progress = std::move(handler);
}

CommandResult BurstDownload::run(const QString &path, const std::function<void()> &acknowledge)
{
    detail.clear();
    // The file is ready before the acknowledgement, so nothing the station sends is missed.
    BurstFile file(path);
    if (!file.open()) {
        detail = QStringLiteral("Could not create %1: %2.")
                     .arg(nativePath(file.partPath()), file.errorString());
        return kFailure;
    }
    acknowledge();

    QElapsedTimer quiet;
    quiet.start();
    while (!file.terminatorSeen()) {
        const qint64 remaining = qMax<qint64>(0, silenceLimitMs - quiet.elapsed());
        const Wait wait = waitForData(int(remaining));
        if (wait == Data) {
            if (!take(file, sizeLimit + 1 - file.size()))
                return fail(file, writeFailure(file));
            if (file.size() > sizeLimit)
                return fail(file, QStringLiteral("The dump went past %1 bytes without its end; "
                                                 "no station holds that much.").arg(sizeLimit));
        }
        if (wait == Data || wait == Progress) {
            quiet.restart();
        } else if (wait == Nothing && quiet.hasExpired(kAfterTerminatorMs) && endsUnfinished(file)) {
            // A station may end its dump on a terminator line without a line end.
            if (!take(file, line.bytesAvailable()))
                return fail(file, writeFailure(file));
        } else if (wait == LineLost || quiet.hasExpired(silenceLimitMs)) {
            qDebug() << timeoutLine;
            // An unfinished line that the link held back has arrived too: it is kept with the rest.
            if (!take(file, line.bytesAvailable()))
                return fail(file, writeFailure(file));
            return fail(file, wait == LineLost
                                  ? QStringLiteral("The link to the station was lost.")
                                  : QStringLiteral("The station sent nothing for %1 s.")
                                        .arg(silenceLimitMs / 1000.0));
        }
    }
    finishTerminatorBlock(file);
    if (!file.commit())
        return fail(file, QStringLiteral("Could not write %1: %2.")
                              .arg(nativePath(file.path()), file.errorString()));
    return kSuccess;
}

// Takes what the line holds, up to most bytes, into the file. False when the
// file did not take it all.
bool BurstDownload::take(BurstFile &file, qint64 most)
{
    if (buffer.isEmpty())
        buffer.resize(kReadBytes);
    qint64 read = 0;
    // Each piece goes to the file as it comes: memory holds one buffer, not the dump.
    while (most > 0 && (read = line.read(buffer.data(), qMin<qint64>(buffer.size(), most))) > 0) {
        if (!file.write(buffer.constData(), read))
            return false;
        most -= read;
    }
    if (progress)
        progress(file.size(), file.lines());
    return true;
}

// The rest of the terminator's line belongs to the file, not in front of the
// next command's answer; over TCP so does what follows it without a pause. A
// station that keeps talking is cut off after a second or 64 KiB.
void BurstDownload::finishTerminatorBlock(BurstFile &file)
{
    QElapsedTimer clock;
    clock.start();
    const qint64 endSize = file.size();
    while (!(file.terminatorLineEnded() && ending == AtTerminatorLine)) {
        const qint64 left = kAfterTerminatorMs - clock.elapsed();
        const qint64 room = kAfterTerminatorBytes - (file.size() - endSize);
        if (left <= 0 || room <= 0)
            return;
        const int waitMs = int(file.terminatorLineEnded() ? qMin<qint64>(kBlockSilenceMs, left) : left);
        if (!line.waitForReadyRead(waitMs) || !take(file, room))
            return;
    }
}

// Whether the unfinished line that the link holds back brings the terminator.
bool BurstDownload::endsUnfinished(const BurstFile &file) const
{
    const qint64 held = line.bytesAvailable();
    return held > 0 && held <= kAfterTerminatorBytes && file.wouldSeeTerminator(line.peek(held));
}

QString BurstDownload::writeFailure(const BurstFile &file)
{
    return QStringLiteral("Could not write %1: %2.").arg(nativePath(file.partPath()), file.errorString());
}

CommandResult BurstDownload::fail(BurstFile &file, const QString &why)
{
    file.keepPart();
    detail = why + QLatin1Char('\n')
           + QStringLiteral("The %1 bytes that arrived are kept in %2; %3 was left as it was.")
                 .arg(file.size()).arg(nativePath(file.partPath()), nativePath(file.path()));
    return kFailure;
}
