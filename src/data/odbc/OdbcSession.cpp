#include "data/odbc/OdbcSession.h"
#include "data/core/ColumnStore.h"
#include "data/core/DatabaseError.h"
#include "data/core/ExactNumber.h"
#include "data/core/SqlNames.h"
#include "data/core/StatementText.h"
#include <QDateTime>
#include <algorithm>
#include <cstring>
#include <deque>

namespace data {

using odbc::fromWide;
using odbc::Handle;
using odbc::succeeded;
using odbc::wide;

namespace {

// Bound columns are fetched this many rows per SQLFetch, unless that would need more
// than kBlockBytes of buffers.
constexpr SQLULEN kBlockRows = 256;
constexpr size_t kBlockBytes = 4u << 20;
// Text and binary columns up to this size are bound; longer or unbounded ones are read
// piecewise with SQLGetData.
constexpr SQLULEN kMaxBoundChars = 8000;
constexpr SQLULEN kMaxBoundBytes = 8000;

constexpr int64_t kMsecsPerDay = 86400000;
constexpr int64_t kUnixEpochJulianDay = 2440588;
// Lone times of day are kept on the day the rest of the layer uses for them.
const int64_t kTimeOnlyDayMsecs = (QDate(1899, 12, 30).toJulianDay() - kUnixEpochJulianDay) * kMsecsPerDay;

int64_t epochMsecs(int year, int month, int day, int hour, int minute, int second, int msec)
{
    const QDate d(year, month, day);
    const int64_t days = d.isValid() ? d.toJulianDay() - kUnixEpochJulianDay : 0;
    return days * kMsecsPerDay + ((int64_t(hour) * 60 + minute) * 60 + second) * 1000 + msec;
}

bool isCharType(SQLSMALLINT t)
{
    return t == SQL_CHAR || t == SQL_VARCHAR || t == SQL_LONGVARCHAR || t == SQL_WCHAR ||
           t == SQL_WVARCHAR || t == SQL_WLONGVARCHAR;
}

// How one result column travels from the driver into the column store.
enum class Fetch { Int, Bit, Real, Date, Time, Timestamp, Text, Decimal, Money, Binary, BoolText, Guid };

struct Column {
    SQLUSMALLINT number = 0;
    Fetch how = Fetch::Text;
    SQLSMALLINT cType = SQL_C_WCHAR;
    bool bound = false;
    SQLLEN width = 0; // bytes per row in the bound buffer
    std::vector<char> buffer;
    std::vector<SQLLEN> indicators;
};

// Reads a whole value with SQLGetData in pieces. Returns false for NULL.
bool getWholeValue(Handle &st, SQLUSMALLINT col, SQLSMALLINT cType, std::string &raw)
{
    raw.clear();
    char buf[16384];
    const size_t terminator = cType == SQL_C_WCHAR ? 2 : (cType == SQL_C_CHAR ? 1 : 0);
    for (;;) {
        SQLLEN ind = 0;
        const SQLRETURN rc = SQLGetData(st, col, cType, buf, SQLLEN(sizeof buf), &ind);
        if (rc == SQL_NO_DATA)
            return true;
        st.check(rc, QStringLiteral("SQLGetData"));
        if (ind == SQL_NULL_DATA)
            return false;
        const size_t room = sizeof buf - terminator;
        const bool partial = ind == SQL_NO_TOTAL || size_t(ind) > room;
        size_t got = partial ? room : size_t(ind);
        if (cType == SQL_C_WCHAR)
            got &= ~size_t(1);
        raw.append(buf, got);
        if (!partial || rc == SQL_SUCCESS)
            return true;
    }
}

bool parseBoolText(std::string_view t, bool &out)
{
    std::string s(t);
    for (char &c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    if (s == "1" || s == "t" || s == "true" || s == "y" || s == "yes" || s == "-1") {
        out = true;
        return true;
    }
    if (s == "0" || s == "f" || s == "false" || s == "n" || s == "no") {
        out = false;
        return true;
    }
    return false;
}

// Values of parameters, kept alive until the statement has run.
struct ParamBuffer {
    std::vector<char> data;
    SQLLEN indicator = 0;
};

void bindParameter(Handle &st, SQLUSMALLINT number, const QVariant &v, ParamBuffer &p)
{
    SQLSMALLINT cType = SQL_C_WCHAR;
    SQLSMALLINT sqlType = SQL_WVARCHAR;
    SQLULEN columnSize = 1;
    SQLSMALLINT digits = 0;
    const bool isNull = !v.isValid() || v.isNull();
    auto put = [&](const void *src, size_t n) {
        p.data.assign(static_cast<const char *>(src), static_cast<const char *>(src) + n);
        p.indicator = SQLLEN(n);
    };
    switch (v.typeId()) {
    case QMetaType::Bool: {
        cType = SQL_C_BIT;
        sqlType = SQL_BIT;
        const unsigned char b = v.toBool() ? 1 : 0;
        put(&b, 1);
        break;
    }
    case QMetaType::Int: case QMetaType::UInt: case QMetaType::LongLong: case QMetaType::Long:
    case QMetaType::Short: case QMetaType::UShort: case QMetaType::Char: case QMetaType::SChar:
    case QMetaType::UChar: case QMetaType::ULong: case QMetaType::ULongLong: {
        cType = SQL_C_SBIGINT;
        sqlType = SQL_BIGINT;
        columnSize = 19;
        const int64_t n = v.toLongLong();
        put(&n, sizeof n);
        break;
    }
    case QMetaType::Double: case QMetaType::Float: {
        cType = SQL_C_DOUBLE;
        sqlType = SQL_DOUBLE;
        columnSize = 15;
        const double d = v.toDouble();
        put(&d, sizeof d);
        break;
    }
    case QMetaType::QByteArray: {
        cType = SQL_C_BINARY;
        const QByteArray bytes = v.toByteArray();
        sqlType = bytes.size() > qsizetype(kMaxBoundBytes) ? SQL_LONGVARBINARY : SQL_VARBINARY;
        columnSize = SQLULEN(std::max<qsizetype>(bytes.size(), 1));
        put(bytes.constData(), size_t(bytes.size()));
        break;
    }
    case QMetaType::QDateTime: {
        cType = SQL_C_TYPE_TIMESTAMP;
        sqlType = SQL_TYPE_TIMESTAMP;
        columnSize = 23;
        digits = 3;
        const QDateTime dt = v.toDateTime();
        SQL_TIMESTAMP_STRUCT ts{};
        ts.year = SQLSMALLINT(dt.date().year());
        ts.month = SQLUSMALLINT(dt.date().month());
        ts.day = SQLUSMALLINT(dt.date().day());
        ts.hour = SQLUSMALLINT(dt.time().hour());
        ts.minute = SQLUSMALLINT(dt.time().minute());
        ts.second = SQLUSMALLINT(dt.time().second());
        ts.fraction = SQLUINTEGER(dt.time().msec()) * 1000000u;
        put(&ts, sizeof ts);
        break;
    }
    case QMetaType::QDate: {
        cType = SQL_C_TYPE_DATE;
        sqlType = SQL_TYPE_DATE;
        columnSize = 10;
        const QDate d = v.toDate();
        SQL_DATE_STRUCT ds{};
        ds.year = SQLSMALLINT(d.year());
        ds.month = SQLUSMALLINT(d.month());
        ds.day = SQLUSMALLINT(d.day());
        put(&ds, sizeof ds);
        break;
    }
    case QMetaType::QTime: {
        cType = SQL_C_TYPE_TIME;
        sqlType = SQL_TYPE_TIME;
        columnSize = 8;
        const QTime t = v.toTime();
        SQL_TIME_STRUCT ts{};
        ts.hour = SQLUSMALLINT(t.hour());
        ts.minute = SQLUSMALLINT(t.minute());
        ts.second = SQLUSMALLINT(t.second());
        put(&ts, sizeof ts);
        break;
    }
    default: {
        const QString s = v.toString();
        sqlType = s.size() > qsizetype(4000) ? SQL_WLONGVARCHAR : SQL_WVARCHAR;
        columnSize = SQLULEN(std::max<qsizetype>(s.size(), 1));
        put(s.utf16(), size_t(s.size()) * 2);
        p.data.push_back(0);
        p.data.push_back(0);
        break;
    }
    }
    if (isNull) {
        p.data.clear();
        p.indicator = SQL_NULL_DATA;
    }
    const SQLRETURN rc = SQLBindParameter(st, number, SQL_PARAM_INPUT, cType, sqlType, columnSize, digits,
                                          p.data.empty() ? nullptr : p.data.data(), SQLLEN(p.data.size()),
                                          &p.indicator);
    st.check(rc, QStringLiteral("SQLBindParameter"));
}

} // namespace

// ---- connection -------------------------------------------------------------------

OdbcSession::OdbcSession(const QString &odbcConnectionString, int loginTimeoutSeconds, Dialect dialect)
    : dialect_(dialect)
{
    env_ = Handle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, "environment");
    env_.check(SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0),
               QStringLiteral("SQLSetEnvAttr"));
    dbc_ = Handle(SQL_HANDLE_DBC, env_, "connection");
    if (loginTimeoutSeconds > 0)
        SQLSetConnectAttr(dbc_, SQL_ATTR_LOGIN_TIMEOUT,
                          reinterpret_cast<SQLPOINTER>(SQLULEN(loginTimeoutSeconds)), 0);
    SQLWCHAR out[1024];
    SQLSMALLINT outLen = 0;
    const QString text = odbcConnectionString;
    const SQLRETURN rc = SQLDriverConnectW(dbc_, nullptr, wide(text), SQL_NTS, out,
                                           SQLSMALLINT(sizeof out / sizeof *out), &outLen,
                                           SQL_DRIVER_NOPROMPT);
    if (!succeeded(rc))
        throw odbc::diagnostics(SQL_HANDLE_DBC, dbc_, QStringLiteral("無法連接 ODBC 資料來源"));

