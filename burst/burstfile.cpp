#include "burstfile.h"

#include <QDebug>

#include <cerrno>
#include <cstdio>
#include <cstring>
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

BurstFile::BurstFile(const QString &path)
    : target(path), part(partName(path))
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
    // Unbuffered: a full disk shows at the write that meets it, not at a later flush.
    if (part.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return true;
    qDebug() << "Failed to open file" << part.error();
    error = part.errorString();
    return false;
}

bool BurstFile::write(const char *data, qint64 size)
{
    // A short write is retried: the one after it tells why the disk took no more.
    while (size > 0 && error.isEmpty()) {
        const qint64 written = part.write(data, size);
        if (written <= 0) {
            error = part.errorString();
            break;
        }
        watch(data, written);
        data += written;
        size -= written;
    }
    return error.isEmpty();
}

void BurstFile::watch(const char *data, qint64 size)
{
    const std::string_view chunk(data, size_t(size));
    bytes += size;
    for (const char c : chunk) {
        if (c == '\n')
            ++lineCount;
    }
    if (terminator) {
        terminatorLineEnd = terminatorLineEnd || chunk.find('\n') != std::string_view::npos;
        return;
    }
    // The terminator may also begin in the last bytes of the chunk before.
    const qint64 keep = kTerminator.size() - 1;
    QByteArray seam = tail;
    seam.append(data, int(qMin(size, keep)));
    const size_t at = chunk.find(kTerminator);
    if (at != std::string_view::npos) {
        terminator = true;
        terminatorLineEnd = chunk.find('\n', at + kTerminator.size()) != std::string_view::npos;
    } else if (seam.contains(kTerminator.data())) {
        terminator = true;
        terminatorLineEnd = chunk.find('\n') != std::string_view::npos;
    }
    tail = size >= keep ? QByteArray(data + size - keep, int(keep)) : seam.right(int(keep));
}

bool BurstFile::wouldSeeTerminator(const QByteArray &next) const
{
    return terminator || (tail + next).contains(kTerminator.data());
}

bool BurstFile::commit()
{
    part.close();
    if (part.error() != QFileDevice::NoError && error.isEmpty())
        error = part.errorString();
    if (!error.isEmpty())
        return false;
    // rename() replaces an earlier file in one step: there is always one whole file.
    if (std::rename(QFile::encodeName(part.fileName()).constData(),
                    QFile::encodeName(target).constData()) != 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    return true;
}

void BurstFile::keepPart()
{
    part.close();
}
