#ifndef MESSAGEBOXCATCHER_H
#define MESSAGEBOXCATCHER_H

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class QTimer;

// Answers the modal message boxes that the code under test opens, and records
// their titles and texts so that a test can assert on them.
class MessageBoxCatcher : public QObject
{
    Q_OBJECT

public:
    struct Box
    {
        QString title;
        QString text;
        int icon;
    };

    explicit MessageBoxCatcher(QObject *parent = nullptr);

    QList<Box> boxes() const { return caught; }
    // Each box caught so far as "title / text", in the order shown.
    QStringList lines() const;
    void clear() { caught.clear(); }

private slots:
    void answerOpenBoxes();

private:
    QTimer *timer;
    QList<Box> caught;
};

#endif // MESSAGEBOXCATCHER_H
