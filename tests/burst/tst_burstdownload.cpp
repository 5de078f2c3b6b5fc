#include "burstfile.h"
#include "dialogdriver.h"
#include "ptystation.h"
#include "serialcommands.h"
#include "settingsdialogserial.h"
#include "settingsdialogwifi.h"
#include "simulatedstation.h"
#include "tcpstation.h"
#include "ui_mainwindow.h"
#include "wificommands.h"

#include <QMainWindow>
#include <QTemporaryDir>
#include <QtTest>

// The burst dump from the simulated station into the local file, over both links.
class TestBurstDownload : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void fileNames_data();
    void fileNames();
    void terminatorSplitBetweenChunks();

    void download_data();
    void download();
    void secondDownloadReplacesFile_data();
    void secondDownloadReplacesFile();
    void silentStationEndsDownload_data();
    void silentStationEndsDownload();
    void unsafeSerialStaysInWorkingDirectory_data();
    void unsafeSerialStaysInWorkingDirectory();
    void fileThatCannotBeOpened_data();
    void fileThatCannotBeOpened();
    void closedSerialPortFailsAtOnce();
    void unreachableTcpStationEndsDownload();
    void serialFirstWaitIsSixtySeconds();

private:
    void addLinkColumn();
    void addLinkRows();
    CommandsManager *makeLink(const QString &kind);
    QByteArray fileBytes(const QString &serial) const;

    QTemporaryDir *workDir = nullptr;
    QString previousDir;
    SimulatedStation *station = nullptr;
    PtyStation *pty = nullptr;
    TcpStation *tcp = nullptr;
    QMainWindow *window = nullptr;
    Ui::MainWindow *form = nullptr;
    SettingsDialogSerial *serialDialog = nullptr;
    SettingsDialogWifi *wifiDialog = nullptr;
    CommandsManager *link = nullptr;
};

void TestBurstDownload::initTestCase()
{
    previousDir = QDir::currentPath();
}

void TestBurstDownload::init()
{
    workDir = new QTemporaryDir;
    QVERIFY(workDir->isValid());
    QVERIFY(QDir::setCurrent(workDir->path()));
    station = new SimulatedStation;
    pty = new PtyStation(*station);
    QVERIFY(pty->start());
    tcp = new TcpStation(*station);
    QVERIFY(tcp->start());
    window = new QMainWindow;
    form = new Ui::MainWindow;
    form->setupUi(window);
}

void TestBurstDownload::cleanup()
{
    delete link;
    link = nullptr;
    delete serialDialog;
    serialDialog = nullptr;
    delete wifiDialog;
    wifiDialog = nullptr;
    delete form;
    delete window;
    delete tcp;
    delete pty;
    delete station;
    QDir::setCurrent(previousDir);
    delete workDir;
}

void TestBurstDownload::addLinkColumn()
{
    QTest::addColumn<QString>("kind");
}

// One row per link, for the cases that read the same on both.
void TestBurstDownload::addLinkRows()
{
    addLinkColumn();
    QTest::newRow("serial") << "serial";
    QTest::newRow("tcp") << "tcp";
}

// A connected link of the given kind, pointed at the simulated station.
CommandsManager *TestBurstDownload::makeLink(const QString &kind)
{
    if (kind == "serial") {
        serialDialog = new SettingsDialogSerial;
        DialogDriver::useCustomPort(*serialDialog, pty->slavePath());
        link = new SerialCommands(form, serialDialog);
    } else {
        wifiDialog = new SettingsDialogWifi;
        DialogDriver::useTcpStation(*wifiDialog, "127.0.0.1", tcp->port(), 500);
        link = new WifiCommands(form, wifiDialog);
    }
    if (!link->connectDevice())
        qWarning("the link did not connect");
    return link;
}

QByteArray TestBurstDownload::fileBytes(const QString &serial) const
{
    QFile file(BurstFile::fileName(serial));
    if (!file.open(QIODevice::ReadOnly))
        return "<missing>";
    return file.readAll();
}

