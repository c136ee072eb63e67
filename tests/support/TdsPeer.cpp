#include "TdsPeer.h"
#include "TdsKerberos.h"
#include "TdsNtlm.h"
#include "TdsPeerTls.h"
#include "platform/Big5Codec.h"
#include <QDate>
#include <QRandomGenerator>
#include <QTime>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <map>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace tds {

namespace {

using u128 = unsigned __int128;

// Packet types (client to server, and the server's one reply type).
constexpr uint8_t kSqlBatch = 0x01, kRpc = 0x03, kReply = 0x04, kAttention = 0x06, kLogin7 = 0x10,
                  kTransaction = 0x0E, kPrelogin = 0x12, kSspiMessage = 0x11;
// Tokens.
constexpr uint8_t kColMetadata = 0x81, kRow = 0xD1, kNbcRow = 0xD2, kDone = 0xFD, kDoneProc = 0xFE,
                  kDoneInProc = 0xFF, kError = 0xAA, kInfo = 0xAB, kLoginAck = 0xAD, kEnvChange = 0xE3,
                  kReturnStatus = 0x79, kReturnValue = 0xAC, kSspi = 0xED;
// DONE status bits.
constexpr uint16_t kDoneMore = 0x1, kDoneError = 0x2, kDoneCount = 0x10, kDoneAttn = 0x20;
// Data types.
constexpr uint8_t tNull = 0x1F, tInt1 = 0x30, tBit = 0x32, tInt2 = 0x34, tInt4 = 0x38, tInt8 = 0x7F,
                  tFlt4 = 0x3B, tFlt8 = 0x3E, tDateTime = 0x3D, tDateTim4 = 0x3A, tMoney = 0x3C,
                  tMoney4 = 0x7A, tIntN = 0x26, tBitN = 0x68, tFltN = 0x6D, tDateTimN = 0x6F,
                  tMoneyN = 0x6E, tGuid = 0x24, tDecimalN = 0x6A, tNumericN = 0x6C, tDate = 0x28,
                  tTime = 0x29, tDateTime2 = 0x2A, tDateTimeOffset = 0x2B, tBigVarBin = 0xA5,
                  tBigBinary = 0xAD, tBigVarChr = 0xA7, tBigChar = 0xAF, tNVarChar = 0xE7, tNChar = 0xEF,
                  tText = 0x23, tNText = 0x63, tImage = 0x22;

// Chinese_Taiwan_Stroke_CI_AS: LCID 0x0404 (code page 950), case-, kana- and
// width-insensitive, sort id 0.
const QByteArray kCollation = QByteArray::fromHex("0404d00000");

// 16.0.1000: what LOGINACK reports as the server's version.
constexpr uint8_t kVersion[4] = {16, 0, 0x03, 0xE8};

QByteArray convert(const QByteArray &in, const char *to, const char *from)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == iconv_t(-1))
        return in;
    QByteArray out(in.size() * 4 + 8, '\0');
    char *src = const_cast<char *>(in.constData());
    size_t srcLeft = size_t(in.size());
    char *dst = out.data();
    size_t dstLeft = size_t(out.size());
    iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    iconv_close(cd);
    out.resize(out.size() - qsizetype(dstLeft));
    return out;
}

QByteArray toBig5(const QString &s) { return convert(s.toUtf8(), "CP950", "UTF-8"); }
QString fromBig5(const QByteArray &b) { return QString::fromUtf8(convert(b, "UTF-8", "CP950")); }

QString fromUcs2(const char *p, qsizetype bytes)
{
    QString s;
    s.reserve(bytes / 2);
    for (qsizetype i = 0; i + 1 < bytes; i += 2)
        s.append(QChar(char16_t(uint8_t(p[i]) | (uint8_t(p[i + 1]) << 8))));
    return s;
}

// ---- writing ------------------------------------------------------------------------

struct Out {
    QByteArray b;
    void u8(unsigned v) { b.append(char(v & 0xFF)); }
    void u16(unsigned v) { u8(v); u8(v >> 8); }
    void u32(uint32_t v) { u16(v & 0xFFFF); u16(v >> 16); }
    void u64(uint64_t v) { u32(uint32_t(v)); u32(uint32_t(v >> 32)); }
    void raw(const QByteArray &d) { b.append(d); }
    void ucs2(const QString &s)
    {
        for (QChar c : s)
            u16(c.unicode());
    }
    void bvarchar(const QString &s) { u8(unsigned(s.size())); ucs2(s); }
    void usvarchar(const QString &s) { u16(unsigned(s.size())); ucs2(s); }
};

int decimalBytes(int precision)
{
    return precision <= 9 ? 4 : precision <= 19 ? 8 : precision <= 28 ? 12 : 16;
}

void writeTypeInfo(Out &o, const Column &c)
{
    switch (c.type) {
    case ColumnType::Int: o.u8(tIntN); o.u8(4); break;
    case ColumnType::BigInt: o.u8(tIntN); o.u8(8); break;
    case ColumnType::Bit: o.u8(tBitN); o.u8(1); break;
    case ColumnType::Float: o.u8(tFltN); o.u8(8); break;
    case ColumnType::DateTime: o.u8(tDateTimN); o.u8(8); break;
    case ColumnType::Decimal:
        o.u8(tDecimalN); o.u8(unsigned(1 + decimalBytes(c.precision))); o.u8(unsigned(c.precision));
        o.u8(unsigned(c.scale));
        break;
    case ColumnType::NVarChar: o.u8(tNVarChar); o.u16(unsigned(c.size * 2)); o.raw(kCollation); break;
    case ColumnType::VarChar: o.u8(tBigVarChr); o.u16(unsigned(c.size)); o.raw(kCollation); break;
    case ColumnType::VarBinary: o.u8(tBigVarBin); o.u16(unsigned(c.size)); break;
    case ColumnType::Money: o.u8(tMoneyN); o.u8(8); break;
    }
}

bool isNull(const QVariant &v) { return !v.isValid() || v.isNull(); }

// The decimal's magnitude scaled to an integer, and its sign.
unsigned __int128 scaledDecimal(const QVariant &v, int scale, bool &negative)
{
    QString t = v.typeId() == QMetaType::Double ? QString::number(v.toDouble(), 'f', scale) : v.toString().trimmed();
    negative = t.startsWith(QLatin1Char('-'));
    if (negative || t.startsWith(QLatin1Char('+')))
        t.remove(0, 1);
    QString whole = t.section(QLatin1Char('.'), 0, 0);
    QString frac = t.section(QLatin1Char('.'), 1, 1);
    frac = frac.left(scale).leftJustified(scale, QLatin1Char('0'));
    unsigned __int128 n = 0;
    for (QChar ch : whole + frac)
        if (ch.isDigit())
            n = n * 10 + unsigned(ch.digitValue());
    return n;
}

const QDate kBase1900(1900, 1, 1);

