#include "collector.h"

#include "burstfile.h"
#include "collectconfig.h"
#include "collectprogress.h"
#include "collectstate.h"
#include "platformclient.h"
#include "serialcommands.h"
#include "wificommands.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QSerialPort>
#include <QTextStream>
#include <QThread>

#include <cmath>
#include <limits>

namespace {

const QString kProgram = QStringLiteral("marlowdesk-collect");
const char kTokenVariable[] = "MARLOWDESK_TOKEN";
// A token file is a line; anything much larger is the wrong file.
constexpr qint64 kLongestTokenFile = 4096;
constexpr int kDefaultDays = 1;

const QString kExitStatuses = QStringLiteral(
    "Exit statuses:\n"
    "  0  collected (and uploaded unless --no-upload), or nothing new since the last run\n"
    "  2  usage, or a bad file (token, state, burst file, output folder, configuration file:\n"
    "     nothing was sent)\n"
    "  3  station unreachable or not answering\n"
    "  4  token refused or platform unreachable, before the download\n"
    "  5  download failed (silence, link lost, disk); with --write-config: refused by the station\n"
    "  6  upload incomplete (a packet refused or the platform lost); the file is kept for --upload\n");

// A named value of a serial option, and the text the settings dialog would show for it.
struct Choice
{
    const char *name;
    qint32 value;
    const char *text;
};

const Choice kParities[] = {{"none", QSerialPort::NoParity, "None"}, {"even", QSerialPort::EvenParity, "Even"},
                            {"odd", QSerialPort::OddParity, "Odd"}, {"mark", QSerialPort::MarkParity, "Mark"},
                            {"space", QSerialPort::SpaceParity, "Space"}};
const Choice kStopBits[] = {{"1", QSerialPort::OneStop, "1"}, {"1.5", QSerialPort::OneAndHalfStop, "1.5"},
                            {"2", QSerialPort::TwoStop, "2"}};
const Choice kFlowControls[] = {{"none", QSerialPort::NoFlowControl, "None"},
                                {"rts-cts", QSerialPort::HardwareControl, "RTS/CTS"},
                                {"xon-xoff", QSerialPort::SoftwareControl, "XON/XOFF"}};
const Choice kDataBits[] = {{"5", QSerialPort::Data5, "5"}, {"6", QSerialPort::Data6, "6"},
                            {"7", QSerialPort::Data7, "7"}, {"8", QSerialPort::Data8, "8"}};

template <size_t N>
bool choose(const Choice (&choices)[N], const QString &name, qint32 &value, QString &text)
{
    for (const Choice &choice : choices) {
        if (name == QLatin1String(choice.name)) {
            value = choice.value;
            text = QString::fromLatin1(choice.text);
            return true;
        }
    }
    return false;
}

// A whole number within [low, high], or false.
bool readNumber(const QString &text, int low, int high, int &number)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < low || value > high)
        return false;
    number = value;
    return true;
}

QDateTime hourOf(const QDateTime &time)
{
    QDateTime hour = time;
    hour.setTime(QTime(time.time().hour(), 0));
    return hour;
}

// "<serial>_<YYYYMMDDHH>_<days>d_data.log" or the window's "<serial>_data.log".
const QRegularExpression kCollectedName(QStringLiteral("^(.+)_(\\d{10})_(\\d{1,2})d_data\\.log$"));
const QRegularExpression kWindowName(QStringLiteral("^(.+)_data\\.log$"));

} // namespace

struct Collector::Options
{
    bool serialLink = false;
    SerialSettings serialSettings;
    TcpSettings tcpSettings;
    QDateTime from;
    int days = kDefaultDays;
    bool sinceLast = false;
    QString token;
    QString outFolder = QStringLiteral(".");
    bool upload = true;
    QString keptFile;
    int retries = 0;
    int retryWaitSeconds = 0;
    bool setClock = false;
    bool json = false;
    QString statePath;
    bool verbose = false;
    QString readConfig;    // --read-config: the file that receives the station's configuration
    QString writeConfig;   // --write-config: the file sent to the station
};

Collector::Collector()
    : platformUrl(QStringLiteral(MARLOWDESK_PLATFORM_URL)),
      platformTimeoutMs(PlatformClient::kDefaultTimeoutMs)
{
}

Collector::~Collector() = default;

void Collector::setPlatform(const QString &url, int timeoutMs)
{
    platformUrl = url;
    platformTimeoutMs = timeoutMs;
}

