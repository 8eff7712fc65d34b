#include "app/cpasswordstore.h"

CPasswordStore::CPasswordStore(QObject* parent)
    : QObject(parent)
{ }

void CPasswordStore::MarkUnavailable(const QString& sReason)
{
    if (!m_bAvailable)
        return;
    m_bAvailable = false;
    emit Unavailable(sReason);
}
