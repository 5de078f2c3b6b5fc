#include "mainwindow.h"
#include "ui_mainwindow.h"

#include <QtTest>

// The handlers and the links reach the widgets by these names and compare some
// of these texts literally, so a slip in the form breaks them silently.
class TestMainWindowForm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void window();
    void widgetsByName_data();
    void widgetsByName();
    void centralLayoutOrder();
    void basicTabRows();
    void comboBoxItems_data();
    void comboBoxItems();
    void tabs();
    void texts_data();
    void texts();
    void fonts_data();
    void fonts();
    void fixedGeometries_data();
    void fixedGeometries();
    void sizeLimits();
    void echoModes();
    void fieldsWithOwnTextColours_data();
    void fieldsWithOwnTextColours();
    void actions_data();
    void actions();
    void actionOrder();
    void menus();
    void toolBars();
    void unplacedActions_data();
    void unplacedActions();
    void images_data();
    void images();
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

void TestMainWindowForm::window()
{
    QCOMPARE(host->objectName(), QString("MainWindow"));
    QCOMPARE(host->windowTitle(), QString("QuorVel Wifi Configuration Tool"));
    QCOMPARE(host->size(), QSize(617, 560));
    QCOMPARE(host->minimumSize(), QSize(617, 560));
    QCOMPARE(host->windowModality(), Qt::NonModal);
    QCOMPARE(host->centralWidget(), ui->centralWidget);
    QCOMPARE(host->menuBar(), ui->menuBar);
    QCOMPARE(host->statusBar(), ui->statusBar);
    QVERIFY(ui->statusBar->isEnabled());
}

void TestMainWindowForm::widgetsByName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("className");

    const QList<QPair<const char *, const char *>> widgets = {
        {"centralWidget", "QWidget"}, {"label_16", "QLabel"}, {"tabWidget", "QTabWidget"},
        {"Page1", "QWidget"}, {"Page2", "QWidget"}, {"Page3", "QWidget"},
        {"comboBox", "QComboBox"}, {"apn", "QLineEdit"}, {"login", "QLineEdit"},
        {"password", "QLineEdit"}, {"ssid", "QLineEdit"}, {"security", "QComboBox"},
        {"wifiPassword", "QLineEdit"}, {"serial", "QLineEdit"},
        {"boxradioserial", "QLineEdit"}, {"vboxip", "QLineEdit"}, {"vboxport", "QLineEdit"},
        {"framecrypt", "QLineEdit"}, {"pmtype", "QLineEdit"}, {"layoutWidget", "QWidget"},
        {"label_18", "QLabel"}, {"label_19", "QLabel"}, {"dateButton", "QPushButton"},
        {"burstmodeDate", "QDateTimeEdit"}, {"burstmodeDays", "QSpinBox"},
        {"burst_token", "QLineEdit"}, {"startburstmodeButton_station", "QPushButton"},
        {"startburstmodeButton_marlowdesk", "QPushButton"},
        {"stopburstmodeButton", "QPushButton"}, {"frame", "QFrame"},
        {"resetButton", "QPushButton"}, {"getconfigButton", "QPushButton"},
        {"setconfigButton", "QPushButton"}, {"info", "QLabel"}, {"menuBar", "QMenuBar"},
        {"menuCalls", "QMenu"}, {"menuTools", "QMenu"}, {"menuHelp", "QMenu"},
        {"mainToolBar", "QToolBar"}, {"toolBar", "QToolBar"}, {"statusBar", "QStatusBar"},
        {"_2", "QVBoxLayout"}, {"formLayout", "QFormLayout"},
        {"verticalLayout", "QVBoxLayout"},
    };
    for (const auto &widget : widgets)
        QTest::newRow(widget.first) << QString(widget.first) << QByteArray(widget.second);
}

void TestMainWindowForm::widgetsByName()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, className);

    const QObject *object = host->findChild<QObject *>(name);
    QVERIFY2(object, qPrintable(name));
    QCOMPARE(QByteArray(object->metaObject()->className()), className);
}

