// Builds the platform's requests from an arbitrary token, station serial and
// records, and checks what must hold whatever they hold: a token with a control
// character left after trimming makes no request; any other request head has
// exactly its header lines, none holding a line end of its own, and ends at the
// first blank line; the serial and the records read back from the request as
// the platform reads a form.

#include "fuzzcheck.h"
#include "platformrequest.h"


#include <algorithm>
#include <cstdint>

namespace {

using Items = QList<QPair<QString, QString>>;

// A form or a query as the platform reads it: "+" is a blank, %XX a byte of UTF-8 text.
// (QUrlQuery's own decoding does not give back every character, U+FFFF among them.)
Items formItems(const QByteArray &text)
{
    Items items;
    for (QByteArray item : text.split('&')) {
        // By size: Qt 5 reads a QByteArray's text only up to its first zero byte.
        const auto decoded = [](QByteArray part) {
            const QByteArray bytes = QByteArray::fromPercentEncoding(part.replace('+', ' '));
            return QString::fromUtf8(bytes.constData(), bytes.size());
        };
        const int equals = item.indexOf('=');
        items << qMakePair(decoded(item.left(equals)), equals < 0 ? QString() : decoded(item.mid(equals + 1)));
    }
    return items;
}

// Checks the head's request line and header lines, in their order; returns the target and the body.
QByteArray checkRequest(const QByteArray &request, const QByteArray &method, const QByteArray &token,
                        QByteArray &target)
{
    const int headEnd = request.indexOf("\r\n\r\n");
    const QByteArray body = request.mid(headEnd + 4);
    check(headEnd > 0);
    QList<QByteArray> names{"Host", "Content-Type", "Authorization: " + token};
    if (method == "POST")
        names << "Content-Length: " + QByteArray::number(body.size());
    names << "Connection" << "Accept-Encoding" << "Accept-Language" << "User-Agent";
    const QList<QByteArray> lines = request.left(headEnd).split('\n');
    check(lines.size() == names.size() + 1);
    for (int i = 0; i < lines.size(); ++i) {
        // Each line ends in CR LF (the last one's LF is the blank line's), with no other CR.
        const QByteArray line = lines.at(i).left(lines.at(i).size() - (i < lines.size() - 1));
        check(!line.contains('\r') && (i == lines.size() - 1 || lines.at(i).endsWith('\r')));
        const QByteArray name = i ? names.at(i - 1) : QByteArray();
        check(i ? line.startsWith(name + (name.contains(':') ? "" : ": ")) && (!name.contains(':') || line == name)
                : line.count(' ') == 2 && line.startsWith(method + " /") && line.endsWith(" HTTP/1.1"));
    }
    target = lines.first().split(' ').at(1);
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
    const int rest = int(size) - 3, tokenBytes = qMin<int>(data[0], rest);
    const int serialBytes = qMin<int>(data[1], rest - tokenBytes);
    const bool end = data[2] & 1;
    const QString token = QString::fromUtf8(text, tokenBytes).trimmed();
    const QString serial = QString::fromUtf8(text + tokenBytes, serialBytes);
    const QString records = QString::fromUtf8(text + tokenBytes + serialBytes, rest - tokenBytes - serialBytes);

    // QUrl writes a noncharacter such as U+7FFFF as a surrogate's bytes; a station sends none.
    const auto hasNonCharacter = [](const QString &text) {
        const QVector<uint> points = text.toUcs4();
        return std::any_of(points.cbegin(), points.cend(), [](uint c) { return QChar::isNonCharacter(c); });
    };
    if (hasNonCharacter(serial) || hasNonCharacter(records))
        return 0;
    const PlatformRequest requests(QString::fromUtf8(text, tokenBytes), serial, QStringLiteral("https://p.example:8443/en"));
    const QByteArray authentication = requests.authentication();
    const QByteArray packet = requests.packet(240, 100000, end, records);
    const bool safe = std::none_of(token.cbegin(), token.cend(), [](QChar c) { return c.category() == QChar::Other_Control; });
    check(requests.hasSafeToken() == safe && authentication.isEmpty() == !safe && packet.isEmpty() == !safe);
    if (!safe)
        return 0;

    QByteArray target;
    check(checkRequest(authentication, "GET", token.toUtf8(), target).isEmpty());
    const int query = target.indexOf('?');
    check(target.left(query) == "/en/sensor/datalogger/connect/"
          && formItems(target.mid(query + 1)) == Items{{"apm", serial}});

    const Items form = formItems(checkRequest(packet, "POST", token.toUtf8(), target));
    Items expected{{"apm", serial}, {"current", "240"}, {"total", "100000"}};
    if (end)
        expected << qMakePair(QStringLiteral("end"), QStringLiteral("1"));
    check(target == "/en/sensor/datalogger/send/" && form == expected + Items{{"data", records}});
    return 0;
}
