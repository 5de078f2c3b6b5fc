#include "mainwindow.h"

#include "console.h"
#include "messageboxcatcher.h"
#include "ptystation.h"
#include "recordinglink.h"
#include "settingsdialogserial.h"
#include "settingsdialogwifi.h"
#include "simulatedstation.h"
#include "tcpstation.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTcpServer>
#include <QTimer>
#include <QtTest>

using Box = MessageBoxCatcher::Box;

namespace {

// The controls that only a successful configuration read unlocks.
const char *const kOperationControls[] = {
    "resetButton", "getconfigButton", "setconfigButton", "startburstmodeButton_station",
    "startburstmodeButton_marlowdesk", "stopburstmodeButton", "burst_token"
};

constexpr int kStationReplyMs = 2000;   // generous: the station answers at once
constexpr int kSilentStationMs = 500;   // the TCP limit where silence is the point

template <typename T>
T *child(const QObject &parent, const char *name)
{
    T *object = parent.findChild<T *>(QLatin1String(name));
    if (!object)
        qFatal("no %s named %s", T::staticMetaObject.className(), name);
    return object;
}

QAction *action(const MainWindow &window, const char *name)
{
    return child<QAction>(window, name);
}

QString text(const MainWindow &window, const char *name)
{
    return child<QLabel>(window, name)->text();
}

// Which of the seven operation controls are enabled, by name.
QStringList enabledControls(const MainWindow &window)
{
    QStringList names;
    for (const char *name : kOperationControls) {
        if (child<QWidget>(window, name)->isEnabled())
            names << QLatin1String(name);
    }
    return names;
}

QStringList allControls()
{
    QStringList names;
    for (const char *name : kOperationControls)
        names << QLatin1String(name);
    return names;
}

QImage iconImage(const QIcon &icon, QIcon::Mode mode, QIcon::State state)
{
    return icon.pixmap(QSize(32, 32), mode, state).toImage().convertToFormat(QImage::Format_ARGB32);
}

QImage resourceImage(const QString &name)
{
    // Through a pixmap, as the icon holds it: both sides then share the premultiplied rounding.
    return QPixmap(QStringLiteral(":/images/") + name).toImage().convertToFormat(QImage::Format_ARGB32);
}

template <typename Dialog>
Dialog *visibleDialog()
{
    const QWidgetList widgets = QApplication::topLevelWidgets();
    for (QWidget *widget : widgets) {
        auto *dialog = qobject_cast<Dialog *>(widget);
        if (dialog && dialog->isVisible())
            return dialog;
    }
    return nullptr;
}

bool sameBoxes(const QList<Box> &caught, const QList<QPair<QString, QString>> &expected)
{
    if (caught.size() != expected.size())
        return false;
    for (int i = 0; i < caught.size(); ++i) {
        if (caught.at(i).title != expected.at(i).first || caught.at(i).text != expected.at(i).second)
            return false;
    }
    return true;
}

QString describe(const QList<Box> &caught)
{
    QStringList lines;
    for (const Box &box : caught)
        lines << box.title + QStringLiteral(" / ") + box.text;
    return lines.join(QStringLiteral("; "));
}

// Answers the next text input dialog: records what it asked, then types and
// accepts, or cancels.
class InputDialogAnswerer : public QObject
{
public:
    InputDialogAnswerer(const QString &answer, bool accept) : answer(answer), accept(accept)
    {
        connect(&timer, &QTimer::timeout, this, [this] { answerOpenDialog(); });
        timer.start(20);
    }

    bool answered = false;
    QString title;
    QString label;
    QString initialText;
    QLineEdit::EchoMode echo = QLineEdit::Normal;

private:
    void answerOpenDialog()
    {
        auto *dialog = visibleDialog<QInputDialog>();
        if (!dialog)
            return;
        timer.stop();
        answered = true;
        title = dialog->windowTitle();
        label = dialog->labelText();
        initialText = dialog->textValue();
        echo = dialog->textEchoMode();
        if (!accept) {
            // Cancel with the right password typed: nothing may come of it.
            dialog->setTextValue(answer);
            dialog->reject();
            return;
        }
        QLineEdit *edit = dialog->findChild<QLineEdit *>();
        QTest::keyClicks(edit, answer);
        dialog->accept();
    }

