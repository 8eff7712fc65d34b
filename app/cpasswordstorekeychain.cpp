// CPasswordStore on QtKeychain.
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

// Sets the job's key and calls onNoAnswer, before anyone else hears of the result, when the key store does
// not answer. The job deletes itself once it has finished.
template<typename Function>
void Watch(QKeychain::Job* pJob, const QString& sKey, Function onNoAnswer)
{
    pJob->setKey(sKey);
    QObject::connect(pJob, &QKeychain::Job::finished, pJob, [pJob, onNoAnswer] {
        if (!KeyStoreAnswered(pJob))
            onNoAnswer(pJob->errorString());
    });
}

} // namespace

void CPasswordStore::Read(const QString& sKey)
{
    if (!IsAvailable()) {
        QTimer::singleShot(0, this, [this, sKey] { emit PasswordRead(sKey, QString(), false); });
        return;
    }
    auto* pJob = new QKeychain::ReadPasswordJob(kKeyStoreService, this);
    Watch(pJob, sKey, [this](const QString& sReason) { MarkUnavailable(sReason); });
    connect(pJob, &QKeychain::Job::finished, this, [this, pJob] {
        const bool bFound = pJob->error() == QKeychain::NoError;
        emit PasswordRead(pJob->key(), bFound ? pJob->textData() : QString(), bFound);
    });
    pJob->start();
}

void CPasswordStore::Write(const QString& sKey, const QString& sPassword)
{
    if (!IsAvailable())
        return;
    auto* pJob = new QKeychain::WritePasswordJob(kKeyStoreService, this);
    Watch(pJob, sKey, [this](const QString& sReason) { MarkUnavailable(sReason); });
    pJob->setTextData(sPassword);
    pJob->start();
}

void CPasswordStore::Remove(const QString& sKey)
{
    if (!IsAvailable())
        return;
    auto* pJob = new QKeychain::DeletePasswordJob(kKeyStoreService, this);
    Watch(pJob, sKey, [this](const QString& sReason) { MarkUnavailable(sReason); });
    pJob->start();
}
