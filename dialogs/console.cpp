#include "console.h"

#include <QKeyEvent>
#include <QScrollBar>

namespace {
constexpr int kMaximumLines = 100;   // older lines are dropped as new ones arrive
}

Console::Console(QWidget *parent)
    : QPlainTextEdit(parent)
{
    document()->setMaximumBlockCount(kMaximumLines);

    QPalette colours = palette();
    colours.setColor(QPalette::Base, Qt::black);
    colours.setColor(QPalette::Text, Qt::green);
    setPalette(colours);
}

void Console::putData(const QByteArray &data)
{
    // Line traffic may carry a terminating zero; nothing after it is text.
    const int end = data.indexOf('\0');
    insertPlainText(QString::fromUtf8(end < 0 ? data : data.left(end)));

    QScrollBar *bar = verticalScrollBar();
    bar->setValue(bar->maximum());
}

void Console::setLocalEchoEnabled(bool set)
{
    localEchoEnabled = set;
}

void Console::keyPressEvent(QKeyEvent *event)
{
    // The view is a transcript, not an editor: keys that would erase or move
    // the cursor are dropped rather than sent.
    switch (event->key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Left:
    case Qt::Key_Up:
    case Qt::Key_Right:
    case Qt::Key_Down:
        return;
    default:
        break;
    }
    if (localEchoEnabled)
        QPlainTextEdit::keyPressEvent(event);
    emit getData(event->text().toLocal8Bit());
}

void Console::mousePressEvent(QMouseEvent *event)
{
    // A click only takes the keyboard; the cursor stays where the text ends.
    Q_UNUSED(event)
    setFocus();
}

void Console::mouseDoubleClickEvent(QMouseEvent *event)
{
    Q_UNUSED(event)
}

void Console::contextMenuEvent(QContextMenuEvent *event)
{
    Q_UNUSED(event)
}
