#include "tcpstation.h"

#include "simulatedstation.h"
#include "stationline.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
constexpr int kAcceptWaitMs = 20;   // how often the accept loop looks at the stop flag
}

TcpStation::TcpStation(SimulatedStation &station, quint16 port)
    : station(station), listenPort(port)
{
}

TcpStation::~TcpStation()
{
    stop();
}

bool TcpStation::start()
{
    if (thread.joinable())
        return true;
    listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listenFd < 0)
        return false;
    const int yes = 1;
    ::setsockopt(listenFd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(listenPort);
    // Loopback only: the simulator is never reachable from another machine.
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(listenFd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
        || ::listen(listenFd, 4) != 0
        || ::getsockname(listenFd, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
        ::close(listenFd);
        listenFd = -1;
        return false;
    }
    listenPort = ntohs(address.sin_port);
    stopping = false;
    thread = std::thread([this] { run(); });
    station.log(QStringLiteral("listening on 127.0.0.1:%1").arg(listenPort));
    return true;
}

void TcpStation::stop()
{
    if (thread.joinable()) {
        stopping = true;
        thread.join();
    }
    if (listenFd >= 0)
        ::close(listenFd);
    listenFd = -1;
}

void TcpStation::run()
{
    while (!stopping) {
        pollfd waiting = {listenFd, POLLIN, 0};
        if (::poll(&waiting, 1, kAcceptWaitMs) <= 0)
            continue;
        const int client = ::accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (client < 0)
            continue;
        ++connections;
        const QString name = QStringLiteral("tcp#%1").arg(int(connections));
        station.log(name + QStringLiteral(" connected"));
        StationLine line(client, name, true, stopping, listenFd);
        station.serve(line);
        ::close(client);
        station.log(name + QStringLiteral(" closed"));
    }
}
