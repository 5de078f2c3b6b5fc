#ifndef BURSTFILE_H
#define BURSTFILE_H

#include "burstperiod.h"

#include <QByteArray>
#include <QFile>
#include <QString>

// The local file that receives a burst dump, named after the station serial.
// It stores the bytes exactly as the station sent them, one received chunk at
// a time, and watches for the "END" terminator even when it is split between chunks.
class BurstFile
{
public:
    explicit BurstFile(const QString &stationSerial);

    // "<serial>_data.log" in the working directory. The serial comes from the
    // station, so every character that could leave the directory or confuse a
    // file system is replaced by "_".
    static QString fileName(const QString &stationSerial);
    // "<serial>_<YYYYMMDDHH>_<days>d_data.log", the serial made safe the same way:
    // a file per period, so that no collection overwrites an earlier one.
    static QString fileName(const QString &stationSerial, const BurstPeriod &period);

    void setFileName(const QString &path) { file.setFileName(path); }

    // Opens the file for writing and empties it; on failure writes the debug line.
    bool open();
    void write(const QByteArray &chunk);
    void write(const char *data, qint64 size);
    bool terminatorSeen() const { return terminator; }
    void close();

private:
    static QString safeName(const QString &stationSerial);

    QFile file;
    QByteArray tail;          // the last bytes written, to find a terminator split in two
    bool terminator = false;
};

#endif // BURSTFILE_H