    driverName_ = infoText(SQL_DRIVER_NAME);
    quoteChar_ = infoText(SQL_IDENTIFIER_QUOTE_CHAR).trimmed();
    escapeChar_ = infoText(SQL_SEARCH_PATTERN_ESCAPE);
    getDataExtensions_ = int(infoInt(SQL_GETDATA_EXTENSIONS));
}

OdbcSession::~OdbcSession()
{
    if (dbc_.get()) {
        if (inTransaction_)
            SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK);
        SQLDisconnect(dbc_);
    }
}

QString OdbcSession::infoText(SQLUSMALLINT what) const
{
    SQLWCHAR buf[512] = {};
    SQLSMALLINT len = 0;
    if (!succeeded(SQLGetInfoW(dbc_, what, buf, SQLSMALLINT(sizeof buf), &len)))
        return QString();
    return fromWide(buf, std::min<qsizetype>(len / 2, qsizetype(sizeof buf / sizeof *buf) - 1));
}

SQLUINTEGER OdbcSession::infoInt(SQLUSMALLINT what) const
{
    SQLUINTEGER v = 0;
    if (!succeeded(SQLGetInfoW(dbc_, what, &v, SQLSMALLINT(sizeof v), nullptr)))
        return 0;
    return v;
}

QString OdbcSession::defaultDatabase()
{
    SQLWCHAR buf[512] = {};
    SQLINTEGER len = 0;
    if (succeeded(SQLGetConnectAttrW(dbc_, SQL_ATTR_CURRENT_CATALOG, buf, SQLINTEGER(sizeof buf), &len))) {
        const QString name = fromWide(buf, std::min<qsizetype>(len / 2, qsizetype(sizeof buf / sizeof *buf) - 1));
        if (!name.isEmpty())
            return name;
    }
    return infoText(SQL_DATABASE_NAME);
}