void TestMainWindowForm::centralLayoutOrder()
{
    const QList<QWidget *> expected = {ui->label_16, ui->tabWidget, ui->frame, ui->info};
    QCOMPARE(ui->_2->count(), expected.size());
    for (int i = 0; i < expected.size(); ++i)
        QCOMPARE(ui->_2->itemAt(i)->widget(), expected.at(i));
    QCOMPARE(ui->_2->spacing(), 6);
    QCOMPARE(ui->_2->contentsMargins(), QMargins(11, 11, 11, 11));
    QVERIFY(ui->label_16->text().contains("src=\":/images/logoh.png\""));

    const QList<QWidget *> dateColumn = {ui->label_19, ui->label_18, ui->dateButton};
    QCOMPARE(ui->verticalLayout->count(), dateColumn.size());
    for (int i = 0; i < dateColumn.size(); ++i)
        QCOMPARE(ui->verticalLayout->itemAt(i)->widget(), dateColumn.at(i));
    QCOMPARE(ui->verticalLayout->contentsMargins(), QMargins(0, 0, 0, 0));
}

void TestMainWindowForm::basicTabRows()
{
    struct Row { int row; QWidget *label; QWidget *field; };
    const QList<Row> rows = {
        {1, ui->label, ui->comboBox}, {2, ui->label_2, nullptr},
        {3, ui->label_3, ui->apn}, {4, ui->label_4, ui->login},
        {5, ui->label_5, ui->password}, {6, ui->label_6, nullptr},
        {9, ui->label_7, ui->ssid}, {10, ui->label_8, ui->security},
        {13, ui->label_9, ui->wifiPassword},
    };
    for (const Row &row : rows) {
        int at = -1;
        QFormLayout::ItemRole role = QFormLayout::SpanningRole;
        ui->formLayout->getWidgetPosition(row.label, &at, &role);
        QCOMPARE(at, row.row);
        QCOMPARE(role, QFormLayout::LabelRole);
        QLayoutItem *field = ui->formLayout->itemAt(row.row, QFormLayout::FieldRole);
        QCOMPARE(field ? field->widget() : nullptr, row.field);
    }
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

void TestMainWindowForm::tabs()
{
    QCOMPARE(ui->tabWidget->count(), 3);
    const QStringList titles = {"Basic", "Advanced", "Datalogger"};
    const QList<QWidget *> pages = {ui->Page1, ui->Page2, ui->Page3};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(ui->tabWidget->tabText(i), titles.at(i));
        QCOMPARE(ui->tabWidget->widget(i), pages.at(i));
    }
    QCOMPARE(ui->tabWidget->currentIndex(), 0);

    // The Advanced fields stay read-only until the password opens the page.
    QVERIFY(!ui->Page2->isEnabled());
    QVERIFY(!ui->serial->isEnabled());
    QVERIFY(!ui->dateButton->isEnabled());
    QVERIFY(ui->Page1->isEnabled());
    QVERIFY(ui->Page3->isEnabled());
}

void TestMainWindowForm::texts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");

    const QList<QPair<const char *, const char *>> texts = {
        {"label", "Communication Link"}, {"label_2", "3G configuration"},
        {"label_3", "     Apn"}, {"label_4", "     Login"}, {"label_5", "     Password"},
        {"label_6", "Wifi configuration"}, {"label_7", "     Network Name (SSID)"},
        {"label_8", "     Security"}, {"label_9", "     Password"},
        {"label_10", "Serial"}, {"label_11", "Box Radio Serial"},
        {"label_12", "Virtual Box IP"}, {"label_13", "Virtual Box Port"},
        {"label_15", "Frame crypt"}, {"label_14", "PM type"},
        {"label_19", "Current Date :"}, {"label_18", "YYYY-MM-DD hh:mm:ss"},
        {"dateButton", "Set Device to Current Date"}, {"label_20", "Start Period"},
        {"label_21", "Number of days"}, {"label_17", "Token"},
        {"startburstmodeButton_station", "Start Burst from Station"},
        {"startburstmodeButton_marlowdesk", "Start Burst from MarlowDesk"},
        {"stopburstmodeButton", "Stop Burst"}, {"resetButton", "Reset"},
        {"getconfigButton", "Get Configuration from device"},
        {"setconfigButton", "Send Configuration to device"}, {"info", ""},
        {"burst_token", ""}, {"apn", ""},
    };
    for (const auto &text : texts)
        QTest::newRow(text.first) << QString(text.first) << QString(text.second);
}

