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

// A bound value of type T at an address the driver wrote (not necessarily aligned).
template <class T> T valueAt(const char *cell)
{
    T v;
    std::memcpy(&v, cell, sizeof v);
    return v;
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

// How a parameter is declared to the driver; its value is in its ParamBuffer.
struct ParamType {
    SQLSMALLINT cType = SQL_C_WCHAR;
    SQLSMALLINT sqlType = SQL_WVARCHAR;
    SQLULEN columnSize = 1;
    SQLSMALLINT digits = 0;
};

void putBytes(ParamBuffer &p, const void *src, size_t n)
{
    p.data.assign(static_cast<const char *>(src), static_cast<const char *>(src) + n);
    p.indicator = SQLLEN(n);
}

template <class T> void putValue(ParamBuffer &p, const T &value)
{
    putBytes(p, &value, sizeof value);
}

ParamType putBool(const QVariant &v, ParamBuffer &p)
{
    const unsigned char b = v.toBool() ? 1 : 0;
    putBytes(p, &b, 1);
    return {SQL_C_BIT, SQL_BIT};
}

ParamType putInteger(const QVariant &v, ParamBuffer &p)
{
    putValue(p, int64_t(v.toLongLong()));
    return {SQL_C_SBIGINT, SQL_BIGINT, 19};
}

ParamType putReal(const QVariant &v, ParamBuffer &p)
{
    putValue(p, v.toDouble());
    return {SQL_C_DOUBLE, SQL_DOUBLE, 15};
}

ParamType putBinary(const QVariant &v, ParamBuffer &p)
{
    const QByteArray bytes = v.toByteArray();
    putBytes(p, bytes.constData(), size_t(bytes.size()));
    return {SQL_C_BINARY, SQLSMALLINT(bytes.size() > qsizetype(kMaxBoundBytes) ? SQL_LONGVARBINARY : SQL_VARBINARY),
            SQLULEN(std::max<qsizetype>(bytes.size(), 1))};
}

SQL_DATE_STRUCT dateStruct(const QDate &d)
{
    SQL_DATE_STRUCT ds{};
    ds.year = SQLSMALLINT(d.year());
    ds.month = SQLUSMALLINT(d.month());
    ds.day = SQLUSMALLINT(d.day());
    return ds;
}

SQL_TIME_STRUCT timeStruct(const QTime &t)
{
    SQL_TIME_STRUCT ts{};
    ts.hour = SQLUSMALLINT(t.hour());
    ts.minute = SQLUSMALLINT(t.minute());
    ts.second = SQLUSMALLINT(t.second());
    return ts;
}

ParamType putDateTime(const QVariant &v, ParamBuffer &p)
{
    const QDateTime dt = v.toDateTime();
    const SQL_DATE_STRUCT d = dateStruct(dt.date());
    const SQL_TIME_STRUCT t = timeStruct(dt.time());
    const SQL_TIMESTAMP_STRUCT ts{d.year, d.month, d.day, t.hour, t.minute, t.second,
                                  SQLUINTEGER(dt.time().msec()) * 1000000u};
    putValue(p, ts);
    return {SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, 23, 3};
}

ParamType putDate(const QVariant &v, ParamBuffer &p)
{
    putValue(p, dateStruct(v.toDate()));
    return {SQL_C_TYPE_DATE, SQL_TYPE_DATE, 10};
}

ParamType putTime(const QVariant &v, ParamBuffer &p)
{
    putValue(p, timeStruct(v.toTime()));
    return {SQL_C_TYPE_TIME, SQL_TYPE_TIME, 8};
}

// Any other value travels as UTF-16 text, terminated.
ParamType putText(const QVariant &v, ParamBuffer &p)
{
    const QString s = v.toString();
    putBytes(p, s.utf16(), size_t(s.size()) * 2);
    p.data.push_back(0);
    p.data.push_back(0);
    return {SQL_C_WCHAR, SQLSMALLINT(s.size() > qsizetype(4000) ? SQL_WLONGVARCHAR : SQL_WVARCHAR),
            SQLULEN(std::max<qsizetype>(s.size(), 1))};
}

ParamType putParameter(const QVariant &v, ParamBuffer &p)
{
    switch (v.typeId()) {
    case QMetaType::Bool:
        return putBool(v, p);
    case QMetaType::Int: case QMetaType::UInt: case QMetaType::LongLong: case QMetaType::Long:
    case QMetaType::Short: case QMetaType::UShort: case QMetaType::Char: case QMetaType::SChar:
    case QMetaType::UChar: case QMetaType::ULong: case QMetaType::ULongLong:
        return putInteger(v, p);
    case QMetaType::Double: case QMetaType::Float:
        return putReal(v, p);
    case QMetaType::QByteArray:
        return putBinary(v, p);
    case QMetaType::QDateTime:
        return putDateTime(v, p);
    case QMetaType::QDate:
        return putDate(v, p);
    case QMetaType::QTime:
        return putTime(v, p);
    default:
        return putText(v, p);
    }
}

void bindParameter(Handle &st, SQLUSMALLINT number, const QVariant &v, ParamBuffer &p)
{
    // A NULL keeps the type its value would have had.
    const ParamType type = putParameter(v, p);
    if (!v.isValid() || v.isNull()) {
        p.data.clear();
        p.indicator = SQL_NULL_DATA;
    }
    const SQLRETURN rc = SQLBindParameter(st, number, SQL_PARAM_INPUT, type.cType, type.sqlType, type.columnSize,
                                          type.digits, p.data.empty() ? nullptr : p.data.data(),
                                          SQLLEN(p.data.size()), &p.indicator);
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

QVariant OdbcSession::lastInsertId(const QString &table)
{
    // @@IDENTITY survives the batch boundary, unlike SCOPE_IDENTITY(), but it is the last
    // number made in any scope: an insert trigger numbering a row of another table
    // replaces it. It counts only when it is also the table's current number. Other
    // sources have no portable way to ask.
    if (dialect_ != Dialect::SqlServer)
        return QVariant();
    try {
        auto rs = query(QStringLiteral("SELECT CAST(@@IDENTITY AS bigint), CAST(IDENT_CURRENT(?) AS bigint)"),
                        {QVariant(table)});
        if (rs->columns.size() < 2 || rs->rows.rowCount() == 0)
            return QVariant();
        const QVariant last = rs->rows.columns[0].value(0, rs->columns[0].type);
        const QVariant current = rs->rows.columns[1].value(0, rs->columns[1].type);
        if (last.isNull() || current.isNull() || last.toLongLong() != current.toLongLong())
            return QVariant();
        return last;
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
    // Plans every column; returns the bytes one row of bound buffers takes.
    size_t planColumns(const std::vector<ColumnInfo> &columns, const std::vector<SQLSMALLINT> &sqlTypes);
    bool anyUnbound() const;
    // Rows per fetch: as many as kBlockBytes of buffers hold, as the driver accepts.
    void chooseBlockRows(size_t rowWidth);
    void bindColumns();
    // Fetches the next block: through steps_ once the source is pending, registered as
    // the statement a stop cancels.
    SQLRETURN fetchBlock();
    void appendBlock(SQLULEN rows, const std::vector<ColumnInfo> &columns, RowStore &result);
    // Where a cell's value is: in its bound buffer, or read whole into raw_. False for NULL.
    bool locateCell(Column &c, SQLULEN row, const std::vector<ColumnInfo> &columns, const char *&cell,
                    size_t &length);
    // A bound value that did not fit its buffer is read again whole. False for NULL.
    bool refetchWhole(Column &c, SQLULEN row, const std::vector<ColumnInfo> &columns);
    void appendValue(Fetch how, const char *cell, size_t length, ColumnStore &store);
    void appendBoolText(std::string_view t, ColumnStore &store);
    void appendDecimal(std::string_view d, ColumnStore &store);
    void appendMoney(std::string_view m, ColumnStore &store);
    void appendWideText(Fetch how, const char *cell, size_t length, ColumnStore &store);
    // After the last row: the buffers are unbound and the statement set back to one row.
    void releaseBuffers();
    void drainLaterResults();

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

namespace {

QString columnAttributeText(Handle &st, SQLUSMALLINT col, SQLUSMALLINT field)
{
    SQLWCHAR buf[512] = {};
    SQLSMALLINT len = 0;
    if (!succeeded(SQLColAttributeW(st, col, field, buf, SQLSMALLINT(sizeof buf), &len, nullptr)))
        return QString();
    return fromWide(buf, std::min<qsizetype>(len / 2, qsizetype(sizeof buf / sizeof *buf) - 1));
}

SQLLEN columnAttributeNumber(Handle &st, SQLUSMALLINT col, SQLUSMALLINT field, SQLLEN fallback)
{
    SQLLEN v = fallback;
    if (!succeeded(SQLColAttributeW(st, col, field, nullptr, 0, nullptr, &v)))
        return fallback;
    return v;
}

// What a column's declared size sets in its ColumnInfo.
enum class Sizing { None, Length, Precision, Decimal, Guid };

struct SqlTypeRow {
    SQLSMALLINT sqlType;
    TFieldType type;
    Sizing sizing;
    bool fixedLength;
    bool ansi;
    bool isLong;
};

// One row per ODBC SQL type; the driver's own types are not listed (they read as text).
// Refinements that need more than the code (unsigned, money, unbounded) follow in
// columnOfSqlType.
constexpr SqlTypeRow kSqlTypes[] = {
    {SQL_CHAR, ftString, Sizing::Length, true, true, false},
    {SQL_VARCHAR, ftString, Sizing::Length, false, true, false},
    {SQL_LONGVARCHAR, ftMemo, Sizing::None, false, true, true},
    {SQL_WCHAR, ftWideString, Sizing::Length, true, false, false},
    {SQL_WVARCHAR, ftWideString, Sizing::Length, false, false, false},
    {SQL_WLONGVARCHAR, ftWideMemo, Sizing::None, false, false, true},
    {SQL_TINYINT, ftSmallint, Sizing::None, true, false, false},
    {SQL_SMALLINT, ftSmallint, Sizing::None, true, false, false},
    {SQL_INTEGER, ftInteger, Sizing::None, true, false, false},
    {SQL_BIGINT, ftLargeint, Sizing::None, true, false, false},
    {SQL_BIT, ftBoolean, Sizing::None, true, false, false},
    {SQL_REAL, ftFloat, Sizing::Precision, true, false, false},
    {SQL_FLOAT, ftFloat, Sizing::Precision, true, false, false},
    {SQL_DOUBLE, ftFloat, Sizing::Precision, true, false, false},
    {SQL_DECIMAL, ftBCD, Sizing::Decimal, true, false, false},
    {SQL_NUMERIC, ftBCD, Sizing::Decimal, true, false, false},
    {SQL_TYPE_DATE, ftDate, Sizing::None, true, false, false},
    {SQL_DATE, ftDate, Sizing::None, true, false, false},
    {SQL_TYPE_TIME, ftTime, Sizing::None, true, false, false},
    {SQL_TIME, ftTime, Sizing::None, true, false, false},
    {SQL_TYPE_TIMESTAMP, ftDateTime, Sizing::None, true, false, false},
    {SQL_TIMESTAMP, ftDateTime, Sizing::None, true, false, false},
    {SQL_BINARY, ftVarBytes, Sizing::Length, true, false, false},
    {SQL_VARBINARY, ftVarBytes, Sizing::Length, false, false, false},
    {SQL_LONGVARBINARY, ftBlob, Sizing::None, false, false, true},
    {SQL_GUID, ftGuid, Sizing::Guid, true, false, false},
};

void applySizing(ColumnInfo &c, Sizing sizing, int size, SQLSMALLINT digits)
{
    switch (sizing) {
    case Sizing::None: break;
    case Sizing::Length: c.size = size; break;
    case Sizing::Precision: c.precision = size; break;
    case Sizing::Decimal:
        c.precision = size;
        c.scale = digits;
        c.size = digits;
        break;
    case Sizing::Guid: c.size = 38; break;
    }
}

void makeLong(ColumnInfo &c, TFieldType type)
{
    c.type = type;
    c.isLong = true;
    c.size = 0;
}

// Driver-specific types (sql_variant, xml, intervals, ...) read as text.
ColumnInfo driverSpecificColumn(SQLULEN size, int sizeInt)
{
    ColumnInfo c;
    c.type = ftWideString;
    c.size = size > 0 && size <= kMaxBoundChars ? sizeInt : 0;
    if (c.size == 0) {
        c.type = ftWideMemo;
        c.isLong = true;
    }
    return c;
}

ColumnInfo columnOfSqlType(SQLSMALLINT sqlType, SQLULEN size, SQLSMALLINT digits, const QString &typeName,
                           bool isUnsigned)
{
    const int sizeInt = size > SQLULEN(INT32_MAX) ? 0 : int(size);
    const auto row = std::find_if(std::begin(kSqlTypes), std::end(kSqlTypes),
                                  [&](const SqlTypeRow &r) { return r.sqlType == sqlType; });
    if (row == std::end(kSqlTypes))
        return driverSpecificColumn(size, sizeInt);
    ColumnInfo c;
    c.type = row->type;
    c.fixedLength = row->fixedLength;
    c.ansi = row->ansi;
    c.isLong = row->isLong;
    applySizing(c, row->sizing, sizeInt, digits);
    if (c.type == ftSmallint && isUnsigned)
        c.type = ftWord;
    if (c.type == ftBCD && typeName.contains(QLatin1String("money")))
        c.type = ftCurrency;
    if (c.type == ftVarBytes && (sizeInt == 0 || size > kMaxBoundBytes))
        makeLong(c, ftBlob);
    return c;
}

// Refinements that hold whatever the type code: Booleans sent as text, and text without
// a usable bound.
void settleTextColumn(ColumnInfo &c, SQLSMALLINT sqlType, SQLULEN size, const QString &typeName)
{
    // Character types whose declared name says Boolean (drivers that hand Booleans
    // over as "1"/"0" or "t"/"f" text).
    if (isCharType(sqlType) && (typeName == QLatin1String("bool") || typeName == QLatin1String("boolean"))) {
        c.type = ftBoolean;
        c.size = 0;
        c.ansi = false;
        c.isLong = false;
        c.fixedLength = true;
    }
    const int sizeInt = size > SQLULEN(INT32_MAX) ? 0 : int(size);
    if ((c.type == ftString || c.type == ftWideString) && (sizeInt == 0 || size > kMaxBoundChars)) {
        // No usable bound: a memo as far as anyone above can tell.
        makeLong(c, c.type == ftString ? ftMemo : ftWideMemo);
    }
}

// Nullability, identity, updatability and where the column comes from.
void describeOrigin(Handle &st, SQLUSMALLINT col, SQLSMALLINT nullable, ColumnInfo &c)
{
    c.nullable = nullable != SQL_NO_NULLS;
    c.autoIncrement = columnAttributeNumber(st, col, SQL_DESC_AUTO_UNIQUE_VALUE, SQL_FALSE) == SQL_TRUE;
    if (c.autoIncrement && c.type == ftInteger)
        c.type = ftAutoInc;
    const SQLLEN updatable = columnAttributeNumber(st, col, SQL_DESC_UPDATABLE, SQL_ATTR_READWRITE_UNKNOWN);
    c.readOnly = updatable == SQL_ATTR_READONLY;
    c.baseColumn = columnAttributeText(st, col, SQL_DESC_BASE_COLUMN_NAME);
    c.baseTable = columnAttributeText(st, col, SQL_DESC_BASE_TABLE_NAME);
    if (c.baseTable.isEmpty())
        c.baseTable = columnAttributeText(st, col, SQL_DESC_TABLE_NAME);
    c.baseSchema = columnAttributeText(st, col, SQL_DESC_SCHEMA_NAME);
    c.baseCatalog = columnAttributeText(st, col, SQL_DESC_CATALOG_NAME);
    if (c.baseTable.isEmpty())
        c.baseColumn.clear(); // an expression, whatever the driver echoes
}

} // namespace

void OdbcSession::describe(Handle &st, SQLSMALLINT count, std::vector<ColumnInfo> &columns,
                           std::vector<SQLSMALLINT> &sqlTypes)
{
    columns.clear();
    sqlTypes.clear();
    for (SQLSMALLINT i = 1; i <= count; ++i) {
        const SQLUSMALLINT col = SQLUSMALLINT(i);
        SQLWCHAR name[512] = {};
        SQLSMALLINT nameLen = 0, sqlType = 0, digits = 0, nullable = SQL_NULLABLE_UNKNOWN;
        SQLULEN size = 0;
        st.check(SQLDescribeColW(st, col, name, SQLSMALLINT(sizeof name / sizeof *name), &nameLen,
                                 &sqlType, &size, &digits, &nullable),
                 QStringLiteral("SQLDescribeCol"));
        const QString typeName = columnAttributeText(st, col, SQL_DESC_TYPE_NAME).toLower();
        const bool isUnsigned = columnAttributeNumber(st, col, SQL_DESC_UNSIGNED, SQL_FALSE) == SQL_TRUE;
        ColumnInfo c = columnOfSqlType(sqlType, size, digits, typeName, isUnsigned);
        c.name = fromWide(name, std::min<qsizetype>(nameLen, qsizetype(sizeof name / sizeof *name) - 1));
        settleTextColumn(c, sqlType, size, typeName);
        describeOrigin(st, col, nullable, c);
        columns.push_back(c);
        sqlTypes.push_back(sqlType);
    }
}

namespace {

Column fetchPlan(Fetch how, SQLSMALLINT cType, SQLLEN width, bool bound = true)
{
    Column c;
    c.how = how;
    c.cType = cType;
    c.width = width;
    c.bound = bound;
    return c;
}

// How one column is fetched and whether it can be bound.
Column planColumn(const ColumnInfo &info, SQLSMALLINT sqlType)
{
    switch (info.type) {
    case ftSmallint: case ftInteger: case ftWord: case ftLargeint: case ftAutoInc:
        return fetchPlan(Fetch::Int, SQL_C_SBIGINT, sizeof(int64_t));
    case ftBoolean:
        return isCharType(sqlType) ? fetchPlan(Fetch::BoolText, SQL_C_CHAR, 16) : fetchPlan(Fetch::Bit, SQL_C_BIT, 1);
    case ftCurrency: // as text: a double cannot carry every amount of money
        return fetchPlan(Fetch::Money, SQL_C_CHAR, 48);
    case ftFloat:
        return fetchPlan(Fetch::Real, SQL_C_DOUBLE, sizeof(double));
    case ftBCD: case ftFMTBcd:
        return fetchPlan(Fetch::Decimal, SQL_C_CHAR, std::max<SQLLEN>(info.precision + 4, 48), info.precision <= 200);
    case ftDate:
        return fetchPlan(Fetch::Date, SQL_C_TYPE_DATE, sizeof(SQL_DATE_STRUCT));
    case ftTime:
        return fetchPlan(Fetch::Time, SQL_C_TYPE_TIME, sizeof(SQL_TIME_STRUCT));
    case ftDateTime:
        return fetchPlan(Fetch::Timestamp, SQL_C_TYPE_TIMESTAMP, sizeof(SQL_TIMESTAMP_STRUCT));
    case ftGuid:
        return fetchPlan(Fetch::Guid, SQL_C_WCHAR, 40 * 2);
    case ftVarBytes: case ftBytes:
        return fetchPlan(Fetch::Binary, SQL_C_BINARY, std::max(info.size, 1));
    case ftBlob: case ftGraphic:
        return fetchPlan(Fetch::Binary, SQL_C_BINARY, 0, false);
    case ftMemo: case ftWideMemo:
        return fetchPlan(Fetch::Text, SQL_C_WCHAR, 0, false);
    default:
        return fetchPlan(Fetch::Text, SQL_C_WCHAR, (SQLLEN(info.size) + 1) * 2, info.size > 0);
    }
}

} // namespace

OdbcRowSource::OdbcRowSource(OdbcSession &owner, Handle statement, int getDataExtensions,
                             const std::vector<ColumnInfo> &columns, const std::vector<SQLSMALLINT> &sqlTypes)
    : owner_(owner), st_(std::move(statement)), getDataExtensions_(getDataExtensions), cols_(columns.size())
{
    const size_t rowWidth = planColumns(columns, sqlTypes);
    chooseBlockRows(rowWidth);
    bindColumns();
}

size_t OdbcRowSource::planColumns(const std::vector<ColumnInfo> &columns, const std::vector<SQLSMALLINT> &sqlTypes)
{
    size_t rowWidth = 0;
    for (size_t i = 0; i < columns.size(); ++i) {
        Column &c = cols_[i];
        c = planColumn(columns[i], sqlTypes[i]);
        c.number = SQLUSMALLINT(i + 1);
        if (c.bound)
            rowWidth += size_t(c.width) + sizeof(SQLLEN);
    }
    // Without SQLGetData on any column, only the columns before the first unbound one
    // may be bound.
    if (anyUnbound() && !(getDataExtensions_ & SQL_GD_ANY_COLUMN)) {
        bool seenUnbound = false;
        for (auto &c : cols_) {
            if (!c.bound)
                seenUnbound = true;
            else if (seenUnbound)
                c.bound = false;
        }
    }
    return rowWidth;
}

bool OdbcRowSource::anyUnbound() const
{
    return std::any_of(cols_.begin(), cols_.end(), [](const Column &c) { return !c.bound; });
}

void OdbcRowSource::chooseBlockRows(size_t rowWidth)
{
    blockRows_ = anyUnbound() ? 1 : kBlockRows;
    if (rowWidth > 0)
        blockRows_ = std::clamp<SQLULEN>(SQLULEN(kBlockBytes / rowWidth), 1, blockRows_);

    st_.check(SQLSetStmtAttr(st_, SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN), 0),
              QStringLiteral("SQLSetStmtAttr"));
    if (blockRows_ > 1) {
        const SQLRETURN rc = SQLSetStmtAttr(st_, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(blockRows_), 0);
        if (!succeeded(rc))
            blockRows_ = 1; // the driver fetches one row at a time
    }
    if (blockRows_ > 1) {
        // The driver may have lowered the size it accepted.
        SQLULEN accepted = blockRows_;
        if (succeeded(SQLGetStmtAttr(st_, SQL_ATTR_ROW_ARRAY_SIZE, &accepted, 0, nullptr)) && accepted >= 1)
            blockRows_ = accepted;
    }
}

void OdbcRowSource::bindColumns()
{
    st_.check(SQLSetStmtAttr(st_, SQL_ATTR_ROWS_FETCHED_PTR, &fetched_, 0), QStringLiteral("SQLSetStmtAttr"));
    for (auto &c : cols_) {
        if (!c.bound)
            continue;
        c.buffer.assign(size_t(c.width) * blockRows_, 0);
        c.indicators.assign(blockRows_, 0);
        st_.check(SQLBindCol(st_, c.number, c.cType, c.buffer.data(), c.width, c.indicators.data()),
                  QStringLiteral("SQLBindCol"));
    }
}

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
        // Failing inside the step lets the session see a link that died under the fetch;
        // the end of a stopped fetch stays the step's own (it ends as stopped).
        if (!owner_.stopRequested())
            st_.check(rc, QStringLiteral("讀取資料列失敗"));
    });
    return rc;
}

