#include "mainwindow.h"

#include "fakeplatform.h"
#include "messageboxcatcher.h"
#include "ptystation.h"
#include "recordinglink.h"
#include "settingsdialogserial.h"
#include "simulatedstation.h"
#include "tcpstation.h"
#include "windowdriver.h"

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

using Box = MessageBoxCatcher::Box;
using Boxes = QList<QPair<QString, QString>>;
using WindowDriver::action;
using WindowDriver::child;
using WindowDriver::enabledControls;
using WindowDriver::operationControls;

Q_DECLARE_METATYPE(FakePlatform::Answer)

namespace {

constexpr int kTcpLimitMs = 1000;        // the station answers at once
constexpr int kPlatformDelayMs = 200;    // long enough for the operator to act meanwhile

const QString kToken = QStringLiteral("token 42");
const QString kConnectPath = QStringLiteral("/en/sensor/datalogger/connect/");
const QString kSendPath = QStringLiteral("/en/sensor/datalogger/send/");
const QByteArray kBurstRequest("BURSTMODEF:25010100:005");
const QByteArray kBurstAck("BURSTMODEF:OK\r\n");

const QPair<QString, QString> kTransferBox = {
    "Serial Transfer finished",
    "Data will now be sent from MarlowDesk to the web platform.\n"
    "You can disconnect your station but do not close MarlowDesk."};
const QPair<QString, QString> kFinishedBox = {
    "Burst Mode finished", "Data successfully sent to the platform.\n You can now close MarlowDesk."};
const QPair<QString, QString> kUploadFailedBox = {
    "Burst Mode failure",
    "Error during burst mode : Export data from MarlowDesk to web platform failed"};

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

QStringList keys(const QList<QPair<QString, QString>> &items)
{
    QStringList names;
    for (const auto &item : items)
        names << item.first;
    return names;
}

QString describe(const QList<Box> &caught)
{
    QStringList lines;
    for (const Box &box : caught)
        lines << box.title + QStringLiteral(" / ") + box.text;
    return lines.join(QStringLiteral("; "));
}

bool sameBoxes(const QList<Box> &caught, const Boxes &expected)
{
    if (caught.size() != expected.size())
        return false;
    for (int i = 0; i < caught.size(); ++i) {
        if (caught.at(i).title != expected.at(i).first || caught.at(i).text != expected.at(i).second)
            return false;
    }
    return true;
}

QString info(const MainWindow &window)
{
    return child<QLabel>(window, "info")->text();
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

    bool ran = false;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *box = qobject_cast<QMessageBox *>(watched);
        if (!ran && box && event->type() == QEvent::Show && box->windowTitle() == title) {
            ran = true;
            onShow();
        }
        return false;
    }

private:
    QString title;
    std::function<void()> onShow;
};

} // namespace

class TestBurstMode : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void uploadsInPackets_data();
    void uploadsInPackets();
    void authenticationRefused();
    void refusedPackets_data();
    void refusedPackets();
    void downloadFileCannotBeWritten();
    void fileVanishesBeforeUpload();
    void outcomes_data();
    void outcomes();
    void burstFromStation();
    void stopOverSerial();
    void stopOverTcp();

    void stopDuringUpload();
    void modeSwitchDuringUpload();
    void closeDuringUpload();
    void linkLostDuringAuthentication();

private:
    void prepare(MainWindow &window);
    static void connectOverTcp(MainWindow &window, quint16 port);
    static void connectOverSerial(MainWindow &window, const QString &path);
    static RecordingLink *useRecordingLink(MainWindow &window);
    static uint8_t mode(const MainWindow &window) { return window.mode; }
    static QString statusText(const MainWindow &window) { return window.status->text(); }
    // Runs action once, from the event loop, when the platform has received request number index.
    void onRequest(int index, std::function<void()> action);

    QTemporaryDir workDir;
    FakePlatform platform;
    MessageBoxCatcher *catcher = nullptr;
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
    catcher = new MessageBoxCatcher(this);
    platform.reset();
    QDir dir(workDir.path());
    for (const QString &name : dir.entryList(QDir::Files))
        QVERIFY(dir.remove(name));
}

