#include "platformclient.h"

#include "httpanswer.h"
#include "platformtrust.h"

#include <QDeadlineTimer>
#include <QDebug>
#include <QEventLoop>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QNetworkCookie>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>

#include <algorithm>

namespace {

const QString kConnectPath = QStringLiteral("/sensor/datalogger/connect/");
const QString kSendPath = QStringLiteral("/sensor/datalogger/send/");
const QByteArray kGet("GET");
const QByteArray kPost("POST");
const QByteArray kFormContentType("application/x-www-form-urlencoded");
const QString kSecureScheme = QStringLiteral("https");
const QString kStatusMember = QStringLiteral("status");
constexpr int kHttpsPort = 443;
constexpr int kHttpPort = 80;
constexpr int kFirstErrorStatus = 400;

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
        if (std::any_of(pair.cbegin(), pair.cend(), [](char c) { return uchar(c) < 0x20 || c == 0x7f; }))
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

PlatformClient::PlatformClient(const QString &token, const QString &stationSerial,
                               QObject *parent)
    : PlatformClient(token, stationSerial, QStringLiteral(MARLOWDESK_PLATFORM_URL), parent)
{
}

PlatformClient::PlatformClient(const QString &token, const QString &stationSerial,
                               const QString &baseUrl, QObject *parent)
    : QObject(parent),
      // A token pasted with a line end or blanks around it is meant without them.
      token(token.trimmed()),
      stationSerial(stationSerial),
      baseUrl(baseUrl)
{
}

PlatformClient::~PlatformClient()
{
    // A handler may drop the client while one of its requests still waits in the
    // event loop: that wait ends at once and leaves the destroyed client alone.
    // Its connection, about to go with the client, must not call it any more.
    if (waiting)
        waiting->quit();
    if (connection)
        connection->disconnect();
}

void PlatformClient::appendRecord(const QString &record)
{
    buffer += record;
}

void PlatformClient::clearBuffer()
{
    buffer.clear();
}

bool PlatformClient::authenticate()
{
    if (isWaiting())
        return false;
    QUrlQuery query;
    addFormItem(query, QStringLiteral("apm"), stationSerial);
    const QUrl url = platformUrl(kConnectPath, query);
    return exchange(url, request(kGet, url, QByteArray()), true);
}

bool PlatformClient::sendPacket(unsigned current, unsigned total, bool end)
{
    if (isWaiting())
        return false;
    qDebug() << "buffer size (bytes) = ";
    qDebug() << buffer.size();

    QUrlQuery items;
    addFormItem(items, QStringLiteral("apm"), stationSerial);
    addFormItem(items, QStringLiteral("current"), QString::number(current));
    addFormItem(items, QStringLiteral("total"), QString::number(total));
    if (end)
        addFormItem(items, QStringLiteral("end"), QStringLiteral("1"));
    addFormItem(items, QStringLiteral("data"), buffer);

    const QUrl url = platformUrl(kSendPath, QUrlQuery());
    return exchange(url, request(kPost, url, items.query(QUrl::FullyEncoded).toUtf8()), false);
}

// TLS 1.2 or later against the system's trusted authorities, the peer always
// verified. Working out the authorities takes long enough to be done once per
// upload, not once per connection.
QSslConfiguration PlatformClient::tlsConfiguration()
{
    if (!tls) {
        QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
        configuration.setProtocol(QSsl::TlsV1_2OrLater);
        PlatformTrust::addAuthorities(configuration);
        tls = configuration;
    }
    return *tls;
}

// A token that still holds a control character after trimming would split the
// request head: it is never sent.
bool PlatformClient::hasSafeToken() const
{
    return std::none_of(token.cbegin(), token.cend(),
                        [](QChar c) { return c.category() == QChar::Other_Control; });
}

// One request at a time: a handler running inside the wait must not start a
// second one on the same client.
bool PlatformClient::isWaiting() const
{
    if (waiting)
        qDebug() << "platform request refused: another one is still waiting";
    return !waiting.isNull();
}

QUrl PlatformClient::platformUrl(const QString &path, const QUrlQuery &query) const
{
    QUrl url(baseUrl + path);
    if (!query.isEmpty())
        url.setQuery(query);
    qDebug() << url;
    return url;
}

// The platform has always been sent these header fields, in this order and with
// these values; they stay so. The whole request is written at once, head and
// body together: with the body in a write of its own, the system would hold it
// back until the platform acknowledged the head, which it delays by 40 ms or more.
QByteArray PlatformClient::request(const QByteArray &method, const QUrl &url,
                                   const QByteArray &body) const
{
    QByteArray text = method + ' ' + target(url) + " HTTP/1.1\r\n";
    text += "Host: " + hostField(url) + "\r\n";
    text += "Content-Type: " + kFormContentType + "\r\n";
    // The token exactly as typed; an empty one goes out empty, and the platform decides.
    text += "Authorization: " + token.toUtf8() + "\r\n";
    const QList<QNetworkCookie> cookies = cookieJar.cookiesForUrl(url);
    if (!cookies.isEmpty())
        text += "Cookie: " + cookieField(cookies) + "\r\n";
    if (method == kPost)
        text += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    text += "Connection: Keep-Alive\r\n"
            "Accept-Encoding: gzip, deflate\r\n"
            "Accept-Language: " + acceptLanguage() + "\r\n"
            "User-Agent: Mozilla/5.0\r\n"
            "\r\n";
    return text + body;
}

// Sends the request, never waiting longer than the time limit, and reads the
// platform's "status" from its answer. Anything but a complete answer without an
// error status whose status is the JSON value true is a refusal.
bool PlatformClient::exchange(const QUrl &url, const QByteArray &request, bool logAnswer)
{
    if (!hasSafeToken()) {
        qDebug() << "platform request not sent: the token holds control characters";
        return false;
    }
    const QDeadlineTimer deadline(timeoutMs);
    if (!hasOpenConnection())
        openConnection(url);
    HttpAnswer answer;
    QString failure;
    // A request is never sent twice: a platform that closes the connection
    // without answering may still have taken it, and a packet must arrive once.
    const Attempt result = attempt(request, answer, deadline, failure);
    if (result == Attempt::ClientGone)
        return false;

    if (result == Attempt::Answered)
        cookieJar.setCookiesFromUrl(QNetworkCookie::parseCookies(answer.cookies()), url);
    if (result == Attempt::Answered && answer.status() >= kFirstErrorStatus)
        failure = QStringLiteral("HTTP status %1").arg(answer.status());
    // A connection that still has some of the request to send (the platform
    // answered early) would hand the rest to the platform as the next request.
    if (result != Attempt::Answered || !answer.keepsConnection() || connection->bytesToWrite() > 0)
        dropConnection();
    else
        idle.start();
    if (!failure.isEmpty())
        qDebug() << "platform request failed:" << failure;
    const QJsonObject object = QJsonDocument::fromJson(answer.body()).object();
    if (logAnswer)
        qDebug() << object;
    return failure.isEmpty() && object.value(kStatusMember).toBool(false);
}

// Writes the request on the connection and waits until its answer is read, the
// connection ends, the time limit passes or the client is destroyed.
PlatformClient::Attempt PlatformClient::attempt(const QByteArray &request, HttpAnswer &answer,
                                                const QDeadlineTimer &deadline, QString &failure)
{
    const QPointer<PlatformClient> self(this);
    QSslSocket *socket = connection;
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    const auto read = [&] {
        answer.feed(socket->readAll());
        if (answer.state() != HttpAnswer::Reading)
            loop.quit();
    };
    connect(socket, &QIODevice::readyRead, &loop, read);
    connect(socket, &QAbstractSocket::disconnected, &loop, [&] {
        read();
        answer.connectionClosed();
        loop.quit();
    });
    connect(socket, &QAbstractSocket::errorOccurred, &loop, [&](QAbstractSocket::SocketError e) {
        // The end of a connection that the platform closes is read to its last byte above.
        if (e == QAbstractSocket::RemoteHostClosedError)
            return;
        failure = socket->errorString();
        loop.quit();
    });
    connect(&limit, &QTimer::timeout, &loop, [&] {
        failure = QStringLiteral("no answer in time");
        loop.quit();
    });

    socket->write(request);
    if (socket->state() == QAbstractSocket::UnconnectedState) {
        failure = socket->errorString();
        return Attempt::Failed;
    }
    limit.start(int(qMax<qint64>(0, deadline.remainingTime())));
    waiting = &loop;
    loop.exec();
    if (!self)
        return Attempt::ClientGone;
    waiting.clear();

    if (answer.state() == HttpAnswer::Complete)
        return Attempt::Answered;
    if (failure.isEmpty())
        failure = QString::fromLatin1(answer.error());
    return Attempt::Failed;
}

// A connection kept from an earlier request, with nothing left unread on it.
// The platform may end a kept connection at any time, some servers with a TLS
// close_notify alone, leaving TCP open; a request written then is lost. What has
// already come is taken in first, and a connection that has been idle for a
// while is not trusted at all: the request goes out on a new one.
bool PlatformClient::hasOpenConnection() const
{
    if (!connection)
        return false;
    connection->waitForReadyRead(0);
    return connection->state() == QAbstractSocket::ConnectedState
        && connection->bytesAvailable() == 0
        && (connection->error() == QAbstractSocket::UnknownSocketError
            || connection->error() == QAbstractSocket::SocketTimeoutError)   // the wait above
        && idle.isValid() && !idle.hasExpired(idleLimitMs);
}

void PlatformClient::openConnection(const QUrl &url)
{
    dropConnection();
    QSslSocket *socket = new QSslSocket(this);
    connection = socket;
    // Without Nagle's algorithm a request leaves as soon as it is written, not
    // once the platform has acknowledged what went before.
    connect(socket, &QAbstractSocket::connected, socket,
            [socket] { socket->setSocketOption(QAbstractSocket::LowDelayOption, 1); });
    if (url.scheme() == kSecureScheme) {
        socket->setSslConfiguration(tlsConfiguration());
        socket->connectToHostEncrypted(url.host(), quint16(url.port(kHttpsPort)));
    } else {
        socket->connectToHost(url.host(), quint16(url.port(kHttpPort)));
    }
}

void PlatformClient::dropConnection()
{
    if (!connection)
        return;
    connection->disconnect();
    connection->abort();
    connection->deleteLater();
    connection = nullptr;
}
