#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "burstfile.h"
#include "burstuploader.h"
#include "console.h"
#include "platformclient.h"
#include "serialcommands.h"
#include "settingsdialogserial.h"
#include "settingsdialogwifi.h"
#include "wificommands.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QDebug>
#include <QIcon>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QTimer>

namespace {

constexpr int kVersionMajor = 0;
constexpr int kVersionMinor = 10;
constexpr int kStatusMinimumWidth = 600;
constexpr int kClockIntervalMs = 1000;

const QString kClockFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss");
const QString kImagePrefix = QStringLiteral(":/images/");
const QString kSerialModeImage = QStringLiteral("mode-serial.png");
const QString kWifiModeImage = QStringLiteral("mode-wifi.png");

// Unlocks the Advanced tab; compared whole and case-sensitively.
const QString kAdvancedPassword = QStringLiteral("Vexa!R27");

const QString kBurstFailureTitle = QStringLiteral("Burst Mode failure");

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent, Qt::WindowFlags())
    , ui(new Ui::MainWindow)
    , status(nullptr)
    , console(nullptr)
    , settings(nullptr)
    , mode(Serial)
    , link(nullptr)
    , platformUrl(QStringLiteral(MARLOWDESK_PLATFORM_URL))
{
    // The images live in the static core library, whose resource initialiser the
    // linker would otherwise drop; the form's icons need them registered first.
    Q_INIT_RESOURCE(resources);
    ui->setupUi(this);

    console = new Console;
    console->setEnabled(false);

    setMode(Serial);

    ui->actionConnect->setEnabled(true);
    ui->actionDisconnect->setEnabled(false);
    ui->actionQuit->setEnabled(true);
    ui->actionConfigure->setEnabled(true);
    ui->actionSetMode->setEnabled(true);

    setWindowTitle(QStringLiteral("MarlowWifiDesk Configuration Tool")
                   + QStringLiteral(" - Version ")
                   + QString::number(kVersionMajor) + QLatin1Char('.')
                   + QString::number(kVersionMinor));

    disableButtons();

    status = new QLabel;
    status->setMinimumWidth(kStatusMinimumWidth);
    ui->statusBar->addWidget(status);

    ui->burstmodeDate->setDateTime(QDateTime::currentDateTime());

    setStatus(tr("Not connected"));

    initActionsConnections();
}

MainWindow::~MainWindow()
{
    releaseLink();
    delete console;
    delete ui;
}

void MainWindow::initActionsConnections()
{
    connect(ui->actionQuit, &QAction::triggered, this, &MainWindow::close);
    connect(ui->actionConnect, &QAction::triggered, this, &MainWindow::deviceConnectConfig);
    connect(ui->actionDisconnect, &QAction::triggered, this, &MainWindow::deviceDisconnect);
    connect(ui->actionConfigure, &QAction::triggered, this, &MainWindow::showSettings);
    connect(ui->actionAbout, &QAction::triggered, this, &MainWindow::about);
    connect(ui->actionAdv, &QAction::triggered, this, &MainWindow::openAdvanced);
    connect(ui->actionSetMode, &QAction::triggered, this, &MainWindow::toggleMode);
    connect(ui->dateButton, &QPushButton::clicked, this, &MainWindow::sendDate);
    connect(ui->setconfigButton, &QPushButton::clicked, this, &MainWindow::setConfig);
    connect(ui->getconfigButton, &QPushButton::clicked, this, &MainWindow::getConfig);
    connect(ui->resetButton, &QPushButton::clicked, this, &MainWindow::sendReset);
    connect(ui->startburstmodeButton_station, &QPushButton::clicked,
            this, &MainWindow::enableBurstModeFromStation);
    connect(ui->startburstmodeButton_marlowdesk, &QPushButton::clicked,
            this, &MainWindow::enableBurstModeFromMarlowDesk);
    connect(ui->stopburstmodeButton, &QPushButton::clicked, this, &MainWindow::disableBurstMode);

    auto *clock = new QTimer(this);
    connect(clock, &QTimer::timeout, this, &MainWindow::updateDate);
    clock->start(kClockIntervalMs);
}

