#include "mainwindow.h"
#include "ui_mainwindow.h"

#include <QtTest>

// The handlers and the links reach the widgets by these names and compare the
// combo box texts literally, so a slip in the form breaks them silently.
class TestMainWindowForm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void objectsByName_data();
    void objectsByName();
    void comboBoxItems_data();
    void comboBoxItems();
    void pagesAndFields();
    void buttonTexts();
    void actionPlacement();
    void images_data();
    void images();
    void iconsAndLogo();
    void mainWindowTitle();

private:
    static QStringList describe(const QList<QAction *> &actions);

    QMainWindow *host = nullptr;
    Ui::MainWindow *ui = nullptr;
};

QStringList TestMainWindowForm::describe(const QList<QAction *> &actions)
{
    QStringList names;
    for (const QAction *action : actions)
        names << (action->isSeparator() ? QStringLiteral("|") : action->objectName());
    return names;
}

void TestMainWindowForm::initTestCase()
{
    Q_INIT_RESOURCE(resources);
}

void TestMainWindowForm::init()
{
    host = new QMainWindow;
    ui = new Ui::MainWindow;
    ui->setupUi(host);
}

void TestMainWindowForm::cleanup()
{
    delete ui;
    delete host;
    ui = nullptr;
    host = nullptr;
}

void TestMainWindowForm::objectsByName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("className");

    const QList<QPair<const char *, const char *>> objects = {
        {"tabWidget", "QTabWidget"}, {"Page2", "QWidget"}, {"comboBox", "QComboBox"},
        {"security", "QComboBox"}, {"apn", "QLineEdit"}, {"login", "QLineEdit"},
        {"password", "QLineEdit"}, {"ssid", "QLineEdit"}, {"wifiPassword", "QLineEdit"},
        {"serial", "QLineEdit"}, {"boxradioserial", "QLineEdit"}, {"vboxip", "QLineEdit"},
        {"vboxport", "QLineEdit"}, {"framecrypt", "QLineEdit"}, {"pmtype", "QLineEdit"},
        {"label_18", "QLabel"}, {"info", "QLabel"}, {"dateButton", "QPushButton"},
        {"burstmodeDate", "QDateTimeEdit"}, {"burstmodeDays", "QSpinBox"},
        {"burst_token", "QLineEdit"}, {"startburstmodeButton_station", "QPushButton"},
        {"startburstmodeButton_marlowdesk", "QPushButton"},
        {"stopburstmodeButton", "QPushButton"}, {"resetButton", "QPushButton"},
        {"getconfigButton", "QPushButton"}, {"setconfigButton", "QPushButton"},
        {"statusBar", "QStatusBar"}, {"actionAbout", "QAction"}, {"actionAboutQt", "QAction"},
        {"actionConnect", "QAction"}, {"actionDisconnect", "QAction"},
        {"actionConfigure", "QAction"}, {"actionQuit", "QAction"}, {"actionAdv", "QAction"},
        {"actionSetMode", "QAction"},
    };
    for (const auto &object : objects)
        QTest::newRow(object.first) << QString(object.first) << QByteArray(object.second);
}

void TestMainWindowForm::objectsByName()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, className);

    const QObject *object = host->findChild<QObject *>(name);
    QVERIFY2(object, qPrintable(name));
    QCOMPARE(QByteArray(object->metaObject()->className()), className);
}

void TestMainWindowForm::comboBoxItems_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("items");
    QTest::newRow("communication link") << QString("comboBox")
        << QStringList{"Ethernet", "Radio", "Wifi", "3G"};
    QTest::newRow("wifi security") << QString("security")
        << QStringList{"No security", "WPA (TKIP)", "WPA2 (AES)", "WEP"};
}

void TestMainWindowForm::comboBoxItems()
{
    QFETCH(QString, name);
    QFETCH(QStringList, items);

    const auto *box = host->findChild<QComboBox *>(name);
    QVERIFY(box);
    QStringList shown;
    for (int i = 0; i < box->count(); ++i)
        shown << box->itemText(i);
    QCOMPARE(shown, items);
    QCOMPARE(box->currentIndex(), 0);
}

