#include "localports.h"
#include "platformclient.h"
#include "platformtrust.h"
#include "simulatedplatform.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QtTest>

using Answer = SimulatedPlatform::Answer;
using Items = QList<QPair<QString, QString>>;

Q_DECLARE_METATYPE(SimulatedPlatform::Answer)

namespace {

const QString kConnectPath = QStringLiteral("/en/sensor/datalogger/connect/");
const QByteArray kFormType("application/x-www-form-urlencoded");
constexpr int kShortLimitMs = 400;
// Long enough that a wait which is not ended by the test would show.
constexpr int kNestedActionMs = 50;
constexpr int kLateAnswerMs = 300;

} // namespace

class TestPlatformClient : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void authenticationRequest_data();
    void authenticationRequest();
    void packetRequests();
    void packetDataReachesThePlatformUnchanged_data();
    void packetDataReachesThePlatformUnchanged();

    void verdicts_data();
    void verdicts();
    void refusedPacketsOfAnUpload();
    void connectionClosedByThePlatform();
    void silentPlatformEndsAtTheLimit();
    void unreachablePlatformIsAFailure();
    void addedAuthoritiesJoinTheSystems();

    void secondRequestRefusedWhileWaiting();
    void destroyedWhileWaiting();

private:
    QByteArray expectedHead(const QByteArray &requestLine, const QString &token,
                            const SimulatedPlatform::Request &request,
                            const QByteArray &cookies = QByteArray()) const;

    SimulatedPlatform platform;
    QSslConfiguration untrusting;
};

// The head the platform has always been sent, field by field in this order.
QByteArray TestPlatformClient::expectedHead(const QByteArray &requestLine, const QString &token,
                                            const SimulatedPlatform::Request &request,
                                            const QByteArray &cookies) const
{
    // The language follows the system's locale ("en,*" in the C locale, "de-DE,en,*"
    // in a German one): it is taken as received when it has that form.
    QByteArray language = request.headers.value("accept-language");
    if (!language.endsWith(",*"))
        language = "(not a language list)";
    QByteArray head = requestLine + " HTTP/1.1\r\nHost: 127.0.0.1:"
        + QByteArray::number(platform.serverPort()) + "\r\nContent-Type: " + kFormType
        + "\r\nAuthorization: " + token.toUtf8() + "\r\n";
    if (!cookies.isEmpty())
        head += "Cookie: " + cookies + "\r\n";
    if (request.method == "POST")
        head += "Content-Length: " + QByteArray::number(request.body.size()) + "\r\n";
    return head + "Connection: Keep-Alive\r\nAccept-Encoding: gzip, deflate\r\nAccept-Language: "
        + language + "\r\nUser-Agent: Mozilla/5.0";
}

void TestPlatformClient::initTestCase()
{
    QVERIFY(QSslSocket::supportsSsl());
    QVERIFY(platform.start());
    untrusting = QSslConfiguration::defaultConfiguration();
    platform.trustInThisProcess();
}

void TestPlatformClient::init()
{
    platform.reset();
}

void TestPlatformClient::authenticationRequest_data()
{
    QTest::addColumn<QString>("token");
    QTest::addColumn<QString>("serial");
    QTest::addColumn<QByteArray>("query");

    QTest::newRow("plain") << "abc123" << "APM-0042" << QByteArray("apm=APM-0042");
    QTest::newRow("spaces and non-ASCII token") << QString::fromUtf8("Bearer t\u00f6k en \u6771")
                                                << "APM-0042" << QByteArray("apm=APM-0042");
    QTest::newRow("empty token") << QString() << "APM-0042" << QByteArray("apm=APM-0042");
    QTest::newRow("serial with form characters") << "abc" << "a+b c&d=e%41"
                                                 << QByteArray("apm=a%2Bb%20c%26d%3De%2541");
    QTest::newRow("no serial received") << "abc" << "noserialreceived"
                                        << QByteArray("apm=noserialreceived");
}

void TestPlatformClient::authenticationRequest()
{
    QFETCH(QString, token);
    QFETCH(QString, serial);
    QFETCH(QByteArray, query);

    PlatformClient client(token, serial, platform.baseUrl());
    QVERIFY(client.authenticate());

    QCOMPARE(platform.requests().size(), 1);
    const SimulatedPlatform::Request request = platform.requests().first();
    QCOMPARE(request.head,
             expectedHead("GET /en/sensor/datalogger/connect/?" + query, token, request));
    QCOMPARE(request.queryItems, (Items{{"apm", serial}}));
    QVERIFY(request.body.isEmpty());
}

