#include "dialogdriver.h"
#include "ptystation.h"
#include "sampleconfig.h"
#include "serialcommands.h"
#include "settingsdialogserial.h"
#include "simulatedstation.h"
#include "ui_mainwindow.h"

#include <QDateTime>
#include <QMainWindow>
#include <QSerialPort>
#include <QtTest>

// The serial link against a simulated station on a pseudo-terminal: the exact bytes
// of every command and the judgement of every answer.
class TestSerialCommands : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void closedLinkWritesNothing();
    void connectAndDisconnect();
    void reconnectTakesNewSettings();
    void destructorReleasesPort();

    void resetBanner_data();
    void resetBanner();
    void dateJudgement_data();
    void dateJudgement();
    void dateGoesOnAfterFailedReset();
    void getConfigReadsReply();
    void getConfigStopsWhenResetFails();
    void getConfigEmptyReply();
    void setConfigJudgement_data();
    void setConfigJudgement();
    void setConfigIncompleteSendsNothing();
    void burstRequests();
    void burstJudgements_data();
    void burstJudgements();
    void ackIsWrittenWithoutWaiting();

    void piecesCloserThanSilenceAreOneReply();
    void pauseEndsReplyAndLeavesRest();
    void zeroByteCutsReply();
    void silentStationFailsAfterFirstReplyLimit();

private:
    void useCustomPort(const QString &path);
    void connectLink();
    QList<QByteArray> commandsAfterReset() const;

    SimulatedStation *station = nullptr;
    PtyStation *pty = nullptr;
    QMainWindow *window = nullptr;
    Ui::MainWindow *form = nullptr;
    SettingsDialogSerial *dialog = nullptr;
    SerialCommands *link = nullptr;
};

namespace {
const QByteArray kReset("\x07", 1);
}

void TestSerialCommands::init()
{
    station = new SimulatedStation;
    pty = new PtyStation(*station);
    QVERIFY(pty->start());
    window = new QMainWindow;
    form = new Ui::MainWindow;
    form->setupUi(window);
    dialog = new SettingsDialogSerial;
    useCustomPort(pty->slavePath());
    link = new SerialCommands(form, dialog);
}

void TestSerialCommands::cleanup()
{
    delete link;
    delete dialog;
    delete form;
    delete window;
    delete pty;
    delete station;
}

void TestSerialCommands::useCustomPort(const QString &path)
{
    DialogDriver::useCustomPort(*dialog, path);
}

void TestSerialCommands::connectLink()
{
    QVERIFY(link->connectDevice());
}

void TestSerialCommands::closedLinkWritesNothing()
{
    QCOMPARE(link->sendReset(), kNotConnected);
    QCOMPARE(link->sendDate(), kNotConnected);
    QCOMPARE(link->getConfig(), kNotConnected);
    QCOMPARE(link->setConfig(sampleConfig()), kNotConnected);
    // Even an incomplete configuration is "not connected" first.
    QCOMPARE(link->setConfig(StationConfig()), kNotConnected);
    QCOMPARE(link->sendBurstMode("19", "05", "27", "14", "007"), kNotConnected);
    QCOMPARE(link->sendBurstModeF("19", "05", "27", "14", "007"), QString("noserialreceived"));
    QCOMPARE(link->stopBurstMode(), kNotConnected);
    QCOMPARE(link->ackBurstMode(), kFailure);
    QCOMPARE(link->disconnectDevice(), false);
    QTest::qWait(2 * SimulatedStation::kQuietGapMs);
    QCOMPARE(station->receivedBytes(), QByteArray());
}

void TestSerialCommands::connectAndDisconnect()
{
    connectLink();
    QCOMPARE(link->disconnectDevice(), true);
    QCOMPARE(link->disconnectDevice(), false);
    QCOMPARE(link->sendReset(), kNotConnected);
}