void writeValue(Out &o, const Column &c, const QVariant &v, bool nbc)
{
    const bool null = isNull(v);
    if (null && nbc)
        return;
    switch (c.type) {
    case ColumnType::Int:
        if (null) { o.u8(0); break; }
        o.u8(4); o.u32(uint32_t(int32_t(v.toLongLong())));
        break;
    case ColumnType::BigInt:
        if (null) { o.u8(0); break; }
        o.u8(8); o.u64(uint64_t(v.toLongLong()));
        break;
    case ColumnType::Bit:
        if (null) { o.u8(0); break; }
        o.u8(1); o.u8(v.toBool() ? 1 : 0);
        break;
    case ColumnType::Float: {
        if (null) { o.u8(0); break; }
        const double d = v.toDouble();
        uint64_t bits;
        std::memcpy(&bits, &d, sizeof bits);
        o.u8(8); o.u64(bits);
        break;
    }
    case ColumnType::DateTime: {
        if (null) { o.u8(0); break; }
        const QDateTime dt = v.toDateTime();
        const int days = int(kBase1900.daysTo(dt.date()));
        const qint64 ms = dt.time().msecsSinceStartOfDay();
        o.u8(8); o.u32(uint32_t(days)); o.u32(uint32_t((ms * 300 + 500) / 1000));
        break;
    }
    case ColumnType::Decimal: {
        if (null) { o.u8(0); break; }
        bool negative = false;
        unsigned __int128 n = scaledDecimal(v, c.scale, negative);
        const int bytes = decimalBytes(c.precision);
        o.u8(unsigned(1 + bytes)); o.u8(negative ? 0 : 1);
        for (int i = 0; i < bytes; ++i, n >>= 8)
            o.u8(unsigned(n & 0xFF));
        break;
    }
    case ColumnType::NVarChar: {
        if (null) { o.u16(0xFFFF); break; }
        const QString s = v.toString();
        o.u16(unsigned(s.size() * 2)); o.ucs2(s);
        break;
    }
    case ColumnType::VarChar: {
        if (null) { o.u16(0xFFFF); break; }
        const QByteArray b = toBig5(v.toString());
        o.u16(unsigned(b.size())); o.raw(b);
        break;
    }
    case ColumnType::VarBinary: {
        if (null) { o.u16(0xFFFF); break; }
        const QByteArray b = v.toByteArray();
        o.u16(unsigned(b.size())); o.raw(b);
        break;
    }
    case ColumnType::Money: { // ten-thousandths, high 32 bits first
        if (null) { o.u8(0); break; }
        bool negative = false;
        const uint64_t magnitude = uint64_t(scaledDecimal(v, 4, negative));
        const uint64_t n = negative ? 0 - magnitude : magnitude;
        o.u8(8); o.u32(uint32_t(n >> 32)); o.u32(uint32_t(n & 0xFFFFFFFFu));
        break;
    }
    }
}

void writeResultSet(Out &o, const ResultSet &rs)
{
    o.u8(kColMetadata);
    o.u16(unsigned(rs.columns.size()));
    for (const Column &c : rs.columns) {
        o.u32(0); // user type
        o.u16((c.nullable ? 0x01 : 0) | (c.writable ? 0x08 : 0) | (c.identity ? 0x10 : 0));
        writeTypeInfo(o, c);
        o.bvarchar(c.name);
    }
    for (const QVariantList &row : rs.rows) {
        bool anyNull = false;
        for (int i = 0; i < rs.columns.size(); ++i)
            anyNull = anyNull || isNull(row.value(i));
        if (anyNull) {
            o.u8(kNbcRow);
            QByteArray bitmap((rs.columns.size() + 7) / 8, '\0');
            for (int i = 0; i < rs.columns.size(); ++i)
                if (isNull(row.value(i)))
                    bitmap[i / 8] = char(bitmap[i / 8] | (1 << (i % 8)));
            o.raw(bitmap);
        } else {
            o.u8(kRow);
        }
        for (int i = 0; i < rs.columns.size(); ++i)
            writeValue(o, rs.columns[i], row.value(i), anyNull);
    }
}

void writeDone(Out &o, uint8_t token, uint16_t status, uint16_t command, uint64_t count)
{
    o.u8(token); o.u16(status); o.u16(command); o.u64(count);
}

void writeMessage(Out &o, uint8_t token, int number, int state, int severity, const QString &text)
{
    Out body;
    body.u32(uint32_t(number));
    body.u8(unsigned(state));
    body.u8(unsigned(severity));
    body.usvarchar(text);
    body.bvarchar(QStringLiteral("TDSPEER"));
    body.bvarchar(QString());
    body.u32(1);
    o.u8(token); o.u16(unsigned(body.b.size())); o.raw(body.b);
}

void writeEnvText(Out &o, int type, const QString &newValue, const QString &oldValue)
{
    Out body;
    body.u8(unsigned(type)); body.bvarchar(newValue); body.bvarchar(oldValue);
    o.u8(kEnvChange); o.u16(unsigned(body.b.size())); o.raw(body.b);
}

void writeEnvBytes(Out &o, int type, const QByteArray &newValue, const QByteArray &oldValue)
{
    Out body;
    body.u8(unsigned(type));
    body.u8(unsigned(newValue.size())); body.raw(newValue);
    body.u8(unsigned(oldValue.size())); body.raw(oldValue);
    o.u8(kEnvChange); o.u16(unsigned(body.b.size())); o.raw(body.b);
}

// ---- reading ------------------------------------------------------------------------

struct In {
    const QByteArray &b;
    qsizetype pos = 0;
    explicit In(const QByteArray &data) : b(data) {}
    void need(qsizetype n) const
    {
        if (pos + n > b.size())
            throw std::runtime_error("request shorter than its layout");
    }
    bool atEnd() const { return pos >= b.size(); }
    unsigned u8() { need(1); return uint8_t(b[pos++]); }
    unsigned u16() { unsigned v = u8(); return v | (u8() << 8); }
    uint32_t u32() { uint32_t v = u16(); return v | (uint32_t(u16()) << 16); }
    uint64_t u64() { uint64_t v = u32(); return v | (uint64_t(u32()) << 32); }
    QByteArray bytes(qsizetype n) { need(n); QByteArray r = b.mid(pos, n); pos += n; return r; }
    QString ucs2(qsizetype chars) { need(chars * 2); QString s = fromUcs2(b.constData() + pos, chars * 2); pos += chars * 2; return s; }
    QString bvarchar() { return ucs2(u8()); }
};

QString decimalText(unsigned __int128 n, int scale, bool negative)
{
    QString digits;
    do {
        digits.prepend(QChar(u'0' + int(n % 10)));
        n /= 10;
    } while (n);
    if (scale > 0) {
        digits = digits.rightJustified(scale + 1, QLatin1Char('0'));
        digits.insert(digits.size() - scale, QLatin1Char('.'));
    }
    return negative ? QLatin1Char('-') + digits : digits;
}

