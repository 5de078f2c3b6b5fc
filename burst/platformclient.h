#ifndef PLATFORMCLIENT_H
#define PLATFORMCLIENT_H

#include <QObject>
#include <QPointer>
#include <QString>

class QNetworkAccessManager;
class QNetworkReply;
class QNetworkRequest;
class QUrlQuery;

// The web platform's client for one burst upload: checks the operator's token
// for the station, then posts the decoded records in packets. Each request
// waits in a local event loop, so the window keeps serving events meanwhile,
// and returns the platform's verdict.
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

private:
    bool isWaiting() const;
    QNetworkRequest platformRequest(const QString &path, const QUrlQuery &query) const;
    bool awaitVerdict(QNetworkReply *reply, bool logAnswer);

    QString buffer;
    QString token;
    QString stationSerial;
    QNetworkAccessManager *manager;
    QString baseUrl;
    int timeoutMs = kDefaultTimeoutMs;
    QPointer<QNetworkReply> pending;
};

#endif // PLATFORMCLIENT_H