void TestSerialCommands::reconnectTakesNewSettings()
{
    // A port that does not exist fails; the settings are read again at the next connect.
    useCustomPort("/dev/marlowdesk-no-such-port");
    QVERIFY(!link->connectDevice());
    QCOMPARE(link->getConfig(), kNotConnected);
    useCustomPort(pty->slavePath());
    connectLink();
    QCOMPARE(link->sendReset(), kSuccess);
}

void TestSerialCommands::destructorReleasesPort()
{
    connectLink();
    delete link;
    link = nullptr;
    // The port's lock is gone with the link, so a new link can open the device.
    link = new SerialCommands(form, dialog);
    connectLink();
    QCOMPARE(link->sendReset(), kSuccess);
}

void TestSerialCommands::resetBanner_data()
{
    QTest::addColumn<QByteArray>("banner");
    QTest::addColumn<int>("expected");
    QTest::newRow("banner") << QByteArray("Torvia station ready\r\n") << int(kSuccess);
    QTest::newRow("banner inside text") << QByteArray("boot...Torvia v2") << int(kSuccess);
    QTest::newRow("other case") << QByteArray("TORVIA station ready") << int(kFailure);
    QTest::newRow("lower case") << QByteArray("torvia") << int(kFailure);
}

void TestSerialCommands::resetBanner()
{
    QFETCH(QByteArray, banner);
    QFETCH(int, expected);
    connectLink();
    station->setFault(kReset, StationFault::wrongText(banner));
    QCOMPARE(int(link->sendReset()), expected);
    QCOMPARE(station->receivedCommands(), QList<QByteArray>{kReset});
}

QList<QByteArray> TestSerialCommands::commandsAfterReset() const
{
    QList<QByteArray> commands = station->receivedCommands();
    if (!commands.isEmpty() && commands.first() == kReset)
        commands.removeFirst();
    return commands;
}

void TestSerialCommands::dateJudgement_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("expected");
    QTest::newRow("acknowledged") << QByteArray("SENSERIAL:OK\r\n") << int(kSuccess);
    QTest::newRow("lower case") << QByteArray("senserial:ok") << int(kSuccess);
    QTest::newRow("inside text") << QByteArray("xxSENSERIAL:OKyy") << int(kSuccess);
    QTest::newRow("date word is not the ack") << QByteArray("SENSDATE:OK") << int(kFailure);
}

void TestSerialCommands::dateJudgement()
{
    QFETCH(QByteArray, answer);
    QFETCH(int, expected);
    connectLink();
    station->setFault("SENSDATE:", StationFault::wrongText(answer));
    const QDateTime before = QDateTime::currentDateTimeUtc();
    QCOMPARE(int(link->sendDate()), expected);

    const QList<QByteArray> commands = station->receivedCommands();
    QCOMPARE(commands.size(), 2);
    QCOMPARE(commands.at(0), kReset);
    const QByteArray date = commands.at(1);
    QVERIFY2(date.startsWith("SENSDATE:") && date.size() == 28, date.constData());
    QDateTime sent = QDateTime::fromString(QString::fromLatin1(date.mid(9)), "yyyy/MM/dd:hh:mm:ss");
    sent.setTimeSpec(Qt::UTC);
    QVERIFY2(qAbs(sent.secsTo(before)) <= 2, date.constData());
    // The form shows the date that went out.
    QCOMPARE(form->label_18->text(), QString::fromLatin1(date.mid(9)));
}

void TestSerialCommands::dateGoesOnAfterFailedReset()
{
    connectLink();
    station->setFault(kReset, StationFault::wrongText("garbage"));
    QCOMPARE(link->sendDate(), kSuccess);
    QCOMPARE(commandsAfterReset().size(), 1);
    QVERIFY(commandsAfterReset().first().startsWith("SENSDATE:"));
}

