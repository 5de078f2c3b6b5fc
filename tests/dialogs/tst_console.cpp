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
    void putData_data();
    void putData();
    void keepsTheNewestLinesInView();
    void keys_data();
    void keys();
    void clickTakesFocusButLeavesTheCursor();
    void doubleAndRightClickChangeNothing();

private:
    static QPoint pointOfPosition(Console &console, int position);
};

QPoint TestConsole::pointOfPosition(Console &console, int position)
{
    QTextCursor cursor(console.document());
    cursor.setPosition(position);
    return console.cursorRect(cursor).center();
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

void TestConsole::keepsTheNewestLinesInView()
{
    Console console;
    console.resize(200, 100);
    console.show();
    console.putData("line 0");
    for (int i = 1; i < 150; ++i)
        console.putData("\nline " + QByteArray::number(i));

    QCOMPARE(console.document()->blockCount(), 100);
    QCOMPARE(console.document()->firstBlock().text(), QString("line 50"));
    QCOMPARE(console.document()->lastBlock().text(), QString("line 149"));
    const QScrollBar *bar = console.verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    QCOMPARE(bar->value(), bar->maximum());
}

void TestConsole::keys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("echo");
    QTest::addColumn<QList<QByteArray>>("sent");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("cursor");

    const QString text = "first line\nsecond line\nthird";
    QTest::newRow("letter") << int(Qt::Key_X) << false << QList<QByteArray>{"x"} << text << 15;
    QTest::newRow("letter, echoed") << int(Qt::Key_X) << true << QList<QByteArray>{"x"}
                                    << "first line\nsecoxnd line\nthird" << 16;
    // A key without text still reports, with nothing in it.
    QTest::newRow("F5, echoed") << int(Qt::Key_F5) << true << QList<QByteArray>{QByteArray()}
                                << text << 15;
    // Keys that would erase or move the cursor never reach the editor, even with echo on.
    for (const auto &key : QList<QPair<const char *, Qt::Key>>{
             {"backspace", Qt::Key_Backspace}, {"left", Qt::Key_Left}, {"up", Qt::Key_Up},
             {"right", Qt::Key_Right}, {"down", Qt::Key_Down}})
        QTest::newRow(key.first) << int(key.second) << true << QList<QByteArray>() << text << 15;
}

void TestConsole::keys()
{
    QFETCH(int, key);
    QFETCH(bool, echo);
    QFETCH(QList<QByteArray>, sent);
    QFETCH(QString, shown);
    QFETCH(int, cursor);

    Console console;
    // Echo switched on and then to the wanted state, so that the setter must take its argument.
    console.setLocalEchoEnabled(true);
    console.setLocalEchoEnabled(echo);
    console.putData("first line\nsecond line\nthird");
    QTextCursor at = console.textCursor();
    at.setPosition(15);
    console.setTextCursor(at);
    QSignalSpy spy(&console, &Console::getData);

    QTest::keyClick(&console, Qt::Key(key));

    QList<QByteArray> reported;
    for (const QList<QVariant> &signal : spy)
        reported << signal.at(0).toByteArray();
    QCOMPARE(reported, sent);
    QCOMPARE(console.toPlainText(), shown);
    QCOMPARE(console.textCursor().position(), cursor);
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

void TestConsole::doubleAndRightClickChangeNothing()
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
