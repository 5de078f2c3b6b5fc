// marlowdesk-soak: random operator sessions of the real main window against both simulators, faults on both
// sides, and after every step check() by the simulators' own records. Each session has a seed of its own:
//   marlowdesk-soak [--seed N] [--seconds S] [--steps K]   or   marlowdesk-soak --replay SEED:STEP

#include "burstfile.h"
#include "burstrecord.h"
#include "exchange.h"
#include "simulatedplatform.h"
#include "stationbench.h"
#include "stationprotocol.h"

#include <unistd.h>

namespace {

using namespace StationProtocol;

constexpr int kReplyMs = 300;          // every exchange's first reply; the TCP time-out
constexpr int kBurstSilenceMs = 600;   // the silence that ends a dump
constexpr int kPlatformMs = 1000;      // a platform answer's
constexpr int kRunDelayMs = 150;       // the platform's pause while the operator acts during a run
constexpr int kSlackMs = 5000;         // a step's own work besides its waits, sanitizers included
constexpr Exchange::Caps kReplyCaps = {4096, 800};   // shortened, so that a runaway reply is given up sooner
// A reply that never ends: longer than a step may take, its pieces well inside a reply's silence gap.
constexpr int kEndlessMs = 8000, kEndlessGapMs = 30;
constexpr int kChatterBytes = 160 * 1024, kChatterBlock = 1000, kChatterPauseMs = 20;   // talking on after "END"
// How much a finished download may hold after "END": the block that holds it (serial), or the 64 KiB
// that TCP may still take; both with room for a window slowed down by the machine.
constexpr int kAfterEndSerial = 32 * 1024, kAfterEndTcp = 80 * 1024;
constexpr int kFullDiskBytes = 16 * 1024;   // the small file system of a disk that fills
const QString kToken = QStringLiteral("token é"), kTokenRefused = QStringLiteral("Authentication failure");
const QString kFinished = QStringLiteral("Burst Mode finished");   // the upload's last text and box
const QString kDownloadFailed = QStringLiteral("Burst Mode failure / Error during burst mode : Export data from Station");
const QByteArray kEarlierDownload("an earlier download\r\n");
using Request = SimulatedPlatform::Request;

// Sent instead of an answer: zero bytes, bytes that are not UTF-8, multi-byte characters.
const QByteArray kJunk[] = {QByteArrayLiteral("SENDCONFIG:OK\0\r\n"), QByteArrayLiteral("\0Torvia SENSERIAL:OK"),
                            "OK:\xff\xfeST\xc3 sensErial:ok burstmode:Ok", "SENDCONFIG:SERIAL=\xc3\xa9|SSID=\xe2\x82|"};

enum Act { Connect, Read, Send, Date, Reset, StationBurst, DeskBurst, Stop, Disconnect, Switch, ActCount };
// What the operator can do, by the control he uses, and the commands it may send.
const struct { const char *name, *control; QList<QByteArray> commands; } kActs[ActCount] = {
    {"connect", "actionConnect", {kResetByte, kGetConfig}}, {"read", "getconfigButton", {kResetByte, kGetConfig}},
    {"send", "setconfigButton", {"SENDCONFIG:", kGetConfig}}, {"date", "dateButton", {kResetByte, "SENSDATE:", kGetConfig}},
    {"reset", "resetButton", {kResetByte, kTcpReset}}, {"station burst", "startburstmodeButton_station", {"BURSTMODE:"}},
    {"burst", "startburstmodeButton_marlowdesk", {"BURSTMODEF:", "BURSTMODEF:OK"}},
    {"stop", "stopburstmodeButton", {kStopBurst, kTcpReset}}, {"disconnect", "actionDisconnect", {}},
    {"switch", "actionSetMode", {}}};

// The success texts, and what the station's answers to these commands must match for them, over
// serial and over TCP ("." any text; the TCP reset has no answer, it must only have arrived).
struct Proof { QByteArray command; QString pattern; };
const struct { QString info; QList<Proof> serial, tcp; } kSuccesses[] = {
    {"Configuration successfully received", {{kResetByte, kResetBanner}, {kGetConfig, "."}}, {{kGetConfig, "."}}},
    {"Configuration successfully sent", {{"SENDCONFIG:", '^' + kConfigAck + '$'}}, {{kGetConfig, "."}}},
    {"Date successfully sent", {{"SENSDATE:", "(?i)" + kDateAck}}, {{kGetConfig, "."}}},
    {"Reset success", {{kResetByte, kResetBanner}}, {{kTcpReset, ""}}},
    {"Start Burst Mode success", {{"BURSTMODE:", "(?i)" + kBurstAckReply}}, {{"BURSTMODE:", "(?i)" + kBurstAckReply}}},
    {"Stop Burst Mode success", {{kStopBurst, "(?i)" + kStopBurstAck}}, {{kTcpReset, ""}}}};

QString printable(const QByteArray &bytes) { return QString::fromLatin1(bytes.toPercentEncoding(" :=|/,\"")); }

void say(const QString &text, const char *end = "\n") { QTextStream(stdout) << text << end << Qt::flush; }

// One session: a fresh window, station and link; random acts with random faults.
class Session
{
public:
    Session(quint32 seed, SimulatedPlatform &platform, const QString &fullDisk)
        : length(QRandomGenerator(seed).bounded(5, 40)), seed(seed), rng(seed + 1), platform(platform),
          fullDisk(fullDisk)
    {
        bench.replyLimitMs = kReplyMs;
        bench.burstSilenceMs = kBurstSilenceMs;
        bench.replyCaps = kReplyCaps;
        bench.applyLimits();
        bench.usePlatform(platform.baseUrl(), kPlatformMs);
        StationConfig config = bench.station.config();
        config.SERIAL = QStringList{"ST1234", QStringLiteral("ÉTÉ-Ω7"), "S/../x y"}.at(rng.bounded(3));
        bench.station.setConfig(config);
        bench.find("Page2")->setEnabled(true);   // as the Advanced password does
        bench.find<QLineEdit>("burst_token")->setText(kToken);
        rng.bounded(2) ? bench.useTcp() : bench.useSerial();
    }

