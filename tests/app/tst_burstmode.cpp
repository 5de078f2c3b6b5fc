#include "mainwindow.h"

#include "recordinglink.h"
#include "simulatedplatform.h"
#include "stationbench.h"

#include <QDateTimeEdit>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>

using Items = QList<QPair<QString, QString>>;

namespace {

constexpr int kTcpLimitMs = 1000;        // the station answers at once
constexpr int kPlatformLimitMs = 5000;   // the local platform answers at once, or after the delay below
constexpr int kPlatformDelayMs = 200;    // long enough for the operator to act meanwhile

const QString kToken = QStringLiteral("token 42");
const QString kFileName = QStringLiteral("ST1234_data.log");
const QByteArray kBurstRequest("BURSTMODEF:25010100:005");
const QByteArray kBurstAck("BURSTMODEF:OK\r\n");

const QString kTransferTitle = QStringLiteral("Serial Transfer finished");
const QString kTransferBox = kTransferTitle + " / Data will now be sent from MarlowDesk to the web "
                             "platform.\nYou can disconnect your station but do not close MarlowDesk.";
const QString kFinishedBox =
    "Burst Mode finished / Data successfully sent to the platform.\n You can now close MarlowDesk.";
const QString kNotConnectedBox = QStringLiteral("Device not connected / Please connect the device");
const QString kRefusedBox = QStringLiteral("Burst Mode failure / Error during burst mode");

// What can go wrong in a run from MarlowDesk once the station has been asked.
enum class Failure { TokenRefused, FileBlocked, FileVanishes, FirstPacketRefused, FinalRefused,
                     FinalServerError };

// What the operator does while the platform answers.
enum class Act { Stop, SwitchLink, Close };

// A dump as the station sends it, and the records that the platform must receive for it.
struct Dump
{
    QByteArray bytes;
    QStringList records;
};

Dump makeDump(const QString &serial, int lines)
{
    Dump dump;
    const QDateTime start(QDate(2025, 1, 1), QTime(0, 0), Qt::UTC);
    for (int i = 0; i < lines; ++i) {
        const QString payload = QStringLiteral("P%1x%2").arg(i, 5, 10, QLatin1Char('0')).arg(i * 7919 % 10007);
        const QString when = start.addSecs(60 * i).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        dump.bytes += QStringLiteral("ID=%1&Response=%2&Date=%3\r\n").arg(serial, payload, when).toUtf8();
        dump.records << payload + QStringLiteral("__") + when + QStringLiteral("\r\n");
    }
    dump.bytes += "END\r\n";
    dump.records << QStringLiteral("END\r\n");
    return dump;
}

QByteArray fileContents(const QString &name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// Runs an action the moment a message box with the given title is shown, before
// anybody can answer it.
class BoxShowHook : public QObject
{
public:
    BoxShowHook(const QString &title, std::function<void()> onShow)
        : title(title), onShow(std::move(onShow))
    {
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *box = qobject_cast<QMessageBox *>(watched);
        if (box && event->type() == QEvent::Show && box->windowTitle() == title && onShow) {
            onShow();
            onShow = nullptr;
        }
        return false;
    }

private:
    QString title;
    std::function<void()> onShow;
};

} // namespace

Q_DECLARE_METATYPE(Failure)
Q_DECLARE_METATYPE(Act)

class TestBurstMode : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void uploadsInPackets_data();
    void uploadsInPackets();
    void failedRuns_data();
    void failedRuns();
    void outcomes_data();
    void outcomes();
    void stationRequests_data();
    void stationRequests();

    void operatorActsDuringRun_data();
    void operatorActsDuringRun();

private:
    // Points the window at the local platform and fills the period and token.
    void prepare(StationBench &bench);
    // Prepares the bench's window and connects it over the serial line or TCP.
    void connectBench(StationBench &bench, bool serial = false);
    // Runs action once, from the event loop, when the platform has received request number index.
    void onRequest(int index, std::function<void()> action);

    QTemporaryDir workDir;
    SimulatedPlatform platform;
};

