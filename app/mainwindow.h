#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include "commandsmanager.h"

#include <QMainWindow>
#include <QString>

#include <cstdint>

class QAction;
class QCloseEvent;
class QDialog;
class QLabel;
class Console;
class PlatformClient;

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

private:
    void initActionsConnections();
    void showInfo(const QString &text);
    void setActionIcon(QAction *action, const QString &fileName);
    void setStatus(const QString &text);
    void setOperationControlsEnabled(bool enabled);
    // The outcomes that read the same for every station operation: a missing
    // connection and an operation the link lacks.
    void reportCommonFailure(CommandResult result, const QString &infoText);
    void showResultBox(const QString &title, const QString &text);
    void releaseLink();

    // A start handler's failure: failureText is what result 1 means for it.
    void reportBurstStartFailure(CommandResult result, const QString &failureText);
    void beginBurstRun();
    void runBurstFromMarlowDesk();
    bool downloadBurst(const QString &stationSerial);
    void uploadBurst(const QString &fileName, PlatformClient &platform);
    void endBurstRun();

    Ui::MainWindow *ui;
    QLabel *status;
    Console *console;
    QDialog *settings;
    uint8_t mode;
    CommandsManager *link;

    // Where burst uploads go; fixed when the program is built.
    QString platformUrl;

    // A burst run from MarlowDesk serves events while the platform answers, so
    // the operator can stop, disconnect, switch the link or close meanwhile.
    bool burstRunning = false;
    bool burstLinkLost = false;       // the link asked for the burst is gone
    bool controlsAfterBurst = true;   // the operation controls' state once the run ends
    bool closeAfterBurst = false;

    // Puts a link without transport in place of the real one.
    friend class TestMainWindow;
    // Points the burst upload at a local platform.
    friend class TestBurstMode;
};

#endif // MAINWINDOW_H
