#ifndef BURSTPERIOD_H
#define BURSTPERIOD_H

#include <QDateTime>
#include <QString>

// The period a burst asks the station for: a start hour and a number of days. The
// window's burst page and the collector's command line both come down to one, and
// it words itself as the station's burst request wants it.
class BurstPeriod
{
public:
    // The days the station takes, as the burst page's spin box allows them.
    static constexpr int kMaxDays = 99;

    BurstPeriod() = default;
    // Minutes and seconds of start are not part of the period.
    BurstPeriod(const QDateTime &start, int days);

    QDateTime start() const { return startHour; }
    int days() const { return dayCount; }
    // The hour the period ends: its start and its days.
    QDateTime end() const;

    // The request's texts: the year's last two digits, month, day and hour with a
    // leading zero up to 9, the days with leading zeros to at least three digits.
    QString yearText() const;
    QString monthText() const;
    QString dayText() const;
    QString hourText() const;
    QString daysText() const;

    // "YYYYMMDDHH", as the collector's file names carry the start.
    QString stamp() const;

private:
    QDateTime startHour;
    int dayCount = 0;
};

#endif // BURSTPERIOD_H
