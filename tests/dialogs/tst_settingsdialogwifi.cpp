#include "settingsdialogwifi.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

namespace {

template <typename T>
T *child(const QObject &parent, const char *name)
{
    return parent.findChild<T *>(QLatin1String(name));
}

// Replaces the field's content by typing, as the operator does after selecting it all.
void retype(QSpinBox *spin, const QString &text)
{
    spin->selectAll();
    QTest::keyClicks(spin, text);
}

void retype(QLineEdit *edit, const QString &text)
{
    edit->selectAll();
    if (text.isEmpty())
        QTest::keyClick(edit, Qt::Key_Backspace);
    else
        QTest::keyClicks(edit, text);
}

void clickApply(const SettingsDialogWifi &dialog)
{
    QTest::mouseClick(child<QPushButton>(dialog, "applyButton"), Qt::LeftButton);
}

} // namespace

class TestSettingsDialogWifi : public QObject
{
    Q_OBJECT

private slots:
    void defaultsWithoutShowing();
    void addressEditTakesAllFields();
    void spinBoxesKeptBackUntilApply();
    void spinBoxLimits_data();
    void spinBoxLimits();
    void addressHandedOutUnchanged_data();
    void addressHandedOutUnchanged();
};

void TestSettingsDialogWifi::defaultsWithoutShowing()
{
    const SettingsDialogWifi dialog;
    const SettingsDialogWifi::Settings s = dialog.settings();

    QVERIFY(!dialog.isVisible());
    QCOMPARE(s.ip, QString("192.168.1.10"));
    QCOMPARE(s.port, quint16(80));
    QCOMPARE(s.timeout, 15000);
    QCOMPARE(child<QLineEdit>(dialog, "input_ip")->text(), QString("192.168.1.10"));
    QCOMPARE(child<QSpinBox>(dialog, "input_port")->value(), 80);
    QCOMPARE(child<QSpinBox>(dialog, "input_timeout")->value(), 15000);
}

void TestSettingsDialogWifi::addressEditTakesAllFields()
{
    SettingsDialogWifi dialog;
    dialog.show();
    retype(child<QSpinBox>(dialog, "input_port"), "8080");
    retype(child<QSpinBox>(dialog, "input_timeout"), "500");
    QCOMPARE(dialog.settings().port, quint16(80));

    // Every keystroke in the address reaches the record, with the spin boxes as they stand.
    QLineEdit *address = child<QLineEdit>(dialog, "input_ip");
    address->selectAll();
    QTest::keyClicks(address, "127.0.0.");
    QCOMPARE(dialog.settings().ip, QString("127.0.0."));
    QTest::keyClick(address, '1');

    const SettingsDialogWifi::Settings s = dialog.settings();
    QCOMPARE(s.ip, QString("127.0.0.1"));
    QCOMPARE(s.port, quint16(8080));
    QCOMPARE(s.timeout, 500);
    QVERIFY(dialog.isVisible());
}

void TestSettingsDialogWifi::spinBoxesKeptBackUntilApply()
{
    SettingsDialogWifi dialog;
    dialog.show();
    retype(child<QSpinBox>(dialog, "input_port"), "8080");
    retype(child<QSpinBox>(dialog, "input_timeout"), "2000");
    dialog.close();

    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.settings().port, quint16(80));
    QCOMPARE(dialog.settings().timeout, 15000);

    dialog.show();
    clickApply(dialog);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.settings().ip, QString("192.168.1.10"));
    QCOMPARE(dialog.settings().port, quint16(8080));
    QCOMPARE(dialog.settings().timeout, 2000);
}

void TestSettingsDialogWifi::spinBoxLimits_data()
{
    QTest::addColumn<QString>("spinName");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("applied");

    QTest::newRow("port 65535") << "input_port" << "65535" << 65535;
    QTest::newRow("port 65536 refused") << "input_port" << "65536" << 6553;
    QTest::newRow("port with letters") << "input_port" << "80a8" << 808;
    QTest::newRow("timeout 0") << "input_timeout" << "0" << 0;
    QTest::newRow("timeout 65536 refused") << "input_timeout" << "65536" << 6553;
    QTest::newRow("negative timeout refused") << "input_timeout" << "-1" << 1;
}

void TestSettingsDialogWifi::spinBoxLimits()
{
    QFETCH(QString, spinName);
    QFETCH(QString, typed);
    QFETCH(int, applied);

    SettingsDialogWifi dialog;
    dialog.show();
    retype(child<QSpinBox>(dialog, qPrintable(spinName)), typed);
    clickApply(dialog);

    const SettingsDialogWifi::Settings s = dialog.settings();
    const bool isPort = spinName == "input_port";
    QCOMPARE(isPort ? int(s.port) : s.timeout, applied);
    QCOMPARE(isPort ? s.timeout : int(s.port), isPort ? 15000 : 80);
}

void TestSettingsDialogWifi::addressHandedOutUnchanged_data()
{
    QTest::addColumn<QString>("address");
    QTest::newRow("empty") << "";
    QTest::newRow("host name") << "station.local";
    QTest::newRow("loopback") << "127.0.0.1";
}

void TestSettingsDialogWifi::addressHandedOutUnchanged()
{
    QFETCH(QString, address);

    SettingsDialogWifi dialog;
    retype(child<QLineEdit>(dialog, "input_ip"), address);
    QCOMPARE(dialog.settings().ip, address);

    dialog.show();
    clickApply(dialog);
    QCOMPARE(dialog.settings().ip, address);
    QCOMPARE(dialog.settings().port, quint16(80));
}

QTEST_MAIN(TestSettingsDialogWifi)
#include "tst_settingsdialogwifi.moc"
