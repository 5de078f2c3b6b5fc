#include "commandsmanager.h"

#include "burstdownload.h"
#include "burstfile.h"
#include "burstrecord.h"
#include "stationprotocol.h"
#include "ui_mainwindow.h"

#include <QDebug>
#include <QLineEdit>

namespace {

const QString kOff = QStringLiteral("OFF");

const QStringList kSecurityTexts = {
    QStringLiteral("No security"), QStringLiteral("WPA (TKIP)"),
    QStringLiteral("WPA2 (AES)"), QStringLiteral("WEP")
};

// The line edit of a field on either tab of the form.
QLineEdit *lineEdit(const Ui::MainWindow &form, const ConfigField &field)
{
    return form.tabWidget->findChild<QLineEdit *>(QLatin1String(field.widget));
}

// The period on the form's burst page.
BurstPeriod formPeriod(const Ui::MainWindow &form)
{
    return BurstPeriod(form.burstmodeDate->dateTime(), form.burstmodeDays->value());
}

} // namespace

CommandsManager::CommandsManager(Ui::MainWindow *form)
    : form(form)
{
}

CommandsManager::~CommandsManager() = default;

CommandResult CommandsManager::setConfigFromUi()
{
    if (!form)
        return setConfig(config);
    const QString link = form->comboBox->currentText();
    for (const Uplink &uplink : uplinks())
        config.*uplink.member = link == QLatin1String(uplink.item) ? QLatin1String(uplink.onValue) : kOff;

    for (const ConfigField &field : configFields()) {
        if (field.widget)
            config.*field.member = lineEdit(*form, field)->text();
    }

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
    if (!form)
        return kSuccess;

    for (const ConfigField &field : configFields()) {
        if (field.kind == ConfigField::Text)
            lineEdit(*form, field)->setText(config.*field.member);
    }

    for (int index = 0; index < kSecurityTexts.size(); ++index) {
        if (config.WIFICRYPT == QString::number(index))
            form->security->setCurrentIndex(index);
    }

    // Several switches can read "ON" after repeated reads; the first one wins.
    for (int index = 0; index < uplinks().size(); ++index) {
        const Uplink &uplink = uplinks().at(index);
        if (config.*uplink.member == QLatin1String(uplink.onValue)) {
            form->comboBox->setCurrentIndex(index);
            break;
        }
    }

    // The station's own serial replaces the field only when it reported one.
    if (!config.RECEIVEDSERIAL.isEmpty())
        form->serial->setText(config.RECEIVEDSERIAL);
    return kSuccess;
}

CommandResult CommandsManager::startBurstModeFromUi()
{
    return form ? startBurstMode(formPeriod(*form)) : kFailure;
}

QString CommandsManager::startBurstModeFFromUi()
{
    return form ? startBurstModeF(formPeriod(*form)) : StationProtocol::kNoSerial;
}

CommandResult CommandsManager::startBurstMode(const BurstPeriod &period)
{
    return sendBurstMode(period.yearText(), period.monthText(), period.dayText(),
                         period.hourText(), period.daysText());
}

QString CommandsManager::startBurstModeF(const BurstPeriod &period)
{
    return sendBurstModeF(period.yearText(), period.monthText(), period.dayText(),
                          period.hourText(), period.daysText());
}

CommandResult CommandsManager::stopBurstModeFromUi()
{
    return stopBurstMode();
}

void CommandsManager::setBurstProgressHandler(std::function<void(qint64, qint64)> handler)
{
    burstProgress = std::move(handler);
}

CommandResult CommandsManager::receiveBurst(BurstDownload &download, const QString &stationSerial)
{
    download.setSilenceLimit(burstSilenceMs);
    download.setSizeLimit(burstSizeLimit);
    download.setProgressHandler(burstProgress);
    const QString path = burstFileName.isEmpty() ? BurstFile::fileName(stationSerial) : burstFileName;
    const CommandResult result = download.run(path, [this] { ackBurstMode(); });
    burstFailure = download.failureDetail();
    return result;
}

QString CommandsManager::decodeBurstLine(const QString &line) const
{
    return BurstRecord::decode(line);
}