bool MainWindow::deviceConnect()
{
    showInfo(tr("Connecting..."));
    if (!link->connectDevice()) {
        // The TCP link has already put its own error text into info; leave it there.
        setStatus(tr("Can't connect to device"));
        QMessageBox::critical(this, QStringLiteral("Error"),
                              QStringLiteral("Can't connect to device"), QMessageBox::Ok);
        return false;
    }

    // One multi-argument arg() each: a typed address or port path containing
    // "%1" must not pull the later values into itself.
    if (mode == Wifi) {
        const SettingsDialogWifi::Settings p = static_cast<SettingsDialogWifi *>(settings)->settings();
        setStatus(tr("Connected to %1 on port %2 (Timeout = %3 ms)")
                      .arg(p.ip, QString::number(p.port), QString::number(p.timeout)));
        ui->resetButton->setEnabled(false);
    } else {
        const SerialSettings p = static_cast<SettingsDialogSerial *>(settings)->settings();
        console->setLocalEchoEnabled(p.localEcho);
        setStatus(tr("Connected to %1 : %2, %3, %4, %5, %6")
                      .arg(p.portName, p.baudRateText, p.dataBitsText, p.parityText,
                           p.stopBitsText, p.flowControlText));
    }

    console->setEnabled(true);
    ui->actionConnect->setEnabled(false);
    ui->actionDisconnect->setEnabled(true);
    ui->actionConfigure->setEnabled(false);
    ui->actionSetMode->setEnabled(false);
    return true;
}

void MainWindow::deviceConnectConfig()
{
    // Every connection starts by reading the configuration: only that read
    // unlocks the operation controls.
    if (deviceConnect())
        getConfig();
}

void MainWindow::deviceDisconnect()
{
    if (burstRunning)
        burstLinkLost = true;
    link->disconnectDevice();
    console->setEnabled(false);
    ui->actionConnect->setEnabled(true);
    ui->actionDisconnect->setEnabled(false);
    ui->actionConfigure->setEnabled(true);
    ui->actionSetMode->setEnabled(true);
    disableButtons();
    setStatus(tr("Disconnected"));
}

void MainWindow::setConfig()
{
    showInfo(tr("Sending Configuration..."));
    const CommandResult result = link->setConfigFromUi();
    switch (result) {
    case kSuccess:
        enableButtons();
        showInfo(tr("Configuration successfully sent"));
        showResultBox(QStringLiteral("Configuration sent"), QStringLiteral("Configuration sent"));
        return;
    case kFailure:
        showInfo(tr("Error on Set Configuration"));
        showResultBox(QStringLiteral("Configuration failure"),
                      QStringLiteral("Configuration failure, please send again configuration."));
        return;
    case kIncomplete:
        showInfo(tr("Error on Set Configuration"));
        showResultBox(QStringLiteral("No data in frame"),
                      QStringLiteral("Configuration is not fully filled, please get configuration "
                                     "from Quorvel or resend configuration!"));
        return;
    default:
        reportCommonFailure(result, tr("Error on Set Configuration"));
        return;
    }
}

void MainWindow::getConfig()
{
    disableButtons();
    showInfo(tr("Getting Configuration..."));
    const CommandResult result = link->getConfigToUi();
    switch (result) {
    case kSuccess:
        enableButtons();
        showInfo(tr("Configuration successfully received"));
        showResultBox(QStringLiteral("Configuration is received"),
                      QStringLiteral("Configuration successfully received."));
        return;
    case kFailure:
        showInfo(tr("Error on Get Configuration"));
        showResultBox(QStringLiteral("Configuration not received"),
                      QStringLiteral("Configuration was not received, please check that blue led "
                                     "blinks quickly, if not reset Quorvel and click on Get "
                                     "configuration again"));
        return;
    default:
        reportCommonFailure(result, tr("Error on Get Configuration"));
        return;
    }
}

