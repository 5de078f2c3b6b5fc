// burst-bench: how fast and how lean the burst path is on this machine. Each
// figure stands next to a baseline measured in the same run, with the ratio:
//
//   decoding      reading and decoding the dump lines  vs  a bare QTextStream::readLine pass
//   upload        the whole upload of a burst           vs  curl making the same requests
//   upload behind a server that closes every 10th request  vs  curl making the same requests
//   TCP download  a large dump into the burst file      vs  a plain socket reader of the same stream
//   pty download  the same over a pseudo-terminal       vs  a plain read() loop
//   collection    marlowdesk-collect's whole burst      vs  the plain socket reader's download
//                 over TCP (request, authentication,         plus curl's upload
//                 download, upload)
//
// The two downloads end, as the protocol has it, with 100 ms of silence after
// the last byte; their baselines are charged the same 100 ms. The burst phase
// also downloads its dump over TCP first and reports that on its own.
//
// Every measurement runs in a child process of its own (the program calls
// itself with --phase), so the peak resident memory of one cannot hide another's.
// It exits non-zero only when something broke, never because of a figure.

#include "burstfile.h"
#include "burstrecord.h"
#include "burstuploader.h"
#include "collector.h"
#include "platformclient.h"
#include "ptystation.h"
#include "serialcommands.h"
#include "settingsdialogserial.h"
#include "settingsdialogwifi.h"
#include "simulatedplatform.h"
#include "simulatedstation.h"
#include "stationprotocol.h"
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
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <QVector>

#include <arpa/inet.h>
#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <limits>
#include <memory>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr qint64 kDefaultRecords = 100000;
constexpr int kDefaultDumpMb = 200;
constexpr qint64 kDecodeLines = 1000000;
constexpr qint64 kQuickRecords = 5000;
constexpr int kQuickDumpMb = 8;
constexpr qint64 kQuickDecodeLines = 50000;
// The decoding and the upload are timed in this many rounds, each side in turn, best kept.
constexpr int kRounds = 3;
// A download may raise the peak memory by this much at most, however large the dump.
constexpr double kDumpMemoryBoundMb = 50;
constexpr int kTcpTimeoutMs = 2000;
// A station that stops sending ends the measurement instead of hanging it.
constexpr int kSilenceLimitMs = 10000;
// Both links end a download only after the station has been quiet this long.
constexpr qint64 kClosingSilenceNs = 100 * 1000 * 1000;
// The station's answer to a burst request is complete once the line is quiet this long.
constexpr int kAnswerQuietMs = 200;
// The dump of the download measurements repeats this many generated lines.
constexpr int kDistinctDumpLines = 10000;
// The serving station sends its dump in blocks this large, faster than a reader takes it.
constexpr int kStationBlockBytes = 65536;
constexpr int kReadChunk = 65536;
constexpr int kDumpRounds = 3;
constexpr qint64 kMebibyte = 1024 * 1024;

const QString kToken = QStringLiteral("bench-token");
const QString kDataItem = QStringLiteral("data");
const QString kSendPath = QStringLiteral("/sensor/datalogger/send/");
const QString kPlainFile = QStringLiteral("plain.log");
// The period every burst request of the bench asks for: 27 May 2019, 14 h, 7 days.
const QStringList kPeriod = {QStringLiteral("19"), QStringLiteral("05"), QStringLiteral("27"),
                             QStringLiteral("14"), QStringLiteral("007")};

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

QString seconds(qint64 ns)
{
    return QString::number(double(ns) / 1e9, 'f', 3) + QStringLiteral(" s");
}