void TestBurstMode::initTestCase()
{
    QVERIFY(workDir.isValid());
    QVERIFY(QDir::setCurrent(workDir.path()));
    QVERIFY(platform.start());
    platform.trustInThisProcess();
}

void TestBurstMode::init()
{
    platform.reset();
    QDir dir(workDir.path());
    for (const QString &name : dir.entryList(QDir::Files))
        QVERIFY(dir.remove(name));
}

void TestBurstMode::cleanup()
{
    disconnect(&platform, &SimulatedPlatform::requestReceived, nullptr, nullptr);
}

void TestBurstMode::prepare(StationBench &bench)
{
    bench.usePlatform(platform.baseUrl(), kPlatformLimitMs);
    bench.find<QDateTimeEdit>("burstmodeDate")->setDateTime(QDateTime(QDate(2025, 1, 1), QTime(0, 0)));
    bench.find<QSpinBox>("burstmodeDays")->setValue(5);
    bench.find<QLineEdit>("burst_token")->setText(kToken);
}

void TestBurstMode::connectBench(StationBench &bench, bool serial)
{
    prepare(bench);
    if (serial)
        bench.useSerial();
    else
        bench.useTcp();
    bench.trigger("actionConnect");
    QCOMPARE(bench.enabled(), StationBench::kOperationControls);
    bench.station.clearReceived();
    bench.boxes.clear();
}

void TestBurstMode::onRequest(int index, std::function<void()> action)
{
    // Not inside the platform's own signal: the action runs nested in the
    // client's wait, as an operator's click would.
    connect(&platform, &SimulatedPlatform::requestReceived, this, [this, index, action] {
        if (platform.requests().size() == index + 1)
            QTimer::singleShot(0, this, action);
    });
}

void TestBurstMode::uploadsInPackets_data()
{
    QTest::addColumn<bool>("serialLink");
    QTest::addColumn<QString>("stationSerial");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<int>("lines");
    QTest::addColumn<QList<int>>("packetStarts");   // "current" of each packet, the final one last
    QTest::addColumn<QStringList>("infoAtRequests");

    QTest::newRow("500 lines: two full packets and a final one")
        << false << "ST1234" << kFileName << 500 << QList<int>{0, 240, 480}
        << QStringList{"Authenticating User...", "0% transferred", "48% transferred",
                       "96% transferred"};
    QTest::newRow("239 lines and the end record: a full packet and an empty final one")
        << false << "ST1234" << kFileName << 239 << QList<int>{0, 240}
        << QStringList{"Authenticating User...", "0% transferred", "100% transferred"};
    QTest::newRow("240 lines: the end record alone in the final packet")
        << false << "ST1234" << kFileName << 240 << QList<int>{0, 240}
        << QStringList{"Authenticating User...", "0% transferred", "100% transferred"};
    QTest::newRow("10 lines over serial, a serial unfit for a file name")
        << true << "ST/77 b" << "ST_77_b_data.log" << 10 << QList<int>{0}
        << QStringList{"Authenticating User...", "0% transferred"};
}

