#include "ptystation.h"

#include "simulatedstation.h"
#include "stationline.h"

#include <cstdlib>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

PtyStation::PtyStation(SimulatedStation &station) : station(station)
{
}

PtyStation::~PtyStation()
{
    stop();
}

bool PtyStation::start()
{
    if (thread.joinable())
        return true;
    masterFd = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (masterFd < 0 || ::grantpt(masterFd) != 0 || ::unlockpt(masterFd) != 0) {
        closeDescriptors();
        return false;
    }
    path = QString::fromLocal8Bit(::ptsname(masterFd));
    slaveFd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    termios mode{};
    if (slaveFd < 0 || ::tcgetattr(slaveFd, &mode) != 0) {
        closeDescriptors();
        return false;
    }
    // Raw: no echo back to the station, no line-end translation either way.
    ::cfmakeraw(&mode);
    ::tcsetattr(slaveFd, TCSANOW, &mode);
    stopping = false;
    thread = std::thread([this] { run(); });
    station.log(QStringLiteral("serial line on %1").arg(path));
    return true;
}

void PtyStation::stop()
{
    if (thread.joinable()) {
        stopping = true;
        thread.join();
    }
    closeDescriptors();
}

void PtyStation::discardPending()
{
    if (slaveFd >= 0)
        ::tcflush(slaveFd, TCIOFLUSH);
}

void PtyStation::run()
{
    StationLine line(masterFd, QStringLiteral("pty"), false, stopping);
    station.serve(line);
}

void PtyStation::closeDescriptors()
{
    if (slaveFd >= 0)
        ::close(slaveFd);
    if (masterFd >= 0)
        ::close(masterFd);
    slaveFd = masterFd = -1;
}