    void step(int number)
    {
        QVector<Act> open;   // what the operator can do now; the burst from MarlowDesk more often than the rest
        for (int act = 0; act < ActCount; ++act) {
            if (!bench.enabled({kActs[act].control}).isEmpty())
                open << Act(act);
        }
        const Act act = open.contains(DeskBurst) && rng.bounded(3) == 0 ? DeskBurst : open.at(rng.bounded(open.size()));
        const bool serial = bench.mode() == MainWindow::Serial, wasStale = stale;
        const int first = bench.station.receivedCommands().size(), faultsBefore = faults;
        notes = stepFailures = bench.boxes = QStringList();
        bench.find<QLabel>("info")->clear();   // a text left by an earlier step is not this one's
        platform.reset();
        actedDuringRun = chatter = false;
        drainMs = 0;
        const int dumpSize = act == DeskBurst ? prepareBurst() : 0;
        int pauses = 0;   // up to two station faults
        for (int n = kActs[act].commands.isEmpty() ? 0 : rng.bounded(3); n > 0; --n)
            pauses += armStationFault(act, dumpSize);
        const qint64 bound = kSlackMs + 6 * kReplyMs + pauses
                             + (act == DeskBurst ? kBurstSilenceMs + 5 * (kPlatformMs + kRunDelayMs) : 0);

        // Written before the step, so that a step that never returns shows.
        say(QStringLiteral("%1:%2 %3 %4").arg(seed).arg(number).arg(serial ? "serial" : "tcp", kActs[act].name), "");
        const qint64 start = QDateTime::currentMSecsSinceEpoch();
        running = true;
        if (act == Send) {
            bench.find<QLineEdit>("ssid")->setText(rng.bounded(2) ? "home" : QStringLiteral("Café Ω"));
            bench.find<QLineEdit>("vboxport")->setText(rng.bounded(4) ? "5000" : "");   // empty: incomplete
            bench.find<QComboBox>("comboBox")->setCurrentIndex(rng.bounded(4));
        }
        if (act == Switch)
            switchMode();
        else if (act == Connect || act == Disconnect)
            bench.trigger(kActs[act].control);
        else
            bench.click(kActs[act].control);
        running = false;
        const qint64 took = QDateTime::currentMSecsSinceEpoch() - start;
        QObject::disconnect(&platform, &SimulatedPlatform::requestReceived, nullptr, nullptr);
        // Late answers and pieces go out; a serial line loses what comes while the port is closed.
        QTest::qWait(pauses + drainMs + 200);
        if (serial && bench.mode() == MainWindow::Serial && bench.enabled({"actionDisconnect"}).isEmpty())
            bench.pty.discardPending();

        if (took > bound)
            fail(QStringLiteral("took %1 ms, longer than its bound of %2 ms").arg(took).arg(bound));
        check(act, serial, first, wasStale);
        QDir::setCurrent(home);   // back from the full disk
        bench.station.clearFaults();
        // What a clean exchange leaves behind has all been read; a closed link keeps nothing.
        const QString info = bench.info();
        const bool clean = faults == faultsBefore && !actedDuringRun && (info.contains("success") || boxShown(kFinished));
        if (act == Disconnect || act == Switch || bench.station.receivedCommands().size() > first)
            stale = act != Disconnect && act != Switch && !clean;

        const QString what = notes.isEmpty() ? QString() : ": " + notes.join("; ");
        say(what + QStringLiteral(" -> \"%1\", %2 boxes, %3 ms").arg(info).arg(bench.boxes.size()).arg(took));
        for (const QString &failure : std::as_const(stepFailures))
            say(QStringLiteral("FAIL %1:%2 %3 (replay: --replay %1:%2)").arg(seed).arg(number).arg(failure));
        failures += stepFailures.size();
    }

