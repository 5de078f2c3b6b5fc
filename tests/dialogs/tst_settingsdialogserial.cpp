#include "settingsdialogserial.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSerialPortInfo>
#include <QtTest>

namespace {

template <typename T>
T *child(const QObject &parent, const char *name)
{
    return parent.findChild<T *>(QLatin1String(name));
}

// Picks an entry by its text, as the operator does from the drop-down list.
bool choose(QComboBox *combo, const QString &text)
{
    const int index = combo->findText(text);
    if (index < 0)
        return false;
    combo->setCurrentIndex(index);
    return true;
}

void clickApply(const SettingsDialogSerial &dialog)
{
    QTest::mouseClick(child<QPushButton>(dialog, "applyButton"), Qt::LeftButton);
}

// The numeric field and the text that the record keeps for one parameter box.
QPair<int, QString> recordOf(const SerialSettings &s, const QString &boxName)
{
    if (boxName == "baudRateBox")
        return {s.baudRate, s.baudRateText};
    if (boxName == "dataBitsBox")
        return {s.dataBits, s.dataBitsText};
    if (boxName == "parityBox")
        return {s.parity, s.parityText};
    if (boxName == "stopBitsBox")
        return {s.stopBits, s.stopBitsText};
    return {s.flowControl, s.flowControlText};
}

QStringList portLabelTexts(const SettingsDialogSerial &dialog)
{
    QStringList texts;
    for (const char *name : {"descriptionLabel", "manufacturerLabel", "serialNumberLabel",
                             "locationLabel", "vidLabel", "pidLabel"})
        texts << child<QLabel>(dialog, name)->text();
    return texts;
}

} // namespace

class TestSettingsDialogSerial : public QObject
{
    Q_OBJECT

private slots:
    void recordAfterConstruction();
    void portList();
    void appliedEntry_data();
    void appliedEntry();
    void customBaudRate();
    void customBaudRateInput_data();
    void customBaudRateInput();
    void customPort_data();
    void customPort();
    void closingWithoutApplyKeepsRecord();
    void portTexts_data();
    void portTexts();
};

void TestSettingsDialogSerial::recordAfterConstruction()
{
    const SettingsDialogSerial dialog;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    const SerialSettings s = dialog.settings();

    QCOMPARE(s.portName, ports.isEmpty() ? QString() : ports.first().portName());
    QCOMPARE(recordOf(s, "baudRateBox"), qMakePair(115200, QString("115200")));
    QCOMPARE(recordOf(s, "dataBitsBox"), qMakePair(8, QString("8")));
    QCOMPARE(recordOf(s, "parityBox"), qMakePair(0, QString("None")));
    QCOMPARE(recordOf(s, "stopBitsBox"), qMakePair(1, QString("1")));
    QCOMPARE(recordOf(s, "flowControlBox"), qMakePair(0, QString("None")));
    QVERIFY(s.localEcho);
    QVERIFY(!dialog.isVisible());
}

void TestSettingsDialogSerial::portList()
{
    const SettingsDialogSerial dialog;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    QComboBox *portBox = child<QComboBox>(dialog, "serialPortInfoListBox");

    QCOMPARE(portBox->count(), ports.size() + 1);
    for (int i = 0; i < ports.size(); ++i) {
        QCOMPARE(portBox->itemText(i), ports.at(i).portName());
        QCOMPARE(portBox->itemData(i).toStringList(), SettingsDialogSerial::portTexts(ports.at(i)));
    }
    QCOMPARE(portBox->itemText(ports.size()), QString("Custom"));
    QVERIFY(!portBox->itemData(ports.size()).isValid());

    // Without any port the box opens on "Custom", ready for a typed path.
    QCOMPARE(portBox->isEditable(), ports.isEmpty());
    if (!ports.isEmpty()) {
        const QStringList texts = SettingsDialogSerial::portTexts(ports.first());
        QCOMPARE(portLabelTexts(dialog),
                 QStringList({"Description: " + texts.at(1), "Manufacturer: " + texts.at(2),
                              "Serial number: " + texts.at(3), "Location: " + texts.at(4),
                              "Vendor Identifier: " + texts.at(5),
                              "Product Identifier: " + texts.at(6)}));
        QVERIFY(choose(portBox, "Custom"));
    }
    QCOMPARE(portBox->currentText(), QString());
    QCOMPARE(portLabelTexts(dialog),
             QStringList({"Description: N/A", "Manufacturer: N/A", "Serial number: N/A",
                          "Location: N/A", "Vendor Identifier: N/A", "Product Identifier: N/A"}));
}