// A whole burst from the window: request, authentication, download, upload.
void TestBurstMode::uploadsInPackets()
{
    QFETCH(bool, serialLink);
    QFETCH(QString, stationSerial);
    QFETCH(QString, fileName);
    QFETCH(int, lines);
    QFETCH(QList<int>, packetStarts);
    QFETCH(QStringList, infoAtRequests);

    StationBench bench;
    StationConfig config = bench.station.config();
    config.SERIAL = stationSerial;
    bench.station.setConfig(config);
    const Dump dump = makeDump(stationSerial, lines);
    bench.station.setDump(dump.bytes);
    connectBench(bench, serialLink);

    QStringList shownAtRequests;
    connect(&platform, &SimulatedPlatform::requestReceived, this,
            [&bench, &shownAtRequests] { shownAtRequests << bench.info(); });
    QTest::ignoreMessage(QtDebugMsg,
                         QRegularExpression("^Transfer time Station -> MarlowDesk : from "
                                            "\\w{3} \\w{3} +\\d{1,2} \\d\\d:\\d\\d:\\d\\d \\d{4} to "
                                            "\\w{3} \\w{3} +\\d{1,2} \\d\\d:\\d\\d:\\d\\d \\d{4}$"));
    bench.find<QPushButton>("startburstmodeButton_marlowdesk")->click();

    QCOMPARE(bench.boxes, QStringList({kTransferBox, kFinishedBox}));
    QCOMPARE(bench.info(), QString("Burst Mode finished"));
    QCOMPARE(shownAtRequests, infoAtRequests);
    QCOMPARE(bench.enabled(), StationBench::kOperationControls);
    QCOMPARE(bench.station.receivedCommands(), QList<QByteArray>({kBurstRequest, kBurstAck}));

    // The file holds the dump byte for byte, under a name that stays in the directory.
    QCOMPARE(QDir(workDir.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot),
             QStringList{fileName});
    QCOMPARE(fileContents(fileName), dump.bytes);

    const QList<SimulatedPlatform::Request> requests = platform.requests();
    QCOMPARE(requests.size(), 1 + packetStarts.size());
    // The token and the serial go to the platform as the window has them; the
    // requests' form is the platform client's own business.
    QCOMPARE(SimulatedPlatform::item(requests.first().queryItems, "apm"), stationSerial);
    QCOMPARE(requests.first().headers.value("authorization"), kToken.toUtf8());

    for (int packet = 0; packet < packetStarts.size(); ++packet) {
        const bool last = packet == packetStarts.size() - 1;
        const int from = packetStarts.at(packet);
        const int to = last ? dump.records.size() : packetStarts.at(packet + 1);
        Items expected{{"apm", stationSerial}, {"current", QString::number(from)},
                       {"total", QString::number(lines)}};
        if (last)
            expected << qMakePair(QStringLiteral("end"), QStringLiteral("1"));
        expected << qMakePair(QStringLiteral("data"), dump.records.mid(from, to - from).join(QString()));
        QCOMPARE(requests.at(1 + packet).bodyItems, expected);
    }
}

void TestBurstMode::failedRuns_data()
{
    QTest::addColumn<Failure>("failure");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QString>("info");
    QTest::addColumn<int>("uploads");

    const QString uploadFailed = "Burst Mode failure / Error during burst mode : Export data from "
                                 "MarlowDesk to web platform failed";
    QTest::newRow("token refused: the station is never told to send")
        << Failure::TokenRefused
        << QStringList{"Authentication failure / Could not connect to the platform.\nMake sure you "
                       "have a valid token and access to internet."}
        << "Authentication failure" << 0;
    QTest::newRow("a directory in the way of the file: nothing is sent either")
        << Failure::FileBlocked
        << QStringList{"Burst Mode failure / Error during burst mode : Export data from Station "
                       "to Marlowdesk failed"}
        << "Start Burst Mode failure" << 0;
    QTest::newRow("file removed while the operator reads that the download is done")
        << Failure::FileVanishes
        << QStringList{kTransferBox, "File read failure / Can't read datalog file"}
        << "Sending data to web platform... Do not close MarlowDesk." << 0;
    // Whichever packet the platform refuses, the upload goes on to the end.
    QTest::newRow("first of two packets refused") << Failure::FirstPacketRefused
        << QStringList{kTransferBox, uploadFailed} << "Burst Mode failure" << 2;
    QTest::newRow("final packet refused") << Failure::FinalRefused
        << QStringList{kTransferBox, uploadFailed} << "Burst Mode failure" << 2;
    QTest::newRow("final packet answered with a server error") << Failure::FinalServerError
        << QStringList{kTransferBox, uploadFailed} << "Burst Mode failure" << 2;
}