    QTimer timer;
    QString answer;
    bool accept;
};

// The station's configuration as the tests set it.
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
    void burstButtonsReachTheirSlots();
    void modeSwitch();
    void advancedPassword_data();
    void advancedPassword();
    void aboutBox();
    void openSettingsDialogDoesNotKeepProgramRunning();

private:
    // Replaces the window's link by one without a transport; the window owns it.
    static RecordingLink *useRecordingLink(MainWindow &window);
    static QLabel *status(const MainWindow &window) { return window.status; }
    static bool consoleEnabled(const MainWindow &window) { return window.console->isEnabled(); }
    static QDialog *settings(const MainWindow &window) { return window.settings; }
    static void setMode(MainWindow &window, uint8_t mode) { window.setMode(mode); }

    static void useSerialPort(MainWindow &window, const QString &path);
    static void useTcp(MainWindow &window, quint16 port, int timeoutMs);
    static void unlockAdvanced(MainWindow &window);

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

// Opens the serial settings through Configure and applies a typed "Custom" port.
void TestMainWindow::useSerialPort(MainWindow &window, const QString &path)
{
    action(window, "actionConfigure")->trigger();
    auto *dialog = visibleDialog<SettingsDialogSerial>();
    QVERIFY(dialog);
    QComboBox *portBox = child<QComboBox>(*dialog, "serialPortInfoListBox");
    portBox->setCurrentIndex(portBox->findText(QStringLiteral("Custom")));
    QVERIFY(portBox->isEditable());
    portBox->clearEditText();
    QTest::keyClicks(portBox->lineEdit(), path);
    child<QPushButton>(*dialog, "applyButton")->click();
    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->settings().portName, path);
}

// Switches to TCP and applies 127.0.0.1, the port and the time limit.
void TestMainWindow::useTcp(MainWindow &window, quint16 port, int timeoutMs)
{
    action(window, "actionSetMode")->trigger();
    action(window, "actionConfigure")->trigger();
    auto *dialog = visibleDialog<SettingsDialogWifi>();
    QVERIFY(dialog);
    QLineEdit *ip = child<QLineEdit>(*dialog, "input_ip");
    ip->clear();
    QTest::keyClicks(ip, QStringLiteral("127.0.0.1"));
    child<QSpinBox>(*dialog, "input_port")->setValue(port);
    child<QSpinBox>(*dialog, "input_timeout")->setValue(timeoutMs);
    child<QPushButton>(*dialog, "applyButton")->click();
    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->settings().port, port);
}

void TestMainWindow::unlockAdvanced(MainWindow &window)
{
    InputDialogAnswerer answerer(QStringLiteral("Vexa!R27"), true);
    action(window, "actionAdv")->trigger();
    QVERIFY(answerer.answered);
    QVERIFY(child<QWidget>(window, "Page2")->isEnabled());
}

void TestMainWindow::startUpState()
{
    MainWindow window;
    window.show();

    QCOMPARE(window.windowTitle(), QString("MarlowWifiDesk Configuration Tool - Version 0.10"));
    QCOMPARE(status(window)->text(), QString("Not connected"));
    QCOMPARE(status(window)->parentWidget(), static_cast<QWidget *>(window.statusBar()));
    QVERIFY(status(window)->minimumWidth() >= 600);
    QCOMPARE(text(window, "info"), QString());
    QCOMPARE(enabledControls(window), QStringList());
    QVERIFY(child<QWidget>(window, "resetButton")->isVisible());
    QVERIFY(!child<QWidget>(window, "Page2")->isEnabled());
    QCOMPARE(child<QTabWidget>(window, "tabWidget")->currentIndex(), 0);
    QCOMPARE(child<QComboBox>(window, "comboBox")->currentText(), QString("Ethernet"));
    QCOMPARE(child<QComboBox>(window, "security")->currentText(), QString("No security"));
    QVERIFY(!consoleEnabled(window));

    QVERIFY(action(window, "actionConnect")->isEnabled());
    QVERIFY(!action(window, "actionDisconnect")->isEnabled());
    QVERIFY(action(window, "actionQuit")->isEnabled());
    QVERIFY(action(window, "actionConfigure")->isEnabled());
    QVERIFY(action(window, "actionSetMode")->isEnabled());
    QVERIFY(qobject_cast<SettingsDialogSerial *>(settings(window)));

    // The mode icon is the serial image in every mode and state that a tool bar draws.
    const QImage serialImage = resourceImage("mode-serial.png");
    QVERIFY(serialImage != resourceImage("mode-wifi.png"));
    const QIcon icon = action(window, "actionSetMode")->icon();
    for (const QIcon::Mode mode : {QIcon::Normal, QIcon::Selected, QIcon::Active}) {
        QCOMPARE(iconImage(icon, mode, QIcon::Off), serialImage);
        QCOMPARE(iconImage(icon, mode, QIcon::On), serialImage);
        // A missing entry would be stood in for by another: ask for the entries themselves.
        QCOMPARE(icon.availableSizes(mode, QIcon::Off), QList<QSize>({QSize(32, 32)}));
        QCOMPARE(icon.availableSizes(mode, QIcon::On), QList<QSize>({QSize(32, 32)}));
    }

    const QDateTime burstStart = child<QDateTimeEdit>(window, "burstmodeDate")->dateTime();
    QVERIFY(qAbs(burstStart.secsTo(QDateTime::currentDateTime())) < 60);

    // The clock shows UTC, refreshed by the window's own timer.
    QLabel *clock = child<QLabel>(window, "label_18");
    QTRY_VERIFY_WITH_TIMEOUT(clock->text() != QLatin1String("YYYY-MM-DD hh:mm:ss"), 3000);
    const QDateTime shown = QDateTime::fromString(clock->text(), "yyyy-MM-dd hh:mm:ss");
    QVERIFY2(shown.isValid(), qPrintable(clock->text()));
    QDateTime shownUtc = shown;
    shownUtc.setTimeSpec(Qt::UTC);
    QVERIFY(qAbs(shownUtc.secsTo(QDateTime::currentDateTimeUtc())) <= 2);
    QVERIFY(catcher->boxes().isEmpty());
}