void TestMainWindowForm::texts()
{
    QFETCH(QString, name);
    QFETCH(QString, text);

    const QObject *object = host->findChild<QObject *>(name);
    QVERIFY(object);
    QCOMPARE(object->property("text").toString(), text);
}

void TestMainWindowForm::fonts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("pointSize");
    QTest::addColumn<int>("weight");

    const int defaultSize = QApplication::font().pointSize();
    const int normal = QFont::Normal;
    QTest::newRow("label") << "label" << 10 << 75;
    QTest::newRow("label_2") << "label_2" << 10 << 75;
    QTest::newRow("label_6") << "label_6" << 10 << 75;
    QTest::newRow("label_3 plain") << "label_3" << defaultSize << normal;
    QTest::newRow("label_19") << "label_19" << defaultSize << 75;
    QTest::newRow("label_18") << "label_18" << 9 << normal;
    QTest::newRow("dateButton") << "dateButton" << defaultSize << 75;
    for (const char *name : {"startburstmodeButton_station", "startburstmodeButton_marlowdesk",
                             "stopburstmodeButton", "resetButton", "getconfigButton",
                             "setconfigButton"})
        QTest::newRow(name) << name << defaultSize << 75;
}

void TestMainWindowForm::fonts()
{
    QFETCH(QString, name);
    QFETCH(int, pointSize);
    QFETCH(int, weight);

    const auto *widget = host->findChild<QWidget *>(name);
    QVERIFY(widget);
    QCOMPARE(widget->font().pointSize(), pointSize);
    QCOMPARE(widget->font().weight(), weight);
}

void TestMainWindowForm::fixedGeometries_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");

    QTest::newRow("label_10") << "label_10" << QRect(10, 20, 34, 20);
    QTest::newRow("serial") << "serial" << QRect(140, 20, 141, 20);
    QTest::newRow("label_11") << "label_11" << QRect(10, 50, 121, 20);
    QTest::newRow("vboxport") << "vboxport" << QRect(140, 110, 141, 20);
    QTest::newRow("framecrypt") << "framecrypt" << QRect(140, 140, 141, 20);
    QTest::newRow("pmtype") << "pmtype" << QRect(140, 200, 141, 20);
    QTest::newRow("layoutWidget") << "layoutWidget" << QRect(360, 20, 208, 91);
    QTest::newRow("burstmodeDate") << "burstmodeDate" << QRect(140, 20, 194, 22);
    QTest::newRow("burstmodeDays") << "burstmodeDays" << QRect(140, 50, 71, 22);
    QTest::newRow("label_17") << "label_17" << QRect(23, 80, 71, 17);
    QTest::newRow("burst_token") << "burst_token" << QRect(140, 80, 191, 22);
    QTest::newRow("startburstmodeButton_station") << "startburstmodeButton_station"
                                                  << QRect(350, 20, 241, 41);
    QTest::newRow("startburstmodeButton_marlowdesk") << "startburstmodeButton_marlowdesk"
                                                     << QRect(350, 70, 241, 41);
    QTest::newRow("stopburstmodeButton") << "stopburstmodeButton" << QRect(350, 120, 241, 41);
    QTest::newRow("resetButton") << "resetButton" << QRect(20, 0, 81, 41);
    QTest::newRow("getconfigButton") << "getconfigButton" << QRect(130, 0, 221, 41);
    QTest::newRow("setconfigButton") << "setconfigButton" << QRect(370, 0, 221, 41);
}

