#include "localports.h"

#include <QTcpServer>

quint16 closedLocalPort()
{
    // The system hands out a free port; closing the probe leaves nobody on it.
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost))
        qFatal("cannot listen on 127.0.0.1: %s", qPrintable(probe.errorString()));
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}
