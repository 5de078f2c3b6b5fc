#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "burstrun.h"
#include "burstuploader.h"
#include "configcomparedialog.h"
#include "operationtexts.h"
#include "console.h"
#include "platformclient.h"
#include "serialcommands.h"
#include "settingsdialogserial.h"
#include "settingsdialogwifi.h"
#include "stationconfigfile.h"
#include "wificommands.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QCloseEvent>
#include <QDateTime>
#include <QDebug>
#include <QFileDialog>
#include <QIcon>
#include <QInputDialog>
#include <QIntValidator>
#include <QLabel>
#include <QLayout>
#include <QLocale>
#include <QMessageBox>
#include <QPixmap>
#include <QTimer>

#include <algorithm>

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

// The file dialog of the three configuration file actions.
QString askForConfigFile(QWidget *parent, const QString &caption, bool save)
{
    QFileDialog dialog(parent, caption);
    dialog.setNameFilter(QObject::tr("Station configurations (*.json)"));
    dialog.setDefaultSuffix(QStringLiteral("json"));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

// The width a fixed-position child needs: its text's for a label or button, that
// of the longest value it shows for a spin box or date field, its layout's for a
// group of widgets; otherwise the width it has.
int neededWidth(const QWidget &widget)
{
    const auto *label = qobject_cast<const QLabel *>(&widget);
    const auto *button = qobject_cast<const QAbstractButton *>(&widget);
    if ((label && !label->text().isEmpty()) || (button && !button->text().isEmpty())
        || qobject_cast<const QAbstractSpinBox *>(&widget))
        return widget.sizeHint().width();
    if (widget.layout())
        return widget.layout()->sizeHint().width();
    return widget.width();
}

// Widens the children of area whose text does not fit with this platform's font.
// A child moves right only where a widened or moved neighbour would now overlap
// it, and only by that overlap; everything else keeps its drawn place and size.
// Returns how far the right edge of the content moved.
int fitTexts(QWidget &area)
{
    QList<QWidget *> children = area.findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
    std::stable_sort(children.begin(), children.end(),
                     [](const QWidget *a, const QWidget *b) { return a->x() < b->x(); });
    QList<QRect> changed;   // new places of the children widened or moved so far
    int oldRight = 0;
    int newRight = 0;
    for (QWidget *child : children) {
        const QRect old = child->geometry();
        QRect place = old;
        // Those neighbours start left of the child: clearing each one's right edge
        // is enough, and moving right never makes an earlier one overlap again.
        for (const QRect &neighbour : changed) {
            if (neighbour.intersects(place))
                place.moveLeft(neighbour.right() + 1);
        }
        place.setWidth(qMax(old.width(), neededWidth(*child)));
        if (place != old) {
            child->setGeometry(place);
            changed.append(place);
        }
        oldRight = qMax(oldRight, old.right());
        newRight = qMax(newRight, place.right());
    }
    return qMax(0, newRight - oldRight);
}

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
    , platformTimeoutMs(PlatformClient::kDefaultTimeoutMs)
    , chooseConfigFile([this](const QString &caption, bool save) {
          return askForConfigFile(this, caption, save);
      })
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
    // Typing is held to the range that configuration files are checked against.
    ui->vboxport->setValidator(new QIntValidator(kPortMinimum, kPortMaximum, ui->vboxport));

    setStatus(tr("Not connected"));

    initActionsConnections();

    // The form's fixed widths were drawn for one font; other platforms' fonts are wider.
    int growth = 0;
    for (QWidget *area : {ui->Page2, ui->Page3, static_cast<QWidget *>(ui->frame)})
        growth = qMax(growth, fitTexts(*area));
    // A larger minimum widens the window along with it.
    setMinimumWidth(minimumWidth() + growth);
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
    connect(ui->actionSaveConfig, &QAction::triggered, this, &MainWindow::saveConfigToFile);
    connect(ui->actionLoadConfig, &QAction::triggered, this, &MainWindow::loadConfigFromFile);
    connect(ui->actionCompareConfig, &QAction::triggered, this, &MainWindow::compareWithFile);
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
        report(OperationTexts::Connect, kFailure);
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

    linkConnected = true;
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
    linkConnected = false;
    stationRead.clear();
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
    if (result == kSuccess)
        enableButtons();
    report(OperationTexts::SetConfig, result);
}

void MainWindow::getConfig()
{
    disableButtons();
    showInfo(tr("Getting Configuration..."));
    const CommandResult result = link->getConfigToUi();
    // Only a configuration read unlocks the operation controls.
    if (result == kSuccess) {
        stationRead = link->config.RECEIVEDSERIAL;
        enableButtons();
    }
    report(OperationTexts::GetConfig, result);
}