QString OdbcSession::serverVersion()
{
    return (infoText(SQL_DBMS_NAME) + QLatin1Char(' ') + infoText(SQL_DBMS_VER)).trimmed();
}

std::optional<QString> OdbcSession::defaultSchema()
{
    QString sql;
    if (dialect_ == Dialect::SqlServer)
        sql = QStringLiteral("SELECT SCHEMA_NAME()");
    else if (infoText(SQL_DBMS_NAME).compare(QLatin1String("PostgreSQL"), Qt::CaseInsensitive) == 0)
        sql = QStringLiteral("SELECT current_schema()");
    else
        return std::nullopt;
    const auto rs = query(sql, {}, 0, StatementScope::OneStatement);
    if (rs->columns.empty() || rs->rows.rowCount() == 0)
        return std::nullopt;
    const QVariant value = rs->rows.columns[0].value(0, ftWideString);
    if (value.isNull() || value.toString().isEmpty())
        return std::nullopt;
    return value.toString();
}

QString OdbcSession::quoteIdentifier(const QString &name) const
{
    return quoteIdentifierWith(dialect_ == Dialect::SqlServer ? QStringLiteral("[") : quoteChar_, name);
}

QString OdbcSession::quoteString(const QString &value) const
{
    return quoteStringLiteral(value, dialect_ == Dialect::SqlServer);
}

QVariant OdbcSession::lastInsertId()
{
    // @@IDENTITY survives the batch boundary, unlike SCOPE_IDENTITY(); other sources
    // have no portable way to ask.
    if (dialect_ != Dialect::SqlServer)
        return QVariant();
    try {
        auto rs = query(QStringLiteral("SELECT CAST(@@IDENTITY AS bigint)"));
        if (rs->columns.empty() || rs->rows.rowCount() == 0)
            return QVariant();
        return rs->rows.columns[0].value(0, rs->columns[0].type);
    } catch (const DatabaseError &) {
        return QVariant();
    }
}

bool OdbcSession::connectionDead()
{
    SQLUINTEGER dead = SQL_CD_FALSE;
    return succeeded(SQLGetConnectAttr(dbc_, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr)) && dead == SQL_CD_TRUE;
}

// ---- transactions -------------------------------------------------------------------

void OdbcSession::beginTransaction()
{
    if (inTransaction_)
        throw DatabaseError(QStringLiteral("這個連線已有進行中的交易"));
    dbc_.check(SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0),
               QStringLiteral("無法開始交易"));
    inTransaction_ = true;
}

void OdbcSession::commit()
{
    if (!inTransaction_)
        throw DatabaseError(QStringLiteral("沒有進行中的交易"));
    dbc_.check(SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_COMMIT), QStringLiteral("Commit"));
    inTransaction_ = false;
    dbc_.check(SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0),
               QStringLiteral("Commit"));
}

void OdbcSession::rollback()
{
    if (!inTransaction_)
        throw DatabaseError(QStringLiteral("沒有進行中的交易"));
    inTransaction_ = false;
    const SQLRETURN rc = SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK);
    SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
    dbc_.check(rc, QStringLiteral("Rollback"));
}

// ---- statements ---------------------------------------------------------------------

void OdbcSession::checkScope(const QString &sql, StatementScope scope) const
{
    if (scope != StatementScope::OneStatement)
        return;
    StatementQuoting quoting;
    quoting.brackets = dialect_ == Dialect::SqlServer;
    if (!quoting.brackets && quoteChar_.size() == 1)
        quoting.identifierQuote = quoteChar_[0];
    requireOneStatement(sql, quoting);
}

Handle OdbcSession::newStatement(int timeoutSeconds)
{
    Handle st(SQL_HANDLE_STMT, dbc_, "statement");
    if (timeoutSeconds > 0)
        st.check(SQLSetStmtAttr(st, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(SQLULEN(timeoutSeconds)), 0),
                 QStringLiteral("無法設定命令逾時"));
    else if (dialect_ == Dialect::SqlServer) // FreeTDS would apply the connection's timeout, meant for
        SQLSetStmtAttr(st, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(SQLULEN(0)), 0); // its login and transactions
    return st;
}

