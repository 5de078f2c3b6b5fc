#include "mainwindow.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // The icon that the package installs for the desktop's menus; a build run in place has none.
    app.setWindowIcon(QIcon::fromTheme(QStringLiteral("marlowdesk")));
    MainWindow window;
    window.show();
    return app.exec();
}