void MainWindow::updateDate()
{
    ui->label_18->setText(QLocale::c().toString(QDateTime::currentDateTimeUtc(), kClockFormat));
}

void MainWindow::sendDate()
{
    showInfo(tr("Sending date..."));
    report(OperationTexts::SendDate, link->sendDate());
}

void MainWindow::sendReset()
{
    showInfo(tr("Sending Reset..."));
    report(OperationTexts::SendReset, link->sendReset());
}

void MainWindow::enableBurstModeFromStation()
{
    if (burstRunning)
        return;
    disableButtons();
    showInfo(tr("Enabling Burst Mode from Station..."));
    const CommandResult result = link->startBurstModeFromUi();
    report(OperationTexts::StartFromStation, result);
    // The station now sends its data by itself; the link is no longer needed.
    if (result == kSuccess)
        deviceDisconnect();
    enableButtons();
}

void MainWindow::enableBurstModeFromMarlowDesk()
{
    // The platform requests serve the event loop: a click must not start a
    // second run inside this one.
    if (burstRunning)
        return;
    disableButtons();
    burstRunning = true;
    runBurstFromMarlowDesk();
    burstRunning = false;
    enableButtons();
    if (closeAfterBurst) {
        closeAfterBurst = false;
        close();
    }
}

void MainWindow::disableBurstMode()
{
    showInfo(tr("Disabling Burst Mode..."));
    ui->stopburstmodeButton->setEnabled(false);
    const CommandResult result = link->stopBurstModeFromUi();
    report(OperationTexts::StopBurst, result);
    if (result == kSuccess) {
        ui->startburstmodeButton_station->setEnabled(true);
        ui->startburstmodeButton_marlowdesk->setEnabled(true);
        deviceDisconnect();
    } else if (result == kFailure || result == kNotConnected || result == kNotImplemented) {
        ui->stopburstmodeButton->setEnabled(true);
    }
    // An unfinished stop leaves the button off: the station's state is unknown.
}

void MainWindow::runBurstFromMarlowDesk()
{
    showInfo(tr("Authenticating User..."));
    const bool startedConnected = linkConnected;
    BurstRun run(ui->burst_token->text(), platformUrl);
    run.setPlatformTimeout(platformTimeoutMs);
    // The window kept serving events while the platform answered: the operator may
    // have dropped the station and not connected it again.
    run.setLinkCheck([this, startedConnected] { return !startedConnected || linkConnected; });
    run.setPhaseHandler([this](BurstRun::Phase phase) { showBurstPhase(phase); });
    run.setDownloadFinishedHandler([this] { report(OperationTexts::Download, kSuccess); });
    run.setUploadProgressHandler([this](int percent, qint64, qint64) {
        showInfo(BurstUploader::progressText(percent));
    });
    burst = &run;
    const BurstRun::Outcome outcome = run.run(*link, BurstPeriod(ui->burstmodeDate->dateTime(),
                                                                  ui->burstmodeDays->value()));
    burst = nullptr;
    switch (outcome) {
    case BurstRun::Uploaded:
        report(OperationTexts::Upload, kSuccess);
        break;
    case BurstRun::UploadRefused:
        report(OperationTexts::Upload, kFailure);
        break;
    case BurstRun::FileUnreadable:
        report(OperationTexts::ReadFile, kFailure);
        break;
    case BurstRun::AuthenticationFailed:
        report(OperationTexts::Authenticate, kFailure);
        break;
    case BurstRun::LinkGone:
        report(OperationTexts::Download, kNotConnected);
        break;
    case BurstRun::DownloadFailed:
        report(OperationTexts::Download, run.downloadResult(), {}, run.failureDetail());
        break;
    case BurstRun::Downloaded:
    case BurstRun::StationSilent:
        break;
    }
}

