#include "console.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTimer>
#include <QVBoxLayout>
#include <QtTest>

class TestConsole : public QObject
{
    Q_OBJECT

private slots:
    void appearance();
    void keepsOnlyTheNewestLines();
    void putData_data();
    void putData();
    void putDataScrollsToTheNewestText();
    void typedKeysAreSentAndEchoedOnRequest();
    void keyWithoutTextSendsNothingButAnEmptyArray();
    void swallowedKeys_data();
    void swallowedKeys();
    void clickTakesFocusButLeavesTheCursor();
    void doubleClickSelectsNothing();
    void rightClickOpensNoMenu();

private:
    static QPoint pointOfPosition(Console &console, int position);
};

QPoint TestConsole::pointOfPosition(Console &console, int position)
{
    QTextCursor cursor(console.document());
    cursor.setPosition(position);
    return console.cursorRect(cursor).center();
}

void TestConsole::appearance()
{
    Console console;
    QCOMPARE(console.document()->maximumBlockCount(), 100);
    const QPalette colours = console.palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        QCOMPARE(colours.color(group, QPalette::Base), QColor(Qt::black));
        QCOMPARE(colours.color(group, QPalette::Text), QColor(Qt::green));
    }
}

void TestConsole::keepsOnlyTheNewestLines()
{
    Console console;
    console.putData("line 0");
    for (int i = 1; i < 150; ++i)
        console.putData("\nline " + QByteArray::number(i));

    QCOMPARE(console.document()->blockCount(), 100);
    QCOMPARE(console.document()->firstBlock().text(), QString("line 50"));
    QCOMPARE(console.document()->lastBlock().text(), QString("line 149"));
}

void TestConsole::putData_data()
{
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<QString>("shown");

    QTest::newRow("chunks join without a line break")
        << QList<QByteArray>{"ab", "cd"} << QString("abcd");
    QTest::newRow("text ends at a zero byte")
        << QList<QByteArray>{QByteArray("ab\0cd", 5)} << QString("ab");
    QTest::newRow("leading zero byte shows nothing")
        << QList<QByteArray>{QByteArray("\0cd", 3), "ef"} << QString("ef");
    QTest::newRow("utf-8 is decoded")
        << QList<QByteArray>{"d\xc3\xa9j\xc3\xa0"} << QString::fromUtf8("d\xc3\xa9j\xc3\xa0");
    QTest::newRow("line ends start new lines")
        << QList<QByteArray>{"one\ntwo"} << QString("one\ntwo");
}

void TestConsole::putData()
{
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QString, shown);

    Console console;
    for (const QByteArray &chunk : chunks)
        console.putData(chunk);
    QCOMPARE(console.toPlainText(), shown);
}

void TestConsole::putDataScrollsToTheNewestText()
{
    Console console;
    console.resize(200, 100);
    console.show();
    for (int i = 0; i < 60; ++i)
        console.putData("line " + QByteArray::number(i) + "\n");

    const QScrollBar *bar = console.verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    QCOMPARE(bar->value(), bar->maximum());
}

void TestConsole::typedKeysAreSentAndEchoedOnRequest()
{
    Console console;
    console.putData("> ");
    QSignalSpy sent(&console, &Console::getData);

    QTest::keyClick(&console, Qt::Key_X, Qt::NoModifier);
    QCOMPARE(sent.count(), 1);
    QCOMPARE(sent.takeFirst().at(0).toByteArray(), QByteArray("x"));
    QCOMPARE(console.toPlainText(), QString("> "));

    console.setLocalEchoEnabled(true);
    QTest::keyClick(&console, Qt::Key_X, Qt::NoModifier);
    QCOMPARE(sent.count(), 1);
    QCOMPARE(sent.takeFirst().at(0).toByteArray(), QByteArray("x"));
    QCOMPARE(console.toPlainText(), QString("> x"));

    console.setLocalEchoEnabled(false);
    QTest::keyClick(&console, Qt::Key_Y, Qt::NoModifier);
    QCOMPARE(sent.takeFirst().at(0).toByteArray(), QByteArray("y"));
    QCOMPARE(console.toPlainText(), QString("> x"));
}