void TestMainWindowForm::fixedGeometries()
{
    QFETCH(QString, name);
    QFETCH(QRect, geometry);

    // Shown, so that any layout that wrongly manages these widgets has moved them.
    host->show();
    QVERIFY(QTest::qWaitForWindowExposed(host));
    const auto *widget = host->findChild<QWidget *>(name);
    QVERIFY(widget);
    QCOMPARE(widget->geometry(), geometry);
}

void TestMainWindowForm::sizeLimits()
{
    QCOMPARE(ui->tabWidget->maximumHeight(), 310);
    QCOMPARE(ui->frame->minimumHeight(), 40);
    QCOMPARE(ui->frame->frameShape(), QFrame::StyledPanel);
    QCOMPARE(ui->frame->frameShadow(), QFrame::Raised);
    QCOMPARE(ui->dateButton->minimumHeight(), 41);
    QCOMPARE(ui->dateButton->maximumHeight(), 600);
    for (QWidget *button : {ui->startburstmodeButton_station, ui->startburstmodeButton_marlowdesk,
                            ui->stopburstmodeButton, ui->setconfigButton})
        QCOMPARE(button->minimumHeight(), 41);
    for (QWidget *field : {ui->serial, ui->boxradioserial, ui->vboxip, ui->vboxport,
                           ui->framecrypt, ui->pmtype})
        QCOMPARE(field->maximumWidth(), 600);
    QCOMPARE(ui->label_18->alignment(), Qt::AlignCenter);
    QCOMPARE(ui->label_19->alignment(), Qt::AlignCenter);
}

void TestMainWindowForm::echoModes()
{
    QCOMPARE(ui->burst_token->echoMode(), QLineEdit::PasswordEchoOnEdit);
    // The station passwords are meant to be read back and checked by the operator.
    QCOMPARE(ui->password->echoMode(), QLineEdit::Normal);
    QCOMPARE(ui->wifiPassword->echoMode(), QLineEdit::Normal);
}

void TestMainWindowForm::fieldsWithOwnTextColours_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("vboxip") << "vboxip";
    QTest::newRow("vboxport") << "vboxport";
    QTest::newRow("framecrypt") << "framecrypt";
}

void TestMainWindowForm::fieldsWithOwnTextColours()
{
    QFETCH(QString, name);

    const auto *field = host->findChild<QLineEdit *>(name);
    QVERIFY(field);
    const QPalette colours = field->palette();
    QCOMPARE(colours.color(QPalette::Active, QPalette::Text), QColor(0, 0, 0));
    QCOMPARE(colours.color(QPalette::Inactive, QPalette::Text), QColor(255, 255, 255));
    QCOMPARE(colours.color(QPalette::Disabled, QPalette::Text), QColor(240, 240, 240));
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        QCOMPARE(colours.color(group, QPalette::PlaceholderText), QColor(0, 0, 0, 128));
}

void TestMainWindowForm::actions_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("toolTip");
    QTest::addColumn<QString>("shortcut");
    QTest::addColumn<bool>("hasIcon");

    QTest::newRow("about") << "actionAbout" << "&About" << "About program" << "Alt+A" << false;
    QTest::newRow("about qt") << "actionAboutQt" << "About Qt" << "" << "" << false;
    QTest::newRow("connect") << "actionConnect" << "C&onnect" << "Connect to serial port"
                             << "Ctrl+O" << true;
    QTest::newRow("disconnect") << "actionDisconnect" << "&Disconnect"
                                << "Disconnect from serial port" << "Ctrl+D" << true;
    QTest::newRow("configure") << "actionConfigure" << "&Configure" << "Configure serial port"
                               << "Alt+C" << true;
    QTest::newRow("quit") << "actionQuit" << "&Quit" << "" << "Ctrl+Q" << true;
    QTest::newRow("testff") << "actiontestff" << "GetConfig" << "" << "" << false;
    QTest::newRow("test action") << "actiontest_action" << "test action" << "" << "" << false;
    QTest::newRow("adv") << "actionAdv" << "Adv" << "" << "" << true;
    QTest::newRow("set mode") << "actionSetMode" << "&SetMode"
                              << "Select the communication mode" << "" << true;
}