void TestSerialCommands::getConfigReadsReply()
{
    connectLink();
    link->config.ETH = "ON";
    link->config.SSID = "kept";
    station->setConfigReply("SENDCONFIG:SERIAL=77|ETH=OFF|RADIO=XB|APN=|VBOXPORT=5000\r\n");
    QCOMPARE(link->getConfig(), kSuccess);
    QCOMPARE(station->receivedCommands(), (QList<QByteArray>{kReset, "GETCONFIG:"}));
    QCOMPARE(link->config.RECEIVEDSERIAL, QString("77"));
    QCOMPARE(link->config.RADIO, QString("XB"));
    QCOMPARE(link->config.APN, QString(""));
    QCOMPARE(link->config.VBOXPORT, QString("5000"));
    QCOMPARE(link->config.ETH, QString("ON"));
    QCOMPARE(link->config.SSID, QString("kept"));
}

void TestSerialCommands::getConfigStopsWhenResetFails()
{
    connectLink();
    station->setFault(kReset, StationFault::wrongText("no banner here"));
    QCOMPARE(link->getConfig(), kNotConnected);
    QTest::qWait(2 * SimulatedStation::kQuietGapMs);
    QCOMPARE(station->receivedCommands(), QList<QByteArray>{kReset});
}

void TestSerialCommands::getConfigEmptyReply()
{
    connectLink();
    // White space alone trims to nothing: no configuration.
    station->setConfigReply(" \r\n");
    QCOMPARE(link->getConfig(), kFailure);
}

void TestSerialCommands::setConfigJudgement_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("expected");
    QTest::newRow("exact") << QByteArray("SENDCONFIG:OK") << int(kSuccess);
    QTest::newRow("blank before, CR LF after") << QByteArray(" SENDCONFIG:OK\r\n") << int(kSuccess);
    QTest::newRow("trailing semicolon") << QByteArray("SENDCONFIG:OK;") << int(kFailure);
    QTest::newRow("lower case") << QByteArray("sendconfig:ok") << int(kFailure);
    QTest::newRow("text before") << QByteArray("ok SENDCONFIG:OK") << int(kFailure);
}

void TestSerialCommands::setConfigJudgement()
{
    QFETCH(QByteArray, answer);
    QFETCH(int, expected);
    connectLink();
    station->setFault("SENDCONFIG:", StationFault::wrongText(answer));
    QCOMPARE(int(link->setConfig(sampleConfig())), expected);
    // No reset opens the configuration write.
    QCOMPARE(station->receivedCommands(),
             QList<QByteArray>{"SENDCONFIG:SERIAL=1234|ETH=OFF|COM3G=ON|RADIO=OFF|APN=internet"
                               "|LOGIN=|PWD=|BOXRADIOSERIAL=|VBOXIP=10.0.0.5|VBOXPORT=5000|PMTYPE=1"
                               "|COMWIFI=OFF|SSID=|WIFICRYPT=0|WIFIPWD=|FRAMECRYPT=0"});
}

void TestSerialCommands::setConfigIncompleteSendsNothing()
{
    connectLink();
    StationConfig config = sampleConfig();
    config.PMTYPE.clear();
    QCOMPARE(link->setConfig(config), kIncomplete);
    QTest::qWait(2 * SimulatedStation::kQuietGapMs);
    QCOMPARE(station->receivedBytes(), QByteArray());
}

void TestSerialCommands::burstRequests()
{
    connectLink();
    QCOMPARE(link->sendBurstMode("19", "05", "27", "14", "007"), kSuccess);
    QCOMPARE(link->sendBurstModeF("25", "01", "01", "00", "120"), QString("ST1234"));
    QCOMPARE(link->stopBurstMode(), kSuccess);
    QCOMPARE(station->receivedCommands(),
             (QList<QByteArray>{"BURSTMODE:19052714:007", "BURSTMODEF:25010100:120", "ENDBURSTMODE"}));
}

