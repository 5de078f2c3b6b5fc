#include "localports.h"
#include "sampleconfig.h"
#include "stationbench.h"
#include "stationprotocol.h"
#include "ui_mainwindow.h"

#include <cmath>

// What the operator can use while disconnected, and once connected and configured.
const QStringList kDisconnected{"actionConnect", "actionConfigure", "actionSetMode"};
const QStringList kConfigured = QStringList("actionDisconnect") + StationBench::kOperationControls << "console";
const QString kReceived = "Configuration is received / Configuration successfully received.";
const QString kNotReceived = "Configuration not received / Configuration was not received, please check that "
                             "blue led blinks quickly, if not reset Quorvel and click on Get configuration again";

// Labels and buttons with a text, and spin boxes, which show one: the width that shows it whole.
bool hasText(const QWidget *widget)
{
    return ((widget->inherits("QLabel") || widget->inherits("QAbstractButton"))
            && !widget->property("text").toString().isEmpty()) || widget->inherits("QAbstractSpinBox");
}

// Where a child paints: a label only as far as its text, which starts on the left.
QRect painted(const QWidget *widget)
{
    const QRect rect = widget->geometry();
    return widget->inherits("QLabel") ? rect.adjusted(0, 0, qMin(0, widget->sizeHint().width() - rect.width()), 0) : rect;
}