void Collector::setStationLimits(int firstReply, int burstSilence)
{
    firstReplyMs = firstReply;
    burstSilenceMs = burstSilence;
}

QDateTime Collector::presentHour() const
{
    return hourOf(fixedNow.isValid() ? fixedNow : QDateTime::currentDateTime());
}

// Returns -1 when the options are good to run, else the exit status (0 after --help
// or --version), having said why on out or err.
int Collector::parse(const QStringList &arguments, Options &o, QTextStream &out)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Collects one burst of a station's stored measurements, unattended: asks the station for "
        "the period, receives the dump into a file per period and uploads its records to the web "
        "platform, as \"Start Burst from MarlowDesk\" does. The token comes from --token-file or "
        "the MARLOWDESK_TOKEN environment variable, never from the command line."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Shows this help."));
    const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("Shows the version."));
    const QCommandLineOption serialOption(QStringLiteral("serial"),
        QStringLiteral("The station on this serial device (8N1, no flow control unless told)."),
        QStringLiteral("DEVICE"));
    const QCommandLineOption baud(QStringLiteral("baud"), QStringLiteral("Serial speed (default 115200)."),
                                  QStringLiteral("N"));
    const QCommandLineOption dataBits(QStringLiteral("data-bits"),
                                      QStringLiteral("Serial data bits: 5, 6, 7 or 8 (default 8)."),
                                      QStringLiteral("N"));
    const QCommandLineOption parity(QStringLiteral("parity"),
        QStringLiteral("Serial parity: none, even, odd, mark or space (default none)."), QStringLiteral("P"));
    const QCommandLineOption stopBits(QStringLiteral("stop-bits"),
                                      QStringLiteral("Serial stop bits: 1, 1.5 or 2 (default 1)."),
                                      QStringLiteral("N"));
    const QCommandLineOption flow(QStringLiteral("flow-control"),
        QStringLiteral("Serial flow control: none, rts-cts or xon-xoff (default none)."), QStringLiteral("F"));
    const QCommandLineOption tcp(QStringLiteral("tcp"), QStringLiteral("The station at this address over TCP."),
                                 QStringLiteral("HOST:PORT"));
    const QCommandLineOption timeout(QStringLiteral("timeout"),
        QStringLiteral("TCP time-out for connecting and each first answer (default %1).")
            .arg(TcpSettings::kDefaultTimeoutMs), QStringLiteral("MS"));
    const QCommandLineOption from(QStringLiteral("from"),
        QStringLiteral("Start of the period, local time. With --since-last: for a station with no "
                       "collection on record."), QStringLiteral("YYYY-MM-DD HH"));
    const QCommandLineOption days(QStringLiteral("days"),
        QStringLiteral("Length of the period from --from, 0 to %1 (default %2).")
            .arg(BurstPeriod::kMaxDays).arg(kDefaultDays), QStringLiteral("N"));
    const QCommandLineOption sinceLast(QStringLiteral("since-last"),
        QStringLiteral("From where the last fully uploaded period of this station ended, to the current hour."));
    const QCommandLineOption tokenFile(QStringLiteral("token-file"),
        QStringLiteral("The platform token, read from this file."), QStringLiteral("FILE"));
    const QCommandLineOption outFolder(QStringLiteral("out"),
        QStringLiteral("Folder of the burst files (default: the current one)."), QStringLiteral("DIR"));
    const QCommandLineOption noUpload(QStringLiteral("no-upload"), QStringLiteral("Download only."));
    const QCommandLineOption upload(QStringLiteral("upload"),
        QStringLiteral("Upload a burst file kept from an earlier run; no station."), QStringLiteral("FILE"));
    const QCommandLineOption retries(QStringLiteral("retries"),
        QStringLiteral("Start a run that failed before its download was complete again, up to N times "
                       "(default 0). An upload is never repeated."), QStringLiteral("N"));
    const QCommandLineOption retryWait(QStringLiteral("retry-wait"),
        QStringLiteral("Seconds between the attempts (default 0)."), QStringLiteral("SECONDS"));
    const QCommandLineOption setClock(QStringLiteral("set-clock"),
        QStringLiteral("Set the station's clock to this computer's UTC time first."));
    const QCommandLineOption json(QStringLiteral("json"),
        QStringLiteral("End standard output with the summary as one JSON object."));
    const QCommandLineOption state(QStringLiteral("state"),
        QStringLiteral("The state file (default %1).").arg(CollectState::defaultPath()), QStringLiteral("FILE"));
    const QCommandLineOption verbose(QStringLiteral("verbose"),
        QStringLiteral("Also the program's debug lines, on standard error."));
    const QCommandLineOption readConfig(QStringLiteral("read-config"),
        QStringLiteral("Instead of a burst: read the station's configuration into this file."),
        QStringLiteral("FILE"));
    const QCommandLineOption writeConfig(QStringLiteral("write-config"),
        QStringLiteral("Instead of a burst: check this configuration file and send it to the station."),
        QStringLiteral("FILE"));
    parser.addOptions({help, version, serialOption, baud, dataBits, parity, stopBits, flow, tcp, timeout,
                       from, days, sinceLast, tokenFile, outFolder, noUpload, upload, retries, retryWait,
                       setClock, json, state, verbose, readConfig, writeConfig});

    const auto usage = [this](const QString &text) {
        outcome = QStringLiteral("usage");
        progress->note(kProgram + QStringLiteral(": ") + text + QStringLiteral(" (see --help)"));
        return BadUsage;
    };
    // A summary is owed even for arguments that cannot be read.
    o.json = arguments.contains(QStringLiteral("--json"));
    if (!parser.parse(arguments))
        return usage(parser.errorText());
    o.verbose = parser.isSet(verbose);
    if (parser.isSet(help)) {
        out << parser.helpText() << '\n' << kExitStatuses;
        return Collected;
    }
    if (parser.isSet(version)) {
        out << kProgram << ' ' << QStringLiteral(MARLOWDESK_VERSION) << '\n';
        return Collected;
    }
    if (!parser.positionalArguments().isEmpty())
        return usage(QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first()));

    o.keptFile = parser.value(upload);
    const bool station = parser.isSet(serialOption) || parser.isSet(tcp);
    if (!o.keptFile.isEmpty()) {
        for (const QCommandLineOption *option : {&serialOption, &tcp, &from, &days, &sinceLast, &noUpload,
                                                 &setClock, &retries}) {
            if (parser.isSet(*option))
                return usage(QStringLiteral("--upload takes no --%1").arg(option->names().constLast()));
        }
    } else if (parser.isSet(serialOption) == parser.isSet(tcp)) {
        return usage(QStringLiteral("give the station as either --serial DEVICE or --tcp HOST:PORT"));
    }

    if (station && parser.isSet(serialOption)) {
        o.serialLink = true;
        SerialSettings &s = o.serialSettings;
        s.portName = parser.value(serialOption);
        if (parser.isSet(baud) && !readNumber(parser.value(baud), 1, std::numeric_limits<int>::max(), s.baudRate))
            return usage(QStringLiteral("--baud needs a speed in baud"));
        s.baudRateText = QString::number(s.baudRate);
        if ((parser.isSet(dataBits) && !choose(kDataBits, parser.value(dataBits), s.dataBits, s.dataBitsText))
            || (parser.isSet(parity) && !choose(kParities, parser.value(parity), s.parity, s.parityText))
            || (parser.isSet(stopBits) && !choose(kStopBits, parser.value(stopBits), s.stopBits, s.stopBitsText))
            || (parser.isSet(flow) && !choose(kFlowControls, parser.value(flow), s.flowControl, s.flowControlText)))
            return usage(QStringLiteral("a serial setting is not one of those --help lists"));
    } else if (station) {
        const QString address = parser.value(tcp);
        const int colon = address.lastIndexOf(QLatin1Char(':'));
        int port = 0;
        o.tcpSettings.ip = address.left(colon);
        if (colon <= 0 || !readNumber(address.mid(colon + 1), 1, 65535, port))
            return usage(QStringLiteral("--tcp needs HOST:PORT"));
        o.tcpSettings.port = quint16(port);
        o.tcpSettings.timeout = TcpSettings::kDefaultTimeoutMs;
        if (parser.isSet(timeout) && !readNumber(parser.value(timeout), 1, std::numeric_limits<int>::max(),
                                                 o.tcpSettings.timeout))
            return usage(QStringLiteral("--timeout needs milliseconds"));
    }

    o.readConfig = parser.value(readConfig);
    o.writeConfig = parser.value(writeConfig);
    if (parser.isSet(readConfig) || parser.isSet(writeConfig)) {
        // A configuration needs the station alone: no period, no platform.
        for (const QCommandLineOption *option : {&upload, &from, &days, &sinceLast, &noUpload, &setClock,
                                                 &retries, &tokenFile, &outFolder}) {
            if (parser.isSet(*option))
                return usage(QStringLiteral("--read-config and --write-config take no --%1")
                                 .arg(option->names().constLast()));
        }
        if (parser.isSet(readConfig) == parser.isSet(writeConfig) || o.readConfig.isEmpty() == o.writeConfig.isEmpty())
            return usage(QStringLiteral("give one of --read-config FILE and --write-config FILE"));
        return -1;
    }

    o.sinceLast = parser.isSet(sinceLast);
    if (parser.isSet(from)) {
        o.from = CollectState::hourFromText(parser.value(from));
        if (!o.from.isValid())
            return usage(QStringLiteral("--from needs a local hour as \"YYYY-MM-DD HH\""));
    } else if (station && !o.sinceLast) {
        return usage(QStringLiteral("give the period as --from and --days, or --since-last"));
    }
    if (parser.isSet(days) && (o.sinceLast || !readNumber(parser.value(days), 0, BurstPeriod::kMaxDays, o.days)))
        return usage(QStringLiteral("--days needs 0 to %1 days, and goes with --from alone")
                         .arg(BurstPeriod::kMaxDays));
    if ((parser.isSet(retries) && !readNumber(parser.value(retries), 0, 1000, o.retries))
        || (parser.isSet(retryWait) && !readNumber(parser.value(retryWait), 0, 86400, o.retryWaitSeconds)))
        return usage(QStringLiteral("--retries and --retry-wait need a count and seconds"));
    o.setClock = parser.isSet(setClock);
    o.upload = !parser.isSet(noUpload);
    o.statePath = parser.isSet(state) ? parser.value(state) : CollectState::defaultPath();
    if (parser.isSet(outFolder))
        o.outFolder = parser.value(outFolder);

    if (!o.upload)
        return -1;
    // The token never comes from the command line, where every user sees it.
    if (parser.isSet(tokenFile)) {
        QFile file(parser.value(tokenFile));
        if (!file.open(QIODevice::ReadOnly) || file.size() > kLongestTokenFile)
            return usage(QStringLiteral("cannot read a token from %1").arg(file.fileName()));
        o.token = QString::fromUtf8(file.readAll()).trimmed();
    } else {
        o.token = qEnvironmentVariable(kTokenVariable).trimmed();
    }
    if (o.token.isEmpty())
        return usage(QStringLiteral("no token: give --token-file FILE or set %1").arg(kTokenVariable));
    return -1;
}

