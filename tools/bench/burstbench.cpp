// burst-bench: how fast and how lean the burst path is on this machine.
//
// It decodes generated dump lines, runs a whole burst (the simulated station
// over TCP on 127.0.0.1 into the burst file, then counting, decoding and upload
// to a local HTTPS platform), and downloads a large dump over TCP and over a
// pseudo-terminal to show that the download's memory does not grow with the dump.
//
// Every measurement runs in a child process of its own (the program calls
// itself with --phase), so the peak resident memory of one cannot hide another's.
// It exits non-zero only when something broke, never because of a figure.

#include "burstfile.h"
#include "burstrecord.h"
#include "burstuploader.h"
#include "platformclient.h"
#include "ptystation.h"
#include "serialcommands.h"
#include "settingsdialogserial.h"
#include "settingsdialogwifi.h"
#include "simulatedplatform.h"
#include "simulatedstation.h"
#include "tcpstation.h"
#include "ui_mainwindow.h"
#include "wificommands.h"

#include <QApplication>
#include <QComboBox>
#include <QCommandLineParser>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMainWindow>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QThread>
#include <QVector>

#include <cstdio>
#include <limits>
#include <memory>

namespace {

constexpr qint64 kDefaultRecords = 100000;
constexpr int kDefaultDumpMb = 200;
constexpr qint64 kDecodeLines = 1000000;
constexpr qint64 kQuickRecords = 5000;
constexpr int kQuickDumpMb = 8;
constexpr qint64 kQuickDecodeLines = 50000;
constexpr int kDecodeRounds = 3;
// A download may raise the peak memory by this much at most, however large the dump.
constexpr double kDumpMemoryBoundMb = 50;
constexpr int kTcpTimeoutMs = 2000;
// A station that stops sending ends the measurement instead of hanging it.
constexpr int kSilenceLimitMs = 10000;
constexpr qint64 kMebibyte = 1024 * 1024;

const QString kToken = QStringLiteral("bench-token");
const QString kDataItem = QStringLiteral("data");

struct Options
{
    qint64 records = kDefaultRecords;
    int dumpMb = kDefaultDumpMb;
    qint64 decodeLines = kDecodeLines;
};

void say(const QString &text)
{
    std::printf("%s\n", qPrintable(text));
    std::fflush(stdout);
}

// Something that must work did not: the figures would mean nothing.
int broke(const QString &what)
{
    say(QStringLiteral("BROKEN: ") + what);
    return 1;
}

double megabytes(qint64 bytes)
{
    return double(bytes) / double(kMebibyte);
}

QString mb(qint64 bytes)
{
    return QString::number(megabytes(bytes), 'f', 1) + QStringLiteral(" MB");
}

QString seconds(qint64 ms)
{
    return QString::number(double(ms) / 1000.0, 'f', 2) + QStringLiteral(" s");
}

// The peak resident set of this process so far (VmHWM), in bytes; -1 if unknown.
qint64 peakResidentBytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).simplified().split(' ').first().toLongLong() * 1024;
    }
    return -1;
}

QString peakText()
{
    return QStringLiteral("peak RSS ") + mb(peakResidentBytes());
}

// The main window's form, which the links write their progress into.
struct Window
{
    Window() { form.setupUi(&window); }
    QMainWindow window;
    Ui::MainWindow form;
};

// A TCP link to the simulated station, connected.
struct TcpLink
{
    explicit TcpLink(const TcpStation &station)
    {
        dialog.findChild<QSpinBox *>(QStringLiteral("input_port"))->setValue(station.port());
        dialog.findChild<QSpinBox *>(QStringLiteral("input_timeout"))->setValue(kTcpTimeoutMs);
        // Last: its change copies all three fields into the settings.
        dialog.findChild<QLineEdit *>(QStringLiteral("input_ip"))->setText(QStringLiteral("127.0.0.1"));
        link = std::make_unique<WifiCommands>(&window.form, &dialog);
    }
    Window window;
    SettingsDialogWifi dialog;
    std::unique_ptr<CommandsManager> link;
};

