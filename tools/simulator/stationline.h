#ifndef STATIONLINE_H
#define STATIONLINE_H

#include <QByteArray>
#include <QString>

#include <atomic>

// One open, non-blocking descriptor over which the simulated station talks: the
// master side of a pseudo-terminal or an accepted TCP connection. It is used only
// by the transport thread that serves it; every wait ends early when the
// transport is stopping, so a stuck reader never keeps a transport from shutting down.
class StationLine
{
public:
    enum class ReadResult { Data, Idle, Closed };

    // fd stays owned by the caller. name tags the line in the station's log.
    // watchFd, when not -1, ends the line as soon as it becomes readable (a TCP
    // listener with a new client waiting).
    StationLine(int fd, const QString &name, bool canClose, const std::atomic_bool &stopping,
                int watchFd = -1);

    // Waits up to timeoutMs for bytes and appends them to bytes.
    ReadResult read(int timeoutMs, QByteArray &bytes);

    // Writes all of bytes; false when the line is gone or the transport stops.
    bool send(const QByteArray &bytes);

    // A real pause on the wire; false when the transport stops meanwhile.
    bool pause(int ms);

    // Whether the transport can hang up (TCP) or not (a pty stays open).
    bool canClose() const { return closable; }
    bool stopping() const { return stop; }
    QString name() const { return lineName; }

private:
    int fd;
    QString lineName;
    int watchFd;
    bool closable;
    const std::atomic_bool &stop;
};

#endif // STATIONLINE_H