void TestBurstMode::failedRuns()
{
    QFETCH(Failure, failure);
    QFETCH(QStringList, boxes);
    QFETCH(QString, info);
    QFETCH(int, uploads);

    StationBench bench;
    const Dump dump = makeDump("ST1234", 300);
    bench.station.setDump(dump.bytes);
    connectBench(bench);
    switch (failure) {
    case Failure::TokenRefused:
        platform.setAuthenticationAnswer(SimulatedPlatform::Answer::Refuse);
        break;
    case Failure::FileBlocked:
        QVERIFY(QDir(workDir.path()).mkdir(kFileName));
        break;
    case Failure::FirstPacketRefused:
        platform.setPacketAnswer(0, SimulatedPlatform::Answer::Refuse);
        break;
    case Failure::FinalRefused:
        platform.setFinalPacketAnswer(SimulatedPlatform::Answer::Refuse);
        break;
    case Failure::FinalServerError:
        platform.setFinalPacketAnswer(SimulatedPlatform::Answer::HttpError);
        break;
    case Failure::FileVanishes:
        break;
    }
    // What the file holds when the download is reported done.
    QByteArray downloaded;
    BoxShowHook hook(kTransferTitle, [&downloaded, failure] {
        downloaded = fileContents(kFileName);
        if (failure == Failure::FileVanishes)
            QFile::remove(kFileName);
    });

    bench.find<QPushButton>("startburstmodeButton_marlowdesk")->click();
    if (failure == Failure::FileBlocked)
        QVERIFY(QDir(workDir.path()).rmdir(kFileName));

    QCOMPARE(bench.boxes, boxes);
    QCOMPARE(bench.info(), info);
    QCOMPARE(bench.enabled(), StationBench::kOperationControls);
    const bool downloadDone = boxes.first() == kTransferBox;
    QCOMPARE(downloaded, downloadDone ? dump.bytes : QByteArray());
    // The station is told to send only once the token is taken and the file is open.
    QCOMPARE(bench.station.receivedCommands(), downloadDone ? QList<QByteArray>({kBurstRequest, kBurstAck})
                                                            : QList<QByteArray>{kBurstRequest});
    QCOMPARE(platform.uploadCount(), uploads);
}

void TestBurstMode::outcomes_data()
{
    QTest::addColumn<QByteArray>("slot");
    QTest::addColumn<CommandResult>("result");
    QTest::addColumn<bool>("enabledBefore");
    QTest::addColumn<QString>("info");
    QTest::addColumn<QString>("box");   // empty: no box
    QTest::addColumn<QStringList>("enabledAfter");
    QTest::addColumn<QString>("status");
    const auto row = [](const char *slot, int result, bool enabledBefore, const QString &info,
                        const QString &box, const QStringList &enabledAfter,
                        const QString &status = QStringLiteral("Not connected")) {
        QTest::addRow("%s %d", slot, result) << QByteArray(slot) << CommandResult(result)
                                             << enabledBefore << info << box << enabledAfter << status;
    };
    const QStringList all = StationBench::kOperationControls;
    const QStringList stopOnly{"stopburstmodeButton"};
    const QString notImplemented = "[DEV] Not implemented / Not implemented yet";
    const QString noData = "Burst Mode failure / No data available in this period";

    const char *station = "enableBurstModeFromStation";
    const QString startFailed = "Start Burst Mode failure";
    row(station, kSuccess, true, "Start Burst Mode success", QString(), all, "Disconnected");
    row(station, kFailure, true, startFailed, kRefusedBox, all);
    row(station, kNotConnected, true, startFailed, kNotConnectedBox, all);
    row(station, kIncomplete, true, startFailed, noData, all);
    row(station, kNotImplemented, true, startFailed, notImplemented, all);
    row(station, 7, true, "Enabling Burst Mode from Station...", QString(), all);

    const char *desk = "enableBurstModeFromMarlowDesk";
    row(desk, kFailure, true, startFailed,
        "Burst Mode failure / Error during burst mode : Export data from Station to Marlowdesk failed",
        all);
    row(desk, kNotConnected, true, startFailed, kNotConnectedBox, all);
    row(desk, kIncomplete, true, startFailed, noData, all);
    row(desk, kNotImplemented, true, startFailed, notImplemented, all);
    row(desk, 5, true, "Enabling Burst Mode from MarlowDesk...", QString(), all);

    const char *stop = "disableBurstMode";
    const QString stopFailed = "Stop Burst Mode failure";
    row(stop, kSuccess, true, "Stop Burst Mode success", QString(), QStringList(), "Disconnected");
    row(stop, kFailure, false, stopFailed, kRefusedBox, stopOnly);
    row(stop, kNotConnected, false, stopFailed, kNotConnectedBox, stopOnly);
    row(stop, kIncomplete, true, "Disabling Burst Mode...", QString(),
        QStringList{"resetButton", "getconfigButton", "setconfigButton",
                    "startburstmodeButton_station", "startburstmodeButton_marlowdesk", "burst_token"});
    row(stop, kNotImplemented, false, stopFailed, notImplemented, stopOnly);
}

