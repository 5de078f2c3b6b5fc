#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include "burstrun.h"
#include "commandsmanager.h"
#include "operationtexts.h"

#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>

class QAction;
class QCloseEvent;
class QDialog;
class QLabel;
class Console;
class StationConfigFile;

namespace Ui {
class MainWindow;
}

// The operator's one window: it owns the form, the console, the settings dialog of
// the current link mode and the link itself, and turns every link result into the
// texts and boxes the operator sees.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    // Which transport reaches the station; kept in an unsigned 8-bit member.
    enum LinkMode : uint8_t {
        Serial = 0,
        Wifi = 1
    };

    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    bool deviceConnect();
    void deviceConnectConfig();
    void deviceDisconnect();
    void setConfig();
    void getConfig();
    void updateDate();
    void sendDate();
    void sendReset();
    void enableBurstModeFromStation();
    void enableBurstModeFromMarlowDesk();
    void disableBurstMode();
    void toggleMode();
    void setMode(uint8_t mode);
    void openAdvanced();
    void showSettings();
    void about();
    void enableButtons();
    void disableButtons();
    void safeClose();
    void saveConfigToFile();
    void loadConfigFromFile();
    void compareWithFile();

private:
    void initActionsConnections();
    void showInfo(const QString &text);
    void setActionIcon(QAction *action, const QString &fileName);
    void setStatus(const QString &text);
    void setOperationControlsEnabled(bool enabled);
    void report(OperationTexts::Operation operation, CommandResult result,
                const QStringList &details = QStringList(), const QString &detailedText = QString());
    bool askAdvancedPassword();
    QString openConfigFile(const QString &caption, OperationTexts::Operation operation,
                           StationConfigFile &file);
    void releaseLink();

    void runBurstFromMarlowDesk();
    void showBurstPhase(BurstRun::Phase phase);

    Ui::MainWindow *ui;
    QLabel *status;
    Console *console;
    QDialog *settings;
    uint8_t mode;
    CommandsManager *link;

    bool linkConnected = false;

    // Where burst uploads go, fixed when the program is built, and how long
    // the platform may take to answer.
    QString platformUrl;
    int platformTimeoutMs;

    // The serial the station reported in the last read of this connection, for the files saved.
    QString stationRead;

    // Asks the operator for a configuration file (*.json) to save under (save) or to
    // open; empty when cancelled.
    std::function<QString(const QString &caption, bool save)> chooseConfigFile;

    // A burst run from MarlowDesk serves events while the platform answers, so
    // the operator can stop, disconnect, switch the link or close meanwhile.
    bool burstRunning = false;
    BurstRun *burst = nullptr;   // the running one, told when its link is switched away
    bool closeAfterBurst = false;

    // Test benches shorten the links' limits, point uploads at a local
    // platform and put links of their own in place.
    friend class StationBench;
};

#endif // MAINWINDOW_H
