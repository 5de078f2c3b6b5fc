#ifndef STATIONBENCH_H
#define STATIONBENCH_H

#include "configcomparedialog.h"
#include "console.h"
#include "dialogdriver.h"
#include "mainwindow.h"
#include "ptystation.h"
#include "recordinglink.h"
#include "serialcommands.h"
#include "settingsdialogserial.h"
#include "settingsdialogwifi.h"
#include "simulatedstation.h"
#include "tcpstation.h"

#include <QtTest>
#include <QtWidgets>

// A shown main window, driven as an operator drives it, and a simulated station that it reaches
// over a pseudo-terminal or TCP on 127.0.0.1 once pointed at it. Every link the window makes gets
// the limits below; message boxes are answered and recorded. The window goes first on destruction.
class StationBench
{
public:
    // The seven controls that only a successful configuration read opens.
    static inline const QStringList kOperationControls{"resetButton", "getconfigButton",
        "setconfigButton", "startburstmodeButton_station", "startburstmodeButton_marlowdesk",
        "stopburstmodeButton", "burst_token"};

    int replyLimitMs = 1000;     // an exchange's first reply; the TCP time-out
    int burstSilenceMs = 1000;   // the silence that ends a burst download
    Exchange::Caps replyCaps;    // the bounds of a station's reply
    QStringList boxes;           // "title / text" of each message box, in order, " // details" after it
    QList<QMessageBox::Icon> boxIcons;
    QStringList files;           // what the file dialogs answer in turn; once none is left, they are cancelled
    QStringList fileCaptions;    // the title of each file dialog asked for
    QString password;            // typed into the Advanced password prompt; a null text cancels it
    int passwordPrompts = 0;
    QStringList compared;        // each compare dialog's summary, then its rows "KEY: form | file"
    SimulatedStation station;
    TcpStation tcp{station};
    PtyStation pty{station};
    MainWindow window;

    StationBench()
    {
        window.chooseConfigFile = [this](const QString &caption, bool) {
            fileCaptions << caption;
            return files.isEmpty() ? QString() : files.takeFirst();
        };
        applyLimits();   // and after each mode switch, once the window has made the new link
        QObject::connect(find<QAction>("actionSetMode"), &QAction::triggered, [this] { applyLimits(); });
        // A modal box runs an event loop of its own, which serves this timer.
        QObject::connect(&boxTimer, &QTimer::timeout, [this] {
            QWidget *modal = QApplication::activeModalWidget();
            if (auto *box = qobject_cast<QMessageBox *>(modal)) {
                boxes << box->windowTitle() + QStringLiteral(" / ") + box->text()
                             + (box->detailedText().isEmpty() ? QString() : " // " + box->detailedText());
                boxIcons << box->icon();
                box->done(QMessageBox::Ok);
            } else if (auto *prompt = qobject_cast<QInputDialog *>(modal)) {
                ++passwordPrompts;
                prompt->setTextValue(password);
                password.isNull() ? prompt->reject() : prompt->accept();
            } else if (auto *dialog = qobject_cast<ConfigCompareDialog *>(modal)) {
                compared << dialog->findChild<QLabel *>("summary")->text();
                const auto *table = dialog->findChild<QTableWidget *>("differences");
                for (int row = 0; row < table->rowCount(); ++row)
                    compared << table->item(row, 0)->text() + ": " + table->item(row, 1)->text() + " | "
                                    + table->item(row, 2)->text();
                dialog->reject();
            }
        });
        boxTimer.start(20);
        window.show();
    }

    template <typename T = QWidget>
    T *find(const char *name) const { return window.findChild<T *>(QLatin1String(name)); }
    // As an operator can: a disabled action does nothing, as a disabled button does.
    void trigger(const char *name) const
    {
        if (QAction *action = find<QAction>(name); action->isEnabled())
            action->trigger();
    }
    void click(const char *button) const { find<QAbstractButton>(button)->click(); }
    QString info() const { return find<QLabel>("info")->text(); }
    QString status() const { return window.status->text(); }
    uint8_t mode() const { return window.mode; }
    StationConfig form() const { return window.link->configFromUi(); }
    QDialog *settings() const { return window.settings; }
    QStringList enabled(QStringList names = kOperationControls) const
    {
        names.erase(std::remove_if(names.begin(), names.end(), [this](const QString &name) {
            return !find<QObject>(qPrintable(name))->property("enabled").toBool();
        }), names.end());
        return names;
    }
    QStringList gate() const
    {
        QStringList on = enabled(QStringList{"actionConnect", "actionDisconnect", "actionConfigure",
                                             "actionSetMode"} + kOperationControls);
        return window.console->isEnabled() ? on << "console" : on;
    }

    void applyLimits()
    {
        window.link->setBurstSilenceLimit(burstSilenceMs);
        window.link->setReplyCaps(replyCaps);
        const Exchange::Limits c = SerialCommands::kCommandLimits, r = SerialCommands::kResetLimits;
        if (auto *serial = dynamic_cast<SerialCommands *>(window.link))
            serial->setLimits({c.bytesWrittenMs, replyLimitMs, c.silenceMs},
                              {r.bytesWrittenMs, replyLimitMs, r.silenceMs});
    }
    void useSerial(const QString &path = QString())
    {
        QVERIFY(!path.isEmpty() || pty.start());
        DialogDriver::useCustomPort(*qobject_cast<SettingsDialogSerial *>(window.settings),
                                    path.isEmpty() ? pty.slavePath() : path);
    }
    void useTcp(const QString &address = QString(), quint16 port = 0)
    {
        QVERIFY(port || tcp.start());
        if (window.mode != MainWindow::Wifi)
            trigger("actionSetMode");
        DialogDriver::useTcpStation(*qobject_cast<SettingsDialogWifi *>(window.settings),
                                    port ? address : "127.0.0.1", port ? port : tcp.port(), replyLimitMs);
    }
    // Puts a link without a transport in place of the window's, which owns it.
    RecordingLink &useRecordingLink()
    {
        auto *link = new RecordingLink(window.ui);
        delete std::exchange(window.link, link);
        return *link;
    }
    void usePlatform(const QString &url, int timeoutMs)
    {
        window.platformUrl = url;
        window.platformTimeoutMs = timeoutMs;
    }

private:
    QTimer boxTimer;
};

#endif // STATIONBENCH_H