// Every result of the three handlers' link operations, as the operator sees it.
void TestBurstMode::outcomes()
{
    QFETCH(QByteArray, slot);
    QFETCH(CommandResult, result);
    QFETCH(bool, enabledBefore);
    QFETCH(QString, info);
    QFETCH(QString, box);
    QFETCH(QStringList, enabledAfter);
    QFETCH(QString, status);

    StationBench bench;
    MainWindow &window = bench.window;
    prepare(bench);
    RecordingLink *link = &bench.useRecordingLink();
    link->result = result;
    link->serial = QStringLiteral("RL-1");
    QVERIFY(QMetaObject::invokeMethod(&window, enabledBefore ? "enableButtons" : "disableButtons"));

    QVERIFY(QMetaObject::invokeMethod(&window, slot.constData()));

    QCOMPARE(bench.info(), info);
    QCOMPARE(bench.boxes, box.isEmpty() ? QStringList() : QStringList{box});
    QCOMPARE(bench.enabled(), enabledAfter);
    QCOMPARE(bench.status(), status);
    if (slot != "disableBurstMode")
        QCOMPARE(link->period, QStringList({"25", "01", "01", "00", "005"}));
}

void TestBurstMode::stationRequests_data()
{
    QTest::addColumn<bool>("serial");
    QTest::addColumn<QByteArray>("button");
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QString>("info");
    QTest::addColumn<QStringList>("enabledAfter");

    // The station sends its data by itself from then on, so the link is let go.
    QTest::newRow("start from the station") << false << QByteArray("startburstmodeButton_station")
        << QByteArray("BURSTMODE:25010100:005") << "Start Burst Mode success" << StationBench::kOperationControls;
    QTest::newRow("stop over serial") << true << QByteArray("stopburstmodeButton")
        << QByteArray("ENDBURSTMODE") << "Stop Burst Mode success" << QStringList();
    // The station's network side is stopped by a restart, which ends the connection.
    QTest::newRow("stop over TCP") << false << QByteArray("stopburstmodeButton")
        << QByteArray("RESET:") << "Stop Burst Mode success" << QStringList();
}

// The start and stop buttons over a real link: the bytes sent and the window after the answer.
void TestBurstMode::stationRequests()
{
    QFETCH(bool, serial);
    QFETCH(QByteArray, button);
    QFETCH(QByteArray, command);
    QFETCH(QString, info);
    QFETCH(QStringList, enabledAfter);

    StationBench bench;
    connectBench(bench, serial);

    bench.find<QPushButton>(button.constData())->click();

    QVERIFY(bench.station.waitForCommands(1, kTcpLimitMs));
    QCOMPARE(bench.station.receivedCommands(), QList<QByteArray>{command});
    QCOMPARE(bench.info(), info);
    QCOMPARE(bench.boxes, QStringList());
    QVERIFY(bench.find<QAction>("actionConnect")->isEnabled());
    QVERIFY(!bench.find<QAction>("actionDisconnect")->isEnabled());
    QCOMPARE(bench.enabled(), enabledAfter);
}