void TestPlatformClient::packetRequests()
{
    platform.setAnswerFields("Set-Cookie: sessionid=abc123; Path=/; HttpOnly\r\n"
                             "Set-Cookie: csrftoken=x\"y; Path=/en/\r\n");
    PlatformClient client(QStringLiteral("tok en"), QStringLiteral("APM-7"), platform.baseUrl());
    client.appendRecord(QStringLiteral("A__B\r\n"));
    client.appendRecord(QStringLiteral("C__D\r\n"));
    QVERIFY(client.sendPacket(0, 500, false));
    // The caller empties the buffer; sending alone does not.
    QVERIFY(client.sendPacket(240, 500, false));
    client.clearBuffer();
    QVERIFY(client.sendPacket(480, 500, true));

    const QList<SimulatedPlatform::Request> requests = platform.requests();
    QCOMPARE(requests.size(), 3);
    // The platform's cookies go back with every later request, the most specific path first.
    for (int i = 0; i < requests.size(); ++i) {
        QCOMPARE(requests.at(i).head,
                 expectedHead("POST /en/sensor/datalogger/send/", "tok en", requests.at(i),
                              i == 0 ? "" : "csrftoken=x\"y; sessionid=abc123"));
    }
    QCOMPARE(requests.at(0).bodyItems, (Items{{"apm", "APM-7"}, {"current", "0"},
                                              {"total", "500"}, {"data", "A__B\r\nC__D\r\n"}}));
    QCOMPARE(requests.at(1).bodyItems, (Items{{"apm", "APM-7"}, {"current", "240"},
                                              {"total", "500"}, {"data", "A__B\r\nC__D\r\n"}}));
    // The final packet says so and still carries its (empty) data.
    QCOMPARE(requests.at(2).bodyItems, (Items{{"apm", "APM-7"}, {"current", "480"},
                                              {"total", "500"}, {"end", "1"}, {"data", ""}}));
}

void TestPlatformClient::packetDataReachesThePlatformUnchanged_data()
{
    QTest::addColumn<QString>("records");
    QTest::addColumn<QByteArray>("encodedPiece");

    QTest::newRow("line ends") << "A__B\r\nC__D\r\n" << QByteArray("A__B%0D%0AC__D%0D%0A");
    QTest::newRow("ampersand and equals") << "k=v&x__y\r\n" << QByteArray("k%3Dv%26x__y");
    QTest::newRow("plus is not a blank") << "+1.5 +2__d\r\n" << QByteArray("%2B1.5%20%2B2__d");
    QTest::newRow("percent stays literal") << "50%41__d\r\n" << QByteArray("50%2541__d");
    QTest::newRow("non-ASCII as UTF-8") << QString::fromUtf8("\u00b5g/m\u00b3__d\r\n")
                                        << QByteArray("%C2%B5g/m%C2%B3__d");
}

void TestPlatformClient::packetDataReachesThePlatformUnchanged()
{
    QFETCH(QString, records);
    QFETCH(QByteArray, encodedPiece);

    PlatformClient client(QStringLiteral("t"), QStringLiteral("APM-7"), platform.baseUrl());
    client.appendRecord(records);
    QVERIFY(client.sendPacket(0, 1, true));

    QCOMPARE(platform.requests().size(), 1);
    const SimulatedPlatform::Request request = platform.requests().first();
    QVERIFY2(request.body.contains("&data=" + encodedPiece), request.body.constData());
    QCOMPARE(SimulatedPlatform::item(request.bodyItems, QStringLiteral("data")), records);
}

void TestPlatformClient::verdicts_data()
{
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<bool>("expected");

    QTest::newRow("status true") << Answer::Accept << true;
    QTest::newRow("status false") << Answer::Refuse << false;
    QTest::newRow("status missing") << Answer::MissingStatus << false;
    QTest::newRow("status as the string true") << Answer::StatusAsString << false;
    QTest::newRow("body not JSON") << Answer::NonJson << false;
    QTest::newRow("HTTP error with status true") << Answer::HttpError << false;
}

void TestPlatformClient::verdicts()
{
    QFETCH(Answer, answer);
    QFETCH(bool, expected);

    platform.setDefaultAnswer(answer);
    PlatformClient client(QStringLiteral("t"), QStringLiteral("APM-7"), platform.baseUrl());
    QCOMPARE(client.authenticate(), expected);
    QCOMPARE(client.sendPacket(0, 0, false), expected);
    QCOMPARE(client.sendPacket(0, 0, true), expected);
    QCOMPARE(platform.requests().size(), 3);
}

void TestPlatformClient::refusedPacketsOfAnUpload()
{
    platform.setAuthenticationAnswer(Answer::Accept);
    platform.setPacketAnswer(1, Answer::Refuse);
    platform.setFinalPacketAnswer(Answer::Refuse);
    PlatformClient client(QStringLiteral("t"), QStringLiteral("APM-7"), platform.baseUrl());

    QVERIFY(client.authenticate());
    QVERIFY(client.sendPacket(0, 720, false));
    QVERIFY(!client.sendPacket(240, 720, false));
    QVERIFY(client.sendPacket(480, 720, false));
    QVERIFY(!client.sendPacket(720, 720, true));
    // The whole upload, refusals included, runs over one kept-alive connection.
    QCOMPARE(platform.requests().size(), 5);
    QCOMPARE(platform.tlsConnections(), 1);

    platform.reset();
    platform.setAuthenticationAnswer(Answer::Refuse);
    QVERIFY(!client.authenticate());
    QVERIFY(client.sendPacket(0, 0, true));
}