void TestMainWindow::serialSession()
{
    SimulatedStation station;
    // Nothing in this answer may move the form: no uplink switched on, an unknown
    // security value and an empty serial.
    StationConfig config = stationConfig();
    config.COMWIFI = QStringLiteral("OFF");
    config.WIFICRYPT = QStringLiteral("5");
    config.SERIAL.clear();
    station.setConfig(config);
    PtyStation pty(station);
    QVERIFY(pty.start());

    MainWindow window;
    window.show();
    unlockAdvanced(window);
    child<QComboBox>(window, "comboBox")->setCurrentIndex(3);
    child<QComboBox>(window, "security")->setCurrentIndex(2);
    QTest::keyClicks(child<QLineEdit>(window, "serial"), QStringLiteral("KEEP-ME"));
    useSerialPort(window, pty.slavePath());

    // Connect: the station is restarted, then asked for its configuration.
    action(window, "actionConnect")->trigger();
    QCOMPARE(status(window)->text(),
             QString("Connected to %1 : 115200, 8, None, 1, None").arg(pty.slavePath()));
    QVERIFY2(sameBoxes(catcher->boxes(), {{"Configuration is received",
                                           "Configuration successfully received."}}),
             qPrintable(describe(catcher->boxes())));
    QCOMPARE(text(window, "info"), QString("Configuration successfully received"));
    QCOMPARE(station.receivedCommands(),
             QList<QByteArray>({QByteArray("\x07"), QByteArray("GETCONFIG:")}));
    QCOMPARE(enabledControls(window), allControls());
    QVERIFY(consoleEnabled(window));
    QVERIFY(!action(window, "actionConnect")->isEnabled());
    QVERIFY(action(window, "actionDisconnect")->isEnabled());
    QVERIFY(!action(window, "actionConfigure")->isEnabled());
    QVERIFY(!action(window, "actionSetMode")->isEnabled());

    QCOMPARE(child<QLineEdit>(window, "apn")->text(), QString("internet.example"));
    QCOMPARE(child<QLineEdit>(window, "login")->text(), QString("operator"));
    QCOMPARE(child<QLineEdit>(window, "password")->text(), QString("pw-3g"));
    QCOMPARE(child<QLineEdit>(window, "ssid")->text(), QString("StationNet"));
    QCOMPARE(child<QLineEdit>(window, "wifiPassword")->text(), QString("wifi-secret"));
    QCOMPARE(child<QLineEdit>(window, "boxradioserial")->text(), QString("BR-77"));
    QCOMPARE(child<QLineEdit>(window, "vboxip")->text(), QString("10.0.0.5"));
    QCOMPARE(child<QLineEdit>(window, "vboxport")->text(), QString("5000"));
    QCOMPARE(child<QLineEdit>(window, "pmtype")->text(), QString("2"));
    QCOMPARE(child<QLineEdit>(window, "framecrypt")->text(), QString("1"));
    QCOMPARE(child<QComboBox>(window, "comboBox")->currentText(), QString("3G"));
    QCOMPARE(child<QComboBox>(window, "security")->currentText(), QString("WPA2 (AES)"));
    QCOMPARE(child<QLineEdit>(window, "serial")->text(), QString("KEEP-ME"));

    // Edit and send: the station gets exactly what the form shows.
    catcher->clear();
    station.clearReceived();
    child<QComboBox>(window, "comboBox")->setCurrentIndex(1);
    child<QComboBox>(window, "security")->setCurrentIndex(1);
    QLineEdit *apn = child<QLineEdit>(window, "apn");
    apn->clear();
    QTest::keyClicks(apn, QStringLiteral("m2m.example"));
    child<QPushButton>(window, "setconfigButton")->click();
    QVERIFY2(sameBoxes(catcher->boxes(), {{"Configuration sent", "Configuration sent"}}),
             qPrintable(describe(catcher->boxes())));
    QCOMPARE(text(window, "info"), QString("Configuration successfully sent"));
    QCOMPARE(station.receivedCommands(),
             QList<QByteArray>({"SENDCONFIG:SERIAL=KEEP-ME|ETH=OFF|COM3G=OFF|RADIO=XB"
                                "|APN=m2m.example|LOGIN=operator|PWD=pw-3g|BOXRADIOSERIAL=BR-77"
                                "|VBOXIP=10.0.0.5|VBOXPORT=5000|PMTYPE=2|COMWIFI=OFF"
                                "|SSID=StationNet|WIFICRYPT=1|WIFIPWD=wifi-secret|FRAMECRYPT=1"}));
    QCOMPARE(station.config().RADIO, QString("XB"));

    // Date: over the serial line the station is restarted before it takes the date.
    catcher->clear();
    station.clearReceived();
    child<QPushButton>(window, "dateButton")->click();
    QCOMPARE(text(window, "info"), QString("Date successfully sent"));
    QVERIFY(catcher->boxes().isEmpty());
    const QList<QByteArray> dateCommands = station.receivedCommands();
    QCOMPARE(dateCommands.size(), 2);
    QCOMPARE(dateCommands.at(0), QByteArray("\x07"));
    QCOMPARE(dateCommands.at(1), "SENSDATE:" + station.lastDate().toLatin1());
    QCOMPARE(text(window, "label_18"), station.lastDate());
    const QDateTime sent = QDateTime::fromString(station.lastDate(), "yyyy/MM/dd:hh:mm:ss");
    QVERIFY(sent.isValid());
    QDateTime sentUtc = sent;
    sentUtc.setTimeSpec(Qt::UTC);
    QVERIFY(qAbs(sentUtc.secsTo(QDateTime::currentDateTimeUtc())) <= 5);

    // Reset: the serial line stays open.
    station.clearReceived();
    child<QPushButton>(window, "resetButton")->click();
    QCOMPARE(text(window, "info"), QString("Reset success"));
    QCOMPARE(station.receivedCommands(), QList<QByteArray>({QByteArray("\x07")}));
    QCOMPARE(enabledControls(window), allControls());
    QVERIFY(action(window, "actionDisconnect")->isEnabled());

    action(window, "actionDisconnect")->trigger();
    QCOMPARE(status(window)->text(), QString("Disconnected"));
    QCOMPARE(enabledControls(window), QStringList());
    QVERIFY(!consoleEnabled(window));
    QVERIFY(action(window, "actionConnect")->isEnabled());
    QVERIFY(!action(window, "actionDisconnect")->isEnabled());
    QVERIFY(action(window, "actionConfigure")->isEnabled());
    QVERIFY(action(window, "actionSetMode")->isEnabled());
    QVERIFY(catcher->boxes().isEmpty());
}

