#include "wificommands.h"

#include "dialogdriver.h"
#include "localports.h"
#include "sampleconfig.h"
#include "settingsdialogwifi.h"
#include "simulatedstation.h"
#include "stationprotocol.h"
#include "tcpstation.h"
#include "ui_mainwindow.h"

#include <QMainWindow>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <functional>
#include <memory>

// One link operation, its outcome as text.
using Operation = std::function<QString(CommandsManager &)>;
Q_DECLARE_METATYPE(Operation)

namespace {

// Short enough to keep the silent cases quick, long enough for a loaded machine.
constexpr int kTestTimeoutMs = 300;
// A pause well inside the time limit, long enough to arrive as a separate piece.
constexpr int kPieceGapMs = 60;

QStringList debugLines;
QtMessageHandler previousHandler = nullptr;

void recordDebugLine(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtDebugMsg)
        debugLines << text;
    previousHandler(type, context, text);
}

int connectionAttempts()
{
    return debugLines.filter(QStringLiteral("[WIFI] connecting to ")).size();
}

} // namespace

// The link blocks this thread in its waits, so the station answers from the
// TcpStation thread on 127.0.0.1. Every case starts disconnected, with a fresh
// station, window form, settings dialog and link.
class TestWifiCommands : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void connectsWithTheDialogSettingsAndDisconnectsOnce();
    void failedConnectionShowsTheSocketError();
    void operationsConnectOnceWhenTheStationIsUnreachable_data();
    void operationsConnectOnceWhenTheStationIsUnreachable();
    void setConfigGivesUpOnAnUnreachableStation();

    void getConfigSendsOnlyTheRequestAndFillsTheRecord();
    void getConfigFailsOnSilenceAndReconnectsAfterADrop();
    void sendDateIsJudgedByTheConfigurationRead();
    void setConfigWritesThenReadsBack();

    void resetSendsSixBytesAndDisconnectsTheWindow_data();
    void resetSendsSixBytesAndDisconnectsTheWindow();
    void burstModeIsJudgedOnWhatFollowsTheFirstPiece_data();
    void burstModeIsJudgedOnWhatFollowsTheFirstPiece();
    void burstModeFReturnsTheReplyFromItsFourthCharacter();
    void ackBurstModeSendsTheAcknowledgementLine();

    void destroyingTheLinkClosesTheConnection();

private:
    void applySettings(quint16 port);
    QList<QByteArray> commandsAfter(int count);

    std::unique_ptr<SimulatedStation> station;
    std::unique_ptr<TcpStation> tcp;
    std::unique_ptr<QMainWindow> window;
    std::unique_ptr<Ui::MainWindow> form;
    std::unique_ptr<SettingsDialogWifi> dialog;
    std::unique_ptr<WifiCommands> link;
    int disconnectTriggers = 0;
};

void TestWifiCommands::initTestCase()
{
    previousHandler = qInstallMessageHandler(recordDebugLine);
}

void TestWifiCommands::cleanupTestCase()
{
    qInstallMessageHandler(previousHandler);
}

void TestWifiCommands::init()
{
    station = std::make_unique<SimulatedStation>();
    station->setConfig(sampleConfig());
    tcp = std::make_unique<TcpStation>(*station);
    QVERIFY(tcp->start());

    window = std::make_unique<QMainWindow>();
    form = std::make_unique<Ui::MainWindow>();
    form->setupUi(window.get());
    dialog = std::make_unique<SettingsDialogWifi>();
    applySettings(tcp->port());
    link = std::make_unique<WifiCommands>(form.get(), dialog.get());

    // The window answers its Disconnect action by disconnecting the link.
    disconnectTriggers = 0;
    connect(form->actionDisconnect, &QAction::triggered, this, [this] {
        ++disconnectTriggers;
        link->disconnectDevice();
    });
    debugLines.clear();
}

void TestWifiCommands::cleanup()
{
    link.reset();
    dialog.reset();
    form.reset();
    window.reset();
    tcp.reset();
    station.reset();
}

void TestWifiCommands::applySettings(quint16 port)
{
    DialogDriver::useTcpStation(*dialog, QStringLiteral("127.0.0.1"), port, kTestTimeoutMs);
}

