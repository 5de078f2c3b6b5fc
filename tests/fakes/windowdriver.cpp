#include "windowdriver.h"

#include "settingsdialogserial.h"
#include "settingsdialogwifi.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

namespace WindowDriver {

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
    QComboBox *portBox = child<QComboBox>(*dialog, "serialPortInfoListBox");
    portBox->setCurrentIndex(portBox->findText(QStringLiteral("Custom")));
    QVERIFY(portBox->isEditable());
    portBox->clearEditText();
    QTest::keyClicks(portBox->lineEdit(), path);
    child<QPushButton>(*dialog, "applyButton")->click();
    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->settings().portName, path);
}

void useTcp(QObject &window, quint16 port, int timeoutMs)
{
    action(window, "actionSetMode")->trigger();
    action(window, "actionConfigure")->trigger();
    auto *dialog = visibleDialog<SettingsDialogWifi>();
    QVERIFY(dialog);
    QLineEdit *ip = child<QLineEdit>(*dialog, "input_ip");
    ip->clear();
    QTest::keyClicks(ip, QStringLiteral("127.0.0.1"));
    child<QSpinBox>(*dialog, "input_port")->setValue(port);
    child<QSpinBox>(*dialog, "input_timeout")->setValue(timeoutMs);
    child<QPushButton>(*dialog, "applyButton")->click();
    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->settings().port, port);
    QCOMPARE(dialog->settings().ip, QString("127.0.0.1"));
}

} // namespace WindowDriver
