#include "mainwindow.h"

#include "console.h"
#include "localports.h"
#include "messageboxcatcher.h"
#include "recordinglink.h"
#include "settingsdialogserial.h"
#include "settingsdialogwifi.h"
#include "stationbench.h"
#include "windowdriver.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QtTest>

using WindowDriver::action;
using WindowDriver::child;
using WindowDriver::enabledControls;
using WindowDriver::info;
using WindowDriver::labelText;
using WindowDriver::operationControls;
using WindowDriver::useSerialPort;
using WindowDriver::useTcp;
using WindowDriver::visibleDialog;

namespace {

constexpr int kStationReplyMs = 2000;   // generous: the station answers at once
constexpr int kSilentStationMs = 500;   // the TCP limit where silence is the point

const QString kAdvancedPassword = QStringLiteral("Vexa!R27");
const QString kReceivedBox = "Configuration is received / Configuration successfully received.";
const QString kNotReceivedBox =
    "Configuration not received / Configuration was not received, please check that blue led "
    "blinks quickly, if not reset Quorvel and click on Get configuration again";

// What the connection gate lets the operator do: the enabled actions, the
// enabled operation controls and the console, in that order.
const QStringList kDisconnectedGate = {"actionConnect", "actionConfigure", "actionSetMode"};
const QStringList kConnectedGate = QStringList{"actionDisconnect"} + operationControls()
                                   + QStringList{"console"};

QImage iconImage(const QIcon &icon, QIcon::Mode mode, QIcon::State state)
{
    return icon.pixmap(QSize(32, 32), mode, state).toImage().convertToFormat(QImage::Format_ARGB32);
}

QImage resourceImage(const QString &name)
{
    // Through a pixmap, as the icon holds it: both sides then share the premultiplied rounding.
    return QPixmap(QStringLiteral(":/images/") + name).toImage().convertToFormat(QImage::Format_ARGB32);
}

// Triggers Advanced access and answers its password dialog: types the text and
// accepts, or cancels with the text in place. Returns what the dialog showed as
// "title / label / [initial text] echo", empty when no dialog came.
QString answerPassword(MainWindow &window, const QString &typed, bool accept)
{
    QString asked;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto *dialog = visibleDialog<QInputDialog>();
        if (!dialog)
            return;
        timer.stop();
        asked = QStringLiteral("%1 / %2 / [%3] %4").arg(dialog->windowTitle(), dialog->labelText(),
            dialog->textValue(), dialog->textEchoMode() == QLineEdit::Password ? "hidden" : "shown");
        if (accept) {
            QTest::keyClicks(dialog->findChild<QLineEdit *>(), typed);
            dialog->accept();
        } else {
            dialog->setTextValue(typed);
            dialog->reject();
        }
    });
    timer.start(20);
    action(window, "actionAdv")->trigger();
    return asked;
}

StationConfig stationConfig()
{
    StationConfig c;
    c.SERIAL = QStringLiteral("ST1234");
    c.ETH = QStringLiteral("OFF");
    c.COM3G = QStringLiteral("OFF");
    c.RADIO = QStringLiteral("OFF");
    c.COMWIFI = QStringLiteral("ON");
    c.APN = QStringLiteral("internet.example");
    c.LOGIN = QStringLiteral("operator");
    c.PWD = QStringLiteral("pw-3g");
    c.SSID = QStringLiteral("StationNet");
    c.WIFIPWD = QStringLiteral("wifi-secret");
    c.WIFICRYPT = QStringLiteral("3");
    c.BOXRADIOSERIAL = QStringLiteral("BR-77");
    c.VBOXIP = QStringLiteral("10.0.0.5");
    c.VBOXPORT = QStringLiteral("5000");
    c.PMTYPE = QStringLiteral("2");
    c.FRAMECRYPT = QStringLiteral("1");
    return c;
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startUpState();
    void serialSession();
    void tcpSession();
    void failedConnection_data();
    void failedConnection();
    void failedConfigurationRead();
    void resultBoxes_data();
    void resultBoxes();
    void modeSwitch();
    void advancedPassword_data();
    void advancedPassword();
    void aboutBox();
    void openSettingsDialogDoesNotKeepProgramRunning();

private:
    // Replaces the window's link by one without a transport; the window owns it.
    static RecordingLink *useRecordingLink(MainWindow &window);
    static QLabel *status(const MainWindow &window) { return window.status; }
    static QDialog *settings(const MainWindow &window) { return window.settings; }
    static QStringList gate(const MainWindow &window);
    static void unlockAdvanced(MainWindow &window);
    void editAndSend(StationBench &bench, int uplink, int security, const char *field,
                     const QString &typed);
    void setDate(StationBench &bench);

    MessageBoxCatcher *catcher = nullptr;
};