int Collector::run(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    CollectProgress shown(err, errorIsTerminal);
    progress = &shown;
    Options options;
    attempts = 0;
    outcome.clear();
    done = BurstRun::Tally();
    period = BurstPeriod();
    periodEnd = QDateTime();
    seconds.clear();
    status = parse(arguments, options, out);
    // The product's debug lines are for a developer who asks for them.
    QLoggingCategory::setFilterRules(options.verbose ? QStringLiteral("default.debug=true")
                                                     : QStringLiteral("default.debug=false"));
    if (status < 0) {
        CollectState state(options.statePath);
        QString error;
        if (!options.readConfig.isEmpty() || !options.writeConfig.isEmpty())
            status = configure(options);
        else if (!state.load(error))
            status = fail(BadUsage, QStringLiteral("bad-state"), error);
        else if (!options.keptFile.isEmpty())
            status = uploadKept(options, state);
        else if (!QDir().mkpath(options.outFolder))
            status = fail(BadUsage, QStringLiteral("bad-folder"),
                          QStringLiteral("cannot make the folder %1").arg(options.outFolder));
        else
            status = collect(options, state);
    }
    shown.finish();
    progress = nullptr;
    if (options.json)
        out << summaryJson() << '\n';
    else if (!outcome.isEmpty() && outcome != QLatin1String("usage"))
        out << summaryLine() << '\n';
    out.flush();
    err.flush();
    return status;
}