    int length, faults = 0, failures = 0;

private:
    void fail(const QString &what) { stepFailures << what; }
    void inject(const QString &fault) { notes << fault; ++faults; }
    bool boxShown(const QString &title) const { return !bench.boxes.filter(QRegularExpression('^' + title)).isEmpty(); }

    // To the other link, with its settings applied; only while disconnected.
    void switchMode()
    {
        if (bench.mode() == MainWindow::Serial)
            return bench.useTcp();
        bench.trigger("actionSetMode");
        bench.useSerial();
    }

    // Arms a fault on a command that the act sends over this link; returns the pauses it adds.
    int armStationFault(Act act, int dumpSize)
    {
        QList<QByteArray> commands = kActs[act].commands;
        const bool serial = bench.mode() == MainWindow::Serial;   // each link sends only its own reset and stop
        for (const QByteArray &other : serial ? QByteArrayList{kTcpReset} : QByteArrayList{kResetByte, kStopBurst})
            commands.removeAll(other);
        const QByteArray command = commands.at(rng.bounded(commands.size()));
        const QByteArray junk = kJunk[rng.bounded(int(std::size(kJunk)))];
        const bool dump = command == "BURSTMODEF:OK";
        int kind = rng.bounded(5);
        const int pause = rng.bounded(2) ? 30 : 250;
        const int after = rng.bounded(dump ? qMax(1, dumpSize) : 40);
        const int late = dump ? rng.bounded(kBurstSilenceMs / 2) : rng.bounded(2) ? kReplyMs / 3 : kReplyMs + 200;
        const QList<int> cuts{rng.bounded(1, 24), rng.bounded(24, 48)};
        // A reply that never ends, in small pieces (the time cap ends it) or large ones (the size cap).
        // Not the serial reset's, whose reply ends at a pause of 10 ms, closer than pieces can keep.
        const int endlessPiece = rng.bounded(2) ? 16 : 600;
        if (!dump && command != kResetByte && rng.bounded(4) == 0)
            kind = 5;
        QList<QPair<QByteArray, int>> endless;
        for (int n = 0; n < kEndlessMs / kEndlessGapMs; ++n)
            endless.append({QByteArray(endlessPiece, 'a' + n % 26), n ? kEndlessGapMs : 0});
        // Each kind: the fault, its note and the pauses it adds; an endless reply must be given up at the cap.
        const struct { StationFault fault; QString note; int pauses; } kinds[] = {
            {StationFault::silent(), "silent", 0}, {StationFault::late(late), QStringLiteral("late %1 ms").arg(late), late},
            {StationFault::split(cuts, pause),
             QStringLiteral("split at %1, %2, %3 ms apart").arg(cuts[0]).arg(cuts[1]).arg(pause), 2 * pause},
            {StationFault::wrongText(junk), "answered \"" + printable(junk) + '"', 0},
            {StationFault::drop(false, after), QStringLiteral("hangs up after %1 bytes").arg(after), 0},
            {StationFault::inPieces(endless),
             QStringLiteral("never ends: %1 bytes every %2 ms").arg(endlessPiece).arg(kEndlessGapMs), kReplyCaps.ms}};
        bench.station.setFault(command, kinds[kind].fault);
        inject((command == kResetByte ? QStringLiteral("reset byte") : printable(command)) + ' ' + kinds[kind].note);
        if (kind == 5)   // the station talks on meanwhile
            drainMs = qMax(drainMs, kEndlessMs);
        return kinds[kind].pauses;
    }