void TestSettingsDialogSerial::appliedEntry_data()
{
    QTest::addColumn<QString>("boxName");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<int>("value");

    QTest::newRow("rate 19200") << "baudRateBox" << "19200" << 19200;
    QTest::newRow("rate 38400") << "baudRateBox" << "38400" << 38400;
    QTest::newRow("rate 9600") << "baudRateBox" << "9600" << 9600;
    QTest::newRow("5 data bits") << "dataBitsBox" << "5" << 5;
    QTest::newRow("6 data bits") << "dataBitsBox" << "6" << 6;
    QTest::newRow("7 data bits") << "dataBitsBox" << "7" << 7;
    QTest::newRow("even parity") << "parityBox" << "Even" << 2;
    QTest::newRow("odd parity") << "parityBox" << "Odd" << 3;
    QTest::newRow("mark parity") << "parityBox" << "Mark" << 5;
    QTest::newRow("space parity") << "parityBox" << "Space" << 4;
    QTest::newRow("one and a half stop bits") << "stopBitsBox" << "1.5" << 3;
    QTest::newRow("two stop bits") << "stopBitsBox" << "2" << 2;
    QTest::newRow("hardware flow control") << "flowControlBox" << "RTS/CTS" << 1;
    QTest::newRow("software flow control") << "flowControlBox" << "XON/XOFF" << 2;
}

void TestSettingsDialogSerial::appliedEntry()
{
    QFETCH(QString, boxName);
    QFETCH(QString, entry);
    QFETCH(int, value);

    SettingsDialogSerial dialog;
    dialog.show();
    QVERIFY(choose(child<QComboBox>(dialog, qPrintable(boxName)), entry));
    clickApply(dialog);

    QCOMPARE(recordOf(dialog.settings(), boxName), qMakePair(value, entry));
    QVERIFY(!dialog.isVisible());
}

void TestSettingsDialogSerial::customBaudRate()
{
    SettingsDialogSerial dialog;
    QComboBox *rateBox = child<QComboBox>(dialog, "baudRateBox");
    QVERIFY(!rateBox->isEditable());

    // "Custom" with nothing typed gives a rate of zero.
    QVERIFY(choose(rateBox, "Custom"));
    QVERIFY(rateBox->isEditable());
    QCOMPARE(rateBox->currentText(), QString());
    clickApply(dialog);
    QCOMPARE(recordOf(dialog.settings(), "baudRateBox"), qMakePair(0, QString("0")));

    QTest::keyClicks(rateBox->lineEdit(), "4000000");
    QTest::keyClick(rateBox->lineEdit(), Qt::Key_Return);
    clickApply(dialog);
    QCOMPARE(recordOf(dialog.settings(), "baudRateBox"), qMakePair(4000000, QString("4000000")));
    // A typed rate never joins the list.
    QCOMPARE(rateBox->count(), 5);
    QCOMPARE(rateBox->itemText(4), QString("Custom"));

    // Leaving "Custom" and coming back starts from an empty field again.
    QVERIFY(choose(rateBox, "9600"));
    QVERIFY(!rateBox->isEditable());
    rateBox->setCurrentIndex(4);
    QVERIFY(rateBox->isEditable());
    QCOMPARE(rateBox->currentText(), QString());
}

void TestSettingsDialogSerial::customBaudRateInput_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");

    QTest::newRow("one above the top") << "4000001" << "400000";
    QTest::newRow("eight digits") << "40000000" << "4000000";
    QTest::newRow("letter inside") << "12a4" << "124";
    QTest::newRow("minus sign") << "-9600" << "9600";
    QTest::newRow("group separator") << "115,200" << "115200";
    QTest::newRow("blank") << " 19200" << "19200";
    QTest::newRow("prefix of a listed rate") << "3840" << "3840";
    QTest::newRow("zero") << "0" << "0";
}

void TestSettingsDialogSerial::customBaudRateInput()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);

    SettingsDialogSerial dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QComboBox *rateBox = child<QComboBox>(dialog, "baudRateBox");
    QVERIFY(choose(rateBox, "Custom"));
    rateBox->lineEdit()->setFocus();
    QTest::keyClicks(rateBox->lineEdit(), typed);
    QCOMPARE(rateBox->currentText(), shown);

    clickApply(dialog);
    QCOMPARE(recordOf(dialog.settings(), "baudRateBox"), qMakePair(shown.toInt(), shown));
}