void TestMainWindow::tcpSession()
{
    SimulatedStation station;
    station.setConfig(stationConfig());
    TcpStation tcp(station);
    QVERIFY(tcp.start());

    MainWindow window;
    window.show();
    unlockAdvanced(window);
    useTcp(window, tcp.port(), kStationReplyMs);

    action(window, "actionConnect")->trigger();
    QCOMPARE(status(window)->text(), QString("Connected to 127.0.0.1 on port %1 (Timeout = %2 ms)")
                                         .arg(tcp.port()).arg(kStationReplyMs));
    QVERIFY2(sameBoxes(catcher->boxes(), {{"Configuration is received",
                                           "Configuration successfully received."}}),
             qPrintable(describe(catcher->boxes())));
    QCOMPARE(station.receivedCommands(), QList<QByteArray>({"GETCONFIG:"}));
    QCOMPARE(enabledControls(window), allControls());
    QCOMPARE(child<QComboBox>(window, "comboBox")->currentText(), QString("Wifi"));
    QCOMPARE(child<QComboBox>(window, "security")->currentText(), QString("WEP"));
    QCOMPARE(child<QLineEdit>(window, "serial")->text(), QString("ST1234"));
    QCOMPARE(child<QLineEdit>(window, "ssid")->text(), QString("StationNet"));
    QCOMPARE(child<QLineEdit>(window, "vboxport")->text(), QString("5000"));

    // Over TCP the station's new configuration is read back after it is sent.
    catcher->clear();
    station.clearReceived();
    child<QComboBox>(window, "comboBox")->setCurrentIndex(0);
    child<QComboBox>(window, "security")->setCurrentIndex(2);
    QLineEdit *ssid = child<QLineEdit>(window, "ssid");
    ssid->clear();
    QTest::keyClicks(ssid, QStringLiteral("Field Net"));
    child<QPushButton>(window, "setconfigButton")->click();
    QVERIFY2(sameBoxes(catcher->boxes(), {{"Configuration sent", "Configuration sent"}}),
             qPrintable(describe(catcher->boxes())));
    QCOMPARE(text(window, "info"), QString("Configuration successfully sent"));
    QCOMPARE(station.receivedCommands(),
             QList<QByteArray>({"SENDCONFIG:SERIAL=ST1234|ETH=ON|COM3G=OFF|RADIO=OFF"
                                "|APN=internet.example|LOGIN=operator|PWD=pw-3g"
                                "|BOXRADIOSERIAL=BR-77|VBOXIP=10.0.0.5|VBOXPORT=5000|PMTYPE=2"
                                "|COMWIFI=OFF|SSID=Field Net|WIFICRYPT=2|WIFIPWD=wifi-secret"
                                "|FRAMECRYPT=1",
                                "GETCONFIG:"}));
    QCOMPARE(child<QComboBox>(window, "comboBox")->currentText(), QString("Ethernet"));
    QCOMPARE(child<QComboBox>(window, "security")->currentText(), QString("WPA2 (AES)"));

    catcher->clear();
    station.clearReceived();
    child<QPushButton>(window, "dateButton")->click();
    QCOMPARE(text(window, "info"), QString("Date successfully sent"));
    QVERIFY(catcher->boxes().isEmpty());
    QCOMPARE(text(window, "label_18"), station.lastDate());
    QCOMPARE(station.receivedCommands(),
             QList<QByteArray>({"SENSDATE:" + station.lastDate().toLatin1(), "GETCONFIG:"}));

    // The TCP reset takes the window down with the connection.
    station.clearReceived();
    child<QPushButton>(window, "resetButton")->click();
    QVERIFY(station.waitForCommands(1, kStationReplyMs));
    QCOMPARE(station.receivedCommands(), QList<QByteArray>({"RESET:"}));
    QCOMPARE(text(window, "info"), QString("Reset success"));
    QCOMPARE(status(window)->text(), QString("Disconnected"));
    QCOMPARE(enabledControls(window), QStringList());
    QVERIFY(!consoleEnabled(window));
    QVERIFY(action(window, "actionConnect")->isEnabled());
    QVERIFY(!action(window, "actionDisconnect")->isEnabled());
    QVERIFY(action(window, "actionSetMode")->isEnabled());
    QVERIFY(catcher->boxes().isEmpty());

    // A new connection after the restart reads the configuration again.
    station.clearReceived();
    action(window, "actionConnect")->trigger();
    QCOMPARE(station.receivedCommands(), QList<QByteArray>({"GETCONFIG:"}));
    QCOMPARE(enabledControls(window), allControls());
    action(window, "actionDisconnect")->trigger();
    QCOMPARE(status(window)->text(), QString("Disconnected"));
    QCOMPARE(enabledControls(window), QStringList());
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
    if (tcp) {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        const quint16 closedPort = probe.serverPort();
        probe.close();
        useTcp(window, closedPort, kSilentStationMs);
    } else {
        useSerialPort(window, QStringLiteral("/nonexistent/marlowdesk-tty"));
    }

    action(window, "actionConnect")->trigger();
    QCOMPARE(catcher->boxes().size(), 1);
    QCOMPARE(catcher->boxes().first().title, QString("Error"));
    QCOMPARE(catcher->boxes().first().text, QString("Can't connect to device"));
    QCOMPARE(catcher->boxes().first().icon, int(QMessageBox::Critical));
    QCOMPARE(status(window)->text(), QString("Can't connect to device"));
    QCOMPARE(text(window, "info"), info);
    QVERIFY(action(window, "actionConnect")->isEnabled());
    QVERIFY(!action(window, "actionDisconnect")->isEnabled());
    QVERIFY(action(window, "actionConfigure")->isEnabled());
    QVERIFY(action(window, "actionSetMode")->isEnabled());
    QVERIFY(!consoleEnabled(window));
    QCOMPARE(enabledControls(window), QStringList());
}

