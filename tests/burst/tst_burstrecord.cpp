#include "burstrecord.h"

#include <QtTest>

class TestBurstRecord : public QObject
{
    Q_OBJECT

private slots:
    void decode_data();
    void decode();
};

namespace {

const QString kNoFields = QStringLiteral("Exception : no response and date fields");
const QString kException = QStringLiteral("Exception");

QStringList messages;

void recordMessage(QtMsgType, const QMessageLogContext &, const QString &text)
{
    messages << text;
}

} // namespace

void TestBurstRecord::decode_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("record");
    QTest::addColumn<QString>("debugLine");   // empty: no debug line expected

    QTest::newRow("measurement line")
        << "A&Response=12.5;3;7&Date=2024/03/05:07:00:00&X=1"
        << "12.5;3;7__2024/03/05:07:00:00\r\n" << QString();
    QTest::newRow("minimal A__B") << "x&Response=A&Date=B" << "A__B\r\n" << QString();
    QTest::newRow("date value with a further =")
        << "x&Response=A&Date=B=C" << "A__B\r\n" << QString();
    QTest::newRow("response value with a further =")
        << "x&Response=A=Z&Date=B" << "A__B\r\n" << QString();
    QTest::newRow("date already ending with CR LF")
        << "x&Response=A&Date=B\r\n" << "A__B\r\n" << QString();
    QTest::newRow("swapped order") << "x&Date=B&Response=A" << "B__A\r\n" << QString();
    QTest::newRow("empty response value") << "x&Response=&Date=B" << "__B\r\n" << QString();
    QTest::newRow("empty date value") << "x&Response=A&Date=" << "A__\r\n" << QString();
    QTest::newRow("empty first part") << "&Response=A&Date=B" << "A__B\r\n" << QString();
    QTest::newRow("names taken from elsewhere in the line")
        << "Response Date&k=A&v=B" << "A__B\r\n" << QString();

    QTest::newRow("END alone") << "END" << "END\r\n" << QString();
    QTest::newRow("END inside a word") << "x&Response=A&Date=B&TRENDS=1"
                                       << "END\r\n" << QString();
    QTest::newRow("END before the field check") << "SENDING" << "END\r\n" << QString();
    QTest::newRow("lower-case end is data") << "x&Response=end&Date=B"
                                            << "end__B\r\n" << QString();

    QTest::newRow("empty line") << "" << "" << kNoFields;
    QTest::newRow("no Date word") << "x&Response=A&When=B" << "" << kNoFields;
    QTest::newRow("no Response word") << "x&Reply=A&Date=B" << "" << kNoFields;
    QTest::newRow("words are case-sensitive") << "x&response=A&date=B" << "" << kNoFields;

    QTest::newRow("too few parts") << "Response=A&Date=B" << "" << kException;
    QTest::newRow("one part") << "Response=A;Date=B" << "" << kException;
    QTest::newRow("no = in part 2") << "x&ResponseA&Date=B" << "" << kException;
    QTest::newRow("no = in part 3") << "x&Response=A&DateB" << "" << kException;
    QTest::newRow("empty parts 2 and 3") << "Response Date&&" << "" << kException;
}

void TestBurstRecord::decode()
{
    QFETCH(QString, line);
    QFETCH(QString, record);
    QFETCH(QString, debugLine);

    messages.clear();
    const QtMessageHandler previous = qInstallMessageHandler(recordMessage);
    const QString decoded = BurstRecord::decode(line);
    qInstallMessageHandler(previous);

    QCOMPARE(decoded, record);
    // Exactly the one debug line of the case, or none for a decodable line.
    const QStringList expected = debugLine.isEmpty() ? QStringList() : QStringList{debugLine};
    QCOMPARE(messages, expected);
}

QTEST_GUILESS_MAIN(TestBurstRecord)
#include "tst_burstrecord.moc"
