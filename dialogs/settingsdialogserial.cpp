#include "settingsdialogserial.h"
#include "ui_settingsdialogserial.h"

#include <QComboBox>
#include <QIntValidator>
#include <QLineEdit>
#include <QSerialPort>
#include <QSerialPortInfo>

namespace {

constexpr int kMaxCustomBaudRate = 4000000;
constexpr int kCustomBaudRateIndex = 4;   // the entry after the four fixed rates
constexpr int kEightDataBitsIndex = 3;

// Accepts plain decimal digits up to the top of the range and nothing else. The stock
// integer validator lets a number above the top through as "intermediate" while it has no
// more digits than the top (so 4000001 to 9999999 could be typed), and it takes the locale's
// group separators, which the decimal conversion of the rate then cannot read.
class BaudRateValidator : public QIntValidator
{
public:
    using QIntValidator::QIntValidator;

    State validate(QString &input, int &) const override
    {
        if (input.isEmpty())
            return Intermediate;
        for (const QChar c : input) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return Invalid;
        }
        bool ok = false;
        const qlonglong value = input.toLongLong(&ok, 10);
        if (!ok || value > top())
            return Invalid;
        return value >= bottom() ? Acceptable : Intermediate;
    }
};

// An entry without item data is the box's "Custom" entry, where the operator types the value.
// Returns whether the entry is custom.
bool followCustomEntry(QComboBox *box, int idx)
{
    const bool isCustom = !box->itemData(idx).isValid();
    box->setEditable(isCustom);
    if (isCustom) {
        box->clearEditText();
        // The inline completion would silently extend a typed value into a listed one
        // (a typed "3840" applied as 38400), so what is typed is what is applied.
        box->lineEdit()->setCompleter(nullptr);
    }
    return isCustom;
}

} // namespace

SettingsDialogSerial::SettingsDialogSerial(QWidget *parent)
    : QDialog(parent),
      ui(new Ui::SettingsDialogSerial)
{
    ui->setupUi(this);

    intValidator = new BaudRateValidator(0, kMaxCustomBaudRate, this);

    // A typed value never becomes an entry. For the port box this also keeps Enter from
    // adding an entry without item data, which would count as "Custom" and wipe the typed path.
    ui->baudRateBox->setInsertPolicy(QComboBox::NoInsert);
    ui->serialPortInfoListBox->setInsertPolicy(QComboBox::NoInsert);

    // Connected before the boxes are filled, so that the first entry of each box already
    // updates the labels and the editability.
    connect(ui->applyButton, &QPushButton::clicked, this, &SettingsDialogSerial::apply);
    connect(ui->serialPortInfoListBox, QOverload<int>::of(&QComboBox::currentIndexChanged),
            this, &SettingsDialogSerial::showPortInfo);
    connect(ui->baudRateBox, QOverload<int>::of(&QComboBox::currentIndexChanged),
            this, &SettingsDialogSerial::checkCustomBaudRatePolicy);
    connect(ui->serialPortInfoListBox, QOverload<int>::of(&QComboBox::currentIndexChanged),
            this, &SettingsDialogSerial::checkCustomDevicePathPolicy);

    fillParameterBoxes();
    fillPortList();
    updateSettings();
}

SettingsDialogSerial::~SettingsDialogSerial()
{
    delete ui;
}

SerialSettings SettingsDialogSerial::settings() const
{
    return currentSettings;
}

QStringList SettingsDialogSerial::portTexts(const QSerialPortInfo &info)
{
    return portTexts(info.portName(), info.description(), info.manufacturer(),
                     info.serialNumber(), info.systemLocation(), info.vendorIdentifier(),
                     info.productIdentifier());
}

QStringList SettingsDialogSerial::portTexts(const QString &portName, const QString &description,
                                            const QString &manufacturer,
                                            const QString &serialNumber,
                                            const QString &systemLocation,
                                            quint16 vendorIdentifier, quint16 productIdentifier)
{
    const auto textOrNone = [](const QString &text) {
        return text.isEmpty() ? tr("N/A") : text;
    };
    const auto identifierOrNone = [](quint16 identifier) {
        return identifier == 0 ? tr("N/A") : QString::number(identifier, 16);
    };
    return {portName,
            textOrNone(description),
            textOrNone(manufacturer),
            textOrNone(serialNumber),
            systemLocation,
            identifierOrNone(vendorIdentifier),
            identifierOrNone(productIdentifier)};
}

