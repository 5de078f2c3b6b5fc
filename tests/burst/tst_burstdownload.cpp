#include "burstfile.h"
#include "burstrecord.h"
#include "linkbench.h"

#include <QTemporaryDir>
#include <QtTest>

// The burst dump from the simulated station into the file, over both links, and its lines' records.
class TestBurstDownload : public QObject
{
    Q_OBJECT
    QTemporaryDir workDir;

private slots:
    void initTestCase() { QVERIFY(QDir::setCurrent(workDir.path())); }

    void fileName_data()
    {
        QTest::addColumn<QString>("serial");
        QTest::addColumn<QString>("name");
        QTest::newRow("letters, digits, - _ .") << "azAZ09-_." << "azAZ09-_._data.log";
        QTest::newRow("their neighbours, the rest") << QString::fromUtf8("`{@[/:\\ \xc3\xa9\r")
                                                    << QString(11, '_') + "data.log";
    }

    void fileName() { QFETCH(QString, serial); QTEST(BurstFile::fileName(serial), "name"); }

    void period_data()
    {
        QTest::addColumn<QDateTime>("start");
        QTest::addColumn<int>("days");
        QTest::addColumn<QString>("texts");   // year month day hour days, the stamp, the file name of "S/1"
        QTest::addColumn<QDateTime>("end");
        const QDateTime start(QDate(2025, 1, 1), QTime(0, 59, 59));
        QTest::newRow("1 Jan, 0 h, 0 days") << start << 0 << "25 01 01 00 000 2025010100 S_1_2025010100_0d_data.log"
                                            << start.addSecs(-3599);
        QTest::newRow("9 days, 9 h") << QDateTime({2009, 9, 9}, {9, 0}) << 9
                                     << "09 09 09 09 009 2009090909 S_1_2009090909_9d_data.log"
                                     << QDateTime({2009, 9, 18}, {9, 0});
        QTest::newRow("10 and up") << QDateTime({2110, 10, 10}, {10, 0}) << 99
                                   << "10 10 10 10 099 2110101010 S_1_2110101010_99d_data.log"
                                   << QDateTime({2111, 1, 17}, {10, 0});
        QTest::newRow("31 Dec, 23 h") << QDateTime({2026, 12, 31}, {23, 30}) << 45
                                      << "26 12 31 23 045 2026123123 S_1_2026123123_45d_data.log"
                                      << QDateTime({2027, 2, 14}, {23, 0});
    }

    // The burst request's texts of a period, as the form and the collector both word them, and its file.
    void period()
    {
        QFETCH(QDateTime, start);
        QFETCH(int, days);
        const BurstPeriod p(start, days);
        QTEST(QStringList({p.yearText(), p.monthText(), p.dayText(), p.hourText(), p.daysText(), p.stamp(),
                           BurstFile::fileName("S/1", p)}).join(' '), "texts");
        QTEST(p.end(), "end");
    }

    void download_data()
    {
        QTest::addColumn<bool>("tcp");
        QTest::addColumn<QByteArray>("dump");
        QTest::addColumn<int>("blockBytes");
        QTest::addColumn<int>("pauseMs");   // before each block but the first
        QTest::addColumn<int>("result");    // 1: the station falls silent for longer than a short bound
        const QByteArray lines = "ID=ST1234&Response=0A1B&Date=2019-05-27 14:00:00\r\n"
                                 "ID=ST1234&Response=0A1C&Date=2019-05-27 14:01:00\r\n";
        for (const bool tcp : {false, true}) {
            const QByteArray link = tcp ? "tcp: " : "serial: ";
            QTest::newRow(link + "terminator in the first block, bytes after it")
                << tcp << lines + "END\r\nafter" << 4096 << 0 << 0;
            QTest::newRow(link + "a byte at a time, a character and the terminator split, last line unfinished")
                << tcp << QByteArray("caf\xc3\xa9\r\nEND") << 1 << 5 << 0;
            QTest::newRow(link + "silence before the terminator") << tcp << lines << 4096 << 0 << 1;
        }
        QTest::newRow("tcp: a pause longer than the time-out") << true << lines + "END\r\n" << 60 << 400 << 0;
    }

    // Over a longer file of an earlier download.
    void download()
    {
        QFETCH(bool, tcp);
        QFETCH(QByteArray, dump);
        QFETCH(int, blockBytes);
        QFETCH(int, pauseMs);
        QFETCH(int, result);
        QFile earlier("ST1234_data.log");
        QVERIFY(earlier.open(QIODevice::WriteOnly) && earlier.write(QByteArray(500, 'x')) == 500);
        earlier.close();
        LinkBench bench(tcp);
        QVERIFY(bench.link->connectDevice());
        bench.link->setBurstSilenceLimit(result ? 200 : LinkBench::kBurstSilenceMs);
        bench.station.setDump(dump);
        bench.station.setDumpBlocks(blockBytes, pauseMs);
        QCOMPARE(int(bench.link->readBurstData("ST1234")), result);
        QVERIFY(earlier.open(QIODevice::ReadOnly));
        QCOMPARE(earlier.readAll(), dump);
        QCOMPARE(bench.station.receivedCommands(), QByteArrayList{"BURSTMODEF:OK\r\n"});
    }

    // A closed serial port cannot deliver; a file that cannot be written is no reason to ask.
    void failuresEndAtOnce()
    {
        LinkBench serial(false), tcp(true);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(serial.link->readBurstData("ST1234"), kFailure);
        QVERIFY(clock.elapsed() < LinkBench::kBurstSilenceMs / 2);
        QVERIFY(QFileInfo::exists("ST1234_data.log") && QFileInfo("ST1234_data.log").size() == 0);
        QVERIFY(QDir().mkdir("X_data.log"));
        QCOMPARE(tcp.link->readBurstData("X"), kFailure);
        QCOMPARE(tcp.tcp.connectionCount(), 0);
    }

    void decode_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("record");
        QTest::newRow("measurement") << "ID=7&Response=12.5;3&Date=2024/03/05:07:00:00&X=1&Y=2"
                                     << "12.5;3__2024/03/05:07:00:00\r\n";
        QTest::newRow("values end at a further =") << "x&Response=A=Z&Date=B=CE" << "A__B\r\n";
        QTest::newRow("date ending with CR LF") << "x&Response=A&Date=B\r\n" << "A__B\r\n";
        QTest::newRow("names anywhere, values by position") << "x&Date=B&Response=A" << "B__A\r\n";
        QTest::newRow("empty values") << "Response Date&==Z&=" << "__\r\n";
        QTest::newRow("END inside a word, first") << "x&Response=A&Date=B&TREND" << "END\r\n";
        QTest::newRow("no Date word") << "x&Response=A&When=B" << "";
        QTest::newRow("no Response word") << "x&Reply=A&Date=B" << "";
        QTest::newRow("two parts") << "Response=A&Date=B" << "";
        QTest::newRow("no = in the second part") << "x&ResponseA&Date=B" << "";
    }

    void decode() { QFETCH(QString, line); QTEST(BurstRecord::decode(line), "record"); }
};

QTEST_MAIN(TestBurstDownload)
#include "tst_burstdownload.moc"