void TestBurstDownload::fileNames_data()
{
    QTest::addColumn<QString>("serial");
    QTest::addColumn<QString>("name");
    QTest::newRow("normal serial") << "ST1234" << "ST1234_data.log";
    QTest::newRow("dash, underscore and dot kept") << "A-b_c.9" << "A-b_c.9_data.log";
    QTest::newRow("no serial received") << "noserialreceived" << "noserialreceived_data.log";
    QTest::newRow("empty serial") << "" << "_data.log";
    QTest::newRow("parent directory") << "../x" << ".._x_data.log";
    QTest::newRow("absolute path") << "/etc/passwd" << "_etc_passwd_data.log";
    QTest::newRow("backslash and colon") << "C:\\tmp\\x" << "C__tmp_x_data.log";
    QTest::newRow("control characters") << QString("a\r\nb\tc") + QChar(0) << "a__b_c__data.log";
    QTest::newRow("blanks and non-ASCII") << QString::fromUtf8("s n\xc3\xa9") << "s_n__data.log";
}

void TestBurstDownload::fileNames()
{
    QFETCH(QString, serial);
    QFETCH(QString, name);
    QCOMPARE(BurstFile::fileName(serial), name);
}

void TestBurstDownload::terminatorSplitBetweenChunks()
{
    BurstFile file("split");
    QVERIFY(file.open());
    file.write("data line\r\nE");
    QVERIFY(!file.terminatorSeen());
    file.write("N");
    QVERIFY(!file.terminatorSeen());
    file.write("D\r\n");
    QVERIFY(file.terminatorSeen());
    file.close();
    QCOMPARE(fileBytes("split"), QByteArray("data line\r\nEND\r\n"));
}

void TestBurstDownload::download_data()
{
    addLinkColumn();
    QTest::addColumn<QByteArray>("dump");
    QTest::addColumn<int>("blockBytes");
    QTest::addColumn<int>("pauseMs");

    const QByteArray lines = "ID=ST1234&Response=0A1B&Date=2019-05-27 14:00:00\r\n"
                             "ID=ST1234&Response=0A1C&Date=2019-05-27 14:01:00\r\n";
    const QByteArray accent = QByteArray("ID=ST1234&Response=caf") + "\xc3\xa9"
                              + "&Date=2019-05-27 14:02:00\r\nEND\r\n";
    for (const QString kind : {"serial", "tcp"}) {
        const QByteArray k = kind.toLatin1();
        QTest::newRow(k + ": terminator in the first block") << kind << lines + "END\r\n" << 4096 << 0;
        QTest::newRow(k + ": bytes after the terminator kept") << kind << lines + "END\r\nafter" << 4096 << 0;
        QTest::newRow(k + ": terminator split between blocks")
            << kind << lines + "END\r\n" << lines.size() + 2 << 150;
        QTest::newRow(k + ": multi-byte character split between blocks")
            << kind << accent << accent.indexOf('\xa9') << 150;
        QTest::newRow(k + ": last line without line feed") << kind << lines + "END" << 4096 << 0;
        QTest::newRow(k + ": many small blocks") << kind << lines + lines + "END\r\n" << 7 << 20;
    }
}

void TestBurstDownload::download()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, dump);
    QFETCH(int, blockBytes);
    QFETCH(int, pauseMs);
    station->setDump(dump);
    station->setDumpBlocks(blockBytes, pauseMs);
    makeLink(kind);
    QCOMPARE(link->readBurstData("ST1234"), kSuccess);
    QCOMPARE(fileBytes("ST1234"), dump);
    QVERIFY(station->receivedCommands().contains("BURSTMODEF:OK\r\n"));
}

void TestBurstDownload::secondDownloadReplacesFile_data()
{
    addLinkRows();
}

