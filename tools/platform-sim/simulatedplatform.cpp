#include "simulatedplatform.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QLocale>
#include <QPointer>
#include <QSslConfiguration>
#include <QSocketNotifier>
#include <QSslSocket>
#include <QTimer>
#include <QUrlQuery>

#include <fcntl.h>
#include <iterator>
#include <unistd.h>

namespace {

const QByteArray kHeaderEnd("\r\n\r\n");
const QString kConnectPath = QStringLiteral("/en/sensor/datalogger/connect/");
const QString kSendPath = QStringLiteral("/en/sensor/datalogger/send/");
const QString kAuthorityFile = QStringLiteral("ca.pem");
const QString kCertificateFile = QStringLiteral("server.pem");
const QString kKeyFile = QStringLiteral("server.key");

// The packet rules of setAnswerRule(): "3" is packet 3 alone, "3+" packet 3 and later.
const QString kAllRule = QStringLiteral("all");
const QString kAuthenticationRule = QStringLiteral("auth");
const QString kFinalRule = QStringLiteral("final");
const QChar kOnwardMark = QLatin1Char('+');

QString now(const QString &format)
{
    return QLocale::c().toString(QDateTime::currentDateTime(), format);
}

} // namespace

SimulatedPlatform::SimulatedPlatform(QObject *parent)
    : QTcpServer(parent),
      authorityDir(QStringLiteral(PLATFORM_AUTHORITY_DIR))
{
}

bool SimulatedPlatform::start(quint16 port)
{
    const QDir dir(authorityDir);
    const QList<QSslCertificate> authorities = QSslCertificate::fromPath(dir.filePath(kAuthorityFile));
    const QList<QSslCertificate> certificates = QSslCertificate::fromPath(dir.filePath(kCertificateFile));
    QFile keyFile(dir.filePath(kKeyFile));
    if (authorities.isEmpty() || certificates.isEmpty() || !keyFile.open(QIODevice::ReadOnly)) {
        qWarning().noquote() << "no certificate authority in" << authorityDir
                             << "(openssl makes it when the build folder is configured)";
        return false;
    }
    authority = authorities.first();
    certificate = certificates.first();
    key = QSslKey(&keyFile, QSsl::Rsa);
    if (key.isNull())
        return false;
    if (!listen(QHostAddress::LocalHost, port)) {
        qWarning().noquote() << "cannot listen on 127.0.0.1:" + QString::number(port) << errorString();
        return false;
    }
    return true;
}

QString SimulatedPlatform::baseUrl() const
{
    return QStringLiteral("https://127.0.0.1:%1/en").arg(serverPort());
}

void SimulatedPlatform::trustInThisProcess() const
{
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    QList<QSslCertificate> authorities = tls.caCertificates();
    if (authorities.contains(authority))
        return;
    tls.setCaCertificates(authorities << authority);
    QSslConfiguration::setDefaultConfiguration(tls);
}

void SimulatedPlatform::reset()
{
    received.clear();
    packetInRun = 0;
    handshakes = 0;
    lostAfterCloseNotify = 0;
    defaultAnswer = PlatformAnswer();
    authenticationAnswer.reset();
    packetAnswers.clear();
    answersFrom.clear();
    finalPacketAnswer.reset();
    answerDelayMs = 0;
    answerFields.clear();
}

void SimulatedPlatform::dropConnections()
{
    const QList<QSslSocket *> sockets = connections.keys();
    for (QSslSocket *socket : sockets)
        socket->abort();
}

bool SimulatedPlatform::setAnswerRule(const QString &rule)
{
    const int mark = rule.indexOf(QLatin1Char('='));
    const std::optional<PlatformAnswer> answer = PlatformAnswer::fromText(rule.mid(mark + 1));
    if (mark < 0 || !answer)
        return false;
    QString which = rule.left(mark).trimmed();
    if (which == kAllRule) {
        setDefaultAnswer(*answer);
    } else if (which == kAuthenticationRule) {
        setAuthenticationAnswer(*answer);
    } else if (which == kFinalRule) {
        setFinalPacketAnswer(*answer);
    } else {
        const bool onward = which.endsWith(kOnwardMark);
        if (onward)
            which.chop(1);
        bool ok = false;
        const int packet = which.toInt(&ok);
        if (!ok || packet < 0)
            return false;
        if (onward)
            setPacketAnswersFrom(packet, *answer);
        else
            setPacketAnswer(packet, *answer);
    }
    return true;
}

int SimulatedPlatform::uploadCount() const
{
    int count = 0;
    for (const Request &request : received)
        count += request.path == kSendPath ? 1 : 0;
    return count;
}

QList<QPair<QString, QString>> SimulatedPlatform::formItems(const QByteArray &text)
{
    QByteArray plain = text;
    plain.replace('+', "%20");
    return QUrlQuery(QString::fromLatin1(plain)).queryItems(QUrl::FullyDecoded);
}

