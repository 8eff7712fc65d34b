#include "testsecrets.h"

#include "mosquittobroker.h"
#include "mqtt/qmqttclient.h"

#include <QFile>
#include <QProcess>

// One openssl call each (OpenSSL 3): the CA, self-signed with the CA extensions of the system's OpenSSL
// configuration, and a server certificate, made and signed by the CA at once.
bool TestSecrets::createCertificate(const QString& sName, const QString& sSubjectAltName)
{
    const QStringList request { "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
        "-nodes", "-days", "2" };
    const QString sCaKey = m_dir.filePath("ca.key");
    if (!QFile::exists(caFile())
        && !run("openssl",
            request + QStringList { "-keyout", sCaKey, "-out", caFile(), "-subj", "/CN=Ombix Test CA" }))
        return false;
    return run("openssl",
        request
            + QStringList { "-CA", caFile(), "-CAkey", sCaKey, "-keyout", m_dir.filePath(sName + ".key"),
                "-out", m_dir.filePath(sName + ".crt"), "-subj", "/CN=" + sName, "-addext",
                "subjectAltName=" + sSubjectAltName, "-addext", "basicConstraints=CA:FALSE" });
}

bool TestSecrets::startTlsBroker(
    MosquittoBroker& broker, const QString& sCertificate, const QString& sUser, const QString& sPassword)
{
    QString sConfig = "certfile " + broker.writeFile("server.crt", read(sCertificate + ".crt")) + "\nkeyfile "
        + broker.writeFile("server.key", read(sCertificate + ".key")) + "\n";
    if (!sUser.isEmpty()) {
        if (!run("mosquitto_passwd", { "-c", "-b", m_dir.filePath("passwords"), sUser, sPassword }))
            return false;
        sConfig += "allow_anonymous false\npassword_file " + broker.writeFile("passwords", read("passwords"));
    }
    broker.setExtraConfig(sConfig);
    if (broker.start())
        return true;
    m_sError = broker.errorString();
    return false;
}

bool TestSecrets::startSecuredBroker(MosquittoBroker& broker, const QString& sUser, const QString& sPassword)
{
    return createCertificate("address", "IP:127.0.0.1")
        && startTlsBroker(broker, "address", sUser, sPassword);
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
    QFile file(m_dir.filePath(sFile));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool TestSecrets::run(const QString& sProgram, const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(sProgram, arguments);
    if (process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0)
        return true;
    m_sError = sProgram + ": " + process.errorString() + " " + QString::fromLocal8Bit(process.readAll());
    return false;
}
