#ifndef CONFIGCOMPAREDIALOG_H
#define CONFIGCOMPAREDIALOG_H

#include "stationconfig.h"

#include <QDialog>
#include <QVector>

namespace Ui {
class ConfigCompareDialog;
}

// Shows the fields in which the form and a configuration file differ, one row each:
// the field's wire key, its text in the form, its text in the file.
class ConfigCompareDialog : public QDialog
{
    Q_OBJECT

public:
    ConfigCompareDialog(const QString &fileName, const QVector<ConfigDifference> &differences,
                        QWidget *parent = nullptr);
    ~ConfigCompareDialog() override;

private:
    Ui::ConfigCompareDialog *ui;
};

#endif // CONFIGCOMPAREDIALOG_H
