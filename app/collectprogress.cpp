#include "collectprogress.h"

#include <QDateTime>
#include <QTextStream>

namespace {

// A terminal line is redrawn at most this often, and at every phase.
constexpr qint64 kRedrawMs = 100;
const QString kClearLine = QStringLiteral("\r\x1b[K");

QString megabytes(qint64 bytes)
{
    return QString::number(double(bytes) / (1024.0 * 1024.0), 'f', 1) + QStringLiteral(" MB");
}

} // namespace

CollectProgress::CollectProgress(QTextStream &err, bool terminal)
    : err(err), terminal(terminal)
{
    elapsed.start();
    phaseClock.start();
}

QString CollectProgress::rate(double amount, const QString &unit) const
{
    const double seconds = qMax<qint64>(1, phaseClock.elapsed()) / 1000.0;
    return QString::number(amount / seconds, 'f', 0) + QLatin1Char(' ') + unit + QStringLiteral("/s");
}

void CollectProgress::show(const QString &text, bool force)
{
    if (!terminal) {
        err << QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss "))
            << text << '\n';
        err.flush();
        return;
    }
    const qint64 now = elapsed.elapsed();
    if (!force && lastDrawMs >= 0 && now - lastDrawMs < kRedrawMs)
        return;
    lastDrawMs = now;
    const QTime clock = QTime(0, 0).addMSecs(int(now));
    err << kClearLine << clock.toString(QStringLiteral("mm:ss ")) << text;
    err.flush();
    lineOpen = true;
}

void CollectProgress::phase(const QString &name)
{
    phaseName = name;
    phaseClock.restart();
    lastTenth = 0;
    show(name, true);
}

void CollectProgress::download(qint64 bytes, qint64 lines)
{
    // Off a terminal the download is told at its end only, by the next phase's line.
    if (!terminal)
        return;
    show(QStringLiteral("%1: %2, %3 lines, %4")
             .arg(phaseName, megabytes(bytes))
             .arg(lines)
             .arg(rate(double(bytes) / 1024.0, QStringLiteral("kB"))),
         false);
}

void CollectProgress::upload(qint64 sent, qint64 total)
{
    const int percent = total > 0 ? int(qMin(sent, total) * 100 / total) : 100;
    const QString text = QStringLiteral("%1: %2 of %3 records (%4%), %5")
                             .arg(phaseName)
                             .arg(sent)
                             .arg(total)
                             .arg(percent)
                             .arg(rate(double(sent), QStringLiteral("records")));
    if (terminal) {
        show(text, false);
        return;
    }
    if (percent / 10 > lastTenth) {
        lastTenth = percent / 10;
        show(text, true);
    }
}

void CollectProgress::step(const QString &text)
{
    show(text, true);
}

void CollectProgress::note(const QString &text)
{
    finish();
    show(text, true);
    finish();
}

void CollectProgress::finish()
{
    if (terminal && lineOpen) {
        err << '\n';
        err.flush();
        lineOpen = false;
    }
}
