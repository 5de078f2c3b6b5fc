#include "mainwindow.h"
#include "ui_mainwindow.h"

namespace {
constexpr int kVersionMajor = 0;
constexpr int kVersionMinor = 10;
}

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent, Qt::WindowFlags())
    , ui(new Ui::MainWindow)
{
    // The images live in the static core library, whose resource initialiser the
    // linker would otherwise drop; the form's icons need them registered first.
    Q_INIT_RESOURCE(resources);
    ui->setupUi(this);

    setWindowTitle(QStringLiteral("MarlowWifiDesk Configuration Tool")
                   + QStringLiteral(" - Version ")
                   + QString::number(kVersionMajor) + QLatin1Char('.')
                   + QString::number(kVersionMinor));
}

MainWindow::~MainWindow()
{
    delete ui;
}