void TestPlatformClient::connectionClosedByThePlatform()
{
    PlatformClient client(QStringLiteral("t"), QStringLiteral("APM-7"), platform.baseUrl());
    QVERIFY(client.sendPacket(0, 480, false));
    // Closed while kept between two packets: the next one goes out again on a new connection.
    platform.dropConnections();
    QVERIFY(client.sendPacket(240, 480, true));
    QCOMPARE(platform.requests().size(), 2);
    QCOMPARE(SimulatedPlatform::item(platform.requests().at(1).bodyItems, "current"), QString("240"));
    QCOMPARE(platform.tlsConnections(), 2);
    // Closed once the packet came on the kept connection: the platform may keep it, so it goes out once.
    platform.setPacketAnswer(2, *PlatformAnswer::fromText("cut:0"));
    QVERIFY(!client.sendPacket(480, 480, true));
    QCOMPARE(platform.requests().size(), 3);

    // A new connection closed before the answer is a failure, with no second try.
    platform.setDefaultAnswer(Answer::Never);
    QObject closer;
    connect(&platform, &SimulatedPlatform::requestReceived, &closer,
            [this] { platform.dropConnections(); }, Qt::QueuedConnection);
    PlatformClient other(QStringLiteral("t"), QStringLiteral("APM-7"), platform.baseUrl());
    QVERIFY(!other.authenticate());
    QCOMPARE(platform.requests().size(), 4);
}

void TestPlatformClient::silentPlatformEndsAtTheLimit()
{
    PlatformClient client(QStringLiteral("t"), QStringLiteral("APM-7"), platform.baseUrl());
    QCOMPARE(client.timeout(), 30000);

    platform.setDefaultAnswer(Answer::Never);
    client.setTimeout(kShortLimitMs);
    QVERIFY(!client.authenticate());
    QVERIFY(!client.sendPacket(0, 1, true));
    QCOMPARE(platform.requests().size(), 2);

    // The abandoned requests leave the client fit for the next one.
    platform.setDefaultAnswer(Answer::Accept);
    QVERIFY(client.sendPacket(0, 1, true));
}

void TestPlatformClient::unreachablePlatformIsAFailure()
{
    const QSslConfiguration trusting = QSslConfiguration::defaultConfiguration();
    // The platform's certificate is trusted no more in this process.
    QSslConfiguration::setDefaultConfiguration(untrusting);
    for (const QString &base : {QStringLiteral("https://127.0.0.1:%1/en").arg(closedLocalPort()),
                                platform.baseUrl()}) {
        PlatformClient client(QStringLiteral("t"), QStringLiteral("APM-7"), base);
        QVERIFY(!client.authenticate());
        QVERIFY(!client.sendPacket(0, 1, true));
    }
    QSslConfiguration::setDefaultConfiguration(trusting);
    // The handshake itself may complete; no request may follow it.
    QVERIFY(platform.requests().isEmpty());
}

void TestPlatformClient::addedAuthoritiesJoinTheSystems()
{
    QSslConfiguration tls;
    PlatformTrust::addAuthorities(tls);   // a build without an extra authority file
    QCOMPARE(tls, QSslConfiguration());
    PlatformTrust::addAuthorities(tls, {platform.authorityCertificate()});
    const QList<QSslCertificate> trusted = tls.caCertificates();
    const QList<QSslCertificate> expected =
        QSslConfiguration::systemCaCertificates() << platform.authorityCertificate();
    QCOMPARE(QSet<QSslCertificate>(trusted.begin(), trusted.end()),
             QSet<QSslCertificate>(expected.begin(), expected.end()));
}

// A handler running inside the wait cannot start a second request on the client.
void TestPlatformClient::secondRequestRefusedWhileWaiting()
{
    platform.setAnswerDelay(kLateAnswerMs);
    PlatformClient client(QStringLiteral("t"), QStringLiteral("APM-7"), platform.baseUrl());
    bool nestedVerdict = true;
    QTimer::singleShot(kNestedActionMs, &client,
                       [&] { nestedVerdict = client.sendPacket(0, 1, true); });
    QVERIFY(client.authenticate());
    QVERIFY(!nestedVerdict);
    QCOMPARE(platform.requests().size(), 1);
    QCOMPARE(platform.requests().first().path, kConnectPath);
}

void TestPlatformClient::destroyedWhileWaiting()
{
    platform.setDefaultAnswer(Answer::Never);
    auto *client = new PlatformClient(QStringLiteral("t"), QStringLiteral("APM-7"),
                                      platform.baseUrl());
    QPointer<PlatformClient> watch(client);
    // Dropped by a handler once the request is out and waiting for its answer.
    connect(&platform, &SimulatedPlatform::requestReceived, client, [client] { delete client; });

    QElapsedTimer clock;
    clock.start();
    QVERIFY(!client->sendPacket(0, 1, true));
    QVERIFY(watch.isNull());
    // The wait ended with the client, well before its 30 s limit.
    QVERIFY(clock.elapsed() < PlatformClient::kDefaultTimeoutMs / 3);
    QCOMPARE(platform.requests().size(), 1);
}

QTEST_GUILESS_MAIN(TestPlatformClient)
#include "tst_platformclient.moc"
