#include "platformclient.h"
#include "simulatedplatform.h"

#include <QtTest>

// The answers to the authentication and to the packets as PlatformAnswer::fromText() reads them; before the packets',
// "drop,": the platform drops its connections first, "idle," or "wait,": the client waits 400 ms first, with an idle
// bound shorter or longer than that. The outcome: the verdicts; requests on connections; those returning the cookie.
// The client: token, station serial, records; the serial and the records as the requests carry them.
struct Run
{
    QString authAnswer, packetAnswer, outcome;
    QStringList client = {"t", "APM-7", "A__B\r\nC__D\r\n", "APM-7", "A__B%0D%0AC__D%0D%0A"};
};
Q_DECLARE_METATYPE(Run)

class TestPlatformClient : public QObject
{
    Q_OBJECT

    SimulatedPlatform platform;

private slots:
    void initTestCase() { QVERIFY(platform.start()); platform.trustInThisProcess(); }

    void init() { platform.reset(); }

    void run_data()
    {
        QTest::addColumn<Run>("run");
        const auto row = [](const char *name, const Run &run) { QTest::newRow(name) << run; };
        const char *accepted = "true true true; 3 on 1; 2", *authFailed = "false true true; 3 on 1; 2";
        const char *nothingSent = "false false false; 0 on 0; 0";
        row("status true, one connection", {"accept", "accept", accepted});
        row("empty token, form characters", {"accept", "accept", accepted, {"", "a+b c&d=e%41", "k=v&+1.5 50%41__d\r\n",
            "a%2Bb%20c%26d%3De%2541", "k%3Dv%26%2B1.5%2050%2541__d%0D%0A"}});
        row("non-ASCII", {"accept", "accept", accepted, {QString::fromUtf8("Bearer t\u00f6k \u6771"), "APM-7",
            QString::fromUtf8("\u00b5g/m\u00b3__d\r\n"), "APM-7", "%C2%B5g/m%C2%B3__d%0D%0A"}});
        row("status false", {"refuse", "refuse", "false false false; 3 on 1; 2"});
        row("status missing", {"missing-status", "accept", authFailed});
        row("status as the string true", {"status-as-string", "accept", authFailed});
        row("not JSON", {"accept", "not-json", "true false false; 3 on 1; 2"});
        row("HTTP 500 with status true", {"http-error", "accept", authFailed});
        row("chunked", {"accept,chunked", "refuse,chunked", "true false false; 3 on 1; 2"});
        row("close-delimited", {"accept,close-delimited", "accept,close-delimited", "true true true; 3 on 3; 2"});
        row("in pieces", {"accept,pieces:9:5", "accept,chunked,pieces:4:3", accepted});
        row("late within the limit", {"accept,late:100", "accept", accepted});
        row("no answer within the limit", {"no-answer", "accept", "false true true; 3 on 2; 1"});
        row("new connection closed before the answer", {"cut:0", "accept", "false true true; 3 on 2; 1"});
        row("kept one closed after the request: not sent again", {"accept", "cut:0", "true false false; 3 on 2; 2"});
        row("kept one closed inside the answer", {"accept", "accept,cut:40", "true false false; 3 on 2; 2"});
        row("kept one closed between the requests: sent again", {"accept", "drop,accept", "true true true; 3 on 2; 2"});
        row("certificate not trusted: no request", {"untrusted", "accept", nothingSent});
        // A pasted token loses its line end; one that would still split the head is never sent.
        const auto token = [](const QString &token) { return QStringList{token, "APM-7", "", "APM-7", ""}; };
        row("token with white space around it", {"accept", "accept", accepted, token(" t \r\n")});
        row("token holding a line break", {"accept", "accept", nothingSent, token("t\r\nX-Injected: 1")});
        row("token holding a control character", {"accept", "accept", nothingSent, token("t\x01")});
        row("kept one idle too long: a new one", {"accept", "idle,accept", "true true true; 3 on 2; 2"});
        // Ended by the platform with a close_notify alone, TCP left open: a request written there would be lost.
        row("kept one ended by a close_notify, TCP open: a new one", {"accept,close-notify-idle:100", "wait,accept",
            "true true true; 3 on 2; 2"});
    }

