#ifndef PTYSTATION_H
#define PTYSTATION_H

#include <QString>

#include <atomic>
#include <thread>

class SimulatedStation;

// Serves a SimulatedStation over a pseudo-terminal on its own thread. The tool
// opens slavePath() as a custom serial port. The simulator keeps a slave
// descriptor of its own open, so the master never sees the line vanish when the
// tool closes and reopens the port.
class PtyStation
{
public:
    explicit PtyStation(SimulatedStation &station);
    ~PtyStation();

    PtyStation(const PtyStation &) = delete;
    PtyStation &operator=(const PtyStation &) = delete;

    // Creates the pseudo-terminal and starts serving it; false when no pty can be had.
    bool start();
    void stop();

    QString slavePath() const { return path; }

    // Throws away what the station sent and nobody read yet, as a real line
    // loses what arrives while the port is closed.
    void discardPending();

private:
    void run();
    void closeDescriptors();

    SimulatedStation &station;
    int masterFd = -1;
    int slaveFd = -1;
    QString path;
    std::atomic_bool stopping{false};
    std::thread thread;
};

#endif // PTYSTATION_H
