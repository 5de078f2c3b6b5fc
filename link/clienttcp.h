#ifndef CLIENTTCP_H
#define CLIENTTCP_H

#include <QObject>
#include <QString>
#include <QTcpSocket>
#include <cstdint>

// A small event-driven TCP client that speaks in lines: it sends each text as one
// line and hands out every complete line it receives. It never blocks; everything
// runs from the event loop of the thread that owns it.
class ClientTcp : public QObject
{
    Q_OBJECT

public:
    ClientTcp();

signals:
    void signal_OK_connect();
    void signal_write(QString);

public slots:
    void connect(QString IP2, uint16_t port);
    void write(QString t);

private slots:
    void OK_connect();
    void read();

private:
    QString ip;
    uint16_t port = 0;
    QTcpSocket socket;
};

#endif // CLIENTTCP_H