Collector::Status Collector::fail(Status failed, const QString &what, const QString &text)
{
    endPhase();
    outcome = what;
    progress->note(kProgram + QStringLiteral(": ") + text);
    return failed;
}

void Collector::endPhase()
{
    if (!phase.isEmpty())
        seconds[phase] += phaseClock.nsecsElapsed() / 1e9;
    phase.clear();
}

std::unique_ptr<CommandsManager> Collector::makeLink(const Options &o) const
{
    if (!o.serialLink)
        return std::make_unique<WifiCommands>(o.tcpSettings);
    auto link = std::make_unique<SerialCommands>(o.serialSettings);
    if (firstReplyMs >= 0) {
        Exchange::Limits command = SerialCommands::kCommandLimits;
        Exchange::Limits reset = SerialCommands::kResetLimits;
        command.firstReplyMs = reset.firstReplyMs = firstReplyMs;
        link->setLimits(command, reset);
    }
    return link;
}

QString Collector::linkDescription(const Options &o)
{
    return o.serialLink ? QStringLiteral("serial %1 %2 %3%4%5").arg(o.serialSettings.portName,
                              o.serialSettings.baudRateText, o.serialSettings.dataBitsText,
                              o.serialSettings.parityText.left(1), o.serialSettings.stopBitsText)
                        : QStringLiteral("tcp %1:%2").arg(o.tcpSettings.ip).arg(o.tcpSettings.port);
}

