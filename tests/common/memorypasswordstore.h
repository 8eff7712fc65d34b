#pragma once

#include "app/cpasswordstore.h"

#include <QMap>
#include <QTimer>
#include <memory>

// A key store in memory for window tests, shared by the windows of a test through m_pPasswords. It answers
// reads from the event loop, as a real one does; a held store does not answer at all.
class MemoryPasswordStore : public CPasswordStore
{
public:
    explicit MemoryPasswordStore(std::shared_ptr<QMap<QString, QString>> pPasswords)
        : m_pPasswords(std::move(pPasswords))
    { }

    void Read(const QString& sKey) override
    {
        if (m_bHold)
            return;
        QTimer::singleShot(0, this, [this, sKey] {
            emit PasswordRead(sKey, m_pPasswords->value(sKey), m_pPasswords->contains(sKey));
        });
    }
    void Write(const QString& sKey, const QString& sPassword) override
    {
        m_pPasswords->insert(sKey, sPassword);
    }
    void Remove(const QString& sKey) override { m_pPasswords->remove(sKey); }

    std::shared_ptr<QMap<QString, QString>> m_pPasswords;
    bool m_bHold = false;
};
