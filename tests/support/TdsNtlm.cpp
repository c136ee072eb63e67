#include "TdsNtlm.h"
#include <array>
#include <cstdint>
#include <cstring>
#include <openssl/evp.h>
#include <openssl/hmac.h>

namespace tds {

namespace {

const QByteArray kSignature("NTLMSSP\0", 8);

QByteArray utf16le(const QString &s)
{
    QByteArray out;
    for (QChar c : s) {
        out.append(char(c.unicode() & 0xFF));
        out.append(char(c.unicode() >> 8));
    }
    return out;
}

QString fromUtf16le(const QByteArray &b)
{
    QString s;
    for (qsizetype i = 0; i + 1 < b.size(); i += 2)
        s.append(QChar(char16_t(uint8_t(b[i]) | (uint8_t(b[i + 1]) << 8))));
    return s;
}

uint32_t le32(const QByteArray &b, qsizetype at)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | uint8_t(b[at + i]);
    return v;
}

void put16(QByteArray &b, unsigned v) { b.append(char(v & 0xFF)); b.append(char((v >> 8) & 0xFF)); }
void put32(QByteArray &b, uint32_t v) { put16(b, v & 0xFFFF); put16(b, v >> 16); }

// MD4 (RFC 1320), written out: OpenSSL 3 keeps it only in its legacy provider.
uint32_t rotl(uint32_t x, int s) { return (x << s) | (x >> (32 - s)); }

void md4Block(std::array<uint32_t, 4> &h, const uint8_t *p)
{
    uint32_t x[16];
    for (int i = 0; i < 16; ++i)
        x[i] = uint32_t(p[i * 4]) | uint32_t(p[i * 4 + 1]) << 8 | uint32_t(p[i * 4 + 2]) << 16 | uint32_t(p[i * 4 + 3]) << 24;
    uint32_t v[4] = {h[0], h[1], h[2], h[3]};
    static const int order[3][16] = {{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15},
                                     {0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15},
                                     {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15}};
    static const int shifts[3][4] = {{3, 7, 11, 19}, {3, 5, 9, 13}, {3, 9, 11, 15}};
    static const uint32_t adds[3] = {0, 0x5A827999, 0x6ED9EBA1};
    for (int round = 0; round < 3; ++round)
        for (int i = 0; i < 16; ++i) {
            uint32_t &a = v[(16 - i) % 4];
            const uint32_t b = v[(17 - i) % 4], c = v[(18 - i) % 4], d = v[(19 - i) % 4];
            const uint32_t f = round == 0 ? (b & c) | (~b & d) : round == 1 ? (b & c) | (b & d) | (c & d) : b ^ c ^ d;
            a = rotl(a + f + x[order[round][i]] + adds[round], shifts[round][i % 4]);
        }
    for (int i = 0; i < 4; ++i)
        h[i] += v[i];
}

QByteArray md4(const QByteArray &data)
{
    QByteArray m = data;
    const uint64_t bits = uint64_t(data.size()) * 8;
    m.append(char(0x80));
    while (m.size() % 64 != 56)
        m.append(char(0));
    for (int i = 0; i < 8; ++i)
        m.append(char((bits >> (8 * i)) & 0xFF));
    std::array<uint32_t, 4> h = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
    for (qsizetype at = 0; at < m.size(); at += 64)
        md4Block(h, reinterpret_cast<const uint8_t *>(m.constData() + at));
    QByteArray out;
    for (uint32_t w : h)
        put32(out, w);
    return out;
}

QByteArray hmacMd5(const QByteArray &key, const QByteArray &data)
{
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    HMAC(EVP_md5(), key.constData(), int(key.size()), reinterpret_cast<const unsigned char *>(data.constData()),
         size_t(data.size()), out, &len);
    return QByteArray(reinterpret_cast<const char *>(out), int(len));
}

// A (length, offset) field of an NTLM message, checked against the message's size.
bool field(const QByteArray &m, qsizetype at, QByteArray &out)
{
    if (at + 8 > m.size())
        return false;
    const unsigned len = uint8_t(m[at]) | uint8_t(m[at + 1]) << 8;
    const uint32_t offset = le32(m, at + 4);
    if (offset > uint32_t(m.size()) || len > m.size() - qsizetype(offset))
        return false;
    out = m.mid(offset, len);
    return true;
}

} // namespace

bool isNtlmNegotiate(const QByteArray &message)
{
    return message.size() >= 12 && message.startsWith(kSignature) && le32(message, 8) == 1;
}

QByteArray ntlmChallenge(const QByteArray &serverChallenge, const QString &domain)
{
    const QByteArray target = utf16le(domain);
    QByteArray info;
    for (const auto &[id, value] : {std::pair{2u, domain}, std::pair{1u, QStringLiteral("SQLPEER")}}) {
        put16(info, id);
        put16(info, unsigned(utf16le(value).size()));
        info.append(utf16le(value));
    }
    put32(info, 0); // MsvAvEOL
    QByteArray m = kSignature;
    put32(m, 2);
    put16(m, unsigned(target.size())); put16(m, unsigned(target.size())); put32(m, 56);
    put32(m, 0xA2898205); // Unicode, target (domain), NTLM, extended security, target info, version
    m.append(serverChallenge.left(8));
    m.append(QByteArray(8, '\0'));
    put16(m, unsigned(info.size())); put16(m, unsigned(info.size())); put32(m, uint32_t(56 + target.size()));
    m.append(QByteArray::fromHex("0a00614a0000000f")); // 10.0.19041, NTLM revision 15
    return m + target + info;
}

bool parseNtlmAuthenticate(const QByteArray &message, NtlmAuthenticate &out)
{
    if (message.size() < 64 || !message.startsWith(kSignature) || le32(message, 8) != 3)
        return false;
    QByteArray domain, user, workstation;
    if (!field(message, 20, out.ntResponse) || !field(message, 28, domain) || !field(message, 36, user) ||
        !field(message, 44, workstation))
        return false;
    out.domain = fromUtf16le(domain);
    out.user = fromUtf16le(user);
    out.workstation = fromUtf16le(workstation);
    return true;
}

bool ntlmV2ResponseValid(const NtlmAuthenticate &auth, const QString &password, const QByteArray &serverChallenge)
{
    if (auth.ntResponse.size() <= 16)
        return false;
    const QByteArray ntHash = md4(utf16le(password));
    const QByteArray ntowfV2 = hmacMd5(ntHash, utf16le(auth.user.toUpper() + auth.domain));
    const QByteArray blob = auth.ntResponse.mid(16);
    return hmacMd5(ntowfV2, serverChallenge + blob) == auth.ntResponse.left(16);
}

} // namespace tds