void MainWindow::updateDate()
{
    ui->label_18->setText(QDateTime::currentDateTimeUtc().toString(kClockFormat));
}

void MainWindow::sendDate()
{
    showInfo(tr("Sending date..."));
    const CommandResult result = link->sendDate();
    switch (result) {
    case kSuccess:
        showInfo(tr("Date successfully sent"));
        return;
    case kFailure:
        showInfo(tr("Date not sent"));
        showResultBox(QStringLiteral("Date not sent"), QStringLiteral("Error during data sending"));
        return;
    default:
        reportCommonFailure(result, tr("Date not sent"));
        return;
    }
}

void MainWindow::sendReset()
{
    showInfo(tr("Sending Reset..."));
    const CommandResult result = link->sendReset();
    switch (result) {
    case kSuccess:
        showInfo(tr("Reset success"));
        return;
    case kFailure:
        showInfo(tr("Reset failure"));
        showResultBox(QStringLiteral("Reset failure"), QStringLiteral("Error during reset"));
        return;
    default:
        reportCommonFailure(result, tr("Reset failure"));
        return;
    }
}

void MainWindow::enableBurstModeFromStation()
{
    if (burstRunning)
        return;
    disableButtons();
    showInfo(tr("Enabling Burst Mode from Station..."));
    const CommandResult result = link->startBurstModeFromUi();
    if (result == kSuccess) {
        showInfo(tr("Start Burst Mode success"));
        // The station now sends its data by itself; the link is no longer needed.
        deviceDisconnect();
    } else {
        reportBurstStartFailure(result, QStringLiteral("Error during burst mode"));
    }
    enableButtons();
}

void MainWindow::enableBurstModeFromMarlowDesk()
{
    // The platform requests serve the event loop: a click must not start a
    // second run inside this one.
    if (burstRunning)
        return;
    disableButtons();
    beginBurstRun();
    runBurstFromMarlowDesk();
    endBurstRun();
}

void MainWindow::disableBurstMode()
{
    showInfo(tr("Disabling Burst Mode..."));
    ui->stopburstmodeButton->setEnabled(false);
    const CommandResult result = link->stopBurstModeFromUi();
    switch (result) {
    case kSuccess:
        showInfo(tr("Stop Burst Mode success"));
        // A stop clicked during an upload must not offer a second run inside it.
        if (!burstRunning) {
            ui->startburstmodeButton_station->setEnabled(true);
            ui->startburstmodeButton_marlowdesk->setEnabled(true);
        }
        deviceDisconnect();
        return;
    case kFailure:
        showInfo(tr("Stop Burst Mode failure"));
        showResultBox(kBurstFailureTitle, QStringLiteral("Error during burst mode"));
        break;
    case kNotConnected:
    case kNotImplemented:
        reportCommonFailure(result, tr("Stop Burst Mode failure"));
        break;
    default:
        // An unfinished stop leaves the button off: the station's state is unknown.
        return;
    }
    ui->stopburstmodeButton->setEnabled(true);
}

void MainWindow::reportBurstStartFailure(CommandResult result, const QString &failureText)
{
    const QString infoText = tr("Start Burst Mode failure");
    switch (result) {
    case kFailure:
        showInfo(infoText);
        showResultBox(kBurstFailureTitle, failureText);
        break;
    case kIncomplete:
        showInfo(infoText);
        showResultBox(kBurstFailureTitle, QStringLiteral("No data available in this period"));
        break;
    default:
        reportCommonFailure(result, infoText);
        break;
    }
}

void MainWindow::beginBurstRun()
{
    burstRunning = true;
    burstLinkLost = false;
    controlsAfterBurst = true;
    closeAfterBurst = false;
}