void TestMainWindow::failedConfigurationRead()
{
    SimulatedStation station;
    station.setFault("GETCONFIG:", StationFault::silent(true));
    TcpStation tcp(station);
    QVERIFY(tcp.start());

    MainWindow window;
    window.show();
    QTest::keyClicks(child<QLineEdit>(window, "apn"), QStringLiteral("typed before"));
    useTcp(window, tcp.port(), kSilentStationMs);

    action(window, "actionConnect")->trigger();
    QVERIFY2(sameBoxes(catcher->boxes(),
                       {{"Configuration not received",
                         "Configuration was not received, please check that blue led blinks "
                         "quickly, if not reset Quorvel and click on Get configuration again"}}),
             qPrintable(describe(catcher->boxes())));
    QCOMPARE(text(window, "info"), QString("Error on Get Configuration"));
    QVERIFY(status(window)->text().startsWith("Connected to 127.0.0.1 on port "));
    QCOMPARE(enabledControls(window), QStringList());
    QVERIFY(action(window, "actionDisconnect")->isEnabled());
    QVERIFY(consoleEnabled(window));
    QCOMPARE(child<QLineEdit>(window, "apn")->text(), QString("typed before"));
}

void TestMainWindow::resultBoxes_data()
{
    QTest::addColumn<QByteArray>("slot");
    QTest::addColumn<CommandResult>("result");
    QTest::addColumn<QString>("info");
    QTest::addColumn<QString>("title");   // empty: no box
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("enabledBefore");
    QTest::addColumn<bool>("enabledAfter");

    const QString notConnectedTitle = "Device not connected";
    const QString notConnectedText = "Please connect the device";
    const QString notImplementedTitle = "[DEV] Not implemented";
    const QString notImplementedText = "Not implemented yet";

    const QString setError = "Error on Set Configuration";
    QTest::newRow("set 0") << QByteArray("setConfig") << kSuccess
                           << "Configuration successfully sent" << "Configuration sent"
                           << "Configuration sent" << false << true;
    QTest::newRow("set 1") << QByteArray("setConfig") << kFailure << setError
                           << "Configuration failure"
                           << "Configuration failure, please send again configuration." << false
                           << false;
    QTest::newRow("set 2") << QByteArray("setConfig") << kNotConnected << setError
                           << notConnectedTitle << notConnectedText << false << false;
    QTest::newRow("set 3") << QByteArray("setConfig") << kIncomplete << setError
                           << "No data in frame"
                           << "Configuration is not fully filled, please get configuration from "
                              "Quorvel or resend configuration!"
                           << false << false;
    QTest::newRow("set 4") << QByteArray("setConfig") << kNotImplemented << setError
                           << notImplementedTitle << notImplementedText << false << false;
    QTest::newRow("set 5") << QByteArray("setConfig") << CommandResult(5)
                           << "Sending Configuration..." << QString() << QString() << true << true;

    const QString getError = "Error on Get Configuration";
    QTest::newRow("get 0") << QByteArray("getConfig") << kSuccess
                           << "Configuration successfully received" << "Configuration is received"
                           << "Configuration successfully received." << false << true;
    QTest::newRow("get 1") << QByteArray("getConfig") << kFailure << getError
                           << "Configuration not received"
                           << "Configuration was not received, please check that blue led blinks "
                              "quickly, if not reset Quorvel and click on Get configuration again"
                           << true << false;
    QTest::newRow("get 2") << QByteArray("getConfig") << kNotConnected << getError
                           << notConnectedTitle << notConnectedText << true << false;
    QTest::newRow("get 3") << QByteArray("getConfig") << kIncomplete << "Getting Configuration..."
                           << QString() << QString() << true << false;
    QTest::newRow("get 4") << QByteArray("getConfig") << kNotImplemented << getError
                           << notImplementedTitle << notImplementedText << true << false;
    QTest::newRow("get 9") << QByteArray("getConfig") << CommandResult(9)
                           << "Getting Configuration..." << QString() << QString() << true << false;

    QTest::newRow("date 0") << QByteArray("sendDate") << kSuccess << "Date successfully sent"
                            << QString() << QString() << true << true;
    QTest::newRow("date 1") << QByteArray("sendDate") << kFailure << "Date not sent"
                            << "Date not sent" << "Error during data sending" << true << true;
    QTest::newRow("date 2") << QByteArray("sendDate") << kNotConnected << "Date not sent"
                            << notConnectedTitle << notConnectedText << false << false;
    QTest::newRow("date 3") << QByteArray("sendDate") << kIncomplete << "Sending date..."
                            << QString() << QString() << true << true;
    QTest::newRow("date 4") << QByteArray("sendDate") << kNotImplemented << "Date not sent"
                            << notImplementedTitle << notImplementedText << true << true;
    QTest::newRow("date 255") << QByteArray("sendDate") << CommandResult(255) << "Sending date..."
                              << QString() << QString() << false << false;

    QTest::newRow("reset 0") << QByteArray("sendReset") << kSuccess << "Reset success"
                             << QString() << QString() << true << true;
    QTest::newRow("reset 1") << QByteArray("sendReset") << kFailure << "Reset failure"
                             << "Reset failure" << "Error during reset" << true << true;
    QTest::newRow("reset 2") << QByteArray("sendReset") << kNotConnected << "Reset failure"
                             << notConnectedTitle << notConnectedText << true << true;
    QTest::newRow("reset 3") << QByteArray("sendReset") << kIncomplete << "Sending Reset..."
                             << QString() << QString() << true << true;
    QTest::newRow("reset 4") << QByteArray("sendReset") << kNotImplemented << "Reset failure"
                             << notImplementedTitle << notImplementedText << false << false;
    QTest::newRow("reset 6") << QByteArray("sendReset") << CommandResult(6) << "Sending Reset..."
                             << QString() << QString() << true << true;
}

