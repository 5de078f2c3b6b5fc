#include "stationline.h"

#include <QElapsedTimer>

#include <cerrno>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {
constexpr int kStopCheckMs = 20;   // how often a wait looks at the stop flag
constexpr int kReadChunk = 65536;
}

StationLine::StationLine(int fd, const QString &name, bool canClose,
                         const std::atomic_bool &stopping, int watchFd)
    : fd(fd), lineName(name), watchFd(watchFd), closable(canClose), stop(stopping)
{
}

StationLine::ReadResult StationLine::read(int timeoutMs, QByteArray &bytes)
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        if (stop)
            return ReadResult::Closed;
        const int left = timeoutMs - int(clock.elapsed());
        if (left <= 0)
            return ReadResult::Idle;
        pollfd fds[2] = {{fd, POLLIN, 0}, {watchFd, POLLIN, 0}};
        const int ready = ::poll(fds, watchFd < 0 ? 1 : 2, qMin(left, kStopCheckMs));
        if (ready < 0 && errno != EINTR)
            return ReadResult::Closed;
        if (ready <= 0)
            continue;
        if (watchFd >= 0 && (fds[1].revents & POLLIN))
            return ReadResult::Closed;
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
            char buffer[kReadChunk];
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0) {
                bytes.append(buffer, int(n));
                return ReadResult::Data;
            }
            if (n == 0 || (errno != EAGAIN && errno != EINTR))
                return ReadResult::Closed;
        }
    }
}

bool StationLine::send(const QByteArray &bytes)
{
    const char *data = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        if (stop)
            return false;
        // MSG_NOSIGNAL keeps a vanished TCP peer from raising SIGPIPE; a pty is no socket.
        ssize_t n = closable ? ::send(fd, data, size_t(left), MSG_NOSIGNAL)
                             : ::write(fd, data, size_t(left));
        if (n > 0) {
            data += n;
            left -= n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            return false;
        // The reader is slow: wait until the line takes bytes again.
        pollfd out = {fd, POLLOUT, 0};
        if (::poll(&out, 1, kStopCheckMs) > 0 && (out.revents & (POLLERR | POLLHUP)))
            return false;
    }
    return true;
}

bool StationLine::pause(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!stop) {
        const qint64 left = ms - clock.elapsed();
        if (left <= 0)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(qMin<qint64>(left, kStopCheckMs)));
    }
    return false;
}
