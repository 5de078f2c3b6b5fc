#include "console.h"
#include "settingsdialogserial.h"
#include "settingsdialogwifi.h"

#include <QtTest>
#include <QtWidgets>

namespace {

const QString kDefaultRecord = "115200:115200 8:8 0:None 1:1 0:None echo";

// Each value with the text that the record keeps for it.
QString recordText(const SerialSettings &s)
{
    return QString("%1:%2 %3:%4 %5:%6 %7:%8 %9:").arg(s.baudRate).arg(s.baudRateText).arg(s.dataBits)
               .arg(s.dataBitsText).arg(s.parity).arg(s.parityText).arg(s.stopBits).arg(s.stopBitsText)
               .arg(s.flowControl) + s.flowControlText + (s.localEcho ? " echo" : "");
}

} // namespace

// The records of the two settings dialogs, and the console's view of what it is given and typed.
class TestDialogs : public QObject
{
    Q_OBJECT

private slots:
    void serialRecord_data()
    {
        QTest::addColumn<QString>("choices");   // rate (from the fifth row on a custom one, typed), data bits, parity,
        QTest::addColumn<QString>("record");    // stop bits, flow control
        QTest::newRow("defaults") << "" << kDefaultRecord;
        for (const char *row : {"19200 5 Even 2 RTS/CTS|19200:19200 5:5 2:Even 2:2 1:RTS/CTS echo",
                                "38400 6 Odd 1.5 XON/XOFF|38400:38400 6:6 3:Odd 3:1.5 2:XON/XOFF echo",
                                "4000000 7 Mark|4000000:4000000 7:7 5:Mark 1:1 0:None echo",
                                "4000001 8 Space|400000:400000 8:8 4:Space 1:1 0:None echo",
                                "-19a4|194:194 8:8 0:None 1:1 0:None echo", "-|0:0 8:8 0:None 1:1 0:None echo"})
            QTest::newRow(row) << QString(row).section('|', 0, 0) << QString(row).section('|', 1);
    }

    // Closing by the frame keeps the record; Apply takes what the boxes show.
    void serialRecord()
    {
        QFETCH(QString, choices);
        SettingsDialogSerial dialog;
        dialog.show();
        const QStringList picks = choices.split(' ', Qt::SkipEmptyParts);
        const char *boxes[] = {"baudRateBox", "dataBitsBox", "parityBox", "stopBitsBox", "flowControlBox"};
        for (int i = 0; i < picks.size(); ++i) {
            auto *box = dialog.findChild<QComboBox *>(boxes[i]);
            const int listed = box->findText(picks.at(i));
            box->setCurrentIndex(listed < 0 ? box->findText("Custom") : listed);
            if (listed < 0)
                QTest::keyClicks(box->lineEdit(), picks.at(i));
        }
        dialog.close();
        QCOMPARE(recordText(dialog.settings()), kDefaultRecord);
        dialog.show();
        dialog.findChild<QPushButton *>("applyButton")->click();
        QTEST(recordText(dialog.settings()), "record");
    }

    // Identifiers in lower-case hexadecimal without leading zeros; "N/A" for what is missing.
    void serialPortTexts()
    {
        QCOMPARE(SettingsDialogSerial::portTexts("ttyT", "USB", "", "A1", "/dev/ttyT", 0xab, 0),
                 QStringList({"ttyT", "USB", "N/A", "A1", "/dev/ttyT", "ab", "N/A"}));
    }

    // The address is taken at every keystroke with the spin boxes as they stand; the spin boxes
    // alone wait for Apply.
    void wifiRecord()
    {
        SettingsDialogWifi dialog;
        auto *port = dialog.findChild<QSpinBox *>("input_port");
        const auto record = [&dialog] {
            const SettingsDialogWifi::Settings s = dialog.settings();
            return QString("%1 %2 %3").arg(s.ip).arg(s.port).arg(s.timeout);
        };
        QCOMPARE(record(), QString("192.168.1.10 80 15000"));
        dialog.show();
        port->setValue(8080);
        dialog.findChild<QSpinBox *>("input_timeout")->setValue(0);
        dialog.close();
        QCOMPARE(record(), QString("192.168.1.10 80 15000"));
        QTest::keyClick(dialog.findChild<QLineEdit *>("input_ip"), Qt::Key_Backspace);
        QCOMPARE(record(), QString("192.168.1.1 8080 0"));
        port->setValue(81);
        dialog.findChild<QPushButton *>("applyButton")->click();
        QCOMPARE(record(), QString("192.168.1.1 81 0"));
    }

    // The newest 100 lines, each up to a zero byte. Keys become bytes, shown too with local echo;
    // keys that would erase or move the cursor do nothing. A click only takes the keyboard, a
    // double click selects nothing.
    void console()
    {
        Console console;
        console.show();
        QVERIFY(QTest::qWaitForWindowActive(&console));
        console.putData(QByteArray("ab\0cd", 5));
        console.putData(QByteArray("\0ef", 3));
        QCOMPARE(console.toPlainText(), QString("ab"));
        for (int i = 0; i < 150; ++i)
            console.putData("\nline " + QByteArray::number(i));
        QCOMPARE(console.document()->blockCount(), 100);
        QCOMPARE(console.document()->firstBlock().text(), QString("line 50"));

        console.moveCursor(QTextCursor::Left);
        console.moveCursor(QTextCursor::Left);
        QSignalSpy spy(&console, &Console::getData);
        QTest::keyClick(&console, Qt::Key_X);
        console.setLocalEchoEnabled(true);
        for (const Qt::Key key : {Qt::Key_Y, Qt::Key_F5, Qt::Key_Backspace, Qt::Key_Left, Qt::Key_Up, Qt::Key_Right,
                                  Qt::Key_Down})
            QTest::keyClick(&console, key);
        QCOMPARE(QList<QVariantList>(spy), (QList<QVariantList>{{QByteArray("x")}, {QByteArray("y")}, {QByteArray()}}));
        QCOMPARE(console.document()->lastBlock().text(), QString("line 1y49"));

        console.clearFocus();
        for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonDblClick}) {
            QMouseEvent click(type, QPoint(5, 5), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(console.viewport(), &click);
        }
        QVERIFY(console.hasFocus());
        QCOMPARE(console.textCursor().position(), console.document()->characterCount() - 3);
        QVERIFY(!console.textCursor().hasSelection());
    }
};

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
