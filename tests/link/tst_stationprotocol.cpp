#include "exchange.h"
#include "sampleconfig.h"
#include "stationprotocol.h"

#include <QBuffer>
#include <QDateTime>
#include <QtTest>

// The command texts and the readers of the station's answers, without a transport.
class TestStationProtocol : public QObject
{
    Q_OBJECT

private slots:
    void configCommandFieldOrder();
    void requiredFields_data();
    void requiredFields();
    void configReply_data();
    void configReply();
    void uplinkFlagsKeepEnabledValue();
    void burstCommand_data();
    void burstCommand();
    void dateText();
    void decodeReply_data();
    void decodeReply();
};

namespace {

// Every field set to its own name, so that a wrong field shows at once.
StationConfig namedConfig()
{
    StationConfig c;
    c.ETH = "eth"; c.COMWIFI = "comwifi"; c.COM3G = "com3g"; c.RADIO = "radio";
    c.APN = "apn"; c.LOGIN = "login"; c.PWD = "pwd"; c.SSID = "ssid"; c.WIFIPWD = "wifipwd";
    c.SERIAL = "serial"; c.BOXRADIOSERIAL = "boxradioserial"; c.VBOXIP = "vboxip";
    c.VBOXPORT = "vboxport"; c.WIFICRYPT = "wificrypt"; c.FRAMECRYPT = "framecrypt";
    c.PMTYPE = "pmtype"; c.RECEIVEDSERIAL = "receivedserial";
    return c;
}

QStringList fields(const StationConfig &c)
{
    return {c.ETH, c.COMWIFI, c.COM3G, c.RADIO, c.APN, c.LOGIN, c.PWD, c.SSID, c.WIFIPWD,
            c.SERIAL, c.BOXRADIOSERIAL, c.VBOXIP, c.VBOXPORT, c.WIFICRYPT, c.FRAMECRYPT,
            c.PMTYPE, c.RECEIVEDSERIAL};
}

} // namespace

void TestStationProtocol::configCommandFieldOrder()
{
    QCOMPARE(StationProtocol::configCommand(sampleConfig()),
             QString("SENDCONFIG:SERIAL=1234|ETH=OFF|COM3G=ON|RADIO=OFF|APN=internet|LOGIN=|PWD="
                     "|BOXRADIOSERIAL=|VBOXIP=10.0.0.5|VBOXPORT=5000|PMTYPE=1|COMWIFI=OFF|SSID="
                     "|WIFICRYPT=0|WIFIPWD=|FRAMECRYPT=0"));
    // Each field lands under its own key, and the received serial is never sent.
    QCOMPARE(StationProtocol::configCommand(namedConfig()),
             QString("SENDCONFIG:SERIAL=serial|ETH=eth|COM3G=com3g|RADIO=radio|APN=apn|LOGIN=login"
                     "|PWD=pwd|BOXRADIOSERIAL=boxradioserial|VBOXIP=vboxip|VBOXPORT=vboxport"
                     "|PMTYPE=pmtype|COMWIFI=comwifi|SSID=ssid|WIFICRYPT=wificrypt|WIFIPWD=wifipwd"
                     "|FRAMECRYPT=framecrypt"));
}

void TestStationProtocol::requiredFields_data()
{
    QTest::addColumn<QString>("emptied");
    QTest::addColumn<bool>("complete");
    QTest::newRow("all filled") << QString() << true;
    QTest::newRow("SERIAL") << "SERIAL" << false;
    QTest::newRow("VBOXIP") << "VBOXIP" << false;
    QTest::newRow("VBOXPORT") << "VBOXPORT" << false;
    QTest::newRow("PMTYPE") << "PMTYPE" << false;
    QTest::newRow("FRAMECRYPT") << "FRAMECRYPT" << false;
    QTest::newRow("APN is optional") << "APN" << true;
    QTest::newRow("WIFICRYPT is optional") << "WIFICRYPT" << true;
}

void TestStationProtocol::requiredFields()
{
    QFETCH(QString, emptied);
    QFETCH(bool, complete);
    StationConfig c = sampleConfig();
    if (emptied == "SERIAL") c.SERIAL.clear();
    if (emptied == "VBOXIP") c.VBOXIP.clear();
    if (emptied == "VBOXPORT") c.VBOXPORT.clear();
    if (emptied == "PMTYPE") c.PMTYPE.clear();
    if (emptied == "FRAMECRYPT") c.FRAMECRYPT.clear();
    if (emptied == "APN") c.APN.clear();
    if (emptied == "WIFICRYPT") c.WIFICRYPT.clear();
    QCOMPARE(StationProtocol::isComplete(c), complete);
}