int rightMargin(const QWidget &area)
{
    int right = 0;
    for (const QWidget *child : area.findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
        right = qMax(right, child->geometry().right());
    return area.width() - 1 - right;
}

// The children placed by hand in area, against the same children as the form draws them.
void checkPlaces(const QWidget &area, const QWidget &drawnWindow, bool asDrawn)
{
    const auto placed = area.findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
    for (const QWidget *child : placed) {
        const QString name = child->objectName();
        const QRect now = child->geometry();
        const QRect drawn = drawnWindow.findChild<QWidget *>(name)->geometry();
        const int needed = hasText(child) ? child->sizeHint().width()
                           : child->layout() ? child->layout()->sizeHint().width() : 0;
        // Moved only just clear of a neighbour in its row that grew or moved itself.
        const bool cleared = std::any_of(placed.begin(), placed.end(), [&](const QWidget *other) {
            const QRect otherDrawn = drawnWindow.findChild<QWidget *>(other->objectName())->geometry();
            return other->geometry() != otherDrawn && other->geometry().right() + 1 == now.x()
                   && other->y() <= now.bottom() && now.y() <= other->geometry().bottom();
        });
        QVERIFY2(now.y() == drawn.y() && now.height() == drawn.height() && now.width() == qMax(drawn.width(), needed)
                 && (asDrawn ? now.x() == drawn.x() : now.x() >= drawn.x()) && (now.x() == drawn.x() || cleared),
                 qPrintable(name));
        for (const QWidget *other : placed)
            QVERIFY2(other == child || !painted(other).intersects(painted(child)),
                     qPrintable(name + " overlaps " + other->objectName()));
    }
}

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
        // Per handler: the texts of results 0, 1, 3 and 5, boxes after a "|" and the error line where it starts
        // with one; results 2 and 4 show the error line and the same boxes for all four.
        const auto rows = [](const char *slot, const QString &error, QStringList texts, bool failuresOpen) {
            texts.insert(2, "|Device not connected / Please connect the device");
            texts.insert(4, "|[DEV] Not implemented / Not implemented yet");
            for (int result = 0; result < texts.size(); ++result) {
                QTest::addRow("%s %d", slot, result) << QByteArray(slot) << result
                    << (texts[result].startsWith('|') ? error + texts[result] : texts[result]).split('|')
                    << (failuresOpen || result == 0 ? StationBench::kOperationControls : QStringList());
            }
        };
        rows("setConfig", "Error on Set Configuration", {"Configuration successfully sent|Configuration sent / "
             "Configuration sent", "|Configuration failure / Configuration failure, please send again configuration.",
             "|No data in frame / Configuration is not fully filled, please get configuration from Quorvel or resend "
             "configuration!", "Sending Configuration..."}, false);
        rows("getConfig", "Error on Get Configuration", {"Configuration successfully received|" + kReceived,
             '|' + kNotReceived, "Getting Configuration...", "Getting Configuration..."}, false);
        rows("sendDate", "Date not sent", {"Date successfully sent", "|Date not sent / Error during data sending",
             "Sending date..."}, true);
        rows("sendReset", "Reset failure", {"Reset success", "|Reset failure / Error during reset", "Sending Reset..."},
             true);
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
        QCOMPARE(bench.gate(), tcp ? kDisconnected : kConfigured);
        QCOMPARE(QStringList(bench.info()) + bench.boxes, QStringList({"Reset success",
                 "Error / Can't connect to device", kReceived, "Configuration sent / Configuration sent"}));
        QCOMPARE(bench.boxIcons.first(), QMessageBox::Critical);
    }

    void layout_data()
    {
        QTest::addColumn<int>("pointSize");
        QTest::addColumn<bool>("asDrawn");       // every child keeps its drawn place
        QTest::addColumn<QSize>("minimumSize");  // the window's, where it is fixed
        QTest::newRow("DejaVu Sans 9, Debian's desktop font") << 9 << true << QSize(617, 560);
        QTest::newRow("DejaVu Sans 12") << 12 << false << QSize();
    }

    // The form's fixed places were drawn for a narrower font. No text is cut and nothing runs into a neighbour;
    // a child grows only to fit its text, and leaves its drawn place only to clear a neighbour that grew or moved
    // into it. At its minimum size the window is just wide enough for every area to keep at least the right margin
    // it has in the form, one of them exactly that.
    void layout()
    {
        QFETCH(int, pointSize);
        QFETCH(bool, asDrawn);
        QFETCH(QSize, minimumSize);
        const QFont font("DejaVu Sans", pointSize);
        QVERIFY2(QFontInfo(font).family() == "DejaVu Sans", "needs the DejaVu fonts (fonts-dejavu-core)");
        const auto restore = qScopeGuard([previous = QApplication::font()] { QApplication::setFont(previous); });
        QApplication::setFont(font);
        QMainWindow drawnWindow;
        Ui::MainWindow drawn;
        drawn.setupUi(&drawnWindow);
        drawnWindow.show();
        StationBench bench;
        QVERIFY(!minimumSize.isValid() || bench.window.minimumSize() == minimumSize);
        QCOMPARE(bench.window.size(), bench.window.minimumSize());

        QList<int> spareMargins;   // per area, beyond the form's
        auto *tabs = bench.find<QTabWidget>("tabWidget");
        for (int tab = 0; tab < tabs->count(); ++tab) {
            tabs->setCurrentIndex(tab);
            drawn.tabWidget->setCurrentIndex(tab);
            QCoreApplication::processEvents();
            for (QWidget *widget : bench.window.findChildren<QWidget *>())
                QVERIFY2(!hasText(widget) || !widget->isVisible() || widget->width() >= widget->sizeHint().width(),
                         qPrintable(widget->objectName()));
            const QWidget *area = tabs->widget(tab);
            if (area->objectName() != "Page1") {
                checkPlaces(*area, drawnWindow, asDrawn);
                spareMargins << rightMargin(*area) - rightMargin(*drawn.tabWidget->widget(tab));
            }
        }
        checkPlaces(*bench.find("frame"), drawnWindow, asDrawn);
        spareMargins << rightMargin(*bench.find("frame")) - rightMargin(*drawn.frame);
        QCOMPARE(*std::min_element(spareMargins.begin(), spareMargins.end()), 0);
    }

    void advancedFieldsContrast_data()
    {
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<QPalette::ColorGroup>("group");
        for (const char *field : {"vboxip", "vboxport", "framecrypt"}) {
            QTest::addRow("%s, window active", field) << QByteArray(field) << QPalette::Active;
            QTest::addRow("%s, another window active", field) << QByteArray(field) << QPalette::Inactive;
        }
    }

    // Values read from the station stay legible whether or not the window has the focus: the WCAG 2
    // contrast ratio of text and background, from their relative luminance.
    void advancedFieldsContrast()
    {
        QFETCH(QByteArray, field);
        QFETCH(QPalette::ColorGroup, group);
        StationBench bench;
        const auto luminance = [&](QPalette::ColorRole role) {
            const QColor c = bench.find(field)->palette().color(group, role);
            const auto linear = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
            return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF()) + 0.05;
        };
        const double text = luminance(QPalette::Text), base = luminance(QPalette::Base);
        QVERIFY(qMax(text, base) / qMin(text, base) >= 4.5);
    }

    // From start to close: the Advanced password, two mode switches (each makes a new link and
    // settings dialog), a failed read over an address holding "%1", closing with a dialog open.
    void windowLife()
    {
        StationBench bench;
        QCOMPARE(bench.window.windowTitle(), QString("MarlowWifiDesk Configuration Tool - Version 0.10"));
        QVERIFY(bench.find("resetButton")->isVisible());
        const auto unlocks = [&bench](const QString &typed) {   // a null text cancels the prompt
            bench.password = typed;
            bench.trigger("actionAdv");
            return bench.find("Page2")->isEnabled();
        };
        QCOMPARE(QList<bool>({unlocks(QString()), unlocks("vexa!r27"), unlocks("Vexa!R27")}),
                 QList<bool>({false, false, true}));

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

        // A window left open would keep the program running.
        QTimer::singleShot(1000, &bench.window, [] { QCoreApplication::exit(1); });
        QTimer::singleShot(0, [&bench] { bench.trigger("actionQuit"); });
        QCOMPARE(QApplication::exec(), 0);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