void TestBurstMode::operatorActsDuringRun_data()
{
    QTest::addColumn<int>("request");   // the platform request during which the operator acts
    QTest::addColumn<Act>("act");
    QTest::addColumn<int>("lines");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QList<QByteArray>>("commands");
    QTest::addColumn<int>("uploads");
    QTest::addColumn<QStringList>("enabledAfter");

    const QStringList done{kTransferBox, kFinishedBox};
    // The station is stopped and the link closed; the upload carries on from the file.
    QTest::newRow("stop while the first of three packets is sent") << 1 << Act::Stop << 500 << done
        << QList<QByteArray>{kBurstRequest, kBurstAck, "RESET:"} << 3 << StationBench::kOperationControls;
    // Closing would end the upload half-way: the window stays until the last packet is answered.
    QTest::newRow("close while the first packet is sent") << 1 << Act::Close << 300 << done
        << QList<QByteArray>{kBurstRequest, kBurstAck} << 2 << StationBench::kOperationControls;
    // The link asked for the burst is gone: nothing may be sent over whatever link is there now.
    QTest::newRow("switch link while the platform checks the token") << 0 << Act::SwitchLink << 300
        << QStringList{kNotConnectedBox} << QList<QByteArray>{kBurstRequest} << 0 << StationBench::kOperationControls;
    QTest::newRow("switch link while the first packet is sent") << 1 << Act::SwitchLink << 300 << done
        << QList<QByteArray>{kBurstRequest, kBurstAck} << 2 << StationBench::kOperationControls;
}

// The platform's answers are awaited with the event loop running, so the operator
// can act meanwhile; whatever he does, no second run may start inside the first.
void TestBurstMode::operatorActsDuringRun()
{
    QFETCH(int, request);
    QFETCH(Act, act);
    QFETCH(int, lines);
    QFETCH(QStringList, boxes);
    QFETCH(QList<QByteArray>, commands);
    QFETCH(int, uploads);
    QFETCH(QStringList, enabledAfter);

    StationBench bench;
    MainWindow &window = bench.window;
    const Dump dump = makeDump("ST1234", lines);
    bench.station.setDump(dump.bytes);
    connectBench(bench);
    platform.setAnswerDelay(kPlatformDelayMs);
    bool stopWasEnabled = false;
    bool visibleAfterAct = false;
    QStringList enabledAfterAct;
    onRequest(request, [&] {
        stopWasEnabled = bench.find<QPushButton>("stopburstmodeButton")->isEnabled();
        if (act == Act::Stop) {
            bench.find<QPushButton>("stopburstmodeButton")->click();
        } else if (act == Act::Close) {
            bench.find<QAction>("actionQuit")->trigger();
        } else {
            bench.find<QAction>("actionDisconnect")->trigger();
            bench.find<QAction>("actionSetMode")->trigger();
        }
        visibleAfterAct = window.isVisible();
        enabledAfterAct = bench.enabled();
        QVERIFY(QMetaObject::invokeMethod(&window, "enableBurstModeFromMarlowDesk"));
        QVERIFY(QMetaObject::invokeMethod(&window, "enableBurstModeFromStation"));
    });

    bench.find<QPushButton>("startburstmodeButton_marlowdesk")->click();

    if (act == Act::Stop) {
        QVERIFY(stopWasEnabled);
        QCOMPARE(enabledAfterAct, QStringList());
    }
    QVERIFY(visibleAfterAct);
    QCOMPARE(bench.boxes, boxes);
    QCOMPARE(bench.station.receivedCommands(), commands);
    QCOMPARE(platform.uploadCount(), uploads);
    QCOMPARE(window.isVisible(), act != Act::Close);
    QCOMPARE(bench.mode(), uint8_t(act == Act::SwitchLink ? MainWindow::Serial : MainWindow::Wifi));
    QCOMPARE(bench.enabled(), enabledAfter);
    if (uploads) {
        QCOMPARE(bench.info(), QString("Burst Mode finished"));
        const int from = 240 * (uploads - 1);
        const Items last = platform.requests().last().bodyItems;
        QCOMPARE(SimulatedPlatform::item(last, "current"), QString::number(from));
        QCOMPARE(SimulatedPlatform::item(last, "data"), dump.records.mid(from).join(QString()));
        QCOMPARE(fileContents(kFileName), dump.bytes);
    } else {
        QCOMPARE(bench.info(), QString("Start Burst Mode failure"));
    }
}

QTEST_MAIN(TestBurstMode)
#include "tst_burstmode.moc"
