#ifndef COLLECTCONFIG_H
#define COLLECTCONFIG_H

#include "stationconfigfile.h"

#include <QString>

class CommandsManager;

// marlowdesk-collect's --read-config and --write-config: a station's configuration
// kept as a file, and a file sent to a station with the configuration command,
// byte for byte as the window's "Send Configuration to device" sends the same values.
class CollectConfig
{
public:
    enum Result {
        Done,
        BadFile,       // the file cannot be read, written or sent; nothing was sent
        Unreachable,   // the station cannot be reached or does not answer
        Refused        // the station did not take the configuration
    };

    // Reads the configuration of the connected station into the file at path.
    static Result read(CommandsManager &link, const QString &path, QString &message);

    // Sends the checked file to the connected station. A file with only some of the
    // fields is laid over what the station reports first, as the form would be.
    static Result write(CommandsManager &link, const StationConfigFile &file, bool readsBack,
                        QString &message);
};

#endif // COLLECTCONFIG_H
