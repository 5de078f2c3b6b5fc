#ifndef PLATFORMREQUEST_H
#define PLATFORMREQUEST_H

#include <QByteArray>
#include <QList>
#include <QNetworkCookie>
#include <QString>
#include <QUrl>

// The web platform's two requests, as bytes ready for the wire: the token check
// for a station and the upload of a packet of records. The token is used without
// the white space around it; one that still holds a control character would
// split the request head, and no request is made with it.
class PlatformRequest
{
public:
    PlatformRequest(const QString &token, const QString &stationSerial, const QString &baseUrl);

    bool hasSafeToken() const { return safeToken; }

    QUrl authenticationUrl() const;
    QUrl packetUrl() const;

    // Empty when the token is not safe. The cookies are the platform's own for the URL.
    QByteArray authentication(const QList<QNetworkCookie> &cookies = {}) const;
    QByteArray packet(unsigned current, unsigned total, bool end, const QString &records,
                      const QList<QNetworkCookie> &cookies = {}) const;

private:
    QByteArray request(const QByteArray &method, const QUrl &url, const QByteArray &body,
                       const QList<QNetworkCookie> &cookies) const;

    QByteArray token;
    QString stationSerial;
    QString baseUrl;
    bool safeToken;
};

#endif // PLATFORMREQUEST_H
