#ifndef HTTPANSWER_H
#define HTTPANSWER_H

#include <QByteArray>

// Reads one HTTP/1.1 answer from the bytes of a connection as they arrive, in
// pieces of any size: the status line and headers, then the body by its
// Content-Length, in chunks, or up to the end of the connection. Interim (1xx)
// answers are skipped and gzip or deflate bodies decoded. Memory stays bounded:
// a head or a body beyond the limits below fails the answer, as a malformed one does.
class HttpAnswer
{
public:
    static constexpr int kMaxHeadBytes = 64 * 1024;
    static constexpr int kMaxBodyBytes = 4 * 1024 * 1024;

    enum State { Reading, Complete, Failed };

    // The next bytes of the connection. Bytes beyond a complete answer do not
    // belong to it; they only keep the connection from carrying another request.
    void feed(const QByteArray &bytes);
    // The connection has ended: an answer whose body runs to the end is now
    // complete, any other unfinished one has failed.
    void connectionClosed();

    State state() const { return current; }
    // Whether any byte has come at all.
    bool hasStarted() const { return started; }
    // Why the answer failed, for the debug log.
    QByteArray error() const { return failure; }

    // Of a complete answer (0 and empty otherwise): its status code, its body,
    // decoded, and the values of its Set-Cookie fields, one a line, as
    // QNetworkCookie::parseCookies reads them.
    int status() const { return current == Complete ? head.status : 0; }
    QByteArray body() const { return current == Complete ? content : QByteArray(); }
    QByteArray cookies() const { return current == Complete ? head.cookies : QByteArray(); }
    // Whether the connection may carry the next request after this answer.
    bool keepsConnection() const;

private:
    enum Phase {
        StatusLine, Fields, FixedBody, ChunkSize, ChunkData, ChunkEnd, Trailers, BodyToClose, Done
    };

    // What the status line and the header fields say.
    struct Head
    {
        int status = 0;
        bool http10 = false;
        bool closeAsked = false;
        bool keepAliveAsked = false;
        qint64 contentLength = -1;
        bool chunked = false;
        bool otherTransferCoding = false;
        bool bodyToClose = false;
        QByteArray contentCodings;
        QByteArray cookies;
        QByteArray fieldName;    // the field being read: a continuation line may follow
        QByteArray fieldValue;
    };

    bool step();
    bool takeLine(QByteArray &line);
    bool readStatusLine(const QByteArray &line);
    bool readFieldLine(const QByteArray &line);
    bool applyField();
    bool startBody();
    bool readChunkSize(const QByteArray &line);
    bool takeBody();
    bool takeBodyToClose();
    bool finish();
    bool decodeContent();
    bool fail(const char *why);
    void dropPending();

    State current = Reading;
    Phase phase = StatusLine;
    Head head;
    QByteArray pending;      // bytes received, read up to position
    int position = 0;
    int searched = 0;        // pending holds no line end between position and here
    QByteArray failure;
    bool started = false;
    bool surplus = false;
    int lineBytes = 0;       // of the head, the trailers or the chunk line being read
    qint64 remaining = 0;    // of the fixed body or the current chunk
    QByteArray content;
};

#endif // HTTPANSWER_H
