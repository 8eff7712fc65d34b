#include "dialogs/configdatadlg.h"

#include "ui_configdatadlg.h"

ConfigDataDlg::ConfigDataDlg(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::ConfigDataDlg)
{
    ui->setupUi(this);
}

ConfigDataDlg::~ConfigDataDlg() { delete ui; }

void ConfigDataDlg::AppendText(QString text) { ui->teConfigData->appendPlainText(text); }

void ConfigDataDlg::ClearText() { ui->teConfigData->clear(); }

void ConfigDataDlg::on_closeButton_clicked() { close(); }
