#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <openssl/ossl_typ.h>

// The OpenSSL context of one encrypted connection, handed to libmosquitto in place of the one it would make
// itself. The broker's certificate must chain up to the system's CA store, or to the certificates of a CA
// file when one is named (a private CA), and it must be made out to the peer name: the host name the user
// gave, not the numeric address that libmosquitto is handed after the adapter's own lookup. The peer name
// also goes out as the TLS server name (SNI). The context remembers why a certificate was rejected, and
// follows the handshake, which libmosquitto only advances from mosquitto_loop_read.
class CTlsContext
{
public:
    // Returns null, with the reason in *pError, when the context cannot be made (an unreadable CA file).
    static std::unique_ptr<CTlsContext> Create(
        const QString& sPeerName, const QString& sCaFile, QString* pError);
    ~CTlsContext();
    CTlsContext(const CTlsContext&) = delete;
    CTlsContext& operator=(const CTlsContext&) = delete;

    SSL_CTX* Handle() const { return m_pContext; }
    // True until the handshake of the connection made with this context has completed.
    bool IsHandshaking() const { return !m_bHandshakeDone; }
    // While handshaking: OpenSSL waits until it can write (before the handshake starts: until the TCP
    // connection is made). Only meaningful while libmosquitto's socket is open.
    bool WantsWrite() const;
    // Why the certificate was rejected ("certificate has expired", "hostname mismatch"), or empty.
    QString VerifyError() const { return m_sVerifyError; }

private:
    CTlsContext(SSL_CTX* pContext, const QString& sPeerName);
    static CTlsContext* Of(const SSL* pSsl);
    static int OnVerify(int nPreverifyOk, X509_STORE_CTX* pStore);
    static void OnInfo(const SSL* pSsl, int nWhere, int nReturn);

    SSL_CTX* m_pContext;
    QByteArray m_peerName;
    bool m_bPeerIsAddress;
    // The connection's SSL object from the start of its handshake to its end; libmosquitto owns it.
    SSL* m_pHandshake = nullptr;
    bool m_bHandshakeDone = false;
    QString m_sVerifyError;
};