// Waits for the station to have received count commands and returns them.
QList<QByteArray> TestWifiCommands::commandsAfter(int count)
{
    station->waitForCommands(count, 2000);
    return station->receivedCommands();
}

void TestWifiCommands::connectsWithTheDialogSettingsAndDisconnectsOnce()
{
    QVERIFY(link->connectDevice());
    QCOMPARE(form->info->text(), QStringLiteral("[DEV] waitForConnected executed"));
    QCOMPARE(debugLines.first(),
             QStringLiteral("[WIFI] connecting to 127.0.0.1:%1 ... timeout(ms) = %2")
                 .arg(tcp->port()).arg(kTestTimeoutMs));
    QVERIFY(debugLines.contains(QStringLiteral("[WIFI] connected")));

    QVERIFY(link->disconnectDevice());
    QVERIFY(!link->disconnectDevice());
    QCOMPARE(debugLines.filter(QStringLiteral("[WIFI] disconnected")).size(), 1);
    QVERIFY(station->receivedBytes().isEmpty());
}

void TestWifiCommands::failedConnectionShowsTheSocketError()
{
    applySettings(closedLocalPort());
    QVERIFY(!link->connectDevice());
    QCOMPARE(form->info->text(), QStringLiteral("Connection refused"));
    QVERIFY(debugLines.contains(QStringLiteral("Not connected")));
    QVERIFY(!link->disconnectDevice());
}

void TestWifiCommands::operationsConnectOnceWhenTheStationIsUnreachable_data()
{
    QTest::addColumn<Operation>("operation");
    QTest::addColumn<QString>("expected");
    const auto code = [](CommandResult result) { return QString::number(result); };
    QTest::newRow("getConfig") << Operation([=](CommandsManager &m) { return code(m.getConfig()); })
                               << "2";
    QTest::newRow("sendDate") << Operation([=](CommandsManager &m) { return code(m.sendDate()); })
                              << "2";
    QTest::newRow("sendReset") << Operation([=](CommandsManager &m) { return code(m.sendReset()); })
                               << "2";
    QTest::newRow("stopBurstMode")
        << Operation([=](CommandsManager &m) { return code(m.stopBurstMode()); }) << "2";
    QTest::newRow("sendBurstMode") << Operation([=](CommandsManager &m) {
        return code(m.sendBurstMode("19", "05", "27", "14", "007"));
    }) << "2";
    QTest::newRow("sendBurstModeF") << Operation([](CommandsManager &m) {
        return m.sendBurstModeF("19", "05", "27", "14", "007");
    }) << "noserialreceived";
    QTest::newRow("ackBurstMode")
        << Operation([=](CommandsManager &m) { return code(m.ackBurstMode()); }) << "1";
}

void TestWifiCommands::operationsConnectOnceWhenTheStationIsUnreachable()
{
    QFETCH(Operation, operation);
    QFETCH(QString, expected);
    applySettings(closedLocalPort());
    const QString date = form->label_18->text();

    QCOMPARE(operation(*link), expected);
    QCOMPARE(connectionAttempts(), 1);
    QCOMPARE(disconnectTriggers, 0);
    QCOMPARE(form->label_18->text(), date);
    QCOMPARE(form->info->text(), QStringLiteral("Connection refused"));
}

void TestWifiCommands::setConfigGivesUpOnAnUnreachableStation()
{
    applySettings(closedLocalPort());
    QCOMPARE(int(link->setConfig(sampleConfig())), int(kNotConnected));
    QCOMPARE(connectionAttempts(), 4);
    QCOMPARE(debugLines.filter(QStringLiteral("[WIFI] set Config...")).size(), 2);
}

void TestWifiCommands::getConfigSendsOnlyTheRequestAndFillsTheRecord()
{
    QCOMPARE(int(link->getConfig()), int(kSuccess));
    QCOMPARE(station->receivedBytes(), QByteArray("GETCONFIG:"));
    QCOMPARE(tcp->connectionCount(), 1);
    QCOMPARE(connectionAttempts(), 1);
    QCOMPARE(link->config.RECEIVEDSERIAL, QStringLiteral("1234"));
    QCOMPARE(link->config.COM3G, QStringLiteral("ON"));
    QCOMPARE(link->config.APN, QStringLiteral("internet"));
    QCOMPARE(link->config.VBOXIP, QStringLiteral("10.0.0.5"));
    QCOMPARE(link->config.VBOXPORT, QStringLiteral("5000"));
    QVERIFY(debugLines.contains(QStringLiteral("[WIFI] get Config OK")));

    // A second operation reuses the open connection.
    QCOMPARE(int(link->getConfig()), int(kSuccess));
    QCOMPARE(tcp->connectionCount(), 1);
    QCOMPARE(connectionAttempts(), 1);
}

