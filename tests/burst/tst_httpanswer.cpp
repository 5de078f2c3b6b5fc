#include "httpanswer.h"

#include <QtTest>

class TestHttpAnswer : public QObject
{
    Q_OBJECT

private slots:
    void read_data();
    void read();
};

namespace {

const QByteArray kJson(R"({"status": true})");
const QByteArray kOk("HTTP/1.1 200 OK\r\n");
const QByteArray kChunkedHead = kOk + "Transfer-Encoding: chunked\r\n\r\n";
// Extensions after the sizes, the body cut inside a word, a trailer field at the end.
const QByteArray kChunked = kChunkedHead + "4;ext=\"a;b\"\r\n{\"st\r\nC \r\natus\": true}\r\n"
                                           "0\r\nExpires: never\r\n\r\n";
const QByteArray kGzipJson("\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\x03\xab\x56\x2a\x2e\x49\x2c\x29"
                           "\x2d\x56\xb2\x52\x28\x29\x2a\x4d\xad\x05\x00\x69\xe0\xc8\x98\x10\x00"
                           "\x00\x00", 36);
// qCompress puts the length in front of a zlib stream; the raw stream lies inside that one.
const QByteArray kZlibJson = qCompress(kJson).mid(4);
const QByteArray kRawDeflateJson = kZlibJson.mid(2).chopped(4);

QByteArray lengthHead(int length, const QByteArray &fields = QByteArray())
{
    return kOk + fields + "Content-Length: " + QByteArray::number(length) + "\r\n\r\n";
}

// The pieces as they are (step 0), or all their bytes in pieces of step bytes.
void feed(HttpAnswer &answer, const QByteArrayList &pieces, int step)
{
    const QByteArray bytes = pieces.join();
    if (step == 0) {
        for (const QByteArray &piece : pieces)
            answer.feed(piece);
    }
    for (int at = 0; step > 0 && at < bytes.size(); at += step)
        answer.feed(QByteArray::fromRawData(bytes.constData() + at, qMin(step, bytes.size() - at)));
}

void complete(const char *name, const QByteArrayList &pieces, bool closed, int status,
              const QByteArray &body, bool keeps, const QByteArray &cookies = QByteArray())
{
    QTest::newRow(name) << pieces << closed << int(HttpAnswer::Complete) << status << body << keeps
                        << cookies;
}

void failed(const char *name, const QByteArrayList &pieces, bool closed = false)
{
    QTest::newRow(name) << pieces << closed << int(HttpAnswer::Failed) << 0 << QByteArray() << false
                        << QByteArray();
}

void reading(const char *name, const QByteArrayList &pieces)
{
    QTest::newRow(name) << pieces << false << int(HttpAnswer::Reading) << 0 << QByteArray() << false
                        << QByteArray();
}

} // namespace

