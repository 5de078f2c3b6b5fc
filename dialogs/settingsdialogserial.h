#ifndef SETTINGSDIALOGSERIAL_H
#define SETTINGSDIALOGSERIAL_H

#include "serialsettings.h"

#include <QDialog>
#include <QString>
#include <QStringList>

class QIntValidator;
class QSerialPortInfo;

namespace Ui {
class SettingsDialogSerial;
}

// Lets the operator pick the serial port and its parameters. Apply reads the widgets into
// the record and hides the dialog; closing it any other way keeps the last applied record.
class SettingsDialogSerial : public QDialog
{
    Q_OBJECT

public:
    explicit SettingsDialogSerial(QWidget *parent = nullptr);
    ~SettingsDialogSerial() override;

    SerialSettings settings() const;

    // The seven texts kept with each port entry: name, description, manufacturer,
    // serial number, system location, vendor and product identifier.
    static QStringList portTexts(const QSerialPortInfo &info);
    static QStringList portTexts(const QString &portName, const QString &description,
                                 const QString &manufacturer, const QString &serialNumber,
                                 const QString &systemLocation, quint16 vendorIdentifier,
                                 quint16 productIdentifier);

private slots:
    void showPortInfo(int idx);
    void apply();
    void checkCustomBaudRatePolicy(int idx);
    void checkCustomDevicePathPolicy(int idx);

private:
    void fillParameterBoxes();
    void fillPortList();
    void updateSettings();

    Ui::SettingsDialogSerial *ui;
    SerialSettings currentSettings;
    QIntValidator *intValidator;
};

#endif // SETTINGSDIALOGSERIAL_H
