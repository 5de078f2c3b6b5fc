// Builds the platform's requests from an arbitrary token, station serial and
// records, and checks what must hold whatever they hold: a token with a control
// character left after trimming makes no request; any other request head has
// exactly its header lines, none holding a line end of its own, and ends at the
// first blank line; the serial and the records read back from the request as
// the platform reads a form.

#include "platformrequest.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>
#include <QUrlQuery>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

const QString kBaseUrl = QStringLiteral("https://platform.example:8443/en");
const QByteArray kHeaderEnd("\r\n\r\n");

void check(bool condition)
{
    if (!condition)
        abort();
}

bool holdsControl(const QString &text)
{
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control)
            return true;
    }
    return false;
}

// A form or a query as the platform reads it: "+" is a blank, %XX a byte of UTF-8 text.
QList<QPair<QString, QString>> formItems(QByteArray text)
{
    text.replace('+', "%20");
    return QUrlQuery(QString::fromLatin1(text)).queryItems(QUrl::FullyDecoded);
}

// Splits the request into head lines and body, checking the head's shape; returns the body.
QByteArray checkHead(const QByteArray &request, const QByteArray &method, const QByteArray &token,
                     QByteArray &target)
{
    const int headEnd = request.indexOf(kHeaderEnd);
    check(headEnd > 0);
    const QList<QByteArray> lines = request.left(headEnd).split('\n');
    QList<QByteArray> names{"Host", "Content-Type", "Authorization"};
    if (method == "POST")
        names << "Content-Length";
    names << "Connection" << "Accept-Encoding" << "Accept-Language" << "User-Agent";
    check(lines.size() == names.size() + 1);
    for (int i = 0; i < lines.size(); ++i) {
        // Every line but the last of the head ends in CR LF, and holds no other CR.
        QByteArray line = lines.at(i);
        check(line.endsWith('\r') || i == lines.size() - 1);
        if (line.endsWith('\r'))
            line.chop(1);
        check(!line.contains('\r'));
        if (i == 0) {
            const QList<QByteArray> words = line.split(' ');
            check(words.size() == 3 && words.at(0) == method && words.at(2) == "HTTP/1.1"
                  && words.at(1).startsWith('/'));
            target = words.at(1);
            continue;
        }
        check(line.startsWith(names.at(i - 1) + ": "));
        if (names.at(i - 1) == "Authorization")
            check(line.mid(names.at(i - 1).size() + 2) == token);
    }
    const QByteArray body = request.mid(headEnd + kHeaderEnd.size());
    if (method == "POST")
        check(lines.at(4) == "Content-Length: " + QByteArray::number(body.size()) + '\r');
    return body;
}

} // namespace

// The first byte gives the token's length, the second the serial's, the third
// whether the packet is the last; the token, the serial and the records follow,
// as UTF-8 text.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 3)
        return 0;
    const char *text = reinterpret_cast<const char *>(data) + 3;
    const int rest = int(size) - 3;
    const int tokenBytes = qMin<int>(data[0], rest);
    const int serialBytes = qMin<int>(data[1], rest - tokenBytes);
    const bool end = data[2] & 1;
    const QString token = QString::fromUtf8(text, tokenBytes);
    const QString serial = QString::fromUtf8(text + tokenBytes, serialBytes);
    const QString records = QString::fromUtf8(text + tokenBytes + serialBytes, rest - tokenBytes - serialBytes);

    const PlatformRequest requests(token, serial, kBaseUrl);
    const QByteArray authentication = requests.authentication();
    const QByteArray packet = requests.packet(240, 100000, end, records);
    const bool safe = !holdsControl(token.trimmed());
    check(requests.hasSafeToken() == safe);
    if (!safe) {
        check(authentication.isEmpty() && packet.isEmpty());
        return 0;
    }
    const QByteArray sentToken = token.trimmed().toUtf8();

    QByteArray target;
    check(checkHead(authentication, "GET", sentToken, target).isEmpty());
    const int query = target.indexOf('?');
    check(target.left(query) == "/en/sensor/datalogger/connect/");
    const auto asked = formItems(target.mid(query + 1));
    check(asked.size() == 1 && asked.at(0).first == "apm" && asked.at(0).second == serial);

    const auto form = formItems(checkHead(packet, "POST", sentToken, target));
    check(target == "/en/sensor/datalogger/send/");
    QList<QPair<QString, QString>> expected{{"apm", serial}, {"current", "240"}, {"total", "100000"}};
    if (end)
        expected << qMakePair(QStringLiteral("end"), QStringLiteral("1"));
    expected << qMakePair(QStringLiteral("data"), records);
    check(form == expected);
    return 0;
}
