#include "mqtt/ctlscontext.h"

#include <QFile>
#include <QHostAddress>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

namespace {

// Where an SSL_CTX keeps its CTlsContext.
int ContextIndex()
{
    static const int s_nIndex = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    return s_nIndex;
}

// The reason of the oldest error on OpenSSL's error queue, which is emptied.
QString TakeOpenSslError()
{
    const char* sReason = ERR_reason_error_string(ERR_peek_error());
    ERR_clear_error();
    return sReason ? QString::fromUtf8(sReason) : QStringLiteral("unknown error");
}

// The system's CA store, read once per process: it holds over a hundred certificates, and reading them
// for every connection would cost more than the handshake.
X509_STORE* SystemStore()
{
    static const std::unique_ptr<X509_STORE, decltype(&X509_STORE_free)> s_pStore = [] {
        X509_STORE* pStore = X509_STORE_new();
        // A system without a store of its own leaves it empty: then no certificate verifies.
        if (pStore && X509_STORE_set_default_paths(pStore) != 1)
            ERR_clear_error();
        return std::unique_ptr<X509_STORE, decltype(&X509_STORE_free)>(pStore, &X509_STORE_free);
    }();
    return s_pStore.get();
}

// Adds the certificates of a PEM file to the context's trusted ones.
bool LoadCaFile(SSL_CTX* pContext, const QString& sCaFile, QString* pError)
{
    QFile file(sCaFile);
    if (!file.open(QIODevice::ReadOnly)) {
        *pError = QStringLiteral("cannot load the CA file %1: %2").arg(sCaFile, file.errorString());
        return false;
    }
    if (SSL_CTX_load_verify_locations(pContext, QFile::encodeName(sCaFile).constData(), nullptr) == 1)
        return true;
    *pError = QStringLiteral("cannot load the CA file %1: %2").arg(sCaFile, TakeOpenSslError());
    return false;
}

} // namespace

CTlsContext::CTlsContext(SSL_CTX* pContext, const QString& sPeerName)
    : m_pContext(pContext)
    , m_peerName(sPeerName.toUtf8())
    , m_bPeerIsAddress(!QHostAddress(sPeerName).isNull())
{
    SSL_CTX_set_ex_data(m_pContext, ContextIndex(), this);
}

// libmosquitto holds its own reference to the context while its handle lives.
CTlsContext::~CTlsContext()
{
    SSL_CTX_set_ex_data(m_pContext, ContextIndex(), nullptr);
    SSL_CTX_free(m_pContext);
}

std::unique_ptr<CTlsContext> CTlsContext::Create(
    const QString& sPeerName, const QString& sCaFile, QString* pError)
{
    SSL_CTX* pContext = SSL_CTX_new(TLS_client_method());
    if (!pContext) {
        *pError = TakeOpenSslError();
        return nullptr;
    }
    std::unique_ptr<CTlsContext> pTls(new CTlsContext(pContext, sPeerName));
    SSL_CTX_set_min_proto_version(pContext, TLS1_2_VERSION);
    if (sCaFile.isEmpty()) {
        if (X509_STORE* pStore = SystemStore())
            SSL_CTX_set1_cert_store(pContext, pStore);
    } else if (!LoadCaFile(pContext, sCaFile, pError)) {
        return nullptr;
    }

    X509_VERIFY_PARAM* pParam = SSL_CTX_get0_param(pContext);
    X509_VERIFY_PARAM_set_hostflags(pParam, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
    const int nNameSet = pTls->m_bPeerIsAddress
        ? X509_VERIFY_PARAM_set1_ip_asc(pParam, pTls->m_peerName.constData())
        : X509_VERIFY_PARAM_set1_host(pParam, pTls->m_peerName.constData(), size_t(pTls->m_peerName.size()));
    if (pTls->m_peerName.isEmpty() || nNameSet != 1) {
        ERR_clear_error();
        *pError = QStringLiteral("invalid host name: %1").arg(sPeerName);
        return nullptr;
    }
    SSL_CTX_set_verify(pContext, SSL_VERIFY_PEER, &CTlsContext::OnVerify);
    SSL_CTX_set_info_callback(pContext, &CTlsContext::OnInfo);
    return pTls;
}

bool CTlsContext::WantsWrite() const { return m_pHandshake ? SSL_want_write(m_pHandshake) : true; }

CTlsContext* CTlsContext::Of(const SSL* pSsl)
{
    return static_cast<CTlsContext*>(SSL_CTX_get_ex_data(SSL_get_SSL_CTX(pSsl), ContextIndex()));
}

// Keeps the first reason for rejecting the certificate; OpenSSL's own verdict stands.
int CTlsContext::OnVerify(int nPreverifyOk, X509_STORE_CTX* pStore)
{
    if (nPreverifyOk)
        return nPreverifyOk;
    const auto* pSsl
        = static_cast<const SSL*>(X509_STORE_CTX_get_ex_data(pStore, SSL_get_ex_data_X509_STORE_CTX_idx()));
    CTlsContext* pTls = pSsl ? Of(pSsl) : nullptr;
    if (pTls && pTls->m_sVerifyError.isEmpty())
        pTls->m_sVerifyError
            = QString::fromUtf8(X509_verify_cert_error_string(X509_STORE_CTX_get_error(pStore)));
    return nPreverifyOk;
}

void CTlsContext::OnInfo(const SSL* pSsl, int nWhere, int)
{
    CTlsContext* pTls = Of(pSsl);
    if (!pTls)
        return;
    if (nWhere & SSL_CB_HANDSHAKE_START) {
        pTls->m_pHandshake = const_cast<SSL*>(pSsl);
        // libmosquitto named the numeric address as the server name; a numeric peer name is sent as none.
        SSL_set_tlsext_host_name(
            pTls->m_pHandshake, pTls->m_bPeerIsAddress ? nullptr : pTls->m_peerName.data());
    }
    if (nWhere & SSL_CB_HANDSHAKE_DONE) {
        pTls->m_pHandshake = nullptr;
        pTls->m_bHandshakeDone = true;
    }
}