bool OdbcRowSource::fetchMore(std::vector<ColumnInfo> &columns, RowStore &result, const FetchBudget &budget)
{
    if (done_ || !st_)
        return true;
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
        fetched_ = 0;
        const SQLRETURN rc = fetchBlock();
        if (rc == SQL_NO_DATA)
            break;
        st_.check(rc, QStringLiteral("讀取資料列失敗"));
        const SQLULEN rows = blockRows_ > 1 ? fetched_ : 1;
        rowsThisCall += rows;
        appendBlock(rows, columns, result);
    }
    releaseBuffers();
    if (drainRest_)
        drainLaterResults();
    done_ = true;
    return true;
}

void OdbcRowSource::appendBlock(SQLULEN rows, const std::vector<ColumnInfo> &columns, RowStore &result)
{
    const size_t n = cols_.size();
    for (SQLULEN r = 0; r < rows; ++r) {
        for (size_t i = 0; i < n; ++i) {
            Column &c = cols_[i];
            ColumnStore &store = result.columns[i];
            const char *cell = nullptr;
            size_t length = 0;
            if (locateCell(c, r, columns, cell, length))
                appendValue(c.how, cell, length, store);
            else
                store.appendNull();
        }
    }
}

bool OdbcRowSource::locateCell(Column &c, SQLULEN row, const std::vector<ColumnInfo> &columns, const char *&cell,
                               size_t &length)
{
    if (c.bound) {
        const SQLLEN ind = c.indicators[row];
        if (ind == SQL_NULL_DATA)
            return false;
        cell = c.buffer.data() + size_t(c.width) * row;
        length = ind == SQL_NO_TOTAL ? size_t(c.width) : size_t(ind);
        const size_t terminator = c.cType == SQL_C_WCHAR ? 2 : (c.cType == SQL_C_CHAR ? 1 : 0);
        const bool variable = c.cType == SQL_C_WCHAR || c.cType == SQL_C_CHAR || c.cType == SQL_C_BINARY;
        if (!variable || (ind != SQL_NO_TOTAL && length <= size_t(c.width) - terminator))
            return true;
        if (!refetchWhole(c, row, columns))
            return false;
    } else if (!getWholeValue(st_, c.number, c.cType, raw_)) {
        return false;
    }
    cell = raw_.data();
    length = raw_.size();
    return true;
}

