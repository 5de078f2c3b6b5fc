#include "collector.h"

#include <QCoreApplication>
#include <QTextStream>

#include <unistd.h>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    Collector collector;
    collector.setErrorIsTerminal(isatty(STDERR_FILENO));
    return collector.run(app.arguments(), out, err);
}