// One row of the comparison: MarlowDesk's time, the baseline's, and their ratio.
void sayPair(const QString &work, qint64 oursNs, const QString &baseline, qint64 baselineNs)
{
    say(QStringLiteral("%1: MarlowDesk %2 | %3 %4 | ratio %5x")
            .arg(work, seconds(oursNs), baseline, seconds(baselineNs))
            .arg(double(oursNs) / double(qMax<qint64>(1, baselineNs)), 0, 'f', 2));
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

// A TCP link to a station on 127.0.0.1.
struct TcpLink
{
    explicit TcpLink(quint16 port)
    {
        dialog.findChild<QSpinBox *>(QStringLiteral("input_port"))->setValue(port);
        dialog.findChild<QSpinBox *>(QStringLiteral("input_timeout"))->setValue(kTcpTimeoutMs);
        // Last: its change copies all three fields into the settings.
        dialog.findChild<QLineEdit *>(QStringLiteral("input_ip"))->setText(QStringLiteral("127.0.0.1"));
        link = std::make_unique<WifiCommands>(&window.form, &dialog);
    }
    Window window;
    SettingsDialogWifi dialog;
    std::unique_ptr<CommandsManager> link;
};

// A serial link to a station's pseudo-terminal, as a custom port.
struct SerialLink
{
    explicit SerialLink(const QString &path)
    {
        auto *ports = dialog.findChild<QComboBox *>(QStringLiteral("serialPortInfoListBox"));
        ports->setCurrentIndex(ports->count() - 1);
        ports->setEditText(path);
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
    return link.sendBurstModeF(kPeriod[0], kPeriod[1], kPeriod[2], kPeriod[3], kPeriod[4]);
}

// ---- decoding -------------------------------------------------------------

// A dump file as the download leaves it: generated lines, then the terminator line.
bool writeDumpFile(const QString &fileName, qint64 lines)
{
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QDateTime start(QDate(2019, 5, 27), QTime(14, 0), Qt::UTC);
    for (qint64 i = 0; i < lines; ++i)
        file.write(SimulatedStation::dumpLine(QStringLiteral("ST1234"), start, i));
    return file.write("END\r\n") > 0;
}

// One pass over the file, opened and read as the uploader does. With decode each
// line also becomes its record. Returns the lines (bare) or the records made.
qint64 readPass(const QString &fileName, bool decode)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return -1;
    QTextStream stream(&file);
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    stream.setCodec("UTF-8");   // Qt 6 streams read UTF-8 by default
#endif
    qint64 count = 0;
    QString line;
    QString record;
    while (stream.readLineInto(&line)) {
        if (decode)
            BurstRecord::decode(line, record);
        if (!decode || record.size() > 1)
            ++count;
    }
    return count;
}

int runDecode(const Options &options)
{
    const QString fileName = QStringLiteral("decode.log");
    if (!writeDumpFile(fileName, options.decodeLines))
        return broke(QStringLiteral("cannot write the dump file"));

    // Best of a few rounds each, taken in turn so both see the same machine.
    qint64 bareNs = std::numeric_limits<qint64>::max();
    qint64 decodeNs = bareNs;
    for (int round = 0; round < kRounds; ++round) {
        QElapsedTimer clock;
        clock.start();
        const qint64 lines = readPass(fileName, false);
        bareNs = qMin(bareNs, clock.nsecsElapsed());
        clock.restart();
        const qint64 records = readPass(fileName, true);
        decodeNs = qMin(decodeNs, clock.nsecsElapsed());
        // Every line, the terminator's included, makes a record.
        if (lines != options.decodeLines + 1 || records != lines)
            return broke(QStringLiteral("%1 records from %2 lines").arg(records).arg(lines));
    }
    sayPair(QStringLiteral("decoding %1 lines (%2), best of %3")
                .arg(options.decodeLines)
                .arg(mb(QFileInfo(fileName).size()))
                .arg(kRounds),
            decodeNs, QStringLiteral("bare readLine pass"), bareNs);
    return 0;
}

// ---- upload ---------------------------------------------------------------

// The local platform on a thread of its own, as the real one runs apart from the
// tool, so that its work on a request is not added to the client's. It keeps
// only a tally of the requests, and the upload bodies in one file for curl.
class BenchPlatform
{
public:
    BenchPlatform()
    {
        thread.start();
        context.moveToThread(&thread);
    }
    ~BenchPlatform()
    {
        onThread([this] {
            delete platform;
            bodies.close();
        });
        thread.quit();
        thread.wait();
    }
    BenchPlatform(const BenchPlatform &) = delete;
    BenchPlatform &operator=(const BenchPlatform &) = delete;

    bool start(const QString &bodiesFile)
    {
        bool started = false;
        onThread([&] {
            platform = new SimulatedPlatform;
            bodies.setFileName(bodiesFile);
            started = platform->start() && bodies.open(QIODevice::WriteOnly);
            QObject::connect(platform, &SimulatedPlatform::requestReceived, platform,
                             [this] { count(); });
        });
        if (started)
            platform->trustInThisProcess();
        return started;
    }

    QString baseUrl() const { return platform->baseUrl(); }
    QSslCertificate authority() const { return platform->authorityCertificate(); }

    // Starts a new tally and forgets the bodies kept so far.
    void restartTally()
    {
        onThread([this] {
            bodies.resize(0);
            bodySizes.clear();
            requestsInTally = 0;
            platform->setDefaultAnswer(PlatformAnswer());
        });
        packets = 0;
        records = 0;
        bodyBytes = 0;
        tlsConnections = 0;
    }

    // The upload bodies received so far, in order; call only while no request comes in.
    QList<QByteArray> receivedBodies()
    {
        QList<QByteArray> list;
        onThread([&] {
            bodies.flush();
            QFile file(bodies.fileName());
            if (!file.open(QIODevice::ReadOnly))
                return;
            for (const qint64 size : qAsConst(bodySizes))
                list << file.read(size);
        });
        return list;
    }

    std::atomic<qint64> packets{0};
    std::atomic<qint64> records{0};
    std::atomic<qint64> bodyBytes{0};
    std::atomic<int> tlsConnections{0};
    // > 0: the platform answers every this many requests of a tally with
    // "Connection: close" and closes the connection.
    int closeEvery = 0;

private:
    void onThread(const std::function<void()> &work)
    {
        QMetaObject::invokeMethod(&context, work, Qt::BlockingQueuedConnection);
    }

    // On the platform's thread, once per request.
    void count()
    {
        const SimulatedPlatform::Request request = platform->requests().constLast();
        if (request.method == "POST") {
            ++packets;
            bodyBytes += request.body.size();
            records += SimulatedPlatform::item(request.bodyItems, kDataItem).count(QStringLiteral("\r\n"));
            bodies.write(request.body);
            bodySizes << request.body.size();
        }
        tlsConnections += platform->tlsConnections();
        platform->reset();
        // The rule for the next request: this one's answer is already decided.
        ++requestsInTally;
        if (closeEvery > 0 && (requestsInTally + 1) % closeEvery == 0) {
            PlatformAnswer closing;
            closing.framing = PlatformAnswer::Framing::CloseDelimited;
            platform->setDefaultAnswer(closing);
        }
    }

    QThread thread;
    QObject context;
    SimulatedPlatform *platform = nullptr;
    QFile bodies;
    QVector<qint64> bodySizes;
    int requestsInTally = 0;
};

// curl makes the same upload requests one after the other on one connection:
// each body the platform received, to the same address, with the same token.
// Returns the time curl took; when curl fails, the platform's tally shows it.
qint64 replayWithCurl(const QString &curl, BenchPlatform &platform)
{
    const QList<QByteArray> bodies = platform.receivedBodies();
    QFile ca(QStringLiteral("platform.pem"));
    QFile config(QStringLiteral("curl.config"));
    if (!ca.open(QIODevice::WriteOnly) || !config.open(QIODevice::WriteOnly))
        return std::numeric_limits<qint64>::max();
    ca.write(platform.authority().toPem());
    ca.close();
    QTextStream options(&config);
    for (int i = 0; i < bodies.size(); ++i) {
        const QString bodyFile = QStringLiteral("body-%1").arg(i);
        QFile body(bodyFile);
        if (!body.open(QIODevice::WriteOnly) || body.write(bodies.at(i)) != bodies.at(i).size())
            return std::numeric_limits<qint64>::max();
        options << (i > 0 ? "next\n" : "") << "url = \"" << platform.baseUrl() << kSendPath << "\"\n"
                << "cacert = \"platform.pem\"\ntlsv1.2\nsilent\nshow-error\nfail\n"
                << "header = \"Content-Type: application/x-www-form-urlencoded\"\n"
                << "header = \"Authorization: " << kToken << "\"\n"
                << "data-binary = \"@" << bodyFile << "\"\noutput = \"/dev/null\"\n";
    }
    options.flush();
    config.close();
    platform.restartTally();

    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer clock;
    clock.start();
    process.start(curl, {QStringLiteral("--config"), config.fileName()});
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0)
        return std::numeric_limits<qint64>::max();
    return clock.nsecsElapsed();
}

