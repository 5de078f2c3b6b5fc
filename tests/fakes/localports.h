#ifndef LOCALPORTS_H
#define LOCALPORTS_H

#include <QtGlobal>

// A port on 127.0.0.1 on which nothing listens: a connection there is refused at once.
quint16 closedLocalPort();

#endif // LOCALPORTS_H
