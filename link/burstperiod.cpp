#include "burstperiod.h"

namespace {

// One leading zero for values up to 9.
QString twoDigits(int value)
{
    return QString::number(value).rightJustified(2, QLatin1Char('0'));
}

} // namespace

BurstPeriod::BurstPeriod(const QDateTime &start, int days)
    : startHour(start), dayCount(days)
{
    startHour.setTime(QTime(start.time().hour(), 0));
}

QDateTime BurstPeriod::end() const
{
    return startHour.addDays(dayCount);
}

QString BurstPeriod::yearText() const
{
    return QString::number(startHour.date().year()).rightJustified(4, QLatin1Char('0')).mid(2, 2);
}

QString BurstPeriod::monthText() const
{
    return twoDigits(startHour.date().month());
}

QString BurstPeriod::dayText() const
{
    return twoDigits(startHour.date().day());
}

QString BurstPeriod::hourText() const
{
    return twoDigits(startHour.time().hour());
}

QString BurstPeriod::daysText() const
{
    return QString::number(dayCount).rightJustified(3, QLatin1Char('0'));
}

QString BurstPeriod::stamp() const
{
    return startHour.toString(QStringLiteral("yyyyMMddhh"));
}