// --read-config and --write-config. A file is checked whole before the station is
// reached: a bad one is refused with nothing sent.
Collector::Status Collector::configure(const Options &o)
{
    linkText = linkDescription(o);
    QStringList problems;
    const StationConfigFile file = o.writeConfig.isEmpty()
                                       ? StationConfigFile()
                                       : StationConfigFile::load(o.writeConfig, problems);
    if (!problems.isEmpty())
        return fail(BadUsage, QStringLiteral("bad-config-file"),
                    QStringLiteral("%1 refused, nothing sent:\n  %2").arg(o.writeConfig, problems.join("\n  ")));
    attempts = 1;
    std::unique_ptr<CommandsManager> link = makeLink(o);
    phase = QStringLiteral("connection");
    phaseClock.start();
    progress->phase(QStringLiteral("connecting to %1").arg(linkText));
    if (!link->connectDevice())
        return fail(StationUnreachable, QStringLiteral("station-unreachable"),
                    QStringLiteral("cannot reach the station (%1)").arg(linkText));
    endPhase();
    phase = QStringLiteral("configuration");
    phaseClock.start();
    progress->phase(phase);
    QString message;
    const CollectConfig::Result result = o.writeConfig.isEmpty()
        ? CollectConfig::read(*link, o.readConfig, message)
        : CollectConfig::write(*link, file, !o.serialLink, message);
    done.stationSerial = link->config.RECEIVEDSERIAL;
    switch (result) {
    case CollectConfig::Done:
        endPhase();
        outcome = o.writeConfig.isEmpty() ? QStringLiteral("config-read") : QStringLiteral("config-written");
        progress->step(message);
        return Collected;
    case CollectConfig::BadFile:
        return fail(BadUsage, QStringLiteral("bad-config-file"), message);
    case CollectConfig::Unreachable:
        return fail(StationUnreachable, QStringLiteral("station-silent"), message);
    case CollectConfig::Refused:
        break;
    }
    return fail(ConfigRefused, QStringLiteral("config-refused"), message);
}

Collector::Status Collector::collect(const Options &o, CollectState &state)
{
    linkText = linkDescription(o);
    Status result = Collected;
    if (!o.sinceLast)
        period = BurstPeriod(o.from, o.days);
    // Only a run that failed before its download was complete starts again: an
    // upload may have left part of the burst on the platform.
    for (attempts = 1;; ++attempts) {
        seconds.clear();
        periodEnd = QDateTime();
        done = BurstRun::Tally();
        std::unique_ptr<CommandsManager> link = makeLink(o);
        if (burstSilenceMs >= 0)
            link->setBurstSilenceLimit(burstSilenceMs);
        phase = QStringLiteral("connection");
        phaseClock.start();
        progress->phase(QStringLiteral("connecting to %1").arg(linkText));
        if (!link->connectDevice()) {
            result = fail(StationUnreachable, QStringLiteral("station-unreachable"),
                          QStringLiteral("cannot reach the station (%1)").arg(linkText));
        } else if (!choosePeriod(o, *link, state)) {
            result = status == Collected ? Collected : Status(status);
        } else if (o.setClock && link->sendDate() != kSuccess) {
            result = fail(StationUnreachable, QStringLiteral("station-silent"),
                          QStringLiteral("the station did not take its clock"));
        } else {
            BurstRun run(o.token, platformUrl);
            run.setPlatformTimeout(platformTimeoutMs);
            run.setUploadEnabled(o.upload);
            run.setSerialRequired(true);
            run.setFolder(o.outFolder);
            watch(run);
            // A period that reaches into the future ends, for the next --since-last, at this hour.
            periodEnd = qMin(period.end(), presentHour());
            result = finishRun(run, run.run(*link, period), false, state);
        }
        link.reset();
        const bool again = result == StationUnreachable || result == PlatformRefused || result == DownloadFailed;
        if (!again || attempts > o.retries)
            return result;
        progress->note(QStringLiteral("attempt %1 of %2 failed; the next in %3 s")
                           .arg(attempts).arg(o.retries + 1).arg(o.retryWaitSeconds));
        QThread::sleep(unsigned(o.retryWaitSeconds));
    }
}

