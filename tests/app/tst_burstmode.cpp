#include "collector.h"
#include "simulatedplatform.h"
#include "stationbench.h"

const QStringList kBoxes{"", "Burst Mode failure / Error during burst mode",   // results 1 to 4 of a link
    "Device not connected / Please connect the device", "Burst Mode failure / No data available in this period",
    "[DEV] Not implemented / Not implemented yet"};
const QString kAuth = "Authenticating User... | token 42 ST1234", kStartFailed = "Start Burst Mode failure";
const QString kTransferBox = "Serial Transfer finished / Data will now be sent from MarlowDesk to the web platform.\n"
                             "You can disconnect your station but do not close MarlowDesk.";
const QString kFinishedBox = "Burst Mode finished / Data successfully sent to the platform.\n You can now close "
                             "MarlowDesk.";
const QString kUploadFailedBox = kBoxes[1] + " : Export data from MarlowDesk to web platform failed";
const QString kAuthFailedBox = "Authentication failure / Could not connect to the platform.\nMake sure you have a "
                               "valid token and access to internet.";
const QByteArray kRequest("BURSTMODEF:25010100:000"), kAck("BURSTMODEF:OK\r\n");
const QStringList kAll = StationBench::kOperationControls;

// A burst button clicked on a link as prepare() takes it (a recording one answers with result), with a file of that
// many decodable records (its END line among them) and a platform that answers by rule; what is shown (info | the
// request at each request, the info at the end, the boxes) and enabled afterwards.
struct Click { int link; QString button; int result, records; QString rule; QStringList shown, enabled; };
Q_DECLARE_METATYPE(Click)

// The operator acts at the platform's request (0 the authentication, 1 the first of two packets): the commands the
// station then received; the info text at the end, the packets sent and each box.
struct Acts { int request; QStringList acts; QList<QByteArray> commands; QStringList shown; };
Q_DECLARE_METATYPE(Acts)

class TestBurstMode : public QObject
{
    Q_OBJECT

    QTemporaryDir workDir;
    SimulatedPlatform platform;

    // Platform, period and token; then -1 a recording link, controls open; 0 the station over serial, 1 TCP,
    // with a dump of that many lines.
    RecordingLink *prepare(StationBench &bench, int link, int lines = 0)
    {
        bench.usePlatform(platform.baseUrl(), 1000);
        bench.find<QDateTimeEdit>("burstmodeDate")->setDateTime(QDateTime(QDate(2025, 1, 1), QTime(0, 0)));
        bench.find<QLineEdit>("burst_token")->setText("token 42");
        if (link >= 0) {
            bench.station.setBurstLineCount(lines);
            (link ? bench.useTcp() : bench.useSerial()), bench.trigger("actionConnect"), bench.boxes.clear();
            return bench.station.clearReceived(), nullptr;
        }
        QMetaObject::invokeMethod(&bench.window, "enableButtons");
        RecordingLink *recording = &bench.useRecordingLink();
        recording->serial = "ST1234";
        return recording;
    }

private slots:
    void initTestCase() { QVERIFY(QDir::setCurrent(workDir.path()) && platform.start()); platform.trustInThisProcess(); }

    void init() { platform.reset(); }

    void handlers_data()
    {
        QTest::addColumn<Click>("click");
        const auto row = [](const QByteArray &name, const Click &click) { QTest::newRow(name) << click; };
        const char *desk = "startburstmodeButton_marlowdesk", *start = "startburstmodeButton_station";
        const char *stop = "stopburstmodeButton";
        const QString failed = "Burst Mode failure";
        row("240 records, the first packet refused, an empty final one", {-1, desk, 0, 240, "0=refuse",
            {kAuth, "0% transferred | apm=ST1234&current=0&total=241",
             "99% transferred | apm=ST1234&current=240&total=241&end=1", failed, kTransferBox, kUploadFailedBox}, kAll});
        row("10 records: one final packet, refused", {-1, desk, 0, 10, "final=refuse", {kAuth,
            "0% transferred | apm=ST1234&current=0&total=11&end=1", failed, kTransferBox, kUploadFailedBox}, kAll});
        row("token refused", {-1, desk, 0, 10, "auth=refuse", {kAuth, "Authentication failure", kAuthFailedBox}, kAll});
        row("file unreadable", {-1, desk, 0, 0, "", {kAuth, "Sending data to web platform... Do not close MarlowDesk.",
            kTransferBox, "File read failure / Can't read datalog file"}, kAll});
        for (int result = 0; result <= 4; ++result) {
            const QByteArray name = QByteArray::number(result);
            const QString box = result == 1 ? " : Export data from Station to Marlowdesk failed" : "";
            if (result)
                row("download " + name, {-1, desk, result, 10, "", {kAuth, kStartFailed, kBoxes[result] + box}, kAll});
            row("start " + name, {-1, start, result, 0, "", result ? QStringList{kStartFailed, kBoxes[result]}
                                                              : QStringList("Start Burst Mode success"), kAll});
            // A stop that may have been done halfway leaves the button off.
            row("stop " + name, {-1, stop, result, 0, "", result == 3 ? QStringList("Disabling Burst Mode...") : result
                ? QStringList{"Stop Burst Mode failure", kBoxes[result]} : QStringList("Stop Burst Mode success"),
                result == 3 ? QStringList(kAll.mid(0, 5)) << kAll.last() : result ? kAll : QStringList()});
        }
        row("stop over serial", {0, stop, 0, 0, "", {"Stop Burst Mode success"}, {}});
        row("stop over TCP: a restart", {1, stop, 0, 0, "", {"Stop Burst Mode success"}, {}});
    }

