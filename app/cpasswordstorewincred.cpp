// CPasswordStore on the Windows Credential Manager, for Windows builds without QtKeychain. Each password is
// a generic credential of the current user named after the panel and the key, kept on this machine only.
#include "app/cpasswordstore.h"

#include <QTimer>
#include <string>
#include <windows.h>
// Needs the types that windows.h declares.
#include <wincred.h>

namespace {

std::wstring TargetName(const QString& sKey)
{
    return (QStringLiteral("Ombix Camera Control/") + sKey).toStdWString();
}

} // namespace

// The Credential Manager answers at once; its answer is passed on from the event loop, as the other key
// stores' answers are, with a failure reported before the answer it spoils.
void CPasswordStore::Read(const QString& sKey)
{
    QString sPassword;
    QString sFailure;
    bool bFound = false;
    PCREDENTIALW pCredential = nullptr;
    if (IsAvailable()) {
        if (CredReadW(TargetName(sKey).c_str(), CRED_TYPE_GENERIC, 0, &pCredential)) {
            sPassword = QString::fromUtf8(reinterpret_cast<const char*>(pCredential->CredentialBlob),
                int(pCredential->CredentialBlobSize));
            bFound = true;
            CredFree(pCredential);
        } else if (GetLastError() != ERROR_NOT_FOUND) {
            sFailure = qt_error_string();
        }
    }
    QTimer::singleShot(0, this, [this, sKey, sPassword, sFailure, bFound] {
        if (!sFailure.isEmpty())
            MarkUnavailable(sFailure);
        emit PasswordRead(sKey, sPassword, bFound);
    });
}

void CPasswordStore::Write(const QString& sKey, const QString& sPassword)
{
    if (!IsAvailable())
        return;
    std::wstring target = TargetName(sKey);
    std::wstring userName = sKey.toStdWString();
    QByteArray secret = sPassword.toUtf8();
    CREDENTIALW credential {};
    credential.Type = CRED_TYPE_GENERIC;
    credential.TargetName = target.data();
    credential.UserName = userName.data();
    credential.CredentialBlob = reinterpret_cast<LPBYTE>(secret.data());
    credential.CredentialBlobSize = DWORD(secret.size());
    credential.Persist = CRED_PERSIST_LOCAL_MACHINE;
    if (!CredWriteW(&credential, 0)) {
        const QString sFailure = qt_error_string();
        QTimer::singleShot(0, this, [this, sFailure] { MarkUnavailable(sFailure); });
    }
    SecureZeroMemory(secret.data(), size_t(secret.size()));
}

void CPasswordStore::Remove(const QString& sKey)
{
    if (!IsAvailable())
        return;
    if (!CredDeleteW(TargetName(sKey).c_str(), CRED_TYPE_GENERIC, 0) && GetLastError() != ERROR_NOT_FOUND) {
        const QString sFailure = qt_error_string();
        QTimer::singleShot(0, this, [this, sFailure] { MarkUnavailable(sFailure); });
    }
}
