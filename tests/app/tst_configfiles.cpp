#include "collector.h"
#include "sampleconfig.h"
#include "stationbench.h"
#include "stationconfigfile.h"
#include "stationprotocol.h"

namespace {

const char *const kPassword = "Vexa!R27";

// Puts config into the form as an operator would type and choose it.
void fill(StationBench &bench, const StationConfig &config)
{
    for (const ConfigField &field : configFields())
        if (field.widget)
            bench.find<QLineEdit>(field.widget)->setText(config.*field.member);
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

// Replaces the file at path with content; a null content leaves no file there.
bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QFile::remove(path);
    return content.isNull() || (file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
}

// The sample with changes, as a file of all its fields or of the basic ones.
QByteArray sampleFile(const QString &changes, bool all = true)
{
    return StationConfigFile::fromConfig(changed(sampleConfig(), changes),
                                         all ? StationConfigFile::AllFields : StationConfigFile::BasicFields).toJson();
}

} // namespace

// The window's configuration files: saved from the form, loaded into it, compared with it.
class TestConfigFiles : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void toStation_data()
    {
        QTest::addColumn<bool>("tcp");
        QTest::addColumn<QString>("reader");        // of the first station, window or collector; empty: none
        QTest::addColumn<QByteArray>("content");    // of the file when no station is read; null: no file
        QTest::addColumn<bool>("collectorWrites");  // marlowdesk-collect --write-config instead of Load and Send
        QTest::addColumn<int>("status");            // marlowdesk-collect's
        QTest::addColumn<QString>("answer");        // "COMMAND answer": the second station's to a command
        const auto row = [](const QByteArray &name, bool tcp, const char *reader, const QByteArray &content,
                            bool collectorWrites, int status, const char *answer = "") {
            QTest::newRow(name) << tcp << QString(reader) << content << collectorWrites << status << QString(answer);
        };
        for (const bool tcp : {false, true}) {
            const QByteArray link = tcp ? "tcp: " : "serial: ";
            row(link + "window to window", tcp, "window", QByteArray(), false, 0);
            row(link + "window to collector", tcp, "window", QByteArray(), true, 0);
            row(link + "collector to collector", tcp, "collector", QByteArray(), true, 0);
        }
        // A file that cannot be sent reaches no station; one the station does not take gives 5.
        const QByteArray whole = sampleFile("");
        row("damaged file", false, "", whole.left(whole.size() / 2), true, 2);
        row("unknown field", false, "", QByteArray(whole).replace("\"APN\"", "\"APX\""), true, 2);
        row("no file", false, "", QByteArray(), true, 2);
        row("a required field empty", false, "", QByteArray(whole).replace("\"PMTYPE\": \"1\"", "\"PMTYPE\": \"\""),
            true, 2);
        row("serial: refused by the station", false, "", whole, true, 5, "SENDCONFIG: SENDCONFIG:KO");
        row("serial: taken", false, "", whole, true, 0);
        row("tcp: the station reports another value", true, "", whole, true, 5, "GETCONFIG: APN=other");
        row("tcp: taken", true, "", whole, true, 0);
    }

    // Read from one simulated station, or a file as it is, saved, and written to a second one, by the window
    // (Load, then Send as always) or by marlowdesk-collect: the second station holds the first's fields and
    // receives the same bytes either way; over TCP the configuration is read back to judge it.
    void toStation()
    {
        QFETCH(bool, tcp);
        QFETCH(QString, reader);
        QFETCH(QByteArray, content);
        QFETCH(bool, collectorWrites);
        QFETCH(QString, answer);
        QFETCH(int, status);
        const StationConfig config = changed(sampleConfig(), reader.isEmpty() ? "" : "SERIAL=ST-A COM3G=OFF "
                                                                                     "COMWIFI=ON WIFICRYPT=3");
        const QString path = dir.filePath("station.json");
        QVERIFY(writeFile(path, content));
        if (!reader.isEmpty()) {
            StationBench from;
            from.station.setConfig(config);
            tcp ? from.useTcp() : from.useSerial();
            from.password = kPassword;
            from.files << path;
            if (reader == "collector")
                QCOMPARE(collect(from, tcp, "--read-config", path), 0);
            else
                for (const char *action : {"actionConnect", "actionAdv", "actionSaveConfig"})
                    from.trigger(action);
            QStringList problems;
            QCOMPARE(StationConfigFile::load(path, problems).station(), QString("ST-A"));
        }
        StationBench to;
        tcp ? to.useTcp() : to.useSerial();
        if (!answer.isEmpty())
            to.station.setFault(answer.section(' ', 0, 0).toLatin1(),
                                StationFault::wrongText(answer.section(' ', 1).toLatin1()));
        if (collectorWrites) {
            QCOMPARE(collect(to, tcp, "--write-config", path), status);
        } else {
            to.trigger("actionConnect");
            to.station.clearReceived();
            to.password = kPassword;
            to.files << path;
            to.trigger("actionLoadConfig");
            QCOMPARE(to.passwordPrompts, 1);
            QCOMPARE(to.station.receivedCommands(), QList<QByteArray>());
            to.click("setconfigButton");
        }
        const QByteArray command = StationProtocol::configCommand(config).toUtf8();
        QCOMPARE(to.station.receivedCommands(), (QList<QByteArray>{command, "GETCONFIG:"}).mid(0, status == 2 ? 0 : 1 + tcp));
        if (status == 0)
            QCOMPARE(configText(to.station.config()), configText(config));
    }