void TestStationProtocol::configReply_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QStringList>("expected");   // the 17 fields after reading, from namedConfig()

    const QStringList before = fields(namedConfig());
    auto with = [&before](std::initializer_list<std::pair<int, QString>> changes) {
        QStringList after = before;
        for (const auto &change : changes)
            after[change.first] = change.second;
        return after;
    };
    // Field positions in declaration order.
    enum { ETH, COMWIFI, COM3G, RADIO, APN, LOGIN, PWD, SSID, WIFIPWD, SERIAL, BOXRADIOSERIAL,
           VBOXIP, VBOXPORT, WIFICRYPT, FRAMECRYPT, PMTYPE, RECEIVEDSERIAL };

    QTest::newRow("station example")
        << "SENDCONFIG:SERIAL=77|ETH=OFF|RADIO=XB|APN=|VBOXPORT=5000"
        << with({{RECEIVEDSERIAL, "77"}, {RADIO, "XB"}, {APN, ""}, {VBOXPORT, "5000"}});
    QTest::newRow("every text field")
        << "LOGIN=l|PWD=p|SSID=s|WIFIPWD=w|BOXRADIOSERIAL=b|VBOXIP=i|PMTYPE=t|FRAMECRYPT=f|WIFICRYPT=3"
        << with({{LOGIN, "l"}, {PWD, "p"}, {SSID, "s"}, {WIFIPWD, "w"}, {BOXRADIOSERIAL, "b"},
                 {VBOXIP, "i"}, {PMTYPE, "t"}, {FRAMECRYPT, "f"}, {WIFICRYPT, "3"}});
    QTest::newRow("flags with their enabled values")
        << "ETH=ON|COM3G=ON|RADIO=XB|COMWIFI=ON"
        << with({{ETH, "ON"}, {COM3G, "ON"}, {RADIO, "XB"}, {COMWIFI, "ON"}});
    QTest::newRow("flags with other values change nothing")
        << "ETH=OFF|COM3G=on|RADIO=ON|COMWIFI=YES" << before;
    QTest::newRow("unknown keys and keys in another case")
        << "apn=x|Login=y|FOO=z|SERIAL=9" << before;
    QTest::newRow("serial key anywhere in the part")
        << "junk SENDCONFIG:SERIAL=42" << with({{RECEIVEDSERIAL, "42"}});
    QTest::newRow("a value holding = keeps its text before it")
        << "WIFIPWD=ab=cd|APN=x" << with({{WIFIPWD, "ab"}, {APN, "x"}});
    QTest::newRow("a part without = leaves its field")
        << "APN|SSID=net|PMTYPE" << with({{SSID, "net"}});
    QTest::newRow("empty parts are skipped") << "||VBOXIP=1.2.3.4||" << with({{VBOXIP, "1.2.3.4"}});
    QTest::newRow("inner blanks kept") << "SSID= my net |APN=a b" << with({{SSID, " my net "}, {APN, "a b"}});
    QTest::newRow("empty reply") << "" << before;
}

void TestStationProtocol::configReply()
{
    QFETCH(QString, reply);
    QFETCH(QStringList, expected);
    StationConfig c = namedConfig();
    StationProtocol::readConfigReply(reply, c);
    QCOMPARE(fields(c), expected);
}

void TestStationProtocol::uplinkFlagsKeepEnabledValue()
{
    // A later answer that switches Ethernet off does not clear the earlier "ON".
    StationConfig c;
    StationProtocol::readConfigReply("ETH=ON|COMWIFI=OFF", c);
    StationProtocol::readConfigReply("ETH=OFF|COMWIFI=ON", c);
    QCOMPARE(c.ETH, QString("ON"));
    QCOMPARE(c.COMWIFI, QString("ON"));
}

void TestStationProtocol::burstCommand_data()
{
    QTest::addColumn<QString>("word");
    QTest::addColumn<QStringList>("period");
    QTest::addColumn<QString>("command");
    QTest::newRow("seven days") << "BURSTMODE:" << QStringList{"19", "05", "27", "14", "007"}
                                << "BURSTMODE:19052714:007";
    QTest::newRow("download form") << "BURSTMODEF:" << QStringList{"25", "01", "01", "00", "120"}
                                   << "BURSTMODEF:25010100:120";
}

void TestStationProtocol::burstCommand()
{
    QFETCH(QString, word);
    QFETCH(QStringList, period);
    QFETCH(QString, command);
    QCOMPARE(StationProtocol::burstCommand(word, period[0], period[1], period[2], period[3], period[4]),
             command);
}

void TestStationProtocol::dateText()
{
    const QDateTime utc(QDate(2019, 5, 27), QTime(14, 3, 9), Qt::UTC);
    QCOMPARE(StationProtocol::dateCommand(StationProtocol::dateText(utc)),
             QString("SENSDATE:2019/05/27:14:03:09"));
}

void TestStationProtocol::decodeReply_data()
{
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<QString>("text");
    QTest::newRow("blanks and line ends") << QByteArray(" \t SENDCONFIG:OK\r\n") << "SENDCONFIG:OK";
    QTest::newRow("zero byte cuts") << QByteArray("ab\0cd", 5) << "ab";
    QTest::newRow("inner blanks kept") << QByteArray("a  b\r\n") << "a  b";
    QTest::newRow("utf-8") << QByteArray("caf\xc3\xa9") << QString::fromUtf8("caf\xc3\xa9");
    QTest::newRow("empty") << QByteArray() << "";
}

void TestStationProtocol::decodeReply()
{
    QFETCH(QByteArray, raw);
    QFETCH(QString, text);
    QCOMPARE(Exchange::decode(raw), text);
}

QTEST_GUILESS_MAIN(TestStationProtocol)
#include "tst_stationprotocol.moc"
