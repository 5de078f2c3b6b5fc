#include "recordinglink.h"
#include "ui_mainwindow.h"

#include <QLineEdit>
#include <QMainWindow>
#include <QtTest>

namespace {

// What the form-binding members hand the link, and the station's answer to a read.
struct FormLink : RecordingLink
{
    using RecordingLink::RecordingLink;
    StationConfig reply;
    QList<StationConfig> sentConfigs;
    CommandResult getConfig() override
    {
        if (result == kSuccess)
            config = reply;
        return result;
    }
    CommandResult setConfig(StationConfig sent) override
    {
        sentConfigs << sent;
        return result;
    }
};

// The line edits and the record fields they carry.
struct TextField
{
    const char *widget;
    QString StationConfig::*field;
};

const TextField kTextFields[] = {
    {"apn", &StationConfig::APN}, {"login", &StationConfig::LOGIN},
    {"password", &StationConfig::PWD}, {"ssid", &StationConfig::SSID},
    {"wifiPassword", &StationConfig::WIFIPWD}, {"serial", &StationConfig::SERIAL},
    {"boxradioserial", &StationConfig::BOXRADIOSERIAL}, {"vboxip", &StationConfig::VBOXIP},
    {"vboxport", &StationConfig::VBOXPORT}, {"framecrypt", &StationConfig::FRAMECRYPT},
    {"pmtype", &StationConfig::PMTYPE},
};

} // namespace

// The mapping between the form and the configuration record, and the burst period texts.
class TestCommandsManager : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void linkChoiceToRecord_data();
    void linkChoiceToRecord();
    void fieldsToRecord();
    void securityToRecord_data();
    void securityToRecord();
    void resultOfSetConfigPassedOn();

    void linkChoiceToForm_data();
    void linkChoiceToForm();
    void fieldsToForm();
    void securityToForm_data();
    void securityToForm();
    void failedReadLeavesForm();

    void burstPeriod_data();
    void burstPeriod();

private:
    QMainWindow *window = nullptr;
    Ui::MainWindow *form = nullptr;
    FormLink *link = nullptr;
};

void TestCommandsManager::init()
{
    window = new QMainWindow;
    form = new Ui::MainWindow;
    form->setupUi(window);
    link = new FormLink(form);
}

void TestCommandsManager::cleanup()
{
    delete link;
    delete form;
    delete window;
}

void TestCommandsManager::linkChoiceToRecord_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QStringList>("flags");   // ETH, RADIO, COMWIFI, COM3G
    QTest::newRow("Ethernet") << 0 << QStringList{"ON", "OFF", "OFF", "OFF"};
    QTest::newRow("Radio") << 1 << QStringList{"OFF", "XB", "OFF", "OFF"};
    QTest::newRow("Wifi") << 2 << QStringList{"OFF", "OFF", "ON", "OFF"};
    QTest::newRow("3G") << 3 << QStringList{"OFF", "OFF", "OFF", "ON"};
}

void TestCommandsManager::linkChoiceToRecord()
{
    QFETCH(int, index);
    QFETCH(QStringList, flags);
    // Flags left over from an earlier read must not survive the send.
    link->config.ETH = link->config.RADIO = link->config.COMWIFI = link->config.COM3G = "ON";
    form->comboBox->setCurrentIndex(index);
    link->setConfigFromUi();
    QCOMPARE(link->sentConfigs.size(), 1);
    const StationConfig sent = link->sentConfigs.first();
    QCOMPARE((QStringList{sent.ETH, sent.RADIO, sent.COMWIFI, sent.COM3G}), flags);
}

void TestCommandsManager::fieldsToRecord()
{
    // Each line edit gets its own text, blanks included, so a swapped field shows.
    for (const TextField &pair : kTextFields)
        window->findChild<QLineEdit *>(pair.widget)->setText(QStringLiteral(" %1 = x").arg(pair.widget));
    link->config.RECEIVEDSERIAL = "received";

    link->setConfigFromUi();
    const StationConfig sent = link->sentConfigs.value(0);
    for (const TextField &pair : kTextFields)
        QCOMPARE(sent.*pair.field, QStringLiteral(" %1 = x").arg(pair.widget));
    QCOMPARE(sent.RECEIVEDSERIAL, QString("received"));
    // The link keeps what it sent.
    QCOMPARE(link->config.SERIAL, QString(" serial = x"));
}

void TestCommandsManager::securityToRecord_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("wificrypt");
    QTest::newRow("No security") << 0 << "0";
    QTest::newRow("WPA (TKIP)") << 1 << "1";
    QTest::newRow("WPA2 (AES)") << 2 << "2";
    QTest::newRow("WEP") << 3 << "3";
}

void TestCommandsManager::securityToRecord()
{
    QFETCH(int, index);
    QFETCH(QString, wificrypt);
    form->security->setCurrentIndex(index);
    link->setConfigFromUi();
    QCOMPARE(link->sentConfigs.value(0).WIFICRYPT, wificrypt);
}

void TestCommandsManager::resultOfSetConfigPassedOn()
{
    link->result = kIncomplete;
    QCOMPARE(link->setConfigFromUi(), kIncomplete);
    link->result = kNotConnected;
    QCOMPARE(link->setConfigFromUi(), kNotConnected);
}