    // Clears the folder; arms the dump, the platform and maybe an act during the run. Returns the dump's size.
    int prepareBurst()
    {
        // The burst file on a file system too small for most dumps (only where the soak can mount one).
        if (rng.bounded(6) == 0 && !fullDisk.isEmpty() && QDir::setCurrent(fullDisk))
            inject(QStringLiteral("the burst file on a disk of %1 KiB").arg(kFullDiskBytes / 1024));
        for (const QString &name : QDir().entryList(QDir::Files | QDir::Hidden))
            QFile::remove(name);
        // An earlier download, which only a whole new dump may replace.
        earlierName = BurstFile::fileName(bench.station.config().SERIAL);
        if (QFile earlier(earlierName); earlier.open(QIODevice::WriteOnly))
            earlier.write(kEarlierDownload);
        const int lines = rng.bounded(3) ? rng.bounded(200, 520) : rng.bounded(6);
        bench.station.setDump(QByteArray());
        bench.station.setBurstLineCount(lines);
        QByteArray dump = bench.station.dumpBytes();
        const int block = dump.size() / (1 + rng.bounded(6)) + 1, pause = rng.bounded(120);
        notes << QStringLiteral("dump of %1 lines in blocks of %2 bytes, %3 ms apart").arg(lines).arg(block).arg(pause);
        if (rng.bounded(2)) {   // a zero byte, a byte that is not UTF-8, or a character split between blocks
            const QByteArray odd = QList<QByteArray>{QByteArray(1, '\0'), "\xff", "\xc3\xa9"}.at(rng.bounded(3));
            const int end = dump.lastIndexOf("END");
            const int at = odd.size() == 2 && block <= end ? block - 1 : rng.bounded(end + 1);
            dump.insert(at, odd);
            inject("dump holds " + printable(odd) + " at " + QString::number(at));
        }
        chatter = rng.bounded(6) == 0;
        if (chatter) {
            dump += QByteArray(98, 'x').append("\r\n").repeated(kChatterBytes / 100);
            inject(QStringLiteral("%1 bytes after the end, %2 bytes every %3 ms")
                       .arg(kChatterBytes).arg(kChatterBlock).arg(kChatterPauseMs));
            drainMs = dump.size() / kChatterBlock * kChatterPauseMs;
        }
        bench.station.setDump(dump);
        bench.station.setDumpBlocks(chatter ? kChatterBlock : block, chatter ? kChatterPauseMs : pause);
        // A pasted token: white space around it is dropped; a line end inside it sends nothing.
        token = QStringList{kToken, kToken + "\r\n", " \t" + kToken + "\n", "token\r\nX-Injected: 1"}
                    .at(rng.bounded(4) ? 0 : rng.bounded(1, 4));
        bench.find<QLineEdit>("burst_token")->setText(token);
        if (token != kToken)
            inject("token \"" + printable(token.toUtf8()) + '"');
        for (int n = rng.bounded(3); n > 0; --n) {   // up to two rules: the token's, or from a packet on
            const int from = rng.bounded(-1, 3);
            const QString rule = (from < 0 ? QStringLiteral("auth") : QString::number(from) + '+') + '='
                + QStringList{"refuse", "http-error", "not-json", "no-answer", "cut:0", "cut:30", "accept,close-after",
                              "accept,chunked,pieces:9:5", QStringLiteral("late:%1").arg(kPlatformMs / 4),
                              QStringLiteral("late:%1").arg(kPlatformMs + 500),
                              // ended with a close_notify alone once idle, TCP left open
                              QStringLiteral("accept,close-notify-idle:%1").arg(kPlatformMs / 20)}.at(rng.bounded(11));
            platform.setAnswerRule(rule);
            inject("platform " + rule);
        }
        if (rng.bounded(3) == 0) {   // the operator acts while the platform answers
            const int request = rng.bounded(3), what = rng.bounded(3);
            platform.setAnswerDelay(kRunDelayMs);
            QObject::connect(&platform, &SimulatedPlatform::requestReceived, &bench.window, [=] {
                if (platform.requests().size() == request + 1)
                    QTimer::singleShot(0, &bench.window, [=] { actDuringRun(what, request); });
            });
        }
        return dump.size();
    }

