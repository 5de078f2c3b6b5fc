#include "platformanswer.h"

#include <QStringList>

namespace {

using Verdict = PlatformAnswer::Verdict;
using Framing = PlatformAnswer::Framing;

// One row per verdict: its name on the command line and in the log, and what goes on the wire.
struct VerdictForm
{
    Verdict verdict;
    const char *name;
    const char *status;
    const char *body;
};

const VerdictForm kVerdicts[] = {
    {Verdict::Accept, "accept", "200 OK", R"({"status": true})"},
    {Verdict::Refuse, "refuse", "200 OK", R"({"status": false})"},
    {Verdict::MissingStatus, "missing-status", "200 OK", R"({"result": true})"},
    {Verdict::StatusAsString, "status-as-string", "200 OK", R"({"status": "true"})"},
    {Verdict::NonJson, "not-json", "200 OK", "<html><body>status: true</body></html>"},
    // A server error may well carry a body that looks like a yes; it is still an error.
    {Verdict::HttpError, "http-error", "500 Internal Server Error", R"({"status": true})"},
    {Verdict::Never, "no-answer", nullptr, nullptr},
};

// In the order of Framing.
const QPair<Framing, const char *> kFramings[] = {
    {Framing::ContentLength, "content-length"},
    {Framing::Chunked, "chunked"},
    {Framing::CloseDelimited, "close-delimited"},
};

const QString kCloseAfter = QStringLiteral("close-after");
const QString kLate = QStringLiteral("late");
const QString kPieces = QStringLiteral("pieces");
const QString kCut = QStringLiteral("cut");
const QString kCloseNotifyIdle = QStringLiteral("close-notify-idle");

const VerdictForm &formOf(Verdict verdict)
{
    for (const VerdictForm &form : kVerdicts) {
        if (form.verdict == verdict)
            return form;
    }
    return kVerdicts[0];
}

// The body in two chunks, so that a reader has to join them.
QByteArray chunked(const QByteArray &body)
{
    QByteArray wire;
    const int half = body.size() / 2;
    for (const QByteArray &chunk : {body.left(half), body.mid(half)}) {
        if (!chunk.isEmpty())
            wire += QByteArray::number(chunk.size(), 16) + "\r\n" + chunk + "\r\n";
    }
    return wire + "0\r\n\r\n";
}

// A count of zero or more, as "late:", "pieces:" and "cut:" take it.
bool readCount(const QString &text, int &count)
{
    bool ok = false;
    count = text.toInt(&ok);
    return ok && count >= 0;
}

bool readPart(const QString &part, PlatformAnswer &answer)
{
    for (const VerdictForm &form : kVerdicts) {
        if (part == QLatin1String(form.name)) {
            answer.verdict = form.verdict;
            return true;
        }
    }
    for (const auto &framing : kFramings) {
        if (part == QLatin1String(framing.second)) {
            answer.framing = framing.first;
            return true;
        }
    }
    if (part == kCloseAfter) {
        answer.closeAfter = true;
        return true;
    }
    const QStringList words = part.split(QLatin1Char(':'));
    if (words.first() == kLate && words.size() == 2)
        return readCount(words.at(1), answer.delayMs);
    if (words.first() == kCut && words.size() == 2)
        return readCount(words.at(1), answer.cutAfterBytes);
    if (words.first() == kCloseNotifyIdle && words.size() == 2)
        return readCount(words.at(1), answer.closeNotifyIdleMs);
    if (words.first() == kPieces && words.size() == 3)
        return readCount(words.at(1), answer.pieceBytes) && answer.pieceBytes > 0
               && readCount(words.at(2), answer.piecePauseMs);
    return false;
}

} // namespace

QByteArray PlatformAnswer::bytes() const
{
    const VerdictForm &form = formOf(verdict);
    if (!form.status)
        return QByteArray();
    QByteArray body(form.body);
    QByteArray head = QByteArray("HTTP/1.1 ") + form.status + "\r\nContent-Type: application/json\r\n";
    switch (framing) {
    case Framing::ContentLength:
        head += "Connection: keep-alive\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n";
        break;
    case Framing::Chunked:
        head += "Connection: keep-alive\r\nTransfer-Encoding: chunked\r\n";
        body = chunked(body);
        break;
    case Framing::CloseDelimited:
        head += "Connection: close\r\n";
        break;
    }
    return head + "\r\n" + body;
}

QString PlatformAnswer::text() const
{
    QStringList parts{QLatin1String(formOf(verdict).name)};
    if (framing != Framing::ContentLength)
        parts << QLatin1String(kFramings[int(framing)].second);
    if (closeAfter)
        parts << kCloseAfter;
    if (delayMs > 0)
        parts << QStringLiteral("%1:%2").arg(kLate).arg(delayMs);
    if (pieceBytes > 0)
        parts << QStringLiteral("%1:%2:%3").arg(kPieces).arg(pieceBytes).arg(piecePauseMs);
    if (cutAfterBytes >= 0)
        parts << QStringLiteral("%1:%2").arg(kCut).arg(cutAfterBytes);
    if (closeNotifyIdleMs >= 0)
        parts << QStringLiteral("%1:%2").arg(kCloseNotifyIdle).arg(closeNotifyIdleMs);
    return parts.join(QLatin1Char(','));
}

std::optional<PlatformAnswer> PlatformAnswer::fromText(const QString &text)
{
    PlatformAnswer answer;
    for (const QString &part : text.split(QLatin1Char(','))) {
        if (!readPart(part.trimmed(), answer))
            return std::nullopt;
    }
    return answer;
}
