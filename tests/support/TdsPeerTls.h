#pragma once
// TLS for the scripted TDS peer, as a SQL Server with a certificate speaks it: after the
// PRELOGIN answer the handshake records travel inside TDS PRELOGIN packets (type 0x12);
// once it is done, every TDS packet travels inside TLS records straight on the socket.
// The server's certificate is a throw-away self-signed one made in memory at start.
#include <QByteArray>
#include <QString>
#include <memory>
#include <sys/types.h>

struct ssl_ctx_st;
struct ssl_st;

namespace tds {

// One key and self-signed certificate (CN = the given host), shared by the sessions.
class TlsServerContext {
public:
    explicit TlsServerContext(const QString &commonName);
    ~TlsServerContext();
    TlsServerContext(const TlsServerContext &) = delete;
    TlsServerContext &operator=(const TlsServerContext &) = delete;
    bool valid() const { return ctx_ != nullptr; }
    ssl_ctx_st *context() const { return ctx_; }
    QByteArray certificatePem() const { return certificatePem_; }

private:
    ssl_ctx_st *ctx_ = nullptr;
    QByteArray certificatePem_;
};

// One session's TLS over a connected socket.
class TlsChannel {
public:
    explicit TlsChannel(const TlsServerContext &context);
    ~TlsChannel();
    TlsChannel(const TlsChannel &) = delete;
    TlsChannel &operator=(const TlsChannel &) = delete;

    // The handshake inside PRELOGIN packets; false when the client gives up or fails it.
    bool handshake(int fd);
    // Decrypted bytes, at most n; 0 or less when the connection ended.
    ssize_t read(int fd, char *dst, size_t n);
    // Encrypts and sends all n bytes; n, or -1 when the socket failed.
    ssize_t write(int fd, const char *src, size_t n);
    bool hasBuffered() const; // decrypted bytes waiting, so poll() on the socket would lie

private:
    bool flushTo(int fd, bool asPreloginPackets);
    bool feedFrom(int fd, bool asPreloginPackets);

    ssl_st *ssl_ = nullptr;
};

} // namespace tds