    void fileActions_data()
    {
        QTest::addColumn<QString>("action");      // Save, Load or Compare
        QTest::addColumn<bool>("unlocked");       // the Advanced tab
        QTest::addColumn<QString>("form");        // changes to the sample typed into the form
        QTest::addColumn<QByteArray>("content");  // what the file holds before; null: no file there
        QTest::addColumn<QStringList>("shown");   // the info line, each box, then the comparison's lines
        QTest::addColumn<QString>("result");      // the form after, as changes to the sample; after Save the
                                                  // keys of the file saved
        QTest::addColumn<QString>("password");    // the Advanced password typed; null: cancelled
        QTest::addColumn<int>("prompts");
        QTest::addColumn<QString>("file");        // the name chosen in the file dialog; empty: cancelled
        const auto row = [](const char *name, const char *action, bool unlocked, const QString &form,
                            const QByteArray &content, const QStringList &shown, const QString &result = "",
                            const QString &password = QString(), int prompts = 0, const char *file = "cmp.json") {
            QTest::newRow(name) << action << unlocked << form << content << shown << result << password << prompts
                                << file;
        };
        const QString refused = "Configuration file refused / The file was not loaded; the form is as it was:";
        const QStringList loaded("Configuration loaded from file, not sent yet");
        const QStringList notLoaded{"Configuration not loaded", "Configuration not loaded / The file holds Advanced "
                                    "fields: without the Advanced password nothing was loaded."};
        const QString notSaved = "Configuration not saved / The configuration was not saved:\n- ";
        const QByteArray three = "{\"format\": \"marlowdesk-station-config\", \"version\": 1, \"fields\": "
                                 "{\"VBOXPORT\": \"0\", \"SSID\": \"n\", \"WIFICRYPT\": \"WEP\", \"X\": \"\"}}";
        const QString problems = "\n- Field \"VBOXPORT\": \"0\" is not a port number from 1 to 65535\n- Field "
            "\"WIFICRYPT\": \"WEP\" is none of the security choices: \"0\" No security, \"1\" WPA (TKIP), \"2\" "
            "WPA2 (AES), \"3\" WEP\n- Unknown field \"X\"";
        QSaveFile noFolder(dir.filePath("none/x.json"));   // the system's reason, in its language
        QVERIFY(!noFolder.open(QIODevice::WriteOnly));
        const QString form = "SERIAL=FORM SSID=form";
        const QByteArray all = sampleFile("SERIAL=FILE SSID=file"), basic = sampleFile("SERIAL=FILE SSID=file", false);
        // Every field goes from the form into a file and back into the form after it changed.
        for (const char *changes : {"", "COM3G=OFF ETH=ON WIFICRYPT=0 SERIAL=S-2 PWD=p|w=d",
                                    "COM3G=OFF RADIO=XB WIFICRYPT=1 APN= VBOXPORT= FRAMECRYPT=",
                                    "COM3G=OFF COMWIFI=ON WIFICRYPT=3 VBOXPORT=65535 SSID=x;y"})
            row(qPrintable("round trip: " + QString(changes)), "Save Load", true, changes, QByteArray(),
                {"Configuration saved to file", "Configuration loaded from file, not sent yet"}, changes);
        // A file with any problem leaves the form as it was and names every problem in one box.
        row("cancelled", "Load", false, "", QByteArray(), {"before"}, "", QString(), 0, "");
        row("not JSON", "Load", false, "", "SSID=net", {"Configuration not loaded", refused + "\n- Not a JSON "
                                                        "document: illegal value at character 1"});
        row("three problems at once", "Load", false, "", three, {"Configuration not loaded", refused + problems});
        row("three problems, compared", "Compare", false, "", three, {"Configuration not compared", "Configuration "
            "file refused / The file cannot be compared:" + problems});
        // The Advanced fields go into a file, and come out of one, only through the Advanced password.
        row("locked: the basic fields saved, and the operator told", "Save", false, form, QByteArray(),
            {"Configuration saved to file without the Advanced fields", "Configuration saved / The Advanced tab is "
             "locked: the file holds the basic fields only. Unlock the tab to save the Advanced fields as well."},
            "ETH COM3G RADIO APN LOGIN PWD COMWIFI SSID WIFICRYPT WIFIPWD");
        row("unlocked: every field saved", "Save", true, form, QByteArray(), {"Configuration saved to file"},
            "SERIAL ETH COM3G RADIO APN LOGIN PWD BOXRADIOSERIAL VBOXIP VBOXPORT PMTYPE COMWIFI SSID WIFICRYPT WIFIPWD "
            "FRAMECRYPT");
        row("locked: the password first", "Load", false, form, all, loaded, "SERIAL=FILE SSID=file", kPassword, 1);
        row("locked: a wrong password loads nothing", "Load", false, form, all, notLoaded, form, "vexa!r27", 1);
        row("locked: cancelled", "Load", false, form, all, notLoaded, form, QString(), 1);
        row("locked: a basic file needs no password", "Load", false, form, basic, loaded, "SERIAL=FORM SSID=file");
        row("unlocked: no password asked", "Load", true, form, all, loaded, "SERIAL=FILE SSID=file");
        // The comparison lists exactly the fields in which the form and the file differ.
        row("compared: the same", "Compare", false, "", sampleFile(""),
            {"before", "The form holds every field of cmp.json as the file does."});
        row("compared: one field", "Compare", false, "", sampleFile("VBOXPORT=5001"),
            {"before", "One field of cmp.json differs from the form.", "VBOXPORT: 5000 | 5001"});
        row("compared: the uplink, two switches, wire order", "Compare", false, "",
            sampleFile("COM3G=OFF ETH=ON SSID=Net PMTYPE=2"), {"before", "4 fields of cmp.json differ from the form.",
            "ETH: OFF | ON", "COM3G: ON | OFF", "PMTYPE: 1 | 2", "SSID: net | Net"});
        row("compared: a basic file, only its fields", "Compare", false, "", sampleFile("SERIAL=9 WIFICRYPT=0", false),
            {"before", "One field of cmp.json differs from the form.", "WIFICRYPT: 2 | 0"});
        // A form the file could not carry back, or a folder that is not there: no file, and the reason told.
        row("not saved: a port as a station may report it", "Save", true, "VBOXPORT=70000", QByteArray(),
            {"Configuration not saved", notSaved + "Field \"VBOXPORT\": \"70000\" is not a port number from 1 to "
                                                   "65535"}, "no file");
        row("not saved: no such folder", "Save", true, "", QByteArray(),
            {"Configuration not saved", notSaved + noFolder.errorString()}, "no file", QString(), 0, "none/x.json");
    }