void TestMainWindow::init()
{
    catcher = new MessageBoxCatcher(this);
}

void TestMainWindow::cleanup()
{
    delete catcher;
    catcher = nullptr;
}

RecordingLink *TestMainWindow::useRecordingLink(MainWindow &window)
{
    delete window.link;
    auto *link = new RecordingLink(window.ui);
    window.link = link;
    return link;
}

QStringList TestMainWindow::gate(const MainWindow &window)
{
    QStringList open;
    for (const char *name : {"actionConnect", "actionDisconnect", "actionConfigure",
                             "actionSetMode"}) {
        if (action(window, name)->isEnabled())
            open << QLatin1String(name);
    }
    open << enabledControls(window);
    if (window.console->isEnabled())
        open << QStringLiteral("console");
    return open;
}

void TestMainWindow::unlockAdvanced(MainWindow &window)
{
    QVERIFY(!answerPassword(window, kAdvancedPassword, true).isEmpty());
    QVERIFY(child<QWidget>(window, "Page2")->isEnabled());
}

// Picks the uplink and the Wi-Fi security, retypes one field and sends the form.
void TestMainWindow::editAndSend(StationBench &bench, int uplink, int security, const char *field,
                                 const QString &typed)
{
    MainWindow &window = bench.window;
    catcher->clear();
    bench.station.clearReceived();
    child<QComboBox>(window, "comboBox")->setCurrentIndex(uplink);
    child<QComboBox>(window, "security")->setCurrentIndex(security);
    QLineEdit *edit = child<QLineEdit>(window, field);
    edit->clear();
    QTest::keyClicks(edit, typed);
    child<QPushButton>(window, "setconfigButton")->click();
    QCOMPARE(catcher->lines(), QStringList{"Configuration sent / Configuration sent"});
    QCOMPARE(info(window), QString("Configuration successfully sent"));
}

// Sets the station's clock: the UTC time it was sent is shown on the form.
void TestMainWindow::setDate(StationBench &bench)
{
    catcher->clear();
    bench.station.clearReceived();
    child<QPushButton>(bench.window, "dateButton")->click();
    QCOMPARE(info(bench.window), QString("Date successfully sent"));
    QCOMPARE(catcher->lines(), QStringList());
    QCOMPARE(labelText(bench.window, "label_18"), bench.station.lastDate());
    QDateTime sent = QDateTime::fromString(bench.station.lastDate(), "yyyy/MM/dd:hh:mm:ss");
    QVERIFY(sent.isValid());
    sent.setTimeSpec(Qt::UTC);
    QVERIFY(qAbs(sent.secsTo(QDateTime::currentDateTimeUtc())) <= 5);
}

