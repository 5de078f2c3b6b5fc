#ifndef SETTINGSDIALOGWIFI_H
#define SETTINGSDIALOGWIFI_H

#include "tcpsettings.h"

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
    // The record the TCP link connects with.
    using Settings = TcpSettings;

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