void TestSerialCommands::burstJudgements_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("expected");
    QTest::newRow("start, lower case") << QByteArray("BURSTMODE:") << QByteArray("burstmode:ok") << "0";
    QTest::newRow("start, wrong") << QByteArray("BURSTMODE:") << QByteArray("BURSTMODE:KO") << "1";
    QTest::newRow("stop, mixed case") << QByteArray("ENDBURSTMODE") << QByteArray("EndBurstMode:Ok\r\n") << "0";
    QTest::newRow("stop, wrong") << QByteArray("ENDBURSTMODE") << QByteArray("ENDBURSTMODE") << "1";
    QTest::newRow("serial from fourth character") << QByteArray("BURSTMODEF:") << QByteArray("  OK:SN-9 \r\n") << "SN-9";
    QTest::newRow("three characters") << QByteArray("BURSTMODEF:") << QByteArray("OK:") << "";
}

void TestSerialCommands::burstJudgements()
{
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, answer);
    QFETCH(QString, expected);
    connectLink();
    station->setFault(command, StationFault::wrongText(answer));
    QString result;
    if (command == "BURSTMODE:")
        result = QString::number(link->sendBurstMode("24", "03", "09", "07", "045"));
    else if (command == "ENDBURSTMODE")
        result = QString::number(link->stopBurstMode());
    else
        result = link->sendBurstModeF("24", "03", "09", "07", "045");
    QCOMPARE(result, expected);
}

void TestSerialCommands::ackIsWrittenWithoutWaiting()
{
    connectLink();
    // The station answers the acknowledgement with its dump; the link must not wait for it.
    station->setFault("BURSTMODEF:OK", StationFault::late(3000));
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(link->ackBurstMode(), kSuccess);
    QVERIFY(clock.elapsed() < 1000);
    QVERIFY(station->waitForCommands(1, 2000));
    QCOMPARE(station->receivedCommands(), QList<QByteArray>{"BURSTMODEF:OK\r\n"});
}

void TestSerialCommands::piecesCloserThanSilenceAreOneReply()
{
    connectLink();
    station->setFault("GETCONFIG:", StationFault::inPieces({{"SENDCONFIG:SERIAL=5|AP", 0},
                                                            {"N=apn|VBOXI", 40},
                                                            {"P=1.2.3.4\r\n", 40}}));
    QCOMPARE(link->getConfig(), kSuccess);
    QCOMPARE(link->config.RECEIVEDSERIAL, QString("5"));
    QCOMPARE(link->config.APN, QString("apn"));
    QCOMPARE(link->config.VBOXIP, QString("1.2.3.4"));
}

void TestSerialCommands::pauseEndsReplyAndLeavesRest()
{
    connectLink();
    // The acknowledgement comes in two pieces 300 ms apart: the first pause longer than
    // 100 ms ends the answer, which then lacks the acknowledgement.
    station->setFault("SENDCONFIG:", StationFault::inPieces({{"SENDCONFIG:", 0}, {"OK", 300}}));
    QCOMPARE(link->setConfig(sampleConfig()), kFailure);
    // What came late waits in the line and is read in front of the next answer, "OK:1234"
    // (the station took the serial it was sent).
    QTest::qWait(400);
    QCOMPARE(link->sendBurstModeF("24", "03", "09", "07", "045"), QString("K:1234"));
}

void TestSerialCommands::zeroByteCutsReply()
{
    connectLink();
    station->setFault("GETCONFIG:", StationFault::wrongText(QByteArray("APN=before\0|SSID=after", 22)));
    QCOMPARE(link->getConfig(), kSuccess);
    QCOMPARE(link->config.APN, QString("before"));
    QCOMPARE(link->config.SSID, QString());
}

void TestSerialCommands::silentStationFailsAfterFirstReplyLimit()
{
    // The one test that waits for the serial limits: a silent reset takes its 10 s,
    // and the configuration read then gives up without sending its command.
    connectLink();
    station->setFault(kReset, StationFault::silent());
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(link->getConfig(), kNotConnected);
    QVERIFY(clock.elapsed() >= 9900);
    QTest::qWait(2 * SimulatedStation::kQuietGapMs);
    QCOMPARE(station->receivedCommands(), QList<QByteArray>{kReset});
}

QTEST_MAIN(TestSerialCommands)
#include "tst_serialcommands.moc"
