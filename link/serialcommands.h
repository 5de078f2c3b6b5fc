#ifndef SERIALCOMMANDS_H
#define SERIALCOMMANDS_H

#include "commandsmanager.h"

class QSerialPort;
class SettingsDialogSerial;

// The station link over a serial port. Reading the configuration and setting the
// clock both restart the station first, because it only listens to commands
// after its start-up banner.
class SerialCommands : public CommandsManager
{
public:
    SerialCommands(Ui::MainWindow *form, SettingsDialogSerial *dialog);

    bool connectDevice() override;
    bool disconnectDevice() override;
    CommandResult sendReset() override;
    CommandResult sendDate() override;
    CommandResult readBurstData(const QString &stationSerial) override;
    CommandResult ackBurstMode() override;
    ~SerialCommands() override;
    CommandResult getConfig() override;
    CommandResult setConfig(StationConfig config) override;
    CommandResult sendBurstMode(QString year, QString month, QString day,
                                QString hour, QString days) override;
    QString sendBurstModeF(QString year, QString month, QString day,
                           QString hour, QString days) override;
    CommandResult stopBurstMode() override;

private:
    QSerialPort *port;
    SettingsDialogSerial *settingsDialog;
};

#endif // SERIALCOMMANDS_H