void TestHttpAnswer::read_data()
{
    QTest::addColumn<QByteArrayList>("pieces");
    QTest::addColumn<bool>("closed");   // the connection ends after the last piece
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("keeps");
    QTest::addColumn<QByteArray>("cookies");

    const QByteArray sized = lengthHead(kJson.size()) + kJson;
    complete("length, one piece", {sized}, false, 200, kJson, true);
    complete("length, head and body apart", {lengthHead(16), kJson}, false, 200, kJson, true);
    complete("length, then the close", {sized}, true, 200, kJson, true);
    complete("bare LF line ends", {"HTTP/1.1 200 OK\nContent-Length: 2\n\nok"}, false, 200, "ok",
             true);
    complete("blank line before the status line", {"\r\n" + sized}, false, 200, kJson, true);
    complete("error status with its body", {"HTTP/1.1 500 Oops\r\nContent-Length: 2\r\n\r\nno"},
             false, 500, "no", true);
    complete("no content", {"HTTP/1.1 204 No Content\r\n\r\n"}, false, 204, "", true);
    complete("interim answers skipped", {"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 102 Processing\r\n",
                                         "\r\n" + sized}, false, 200, kJson, true);
    reading("length, body not all there", {lengthHead(17) + kJson});
    reading("head not all there", {kOk + "Content-Le"});

    complete("chunked in three pieces", {kChunked.left(60), kChunked.mid(60, 5), kChunked.mid(65)},
             false, 200, kJson, true);
    for (int cut = 1; cut < kChunked.size(); ++cut) {
        complete(qPrintable(QStringLiteral("chunked, cut at %1").arg(cut)),
                 {kChunked.left(cut), kChunked.mid(cut)}, false, 200, kJson, true);
    }
    complete("chunked wins over a length", {lengthHead(3, "Transfer-Encoding: chunked\r\n")
                                            + "2\r\nok\r\n0\r\n\r\n"}, false, 200, "ok", false);

    complete("Connection: close", {lengthHead(16, "Connection: close\r\n") + kJson}, false, 200,
             kJson, false);
    complete("close in a folded field", {lengthHead(16, "Connection: keep-alive,\r\n\t close\r\n")
                                         + kJson}, false, 200, kJson, false);
    complete("HTTP/1.0 closes by default", {"HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok"},
             false, 200, "ok", false);
    complete("HTTP/1.0 asking to keep it", {"HTTP/1.0 200 OK\r\nConnection: Keep-Alive\r\n"
                                            "Content-Length: 2\r\n\r\nok"}, false, 200, "ok", true);
    complete("body up to the close", {kOk + "Connection: close\r\n\r\n{\"sta", "tus\": true}"},
             true, 200, kJson, false);
    reading("body up to the close, still open", {kOk + "\r\n" + kJson});
    complete("cookies, those of interim answers left out",
             {"HTTP/1.1 100 Continue\r\nSet-Cookie: a=0\r\n\r\n"
              + lengthHead(2, "Set-Cookie: a=1; Path=/\r\nX: y\r\nset-cookie: b=2\r\n") + "ok"},
             false, 200, "ok", true, "a=1; Path=/\nb=2");
    complete("bytes beyond the answer", {sized + "HTTP/1.1 200 OK\r\n"}, false, 200, kJson, false);

    complete("gzip", {lengthHead(36, "Content-Encoding: gzip\r\n") + kGzipJson}, false, 200, kJson,
             true);
    complete("deflate", {lengthHead(kZlibJson.size(), "Content-Encoding: deflate\r\n") + kZlibJson},
             false, 200, kJson, true);
    complete("raw deflate", {lengthHead(kRawDeflateJson.size(), "Content-Encoding: deflate\r\n")
                             + kRawDeflateJson}, false, 200, kJson, true);
    failed("broken gzip", {lengthHead(35, "Content-Encoding: gzip\r\n") + kGzipJson.left(35)});
    failed("unknown content coding", {lengthHead(16, "Content-Encoding: br\r\n") + kJson});
    const QByteArray bomb = qCompress(QByteArray(HttpAnswer::kMaxBodyBytes + 1, '0')).mid(4);
    failed("decoded body too large",
           {lengthHead(bomb.size(), "Content-Encoding: deflate\r\n") + bomb});

    failed("nothing before the close", {}, true);
    failed("closed inside the head", {kOk}, true);
    failed("closed inside a sized body", {lengthHead(17) + kJson}, true);
    failed("closed inside a chunked body", {kChunked.chopped(3)}, true);
    failed("not HTTP", {"ICY 200 OK\r\n\r\n"});
    failed("HTTP/2", {"HTTP/2 200\r\n\r\n"});
    failed("status of two digits", {"HTTP/1.1 20 OK\r\n\r\n"});
    failed("protocol switch", {"HTTP/1.1 101 Switching Protocols\r\n\r\n"});
    failed("field without a colon", {kOk + "Content-Length 2\r\n\r\nok"});
    failed("blank in a field name", {kOk + "Content Length: 2\r\n\r\nok"});
    failed("length not a number", {kOk + "Content-Length: -2\r\n\r\nok"});
    failed("two lengths", {kOk + "Content-Length: 2\r\nContent-Length: 3\r\n\r\nok"});
    failed("length over the limit", {lengthHead(HttpAnswer::kMaxBodyBytes + 1)});
    failed("chunk size over the limit", {kChunkedHead + "ffffffffffffffffffff\r\n"});
    failed("chunk size not hex", {kChunkedHead + "1g\r\n"});
    failed("chunk longer than its size", {kChunkedHead + "1\r\nok\r\n0\r\n\r\n"});
    failed("chunked not last", {kOk + "Transfer-Encoding: chunked, gzip\r\n\r\n"});
    failed("unknown transfer coding", {kOk + "Transfer-Encoding: gzip\r\n\r\n"});
    failed("head over the limit", {kOk + "X: " + QByteArray(HttpAnswer::kMaxHeadBytes, 'x')});
    failed("body to the close over the limit",
           {kOk + "\r\n", QByteArray(HttpAnswer::kMaxBodyBytes + 1, 'x')});
}

void TestHttpAnswer::read()
{
    QFETCH(QByteArrayList, pieces);
    QFETCH(bool, closed);
    QFETCH(int, state);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(bool, keeps);
    QFETCH(QByteArray, cookies);

    // The pieces as the row has them, then cut otherwise: the cuts never matter.
    for (const int step : {0, 1, 7}) {
        HttpAnswer answer;
        feed(answer, pieces, step);
        if (closed)
            answer.connectionClosed();
        QCOMPARE(int(answer.state()), state);
        QCOMPARE(answer.status(), status);
        QCOMPARE(answer.body().size(), body.size());
        QCOMPARE(answer.body(), body);
        QCOMPARE(answer.keepsConnection(), keeps);
        QCOMPARE(answer.cookies(), cookies);
        QCOMPARE(answer.hasStarted(), !pieces.join().isEmpty());
    }
}

QTEST_GUILESS_MAIN(TestHttpAnswer)
#include "tst_httpanswer.moc"
