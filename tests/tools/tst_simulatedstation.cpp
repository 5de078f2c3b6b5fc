#include "dialogdriver.h"
#include "exchange.h"
#include "ptystation.h"
#include "settingsdialogwifi.h"
#include "simulatedstation.h"
#include "tcpstation.h"
#include "wificommands.h"

#include <QSerialPort>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(StationFault)

namespace {

constexpr int kFirstReplyMs = 2000;
constexpr int kSilenceMs = 100;

const QByteArray kDefaultConfigReply(
    "SENDCONFIG:SERIAL=ST1234|ETH=ON|COM3G=OFF|RADIO=OFF|APN=|LOGIN=|PWD=|BOXRADIOSERIAL="
    "|VBOXIP=10.0.0.5|VBOXPORT=5000|PMTYPE=1|COMWIFI=OFF|SSID=|WIFICRYPT=0|WIFIPWD=|FRAMECRYPT=0"
    "\r\n");
const QByteArray kWrittenConfig(
    "SENDCONFIG:SERIAL=77|ETH=OFF|COM3G=ON|RADIO=OFF|APN=internet|LOGIN=|PWD=|BOXRADIOSERIAL="
    "|VBOXIP=10.0.0.9|VBOXPORT=6000|PMTYPE=2|COMWIFI=OFF|SSID=|WIFICRYPT=0|WIFIPWD=|FRAMECRYPT=1");

} // namespace

class TestSimulatedStation : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void answers_data();
    void answers();
    void tcpBurstAnswersComeInTwoPieces();
    void faults_data();
    void faults();
    void dump_data();
    void dump();
    void tcpHangUpAndReconnect();
    void ptyReopened();

private:
    std::unique_ptr<QIODevice> openLine(const QString &transport);
    QByteArray ask(QIODevice &line, const QByteArray &command, int firstReplyMs = kFirstReplyMs);

    std::unique_ptr<SimulatedStation> station;
    std::unique_ptr<PtyStation> pty;
    std::unique_ptr<TcpStation> tcp;
};

void TestSimulatedStation::init()
{
    station = std::make_unique<SimulatedStation>();
    pty = std::make_unique<PtyStation>(*station);
    tcp = std::make_unique<TcpStation>(*station);
    QVERIFY(pty->start());
    QVERIFY(tcp->start());
}

void TestSimulatedStation::cleanup()
{
    tcp.reset();
    pty.reset();
    station.reset();
}

std::unique_ptr<QIODevice> TestSimulatedStation::openLine(const QString &transport)
{
    if (transport == QLatin1String("pty")) {
        auto port = std::make_unique<QSerialPort>();
        port->setPortName(pty->slavePath());
        if (!port->open(QIODevice::ReadWrite))
            return nullptr;
        return port;
    }
    auto socket = std::make_unique<QTcpSocket>();
    socket->connectToHost(QHostAddress::LocalHost, tcp->port());
    if (!socket->waitForConnected(kFirstReplyMs))
        return nullptr;
    return socket;
}

QByteArray TestSimulatedStation::ask(QIODevice &line, const QByteArray &command, int firstReplyMs)
{
    line.write(command);
    return Exchange::gather(line, firstReplyMs, kSilenceMs);
}

void TestSimulatedStation::answers_data()
{
    QTest::addColumn<QString>("transport");
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("reply");
    struct Row
    {
        const char *name;
        QByteArray command;
        QByteArray reply;
    };
    const QList<Row> exchanges = {
        {"reset byte", QByteArray("\x07", 1), "Torvia station v2.1 ready\r\n"},
        {"get config", "GETCONFIG:", kDefaultConfigReply},
        {"set config", kWrittenConfig, "SENDCONFIG:OK\r\n"},
        {"date", "SENSDATE:2019/05/27:14:03:09", "SENSERIAL:OK\r\n"},
        {"burst", "BURSTMODE:19052714:007", "BURSTMODE:OK\r\n"},
        {"burst download", "BURSTMODEF:19052714:007", "OK:ST1234\r\n"},
        {"stop burst", "ENDBURSTMODE", "ENDBURSTMODE:OK\r\n"},
        {"unknown", "HELLO", ""},
    };
    for (const QString transport : {"pty", "tcp"}) {
        for (const Row &e : exchanges) {
            QTest::addRow("%s, %s", qPrintable(transport), e.name)
                << transport << e.command << e.reply;
        }
    }
    // A pty cannot hang up, so the TCP reset is only one more silent command there.
    QTest::newRow("pty, tcp reset") << QStringLiteral("pty") << QByteArray("RESET:") << QByteArray();
}

