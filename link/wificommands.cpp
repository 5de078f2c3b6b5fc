#include "wificommands.h"

#include "burstdownload.h"
#include "exchange.h"
#include "settingsdialogwifi.h"
#include "stationprotocol.h"
#include "ui_mainwindow.h"

#include <QAction>
#include <QDateTime>
#include <QDebug>
#include <QLabel>
#include <QNetworkProxy>
#include <QTcpSocket>

namespace {

constexpr int kCommandWrittenMs = 1000;
constexpr int kResetWrittenMs = 100;   // the reset has no answer; only its bytes must leave
constexpr int kReplySilenceMs = 100;   // a reply ends at the first pause this long

// An unreachable station gets one more pass of setConfig and no more: each pass
// makes two connection attempts, each blocking for up to the time limit.
constexpr int kSetConfigPasses = 2;

// Well above a burst download's reads of 256 KiB at a time.
constexpr qint64 kReadBufferBytes = 4 * 1024 * 1024;

} // namespace

WifiCommands::WifiCommands(Ui::MainWindow *form, SettingsDialogWifi *settingsDialog)
    : CommandsManager(form),
      socket(new QTcpSocket),
      settingsDialog(settingsDialog),
      timeout(TcpSettings::kDefaultTimeoutMs)
{
    // The station sits on the local network: a system or application proxy would
    // only stand in the way.
    socket->setProxy(QNetworkProxy(QNetworkProxy::NoProxy));
    // What the station sends while nobody reads (the window idles between
    // commands) waits in the system's buffers, not in ever more memory here.
    socket->setReadBufferSize(kReadBufferBytes);
}

WifiCommands::WifiCommands(const TcpSettings &settings)
    : WifiCommands(nullptr, nullptr)
{
    plainSettings = settings;
}

TcpSettings WifiCommands::settings() const
{
    return settingsDialog ? settingsDialog->settings() : plainSettings;
}

WifiCommands::~WifiCommands()
{
    // Nothing else refers to the socket; the station sees the connection end here.
    socket->abort();
    delete socket;
}

bool WifiCommands::connectDevice()
{
    const TcpSettings settings = WifiCommands::settings();
    // One multi-argument arg(): a "%1" typed in the address must stay as it is.
    qDebug().noquote() << QStringLiteral("[WIFI] connecting to %1:%2 ... timeout(ms) = %3")
                              .arg(settings.ip, QString::number(settings.port),
                                   QString::number(settings.timeout));
    timeout = settings.timeout;
    socket->connectToHost(settings.ip, settings.port, QIODevice::ReadWrite,
                          QAbstractSocket::AnyIPProtocol);
    showInfo(QStringLiteral("[DEV] connectToHost executed"));
    if (socket->waitForConnected(settings.timeout)) {
        showInfo(QStringLiteral("[DEV] waitForConnected executed"));
        qDebug() << "[WIFI] connected";
        return true;
    }
    socket->close();
    qDebug() << "Not connected";
    qDebug() << socket->errorString();
    showInfo(socket->errorString());
    return false;
}

bool WifiCommands::disconnectDevice()
{
    if (!isConnected())
        return false;
    socket->close();
    socket->abort();
    qDebug() << "[WIFI] disconnected";
    return true;
}

CommandResult WifiCommands::getConfig()
{
    qDebug() << "[WIFI] get Config...";
    if (!ensureConnected())
        return kNotConnected;
    const QString reply = Exchange::run(*socket, StationProtocol::kGetConfig,
                                        {kCommandWrittenMs, timeout, kReplySilenceMs}, replyCaps);
    if (reply.isEmpty())
        return kFailure;
    StationProtocol::readConfigReply(reply, config);
    qDebug() << "[WIFI] get Config OK";
    return kSuccess;
}

CommandResult WifiCommands::setConfig(StationConfig config)
{
    qDebug() << "[WIFI] set Config...";
    int failedPasses = 0;
    while (!ensureConnected()) {
        // A station that just rebooted may refuse the first attempt: try once more,
        // then start the command over.
        if (!connectDevice() && ++failedPasses == kSetConfigPasses)
            return kNotConnected;
        qDebug() << "[WIFI] set Config...";
    }
    if (!StationProtocol::isComplete(config))
        return kIncomplete;
    socket->write(StationProtocol::configCommand(config).toLocal8Bit());
    socket->waitForBytesWritten(kCommandWrittenMs);
    // The station's "SENDCONFIG:OK" is not judged: what counts is the configuration
    // it reports afterwards. The acknowledgement stays in front of that reply.
    socket->waitForReadyRead(timeout);
    return getConfig();
}

