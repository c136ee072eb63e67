#pragma once
// The server's side of an integrated (Kerberos) login inside TDS, as SQL Server does it
// with its service principal's key: LOGIN7 carries the client's GSS-API token (a raw
// Kerberos AP-REQ or SPNEGO), the server hands it to gss_accept_sec_context with the
// keytab, answers any reply token (the AP-REP of mutual authentication) in an SSPI
// token, and takes further client tokens from SSPI packets (0x11) until done.
#include <QByteArray>
#include <QString>
#include <memory>

namespace tds {

class KerberosAcceptor {
public:
    explicit KerberosAcceptor(const QString &keytab);
    ~KerberosAcceptor();
    KerberosAcceptor(const KerberosAcceptor &) = delete;
    KerberosAcceptor &operator=(const KerberosAcceptor &) = delete;

    enum class Step { Failed, Continue, Done };
    // One client token in; the token to send back (may be empty) in `reply`.
    Step accept(const QByteArray &token, QByteArray &reply);
    QString clientPrincipal() const { return client_; } // "alice@PEER.TEST" once Done
    QString errorText() const { return error_; }        // the GSS-API's words after Failed

private:
    struct Handles;
    std::unique_ptr<Handles> handles_;
    QString client_;
    QString error_;
};

} // namespace tds
