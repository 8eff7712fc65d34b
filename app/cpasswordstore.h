#pragma once

#include <QObject>
#include <QString>

// Keeps broker passwords in the desktop's key store, never in a file of the panel's own: through QtKeychain
// (the Secret Service or KWallet, the macOS Keychain), or on Windows builds without QtKeychain directly in the
// Windows Credential Manager. Every call answers later, from the event loop. A key store that fails to
// answer, as on a machine without a desktop session, makes the store unavailable for the rest of the run:
// Unavailable is emitted once, and a read finds nothing from then on.
class CPasswordStore : public QObject
{
    Q_OBJECT

public:
    explicit CPasswordStore(QObject* parent = nullptr);

    bool IsAvailable() const { return m_bAvailable; }
    // Answers with PasswordRead.
    virtual void Read(const QString& sKey);
    virtual void Write(const QString& sKey, const QString& sPassword);
    virtual void Remove(const QString& sKey);

signals:
    void PasswordRead(QString sKey, QString sPassword, bool bFound);
    void Unavailable(QString sReason);

protected:
    void MarkUnavailable(const QString& sReason);

private:
    bool m_bAvailable = true;
};
