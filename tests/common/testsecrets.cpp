#include "testsecrets.h"

#include "mosquittobroker.h"
#include "mqtt/qmqttclient.h"

#include <QFile>
#include <QProcess>

namespace {

// The certificate profiles; the subject alternative name comes from the environment of each command.
const QByteArray kOpenSslConfig = R"([req]
distinguished_name = subject
prompt = no
[subject]
CN = Ombix Test CA
[ca]
basicConstraints = critical, CA:TRUE
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[server]
basicConstraints = CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = serverAuth
subjectAltName = ${ENV::SUBJECT_ALT_NAME}
)";

} // namespace

bool TestSecrets::createCa()
{
    QFile config(path("openssl.cnf"));
    if (!config.open(QIODevice::WriteOnly) || config.write(kOpenSslConfig) != kOpenSslConfig.size()) {
        m_sError = config.errorString();
        return false;
    }
    config.close();
    return run("openssl",
        { "req", "-x509", "-config", path("openssl.cnf"), "-extensions", "ca", "-newkey", "ec", "-pkeyopt",
            "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", path("ca.key"), "-out", caFile(), "-days",
            "2" });
}

bool TestSecrets::createServerCertificate(const QString& sName, const QString& sSubjectAltName)
{
    return run("openssl",
               { "req", "-new", "-config", path("openssl.cnf"), "-newkey", "ec", "-pkeyopt",
                   "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", path(sName + ".key"), "-out",
                   path(sName + ".csr"), "-subj", "/CN=" + sName },
               sSubjectAltName)
        && run("openssl",
            { "x509", "-req", "-in", path(sName + ".csr"), "-CA", caFile(), "-CAkey", path("ca.key"),
                "-CAcreateserial", "-out", path(sName + ".crt"), "-days", "2", "-extfile",
                path("openssl.cnf"), "-extensions", "server" },
            sSubjectAltName);
}

bool TestSecrets::createPasswordFile(const QString& sUser, const QString& sPassword, QByteArray* pContent)
{
    QFile::remove(path("passwords"));
    if (!run("mosquitto_passwd", { "-c", "-b", path("passwords"), sUser, sPassword }))
        return false;
    *pContent = read("passwords");
    return !pContent->isEmpty();
}

bool TestSecrets::startTlsBroker(
    MosquittoBroker& broker, const QString& sCertificate, const QByteArray& passwords)
{
    QString sConfig = "certfile " + broker.writeFile("server.crt", read(sCertificate + ".crt")) + "\nkeyfile "
        + broker.writeFile("server.key", read(sCertificate + ".key")) + "\n";
    if (!passwords.isEmpty())
        sConfig += "allow_anonymous false\npassword_file " + broker.writeFile("passwords", passwords) + "\n";
    broker.setExtraConfig(sConfig);
    if (broker.start())
        return true;
    m_sError = broker.errorString();
    return false;
}

bool TestSecrets::startSecuredBroker(MosquittoBroker& broker, const QString& sUser, const QString& sPassword)
{
    QByteArray passwords;
    return createCa() && createServerCertificate("address", "IP:127.0.0.1")
        && createPasswordFile(sUser, sPassword, &passwords) && startTlsBroker(broker, "address", passwords);
}

void TestSecrets::prepareClient(
    QMqttClient& client, const MosquittoBroker& broker, const QString& sUser, const QString& sPassword) const
{
    client.setHostname(broker.host());
    client.setPort(broker.port());
    client.setUsername(sUser);
    client.setPassword(sPassword);
    client.setCaCertificatesFile(caFile());
}

QByteArray TestSecrets::read(const QString& sFile) const
{
    QFile file(path(sFile));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool TestSecrets::run(const QString& sProgram, const QStringList& arguments, const QString& sSubjectAltName)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("SUBJECT_ALT_NAME", sSubjectAltName.isEmpty() ? "DNS:unused" : sSubjectAltName);
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(sProgram, arguments);
    if (process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0)
        return true;
    m_sError = sProgram + ": " + process.errorString() + " " + QString::fromLocal8Bit(process.readAll());
    return false;
}
