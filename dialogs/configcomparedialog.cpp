#include "configcomparedialog.h"
#include "ui_configcomparedialog.h"

#include <QFileInfo>
#include <QHeaderView>

ConfigCompareDialog::ConfigCompareDialog(const QString &fileName,
                                         const QVector<ConfigDifference> &differences, QWidget *parent)
    : QDialog(parent),
      ui(new Ui::ConfigCompareDialog)
{
    ui->setupUi(this);
    const QString name = QFileInfo(fileName).fileName();
    if (differences.isEmpty())
        ui->summary->setText(tr("The form holds every field of %1 as the file does.").arg(name));
    else if (differences.size() == 1)
        ui->summary->setText(tr("One field of %1 differs from the form.").arg(name));
    else
        ui->summary->setText(tr("%1 fields of %2 differ from the form.")
                                 .arg(QString::number(differences.size()), name));

    ui->differences->setRowCount(differences.size());
    for (int row = 0; row < differences.size(); ++row) {
        const ConfigDifference &difference = differences.at(row);
        const QStringList cells{QLatin1String(difference.key), difference.first, difference.second};
        for (int column = 0; column < cells.size(); ++column)
            ui->differences->setItem(row, column, new QTableWidgetItem(cells.at(column)));
    }
    ui->differences->resizeColumnsToContents();
    ui->differences->setVisible(!differences.isEmpty());
}

ConfigCompareDialog::~ConfigCompareDialog()
{
    delete ui;
}
