#include "burstrun.h"

#include "burstfile.h"
#include "burstuploader.h"
#include "platformclient.h"
#include "stationprotocol.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>

BurstRun::BurstRun(const QString &token, const QString &platformUrl)
    : token(token), platformUrl(platformUrl), platformTimeoutMs(PlatformClient::kDefaultTimeoutMs)
{
}

void BurstRun::enter(Phase phase)
{
    if (phaseChanged)
        phaseChanged(phase);
}

BurstRun::Outcome BurstRun::run(CommandsManager &stationLink, const BurstPeriod &period)
{
    link = &stationLink;
    enter(Requesting);
    // The station is asked first: its answer carries the serial the platform checks.
    done.stationSerial = link->startBurstModeF(period);
    if (serialRequired && (done.stationSerial.isEmpty() || done.stationSerial == StationProtocol::kNoSerial))
        return StationSilent;
    if (!uploadEnabled)
        return download(period);

    PlatformClient platform(token, done.stationSerial, platformUrl);
    if (!authenticate(platform))
        return AuthenticationFailed;
    // The platform's answer served events: the link may have been switched away meanwhile.
    if (!link || (linkCheck && !linkCheck()))
        return LinkGone;
    const Outcome downloaded = download(period);
    if (downloaded != Downloaded)
        return downloaded;
    // From here on only the file and the platform are used, never the link.
    return sendFile(platform);
}

BurstRun::Outcome BurstRun::upload(const QString &fileName, const QString &stationSerial)
{
    done.stationSerial = stationSerial;
    done.fileName = fileName;
    PlatformClient platform(token, done.stationSerial, platformUrl);
    if (!authenticate(platform))
        return AuthenticationFailed;
    return sendFile(platform);
}

bool BurstRun::authenticate(PlatformClient &platform)
{
    enter(Authenticating);
    platform.setTimeout(platformTimeoutMs);
    return platform.authenticate();
}

BurstRun::Outcome BurstRun::download(const BurstPeriod &period)
{
    enter(Downloading);
    const QString &serial = done.stationSerial;
    done.fileName = fileFolder.isEmpty() ? BurstFile::fileName(serial)
                                         : QDir(fileFolder).filePath(BurstFile::fileName(serial, period));
    link->setBurstFileName(done.fileName);
    link->setBurstProgressHandler([this](qint64 bytes, qint64 lines) {
        done.bytes = bytes;
        done.lines = lines;
        if (downloadProgress)
            downloadProgress(bytes, lines);
    });
    const QDateTime start = QDateTime::currentDateTime();
    downloadStatus = link->readBurstData(serial);
    const QDateTime end = QDateTime::currentDateTime();
    failure = link->burstFailureDetail();
    // The link outlives the run in the window: it must not call back into it.
    link->setBurstProgressHandler(nullptr);
    link->setBurstFileName(QString());
    link = nullptr;
    qDebug().noquote() << BurstUploader::transferTimeLine(QStringLiteral("Station -> MarlowDesk"),
                                                          start, end);
    if (downloadStatus != kSuccess)
        return DownloadFailed;
    if (downloadFinished)
        downloadFinished();
    return Downloaded;
}

BurstRun::Outcome BurstRun::sendFile(PlatformClient &platform)
{
    enter(Uploading);
    BurstUploader uploader(done.fileName, platform);
    uploader.setProgressHandler(uploadProgress);
    const BurstUploader::Outcome outcome = uploader.upload();
    done.records = uploader.recordsSent();
    done.packets = uploader.packetsSent();
    done.refused = uploader.packetsRefused();
    switch (outcome) {
    case BurstUploader::Finished:
        return Uploaded;
    case BurstUploader::Refused:
        return UploadRefused;
    case BurstUploader::FileUnreadable:
        break;
    }
    return FileUnreadable;
}