void OdbcSession::run(Handle &st, const QString &sql, const Params &params)
{
    SQLRETURN rc;
    if (params.empty()) {
        rc = SQLExecDirectW(st, wide(sql), SQL_NTS);
    } else {
        st.check(SQLPrepareW(st, wide(sql), SQL_NTS), QStringLiteral("SQLPrepare"));
        std::deque<ParamBuffer> buffers(params.size());
        for (size_t i = 0; i < params.size(); ++i) {
            QVariant value = params[i];
            // SQL Server compares a datetime column with a datetime2 parameter exactly,
            // so .127 (stored as .1266667) would never match: send the text and let the
            // server convert it to the column's own type.
            if (dialect_ == Dialect::SqlServer && value.typeId() == QMetaType::QDateTime)
                value = value.toDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz"));
            bindParameter(st, SQLUSMALLINT(i + 1), value, buffers[i]);
        }
        rc = SQLExecute(st);
        if (succeeded(rc) || rc == SQL_NO_DATA) {
            // Results are read after the buffers are gone; the driver has sent them.
            SQLFreeStmt(st, SQL_RESET_PARAMS);
        }
    }
    if (rc == SQL_NEED_DATA)
        throw DatabaseError(QStringLiteral("陳述式在執行時要求資料，本程式不支援"));
    st.check(rc, QStringLiteral("執行陳述式失敗"));
}

// The rows of one result, fetched block by block. Open's first slice and every later one
// run the same loop; the budget is checked between blocks, so slices cost nothing per
// value. The buffers are bound by address: the source never moves once made.
class OdbcRowSource final : public PendingRows {
public:
    OdbcRowSource(OdbcSession &owner, Handle statement, int getDataExtensions,
                  const std::vector<ColumnInfo> &columns, const std::vector<SQLSMALLINT> &sqlTypes);
    ~OdbcRowSource() override;
    OdbcRowSource(const OdbcRowSource &) = delete;
    OdbcRowSource &operator=(const OdbcRowSource &) = delete;
    bool fetchMore(std::vector<ColumnInfo> &columns, RowStore &result, const FetchBudget &budget) override;
    void runBlockingStepsThrough(BlockingStep *steps) override { steps_ = steps; }
    // Left pending, the source reads past the statement's later results when it ends.
    void keepRest() { drainRest_ = true; }
    // After the last row: the statement, for its later results.
    Handle releaseStatement() { return std::move(st_); }

private:
    // Fetches the next block: through steps_ once the source is pending, registered as
    // the statement a stop cancels.
    SQLRETURN fetchBlock();

    OdbcSession &owner_; // whose stop request ends the fetch
    BlockingStep *steps_ = nullptr;
    Handle st_;
    int getDataExtensions_;
    std::vector<Column> cols_;
    SQLULEN blockRows_ = 1;
    SQLULEN fetched_ = 0;
    std::string text_, raw_;
    std::u16string wideText_;
    bool drainRest_ = false;
    bool done_ = false;
};

// While it lives, its statement is the one a stop request cancels. A request that came
// before the statement was registered ends the call before anything is sent.
class OdbcSession::RunningStatement {
public:
    RunningStatement(OdbcSession &session, Handle &st) : session_(session)
    {
        std::lock_guard lock(session_.runningLock_);
        if (session_.stopRequested())
            throw CommandStopped();
        session_.running_ = st.get();
    }
    ~RunningStatement()
    {
        std::lock_guard lock(session_.runningLock_);
        session_.running_ = nullptr;
    }
    RunningStatement(const RunningStatement &) = delete;
    RunningStatement &operator=(const RunningStatement &) = delete;

private:
    OdbcSession &session_;
};

void OdbcSession::interruptRunningCall()
{
    // Every statement unregisters before it is freed (RunningStatement, the row
    // source's destructor), under the same lock.
    std::lock_guard lock(runningLock_);
    if (running_)
        SQLCancel(running_);
}

template <class Work> auto OdbcSession::stoppable(Handle &st, Work work)
{
    RunningStatement running(*this, st);
    try {
        return work();
    } catch (const CommandStopped &) {
        throw;
    } catch (const DatabaseError &) {
        if (stopRequested()) // the driver's "operation cancelled" (HY008) or what it led to
            throw CommandStopped();
        throw;
    }
}

std::unique_ptr<ResultSet> OdbcSession::query(const QString &sql, const Params &params, int timeoutSeconds,
                                              StatementScope scope)
{
    return openQuery(sql, params, timeoutSeconds, scope, FetchBudget{});
}

std::unique_ptr<ResultSet> OdbcSession::openQuery(const QString &sql, const Params &params, int timeoutSeconds,
                                                  StatementScope scope, const FetchBudget &first)
{
    checkScope(sql, scope);
    Handle st = newStatement(timeoutSeconds);
    return stoppable(st, [&] {
        run(st, sql, params);
        auto result = std::make_unique<ResultSet>();
        result->rowsAffected = collect(st, result.get(), first.unlimited() ? nullptr : &first);
        return result;
    });
}

long long OdbcSession::execute(const QString &sql, const Params &params, int timeoutSeconds,
                               StatementScope scope)
{
    checkScope(sql, scope);
    Handle st = newStatement(timeoutSeconds);
    return stoppable(st, [&] {
        run(st, sql, params);
        return collect(st, nullptr, nullptr);
    });
}

