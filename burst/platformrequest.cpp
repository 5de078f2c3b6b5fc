#include "platformrequest.h"

#include <QHostAddress>
#include <QLocale>
#include <QNetworkCookie>
#include <QUrlQuery>

#include <algorithm>

namespace {

const QString kConnectPath = QStringLiteral("/sensor/datalogger/connect/");
const QString kSendPath = QStringLiteral("/sensor/datalogger/send/");
const QByteArray kGet("GET");
const QByteArray kPost("POST");
const QByteArray kFormContentType("application/x-www-form-urlencoded");

bool isControl(char c)
{
    return uchar(c) < 0x20 || c == 0x7f;
}

bool holdsControl(const QString &text)
{
    return std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.category() == QChar::Other_Control; });
}

// QUrlQuery reads "%XX" in a value as an escape already made and leaves "+" as
// it is, which the platform's form reader takes for a blank. Both are escaped
// here so that every value, records included, reaches the platform unchanged.
// (A replacement costs a lot even when it finds nothing: it is made only where needed.)
void addFormItem(QUrlQuery &items, const QString &key, QString value)
{
    if (value.contains(QLatin1Char('%')))
        value.replace(QLatin1Char('%'), QLatin1String("%25"));
    if (value.contains(QLatin1Char('+')))
        value.replace(QLatin1Char('+'), QLatin1String("%2B"));
    items.addQueryItem(key, value);
}

// The request target: path and query, encoded as on the wire.
QByteArray target(const QUrl &url)
{
    return url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveUserInfo
                         | QUrl::RemoveFragment | QUrl::NormalizePathSegments);
}

// The host as the URL names it, with the port when the URL gives one.
QByteArray hostField(const QUrl &url)
{
    QHostAddress address;
    QByteArray host = url.host().toLatin1();
    if (!address.setAddress(url.host()))
        host = QUrl::toAce(url.host());
    else if (address.protocol() == QAbstractSocket::IPv6Protocol)
        host = '[' + host + ']';
    if (url.port() != -1)
        host += ':' + QByteArray::number(url.port());
    return host;
}

// "name=value; name=value", as the platform's cookies have always been given back.
QByteArray cookieField(const QList<QNetworkCookie> &cookies)
{
    QByteArray field;
    for (const QNetworkCookie &cookie : cookies) {
        // Only what the platform sent may come back, and never a line end with it.
        const QByteArray pair = cookie.toRawForm(QNetworkCookie::NameAndValueOnly);
        if (std::any_of(pair.cbegin(), pair.cend(), isControl))
            continue;
        if (!field.isEmpty())
            field += "; ";
        field += pair;
    }
    return field;
}

// The system's language first, then English, then anything.
QByteArray acceptLanguage()
{
    const QString locale = QLocale::system().name().replace(QLatin1Char('_'), QLatin1Char('-'));
    if (locale == QLatin1String("C"))
        return "en,*";
    if (locale.startsWith(QLatin1String("en-")))
        return locale.toLatin1() + ",*";
    return locale.toLatin1() + ",en,*";
}

} // namespace

PlatformRequest::PlatformRequest(const QString &token, const QString &stationSerial,
                                 const QString &baseUrl)
    // A token pasted with a line end or blanks around it is meant without them.
    : token(token.trimmed().toUtf8()),
      stationSerial(stationSerial),
      baseUrl(baseUrl),
      safeToken(!holdsControl(token.trimmed()))
{
}

QUrl PlatformRequest::authenticationUrl() const
{
    QUrlQuery query;
    addFormItem(query, QStringLiteral("apm"), stationSerial);
    QUrl url(baseUrl + kConnectPath);
    url.setQuery(query);
    return url;
}

QUrl PlatformRequest::packetUrl() const
{
    return QUrl(baseUrl + kSendPath);
}

QByteArray PlatformRequest::authentication(const QList<QNetworkCookie> &cookies) const
{
    return request(kGet, authenticationUrl(), QByteArray(), cookies);
}

QByteArray PlatformRequest::packet(unsigned current, unsigned total, bool end, const QString &records,
                                   const QList<QNetworkCookie> &cookies) const
{
    QUrlQuery items;
    addFormItem(items, QStringLiteral("apm"), stationSerial);
    addFormItem(items, QStringLiteral("current"), QString::number(current));
    addFormItem(items, QStringLiteral("total"), QString::number(total));
    if (end)
        addFormItem(items, QStringLiteral("end"), QStringLiteral("1"));
    addFormItem(items, QStringLiteral("data"), records);
    return request(kPost, packetUrl(), items.query(QUrl::FullyEncoded).toUtf8(), cookies);
}

// The platform has always been sent these header fields, in this order and with
// these values; they stay so. The whole request is written at once, head and
// body together: with the body in a write of its own, the system would hold it
// back until the platform acknowledged the head, which it delays by 40 ms or more.
QByteArray PlatformRequest::request(const QByteArray &method, const QUrl &url, const QByteArray &body,
                                    const QList<QNetworkCookie> &cookies) const
{
    if (!safeToken)
        return QByteArray();
    QByteArray text = method + ' ' + target(url) + " HTTP/1.1\r\n";
    text += "Host: " + hostField(url) + "\r\n";
    text += "Content-Type: " + kFormContentType + "\r\n";
    // The token as typed, but for the blanks around it; an empty one goes out empty, and the platform decides.
    text += "Authorization: " + token + "\r\n";
    const QByteArray cookie = cookieField(cookies);
    if (!cookie.isEmpty())
        text += "Cookie: " + cookie + "\r\n";
    if (method == kPost)
        text += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    text += "Connection: Keep-Alive\r\n"
            "Accept-Encoding: gzip, deflate\r\n"
            "Accept-Language: " + acceptLanguage() + "\r\n"
            "User-Agent: Mozilla/5.0\r\n"
            "\r\n";
    return text + body;
}
