#include "serialcommands.h"

#include "burstdownload.h"
#include "exchange.h"
#include "settingsdialogserial.h"
#include "stationprotocol.h"
#include "ui_mainwindow.h"

#include <QDateTime>
#include <QDebug>
#include <QSerialPort>

namespace {

// The download looks for a whole line this often.
constexpr int kLinePollMs = 10;
// A "line" this long without a line end is taken as it is: it never gets memory of its own.
constexpr qint64 kLongestLine = 64 * 1024;

} // namespace

SerialCommands::SerialCommands(Ui::MainWindow *form, SettingsDialogSerial *dialog)
    : CommandsManager(form), port(new QSerialPort), settingsDialog(dialog)
{
}

SerialCommands::SerialCommands(const SerialSettings &settings)
    : CommandsManager(nullptr), port(new QSerialPort), settingsDialog(nullptr),
      plainSettings(settings)
{
}

SerialSettings SerialCommands::settings() const
{
    return settingsDialog ? settingsDialog->settings() : plainSettings;
}

void SerialCommands::setLimits(const Exchange::Limits &command, const Exchange::Limits &reset)
{
    commandLimits = command;
    resetLimits = reset;
}

SerialCommands::~SerialCommands()
{
    // Nothing else refers to the port: close it so the device is free for the next link.
    if (port->isOpen())
        port->close();
    delete port;
}

bool SerialCommands::connectDevice()
{
    qDebug() << "[SERIAL] connect...";
    const SerialSettings settings = SerialCommands::settings();
    port->setPortName(settings.portName);
    port->setBaudRate(settings.baudRate);
    port->setDataBits(static_cast<QSerialPort::DataBits>(settings.dataBits));
    port->setParity(static_cast<QSerialPort::Parity>(settings.parity));
    port->setStopBits(static_cast<QSerialPort::StopBits>(settings.stopBits));
    port->setFlowControl(static_cast<QSerialPort::FlowControl>(settings.flowControl));
    if (!port->open(QIODevice::ReadWrite))
        return false;
    qDebug() << "[SERIAL] connected";
    return true;
}

bool SerialCommands::disconnectDevice()
{
    qDebug() << "[SERIAL] disconnect...";
    if (!port->isOpen())
        return false;
    port->close();
    qDebug() << "[SERIAL] disconnected";
    return true;
}

CommandResult SerialCommands::sendReset()
{
    qDebug() << "[SERIAL] send reset...";
    if (!port->isOpen())
        return kNotConnected;
    const QString reply = Exchange::run(*port, StationProtocol::kResetByte, resetLimits, replyCaps);
    qDebug() << reply;
    if (!reply.contains(StationProtocol::kResetBanner))
        return kFailure;
    qDebug() << "[SERIAL] reset OK";
    return kSuccess;
}

CommandResult SerialCommands::sendDate()
{
    // The station takes the date only right after a restart; a failed restart is
    // not fatal, the date is sent anyway.
    SerialCommands::sendReset();
    if (!port->isOpen())
        return kNotConnected;
    qDebug() << "[SERIAL] send date...";
    const QString date = StationProtocol::dateText(QDateTime::currentDateTimeUtc());
    if (form)
        form->label_18->setText(date);
    const QString reply = Exchange::run(*port, StationProtocol::dateCommand(date).toLocal8Bit(),
                                        commandLimits, replyCaps);
    if (!reply.contains(StationProtocol::kDateAck, Qt::CaseInsensitive))
        return kFailure;
    qDebug() << "[SERIAL] date OK";
    return kSuccess;
}

