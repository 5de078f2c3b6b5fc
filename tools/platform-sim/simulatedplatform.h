#ifndef SIMULATEDPLATFORM_H
#define SIMULATEDPLATFORM_H

#include "platformanswer.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMap>
#include <QPair>
#include <QSslCertificate>
#include <QSslKey>
#include <QString>
#include <QStringList>
#include <QTcpServer>

#include <optional>

class QIODevice;
class QSslSocket;

// The web platform on 127.0.0.1: an HTTPS server that speaks HTTP/1.1 with
// keep-alive, answers the authentication request and the packet uploads with
// their verdict, keeps every request, and answers each one as it is told
// (PlatformAnswer). It runs on the thread that creates it, served by that
// thread's event loop: in the tests, the loop in which the client under test waits.
//
// Its certificate is signed by the build's local certificate authority
// (authority.cmake). A client trusts it only in its own process, through
// trustInThisProcess(), or through a build that embeds the authority's
// certificate; verification is never switched off.
//
// Packets are counted from 0 within a run, which an authentication request starts.
class SimulatedPlatform : public QTcpServer
{
    Q_OBJECT

public:
    using Answer = PlatformAnswer::Verdict;

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
        // How the platform answers it, as its rules have it (the answer may still find the client gone).
        PlatformAnswer answer;
    };

    explicit SimulatedPlatform(QObject *parent = nullptr);

    // The folder with the authority's ca.pem and the server's server.pem and
    // server.key; the build folder's by default.
    void setAuthorityDir(const QString &dir) { authorityDir = dir; }
    // Loads the certificate and listens on 127.0.0.1:port (0: a free port).
    bool start(quint16 port = 0);
    // "https://127.0.0.1:<port>/en"
    QString baseUrl() const;
    void trustInThisProcess() const;
    QSslCertificate authorityCertificate() const { return authority; }
    // Forgets the requests, the handshakes and every answer rule; the tokens,
    // the log and the records file stay.
    void reset();

    // The tokens accepted; a request with another one is refused. Empty (the
    // default): every token is accepted.
    void setAcceptedTokens(const QStringList &tokens) { acceptedTokens = tokens; }

    // The answer to every request that no rule below names.
    void setDefaultAnswer(const PlatformAnswer &answer) { defaultAnswer = answer; }
    void setAuthenticationAnswer(const PlatformAnswer &answer) { authenticationAnswer = answer; }
    void setPacketAnswer(int packet, const PlatformAnswer &answer) { packetAnswers.insert(packet, answer); }
    // The answer to this packet and every later one of a run.
    void setPacketAnswersFrom(int packet, const PlatformAnswer &answer) { answersFrom.insert(packet, answer); }
    void setFinalPacketAnswer(const PlatformAnswer &answer) { finalPacketAnswer = answer; }
    // Holds every answer back this long, with the event loop running meanwhile.
    void setAnswerDelay(int ms) { answerDelayMs = ms; }
    // Header fields added to every answer, each ending in "\r\n" (Set-Cookie, say).
    void setAnswerFields(const QByteArray &fields) { answerFields = fields; }
    // Closes every open connection at once, without a word to the client.
    void dropConnections();
    // A rule as the command line gives it: "WHICH=ANSWER", WHICH one of all,
    // auth, final, N (packet N of each run) or N+ (from packet N on), ANSWER as
    // PlatformAnswer::fromText() reads it. False when the rule cannot be read.
    bool setAnswerRule(const QString &rule);

    // Every request with a time stamp, and every answer given; nullptr (the
    // default) keeps the platform quiet. The device must outlive the platform.
    void setLogDevice(QIODevice *device) { logDevice = device; }
    // The records of each packet (its "data" item, decoded) are appended here in
    // arrival order, each run under a line of its own; empty (the default): nowhere.
    void setRecordsFile(const QString &path) { recordsPath = path; }

    QList<Request> requests() const { return received; }
    int uploadCount() const;
    // Connections whose TLS handshake completed.
    int tlsConnections() const { return handshakes; }
    // Connections on which the client wrote after the platform's close_notify:
    // each such write is a request lost.
    int writesAfterCloseNotify() const { return lostAfterCloseNotify; }

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
    struct Connection
    {
        int number = 0;
        QByteArray pending;
        int readings = 0;             // how often the client has sent something
        int closeNotifyIdleMs = -1;   // the last answer's close-notify-idle
    };

    void readRequests(QSslSocket *socket);
    bool takeRequest(QByteArray &pending, Request &request, QByteArray &head);
    int countPacket(const Request &request);
    PlatformAnswer answerFor(const Request &request, int packet, const QString &tag) const;
    PlatformAnswer ruleFor(const Request &request, int packet) const;
    void keepRecords(const Request &request, int packet);
    void answer(QSslSocket *socket, const QString &tag, const PlatformAnswer &reply);
    void sendAnswer(QSslSocket *socket, const QString &tag, const PlatformAnswer &reply);
    void writePieces(QSslSocket *socket, QByteArray rest, int pieceBytes, int pauseMs, bool close);
    void armCloseNotify(QSslSocket *socket);
    void closeNotifyKeepingTcp(QSslSocket *socket, int number);
    void log(const QString &event) const;

    QString authorityDir;
    QSslCertificate authority;
    QSslCertificate certificate;
    QSslKey key;
    QHash<QSslSocket *, Connection> connections;
    int connectionCount = 0;
    QList<Request> received;
    int requestCount = 0;
    int packetInRun = 0;
    int handshakes = 0;
    int lostAfterCloseNotify = 0;
    QStringList acceptedTokens;
    PlatformAnswer defaultAnswer;
    std::optional<PlatformAnswer> authenticationAnswer;
    QMap<int, PlatformAnswer> packetAnswers;
    QMap<int, PlatformAnswer> answersFrom;
    std::optional<PlatformAnswer> finalPacketAnswer;
    int answerDelayMs = 0;
    QByteArray answerFields;
    QIODevice *logDevice = nullptr;
    QString recordsPath;
};

#endif // SIMULATEDPLATFORM_H
