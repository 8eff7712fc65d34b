#pragma once

#include <QString>
#include <QTemporaryDir>

class MosquittoBroker;
class QMqttClient;

// Certificates and password files for one test, made with the openssl and mosquitto_passwd commands in a
// private folder: a CA of the test's own and server certificates it signs (EC keys, quick to make). Each
// call returns false, with errorString() set, when a command fails.
class TestSecrets
{
public:
    // <sName>.crt and its key, made out to sSubjectAltName ("IP:127.0.0.1", "DNS:localhost"); the first
    // call makes the CA.
    bool createCertificate(const QString& sName, const QString& sSubjectAltName);
    // Starts the broker with a TLS listener that shows <sCertificate>.crt and, given a user, takes only that
    // user with that password.
    bool startTlsBroker(MosquittoBroker& broker, const QString& sCertificate, const QString& sUser = {},
        const QString& sPassword = {});
    // The usual case: a certificate for 127.0.0.1 and the broker started with it, taking only the one user.
    bool startSecuredBroker(MosquittoBroker& broker, const QString& sUser, const QString& sPassword);
    // Points the client at the broker, trusting the CA, with the user name and password.
    void prepareClient(QMqttClient& client, const MosquittoBroker& broker, const QString& sUser = {},
        const QString& sPassword = {}) const;

    QString caFile() const { return m_dir.filePath("ca.crt"); }
    QString errorString() const { return m_sError; }

private:
    bool run(const QString& sProgram, const QStringList& arguments);
    QByteArray read(const QString& sFile) const;

    QTemporaryDir m_dir;
    QString m_sError;
};
