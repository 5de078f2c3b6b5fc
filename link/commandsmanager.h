#ifndef COMMANDSMANAGER_H
#define COMMANDSMANAGER_H

#include "burstperiod.h"
#include "exchange.h"
#include "stationconfig.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

class BurstDownload;

namespace Ui {
class MainWindow;
}

// Status of a link operation. Handlers branch on 0 to 4 and ignore anything above.
using CommandResult = uint8_t;

constexpr CommandResult kSuccess = 0;
constexpr CommandResult kFailure = 1;
constexpr CommandResult kNotConnected = 2;
constexpr CommandResult kIncomplete = 3;
constexpr CommandResult kNotImplemented = 4;

// The station link as the main window sees it. Each operation is one blocking
// exchange on the GUI thread; failures are returned, never thrown.
class CommandsManager
{
public:
    explicit CommandsManager(Ui::MainWindow *form);

    virtual bool connectDevice() = 0;
    virtual bool disconnectDevice() = 0;
    virtual CommandResult sendReset() = 0;
    virtual CommandResult sendDate() = 0;
    virtual CommandResult readBurstData(const QString &stationSerial) = 0;
    virtual CommandResult ackBurstMode() = 0;
    virtual ~CommandsManager();
    virtual CommandResult getConfig() = 0;
    virtual CommandResult setConfig(StationConfig config) = 0;
    virtual CommandResult sendBurstMode(QString year, QString month, QString day,
                                        QString hour, QString days) = 0;
    virtual QString sendBurstModeF(QString year, QString month, QString day,
                                   QString hour, QString days) = 0;
    virtual CommandResult stopBurstMode() = 0;

    // The record that a send would write: config with the form's sixteen fields.
    StationConfig configFromUi() const;
    // Shows in the form the fields of values that keys names (wire keys), as a
    // read shows them: a security value or an uplink choice that the combo boxes
    // cannot show leaves them as they are. The uplink is shown when any of its
    // four keys is named.
    void showInUi(const StationConfig &values, const QStringList &keys);

    // The form-bound operations. A link without a form sends the record as it stands,
    // reads into the record alone, and has no period to ask for (1, "noserialreceived").
    CommandResult setConfigFromUi();
    CommandResult getConfigToUi();
    CommandResult startBurstModeFromUi();
    QString startBurstModeFFromUi();
    // The burst requests for a period given as such.
    CommandResult startBurstMode(const BurstPeriod &period);
    QString startBurstModeF(const BurstPeriod &period);
    CommandResult stopBurstModeFromUi();
    QString decodeBurstLine(const QString &line) const;

    // A burst download gives up once the station has sent nothing for this long,
    // or once the dump outgrows any real station's memory.
    static constexpr int kBurstSilenceMs = 60000;
    static constexpr qint64 kBurstSizeLimit = qint64(512) * 1024 * 1024;
    void setBurstSilenceLimit(int ms) { burstSilenceMs = ms; }
    void setBurstSizeLimit(qint64 bytes) { burstSizeLimit = bytes; }
    // Where the next downloads store the dump; empty: "<serial>_data.log" here.
    void setBurstFileName(const QString &path) { burstFileName = path; }
    // Called as the dump arrives, with the bytes and lines stored so far.
    void setBurstProgressHandler(std::function<void(qint64 bytes, qint64 lines)> handler);
    // Why the last download failed, for the operator: the file and the system's
    // reason, and where the bytes that did arrive are. Empty after a success.
    QString burstFailureDetail() const { return burstFailure; }

    // Shortened by tests that need to see a runaway reply given up.
    void setReplyCaps(const Exchange::Caps &caps) { replyCaps = caps; }

    StationConfig config;

protected:
    // Runs a link's download with this link's bounds and file, and keeps its failure detail.
    CommandResult receiveBurst(BurstDownload &download, const QString &stationSerial);

    Ui::MainWindow *form;
    int burstSilenceMs = kBurstSilenceMs;
    qint64 burstSizeLimit = kBurstSizeLimit;
    QString burstFileName;
    QString burstFailure;
    std::function<void(qint64, qint64)> burstProgress;
    Exchange::Caps replyCaps;

private:
    Q_DISABLE_COPY(CommandsManager)
};

#endif // COMMANDSMANAGER_H