    void actDuringRun(int what, int request)
    {
        if (!running)
            return;
        const QStringList on = bench.enabled();
        if (on.contains("startburstmodeButton_marlowdesk") || on.contains("startburstmodeButton_station"))
            fail("a second burst could start during the run: " + on.join(' '));
        notes << QStringList{"stop", "disconnect", "switch"}.at(what) + " at request " + QString::number(request);
        actedDuringRun = true;
        if (what == 0)
            return bench.click("stopburstmodeButton");
        bench.trigger("actionDisconnect");
        if (what == 2)
            switchMode();
    }

    // The controls follow the connection gate and the burst-run rules; a success is shown
    // only when the station's answers in this step carry it.
    void check(Act act, bool serial, int first, bool wasStale)
    {
        const QStringList seven = bench.enabled();
        const bool connected = bench.status().startsWith("Connected to");
        if (bench.gate() != (connected ? QStringList("actionDisconnect") + seven << "console"
                                       : QStringList{"actionConnect", "actionConfigure", "actionSetMode"} + seven))
            fail("connection controls out of step: " + bench.gate().join(' ') + " with the status " + bench.status());
        // A burst run leaves all seven on; a configuration read all or none, as it went; disconnecting none.
        const QString info = bench.info();
        const bool read = (act == Connect || act == Read) && connected, readOk = info == kSuccesses[0].info;
        const bool allOn = act == StationBurst || act == DeskBurst || (read && readOk);
        const bool noneOn = act == Disconnect || (read && !readOk);
        if ((allOn && seven != StationBench::kOperationControls) || (noneOn && !seven.isEmpty()))
            fail(QStringLiteral("after \"%1\" these controls are on: %2").arg(info, seven.join(' ')));

        const QList<QByteArray> commands = bench.station.receivedCommands(), answers = bench.station.sentAnswers();
        for (const auto &success : kSuccesses) {
            for (const Proof &proof : success.info != info || wasStale ? QList<Proof>() : serial ? success.serial
                                                                                                 : success.tcp) {
                int at = commands.size() - 1;   // the last such command: its answer alone, or the step's up to it
                while (at >= first && !commands.at(at).startsWith(proof.command))
                    --at;
                const QRegularExpression pattern(proof.pattern);
                const QByteArray own = answers.value(at), upTo = answers.mid(first, at + 1 - first).join();
                if (at < first || !(pattern.match(Exchange::decode(own)).hasMatch()
                                    || pattern.match(Exchange::decode(upTo)).hasMatch()))
                    fail('"' + info + "\" shown; the station's answers to " + printable(proof.command) + " disagree");
            }
        }
        if (act == DeskBurst)
            checkBurst(first, commands, answers);
    }

