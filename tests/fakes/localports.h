#ifndef LOCALPORTS_H
#define LOCALPORTS_H

#include <QTcpServer>

// A free port of 127.0.0.1 that the probe leaves with nobody on it: a connection there is refused.
inline quint16 closedLocalPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

#endif // LOCALPORTS_H