void TestMainWindow::startUpState()
{
    MainWindow window;
    window.show();

    QCOMPARE(window.windowTitle(), QString("MarlowWifiDesk Configuration Tool - Version 0.10"));
    QCOMPARE(status(window)->text(), QString("Not connected"));
    QCOMPARE(status(window)->parentWidget(), static_cast<QWidget *>(window.statusBar()));
    QVERIFY(status(window)->minimumWidth() >= 600);
    QCOMPARE(info(window), QString());
    QCOMPARE(gate(window), kDisconnectedGate);
    QVERIFY(action(window, "actionQuit")->isEnabled());
    QVERIFY(child<QWidget>(window, "resetButton")->isVisible());
    QCOMPARE(child<QComboBox>(window, "comboBox")->currentText(), QString("Ethernet"));
    QCOMPARE(child<QComboBox>(window, "security")->currentText(), QString("No security"));
    QVERIFY(qobject_cast<SettingsDialogSerial *>(settings(window)));

    // The mode icon is the serial image in every mode and state that a tool bar draws.
    const QImage serialImage = resourceImage("mode-serial.png");
    QVERIFY(serialImage != resourceImage("mode-wifi.png"));
    const QIcon icon = action(window, "actionSetMode")->icon();
    for (const QIcon::Mode mode : {QIcon::Normal, QIcon::Selected, QIcon::Active}) {
        for (const QIcon::State state : {QIcon::Off, QIcon::On}) {
            QCOMPARE(iconImage(icon, mode, state), serialImage);
            // A missing entry would be stood in for by another: ask for the entries themselves.
            QCOMPARE(icon.availableSizes(mode, state), QList<QSize>({QSize(32, 32)}));
        }
    }

    const QDateTime burstStart = child<QDateTimeEdit>(window, "burstmodeDate")->dateTime();
    QVERIFY(qAbs(burstStart.secsTo(QDateTime::currentDateTime())) < 60);

    // The clock shows UTC, refreshed by the window's own timer.
    QLabel *clock = child<QLabel>(window, "label_18");
    QTRY_VERIFY_WITH_TIMEOUT(clock->text() != QLatin1String("YYYY-MM-DD hh:mm:ss"), 3000);
    QDateTime shown = QDateTime::fromString(clock->text(), "yyyy-MM-dd hh:mm:ss");
    QVERIFY2(shown.isValid(), qPrintable(clock->text()));
    shown.setTimeSpec(Qt::UTC);
    QVERIFY(qAbs(shown.secsTo(QDateTime::currentDateTimeUtc())) <= 2);
    QCOMPARE(catcher->lines(), QStringList());
}