CommandResult SerialCommands::readBurstData(const QString &stationSerial)
{
    // A block is taken once the port holds a whole line, so the line that holds
    // the terminator arrives whole. A closed port never delivers: the download
    // fails at once instead of sitting out the bound.
    const auto blockReady = [this] {
        return port->canReadLine() || port->bytesAvailable() >= kLongestLine;
    };
    BurstDownload download(*port, [this, blockReady](int maxMs) {
        if (!port->isOpen())
            return BurstDownload::LineLost;
        const qint64 held = port->bytesAvailable();
        if (!blockReady())
            port->waitForReadyRead(qMin(kLinePollMs, maxMs));
        if (blockReady())
            return BurstDownload::Data;
        return port->bytesAvailable() > held ? BurstDownload::Progress : BurstDownload::Nothing;
    }, BurstDownload::AtTerminatorLine, "Serial timeout");
    return receiveBurst(download, stationSerial);
}

CommandResult SerialCommands::ackBurstMode()
{
    if (!port->isOpen())
        return kFailure;
    qDebug() << "[SERIAL] ack burst mode...";
    port->write(StationProtocol::kBurstAck);
    // Hand the bytes to the line now; nothing waits for them to leave.
    port->flush();
    qDebug() << "[SERIAL] TX ==> " << StationProtocol::kBurstAck;
    return kSuccess;
}

CommandResult SerialCommands::getConfig()
{
    qDebug() << "[SERIAL] get Config...";
    if (SerialCommands::sendReset() != kSuccess)
        return kNotConnected;
    if (!port->isOpen())
        return kNotConnected;
    const QString reply = Exchange::run(*port, StationProtocol::kGetConfig, commandLimits, replyCaps);
    qDebug() << reply;
    if (reply.isEmpty())
        return kFailure;
    StationProtocol::readConfigReply(reply, config);
    qDebug() << "[SERIAL] get config OK";
    return kSuccess;
}

CommandResult SerialCommands::setConfig(StationConfig config)
{
    qDebug() << "[SERIAL] set config...";
    if (!port->isOpen())
        return kNotConnected;
    if (!StationProtocol::isComplete(config))
        return kIncomplete;
    const QString reply = Exchange::run(*port, StationProtocol::configCommand(config).toLocal8Bit(),
                                        commandLimits, replyCaps);
    if (reply != StationProtocol::kConfigAck)
        return kFailure;
    qDebug() << "[SERIAL] set config OK";
    return kSuccess;
}

CommandResult SerialCommands::sendBurstMode(QString year, QString month, QString day,
                                            QString hour, QString days)
{
    if (!port->isOpen())
        return kNotConnected;
    qDebug() << "[SERIAL] send burst mode...";
    const QString command = StationProtocol::burstCommand(StationProtocol::kBurstWord,
                                                          year, month, day, hour, days);
    qDebug() << "[SERIAL] TX ==> " << command;
    const QString reply = Exchange::run(*port, command.toLocal8Bit(), commandLimits, replyCaps);
    qDebug() << "[SERIAL] RX <== " << reply;
    if (!reply.contains(StationProtocol::kBurstAckReply, Qt::CaseInsensitive))
        return kFailure;
    qDebug() << "[SERIAL] start burst mode OK";
    return kSuccess;
}

QString SerialCommands::sendBurstModeF(QString year, QString month, QString day,
                                       QString hour, QString days)
{
    if (!port->isOpen())
        return StationProtocol::kNoSerial;
    qDebug() << "[SERIAL] send burst mode...";
    const QString command = StationProtocol::burstCommand(StationProtocol::kBurstDownloadWord,
                                                          year, month, day, hour, days);
    qDebug() << "[SERIAL] TX ==> " << command;
    const QString reply = Exchange::run(*port, command.toLocal8Bit(), commandLimits, replyCaps);
    qDebug() << "[SERIAL] RX <== " << reply;
    return StationProtocol::serialFromBurstReply(reply);
}

CommandResult SerialCommands::stopBurstMode()
{
    if (!port->isOpen())
        return kNotConnected;
    qDebug() << "[SERIAL] stop burst mode...";
    const QString reply = Exchange::run(*port, StationProtocol::kStopBurst, commandLimits, replyCaps);
    if (!reply.contains(StationProtocol::kStopBurstAck, Qt::CaseInsensitive))
        return kFailure;
    qDebug() << "[SERIAL] stop burst mode OK";
    return kSuccess;
}