// Sets the period to ask for; false when the run ends here, with status saying how.
bool Collector::choosePeriod(const Options &o, CommandsManager &link, const CollectState &state)
{
    status = Collected;
    if (!o.sinceLast)
        return true;
    // The record is kept per station: the station says which one it is first.
    if (link.getConfig() != kSuccess || link.config.RECEIVEDSERIAL.isEmpty()) {
        status = fail(StationUnreachable, QStringLiteral("station-silent"),
                      QStringLiteral("the station did not report its serial"));
        return false;
    }
    const QString serial = link.config.RECEIVEDSERIAL;
    done.stationSerial = serial;
    QDateTime start = state.periodEnd(serial);
    if (!start.isValid())
        start = o.from;
    if (!start.isValid()) {
        status = fail(BadUsage, QStringLiteral("usage"),
                      QStringLiteral("no collection of station %1 on record in %2: give --from for the first")
                          .arg(serial, state.path()));
        return false;
    }
    const qint64 hours = start.secsTo(presentHour()) / 3600;
    period = BurstPeriod(start, int(qMin<qint64>(BurstPeriod::kMaxDays, (hours + 23) / 24)));
    if (hours <= 0) {
        endPhase();
        outcome = QStringLiteral("nothing-new");
        progress->note(QStringLiteral("nothing new for station %1 since %2")
                           .arg(serial, CollectState::hourText(start)));
        return false;
    }
    return true;
}

void Collector::watch(BurstRun &run)
{
    static const char *const kPhases[] = {"request", "authentication", "download", "upload"};
    run.setPhaseHandler([this](BurstRun::Phase next) {
        endPhase();
        phase = QString::fromLatin1(kPhases[next]);
        phaseClock.start();
        progress->phase(phase);
    });
    run.setDownloadFinishedHandler([this, &run] {
        progress->step(QStringLiteral("downloaded %1 bytes, %2 lines into %3")
                           .arg(run.tally().bytes).arg(run.tally().lines).arg(run.tally().fileName));
    });
    run.setDownloadProgressHandler([this](qint64 received, qint64 count) { progress->download(received, count); });
    run.setUploadProgressHandler([this](int, qint64 sent, qint64 total) { progress->upload(sent, total); });
}

Collector::Status Collector::finishRun(BurstRun &run, BurstRun::Outcome result, bool keptFile,
                                       CollectState &state)
{
    endPhase();
    done = run.tally();
    const QString &serial = done.stationSerial;
    if (done.packets > 0) {
        progress->step(QStringLiteral("uploaded %1 records in %2 packets, %3 refused")
                           .arg(done.records).arg(done.packets).arg(done.refused));
    }
    const QString kept = QStringLiteral("; the file is kept: %1 --upload %2").arg(kProgram, done.fileName);
    switch (result) {
    case BurstRun::Uploaded: {
        outcome = QStringLiteral("collected");
        QString error;
        // A kept file named without its period leaves the record as it is.
        if (periodEnd.isValid() && !state.recordUpload(serial, periodEnd, done.fileName, error))
            return fail(BadUsage, QStringLiteral("bad-state"), error);
        return Collected;
    }
    case BurstRun::Downloaded:
        outcome = QStringLiteral("downloaded");
        return Collected;
    case BurstRun::StationSilent:
    case BurstRun::LinkGone:
        return fail(StationUnreachable, QStringLiteral("station-silent"),
                    QStringLiteral("the station did not answer the burst request"));
    case BurstRun::AuthenticationFailed:
        return fail(PlatformRefused, QStringLiteral("authentication-failed"),
                    QStringLiteral("the platform refused the token for station %1, or could not be reached")
                        .arg(serial));
    case BurstRun::DownloadFailed:
        return fail(DownloadFailed, QStringLiteral("download-failed"),
                    QStringLiteral("the download from station %1 failed%2")
                        .arg(serial, run.failureDetail().isEmpty() ? QString()
                                                                   : QStringLiteral(": ") + run.failureDetail()));
    case BurstRun::FileUnreadable:
        return fail(keptFile ? BadUsage : DownloadFailed, QStringLiteral("file-unreadable"),
                    QStringLiteral("cannot read the burst file %1").arg(done.fileName));
    case BurstRun::UploadRefused:
        break;
    }
    return fail(UploadIncomplete, QStringLiteral("upload-incomplete"),
                QStringLiteral("the platform did not accept %1 of %2 packets%3")
                    .arg(done.refused).arg(done.packets).arg(kept));
}