void TestMainWindow::serialSession()
{
    StationBench bench;
    SimulatedStation &station = bench.station;
    MainWindow &window = bench.window;
    // Nothing in this answer may move the form: no uplink switched on, an unknown
    // security value and an empty serial.
    StationConfig config = stationConfig();
    config.COMWIFI = QStringLiteral("OFF");
    config.WIFICRYPT = QStringLiteral("5");
    config.SERIAL.clear();
    station.setConfig(config);
    unlockAdvanced(window);
    child<QComboBox>(window, "comboBox")->setCurrentIndex(3);
    child<QComboBox>(window, "security")->setCurrentIndex(2);
    QTest::keyClicks(child<QLineEdit>(window, "serial"), QStringLiteral("KEEP-ME"));
    bench.useSerial();

    // Connect: the station is restarted, then asked for its configuration.
    action(window, "actionConnect")->trigger();
    QCOMPARE(status(window)->text(),
             QString("Connected to %1 : 115200, 8, None, 1, None").arg(bench.pty.slavePath()));
    QCOMPARE(catcher->lines(), QStringList{kReceivedBox});
    QCOMPARE(info(window), QString("Configuration successfully received"));
    QCOMPARE(station.receivedCommands(),
             QList<QByteArray>({QByteArray("\x07"), QByteArray("GETCONFIG:")}));
    QCOMPARE(gate(window), kConnectedGate);
    const QList<QPair<const char *, QString>> fields = {
        {"apn", "internet.example"}, {"login", "operator"}, {"password", "pw-3g"},
        {"ssid", "StationNet"}, {"wifiPassword", "wifi-secret"}, {"boxradioserial", "BR-77"},
        {"vboxip", "10.0.0.5"}, {"vboxport", "5000"}, {"pmtype", "2"}, {"framecrypt", "1"},
        {"serial", "KEEP-ME"}};
    for (const auto &field : fields)
        QCOMPARE(child<QLineEdit>(window, field.first)->text(), field.second);
    QCOMPARE(child<QComboBox>(window, "comboBox")->currentText(), QString("3G"));
    QCOMPARE(child<QComboBox>(window, "security")->currentText(), QString("WPA2 (AES)"));

    // Edit and send: the station gets exactly what the form shows.
    editAndSend(bench, 1, 1, "apn", QStringLiteral("m2m.example"));
    QCOMPARE(station.receivedCommands(),
             QList<QByteArray>({"SENDCONFIG:SERIAL=KEEP-ME|ETH=OFF|COM3G=OFF|RADIO=XB"
                                "|APN=m2m.example|LOGIN=operator|PWD=pw-3g|BOXRADIOSERIAL=BR-77"
                                "|VBOXIP=10.0.0.5|VBOXPORT=5000|PMTYPE=2|COMWIFI=OFF"
                                "|SSID=StationNet|WIFICRYPT=1|WIFIPWD=wifi-secret|FRAMECRYPT=1"}));
    QCOMPARE(station.config().RADIO, QString("XB"));

    // Date: over the serial line the station is restarted before it takes the date.
    setDate(bench);
    QCOMPARE(station.receivedCommands(),
             QList<QByteArray>({"\x07", "SENSDATE:" + station.lastDate().toLatin1()}));

    // Reset: the serial line stays open.
    station.clearReceived();
    child<QPushButton>(window, "resetButton")->click();
    QCOMPARE(info(window), QString("Reset success"));
    QCOMPARE(station.receivedCommands(), QList<QByteArray>({QByteArray("\x07")}));
    QCOMPARE(gate(window), kConnectedGate);

    action(window, "actionDisconnect")->trigger();
    QCOMPARE(status(window)->text(), QString("Disconnected"));
    QCOMPARE(gate(window), kDisconnectedGate);
    QCOMPARE(catcher->lines(), QStringList());
}

void TestMainWindow::tcpSession()
{
    StationBench bench;
    SimulatedStation &station = bench.station;
    MainWindow &window = bench.window;
    station.setConfig(stationConfig());
    unlockAdvanced(window);
    bench.useTcp(kStationReplyMs);

    action(window, "actionConnect")->trigger();
    QCOMPARE(status(window)->text(), QString("Connected to 127.0.0.1 on port %1 (Timeout = %2 ms)")
                                         .arg(bench.tcp.port()).arg(kStationReplyMs));
    QCOMPARE(catcher->lines(), QStringList{kReceivedBox});
    QCOMPARE(station.receivedCommands(), QList<QByteArray>({"GETCONFIG:"}));
    QCOMPARE(gate(window), kConnectedGate);
    QCOMPARE(child<QComboBox>(window, "comboBox")->currentText(), QString("Wifi"));
    QCOMPARE(child<QComboBox>(window, "security")->currentText(), QString("WEP"));
    QCOMPARE(child<QLineEdit>(window, "serial")->text(), QString("ST1234"));

    // Over TCP the station's new configuration is read back after it is sent.
    editAndSend(bench, 0, 2, "ssid", QStringLiteral("Field Net"));
    QCOMPARE(station.receivedCommands(),
             QList<QByteArray>({"SENDCONFIG:SERIAL=ST1234|ETH=ON|COM3G=OFF|RADIO=OFF"
                                "|APN=internet.example|LOGIN=operator|PWD=pw-3g"
                                "|BOXRADIOSERIAL=BR-77|VBOXIP=10.0.0.5|VBOXPORT=5000|PMTYPE=2"
                                "|COMWIFI=OFF|SSID=Field Net|WIFICRYPT=2|WIFIPWD=wifi-secret"
                                "|FRAMECRYPT=1",
                                "GETCONFIG:"}));
    QCOMPARE(child<QComboBox>(window, "comboBox")->currentText(), QString("Ethernet"));
    QCOMPARE(child<QComboBox>(window, "security")->currentText(), QString("WPA2 (AES)"));

    setDate(bench);
    QCOMPARE(station.receivedCommands(),
             QList<QByteArray>({"SENSDATE:" + station.lastDate().toLatin1(), "GETCONFIG:"}));

    // The TCP reset takes the window down with the connection.
    station.clearReceived();
    child<QPushButton>(window, "resetButton")->click();
    QVERIFY(station.waitForCommands(1, kStationReplyMs));
    QCOMPARE(station.receivedCommands(), QList<QByteArray>({"RESET:"}));
    QCOMPARE(info(window), QString("Reset success"));
    QCOMPARE(status(window)->text(), QString("Disconnected"));
    QCOMPARE(gate(window), kDisconnectedGate);
    QCOMPARE(catcher->lines(), QStringList());

    // A new connection after the restart reads the configuration again.
    station.clearReceived();
    action(window, "actionConnect")->trigger();
    QCOMPARE(station.receivedCommands(), QList<QByteArray>({"GETCONFIG:"}));
    QCOMPARE(gate(window), kConnectedGate);
}

