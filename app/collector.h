#ifndef COLLECTOR_H
#define COLLECTOR_H

#include "burstperiod.h"
#include "burstrun.h"
#include "serialsettings.h"
#include "tcpsettings.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QMap>
#include <QString>
#include <QStringList>

#include <memory>

class CollectProgress;
class CollectState;
class QTextStream;

// marlowdesk-collect: one unattended burst collection, as "Start Burst from MarlowDesk"
// runs it, from the command line. It reads the options, takes the burst in through
// BurstRun (or uploads a kept file), starts a run again that failed before its
// download was complete, keeps the end of each fully uploaded period for the next
// --since-last, shows its progress on standard error and its summary on standard output.
// No widget: it runs under a QCoreApplication, with no display.
class Collector
{
public:
    // The exit statuses, as --help lists them.
    enum Status {
        Collected = 0,            // collected, and uploaded unless --no-upload
        BadUsage = 2,             // usage, or a bad file (token, state, burst file, folder)
        StationUnreachable = 3,   // station unreachable or not answering
        PlatformRefused = 4,      // token refused or platform unreachable, before the download
        DownloadFailed = 5,       // silence, link lost, disk
        ConfigRefused = 5,        // --write-config: the station did not take the configuration
        UploadIncomplete = 6      // a packet refused or the platform lost; the file is kept
    };

    Collector();
    ~Collector();

    // Runs the program on arguments (the program's name first); returns the exit status.
    int run(const QStringList &arguments, QTextStream &out, QTextStream &err);

    // Whether standard error is a terminal, which gets one line redrawn in place.
    void setErrorIsTerminal(bool terminal) { errorIsTerminal = terminal; }
    // Test benches: a local platform, short limits for the station, a fixed present hour.
    void setPlatform(const QString &url, int timeoutMs);
    void setStationLimits(int firstReplyMs, int burstSilenceMs);
    void setNow(const QDateTime &now) { fixedNow = now; }

private:
    struct Options;

    int parse(const QStringList &arguments, Options &options, QTextStream &out);
    static QString linkDescription(const Options &options);
    Status configure(const Options &options);
    Status collect(const Options &options, CollectState &state);
    Status uploadKept(const Options &options, CollectState &state);
    std::unique_ptr<CommandsManager> makeLink(const Options &options) const;
    bool choosePeriod(const Options &options, CommandsManager &link, const CollectState &state);
    void watch(BurstRun &run);
    Status finishRun(BurstRun &run, BurstRun::Outcome outcome, bool keptFile, CollectState &state);
    Status fail(Status status, const QString &outcome, const QString &text);
    QDateTime presentHour() const;
    void endPhase();
    QString summaryLine() const;
    QString summaryJson() const;

    bool errorIsTerminal = false;
    QString platformUrl;
    int platformTimeoutMs;
    int firstReplyMs = -1;
    int burstSilenceMs = -1;
    QDateTime fixedNow;

    // This run's account, for the summary.
    CollectProgress *progress = nullptr;
    QString linkText;
    BurstRun::Tally done;
    BurstPeriod period;
    QDateTime periodEnd;
    int attempts = 0;
    QMap<QString, double> seconds;
    QString phase;
    QElapsedTimer phaseClock;
    QString outcome;
    int status = Collected;
};

#endif // COLLECTOR_H