Collector::Status Collector::uploadKept(const Options &o, CollectState &state)
{
    const QFileInfo info(o.keptFile);
    linkText = QStringLiteral("file");
    const QRegularExpressionMatch collected = kCollectedName.match(info.fileName());
    const QRegularExpressionMatch window = kWindowName.match(info.fileName());
    if (!info.isFile() || !info.isReadable() || !window.hasMatch()) {
        done.fileName = o.keptFile;
        return fail(BadUsage, QStringLiteral("file-unreadable"),
                    QStringLiteral("%1 is not a readable burst file (<serial>_<YYYYMMDDHH>_<days>d_data.log)")
                        .arg(o.keptFile));
    }
    // Only a file named after its period can move the record for --since-last on.
    const bool named = collected.hasMatch();
    if (named) {
        period = BurstPeriod(QDateTime::fromString(collected.captured(2), QStringLiteral("yyyyMMddHH")),
                             collected.captured(3).toInt());
        periodEnd = qMin(period.end(), presentHour());
    }
    BurstRun run(o.token, platformUrl);
    run.setPlatformTimeout(platformTimeoutMs);
    watch(run);
    attempts = 1;
    return finishRun(run, run.upload(o.keptFile, (named ? collected : window).captured(1)), true, state);
}

QString Collector::summaryLine() const
{
    QString text = QStringLiteral("%1 station %2")
                       .arg(outcome, done.stationSerial.isEmpty() ? QStringLiteral("?") : done.stationSerial);
    if (period.start().isValid())
        text += QStringLiteral(", period %1 + %2 d").arg(CollectState::hourText(period.start())).arg(period.days());
    if (!done.fileName.isEmpty())
        text += QStringLiteral(", file %1 (%2 bytes, %3 lines)").arg(done.fileName).arg(done.bytes).arg(done.lines);
    if (done.packets > 0)
        text += QStringLiteral(", %1 records in %2 packets, %3 refused")
                    .arg(done.records).arg(done.packets).arg(done.refused);
    return text + QStringLiteral(", exit status %1").arg(status);
}

QString Collector::summaryJson() const
{
    QJsonObject phases;
    for (auto it = seconds.begin(); it != seconds.end(); ++it)
        phases.insert(it.key(), std::round(it.value() * 1000) / 1000);
    QJsonObject periodObject;
    if (period.start().isValid()) {
        periodObject = {{QStringLiteral("from"), CollectState::hourText(period.start())},
                        {QStringLiteral("days"), period.days()},
                        {QStringLiteral("to"), CollectState::hourText(periodEnd)}};
    }
    const QJsonObject summary{
        {QStringLiteral("station"), done.stationSerial},
        {QStringLiteral("link"), linkText},
        {QStringLiteral("period"), periodObject},
        {QStringLiteral("file"), done.fileName},
        {QStringLiteral("bytes"), done.bytes},
        {QStringLiteral("lines"), done.lines},
        {QStringLiteral("records"), done.records},
        {QStringLiteral("packets"), done.packets},
        {QStringLiteral("refused"), done.refused},
        {QStringLiteral("seconds"), phases},
        {QStringLiteral("attempts"), attempts},
        {QStringLiteral("outcome"), outcome},
        {QStringLiteral("status"), status},
    };
    return QString::fromUtf8(QJsonDocument(summary).toJson(QJsonDocument::Compact));
}
