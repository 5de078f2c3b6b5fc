#include "platformclient.h"

#include "platformtrust.h"

#include <QDebug>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslConfiguration>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>

namespace {

const QString kConnectPath = QStringLiteral("/sensor/datalogger/connect/");
const QString kSendPath = QStringLiteral("/sensor/datalogger/send/");
const QByteArray kFormContentType("application/x-www-form-urlencoded");
const QByteArray kAuthorizationHeader("Authorization");
const QString kSecureScheme = QStringLiteral("https");
const QString kStatusMember = QStringLiteral("status");

// QUrlQuery reads "%XX" in a value as an escape already made and leaves "+" as
// it is, which the platform's form reader takes for a blank. Both are escaped
// here so that every value, records included, reaches the platform unchanged.
void addFormItem(QUrlQuery &items, const QString &key, QString value)
{
    value.replace(QLatin1Char('%'), QLatin1String("%25"))
        .replace(QLatin1Char('+'), QLatin1String("%2B"));
    items.addQueryItem(key, value);
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
      token(token),
      stationSerial(stationSerial),
      manager(new QNetworkAccessManager(this)),
      baseUrl(baseUrl)
{
}

PlatformClient::~PlatformClient()
{
    // A handler may drop the client while one of its requests still waits in
    // the event loop: ending the reply here lets that wait return at once, and
    // the wait then leaves the destroyed client alone.
    if (pending)
        pending->abort();
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
    const QNetworkRequest request = platformRequest(kConnectPath, query);
    return awaitVerdict(manager->get(request), true);
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

    const QNetworkRequest request = platformRequest(kSendPath, QUrlQuery());
    return awaitVerdict(manager->post(request, items.query(QUrl::FullyEncoded).toUtf8()), false);
}

// One request at a time: a handler running inside the wait must not start a
// second one on the same client.
bool PlatformClient::isWaiting() const
{
    if (pending)
        qDebug() << "platform request refused: another one is still waiting";
    return !pending.isNull();
}

QNetworkRequest PlatformClient::platformRequest(const QString &path, const QUrlQuery &query) const
{
    QUrl url(baseUrl + path);
    if (!query.isEmpty())
        url.setQuery(query);
    QNetworkRequest request(url);
    qDebug() << url;

    if (url.scheme() == kSecureScheme) {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.setProtocol(QSsl::TlsV1_2);
        PlatformTrust::addAuthorities(tls);
        request.setSslConfiguration(tls);
    }
    request.setHeader(QNetworkRequest::ContentTypeHeader, kFormContentType);
    // An empty token still goes out as an empty header: the platform decides.
    QByteArray authorization = token.toUtf8();
    if (authorization.isNull())
        authorization = QByteArray("");
    request.setRawHeader(kAuthorizationHeader, authorization);
    return request;
}

// Waits for this reply alone, never longer than the time limit, and reads the
// platform's "status" from it. Anything but a finished, error-free answer whose
// status is the JSON value true is a refusal.
bool PlatformClient::awaitVerdict(QNetworkReply *reply, bool logAnswer)
{
    const QPointer<PlatformClient> self(this);
    pending = reply;

    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    connect(&limit, &QTimer::timeout, reply, &QNetworkReply::abort);
    limit.start(timeoutMs);
    if (!reply->isFinished())
        loop.exec();

    // The client was destroyed while waiting; its destructor ended the reply
    // and the manager took the reply with it.
    if (!self)
        return false;

    pending.clear();
    limit.stop();
    if (reply->error() != QNetworkReply::NoError)
        qDebug() << "platform request failed:" << reply->errorString();
    const bool answered = reply->isFinished() && reply->error() == QNetworkReply::NoError;
    const QJsonObject answer = QJsonDocument::fromJson(reply->readAll()).object();
    reply->deleteLater();
    if (logAnswer)
        qDebug() << answer;
    return answered && answer.value(kStatusMember).toBool(false);
}
