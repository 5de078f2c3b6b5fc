#include "httpanswer.h"

#include <QList>

#include <zlib.h>

namespace {

constexpr int kStatusLineLength = 12;        // "HTTP/1.1 200"
constexpr int kInflateChunk = 16 * 1024;
constexpr int kGzipOrZlibWindow = MAX_WBITS + 32;
constexpr int kRawDeflateWindow = -MAX_WBITS;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int hexValue(char c)
{
    if (isDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The items of a comma-separated field value, trimmed and in lower case, empty ones left out.
QList<QByteArray> listItems(const QByteArray &value)
{
    QList<QByteArray> items;
    for (const QByteArray &item : value.split(',')) {
        const QByteArray token = item.trimmed().toLower();
        if (!token.isEmpty())
            items << token;
    }
    return items;
}

enum class Inflated { Ok, TooLarge, Broken };

// Decodes one compressed stream into plain, never beyond limit bytes.
Inflated inflateStream(const QByteArray &coded, int window, int limit, QByteArray &plain)
{
    z_stream stream{};
    if (inflateInit2(&stream, window) != Z_OK)
        return Inflated::Broken;
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(coded.constData()));
    stream.avail_in = uInt(coded.size());
    plain.clear();
    char out[kInflateChunk];
    int result = Z_OK;
    while (result == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef *>(out);
        stream.avail_out = sizeof out;
        result = inflate(&stream, Z_NO_FLUSH);
        const int produced = int(sizeof out - stream.avail_out);
        if (plain.size() + produced > limit) {
            inflateEnd(&stream);
            return Inflated::TooLarge;
        }
        plain.append(out, produced);
    }
    inflateEnd(&stream);
    return result == Z_STREAM_END ? Inflated::Ok : Inflated::Broken;
}

} // namespace

void HttpAnswer::feed(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    started = true;
    if (current != Reading) {
        surplus = true;
        return;
    }
    pending += bytes;
    while (current == Reading && step()) {
    }
    // Many lines in one piece are read in one pass; what is read goes only now.
    pending.remove(0, position);
    searched = qMax(0, searched - position);
    position = 0;
}

void HttpAnswer::connectionClosed()
{
    if (current != Reading)
        return;
    if (phase == BodyToClose)
        finish();
    else
        fail(started ? "connection closed before the answer was complete"
                     : "connection closed without an answer");
}

bool HttpAnswer::keepsConnection() const
{
    // A length beside the chunks is a sign of a confused peer (or of a smuggled
    // answer): the connection is not trusted with another request.
    if (current != Complete || surplus || head.bodyToClose || head.closeAsked
        || (head.chunked && head.contentLength >= 0))
        return false;
    // HTTP/1.1 keeps the connection unless told otherwise, HTTP/1.0 only when told so.
    return !head.http10 || head.keepAliveAsked;
}

// Reads one line or one piece of body; false once it needs more bytes or has ended.
bool HttpAnswer::step()
{
    QByteArray line;
    switch (phase) {
    case StatusLine:
        return takeLine(line) && readStatusLine(line);
    case Fields:
        return takeLine(line) && readFieldLine(line);
    case FixedBody:
    case ChunkData:
        return takeBody();
    case ChunkSize:
        return takeLine(line) && readChunkSize(line);
    case ChunkEnd:
        if (!takeLine(line))
            return false;
        if (!line.isEmpty())
            return fail("chunk longer than its size");
        lineBytes = 0;
        phase = ChunkSize;
        return true;
    case Trailers:
        // Trailer fields carry nothing this reader needs; the blank line ends the answer.
        if (!takeLine(line))
            return false;
        return line.isEmpty() ? finish() : true;
    case BodyToClose:
        return takeBodyToClose();
    case Done:
        break;
    }
    return false;
}

// Cuts the next line off the pending bytes, without its "\r\n" (or a bare "\n",
// as lenient peers end lines). Lines count against the head's limit.
bool HttpAnswer::takeLine(QByteArray &line)
{
    // A line that comes a byte at a time is searched once, not once a byte.
    const int end = pending.indexOf('\n', qMax(position, searched));
    if (end < 0) {
        searched = pending.size();
        if (lineBytes + pending.size() - position > kMaxHeadBytes)
            fail("head too long");
        return false;
    }
    lineBytes += end + 1 - position;
    if (lineBytes > kMaxHeadBytes)
        return fail("head too long");
    line = pending.mid(position, end - position);
    if (line.endsWith('\r'))
        line.chop(1);
    position = end + 1;
    return true;
}

// "HTTP/1.1 200 OK": the version, the three-digit code and an optional reason.
bool HttpAnswer::readStatusLine(const QByteArray &line)
{
    // Blank lines before an answer are tolerated, as HTTP asks of a client.
    if (line.isEmpty())
        return true;
    if (line.size() < kStatusLineLength || !line.startsWith("HTTP/1.") || !isDigit(line.at(7))
        || line.at(8) != ' ' || !isDigit(line.at(9)) || !isDigit(line.at(10))
        || !isDigit(line.at(11)) || (line.size() > kStatusLineLength && line.at(12) != ' '))
        return fail("not an HTTP/1 status line");
    head.status = line.mid(9, 3).toInt();
    if (head.status < 100)
        return fail("not an HTTP/1 status line");
    head.http10 = line.at(7) == '0';
    phase = Fields;
    return true;
}

bool HttpAnswer::readFieldLine(const QByteArray &line)
{
    if (!line.isEmpty() && (line.at(0) == ' ' || line.at(0) == '\t')) {
        // An old-style continuation: part of the previous field's value.
        if (head.fieldName.isEmpty())
            return fail("continuation line without a field");
        head.fieldValue += ' ' + line.trimmed();
        return true;
    }
    if (!head.fieldName.isEmpty() && !applyField())
        return false;
    if (line.isEmpty())
        return startBody();
    const int colon = line.indexOf(':');
    if (colon <= 0)
        return fail("malformed header field");
    head.fieldName = line.left(colon).toLower();
    for (const char c : qAsConst(head.fieldName)) {
        if (uchar(c) <= ' ' || uchar(c) >= 127)
            return fail("malformed header field");
    }
    head.fieldValue = line.mid(colon + 1).trimmed();
    return true;
}

// Takes note of the fields that frame the body, say what becomes of the
// connection, how the body is coded or what cookies to keep; the others mean
// nothing here.
bool HttpAnswer::applyField()
{
    const QByteArray name = head.fieldName;
    const QByteArray value = head.fieldValue;
    head.fieldName.clear();
    if (name == "content-length") {
        qint64 length = 0;
        for (const char c : value) {
            if (!isDigit(c))
                return fail("malformed Content-Length");
            // Anything beyond the body limit fails later, if the length is used at all.
            length = qMin<qint64>(length * 10 + (c - '0'), qint64(kMaxBodyBytes) + 1);
        }
        if (value.isEmpty() || (head.contentLength >= 0 && head.contentLength != length))
            return fail("malformed Content-Length");
        head.contentLength = length;
    } else if (name == "transfer-encoding") {
        for (const QByteArray &coding : listItems(value)) {
            // "chunked" comes last, once.
            if (head.chunked)
                return fail("malformed Transfer-Encoding");
            if (coding == "chunked")
                head.chunked = true;
            else if (coding != "identity")
                head.otherTransferCoding = true;
        }
    } else if (name == "connection") {
        const QList<QByteArray> options = listItems(value);
        head.closeAsked = head.closeAsked || options.contains("close");
        head.keepAliveAsked = head.keepAliveAsked || options.contains("keep-alive");
    } else if (name == "content-encoding") {
        head.contentCodings += ',' + value;
    } else if (name == "set-cookie") {
        head.cookies += (head.cookies.isEmpty() ? "" : "\n") + value;
    }
    return true;
}

// The head is over: finds how the body is framed.
bool HttpAnswer::startBody()
{
    if (head.status < 200) {
        if (head.status == 101)
            return fail("protocol switch that nobody asked for");
        // "100 Continue" and the like: the real answer follows.
        head = Head();
        lineBytes = 0;
        phase = StatusLine;
        return true;
    }
    if (head.otherTransferCoding)
        return fail("unsupported transfer coding");
    if (head.status == 204 || head.status == 304)
        return finish();
    if (head.chunked) {
        lineBytes = 0;
        phase = ChunkSize;
        return true;
    }
    if (head.contentLength > kMaxBodyBytes)
        return fail("body too large");
    if (head.contentLength == 0)
        return finish();
    if (head.contentLength > 0) {
        remaining = head.contentLength;
        phase = FixedBody;
        return true;
    }
    head.bodyToClose = true;
    phase = BodyToClose;
    return true;
}

// "1a3f", possibly followed by extensions (";name=value") that mean nothing here.
bool HttpAnswer::readChunkSize(const QByteArray &line)
{
    const int extensions = line.indexOf(';');
    const QByteArray digits = (extensions < 0 ? line : line.left(extensions)).trimmed();
    if (digits.isEmpty())
        return fail("malformed chunk size");
    qint64 size = 0;
    for (const char c : digits) {
        const int digit = hexValue(c);
        if (digit < 0)
            return fail("malformed chunk size");
        size = size * 16 + digit;
        if (content.size() + size > kMaxBodyBytes)
            return fail("body too large");
    }
    if (size == 0) {
        phase = Trailers;
        return true;
    }
    remaining = size;
    phase = ChunkData;
    return true;
}

bool HttpAnswer::takeBody()
{
    const int taken = int(qMin<qint64>(remaining, pending.size() - position));
    content.append(pending.constData() + position, taken);
    position += taken;
    remaining -= taken;
    if (remaining > 0)
        return false;
    if (phase == FixedBody)
        return finish();
    phase = ChunkEnd;
    return true;
}

bool HttpAnswer::takeBodyToClose()
{
    if (content.size() + pending.size() - position > kMaxBodyBytes)
        return fail("body too large");
    content.append(pending.constData() + position, pending.size() - position);
    position = pending.size();
    return false;
}

// The answer has all its bytes. Always false: nothing more is read.
bool HttpAnswer::finish()
{
    phase = Done;
    surplus = position < pending.size();
    dropPending();
    if (decodeContent())
        current = Complete;
    return false;
}

// Undoes the content coding that the request's "Accept-Encoding" allowed.
bool HttpAnswer::decodeContent()
{
    QList<QByteArray> codings = listItems(head.contentCodings);
    codings.removeAll("identity");
    if (codings.isEmpty() || content.isEmpty())
        return true;
    const QByteArray coding = codings.first();
    if (codings.size() > 1 || (coding != "gzip" && coding != "x-gzip" && coding != "deflate"))
        return fail("unsupported content coding");
    QByteArray plain;
    Inflated result = inflateStream(content, kGzipOrZlibWindow, kMaxBodyBytes, plain);
    // Some servers send "deflate" without the zlib wrapper around it.
    if (result == Inflated::Broken && coding == "deflate")
        result = inflateStream(content, kRawDeflateWindow, kMaxBodyBytes, plain);
    if (result == Inflated::TooLarge)
        return fail("body too large");
    if (result == Inflated::Broken)
        return fail("body cannot be decoded");
    content = plain;
    return true;
}

bool HttpAnswer::fail(const char *why)
{
    current = Failed;
    phase = Done;
    failure = why;
    dropPending();
    content.clear();
    return false;
}

void HttpAnswer::dropPending()
{
    pending.clear();
    position = 0;
    searched = 0;
}