    // Authentication, a packet, an empty final one: the verdicts, each request as it has always been sent.
    void run()
    {
        QFETCH(Run, run);
        const bool drop = run.packetAnswer.startsWith("drop,"), untrusted = run.authAnswer == "untrusted";
        const bool idle = run.packetAnswer.startsWith("idle,"), wait = idle || run.packetAnswer.startsWith("wait,");
        QVERIFY(platform.setAnswerRule("all=" + run.packetAnswer.mid(drop || wait ? 5 : 0))
                && (platform.setAnswerRule("auth=" + run.authAnswer) || untrusted));
        const QSslConfiguration trusting = QSslConfiguration::defaultConfiguration();
        QSslConfiguration tls = trusting;
        tls.setCaCertificates(untrusted ? QSslConfiguration::systemCaCertificates() : trusting.caCertificates());
        QSslConfiguration::setDefaultConfiguration(tls);
        platform.setAnswerFields("Set-Cookie: s=1; Path=/\r\n");
        PlatformClient platformClient(run.client[0], run.client[1], platform.baseUrl());
        platformClient.setTimeout(500);
        QStringList verdicts{platformClient.authenticate() ? "true" : "false"};
        if (drop)
            platform.dropConnections();
        platformClient.setIdleLimit(idle ? 300 : 10000);
        if (wait)
            QTest::qWait(400);
        platformClient.appendRecord(run.client[2]);
        verdicts << (platformClient.sendPacket(240, 500, false) ? "true" : "false");
        platformClient.clearBuffer();
        verdicts << (platformClient.sendPacket(480, 500, true) ? "true" : "false");
        QSslConfiguration::setDefaultConfiguration(trusting);
        int cookies = 0;
        const QByteArray apm = "apm=" + run.client[3].toLatin1();
        for (const SimulatedPlatform::Request &r : platform.requests()) {
            cookies += r.headers.contains("cookie");
            const bool get = r.method == "GET", final = r.body.contains("&end=1&");
            const QByteArray body = get ? "" : apm + (final ? "&current=480&total=500&end=1&data"
                                                            : "&current=240&total=500&data=" + run.client[4].toLatin1());
            QCOMPARE(r.body, body);
            QCOMPARE(r.head, (get ? "GET /en/sensor/datalogger/connect/?" + apm : "POST /en/sensor/datalogger/send/")
                + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(platform.serverPort())
                + "\r\nContent-Type: application/x-www-form-urlencoded\r\nAuthorization: "
                + run.client[0].trimmed().toUtf8() + "\r\n"
                + (r.headers.contains("cookie") ? "Cookie: s=1\r\n" : "")
                + (get ? "" : "Content-Length: " + QByteArray::number(body.size()) + "\r\n")
                + "Connection: Keep-Alive\r\nAccept-Encoding: gzip, deflate\r\nAccept-Language: "
                + r.headers.value("accept-language") + "\r\nUser-Agent: Mozilla/5.0");   // the run's locale's language
        }
        QCOMPARE(platform.writesAfterCloseNotify(), 0);
        QCOMPARE(QString("%1; %2 on %3; %4").arg(verdicts.join(' ')).arg(platform.requests().size())
                     .arg(platform.tlsConnections()).arg(cookies), run.outcome);
    }

    // A close_notify that came while the client's thread did not serve its events is still seen in time.
    void closeNotifyWhileBusy()
    {
        QThread thread;
        SimulatedPlatform *apart = new SimulatedPlatform;
        apart->moveToThread(&thread);
        connect(&thread, &QThread::finished, apart, &QObject::deleteLater);
        thread.start();
        const auto onThread = [apart](const std::function<void()> &work) {
            QMetaObject::invokeMethod(apart, work, Qt::BlockingQueuedConnection);
        };
        onThread([apart] { QVERIFY(apart->start() && apart->setAnswerRule("auth=accept,close-notify-idle:50")); });
        PlatformClient client("t", "APM-7", apart->baseUrl());
        client.setIdleLimit(10000);
        QVERIFY(client.authenticate());
        QThread::msleep(300);
        const bool sent = client.sendPacket(0, 1, true);
        int requests = 0, lost = 0;
        onThread([&] { requests = apart->requests().size(), lost = apart->writesAfterCloseNotify(); });
        thread.quit();
        thread.wait();
        QVERIFY(sent);
        QCOMPARE(requests, 2);
        QCOMPARE(lost, 0);
    }

    // A handler run inside the wait may not start a second request; it may drop the client, which ends the wait.
    void insideTheWait()
    {
        platform.setDefaultAnswer(SimulatedPlatform::Answer::Never);
        QPointer<PlatformClient> client = new PlatformClient("t", "APM-7", platform.baseUrl());
        client->setTimeout(5000);
        bool nested = true;
        connect(&platform, &SimulatedPlatform::requestReceived, client, [&] {
            nested = platform.requests().size() == 1 && client->sendPacket(0, 1, true);
            delete client;
        });
        const QDeadlineTimer soon(2500);
        QVERIFY(!client->authenticate());
        QVERIFY(!nested && client.isNull() && platform.requests().size() == 1 && !soon.hasExpired());
    }
};

QTEST_GUILESS_MAIN(TestPlatformClient)
#include "tst_platformclient.moc"