int runBurst(const Options &options)
{
    SimulatedStation station;
    station.setBurstLineCount(options.records);
    TcpStation tcp(station);
    if (!tcp.start())
        return broke(QStringLiteral("the simulated station does not listen"));
    BenchPlatform platform;
    if (!platform.start(QStringLiteral("bodies.bin")))
        return broke(QStringLiteral("the local platform does not start"));

    TcpLink tcpLink(tcp.port());
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
    const qint64 downloadNs = clock.nsecsElapsed();
    const QString fileName = BurstFile::fileName(serial);
    const qint64 fileBytes = QFileInfo(fileName).size();
    say(QStringLiteral("  download over TCP: %1, file %2 (%3 bytes), %4")
            .arg(seconds(downloadNs), mb(fileBytes))
            .arg(fileBytes)
            .arg(peakText()));

    const QString curl = QStandardPaths::findExecutable(QStringLiteral("curl"));
    qint64 uploadNs = std::numeric_limits<qint64>::max();
    qint64 curlNs = uploadNs;
    qint64 packets = 0;
    for (int round = 0; round < kRounds; ++round) {
        platform.restartTally();
        BurstUploader uploader(fileName, client);
        clock.restart();
        const BurstUploader::Outcome outcome = uploader.upload();
        uploadNs = qMin(uploadNs, clock.nsecsElapsed());
        if (outcome != BurstUploader::Finished)
            return broke(QStringLiteral("the upload ended with outcome %1").arg(int(outcome)));
        // Every measurement and the end record must have arrived, or the times mean nothing.
        if (platform.records != options.records + 1)
            return broke(QStringLiteral("the platform received %1 records, not %2")
                             .arg(platform.records)
                             .arg(options.records + 1));
        packets = platform.packets;
        if (round == 0) {
            say(QStringLiteral("  upload: %1 packets (%2 of form data), %3 records received, "
                               "%4 new TLS connection(s), %5")
                    .arg(packets)
                    .arg(mb(platform.bodyBytes))
                    .arg(platform.records)
                    .arg(platform.tlsConnections)
                    .arg(peakText()));
        }
        if (curl.isEmpty())
            continue;
        curlNs = qMin(curlNs, replayWithCurl(curl, platform));
        if (platform.packets != packets || platform.tlsConnections != 1)
            return broke(QStringLiteral("curl did not replay the %1 requests on one connection")
                             .arg(packets));
    }

    const QString work = QStringLiteral("upload of %1 records (counting, decoding, %2 HTTPS "
                                        "requests), best of %3")
                             .arg(options.records)
                             .arg(packets)
                             .arg(kRounds);
    if (curl.isEmpty())
        say(QStringLiteral("%1: MarlowDesk %2 | curl not found, no baseline (scripts/bench.sh installs it)")
                .arg(work, seconds(uploadNs)));
    else
        sayPair(work, uploadNs, QStringLiteral("curl, the same requests on one connection"), curlNs);
    return 0;
}

