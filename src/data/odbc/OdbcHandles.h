#pragma once
// Small helpers over the ODBC C interface: owning handles, UTF-16 text both ways and the
// collection of diagnostic records into a DatabaseError.
#include "data/core/DatabaseError.h"
#include <QString>
#include <QStringList>
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>
#include <string>

namespace data::odbc {

static_assert(sizeof(SQLWCHAR) == 2, "unixODBC must use 2-byte SQLWCHAR (UTF-16)");

inline bool succeeded(SQLRETURN rc)
{
    return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO;
}

// Argument text for the W functions. The pointer lives as long as the QString.
inline SQLWCHAR *wide(const QString &s)
{
    return reinterpret_cast<SQLWCHAR *>(const_cast<char16_t *>(reinterpret_cast<const char16_t *>(s.utf16())));
}

inline QString fromWide(const SQLWCHAR *s, qsizetype chars)
{
    return QString::fromUtf16(reinterpret_cast<const char16_t *>(s), chars);
}

inline QString fromWide(const SQLWCHAR *s)
{
    qsizetype n = 0;
    while (s[n])
        ++n;
    return fromWide(s, n);
}

// Appends UTF-16 text as UTF-8 (unpaired surrogates become U+FFFD).
inline void appendUtf8(std::string &out, const char16_t *s, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        char32_t c = s[i];
        if (c < 0x80) {
            out.push_back(char(c));
            continue;
        }
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (char32_t(s[i + 1]) - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x800) {
            out.push_back(char(0xC0 | (c >> 6)));
            out.push_back(char(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(char(0xE0 | (c >> 12)));
            out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(char(0x80 | (c & 0x3F)));
        } else {
            out.push_back(char(0xF0 | (c >> 18)));
            out.push_back(char(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(char(0x80 | (c & 0x3F)));
        }
    }
}

// The diagnostic records of a handle as one error: every distinct message on its own
// line, as the driver wrote it; SQLSTATE and native code of the first record.
inline DatabaseError diagnostics(SQLSMALLINT type, SQLHANDLE handle, const QString &fallback)
{
    QStringList lines;
    QString firstState;
    int firstNative = 0;
    if (handle) {
        for (SQLSMALLINT i = 1;; ++i) {
            SQLWCHAR state[6] = {};
            SQLINTEGER native = 0;
            SQLSMALLINT len = 0;
            std::u16string buffer(1024, u'\0');
            SQLRETURN rc = SQLGetDiagRecW(type, handle, i, state, &native,
                                          reinterpret_cast<SQLWCHAR *>(buffer.data()),
                                          SQLSMALLINT(buffer.size()), &len);
            if (rc == SQL_SUCCESS_WITH_INFO && len >= SQLSMALLINT(buffer.size())) {
                buffer.assign(size_t(len) + 1, u'\0');
                rc = SQLGetDiagRecW(type, handle, i, state, &native,
                                    reinterpret_cast<SQLWCHAR *>(buffer.data()),
                                    SQLSMALLINT(buffer.size()), &len);
            }
            if (!succeeded(rc))
                break;
            const QString text = QString::fromUtf16(buffer.data(), std::min<qsizetype>(len, qsizetype(buffer.size()))).trimmed();
            if (i == 1) {
                firstState = fromWide(state, 5);
                firstNative = int(native);
            }
            if (!text.isEmpty() && !lines.contains(text))
                lines << text;
        }
    }
    if (lines.isEmpty())
        lines << fallback;
    return DatabaseError(lines.join(QLatin1Char('\n')), firstState, firstNative);
}

// An ODBC handle freed with its owner.
class Handle {
public:
    Handle() = default;
    Handle(SQLSMALLINT type, SQLHANDLE parent, const char *what) : type_(type)
    {
        const SQLRETURN rc = SQLAllocHandle(type, parent ? parent : SQL_NULL_HANDLE, &h_);
        if (!succeeded(rc)) {
            h_ = SQL_NULL_HANDLE;
            throw diagnostics(type == SQL_HANDLE_ENV ? SQL_HANDLE_ENV
                                                     : (type == SQL_HANDLE_DBC ? SQL_HANDLE_ENV : SQL_HANDLE_DBC),
                              parent, QStringLiteral("無法配置 ODBC %1 控制代碼").arg(QLatin1String(what)));
        }
    }
    ~Handle() { reset(); }
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
    Handle(Handle &&o) noexcept : type_(o.type_), h_(o.h_) { o.h_ = SQL_NULL_HANDLE; }
    Handle &operator=(Handle &&o) noexcept
    {
        if (this != &o) {
            reset();
            type_ = o.type_;
            h_ = o.h_;
            o.h_ = SQL_NULL_HANDLE;
        }
        return *this;
    }
    void reset()
    {
        if (h_)
            SQLFreeHandle(type_, h_);
        h_ = SQL_NULL_HANDLE;
    }
    SQLHANDLE get() const { return h_; }
    SQLSMALLINT type() const { return type_; }
    operator SQLHANDLE() const { return h_; }

    // Throws the handle's diagnostics unless rc reports success (or no data).
    void check(SQLRETURN rc, const QString &what) const
    {
        if (succeeded(rc) || rc == SQL_NO_DATA)
            return;
        if (rc == SQL_INVALID_HANDLE)
            throw DatabaseError(what + QStringLiteral(": invalid ODBC handle"));
        throw withTimeoutSaid(diagnostics(type_, h_, what + QStringLiteral(" failed")));
    }

private:
    // A statement that ran past its command timeout: said in Chinese, as the embedded
    // provider says it, before the driver's own text. A login's timeout (a connection
    // handle's) is worded by the login.
    DatabaseError withTimeoutSaid(const DatabaseError &e) const
    {
        if (type_ != SQL_HANDLE_STMT || e.sqlState() != QLatin1String("HYT00"))
            return e;
        return DatabaseError(QStringLiteral("查詢逾時\n") + e.message(), e.sqlState(), e.nativeCode());
    }

    SQLSMALLINT type_ = 0;
    SQLHANDLE h_ = SQL_NULL_HANDLE;
};

} // namespace data::odbc