// Every outcome of the four station operations, as the operator sees it.
void TestMainWindow::resultBoxes()
{
    QFETCH(QByteArray, slot);
    QFETCH(CommandResult, result);
    QFETCH(QString, info);
    QFETCH(QString, title);
    QFETCH(QString, text);
    QFETCH(bool, enabledBefore);
    QFETCH(bool, enabledAfter);

    MainWindow window;
    window.show();
    RecordingLink *link = useRecordingLink(window);
    link->result = result;
    link->reply = stationConfig();
    QVERIFY(QMetaObject::invokeMethod(&window, enabledBefore ? "enableButtons" : "disableButtons"));

    QVERIFY(QMetaObject::invokeMethod(&window, slot.constData()));

    QCOMPARE(::text(window, "info"), info);
    if (title.isEmpty()) {
        QVERIFY2(catcher->boxes().isEmpty(), qPrintable(describe(catcher->boxes())));
    } else {
        QVERIFY2(sameBoxes(catcher->boxes(), {{title, text}}), qPrintable(describe(catcher->boxes())));
        QCOMPARE(catcher->boxes().first().icon, int(QMessageBox::Information));
    }
    QCOMPARE(enabledControls(window), enabledAfter ? allControls() : QStringList());
    // None of these outcomes touches the connection state.
    QCOMPARE(status(window)->text(), QString("Not connected"));
}

