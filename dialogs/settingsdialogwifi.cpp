#include "settingsdialogwifi.h"
#include "ui_settingsdialogwifi.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

SettingsDialogWifi::SettingsDialogWifi(QWidget *parent)
    : QDialog(parent),
      ui(new Ui::SettingsDialogWifi)
{
    ui->setupUi(this);

    // Only the address is followed as it is typed; it takes the spin boxes along with it,
    // and otherwise their values reach the record on Apply.
    connect(ui->applyButton, &QPushButton::clicked, this, &SettingsDialogWifi::apply);
    connect(ui->input_ip, &QLineEdit::textChanged, this, &SettingsDialogWifi::updateSettings);

    fillDefaults();
    updateSettings();
}

SettingsDialogWifi::~SettingsDialogWifi()
{
    delete ui;
}

SettingsDialogWifi::Settings SettingsDialogWifi::settings() const
{
    return currentSettings;
}

void SettingsDialogWifi::apply()
{
    updateSettings();
    hide();
}

void SettingsDialogWifi::updateSettings()
{
    currentSettings.ip = ui->input_ip->text();
    currentSettings.port = static_cast<quint16>(ui->input_port->value());
    currentSettings.timeout = ui->input_timeout->value();
}

void SettingsDialogWifi::fillDefaults()
{
    ui->input_ip->setText(QString::fromLatin1(TcpSettings::kDefaultAddress));
    ui->input_port->setValue(TcpSettings::kDefaultPort);
    ui->input_timeout->setValue(TcpSettings::kDefaultTimeoutMs);
}