long long OdbcSession::collect(Handle &st, ResultSet *result, const FetchBudget *first)
{
    long long total = -1;
    bool filled = false;
    for (;;) {
        SQLSMALLINT count = 0;
        st.check(SQLNumResultCols(st, &count), QStringLiteral("SQLNumResultCols"));
        if (count > 0) {
            if (result && !filled) {
                std::vector<SQLSMALLINT> sqlTypes;
                describe(st, count, result->columns, sqlTypes);
                result->rows = RowStore();
                for (const auto &c : result->columns)
                    result->rows.columns.emplace_back(storageFor(c.type));
                // On the heap from the start: the driver writes to its buffers' addresses.
                auto source = std::make_unique<OdbcRowSource>(*this, std::move(st), getDataExtensions_,
                                                              result->columns, sqlTypes);
                if (!source->fetchMore(result->columns, result->rows, first ? *first : FetchBudget{})) {
                    // The rest of this result, and any results after it, are read as the
                    // caller asks for them.
                    source->keepRest();
                    result->pending = std::move(source);
                    return total;
                }
                st = source->releaseStatement();
                filled = true;
            }
        } else {
            SQLLEN rows = -1;
            if (succeeded(SQLRowCount(st, &rows)) && rows >= 0)
                total = (total < 0 ? 0 : total) + rows;
        }
        const SQLRETURN rc = SQLMoreResults(st);
        if (rc == SQL_NO_DATA)
            break;
        st.check(rc, QStringLiteral("讀取下一個結果失敗"));
    }
    return total;
}

void OdbcSession::describe(Handle &st, SQLSMALLINT count, std::vector<ColumnInfo> &columns,
                           std::vector<SQLSMALLINT> &sqlTypes)
{
    columns.clear();
    sqlTypes.clear();
    auto textAttr = [&](SQLUSMALLINT col, SQLUSMALLINT field) {
        SQLWCHAR buf[512] = {};
        SQLSMALLINT len = 0;
        if (!succeeded(SQLColAttributeW(st, col, field, buf, SQLSMALLINT(sizeof buf), &len, nullptr)))
            return QString();
        return fromWide(buf, std::min<qsizetype>(len / 2, qsizetype(sizeof buf / sizeof *buf) - 1));
    };
    auto numAttr = [&](SQLUSMALLINT col, SQLUSMALLINT field, SQLLEN fallback) {
        SQLLEN v = fallback;
        if (!succeeded(SQLColAttributeW(st, col, field, nullptr, 0, nullptr, &v)))
            return fallback;
        return v;
    };
    for (SQLSMALLINT i = 1; i <= count; ++i) {
        SQLWCHAR name[512] = {};
        SQLSMALLINT nameLen = 0, sqlType = 0, digits = 0, nullable = SQL_NULLABLE_UNKNOWN;
        SQLULEN size = 0;
        st.check(SQLDescribeColW(st, SQLUSMALLINT(i), name, SQLSMALLINT(sizeof name / sizeof *name), &nameLen,
                                 &sqlType, &size, &digits, &nullable),
                 QStringLiteral("SQLDescribeCol"));
        ColumnInfo c;
        c.name = fromWide(name, std::min<qsizetype>(nameLen, qsizetype(sizeof name / sizeof *name) - 1));
        const QString typeName = textAttr(SQLUSMALLINT(i), SQL_DESC_TYPE_NAME).toLower();
        const bool isUnsigned = numAttr(SQLUSMALLINT(i), SQL_DESC_UNSIGNED, SQL_FALSE) == SQL_TRUE;
        const int sizeInt = size > SQLULEN(INT32_MAX) ? 0 : int(size);
        switch (sqlType) {
        case SQL_CHAR: case SQL_VARCHAR:
            c.type = ftString;
            c.ansi = true;
            c.size = sizeInt;
            c.fixedLength = sqlType == SQL_CHAR;
            break;
        case SQL_LONGVARCHAR:
            c.type = ftMemo;
            c.ansi = true;
            c.isLong = true;
            break;
        case SQL_WCHAR: case SQL_WVARCHAR:
            c.type = ftWideString;
            c.size = sizeInt;
            c.fixedLength = sqlType == SQL_WCHAR;
            break;
        case SQL_WLONGVARCHAR:
            c.type = ftWideMemo;
            c.isLong = true;
            break;
        case SQL_TINYINT: case SQL_SMALLINT:
            c.type = isUnsigned ? ftWord : ftSmallint;
            c.fixedLength = true;
            break;
        case SQL_INTEGER:
            c.type = ftInteger;
            c.fixedLength = true;
            break;
        case SQL_BIGINT:
            c.type = ftLargeint;
            c.fixedLength = true;
            break;
        case SQL_BIT:
            c.type = ftBoolean;
            c.fixedLength = true;
            break;
        case SQL_REAL: case SQL_FLOAT: case SQL_DOUBLE:
            c.type = ftFloat;
            c.precision = sizeInt;
            c.fixedLength = true;
            break;
        case SQL_DECIMAL: case SQL_NUMERIC:
            c.type = typeName.contains(QLatin1String("money")) ? ftCurrency : ftBCD;
            c.precision = sizeInt;
            c.scale = digits;
            c.size = digits;
            c.fixedLength = true;
            break;
        case SQL_TYPE_DATE: case SQL_DATE:
            c.type = ftDate;
            c.fixedLength = true;
            break;
        case SQL_TYPE_TIME: case SQL_TIME:
            c.type = ftTime;
            c.fixedLength = true;
            break;
        case SQL_TYPE_TIMESTAMP: case SQL_TIMESTAMP:
            c.type = ftDateTime;
            c.fixedLength = true;
            break;
        case SQL_BINARY: case SQL_VARBINARY:
            c.type = ftVarBytes;
            c.size = sizeInt;
            c.fixedLength = sqlType == SQL_BINARY;
            if (sizeInt == 0 || size > kMaxBoundBytes) {
                c.type = ftBlob;
                c.isLong = true;
                c.size = 0;
            }
            break;
        case SQL_LONGVARBINARY:
            c.type = ftBlob;
            c.isLong = true;
            break;
        case SQL_GUID:
            c.type = ftGuid;
            c.size = 38;
            c.fixedLength = true;
            break;
        default:
            // Driver-specific types (sql_variant, xml, intervals, ...) read as text.
            c.type = ftWideString;
            c.size = size > 0 && size <= kMaxBoundChars ? sizeInt : 0;
            if (c.size == 0) {
                c.type = ftWideMemo;
                c.isLong = true;
            }
            break;
        }
        // Character types whose declared name says Boolean (drivers that hand Booleans
        // over as "1"/"0" or "t"/"f" text).
        if (isCharType(sqlType) && (typeName == QLatin1String("bool") || typeName == QLatin1String("boolean"))) {
            c.type = ftBoolean;
            c.size = 0;
            c.ansi = false;
            c.isLong = false;
            c.fixedLength = true;
        }
        if ((c.type == ftString || c.type == ftWideString) && (sizeInt == 0 || size > kMaxBoundChars)) {
            // No usable bound: a memo as far as anyone above can tell.
            c.type = c.type == ftString ? ftMemo : ftWideMemo;
            c.isLong = true;
            c.size = 0;
        }
        c.nullable = nullable != SQL_NO_NULLS;
        c.autoIncrement = numAttr(SQLUSMALLINT(i), SQL_DESC_AUTO_UNIQUE_VALUE, SQL_FALSE) == SQL_TRUE;
        if (c.autoIncrement && c.type == ftInteger)
            c.type = ftAutoInc;
        const SQLLEN updatable = numAttr(SQLUSMALLINT(i), SQL_DESC_UPDATABLE, SQL_ATTR_READWRITE_UNKNOWN);
        c.readOnly = updatable == SQL_ATTR_READONLY;
        c.baseColumn = textAttr(SQLUSMALLINT(i), SQL_DESC_BASE_COLUMN_NAME);
        c.baseTable = textAttr(SQLUSMALLINT(i), SQL_DESC_BASE_TABLE_NAME);
        if (c.baseTable.isEmpty())
            c.baseTable = textAttr(SQLUSMALLINT(i), SQL_DESC_TABLE_NAME);
        c.baseSchema = textAttr(SQLUSMALLINT(i), SQL_DESC_SCHEMA_NAME);
        c.baseCatalog = textAttr(SQLUSMALLINT(i), SQL_DESC_CATALOG_NAME);
        if (c.baseTable.isEmpty())
            c.baseColumn.clear(); // an expression, whatever the driver echoes
        columns.push_back(c);
        sqlTypes.push_back(sqlType);
    }
}

