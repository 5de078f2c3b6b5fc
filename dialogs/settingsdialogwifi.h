#ifndef SETTINGSDIALOGWIFI_H
#define SETTINGSDIALOGWIFI_H

#include <QDialog>
#include <QString>

namespace Ui {
class SettingsDialogWifi;
}

// Lets the operator give the station's network address, TCP port and reply time limit.
// The TCP link reads a copy of the record at every connection attempt.
class SettingsDialogWifi : public QDialog
{
    Q_OBJECT

public:
    struct Settings
    {
        QString ip;            // handed to the socket unchanged: an address or a host name
        quint16 port = 0;
        qint32 timeout = 0;    // milliseconds, for connecting and for each first reply
    };

    explicit SettingsDialogWifi(QWidget *parent = nullptr);
    ~SettingsDialogWifi() override;

    Settings settings() const;

private slots:
    void apply();

private:
    void updateSettings();
    void fillDefaults();

    Ui::SettingsDialogWifi *ui;
    Settings currentSettings;
};

#endif // SETTINGSDIALOGWIFI_H