void TestMainWindow::failedConnection_data()
{
    QTest::addColumn<bool>("tcp");
    QTest::addColumn<QString>("info");
    QTest::newRow("tcp, closed port on loopback") << true << "Connection refused";
    QTest::newRow("serial, no such device") << false << "Connecting...";
}

void TestMainWindow::failedConnection()
{
    QFETCH(bool, tcp);
    QFETCH(QString, info);

    MainWindow window;
    window.show();
    if (tcp)
        useTcp(window, closedLocalPort(), kSilentStationMs);
    else
        useSerialPort(window, QStringLiteral("/nonexistent/marlowdesk-tty"));

    action(window, "actionConnect")->trigger();
    QCOMPARE(catcher->lines(), QStringList{"Error / Can't connect to device"});
    QCOMPARE(catcher->boxes().first().icon, int(QMessageBox::Critical));
    QCOMPARE(status(window)->text(), QString("Can't connect to device"));
    QCOMPARE(WindowDriver::info(window), info);
    QCOMPARE(gate(window), kDisconnectedGate);
}

void TestMainWindow::failedConfigurationRead()
{
    StationBench bench;
    MainWindow &window = bench.window;
    bench.station.setFault("GETCONFIG:", StationFault::silent(true));
    QTest::keyClicks(child<QLineEdit>(window, "apn"), QStringLiteral("typed before"));
    bench.useTcp(kSilentStationMs);

    action(window, "actionConnect")->trigger();
    QCOMPARE(catcher->lines(), QStringList{kNotReceivedBox});
    QCOMPARE(info(window), QString("Error on Get Configuration"));
    QVERIFY(status(window)->text().startsWith("Connected to 127.0.0.1 on port "));
    // Connected, but nothing to operate on until a read succeeds.
    QCOMPARE(gate(window), (QStringList{"actionDisconnect", "console"}));
    QCOMPARE(child<QLineEdit>(window, "apn")->text(), QString("typed before"));
}

