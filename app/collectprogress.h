#ifndef COLLECTPROGRESS_H
#define COLLECTPROGRESS_H

#include <QElapsedTimer>
#include <QString>

class QTextStream;

// How far a collection has come, on standard error. On a terminal one line is redrawn
// in place: the phase, what the download received, the records sent of the total, the
// rate and the time so far. Elsewhere (cron, a system journal) every phase and every
// tenth of the upload gets a line of its own with the time of day.
class CollectProgress
{
public:
    CollectProgress(QTextStream &err, bool terminal);

    void phase(const QString &name);
    void download(qint64 bytes, qint64 lines);
    void upload(qint64 sent, qint64 total);
    // Where the run stands: the line redrawn, or a line with the time.
    void step(const QString &text);
    // A line of its own: a failure, a retry.
    void note(const QString &text);
    // Leaves the redrawn line as it stands.
    void finish();

private:
    void show(const QString &text, bool force);
    QString rate(double amount, const QString &unit) const;

    QTextStream &err;
    bool terminal;
    QElapsedTimer elapsed;
    QElapsedTimer phaseClock;
    qint64 lastDrawMs = -1;
    int lastTenth = 0;
    bool lineOpen = false;
    QString phaseName;
};

#endif // COLLECTPROGRESS_H
