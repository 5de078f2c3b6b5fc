// Feeds arbitrary bytes, cut into pieces at arbitrary places, to the reader of
// the platform's HTTP answers and checks what must hold whatever comes: an
// answer that has ended never changes again, its body stays within the limit,
// and the same bytes give the same answer however they are cut.

#include "httpanswer.h"

#include <QByteArray>
#include <QVector>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        abort();
}

struct Result
{
    HttpAnswer::State state;
    int status;
    QByteArray body;
    bool keeps;

    bool operator==(const Result &other) const
    {
        return state == other.state && status == other.status && body == other.body
            && keeps == other.keeps;
    }
};

Result resultOf(const HttpAnswer &answer)
{
    return {answer.state(), answer.status(), answer.body(), answer.keepsConnection()};
}

// Feeds the bytes in the given pieces, checking after each one that an answer
// that has ended stays as it was.
Result read(const QByteArray &bytes, const QVector<int> &cuts, bool closed)
{
    HttpAnswer answer;
    bool ended = false;
    Result last{};
    int from = 0;
    for (int i = 0; i <= cuts.size(); ++i) {
        const int to = i < cuts.size() ? cuts.at(i) : bytes.size();
        answer.feed(QByteArray::fromRawData(bytes.constData() + from, to - from));
        from = to;
        check(answer.body().size() <= HttpAnswer::kMaxBodyBytes);
        if (ended) {
            const Result now = resultOf(answer);
            // Only the surplus bytes can take the connection's reuse away.
            check(now.state == last.state && now.status == last.status && now.body == last.body);
            check(!now.keeps || last.keeps);
        }
        ended = answer.state() != HttpAnswer::Reading;
        last = resultOf(answer);
    }
    if (closed)
        answer.connectionClosed();
    const Result result = resultOf(answer);
    if (closed)
        check(result.state != HttpAnswer::Reading);
    if (result.state == HttpAnswer::Complete)
        check(result.status >= 200 && result.status <= 999);
    else
        check(result.status == 0 && result.body.isEmpty() && !result.keeps);
    return result;
}

} // namespace

// The first byte chooses whether the connection closes at the end and how the
// bytes after it are cut; the rest are the bytes of the connection.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const bool closed = data[0] & 1;
    const QByteArray bytes(reinterpret_cast<const char *>(data) + 1, static_cast<int>(size) - 1);

    QVector<int> randomCuts;
    quint32 state = data[0] * 2654435761u + 1;
    for (int at = 0;;) {
        state = state * 1664525u + 1013904223u;
        at += 1 + int((state >> 16) % 64);
        if (at >= bytes.size())
            break;
        randomCuts << at;
    }
    QVector<int> everyByte;
    for (int at = 1; at < bytes.size(); ++at)
        everyByte << at;

    const Result whole = read(bytes, {}, closed);
    check(read(bytes, randomCuts, closed) == whole);
    check(read(bytes, everyByte, closed) == whole);
    return 0;
}
