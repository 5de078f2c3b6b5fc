#include "commandsmanager.h"

#include "burstdownload.h"
#include "burstfile.h"
#include "burstrecord.h"
#include "stationprotocol.h"
#include "ui_mainwindow.h"

#include <QDebug>
#include <QLineEdit>

namespace {

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

StationConfig CommandsManager::configFromUi() const
{
    StationConfig shown = config;
    if (!form)
        return shown;
    const QString link = form->comboBox->currentText();
    int chosen = -1;
    for (int index = 0; index < uplinks().size(); ++index) {
        if (link == QLatin1String(uplinks().at(index).item))
            chosen = index;
    }
    chooseUplink(shown, chosen);

    for (const ConfigField &field : configFields()) {
        if (field.widget)
            shown.*field.member = lineEdit(*form, field)->text();
    }

    const int security = securityTexts().indexOf(form->security->currentText());
    if (security >= 0)
        shown.WIFICRYPT = QString::number(security);
    return shown;
}

void CommandsManager::showInUi(const StationConfig &values, const QStringList &keys)
{
    if (!form)
        return;
    bool uplinkNamed = false;
    for (const ConfigField &field : configFields()) {
        if (!keys.contains(QLatin1String(field.key)))
            continue;
        if (field.widget)
            lineEdit(*form, field)->setText(values.*field.member);
        uplinkNamed = uplinkNamed || field.kind == ConfigField::Uplink;
    }

    const int security = securityIndex(values.WIFICRYPT);
    if (keys.contains(QLatin1String("WIFICRYPT")) && security >= 0)
        form->security->setCurrentIndex(security);

    const int uplink = chosenUplink(values);
    if (uplinkNamed && uplink >= 0)
        form->comboBox->setCurrentIndex(uplink);
}

CommandResult CommandsManager::setConfigFromUi()
{
    config = configFromUi();
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

    // The serial field shows what the station reported, and only when it reported one.
    QStringList shown;
    for (const ConfigField &field : configFields()) {
        if (field.kind != ConfigField::Serial)
            shown << QLatin1String(field.key);
    }
    showInUi(config, shown);
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