bool OdbcRowSource::refetchWhole(Column &c, SQLULEN row, const std::vector<ColumnInfo> &columns)
{
    if (blockRows_ > 1) {
        if (!(getDataExtensions_ & SQL_GD_BLOCK))
            throw DatabaseError(QStringLiteral("欄位 %1 的值比驅動程式宣告的長度還長")
                                    .arg(columns[c.number - 1].name),
                                QStringLiteral("01004"));
        st_.check(SQLSetPos(st_, SQLSETPOSIROW(row + 1), SQL_POSITION, SQL_LOCK_NO_CHANGE),
                  QStringLiteral("SQLSetPos"));
    }
    return getWholeValue(st_, c.number, c.cType, raw_);
}

void OdbcRowSource::appendValue(Fetch how, const char *cell, size_t length, ColumnStore &store)
{
    switch (how) {
    case Fetch::Int:
        store.appendInt(valueAt<int64_t>(cell));
        break;
    case Fetch::Bit:
        store.appendInt(*reinterpret_cast<const unsigned char *>(cell) ? 1 : 0);
        break;
    case Fetch::BoolText:
        appendBoolText(std::string_view(cell, length), store);
        break;
    case Fetch::Real:
        store.appendReal(valueAt<double>(cell));
        break;
    case Fetch::Date: {
        const auto d = valueAt<SQL_DATE_STRUCT>(cell);
        store.appendDateTime(epochMsecs(d.year, d.month, d.day, 0, 0, 0, 0));
        break;
    }
    case Fetch::Time: {
        const auto t = valueAt<SQL_TIME_STRUCT>(cell);
        store.appendDateTime(kTimeOnlyDayMsecs + ((int64_t(t.hour) * 60 + t.minute) * 60 + t.second) * 1000);
        break;
    }
    case Fetch::Timestamp: {
        const auto ts = valueAt<SQL_TIMESTAMP_STRUCT>(cell);
        store.appendDateTime(epochMsecs(ts.year, ts.month, ts.day, ts.hour, ts.minute, ts.second,
                                        int(ts.fraction / 1000000u)));
        break;
    }
    case Fetch::Decimal:
        appendDecimal(std::string_view(cell, length), store);
        break;
    case Fetch::Money:
        appendMoney(std::string_view(cell, length), store);
        break;
    case Fetch::Binary:
        store.appendText(std::string_view(cell, length));
        break;
    case Fetch::Text:
    case Fetch::Guid:
        appendWideText(how, cell, length, store);
        break;
    }
}