void TestMainWindowForm::actions()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QString, toolTip);
    QFETCH(QString, shortcut);
    QFETCH(bool, hasIcon);

    const auto *action = host->findChild<QAction *>(name);
    QVERIFY(action);
    QCOMPARE(action->parent(), host);
    QCOMPARE(action->text(), text);
    if (!toolTip.isEmpty())
        QCOMPARE(action->toolTip(), toolTip);
    QCOMPARE(action->shortcut(), QKeySequence(shortcut));
    QCOMPARE(!action->icon().isNull(), hasIcon);
    if (hasIcon)
        QVERIFY(!action->icon().pixmap(QSize(32, 32)).isNull());
}

void TestMainWindowForm::actionOrder()
{
    QStringList names;
    for (const QAction *action : host->findChildren<QAction *>(QString(), Qt::FindDirectChildrenOnly))
        names << action->objectName();
    QCOMPARE(names, (QStringList{"actionAbout", "actionAboutQt", "actionConnect",
                                 "actionDisconnect", "actionConfigure", "actionQuit",
                                 "actiontestff", "actiontest_action", "actionAdv",
                                 "actionSetMode"}));
}

void TestMainWindowForm::menus()
{
    QCOMPARE(ui->menuBar->actions(), (QList<QAction *>{ui->menuCalls->menuAction(),
                                                       ui->menuTools->menuAction(),
                                                       ui->menuHelp->menuAction()}));
    QCOMPARE(ui->menuCalls->title(), QString("Calls"));
    QCOMPARE(ui->menuTools->title(), QString("Tools"));
    QCOMPARE(ui->menuHelp->title(), QString("Help"));
    QCOMPARE(describe(ui->menuCalls->actions()),
             (QStringList{"actionConnect", "actionDisconnect", "|", "actionQuit"}));
    QCOMPARE(describe(ui->menuTools->actions()), QStringList{"actionConfigure"});
    QCOMPARE(describe(ui->menuHelp->actions()), (QStringList{"actionAbout", "|", "|"}));
}

void TestMainWindowForm::toolBars()
{
    QCOMPARE(describe(ui->mainToolBar->actions()),
             (QStringList{"actionConnect", "actionDisconnect", "actionConfigure", "|",
                          "actionAdv"}));
    QCOMPARE(describe(ui->toolBar->actions()), (QStringList{"actionSetMode", "|"}));
    QCOMPARE(ui->toolBar->windowTitle(), QString("toolBar"));
    QCOMPARE(host->toolBarArea(ui->mainToolBar), Qt::TopToolBarArea);
    QCOMPARE(host->toolBarArea(ui->toolBar), Qt::TopToolBarArea);
}

void TestMainWindowForm::unplacedActions_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("about qt") << "actionAboutQt";
    QTest::newRow("testff") << "actiontestff";
    QTest::newRow("test action") << "actiontest_action";
}

void TestMainWindowForm::unplacedActions()
{
    QFETCH(QString, name);

    const auto *action = host->findChild<QAction *>(name);
    QVERIFY(action);
    QVERIFY(action->associatedWidgets().isEmpty());
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

void TestMainWindowForm::mainWindowTitle()
{
    MainWindow window;
    QCOMPARE(window.windowTitle(), QString("MarlowWifiDesk Configuration Tool - Version 0.10"));
    QVERIFY(window.findChild<QTabWidget *>("tabWidget"));
    QCOMPARE(window.minimumSize(), QSize(617, 560));
}

QTEST_MAIN(TestMainWindowForm)
#include "tst_mainwindowform.moc"
