#include "localports.h"
#include "sampleconfig.h"
#include "stationbench.h"
#include "stationprotocol.h"

// What the operator can use while disconnected, and once connected and configured.
const QStringList kDisconnected{"actionConnect", "actionConfigure", "actionSetMode"};
const QStringList kConfigured = QStringList("actionDisconnect") + StationBench::kOperationControls << "console";
const QString kReceived = "Configuration is received / Configuration successfully received.";
const QString kNotReceived = "Configuration not received / Configuration was not received, please check that "
                             "blue led blinks quickly, if not reset Quorvel and click on Get configuration again";
const QString kNotConnectedBox = "Device not connected / Please connect the device";
const QString kNotImplementedBox = "[DEV] Not implemented / Not implemented yet";

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void results_data()
    {
        QTest::addColumn<QByteArray>("slot");
        QTest::addColumn<int>("result");
        QTest::addColumn<QStringList>("shown");     // the info line, then each box
        QTest::addColumn<QStringList>("enabled");   // all seven controls afterwards, or none
        const auto row = [](const char *slot, int result, const QStringList &shown, bool open) {
            QTest::addRow("%s %d", slot, result) << QByteArray(slot) << result << shown
                                                 << (open ? StationBench::kOperationControls : QStringList());
        };
        row("setConfig", 0, {"Configuration successfully sent", "Configuration sent / Configuration sent"}, true);
        row("setConfig", 1, {"Error on Set Configuration", "Configuration failure / Configuration failure, please "
                             "send again configuration."}, false);
        row("setConfig", 2, {"Error on Set Configuration", kNotConnectedBox}, false);
        row("setConfig", 3, {"Error on Set Configuration", "No data in frame / Configuration is not fully filled, "
                             "please get configuration from Quorvel or resend configuration!"}, false);
        row("setConfig", 4, {"Error on Set Configuration", kNotImplementedBox}, false);
        row("setConfig", 5, {"Sending Configuration..."}, false);
        row("getConfig", 0, {"Configuration successfully received", kReceived}, true);
        row("getConfig", 1, {"Error on Get Configuration", kNotReceived}, false);
        row("getConfig", 2, {"Error on Get Configuration", kNotConnectedBox}, false);
        row("getConfig", 3, {"Getting Configuration..."}, false);
        row("getConfig", 4, {"Error on Get Configuration", kNotImplementedBox}, false);
        row("getConfig", 5, {"Getting Configuration..."}, false);
        row("sendDate", 0, {"Date successfully sent"}, true);
        row("sendDate", 1, {"Date not sent", "Date not sent / Error during data sending"}, true);
        row("sendDate", 2, {"Date not sent", kNotConnectedBox}, true);
        row("sendDate", 3, {"Sending date..."}, true);
        row("sendDate", 4, {"Date not sent", kNotImplementedBox}, true);
        row("sendReset", 0, {"Reset success"}, true);
        row("sendReset", 1, {"Reset failure", "Reset failure / Error during reset"}, true);
        row("sendReset", 2, {"Reset failure", kNotConnectedBox}, true);
        row("sendReset", 3, {"Sending Reset..."}, true);
        row("sendReset", 4, {"Reset failure", kNotImplementedBox}, true);
    }

    // Every result of the four station handlers; the controls start shut before a send, open otherwise.
    void results()
    {
        QFETCH(QByteArray, slot);
        QFETCH(int, result);
        StationBench bench;
        bench.useRecordingLink().result = CommandResult(result);
        QMetaObject::invokeMethod(&bench.window, slot == "setConfig" ? "disableButtons" : "enableButtons");
        QVERIFY(QMetaObject::invokeMethod(&bench.window, slot));
        QTEST(QStringList(bench.info()) + bench.boxes, "shown");
        QTEST(bench.enabled(), "enabled");
    }

    void session_data()
    {
        QTest::addColumn<bool>("tcp");
        QTest::newRow("serial: reads and the date follow a restart") << false;
        QTest::newRow("tcp: writes are read back, a reset disconnects") << true;
    }

    // Nothing at the far end first; then over a real link to the simulated station the
    // configuration read fills the form, which goes back exactly as read; the date; a reset.
    void session()
    {
        QFETCH(bool, tcp);
        StationBench bench;
        tcp ? bench.useTcp("127.0.0.1", closedLocalPort()) : bench.useSerial("/nonexistent/tty");
        bench.trigger("actionConnect");
        QCOMPARE(bench.status(), QString("Can't connect to device"));
        QCOMPARE(bench.gate(), kDisconnected);
        StationConfig config = sampleConfig();
        config.WIFICRYPT = "3";
        bench.station.setConfig(config);
        tcp ? bench.useTcp() : bench.useSerial();
        bench.trigger("actionConnect");
        QCOMPARE(bench.status(), tcp ? QString("Connected to 127.0.0.1 on port %1 (Timeout = 1000 ms)")
                 .arg(bench.tcp.port()) : "Connected to " + bench.pty.slavePath() + " : 115200, 8, None, 1, None");
        QCOMPARE(bench.gate(), kConfigured);
        bench.click("setconfigButton");
        bench.find("Page2")->setEnabled(true);
        bench.click("dateButton");
        QCOMPARE(bench.find<QLabel>("label_18")->text(), bench.station.lastDate());
        bench.click("resetButton");
        QVERIFY(bench.station.waitForCommands(6, 1000));
        const QByteArray sent = StationProtocol::configCommand(config).toUtf8();
        const QByteArray date = "SENSDATE:" + bench.station.lastDate().toLatin1();
        QCOMPARE(bench.station.receivedCommands(), tcp
                 ? QList<QByteArray>({"GETCONFIG:", sent, "GETCONFIG:", date, "GETCONFIG:", "RESET:"})
                 : QList<QByteArray>({"\x07", "GETCONFIG:", sent, "\x07", date, "\x07"}));
        QCOMPARE(bench.info(), QString("Reset success"));
        QCOMPARE(bench.gate(), tcp ? kDisconnected : kConfigured);
        QCOMPARE(bench.boxes, QStringList({"Error / Can't connect to device", kReceived,
                                           "Configuration sent / Configuration sent"}));
        QCOMPARE(bench.boxIcons.first(), QMessageBox::Critical);
    }

    // With a font wider than the form's (offscreen's is) no label or button cuts its text, and nothing
    // placed by hand runs into its neighbour (as drawn, two labels overlap their fields by one pixel).
    void textsFit()
    {
        StationBench bench;
        auto *tabs = bench.find<QTabWidget>("tabWidget");
        for (int tab = 0; tab < tabs->count(); ++tab) {
            tabs->setCurrentIndex(tab);
            for (QWidget *widget : bench.window.findChildren<QWidget *>()) {
                const bool hasText = widget->inherits("QLabel") || widget->inherits("QAbstractButton");
                if (hasText && widget->isVisible() && !widget->property("text").toString().isEmpty())
                    QVERIFY2(widget->width() >= widget->sizeHint().width(), qPrintable(widget->objectName()));
            }
        }
        for (const char *area : {"Page2", "Page3", "frame"}) {
            const auto placed = bench.find(area)->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
            for (QWidget *a : placed)
                for (QWidget *b : placed)
                    QVERIFY(a == b || a->geometry().intersected(b->geometry()).width() <= 1);
        }
    }

    // From start to close: the Advanced password, two mode switches (each makes a new link and
    // settings dialog), a failed read over an address holding "%1", closing with a dialog open.
    void windowLife()
    {
        StationBench bench;
        QCOMPARE(bench.window.windowTitle(), QString("MarlowWifiDesk Configuration Tool - Version 0.10"));
        QVERIFY(bench.find("resetButton")->isVisible());
        const auto unlocks = [&bench](const QString &typed, bool accept) {
            bench.password = accept ? typed : QString();
            bench.trigger("actionAdv");
            return bench.find("Page2")->isEnabled();
        };
        QVERIFY(!unlocks("Vexa!R27", false));
        QVERIFY(!unlocks("vexa!r27", true));
        QVERIFY(unlocks("Vexa!R27", true));

        bench.useSerial("/tmp/applied");
        for (const char *kind : {"SettingsDialogWifi", "SettingsDialogSerial"}) {
            const QPointer<QDialog> previous = bench.settings();
            bench.trigger("actionSetMode");
            bench.trigger("actionConfigure");
            QVERIFY(!previous && bench.settings()->inherits(kind) && bench.settings()->isVisible());
        }
        QVERIFY(qobject_cast<SettingsDialogSerial *>(bench.settings())->settings().portName != "/tmp/applied");
        bench.useTcp("st%1.example", 4001);
        bench.useRecordingLink().result = kFailure;
        bench.trigger("actionConnect");
        QCOMPARE(bench.status(), QString("Connected to st%1.example on port 4001 (Timeout = 1000 ms)"));
        QCOMPARE(bench.gate(), QStringList({"actionDisconnect", "console"}));
        bench.trigger("actionDisconnect");
        QCOMPARE(bench.status(), QString("Disconnected"));
        QCOMPARE(bench.boxes, QStringList{kNotReceived});
        bench.trigger("actionConfigure");

        QTimer watchdog;   // a window left open would keep the program running
        connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(1); });
        watchdog.start(1000);
        QTimer::singleShot(0, [&bench] { bench.trigger("actionQuit"); });
        QCOMPARE(QApplication::exec(), 0);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
