#include "burstfile.h"
#include "burstrecord.h"
#include "linkbench.h"

#include <QProcess>
#include <unistd.h>

// A dump sent in blocks, a pause before each but the first; the download's result (1: the station fell silent for
// longer than a short bound, or sent too much) and how much of the dump the file holds (-1: all; a bound's: at most).
struct Dump { bool tcp; QByteArray bytes; int blockBytes, pauseMs, result, kept; };
Q_DECLARE_METATYPE(Dump)

// The burst dump from the simulated station into the file, over both links, and its lines' records.
class TestBurstDownload : public QObject
{
    Q_OBJECT
    QTemporaryDir workDir;

    static void writeFile(const QString &name, const QByteArray &bytes)
    {
        QFile file(name);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }

    static QByteArray readFile(const QString &name)
    {
        QFile file(name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
    }

    static void addRow(const char *name, const Dump &dump)
    {
        QTest::addRow("%s: %s", dump.tcp ? "tcp" : "serial", name) << dump;
    }

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
        QTest::addColumn<Dump>("dump");
        const QByteArray lines = "ID=ST1234&Response=0A1B&Date=2019-05-27 14:00:00\r\n"
                                 "ID=ST1234&Response=0A1C&Date=2019-05-27 14:01:00\r\n";
        const int endLine = lines.size() + 5;
        for (const bool tcp : {false, true}) {
            addRow("terminator in the first block, bytes after it", {tcp, lines + "END\r\nafter", 4096, 0, 0, -1});
            addRow("a byte at a time, a character and the terminator split, last line unfinished",
                   {tcp, "caf\xc3\xa9\r\nEND", 1, 5, 0, -1});
            addRow("silence before the terminator", {tcp, lines, 4096, 0, 1, -1});
            addRow("silence inside a line", {tcp, lines + "ID=ST1234&Resp", int(lines.size()), 30, 1, -1});
            addRow("the terminator's line ends after a pause", {tcp, lines + "ABEND\r\n", endLine - 2, 150, 0, -1});
            addRow("bytes after a pause behind the terminator's line",
                   {tcp, lines + "END\r\nlater", endLine, 150, 0, endLine});
        }
        addRow("bytes right behind the terminator's block", {false, lines + "END\r\nlater", endLine, 30, 0, endLine});
        addRow("bytes right behind the terminator's block", {true, lines + "END\r\nlater", endLine, 30, 0, -1});
        addRow("a pause longer than the time-out", {true, lines + "END\r\n", 60, 400, 0, -1});
    }

    // Over a longer file of an earlier download, which only a whole dump replaces.
    void download()
    {
        QFETCH(Dump, dump);
        const QByteArray earlier(500, 'x');
        writeFile("ST1234_data.log", earlier);
        LinkBench bench(dump.tcp);
        QVERIFY(bench.link->connectDevice());
        bench.link->setBurstSilenceLimit(dump.result ? 200 : LinkBench::kBurstSilenceMs);
        bench.station.setDump(dump.bytes);
        bench.station.setDumpBlocks(dump.blockBytes, dump.pauseMs);
        QCOMPARE(int(bench.link->readBurstData("ST1234")), dump.result);
        QCOMPARE(readFile("ST1234_data.log"),
                 dump.result ? earlier : dump.bytes.left(dump.kept < 0 ? dump.bytes.size() : dump.kept));
        QCOMPARE(readFile("ST1234_data.log.part"), dump.result ? dump.bytes : "(none)");
        const QString part = QDir::current().absoluteFilePath("ST1234_data.log.part");
        QVERIFY(!dump.result || bench.link->burstFailureDetail().contains(part));
        QCOMPARE(bench.station.receivedCommands(), QByteArrayList{"BURSTMODEF:OK\r\n"});
        QFile::remove(part);
    }

    // Stations that never stop: each is cut off at its bound, within a second or so.
    void bounds_data()
    {
        QTest::addColumn<Dump>("dump");
        const QByteArray end = "ID=1&Response=A&Date=B\r\nEND\r\n";
        const QByteArray chatter = QByteArray(98, 'x').append("\r\n").repeated(700);
        for (const bool tcp : {false, true}) {
            // Serial: the block of 400 bytes that holds the terminator is the last.
            addRow("talking on after the terminator",
                   {tcp, end + chatter, 400, 20, 0, tcp ? int(end.size()) + 64 * 1024 : 400});
            addRow("a dump past the size limit", {tcp, chatter, 400, 20, 1, 20001});
        }
    }

    void bounds()
    {
        QFETCH(Dump, dump);
        LinkBench bench(dump.tcp);
        QVERIFY(bench.link->connectDevice());
        bench.link->setBurstSizeLimit(20000);
        bench.link->setBurstFileName("bounded.log");
        bench.station.setDump(dump.bytes);
        bench.station.setDumpBlocks(dump.blockBytes, dump.pauseMs);
        const QDeadlineTimer soon(2500);
        QCOMPARE(int(bench.link->readBurstData("ST1234")), dump.result);
        QVERIFY(!soon.hasExpired());
        const QByteArray kept = readFile(dump.result ? "bounded.log.part" : "bounded.log");
        QVERIFY2(kept.size() > 0 && kept.size() <= dump.kept && dump.bytes.startsWith(kept),
                 QByteArray::number(kept.size()));
        QFile::remove("bounded.log");
        QFile::remove("bounded.log.part");
    }

    // A file that cannot be made is no reason to ask the station; a closed serial port cannot deliver.
    void failuresEndAtOnce()
    {
        LinkBench serial(false), tcp(true);
        const QDeadlineTimer soon(LinkBench::kBurstSilenceMs / 2);
        QCOMPARE(serial.link->readBurstData("CLOSED"), kFailure);
        QVERIFY(!soon.hasExpired());
        QVERIFY(!QFileInfo::exists("CLOSED_data.log") && QFileInfo("CLOSED_data.log.part").size() == 0);
        QVERIFY(QDir().mkdir("X_data.log.part"));
        QCOMPARE(tcp.link->readBurstData("X"), kFailure);
        QCOMPARE(tcp.tcp.connectionCount(), 0);
        QVERIFY(tcp.link->burstFailureDetail().startsWith("Could not create " + QDir::current().absoluteFilePath("X_data.log.part")));
    }

    // A disk that fills up fails the download and says why; the earlier file stays. Needs root for the mount.
    void fullDisk()
    {
        QTemporaryDir mountPoint;
        if (geteuid() != 0 || QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", mountPoint.path()}))
            QSKIP("needs root to mount a small tmpfs");
        const QString earlierPath = mountPoint.filePath("ST1234_data.log");
        writeFile(earlierPath, "earlier");
        LinkBench bench(true);
        bench.link->setBurstFileName(earlierPath);
        bench.station.setBurstLineCount(5000);
        const CommandResult result = bench.link->readBurstData("ST1234");
        const QString detail = bench.link->burstFailureDetail();
        const QByteArray part = readFile(earlierPath + ".part"), earlier = readFile(earlierPath);
        QProcess::execute("umount", {mountPoint.path()});
        QCOMPARE(result, kFailure);
        QCOMPARE(earlier, QByteArray("earlier"));
        QVERIFY2(detail.contains("No space left on device") && detail.contains(earlierPath + ".part"), qPrintable(detail));
        QVERIFY(part.size() > 0 && bench.station.dumpBytes().startsWith(part));
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
