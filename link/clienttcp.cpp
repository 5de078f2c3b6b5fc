#include "clienttcp.h"

#include <QTextStream>

ClientTcp::ClientTcp()
{
    // The slot named connect hides QObject::connect inside this class.
    QObject::connect(&socket, SIGNAL(connected()), this, SLOT(OK_connect()));
    QObject::connect(&socket, SIGNAL(readyRead()), this, SLOT(read()));
}

void ClientTcp::connect(QString IP2, uint16_t port)
{
    ip = IP2;
    this->port = port;
    socket.connectToHost(IP2, port, QIODevice::ReadWrite, QAbstractSocket::AnyIPProtocol);
}

void ClientTcp::write(QString t)
{
    QTextStream out(&socket);
    out << t << Qt::endl;
}

void ClientTcp::OK_connect()
{
    emit signal_OK_connect();
}

void ClientTcp::read()
{
    // A line without its line feed yet stays buffered until the next readyRead.
    while (socket.canReadLine()) {
        const QByteArray line = socket.readLine();
        // The line keeps its line end; a zero byte ends the text early.
        emit signal_write(line.isNull() ? QString() : QString::fromUtf8(line.constData()));
    }
}
