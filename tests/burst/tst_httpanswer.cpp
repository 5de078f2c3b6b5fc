#include "httpanswer.h"

#include <QtTest>

static const QByteArray kJson(R"({"status": true})"), kOk("HTTP/1.1 200 OK\r\n");
static const QByteArray kChunkedHead = kOk + "Transfer-Encoding: chunked\r\n\r\n";
// Sizes in both cases, an extension, the body cut inside a word, a trailer field at the end.
static const QByteArray kTen("0123456789"), kFifteen = kTen + "abcde";
static const QByteArray kChunked = kChunkedHead + "4;ext=\"a;b\"\r\n{\"st\r\nc \r\natus\": true}\r\na\r\n" + kTen
    + "\r\nF\r\n" + kFifteen + "\r\nA\r\n" + kTen + "\r\nf\r\n" + kFifteen + "\r\n0\r\nExpires: never\r\n\r\n";
static const QByteArray kGzipJson("\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\x03\xab\x56\x2a\x2e\x49\x2c\x29\x2d\x56"
                                  "\xb2\x52\x28\x29\x2a\x4d\xad\x05\x00\x69\xe0\xc8\x98\x10\x00\x00\x00", 36);

static QByteArray sized(const QByteArray &body, const QByteArray &fields = "", int length = -1)
{
    return kOk + fields + "Content-Length: " + QByteArray::number(length < 0 ? body.size() : length) + "\r\n\r\n"
        + body;
}

class TestHttpAnswer : public QObject
{
    Q_OBJECT

private slots:
    void read_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("closed");          // the connection ends after the bytes
        QTest::addColumn<QByteArray>("outcome");   // the status, " kept" if the connection may go on, the body
        const auto row = [](const char *name, const QByteArray &bytes, bool closed, const QByteArray &outcome) {
            QTest::newRow(name) << bytes << closed << outcome;
        };
        const int maxHead = HttpAnswer::kMaxHeadBytes, maxBody = HttpAnswer::kMaxBodyBytes;
        const QByteArray json = sized(kJson), big(maxBody, 'x'), kept = "200 kept ";
        // A head of exactly that many bytes; a body that inflates to that many.
        const auto headOf = [](int bytes) { return sized("ok", "X: " + QByteArray(bytes - 43, 'x') + "\r\n"); };
        const auto bomb = [](int bytes) {
            return sized(qCompress(QByteArray(bytes, '0')).mid(4), "Content-Encoding: deflate\r\n");
        };

        row("length", json, 0, kept + kJson);
        row("length 0", sized(""), 0, kept);
        row("bare LF line ends", "HTTP/1.1 200 OK\nContent-Length: 2\n\nok", 0, kept + "ok");
        row("blank line before the status line", "\r\n" + json, 0, kept + kJson);
        row("no content, no reason", "HTTP/1.1 204\r\n\r\n", 0, "204 kept ");
        row("not modified, a length but no body", "HTTP/1.1 304 X\r\nContent-Length: 5\r\n\r\n", 0, "304 kept ");
        row("interim answers skipped", "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 102 P\r\n\r\n" + json, 0, kept + kJson);
        row("chunked", kChunked, 0, kept + kJson + kTen + kFifteen + kTen + kFifteen);
        row("close in a folded field", sized(kJson, "Connection: keep-alive,\r\n\t close\r\n"), 0, "200 " + kJson);
        row("HTTP/1.0 closes by default", "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok", 0, "200 ok");
        row("HTTP/1.0 kept if asked", "HTTP/1.0 200 OK\r\nConnection: Keep-Alive\r\nContent-Length: 2\r\n\r\nok", 0,
            kept + "ok");
        row("cookies, not those of interim answers", "HTTP/1.1 100 Continue\r\nSet-Cookie: a=0\r\n\r\n"
            + sized("ok", "Set-Cookie: a=1; Path=/\r\nX: y\r\nset-cookie: b=2\r\n"), 0,
            kept + "ok cookies a=1; Path=/\nb=2");
        row("bytes beyond the answer", json + "HTTP/1.1 200 OK\r\n", 0, "200 " + kJson);
        row("gzip", sized(kGzipJson, "Content-Encoding: gzip\r\n"), 0, kept + kJson);
        row("raw deflate", sized(qCompress(kJson).mid(6).chopped(4), "Content-Encoding: deflate\r\n"), 0, kept + kJson);

        row("two codings", sized(kGzipJson, "Content-Encoding: gzip\r\nContent-Encoding: gzip\r\n"), 0, "failed");
        row("not HTTP/1", "HTTP/2.0 200 OK\r\n\r\n", 0, "failed");
        row("status of four digits", "HTTP/1.1 2000 OK\r\n\r\n", 0, "failed");
        row("field without a name", kOk + ": 2\r\n\r\nok", 0, "failed");
        row("blank in a field name", kOk + "Content Length: 2\r\n\r\nok", 0, "failed");
        row("DEL in a field name", kOk + "X\x7f: 2\r\n\r\nok", 0, "failed");
        row("two lengths", sized("ok", "Content-Length: 3\r\n"), 0, "failed");
        row("chunk size not hex", kChunkedHead + "1g\r\n", 0, "failed");
        row("unknown transfer coding", kOk + "Transfer-Encoding: gzip\r\n\r\n", 0, "failed");

        row("head at the limit", headOf(maxHead), 0, kept + "ok");
        row("head over the limit", headOf(maxHead + 1), 0, "failed");
        row("length at the limit", sized(big), 0, kept + big);
        row("length over the limit", sized("", "", maxBody + 1), 0, "failed");
        row("chunk at the limit", kChunkedHead + "400000\r\n" + big + "\r\n0\r\n\r\n", 0, kept + big);
        row("body to the close at the limit", kOk + "\r\n" + big, 1, "200 " + big);
        row("body to the close over the limit", kOk + "\r\n" + big + "x", 0, "failed");
        row("decoded body at the limit", bomb(maxBody), 0, kept + QByteArray(maxBody, '0'));
    }

    void read()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, closed);
        // Whole, in pieces of 1 and of 7 bytes, cut in two at every point: the cuts never matter.
        QList<QByteArrayList> feeds{{bytes}, {}, {}};
        for (int at = 0; bytes.size() < 100000 && at < bytes.size(); ++at) {
            feeds[1] << bytes.mid(at, 1);
            feeds[2] << bytes.mid(at, at % 7 ? 0 : 7);
            if (at > 0 && bytes.size() < 400)
                feeds << QByteArrayList{bytes.left(at), bytes.mid(at)};
        }
        feeds.removeAll(QByteArrayList());
        for (const QByteArrayList &pieces : qAsConst(feeds)) {
            HttpAnswer answer;
            for (const QByteArray &piece : pieces)
                answer.feed(piece);
            if (closed)
                answer.connectionClosed();
            QTEST(answer.state() != HttpAnswer::Complete ? QByteArray(answer.state() ? "failed" : "reading")
                      : QByteArray::number(answer.status())
                      + (answer.keepsConnection() ? " kept " : " ") + answer.body()
                      + (answer.cookies().isEmpty() ? "" : " cookies " + answer.cookies()), "outcome");
        }
    }
};

QTEST_GUILESS_MAIN(TestHttpAnswer)
#include "tst_httpanswer.moc"