// A serial link to the simulated station's pseudo-terminal, as a custom port.
struct SerialLink
{
    explicit SerialLink(const PtyStation &station)
    {
        auto *ports = dialog.findChild<QComboBox *>(QStringLiteral("serialPortInfoListBox"));
        ports->setCurrentIndex(ports->count() - 1);
        ports->setEditText(station.slavePath());
        dialog.findChild<QPushButton *>(QStringLiteral("applyButton"))->click();
        link = std::make_unique<SerialCommands>(&window.form, &dialog);
    }
    Window window;
    SettingsDialogSerial dialog;
    std::unique_ptr<CommandsManager> link;
};

// Connects and asks for the burst; the station serial on success, "" otherwise.
QString requestBurst(CommandsManager &link)
{
    if (!link.connectDevice())
        return QString();
    link.setBurstSilenceLimit(kSilenceLimitMs);
    return link.sendBurstModeF(QStringLiteral("19"), QStringLiteral("05"), QStringLiteral("27"),
                               QStringLiteral("14"), QStringLiteral("007"));
}

// Measurement lines as the uploader hands them to the decoder: without their line end.
QVector<QString> decoderInput(qint64 count)
{
    const QDateTime start(QDate(2019, 5, 27), QTime(14, 0), Qt::UTC);
    QVector<QString> lines;
    lines.reserve(int(count));
    for (qint64 i = 0; i < count; ++i) {
        const QByteArray line = SimulatedStation::dumpLine(QStringLiteral("ST1234"), start, i);
        lines.append(QString::fromLatin1(line.chopped(2)));
    }
    return lines;
}

int runDecode(const Options &options)
{
    const QVector<QString> lines = decoderInput(options.decodeLines);
    qint64 textBytes = 0;
    for (const QString &line : lines)
        textBytes += line.size() + 2;

    qint64 bestNs = std::numeric_limits<qint64>::max();
    for (int round = 0; round < kDecodeRounds; ++round) {
        QElapsedTimer clock;
        clock.start();
        qint64 records = 0;
        for (const QString &line : lines)
            records += BurstRecord::decode(line).size() > 1 ? 1 : 0;
        bestNs = qMin(bestNs, clock.nsecsElapsed());
        if (records != lines.size())
            return broke(QStringLiteral("%1 of %2 lines decoded").arg(records).arg(lines.size()));
    }
    const double secondsTaken = double(bestNs) / 1e9;
    say(QStringLiteral("decode: %1 lines, best of %2: %3 s = %4 lines/s (%5 MB/s of dump text)")
            .arg(lines.size())
            .arg(kDecodeRounds)
            .arg(secondsTaken, 0, 'f', 3)
            .arg(double(lines.size()) / secondsTaken, 0, 'f', 0)
            .arg(megabytes(textBytes) / secondsTaken, 0, 'f', 1));
    return 0;
}

// What the local platform received. The platform itself keeps every request,
// which would add its own memory to the upload's peak: the tally keeps only the
// counts and lets the platform forget each request once it is counted.
struct PlatformTally
{
    explicit PlatformTally(SimulatedPlatform &platform)
    {
        QObject::connect(&platform, &SimulatedPlatform::requestReceived, &platform, [this, &platform] {
            const SimulatedPlatform::Request request = platform.requests().constLast();
            if (request.method == "POST") {
                ++packets;
                bodyBytes += request.body.size();
                records += SimulatedPlatform::item(request.bodyItems, kDataItem)
                               .count(QStringLiteral("\r\n"));
            }
            tlsConnections += platform.tlsConnections();
            platform.reset();
        });
    }
    PlatformTally(const PlatformTally &) = delete;
    PlatformTally &operator=(const PlatformTally &) = delete;

    qint64 packets = 0;
    qint64 records = 0;
    qint64 bodyBytes = 0;
    int tlsConnections = 0;
};