    // The burst buttons with each result of the link; runs from MarlowDesk on a file; the stop on both links.
    void handlers()
    {
        QFETCH(Click, click);
        StationBench bench;
        if (RecordingLink *recording = prepare(bench, click.link))
            recording->result = CommandResult(click.result);
        QVERIFY(click.rule.isEmpty() || platform.setAnswerRule(click.rule));
        // Lines of 10 and 11 characters and one without fields come first; the END line is a record too.
        QStringList lines{"0123456789", "0123456789A", "no fields here"}, decoded;
        for (int i = 1; i < click.records; ++i) {
            lines << QString("ID=ST1234&Response=R%1&Date=D%1").arg(i);
            decoded << QString("R%1__D%1\r\n").arg(i);
        }
        QFile file("ST1234_data.log");
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write((lines << "END\r\n").join("\r\n").toUtf8()));
        QVERIFY(click.records ? file.flush() : file.remove());
        QStringList shown;
        QString data;
        connect(&platform, &SimulatedPlatform::requestReceived, &bench.window, [&] {
            const SimulatedPlatform::Request r = platform.requests().last();
            shown << bench.info() + " | " + (r.body.isEmpty() ? r.headers.value("authorization") + ' '
                + r.queryItems.value(0).second : r.body.left(r.body.indexOf("&data")));
            data += SimulatedPlatform::item(r.bodyItems, "data");
        });

