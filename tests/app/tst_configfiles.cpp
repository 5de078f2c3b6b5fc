#include "collector.h"
#include "sampleconfig.h"
#include "stationbench.h"
#include "stationconfigfile.h"
#include "stationprotocol.h"

namespace {

const QString kRefused = "Configuration file refused / The file was not loaded; the form is as it was:";
const QString kSavedBasic = "Configuration saved / The Advanced tab is locked: the file holds the basic fields only. "
                            "Unlock the tab to save the Advanced fields as well.";
const QString kNotLoaded = "Configuration not loaded / The file holds Advanced fields: without the Advanced "
                           "password nothing was loaded.";
const QString kLoaded = "Configuration loaded from file, not sent yet";

// Puts config into the form as an operator would type and choose it.
void fill(StationBench &bench, const StationConfig &config)
{
    for (const ConfigField &field : configFields()) {
        if (field.widget)
            bench.find<QLineEdit>(field.widget)->setText(config.*field.member);
    }
    bench.find<QComboBox>("comboBox")->setCurrentIndex(chosenUplink(config));
    bench.find<QComboBox>("security")->setCurrentIndex(securityIndex(config.WIFICRYPT));
}

// Runs marlowdesk-collect, in this process, with option and path on the bench's station.
int collect(StationBench &bench, bool tcp, const char *option, const QString &path)
{
    const QStringList link = tcp ? QStringList{"--tcp", "127.0.0.1:" + QString::number(bench.tcp.port())}
                                 : QStringList{"--serial", bench.pty.slavePath()};
    Collector collector;
    collector.setStationLimits(300, 700);
    QString out, err;
    QTextStream outStream(&out), errStream(&err);
    return collector.run(QStringList{"marlowdesk-collect", option, path} + link, outStream, errStream);
}

} // namespace

