#include "burstfile.h"

#include <QDebug>

#include <string_view>

namespace {

constexpr std::string_view kTerminator("END");

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

QString BurstFile::safeName(const QString &stationSerial)
{
    QString name = stationSerial;
    for (QChar &c : name) {
        if (!isSafeFileCharacter(c))
            c = QLatin1Char('_');
    }
    return name;
}

// With no separator left and the fixed ending, either name can only be a plain
// file in the folder it is put in (never "." or "..").
QString BurstFile::fileName(const QString &stationSerial)
{
    return safeName(stationSerial) + QStringLiteral("_data.log");
}

QString BurstFile::fileName(const QString &stationSerial, const BurstPeriod &period)
{
    return safeName(stationSerial) + QLatin1Char('_') + period.stamp() + QLatin1Char('_')
        + QString::number(period.days()) + QStringLiteral("d_data.log");
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
    write(chunk.constData(), chunk.size());
}

void BurstFile::write(const char *data, qint64 size)
{
    if (size <= 0)
        return;
    file.write(data, size);
    // The terminator may also begin in the last bytes of the chunk before.
    const qint64 keep = kTerminator.size() - 1;
    QByteArray seam = tail;
    seam.append(data, int(qMin(size, keep)));
    const std::string_view chunk(data, size_t(size));
    if (chunk.find(kTerminator) != std::string_view::npos || seam.contains(kTerminator.data()))
        terminator = true;
    tail = size >= keep ? QByteArray(data + size - keep, int(keep)) : seam.right(int(keep));
}

void BurstFile::close()
{
    file.close();
}
