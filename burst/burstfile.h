#ifndef BURSTFILE_H
#define BURSTFILE_H

#include "burstperiod.h"

#include <QByteArray>
#include <QFile>
#include <QString>

// The local file that receives a burst dump. The bytes go to "<name>.part"
// exactly as the station sent them, one received chunk at a time, and only a
// dump that ended and reached the disk whole replaces "<name>": an earlier
// download is never lost to a failed one. It watches for the "END" terminator,
// also when it is split between chunks, and for the end of the line that holds it.
class BurstFile
{
public:
    explicit BurstFile(const QString &path);

    // "<serial>_data.log" in the working directory. The serial comes from the
    // station, so every character that could leave the directory or confuse a
    // file system is replaced by "_".
    static QString fileName(const QString &stationSerial);
    // "<serial>_<YYYYMMDDHH>_<days>d_data.log", the serial made safe the same way:
    // a file per period, so that no collection overwrites an earlier one.
    static QString fileName(const QString &stationSerial, const BurstPeriod &period);
    static QString partName(const QString &path) { return path + QStringLiteral(".part"); }

    // Creates the ".part" file, empty; on failure writes the debug line.
    bool open();
    // False once anything failed to reach the file; errorString() tells why.
    bool write(const char *data, qint64 size);
    // Closes the ".part" file and puts it in place of the file; false on failure.
    bool commit();
    // Closes the ".part" file and leaves it for the operator to look at.
    void keepPart();

    bool terminatorSeen() const { return terminator; }
    // Whether writing next would bring the terminator.
    bool wouldSeeTerminator(const QByteArray &next) const;
    bool terminatorLineEnded() const { return terminatorLineEnd; }
    qint64 size() const { return bytes; }
    qint64 lines() const { return lineCount; }
    QString path() const { return target; }
    QString partPath() const { return part.fileName(); }
    QString errorString() const { return error; }

private:
    static QString safeName(const QString &stationSerial);
    void watch(const char *data, qint64 size);

    QString target;
    QFile part;
    QByteArray tail;          // the last bytes written, to find a terminator split in two
    bool terminator = false;
    bool terminatorLineEnd = false;
    qint64 bytes = 0;
    qint64 lineCount = 0;
    QString error;
};

#endif // BURSTFILE_H
