#include "linkbench.h"

#include <QtTest>

namespace {

using F = StationFault;
QtMessageHandler previousHandler;
QStringList lines;
TcpStation *lateStation = nullptr;   // starts when a connection attempt fails

void recordDebugLine(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    lines << text;
    if (lateStation && text == "Not connected")
        lateStation->start();
    previousHandler(type, context, text);
}

} // namespace

// The TCP link on the simulated station, its own connecting, and the form against what the station gets.
class TestWifiCommands : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { previousHandler = qInstallMessageHandler(recordDebugLine); }

    void commands_data()
    {
        const auto add = LinkCase::add;
        const auto reply = [](const char *name, const QByteArray &answer, const QString &config) {
            LinkCase::add(name, {true, "getConfig", "GETCONFIG:", F::wrongText(answer), "0", "GETCONFIG:", config});
        };
        QTest::addColumn<LinkCase>("c");
        LinkCase::addCommonRows(true);
        // The window disconnects before the reset returns; stopping a burst is a reset.
        add("reset", {true, "reset disconnect", "", F(), "0 0", "RESET:"});
        add("stop", {true, "stop disconnect", "", F(), "0 0", "RESET:"});
        add("date", {true, "date", "GETCONFIG:", F::wrongText("SENDCONFIG:SERIAL=9|APN=a"), "0",
                     "SENSDATE:* GETCONFIG:", "APN=a|RECEIVEDSERIAL=9"});
        add("date, no configuration", {true, "date", "GETCONFIG:", F::silent(), "1", "SENSDATE:* GETCONFIG:"});
        add("setConfig", {true, "setConfig", "GETCONFIG:", F::wrongText("SENDCONFIG:SERIAL=9"), "0",
                          kSampleCommand + " GETCONFIG:", "RECEIVEDSERIAL=9"});
        add("setConfig, no configuration", {true, "setConfig", "GETCONFIG:", F::silent(), "1",
                                            kSampleCommand + " GETCONFIG:"});
        add("setConfig without PMTYPE", {true, "setConfig-PMTYPE", "", F(), "3"});
        add("burst, answer in one piece, then two", {true, "burst burst", "BURSTMODE:", F::wrongText("BURSTMODE:OK"),
                                                     "1 0", "BURSTMODE:19052714:007 BURSTMODE:19052714:007"});
        add("burstF, answer in two pieces", {true, "burstF", "", F(), "ST1234", LinkCase::kBurstF});
        add("ack", {true, "ack", "BURSTMODEF:OK", F::silent(), "0", "BURSTMODEF:OK\r\n"});
        add("dropped connection made again", {true, "getConfig burstF", "GETCONFIG:", F::drop(), "1 ST1234",
                                              QByteArray("GETCONFIG: ") + LinkCase::kBurstF});
        add("a zero byte first", {true, "getConfig", "GETCONFIG:", F::wrongText({"\0APN=a", 6}), "1", "GETCONFIG:"});
        // A value ends at the next "="; a key must match exactly, the serial's is contained in another.
        reply("plain fields, serial, other keys", "xSENDCONFIG:SERIALy=42|apn=x|Pwd=y|SERIAL=9|SSID|LOGIN=l|PWD=p"
              "|BOXRADIOSERIAL=b|VBOXIP=i|PMTYPE=t|SSID=s|WIFICRYPT=3|WIFIPWD=w=x|FRAMECRYPT=f|APN=", "LOGIN=l|PWD=p"
              "|BOXRADIOSERIAL=b|VBOXIP=i|PMTYPE=t|SSID=s|WIFICRYPT=3|WIFIPWD=w|FRAMECRYPT=f|RECEIVEDSERIAL=42");
        reply("uplinks on", "ETH=ON|RADIO=XB|COMWIFI=ON|COM3G=ON", "ETH=ON|COM3G=ON|RADIO=XB|COMWIFI=ON");
        reply("uplinks with other values", "ETH=OFF|RADIO=ON|COMWIFI=on|COM3G=YES", "");
    }

    void commands() { QFETCH(LinkCase, c); c.check(); }

    // The lines that others read: the serial traffic, and each TCP connection attempt with the
    // settings as typed. setConfig makes two passes of two attempts and starts over, its first
    // line again, when the second attempt of a pass connects.
    void debugLines()
    {
        LinkBench serial(false), tcp(true);
        QVERIFY(serial.link->connectDevice());
        const quint16 closed = closedLocalPort();
        DialogDriver::useTcpStation(tcp.wifiDialog, "::1%1", closed, 300);
        lines.clear();
        serial.link->startBurstModeFromUi();
        tcp.link->getConfig();
        tcp.link->setConfig(sampleConfig());
        tcp.useTcpPort(closed);
        TcpStation late(tcp.station, closed);
        lateStation = &late;
        const CommandResult result = tcp.link->setConfig(sampleConfig());
        lateStation = nullptr;
        QCOMPARE(result, kSuccess);
        QCOMPARE(tcp.station.receivedCommands(), QByteArrayList({kSampleCommand, "GETCONFIG:"}));
        const QString refused = "[WIFI] connecting to ::1%1:" + QString::number(closed) + " ... timeout(ms) = 300";
        const QString local = "[WIFI] connecting to 127.0.0.1:" + QString::number(closed) + " ... timeout(ms) = 300";
        const QString start = "[WIFI] set Config...";
        QCOMPARE(lines.filter(QRegularExpression(R"(^\[(SERIAL|WIFI)\] (TX|RX|connecting|set))")),
                 QStringList({R"([SERIAL] TX ==>  "BURSTMODE:19052714:007")", R"([SERIAL] RX <==  "BURSTMODE:OK")",
                              refused, start, refused, refused, start, refused, refused, start, local, local, start}));
    }

    // Every line edit goes out under its key, every switch each time; a security that the table
    // does not know leaves the record's.
    void formToStation_data()
    {
        QTest::addColumn<int>("uplink");
        QTest::addColumn<int>("security");
        QTest::addColumn<QString>("sent");   // ETH COM3G RADIO COMWIFI WIFICRYPT
        QTest::newRow("Ethernet, no security") << 0 << 0 << "ON OFF OFF OFF 0";
        QTest::newRow("Radio, WPA") << 1 << 1 << "OFF OFF XB OFF 1";
        QTest::newRow("Wifi, WEP") << 2 << 3 << "OFF OFF OFF ON 3";
        QTest::newRow("3G, WPA2") << 3 << 2 << "OFF ON OFF OFF 2";
        QTest::newRow("nothing chosen") << -1 << -1 << "OFF OFF OFF OFF 7";
    }

    void formToStation()
    {
        QFETCH(int, uplink);
        QFETCH(int, security);
        LinkBench bench(true);
        bench.link->config.WIFICRYPT = "7";
        for (const ConfigField &field : configFields()) {
            if (field.widget)
                bench.window.findChild<QLineEdit *>(field.widget)->setText(sampleConfig().*field.member);
        }
        bench.form.comboBox->setCurrentIndex(uplink);
        bench.form.security->setCurrentIndex(security);
        QCOMPARE(bench.link->setConfigFromUi(), kSuccess);
        StationConfig c = bench.station.config();
        QTEST(QStringList({c.ETH, c.COM3G, c.RADIO, c.COMWIFI, c.WIFICRYPT}).join(' '), "sent");
        c.ETH = "OFF", c.COM3G = "ON", c.RADIO = "OFF", c.COMWIFI = "OFF", c.WIFICRYPT = "2";
        QCOMPARE(configText(c), configText(sampleConfig()));
    }

    // Read into a form showing Wifi, WPA, the serial "typed" and the APN "kept".
    void stationToForm_data()
    {
        QTest::addColumn<QByteArray>("answer");   // empty: none
        QTest::addColumn<QString>("shown");       // result: link, security, the line edits holding text
        QTest::newRow("the sample") << kSampleCommand
                                    << "0: 3 2 1234 internet user secret B7 10.0.0.5 5000 1 net wpass 0";
        QTest::newRow("Ethernet, before 3G") << QByteArray("SENDCONFIG:SERIAL=77|COM3G=ON|ETH=ON|WIFICRYPT=0|APN=a")
                                             << "0: 0 0 77 a";
        QTest::newRow("Wifi, radio ON is not on, no serial")
            << QByteArray("SENDCONFIG:SERIAL=|COMWIFI=ON|RADIO=ON|WIFICRYPT=3") << "0: 2 3 typed";
        QTest::newRow("Radio before 3G, unknown security") << QByteArray("COM3G=ON|RADIO=XB|WIFICRYPT=5")
                                                            << "0: 1 1 typed";
        QTest::newRow("no uplink on") << QByteArray("ETH=OFF|WIFICRYPT=1") << "0: 2 1 typed";
        QTest::newRow("no answer") << QByteArray() << "1: 2 1 typed kept";
    }

    void stationToForm()
    {
        QFETCH(QByteArray, answer);
        LinkBench bench(true);
        bench.station.setFault("GETCONFIG:", answer.isEmpty() ? F::silent() : F::wrongText(answer));
        bench.form.comboBox->setCurrentIndex(2);
        bench.form.security->setCurrentIndex(1);
        bench.form.serial->setText("typed");
        bench.form.apn->setText("kept");
        QStringList shown = {QString::number(bench.link->getConfigToUi()) + ':',
                             QString::number(bench.form.comboBox->currentIndex()),
                             QString::number(bench.form.security->currentIndex())};
        for (const ConfigField &field : configFields()) {
            if (field.widget)
                shown << bench.window.findChild<QLineEdit *>(field.widget)->text();
        }
        QTEST(shown.filter(QRegularExpression(".")).join(' '), "shown");
    }
};

QTEST_MAIN(TestWifiCommands)
#include "tst_wificommands.moc"