void TestWifiCommands::getConfigFailsOnSilenceAndReconnectsAfterADrop()
{
    station->setFault("GETCONFIG:", StationFault::silent());
    QCOMPARE(int(link->getConfig()), int(kFailure));
    QCOMPARE(link->config.VBOXIP, QString());
    QVERIFY(!debugLines.contains(QStringLiteral("[WIFI] get Config OK")));

    // A station that hangs up is reached again by the next operation.
    station->setFault("GETCONFIG:", StationFault::drop());
    QCOMPARE(int(link->getConfig()), int(kFailure));
    QCOMPARE(int(link->getConfig()), int(kSuccess));
    QCOMPARE(tcp->connectionCount(), 2);
    QCOMPARE(connectionAttempts(), 2);
    QCOMPARE(station->receivedCommands(),
             QList<QByteArray>({"GETCONFIG:", "GETCONFIG:", "GETCONFIG:"}));
}

void TestWifiCommands::sendDateIsJudgedByTheConfigurationRead()
{
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
    QCOMPARE(int(link->sendDate()), int(kSuccess));
    const QList<QByteArray> commands = commandsAfter(2);
    QCOMPARE(commands.size(), 2);
    QCOMPARE(commands.at(1), QByteArray("GETCONFIG:"));

    const QByteArray dateCommand = commands.at(0);
    QVERIFY2(QRegularExpression("^SENSDATE:\\d{4}/\\d\\d/\\d\\d:\\d\\d:\\d\\d:\\d\\d$")
                 .match(QString::fromLatin1(dateCommand)).hasMatch(),
             dateCommand.constData());
    const QString sent = QString::fromLatin1(dateCommand.mid(9));
    QCOMPARE(form->label_18->text(), sent);
    QDateTime sentTime = QDateTime::fromString(sent, QStringLiteral("yyyy/MM/dd:hh:mm:ss"));
    sentTime.setTimeSpec(Qt::UTC);
    QVERIFY(sentTime >= before && sentTime <= QDateTime::currentDateTimeUtc().addSecs(1));
    QCOMPARE(link->config.RECEIVEDSERIAL, QStringLiteral("1234"));

    // The station takes the date but then stays silent: the date alone is no success.
    station->setFault("GETCONFIG:", StationFault::silent());
    QCOMPARE(int(link->sendDate()), int(kFailure));
    QCOMPARE(commandsAfter(4).size(), 4);
}

void TestWifiCommands::setConfigWritesThenReadsBack()
{
    // A record without a field the station needs is refused before anything is written.
    StationConfig incomplete = sampleConfig();
    incomplete.PMTYPE.clear();
    QCOMPARE(int(link->setConfig(incomplete)), int(kIncomplete));
    QTest::qWait(50);
    QVERIFY(station->receivedBytes().isEmpty());

    StationConfig written = sampleConfig();
    written.SERIAL = QStringLiteral("9000");
    written.VBOXIP = QStringLiteral("10.1.2.3");
    QCOMPARE(int(link->setConfig(written)), int(kSuccess));
    QCOMPARE(commandsAfter(2), QList<QByteArray>({
        StationProtocol::configCommand(written).toLocal8Bit(), "GETCONFIG:"}));
    QCOMPARE(tcp->connectionCount(), 1);
    QCOMPARE(connectionAttempts(), 1);
    // The record holds what the station reports after the write.
    QCOMPARE(link->config.RECEIVEDSERIAL, QStringLiteral("9000"));
    QCOMPARE(link->config.VBOXIP, QStringLiteral("10.1.2.3"));
}

void TestWifiCommands::resetSendsSixBytesAndDisconnectsTheWindow_data()
{
    QTest::addColumn<bool>("viaStop");
    QTest::newRow("sendReset") << false;
    // The station's network side has no stop command: stopping is a reset.
    QTest::newRow("stopBurstMode") << true;
}