// ---- upload behind a server that closes ------------------------------------

// Servers end kept connections now and then: every 10th request here. Each new
// connection costs a TLS handshake, on both sides alike; the client must not
// pay more than that (working out the trusted authorities again, say).
constexpr int kCloseEvery = 10;
constexpr double kClosingGoal = 1.5;

int runClosingUpload(const Options &options)
{
    const QString fileName = BurstFile::fileName(QStringLiteral("ST1234"));
    if (!writeDumpFile(fileName, options.records))
        return broke(QStringLiteral("cannot write the burst file"));
    BenchPlatform platform;
    if (!platform.start(QStringLiteral("bodies.bin")))
        return broke(QStringLiteral("the local platform does not start"));
    platform.closeEvery = kCloseEvery;
    PlatformClient client(kToken, QStringLiteral("ST1234"), platform.baseUrl());
    if (!client.authenticate())
        return broke(QStringLiteral("the platform refused the token"));

    const QString curl = QStandardPaths::findExecutable(QStringLiteral("curl"));
    qint64 uploadNs = std::numeric_limits<qint64>::max();
    qint64 curlNs = uploadNs;
    qint64 packets = 0;
    int connections = 0;
    for (int round = 0; round < kRounds; ++round) {
        platform.restartTally();
        BurstUploader uploader(fileName, client);
        QElapsedTimer clock;
        clock.start();
        const BurstUploader::Outcome outcome = uploader.upload();
        uploadNs = qMin(uploadNs, clock.nsecsElapsed());
        packets = platform.packets;
        // A new connection after each close, and none besides (but for the first, when the
        // one kept from before has been idle too long).
        connections = int(1 + (packets - 1) / kCloseEvery);
        if (outcome != BurstUploader::Finished || platform.records != options.records + 1
            || platform.tlsConnections < connections - 1 || platform.tlsConnections > connections)
            return broke(QStringLiteral("the upload ended with outcome %1, %2 records on %3 connections")
                             .arg(int(outcome)).arg(platform.records).arg(platform.tlsConnections));
        if (curl.isEmpty())
            continue;
        curlNs = qMin(curlNs, replayWithCurl(curl, platform));
        if (platform.packets != packets || platform.tlsConnections != connections)
            return broke(QStringLiteral("curl did not replay the %1 requests on %2 connections")
                             .arg(packets).arg(connections));
    }
    const QString work = QStringLiteral("upload of %1 records behind a server that closes every %2th "
                                        "request (%3 HTTPS requests on %4 connections), best of %5")
                             .arg(options.records).arg(kCloseEvery).arg(packets).arg(connections).arg(kRounds);
    if (curl.isEmpty()) {
        say(QStringLiteral("%1: MarlowDesk %2 | curl not found, no baseline").arg(work, seconds(uploadNs)));
        return 0;
    }
    sayPair(work, uploadNs, QStringLiteral("curl, the same requests, connecting again after each close"), curlNs);
    say(QStringLiteral("  goal: within %1x of curl: %2")
            .arg(kClosingGoal)
            .arg(double(uploadNs) <= kClosingGoal * double(curlNs) ? QStringLiteral("PASS") : QStringLiteral("FAIL")));
    return 0;
}