struct TypeInfo {
    unsigned type = 0;
    unsigned maxLength = 0;
    int precision = 0, scale = 0;
    QByteArray collation;
};

TypeInfo readTypeInfo(In &in)
{
    TypeInfo t;
    t.type = in.u8();
    switch (t.type) {
    case tNull: case tInt1: case tBit: case tInt2: case tInt4: case tInt8: case tFlt4: case tFlt8:
    case tDateTime: case tDateTim4: case tMoney: case tMoney4: case tDate:
        break;
    case tIntN: case tBitN: case tFltN: case tDateTimN: case tMoneyN: case tGuid:
        t.maxLength = in.u8();
        break;
    case tDecimalN: case tNumericN:
        t.maxLength = in.u8(); t.precision = int(in.u8()); t.scale = int(in.u8());
        break;
    case tTime: case tDateTime2: case tDateTimeOffset:
        t.scale = int(in.u8());
        break;
    case tBigVarBin: case tBigBinary:
        t.maxLength = in.u16();
        break;
    case tBigVarChr: case tBigChar: case tNVarChar: case tNChar:
        t.maxLength = in.u16(); t.collation = in.bytes(5);
        break;
    case tText: case tNText:
        t.maxLength = in.u32(); t.collation = in.bytes(5);
        break;
    case tImage:
        t.maxLength = in.u32();
        break;
    default:
        throw std::runtime_error("parameter of an unsupported type 0x" + QByteArray::number(t.type, 16).toStdString());
    }
    return t;
}

QString textOf(const TypeInfo &t, const QByteArray &data)
{
    if (t.type == tNVarChar || t.type == tNChar || t.type == tNText)
        return fromUcs2(data.constData(), data.size());
    const unsigned lcid = t.collation.size() >= 2 ? (uint8_t(t.collation[0]) | (uint8_t(t.collation[1]) << 8)) : 0;
    return lcid == 0x0404 ? fromBig5(data) : QString::fromLatin1(data);
}

QDateTime timeOfDay(QDate date, uint64_t units, int scale)
{
    uint64_t perSecond = 1;
    for (int i = 0; i < scale; ++i)
        perSecond *= 10;
    const qint64 ms = qint64(units * 1000 / perSecond);
    return QDateTime(date, QTime(0, 0).addMSecs(int(ms)));
}

QVariant readValue(In &in, const TypeInfo &t)
{
    auto fixed = [&](unsigned type, unsigned len) -> QVariant {
        switch (type) {
        case tInt1: case tBit: case tBitN: case tInt2: case tInt4: case tInt8: case tIntN: {
            if (len == 1) { unsigned v = in.u8(); return type == tBit || type == tBitN ? QVariant(v != 0) : QVariant(qlonglong(v)); }
            if (len == 2) return qlonglong(int16_t(in.u16()));
            if (len == 4) return qlonglong(int32_t(in.u32()));
            return qlonglong(int64_t(in.u64()));
        }
        case tFlt4: case tFlt8: case tFltN: {
            if (len == 4) { uint32_t bits = in.u32(); float f; std::memcpy(&f, &bits, 4); return double(f); }
            uint64_t bits = in.u64(); double d; std::memcpy(&d, &bits, 8); return d;
        }
        case tDateTime: case tDateTim4: case tDateTimN: {
            if (len == 4) { unsigned days = in.u16(); unsigned minutes = in.u16();
                return QDateTime(kBase1900.addDays(days), QTime(0, 0).addSecs(int(minutes) * 60)); }
            const int days = int32_t(in.u32()); const uint32_t ticks = in.u32();
            return QDateTime(kBase1900.addDays(days), QTime(0, 0).addMSecs(int((uint64_t(ticks) * 1000 + 150) / 300)));
        }
        case tMoney: case tMoney4: case tMoneyN: {
            int64_t v;
            if (len == 4) v = int32_t(in.u32());
            else { uint64_t hi = in.u32(); uint64_t lo = in.u32(); v = int64_t((hi << 32) | lo); }
            const bool neg = v < 0;
            return decimalText(neg ? u128(-v) : u128(v), 4, neg);
        }
        case tGuid: return in.bytes(16).toHex();
        default: break;
        }
        throw std::runtime_error("unexpected fixed type");
    };
    switch (t.type) {
    case tNull: return QVariant();
    case tInt1: case tBit: return fixed(t.type, 1);
    case tInt2: return fixed(t.type, 2);
    case tInt4: case tFlt4: case tDateTim4: case tMoney4: return fixed(t.type, 4);
    case tInt8: case tFlt8: case tDateTime: case tMoney: return fixed(t.type, 8);
    case tIntN: case tBitN: case tFltN: case tDateTimN: case tMoneyN: case tGuid: {
        const unsigned len = in.u8();
        return len == 0 ? QVariant() : fixed(t.type, len);
    }
    case tDecimalN: case tNumericN: {
        const unsigned len = in.u8();
        if (len == 0) return QVariant();
        const bool positive = in.u8() == 1;
        unsigned __int128 n = 0;
        const QByteArray mag = in.bytes(len - 1);
        for (qsizetype i = mag.size() - 1; i >= 0; --i)
            n = (n << 8) | uint8_t(mag[i]);
        return decimalText(n, t.scale, !positive);
    }
    case tDate: {
        const unsigned len = in.u8();
        if (len == 0) return QVariant();
        const uint32_t days = in.u8() | (in.u8() << 8) | (in.u8() << 16);
        return QDate(1, 1, 1).addDays(days);
    }
    case tTime: case tDateTime2: case tDateTimeOffset: {
        const unsigned len = in.u8();
        if (len == 0) return QVariant();
        const unsigned timeLen = t.scale <= 2 ? 3 : t.scale <= 4 ? 4 : 5;
        uint64_t units = 0;
        for (unsigned i = 0; i < timeLen; ++i)
            units |= uint64_t(in.u8()) << (8 * i);
        QDate date(1900, 1, 1);
        if (t.type != tTime) {
            const uint32_t days = in.u8() | (in.u8() << 8) | (in.u8() << 16);
            date = QDate(1, 1, 1).addDays(days);
        }
        if (t.type == tDateTimeOffset)
            in.u16();
        const QDateTime dt = timeOfDay(date, units, t.scale);
        return t.type == tTime ? QVariant(dt.time()) : QVariant(dt);
    }
    case tBigVarBin: case tBigBinary: case tBigVarChr: case tBigChar: case tNVarChar: case tNChar: {
        QByteArray data;
        if (t.maxLength == 0xFFFF) { // PLP
            const uint64_t total = in.u64();
            if (total == ~uint64_t(0)) return QVariant();
            for (;;) {
                const uint32_t chunk = in.u32();
                if (chunk == 0) break;
                data += in.bytes(chunk);
            }
        } else {
            const unsigned len = in.u16();
            if (len == 0xFFFF) return QVariant();
            data = in.bytes(len);
        }
        if (t.type == tBigVarBin || t.type == tBigBinary) return data;
        return textOf(t, data);
    }
    case tText: case tNText: case tImage: {
        const uint32_t len = in.u32();
        if (len == 0xFFFFFFFF) return QVariant();
        const QByteArray data = in.bytes(len);
        return t.type == tImage ? QVariant(data) : QVariant(textOf(t, data));
    }
    }
    throw std::runtime_error("unexpected type");
}