QString SimulatedPlatform::item(const QList<QPair<QString, QString>> &items, const QString &key)
{
    for (const auto &pair : items) {
        if (pair.first == key)
            return pair.second;
    }
    return QString();
}

void SimulatedPlatform::incomingConnection(qintptr descriptor)
{
    auto *socket = new QSslSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    const int number = ++connectionCount;
    connections.insert(socket, Connection{number, QByteArray()});
    log(QStringLiteral("connection %1 opened from port %2").arg(number).arg(socket->peerPort()));
    socket->setLocalCertificate(certificate);
    socket->setPrivateKey(key);
    connect(socket, &QSslSocket::encrypted, this, [this] { ++handshakes; });
    connect(socket, &QSslSocket::readyRead, this, [this, socket] { readRequests(socket); });
    connect(socket, &QSslSocket::errorOccurred, this, [this, socket, number] {
        if (socket->error() != QAbstractSocket::RemoteHostClosedError)
            log(QStringLiteral("connection %1: %2").arg(number).arg(socket->errorString()));
    });
    connect(socket, &QSslSocket::disconnected, this, [this, socket, number] {
        log(QStringLiteral("connection %1 closed").arg(number));
        connections.remove(socket);
        socket->deleteLater();
    });
    // A client that refuses the certificate drops the connection mid-handshake.
    connect(socket, QOverload<const QList<QSslError> &>::of(&QSslSocket::sslErrors), socket,
            [socket] { socket->abort(); });
    socket->startServerEncryption();
}

void SimulatedPlatform::readRequests(QSslSocket *socket)
{
    const QPointer<QSslSocket> guard(socket);
    connections[socket].pending += socket->readAll();
    ++connections[socket].readings;
    Request request;
    QByteArray head;
    // A handler of requestReceived may run the event loop, in which this
    // connection may close: it is looked up afresh for every request.
    for (auto it = connections.find(socket); it != connections.end() && guard;
         it = connections.find(socket)) {
        if (!takeRequest(it->pending, request, head))
            return;
        const int number = it->number;
        received << request;
        const QString tag = QStringLiteral("#%1").arg(++requestCount);
        log(QStringLiteral("%1 connection %2: %3, body %4 bytes")
                .arg(tag).arg(number)
                .arg(QString::fromUtf8(head.left(head.indexOf('\r'))))
                .arg(request.body.size()));
        for (const QByteArray &line : head.split('\n').mid(1))
            log(tag + QStringLiteral("   ") + QString::fromUtf8(line.trimmed()));
        const int packet = countPacket(request);
        keepRecords(request, packet);
        const PlatformAnswer reply = answerFor(request, packet, tag);
        received.last().answer = reply;
        emit requestReceived();
        if (guard)
            answer(socket, tag, reply);
    }
}