void TestSettingsDialogSerial::customPort_data()
{
    QTest::addColumn<bool>("byEnterKey");
    QTest::newRow("Apply button") << false;
    QTest::newRow("Enter key") << true;
}

void TestSettingsDialogSerial::customPort()
{
    QFETCH(bool, byEnterKey);

    SettingsDialogSerial dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QComboBox *portBox = child<QComboBox>(dialog, "serialPortInfoListBox");
    const int entries = portBox->count();

    QVERIFY(choose(portBox, "Custom"));
    QVERIFY(portBox->isEditable());
    QCOMPARE(portBox->currentText(), QString());
    QTest::keyClicks(portBox->lineEdit(), "/dev/pts/7");
    if (byEnterKey)
        QTest::keyClick(portBox->lineEdit(), Qt::Key_Return);
    else
        clickApply(dialog);

    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.settings().portName, QString("/dev/pts/7"));
    QCOMPARE(portBox->count(), entries);
}

void TestSettingsDialogSerial::closingWithoutApplyKeepsRecord()
{
    SettingsDialogSerial dialog;
    dialog.show();
    QVERIFY(choose(child<QComboBox>(dialog, "parityBox"), "Odd"));
    QVERIFY(choose(child<QComboBox>(dialog, "flowControlBox"), "RTS/CTS"));
    child<QCheckBox>(dialog, "localEchoCheckBox")->click();
    dialog.close();

    QVERIFY(!dialog.isVisible());
    SerialSettings s = dialog.settings();
    QCOMPARE(recordOf(s, "parityBox"), qMakePair(0, QString("None")));
    QCOMPARE(s.flowControl, 0);
    QVERIFY(s.localEcho);

    // The widgets keep what was chosen; the next Apply takes it.
    dialog.show();
    clickApply(dialog);
    s = dialog.settings();
    QCOMPARE(recordOf(s, "parityBox"), qMakePair(3, QString("Odd")));
    QCOMPARE(recordOf(s, "flowControlBox"), qMakePair(1, QString("RTS/CTS")));
    QVERIFY(!s.localEcho);
}

void TestSettingsDialogSerial::portTexts_data()
{
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("manufacturer");
    QTest::addColumn<QString>("serialNumber");
    QTest::addColumn<int>("vendorId");
    QTest::addColumn<int>("productId");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("all known") << "USB-Serial" << "FTDI" << "A1B2C3" << 0x0403 << 0x6001
        << QStringList({"ttyUSB0", "USB-Serial", "FTDI", "A1B2C3", "/dev/ttyUSB0", "403", "6001"});
    QTest::newRow("leading zeros dropped") << "d" << "m" << "s" << 0x00ab << 0x000f
        << QStringList({"ttyUSB0", "d", "m", "s", "/dev/ttyUSB0", "ab", "f"});
    QTest::newRow("lower-case hexadecimal") << "d" << "m" << "s" << 0xABCD << 0xFFFF
        << QStringList({"ttyUSB0", "d", "m", "s", "/dev/ttyUSB0", "abcd", "ffff"});
    QTest::newRow("no identifiers") << "d" << "m" << "s" << 0 << 0
        << QStringList({"ttyUSB0", "d", "m", "s", "/dev/ttyUSB0", "N/A", "N/A"});
    QTest::newRow("no texts") << "" << "" << "" << 0x1 << 0x10
        << QStringList({"ttyUSB0", "N/A", "N/A", "N/A", "/dev/ttyUSB0", "1", "10"});
}

void TestSettingsDialogSerial::portTexts()
{
    QFETCH(QString, description);
    QFETCH(QString, manufacturer);
    QFETCH(QString, serialNumber);
    QFETCH(int, vendorId);
    QFETCH(int, productId);
    QFETCH(QStringList, expected);

    QCOMPARE(SettingsDialogSerial::portTexts("ttyUSB0", description, manufacturer, serialNumber,
                                             "/dev/ttyUSB0", quint16(vendorId),
                                             quint16(productId)),
             expected);
}

QTEST_MAIN(TestSettingsDialogSerial)
#include "tst_settingsdialogserial.moc"