void skipAllHeaders(In &in)
{
    const uint32_t total = in.u32();
    in.pos += qsizetype(total) - 4;
}

} // namespace

// ---- Reply / Request ----------------------------------------------------------------

Reply Reply::rows(const QList<Column> &columns, const QList<QVariantList> &rows)
{
    Reply r;
    r.resultSets.append(ResultSet{columns, rows});
    return r;
}

Reply Reply::count(long long n)
{
    Reply r;
    r.rowCount = n;
    return r;
}

Reply Reply::done() { return Reply(); }

Reply Reply::error(int number, int severity, int state, const QString &message)
{
    Reply r;
    r.isError = true;
    r.number = number;
    r.severity = severity;
    r.state = state;
    r.message = message;
    return r;
}

Reply Reply::rowsThenHang(const QList<Column> &columns, const QList<QVariantList> &rows)
{
    Reply r = Reply::rows(columns, rows);
    r.waitForAttention = true;
    return r;
}

Reply Reply::hang()
{
    Reply r;
    r.waitForAttention = true;
    return r;
}

namespace {

// Index just past the text closed by `close` from `from` on, a doubled `close` standing
// for itself; the unquoted text goes to *inner.
qsizetype skipQuoted(const QString &sql, qsizetype from, QChar close, QString *inner)
{
    for (qsizetype i = from; i < sql.size(); ++i) {
        if (sql.at(i) != close) {
            if (inner)
                *inner += sql.at(i);
        } else if (i + 1 < sql.size() && sql.at(i + 1) == close) {
            if (inner)
                *inner += close;
            ++i;
        } else {
            return i + 1;
        }
    }
    return sql.size();
}

bool isNationalPrefix(const QString &sql, qsizetype quote)
{
    if (quote < 1 || sql.at(quote - 1).toUpper() != QLatin1Char('N'))
        return false;
    return quote < 2 || !(sql.at(quote - 2).isLetterOrNumber() || sql.at(quote - 2) == QLatin1Char('_'));
}

} // namespace

QStringList literalsAsServerReads(const QString &sql)
{
    QStringList values;
    for (qsizetype i = 0; i < sql.size();) {
        const QChar ch = sql.at(i);
        if (ch == QLatin1Char('[')) {
            i = skipQuoted(sql, i + 1, QLatin1Char(']'), nullptr);
        } else if (ch == QLatin1Char('\'')) {
            QString value;
            const bool national = isNationalPrefix(sql, i);
            i = skipQuoted(sql, i + 1, QLatin1Char('\''), &value);
            values << (national ? value : platform::big5Decode(platform::big5Encode(value)));
        } else {
            ++i;
        }
    }
    return values;
}

QVariant Request::param(const QString &name) const
{
    const QString wanted = name.startsWith(QLatin1Char('@')) ? name : QLatin1Char('@') + name;
    for (int i = 0; i < paramNames.size(); ++i)
        if (paramNames[i].compare(wanted, Qt::CaseInsensitive) == 0)
            return params.value(i);
    return QStringLiteral("<no parameter %1>").arg(name);
}

QString Request::describe() const
{
    static const char *kinds[] = {"batch", "rpc", "transaction"};
    QStringList ps;
    for (int i = 0; i < params.size(); ++i)
        ps << paramNames.value(i) + QLatin1Char('=') +
                  (isNull(params[i])                                 ? QStringLiteral("NULL")
                   : params[i].typeId() == QMetaType::QByteArray ? QStringLiteral("0x") + QString::fromLatin1(params[i].toByteArray().toHex())
                                                                 : params[i].toString());
    return QStringLiteral("%1 %2%3 [%4] {%5}")
        .arg(QLatin1String(kinds[kind]), procedure.isEmpty() ? QString() : procedure + QLatin1Char(' '), text,
             ps.join(QLatin1String(", ")), parameterDecl);
}

// ---- one client connection ----------------------------------------------------------

class Session {
public:
    Session(TdsPeer &peer, int fd) : peer_(peer), fd_(fd) {}
    void run();

private:
    bool readMessage(uint8_t &type, QByteArray &payload, int waitMs = -1);
    void holdUntilClosed(); // a server that stalls: reads and drops whatever comes
    void send(const QByteArray &tokens, bool endOfMessage = true); // false: more of the message follows
    bool login();
    bool checkWindowsLogin(const QByteArray &negotiate, QString &user, bool &refused);
    bool checkKerberosLogin(QByteArray token, QString &user, bool &refused);
    void handleBatch(const QByteArray &payload);
    void handleRpc(const QByteArray &payload);
    void handleTransaction(const QByteArray &payload);
    void answer(const Request &request, bool rpc, const Out &returnValues = Out());
    void record(Request r)
    {
        r.database = database_;
        std::lock_guard g(peer_.mutex_);
        peer_.received_.append(r);
    }

    TdsPeer &peer_;
    int fd_;
    int packetSize_ = 4096;
    QString database_;
    std::map<int, std::pair<QString, QString>> prepared_; // handle -> statement, declaration
    int nextHandle_ = 1;
    QByteArray transaction_;
    uint64_t nextTransaction_ = 1;
    std::unique_ptr<TlsChannel> tls_; // after the TLS handshake, every byte goes through it
    QByteArray finalSspi_;            // Kerberos: the last reply token, sent with LOGINACK
    bool kerberosRefused_ = false;    // the token could not be accepted with the service keys
};

// PRELOGIN's ENCRYPTION answer: a server without a certificate cannot encrypt (2,
// ENCRYPT_NOT_SUP); one with a certificate that requires encryption answers ENCRYPT_ON
// (1) to a client asking for it and ENCRYPT_REQ (3) to any other.
uint8_t encryptionAnswer(const QByteArray &prelogin, bool serverHasTls)
{
    if (!serverHasTls)
        return 2;
    for (qsizetype i = 0; i + 5 <= prelogin.size() && uint8_t(prelogin[i]) != 0xFF; i += 5) {
        const int offset = (uint8_t(prelogin[i + 1]) << 8) | uint8_t(prelogin[i + 2]);
        if (uint8_t(prelogin[i]) == 1 && offset < prelogin.size())
            return uint8_t(prelogin[offset]) == 1 ? 1 : 3;
    }
    return 3;
}

