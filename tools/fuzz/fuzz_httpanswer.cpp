// Feeds arbitrary bytes, cut into pieces at arbitrary places, to the reader of
// the platform's HTTP answers and checks what must hold whatever comes: an
// answer that has ended never changes again, its body stays within the limit,
// and the same bytes give the same answer however they are cut.

#include "fuzzcheck.h"
#include "httpanswer.h"

#include <QByteArray>
#include <QVector>

#include <cstddef>
#include <cstdint>
#include <tuple>

namespace {

using Result = std::tuple<HttpAnswer::State, int, QByteArray, bool>;   // state, status, body, kept

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
        // Only the surplus bytes can take the connection's reuse away.
        const Result now = resultOf(answer);
        check(!ended || now == last || now == Result(std::get<0>(last), std::get<1>(last), std::get<2>(last), false));
        ended = answer.state() != HttpAnswer::Reading;
        last = now;
    }
    if (closed)
        answer.connectionClosed();
    const auto [state, status, body, keeps] = resultOf(answer);
    if (closed)
        check(state != HttpAnswer::Reading);
    if (state == HttpAnswer::Complete)
        check(status >= 200 && status <= 999);
    else
        check(status == 0 && body.isEmpty() && !keeps);
    return resultOf(answer);
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
