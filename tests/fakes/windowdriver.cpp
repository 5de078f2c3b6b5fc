#include "windowdriver.h"

#include "dialogdriver.h"
#include "settingsdialogserial.h"
#include "settingsdialogwifi.h"

#include <QLabel>
#include <QtTest>

namespace WindowDriver {

QString labelText(const QObject &window, const char *name)
{
    return child<QLabel>(window, name)->text();
}

QStringList operationControls()
{
    return {"resetButton", "getconfigButton", "setconfigButton", "startburstmodeButton_station",
            "startburstmodeButton_marlowdesk", "stopburstmodeButton", "burst_token"};
}

QStringList enabledControls(const QObject &window)
{
    QStringList names;
    for (const QString &name : operationControls()) {
        if (child<QWidget>(window, qPrintable(name))->isEnabled())
            names << name;
    }
    return names;
}

void useSerialPort(QObject &window, const QString &path)
{
    action(window, "actionConfigure")->trigger();
    auto *dialog = visibleDialog<SettingsDialogSerial>();
    QVERIFY(dialog);
    DialogDriver::useCustomPort(*dialog, path);
}

void useTcp(QObject &window, quint16 port, int timeoutMs)
{
    action(window, "actionSetMode")->trigger();
    action(window, "actionConfigure")->trigger();
    auto *dialog = visibleDialog<SettingsDialogWifi>();
    QVERIFY(dialog);
    DialogDriver::useTcpStation(*dialog, QStringLiteral("127.0.0.1"), port, timeoutMs);
}

} // namespace WindowDriver
