#include "messageboxcatcher.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

MessageBoxCatcher::MessageBoxCatcher(QObject *parent)
    : QObject(parent), timer(new QTimer(this))
{
    // A modal box runs its own event loop, which still serves this timer.
    connect(timer, &QTimer::timeout, this, &MessageBoxCatcher::answerOpenBoxes);
    timer->start(20);
}

void MessageBoxCatcher::answerOpenBoxes()
{
    const QWidgetList widgets = QApplication::topLevelWidgets();
    for (QWidget *widget : widgets) {
        auto *box = qobject_cast<QMessageBox *>(widget);
        if (!box || !box->isVisible())
            continue;
        caught.append({box->windowTitle(), box->text(), int(box->icon())});
        box->done(QMessageBox::Ok);
    }
}

QStringList MessageBoxCatcher::lines() const
{
    QStringList shown;
    for (const Box &box : caught)
        shown << box.title + QStringLiteral(" / ") + box.text;
    return shown;
}