OdbcRowSource::OdbcRowSource(OdbcSession &owner, Handle statement, int getDataExtensions,
                             const std::vector<ColumnInfo> &columns, const std::vector<SQLSMALLINT> &sqlTypes)
    : owner_(owner), st_(std::move(statement)), getDataExtensions_(getDataExtensions), cols_(columns.size())
{
    Handle &st = st_;
    const size_t n = columns.size();

    // Plan each column: how it is fetched and whether it can be bound.
    std::vector<Column> &cols = cols_;
    bool anyUnbound = false;
    size_t rowWidth = 0;
    for (size_t i = 0; i < n; ++i) {
        const ColumnInfo &info = columns[i];
        Column &c = cols[i];
        c.number = SQLUSMALLINT(i + 1);
        const SQLSMALLINT t = sqlTypes[i];
        c.bound = true;
        switch (info.type) {
        case ftSmallint: case ftInteger: case ftWord: case ftLargeint: case ftAutoInc:
            c.how = Fetch::Int;
            c.cType = SQL_C_SBIGINT;
            c.width = sizeof(int64_t);
            break;
        case ftBoolean:
            if (isCharType(t)) {
                c.how = Fetch::BoolText;
                c.cType = SQL_C_CHAR;
                c.width = 16;
            } else {
                c.how = Fetch::Bit;
                c.cType = SQL_C_BIT;
                c.width = 1;
            }
            break;
        case ftCurrency: // as text: a double cannot carry every amount of money
            c.how = Fetch::Money;
            c.cType = SQL_C_CHAR;
            c.width = 48;
            break;
        case ftFloat:
            c.how = Fetch::Real;
            c.cType = SQL_C_DOUBLE;
            c.width = sizeof(double);
            break;
        case ftBCD: case ftFMTBcd:
            c.how = Fetch::Decimal;
            c.cType = SQL_C_CHAR;
            c.width = std::max<SQLLEN>(info.precision + 4, 48);
            c.bound = info.precision <= 200;
            break;
        case ftDate:
            c.how = Fetch::Date;
            c.cType = SQL_C_TYPE_DATE;
            c.width = sizeof(SQL_DATE_STRUCT);
            break;
        case ftTime:
            c.how = Fetch::Time;
            c.cType = SQL_C_TYPE_TIME;
            c.width = sizeof(SQL_TIME_STRUCT);
            break;
        case ftDateTime:
            c.how = Fetch::Timestamp;
            c.cType = SQL_C_TYPE_TIMESTAMP;
            c.width = sizeof(SQL_TIMESTAMP_STRUCT);
            break;
        case ftGuid:
            c.how = Fetch::Guid;
            c.cType = SQL_C_WCHAR;
            c.width = 40 * 2;
            break;
        case ftVarBytes: case ftBytes:
            c.how = Fetch::Binary;
            c.cType = SQL_C_BINARY;
            c.width = std::max(info.size, 1);
            break;
        case ftBlob: case ftGraphic:
            c.how = Fetch::Binary;
            c.cType = SQL_C_BINARY;
            c.bound = false;
            break;
        case ftMemo: case ftWideMemo:
            c.how = Fetch::Text;
            c.cType = SQL_C_WCHAR;
            c.bound = false;
            break;
        default:
            c.how = Fetch::Text;
            c.cType = SQL_C_WCHAR;
            c.width = (SQLLEN(info.size) + 1) * 2;
            c.bound = info.size > 0;
            break;
        }
        if (!c.bound)
            anyUnbound = true;
        else
            rowWidth += size_t(c.width) + sizeof(SQLLEN);
    }

    // Without SQLGetData on any column, only the columns before the first unbound one
    // may be bound.
    if (anyUnbound && !(getDataExtensions_ & SQL_GD_ANY_COLUMN)) {
        bool seenUnbound = false;
        for (auto &c : cols) {
            if (!c.bound)
                seenUnbound = true;
            else if (seenUnbound)
                c.bound = false;
        }
    }
    blockRows_ = anyUnbound ? 1 : kBlockRows;
    if (rowWidth > 0)
        blockRows_ = std::clamp<SQLULEN>(SQLULEN(kBlockBytes / rowWidth), 1, blockRows_);

    st.check(SQLSetStmtAttr(st, SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN), 0),
             QStringLiteral("SQLSetStmtAttr"));
    if (blockRows_ > 1) {
        const SQLRETURN rc = SQLSetStmtAttr(st, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(blockRows_), 0);
        if (!succeeded(rc))
            blockRows_ = 1; // the driver fetches one row at a time
    }
    if (blockRows_ > 1) {
        // The driver may have lowered the size it accepted.
        SQLULEN accepted = blockRows_;
        if (succeeded(SQLGetStmtAttr(st, SQL_ATTR_ROW_ARRAY_SIZE, &accepted, 0, nullptr)) && accepted >= 1)
            blockRows_ = accepted;
    }
    st.check(SQLSetStmtAttr(st, SQL_ATTR_ROWS_FETCHED_PTR, &fetched_, 0), QStringLiteral("SQLSetStmtAttr"));
    for (auto &c : cols) {
        if (!c.bound)
            continue;
        c.buffer.assign(size_t(c.width) * blockRows_, 0);
        c.indicators.assign(blockRows_, 0);
        st.check(SQLBindCol(st, c.number, c.cType, c.buffer.data(), c.width, c.indicators.data()),
                 QStringLiteral("SQLBindCol"));
    }
}

    std::string text;
    std::string raw;
    std::u16string wideText;