int runBurst(const Options &options)
{
    SimulatedStation station;
    station.setBurstLineCount(options.records);
    TcpStation tcp(station);
    if (!tcp.start())
        return broke(QStringLiteral("the simulated station does not listen"));
    SimulatedPlatform platform;
    if (!platform.start())
        return broke(QStringLiteral("the local platform does not start"));
    platform.trustInThisProcess();
    PlatformTally tally(platform);

    TcpLink tcpLink(tcp);
    const QString serial = requestBurst(*tcpLink.link);
    if (serial != station.config().SERIAL)
        return broke(QStringLiteral("the burst request was answered with \"%1\"").arg(serial));
    PlatformClient client(kToken, serial, platform.baseUrl());
    if (!client.authenticate())
        return broke(QStringLiteral("the platform refused the token"));
    say(QStringLiteral("burst of %1 records, setup: %2").arg(options.records).arg(peakText()));

    QElapsedTimer clock;
    clock.start();
    if (tcpLink.link->readBurstData(serial) != kSuccess)
        return broke(QStringLiteral("the download failed"));
    const qint64 downloadMs = clock.elapsed();
    const QString fileName = BurstFile::fileName(serial);
    const qint64 fileBytes = QFileInfo(fileName).size();
    say(QStringLiteral("  download over TCP: %1, file %2 (%3 bytes), %4")
            .arg(seconds(downloadMs), mb(fileBytes))
            .arg(fileBytes)
            .arg(peakText()));

    clock.restart();
    const qint64 counted = BurstUploader::countLines(fileName);
    const qint64 countMs = clock.elapsed();

    BurstUploader uploader(fileName, client);
    clock.restart();
    const BurstUploader::Outcome outcome = uploader.upload();
    const qint64 uploadMs = clock.elapsed();
    if (outcome != BurstUploader::Finished)
        return broke(QStringLiteral("the upload ended with outcome %1").arg(int(outcome)));
    say(QStringLiteral("  upload (counting, decoding, HTTPS): %1, %2 packets (%3 of form data), "
                       "%4 TLS connection(s), %5 records received, %6")
            .arg(seconds(uploadMs))
            .arg(tally.packets)
            .arg(mb(tally.bodyBytes))
            .arg(tally.tlsConnections)
            .arg(tally.records)
            .arg(peakText()));
    say(QStringLiteral("  a counting pass on its own: %1 (%2 lines)").arg(seconds(countMs)).arg(counted));
    // Every measurement and the end record must have arrived, or the times mean nothing.
    if (tally.records != options.records + 1)
        return broke(QStringLiteral("the platform received %1 records, not %2")
                         .arg(tally.records)
                         .arg(options.records + 1));
    return 0;
}

// Downloads a dump of about dumpMb mebibytes over the given link and reports
// how much the peak memory rose meanwhile.
int measureDump(const QString &transport, CommandsManager &link, SimulatedStation &station,
                qint64 expectedBytes)
{
    const QString serial = requestBurst(link);
    if (serial != station.config().SERIAL)
        return broke(QStringLiteral("the burst request over %1 was answered with \"%2\"")
                         .arg(transport, serial));
    const qint64 before = peakResidentBytes();
    QElapsedTimer clock;
    clock.start();
    if (link.readBurstData(serial) != kSuccess)
        return broke(QStringLiteral("the download over %1 failed").arg(transport));
    const qint64 ms = qMax<qint64>(1, clock.elapsed());
    const qint64 after = peakResidentBytes();
    const qint64 fileBytes = QFileInfo(BurstFile::fileName(serial)).size();
    if (fileBytes != expectedBytes)
        return broke(QStringLiteral("the file holds %1 bytes, not %2").arg(fileBytes).arg(expectedBytes));
    const double increase = megabytes(after - before);
    say(QStringLiteral("dump over %1: %2 in %3 (%4 MB/s); peak RSS %5 before, %6 after, "
                       "increase %7 MB: %8 (bound %9 MB)")
            .arg(transport, mb(fileBytes), seconds(ms))
            .arg(megabytes(fileBytes) * 1000.0 / double(ms), 0, 'f', 1)
            .arg(mb(before), mb(after))
            .arg(increase, 0, 'f', 1)
            .arg(increase <= kDumpMemoryBoundMb ? QStringLiteral("PASS") : QStringLiteral("FAIL"))
            .arg(kDumpMemoryBoundMb));
    return 0;
}