        bench.click(qPrintable(click.button));
        const QList<QByteArray> sent{click.link ? "RESET:" : "ENDBURSTMODE"};
        QVERIFY(bench.station.waitForCommands(click.link < 0 ? 0 : 1, 1000));
        QCOMPARE(bench.station.receivedCommands(), click.link < 0 ? QList<QByteArray>() : sent);
        QCOMPARE(shown << bench.info() << bench.boxes, click.shown);
        QCOMPARE(bench.enabled(), click.enabled);
        QCOMPARE(data, platform.uploadCount() ? (decoded << "END\r\n").join("") : "");
        QCOMPARE(bench.status(), click.result || click.button.endsWith("desk") ? "Not connected" : "Disconnected");
    }

    // A download that fails uploads nothing, keeps the earlier file and tells where what arrived is.
    void downloadFailures_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("detail");   // with <part> for the absolute path of the .part file
        QTest::newRow("station silent after 40 lines") << "silent"
            << "The station sent nothing for 0.3 s.\nThe %1 bytes that arrived are kept in <part>; <file> was left as it was.";
        QTest::newRow("no file can be made") << "folder" << "Could not create <part>: %1.";
    }

    void downloadFailures()
    {
        QFETCH(QString, fault);
        QFETCH(QString, detail);
        StationBench bench;
        bench.burstSilenceMs = 300;   // applied as the window switches to TCP
        bench.station.setDumpStopsBeforeEnd(fault == "silent");
        prepare(bench, 1, 40);
        QFile earlier("ST1234_data.log");
        QVERIFY(earlier.open(QIODevice::WriteOnly) && earlier.write("earlier") == 7);
        earlier.close();
        const QString file = QDir::current().absoluteFilePath("ST1234_data.log"), part = file + ".part";
        QVERIFY(fault != "folder" || QDir().mkdir(part));
        bench.click("startburstmodeButton_marlowdesk");
        QFile kept(part);
        const QByteArray arrived = kept.open(QIODevice::ReadOnly) ? kept.readAll() : QByteArray();
        detail = detail.replace("<part>", part).replace("<file>", file)
                     .arg(fault == "silent" ? QString::number(arrived.size()) : QString("Is a directory"));
        QCOMPARE(QStringList(bench.info()) << QString::number(platform.uploadCount()) << bench.boxes, QStringList({
            kStartFailed, "0", kBoxes[1] + " : Export data from Station to Marlowdesk failed // " + detail}));
        QVERIFY(earlier.open(QIODevice::ReadOnly) && earlier.readAll() == "earlier");
        QCOMPARE(arrived, fault == "silent" ? bench.station.dumpBytes() : QByteArray());
        QVERIFY(QFile::remove(part) || QDir().rmdir(part));
    }

    void actsDuringRun_data()
    {
        QTest::addColumn<Acts>("run");
        const auto row = [](const char *name, const Acts &run) { QTest::newRow(name) << run; };
        const QStringList done{"Burst Mode finished", "2", kTransferBox, kFinishedBox};
        const QStringList gone{kStartFailed, "0", kBoxes[2]};
        const QString disconnect = "actionDisconnect", setMode = "actionSetMode";
        row("stop", {1, {"stopburstmodeButton"}, {kRequest, kAck, "RESET:"}, done});
        row("mode switch", {1, {disconnect, setMode}, {kRequest, kAck}, done});
        row("close, held back to the end", {1, {"actionQuit"}, {kRequest, kAck}, done});
        row("connect again during authentication", {0, {disconnect, "actionConnect"}, {kRequest, "GETCONFIG:", kAck},
            {done[0], done[1], "Configuration is received / Configuration successfully received.", done[2], done[3]}});
        row("disconnect during authentication", {0, {disconnect}, {kRequest}, gone});
        row("mode switch during authentication", {0, {disconnect, setMode}, {kRequest}, gone});
    }

    // The operator acts while the platform answers; controls stay off, then all open; no second run inside.
    void actsDuringRun()
    {
        QFETCH(Acts, run);
        StationBench bench;
        prepare(bench, 1, 300);
        QStringList afterAct;   // the controls enabled once the operator has acted, and the window
        connect(&platform, &SimulatedPlatform::requestReceived, &bench.window, [&] {
            if (platform.requests().size() != run.request + 1)
                return;
            for (const QString &name : run.acts)
                name.startsWith("action") ? bench.trigger(qPrintable(name)) : bench.click(qPrintable(name));
            afterAct = bench.enabled() << (bench.window.isVisible() ? "shown" : "hidden");
            QMetaObject::invokeMethod(&bench.window, "enableBurstModeFromMarlowDesk");
            QMetaObject::invokeMethod(&bench.window, "enableBurstModeFromStation");
        });

        bench.click("startburstmodeButton_marlowdesk");
        QCOMPARE(afterAct.join(' '), run.acts.contains("actionQuit") ? "stopburstmodeButton shown" : "shown");
        QVERIFY(bench.station.waitForCommands(run.commands.size(), 1000));
        QCOMPARE(bench.station.receivedCommands(), run.commands);
        QCOMPARE(QStringList(bench.info()) << QString::number(platform.uploadCount()) << bench.boxes, run.shown);
        QCOMPARE(bench.enabled(), kAll);
        QCOMPARE(bench.window.isVisible(), !run.acts.contains("actionQuit"));
        QCOMPARE(bench.mode(), uint8_t(run.acts.contains("actionSetMode") ? MainWindow::Serial : MainWindow::Wifi));
    }

    void windowAndCollector_data()
    {
        QTest::addColumn<int>("link");
        QTest::newRow("serial") << 0;
        QTest::newRow("TCP") << 1;
    }

    // One burst through the window's button, one through marlowdesk-collect: the station and the platform
    // receive the same bytes and requests, and the two files are the same.
    void windowAndCollector()
    {
        QFETCH(int, link);
        StationBench bench;
        prepare(bench, link, 300);
        QByteArrayList runs[2];   // each run's file, the commands the station received, "requests:", the requests
        const auto keep = [&](int run, const QString &fileName) {
            QFile file(fileName);
            QVERIFY(file.open(QIODevice::ReadOnly));
            runs[run] = QByteArrayList{file.readAll()} + bench.station.receivedCommands() << "requests:";
            for (const SimulatedPlatform::Request &r : platform.requests())
                runs[run] << r.head + "\r\n\r\n" + r.body;
            bench.station.clearReceived();
            platform.reset();
        };
        bench.click("startburstmodeButton_marlowdesk");
        QCOMPARE(bench.boxes.last(), kFinishedBox);
        keep(0, "ST1234_data.log");
        // The station serves one line at a time.
        bench.trigger("actionDisconnect");

        QFile token("token");
        QVERIFY(token.open(QIODevice::WriteOnly) && token.write("token 42\n") && token.flush());
        Collector collector;
        collector.setPlatform(platform.baseUrl(), 1000);
        collector.setStationLimits(bench.replyLimitMs, bench.burstSilenceMs);
        QString output;
        QTextStream stream(&output);
        const QStringList station = link ? QStringList{"--tcp", "127.0.0.1:" + QString::number(bench.tcp.port())}
                                         : QStringList{"--serial", bench.pty.slavePath()};
        QCOMPARE(collector.run(QStringList{"marlowdesk-collect", "--from", "2025-01-01 00", "--days", "0",
                                           "--token-file", "token", "--state", "state.json"} + station,
                               stream, stream), 0);
        keep(1, "ST1234_2025010100_0d_data.log");

        QCOMPARE(runs[1], runs[0]);
        QCOMPARE(runs[0].mid(1, 3), QByteArrayList({kRequest, kAck, "requests:"}));
        QCOMPARE(runs[0].size(), 7);   // three requests
        QCOMPARE(runs[0][0].count('\n'), 301);
    }
};

QTEST_MAIN(TestBurstMode)
#include "tst_burstmode.moc"
