#include "burstfile.h"
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
QStringList debugLines;
QtMessageHandler previousHandler;

void keepDebugLine(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    debugLines << text;
    previousHandler(type, context, text);
}

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

    QString path(const QString &name) const { return dir.filePath(name); }
    QString link(bool overTcp) const
    {
        return overTcp ? "--tcp 127.0.0.1:" + QString::number(tcp.port()) + " --timeout 300"
                       : "--serial " + pty.slavePath();
    }

    // Runs the collector on words (split at blanks; "~" stands for a blank inside one).
    int collect(const QString &words, const QDateTime &now = kNow, const QString &url = QString())
    {
        QStringList arguments{"marlowdesk-collect"};
        for (const QString &word : words.split(' ', Qt::SkipEmptyParts))
            arguments << QString(word).replace('~', ' ');
        arguments << "--state" << path("state.json") << "--out" << path("out");
        Collector collector;
        collector.setPlatform(url.isEmpty() ? platform.baseUrl() : url, 500);
        collector.setStationLimits(300, 700);
        collector.setNow(now);
        out.clear();
        err.clear();
        QTextStream outStream(&out), errStream(&err);
        const int status = collector.run(arguments, outStream, errStream);
        // The token shows nowhere: not in the summary, the progress or the debug lines.
        const QString all = out + err + debugLines.join('\n');
        debugLines.clear();
        if (all.contains(kToken))
            qWarning("the token came out");
        return all.contains(kToken) ? -1 : status;
    }
    QJsonObject summary() const
    {
        return QJsonDocument::fromJson(out.trimmed().section('\n', -1).toUtf8()).object();
    }
    // What the platform got as records, in order, and what the file decodes to.
    QString uploaded() const
    {
        QString data;
        for (const SimulatedPlatform::Request &r : platform.requests())
            data += SimulatedPlatform::item(r.bodyItems, "data");
        return data;
    }
    static QString decoded(const QByteArray &bytes, int *records = nullptr)
    {
        QString data;
        int count = 0;
        for (const QByteArray &line : bytes.split('\n')) {
            const QString record = BurstRecord::decode(QString::fromUtf8(line).remove('\r'));
            if (record.size() > 1)
                data += record, ++count;
        }
        if (records)
            *records = count;
        return data;
    }
    static QByteArray read(const QString &name)
    {
        QFile file(name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private slots:
    void initTestCase()
    {
        previousHandler = qInstallMessageHandler(keepDebugLine);
        QVERIFY(platform.start() && tcp.start() && pty.start());
        platform.trustInThisProcess();
        platform.setAcceptedTokens({kToken});
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
        QTest::addColumn<bool>("tcp");
        QTest::addColumn<QString>("words");        // besides the link, the state and the folder
        QTest::addColumn<QByteArray>("command");   // the station's fault is on this command
        QTest::addColumn<StationFault>("fault");
        QTest::addColumn<QString>("rule");         // how the platform answers
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<int>("requests");         // the platform's: authentication and packets
        QTest::addColumn<QString>("linkText");     // as the summary names the link
        const QString period = "--from 2026-12-01~00 --days 1 --json ";
        const auto row = [&](const char *name, bool tcp, const QString &words, const QByteArray &command,
                             const StationFault &fault, const char *rule, int status, const char *outcome,
                             int requests, const QString &line = "8N1") {
            QTest::addRow("%s, %s", name, tcp ? "TCP" : "serial")
                << tcp << words << command << fault << QString(rule) << status << QString(outcome) << requests
                << (tcp ? "tcp 127.0.0.1:" + QString::number(this->tcp.port()) : "serial " + pty.slavePath()
                                                                                   + " 115200 " + line);
        };
        for (const bool tcp : {true, false}) {
            row("clean", tcp, period + "--token-file " + path("token"), "", {}, "", 0, "collected", 3);
            row("the token from the environment, the clock set", tcp, period + "--set-clock --verbose", "", {}, "",
                0, "collected", 3);
            row("download only", tcp, period + "--no-upload", "", {}, "", 0, "downloaded", 0);
            row("silent station", tcp, period, "BURSTMODEF:", StationFault::silent(true), "", 3, "station-silent", 0);
            row("silent once, a retry", tcp, period + "--retries 1", "BURSTMODEF:", StationFault::silent(), "", 0,
                "collected", 3);
            row("hang-up mid-dump", tcp, period + "--retries 1", "BURSTMODEF:OK",
                StationFault::drop(true, 5000), "", 5, "download-failed", 2);
            row("refused token", tcp, period, "", {}, "auth=refuse", 4, "authentication-failed", 1);
            row("refused packet, never sent again", tcp, period + "--retries 2", "", {}, "0=refuse", 6,
                "upload-incomplete", 3);
            row("platform gone in the upload", tcp, period, "", {}, "1+=no-answer", 6, "upload-incomplete", 3);
        }
        row("line settings", false, period + "--no-upload --parity even --stop-bits 2 --data-bits 8 --flow-control "
            "xon-xoff", "", {}, "", 0, "downloaded", 0, "8E2");
        row("unreachable station", true, "--tcp 127.0.0.1:" + QString::number(closedLocalPort()) + " --json "
            + period, "", {}, "", 3, "station-unreachable", 0);
        row("no such serial device", false, "--serial /dev/marlowdesk-no-such-port --json " + period, "", {}, "", 3,
            "station-unreachable", 0);
    }

    // One collection per row: the exit status, what the station and the platform got, the file and the summary.
    void runs()
    {
        QFETCH(bool, tcp);
        QFETCH(QString, words);
        QFETCH(QByteArray, command);
        QFETCH(StationFault, fault);
        QFETCH(QString, rule);
        QFETCH(int, status);
        QFETCH(QString, outcome);
        station.setFault(command, fault);
        QVERIFY(rule.isEmpty() || platform.setAnswerRule(rule));

        QCOMPARE(collect(words.contains("--tcp ") || words.contains("--serial ") ? words : link(tcp) + ' ' + words),
                 status);
        const QJsonObject json = summary();
        QCOMPARE(json.value("outcome").toString(), outcome);
        if (!words.contains("--tcp ") && !words.contains("--serial "))
            QTEST(json.value("link").toString(), "linkText");
        QCOMPARE(json.value("status").toInt(), status);
        QTEST(int(platform.requests().size()), "requests");
        const QString file = json.value("file").toString();
        if (status == 3 || status == 4) {   // no download
            QCOMPARE(file, status == 3 ? QString() : QString());
            return;
        }
        QCOMPARE(file, path("out/ST1234_2026120100_1d_data.log"));
        QCOMPARE(json.value("station").toString(), "ST1234");
        QCOMPARE(json.value("period").toObject().toVariantMap(),
                 QVariantMap({{"from", "2026-12-01 00"}, {"days", 1}, {"to", "2026-12-02 00"}}));
        if (status == 5) {
            QVERIFY(!QFile::exists(file));
            return;
        }
        // The file holds what the station sent after the acknowledgement, byte for byte.
        const QList<QByteArray> commands = station.receivedCommands();
        const QByteArray bytes = read(file);
        QCOMPARE(bytes, station.sentAnswers().value(commands.lastIndexOf("BURSTMODEF:OK\r\n")));
        QCOMPARE(commands.contains("BURSTMODEF:26120100:001"), true);
        QCOMPARE(json.value("bytes").toInt(), bytes.size());
        QCOMPARE(json.value("lines").toInt(), bytes.count('\n'));
        int records = 0;
        const QString data = decoded(bytes, &records);
        QCOMPARE(uploaded(), outcome == "downloaded" ? QString() : data);
        QCOMPARE(json.value("records").toInt(), outcome == "downloaded" ? 0 : records);
        QCOMPARE(json.value("packets").toInt(), outcome == "downloaded" ? 0 : 2);
        QCOMPARE(json.value("refused").toInt(), status == 6 ? 1 : 0);
        QCOMPARE(json.value("attempts").toInt(), 1 + (fault.kind == StationFault::Silent));
        // Only a fully accepted upload moves the record on.
        QCOMPARE(read(path("state.json")).contains("\"end\": \"2026-12-02 00\""), outcome == "collected");
        QCOMPARE(err.contains("--upload " + file), status == 6);
    }

    void usage_data()
    {
        QTest::addColumn<QString>("words");
        QTest::addColumn<QString>("said");
        const QString period = " --from 2026-12-01~00 --days 1";
        QTest::newRow("no link") << period << "either --serial DEVICE or --tcp HOST:PORT";
        QTest::newRow("two links") << "--serial /dev/null --tcp 127.0.0.1:1" + period << "either";
        QTest::newRow("no port") << "--tcp 127.0.0.1" + period << "--tcp needs HOST:PORT";
        QTest::newRow("no period") << "--tcp 127.0.0.1:1" << "--from and --days, or --since-last";
        QTest::newRow("a minute in the hour") << "--tcp 127.0.0.1:1 --from 2026-12-01~00:30" << "--from needs";
        QTest::newRow("100 days") << "--tcp 127.0.0.1:1" + period + "00" << "--days needs 0 to 99";
        QTest::newRow("days beside --since-last") << "--tcp 127.0.0.1:1 --since-last --days 2" << "--days needs";
        QTest::newRow("a token given as such") << "--tcp 127.0.0.1:1 --token " + kToken + period << "Unknown option";
        QTest::newRow("no token file") << "--tcp 127.0.0.1:1 --token-file " + path("none") + period
                                       << "cannot read a token";
        QTest::newRow("odd parity word") << "--serial /dev/null --parity weird" + period << "serial setting";
        QTest::newRow("upload with a station") << "--upload x --tcp 127.0.0.1:1" << "--upload takes no --tcp";
        QTest::newRow("upload of a missing file") << "--upload " + path("none_2026120100_1d_data.log")
                                                  << "not a readable burst file";
        QTest::newRow("damaged state") << "--tcp 127.0.0.1:1" + period << "the state file";
        QTest::newRow("since-last, first run") << "--tcp 127.0.0.1:" + QString::number(tcp.port())
                                                      + " --since-last" << "give --from for the first";
    }

    // Usage and bad files end with 2, and the platform hears nothing.
    void usage()
    {
        QFETCH(QString, words);
        QFETCH(QString, said);
        QFile state(path("state.json"));
        QVERIFY(!said.startsWith("the state file") || (state.open(QIODevice::WriteOnly) && state.write("{\"stations\": [")));
        QCOMPARE(collect(words + " --json"), 2);
        QVERIFY2(err.contains(said), qPrintable(err));
        QCOMPARE(summary().value("status").toInt(), 2);
        QCOMPARE(platform.requests().size(), 0);
    }

    // The second run of a station starts where the first ended; a failed run leaves the record.
    void sinceLast()
    {
        const QString words = link(true) + " --token-file " + path("token") + " --json ";
        struct Step { QString words; QDateTime now; const char *rule; int status; QByteArray request; const char *end; };
        const Step steps[] = {
            {"--from 2026-12-01~00 --days 1", kNow, "", 0, "BURSTMODEF:26120100:001", "2026-12-02 00"},
            {"--since-last", kNow, "final=refuse", 6, "BURSTMODEF:26120200:007", "2026-12-02 00"},
            {"--since-last --from 2026-11-01~00", kNow, "", 0, "BURSTMODEF:26120200:007", "2026-12-08 20"},
            {"--since-last", kNow, "", 0, "", "2026-12-08 20"},
            {"--since-last", kNow.addDays(200), "", 0, "BURSTMODEF:26120820:099", "2027-03-17 20"},
            {"--from 2026-11-01~00 --days 2", kNow, "", 0, "BURSTMODEF:26110100:002", "2027-03-17 20"},
        };
        for (const Step &step : steps) {
            init();
            QFile::copy(path("kept.json"), path("state.json"));
            QVERIFY(!*step.rule || platform.setAnswerRule(step.rule));
            QCOMPARE(collect(words + step.words, step.now), step.status);
            QCOMPARE(station.receivedCommands().value(step.words.startsWith("--since") ? 1 : 0), step.request);
            QCOMPARE(summary().value("outcome").toString(), *step.request ? summary().value("outcome").toString()
                                                                            : "nothing-new");
            QVERIFY2(read(path("state.json")).contains(QByteArray("\"end\": \"") + step.end), step.end);
            QFile::remove(path("kept.json"));
            QFile::copy(path("state.json"), path("kept.json"));
        }
    }

    // A file whose upload failed goes up later by itself; a kept file named without its period too.
    void uploadKept()
    {
        QVERIFY(platform.setAnswerRule("0=refuse"));
        QCOMPARE(collect(link(false) + " --from 2026-12-01~00 --days 1"), 6);
        const QString file = path("out/ST1234_2026120100_1d_data.log");
        const QString records = decoded(read(file));
        QVERIFY(!QFile::exists(path("state.json")));
        for (const QString &name : {file, path("ST1234_data.log")}) {
            QFile::copy(file, name);
            platform.reset();
            QCOMPARE(collect("--json --upload " + name), 0);
            QCOMPARE(uploaded(), records);
            QCOMPARE(platform.requests().first().queryItems.value(0).second, "ST1234");
            QCOMPARE(read(path("state.json")).contains("\"end\": \"2026-12-02 00\""), true);
        }
        QVERIFY(station.receivedCommands().count("BURSTMODEF:OK\r\n") == 1);
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
        std::unique_ptr<CommandsManager> link;
        if (tcp) {
            link = std::make_unique<WifiCommands>(TcpSettings{"127.0.0.1", this->tcp.port(), 300});
        } else {
            SerialSettings settings;
            settings.portName = pty.slavePath();
            link = std::make_unique<SerialCommands>(settings);
        }
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
        wire.replace(QRegularExpression("SENSDATE:\\S+"), "SENSDATE:*");
        QTEST(wire, "wire");
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

    // The program itself, with no display at all: a download, and the statuses of a bad call and no station.
    void program_data()
    {
        QTest::addColumn<QString>("words");
        QTest::addColumn<int>("status");
        QTest::newRow("download") << "--from 2026-12-01~00 --no-upload" << 0;
        QTest::newRow("usage") << "--from 2026-12-01" << 2;
        QTest::newRow("station gone") << "--from 2026-12-01~00 --no-upload --tcp 127.0.0.1:" + QString::number(closedLocalPort()) << 3;
    }
    void program()
    {
        QFETCH(QString, words);
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(name);
        process.setProcessEnvironment(environment);
        QStringList arguments{"--tcp", "127.0.0.1:" + QString::number(tcp.port()), "--json", "--out", path("out"),
                              "--state", path("state.json")};
        for (const QString &word : words.split(' '))
            arguments << QString(word).replace('~', ' ');
        process.start(COLLECT_PROGRAM, arguments);
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QTEST(process.exitCode(), "status");
        const QByteArray output = process.readAllStandardOutput();
        QCOMPARE(QJsonDocument::fromJson(output.trimmed().split('\n').last()).object().value("status").toInt(),
                 process.exitCode());
        QCOMPARE(QFile::exists(path("out/ST1234_2026120100_1d_data.log")), process.exitCode() == 0);
    }
};

QTEST_GUILESS_MAIN(TestCollector)
#include "tst_collector.moc"
