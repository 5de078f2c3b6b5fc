#include "burstrecord.h"

#include <QDebug>
#include <QStringList>

namespace BurstRecord {

namespace {

const QString kEndWord = QStringLiteral("END");
const QString kEndRecord = QStringLiteral("END\r\n");
const QString kResponseWord = QStringLiteral("Response");
const QString kDateWord = QStringLiteral("Date");
const QString kValueSeparator = QStringLiteral("__");
const QString kLineEnd = QStringLiteral("\r\n");
constexpr QChar kPartSeparator = QLatin1Char('&');
constexpr QChar kValueMark = QLatin1Char('=');
constexpr int kResponsePart = 1;
constexpr int kDatePart = 2;

// The text between the first "=" of a part and the next "=" (or the end of the
// part). False when the part has no "=" at all.
bool valueOf(const QString &part, QString &value)
{
    const QStringList pieces = part.split(kValueMark);
    if (pieces.size() < 2)
        return false;
    value = pieces.at(1);
    return true;
}

} // namespace

QString decode(const QString &line)
{
    // The station closes its dump with a line holding this word; it is forwarded
    // as a record of its own so the platform sees where the burst ended.
    if (line.contains(kEndWord))
        return kEndRecord;

    // The field names are only checked for presence; the values are taken by
    // position, which is how the station lays its lines out.
    if (!line.contains(kResponseWord) || !line.contains(kDateWord)) {
        qDebug("Exception : no response and date fields");
        return QString();
    }

    const QStringList parts = line.split(kPartSeparator);
    QString response;
    QString date;
    if (parts.size() <= kDatePart || !valueOf(parts.at(kResponsePart), response)
        || !valueOf(parts.at(kDatePart), date)) {
        qDebug("Exception");
        return QString();
    }

    QString record = response + kValueSeparator + date;
    if (!date.endsWith(kLineEnd))
        record += kLineEnd;
    return record;
}

} // namespace BurstRecord
