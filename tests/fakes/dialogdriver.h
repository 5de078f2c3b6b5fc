#ifndef DIALOGDRIVER_H
#define DIALOGDRIVER_H

#include "settingsdialogserial.h"
#include "settingsdialogwifi.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

// Fills a settings dialog as an operator does (a serial port typed under "Custom") and presses Apply.
namespace DialogDriver {

inline void useCustomPort(SettingsDialogSerial &dialog, const QString &path)
{
    auto *portBox = dialog.findChild<QComboBox *>("serialPortInfoListBox");
    portBox->setCurrentIndex(portBox->findText("Custom"));
    portBox->clearEditText();
    QTest::keyClicks(portBox->lineEdit(), path);
    dialog.findChild<QPushButton *>("applyButton")->click();
}

inline void useTcpStation(SettingsDialogWifi &dialog, const QString &ip, quint16 port, int timeoutMs)
{
    dialog.findChild<QLineEdit *>("input_ip")->clear();
    QTest::keyClicks(dialog.findChild<QLineEdit *>("input_ip"), ip);
    dialog.findChild<QSpinBox *>("input_port")->setValue(port);
    dialog.findChild<QSpinBox *>("input_timeout")->setValue(timeoutMs);
    dialog.findChild<QPushButton *>("applyButton")->click();
}

} // namespace DialogDriver

#endif // DIALOGDRIVER_H