void TestMainWindow::resultBoxes_data()
{
    QTest::addColumn<QByteArray>("slot");
    QTest::addColumn<CommandResult>("result");
    QTest::addColumn<QString>("info");
    QTest::addColumn<QString>("box");   // "title / text", empty: no box
    QTest::addColumn<bool>("enabledBefore");
    QTest::addColumn<bool>("enabledAfter");
    const auto row = [](const char *slot, int result, const QString &info, const QString &box,
                        bool enabledBefore, bool enabledAfter) {
        QTest::addRow("%s %d", slot, result) << QByteArray(slot) << CommandResult(result) << info
                                             << box << enabledBefore << enabledAfter;
    };
    const QString notConnected = "Device not connected / Please connect the device";
    const QString notImplemented = "[DEV] Not implemented / Not implemented yet";

    const QString setError = "Error on Set Configuration";
    row("setConfig", kSuccess, "Configuration successfully sent",
        "Configuration sent / Configuration sent", false, true);
    row("setConfig", kFailure, setError,
        "Configuration failure / Configuration failure, please send again configuration.",
        false, false);
    row("setConfig", kNotConnected, setError, notConnected, false, false);
    row("setConfig", kIncomplete, setError,
        "No data in frame / Configuration is not fully filled, please get configuration from "
        "Quorvel or resend configuration!", false, false);
    row("setConfig", kNotImplemented, setError, notImplemented, false, false);
    row("setConfig", 5, "Sending Configuration...", QString(), true, true);

    const QString getError = "Error on Get Configuration";
    row("getConfig", kSuccess, "Configuration successfully received", kReceivedBox, false, true);
    row("getConfig", kFailure, getError, kNotReceivedBox, true, false);
    row("getConfig", kNotConnected, getError, notConnected, true, false);
    row("getConfig", kIncomplete, "Getting Configuration...", QString(), true, false);
    row("getConfig", kNotImplemented, getError, notImplemented, true, false);
    row("getConfig", 9, "Getting Configuration...", QString(), true, false);

    row("sendDate", kSuccess, "Date successfully sent", QString(), true, true);
    row("sendDate", kFailure, "Date not sent", "Date not sent / Error during data sending",
        true, true);
    row("sendDate", kNotConnected, "Date not sent", notConnected, false, false);
    row("sendDate", kIncomplete, "Sending date...", QString(), true, true);
    row("sendDate", kNotImplemented, "Date not sent", notImplemented, true, true);
    row("sendDate", 255, "Sending date...", QString(), false, false);

    row("sendReset", kSuccess, "Reset success", QString(), true, true);
    row("sendReset", kFailure, "Reset failure", "Reset failure / Error during reset", true, true);
    row("sendReset", kNotConnected, "Reset failure", notConnected, true, true);
    row("sendReset", kIncomplete, "Sending Reset...", QString(), true, true);
    row("sendReset", kNotImplemented, "Reset failure", notImplemented, false, false);
    row("sendReset", 6, "Sending Reset...", QString(), true, true);
}

// Every outcome of the four station operations, as the operator sees it.
void TestMainWindow::resultBoxes()
{
    QFETCH(QByteArray, slot);
    QFETCH(CommandResult, result);
    QFETCH(QString, info);
    QFETCH(QString, box);
    QFETCH(bool, enabledBefore);
    QFETCH(bool, enabledAfter);

    MainWindow window;
    window.show();
    RecordingLink *link = useRecordingLink(window);
    link->result = result;
    link->reply = stationConfig();
    QVERIFY(QMetaObject::invokeMethod(&window, enabledBefore ? "enableButtons" : "disableButtons"));

    QVERIFY(QMetaObject::invokeMethod(&window, slot.constData()));

    QCOMPARE(WindowDriver::info(window), info);
    QCOMPARE(catcher->lines(), box.isEmpty() ? QStringList() : QStringList{box});
    if (!box.isEmpty())
        QCOMPARE(catcher->boxes().first().icon, int(QMessageBox::Information));
    QCOMPARE(enabledControls(window), enabledAfter ? operationControls() : QStringList());
    // None of these outcomes touches the connection state.
    QCOMPARE(status(window)->text(), QString("Not connected"));
}

