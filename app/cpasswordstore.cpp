#include "app/cpasswordstore.h"

#include <QTimer>
#include <qt5keychain/keychain.h>

namespace {

// The service under which the desktop's key store lists the panel's entries.
const QString kKeyStoreService = QStringLiteral("Ombix Camera Control");

// An entry that is not there is an answer; anything else means the key store did not answer.
bool KeyStoreAnswered(const QKeychain::Job* pJob)
{
    return pJob->error() == QKeychain::NoError || pJob->error() == QKeychain::EntryNotFound;
}

} // namespace

CPasswordStore::CPasswordStore(QObject* parent)
    : QObject(parent)
{ }

void CPasswordStore::Read(const QString& sKey)
{
    if (!m_bAvailable) {
        QTimer::singleShot(0, this, [this, sKey] { emit PasswordRead(sKey, QString(), false); });
        return;
    }
    auto* pJob = new QKeychain::ReadPasswordJob(kKeyStoreService, this);
    Watch(pJob, sKey);
    connect(pJob, &QKeychain::Job::finished, this, [this, pJob] {
        const bool bFound = pJob->error() == QKeychain::NoError;
        emit PasswordRead(pJob->key(), bFound ? pJob->textData() : QString(), bFound);
    });
    pJob->start();
}

void CPasswordStore::Write(const QString& sKey, const QString& sPassword)
{
    if (!m_bAvailable)
        return;
    auto* pJob = new QKeychain::WritePasswordJob(kKeyStoreService, this);
    Watch(pJob, sKey);
    pJob->setTextData(sPassword);
    pJob->start();
}

void CPasswordStore::Remove(const QString& sKey)
{
    if (!m_bAvailable)
        return;
    auto* pJob = new QKeychain::DeletePasswordJob(kKeyStoreService, this);
    Watch(pJob, sKey);
    pJob->start();
}

// Sets the job's key and marks the store unavailable, before anyone hears of the result, when the key store
// does not answer. The job deletes itself once it has finished.
void CPasswordStore::Watch(QKeychain::Job* pJob, const QString& sKey)
{
    pJob->setKey(sKey);
    connect(pJob, &QKeychain::Job::finished, this, [this, pJob] {
        if (!KeyStoreAnswered(pJob))
            MarkUnavailable(pJob->errorString());
    });
}

void CPasswordStore::MarkUnavailable(const QString& sReason)
{
    if (!m_bAvailable)
        return;
    m_bAvailable = false;
    emit Unavailable(sReason);
}