int runDump(const QString &transport, const Options &options)
{
    SimulatedStation station;
    // Every generated line has the same length, so the dump's size is known in advance.
    const qint64 lineBytes =
        SimulatedStation::dumpLine(station.config().SERIAL, station.burstStart(), 0).size();
    const qint64 lines = (options.dumpMb * kMebibyte + lineBytes - 1) / lineBytes;
    const qint64 expectedBytes = lines * lineBytes + qint64(sizeof "END\r\n") - 1;
    station.setBurstLineCount(lines);

    if (transport == QLatin1String("tcp")) {
        TcpStation tcp(station);
        if (!tcp.start())
            return broke(QStringLiteral("the simulated station does not listen"));
        TcpLink tcpLink(tcp);
        return measureDump(transport, *tcpLink.link, station, expectedBytes);
    }
    PtyStation pty(station);
    if (!pty.start())
        return broke(QStringLiteral("no pseudo-terminal for the simulated station"));
    SerialLink serialLink(pty);
    return measureDump(QStringLiteral("serial pty"), *serialLink.link, station, expectedBytes);
}

int runPhase(const QString &phase, const Options &options)
{
    // The burst file goes to the working directory: keep it out of the caller's.
    QTemporaryDir workDir;
    if (!workDir.isValid() || !QDir::setCurrent(workDir.path()))
        return broke(QStringLiteral("no temporary directory"));
    if (phase == QLatin1String("decode"))
        return runDecode(options);
    if (phase == QLatin1String("burst"))
        return runBurst(options);
    if (phase == QLatin1String("dump-tcp"))
        return runDump(QStringLiteral("tcp"), options);
    if (phase == QLatin1String("dump-serial"))
        return runDump(QStringLiteral("serial"), options);
    return broke(QStringLiteral("unknown phase \"%1\"").arg(phase));
}

int runAll()
{
#ifdef NDEBUG
    const QString build = QStringLiteral("optimised build");
#else
    const QString build = QStringLiteral("debug build: figures are not representative");
#endif
    say(QStringLiteral("burst-bench %1, Qt %2, %3 cores, %4")
            .arg(QDateTime::currentDateTime().toString(Qt::ISODate), QString::fromLatin1(qVersion()))
            .arg(QThread::idealThreadCount())
            .arg(build));
    const QStringList passOn = QCoreApplication::arguments().mid(1);
    int brokenPhases = 0;
    for (const char *phase : {"decode", "burst", "dump-tcp", "dump-serial"}) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(QCoreApplication::applicationFilePath(),
                    passOn + QStringList{QStringLiteral("--phase"), QString::fromLatin1(phase)});
        if (!child.waitForFinished(-1) || child.exitStatus() != QProcess::NormalExit
            || child.exitCode() != 0) {
            say(QStringLiteral("BROKEN: phase %1 (exit %2)").arg(QLatin1String(phase)).arg(child.exitCode()));
            ++brokenPhases;
        }
    }
    return brokenPhases == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("burst-bench"));
    // The product's debug lines (one per packet and more) would drown the figures.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Burst throughput and memory figures, against the simulated station and a local platform."));
    parser.addHelpOption();
    const QCommandLineOption recordsOption(QStringLiteral("records"),
                                           QStringLiteral("Records in the whole burst (default 100000)."),
                                           QStringLiteral("N"));
    const QCommandLineOption dumpOption(QStringLiteral("dump-mb"),
                                        QStringLiteral("Size of the large dump in MB (default 200)."),
                                        QStringLiteral("N"));
    const QCommandLineOption quickOption(QStringLiteral("quick"),
                                         QStringLiteral("Small sizes, for a smoke run."));
    const QCommandLineOption phaseOption(QStringLiteral("phase"),
                                         QStringLiteral("Run one measurement only: decode, burst, "
                                                        "dump-tcp or dump-serial."),
                                         QStringLiteral("NAME"));
    parser.addOptions({recordsOption, dumpOption, quickOption, phaseOption});
    parser.process(app);

    Options options;
    if (parser.isSet(quickOption)) {
        options.records = kQuickRecords;
        options.dumpMb = kQuickDumpMb;
        options.decodeLines = kQuickDecodeLines;
    }
    bool ok = true;
    if (parser.isSet(recordsOption))
        options.records = parser.value(recordsOption).toLongLong(&ok);
    if (ok && parser.isSet(dumpOption))
        options.dumpMb = parser.value(dumpOption).toInt(&ok);
    if (!ok || options.records < 0 || options.dumpMb < 1) {
        std::fprintf(stderr, "burst-bench: --records needs a count of 0 or more, --dump-mb one of 1 or more\n");
        return 2;
    }
    return parser.isSet(phaseOption) ? runPhase(parser.value(phaseOption), options) : runAll();
}