// The burst controls are wired to their own slots (their outcomes are tested in
// tst_burstmode). The platform is a closed port on loopback, so the start from
// MarlowDesk stops at the authentication.
void TestMainWindow::burstButtonsReachTheirSlots()
{
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    const quint16 closedPort = probe.serverPort();
    probe.close();

    MainWindow window;
    window.show();
    window.platformUrl = QStringLiteral("https://127.0.0.1:%1/en").arg(closedPort);
    RecordingLink *link = useRecordingLink(window);
    link->result = kFailure;
    const QList<QPair<const char *, QString>> buttons = {
        {"startburstmodeButton_station", "Start Burst Mode failure"},
        {"startburstmodeButton_marlowdesk", "Authentication failure"},
        {"stopburstmodeButton", "Stop Burst Mode failure"}};
    for (const auto &button : buttons) {
        QVERIFY(QMetaObject::invokeMethod(&window, "enableButtons"));
        child<QPushButton>(window, button.first)->click();
        QCOMPARE(text(window, "info"), button.second);
    }
    QCOMPARE(link->period.size(), 5);
    QCOMPARE(catcher->boxes().size(), 3);
}

void TestMainWindow::modeSwitch()
{
    MainWindow window;
    window.show();
    QAction *setModeAction = action(window, "actionSetMode");

    // Settings applied in the first serial dialog do not survive two switches.
    useSerialPort(window, QStringLiteral("/tmp/marlowdesk-applied-port"));
    QPointer<QDialog> firstSerial = settings(window);

    setModeAction->trigger();
    QVERIFY(firstSerial.isNull());
    QCOMPARE(iconImage(setModeAction->icon(), QIcon::Normal, QIcon::Off),
             resourceImage("mode-wifi.png"));
    QCOMPARE(iconImage(setModeAction->icon(), QIcon::Active, QIcon::On),
             resourceImage("mode-wifi.png"));
    action(window, "actionConfigure")->trigger();
    auto *wifiDialog = visibleDialog<SettingsDialogWifi>();
    QVERIFY(wifiDialog);
    QCOMPARE(settings(window), wifiDialog);
    QCOMPARE(wifiDialog->settings().ip, QString("192.168.1.10"));
    QPointer<QDialog> wifi = wifiDialog;

    // Switching with the dialog open closes it with its mode.
    setModeAction->trigger();
    QVERIFY(wifi.isNull());
    QVERIFY(!visibleDialog<SettingsDialogWifi>());
    QCOMPARE(iconImage(setModeAction->icon(), QIcon::Selected, QIcon::On),
             resourceImage("mode-serial.png"));
    auto *secondSerial = qobject_cast<SettingsDialogSerial *>(settings(window));
    QVERIFY(secondSerial);
    QVERIFY(secondSerial->settings().portName != QLatin1String("/tmp/marlowdesk-applied-port"));
    action(window, "actionConfigure")->trigger();
    QCOMPARE(visibleDialog<SettingsDialogSerial>(), secondSerial);
    secondSerial->hide();

    // Only 0 and 1 are modes.
    setMode(window, 2);
    QCOMPARE(settings(window), secondSerial);
    QCOMPARE(iconImage(setModeAction->icon(), QIcon::Normal, QIcon::Off),
             resourceImage("mode-serial.png"));
    setModeAction->trigger();
    QVERIFY(qobject_cast<SettingsDialogWifi *>(settings(window)));

    // No switching while connected.
    RecordingLink *link = useRecordingLink(window);
    link->result = kFailure;
    action(window, "actionConnect")->trigger();
    QVERIFY(!setModeAction->isEnabled());
    QVERIFY(!action(window, "actionConfigure")->isEnabled());
}