void MainWindow::runBurstFromMarlowDesk()
{
    showInfo(tr("Authenticating User..."));
    // The station is asked first: its answer carries the serial the platform checks.
    const QString stationSerial = link->startBurstModeFFromUi();

    PlatformClient platform(ui->burst_token->text(), stationSerial, platformUrl);
    if (!platform.authenticate()) {
        showInfo(tr("Authentication failure"));
        showResultBox(QStringLiteral("Authentication failure"),
                      QStringLiteral("Could not connect to the platform.\nMake sure you have a "
                                     "valid token and access to internet."));
        return;
    }
    // The window kept serving events while the platform answered: the operator may
    // have dropped the connection, or switched to the other link, meanwhile.
    if (burstLinkLost) {
        reportBurstStartFailure(kNotConnected, QString());
        return;
    }
    showInfo(tr("Successfully authenticated"));
    ui->stopburstmodeButton->setEnabled(true);

    if (!downloadBurst(stationSerial))
        return;
    showResultBox(QStringLiteral("Serial Transfer finished"),
                  QStringLiteral("Data will now be sent from MarlowDesk to the web platform.\n"
                                 "You can disconnect your station but do not close MarlowDesk."));
    showInfo(tr("Sending data to web platform... Do not close MarlowDesk."));
    // From here on only the file and the platform are used, never the link: the
    // operator may disconnect the station, or switch links, while the upload waits.
    uploadBurst(BurstFile::fileName(stationSerial), platform);
}

bool MainWindow::downloadBurst(const QString &stationSerial)
{
    const QDateTime start = QDateTime::currentDateTime();
    showInfo(tr("Enabling Burst Mode from MarlowDesk..."));
    const CommandResult result = link->readBurstData(stationSerial);
    const QDateTime end = QDateTime::currentDateTime();
    qDebug().noquote() << QStringLiteral("Transfer time Station -> MarlowDesk : from ")
                              + start.toString(Qt::TextDate) + QStringLiteral(" to ")
                              + end.toString(Qt::TextDate);
    if (result == kSuccess)
        return true;
    reportBurstStartFailure(result, QStringLiteral("Error during burst mode : Export data from "
                                                   "Station to Marlowdesk failed"));
    return false;
}

void MainWindow::uploadBurst(const QString &fileName, PlatformClient &platform)
{
    BurstUploader uploader(fileName, platform);
    uploader.setProgressHandler([this](const QString &text) { showInfo(text); });
    switch (uploader.upload()) {
    case BurstUploader::Finished:
        showInfo(tr("Burst Mode finished"));
        showResultBox(QStringLiteral("Burst Mode finished"),
                      QStringLiteral("Data successfully sent to the platform.\n You can now "
                                     "close MarlowDesk."));
        break;
    case BurstUploader::Refused:
        showInfo(tr("Burst Mode failure"));
        showResultBox(kBurstFailureTitle, QStringLiteral("Error during burst mode : Export data "
                                                         "from MarlowDesk to web platform failed"));
        break;
    case BurstUploader::FileUnreadable:
        showResultBox(QStringLiteral("File read failure"), QStringLiteral("Can't read datalog file"));
        break;
    }
}