// The texts of the run's steps; the outcome of each is reported as it ends.
void MainWindow::showBurstPhase(BurstRun::Phase phase)
{
    if (phase == BurstRun::Downloading) {
        report(OperationTexts::Authenticate, kSuccess);
        ui->stopburstmodeButton->setEnabled(true);
        showInfo(tr("Enabling Burst Mode from MarlowDesk..."));
    } else if (phase == BurstRun::Uploading) {
        showInfo(tr("Sending data to web platform... Do not close MarlowDesk."));
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
    askAdvancedPassword();
}

// Unlocks the Advanced tab on the right password; true when it is unlocked.
bool MainWindow::askAdvancedPassword()
{
    bool accepted = false;
    const QString text = QInputDialog::getText(this, tr("Advanced access"), tr("Adv password:"),
                                               QLineEdit::Password, QString(), &accepted);
    if (accepted && text == kAdvancedPassword)
        ui->Page2->setEnabled(true);
    return ui->Page2->isEnabled();
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

void MainWindow::saveConfigToFile()
{
    const QString fileName = chooseConfigFile(tr("Save Configuration to File"), true);
    if (fileName.isEmpty())
        return;
    // The Advanced fields go into a file only from an unlocked tab, as they go to the station.
    const bool advanced = ui->Page2->isEnabled();
    const StationConfigFile file = StationConfigFile::fromConfig(
        link->configFromUi(), advanced ? StationConfigFile::AllFields : StationConfigFile::BasicFields,
        stationRead);
    // A file that could not be loaded again is not written.
    QStringList problems = file.problems();
    QString error;
    if (problems.isEmpty() && !file.save(fileName, &error))
        problems << error;
    report(advanced ? OperationTexts::SaveFile : OperationTexts::SaveBasicFile,
           problems.isEmpty() ? kSuccess : kFailure, problems);
}

void MainWindow::loadConfigFromFile()
{
    StationConfigFile file;
    if (openConfigFile(tr("Load Configuration from File"), OperationTexts::LoadFile, file).isEmpty())
        return;
    if (file.holdsAdvanced() && !ui->Page2->isEnabled() && !askAdvancedPassword()) {
        report(OperationTexts::LoadFile, kIncomplete);
        return;
    }
    // Only the form changes: the operator sends it as always.
    link->showInUi(file.config(), file.keys());
    report(OperationTexts::LoadFile, kSuccess);
}

void MainWindow::compareWithFile()
{
    StationConfigFile file;
    const QString fileName = openConfigFile(tr("Compare with File"), OperationTexts::CompareFile, file);
    if (fileName.isEmpty())
        return;
    ConfigCompareDialog dialog(fileName, configDifferences(link->configFromUi(), file.config(), file.keys()),
                               this);
    dialog.exec();
}

// Asks for a file and checks it whole into file. Returns its name; nothing when the
// operator cancelled or the file was refused, which operation's row reports with every problem.
QString MainWindow::openConfigFile(const QString &caption, OperationTexts::Operation operation,
                                   StationConfigFile &file)
{
    const QString fileName = chooseConfigFile(caption, false);
    if (fileName.isEmpty())
        return QString();
    QStringList problems;
    file = StationConfigFile::load(fileName, problems);
    if (problems.isEmpty())
        return fileName;
    report(operation, kFailure, problems);
    return QString();
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
    // A burst run keeps the controls off until it ends, whatever is done meanwhile.
    if (enabled && burstRunning)
        return;
    ui->resetButton->setEnabled(enabled);
    ui->getconfigButton->setEnabled(enabled);
    ui->setconfigButton->setEnabled(enabled);
    ui->startburstmodeButton_station->setEnabled(enabled);
    ui->startburstmodeButton_marlowdesk->setEnabled(enabled);
    ui->stopburstmodeButton->setEnabled(enabled);
    ui->burst_token->setEnabled(enabled);
}

// Words a result the way the operation's row says: results 2 and 4 read the
// same everywhere, 3 only where the operation words it, anything above 4 not at all.
// The box lists details, one a line, under its text; a failure's particulars
// go to its detailed text, so that the text itself stays as it always read.
void MainWindow::report(OperationTexts::Operation operation, CommandResult result,
                        const QStringList &details, const QString &detailedText)
{
    const OperationTexts::Row &texts = OperationTexts::row(operation);
    const char *info = texts.failed;
    OperationTexts::Box box = texts.failureBox;
    switch (result) {
    case kSuccess:
        info = texts.succeeded;
        box = texts.successBox;
        break;
    case kFailure:
        break;
    case kNotConnected:
        box = OperationTexts::kNotConnectedBox;
        break;
    case kIncomplete:
        if (!texts.incompleteBox.title)
            return;
        box = texts.incompleteBox;
        break;
    case kNotImplemented:
        box = OperationTexts::kNotImplementedBox;
        break;
    default:
        return;
    }
    if (info)
        showInfo(tr(info));
    if (box.title) {
        QString text = QString::fromLatin1(box.text);
        for (const QString &detail : details)
            text += QStringLiteral("\n- ") + detail;
        QMessageBox message(box.icon, QString::fromLatin1(box.title), text, QMessageBox::Ok, this);
        if (result != kSuccess && !detailedText.isEmpty())
            message.setDetailedText(detailedText);
        message.exec();
    }
}

void MainWindow::releaseLink()
{
    if (burst)
        burst->linkReplaced();
    // The link points at its dialog: it goes first.
    delete link;
    link = nullptr;
    stationRead.clear();
    delete settings;
    settings = nullptr;
}