void TestConsole::keyWithoutTextSendsNothingButAnEmptyArray()
{
    Console console;
    console.setLocalEchoEnabled(true);
    console.putData("abc");
    QSignalSpy sent(&console, &Console::getData);

    QTest::keyClick(&console, Qt::Key_F5);
    QCOMPARE(sent.count(), 1);
    QCOMPARE(sent.takeFirst().at(0).toByteArray(), QByteArray());
    QCOMPARE(console.toPlainText(), QString("abc"));
}

void TestConsole::swallowedKeys_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("backspace") << int(Qt::Key_Backspace);
    QTest::newRow("left") << int(Qt::Key_Left);
    QTest::newRow("up") << int(Qt::Key_Up);
    QTest::newRow("right") << int(Qt::Key_Right);
    QTest::newRow("down") << int(Qt::Key_Down);
}

void TestConsole::swallowedKeys()
{
    QFETCH(int, key);

    // Echo on, so that a key reaching the editor would visibly erase or move.
    Console console;
    console.setLocalEchoEnabled(true);
    console.putData("first line\nsecond line\nthird");
    QTextCursor cursor = console.textCursor();
    cursor.setPosition(15);
    console.setTextCursor(cursor);
    QSignalSpy sent(&console, &Console::getData);

    QTest::keyClick(&console, Qt::Key(key));

    QCOMPARE(sent.count(), 0);
    QCOMPARE(console.toPlainText(), QString("first line\nsecond line\nthird"));
    QCOMPARE(console.textCursor().position(), 15);
}

void TestConsole::clickTakesFocusButLeavesTheCursor()
{
    QWidget window;
    auto *other = new QLineEdit(&window);
    auto *console = new Console(&window);
    auto *layout = new QVBoxLayout(&window);
    layout->addWidget(other);
    layout->addWidget(console);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    console->putData("hello world");
    other->setFocus();
    QCOMPARE(window.focusWidget(), other);

    // Sent directly, not as a spontaneous event, so that only the console's own
    // handler can move the focus.
    const QPoint start = pointOfPosition(*console, 1);
    QMouseEvent press(QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(console->viewport(), &press);
    QMouseEvent move(QEvent::MouseMove, pointOfPosition(*console, 8), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(console->viewport(), &move);
    QMouseEvent release(QEvent::MouseButtonRelease, pointOfPosition(*console, 8),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(console->viewport(), &release);

    QCOMPARE(window.focusWidget(), console);
    QCOMPARE(console->textCursor().position(), 11);
    QVERIFY(!console->textCursor().hasSelection());
}

void TestConsole::doubleClickSelectsNothing()
{
    Console console;
    console.resize(300, 100);
    console.show();
    QVERIFY(QTest::qWaitForWindowExposed(&console));
    console.putData("hello world");

    QTest::mouseDClick(console.viewport(), Qt::LeftButton, Qt::NoModifier,
                       pointOfPosition(console, 8));

    QVERIFY(!console.textCursor().hasSelection());
    QCOMPARE(console.textCursor().position(), 11);
}

void TestConsole::rightClickOpensNoMenu()
{
    Console console;
    console.resize(300, 100);
    console.show();
    QVERIFY(QTest::qWaitForWindowExposed(&console));
    console.putData("hello world");

    // A menu would run its own event loop; close it from a timer so that a
    // failure shows as a recorded menu rather than a hung test.
    bool menuShown = false;
    QTimer closer;
    connect(&closer, &QTimer::timeout, [&menuShown]() {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (qobject_cast<QMenu *>(widget) && widget->isVisible()) {
                menuShown = true;
                widget->close();
            }
        }
    });
    closer.start(50);

    const QPoint at = pointOfPosition(console, 3);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, console.viewport()->mapToGlobal(at));
    QCoreApplication::sendEvent(console.viewport(), &event);
    QTest::qWait(150);

    QVERIFY(!menuShown);
    QCOMPARE(console.toPlainText(), QString("hello world"));
}

QTEST_MAIN(TestConsole)
#include "tst_console.moc"
