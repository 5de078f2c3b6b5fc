#ifndef BURSTRUN_H
#define BURSTRUN_H

#include "burstperiod.h"
#include "burstuploader.h"
#include "commandsmanager.h"

#include <QString>

#include <functional>

// One burst taken in by the tool: the station is asked for the period, the token is
// checked with the web platform for the serial it answers, the dump is received into
// the burst file, and its records go to the platform in packets. The window and the
// collector both drive it; each shows the run in its own way through the handlers.
//
// The platform requests serve the event loop, so while the run waits for them the
// window may replace or drop the link: after the authentication the run asks
// linkCheck() and honours linkReplaced(), and from the end of the download on it
// never touches the link again.
class BurstRun
{
public:
    enum Phase {
        Requesting,       // the station is asked for the burst
        Authenticating,   // the platform checks the token
        Downloading,      // the dump goes into the file
        Uploading         // the records go to the platform
    };

    enum Outcome {
        Uploaded,               // every packet accepted
        Downloaded,             // the file is complete, and no upload was asked for
        StationSilent,          // no serial came back, and one was required
        AuthenticationFailed,   // the token refused, or the platform out of reach
        LinkGone,               // the link was replaced or dropped during the authentication
        DownloadFailed,         // downloadResult() and failureDetail() say how
        FileUnreadable,         // the burst file could not be read back
        UploadRefused           // the platform did not accept every packet; the file stays
    };

    BurstRun(const QString &token, const QString &platformUrl);

    void setPlatformTimeout(int ms) { platformTimeoutMs = ms; }
    // Without an upload there is no authentication either: the run ends with the file.
    void setUploadEnabled(bool enabled) { uploadEnabled = enabled; }
    // Whether a burst request that brings no serial ends the run; the window goes on
    // with whatever came and lets the platform judge it.
    void setSerialRequired(bool required) { serialRequired = required; }
    // The folder for files named after the period too (BurstFile's second name);
    // empty (the default): the window's file, named after the serial alone.
    void setFolder(const QString &folder) { fileFolder = folder; }

    void setPhaseHandler(std::function<void(Phase)> handler) { phaseChanged = std::move(handler); }
    void setDownloadProgressHandler(std::function<void(qint64 bytes, qint64 lines)> handler)
    {
        downloadProgress = std::move(handler);
    }
    // Called once the dump is complete, before the upload starts.
    void setDownloadFinishedHandler(std::function<void()> handler) { downloadFinished = std::move(handler); }
    void setUploadProgressHandler(BurstUploader::ProgressHandler handler) { uploadProgress = std::move(handler); }
    // Asked after the authentication: false ends the run with LinkGone.
    void setLinkCheck(std::function<bool()> check) { linkCheck = std::move(check); }
    // The link given to run() is gone (it may already be deleted); the run no longer touches it.
    void linkReplaced() { link = nullptr; }

    // The whole burst on link for period.
    Outcome run(CommandsManager &link, const BurstPeriod &period);
    // The upload of a burst file kept from an earlier run, for stationSerial.
    Outcome upload(const QString &fileName, const QString &stationSerial);

    // What a run did, as far as it came.
    struct Tally
    {
        QString stationSerial;
        QString fileName;
        qint64 bytes = 0;     // received into the file
        qint64 lines = 0;
        qint64 records = 0;   // sent to the platform
        int packets = 0;      // sent, the end packet among them
        int refused = 0;      // of those, not accepted
    };
    const Tally &tally() const { return done; }
    CommandResult downloadResult() const { return downloadStatus; }
    QString failureDetail() const { return failure; }

private:
    void enter(Phase phase);
    bool authenticate(PlatformClient &platform);
    Outcome download(const BurstPeriod &period);
    Outcome sendFile(PlatformClient &platform);

    QString token;
    QString platformUrl;
    int platformTimeoutMs;
    bool uploadEnabled = true;
    bool serialRequired = false;
    QString fileFolder;

    std::function<void(Phase)> phaseChanged;
    std::function<void(qint64, qint64)> downloadProgress;
    std::function<void()> downloadFinished;
    BurstUploader::ProgressHandler uploadProgress;
    std::function<bool()> linkCheck;

    CommandsManager *link = nullptr;
    Tally done;
    CommandResult downloadStatus = kSuccess;
    QString failure;
};

#endif // BURSTRUN_H
