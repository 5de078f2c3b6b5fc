#include "stationbench.h"

#include "windowdriver.h"

#include <QtTest>

StationBench::StationBench()
{
    window.show();
}

void StationBench::useTcp(int timeoutMs)
{
    QVERIFY(tcp.start());
    WindowDriver::useTcp(window, tcp.port(), timeoutMs);
}

void StationBench::useSerial()
{
    QVERIFY(pty.start());
    WindowDriver::useSerialPort(window, pty.slavePath());
}

void StationBench::connectStation()
{
    WindowDriver::action(window, "actionConnect")->trigger();
    QCOMPARE(WindowDriver::enabledControls(window), WindowDriver::operationControls());
    station.clearReceived();
}