    // Saved, loaded or compared through the window alone: nothing is ever sent.
    void fileActions()
    {
        QFETCH(QString, action);
        QFETCH(bool, unlocked);
        QFETCH(QString, form);
        QFETCH(QByteArray, content);
        QFETCH(QString, result);
        QFETCH(QString, password);
        QFETCH(QString, file);
        StationBench bench;
        RecordingLink &link = bench.useRecordingLink();
        bench.find("Page2")->setEnabled(unlocked);
        const StationConfig config = changed(sampleConfig(), form);
        fill(bench, config);
        bench.find<QLabel>("info")->setText("before");
        const QString path = dir.filePath(file);
        QVERIFY(file.isEmpty() || writeFile(path, content));
        bench.password = password;
        QStringList infos, captions;
        for (const QString &step : action.split(' ')) {
            if (step == "Load" && action == "Save Load") {   // the form changed in every field before the load
                StationConfig other;
                for (const ConfigField &field : configFields())
                    other.*field.member = field.kind == ConfigField::Port ? "1" : "other";
                other.RADIO = chosenUplink(config) == 1 ? "OFF" : "XB";
                other.WIFICRYPT = config.WIFICRYPT == "0" ? "1" : "0";
                fill(bench, other);
                QCOMPARE(configDifferences(bench.form(), config, {"RADIO", "WIFICRYPT"}).size(), 2);
            }
            bench.files = file.isEmpty() ? QStringList() : QStringList(path);
            bench.trigger(qPrintable("action" + step + "Config"));
            infos << bench.info();
            captions << (step == "Save" ? "Save Configuration to File" : step == "Load" ? "Load Configuration from File"
                                                                                        : "Compare with File");
        }
        QTEST(bench.passwordPrompts, "prompts");
        QTEST(infos + bench.boxes + bench.compared, "shown");
        QStringList problems;
        if (action == "Save")
            QCOMPARE(QFile::exists(path) ? StationConfigFile::load(path, problems).keys().join(' ') : "no file", result);
        else
            QCOMPARE(configText(bench.form()), configText(changed(sampleConfig(), result)));
        QCOMPARE(bench.find("Page2")->isEnabled(), unlocked || password == kPassword);
        QCOMPARE(link.calls, QStringList());
        QCOMPARE(bench.fileCaptions, captions);
    }
};

QTEST_MAIN(TestConfigFiles)
#include "tst_configfiles.moc"