void TestWifiCommands::resetSendsSixBytesAndDisconnectsTheWindow()
{
    QFETCH(bool, viaStop);
    const CommandResult result = viaStop ? link->stopBurstMode() : link->sendReset();
    QCOMPARE(int(result), int(kSuccess));
    QCOMPARE(disconnectTriggers, 1);
    QVERIFY(!link->disconnectDevice());
    QVERIFY(station->waitForCommands(1, 2000));
    QTest::qWait(50);
    QCOMPARE(station->receivedBytes(), QByteArray("RESET:"));
}

void TestWifiCommands::burstModeIsJudgedOnWhatFollowsTheFirstPiece_data()
{
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("second");
    QTest::addColumn<int>("secondAfterMs");
    QTest::addColumn<int>("expected");
    QTest::newRow("ack in one piece only") << QByteArray("BURSTMODE:OK\r\n") << QByteArray()
                                          << 0 << int(kFailure);
    QTest::newRow("ack split, rest in time") << QByteArray("BURST") << QByteArray("mode:ok\r\n")
                                             << kPieceGapMs << int(kSuccess);
    QTest::newRow("ack after a first line") << QByteArray("busy\r\n")
                                            << QByteArray("BURSTMODE:OK\r\n")
                                            << kPieceGapMs << int(kSuccess);
    QTest::newRow("other text in two pieces") << QByteArray("BURSTMODE:")
                                              << QByteArray("ERR\r\n")
                                              << kPieceGapMs << int(kFailure);
    QTest::newRow("rest too late") << QByteArray("BURST") << QByteArray("MODE:OK\r\n")
                                   << 2 * kTestTimeoutMs << int(kFailure);
}

void TestWifiCommands::burstModeIsJudgedOnWhatFollowsTheFirstPiece()
{
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, second);
    QFETCH(int, secondAfterMs);
    QFETCH(int, expected);
    QList<QPair<QByteArray, int>> pieces = {{first, 0}};
    if (!second.isEmpty())
        pieces.append({second, secondAfterMs});
    station->setFault("BURSTMODE:", StationFault::inPieces(pieces));

    QCOMPARE(int(link->sendBurstMode("19", "05", "27", "14", "007")), expected);
    QCOMPARE(station->receivedCommands(), QList<QByteArray>({"BURSTMODE:19052714:007"}));
    QCOMPARE(debugLines.contains(QStringLiteral("[WIFI] start burst mode OK")),
             expected == kSuccess);
}

void TestWifiCommands::burstModeFReturnsTheReplyFromItsFourthCharacter()
{
    station->setFault("BURSTMODEF:", StationFault::inPieces({{"OK:", 0}, {"4711\r\n", kPieceGapMs}}));
    QCOMPARE(link->sendBurstModeF("19", "05", "27", "14", "120"), QStringLiteral("4711"));
    QCOMPARE(station->receivedCommands(), QList<QByteArray>({"BURSTMODEF:19052714:120"}));

    // A first piece with nothing after it is no answer.
    station->setFault("BURSTMODEF:", StationFault::inPieces({{"OK:4711\r\n", 0}}));
    QCOMPARE(link->sendBurstModeF("19", "05", "27", "14", "120"), QString());
}

void TestWifiCommands::ackBurstModeSendsTheAcknowledgementLine()
{
    station->setFault("BURSTMODEF:OK", StationFault::silent());
    QCOMPARE(int(link->ackBurstMode()), int(kSuccess));
    QCOMPARE(commandsAfter(1), QList<QByteArray>({"BURSTMODEF:OK\r\n"}));
    QCOMPARE(station->receivedBytes().size(), 15);
    QCOMPARE(connectionAttempts(), 1);
}

void TestWifiCommands::destroyingTheLinkClosesTheConnection()
{
    // A server in this thread: the kernel completes the handshake while the link waits.
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    applySettings(server.serverPort());
    QVERIFY(link->connectDevice());
    QVERIFY(server.waitForNewConnection(2000));
    QTcpSocket *peer = server.nextPendingConnection();
    QVERIFY(peer);

    link.reset();
    QVERIFY(peer->state() == QAbstractSocket::UnconnectedState
            || peer->waitForDisconnected(2000));
}

QTEST_MAIN(TestWifiCommands)
#include "tst_wificommands.moc"