void TestCommandsManager::linkChoiceToForm_data()
{
    QTest::addColumn<QStringList>("flags");   // ETH, RADIO, COMWIFI, COM3G
    QTest::addColumn<int>("index");
    QTest::newRow("Ethernet") << QStringList{"ON", "OFF", "OFF", "OFF"} << 0;
    QTest::newRow("Radio") << QStringList{"OFF", "XB", "OFF", "OFF"} << 1;
    QTest::newRow("Wifi") << QStringList{"OFF", "OFF", "ON", "OFF"} << 2;
    QTest::newRow("3G") << QStringList{"OFF", "OFF", "OFF", "ON"} << 3;
    QTest::newRow("Ethernet wins over Wifi") << QStringList{"ON", "OFF", "ON", "OFF"} << 0;
    QTest::newRow("Radio wins over 3G") << QStringList{"OFF", "XB", "OFF", "ON"} << 1;
    QTest::newRow("none on: unchanged") << QStringList{"OFF", "OFF", "OFF", "OFF"} << 2;
    QTest::newRow("radio ON is not enabled") << QStringList{"OFF", "ON", "OFF", "OFF"} << 2;
}

void TestCommandsManager::linkChoiceToForm()
{
    QFETCH(QStringList, flags);
    QFETCH(int, index);
    form->comboBox->setCurrentIndex(2);
    link->reply.ETH = flags[0];
    link->reply.RADIO = flags[1];
    link->reply.COMWIFI = flags[2];
    link->reply.COM3G = flags[3];
    QCOMPARE(link->getConfigToUi(), kSuccess);
    QCOMPARE(form->comboBox->currentIndex(), index);
}

void TestCommandsManager::fieldsToForm()
{
    form->serial->setText("typed");
    for (const TextField &pair : kTextFields)
        link->reply.*pair.field = QStringLiteral("%1 value").arg(pair.widget);

    QCOMPARE(link->getConfigToUi(), kSuccess);
    for (const TextField &pair : kTextFields) {
        // The serial field shows what the station reported, never what was sent.
        const QString expected = pair.field == &StationConfig::SERIAL
                                     ? QString("typed") : QStringLiteral("%1 value").arg(pair.widget);
        QCOMPARE(window->findChild<QLineEdit *>(pair.widget)->text(), expected);
    }

    link->reply.RECEIVEDSERIAL = "ST77";
    QCOMPARE(link->getConfigToUi(), kSuccess);
    QCOMPARE(form->serial->text(), QString("ST77"));
}

void TestCommandsManager::securityToForm_data()
{
    QTest::addColumn<QString>("wificrypt");
    QTest::addColumn<int>("index");
    QTest::newRow("0") << "0" << 0;
    QTest::newRow("1") << "1" << 1;
    QTest::newRow("2") << "2" << 2;
    QTest::newRow("3 is WEP") << "3" << 3;
    QTest::newRow("5 leaves it") << "5" << 2;
    QTest::newRow("empty leaves it") << "" << 2;
    QTest::newRow("padded leaves it") << " 1" << 2;
}

void TestCommandsManager::securityToForm()
{
    QFETCH(QString, wificrypt);
    QFETCH(int, index);
    form->security->setCurrentIndex(2);
    link->reply.WIFICRYPT = wificrypt;
    link->getConfigToUi();
    QCOMPARE(form->security->currentIndex(), index);
}

void TestCommandsManager::failedReadLeavesForm()
{
    form->apn->setText("kept");
    link->reply.APN = "new";
    for (CommandResult failure : {kFailure, kNotConnected, kIncomplete}) {
        link->result = failure;
        QCOMPARE(link->getConfigToUi(), failure);
        QCOMPARE(form->apn->text(), QString("kept"));
    }
}

void TestCommandsManager::burstPeriod_data()
{
    QTest::addColumn<QDateTime>("start");
    QTest::addColumn<int>("days");
    QTest::addColumn<QStringList>("period");
    QTest::newRow("new year at midnight") << QDateTime(QDate(2025, 1, 1), QTime(0, 0)) << 5
                                          << QStringList{"25", "01", "01", "00", "005"};
    QTest::newRow("minutes ignored") << QDateTime(QDate(2019, 5, 27), QTime(14, 59, 59)) << 7
                                     << QStringList{"19", "05", "27", "14", "007"};
    QTest::newRow("two-digit values") << QDateTime(QDate(2024, 11, 30), QTime(18, 0)) << 45
                                      << QStringList{"24", "11", "30", "18", "045"};
    QTest::newRow("zero days") << QDateTime(QDate(2024, 3, 9), QTime(7, 0)) << 0
                               << QStringList{"24", "03", "09", "07", "000"};
    QTest::newRow("largest count") << QDateTime(QDate(2024, 3, 9), QTime(7, 0)) << 99
                                   << QStringList{"24", "03", "09", "07", "099"};
}

void TestCommandsManager::burstPeriod()
{
    QFETCH(QDateTime, start);
    QFETCH(int, days);
    QFETCH(QStringList, period);
    form->burstmodeDate->setDateTime(start);
    form->burstmodeDays->setValue(days);
    link->result = kFailure;
    QCOMPARE(link->startBurstModeFromUi(), kFailure);
    QCOMPARE(link->period, period);
    link->period.clear();
    link->serial = "ST1";
    QCOMPARE(link->startBurstModeFFromUi(), QString("ST1"));
    QCOMPARE(link->period, period);
}

QTEST_MAIN(TestCommandsManager)
#include "tst_commandsmanager.moc"