// ---- downloads ------------------------------------------------------------

// About dumpMb mebibytes of dump lines, then the terminator line. The lines repeat
// a block of generated ones: a download cares about the size, not the content.
QByteArray downloadDump(const SimulatedStation &station, int dumpMb)
{
    QByteArray block;
    for (int i = 0; i < kDistinctDumpLines; ++i)
        block += SimulatedStation::dumpLine(station.config().SERIAL, station.burstStart(), i);
    QByteArray dump;
    dump.reserve(int(dumpMb * kMebibyte + block.size()));
    while (dump.size() < dumpMb * kMebibyte)
        dump += block;
    return dump + "END\r\n";
}

// The station of the download measurements, in a process of its own: its dump
// sits in memory there, ready to go out faster than any reader takes it, and
// neither that memory nor its work counts against the reader measured here.
// Prints "<port or pty path> <dump bytes> <serial>", then serves until its input closes.
int serveStation(const QString &transport, const Options &options)
{
    SimulatedStation station;
    const QByteArray dump = downloadDump(station, options.dumpMb);
    station.setDump(dump);
    station.setDumpBlocks(kStationBlockBytes, 0);
    TcpStation tcp(station);
    PtyStation pty(station);
    const bool overTcp = transport == QLatin1String("tcp");
    if (overTcp ? !tcp.start() : !pty.start())
        return broke(QStringLiteral("the station cannot serve over %1").arg(transport));
    say(QStringLiteral("%1 %2 %3")
            .arg(overTcp ? QString::number(tcp.port()) : pty.slavePath())
            .arg(dump.size())
            .arg(station.config().SERIAL));
    char ignored;
    while (::read(STDIN_FILENO, &ignored, 1) > 0) {
    }
    return 0;
}

