#ifndef SERIALSETTINGS_H
#define SERIALSETTINGS_H

#include <QSerialPort>
#include <QString>

// The serial port and line parameters of a link: as the operator last applied them in the
// settings dialog, or as given on a command line. The numeric fields hold QSerialPort
// enumeration values; the texts are what the dialog's boxes showed (or the values in words).
// The defaults are the line most stations speak: 115200 baud, 8N1, no flow control.
struct SerialSettings
{
    QString portName;
    qint32 baudRate = QSerialPort::Baud115200;
    QString baudRateText = QStringLiteral("115200");
    qint32 dataBits = QSerialPort::Data8;
    QString dataBitsText = QStringLiteral("8");
    qint32 parity = QSerialPort::NoParity;
    QString parityText = QStringLiteral("None");
    qint32 stopBits = QSerialPort::OneStop;
    QString stopBitsText = QStringLiteral("1");
    qint32 flowControl = QSerialPort::NoFlowControl;
    QString flowControlText = QStringLiteral("None");
    bool localEcho = false;
};

#endif // SERIALSETTINGS_H
