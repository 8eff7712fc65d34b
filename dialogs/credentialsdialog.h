#pragma once

#include <QDialog>
#include <QString>

namespace Ui {
class CredentialsDialog;
}

// Asks for the user name and password that a broker wants, and whether the password may be kept in the
// desktop's key store. OK is offered once a user name is given. The password stays in the dialog only
// until ClearPassword.
class CredentialsDialog : public QDialog
{
    Q_OBJECT

public:
    explicit CredentialsDialog(QWidget* parent = nullptr);
    ~CredentialsDialog() override;

    // Prepares one request: the broker named, the user name offered, whether the broker has just refused
    // credentials given before, and whether a key store can keep the password.
    void Prepare(const QString& sBroker, const QString& sUserName, bool bRefused, bool bKeyStoreAvailable);
    QString UserName() const;
    QString Password() const;
    bool RememberPassword() const;
    void ClearPassword();

private slots:
    void on_leUserName_textChanged(const QString& sUserName);

private:
    Ui::CredentialsDialog* ui;
};