bool writeAll(int fd, const QByteArray &bytes)
{
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// The floor of a download over fd (a connected socket or an open terminal): asks
// for the burst, then times the acknowledgement and a bare read() loop that
// writes each piece to a file, up to the dump's last byte. -1 when the stream breaks.
qint64 plainDownloadNs(int fd, qint64 dumpBytes)
{
    const QString request = StationProtocol::burstCommand(StationProtocol::kBurstDownloadWord,
                                                          kPeriod[0], kPeriod[1], kPeriod[2],
                                                          kPeriod[3], kPeriod[4]);
    if (!writeAll(fd, request.toLatin1()))
        return -1;
    char buffer[kReadChunk];
    pollfd input = {fd, POLLIN, 0};
    while (::poll(&input, 1, kAnswerQuietMs) > 0 && ::read(fd, buffer, sizeof buffer) > 0) {
    }
    const int out = ::open(qPrintable(kPlainFile), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0)
        return -1;
    QElapsedTimer clock;
    clock.start();
    qint64 received = writeAll(fd, StationProtocol::kBurstAck) ? 0 : -1;
    while (received >= 0 && received < dumpBytes) {
        const ssize_t n = ::poll(&input, 1, kSilenceLimitMs) > 0 ? ::read(fd, buffer, sizeof buffer) : -1;
        received = n > 0 && writeAll(out, QByteArray::fromRawData(buffer, int(n))) ? received + n : -1;
    }
    const qint64 ns = clock.nsecsElapsed();
    ::close(out);
    return received == dumpBytes ? ns : -1;
}

// A socket connected to the station, or -1.
int connectTo(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0)
        return fd;
    if (fd >= 0)
        ::close(fd);
    return -1;
}

