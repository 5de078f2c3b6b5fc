#include "fakeplatform.h"

#include <QFile>
#include <QHostAddress>
#include <QPointer>
#include <QProcess>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTimer>
#include <QUrlQuery>

namespace {

const QByteArray kHeaderEnd("\r\n\r\n");
const QString kConnectPath = QStringLiteral("/en/sensor/datalogger/connect/");
const QString kSendPath = QStringLiteral("/en/sensor/datalogger/send/");
constexpr int kOpensslMs = 60000;

} // namespace

FakePlatform::FakePlatform(QObject *parent)
    : QTcpServer(parent)
{
}

bool FakePlatform::start()
{
    if (!dir.isValid())
        return false;
    const QString keyPath = dir.filePath(QStringLiteral("key.pem"));
    const QString certPath = dir.filePath(QStringLiteral("cert.pem"));
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                   "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1",
                   "-keyout", keyPath, "-out", certPath});
    if (!openssl.waitForFinished(kOpensslMs) || openssl.exitCode() != 0) {
        qWarning() << "openssl failed:" << openssl.readAllStandardError();
        return false;
    }
    const QList<QSslCertificate> certificates = QSslCertificate::fromPath(certPath);
    QFile keyFile(keyPath);
    if (certificates.isEmpty() || !keyFile.open(QIODevice::ReadOnly))
        return false;
    certificate = certificates.first();
    key = QSslKey(&keyFile, QSsl::Rsa);
    return !key.isNull() && listen(QHostAddress::LocalHost, 0);
}

QString FakePlatform::baseUrl() const
{
    return QStringLiteral("https://127.0.0.1:%1/en").arg(serverPort());
}

void FakePlatform::trustInThisProcess() const
{
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setCaCertificates(tls.caCertificates() << certificate);
    QSslConfiguration::setDefaultConfiguration(tls);
}

void FakePlatform::reset()
{
    received.clear();
    handshakes = 0;
    defaultAnswer = Answer::Accept;
    authenticationAnswer.reset();
    packetAnswers.clear();
    finalPacketAnswer.reset();
    answerDelayMs = 0;
    answerFields.clear();
}

int FakePlatform::uploadCount() const
{
    int count = 0;
    for (const Request &request : received)
        count += request.path == kSendPath ? 1 : 0;
    return count;
}

QList<QPair<QString, QString>> FakePlatform::formItems(const QByteArray &text)
{
    QByteArray plain = text;
    plain.replace('+', "%20");
    return QUrlQuery(QString::fromLatin1(plain)).queryItems(QUrl::FullyDecoded);
}

QString FakePlatform::item(const QList<QPair<QString, QString>> &items, const QString &key)
{
    for (const auto &pair : items) {
        if (pair.first == key)
            return pair.second;
    }
    return QString();
}

void FakePlatform::dropConnections()
{
    for (QSslSocket *socket : findChildren<QSslSocket *>())
        socket->abort();
}

void FakePlatform::incomingConnection(qintptr descriptor)
{
    auto *socket = new QSslSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    socket->setLocalCertificate(certificate);
    socket->setPrivateKey(key);
    connect(socket, &QSslSocket::encrypted, this, [this] { ++handshakes; });
    connect(socket, &QSslSocket::readyRead, this, [this, socket] { readRequests(socket); });
    connect(socket, &QSslSocket::disconnected, this, [this, socket] {
        incoming.remove(socket);
        socket->deleteLater();
    });
    // A client that refuses the certificate drops the connection mid-handshake.
    connect(socket, QOverload<const QList<QSslError> &>::of(&QSslSocket::sslErrors), socket,
            [socket] { socket->abort(); });
    socket->startServerEncryption();
}

void FakePlatform::readRequests(QSslSocket *socket)
{
    QByteArray &pending = incoming[socket];
    pending += socket->readAll();
    Request request;
    while (takeRequest(pending, request)) {
        received << request;
        emit requestReceived();
        const Answer reply = answerFor(request);
        if (answerDelayMs > 0) {
            const QPointer<QSslSocket> guard(socket);
            QTimer::singleShot(answerDelayMs, this, [this, guard, reply] {
                if (guard)
                    answer(guard, reply);
            });
        } else {
            answer(socket, reply);
        }
    }
}

// Cuts one complete request (head and Content-Length body) off the front of pending.
bool FakePlatform::takeRequest(QByteArray &pending, Request &request)
{
    const int headEnd = pending.indexOf(kHeaderEnd);
    if (headEnd < 0)
        return false;
    const QList<QByteArray> lines = pending.left(headEnd).split('\n');
    const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
    if (requestLine.size() < 2)
        return false;

    request = Request();
    request.head = pending.left(headEnd);
    request.method = requestLine.at(0);
    for (int i = 1; i < lines.size(); ++i) {
        const int colon = lines.at(i).indexOf(':');
        if (colon > 0)
            request.headers.insert(lines.at(i).left(colon).trimmed().toLower(),
                                   lines.at(i).mid(colon + 1).trimmed());
    }
    const int length = request.headers.value("content-length", "0").toInt();
    const int bodyStart = headEnd + kHeaderEnd.size();
    if (pending.size() < bodyStart + length)
        return false;
    request.body = pending.mid(bodyStart, length);
    pending.remove(0, bodyStart + length);

    const QByteArray target = requestLine.at(1);
    const int mark = target.indexOf('?');
    request.path = QString::fromUtf8(mark < 0 ? target : target.left(mark));
    if (mark >= 0)
        request.queryItems = formItems(target.mid(mark + 1));
    request.bodyItems = formItems(request.body);
    return true;
}

FakePlatform::Answer FakePlatform::answerFor(const Request &request) const
{
    if (request.path == kConnectPath)
        return authenticationAnswer.value_or(defaultAnswer);
    if (request.path != kSendPath)
        return Answer::HttpError;
    if (finalPacketAnswer && item(request.bodyItems, QStringLiteral("end")) == QLatin1String("1"))
        return *finalPacketAnswer;
    return packetAnswers.value(uploadCount() - 1, defaultAnswer);
}

void FakePlatform::answer(QSslSocket *socket, Answer answer)
{
    QByteArray status("200 OK");
    QByteArray body;
    switch (answer) {
    case Answer::Accept:
        body = R"({"status": true})";
        break;
    case Answer::Refuse:
        body = R"({"status": false})";
        break;
    case Answer::MissingStatus:
        body = R"({"result": true})";
        break;
    case Answer::StatusAsString:
        body = R"({"status": "true"})";
        break;
    case Answer::NonJson:
        body = "<html><body>status: true</body></html>";
        break;
    case Answer::HttpError:
        status = "500 Internal Server Error";
        body = R"({"status": true})";
        break;
    case Answer::Never:
        return;
    }
    socket->write("HTTP/1.1 " + status + "\r\n"
                  "Content-Type: application/json\r\n"
                  "Connection: keep-alive\r\n" + answerFields
                  + "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
}
