#include "TdsPeerTls.h"
#include <cerrno>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <sys/socket.h>

namespace tds {

namespace {

constexpr uint8_t kPrelogin = 0x12;

bool sendAll(int fd, const char *p, size_t n)
{
    while (n > 0) {
        const ssize_t w = ::send(fd, p, n, MSG_NOSIGNAL);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return false;
        p += w;
        n -= size_t(w);
    }
    return true;
}

bool recvAll(int fd, char *p, size_t n)
{
    while (n > 0) {
        const ssize_t r = ::recv(fd, p, n, 0);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return false;
        p += r;
        n -= size_t(r);
    }
    return true;
}

X509 *selfSigned(EVP_PKEY *key, const QString &commonName)
{
    X509 *cert = X509_new();
    X509_set_version(cert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
    X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert), 24 * 3600);
    X509_set_pubkey(cert, key);
    X509_NAME *name = X509_get_subject_name(cert);
    const QByteArray cn = commonName.toUtf8();
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8, reinterpret_cast<const unsigned char *>(cn.constData()), -1, -1, 0);
    X509_set_issuer_name(cert, name);
    X509_sign(cert, key, EVP_sha256());
    return cert;
}

} // namespace

TlsServerContext::TlsServerContext(const QString &commonName)
{
    EVP_PKEY *key = EVP_EC_gen("P-256");
    if (!key)
        return;
    X509 *cert = selfSigned(key, commonName);
    ctx_ = SSL_CTX_new(TLS_server_method());
    // SQL Server speaks TLS up to 1.2 inside TDS 7.x; the client library's handshake
    // framing relies on the server sending the last flight, as 1.2 does.
    SSL_CTX_set_max_proto_version(ctx_, TLS1_2_VERSION);
    if (SSL_CTX_use_certificate(ctx_, cert) != 1 || SSL_CTX_use_PrivateKey(ctx_, key) != 1) {
        SSL_CTX_free(ctx_);
        ctx_ = nullptr;
    }
    BIO *pem = BIO_new(BIO_s_mem());
    PEM_write_bio_X509(pem, cert);
    char *data = nullptr;
    const long size = BIO_get_mem_data(pem, &data);
    certificatePem_ = QByteArray(data, int(size));
    BIO_free(pem);
    X509_free(cert);
    EVP_PKEY_free(key);
}

TlsServerContext::~TlsServerContext()
{
    if (ctx_)
        SSL_CTX_free(ctx_);
}

TlsChannel::TlsChannel(const TlsServerContext &context)
{
    ssl_ = SSL_new(context.context());
    SSL_set_bio(ssl_, BIO_new(BIO_s_mem()), BIO_new(BIO_s_mem()));
    SSL_set_accept_state(ssl_);
}

TlsChannel::~TlsChannel()
{
    SSL_free(ssl_);
}

// What OpenSSL wrote, sent on: inside one PRELOGIN message during the handshake, as it
// stands afterwards.
bool TlsChannel::flushTo(int fd, bool asPreloginPackets)
{
    BIO *out = SSL_get_wbio(ssl_);
    char *data = nullptr;
    const long size = BIO_get_mem_data(out, &data);
    if (size <= 0)
        return true;
    QByteArray bytes(data, int(size));
    (void)BIO_reset(out);
    if (!asPreloginPackets)
        return sendAll(fd, bytes.constData(), size_t(bytes.size()));
    for (qsizetype at = 0; at < bytes.size();) {
        const qsizetype n = std::min<qsizetype>(4088, bytes.size() - at);
        const bool last = at + n >= bytes.size();
        const char header[8] = {char(kPrelogin), char(last ? 1 : 0), char((n + 8) >> 8), char((n + 8) & 0xFF), 0, 0, 1, 0};
        if (!sendAll(fd, header, 8) || !sendAll(fd, bytes.constData() + at, size_t(n)))
            return false;
        at += n;
    }
    return true;
}

// Bytes from the client into OpenSSL: one whole TDS message's payload during the
// handshake, whatever the socket has afterwards.
bool TlsChannel::feedFrom(int fd, bool asPreloginPackets)
{
    BIO *in = SSL_get_rbio(ssl_);
    if (!asPreloginPackets) {
        char buffer[16384];
        ssize_t r;
        do
            r = ::recv(fd, buffer, sizeof buffer, 0);
        while (r < 0 && errno == EINTR);
        return r > 0 && BIO_write(in, buffer, int(r)) == int(r);
    }
    for (;;) {
        unsigned char header[8];
        if (!recvAll(fd, reinterpret_cast<char *>(header), 8))
            return false;
        const size_t length = (size_t(header[2]) << 8) | header[3];
        if (length < 8)
            return false;
        QByteArray part(qsizetype(length - 8), '\0');
        if (!recvAll(fd, part.data(), length - 8))
            return false;
        BIO_write(in, part.constData(), int(part.size()));
        if (header[1] & 0x01)
            return true;
    }
}

bool TlsChannel::handshake(int fd)
{
    for (;;) {
        const int rc = SSL_do_handshake(ssl_);
        if (!flushTo(fd, true))
            return false;
        if (rc == 1)
            return true;
        if (SSL_get_error(ssl_, rc) != SSL_ERROR_WANT_READ || !feedFrom(fd, true)) {
            ERR_clear_error();
            return false;
        }
    }
}

ssize_t TlsChannel::read(int fd, char *dst, size_t n)
{
    for (;;) {
        const int rc = SSL_read(ssl_, dst, int(std::min<size_t>(n, 1 << 20)));
        if (rc > 0)
            return rc;
        if (!flushTo(fd, false))
            return -1;
        if (SSL_get_error(ssl_, rc) != SSL_ERROR_WANT_READ || !feedFrom(fd, false)) {
            ERR_clear_error();
            return 0;
        }
    }
}

ssize_t TlsChannel::write(int fd, const char *src, size_t n)
{
    if (SSL_write(ssl_, src, int(n)) != int(n) || !flushTo(fd, false)) {
        ERR_clear_error();
        return -1;
    }
    return ssize_t(n);
}

bool TlsChannel::hasBuffered() const
{
    return SSL_pending(ssl_) > 0 || BIO_ctrl_pending(SSL_get_rbio(ssl_)) > 0;
}

} // namespace tds
