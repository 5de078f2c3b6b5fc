#include "serialcommands.h"

#include "burstfile.h"
#include "exchange.h"
#include "settingsdialogserial.h"
#include "stationprotocol.h"
#include "ui_mainwindow.h"

#include <QDateTime>
#include <QDebug>
#include <QElapsedTimer>
#include <QSerialPort>

namespace {

// The station needs up to 10 s to restart and prints its banner in one go.
constexpr Exchange::Limits kResetLimits = {10, 10000, 10};
constexpr Exchange::Limits kCommandLimits = {1000, 15000, 100};
// The dump is polled in short steps so that whole lines go to the file as they arrive.
constexpr int kBurstPollMs = 10;
// How long an unfinished last line may stay unfinished before it is taken as it is.
constexpr int kBurstLastLineMs = 200;

} // namespace

SerialCommands::SerialCommands(Ui::MainWindow *form, SettingsDialogSerial *dialog)
    : CommandsManager(form), port(new QSerialPort), settingsDialog(dialog)
{
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
    const SerialSettings settings = settingsDialog->settings();
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
    const QString reply = Exchange::run(*port, StationProtocol::kResetByte, kResetLimits);
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
                                        kCommandLimits);
    if (!reply.contains(StationProtocol::kDateAck, Qt::CaseInsensitive))
        return kFailure;
    qDebug() << "[SERIAL] date OK";
    return kSuccess;
}

CommandResult SerialCommands::readBurstData(const QString &stationSerial)
{
    // The file is ready before the acknowledgement, so nothing the station sends is missed.
    BurstFile file(stationSerial);
    if (!file.open())
        return kFailure;
    ackBurstMode();
    // A closed port would only sit out the whole wait before failing.
    if (!port->isOpen() || !port->waitForReadyRead(burstSilenceMs)) {
        qDebug() << "Serial timeout";
        return kFailure;
    }

    QElapsedTimer quiet;
    quiet.start();
    while (!file.terminatorSeen()) {
        // Whole lines go to the file as they come. An unfinished line is taken only
        // once the station has paused: the terminator line may end without a line feed.
        if (!port->canReadLine()) {
            if (port->waitForReadyRead(kBurstPollMs)) {
                quiet.restart();
                continue;
            }
            if (port->bytesAvailable() == 0 || !quiet.hasExpired(kBurstLastLineMs)) {
                if (quiet.hasExpired(burstSilenceMs)) {
                    qDebug() << "Serial timeout";
                    return kFailure;
                }
                continue;
            }
        }
        file.write(port->readAll());
        quiet.restart();
    }
    // The rest of the terminator line may still be on its way; it belongs to the
    // file, not in front of the next command's answer.
    while (port->waitForReadyRead(kCommandLimits.silenceMs))
        file.write(port->readAll());
    return kSuccess;
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
    const QString reply = Exchange::run(*port, StationProtocol::kGetConfig, kCommandLimits);
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
                                        kCommandLimits);
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
    const QString reply = Exchange::run(*port, command.toLocal8Bit(), kCommandLimits);
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
    const QString reply = Exchange::run(*port, command.toLocal8Bit(), kCommandLimits);
    qDebug() << "[SERIAL] RX <== " << reply;
    return StationProtocol::serialFromBurstReply(reply);
}

CommandResult SerialCommands::stopBurstMode()
{
    if (!port->isOpen())
        return kNotConnected;
    qDebug() << "[SERIAL] stop burst mode...";
    const QString reply = Exchange::run(*port, StationProtocol::kStopBurst, kCommandLimits);
    if (!reply.contains(StationProtocol::kStopBurstAck, Qt::CaseInsensitive))
        return kFailure;
    qDebug() << "[SERIAL] stop burst mode OK";
    return kSuccess;
}
