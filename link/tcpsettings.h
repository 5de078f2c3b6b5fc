#ifndef TCPSETTINGS_H
#define TCPSETTINGS_H

#include <QString>

// Where the station's own TCP connection is reached and how long it may take: as the
// operator applied it in the TCP settings dialog, or as given on a command line.
struct TcpSettings
{
    // The station's own address and port out of the box.
    static constexpr const char *kDefaultAddress = "192.168.1.10";
    static constexpr quint16 kDefaultPort = 80;
    // For connecting and for each first reply.
    static constexpr qint32 kDefaultTimeoutMs = 15000;

    QString ip;            // handed to the socket unchanged: an address or a host name
    quint16 port = 0;
    qint32 timeout = 0;    // milliseconds, for connecting and for each first reply
};

#endif // TCPSETTINGS_H
