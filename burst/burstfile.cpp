#include "burstfile.h"

#include <QDebug>

namespace {

const QByteArray kTerminator("END");

bool isSafeFileCharacter(QChar c)
{
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
        || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
        || (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
        || c == QLatin1Char('-') || c == QLatin1Char('_') || c == QLatin1Char('.');
}

} // namespace

BurstFile::BurstFile(const QString &stationSerial)
    : file(fileName(stationSerial))
{
}

QString BurstFile::fileName(const QString &stationSerial)
{
    QString name = stationSerial;
    for (QChar &c : name) {
        if (!isSafeFileCharacter(c))
            c = QLatin1Char('_');
    }
    // With no separator left and the fixed ending, the name can only be a plain
    // file in the working directory (never "." or "..").
    return name + QStringLiteral("_data.log");
}

bool BurstFile::open()
{
    // Binary mode: the file keeps the station's bytes, line ends included.
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return true;
    qDebug() << "Failed to open file" << file.error();
    return false;
}

void BurstFile::write(const QByteArray &chunk)
{
    if (chunk.isEmpty())
        return;
    file.write(chunk);
    const int keep = kTerminator.size() - 1;
    const QByteArray seam = tail + chunk.left(keep);
    if (seam.contains(kTerminator) || chunk.contains(kTerminator))
        terminator = true;
    tail = chunk.size() >= keep ? chunk.right(keep) : seam.right(keep);
}

void BurstFile::close()
{
    file.close();
}
