#ifndef SERIALCOMMANDS_H
#define SERIALCOMMANDS_H

#include "commandsmanager.h"
#include "exchange.h"
#include "serialsettings.h"

class QSerialPort;
class SettingsDialogSerial;

// The station link over a serial port. Reading the configuration and setting the
// clock both restart the station first, because it only listens to commands
// after its start-up banner.
class SerialCommands : public CommandsManager
{
public:
    // Reads the dialog's record at every connection and writes into the form.
    SerialCommands(Ui::MainWindow *form, SettingsDialogSerial *dialog);
    // Connects with these settings, with no form and no dialog.
    explicit SerialCommands(const SerialSettings &settings);

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

    // The station needs up to 10 s to restart and prints its banner in one go;
    // every other answer must start within 15 s.
    static constexpr Exchange::Limits kResetLimits = {10, 10000, 10};
    static constexpr Exchange::Limits kCommandLimits = {1000, 15000, 100};
    // For tests that need to see a limit expire.
    void setLimits(const Exchange::Limits &command, const Exchange::Limits &reset);

private:
    SerialSettings settings() const;

    QSerialPort *port;
    SettingsDialogSerial *settingsDialog;
    SerialSettings plainSettings;
    Exchange::Limits commandLimits = kCommandLimits;
    Exchange::Limits resetLimits = kResetLimits;
};

#endif // SERIALCOMMANDS_H