OdbcRowSource::~OdbcRowSource()
{
    // A source given up part-way (a failure, a stop) frees its statement now, while the
    // call that made it may still have it registered for a stop.
    std::lock_guard lock(owner_.runningLock_);
    if (st_ && owner_.running_ == st_.get())
        owner_.running_ = nullptr;
}

SQLRETURN OdbcRowSource::fetchBlock()
{
    if (!steps_) // the first rows: the call that opened the result is running
        return SQLFetch(st_);
    // A stop during the step makes the step itself end as stopped (StoppableSession).
    SQLRETURN rc = SQL_ERROR;
    steps_->run([&] {
        OdbcSession::RunningStatement running(owner_, st_);
        rc = SQLFetch(st_);
    });
    return rc;
}

bool OdbcRowSource::fetchMore(std::vector<ColumnInfo> &columns, RowStore &result, const FetchBudget &budget)
{
    if (done_ || !st_)
        return true;
    Handle &st = st_;
    const SQLULEN blockRows = blockRows_;
    SQLULEN &fetched = fetched_;
    std::vector<Column> &cols = cols_;
    std::string &text = text_;
    std::string &raw = raw_;
    std::u16string &wideText = wideText_;
    const size_t n = cols.size();
    // A bound value that did not fit its buffer is read again whole.
    auto refetch = [&](Column &c, SQLULEN row) -> bool {
        if (blockRows > 1) {
            if (!(getDataExtensions_ & SQL_GD_BLOCK))
                throw DatabaseError(QStringLiteral("欄位 %1 的值比驅動程式宣告的長度還長")
                                        .arg(columns[c.number - 1].name),
                                    QStringLiteral("01004"));
            st.check(SQLSetPos(st, SQLSETPOSIROW(row + 1), SQL_POSITION, SQL_LOCK_NO_CHANGE),
                     QStringLiteral("SQLSetPos"));
        }
        return getWholeValue(st, c.number, c.cType, raw);
    };

    // The budget is checked between blocks of rows, never inside one.
    const bool limited = !budget.unlimited();
    const auto until = std::chrono::steady_clock::now() + budget.time;
    size_t rowsThisCall = 0;
    for (;;) {
        if (limited && ((budget.rows && rowsThisCall >= budget.rows) ||
                        (budget.time.count() && rowsThisCall && std::chrono::steady_clock::now() >= until)))
            return false;
        // A cancel between two fetches finds nothing running; the request is seen here.
        if (owner_.stopRequested())
            throw CommandStopped();
        fetched = 0;
        const SQLRETURN rc = fetchBlock();
        if (rc == SQL_NO_DATA)
            break;
        st.check(rc, QStringLiteral("讀取資料列失敗"));
        const SQLULEN rows = blockRows > 1 ? fetched : 1;
        rowsThisCall += rows;
        for (SQLULEN r = 0; r < rows; ++r) {
            for (size_t i = 0; i < n; ++i) {
                Column &c = cols[i];
                ColumnStore &store = result.columns[i];
                const char *cell = nullptr;
                size_t length = 0;
                bool isNull = false;
                bool haveRaw = false;
                if (c.bound) {
                    const SQLLEN ind = c.indicators[r];
                    if (ind == SQL_NULL_DATA) {
                        isNull = true;
                    } else {
                        cell = c.buffer.data() + size_t(c.width) * r;
                        length = ind == SQL_NO_TOTAL ? size_t(c.width) : size_t(ind);
                        const size_t terminator = c.cType == SQL_C_WCHAR ? 2 : (c.cType == SQL_C_CHAR ? 1 : 0);
                        const bool variable = c.cType == SQL_C_WCHAR || c.cType == SQL_C_CHAR || c.cType == SQL_C_BINARY;
                        if (variable && (ind == SQL_NO_TOTAL || length > size_t(c.width) - terminator)) {
                            isNull = !refetch(c, r);
                            haveRaw = true;
                        }
                    }
                } else {
                    isNull = !getWholeValue(st, c.number, c.cType, raw);
                    haveRaw = true;
                }
                if (isNull) {
                    store.appendNull();
                    continue;
                }
                if (haveRaw) {
                    cell = raw.data();
                    length = raw.size();
                }
                switch (c.how) {
                case Fetch::Int: {
                    int64_t v;
                    std::memcpy(&v, cell, sizeof v);
                    store.appendInt(v);
                    break;
                }
                case Fetch::Bit:
                    store.appendInt(*reinterpret_cast<const unsigned char *>(cell) ? 1 : 0);
                    break;
                case Fetch::BoolText: {
                    bool b = false;
                    if (parseBoolText(std::string_view(cell, length), b))
                        store.appendInt(b ? 1 : 0);
                    else
                        store.appendText(std::string_view(cell, length));
                    break;
                }
                case Fetch::Real: {
                    double v;
                    std::memcpy(&v, cell, sizeof v);
                    store.appendReal(v);
                    break;
                }
                case Fetch::Date: {
                    SQL_DATE_STRUCT d;
                    std::memcpy(&d, cell, sizeof d);
                    store.appendDateTime(epochMsecs(d.year, d.month, d.day, 0, 0, 0, 0));
                    break;
                }
                case Fetch::Time: {
                    SQL_TIME_STRUCT t;
                    std::memcpy(&t, cell, sizeof t);
                    store.appendDateTime(kTimeOnlyDayMsecs + ((int64_t(t.hour) * 60 + t.minute) * 60 + t.second) * 1000);
                    break;
                }
                case Fetch::Timestamp: {
                    SQL_TIMESTAMP_STRUCT ts;
                    std::memcpy(&ts, cell, sizeof ts);
                    store.appendDateTime(epochMsecs(ts.year, ts.month, ts.day, ts.hour, ts.minute, ts.second,
                                                    int(ts.fraction / 1000000u)));
                    break;
                }
                case Fetch::Decimal: {
                    // Some drivers write ".5" / "-.5"; the layer's decimal text has the zero.
                    std::string_view d(cell, length);
                    if (!d.empty() && (d.front() == '.' || (d.size() > 1 && d[0] == '-' && d[1] == '.'))) {
                        text.assign(d.front() == '-' ? "-0" : "0");
                        text.append(d.substr(d.front() == '-' ? 1 : 0));
                        store.appendText(text);
                    } else {
                        store.appendText(d);
                    }
                    break;
                }
                case Fetch::Money: {
                    const std::string_view m(cell, length);
                    int64_t scaled = 0;
                    if (exact::parseMoney(m, scaled) == exact::MoneyResult::Ok)
                        store.appendMoney(scaled);
                    else
                        store.appendText(m); // not an amount: the column turns to text
                    break;
                }
                case Fetch::Binary:
                    store.appendText(std::string_view(cell, length));
                    break;
                case Fetch::Text:
                case Fetch::Guid: {
                    text.clear();
                    wideText.resize(length / 2);
                    std::memcpy(wideText.data(), cell, wideText.size() * 2);
                    if (c.how == Fetch::Guid) {
                        QString g = QString::fromUtf16(wideText.data(), qsizetype(wideText.size())).trimmed().toUpper();
                        if (!g.startsWith(QLatin1Char('{')))
                            g = QLatin1Char('{') + g + QLatin1Char('}');
                        store.appendText(g.toStdString());
                    } else {
                        odbc::appendUtf8(text, wideText.data(), wideText.size());
                        store.appendText(text);
                    }
                    break;
                }
                }
            }
        }
    }
    SQLFreeStmt(st, SQL_UNBIND);
    if (blockRows > 1)
        SQLSetStmtAttr(st, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(SQLULEN(1)), 0);
    SQLSetStmtAttr(st, SQL_ATTR_ROWS_FETCHED_PTR, nullptr, 0);
    cols.clear();
    if (drainRest_) {
        // Left pending, the source owns the statement's later results: read past them.
        for (;;) {
            const SQLRETURN more = SQLMoreResults(st);
            if (more == SQL_NO_DATA)
                break;
            st.check(more, QStringLiteral("讀取下一個結果失敗"));
        }
        st_.reset();
    }
    done_ = true;
    return true;
}


} // namespace data