void TestMainWindow::advancedPassword_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("accept");
    QTest::addColumn<bool>("unlocked");
    QTest::newRow("right") << "Vexa!R27" << true << true;
    QTest::newRow("other letter case") << "vexa!r27" << true << false;
    QTest::newRow("wrong") << "Vexa!R28" << true << false;
    QTest::newRow("right with a trailing blank") << "Vexa!R27 " << true << false;
    QTest::newRow("part of it") << "Vexa" << true << false;
    QTest::newRow("empty") << "" << true << false;
    QTest::newRow("cancel after typing the right text") << "Vexa!R27" << false << false;
}

void TestMainWindow::advancedPassword()
{
    QFETCH(QString, typed);
    QFETCH(bool, accept);
    QFETCH(bool, unlocked);

    MainWindow window;
    window.show();
    InputDialogAnswerer answerer(typed, accept);
    action(window, "actionAdv")->trigger();

    QVERIFY(answerer.answered);
    QCOMPARE(answerer.title, QString("Advanced access"));
    QCOMPARE(answerer.label, QString("Adv password:"));
    QCOMPARE(answerer.echo, QLineEdit::Password);
    QCOMPARE(answerer.initialText, QString());
    QCOMPARE(child<QWidget>(window, "Page2")->isEnabled(), unlocked);
    QCOMPARE(child<QWidget>(window, "dateButton")->isEnabled(), unlocked);
    QVERIFY(catcher->boxes().isEmpty());
}

void TestMainWindow::aboutBox()
{
    MainWindow window;
    window.show();
    action(window, "actionAbout")->trigger();
    QVERIFY2(sameBoxes(catcher->boxes(),
                       {{"About Quorvel configurator",
                         "The <b>Quorvel configurator</b> is a tool to configure communication "
                         "links (ethernet, wifi, 3G, radio) forHartovane's Quorvel and Pellinard "
                         "air quality microstation."}}),
             qPrintable(describe(catcher->boxes())));
}

// Closing the window ends the program even while a settings dialog is open.
void TestMainWindow::openSettingsDialogDoesNotKeepProgramRunning()
{
    MainWindow window;
    window.show();
    action(window, "actionConfigure")->trigger();
    QVERIFY(visibleDialog<SettingsDialogSerial>());

    bool stillRunning = false;
    QTimer giveUp;
    giveUp.setSingleShot(true);
    connect(&giveUp, &QTimer::timeout, this, [&stillRunning] {
        stillRunning = true;
        QCoreApplication::quit();
    });
    giveUp.start(3000);
    QTimer::singleShot(0, &window, &QWidget::close);
    QApplication::setQuitOnLastWindowClosed(true);
    QApplication::exec();
    QVERIFY(!stillRunning);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
