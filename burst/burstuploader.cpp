#include "burstuploader.h"

#include "burstrecord.h"
#include "platformclient.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QFile>
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
    // The station writes UTF-8 whatever the computer's locale.
    stream.setDevice(&file);
    stream.setCodec("UTF-8");
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
    qDebug().noquote() << QStringLiteral("Transfer time MarlowDesk -> Nimbrastat : from ")
                              + start.toString(Qt::TextDate) + QStringLiteral(" to ")
                              + QDateTime::currentDateTime().toString(Qt::TextDate);
    return refused == 0 ? Finished : Refused;
}