bool Session::readMessage(uint8_t &type, QByteArray &payload, int waitMs)
{
    payload.clear();
    for (;;) {
        if (waitMs >= 0 && !(tls_ && tls_->hasBuffered())) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, waitMs) <= 0)
                return false;
        }
        uint8_t header[8];
        auto readFull = [&](char *dst, size_t n) {
            size_t got = 0;
            while (got < n) {
                const ssize_t r = tls_ ? tls_->read(fd_, dst + got, n - got) : ::recv(fd_, dst + got, n - got, 0);
                if (r < 0 && errno == EINTR)
                    continue;
                if (r <= 0)
                    return false;
                got += size_t(r);
            }
            return true;
        };
        if (!readFull(reinterpret_cast<char *>(header), 8))
            return false;
        const size_t length = (size_t(header[2]) << 8) | header[3];
        if (length < 8)
            return false;
        QByteArray part(qsizetype(length - 8), '\0');
        if (!readFull(part.data(), length - 8))
            return false;
        type = header[0];
        payload += part;
        if (header[1] & 0x01)
            return true;
    }
}

void Session::holdUntilClosed()
{
    char buffer[512];
    while (!peer_.stopping_) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0)
            continue;
        const ssize_t r = ::recv(fd_, buffer, sizeof buffer, 0);
        if (r == 0 || (r < 0 && errno != EINTR))
            return;
    }
}

void Session::send(const QByteArray &tokens, bool endOfMessage)
{
    const qsizetype room = packetSize_ - 8;
    qsizetype offset = 0;
    uint8_t packetId = 1;
    do {
        const qsizetype n = std::min(room, tokens.size() - offset);
        const bool last = offset + n >= tokens.size();
        QByteArray packet;
        packet.append(char(kReply));
        packet.append(char(last && endOfMessage ? 1 : 0));
        packet.append(char((n + 8) >> 8));
        packet.append(char((n + 8) & 0xFF));
        packet.append(char(0));
        packet.append(char(54)); // spid
        packet.append(char(packetId++));
        packet.append(char(0));
        packet.append(tokens.mid(offset, n));
        const char *p = packet.constData();
        qsizetype left = packet.size();
        while (left > 0) {
            const ssize_t w = tls_ ? tls_->write(fd_, p, size_t(left)) : ::send(fd_, p, size_t(left), MSG_NOSIGNAL);
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0)
                return;
            p += w;
            left -= w;
        }
        offset += n;
    } while (offset < tokens.size());
}

bool Session::login()
{
    uint8_t type = 0;
    QByteArray payload;
    if (!readMessage(type, payload) || type != kPrelogin)
        return false;
    if (peer_.stallLogin_) {
        holdUntilClosed();
        return false;
    }
    std::shared_ptr<TlsServerContext> tls;
    {
        std::lock_guard g(peer_.mutex_);
        tls = peer_.tls_;
    }
    {
        // VERSION, ENCRYPTION (not supported), INSTOPT, THREADID, MARS.
        const uint8_t options[][2] = {{0, 6}, {1, 1}, {2, 1}, {3, 0}, {4, 1}};
        Out o;
        unsigned offset = 5 * 5 + 1;
        for (auto &opt : options) {
            o.u8(opt[0]);
            o.u8(offset >> 8); o.u8(offset & 0xFF);
            o.u8(0); o.u8(opt[1]);
            offset += opt[1];
        }
        o.u8(0xFF);
        o.u8(kVersion[0]); o.u8(kVersion[1]); o.u8(kVersion[2]); o.u8(kVersion[3]); o.u16(0);
        o.u8(encryptionAnswer(payload, tls != nullptr));
        o.u8(0);
        o.u8(0);
        send(o.b);
    }
    if (tls) {
        tls_ = std::make_unique<TlsChannel>(*tls);
        if (!tls_->handshake(fd_))
            return false;
    }
    if (!readMessage(type, payload) || type != kLogin7)
        return false;
    ++peer_.loginPackets_;
    if (tls_)
        ++peer_.encryptedLogins_;
    In in(payload);
    auto field = [&](int at, bool password = false) {
        In f(payload);
        f.pos = at;
        const unsigned offset = f.u16(), chars = f.u16();
        if (password) {
            QByteArray raw = payload.mid(offset, chars * 2);
            for (char &c : raw) {
                const uint8_t x = uint8_t(c) ^ 0xA5;
                c = char(uint8_t((x << 4) | (x >> 4)));
            }
            return fromUcs2(raw.constData(), raw.size());
        }
        return fromUcs2(payload.constData() + offset, qsizetype(chars) * 2);
    };
    in.pos = 8;
    const uint32_t requested = in.u32();
    if (requested >= 512 && requested <= 32767)
        packetSize_ = int(requested);
    QString user = field(40);
    const QString password = field(44, true);
    const QString database = field(68);
    in.pos = 78; // ibSSPI, cbSSPI: NTLM NEGOTIATE (Windows account) or Kerberos (integrated)
    const unsigned sspiOffset = in.u16(), sspiLength = in.u16();
    const QByteArray sspi = payload.mid(sspiOffset, sspiLength);
    bool refused = false, unknownDatabase = false;
    if (!sspi.isEmpty() && !(isNtlmNegotiate(sspi) ? checkWindowsLogin(sspi, user, refused)
                                                   : checkKerberosLogin(sspi, user, refused)))
        return false;
    {
        std::lock_guard g(peer_.mutex_);
        if (sspi.isEmpty())
            refused = peer_.checkPassword_ && (user.compare(peer_.user_, Qt::CaseInsensitive) != 0 || password != peer_.password_);
        database_ = database.isEmpty() ? peer_.database_ : database;
        unknownDatabase = !peer_.databases_.isEmpty() && !peer_.databases_.contains(database_, Qt::CaseInsensitive);
        if (refused)
            peer_.failedLogins_ << user;
    }
    Out o;
    if (!refused && unknownDatabase) {
        writeMessage(o, kError, 4060, 11, 1,
                     QStringLiteral("Cannot open database \"%1\" requested by the login. The login failed.").arg(database));
        refused = true;
    }
    if (refused && kerberosRefused_)
        writeMessage(o, kError, 18452, 1, 14,
                     QStringLiteral("Login failed. The login is from an untrusted domain and cannot be used with Integrated "
                                    "authentication."));
    else if (refused)
        writeMessage(o, kError, 18456, 1, 14, QStringLiteral("Login failed for user '%1'.").arg(user));
    if (refused) {
        writeDone(o, kDone, kDoneError, 0, 0);
        send(o.b);
        return false;
    }
    if (!finalSspi_.isEmpty()) {
        o.u8(kSspi); o.u16(unsigned(finalSspi_.size())); o.raw(finalSspi_);
    }
    writeEnvText(o, 1, database_, QStringLiteral("master"));
    writeMessage(o, kInfo, 5701, 2, 0, QStringLiteral("Changed database context to '%1'.").arg(database_));
    writeEnvBytes(o, 7, kCollation, QByteArray());
    writeEnvText(o, 2, QStringLiteral("us_english"), QString());
    writeMessage(o, kInfo, 5703, 1, 0, QStringLiteral("Changed language setting to us_english."));
    {
        Out ack;
        ack.u8(1);                                   // SQL_TSQL
        ack.u8(0x74); ack.u8(0x00); ack.u8(0x00); ack.u8(0x04); // TDS 7.4
        ack.bvarchar(QStringLiteral("Microsoft SQL Server"));
        for (uint8_t v : kVersion)
            ack.u8(v);
        o.u8(kLoginAck); o.u16(unsigned(ack.b.size())); o.raw(ack.b);
    }
    writeEnvText(o, 4, QString::number(packetSize_), QString::number(packetSize_));
    writeDone(o, kDone, 0, 0, 0);
    send(o.b);
    ++peer_.logins_;
    return true;
}

