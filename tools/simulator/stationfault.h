#ifndef STATIONFAULT_H
#define STATIONFAULT_H

#include <QByteArray>
#include <QList>
#include <QPair>

// A misbehaviour the simulated station shows on a command, so that the tool's
// handling of silence, slowness, broken-up and wrong answers can be exercised.
struct StationFault
{
    enum Kind {
        None,       // answer normally
        Silent,     // send nothing
        Late,       // wait delayMs, then answer normally
        Pieces,     // send pieces instead of the answer, each after its own pause
        Split,      // send the answer cut at the offsets in cuts, delayMs before each piece but the first
        WrongText,  // send text instead of the answer
        Drop        // send the first afterBytes bytes of the answer, a dump included, then
                    // close the connection (TCP; a pty falls silent instead)
    };

    Kind kind = None;
    int delayMs = 0;                        // Late: pause before the answer
    QList<QPair<QByteArray, int>> pieces;   // Pieces: bytes + pause in ms before each piece
    QByteArray text;                        // WrongText: the answer sent instead
    QList<int> cuts;                        // Split: ascending offsets into the answer
    qint64 afterBytes = 0;                  // Drop: how much of the answer goes out first
    bool persistent = false;                // false: applies to the next matching command only

    static StationFault silent(bool persistent = false)
    {
        StationFault f;
        f.kind = Silent;
        f.persistent = persistent;
        return f;
    }
    static StationFault late(int delayMs, bool persistent = false)
    {
        StationFault f;
        f.kind = Late;
        f.delayMs = delayMs;
        f.persistent = persistent;
        return f;
    }
    static StationFault inPieces(const QList<QPair<QByteArray, int>> &pieces,
                                 bool persistent = false)
    {
        StationFault f;
        f.kind = Pieces;
        f.pieces = pieces;
        f.persistent = persistent;
        return f;
    }
    static StationFault split(const QList<int> &cuts, int pauseMs, bool persistent = false)
    {
        StationFault f;
        f.kind = Split;
        f.cuts = cuts;
        f.delayMs = pauseMs;
        f.persistent = persistent;
        return f;
    }
    static StationFault wrongText(const QByteArray &text, bool persistent = false)
    {
        StationFault f;
        f.kind = WrongText;
        f.text = text;
        f.persistent = persistent;
        return f;
    }
    static StationFault drop(bool persistent = false, qint64 afterBytes = 0)
    {
        StationFault f;
        f.kind = Drop;
        f.afterBytes = afterBytes;
        f.persistent = persistent;
        return f;
    }
};

#endif // STATIONFAULT_H