void TestMainWindow::modeSwitch()
{
    MainWindow window;
    window.show();
    QAction *setModeAction = action(window, "actionSetMode");
    const QString appliedPort = QStringLiteral("/tmp/marlowdesk-applied-port");

    // Settings applied in the first serial dialog do not survive two switches.
    useSerialPort(window, appliedPort);
    QPointer<QDialog> firstSerial = settings(window);

    setModeAction->trigger();
    QVERIFY(firstSerial.isNull());
    QCOMPARE(iconImage(setModeAction->icon(), QIcon::Normal, QIcon::Off),
             resourceImage("mode-wifi.png"));
    action(window, "actionConfigure")->trigger();
    QPointer<SettingsDialogWifi> wifi = visibleDialog<SettingsDialogWifi>();
    QVERIFY(wifi);
    QCOMPARE(settings(window), wifi.data());
    QCOMPARE(wifi->settings().ip, QString("192.168.1.10"));

    // Switching with the dialog open closes it with its mode.
    setModeAction->trigger();
    QVERIFY(wifi.isNull());
    QVERIFY(!visibleDialog<SettingsDialogWifi>());
    QCOMPARE(iconImage(setModeAction->icon(), QIcon::Selected, QIcon::On),
             resourceImage("mode-serial.png"));
    auto *secondSerial = qobject_cast<SettingsDialogSerial *>(settings(window));
    QVERIFY(secondSerial);
    QVERIFY(secondSerial->settings().portName != appliedPort);
    action(window, "actionConfigure")->trigger();
    QCOMPARE(visibleDialog<SettingsDialogSerial>(), secondSerial);
    secondSerial->hide();

    // Only 0 and 1 are modes.
    window.setMode(2);
    QCOMPARE(settings(window), secondSerial);
    QCOMPARE(iconImage(setModeAction->icon(), QIcon::Normal, QIcon::Off),
             resourceImage("mode-serial.png"));
    setModeAction->trigger();
    QVERIFY(qobject_cast<SettingsDialogWifi *>(settings(window)));

    // No switching while connected.
    useRecordingLink(window)->result = kFailure;
    action(window, "actionConnect")->trigger();
    QVERIFY(!setModeAction->isEnabled());
    QVERIFY(!action(window, "actionConfigure")->isEnabled());
}

void TestMainWindow::advancedPassword_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("accept");
    QTest::addColumn<bool>("unlocked");
    QTest::newRow("right") << kAdvancedPassword << true << true;
    QTest::newRow("other letter case") << "vexa!r27" << true << false;
    QTest::newRow("wrong") << "Vexa!R28" << true << false;
    QTest::newRow("right with a trailing blank") << "Vexa!R27 " << true << false;
    QTest::newRow("part of it") << "Vexa" << true << false;
    QTest::newRow("empty") << "" << true << false;
    QTest::newRow("cancel after typing the right text") << kAdvancedPassword << false << false;
}

void TestMainWindow::advancedPassword()
{
    QFETCH(QString, typed);
    QFETCH(bool, accept);
    QFETCH(bool, unlocked);

    MainWindow window;
    window.show();
    QCOMPARE(answerPassword(window, typed, accept), QString("Advanced access / Adv password: / [] hidden"));
    QCOMPARE(child<QWidget>(window, "Page2")->isEnabled(), unlocked);
    QCOMPARE(child<QWidget>(window, "dateButton")->isEnabled(), unlocked);
    QCOMPARE(catcher->lines(), QStringList());
}

void TestMainWindow::aboutBox()
{
    MainWindow window;
    window.show();
    action(window, "actionAbout")->trigger();
    QCOMPARE(catcher->lines(), QStringList{"About Quorvel configurator / The <b>Quorvel configurator</b> "
                                  "is a tool to configure communication links (ethernet, wifi, "
                                  "3G, radio) forHartovane's Quorvel and Pellinard air quality "
                                  "microstation."});
}

// Closing the window ends the program even while a settings dialog is open.
void TestMainWindow::openSettingsDialogDoesNotKeepProgramRunning()
{
    MainWindow window;
    window.show();
    action(window, "actionConfigure")->trigger();
    QVERIFY(visibleDialog<SettingsDialogSerial>());

    bool stillRunning = false;
    QTimer::singleShot(3000, this, [&stillRunning] {
        stillRunning = true;
        QCoreApplication::quit();
    });
    QTimer::singleShot(0, &window, &QWidget::close);
    QApplication::setQuitOnLastWindowClosed(true);
    QApplication::exec();
    QVERIFY(!stillRunning);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