void TestBurstDownload::secondDownloadReplacesFile()
{
    QFETCH(QString, kind);
    makeLink(kind);
    station->setBurstLineCount(50);
    QCOMPARE(link->readBurstData("ST1234"), kSuccess);
    QCOMPARE(fileBytes("ST1234").count("\r\n"), 51);
    station->setDump("short\r\nEND\r\n");
    QCOMPARE(link->readBurstData("ST1234"), kSuccess);
    QCOMPARE(fileBytes("ST1234"), QByteArray("short\r\nEND\r\n"));
}

void TestBurstDownload::silentStationEndsDownload_data()
{
    addLinkRows();
}

void TestBurstDownload::silentStationEndsDownload()
{
    // The station stops after some lines and never sends its terminator.
    QFETCH(QString, kind);
    station->setBurstLineCount(3);
    station->setDumpStopsBeforeEnd(true);
    makeLink(kind);
    link->setBurstSilenceLimit(1500);
    QCOMPARE(link->readBurstData("ST1234"), kFailure);
    QCOMPARE(fileBytes("ST1234").count("\r\n"), 3);
}

void TestBurstDownload::unsafeSerialStaysInWorkingDirectory_data()
{
    addLinkRows();
}

void TestBurstDownload::unsafeSerialStaysInWorkingDirectory()
{
    QFETCH(QString, kind);
    QVERIFY(QDir().mkdir("inner"));
    QVERIFY(QDir::setCurrent("inner"));
    station->setDump("x\r\nEND\r\n");
    makeLink(kind);
    QCOMPARE(link->readBurstData("../escaped"), kSuccess);
    QCOMPARE(QDir().entryList(QDir::Files | QDir::Hidden), QStringList{".._escaped_data.log"});
    QVERIFY(!QFile::exists(workDir->filePath("escaped_data.log")));
}

void TestBurstDownload::fileThatCannotBeOpened_data()
{
    addLinkRows();
}

void TestBurstDownload::fileThatCannotBeOpened()
{
    QFETCH(QString, kind);
    // A directory in the way of the file.
    QVERIFY(QDir().mkdir(BurstFile::fileName("ST1234")));
    makeLink(kind);
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Failed to open file"));
    QCOMPARE(link->readBurstData("ST1234"), kFailure);
    // Nothing was acknowledged: the station is not told to send into nowhere.
    QTest::qWait(100);
    QVERIFY(!station->receivedCommands().contains("BURSTMODEF:OK\r\n"));
}

void TestBurstDownload::closedSerialPortFailsAtOnce()
{
    makeLink("serial");
    link->disconnectDevice();
    QElapsedTimer clock;
    clock.start();
    QTest::ignoreMessage(QtDebugMsg, "Serial timeout");
    QCOMPARE(link->readBurstData("ST1234"), kFailure);
    QVERIFY(clock.elapsed() < 5000);
    QCOMPARE(fileBytes("ST1234"), QByteArray());
}

void TestBurstDownload::unreachableTcpStationEndsDownload()
{
    makeLink("tcp");
    // The station hangs up at the acknowledgement and is gone for good.
    station->setFault("BURSTMODEF:OK", StationFault::drop());
    link->setBurstSilenceLimit(1500);
    QTest::qWait(50);
    tcp->stop();
    QCOMPARE(link->readBurstData("ST1234"), kFailure);
}

void TestBurstDownload::serialFirstWaitIsSixtySeconds()
{
    // The one test that waits the full first-data limit of the serial link.
    station->setFault("BURSTMODEF:OK", StationFault::silent());
    makeLink("serial");
    QElapsedTimer clock;
    clock.start();
    QTest::ignoreMessage(QtDebugMsg, "Serial timeout");
    QCOMPARE(link->readBurstData("ST1234"), kFailure);
    QVERIFY2(clock.elapsed() >= 59000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(fileBytes("ST1234"), QByteArray());
}

QTEST_MAIN(TestBurstDownload)
#include "tst_burstdownload.moc"