// NTLM inside TDS: the CHALLENGE goes out in an SSPI token, the AUTHENTICATE message
// comes back in an SSPI packet; refused unless it is the Windows account's valid answer.
bool Session::checkWindowsLogin(const QByteArray &negotiate, QString &user, bool &refused)
{
    QString domain, account, password;
    {
        std::lock_guard g(peer_.mutex_);
        domain = peer_.windowsDomain_;
        account = peer_.windowsUser_;
        password = peer_.windowsPassword_;
    }
    refused = true;
    if (!isNtlmNegotiate(negotiate))
        return true;
    QByteArray challenge(8, '\0');
    for (char &c : challenge)
        c = char(QRandomGenerator::global()->bounded(256));
    const QByteArray message = ntlmChallenge(challenge, domain.isEmpty() ? QStringLiteral("PEER") : domain);
    Out o;
    o.u8(kSspi); o.u16(unsigned(message.size())); o.raw(message);
    send(o.b);
    uint8_t type = 0;
    QByteArray payload;
    if (!readMessage(type, payload) || type != kSspiMessage)
        return false;
    NtlmAuthenticate auth;
    if (!parseNtlmAuthenticate(payload, auth))
        return true;
    user = auth.domain + QLatin1Char('\\') + auth.user;
    refused = account.isEmpty() || auth.user.compare(account, Qt::CaseInsensitive) != 0 ||
              auth.domain.compare(domain, Qt::CaseInsensitive) != 0 || !ntlmV2ResponseValid(auth, password, challenge);
    if (!refused)
        ++peer_.windowsLogins_;
    return true;
}

// Kerberos: tokens go back and forth (SSPI token out, SSPI packet in) until the context
// is established; the last reply, the AP-REP, travels with the login's answer.
bool Session::checkKerberosLogin(QByteArray token, QString &user, bool &refused)
{
    QString keytab;
    {
        std::lock_guard g(peer_.mutex_);
        keytab = peer_.kerberosKeytab_;
    }
    refused = kerberosRefused_ = true;
    if (keytab.isEmpty())
        return true;
    KerberosAcceptor acceptor(keytab);
    QByteArray reply;
    for (;;) {
        const KerberosAcceptor::Step step = acceptor.accept(token, reply);
        if (step == KerberosAcceptor::Step::Failed)
            return true;
        if (step == KerberosAcceptor::Step::Done)
            break;
        Out o;
        o.u8(kSspi); o.u16(unsigned(reply.size())); o.raw(reply);
        send(o.b);
        uint8_t type = 0;
        if (!readMessage(type, token) || type != kSspiMessage)
            return false;
    }
    finalSspi_ = reply;
    user = acceptor.clientPrincipal();
    refused = kerberosRefused_ = false;
    std::lock_guard g(peer_.mutex_);
    peer_.kerberosLogins_ << user;
    return true;
}

void Session::run()
{
    if (!login())
        return;
    uint8_t type = 0;
    QByteArray payload;
    while (!peer_.stopping_ && readMessage(type, payload)) {
        try {
            switch (type) {
            case kSqlBatch: handleBatch(payload); break;
            case kRpc: handleRpc(payload); break;
            case kTransaction: handleTransaction(payload); break;
            case kAttention: {
                ++peer_.attentions_;
                Out o;
                writeDone(o, kDone, kDoneAttn, 0, 0);
                send(o.b);
                break;
            }
            default: {
                Out o;
                writeMessage(o, kError, 50000, 1, 16, QStringLiteral("TdsPeer: unsupported packet type %1").arg(type));
                writeDone(o, kDone, kDoneError, 0, 0);
                send(o.b);
            }
            }
        } catch (const std::exception &e) {
            Out o;
            writeMessage(o, kError, 50000, 1, 16, QStringLiteral("TdsPeer: %1").arg(QString::fromUtf8(e.what())));
            writeDone(o, kDone, kDoneError, 0, 0);
            send(o.b);
        }
    }
}

void Session::handleBatch(const QByteArray &payload)
{
    In in(payload);
    skipAllHeaders(in);
    Request r;
    r.kind = Request::Batch;
    r.text = fromUcs2(payload.constData() + in.pos, payload.size() - in.pos);
    record(r);
    answer(r, false);
}

