#ifndef SETTINGSDIALOGSERIAL_H
#define SETTINGSDIALOGSERIAL_H

#include <QDialog>
#include <QString>
#include <QStringList>

class QIntValidator;
class QSerialPortInfo;

namespace Ui {
class SettingsDialogSerial;
}

// The serial port and line parameters as the operator last applied them.
// The numeric fields hold QSerialPort enumeration values; the texts are what the boxes showed.
struct SerialSettings
{
    QString portName;
    qint32 baudRate = 0;
    QString baudRateText;
    qint32 dataBits = 0;
    QString dataBitsText;
    qint32 parity = 0;
    QString parityText;
    qint32 stopBits = 0;
    QString stopBitsText;
    qint32 flowControl = 0;
    QString flowControlText;
    bool localEcho = false;
};

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