// The window's configuration files: saved from the form, loaded into it, compared with it.
class TestConfigFiles : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void roundTrip_data()
    {
        QTest::addColumn<QString>("changes");   // to the sample, a station on 3G with WPA2
        QTest::newRow("3G, WPA2") << "";
        QTest::newRow("Ethernet, no security") << "COM3G=OFF ETH=ON WIFICRYPT=0 SERIAL=S-2 PWD=p|w=d";
        QTest::newRow("Radio, WPA, empty fields") << "COM3G=OFF RADIO=XB WIFICRYPT=1 APN= VBOXPORT= FRAMECRYPT=";
        QTest::newRow("Wifi, WEP") << "COM3G=OFF COMWIFI=ON WIFICRYPT=3 VBOXPORT=65535 SSID=x;y";
    }

    // Every field goes from the form into a file and back into the form after it changed; nothing is sent.
    void roundTrip()
    {
        QFETCH(QString, changes);
        StationBench bench;
        RecordingLink &link = bench.useRecordingLink();
        bench.find("Page2")->setEnabled(true);
        const StationConfig config = changed(sampleConfig(), changes);
        fill(bench, config);
        const QString path = dir.filePath("round.json");
        bench.files = QStringList{path, path};
        bench.trigger("actionSaveConfig");
        QCOMPARE(bench.info(), QString("Configuration saved to file"));
        StationConfig other;
        for (const ConfigField &field : configFields())
            other.*field.member = field.kind == ConfigField::Port ? "1" : "other";
        other.RADIO = chosenUplink(config) == 1 ? "OFF" : "XB";
        other.WIFICRYPT = config.WIFICRYPT == "0" ? "1" : "0";
        fill(bench, other);
        QCOMPARE(configDifferences(bench.form(), config, {"RADIO", "WIFICRYPT"}).size(), 2);
        bench.trigger("actionLoadConfig");
        QCOMPARE(configText(bench.form()), configText(config));
        QCOMPARE(bench.info(), kLoaded);
        QCOMPARE(bench.boxes, QStringList());
        QCOMPARE(link.calls, QStringList());
        QCOMPARE(bench.fileCaptions, QStringList({"Save Configuration to File", "Load Configuration from File"}));
    }

    void stationToStation_data()
    {
        QTest::addColumn<bool>("tcp");
        QTest::addColumn<bool>("collectorReads");    // marlowdesk-collect --read-config instead of Save
        QTest::addColumn<bool>("collectorWrites");   // marlowdesk-collect --write-config instead of Load and Send
        for (const bool tcp : {false, true}) {
            const QByteArray link = tcp ? "tcp: " : "serial: ";
            QTest::newRow(link + "window to window") << tcp << false << false;
            QTest::newRow(link + "window to collector") << tcp << false << true;
            QTest::newRow(link + "collector to collector") << tcp << true << true;
        }
    }

    // Read from one simulated station, saved, and written to a second one, by the window (Load, then Send
    // as always) or by marlowdesk-collect: the second station holds the first's fields and receives the
    // same bytes either way.
    void stationToStation()
    {
        QFETCH(bool, tcp);
        QFETCH(bool, collectorReads);
        QFETCH(bool, collectorWrites);
        const StationConfig config = changed(sampleConfig(), "SERIAL=ST-A COM3G=OFF COMWIFI=ON WIFICRYPT=3");
        const QString path = dir.filePath("station.json");
        QFile::remove(path);
        {
            StationBench from;
            from.station.setConfig(config);
            tcp ? from.useTcp() : from.useSerial();
            if (collectorReads) {
                QCOMPARE(collect(from, tcp, "--read-config", path), 0);
            } else {
                from.trigger("actionConnect");
                from.password = "Vexa!R27";
                from.trigger("actionAdv");
                from.files << path;
                from.trigger("actionSaveConfig");
            }
        }
        StationBench to;
        tcp ? to.useTcp() : to.useSerial();
        if (collectorWrites) {
            QCOMPARE(collect(to, tcp, "--write-config", path), 0);
        } else {
            to.trigger("actionConnect");
            to.station.clearReceived();
            to.password = "Vexa!R27";
            to.files << path;
            to.trigger("actionLoadConfig");
            QCOMPARE(to.passwordPrompts, 1);
            QCOMPARE(to.station.receivedCommands(), QList<QByteArray>());
            to.click("setconfigButton");
        }
        QCOMPARE(configText(to.station.config()), configText(config));
        // Over TCP the configuration is read back to judge it.
        const QByteArray command = StationProtocol::configCommand(config).toUtf8();
        const QList<QByteArray> received = to.station.receivedCommands();
        QCOMPARE(received, (QList<QByteArray>{command, "GETCONFIG:"}).mid(0, tcp ? 2 : 1));
        QStringList problems;
        QCOMPARE(StationConfigFile::load(path, problems).station(), QString("ST-A"));
    }

    void collectorRefuses_data()
    {
        QTest::addColumn<QByteArray>("content");   // of the file written; null: none
        QTest::addColumn<bool>("tcp");
        QTest::addColumn<QString>("answer");        // "COMMAND answer": the station's to a command
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("sent");              // commands the station received
        const QByteArray whole = StationConfigFile::fromConfig(sampleConfig(), StationConfigFile::AllFields).toJson();
        QTest::newRow("damaged file") << whole.left(whole.size() / 2) << false << "" << 2 << 0;
        QTest::newRow("unknown field") << QByteArray(whole).replace("\"APN\"", "\"APX\"") << false << "" << 2 << 0;
        QTest::newRow("no file") << QByteArray() << false << "" << 2 << 0;
        QTest::newRow("a required field empty") << QByteArray(whole).replace("\"PMTYPE\": \"1\"", "\"PMTYPE\": \"\"")
                                                << false << "" << 2 << 0;
        QTest::newRow("serial: refused by the station") << whole << false << "SENDCONFIG: SENDCONFIG:KO" << 5 << 1;
        QTest::newRow("serial: taken") << whole << false << "" << 0 << 1;
        QTest::newRow("tcp: the station reports another value") << whole << true << "GETCONFIG: APN=other" << 5 << 2;
        QTest::newRow("tcp: taken") << whole << true << "" << 0 << 2;
    }

    // A file that cannot be sent reaches no station; one the station does not take gives 5.
    void collectorRefuses()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, tcp);
        QFETCH(QString, answer);
        StationBench to;
        tcp ? to.useTcp() : to.useSerial();
        if (!answer.isEmpty())
            to.station.setFault(answer.section(' ', 0, 0).toLatin1(),
                                StationFault::wrongText(answer.section(' ', 1).toLatin1()));
        const QString path = dir.filePath("written.json");
        QFile file(path);
        QFile::remove(path);
        QVERIFY(content.isNull() || (file.open(QIODevice::WriteOnly) && file.write(content) == content.size()));
        file.close();
        QTEST(collect(to, tcp, "--write-config", path), "status");
        QTEST(int(to.station.receivedCommands().size()), "sent");
    }

    void refused_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QByteArray>("content");   // null: no file chosen
        QTest::addColumn<QStringList>("shown");     // the info line, then each box
        const QString head = "{\"format\": \"marlowdesk-station-config\", \"version\": ";
        QTest::newRow("cancelled") << "actionLoadConfig" << QByteArray() << QStringList("before");
        QTest::newRow("not JSON") << "actionLoadConfig" << QByteArray("SSID=net")
            << QStringList{"Configuration not loaded", kRefused + "\n- Not a JSON document: illegal value at "
                                                                  "character 1"};
        const QByteArray three = (head + "1, \"fields\": {\"VBOXPORT\": \"0\", \"SSID\": \"n\", \"WIFICRYPT\": "
                                  "\"WEP\", \"X\": \"\"}}").toUtf8();
        const QString problems = "\n- Field \"VBOXPORT\": \"0\" is not a port number from 1 to 65535\n- Field "
            "\"WIFICRYPT\": \"WEP\" is none of the security choices: \"0\" No security, \"1\" WPA (TKIP), \"2\" "
            "WPA2 (AES), \"3\" WEP\n- Unknown field \"X\"";
        QTest::newRow("three problems at once") << "actionLoadConfig" << three
            << QStringList{"Configuration not loaded", kRefused + problems};
        QTest::newRow("compared") << "actionCompareConfig" << three
            << QStringList{"Configuration not compared", "Configuration file refused / The file cannot be "
                                                         "compared:" + problems};
    }

    // A file with any problem leaves the form as it was, sends nothing, and names every problem in one box.
    void refused()
    {
        QFETCH(QString, action);
        QFETCH(QByteArray, content);
        StationBench bench;
        RecordingLink &link = bench.useRecordingLink();
        fill(bench, sampleConfig());
        bench.find<QLabel>("info")->setText("before");
        QFile file(dir.filePath("refused.json"));
        if (!content.isNull() && file.open(QIODevice::WriteOnly) && file.write(content) == content.size())
            bench.files << file.fileName();
        file.close();
        bench.trigger(qPrintable(action));
        QTEST(QStringList(bench.info()) + bench.boxes, "shown");
        QCOMPARE(configText(bench.form()), configText(sampleConfig()));
        QCOMPARE(link.calls, QStringList());
        QCOMPARE(bench.compared, QStringList());
        QCOMPARE(bench.passwordPrompts, 0);
    }

    void advanced_data()
    {
        QTest::addColumn<bool>("unlocked");
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("advancedFile");   // what the file loaded holds
        QTest::addColumn<QString>("password");    // null: cancelled
        QTest::addColumn<int>("prompts");
        QTest::addColumn<QString>("result");      // the form's SERIAL and SSID, or the keys of the file saved
        QTest::addColumn<QStringList>("shown");
        const QString basic = "ETH COM3G RADIO APN LOGIN PWD COMWIFI SSID WIFICRYPT WIFIPWD";
        const QString all = "SERIAL ETH COM3G RADIO APN LOGIN PWD BOXRADIOSERIAL VBOXIP VBOXPORT PMTYPE COMWIFI SSID "
                            "WIFICRYPT WIFIPWD FRAMECRYPT";
        QTest::newRow("locked: the basic fields saved, and the operator told")
            << false << "actionSaveConfig" << false << QString() << 0 << basic
            << QStringList{"Configuration saved to file without the Advanced fields", kSavedBasic};
        QTest::newRow("unlocked: every field saved") << true << "actionSaveConfig" << false << QString() << 0 << all
                                                     << QStringList("Configuration saved to file");
        QTest::newRow("locked: the password first") << false << "actionLoadConfig" << true << "Vexa!R27" << 1
                                                    << "FILE file" << QStringList(kLoaded);
        QTest::newRow("locked: a wrong password loads nothing") << false << "actionLoadConfig" << true << "vexa!r27"
            << 1 << "FORM form" << QStringList{"Configuration not loaded", kNotLoaded};
        QTest::newRow("locked: cancelled") << false << "actionLoadConfig" << true << QString() << 1 << "FORM form"
                                           << QStringList{"Configuration not loaded", kNotLoaded};
        QTest::newRow("locked: a basic file needs no password") << false << "actionLoadConfig" << false << QString()
                                                                << 0 << "FORM file" << QStringList(kLoaded);
        QTest::newRow("unlocked: no password asked") << true << "actionLoadConfig" << true << QString() << 0 << "FILE file"
                                                     << QStringList(kLoaded);
    }

    // The Advanced fields go into a file, and come out of one, only through the Advanced password.
    void advanced()
    {
        QFETCH(bool, unlocked);
        QFETCH(QString, action);
        QFETCH(bool, advancedFile);
        QFETCH(QString, password);
        StationBench bench;
        RecordingLink &link = bench.useRecordingLink();
        bench.find("Page2")->setEnabled(unlocked);
        fill(bench, changed(sampleConfig(), "SERIAL=FORM SSID=form"));
        const StationConfig file = changed(sampleConfig(), "SERIAL=FILE SSID=file");
        const QString path = dir.filePath("advanced.json");
        if (action == "actionLoadConfig") {
            QVERIFY(StationConfigFile::fromConfig(file, advancedFile ? StationConfigFile::AllFields
                                                                     : StationConfigFile::BasicFields).save(path));
        }
        bench.password = password;
        bench.files << path;
        bench.trigger(qPrintable(action));
        QTEST(bench.passwordPrompts, "prompts");
        QStringList problems;
        QTEST(action == "actionSaveConfig" ? StationConfigFile::load(path, problems).keys().join(' ')
                                           : bench.form().SERIAL + ' ' + bench.form().SSID, "result");
        QTEST(QStringList(bench.info()) + bench.boxes, "shown");
        QCOMPARE(bench.find("Page2")->isEnabled(), unlocked || password == "Vexa!R27");
        QCOMPARE(link.calls, QStringList());
    }

    void compare_data()
    {
        QTest::addColumn<QString>("changes");   // to the form's configuration, in the file
        QTest::addColumn<bool>("all");
        QTest::addColumn<QStringList>("compared");
        QTest::newRow("the same") << "" << true
                                  << QStringList("The form holds every field of cmp.json as the file does.");
        QTest::newRow("one field") << "VBOXPORT=5001" << true
                                   << QStringList{"One field of cmp.json differs from the form.",
                                                  "VBOXPORT: 5000 | 5001"};
        QTest::newRow("the uplink: two switches, wire order") << "COM3G=OFF ETH=ON SSID=Net PMTYPE=2" << true
            << QStringList{"4 fields of cmp.json differ from the form.", "ETH: OFF | ON", "COM3G: ON | OFF",
                           "PMTYPE: 1 | 2", "SSID: net | Net"};
        QTest::newRow("a basic file: only its fields") << "SERIAL=9 WIFICRYPT=0" << false
            << QStringList{"One field of cmp.json differs from the form.", "WIFICRYPT: 2 | 0"};
    }

    // The dialog lists exactly the fields in which the form and the file differ; nothing changes or is sent.
    void compare()
    {
        QFETCH(QString, changes);
        QFETCH(bool, all);
        StationBench bench;
        RecordingLink &link = bench.useRecordingLink();
        fill(bench, sampleConfig());
        const QString path = dir.filePath("cmp.json");
        QVERIFY(StationConfigFile::fromConfig(changed(sampleConfig(), changes),
                                              all ? StationConfigFile::AllFields : StationConfigFile::BasicFields)
                    .save(path));
        bench.files << path;
        bench.trigger("actionCompareConfig");
        QTEST(bench.compared, "compared");
        QCOMPARE(configText(bench.form()), configText(sampleConfig()));
        QCOMPARE(link.calls, QStringList());
        QCOMPARE(bench.passwordPrompts + bench.boxes.size(), 0);
    }

    // A form the file could not carry back, or a folder that is not there: no file, and the reason told.
    void unsaved()
    {
        StationBench bench;
        bench.find("Page2")->setEnabled(true);
        fill(bench, sampleConfig());
        bench.find<QLineEdit>("vboxport")->setText("70000");   // as a station may report it
        bench.files = QStringList{dir.filePath("port.json"), dir.filePath("none/x.json")};
        bench.trigger("actionSaveConfig");
        bench.find<QLineEdit>("vboxport")->setText("5000");
        bench.trigger("actionSaveConfig");
        QCOMPARE(bench.boxes.value(0), QString("Configuration not saved / The configuration was not saved:\n- Field "
                                               "\"VBOXPORT\": \"70000\" is not a port number from 1 to 65535"));
        QVERIFY(bench.boxes.value(1).startsWith("Configuration not saved / The configuration was not saved:\n- "));
        QCOMPARE(bench.boxes.size(), 2);
        QVERIFY(!QFile::exists(dir.filePath("port.json")));
        QCOMPARE(bench.info(), QString("Configuration not saved"));
    }
};

QTEST_MAIN(TestConfigFiles)
#include "tst_configfiles.moc"
