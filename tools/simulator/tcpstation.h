#ifndef TCPSTATION_H
#define TCPSTATION_H

#include <QtGlobal>

#include <atomic>
#include <thread>

class SimulatedStation;

// Serves a SimulatedStation over TCP on 127.0.0.1, one client at a time, on its
// own thread. The station hangs up on "RESET:" and on a Drop fault; the next
// connection is then served. A client that connects while another is served
// replaces it, as the tool reconnects without always closing first.
class TcpStation
{
public:
    // port 0 takes an ephemeral port; port() tells which after start().
    explicit TcpStation(SimulatedStation &station, quint16 port = 0);
    ~TcpStation();

    TcpStation(const TcpStation &) = delete;
    TcpStation &operator=(const TcpStation &) = delete;

    bool start();
    void stop();

    quint16 port() const { return listenPort; }
    int connectionCount() const { return connections; }

private:
    void run();

    SimulatedStation &station;
    quint16 listenPort;
    int listenFd = -1;
    std::atomic_int connections{0};
    std::atomic_bool stopping{false};
    std::thread thread;
};

#endif // TCPSTATION_H