CommandResult WifiCommands::sendReset()
{
    qDebug() << "[WIFI] send reset...";
    if (!ensureConnected())
        return kNotConnected;
    socket->write(StationProtocol::kTcpReset);
    socket->waitForBytesWritten(kResetWrittenMs);
    // The station restarts and drops the connection; the window disconnects now
    // rather than finding out at the next command.
    if (form)
        form->actionDisconnect->activate(QAction::Trigger);
    return kSuccess;
}

CommandResult WifiCommands::sendDate()
{
    qDebug() << "[WIFI] send date...";
    if (!ensureConnected())
        return kNotConnected;
    const QString date = StationProtocol::dateText(QDateTime::currentDateTimeUtc());
    if (form)
        form->label_18->setText(date);
    socket->write(StationProtocol::dateCommand(date).toLocal8Bit());
    // The date is judged by the configuration read that follows; the station's
    // acknowledgement stays in front of that reply.
    socket->waitForReadyRead(timeout);
    return getConfig();
}

CommandResult WifiCommands::sendBurstMode(QString year, QString month, QString day,
                                          QString hour, QString days)
{
    qDebug() << "[WIFI] send burst mode...";
    if (!ensureConnected())
        return kNotConnected;
    const QString reply = burstReply(StationProtocol::kBurstWord, year, month, day, hour, days);
    if (!reply.contains(StationProtocol::kBurstAckReply, Qt::CaseInsensitive))
        return kFailure;
    qDebug() << "[WIFI] start burst mode OK";
    return kSuccess;
}

QString WifiCommands::sendBurstModeF(QString year, QString month, QString day,
                                     QString hour, QString days)
{
    qDebug() << "[WIFI] send burst mode...";
    if (!ensureConnected())
        return StationProtocol::kNoSerial;
    return StationProtocol::serialFromBurstReply(
        burstReply(StationProtocol::kBurstDownloadWord, year, month, day, hour, days));
}

CommandResult WifiCommands::stopBurstMode()
{
    // The station's network side knows no stop command: a reset ends the burst.
    return sendReset();
}

CommandResult WifiCommands::readBurstData(const QString &stationSerial)
{
    // A dropped connection is made again; only the silence bound ends the wait.
    BurstDownload download(*socket, [this](int) {
        if (!ensureConnected())
            return BurstDownload::Nothing;
        return socket->waitForReadyRead(timeout) ? BurstDownload::Data : BurstDownload::Nothing;
    }, BurstDownload::AtQuiet, "[WIFI] burst timeout");
    return receiveBurst(download, stationSerial);
}

CommandResult WifiCommands::ackBurstMode()
{
    if (!ensureConnected())
        return kFailure;
    qDebug() << "[WIFI] ack burst mode...";
    socket->write(StationProtocol::kBurstAck);
    // Nothing waits here, so hand the bytes to the system now: without an event
    // loop turn they would sit in the socket's buffer until the next wait.
    socket->flush();
    qDebug() << "[WIFI] TX ==> " << StationProtocol::kBurstAck;
    return kSuccess;
}

bool WifiCommands::isConnected() const
{
    return socket->state() == QAbstractSocket::ConnectedState;
}

// Connects once with the current settings when the connection is not up.
bool WifiCommands::ensureConnected()
{
    if (!socket->isOpen())
        socket->open(QIODevice::ReadWrite);
    if (!isConnected())
        connectDevice();
    return isConnected();
}

void WifiCommands::showInfo(const QString &text)
{
    if (form)
        form->info->setText(text);
}

// Over TCP the station's first bytes after a burst request are not its answer:
// the answer is what follows them within the time limit. Anything received
// before that stays in the input for the next command.
QString WifiCommands::burstReply(const QString &word, const QString &year, const QString &month,
                                 const QString &day, const QString &hour, const QString &days)
{
    socket->write(StationProtocol::burstCommand(word, year, month, day, hour, days).toLocal8Bit());
    socket->waitForReadyRead(timeout);
    return Exchange::decode(Exchange::gather(*socket, timeout, kReplySilenceMs, replyCaps));
}
