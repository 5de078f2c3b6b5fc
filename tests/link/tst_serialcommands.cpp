#include "linkbench.h"

#include <QtTest>

// The serial link against the simulated station on a pseudo-terminal.
class TestSerialCommands : public QObject
{
    Q_OBJECT

private slots:
    void commands_data()
    {
        using F = StationFault;
        const auto add = LinkCase::add;
        const QByteArray reset("\x07"), date = reset + " SENSDATE:*";
        QTest::addColumn<LinkCase>("c");
        LinkCase::addCommonRows(false);
        add("reset", {false, "reset", reset, F::wrongText("boot Torvia v2"), "0", reset});
        add("date, ack in lower case", {false, "date", "SENSDATE:", F::wrongText("senserial:ok"), "0", date});
        add("date, date word", {false, "date", "SENSDATE:", F::wrongText("SENSDATE:OK"), "1", date});
        add("date after a failed reset", {false, "date", reset, F::wrongText("x"), "0", date});
        add("getConfig, banner in capitals", {false, "getConfig", reset, F::wrongText("TORVIA"), "2", reset});
        add("getConfig, silent reset", {false, "getConfig", reset, F::silent(), "2", reset});
        add("setConfig, ack trimmed", {false, "setConfig", "SENDCONFIG:", F::wrongText(" SENDCONFIG:OK\r\n"), "0",
                                       kSampleCommand});
        add("setConfig, more than the ack", {false, "setConfig", "SENDCONFIG:", F::wrongText("SENDCONFIG:OK;"), "1",
                                             kSampleCommand});
        for (const char *required : {"SERIAL", "VBOXIP", "VBOXPORT", "PMTYPE", "FRAMECRYPT"})
            add(required, {false, QString("setConfig-") + required, "", F(), "3"});
        add("setConfig, optional fields empty",
            {false, "setConfig-ETH,COM3G,RADIO,APN,LOGIN,PWD,BOXRADIOSERIAL,COMWIFI,SSID,WIFICRYPT,WIFIPWD", "", F(),
             "0", "SENDCONFIG:SERIAL=1234|ETH=|COM3G=|RADIO=|APN=|LOGIN=|PWD=|BOXRADIOSERIAL=|VBOXIP=10.0.0.5"
                  "|VBOXPORT=5000|PMTYPE=1|COMWIFI=|SSID=|WIFICRYPT=|WIFIPWD=|FRAMECRYPT=0"});
        add("burst, ack in lower case", {false, "burst", "BURSTMODE:", F::wrongText("burstmode:ok"), "0",
                                         "BURSTMODE:19052714:007"});
        add("burst, refused", {false, "burst", "BURSTMODE:", F::wrongText("KO"), "1", "BURSTMODE:19052714:007"});
        add("burstF", {false, "burstF", "BURSTMODEF:", F::wrongText(" OK:SN-9 \r\n"), "SN-9", LinkCase::kBurstF});
        add("stop", {false, "stop", "ENDBURSTMODE", F::wrongText("EndBurstMode:Ok"), "0", "ENDBURSTMODE"});
        add("stop, echo", {false, "stop", "ENDBURSTMODE", F::wrongText("ENDBURSTMODE"), "1", "ENDBURSTMODE"});
        add("ack", {false, "ack", "BURSTMODEF:OK", F::silent(), "0", "BURSTMODEF:OK\r\n"});
    }

    void commands() { QFETCH(LinkCase, c); c.check(); }
};

QTEST_MAIN(TestSerialCommands)
#include "tst_serialcommands.moc"