void TestMainWindowForm::pagesAndFields()
{
    const QStringList titles = {"Basic", "Advanced", "Datalogger"};
    QCOMPARE(ui->tabWidget->count(), titles.size());
    for (int i = 0; i < titles.size(); ++i)
        QCOMPARE(ui->tabWidget->tabText(i), titles.at(i));
    QCOMPARE(ui->tabWidget->currentIndex(), 0);

    // The Advanced fields and the clock button stay locked until the password opens them.
    QVERIFY(!ui->Page2->isEnabled());
    QVERIFY(!ui->dateButton->isEnabled());

    QCOMPARE(ui->burst_token->echoMode(), QLineEdit::PasswordEchoOnEdit);
    // The station passwords are meant to be read back and checked by the operator.
    QCOMPARE(ui->password->echoMode(), QLineEdit::Normal);
    QCOMPARE(ui->wifiPassword->echoMode(), QLineEdit::Normal);
}

// The operator tells the station operations apart by these texts alone.
void TestMainWindowForm::buttonTexts()
{
    const QList<QPair<QAbstractButton *, QString>> buttons = {
        {ui->dateButton, "Set Device to Current Date"},
        {ui->startburstmodeButton_station, "Start Burst from Station"},
        {ui->startburstmodeButton_marlowdesk, "Start Burst from MarlowDesk"},
        {ui->stopburstmodeButton, "Stop Burst"}, {ui->resetButton, "Reset"},
        {ui->getconfigButton, "Get Configuration from device"},
        {ui->setconfigButton, "Send Configuration to device"},
    };
    for (const auto &button : buttons)
        QCOMPARE(button.first->text(), button.second);
}

void TestMainWindowForm::actionPlacement()
{
    QCOMPARE(ui->menuBar->actions(), (QList<QAction *>{ui->menuCalls->menuAction(),
                                                       ui->menuTools->menuAction(),
                                                       ui->menuHelp->menuAction()}));
    QCOMPARE(describe(ui->menuCalls->actions()),
             (QStringList{"actionConnect", "actionDisconnect", "|", "actionQuit"}));
    QCOMPARE(describe(ui->menuTools->actions()), QStringList{"actionConfigure"});
    QCOMPARE(describe(ui->menuHelp->actions()), (QStringList{"actionAbout", "|", "|"}));
    QCOMPARE(describe(ui->mainToolBar->actions()),
             (QStringList{"actionConnect", "actionDisconnect", "actionConfigure", "|",
                          "actionAdv"}));
    QCOMPARE(describe(ui->toolBar->actions()), (QStringList{"actionSetMode", "|"}));

    // Carried by the form but offered nowhere.
    for (const char *name : {"actionAboutQt", "actiontestff", "actiontest_action"}) {
        const auto *action = host->findChild<QAction *>(name);
        QVERIFY2(action, name);
        QVERIFY2(action->associatedWidgets().isEmpty(), name);
    }
}

void TestMainWindowForm::images_data()
{
    QTest::addColumn<QString>("path");
    for (const char *file : {"application-exit.png", "adv.png", "disconnect.png", "clear.png",
                             "mode-serial.png", "mode-wifi.png", "logoh.png", "connect.png",
                             "settings.png"})
        QTest::newRow(file) << QString(":/images/") + file;
}

void TestMainWindowForm::images()
{
    QFETCH(QString, path);
    QVERIFY2(!QPixmap(path).isNull(), qPrintable(path));
}

// A wrong resource path in the form leaves an empty icon, with no warning.
void TestMainWindowForm::iconsAndLogo()
{
    for (const char *name : {"actionConnect", "actionDisconnect", "actionConfigure",
                             "actionQuit", "actionAdv", "actionSetMode"}) {
        const auto *action = host->findChild<QAction *>(name);
        QVERIFY2(action, name);
        QVERIFY2(!action->icon().pixmap(QSize(32, 32)).isNull(), name);
    }
    QVERIFY(ui->label_16->text().contains("src=\":/images/logoh.png\""));
}

void TestMainWindowForm::mainWindowTitle()
{
    MainWindow window;
    QCOMPARE(window.windowTitle(), QString("MarlowWifiDesk Configuration Tool - Version 0.10"));
}

QTEST_MAIN(TestMainWindowForm)
#include "tst_mainwindowform.moc"
