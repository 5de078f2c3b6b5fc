#ifndef PLATFORMCLIENT_H
#define PLATFORMCLIENT_H

#include "platformrequest.h"

#include <QNetworkCookieJar>
#include <QObject>
#include <QElapsedTimer>
#include <QPointer>
#include <QSslConfiguration>
#include <QString>

#include <optional>

class HttpAnswer;
class QDeadlineTimer;
class QEventLoop;
class QSslSocket;
class QUrl;

// The web platform's client for one burst upload: checks the operator's token
// for the station, then posts the decoded records in packets. It speaks HTTP/1.1
// over a TLS connection of its own, kept from one request to the next. Each
// request waits in a local event loop, so the window keeps serving events
// meanwhile, and returns the platform's verdict.
class PlatformClient : public QObject
{
    Q_OBJECT

public:
    // No platform answer may hold the upload for longer than this.
    static constexpr int kDefaultTimeoutMs = 30000;

    PlatformClient(const QString &token, const QString &stationSerial,
                   QObject *parent = nullptr);
    // For a platform at another address (a local one in the tests).
    PlatformClient(const QString &token, const QString &stationSerial, const QString &baseUrl,
                   QObject *parent = nullptr);
    ~PlatformClient() override;

    void appendRecord(const QString &record);
    void clearBuffer();

    bool authenticate();
    bool sendPacket(unsigned current, unsigned total, bool end);

    int timeout() const { return timeoutMs; }
    void setTimeout(int ms) { timeoutMs = ms; }

    // A kept connection idle for longer than this is replaced before the next
    // request: servers end idle connections after a few seconds, some silently.
    static constexpr int kDefaultIdleLimitMs = 2000;
    void setIdleLimit(int ms) { idleLimitMs = ms; }

private:
    enum class Attempt { Answered, Failed, ClientGone };

    QSslConfiguration tlsConfiguration();
    bool isWaiting() const;
    bool exchange(const QUrl &url, const QByteArray &request, bool logAnswer);
    Attempt attempt(const QByteArray &request, HttpAnswer &answer, const QDeadlineTimer &deadline,
                    QString &failure);
    bool hasOpenConnection() const;
    void openConnection(const QUrl &url);
    void dropConnection();

    QString buffer;
    PlatformRequest requests;
    QSslSocket *connection = nullptr;
    bool connectionEnded = false;   // an error or a close_notify came on it
    // The platform's cookies, given back with every later request as Qt's network access did.
    QNetworkCookieJar cookieJar;
    int timeoutMs = kDefaultTimeoutMs;
    int idleLimitMs = kDefaultIdleLimitMs;
    QElapsedTimer idle;                        // since the last answer on the kept connection
    std::optional<QSslConfiguration> tls;      // worked out at the first connection
    QPointer<QEventLoop> waiting;
};

#endif // PLATFORMCLIENT_H