// Cuts one complete request (head and Content-Length body) off the front of pending.
bool SimulatedPlatform::takeRequest(QByteArray &pending, Request &request, QByteArray &head)
{
    const int headEnd = pending.indexOf(kHeaderEnd);
    if (headEnd < 0)
        return false;
    head = pending.left(headEnd);
    const QList<QByteArray> lines = head.split('\n');
    const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
    if (requestLine.size() < 2)
        return false;

    request = Request();
    request.head = head;
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

// The packet's number within its run, or -1 for any other request; an
// authentication request starts a new run.
int SimulatedPlatform::countPacket(const Request &request)
{
    if (request.path == kConnectPath)
        packetInRun = 0;
    return request.path == kSendPath ? packetInRun++ : -1;
}

PlatformAnswer SimulatedPlatform::answerFor(const Request &request, int packet, const QString &tag) const
{
    PlatformAnswer answer = ruleFor(request, packet);
    const QString token = QString::fromUtf8(request.headers.value("authorization"));
    if (answer.verdict == Answer::Accept && !acceptedTokens.isEmpty()
        && !acceptedTokens.contains(token)) {
        log(tag + QStringLiteral(" token not accepted"));
        answer.verdict = Answer::Refuse;
    }
    return answer;
}

PlatformAnswer SimulatedPlatform::ruleFor(const Request &request, int packet) const
{
    if (request.path == kConnectPath)
        return authenticationAnswer.value_or(defaultAnswer);
    if (request.path != kSendPath)
        return Answer::HttpError;
    if (finalPacketAnswer && item(request.bodyItems, QStringLiteral("end")) == QLatin1String("1"))
        return *finalPacketAnswer;
    if (packetAnswers.contains(packet))
        return packetAnswers.value(packet);
    const auto from = answersFrom.upperBound(packet);
    return from == answersFrom.constBegin() ? defaultAnswer : *std::prev(from);
}

void SimulatedPlatform::keepRecords(const Request &request, int packet)
{
    if (recordsPath.isEmpty() || packet < 0)
        return;
    QFile file(recordsPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        log(QStringLiteral("cannot append to %1: %2").arg(recordsPath, file.errorString()));
        return;
    }
    if (packet == 0)
        file.write(QStringLiteral("# %1 run of station %2, total %3\n")
                       .arg(now(QStringLiteral("yyyy-MM-dd hh:mm:ss")),
                            item(request.bodyItems, QStringLiteral("apm")),
                            item(request.bodyItems, QStringLiteral("total")))
                       .toUtf8());
    file.write(item(request.bodyItems, QStringLiteral("data")).toUtf8());
}

void SimulatedPlatform::answer(QSslSocket *socket, const QString &tag, const PlatformAnswer &reply)
{
    const int delay = answerDelayMs + reply.delayMs;
    if (delay <= 0) {
        sendAnswer(socket, tag, reply);
        return;
    }
    const QPointer<QSslSocket> guard(socket);
    QTimer::singleShot(delay, this, [this, guard, tag, reply] {
        if (guard)
            sendAnswer(guard, tag, reply);
    });
}

void SimulatedPlatform::sendAnswer(QSslSocket *socket, const QString &tag, const PlatformAnswer &reply)
{
    QByteArray bytes = reply.bytes();
    if (!bytes.isEmpty())
        bytes.insert(bytes.indexOf("\r\n") + 2, answerFields);
    log(tag + QStringLiteral(" answer ") + reply.text()
        + (bytes.isEmpty() ? QString() : QStringLiteral(": ") + bytes.left(bytes.indexOf('\r'))));
    const bool cut = reply.cutAfterBytes >= 0 && reply.cutAfterBytes <= bytes.size();
    if (bytes.isEmpty() && !cut)
        return;
    if (cut)
        bytes.truncate(reply.cutAfterBytes);
    const bool close = cut || reply.closeAfter
                       || reply.framing == PlatformAnswer::Framing::CloseDelimited;
    connections[socket].closeNotifyIdleMs = close ? -1 : reply.closeNotifyIdleMs;
    writePieces(socket, bytes, reply.pieceBytes, reply.piecePauseMs, close);
}

// Writes the answer, all at once or piece by piece, and closes the connection after it if asked.
void SimulatedPlatform::writePieces(QSslSocket *socket, QByteArray rest, int pieceBytes, int pauseMs,
                                    bool close)
{
    const int size = pieceBytes > 0 ? pieceBytes : rest.size();
    socket->write(rest.left(size));
    rest.remove(0, size);
    if (rest.isEmpty()) {
        if (close)
            socket->disconnectFromHost();
        else
            armCloseNotify(socket);
        return;
    }
    const QPointer<QSslSocket> guard(socket);
    QTimer::singleShot(pauseMs, this, [=] {
        if (guard)
            writePieces(guard, rest, pieceBytes, pauseMs, close);
    });
}

// Once the connection has been idle for the answer's close-notify-idle time.
void SimulatedPlatform::armCloseNotify(QSslSocket *socket)
{
    const Connection connection = connections.value(socket);
    if (connection.closeNotifyIdleMs < 0)
        return;
    const QPointer<QSslSocket> guard(socket);
    QTimer::singleShot(connection.closeNotifyIdleMs, this, [this, guard, connection] {
        if (guard && connections.value(guard).readings == connection.readings
            && connections.value(guard).pending.isEmpty())
            closeNotifyKeepingTcp(guard, connection.number);
    });
}

// Ends TLS with a close_notify and leaves TCP open. Qt closes its descriptor
// without a shutdown(), so a duplicate held here keeps the connection up; the
// first bytes the client writes after it (a request that will never be read)
// close it for good.
void SimulatedPlatform::closeNotifyKeepingTcp(QSslSocket *socket, int number)
{
    const int fd = ::fcntl(int(socket->socketDescriptor()), F_DUPFD_CLOEXEC, 0);
    log(QStringLiteral("connection %1: close_notify, TCP kept open").arg(number));
    socket->disconnectFromHost();
    if (fd < 0)
        return;
    auto *notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(notifier, &QObject::destroyed, [fd] { ::close(fd); });
    connect(notifier, &QSocketNotifier::activated, this, [this, notifier, fd, number] {
        char buffer[4096];
        qint64 lost = 0;
        for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
            lost += n;
        log(QStringLiteral("connection %1 closed after the close_notify, %2 bytes from the client unread")
                .arg(number).arg(lost));
        lostAfterCloseNotify += lost > 0 ? 1 : 0;
        notifier->setEnabled(false);
        notifier->deleteLater();
    });
}

void SimulatedPlatform::log(const QString &event) const
{
    if (logDevice)
        logDevice->write((now(QStringLiteral("hh:mm:ss.zzz ")) + event + QLatin1Char('\n')).toUtf8());
}
