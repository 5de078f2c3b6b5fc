#include "dialogdriver.h"

#include "settingsdialogserial.h"
#include "settingsdialogwifi.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

namespace DialogDriver {

void useCustomPort(SettingsDialogSerial &dialog, const QString &path)
{
    auto *portBox = dialog.findChild<QComboBox *>(QStringLiteral("serialPortInfoListBox"));
    QVERIFY(portBox);
    const int custom = portBox->findText(QStringLiteral("Custom"));
    QVERIFY(custom >= 0);
    portBox->setCurrentIndex(custom);
    QVERIFY(portBox->isEditable());
    portBox->clearEditText();
    QTest::keyClicks(portBox->lineEdit(), path);
    dialog.findChild<QPushButton *>(QStringLiteral("applyButton"))->click();
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.settings().portName, path);
}

void useTcpStation(SettingsDialogWifi &dialog, const QString &ip, quint16 port, int timeoutMs)
{
    auto *address = dialog.findChild<QLineEdit *>(QStringLiteral("input_ip"));
    auto *portBox = dialog.findChild<QSpinBox *>(QStringLiteral("input_port"));
    auto *timeoutBox = dialog.findChild<QSpinBox *>(QStringLiteral("input_timeout"));
    QVERIFY(address && portBox && timeoutBox);
    address->clear();
    QTest::keyClicks(address, ip);
    portBox->setValue(port);
    timeoutBox->setValue(timeoutMs);
    dialog.findChild<QPushButton *>(QStringLiteral("applyButton"))->click();
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.settings().ip, ip);
    QCOMPARE(dialog.settings().port, port);
    QCOMPARE(dialog.settings().timeout, timeoutMs);
}

} // namespace DialogDriver