void Session::handleRpc(const QByteArray &payload)
{
    static const char *const procs[] = {nullptr, "sp_cursor", "sp_cursoropen", "sp_cursorprepare",
                                        "sp_cursorexecute", "sp_cursorprepexec", "sp_cursorunprepare",
                                        "sp_cursorfetch", "sp_cursoroption", "sp_cursorclose",
                                        "sp_executesql", "sp_prepare", "sp_execute", "sp_prepexec",
                                        "sp_prepexecrpc", "sp_unprepare"};
    In in(payload);
    skipAllHeaders(in);
    Request r;
    r.kind = Request::Rpc;
    const unsigned nameLength = in.u16();
    if (nameLength == 0xFFFF) {
        const unsigned id = in.u16();
        r.procedure = id < 16 && procs[id] ? QString::fromLatin1(procs[id]) : QStringLiteral("proc#%1").arg(id);
    } else {
        r.procedure = in.ucs2(nameLength);
    }
    in.u16(); // option flags
    QStringList names;
    QVariantList values;
    QList<TypeInfo> types;
    while (!in.atEnd()) {
        const unsigned next = uint8_t(payload[in.pos]);
        if (next == 0x80 || next == 0xFF)
            break; // a further RPC in the same request: not used by the client
        names << in.bvarchar();
        in.u8(); // status flags
        const TypeInfo t = readTypeInfo(in);
        types << t;
        values << readValue(in, t);
    }
    const QString proc = r.procedure.toLower();
    Out returnValues;
    auto handleValue = [&](int handle) {
        // RETURNVALUE for the statement handle (an int output parameter).
        returnValues.u8(kReturnValue);
        returnValues.u16(0);
        returnValues.bvarchar(names.value(0));
        returnValues.u8(1);
        returnValues.u32(0);
        returnValues.u16(0);
        returnValues.u8(tIntN); returnValues.u8(4);
        returnValues.u8(4); returnValues.u32(uint32_t(handle));
    };
    int skip = 0;
    if (proc == QLatin1String("sp_executesql")) {
        r.text = values.value(0).toString();
        r.parameterDecl = values.value(1).toString();
        skip = 2;
    } else if (proc == QLatin1String("sp_prepexec") || proc == QLatin1String("sp_prepare")) {
        r.text = values.value(2).toString();
        r.parameterDecl = values.value(1).toString();
        const int handle = nextHandle_++;
        prepared_[handle] = {r.text, r.parameterDecl};
        handleValue(handle);
        skip = 3;
        if (proc == QLatin1String("sp_prepare")) {
            r.params = values.mid(3);
            r.paramNames = names.mid(3);
            record(r);
            Out o;
            o.u8(kReturnStatus); o.u32(0);
            o.raw(returnValues.b);
            writeDone(o, kDoneProc, 0, 0, 0);
            send(o.b);
            return;
        }
    } else if (proc == QLatin1String("sp_execute")) {
        const auto it = prepared_.find(int(values.value(0).toLongLong()));
        r.text = it == prepared_.end() ? QStringLiteral("<unknown handle>") : it->second.first;
        r.parameterDecl = it == prepared_.end() ? QString() : it->second.second;
        skip = 1;
    } else if (proc == QLatin1String("sp_unprepare")) {
        prepared_.erase(int(values.value(0).toLongLong()));
        r.params = values;
        r.paramNames = names;
        record(r);
        Out o;
        o.u8(kReturnStatus); o.u32(0);
        writeDone(o, kDoneProc, 0, 0, 0);
        send(o.b);
        return;
    } else {
        r.text = r.procedure;
    }
    r.params = values.mid(skip);
    r.paramNames = names.mid(skip);
    record(r);
    answer(r, true, returnValues);
}

void Session::handleTransaction(const QByteArray &payload)
{
    In in(payload);
    skipAllHeaders(in);
    const unsigned requestType = in.u16();
    Request r;
    r.kind = Request::Transaction;
    Out o;
    auto begin = [&] {
        Out d;
        d.u64(nextTransaction_++);
        transaction_ = d.b;
        writeEnvBytes(o, 8, transaction_, QByteArray());
    };
    switch (requestType) {
    case 5:
        r.text = QStringLiteral("BEGIN TRANSACTION");
        begin();
        break;
    case 7: case 8: {
        r.text = requestType == 7 ? QStringLiteral("COMMIT") : QStringLiteral("ROLLBACK");
        in.bvarchar();
        const unsigned flags = in.atEnd() ? 0 : in.u8();
        writeEnvBytes(o, requestType == 7 ? 9 : 10, QByteArray(), transaction_);
        transaction_.clear();
        if (flags & 1) {
            r.text += QStringLiteral(" AND BEGIN");
            begin();
        }
        break;
    }
    default:
        r.text = QStringLiteral("transaction request %1").arg(requestType);
        writeMessage(o, kError, 50000, 1, 16, QStringLiteral("TdsPeer: unsupported ") + r.text);
        record(r);
        writeDone(o, kDone, kDoneError, 0, 0);
        send(o.b);
        return;
    }
    record(r);
    bool stall = false;
    {
        std::lock_guard g(peer_.mutex_);
        stall = !peer_.stalledTransaction_.isEmpty() && r.text.startsWith(peer_.stalledTransaction_);
    }
    if (stall) {
        holdUntilClosed();
        ::shutdown(fd_, SHUT_RDWR);
        return;
    }
    writeDone(o, kDone, 0, 0, 0);
    send(o.b);
}

void Session::answer(const Request &request, bool rpc, const Out &returnValues)
{
    const Reply reply = peer_.answerFor(request);
    Out o;
    if (reply.waitForAttention) {
        // Rows the server produced before it stalled: sent, but the message goes on.
        for (const ResultSet &rs : reply.resultSets)
            writeResultSet(o, rs);
        if (!o.b.isEmpty()) {
            send(o.b, false);
            o = Out();
        }
        uint8_t type = 0;
        QByteArray payload;
        // The client's timeout fires long before this; give up rather than hang a test.
        if (readMessage(type, payload, 60000) && type == kAttention) {
            ++peer_.attentions_;
            writeDone(o, kDone, kDoneAttn, 0, 0);
        } else {
            writeMessage(o, kError, 50000, 1, 16, QStringLiteral("TdsPeer: no attention arrived"));
            writeDone(o, kDone, kDoneError, 0, 0);
        }
        send(o.b);
        return;
    }
    const uint8_t inner = rpc ? kDoneInProc : kDone;
    if (reply.isError) {
        // A batch whose "USE" went through before a later statement failed.
        if (!reply.newDatabase.isEmpty()) {
            const QString old = database_;
            database_ = reply.newDatabase;
            writeEnvText(o, 1, database_, old);
        }
        writeMessage(o, kError, reply.number, reply.state, reply.severity, reply.message);
        if (rpc) {
            writeDone(o, kDoneInProc, kDoneMore | kDoneError, 0, 0);
            o.u8(kReturnStatus); o.u32(0);
            o.raw(returnValues.b);
            writeDone(o, kDoneProc, kDoneError, 0, 0);
        } else {
            writeDone(o, kDone, kDoneError, 0, 0);
        }
        send(o.b);
        return;
    }
    struct Pending { bool counted; uint64_t count; };
    std::vector<Pending> dones;
    for (const ResultSet &rs : reply.resultSets) {
        writeResultSet(o, rs);
        const bool last = !rpc && &rs == &reply.resultSets.back() && reply.rowCount < 0 && reply.newDatabase.isEmpty();
        writeDone(o, inner, uint16_t(kDoneCount | (last ? 0 : kDoneMore)), 0xC1, uint64_t(rs.rows.size()));
    }
    if (!reply.newDatabase.isEmpty()) {
        const QString old = database_;
        database_ = reply.newDatabase;
        writeEnvText(o, 1, database_, old);
        writeMessage(o, kInfo, 5701, 1, 0, QStringLiteral("Changed database context to '%1'.").arg(database_));
    }
    if (reply.rowCount >= 0)
        writeDone(o, inner, uint16_t(kDoneCount | (rpc ? kDoneMore : 0)), 0xC5, uint64_t(reply.rowCount));
    else if (!rpc && (reply.resultSets.isEmpty() || !reply.newDatabase.isEmpty()))
        writeDone(o, kDone, 0, 0, 0);
    if (rpc) {
        o.u8(kReturnStatus); o.u32(0);
        o.raw(returnValues.b);
        writeDone(o, kDoneProc, 0, 0, 0);
    }
    send(o.b);
}