void SettingsDialogSerial::showPortInfo(int idx)
{
    if (idx == -1)
        return;

    // The "Custom" entry carries no texts, so every label falls back to "N/A".
    const QStringList texts = ui->serialPortInfoListBox->itemData(idx).toStringList();
    const auto text = [&texts](int i) { return texts.value(i, tr("N/A")); };
    ui->descriptionLabel->setText(tr("Description: %1").arg(text(1)));
    ui->manufacturerLabel->setText(tr("Manufacturer: %1").arg(text(2)));
    ui->serialNumberLabel->setText(tr("Serial number: %1").arg(text(3)));
    ui->locationLabel->setText(tr("Location: %1").arg(text(4)));
    ui->vidLabel->setText(tr("Vendor Identifier: %1").arg(text(5)));
    ui->pidLabel->setText(tr("Product Identifier: %1").arg(text(6)));
}

void SettingsDialogSerial::apply()
{
    updateSettings();
    hide();
}

void SettingsDialogSerial::checkCustomBaudRatePolicy(int idx)
{
    if (followCustomEntry(ui->baudRateBox, idx))
        ui->baudRateBox->lineEdit()->setValidator(intValidator);
}

void SettingsDialogSerial::checkCustomDevicePathPolicy(int idx)
{
    // Any device path may be typed, so the port box gets no validator.
    followCustomEntry(ui->serialPortInfoListBox, idx);
}

void SettingsDialogSerial::fillParameterBoxes()
{
    ui->baudRateBox->addItem(QStringLiteral("115200"), QSerialPort::Baud115200);
    ui->baudRateBox->addItem(QStringLiteral("19200"), QSerialPort::Baud19200);
    ui->baudRateBox->addItem(QStringLiteral("38400"), QSerialPort::Baud38400);
    ui->baudRateBox->addItem(QStringLiteral("9600"), QSerialPort::Baud9600);
    ui->baudRateBox->addItem(tr("Custom"));

    ui->dataBitsBox->addItem(QStringLiteral("5"), QSerialPort::Data5);
    ui->dataBitsBox->addItem(QStringLiteral("6"), QSerialPort::Data6);
    ui->dataBitsBox->addItem(QStringLiteral("7"), QSerialPort::Data7);
    ui->dataBitsBox->addItem(QStringLiteral("8"), QSerialPort::Data8);
    ui->dataBitsBox->setCurrentIndex(kEightDataBitsIndex);

    ui->parityBox->addItem(tr("None"), QSerialPort::NoParity);
    ui->parityBox->addItem(tr("Even"), QSerialPort::EvenParity);
    ui->parityBox->addItem(tr("Odd"), QSerialPort::OddParity);
    ui->parityBox->addItem(tr("Mark"), QSerialPort::MarkParity);
    ui->parityBox->addItem(tr("Space"), QSerialPort::SpaceParity);

    ui->stopBitsBox->addItem(QStringLiteral("1"), QSerialPort::OneStop);
    ui->stopBitsBox->addItem(tr("1.5"), QSerialPort::OneAndHalfStop);
    ui->stopBitsBox->addItem(QStringLiteral("2"), QSerialPort::TwoStop);

    ui->flowControlBox->addItem(tr("None"), QSerialPort::NoFlowControl);
    ui->flowControlBox->addItem(tr("RTS/CTS"), QSerialPort::HardwareControl);
    ui->flowControlBox->addItem(tr("XON/XOFF"), QSerialPort::SoftwareControl);
}

void SettingsDialogSerial::fillPortList()
{
    ui->serialPortInfoListBox->clear();
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        ui->serialPortInfoListBox->addItem(info.portName(), portTexts(info));
    ui->serialPortInfoListBox->addItem(tr("Custom"));
}

void SettingsDialogSerial::updateSettings()
{
    currentSettings.portName = ui->serialPortInfoListBox->currentText();

    if (ui->baudRateBox->currentIndex() == kCustomBaudRateIndex) {
        // A custom rate that is not a number (an empty field) is handed on as 0; opening
        // the port with it fails and says so.
        currentSettings.baudRate = ui->baudRateBox->currentText().toInt(nullptr, 10);
    } else {
        currentSettings.baudRate = ui->baudRateBox->currentData().toInt();
    }
    currentSettings.baudRateText = QString::number(currentSettings.baudRate);

    currentSettings.dataBits = ui->dataBitsBox->currentData().toInt();
    currentSettings.dataBitsText = ui->dataBitsBox->currentText();

    currentSettings.parity = ui->parityBox->currentData().toInt();
    currentSettings.parityText = ui->parityBox->currentText();

    currentSettings.stopBits = ui->stopBitsBox->currentData().toInt();
    currentSettings.stopBitsText = ui->stopBitsBox->currentText();

    currentSettings.flowControl = ui->flowControlBox->currentData().toInt();
    currentSettings.flowControlText = ui->flowControlBox->currentText();

    currentSettings.localEcho = ui->localEchoCheckBox->isChecked();
}
