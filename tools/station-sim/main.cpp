// station-sim: a simulated station for people. It serves one in-memory station
// over a pseudo-terminal and over TCP on 127.0.0.1, logs every byte that
// crosses either line, and runs until interrupted.

#include "ptystation.h"
#include "simulatedstation.h"
#include "tcpstation.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

#include <csignal>
#include <poll.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t interrupted = 0;

void onSignal(int)
{
    interrupted = 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("station-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Simulated air-quality station. Without --pty or --tcp it serves both lines."));
    parser.addHelpOption();
    const QCommandLineOption ptyOption(QStringLiteral("pty"), QStringLiteral("Serve a pseudo-terminal."));
    const QCommandLineOption tcpOption(QStringLiteral("tcp"),
                                       QStringLiteral("Serve TCP on 127.0.0.1:PORT (0: any free port)."),
                                       QStringLiteral("PORT"));
    const QCommandLineOption linesOption(QStringLiteral("lines"),
                                         QStringLiteral("Lines in the burst dump (default 10)."),
                                         QStringLiteral("N"));
    const QCommandLineOption serialOption(QStringLiteral("serial"),
                                          QStringLiteral("Station serial (default ST1234)."),
                                          QStringLiteral("S"));
    const QCommandLineOption quietOption(QStringLiteral("quiet"),
                                         QStringLiteral("Do not log the exchanges."));
    parser.addOptions({ptyOption, tcpOption, linesOption, serialOption, quietOption});
    parser.process(app);

    QTextStream out(stdout);
    QTextStream err(stderr);
    const bool both = !parser.isSet(ptyOption) && !parser.isSet(tcpOption);
    bool ok = true;
    const uint port = parser.isSet(tcpOption) ? parser.value(tcpOption).toUInt(&ok) : 0;
    if (!ok || port > 65535) {
        err << "station-sim: --tcp needs a port from 0 to 65535\n";
        return 2;
    }

    SimulatedStation station;
    if (parser.isSet(linesOption)) {
        const qint64 lines = parser.value(linesOption).toLongLong(&ok);
        if (!ok || lines < 0) {
            err << "station-sim: --lines needs a count of zero or more\n";
            return 2;
        }
        station.setBurstLineCount(lines);
    }
    if (parser.isSet(serialOption)) {
        StationConfig config = station.config();
        config.SERIAL = parser.value(serialOption);
        station.setConfig(config);
    }
    QFile log;
    if (!parser.isSet(quietOption) && log.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered))
        station.setLogDevice(&log);

    PtyStation pty(station);
    TcpStation tcp(station, quint16(port));
    if (both || parser.isSet(tcpOption)) {
        if (!tcp.start()) {
            err << "station-sim: cannot listen on 127.0.0.1:" << port << "\n";
            return 1;
        }
        out << "TCP: 127.0.0.1:" << tcp.port() << "\n";
    }
    if (both || parser.isSet(ptyOption)) {
        if (!pty.start()) {
            err << "station-sim: cannot create a pseudo-terminal\n";
            return 1;
        }
        out << "Serial: " << pty.slavePath() << " (type this path as a Custom port)\n";
    }
    out << "Station serial " << station.config().SERIAL << "; Ctrl+C stops.\n";
    out.flush();

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    // The lines are served on their own threads; this one only waits for a signal.
    while (!interrupted)
        ::poll(nullptr, 0, 100);
    tcp.stop();
    pty.stop();
    out << "station-sim stopped\n";
    return 0;
}