void TestSimulatedStation::answers()
{
    QFETCH(QString, transport);
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, reply);
    const auto line = openLine(transport);
    QVERIFY(line);
    const int firstReplyMs = reply.isEmpty() ? 300 : kFirstReplyMs;
    QCOMPARE(ask(*line, command, firstReplyMs), reply);
    QVERIFY(station->waitForCommands(1, kFirstReplyMs));
    QCOMPARE(station->receivedCommands(), QList<QByteArray>{command});
    QCOMPARE(station->receivedBytes(), command);
    QCOMPARE(station->sentAnswers(), QList<QByteArray>{reply});
}

void TestSimulatedStation::tcpBurstAnswersComeInTwoPieces()
{
    // The TCP link takes as the answer only what follows the station's first
    // bytes, so it understands the station only while the answer is split.
    SettingsDialogWifi dialog;
    DialogDriver::useTcpStation(dialog, QStringLiteral("127.0.0.1"), tcp->port(), 300);
    WifiCommands link(nullptr, &dialog);
    QVERIFY(link.connectDevice());
    QCOMPARE(link.sendBurstModeF("19", "05", "27", "14", "007"), QStringLiteral("ST1234"));
    QCOMPARE(int(link.sendBurstMode("19", "05", "27", "14", "007")), int(kSuccess));

    station->setTcpBurstAnswersSplit(false);
    QCOMPARE(link.sendBurstModeF("19", "05", "27", "14", "007"), QString());
    QCOMPARE(int(link.sendBurstMode("19", "05", "27", "14", "007")), int(kFailure));
    QCOMPARE(station->receivedCommands(),
             (QList<QByteArray>{"BURSTMODEF:19052714:007", "BURSTMODE:19052714:007",
                                "BURSTMODEF:19052714:007", "BURSTMODE:19052714:007"}));

    // The serial side answers in one piece whatever the setting.
    station->setTcpBurstAnswersSplit(true);
    const auto port = openLine(QStringLiteral("pty"));
    QVERIFY(port);
    port->write("BURSTMODEF:19052714:007");
    QVERIFY(port->waitForReadyRead(kFirstReplyMs));
    QTest::qWait(3 * SimulatedStation::kTcpBurstPieceGapMs);
    port->waitForReadyRead(0);
    QCOMPARE(port->readAll(), QByteArray("OK:ST1234\r\n"));
}

void TestSimulatedStation::faults_data()
{
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<StationFault>("fault");
    // What each of two "GETCONFIG:" in a row gets, read in gathers ending at 100 ms of silence.
    QTest::addColumn<QList<QByteArray>>("gathers");
    const QByteArray ok = kDefaultConfigReply;
    QTest::newRow("late: nothing at first, then the answer")
        << QByteArray("GETCONF") << StationFault::late(600) << QList<QByteArray>{"", ok, ok};
    QTest::newRow("pieces with a pause longer than the silence")
        << QByteArray("GETCONFIG:")
        << StationFault::inPieces({{"SENDCON", 0}, {"FIG:SERIAL=1", 50}, {"|APN=a\r\n", 400}})
        << QList<QByteArray>{"SENDCONFIG:SERIAL=1", "|APN=a\r\n", ok};
    QTest::newRow("the answer split, 400 ms between its pieces") << QByteArray("GETCONFIG:")
        << StationFault::split({7, 20}, 400) << QList<QByteArray>{ok.left(7), ok.mid(7, 13), ok.mid(20), ok};
    QTest::newRow("hang-up inside the answer") << QByteArray("GETCONFIG:")
        << StationFault::drop(false, 10) << QList<QByteArray>{ok.left(10), ""};
}

void TestSimulatedStation::faults()
{
    QFETCH(QByteArray, key);
    QFETCH(StationFault, fault);
    QFETCH(QList<QByteArray>, gathers);
    station->setFault(key, fault);
    const auto line = openLine(QStringLiteral("tcp"));
    QVERIFY(line);
    line->write("GETCONFIG:");
    // A short first wait: the pieces and the late answer must be still on their way.
    QCOMPARE(Exchange::gather(*line, 300, kSilenceMs), gathers.takeFirst());
    const QByteArray followUp = gathers.takeLast();
    for (const QByteArray &expected : gathers)
        QCOMPARE(Exchange::gather(*line, kFirstReplyMs, kSilenceMs), expected);
    QCOMPARE(ask(*line, "GETCONFIG:", followUp.isEmpty() ? 300 : kFirstReplyMs), followUp);
}

