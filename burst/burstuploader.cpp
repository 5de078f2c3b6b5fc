#include "burstuploader.h"

#include "burstrecord.h"
#include "platformclient.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QFile>
#include <QLocale>
#include <QTextStream>

namespace {

// Shorter lines carry no measurement.
constexpr int kShortestCountedLine = 10;

// Records of at most one character are the decoder's "nothing here".
constexpr int kLongestEmptyRecord = 1;

bool openForReading(QFile &file, QTextStream &stream)
{
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    // The station writes UTF-8 whatever the computer's locale; Qt 6 streams read
    // UTF-8 unless told otherwise, Qt 5's follow the locale.
    stream.setDevice(&file);
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    stream.setCodec("UTF-8");
#endif
    return true;
}

} // namespace

BurstUploader::BurstUploader(const QString &fileName, PlatformClient &client)
    : fileName(fileName), client(client)
{
}

void BurstUploader::setProgressHandler(ProgressHandler handler)
{
    progress = std::move(handler);
}

qint64 BurstUploader::countLines(const QString &fileName)
{
    QFile file(fileName);
    QTextStream stream;
    if (!openForReading(file, stream))
        return -1;
    qint64 total = 0;
    QString line;
    while (stream.readLineInto(&line)) {
        if (line.size() > kShortestCountedLine)
            ++total;
    }
    return total;
}

int BurstUploader::percent(qint64 sent, qint64 total)
{
    // The end record and lines of ten characters or less can make sent outrun total.
    if (total <= 0 || sent >= total)
        return 100;
    return int(double(sent) / double(total) * 100);
}

QString BurstUploader::progressText(int percent)
{
    return QString::number(percent) + QLatin1Char('%')
        + QCoreApplication::translate("MainWindow", " transferred");
}

void BurstUploader::reportProgress(int percent, qint64 total)
{
    if (progress)
        progress(percent, sent, total);
}

bool BurstUploader::sendPacket(unsigned current, unsigned total, bool end)
{
    ++packets;
    const bool accepted = client.sendPacket(current, total, end);
    client.clearBuffer();
    if (!accepted)
        ++refused;
    return accepted;
}

BurstUploader::Outcome BurstUploader::upload()
{
    const QDateTime start = QDateTime::currentDateTime();
    qDebug() << "counting : " << fileName;
    const qint64 total = countLines(fileName);
    if (total < 0)
        return FileUnreadable;

    qDebug() << "opening : " << fileName;
    QFile file(fileName);
    QTextStream stream;
    if (!openForReading(file, stream))
        return FileUnreadable;
    sent = 0;
    packets = 0;
    refused = 0;
    reportProgress(0, total);

    qint64 inPacket = 0;
    qint64 current = 0;
    // Both strings keep their memory from line to line.
    QString line;
    QString record;
    while (stream.readLineInto(&line)) {
        BurstRecord::decode(line, record);
        if (record.size() <= kLongestEmptyRecord)
            continue;
        ++inPacket;
        ++sent;
        client.appendRecord(record);
        if (inPacket < kRecordsPerPacket)
            continue;
        // A refused packet does not stop the upload, but the upload no longer counts as done.
        sendPacket(unsigned(current), unsigned(total), false);
        const QString text = progressText(percent(sent, total));
        qDebug() << sent << "/" << total
                 << QCoreApplication::translate("MainWindow", " packets transferred");
        qDebug() << text;
        reportProgress(percent(sent, total), total);
        current = sent;
        inPacket = 0;
    }
    file.close();
    qDebug() << "Finished";

    // The last packet goes out even when empty: it tells the platform the upload is over.
    sendPacket(unsigned(current), unsigned(total), true);
    qDebug().noquote() << transferTimeLine(QStringLiteral("MarlowDesk -> Nimbrastat"), start,
                                           QDateTime::currentDateTime());
    return refused == 0 ? Finished : Refused;
}

QString BurstUploader::transferTimeLine(const QString &route, const QDateTime &start,
                                        const QDateTime &end)
{
    // Qt 5's text date format, which Qt 6 writes in English only: the system
    // locale's short day and month names, then the day, time and year in ASCII digits.
    const auto text = [](const QDateTime &time) {
        return QLocale::system().toString(time, QStringLiteral("ddd MMM "))
            + QLocale::c().toString(time, QStringLiteral("d HH:mm:ss yyyy"));
    };
    return QStringLiteral("Transfer time %1 : from %2 to %3").arg(route, text(start), text(end));
}
