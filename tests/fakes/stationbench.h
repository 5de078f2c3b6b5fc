#ifndef STATIONBENCH_H
#define STATIONBENCH_H

#include "mainwindow.h"
#include "ptystation.h"
#include "simulatedstation.h"
#include "tcpstation.h"

// A shown main window and a simulated station that it can reach over TCP on
// 127.0.0.1 or over a pseudo-terminal. A side is started only when the window
// is pointed at it. The window goes first on destruction, so its link closes
// while the station still serves.
class StationBench
{
public:
    StationBench();

    // Starts the TCP side and applies it in the window with this reply time limit.
    void useTcp(int timeoutMs);
    // Starts the pseudo-terminal and applies its path as a custom serial port.
    void useSerial();
    // Connects; the configuration read must unlock every operation control.
    // The station then forgets what it received so far.
    void connectStation();

    SimulatedStation station;
    TcpStation tcp{station};
    PtyStation pty{station};
    MainWindow window;
};

#endif // STATIONBENCH_H