    static QByteArray contents(const QString &name)
    {
        QFile file(name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // The burst file holds the station's bytes; the platform has the file's records, once and in order.
    void checkBurst(int first, const QList<QByteArray> &commands, const QList<QByteArray> &answers)
    {
        // A download that failed leaves the earlier file as it was and what arrived in the ".part" beside it.
        const QStringList parts = QDir().entryList({"*.part"}, QDir::Files | QDir::Hidden);
        const bool failed = boxShown(kDownloadFailed), finished = boxShown("Serial Transfer finished");
        if (parts.size() != (failed ? 1 : 0))
            fail(QStringLiteral("%1 .part files after the download").arg(parts.size()));
        // The download is named after the serial in the station's answer, which stale bytes may have changed.
        QStringList downloads = QDir().entryList(QDir::Files | QDir::Hidden);
        for (const QString &other : parts + QStringList(earlierName))
            downloads.removeOne(other);
        const QByteArray kept = contents(earlierName);
        if (!finished && (kept != kEarlierDownload || !downloads.isEmpty()))
            fail("a download that did not finish did not leave the earlier file as it was");
        const QByteArray bytes = !finished ? contents(parts.value(0))
                                 : kept != kEarlierDownload ? kept : contents(downloads.value(0));
        // A disk that filled keeps in the .part what fit of what arrived.
        const bool diskFull = !bench.boxes.filter("No space left on device").isEmpty();
        if (diskFull && !failed)
            fail("the disk filled, but the download was not reported failed");
        if (failed && platform.uploadCount() > 0)
            fail(QStringLiteral("%1 packets of a failed download were uploaded").arg(platform.uploadCount()));
        // Every request carries the token without the white space around it; one holding a line end
        // inside is never sent, and the run ends as for a token that the platform refused.
        for (const Request &request : platform.requests()) {
            if (request.headers.value("authorization") != token.trimmed().toUtf8() || request.headers.contains("x-injected"))
                fail("a request carried the token as \"" + printable(request.headers.value("authorization")) + '"');
        }
        if (token.trimmed().contains('\n')
            && (!platform.requests().isEmpty() || !boxShown(kTokenRefused) || commands.mid(first).contains(kBurstAck)))
            fail("a token with a line end inside was not refused before anything was sent");
        if (platform.writesAfterCloseNotify() > 0)
            fail("a request was written on a connection that the platform had ended with a close_notify");
        const int afterEnd = bytes.size() - (bytes.lastIndexOf("END") + 3);
        if (finished && chatter && afterEnd > (bench.mode() == MainWindow::Serial ? kAfterEndSerial : kAfterEndTcp))
            fail(QStringLiteral("the download went on for %1 bytes after \"END\"").arg(afterEnd));
        const int ack = commands.lastIndexOf(kBurstAck);
        const bool acked = ack >= first;   // all that the station sent up to the dump's end, and the dump
        const QByteArray sent = answers.mid(0, acked ? ack + 1 : answers.size()).join();
        const int dumpSize = acked ? answers.at(ack).size() : 0;
        // The file: what the window had not read before the dump, then the dump, which may stop short once "END" came.
        const int at = sent.indexOf(bytes, qMax(0, sent.size() - dumpSize - bytes.size()));
        if (at < 0 || (at + bytes.size() < sent.size() && !bytes.contains("END") && !diskFull))
            fail(QStringLiteral("the burst file (%1 bytes) is not what the station sent (a dump of %2 bytes)")
                     .arg(bytes.size()).arg(dumpSize));
        if (finished && !bytes.contains("END"))
            fail("the download was reported finished, but the station never sent its end");

        QStringList expected, received;   // the file's lines decoded as the upload reads them; the platform's records
        QTextStream stream(bytes, QIODevice::ReadOnly | QIODevice::Text);
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
        stream.setCodec("UTF-8");   // Qt 6 streams read UTF-8 by default
#endif
        for (QString line; stream.readLineInto(&line);) {
            if (const QString record = BurstRecord::decode(line); record.size() > 1)
                expected << record;
        }
        const QList<Request> requests = platform.requests();
        for (const Request &request : requests) {
            for (const QString &record : platform.item(request.bodyItems, "data").split("\r\n", Qt::SkipEmptyParts))
                received << record + "\r\n";
        }
        int next = 0;
        for (const QString &record : std::as_const(received)) {
            while (next < expected.size() && expected.at(next) != record)
                ++next;
            if (next++ == expected.size())
                return fail("the platform got a record that does not follow in the file: " + record);
        }
        const auto yes = [](const Request &request) {   // as the platform's rules have it, in time
            return request.answer.accepts() && request.answer.delayMs + kRunDelayMs < kPlatformMs;
        };
        if (finished && !yes(requests.value(0)))
            fail("the dump was taken although the platform did not accept the token");
        if (boxShown(kFinished) && (!std::all_of(requests.begin(), requests.end(), yes) || received != expected))
            fail(QStringLiteral("finished, but the platform has %1 of %2 records, or said no")
                     .arg(received.size()).arg(expected.size()));
    }

    quint32 seed;
    QRandomGenerator rng;
    SimulatedPlatform &platform;
    StationBench bench;
    bool stale = false;   // the station may have sent what the window has not read yet
    bool running = false, actedDuringRun = false, chatter = false;   // chatter: the dump goes on after "END"
    QString earlierName;   // the burst file of an earlier download, put in place before each burst
    const QString fullDisk, home = QDir::currentPath();
    QString token;
    int drainMs = 0;       // how long the station goes on sending after the step
    QStringList notes, stepFailures;
};

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QLoggingCategory::setFilterRules("default.debug=false\ndefault.warning=false");   // the window's diagnostics
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const auto option = [&](const char *name, const QString &otherwise) {
        return args.indexOf(name) > 0 ? args.value(args.indexOf(name) + 1) : otherwise;
    };
    const QStringList replay = option("--replay", "").split(':');
    const bool replaying = replay.size() == 2;
    const quint32 seed = option("--seed", QString::number(QRandomGenerator::system()->generate())).toUInt();
    const qint64 maxSteps = option("--steps", "-1").toLongLong();
    const qint64 seconds = option("--seconds", maxSteps < 0 ? "30" : "-1").toLongLong();
    QTemporaryDir folder;   // where the burst files go
    SimulatedPlatform platform;
    if (!folder.isValid() || !QDir::setCurrent(folder.path()) || !platform.start())
        return 2;
    // A disk that fills: a small file system of its own, which only root can mount.
    const QString fullDisk = folder.filePath("full");
    const bool mounted = geteuid() == 0 && QDir().mkdir(fullDisk)
        && QProcess::execute("mount", {"-t", "tmpfs", "-o", QStringLiteral("size=%1").arg(kFullDiskBytes),
                                       "tmpfs", fullDisk}) == 0;
    const auto unmount = qScopeGuard([&] { if (mounted) QProcess::execute("umount", {fullDisk}); });
    platform.trustInThisProcess();
    say("marlowdesk-soak " + (replaying ? "--replay " + replay.join(':') : "--seed " + QString::number(seed))
        + (mounted ? QString() : QStringLiteral(" (not root: no full disk)")));

    QRandomGenerator sessionSeeds(seed);
    const QDeadlineTimer end(seconds < 0 ? QDeadlineTimer::Forever : QDeadlineTimer(seconds * 1000));
    const auto more = [&](qint64 steps) { return !end.hasExpired() && (maxSteps < 0 || steps < maxSteps); };
    qint64 sessions = 0, steps = 0, faults = 0, failures = 0;
    for (bool again = true; again; again = !replaying && more(steps), ++sessions) {
        Session session(replaying ? replay[0].toUInt() : sessionSeeds.generate(), platform, mounted ? fullDisk : QString());
        const int last = replaying ? qMin(session.length, replay[1].toInt()) : session.length;
        for (int step = 1; step <= last && (replaying || more(steps)); ++step, ++steps)
            session.step(step);
        faults += session.faults;
        failures += session.failures;
    }
    say(QStringLiteral("%1 sessions, %2 steps, %3 faults injected, %4 invariant failures")
            .arg(sessions).arg(steps).arg(faults).arg(failures));
    return failures > 0 ? 1 : 0;
}
