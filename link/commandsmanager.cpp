#include "commandsmanager.h"

#include "burstdownload.h"
#include "burstfile.h"
#include "burstrecord.h"
#include "ui_mainwindow.h"

#include <QDebug>
#include <QLineEdit>

namespace {

// The line edit of a field on either tab of the form.
QLineEdit *lineEdit(const Ui::MainWindow &form, const ConfigField &field)
{
    return form.tabWidget->findChild<QLineEdit *>(QLatin1String(field.widget));
}

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

StationConfig CommandsManager::configFromUi() const
{
    StationConfig shown = config;
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
