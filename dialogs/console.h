#ifndef CONSOLE_H
#define CONSOLE_H

#include <QPlainTextEdit>

// A terminal-style view: shows the text handed to it, keeps only the newest
// lines, and turns key presses into bytes instead of editing its text.
class Console : public QPlainTextEdit
{
    Q_OBJECT

signals:
    void getData(const QByteArray &data);

public:
    explicit Console(QWidget *parent = nullptr);

    void putData(const QByteArray &data);
    void setLocalEchoEnabled(bool set);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    bool localEchoEnabled = false;
};

#endif // CONSOLE_H