void MainWindow::endBurstRun()
{
    burstRunning = false;
    setOperationControlsEnabled(controlsAfterBurst);
    if (closeAfterBurst) {
        closeAfterBurst = false;
        close();
    }
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // Closing the last window ends every event loop, the platform waits of a
    // running upload included, and the rest of the burst would never be sent.
    // The window closes once the run is over.
    if (burstRunning) {
        closeAfterBurst = true;
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void MainWindow::toggleMode()
{
    if (mode == Serial)
        setMode(Wifi);
    else if (mode == Wifi)
        setMode(Serial);
}

void MainWindow::setMode(uint8_t newMode)
{
    if (newMode == Wifi) {
        releaseLink();
        mode = Wifi;
        auto *dialog = new SettingsDialogWifi;
        settings = dialog;
        link = new WifiCommands(ui, dialog);
        setActionIcon(ui->actionSetMode, kWifiModeImage);
    } else if (newMode == Serial) {
        releaseLink();
        mode = Serial;
        auto *dialog = new SettingsDialogSerial;
        settings = dialog;
        link = new SerialCommands(ui, dialog);
        setActionIcon(ui->actionSetMode, kSerialModeImage);
    } else {
        return;
    }
    // An open settings dialog must not keep the program running once the main
    // window is closed; the window deletes the dialog itself.
    settings->setAttribute(Qt::WA_QuitOnClose, false);
    ui->resetButton->setVisible(true);
}

void MainWindow::openAdvanced()
{
    bool accepted = false;
    const QString text = QInputDialog::getText(this, tr("Advanced access"), tr("Adv password:"),
                                               QLineEdit::Password, QString(), &accepted);
    if (accepted && text == kAdvancedPassword)
        ui->Page2->setEnabled(true);
}

void MainWindow::showSettings()
{
    settings->show();
}

void MainWindow::about()
{
    QMessageBox::about(this, QStringLiteral("About Quorvel configurator"),
                       QStringLiteral("The <b>Quorvel configurator</b> is a tool to configure "
                                      "communication links (ethernet, wifi, 3G, radio) "
                                      "forHartovane's Quorvel and Pellinard air quality "
                                      "microstation."));
}

void MainWindow::enableButtons()
{
    setOperationControlsEnabled(true);
}

void MainWindow::disableButtons()
{
    setOperationControlsEnabled(false);
}

void MainWindow::safeClose()
{
    close();
}

void MainWindow::showInfo(const QString &text)
{
    // The link call that follows blocks the event loop: paint the text now.
    ui->info->setText(text);
    ui->info->repaint();
}

void MainWindow::setStatus(const QString &text)
{
    status->setText(text);
    status->repaint();
}

void MainWindow::setActionIcon(QAction *action, const QString &fileName)
{
    const QPixmap pixmap(kImagePrefix + fileName);
    QIcon icon;
    for (const QIcon::Mode iconMode : {QIcon::Normal, QIcon::Selected, QIcon::Active}) {
        icon.addPixmap(pixmap, iconMode, QIcon::Off);
        icon.addPixmap(pixmap, iconMode, QIcon::On);
    }
    action->setIcon(icon);
}

void MainWindow::setOperationControlsEnabled(bool enabled)
{
    // A burst run keeps the controls off until it ends; what was asked meanwhile
    // (a disconnect, a new configuration read) decides their state then.
    if (burstRunning) {
        controlsAfterBurst = enabled;
        if (enabled)
            return;
    }
    ui->resetButton->setEnabled(enabled);
    ui->getconfigButton->setEnabled(enabled);
    ui->setconfigButton->setEnabled(enabled);
    ui->startburstmodeButton_station->setEnabled(enabled);
    ui->startburstmodeButton_marlowdesk->setEnabled(enabled);
    ui->stopburstmodeButton->setEnabled(enabled);
    ui->burst_token->setEnabled(enabled);
}

void MainWindow::reportCommonFailure(CommandResult result, const QString &infoText)
{
    switch (result) {
    case kNotConnected:
        showInfo(infoText);
        showResultBox(QStringLiteral("Device not connected"),
                      QStringLiteral("Please connect the device"));
        break;
    case kNotImplemented:
        showInfo(infoText);
        showResultBox(QStringLiteral("[DEV] Not implemented"), QStringLiteral("Not implemented yet"));
        break;
    default:
        // An unfinished exchange (3) and unknown results leave the progress text
        // in place and show nothing.
        break;
    }
}

void MainWindow::showResultBox(const QString &title, const QString &text)
{
    QMessageBox::information(this, title, text, QMessageBox::Ok);
}

void MainWindow::releaseLink()
{
    if (burstRunning)
        burstLinkLost = true;
    // The link points at its dialog: it goes first.
    delete link;
    link = nullptr;
    delete settings;
    settings = nullptr;
}
