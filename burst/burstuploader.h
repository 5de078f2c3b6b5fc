#ifndef BURSTUPLOADER_H
#define BURSTUPLOADER_H

#include <QString>

#include <functional>

class PlatformClient;
class QDateTime;

// Uploads a burst data file to the web platform: one pass counts the lines, a
// second decodes them and posts the records in packets, the last one marked as
// the end. The platform requests keep the event loop running, so the window
// stays live (and its stop button usable) during the upload.
class BurstUploader
{
public:
    enum Outcome { Finished, FileUnreadable, Refused };

    static constexpr int kRecordsPerPacket = 240;

    BurstUploader(const QString &fileName, PlatformClient &client);

    // Called at the start and after every packet with the share done (percent()),
    // the records sent so far and the file's count of lines.
    using ProgressHandler = std::function<void(int percent, qint64 sent, qint64 total)>;
    void setProgressHandler(ProgressHandler handler);

    Outcome upload();

    // What the last upload did: records sent, packets sent (the end packet among
    // them) and how many of those the platform did not accept.
    qint64 recordsSent() const { return sent; }
    int packetsSent() const { return packets; }
    int packetsRefused() const { return refused; }

    // Lines longer than ten characters, as the platform counts them; -1 when unreadable.
    static qint64 countLines(const QString &fileName);
    // The share of total that sent stands for, from 0 to 100, also when total is 0.
    static int percent(qint64 sent, qint64 total);
    static QString progressText(int percent);
    // The debug line "Transfer time <route> : from <start> to <end>".
    static QString transferTimeLine(const QString &route, const QDateTime &start,
                                    const QDateTime &end);

private:
    void reportProgress(int percent, qint64 total);
    bool sendPacket(unsigned current, unsigned total, bool end);

    QString fileName;
    PlatformClient &client;
    ProgressHandler progress;
    qint64 sent = 0;
    int packets = 0;
    int refused = 0;
};

#endif // BURSTUPLOADER_H
