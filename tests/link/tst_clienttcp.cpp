#include "clienttcp.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

// The client runs from the event loop, so the peer is a plain server on loopback
// in the test's own thread; QSignalSpy::wait keeps both sides going.
class TestClientTcp : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void connectingEmitsSignalOnce();
    void eachLineOfOneSegmentIsEmittedInOrder();
    void lineSplitOverSegmentsIsEmittedOnceComplete();
    void textAfterLastLineFeedIsHeldBack();
    void zeroByteEndsTheText();
    void writeSendsTextAndLineFeed();

private:
    // Connects the client to the server and returns the server's end.
    QTcpSocket *connectClient();
    void sendFromPeer(const QByteArray &bytes);
    QStringList lines() const;

    QTcpServer *server = nullptr;
    ClientTcp *client = nullptr;
    QTcpSocket *peer = nullptr;
    QSignalSpy *received = nullptr;
};

void TestClientTcp::init()
{
    server = new QTcpServer;
    QVERIFY(server->listen(QHostAddress::LocalHost));
    client = new ClientTcp;
    received = new QSignalSpy(client, &ClientTcp::signal_write);
    peer = connectClient();
    QVERIFY(peer);
}

void TestClientTcp::cleanup()
{
    delete received;
    delete client;
    delete server;   // deletes the peer socket it handed out
    received = nullptr;
    client = nullptr;
    server = nullptr;
    peer = nullptr;
}

QTcpSocket *TestClientTcp::connectClient()
{
    QSignalSpy connected(client, &ClientTcp::signal_OK_connect);
    QSignalSpy accepted(server, &QTcpServer::newConnection);
    client->connect(QStringLiteral("127.0.0.1"), server->serverPort());
    if (accepted.isEmpty() && !accepted.wait(5000))
        return nullptr;
    if (connected.isEmpty() && !connected.wait(5000))
        return nullptr;
    return server->nextPendingConnection();
}

void TestClientTcp::sendFromPeer(const QByteArray &bytes)
{
    peer->write(bytes);
    peer->flush();
}

QStringList TestClientTcp::lines() const
{
    QStringList result;
    for (const QList<QVariant> &emission : *received)
        result << emission.at(0).toString();
    return result;
}

void TestClientTcp::connectingEmitsSignalOnce()
{
    // init already connected one client; a second one counts its own signal.
    ClientTcp other;
    QSignalSpy connected(&other, &ClientTcp::signal_OK_connect);
    other.connect(QStringLiteral("127.0.0.1"), server->serverPort());
    QVERIFY(connected.wait(5000));
    QTest::qWait(50);
    QCOMPARE(connected.count(), 1);
}

void TestClientTcp::eachLineOfOneSegmentIsEmittedInOrder()
{
    sendFromPeer("first\nsecond\r\n");
    QTRY_COMPARE(received->count(), 2);
    QCOMPARE(lines(), QStringList({"first\n", "second\r\n"}));
}

void TestClientTcp::lineSplitOverSegmentsIsEmittedOnceComplete()
{
    sendFromPeer("hel");
    QTest::qWait(100);
    QCOMPARE(received->count(), 0);
    sendFromPeer("lo\n");
    QTRY_COMPARE(received->count(), 1);
    QTest::qWait(50);
    QCOMPARE(lines(), QStringList({"hello\n"}));
}

void TestClientTcp::textAfterLastLineFeedIsHeldBack()
{
    sendFromPeer("one\ntw");
    QTRY_COMPARE(received->count(), 1);
    QTest::qWait(100);
    QCOMPARE(lines(), QStringList({"one\n"}));
    sendFromPeer("o\n");
    QTRY_COMPARE(received->count(), 2);
    QCOMPARE(lines(), QStringList({"one\n", "two\n"}));
}

void TestClientTcp::zeroByteEndsTheText()
{
    sendFromPeer(QByteArray("ab\0cd\n\xc3\xa9t\xc3\xa9\n", 12));
    QTRY_COMPARE(received->count(), 2);
    QCOMPARE(lines(), QStringList({"ab", QString::fromUtf8("\xc3\xa9t\xc3\xa9\n")}));
}

void TestClientTcp::writeSendsTextAndLineFeed()
{
    client->write(QStringLiteral("abc"));
    QTRY_COMPARE(peer->bytesAvailable(), qint64(4));
    QCOMPARE(peer->readAll(), QByteArray("abc\n"));
}

QTEST_GUILESS_MAIN(TestClientTcp)
#include "tst_clienttcp.moc"