void OdbcRowSource::appendBoolText(std::string_view t, ColumnStore &store)
{
    bool b = false;
    if (parseBoolText(t, b))
        store.appendInt(b ? 1 : 0);
    else
        store.appendText(t);
}

void OdbcRowSource::appendDecimal(std::string_view d, ColumnStore &store)
{
    // Some drivers write ".5" / "-.5"; the layer's decimal text has the zero.
    if (!d.empty() && (d.front() == '.' || (d.size() > 1 && d[0] == '-' && d[1] == '.'))) {
        text_.assign(d.front() == '-' ? "-0" : "0");
        text_.append(d.substr(d.front() == '-' ? 1 : 0));
        store.appendText(text_);
    } else {
        store.appendText(d);
    }
}

void OdbcRowSource::appendMoney(std::string_view m, ColumnStore &store)
{
    int64_t scaled = 0;
    if (exact::parseMoney(m, scaled) == exact::MoneyResult::Ok)
        store.appendMoney(scaled);
    else
        store.appendText(m); // not an amount: the column turns to text
}

void OdbcRowSource::appendWideText(Fetch how, const char *cell, size_t length, ColumnStore &store)
{
    text_.clear();
    wideText_.resize(length / 2);
    std::memcpy(wideText_.data(), cell, wideText_.size() * 2);
    if (how == Fetch::Guid) {
        QString g = QString::fromUtf16(wideText_.data(), qsizetype(wideText_.size())).trimmed().toUpper();
        if (!g.startsWith(QLatin1Char('{')))
            g = QLatin1Char('{') + g + QLatin1Char('}');
        store.appendText(g.toStdString());
    } else {
        odbc::appendUtf8(text_, wideText_.data(), wideText_.size());
        store.appendText(text_);
    }
}

void OdbcRowSource::releaseBuffers()
{
    SQLFreeStmt(st_, SQL_UNBIND);
    if (blockRows_ > 1)
        SQLSetStmtAttr(st_, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(SQLULEN(1)), 0);
    SQLSetStmtAttr(st_, SQL_ATTR_ROWS_FETCHED_PTR, nullptr, 0);
    cols_.clear();
}

// Left pending, the source owns the statement's later results: read past them.
void OdbcRowSource::drainLaterResults()
{
    for (;;) {
        const SQLRETURN more = SQLMoreResults(st_);
        if (more == SQL_NO_DATA)
            break;
        st_.check(more, QStringLiteral("讀取下一個結果失敗"));
    }
    st_.reset();
}


} // namespace data
