#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "console.h"
#include "serialcommands.h"
#include "settingsdialogserial.h"
#include "settingsdialogwifi.h"
#include "wificommands.h"

#include <QDateTime>
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

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent, Qt::WindowFlags())
    , ui(new Ui::MainWindow)
    , status(nullptr)
    , console(nullptr)
    , settings(nullptr)
    , mode(Serial)
    , link(nullptr)
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
    showInfo(tr("Burst mode is not available in this version"));
}

void MainWindow::enableBurstModeFromMarlowDesk()
{
    showInfo(tr("Burst mode is not available in this version"));
}

void MainWindow::disableBurstMode()
{
    showInfo(tr("Burst mode is not available in this version"));
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
    // The link points at its dialog: it goes first.
    delete link;
    link = nullptr;
    delete settings;
    settings = nullptr;
}
