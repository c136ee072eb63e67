#pragma once
// The server's side of an NTLM login inside TDS, as a domain member SQL Server does it:
// LOGIN7 carries the client's NEGOTIATE message, the server answers with a CHALLENGE in
// an SSPI token, the client sends its AUTHENTICATE message in an SSPI packet (0x11), and
// the server checks the NTLMv2 response against the account's password.
#include <QByteArray>
#include <QString>

namespace tds {

struct NtlmAuthenticate {
    QString domain;
    QString user;
    QString workstation;
    QByteArray ntResponse; // NTProofStr (16 bytes) followed by the client's blob
};

bool isNtlmNegotiate(const QByteArray &message);
// A CHALLENGE message (type 2) with the 8-byte server challenge and target information
// naming the domain, as a server on a domain sends it.
QByteArray ntlmChallenge(const QByteArray &serverChallenge, const QString &domain);
// false when the message is not an AUTHENTICATE message or its fields lie outside it.
bool parseNtlmAuthenticate(const QByteArray &message, NtlmAuthenticate &out);
// The NTLMv2 check: HMAC-MD5 keyed by NTOWFv2(password, user, domain) over the server
// challenge and the client's blob must give the response's first 16 bytes.
bool ntlmV2ResponseValid(const NtlmAuthenticate &auth, const QString &password, const QByteArray &serverChallenge);

} // namespace tds
