#ifndef RECORDINGLINK_H
#define RECORDINGLINK_H

#include "commandsmanager.h"

#include <QStringList>

// A link without a transport: it records what the form-binding members hand it
// and answers with results that the test chooses.
class RecordingLink : public CommandsManager
{
public:
    explicit RecordingLink(Ui::MainWindow *form) : CommandsManager(form) {}

    bool connectDevice() override { return true; }
    bool disconnectDevice() override { return true; }
    CommandResult sendReset() override { return result; }
    CommandResult sendDate() override { return result; }
    CommandResult readBurstData(const QString &) override { return result; }
    CommandResult ackBurstMode() override { return result; }
    CommandResult getConfig() override
    {
        ++getConfigCalls;
        if (result == kSuccess)
            config = reply;
        return result;
    }
    CommandResult setConfig(StationConfig sent) override
    {
        sentConfigs.append(sent);
        return result;
    }
    CommandResult sendBurstMode(QString year, QString month, QString day, QString hour,
                                QString days) override
    {
        period = QStringList{year, month, day, hour, days};
        return result;
    }
    QString sendBurstModeF(QString year, QString month, QString day, QString hour,
                           QString days) override
    {
        period = QStringList{year, month, day, hour, days};
        return serial;
    }
    CommandResult stopBurstMode() override { return result; }

    CommandResult result = kSuccess;
    StationConfig reply;              // what getConfig stores on success
    QString serial;                   // what sendBurstModeF answers
    QList<StationConfig> sentConfigs;
    QStringList period;
    int getConfigCalls = 0;
};

#endif // RECORDINGLINK_H
