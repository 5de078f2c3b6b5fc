#include "platformclient.h"

#include "httpanswer.h"
#include "platformtrust.h"

#include <QDeadlineTimer>
#include <QDebug>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkCookie>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTimer>
#include <QUrl>

namespace {

const QString kSecureScheme = QStringLiteral("https");
const QString kStatusMember = QStringLiteral("status");
constexpr int kHttpsPort = 443;
constexpr int kHttpPort = 80;
constexpr int kFirstErrorStatus = 400;

} // namespace

PlatformClient::PlatformClient(const QString &token, const QString &stationSerial,
                               QObject *parent)
    : PlatformClient(token, stationSerial, QStringLiteral(MARLOWDESK_PLATFORM_URL), parent)
{
}

PlatformClient::PlatformClient(const QString &token, const QString &stationSerial,
                               const QString &baseUrl, QObject *parent)
    : QObject(parent),
      requests(token, stationSerial, baseUrl)
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
    const QUrl url = requests.authenticationUrl();
    qDebug() << url;
    return exchange(url, requests.authentication(cookieJar.cookiesForUrl(url)), true);
}

bool PlatformClient::sendPacket(unsigned current, unsigned total, bool end)
{
    if (isWaiting())
        return false;
    qDebug() << "buffer size (bytes) = ";
    qDebug() << buffer.size();

    const QUrl url = requests.packetUrl();
    qDebug() << url;
    return exchange(url, requests.packet(current, total, end, buffer, cookieJar.cookiesForUrl(url)), false);
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

// One request at a time: a handler running inside the wait must not start a
// second one on the same client.
bool PlatformClient::isWaiting() const
{
    if (waiting)
        qDebug() << "platform request refused: another one is still waiting";
    return !waiting.isNull();
}

// Sends the request, never waiting longer than the time limit, and reads the
// platform's "status" from its answer. Anything but a complete answer without an
// error status whose status is the JSON value true is a refusal.
bool PlatformClient::exchange(const QUrl &url, const QByteArray &request, bool logAnswer)
{
    if (!requests.hasSafeToken()) {
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
// while is not trusted at all: the request goes out on a new one. The socket's
// error() cannot tell: the wait's own time-out replaces the error a close_notify
// left, so every error but that one is noted as it comes (connectionEnded).
bool PlatformClient::hasOpenConnection() const
{
    if (!connection)
        return false;
    connection->waitForReadyRead(0);
    return !connectionEnded && connection->state() == QAbstractSocket::ConnectedState
        && connection->bytesAvailable() == 0 && idle.isValid() && !idle.hasExpired(idleLimitMs);
}

void PlatformClient::openConnection(const QUrl &url)
{
    dropConnection();
    QSslSocket *socket = new QSslSocket(this);
    connection = socket;
    connectionEnded = false;
    connect(socket, &QAbstractSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        connectionEnded = connectionEnded || error != QAbstractSocket::SocketTimeoutError;
    });
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