void TestBurstMode::cleanup()
{
    delete catcher;
    catcher = nullptr;
    disconnect(&platform, &FakePlatform::requestReceived, nullptr, nullptr);
}

// Shows the window, points it at the local platform and fills the period and token.
void TestBurstMode::prepare(MainWindow &window)
{
    window.show();
    window.platformUrl = platform.baseUrl();
    child<QDateTimeEdit>(window, "burstmodeDate")->setDateTime(QDateTime(QDate(2025, 1, 1), QTime(0, 0)));
    child<QSpinBox>(window, "burstmodeDays")->setValue(5);
    child<QLineEdit>(window, "burst_token")->setText(kToken);
}

void TestBurstMode::connectOverTcp(MainWindow &window, quint16 port)
{
    WindowDriver::useTcp(window, port, kTcpLimitMs);
    action(window, "actionConnect")->trigger();
    QCOMPARE(enabledControls(window), operationControls());
}

void TestBurstMode::connectOverSerial(MainWindow &window, const QString &path)
{
    WindowDriver::useSerialPort(window, path);
    action(window, "actionConnect")->trigger();
    QCOMPARE(enabledControls(window), operationControls());
}

RecordingLink *TestBurstMode::useRecordingLink(MainWindow &window)
{
    delete window.link;
    auto *link = new RecordingLink(window.ui);
    window.link = link;
    return link;
}

