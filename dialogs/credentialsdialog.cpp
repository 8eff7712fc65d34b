#include "dialogs/credentialsdialog.h"

#include "ui_credentialsdialog.h"

#include <QPushButton>

CredentialsDialog::CredentialsDialog(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::CredentialsDialog)
{
    ui->setupUi(this);
}

CredentialsDialog::~CredentialsDialog() { delete ui; }

void CredentialsDialog::Prepare(
    const QString& sBroker, const QString& sUserName, bool bRefused, bool bKeyStoreAvailable)
{
    ui->lblBroker->setText(tr("The MQTT broker %1 asks for a user name and password.").arg(sBroker));
    ui->lblRefused->setVisible(bRefused);
    ui->leUserName->setText(sUserName);
    ClearPassword();
    ui->cbRememberPassword->setEnabled(bKeyStoreAvailable);
    ui->cbRememberPassword->setToolTip(
        bKeyStoreAvailable ? QString() : tr("No key store is available on this computer."));
    if (!bKeyStoreAvailable)
        ui->cbRememberPassword->setChecked(false);
    on_leUserName_textChanged(sUserName);
    (sUserName.isEmpty() ? ui->leUserName : ui->lePassword)->setFocus();
}

QString CredentialsDialog::UserName() const { return ui->leUserName->text().trimmed(); }

QString CredentialsDialog::Password() const { return ui->lePassword->text(); }

bool CredentialsDialog::RememberPassword() const { return ui->cbRememberPassword->isChecked(); }

void CredentialsDialog::ClearPassword() { ui->lePassword->clear(); }

void CredentialsDialog::on_leUserName_textChanged(const QString& sUserName)
{
    ui->buttonBox->button(QDialogButtonBox::Ok)->setEnabled(!sUserName.trimmed().isEmpty());
}
