#ifndef FAKEPLATFORM_H
#define FAKEPLATFORM_H

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMap>
#include <QPair>
#include <QSslCertificate>
#include <QSslKey>
#include <QString>
#include <QTcpServer>
#include <QTemporaryDir>

#include <optional>

class QSslSocket;

// A local stand-in for the web platform: an HTTPS server on 127.0.0.1 that
// speaks HTTP/1.1 with keep-alive, records every request and answers each one
// as the test asks. It runs on the thread that creates it, served by the event
// loop in which the client under test waits.
//
// Its certificate is made afresh for each instance; the client trusts it only
// after trustInThisProcess(), which adds it to the process's default TLS
// configuration. Verification is never switched off.
class FakePlatform : public QTcpServer
{
    Q_OBJECT

public:
    enum class Answer {
        Accept,          // 200, {"status": true}
        Refuse,          // 200, {"status": false}
        MissingStatus,   // 200, {"result": true}
        StatusAsString,  // 200, {"status": "true"}
        NonJson,         // 200, a body that is not JSON
        HttpError,       // 500, {"status": true}
        Never            // no answer at all
    };

    struct Request
    {
        // Request line and header fields exactly as they came, without the blank line.
        QByteArray head;
        QByteArray method;
        QString path;
        QList<QPair<QString, QString>> queryItems;
        // Header names in lower case, values as they came.
        QMap<QByteArray, QByteArray> headers;
        QByteArray body;
        // The body read as a form, the way the platform reads it.
        QList<QPair<QString, QString>> bodyItems;
    };

    explicit FakePlatform(QObject *parent = nullptr);

    // Makes the certificate and listens on a free port of 127.0.0.1.
    bool start();
    // "https://127.0.0.1:<port>/en"
    QString baseUrl() const;
    void trustInThisProcess() const;
    QSslCertificate serverCertificate() const { return certificate; }
    // Forgets the requests, the handshakes and every answer rule.
    void reset();

    // The answer to every request that no rule below names.
    void setDefaultAnswer(Answer answer) { defaultAnswer = answer; }
    void setAuthenticationAnswer(Answer answer) { authenticationAnswer = answer; }
    // packet counts the upload requests from 0.
    void setPacketAnswer(int packet, Answer answer) { packetAnswers.insert(packet, answer); }
    void setFinalPacketAnswer(Answer answer) { finalPacketAnswer = answer; }
    // Holds every answer back this long, with the event loop running meanwhile.
    void setAnswerDelay(int ms) { answerDelayMs = ms; }
    // Header fields added to every answer, each ending in "\r\n" (Set-Cookie, say).
    void setAnswerFields(const QByteArray &fields) { answerFields = fields; }
    // Closes every open connection at once, without a word to the client.
    void dropConnections();

    QList<Request> requests() const { return received; }
    int uploadCount() const;
    // Connections whose TLS handshake completed.
    int tlsConnections() const { return handshakes; }

    // Decodes an application/x-www-form-urlencoded text: "+" is a blank and
    // %XX an encoded byte of UTF-8 text.
    static QList<QPair<QString, QString>> formItems(const QByteArray &text);
    static QString item(const QList<QPair<QString, QString>> &items, const QString &key);

signals:
    // A complete request has come in and been recorded.
    void requestReceived();

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    void readRequests(QSslSocket *socket);
    bool takeRequest(QByteArray &pending, Request &request);
    Answer answerFor(const Request &request) const;
    void answer(QSslSocket *socket, Answer answer);

    QTemporaryDir dir;
    QSslCertificate certificate;
    QSslKey key;
    QHash<QSslSocket *, QByteArray> incoming;
    QList<Request> received;
    int handshakes = 0;
    Answer defaultAnswer = Answer::Accept;
    std::optional<Answer> authenticationAnswer;
    QMap<int, Answer> packetAnswers;
    std::optional<Answer> finalPacketAnswer;
    int answerDelayMs = 0;
    QByteArray answerFields;
};

#endif // FAKEPLATFORM_H
