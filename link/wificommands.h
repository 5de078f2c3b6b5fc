#ifndef WIFICOMMANDS_H
#define WIFICOMMANDS_H

#include "commandsmanager.h"
#include "tcpsettings.h"

class QTcpSocket;
class SettingsDialogWifi;

// The station link over the station's own TCP connection. Every operation but
// connect and disconnect connects by itself when needed. The station does not
// confirm the date or a new configuration on its own, so both are judged by
// reading the configuration back; a reset makes the window disconnect.
class WifiCommands : public virtual CommandsManager
{
public:
    // Reads the dialog's record at every connection and writes into the form.
    WifiCommands(Ui::MainWindow *form, SettingsDialogWifi *settingsDialog);
    // Connects with these settings, with no form and no dialog.
    explicit WifiCommands(const TcpSettings &settings);

    ~WifiCommands() override;
    bool connectDevice() override;
    bool disconnectDevice() override;
    CommandResult getConfig() override;
    CommandResult setConfig(StationConfig config) override;
    CommandResult sendReset() override;
    CommandResult sendDate() override;
    CommandResult sendBurstMode(QString year, QString month, QString day,
                                QString hour, QString days) override;
    QString sendBurstModeF(QString year, QString month, QString day,
                           QString hour, QString days) override;
    CommandResult stopBurstMode() override;
    CommandResult readBurstData(const QString &stationSerial) override;
    CommandResult ackBurstMode() override;

private:
    TcpSettings settings() const;
    bool isConnected() const;
    bool ensureConnected();
    void showInfo(const QString &text);
    QString burstReply(const QString &word, const QString &year, const QString &month,
                       const QString &day, const QString &hour, const QString &days);

    QTcpSocket *socket;
    SettingsDialogWifi *settingsDialog;
    TcpSettings plainSettings;
    qint32 timeout;
};

#endif // WIFICOMMANDS_H
