#include "linkbench.h"
#include "stationconfigfile.h"
#include "stationprotocol.h"

#include <QtTest>

namespace {

const QString kHead = "'format': 'marlowdesk-station-config', 'version': 1, 'saved': '2026-12-07T10:15:00Z'";
const QString kUplinks = "'ETH': 'OFF', 'RADIO': 'OFF', 'COMWIFI': 'ON', 'COM3G': 'OFF'";
const QString kUplinkKeys = "ETH, RADIO, COMWIFI, COM3G (Ethernet, Radio, Wifi, 3G)";

// A file's text written with ' for ".
QByteArray json(const QString &text)
{
    return QString(text).replace('\'', '"').toUtf8();
}

QByteArray document(const QString &fields, const QString &head = kHead)
{
    return json('{' + head + ", 'fields': {" + fields + "}}");
}

} // namespace

// Configuration files: what a file may hold, what is refused and why, and a configuration
// taken from one simulated station through a file to another.
class TestStationConfigFile : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    // The tables the files are checked against are the form's own items and pages.
    void tablesAreTheForms()
    {
        QMainWindow window;
        Ui::MainWindow form;
        form.setupUi(&window);
        QStringList items;
        for (const Uplink &uplink : uplinks())
            items << uplink.item;
        for (QComboBox *box : {form.comboBox, form.security}) {
            for (int index = 0; index < box->count(); ++index)
                QCOMPARE(box->itemText(index), (box == form.comboBox ? items : securityTexts()).value(index));
            QCOMPARE(box->count(), (box == form.comboBox ? items : securityTexts()).size());
        }
        for (const ConfigField &field : configFields()) {
            QWidget *widget = field.widget ? window.findChild<QLineEdit *>(field.widget) : nullptr;
            QCOMPARE(bool(widget), field.kind != ConfigField::Uplink && field.kind != ConfigField::Security);
            QCOMPARE(widget && form.Page2->isAncestorOf(widget), field.advanced);
        }
    }

    void load_data()
    {
        QTest::addColumn<QByteArray>("content");   // null: no file
        QTest::addColumn<QStringList>("problems");
        QTest::addColumn<QString>("keys");          // of the file loaded
        const QString fields = kUplinks + ", 'SSID': 'net'";
        const auto row = [](const QByteArray &name, const QByteArray &content, const QStringList &problems,
                            const QString &keys = QString()) {
            QTest::newRow(name.constData()) << content << problems << keys;
        };
        row("basic fields", document(kUplinks + ", 'SSID': 'net', 'WIFICRYPT': '3', 'APN': ''"), {},
            "ETH COM3G RADIO APN COMWIFI SSID WIFICRYPT");
        row("one field, a version written 1.0", document("'PWD': 'p|w=d'", "'format': "
            "'marlowdesk-station-config', 'version': 1.0"), {}, "PWD");
        row("port 1", document("'VBOXPORT': '1'"), {}, "VBOXPORT");
        row("port 65535", document("'VBOXPORT': '65535', 'SERIAL': ''"), {}, "SERIAL VBOXPORT");
        row("port empty, station and no time", document("'VBOXPORT': ''", "'format': "
            "'marlowdesk-station-config', 'station': 'ST9', 'version': 1"), {}, "VBOXPORT");
        row("no file", QByteArray(), {"Can't open the file: No such file or directory"});
        row("too large", QByteArray(StationConfigFile::kMaxBytes + 1, ' '),
            {"The file is larger than 64 KiB: not a station configuration"});
        row("not JSON", "{\"format\": ", {"Not a JSON document: unterminated object at character 11"});
        row("an array", "[]", {"The file holds no JSON object"});
        row("empty object", "{}", {"\"format\" is missing: this is not a MarlowDesk station configuration",
            "\"version\" is missing", "\"fields\" must be a JSON object of configuration fields"});
        row("another format, version 2", document(fields, "'format': 'marlowdesk-other', 'version': 2"),
            {"\"format\" is not \"marlowdesk-station-config\": this is not a MarlowDesk station configuration",
             "Version 2 is newer than this MarlowDesk reads (up to version 1): open the file with a later "
             "MarlowDesk"});
        row("version 1e300", document(fields, "'format': 'marlowdesk-station-config', 'version': 1e300"),
            {"Version 1e+300 is newer than this MarlowDesk reads (up to version 1): open the file with a later "
             "MarlowDesk"});
        for (const char *version : {"0", "1.5", "\"1\"", "null", "-1e300"})
            row(QByteArray("version ") + version, document(fields, "'format': 'marlowdesk-station-config', 'version': "
                + QString(version)), {"\"version\" must be a whole number from 1"});
        row("saved and station of the wrong kinds, a key of its own", document(fields, kHead.chopped(1)
            + "X', 'station': 7, 'note': 'north'"), {"\"saved\" must be a date and time such as "
            "\"2026-12-07T10:15:00Z\"", "\"station\" must be a text in quotes", "Unknown key \"note\""});
        row("fields a list", json('{' + kHead + ", 'fields': ['SSID']}"),
            {"\"fields\" must be a JSON object of configuration fields"});
        row("no field", document(""), {"\"fields\" holds no configuration field"});
        row("unknown fields, lower case, a number, the serial read",
            document("'apn': 'a', 'RECEIVEDSERIAL': 'S', 'PMTYPE': 1, 'LOGIN': null"),
            {"Field \"LOGIN\": must be a text in quotes", "Field \"PMTYPE\": must be a text in quotes",
             "Unknown field \"RECEIVEDSERIAL\"", "Unknown field \"apn\""});
        for (const char *port : {"0", "65536", "50a0", " 5000", "-1", "+80", "99999999999"})
            row(QByteArray("port ") + port, document("'VBOXPORT': '" + QString(port) + '"'),
                {"Field \"VBOXPORT\": \"" + QString(port) + "\" is not a port number from 1 to 65535"});
        for (const char *security : {"4", "", "-1", "02", "WEP"})
            row(QByteArray("security ") + security, document("'WIFICRYPT': '" + QString(security) + '"'),
                {"Field \"WIFICRYPT\": \"" + QString(security) + "\" is none of the security choices: \"0\" No "
                 "security, \"1\" WPA (TKIP), \"2\" WPA2 (AES), \"3\" WEP"});
        row("a control character", document("'SSID': 'a\\tb'"), {"Field \"SSID\": holds a control character"});
        row("uplink values of another switch", document("'ETH': 'XB', 'RADIO': 'ON', 'COMWIFI': 'on', "
            "'COM3G': 'ON'"), {"Field \"COMWIFI\": \"on\" is neither \"ON\" nor \"OFF\"",
            "Field \"ETH\": \"XB\" is neither \"ON\" nor \"OFF\"", "Field \"RADIO\": \"ON\" is neither \"XB\" "
            "nor \"OFF\""});
        row("an uplink switch alone", document("'RADIO': 'XB', 'COM3G': 'OFF'"),
            {"The uplink fields " + kUplinkKeys + " come together; missing: ETH, COMWIFI"});
        row("no uplink on", document("'ETH': 'OFF', 'RADIO': 'OFF', 'COMWIFI': 'OFF', 'COM3G': 'OFF'"),
            {"No uplink is on: one of " + kUplinkKeys + " must be"});
        row("two uplinks on", document("'ETH': 'ON', 'RADIO': 'XB', 'COMWIFI': 'OFF', 'COM3G': 'OFF'"),
            {"More than one uplink is on (ETH, RADIO): the form shows one"});
    }

    // Every problem of a file is named; a file with any holds nothing.
    void load()
    {
        QFETCH(QByteArray, content);
        const QString path = dir.filePath(QTest::currentDataTag());
        QFile file(path);
        QVERIFY(content.isNull() || (file.open(QIODevice::WriteOnly) && file.write(content) == content.size()));
        file.close();
        QStringList problems{"kept"};
        const StationConfigFile loaded = StationConfigFile::load(path, problems);
        QTEST(QStringList(problems.mid(1)), "problems");
        QTEST(loaded.keys().join(' '), "keys");
        QCOMPARE(loaded.isEmpty(), problems.size() > 1 || loaded.keys().isEmpty());
    }

    void stationToStation_data()
    {
        QTest::addColumn<bool>("tcp");
        QTest::addColumn<QString>("changes");    // to the sample on the first station
        QTest::addColumn<QString>("received");   // the changes the second station gets besides
        QTest::newRow("serial, 3G") << false << "" << "";
        QTest::newRow("tcp, radio, WEP, empty optional fields") << true
            << "COM3G=OFF RADIO=XB WIFICRYPT=3 APN= LOGIN= PWD= BOXRADIOSERIAL= SSID= WIFIPWD=" << "";
        QTest::newRow("two switches on, a security the form cannot show: as a read shows them") << true
            << "ETH=ON WIFICRYPT=7" << "COM3G=OFF WIFICRYPT=";
    }

    // Read from one station, through a file, written to another: the second holds the first's fields
    // as the form would have shown them.
    void stationToStation()
    {
        QFETCH(bool, tcp);
        QFETCH(QString, changes);
        QFETCH(QString, received);
        LinkBench from(tcp), to(tcp);
        const StationConfig config = changed(sampleConfig(), changes);
        from.station.setConfig(config);
        QVERIFY(tcp || (from.link->connectDevice() && to.link->connectDevice()));
        QCOMPARE(from.link->getConfig(), kSuccess);
        const QString path = dir.filePath("station.json");
        QVERIFY(StationConfigFile::fromStationRead(from.link->config).save(path));
        QStringList problems;
        const StationConfigFile file = StationConfigFile::load(path, problems);
        QCOMPARE(file.station(), QString("1234"));
        QVERIFY(qAbs(file.saved().secsTo(QDateTime::currentDateTimeUtc())) < 5);
        StationConfig sent;
        file.applyTo(sent);
        QCOMPARE(to.link->setConfig(sent), kSuccess);
        const StationConfig expected = changed(config, received);
        QCOMPARE(configText(to.station.config()), configText(expected));
        QVERIFY(to.station.receivedCommands().contains(StationProtocol::configCommand(expected).toUtf8()));
    }
};

QTEST_MAIN(TestStationConfigFile)
#include "tst_stationconfigfile.moc"
