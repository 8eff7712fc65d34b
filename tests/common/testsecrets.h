#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

class MosquittoBroker;
class QMqttClient;

// Certificates and password files for one test, made with the openssl and mosquitto_passwd commands in a
// private folder: a CA of the test's own and server certificates it signs (EC keys, quick to make), and
// mosquitto password files. Each call returns false, with errorString() set, when a command fails.
class TestSecrets
{
public:
    bool createCa();
    // <sName>.crt and <sName>.key, made out to sSubjectAltName ("IP:127.0.0.1", "DNS:localhost").
    bool createServerCertificate(const QString& sName, const QString& sSubjectAltName);
    // The content of a mosquitto password file with one user, in *pContent.
    bool createPasswordFile(const QString& sUser, const QString& sPassword, QByteArray* pContent);

    // Starts the broker with a TLS listener that shows <sCertificate>.crt and, given the content of a
    // password file, takes only the users in it.
    bool startTlsBroker(
        MosquittoBroker& broker, const QString& sCertificate, const QByteArray& passwords = {});
    // All of it for the usual case: the CA, a certificate for 127.0.0.1 and the broker started with them,
    // taking only the one user.
    bool startSecuredBroker(MosquittoBroker& broker, const QString& sUser, const QString& sPassword);
    // Points the client at the broker, trusting the CA, with the user name and password.
    void prepareClient(QMqttClient& client, const MosquittoBroker& broker, const QString& sUser = {},
        const QString& sPassword = {}) const;

    QString caFile() const { return path("ca.crt"); }
    QString path(const QString& sFile) const { return m_dir.filePath(sFile); }
    QByteArray read(const QString& sFile) const;
    QString errorString() const { return m_sError; }

private:
    bool run(const QString& sProgram, const QStringList& arguments, const QString& sSubjectAltName = {});

    QTemporaryDir m_dir;
    QString m_sError;
};