void TestBurstMode::onRequest(int index, std::function<void()> action)
{
    // Not inside the platform's own signal: the action runs nested in the
    // client's wait, as an operator's click would.
    connect(&platform, &FakePlatform::requestReceived, this, [this, index, action] {
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
        << false << "ST1234" << "ST1234_data.log" << 500 << QList<int>{0, 240, 480}
        << QStringList{"Authenticating User...", "0% transferred", "48% transferred",
                       "96% transferred"};
    QTest::newRow("239 lines and the end record: a full packet and an empty final one")
        << false << "ST1234" << "ST1234_data.log" << 239 << QList<int>{0, 240}
        << QStringList{"Authenticating User...", "0% transferred", "100% transferred"};
    QTest::newRow("240 lines: the end record alone in the final packet")
        << false << "ST1234" << "ST1234_data.log" << 240 << QList<int>{0, 240}
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

    SimulatedStation station;
    StationConfig config = station.config();
    config.SERIAL = stationSerial;
    station.setConfig(config);
    const Dump dump = makeDump(stationSerial, lines);
    station.setDump(dump.bytes);
    PtyStation pty(station);
    TcpStation tcp(station);

    MainWindow window;
    prepare(window);
    if (serialLink) {
        QVERIFY(pty.start());
        connectOverSerial(window, pty.slavePath());
    } else {
        QVERIFY(tcp.start());
        connectOverTcp(window, tcp.port());
    }
    catcher->clear();
    station.clearReceived();

    QStringList shownAtRequests;
    connect(&platform, &FakePlatform::requestReceived, this,
            [&window, &shownAtRequests] { shownAtRequests << info(window); });
    QTest::ignoreMessage(QtDebugMsg,
                         QRegularExpression("^Transfer time Station -> MarlowDesk : from "
                                            "\\w{3} \\w{3} +\\d{1,2} \\d\\d:\\d\\d:\\d\\d \\d{4} to "
                                            "\\w{3} \\w{3} +\\d{1,2} \\d\\d:\\d\\d:\\d\\d \\d{4}$"));
    child<QPushButton>(window, "startburstmodeButton_marlowdesk")->click();

    QVERIFY2(sameBoxes(catcher->boxes(), {kTransferBox, kFinishedBox}),
             qPrintable(describe(catcher->boxes())));
    QCOMPARE(info(window), QString("Burst Mode finished"));
    QCOMPARE(shownAtRequests, infoAtRequests);
    QCOMPARE(enabledControls(window), operationControls());
    QCOMPARE(station.receivedCommands(), QList<QByteArray>({kBurstRequest, kBurstAck}));

    // The file holds the dump byte for byte, under a name that stays in the directory.
    QCOMPARE(QDir(workDir.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot),
             QStringList{fileName});
    QCOMPARE(fileContents(fileName), dump.bytes);

    const QList<FakePlatform::Request> requests = platform.requests();
    QCOMPARE(requests.size(), 1 + packetStarts.size());
    const FakePlatform::Request &login = requests.first();
    QCOMPARE(login.method, QByteArray("GET"));
    QCOMPARE(login.path, kConnectPath);
    QCOMPARE(FakePlatform::item(login.queryItems, "apm"), stationSerial);
    QCOMPARE(login.headers.value("authorization"), kToken.toUtf8());

    for (int packet = 0; packet < packetStarts.size(); ++packet) {
        const bool last = packet == packetStarts.size() - 1;
        const int from = packetStarts.at(packet);
        const int to = last ? dump.records.size() : packetStarts.at(packet + 1);
        const FakePlatform::Request &upload = requests.at(1 + packet);
        QCOMPARE(upload.method, QByteArray("POST"));
        QCOMPARE(upload.path, kSendPath);
        QCOMPARE(upload.headers.value("authorization"), kToken.toUtf8());
        const QStringList itemNames = last
            ? QStringList{"apm", "current", "total", "end", "data"}
            : QStringList{"apm", "current", "total", "data"};
        QCOMPARE(keys(upload.bodyItems), itemNames);
        QCOMPARE(FakePlatform::item(upload.bodyItems, "apm"), stationSerial);
        QCOMPARE(FakePlatform::item(upload.bodyItems, "current"), QString::number(from));
        QCOMPARE(FakePlatform::item(upload.bodyItems, "total"), QString::number(lines));
        if (last)
            QCOMPARE(FakePlatform::item(upload.bodyItems, "end"), QString("1"));
        QCOMPARE(FakePlatform::item(upload.bodyItems, "data"),
                 dump.records.mid(from, to - from).join(QString()));
    }
}

void TestBurstMode::authenticationRefused()
{
    SimulatedStation station;
    TcpStation tcp(station);
    QVERIFY(tcp.start());
    MainWindow window;
    prepare(window);
    connectOverTcp(window, tcp.port());
    catcher->clear();
    station.clearReceived();
    platform.setAuthenticationAnswer(FakePlatform::Answer::Refuse);

    child<QPushButton>(window, "startburstmodeButton_marlowdesk")->click();

    QVERIFY2(sameBoxes(catcher->boxes(),
                       {{"Authentication failure",
                         "Could not connect to the platform.\nMake sure you have a valid token and "
                         "access to internet."}}),
             qPrintable(describe(catcher->boxes())));
    QCOMPARE(info(window), QString("Authentication failure"));
    QCOMPARE(enabledControls(window), operationControls());
    // The station was asked for the burst but never told to send it.
    QCOMPARE(station.receivedCommands(), QList<QByteArray>({kBurstRequest}));
    QCOMPARE(platform.uploadCount(), 0);
}

void TestBurstMode::refusedPackets_data()
{
    QTest::addColumn<int>("refusedPacket");   // -1: the final one
    QTest::addColumn<FakePlatform::Answer>("answer");
    QTest::newRow("first of two refused") << 0 << FakePlatform::Answer::Refuse;
    QTest::newRow("final refused") << -1 << FakePlatform::Answer::Refuse;
    QTest::newRow("final answered with a server error") << -1 << FakePlatform::Answer::HttpError;
}

// Whichever packet the platform refuses, the upload goes on to the end and reports failure.
void TestBurstMode::refusedPackets()
{
    QFETCH(int, refusedPacket);
    QFETCH(FakePlatform::Answer, answer);

    SimulatedStation station;
    station.setBurstLineCount(300);
    TcpStation tcp(station);
    QVERIFY(tcp.start());
    MainWindow window;
    prepare(window);
    connectOverTcp(window, tcp.port());
    catcher->clear();
    if (refusedPacket < 0)
        platform.setFinalPacketAnswer(answer);
    else
        platform.setPacketAnswer(refusedPacket, answer);

    child<QPushButton>(window, "startburstmodeButton_marlowdesk")->click();

    QVERIFY2(sameBoxes(catcher->boxes(), {kTransferBox, kUploadFailedBox}),
             qPrintable(describe(catcher->boxes())));
    QCOMPARE(info(window), QString("Burst Mode failure"));
    QCOMPARE(platform.uploadCount(), 2);
    QCOMPARE(enabledControls(window), operationControls());
}

// A directory in the way of the burst file: the download fails before the station is told to send.
void TestBurstMode::downloadFileCannotBeWritten()
{
    SimulatedStation station;
    TcpStation tcp(station);
    QVERIFY(tcp.start());
    QVERIFY(QDir(workDir.path()).mkdir("ST1234_data.log"));
    MainWindow window;
    prepare(window);
    connectOverTcp(window, tcp.port());
    catcher->clear();
    station.clearReceived();

    child<QPushButton>(window, "startburstmodeButton_marlowdesk")->click();
    QVERIFY(QDir(workDir.path()).rmdir("ST1234_data.log"));

    QVERIFY2(sameBoxes(catcher->boxes(),
                       {{"Burst Mode failure",
                         "Error during burst mode : Export data from Station to Marlowdesk failed"}}),
             qPrintable(describe(catcher->boxes())));
    QCOMPARE(info(window), QString("Start Burst Mode failure"));
    QCOMPARE(station.receivedCommands(), QList<QByteArray>({kBurstRequest}));
    QCOMPARE(platform.uploadCount(), 0);
    QCOMPARE(enabledControls(window), operationControls());
}

// The file is removed while the operator reads that the download is done.
void TestBurstMode::fileVanishesBeforeUpload()
{
    SimulatedStation station;
    TcpStation tcp(station);
    QVERIFY(tcp.start());
    MainWindow window;
    prepare(window);
    connectOverTcp(window, tcp.port());
    catcher->clear();
    QByteArray downloaded;
    BoxShowHook hook(kTransferBox.first, [&downloaded] {
        downloaded = fileContents("ST1234_data.log");
        QFile::remove("ST1234_data.log");
    });

    child<QPushButton>(window, "startburstmodeButton_marlowdesk")->click();

    QVERIFY(hook.ran);
    QVERIFY(downloaded.endsWith("END\r\n"));
    QVERIFY2(sameBoxes(catcher->boxes(), {kTransferBox, {"File read failure", "Can't read datalog file"}}),
             qPrintable(describe(catcher->boxes())));
    QCOMPARE(info(window), QString("Sending data to web platform... Do not close MarlowDesk."));
    QCOMPARE(platform.uploadCount(), 0);
    QCOMPARE(enabledControls(window), operationControls());
}

void TestBurstMode::outcomes_data()
{
    QTest::addColumn<QByteArray>("slot");
    QTest::addColumn<CommandResult>("result");
    QTest::addColumn<bool>("enabledBefore");
    QTest::addColumn<QString>("info");
    QTest::addColumn<QString>("title");   // empty: no box
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("enabledAfter");
    QTest::addColumn<QString>("status");

    const QStringList all = operationControls();
    const QStringList stopOnly{"stopburstmodeButton"};
    const QString idle = "Not connected";
    const QString notConnected = "Device not connected";
    const QString connectPlease = "Please connect the device";
    const QString devTitle = "[DEV] Not implemented";
    const QString devText = "Not implemented yet";
    const QString failure = "Burst Mode failure";
    const QString noData = "No data available in this period";

    const QByteArray station = "enableBurstModeFromStation";
    const QString startFailed = "Start Burst Mode failure";
    QTest::newRow("station 0") << station << kSuccess << true << "Start Burst Mode success"
                               << QString() << QString() << all << "Disconnected";
    QTest::newRow("station 1") << station << kFailure << true << startFailed << failure
                               << "Error during burst mode" << all << idle;
    QTest::newRow("station 2") << station << kNotConnected << true << startFailed << notConnected
                               << connectPlease << all << idle;
    QTest::newRow("station 3") << station << kIncomplete << true << startFailed << failure
                               << noData << all << idle;
    QTest::newRow("station 4") << station << kNotImplemented << true << startFailed << devTitle
                               << devText << all << idle;
    QTest::newRow("station 7") << station << CommandResult(7) << true
                               << "Enabling Burst Mode from Station..." << QString() << QString()
                               << all << idle;

    const QByteArray desk = "enableBurstModeFromMarlowDesk";
    QTest::newRow("download 1") << desk << kFailure << true << startFailed << failure
                                << "Error during burst mode : Export data from Station to "
                                   "Marlowdesk failed"
                                << all << idle;
    QTest::newRow("download 2") << desk << kNotConnected << true << startFailed << notConnected
                                << connectPlease << all << idle;
    QTest::newRow("download 3") << desk << kIncomplete << true << startFailed << failure << noData
                                << all << idle;
    QTest::newRow("download 4") << desk << kNotImplemented << true << startFailed << devTitle
                                << devText << all << idle;
    QTest::newRow("download 5") << desk << CommandResult(5) << true
                                << "Enabling Burst Mode from MarlowDesk..." << QString() << QString()
                                << all << idle;

    const QByteArray stop = "disableBurstMode";
    const QString stopFailed = "Stop Burst Mode failure";
    QTest::newRow("stop 0") << stop << kSuccess << true << "Stop Burst Mode success" << QString()
                            << QString() << QStringList() << "Disconnected";
    QTest::newRow("stop 1") << stop << kFailure << false << stopFailed << failure
                            << "Error during burst mode" << stopOnly << idle;
    QTest::newRow("stop 2") << stop << kNotConnected << false << stopFailed << notConnected
                            << connectPlease << stopOnly << idle;
    QTest::newRow("stop 3") << stop << kIncomplete << true << "Disabling Burst Mode..."
                            << QString() << QString()
                            << QStringList{"resetButton", "getconfigButton", "setconfigButton",
                                           "startburstmodeButton_station",
                                           "startburstmodeButton_marlowdesk", "burst_token"}
                            << idle;
    QTest::newRow("stop 4") << stop << kNotImplemented << false << stopFailed << devTitle
                            << devText << stopOnly << idle;
}

// Every result of the three handlers' link operations, as the operator sees it.
void TestBurstMode::outcomes()
{
    QFETCH(QByteArray, slot);
    QFETCH(CommandResult, result);
    QFETCH(bool, enabledBefore);
    QFETCH(QString, info);
    QFETCH(QString, title);
    QFETCH(QString, text);
    QFETCH(QStringList, enabledAfter);
    QFETCH(QString, status);

    MainWindow window;
    prepare(window);
    RecordingLink *link = useRecordingLink(window);
    link->result = result;
    link->serial = QStringLiteral("RL-1");
    QVERIFY(QMetaObject::invokeMethod(&window, enabledBefore ? "enableButtons" : "disableButtons"));

    QVERIFY(QMetaObject::invokeMethod(&window, slot.constData()));

    QCOMPARE(::info(window), info);
    if (title.isEmpty())
        QVERIFY2(catcher->boxes().isEmpty(), qPrintable(describe(catcher->boxes())));
    else
        QVERIFY2(sameBoxes(catcher->boxes(), {{title, text}}), qPrintable(describe(catcher->boxes())));
    QCOMPARE(enabledControls(window), enabledAfter);
    QCOMPARE(statusText(window), status);
    if (slot != "disableBurstMode")
        QCOMPARE(link->period, QStringList({"25", "01", "01", "00", "005"}));
}

void TestBurstMode::burstFromStation()
{
    SimulatedStation station;
    TcpStation tcp(station);
    QVERIFY(tcp.start());
    MainWindow window;
    prepare(window);
    connectOverTcp(window, tcp.port());
    catcher->clear();
    station.clearReceived();

    child<QPushButton>(window, "startburstmodeButton_station")->click();
    QCOMPARE(station.receivedCommands(), QList<QByteArray>({"BURSTMODE:25010100:005"}));
    QCOMPARE(info(window), QString("Start Burst Mode success"));
    QVERIFY(action(window, "actionConnect")->isEnabled());
    QVERIFY(!action(window, "actionDisconnect")->isEnabled());
    QVERIFY(catcher->boxes().isEmpty());

    // A station that does not acknowledge the request.
    action(window, "actionConnect")->trigger();
    catcher->clear();
    station.clearReceived();
    station.setFault("BURSTMODE:", StationFault::wrongText("BURSTMODE:NO\r\n"));
    child<QPushButton>(window, "startburstmodeButton_station")->click();
    QCOMPARE(station.receivedCommands(), QList<QByteArray>({"BURSTMODE:25010100:005"}));
    QVERIFY2(sameBoxes(catcher->boxes(), {{"Burst Mode failure", "Error during burst mode"}}),
             qPrintable(describe(catcher->boxes())));
    QCOMPARE(info(window), QString("Start Burst Mode failure"));
    QVERIFY(action(window, "actionDisconnect")->isEnabled());
    QCOMPARE(enabledControls(window), operationControls());
}

void TestBurstMode::stopOverSerial()
{
    SimulatedStation station;
    PtyStation pty(station);
    QVERIFY(pty.start());
    MainWindow window;
    prepare(window);
    connectOverSerial(window, pty.slavePath());
    catcher->clear();
    station.clearReceived();

    child<QPushButton>(window, "stopburstmodeButton")->click();
    QCOMPARE(station.receivedCommands(), QList<QByteArray>({"ENDBURSTMODE"}));
    QCOMPARE(info(window), QString("Stop Burst Mode success"));
    QVERIFY(action(window, "actionConnect")->isEnabled());
    QCOMPARE(enabledControls(window), QStringList());
    QVERIFY(catcher->boxes().isEmpty());

    action(window, "actionConnect")->trigger();
    catcher->clear();
    station.clearReceived();
    station.setFault("ENDBURSTMODE", StationFault::wrongText("ENDBURSTMODE:KO\r\n"));
    child<QPushButton>(window, "stopburstmodeButton")->click();
    QCOMPARE(station.receivedCommands(), QList<QByteArray>({"ENDBURSTMODE"}));
    QVERIFY2(sameBoxes(catcher->boxes(), {{"Burst Mode failure", "Error during burst mode"}}),
             qPrintable(describe(catcher->boxes())));
    QCOMPARE(info(window), QString("Stop Burst Mode failure"));
    QVERIFY(action(window, "actionDisconnect")->isEnabled());
    QCOMPARE(enabledControls(window), operationControls());
}

// The station's network side is stopped by a restart, which ends the connection.
void TestBurstMode::stopOverTcp()
{
    SimulatedStation station;
    TcpStation tcp(station);
    QVERIFY(tcp.start());
    MainWindow window;
    prepare(window);
    connectOverTcp(window, tcp.port());
    catcher->clear();
    station.clearReceived();

    child<QPushButton>(window, "stopburstmodeButton")->click();
    QVERIFY(station.waitForCommands(1, kTcpLimitMs));
    QCOMPARE(station.receivedCommands(), QList<QByteArray>({"RESET:"}));
    QCOMPARE(info(window), QString("Stop Burst Mode success"));
    QVERIFY(action(window, "actionConnect")->isEnabled());
    QVERIFY(!action(window, "actionDisconnect")->isEnabled());
    QCOMPARE(enabledControls(window), QStringList());
    QVERIFY(catcher->boxes().isEmpty());
}

// Stop clicked while the platform holds the first packet: the station is stopped
// and the link closed, the upload carries on from the file to the end, and no
// second run can start inside the first.
void TestBurstMode::stopDuringUpload()
{
    SimulatedStation station;
    const Dump dump = makeDump("ST1234", 500);
    station.setDump(dump.bytes);
    TcpStation tcp(station);
    QVERIFY(tcp.start());
    MainWindow window;
    prepare(window);
    connectOverTcp(window, tcp.port());
    catcher->clear();
    station.clearReceived();
    platform.setAnswerDelay(kPlatformDelayMs);

    bool stopWasEnabled = false;
    QStringList enabledAfterStop;
    onRequest(1, [&] {
        QPushButton *stop = child<QPushButton>(window, "stopburstmodeButton");
        stopWasEnabled = stop->isEnabled();
        stop->click();
        enabledAfterStop = enabledControls(window);
        QVERIFY(QMetaObject::invokeMethod(&window, "enableBurstModeFromMarlowDesk"));
        QVERIFY(QMetaObject::invokeMethod(&window, "enableBurstModeFromStation"));
    });

    child<QPushButton>(window, "startburstmodeButton_marlowdesk")->click();

    QVERIFY(stopWasEnabled);
    QCOMPARE(enabledAfterStop, QStringList());
    QVERIFY2(sameBoxes(catcher->boxes(), {kTransferBox, kFinishedBox}),
             qPrintable(describe(catcher->boxes())));
    QCOMPARE(info(window), QString("Burst Mode finished"));
    QCOMPARE(station.receivedCommands(), QList<QByteArray>({kBurstRequest, kBurstAck, "RESET:"}));
    QCOMPARE(platform.requests().size(), 4);
    QCOMPARE(FakePlatform::item(platform.requests().last().bodyItems, "current"), QString("480"));
    QCOMPARE(fileContents("ST1234_data.log"), dump.bytes);
    // The run ends disconnected, as the stop left it.
    QVERIFY(action(window, "actionConnect")->isEnabled());
    QCOMPARE(enabledControls(window), QStringList());
}

// The operator disconnects and switches to the serial link while the upload waits.
void TestBurstMode::modeSwitchDuringUpload()
{
    SimulatedStation station;
    const Dump dump = makeDump("ST1234", 300);
    station.setDump(dump.bytes);
    TcpStation tcp(station);
    QVERIFY(tcp.start());
    MainWindow window;
    prepare(window);
    connectOverTcp(window, tcp.port());
    catcher->clear();
    platform.setAnswerDelay(kPlatformDelayMs);

    onRequest(1, [&window] {
        action(window, "actionDisconnect")->trigger();
        action(window, "actionSetMode")->trigger();
    });

    child<QPushButton>(window, "startburstmodeButton_marlowdesk")->click();

    QCOMPARE(mode(window), uint8_t(MainWindow::Serial));
    QVERIFY2(sameBoxes(catcher->boxes(), {kTransferBox, kFinishedBox}),
             qPrintable(describe(catcher->boxes())));
    QCOMPARE(platform.uploadCount(), 2);
    QCOMPARE(FakePlatform::item(platform.requests().last().bodyItems, "data"),
             dump.records.mid(240).join(QString()));
    QCOMPARE(fileContents("ST1234_data.log"), dump.bytes);
    QCOMPARE(enabledControls(window), QStringList());
}

// Closing the window while the upload waits would end it half-way: the window
// stays until the last packet is answered, then closes.
void TestBurstMode::closeDuringUpload()
{
    SimulatedStation station;
    station.setBurstLineCount(300);
    TcpStation tcp(station);
    QVERIFY(tcp.start());
    MainWindow window;
    prepare(window);
    connectOverTcp(window, tcp.port());
    catcher->clear();
    platform.setAnswerDelay(kPlatformDelayMs);

    bool visibleAfterClose = false;
    onRequest(1, [&window, &visibleAfterClose] {
        action(window, "actionQuit")->trigger();
        visibleAfterClose = window.isVisible();
    });

    child<QPushButton>(window, "startburstmodeButton_marlowdesk")->click();

    QVERIFY(visibleAfterClose);
    QVERIFY2(sameBoxes(catcher->boxes(), {kTransferBox, kFinishedBox}),
             qPrintable(describe(catcher->boxes())));
    QCOMPARE(platform.uploadCount(), 2);
    QVERIFY(!window.isVisible());
}

// The link asked for the burst is released while the platform checks the token:
// nothing may be sent over whatever link is there now.
void TestBurstMode::linkLostDuringAuthentication()
{
    SimulatedStation station;
    TcpStation tcp(station);
    QVERIFY(tcp.start());
    MainWindow window;
    prepare(window);
    connectOverTcp(window, tcp.port());
    catcher->clear();
    station.clearReceived();
    platform.setAnswerDelay(kPlatformDelayMs);

    onRequest(0, [&window] {
        action(window, "actionDisconnect")->trigger();
        action(window, "actionSetMode")->trigger();
    });

    child<QPushButton>(window, "startburstmodeButton_marlowdesk")->click();

    QCOMPARE(mode(window), uint8_t(MainWindow::Serial));
    QVERIFY2(sameBoxes(catcher->boxes(), {{"Device not connected", "Please connect the device"}}),
             qPrintable(describe(catcher->boxes())));
    QCOMPARE(info(window), QString("Start Burst Mode failure"));
    QCOMPARE(station.receivedCommands(), QList<QByteArray>({kBurstRequest}));
    QCOMPARE(platform.uploadCount(), 0);
    QCOMPARE(enabledControls(window), QStringList());
}

QTEST_MAIN(TestBurstMode)
#include "tst_burstmode.moc"