void TestSimulatedStation::dump_data()
{
    QTest::addColumn<QString>("transport");
    QTest::addColumn<int>("blockBytes");
    QTest::addColumn<int>("hangUpAfter");   // -1: the whole dump
    QTest::newRow("pty, small blocks") << QStringLiteral("pty") << 37 << -1;
    QTest::newRow("tcp, small blocks") << QStringLiteral("tcp") << 37 << -1;
    QTest::newRow("tcp, one block") << QStringLiteral("tcp") << 100000 << -1;
    QTest::newRow("tcp, hang-up inside a block") << QStringLiteral("tcp") << 37 << 500;
}

void TestSimulatedStation::dump()
{
    QFETCH(QString, transport);
    QFETCH(int, blockBytes);
    QFETCH(int, hangUpAfter);
    station->setBurstLineCount(25);
    station->setDumpBlocks(blockBytes, 2);
    if (hangUpAfter >= 0)
        station->setFault("BURSTMODEF:OK", StationFault::drop(false, hangUpAfter));
    const auto line = openLine(transport);
    QVERIFY(line);
    QCOMPARE(ask(*line, "BURSTMODEF:19052714:007"), QByteArray("OK:ST1234\r\n"));
    QCOMPARE(station->burstStart(), QDateTime(QDate(2019, 5, 27), QTime(14, 0), Qt::UTC));

    const QByteArray dump = ask(*line, "BURSTMODEF:OK\r\n");
    QCOMPARE(station->sentAnswers().last(), dump);
    if (hangUpAfter >= 0) {
        QCOMPARE(dump, station->dumpBytes().left(hangUpAfter));
        return;
    }
    const QList<QByteArray> lines = dump.split('\n');
    QCOMPARE(lines.size(), 27);   // 25 records, the END line and what follows its line end
    QCOMPARE(lines.at(25), QByteArray("END\r"));
    QVERIFY(lines.at(26).isEmpty());
    const QRegularExpression record(
        QStringLiteral("^ID=ST1234&Response=[0-9A-F]{24}&Date=2019-05-27 14:(\\d\\d):00\r$"));
    for (int i = 0; i < 25; ++i) {
        const auto match = record.match(QString::fromLatin1(lines.at(i)));
        QVERIFY2(match.hasMatch(), lines.at(i).constData());
        QCOMPARE(match.captured(1).toInt(), i);
    }
    QCOMPARE(dump, station->dumpBytes());
    QCOMPARE(station->receivedCommands().last(), QByteArray("BURSTMODEF:OK\r\n"));
}

void TestSimulatedStation::tcpHangUpAndReconnect()
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, tcp->port());
    QVERIFY(socket.waitForConnected(kFirstReplyMs));
    socket.write("RESET:");
    QVERIFY(socket.waitForDisconnected(kFirstReplyMs));
    QVERIFY(socket.readAll().isEmpty());

    socket.connectToHost(QHostAddress::LocalHost, tcp->port());
    QVERIFY(socket.waitForConnected(kFirstReplyMs));
    QCOMPARE(ask(socket, "GETCONFIG:"), kDefaultConfigReply);
    QCOMPARE(tcp->connectionCount(), 2);
    QCOMPARE(station->receivedCommands(), (QList<QByteArray>{"RESET:", "GETCONFIG:"}));
}

void TestSimulatedStation::ptyReopened()
{
    // The serial link closes and reopens the port; the line must outlive that.
    for (int round = 0; round < 2; ++round) {
        const auto line = openLine(QStringLiteral("pty"));
        QVERIFY(line);
        QCOMPARE(ask(*line, "ENDBURSTMODE"), QByteArray("ENDBURSTMODE:OK\r\n"));
    }
    // What nobody read before the port closed does not greet the next user.
    station->setFault("ENDBURSTMODE", StationFault::late(300));
    {
        const auto line = openLine(QStringLiteral("pty"));
        QVERIFY(line);
        line->write("ENDBURSTMODE");
        QVERIFY(line->waitForBytesWritten(kFirstReplyMs));
    }
    QVERIFY(station->waitForCommands(3, kFirstReplyMs));
    QTest::qWait(500);
    pty->discardPending();
    const auto line = openLine(QStringLiteral("pty"));
    QVERIFY(line);
    QVERIFY(!line->waitForReadyRead(300));
}

QTEST_MAIN(TestSimulatedStation)
#include "tst_simulatedstation.moc"
