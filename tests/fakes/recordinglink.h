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
    QStringList calls;    // every operation asked for, in order

    bool connectDevice() override { return record("connectDevice"), true; }
    bool disconnectDevice() override { return record("disconnectDevice"), true; }
    CommandResult sendReset() override { return record("sendReset"); }
    CommandResult sendDate() override { return record("sendDate"); }
    CommandResult readBurstData(const QString &) override { return record("readBurstData"); }
    CommandResult ackBurstMode() override { return record("ackBurstMode"); }
    CommandResult getConfig() override { return record("getConfig"); }
    CommandResult setConfig(StationConfig) override { return record("setConfig"); }
    CommandResult stopBurstMode() override { return record("stopBurstMode"); }
    CommandResult sendBurstMode(QString y, QString m, QString d, QString h, QString n) override
    {
        period = QStringList{y, m, d, h, n};
        return record("sendBurstMode");
    }
    QString sendBurstModeF(QString y, QString m, QString d, QString h, QString n) override
    {
        sendBurstMode(y, m, d, h, n);
        return serial;
    }

private:
    CommandResult record(const char *operation)
    {
        calls << QLatin1String(operation);
        return result;
    }
};

#endif // RECORDINGLINK_H
