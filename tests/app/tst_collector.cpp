#include "burstrecord.h"
#include "collectprogress.h"
#include "collector.h"
#include "localports.h"
#include "ptystation.h"
#include "sampleconfig.h"
#include "serialcommands.h"
#include "simulatedplatform.h"
#include "simulatedstation.h"
#include "tcpstation.h"
#include "wificommands.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

namespace {

const QString kToken = "sEcReT-t0ken-42";
const QDateTime kNow(QDate(2026, 12, 8), QTime(20, 30));
const QString kPeriod = " --from 2026-12-01~00 --days 1";
QStringList debugLines;
QtMessageHandler previousHandler;

} // namespace

Q_DECLARE_METATYPE(StationFault)

// marlowdesk-collect run in this process (no QApplication: a widget would abort it) against the
// simulated station over TCP and a pseudo-terminal and the simulated platform; the program itself once.
class TestCollector : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    SimulatedPlatform platform;
    SimulatedStation station;
    TcpStation tcp{station};
    PtyStation pty{station};
    const StationConfig stationConfig = station.config();
    QString out, err;
    QJsonObject summary;   // the last line of the output

    QString path(const QString &name) const { return dir.filePath(name); }
    QString link(bool overTcp) const
    {
        return overTcp ? "--tcp 127.0.0.1:" + QString::number(tcp.port()) + " --timeout 300"
                       : "--serial " + pty.slavePath();
    }

    // Runs the collector on words (split at blanks; "~" stands for a blank inside one), in this process or as
    // the program itself with no display at all. The token shows nowhere, not in the summary, the progress or
    // the debug lines: if it does, the status is -1.
    int collect(const QString &words, const QDateTime &now = kNow, bool process = false)
    {
        const QStringList arguments = words.split(' ', Qt::SkipEmptyParts).replaceInStrings("~", " ")
            + QStringList{"--state", path("state.json"), "--out", path("out")};
        int status = -2;
        if (process) {
            QProcess program;
            program.setEnvironment(QProcess::systemEnvironment().filter(
                QRegularExpression("^(?!DISPLAY=|WAYLAND_DISPLAY=|QT_QPA_PLATFORM=)")));
            program.start(COLLECT_PROGRAM, arguments);
            if (program.waitForFinished(10000) && program.exitStatus() == QProcess::NormalExit)
                status = program.exitCode();
            out = program.readAllStandardOutput();
            err = program.readAllStandardError();
        } else {
            Collector collector;
            collector.setPlatform(platform.baseUrl(), 500);
            collector.setStationLimits(300, 700);
            collector.setNow(now);
            out = err = QString();
            QTextStream outStream(&out), errStream(&err);
            status = collector.run(QStringList("marlowdesk-collect") + arguments, outStream, errStream);
        }
        summary = QJsonDocument::fromJson(out.trimmed().section('\n', -1).toUtf8()).object();
        const bool shown = (out + err + debugLines.join('\n')).contains(kToken);
        debugLines.clear();
        return shown ? -1 : status;
    }
    // What the platform got as records, in order, and what the file decodes to.
    QString uploaded() const
    {
        QString data;
        for (const SimulatedPlatform::Request &r : platform.requests())
            data += SimulatedPlatform::item(r.bodyItems, "data");
        return data;
    }
    static QStringList decoded(const QByteArray &bytes)
    {
        QStringList records;
        for (const QByteArray &line : bytes.split('\n')) {
            if (const QString record = BurstRecord::decode(QString::fromUtf8(line).remove('\r')); record.size() > 1)
                records << record;
        }
        return records;
    }
    static QByteArray read(const QString &name)
    {
        QFile file(name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private slots:
    void initTestCase()
    {
        previousHandler = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &context,
                                                    const QString &text) {
            debugLines << text;
            previousHandler(type, context, text);
        });
        QVERIFY(platform.start() && tcp.start() && pty.start());
        platform.trustInThisProcess();
        qputenv("MARLOWDESK_TOKEN", kToken.toUtf8());
        QFile token(path("token"));
        QVERIFY(token.open(QIODevice::WriteOnly) && token.write("  " + kToken.toUtf8() + "\n"));
    }

    void init()
    {
        platform.reset();
        platform.setAcceptedTokens({kToken});
        station.clearFaults();
        station.clearReceived();
        station.setConfig(stationConfig);
        station.setBurstLineCount(300);
        QDir(path("out")).removeRecursively();
        QFile::remove(path("state.json"));
    }

    void runs_data()
    {
        QTest::addColumn<QString>("words");        // besides the state and the folder
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<int>("requests");         // the platform's: authentication and packets
        QTest::addColumn<QString>("rule");         // how the platform answers
        QTest::addColumn<QByteArray>("command");   // the station's fault is on this command
        QTest::addColumn<StationFault>("fault");
        QTest::addColumn<QString>("linkText");     // as the summary names the link
        QTest::addColumn<bool>("process");         // the program itself rather than the collector in this process
        QTest::addColumn<QString>("said");         // on the error output
        // Words without a link of their own go to the station's; a call that cannot be read names no link.
        const auto row = [&](const char *name, bool tcp, QString words, int status, const char *outcome,
                             int requests, const char *rule = "", const QByteArray &command = "",
                             const StationFault &fault = {}, const QString &line = "8N1", bool process = false) {
            if (!words.contains(tcp ? "--tcp " : "--serial "))
                words.prepend(link(tcp) + ' ');
            const QString at = words.section(tcp ? "--tcp " : "--serial ", 1).section(' ', 0, 0);
            QTest::addRow("%s, %s", name, tcp ? "TCP" : "serial") << words << status << QString(outcome) << requests
                << QString(rule) << command << fault << (status == 2 ? "" : tcp ? "tcp " + at
                                                                        : "serial " + at + " 115200 " + line)
                << process << QString();
        };
        // Calls that cannot be read, and bad files, end with 2 and say why; the platform hears nothing.
        const auto usage = [&](const char *name, const QString &words, const char *said, const char *outcome = "usage",
                              const QString &linkText = "") {
            QTest::newRow(name) << words + " --json" << 2 << QString(outcome) << 0 << QString() << QByteArray()
                                << StationFault() << linkText << false << QString(said);
        };
        const QString period = kPeriod + " --json ";
        for (const bool tcp : {true, false}) {
            row("clean", tcp, period + "--token-file " + path("token"), 0, "collected", 3);
            row("the token from the environment, the clock set", tcp, period + "--set-clock --verbose", 0,
                "collected", 3);
            row("download only", tcp, period + "--no-upload", 0, "downloaded", 0);
            row("silent station", tcp, period, 3, "station-silent", 0, "", "BURSTMODEF:", StationFault::silent(true));
            row("silent once, a retry", tcp, period + "--retries 1", 0, "collected", 3, "", "BURSTMODEF:",
                StationFault::silent());
            row("hang-up mid-dump", tcp, period + "--retries 1", 5, "download-failed", 2, "", "BURSTMODEF:OK",
                StationFault::drop(true, 5000));
            row("refused token", tcp, period, 4, "authentication-failed", 1, "auth=refuse");
            row("refused packet, never sent again", tcp, period + "--retries 2", 6, "upload-incomplete", 3, "0=refuse");
            row("platform gone in the upload", tcp, period, 6, "upload-incomplete", 3, "1+=no-answer");
        }
        row("line settings", false, period + "--no-upload --parity even --stop-bits 2 --data-bits 8 --flow-control "
            "xon-xoff", 0, "downloaded", 0, "", "", {}, "8E2");
        const QString closed = "--tcp 127.0.0.1:" + QString::number(closedLocalPort());
        row("unreachable station", true, closed + period, 3, "station-unreachable", 0);
        row("no such serial device", false, "--serial /dev/marlowdesk-no-such-port" + period, 3, "station-unreachable",
            0);
        row("the program: download", true, "--json --from 2026-12-01~00 --no-upload", 0, "downloaded", 0, "", "", {},
            "", true);
        row("the program: usage", true, "--json --from 2026-12-01", 2, "usage", 0, "", "", {}, "", true);
        row("the program: station gone", true, closed + " --json --from 2026-12-01~00 --no-upload", 3,
            "station-unreachable", 0, "", "", {}, "", true);
        const QString tcp = "--tcp 127.0.0.1:1 ";
        usage("no link", kPeriod, "either --serial DEVICE or --tcp HOST:PORT");
        usage("two links", "--serial /dev/null " + tcp + kPeriod, "either");
        usage("no port", "--tcp 127.0.0.1" + kPeriod, "--tcp needs HOST:PORT");
        usage("no period", tcp, "--from and --days, or --since-last");
        usage("a minute in the hour", tcp + "--from 2026-12-01~00:30", "--from needs");
        usage("100 days", tcp + kPeriod + "00", "--days needs 0 to 99");
        usage("days beside --since-last", tcp + "--since-last --days 2", "--days needs");
        usage("a token given as such", tcp + "--token " + kToken + kPeriod, "Unknown option");
        usage("no token file", tcp + "--token-file " + path("none") + kPeriod, "cannot read a token");
        usage("odd parity word", "--serial /dev/null --parity weird" + kPeriod, "serial setting");
        usage("upload with a station", "--upload x " + tcp, "--upload takes no --tcp");
        usage("upload of a missing file", "--upload " + path("none_2026120100_1d_data.log"), "not a readable burst file",
              "file-unreadable", "file");
        usage("damaged state", tcp + kPeriod, "the state file", "bad-state");
        usage("since-last, first run", link(true) + " --since-last", "give --from for the first", "usage",
              "tcp 127.0.0.1:" + QString::number(this->tcp.port()));
    }

    // One collection per row: the exit status, what the station and the platform got, the file and the summary.
    void runs()
    {
        QFETCH(QString, words);
        QFETCH(int, status);
        QFETCH(QString, outcome);
        QFETCH(QString, rule);
        QFETCH(QByteArray, command);
        QFETCH(StationFault, fault);
        QFETCH(bool, process);
        QFETCH(QString, said);
        QFile state(path("state.json"));
        QVERIFY(!said.startsWith("the state file") || (state.open(QIODevice::WriteOnly) && state.write("{\"stations\": [")));
        station.setFault(command, fault);
        QVERIFY(rule.isEmpty() || platform.setAnswerRule(rule));
        QCOMPARE(collect(words, kNow, process), status);
        QVERIFY2(err.contains(said), qPrintable(err));
        QCOMPARE(summary.value("outcome").toString(), outcome);
        QTEST(summary.value("link").toString(), "linkText");
        QCOMPARE(summary.value("status").toInt(), status);
        QTEST(int(platform.requests().size()), "requests");
        if (status == 2)
            return;
        const QString file = summary.value("file").toString();
        const bool downloaded = status == 0 || status >= 5;
        QCOMPARE(file, downloaded ? path("out/ST1234_2026120100_1d_data.log") : QString());
        if (!downloaded)
            return;
        QCOMPARE(summary.value("station").toString(), "ST1234");
        QCOMPARE(summary.value("period").toObject(), QJsonObject({{"from", "2026-12-01 00"}, {"days", 1},
                                                               {"to", "2026-12-02 00"}}));
        QCOMPARE(QFile::exists(file), status != 5);   // a failed download leaves no file
        if (status == 5)
            return;
        // The file holds what the station sent after the acknowledgement, byte for byte.
        const QList<QByteArray> commands = station.receivedCommands();
        const QByteArray bytes = read(file);
        QCOMPARE(bytes, station.sentAnswers().value(commands.lastIndexOf("BURSTMODEF:OK\r\n")));
        QVERIFY(commands.contains("BURSTMODEF:26120100:001"));
        QCOMPARE(summary.value("bytes").toInt(), bytes.size());
        QCOMPARE(summary.value("lines").toInt(), bytes.count('\n'));
        const bool uploads = outcome != "downloaded";
        const QStringList records = decoded(bytes);
        QCOMPARE(uploaded(), uploads ? records.join(QString()) : QString());
        QCOMPARE(summary.value("records").toInt(), uploads ? records.size() : 0);
        QCOMPARE(summary.value("packets").toInt(), uploads ? 2 : 0);
        QCOMPARE(summary.value("refused").toInt(), status == 6 ? 1 : 0);
        QCOMPARE(summary.value("attempts").toInt(), 1 + (fault.kind == StationFault::Silent));
        // Only a fully accepted upload moves the record on.
        QCOMPARE(read(path("state.json")).contains("\"end\": \"2026-12-02 00\""), outcome == "collected");
        QCOMPARE(err.contains("--upload " + file), status == 6);
    }

    // The second run of a station starts where the first ended; a failed run leaves the record.
    void sinceLast()
    {
        const QString words = link(true) + " --token-file " + path("token") + " --json ";
        struct Step { QString words; QDateTime now; const char *rule; int status; QByteArray request; const char *end; };
        const Step steps[] = {
            {kPeriod, kNow, "", 0, "BURSTMODEF:26120100:001", "2026-12-02 00"},
            {"--since-last", kNow, "final=refuse", 6, "BURSTMODEF:26120200:007", "2026-12-02 00"},
            {"--since-last --from 2026-11-01~00", kNow, "", 0, "BURSTMODEF:26120200:007", "2026-12-08 20"},
            {"--since-last", kNow, "", 0, "", "2026-12-08 20"},
            {"--since-last", kNow.addDays(200), "", 0, "BURSTMODEF:26120820:099", "2027-03-17 20"},
            {"--from 2026-11-01~00 --days 2", kNow, "", 0, "BURSTMODEF:26110100:002", "2027-03-17 20"},
        };
        for (const Step &step : steps) {
            QFile::rename(path("state.json"), path("kept.json"));
            init();
            QFile::rename(path("kept.json"), path("state.json"));
            QVERIFY(!*step.rule || platform.setAnswerRule(step.rule));
            QCOMPARE(collect(words + step.words, step.now), step.status);
            QCOMPARE(station.receivedCommands().value(step.words.startsWith("--since") ? 1 : 0), step.request);
            QCOMPARE(summary.value("outcome").toString() == "nothing-new", !*step.request);
            QVERIFY2(read(path("state.json")).contains(QByteArray("\"end\": \"") + step.end), step.end);
        }
    }

    // A file whose upload failed goes up later by itself; a kept file named without its period too.
    void uploadKept()
    {
        QVERIFY(platform.setAnswerRule("0=refuse"));
        QCOMPARE(collect(link(false) + kPeriod), 6);
        const QString file = path("out/ST1234_2026120100_1d_data.log");
        const QString records = decoded(read(file)).join(QString());
        QVERIFY(!QFile::exists(path("state.json")));
        for (const QString &name : {file, path("ST1234_data.log")}) {
            QFile::copy(file, name);
            platform.reset();
            QCOMPARE(collect("--json --upload " + name), 0);
            QCOMPARE(uploaded(), records);
            QCOMPARE(platform.requests().first().queryItems.value(0).second, "ST1234");
            QVERIFY(read(path("state.json")).contains("\"end\": \"2026-12-02 00\""));
        }
        QCOMPARE(station.receivedCommands().count("BURSTMODEF:OK\r\n"), 1);
    }

    void formlessLinks_data()
    {
        QTest::addColumn<bool>("tcp");
        QTest::addColumn<QString>("wire");   // what the station received
        QTest::newRow("TCP") << true << QString("GETCONFIG: " + kSampleCommand + " GETCONFIG: SENSDATE:* GETCONFIG: RESET:");
        QTest::newRow("serial") << false << QString("\x07 GETCONFIG: " + kSampleCommand + " \x07 SENSDATE:* \x07");
    }

    // Links built from plain settings, with no form and no dialog: the form-bound operations read and send
    // the record, and have no period to ask for; nothing is written anywhere but the record.
    void formlessLinks()
    {
        QFETCH(bool, tcp);
        SerialSettings serial;
        serial.portName = pty.slavePath();
        const std::unique_ptr<CommandsManager> link(tcp ? static_cast<CommandsManager *>(new WifiCommands(
            TcpSettings{"127.0.0.1", this->tcp.port(), 300})) : new SerialCommands(serial));
        station.setConfig(sampleConfig());
        QVERIFY(link->connectDevice());
        QCOMPARE(link->getConfigToUi(), kSuccess);
        QCOMPARE(link->config.RECEIVEDSERIAL + link->config.APN, "1234internet");
        link->config = sampleConfig();
        QCOMPARE(link->setConfigFromUi(), kSuccess);
        QCOMPARE(link->startBurstModeFromUi(), kFailure);
        QCOMPARE(link->startBurstModeFFromUi(), "noserialreceived");
        QCOMPARE(link->sendDate(), kSuccess);
        QCOMPARE(link->sendReset(), kSuccess);
        station.waitForCommands(tcp ? 6 : 5, 1000);
        QString wire = QString::fromLatin1(station.receivedCommands().join(' '));
        QTEST(wire.replace(QRegularExpression("SENSDATE:\\S+"), "SENSDATE:*"), "wire");
    }

    // Off a terminal a line per phase and per tenth of the upload, with the time; on one a line redrawn.
    void progress_data()
    {
        QTest::addColumn<bool>("terminal");
        QTest::addColumn<int>("newLines");
        QTest::addColumn<int>("redraws");
        QTest::newRow("journal") << false << 13 << 0;
        QTest::newRow("terminal") << true << 2 << 3;
    }
    void progress()
    {
        QFETCH(bool, terminal);
        QString text;
        QTextStream stream(&text);
        CollectProgress shown(stream, terminal);
        shown.phase("download");
        shown.download(100, 2);
        shown.phase("upload");
        for (int sent = 0; sent <= 1000; sent += 5)
            shown.upload(sent, 1000);
        shown.note("done");
        QTEST(int(text.count('\n')), "newLines");
        QTEST(int(text.count("\r\x1b[K")), "redraws");
        QCOMPARE(text.contains(QRegularExpression("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d download$",
                                                  QRegularExpression::MultilineOption)), !terminal);
        QCOMPARE(text.contains("upload: 1000 of 1000 records (100%)"), !terminal);
    }
};

QTEST_GUILESS_MAIN(TestCollector)
#include "tst_collector.moc"