// ---- the peer -----------------------------------------------------------------------

TdsPeer::TdsPeer() { addBuiltInRules(); }

TdsPeer::~TdsPeer() { stop(); }

void TdsPeer::addBuiltInRules()
{
    // "USE name" changes the session's database, as the server reports it.
    static const QRegularExpression use(QStringLiteral("^\\s*use\\s+(?:\\[((?:[^\\]]|\\]\\])+)\\]|([^\\s;]+))\\s*;?\\s*$"),
                                        QRegularExpression::CaseInsensitiveOption);
    onQuery(use, [](const Request &r) {
        const auto m = use.match(r.text);
        Reply reply;
        reply.newDatabase = m.capturedLength(1) ? m.captured(1).replace(QLatin1String("]]"), QLatin1String("]"))
                                                : m.captured(2);
        return reply;
    });
    onQuery(QRegularExpression(QStringLiteral("^\\s*select\\s+schema_name\\(\\)\\s*$"),
                               QRegularExpression::CaseInsensitiveOption),
            [this](const Request &) {
                std::lock_guard g(mutex_);
                return Reply::rows({Column{QString(), ColumnType::NVarChar, 128}}, {{schema_}});
            });
}

bool TdsPeer::start(const QString &address, int port)
{
    address_ = address;
    listenFd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    if (listenFd_ < 0)
        return false;
    const int on = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(uint16_t(port));
    inet_pton(AF_INET, address_.toLatin1().constData(), &addr.sin_addr);
    socklen_t len = sizeof addr;
    if (::bind(listenFd_, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 || ::listen(listenFd_, 8) != 0 ||
        ::getsockname(listenFd_, reinterpret_cast<sockaddr *>(&addr), &len) != 0) {
        ::close(listenFd_);
        listenFd_ = -1;
        return false;
    }
    port_ = ntohs(addr.sin_port);
    stopping_ = false;
    acceptThread_ = std::thread([this] { acceptLoop(); });
    return true;
}

void TdsPeer::acceptLoop()
{
    while (!stopping_) {
        const int fd = ::accept(listenFd_, nullptr, nullptr);
        if (fd < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        std::lock_guard g(mutex_);
        if (stopping_) {
            ::close(fd);
            return;
        }
        sessionFds_.push_back(fd);
        sessions_.emplace_back([this, fd] {
            Session(*this, fd).run();
            ::shutdown(fd, SHUT_RDWR);
        });
    }
}

void TdsPeer::stop()
{
    if (listenFd_ < 0)
        return;
    stopping_ = true;
    ::shutdown(listenFd_, SHUT_RDWR);
    if (acceptThread_.joinable())
        acceptThread_.join();
    ::close(listenFd_);
    listenFd_ = -1;
    std::vector<std::thread> threads;
    {
        std::lock_guard g(mutex_);
        for (int fd : sessionFds_)
            ::shutdown(fd, SHUT_RDWR);
        threads.swap(sessions_);
    }
    for (auto &t : threads)
        t.join();
    std::lock_guard g(mutex_);
    for (int fd : sessionFds_)
        ::close(fd);
    sessionFds_.clear();
}

bool TdsPeer::enableTls()
{
    auto context = std::make_shared<TlsServerContext>(QStringLiteral("SQLPEER"));
    if (!context->valid())
        return false;
    std::lock_guard g(mutex_);
    tls_ = context;
    return true;
}

void TdsPeer::setWindowsAccount(const QString &domain, const QString &user, const QString &password)
{
    std::lock_guard g(mutex_);
    windowsDomain_ = domain;
    windowsUser_ = user;
    windowsPassword_ = password;
}

void TdsPeer::dropConnections()
{
    std::lock_guard g(mutex_);
    for (int fd : sessionFds_)
        ::shutdown(fd, SHUT_RDWR);
}

void TdsPeer::setPassword(const QString &user, const QString &password)
{
    std::lock_guard g(mutex_);
    user_ = user;
    password_ = password;
    checkPassword_ = true;
}

QString TdsPeer::connectionString(const QString &database, const QString &user, const QString &password) const
{
    return QStringLiteral("Provider=SQLOLEDB.1;Data Source=%1,%2;Initial Catalog=%3;User ID=%4;Password=%5")
        .arg(address_)
        .arg(port_)
        .arg(database, user, password);
}

void TdsPeer::onQuery(const QString &exactText, const Reply &reply)
{
    const QString wanted = exactText.trimmed();
    std::lock_guard g(mutex_);
    rules_.push_back({[wanted](const Request &r) { return r.text.trimmed() == wanted; },
                      [reply](const Request &) { return reply; }});
}

void TdsPeer::onQuery(const QRegularExpression &pattern, const Reply &reply)
{
    onQuery(pattern, [reply](const Request &) { return reply; });
}

void TdsPeer::onQuery(const QRegularExpression &pattern, std::function<Reply(const Request &)> answer)
{
    std::lock_guard g(mutex_);
    rules_.push_back({[pattern](const Request &r) { return pattern.match(r.text).hasMatch(); }, std::move(answer)});
}

void TdsPeer::onProcedure(const QString &name, const Reply &reply)
{
    std::lock_guard g(mutex_);
    rules_.push_back({[name](const Request &r) {
                          // "[Sales]..sp_columns" runs sp_columns in another database.
                          return r.kind == Request::Rpc &&
                                 (r.procedure.compare(name, Qt::CaseInsensitive) == 0 ||
                                  r.procedure.endsWith(QLatin1Char('.') + name, Qt::CaseInsensitive));
                      },
                      [reply](const Request &) { return reply; }});
}

void TdsPeer::clearScript()
{
    {
        std::lock_guard g(mutex_);
        rules_.clear();
    }
    addBuiltInRules();
}

Reply TdsPeer::answerFor(const Request &request)
{
    std::function<Reply(const Request &)> answer;
    {
        std::lock_guard g(mutex_);
        for (auto it = rules_.rbegin(); it != rules_.rend(); ++it)
            if (it->matches(request)) {
                answer = it->answer;
                break;
            }
    }
    if (!answer)
        return Reply::error(50000, 16, 1, QStringLiteral("TdsPeer has no answer for %1").arg(request.describe()));
    return answer(request);
}

QList<Request> TdsPeer::received() const
{
    std::lock_guard g(mutex_);
    return received_;
}

QList<Request> TdsPeer::receivedStatements() const
{
    QList<Request> out;
    for (const Request &r : received())
        if (!(r.kind == Request::Rpc && r.procedure == QLatin1String("sp_unprepare")))
            out << r;
    return out;
}

void TdsPeer::clearReceived()
{
    std::lock_guard g(mutex_);
    received_.clear();
}

QStringList TdsPeer::failedLogins() const
{
    std::lock_guard g(mutex_);
    return failedLogins_;
}

} // namespace tds
