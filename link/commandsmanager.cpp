#include "commandsmanager.h"

#include "burstrecord.h"
#include "ui_mainwindow.h"

#include <QDebug>

namespace {

// The combo box items and the record values they stand for.
const QString kEthernet = QStringLiteral("Ethernet");
const QString kRadio = QStringLiteral("Radio");
const QString kWifi = QStringLiteral("Wifi");
const QString k3G = QStringLiteral("3G");
const QString kOn = QStringLiteral("ON");
const QString kOff = QStringLiteral("OFF");
const QString kRadioOn = QStringLiteral("XB");

const QStringList kSecurityTexts = {
    QStringLiteral("No security"), QStringLiteral("WPA (TKIP)"),
    QStringLiteral("WPA2 (AES)"), QStringLiteral("WEP")
};

// Two digits, one leading zero for values up to 9.
QString twoDigits(int value)
{
    return QString::number(value).rightJustified(2, QLatin1Char('0'));
}

struct BurstPeriod
{
    QString year, month, day, hour, days;
};

// The station wants the start as yy MM dd hh and the length as at least three digits.
BurstPeriod burstPeriod(const Ui::MainWindow &form)
{
    BurstPeriod period;
    period.days = QString::number(form.burstmodeDays->value()).rightJustified(3, QLatin1Char('0'));
    const QDate date = form.burstmodeDate->date();
    const QTime time = form.burstmodeDate->time();
    period.year = QString::number(date.year()).rightJustified(4, QLatin1Char('0')).mid(2, 2);
    period.month = twoDigits(date.month());
    period.day = twoDigits(date.day());
    period.hour = twoDigits(time.hour());
    return period;
}

} // namespace

CommandsManager::CommandsManager(Ui::MainWindow *form)
    : form(form)
{
}

CommandsManager::~CommandsManager() = default;

CommandResult CommandsManager::setConfigFromUi()
{
    config.ETH = kOff;
    config.COM3G = kOff;
    config.RADIO = kOff;
    config.COMWIFI = kOff;

    const QString link = form->comboBox->currentText();
    if (link == kEthernet)
        config.ETH = kOn;
    else if (link == kRadio)
        config.RADIO = kRadioOn;
    else if (link == kWifi)
        config.COMWIFI = kOn;
    else if (link == k3G)
        config.COM3G = kOn;

    config.APN = form->apn->text();
    config.LOGIN = form->login->text();
    config.PWD = form->password->text();
    config.SSID = form->ssid->text();
    config.WIFIPWD = form->wifiPassword->text();
    config.SERIAL = form->serial->text();
    config.BOXRADIOSERIAL = form->boxradioserial->text();
    config.VBOXIP = form->vboxip->text();
    config.VBOXPORT = form->vboxport->text();
    config.FRAMECRYPT = form->framecrypt->text();
    config.PMTYPE = form->pmtype->text();

    const int security = kSecurityTexts.indexOf(form->security->currentText());
    if (security >= 0)
        config.WIFICRYPT = QString::number(security);

    return setConfig(config);
}

CommandResult CommandsManager::getConfigToUi()
{
    qDebug() << "retrieve config...";
    const CommandResult result = getConfig();
    if (result != kSuccess)
        return result;
    qDebug() << "config retrieved";

    form->apn->setText(config.APN);
    form->login->setText(config.LOGIN);
    form->password->setText(config.PWD);
    form->ssid->setText(config.SSID);
    form->wifiPassword->setText(config.WIFIPWD);
    form->boxradioserial->setText(config.BOXRADIOSERIAL);
    form->vboxip->setText(config.VBOXIP);
    form->vboxport->setText(config.VBOXPORT);
    form->pmtype->setText(config.PMTYPE);
    form->framecrypt->setText(config.FRAMECRYPT);

    for (int index = 0; index < kSecurityTexts.size(); ++index) {
        if (config.WIFICRYPT == QString::number(index))
            form->security->setCurrentIndex(index);
    }

    // Several flags can read "ON" after repeated reads; the first one wins.
    if (config.ETH == kOn)
        form->comboBox->setCurrentIndex(0);
    else if (config.RADIO == kRadioOn)
        form->comboBox->setCurrentIndex(1);
    else if (config.COMWIFI == kOn)
        form->comboBox->setCurrentIndex(2);
    else if (config.COM3G == kOn)
        form->comboBox->setCurrentIndex(3);

    if (!config.RECEIVEDSERIAL.isEmpty())
        form->serial->setText(config.RECEIVEDSERIAL);
    return kSuccess;
}

CommandResult CommandsManager::startBurstModeFromUi()
{
    const BurstPeriod period = burstPeriod(*form);
    return sendBurstMode(period.year, period.month, period.day, period.hour, period.days);
}

QString CommandsManager::startBurstModeFFromUi()
{
    const BurstPeriod period = burstPeriod(*form);
    return sendBurstModeF(period.year, period.month, period.day, period.hour, period.days);
}

CommandResult CommandsManager::stopBurstModeFromUi()
{
    return stopBurstMode();
}

QString CommandsManager::decodeBurstLine(const QString &line) const
{
    return BurstRecord::decode(line);
}
