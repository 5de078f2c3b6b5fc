#ifndef PLATFORMANSWER_H
#define PLATFORMANSWER_H

#include <QByteArray>
#include <QString>

#include <optional>

// How the simulated platform answers one request: the verdict it gives, how the
// answer is framed on the wire, and the misbehaviours around it (late, in
// pieces, cut off), so that a client's handling of each can be exercised.
struct PlatformAnswer
{
    enum class Verdict {
        Accept,          // 200, {"status": true}
        Refuse,          // 200, {"status": false}
        MissingStatus,   // 200, {"result": true}
        StatusAsString,  // 200, {"status": "true"}
        NonJson,         // 200, a body that is not JSON
        HttpError,       // 500, {"status": true}
        Never            // no answer at all; the connection stays open
    };

    // How the client learns where the body ends.
    enum class Framing {
        ContentLength,   // a Content-Length header; the connection is kept
        Chunked,         // Transfer-Encoding: chunked, the body in two chunks
        CloseDelimited   // Connection: close, no length; the platform closes after the body
    };

    Verdict verdict = Verdict::Accept;
    Framing framing = Framing::ContentLength;
    int delayMs = 0;          // a late answer: held back this long
    int pieceBytes = 0;       // > 0: written in pieces of this many bytes,
    int piecePauseMs = 0;     // with this pause before each piece but the first
    int cutAfterBytes = -1;   // >= 0: the connection closes after this many bytes
                              // of the answer (0: before the answer)
    bool closeAfter = false;  // the kept connection closes right after the answer
    int closeNotifyIdleMs = -1;   // >= 0: once the kept connection has been idle this long,
                                  // the platform ends TLS with a close_notify alone and keeps
                                  // TCP open, until the client writes again: then it closes
                                  // (as some servers do at their idle time-out)

    // Implicit, so that a bare verdict stands for a plain answer.
    PlatformAnswer(Verdict verdict = Verdict::Accept) : verdict(verdict) {}

    // The answer as it goes on the wire, before any cut; empty for Never.
    QByteArray bytes() const;
    // Whether a client that waits long enough reads a whole answer that accepts.
    bool accepts() const { return verdict == Verdict::Accept && cutAfterBytes < 0; }
    // The answer in the terms that fromText() reads, e.g. "refuse,chunked,late:300".
    QString text() const;

    // Reads a comma-separated list of: a verdict (accept, refuse, missing-status,
    // status-as-string, not-json, http-error, no-answer), a framing (chunked,
    // close-delimited), close-after, late:MS, pieces:BYTES:MS, cut:BYTES,
    // close-notify-idle:MS.
    static std::optional<PlatformAnswer> fromText(const QString &text);
};

#endif // PLATFORMANSWER_H