// The station's terminal, opened raw as a serial port would be, or -1.
int openTerminal(const QString &path)
{
    const int fd = ::open(qPrintable(path), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios mode{};
    if (fd >= 0 && ::tcgetattr(fd, &mode) == 0) {
        ::cfmakeraw(&mode);
        if (::tcsetattr(fd, TCSANOW, &mode) == 0)
            return fd;
    }
    if (fd >= 0)
        ::close(fd);
    return -1;
}

// Downloads the dump through the link, then through the plain reader, and reports
// both with how much MarlowDesk's download raised the peak memory.
int runDump(const QString &transport)
{
    QProcess server;
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.start(QCoreApplication::applicationFilePath(),
                 QCoreApplication::arguments().mid(1)
                     + QStringList{QStringLiteral("--phase"), QStringLiteral("station-") + transport});
    if (!server.waitForReadyRead(-1))
        return broke(QStringLiteral("the station process did not start"));
    const QStringList served = QString::fromLocal8Bit(server.readLine()).simplified().split(' ');
    if (served.size() != 3)
        return broke(QStringLiteral("the station process said \"%1\"").arg(served.join(' ')));
    const QString address = served.at(0);
    const qint64 dumpBytes = served.at(1).toLongLong();
    const bool overTcp = transport == QLatin1String("tcp");
    const qint64 before = peakResidentBytes();
    qint64 oursNs = std::numeric_limits<qint64>::max();
    qint64 plainNs = std::numeric_limits<qint64>::max();
    // Each side in turn, best of three: a loaded machine shifts single runs a lot.
    for (int round = 0; round < kDumpRounds && plainNs >= 0; ++round) {
        std::unique_ptr<TcpLink> tcpLink;
        std::unique_ptr<SerialLink> serialLink;
        if (overTcp)
            tcpLink = std::make_unique<TcpLink>(quint16(address.toUInt()));
        else
            serialLink = std::make_unique<SerialLink>(address);
        CommandsManager &link = overTcp ? *tcpLink->link : *serialLink->link;
        const QString serial = requestBurst(link);
        if (serial != served.at(2))
            return broke(QStringLiteral("the burst request over %1 was answered with \"%2\"")
                             .arg(transport, serial));
        QElapsedTimer clock;
        clock.start();
        if (link.readBurstData(serial) != kSuccess)
            return broke(QStringLiteral("the download over %1 failed").arg(transport));
        oursNs = qMin(oursNs, clock.nsecsElapsed());
        const QString fileName = BurstFile::fileName(serial);
        if (QFileInfo(fileName).size() != dumpBytes)
            return broke(QStringLiteral("the file holds %1 bytes, not %2")
                             .arg(QFileInfo(fileName).size())
                             .arg(dumpBytes));
        QFile::remove(fileName);
        // The station serves one reader at a time.
        tcpLink.reset();
        serialLink.reset();

        const int fd = overTcp ? connectTo(quint16(address.toUInt())) : openTerminal(address);
        const qint64 ns = fd < 0 ? -1 : plainDownloadNs(fd, dumpBytes);
        if (fd >= 0)
            ::close(fd);
        plainNs = ns < 0 ? -1 : qMin(plainNs, ns);
    }
    const qint64 after = peakResidentBytes();
    server.closeWriteChannel();
    server.waitForFinished(-1);
    if (plainNs < 0)
        return broke(QStringLiteral("the plain reader over %1 failed").arg(transport));

    sayPair(QStringLiteral("download of %1 over %2, best of %3")
                .arg(mb(dumpBytes), overTcp ? "TCP" : "a pty")
                .arg(kDumpRounds),
            oursNs,
            QString::fromLatin1(overTcp ? "plain socket reader" : "plain read() loop")
                + QStringLiteral(" + 100 ms closing silence"),
            plainNs + kClosingSilenceNs);
    const double increase = megabytes(after - before);
    say(QStringLiteral("  MarlowDesk's peak RSS %1 before, %2 after, increase %3 MB: %4 (bound %5 MB)")
            .arg(mb(before), mb(after))
            .arg(increase, 0, 'f', 1)
            .arg(increase <= kDumpMemoryBoundMb ? QStringLiteral("PASS") : QStringLiteral("FAIL"))
            .arg(kDumpMemoryBoundMb));
    return 0;
}

// The whole collection of the burst by marlowdesk-collect's code, in this process,
// beside the plain reader's download of the same dump plus curl's upload of the
// same requests; each side in turn, best of three.
int runCollect(const Options &options)
{
    SimulatedStation station;
    station.setBurstLineCount(options.records);
    TcpStation tcp(station);
    BenchPlatform platform;
    QFile token(QStringLiteral("token"));
    if (!tcp.start() || !platform.start(QStringLiteral("bodies.bin")) || !token.open(QIODevice::WriteOnly)
        || token.write(kToken.toUtf8()) < 0 || !token.flush())
        return broke(QStringLiteral("the station, the platform or the token file cannot be set up"));
    const QStringList arguments{QStringLiteral("marlowdesk-collect"), QStringLiteral("--tcp"),
                                QStringLiteral("127.0.0.1:%1").arg(tcp.port()), QStringLiteral("--timeout"),
                                QString::number(kTcpTimeoutMs), QStringLiteral("--from"),
                                QStringLiteral("2019-05-27 14"), QStringLiteral("--days"), kPeriod[4],
                                QStringLiteral("--token-file"), token.fileName(), QStringLiteral("--out"),
                                QStringLiteral("collected"), QStringLiteral("--state"),
                                QStringLiteral("state.json"), QStringLiteral("--json")};
    const QString curl = QStandardPaths::findExecutable(QStringLiteral("curl"));
    qint64 collectNs = std::numeric_limits<qint64>::max();
    qint64 plainNs = collectNs;
    qint64 curlNs = collectNs;
    qint64 fileBytes = 0;
    QString phases;   // the summary of the best round, with its seconds per phase
    for (int round = 0; round < kRounds; ++round) {
        platform.restartTally();
        Collector collector;
        collector.setPlatform(platform.baseUrl(), PlatformClient::kDefaultTimeoutMs);
        QString summary;
        QString progress;
        QTextStream out(&summary);
        QTextStream err(&progress);
        QElapsedTimer clock;
        clock.start();
        const int status = collector.run(arguments, out, err);
        const qint64 ns = clock.nsecsElapsed();
        if (ns < collectNs)
            phases = summary.trimmed().section(QLatin1Char('\n'), -1);
        collectNs = qMin(collectNs, ns);
        if (status != Collector::Collected || platform.records != options.records + 1)
            return broke(QStringLiteral("the collection ended with status %1, %2 records on the platform")
                             .arg(status)
                             .arg(platform.records));
        fileBytes = QFileInfo(QStringLiteral("collected/ST1234_2019052714_7d_data.log")).size();
        if (!curl.isEmpty())
            curlNs = qMin(curlNs, replayWithCurl(curl, platform));
        const int fd = connectTo(tcp.port());
        const qint64 plain = fd < 0 ? -1 : plainDownloadNs(fd, fileBytes);
        if (fd >= 0)
            ::close(fd);
        if (plain < 0)
            return broke(QStringLiteral("the plain reader's download failed"));
        plainNs = qMin(plainNs, plain);
    }
    say(QStringLiteral("  collection, best round: %1").arg(phases));
    const QString work = QStringLiteral("collection of %1 records over TCP by marlowdesk-collect (%2, request, "
                                        "authentication, download, upload), best of %3")
                             .arg(options.records)
                             .arg(mb(fileBytes))
                             .arg(kRounds);
    if (curl.isEmpty()) {
        say(QStringLiteral("%1: MarlowDesk %2 | curl not found, no baseline (scripts/bench.sh installs it)")
                .arg(work, seconds(collectNs)));
        return 0;
    }
    sayPair(work, collectNs, QStringLiteral("plain socket reader + 100 ms closing silence + curl's upload"),
            plainNs + kClosingSilenceNs + curlNs);
    return 0;
}

int runPhase(const QString &phase, const Options &options)
{
    if (phase.startsWith(QLatin1String("station-")))
        return serveStation(phase.mid(8), options);
    // The burst file goes to the working directory: keep it out of the caller's.
    QTemporaryDir workDir;
    if (!workDir.isValid() || !QDir::setCurrent(workDir.path()))
        return broke(QStringLiteral("no temporary directory"));
    if (phase == QLatin1String("decode"))
        return runDecode(options);
    if (phase == QLatin1String("burst"))
        return runBurst(options);
    if (phase == QLatin1String("collect"))
        return runCollect(options);
    if (phase == QLatin1String("upload-closing"))
        return runClosingUpload(options);
    if (phase == QLatin1String("dump-tcp"))
        return runDump(QStringLiteral("tcp"));
    if (phase == QLatin1String("dump-serial"))
        return runDump(QStringLiteral("pty"));
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
    for (const char *phase : {"decode", "burst", "upload-closing", "collect", "dump-tcp", "dump-serial"}) {
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
        "Burst throughput and memory figures next to their baselines, against the simulated "
        "station and a local platform."));
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
                                                        "upload-closing, collect, dump-tcp or dump-serial."),
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
