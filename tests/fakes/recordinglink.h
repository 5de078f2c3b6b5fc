#ifndef RECORDINGLINK_H
#define RECORDINGLINK_H

#include "commandsmanager.h"

#include <QStringList>

// A link without a transport: it always connects and answers every operation with
// the result the test chooses; the burst request answers serial and keeps its period.
class RecordingLink : public CommandsManager
{
public:
    using CommandsManager::CommandsManager;

    CommandResult result = kSuccess;
    QString serial;
    QStringList period;   // the five texts of the last burst request

    bool connectDevice() override { return true; }
    bool disconnectDevice() override { return true; }
    CommandResult sendReset() override { return result; }
    CommandResult sendDate() override { return result; }
    CommandResult readBurstData(const QString &) override { return result; }
    CommandResult ackBurstMode() override { return result; }
    CommandResult getConfig() override { return result; }
    CommandResult setConfig(StationConfig) override { return result; }
    CommandResult stopBurstMode() override { return result; }
    CommandResult sendBurstMode(QString y, QString m, QString d, QString h, QString n) override
    {
        period = QStringList{y, m, d, h, n};
        return result;
    }
    QString sendBurstModeF(QString y, QString m, QString d, QString h, QString n) override
    {
        sendBurstMode(y, m, d, h, n);
        return serial;
    }
};

#endif // RECORDINGLINK_H
