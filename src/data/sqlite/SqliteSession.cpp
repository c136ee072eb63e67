#include "data/sqlite/SqliteSession.h"
#include "data/core/ConnectionString.h"
#include "data/core/DatabaseError.h"
#include "data/core/SessionOpening.h"
#include "data/core/Providers.h"
#include "data/core/StatementText.h"
#include <QDateTime>
#include <QFileInfo>
#include <cmath>
#include <limits>
#include <map>
#include <optional>
#include <set>
#include <sqlite3.h>
#include <thread>
#include <utility>

namespace data {

// ---- declared types ---------------------------------------------------------------

SqliteDeclaredType sqliteDeclaredType(const QString &declared)
{
    SqliteDeclaredType t;
    const QString decl = declared.trimmed().toUpper();
    if (decl.isEmpty())
        return t;
    // "(n)" or "(p,s)" after the name.
    QList<int> args;
    const qsizetype open = decl.indexOf(QLatin1Char('('));
    const QString name = (open < 0 ? decl : decl.left(open)).trimmed();
    if (open >= 0) {
        const qsizetype close = decl.indexOf(QLatin1Char(')'), open);
        const QString inner = decl.mid(open + 1, close < 0 ? -1 : close - open - 1);
        for (const QString &part : inner.split(QLatin1Char(','))) {
            bool ok = false;
            const int v = part.trimmed().toInt(&ok);
            if (!ok)
                break;
            args << v;
        }
    }
    auto has = [&](const char *word) { return name.contains(QLatin1String(word)); };

    if (name.startsWith(QLatin1String("BOOL")) || name == QLatin1String("BIT")) {
        t.type = ftBoolean;
    } else if (has("MONEY") || has("CURRENCY")) {
        t.type = ftCurrency;
    } else if (has("BIGINT") || has("BIG INT") || has("INT8")) {
        t.type = ftLargeint;
    } else if (has("INT")) {
        t.type = ftInteger;
    } else if (has("CLOB") || has("MEMO") || has("NTEXT")) {
        t.type = ftWideMemo;
        t.isLong = true;
    } else if (has("CHAR") || has("TEXT")) {
        t.type = ftWideString;
        t.size = args.isEmpty() ? 0 : std::max(0, args[0]);
        // CHAR(n) / NCHAR(n) / CHARACTER(n) hold padded values; VARCHAR and friends do not.
        t.fixedLength = t.size > 0 && !has("VAR") && !has("TEXT");
    } else if (has("BLOB") || has("BINARY") || has("IMAGE")) {
        t.type = ftBlob;
        t.isLong = true;
    } else if (has("REAL") || has("FLOA") || has("DOUB")) {
        t.type = ftFloat;
    } else if (has("NUMERIC") || has("DECIMAL")) {
        t.type = ftBCD;
        if (!args.isEmpty()) {
            t.hasPrecision = true;
            t.precision = args[0];
            t.scale = args.size() > 1 ? args[1] : 0;
            t.size = t.scale;
        }
    } else if (has("DATETIME") || has("TIMESTAMP")) {
        t.type = ftDateTime;
    } else if (name.startsWith(QLatin1String("DATE"))) {
        t.type = ftDate;
    } else if (name.startsWith(QLatin1String("TIME"))) {
        t.type = ftTime;
    } else {
        // Any other name (JSON, VARIANT, ...): keep the values as text.
        t.type = ftWideString;
    }
    return t;
}

// ---- helpers ----------------------------------------------------------------------

namespace {

struct Statement {
    sqlite3_stmt *st = nullptr;
    Statement() = default;
    explicit Statement(sqlite3_stmt *s) : st(s) {}
    Statement(Statement &&other) noexcept : st(std::exchange(other.st, nullptr)) {}
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;
    Statement &operator=(Statement &&other) noexcept
    {
        std::swap(st, other.st);
        return *this;
    }
    ~Statement() { sqlite3_finalize(st); }
};

QString utf8(const unsigned char *text)
{
    return text ? QString::fromUtf8(reinterpret_cast<const char *>(text)) : QString();
}

QString utf8(const char *text)
{
    return text ? QString::fromUtf8(text) : QString();
}

// The first keyword of a statement, past blanks and comments.
QByteArray leadingKeyword(const char *sql)
{
    const char *p = sql;
    for (;;) {
        while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n' || *p == '\f')
            ++p;
        if (p[0] == '-' && p[1] == '-') {
            while (*p && *p != '\n')
                ++p;
        } else if (p[0] == '/' && p[1] == '*') {
            p += 2;
            while (*p && !(p[0] == '*' && p[1] == '/'))
                ++p;
            if (*p)
                p += 2;
        } else {
            break;
        }
    }
    QByteArray word;
    while ((*p >= 'A' && *p <= 'Z') || (*p >= 'a' && *p <= 'z'))
        word += char(*p++ & ~0x20);
    return word;
}

// INSERT, UPDATE and DELETE are the statements whose row counts callers ask for;
// sqlite3_changes keeps the previous statement's count across anything else.
bool isDataChange(sqlite3_stmt *st)
{
    if (sqlite3_stmt_readonly(st))
        return false;
    const QByteArray word = leadingKeyword(sqlite3_sql(st));
    return word == "INSERT" || word == "UPDATE" || word == "DELETE" || word == "REPLACE" ||
           word == "WITH";
}

// Dates go to SQLite as the ISO text its own date functions use; the same text is what
// the reader below accepts as a date, so values written and compared round-trip.
QString isoDate(const QDate &d)
{
    return QString::asprintf("%04d-%02d-%02d", d.year(), d.month(), d.day());
}

QString isoTime(const QTime &t)
{
    QString s = QString::asprintf("%02d:%02d:%02d", t.hour(), t.minute(), t.second());
    if (t.msec())
        s += QString::asprintf(".%03d", t.msec());
    return s;
}

int bindValue(sqlite3_stmt *st, int index, const QVariant &v)
{
    if (!v.isValid() || v.isNull())
        return sqlite3_bind_null(st, index);
    switch (v.typeId()) {
    case QMetaType::Bool:
        return sqlite3_bind_int64(st, index, v.toBool() ? 1 : 0);
    case QMetaType::Int: case QMetaType::Long: case QMetaType::LongLong: case QMetaType::Short:
    case QMetaType::Char: case QMetaType::SChar: case QMetaType::UInt: case QMetaType::UShort:
    case QMetaType::UChar:
        return sqlite3_bind_int64(st, index, v.toLongLong());
    case QMetaType::ULong: case QMetaType::ULongLong: {
        const qulonglong u = v.toULongLong();
        if (u <= qulonglong(std::numeric_limits<qint64>::max()))
            return sqlite3_bind_int64(st, index, qint64(u));
        const QByteArray text = QByteArray::number(u);
        return sqlite3_bind_text(st, index, text.constData(), int(text.size()), SQLITE_TRANSIENT);
    }
    case QMetaType::Double: case QMetaType::Float:
        return sqlite3_bind_double(st, index, v.toDouble());
    case QMetaType::QByteArray: {
        const QByteArray bytes = v.toByteArray();
        return sqlite3_bind_blob64(st, index, bytes.constData(), sqlite3_uint64(bytes.size()),
                                   SQLITE_TRANSIENT);
    }
    case QMetaType::QDateTime: {
        const QDateTime dt = v.toDateTime();
        const QByteArray text = (isoDate(dt.date()) + QLatin1Char(' ') + isoTime(dt.time())).toUtf8();
        return sqlite3_bind_text(st, index, text.constData(), int(text.size()), SQLITE_TRANSIENT);
    }
    case QMetaType::QDate: {
        const QByteArray text = isoDate(v.toDate()).toUtf8();
        return sqlite3_bind_text(st, index, text.constData(), int(text.size()), SQLITE_TRANSIENT);
    }
    case QMetaType::QTime: {
        const QByteArray text = isoTime(v.toTime()).toUtf8();
        return sqlite3_bind_text(st, index, text.constData(), int(text.size()), SQLITE_TRANSIENT);
    }
    default: {
        const QByteArray text = v.toString().toUtf8();
        return sqlite3_bind_text(st, index, text.constData(), int(text.size()), SQLITE_TRANSIENT);
    }
    }
}

// Days since 1970-01-01 in the proleptic Gregorian calendar (as QDate counts).
int64_t daysFromCivil(int y, int m, int d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

inline bool digits(const char *s, int n, int &out)
{
    int v = 0;
    for (int i = 0; i < n; ++i) {
        const unsigned d = unsigned(s[i] - '0');
        if (d > 9)
            return false;
        v = v * 10 + int(d);
    }
    out = v;
    return true;
}

inline bool parseClock(const char *s, int len, int64_t &ms)
{
    int h, mi, sec, milli = 0;
    if (len != 8 && len != 12)
        return false;
    if (s[2] != ':' || s[5] != ':' || !digits(s, 2, h) || !digits(s + 3, 2, mi) ||
        !digits(s + 6, 2, sec) || h > 23 || mi > 59 || sec > 59)
        return false;
    if (len == 12) {
        // ".000" would come back without the fraction: not the text that was stored.
        if (s[8] != '.' || !digits(s + 9, 3, milli) || milli == 0)
            return false;
    }
    ms = ((h * 60 + mi) * 60 + sec) * 1000LL + milli;
    return true;
}

inline bool parseDay(const char *s, int64_t &days)
{
    int y, m, d;
    if (s[4] != '-' || s[7] != '-' || !digits(s, 4, y) || !digits(s + 5, 2, m) ||
        !digits(s + 8, 2, d) || y < 1 || m < 1 || m > 12 || d < 1)
        return false;
    static const int monthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    if (d > monthDays[m - 1] + (m == 2 && leap))
        return false;
    days = daysFromCivil(y, m, d);
    return true;
}

// A date held as text, accepted only in the exact form the binder writes back
// ("yyyy-MM-dd", "HH:mm:ss[.zzz]", "yyyy-MM-dd HH:mm:ss[.zzz]"), so that a value read,
// shown and compared in a WHERE clause is the very text that is stored.
bool parseStoredDate(const char *s, int len, TFieldType type, int64_t &msecs)
{
    constexpr int64_t msPerDay = 86400000LL;
    int64_t days = 0, clock = 0;
    switch (type) {
    case ftDate:
        if (len != 10 || !parseDay(s, days))
            return false;
        msecs = days * msPerDay;
        return true;
    case ftTime:
        if (!parseClock(s, len, clock))
            return false;
        msecs = daysFromCivil(1899, 12, 30) * msPerDay + clock;
        return true;
    default:
        if (len < 19 || s[10] != ' ' || !parseDay(s, days) || !parseClock(s + 11, len - 11, clock))
            return false;
        msecs = days * msPerDay + clock;
        return true;
    }
}

bool validUtf8(std::string_view s)
{
    size_t i = 0;
    const size_t n = s.size();
    while (i < n) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        int extra;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
        } else {
            return false;
        }
        if (i + size_t(extra) >= n)
            return false;
        for (int k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(s[i + size_t(k)]) & 0xC0) != 0x80)
                return false;
        i += size_t(extra) + 1;
    }
    return true;
}

constexpr int64_t kExactDoubleLimit = int64_t(1) << 53;

// How one result column is filled while stepping.
struct ColumnPlan {
    ColumnStore *store = nullptr;
    TFieldType type = ftUnknown;
    bool pending = false; // no declared type: decided by the first value
    size_t pendingNulls = 0;
    bool sawBlob = false;
    bool sawText = false; // text in an exact-decimal column: not a number after all
};

void decide(ColumnPlan &p, ColumnInfo &info, TFieldType type)
{
    // Earlier slices left their NULLs in the store; this slice's are only counted.
    const size_t nulls = p.store->size() + p.pendingNulls;
    p.type = info.type = type;
    info.isLong = type == ftBlob;
    *p.store = ColumnStore(storageFor(type));
    for (size_t i = 0; i < nulls; ++i)
        p.store->appendNull();
    p.pendingNulls = 0;
    p.pending = false;
}

} // namespace

// ---- session ----------------------------------------------------------------------

int sqliteProgress(void *session)
{
    auto *s = static_cast<SqliteSession *>(session);
    if (std::chrono::steady_clock::now() >= s->deadline_) {
        s->timedOut_ = true;
        return 1;
    }
    return 0;
}

// SQLite's wait for a lock another connection holds, in short sleeps, so that a stop
// (or a login given up) ends it at once instead of after the whole busy timeout.
int sqliteBusy(void *session, int attempt)
{
    auto *s = static_cast<SqliteSession *>(session);
    const auto now = std::chrono::steady_clock::now();
    if (attempt == 0)
        s->busySince_ = now;
    const auto left = s->busyTimeout_ - (now - s->busySince_);
    if (s->stopRequested() || openingAbandoned() || left <= std::chrono::steady_clock::duration::zero())
        return 0;
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(left, std::chrono::milliseconds(10)));
    return 1;
}

QString sqliteLockedText(std::chrono::milliseconds waited)
{
    return QStringLiteral("資料庫檔案被另一個程式鎖定，已等候 %1 秒仍未解除，請稍後再試。")
        .arg(double(waited.count()) / 1000.0);
}

namespace {

bool isBusy(int code)
{
    return (code & 0xFF) == SQLITE_BUSY;
}

// Why a write failed, for the failures a person can mend on the file's side; empty for
// the rest, whose SQLite text stands alone.
QString unwritableText(int code)
{
    switch (code & 0xFF) {
    case SQLITE_READONLY:
        return QStringLiteral("資料庫檔案是唯讀的（檔案或所在資料夾不能寫入），變更沒有寫入。");
    case SQLITE_FULL:
        return QStringLiteral("磁碟空間已滿，資料庫檔案無法寫入，變更沒有寫入。");
    default:
        return QString();
    }
}

class TimeoutGuard {
public:
    TimeoutGuard(sqlite3 *db, int seconds, void *session, std::chrono::steady_clock::time_point &deadline,
                 bool &timedOut)
        : db_(db), timedOut_(timedOut), active_(seconds > 0)
    {
        timedOut = false;
        if (active_) {
            deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
            sqlite3_progress_handler(db_, 1000, sqliteProgress, session);
        }
    }
    ~TimeoutGuard()
    {
        if (active_)
            sqlite3_progress_handler(db_, 0, nullptr, nullptr);
        timedOut_ = false; // the error, if any, has been raised by now
    }

private:
    sqlite3 *db_;
    bool &timedOut_;
    bool active_;
};

} // namespace

SqliteSession::SqliteSession(const ConnectionString &cs)
{
    file_ = cs.value(QStringLiteral("Data Source")).trimmed();
    if (file_.isEmpty())
        throw DatabaseError(QStringLiteral("沒有指定 SQLite 資料庫檔 (Data Source 是空的)。"));
    const QString mode = cs.value(QStringLiteral("Mode")).trimmed().toLower();
    const bool create = mode.contains(QLatin1String("create"));
    const bool readOnly = mode == QLatin1String("1") ||
                          (mode.contains(QLatin1String("read")) && !mode.contains(QLatin1String("write")));
    const bool memory = file_ == QLatin1String(":memory:");
    if (!memory && !create && !QFileInfo::exists(file_))
        throw DatabaseError(QStringLiteral("無法開啟資料庫檔 %1：檔案不存在 (unable to open database file)").arg(file_),
                            QString(), SQLITE_CANTOPEN);

    // A session belongs to one thread at a time, so SQLite need not lock around every
    // column read.
    int flags = (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX;
    if (create && !readOnly)
        flags |= SQLITE_OPEN_CREATE;
    const int rc = sqlite3_open_v2(file_.toUtf8().constData(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
        const QString text = db_ ? utf8(sqlite3_errmsg(db_)) : QString::fromUtf8(sqlite3_errstr(rc));
        sqlite3_close(db_);
        db_ = nullptr;
        throw DatabaseError(QStringLiteral("%1: %2").arg(text, file_), QString(), rc);
    }
    sqlite3_extended_result_codes(db_, 1);
    bool ok = false;
    int timeout = cs.value(QStringLiteral("Connect Timeout")).trimmed().toInt(&ok);
    if (!ok || timeout < 0)
        timeout = 15;
    busyTimeout_ = std::chrono::milliseconds(qint64(timeout) * 1000);
    sqlite3_busy_handler(db_, &sqliteBusy, this);

    database_ = memory ? QStringLiteral("main") : QFileInfo(file_).completeBaseName();
    if (database_.isEmpty())
        database_ = QStringLiteral("main");

    // Opening is lazy in SQLite: read the schema now, so that a file that is not a
    // database fails here with SQLite's own text rather than at the first query.
    char *err = nullptr;
    if (sqlite3_exec(db_, "SELECT count(*) FROM sqlite_schema", nullptr, nullptr, &err) != SQLITE_OK) {
        QString text = utf8(err);
        const int code = sqlite3_extended_errcode(db_);
        sqlite3_free(err);
        sqlite3_close(db_);
        db_ = nullptr;
        if (isBusy(code))
            text = sqliteLockedText(busyTimeout_) + QLatin1Char('\n') + text;
        throw DatabaseError(QStringLiteral("%1: %2").arg(text, file_), QString(), code);
    }
}

SqliteSession::~SqliteSession()
{
    sqlite3_close_v2(db_);
}

QString SqliteSession::defaultDatabase()
{
    return database_;
}

QString SqliteSession::serverVersion()
{
    return QStringLiteral("SQLite ") + QString::fromLatin1(sqlite3_libversion());
}

void SqliteSession::fail(int rc) const
{
    if (rc == SQLITE_INTERRUPT && stopRequested())
        throw CommandStopped();
    if (timedOut_)
        failInterrupted();
    const int code = sqlite3_extended_errcode(db_) ? sqlite3_extended_errcode(db_) : rc;
    const QString text = utf8(sqlite3_errmsg(db_));
    if (isBusy(code)) {
        if (stopRequested())
            throw CommandStopped(); // the person cut the wait for the lock short
        throw DatabaseError(sqliteLockedText(busyTimeout_) + QLatin1Char('\n') + text, QString(), code);
    }
    if (code == SQLITE_READONLY_DBMOVED) {
        moved_ = true; // the file was deleted or replaced: this session writes nowhere now
        throw DatabaseError(text, QString(), code);
    }
    const QString why = unwritableText(code);
    throw DatabaseError(why.isEmpty() ? text : why + QLatin1Char('\n') + text, QString(), code);
}

bool SqliteSession::connectionDead()
{
    return moved_;
}

void SqliteSession::interruptRunningCall()
{
    sqlite3_interrupt(db_);
}

void SqliteSession::failInterrupted() const
{
    throw DatabaseError(QStringLiteral("查詢逾時"), QStringLiteral("HYT00"), SQLITE_INTERRUPT);
}

std::unique_ptr<ResultSet> SqliteSession::openQuery(const QString &sql, const Params &params,
                                                    int timeoutSeconds, StatementScope scope,
                                                    const FetchBudget &first)
{
    auto result = std::make_unique<ResultSet>();
    const long long changes =
        run(sql, params, timeoutSeconds, result.get(), scope, first.unlimited() ? nullptr : &first);
    if (result->columns.empty())
        result->rowsAffected = changes;
    return result;
}

long long SqliteSession::execute(const QString &sql, const Params &params, int timeoutSeconds,
                                 StatementScope scope)
{
    return run(sql, params, timeoutSeconds, nullptr, scope, nullptr);
}

bool SqliteSession::nothingRunsIn(const char *tail, const char *end) const
{
    while (tail < end) {
        sqlite3_stmt *raw = nullptr;
        const char *next = nullptr;
        const int rc = sqlite3_prepare_v2(db_, tail, int(end - tail), &raw, &next);
        sqlite3_finalize(raw);
        if (rc != SQLITE_OK || raw || !next || next <= tail)
            return false;
        tail = next;
    }
    return true;
}

namespace {

// What the session knows about one base table while describing a result.
struct BaseTableInfo {
    int keyCount = 0;
    bool withoutRowid = false;
    bool writable = false;
    std::set<QString> generated; // generated (computed) columns
};

} // namespace

// The statement of one result after its columns were described. The first slice and all
// later ones run the same loop, so fetching in slices costs no more per value than
// fetching at once.
class SqliteRowSource final : public PendingRows {
public:
    SqliteRowSource(SqliteSession &session, Statement statement, const std::vector<ColumnInfo> &columns)
        : session_(session), statement_(std::move(statement)), plans_(columns.size())
    {
        for (size_t c = 0; c < columns.size(); ++c) {
            plans_[c].type = columns[c].type;
            plans_[c].pending = columns[c].type == ftUnknown;
        }
    }
    bool fetchMore(std::vector<ColumnInfo> &columns, RowStore &rows, const FetchBudget &budget) override;
    void runBlockingStepsThrough(BlockingStep *steps) override { steps_ = steps; }

private:
    class SliceWatch;
    static bool sliceSpent(const FetchBudget &budget, size_t fetched,
                           std::chrono::steady_clock::time_point until);
    void carryPendingNulls();
    void settle(std::vector<ColumnInfo> &columns);

    SqliteSession &session_;
    Statement statement_;
    std::vector<ColumnPlan> plans_;
    BlockingStep *steps_ = nullptr;
};

// Watches a later slice from SQLite's progress handler (SQLite steps on this thread,
// straight into the dataset's rows). Rows that come slowly end the slice after the row
// that passed its time, instead of after the next 256; a single row that takes longer
// than the quiet wait shows the wait, lets the window paint and ends the step when the
// person asks to stop.
class SqliteRowSource::SliceWatch {
public:
    SliceWatch(SqliteSession &session, BlockingStep &steps, std::chrono::steady_clock::time_point until)
        : session_(session), steps_(steps), until_(until),
          showFrom_(std::chrono::steady_clock::now() + steps.patience())
    {
        sqlite3_progress_handler(session_.handle(), 1000, &SliceWatch::onProgress, this);
    }
    ~SliceWatch() { sqlite3_progress_handler(session_.handle(), 0, nullptr, nullptr); }
    SliceWatch(const SliceWatch &) = delete;
    SliceWatch &operator=(const SliceWatch &) = delete;

    bool overTime() const { return overTime_; }

private:
    static int onProgress(void *self) { return static_cast<SliceWatch *>(self)->check(); }
    int check()
    {
        const auto now = std::chrono::steady_clock::now();
        if (now < until_)
            return 0;
        overTime_ = true;
        if (now < showFrom_)
            return 0;
        if (!shown_) {
            shown_ = true;
            wait_ = steps_.waitHere();
        }
        if (wait_ && wait_->stopRequested()) {
            session_.requestStop(); // the step ends with SQLITE_INTERRUPT, seen as a stop
            return 1;
        }
        return 0;
    }

    SqliteSession &session_;
    BlockingStep &steps_;
    std::chrono::steady_clock::time_point until_, showFrom_;
    std::unique_ptr<InlineWait> wait_;
    bool overTime_ = false;
    bool shown_ = false;
};

long long SqliteSession::run(const QString &sql, const Params &params, int timeoutSeconds,
                             ResultSet *result, StatementScope scope, const FetchBudget *first)
{
    const QByteArray text = sql.toUtf8();
    const char *tail = text.constData();
    const char *const end = tail + text.size();
    TimeoutGuard guard(db_, timeoutSeconds, this, deadline_, timedOut_);
    size_t nextParam = 0;
    long long changes = -1;
    bool haveResult = false;

    while (tail < end) {
        // SQLite forgets an interrupt once no statement runs, so a stop that came
        // between two statements of a script is seen here.
        if (stopRequested())
            throw CommandStopped();
        sqlite3_stmt *raw = nullptr;
        const char *next = nullptr;
        const int rc = sqlite3_prepare_v2(db_, tail, int(end - tail), &raw, &next);
        if (rc != SQLITE_OK)
            fail(rc);
        tail = next ? next : end;
        if (!raw)
            continue; // only blanks or comments left
        Statement st(raw);
        if (scope == StatementScope::OneStatement && !nothingRunsIn(tail, end))
            failNotOneStatement(sql);
        const int count = sqlite3_bind_parameter_count(raw);
        for (int i = 1; i <= count; ++i) {
            const QVariant v = nextParam < params.size() ? params[nextParam] : QVariant();
            ++nextParam;
            if (bindValue(raw, i, v) != SQLITE_OK)
                fail(SQLITE_MISUSE);
        }
        const bool dataChange = isDataChange(raw);
        if (result && !haveResult && sqlite3_column_count(raw) > 0) {
            haveResult = true;
            describe(raw, *result);
            // Only a plain result that ends the batch may stay open: what follows it
            // runs now, and rows a data change returns count as its changes.
            const bool mayStayOpen = first && !dataChange && nothingRunsIn(tail, end);
            auto source = std::make_unique<SqliteRowSource>(*this, std::move(st), result->columns);
            if (!source->fetchMore(result->columns, result->rows, mayStayOpen ? *first : FetchBudget{}))
                result->pending = std::move(source);
        } else {
            int step;
            while ((step = sqlite3_step(raw)) == SQLITE_ROW) {
            }
            if (step != SQLITE_DONE)
                fail(step);
        }
        if (dataChange)
            changes = (changes < 0 ? 0 : changes) + sqlite3_changes64(db_);
    }
    return changes;
}

void SqliteSession::describe(sqlite3_stmt *st, ResultSet &result)
{
    const int n = sqlite3_column_count(st);
    result.columns.assign(size_t(n), ColumnInfo());
    result.rows.columns.clear();
    result.rows.columns.reserve(size_t(n));
    std::map<QString, BaseTableInfo> tables; // by "db\x1ftable"

    for (int c = 0; c < n; ++c) {
        ColumnInfo &info = result.columns[size_t(c)];
        info.name = utf8(sqlite3_column_name(st, c));
        const QString decl = utf8(sqlite3_column_decltype(st, c));
        const SqliteDeclaredType dt = sqliteDeclaredType(decl);
        info.type = dt.type;
        info.size = dt.size;
        info.precision = dt.precision;
        info.scale = dt.scale;
        info.fixedLength = dt.fixedLength;
        info.isLong = dt.isLong;

        const char *dbName = sqlite3_column_database_name(st, c);
        const char *table = sqlite3_column_table_name(st, c);
        const char *origin = sqlite3_column_origin_name(st, c);
        const bool fromTable = table && origin && dbName;
        if (fromTable) {
            const QString key = utf8(dbName) + QChar(0x1f) + utf8(table);
            auto it = tables.find(key);
            if (it == tables.end()) {
                BaseTableInfo bt;
                for (const auto &row : rows("SELECT name, pk, hidden FROM pragma_table_xinfo(?1, ?2)",
                                            {utf8(table), utf8(dbName)})) {
                    if (row[1].toLongLong() > 0)
                        ++bt.keyCount;
                    if (row[2].toLongLong() == 2 || row[2].toLongLong() == 3)
                        bt.generated.insert(row[0].toString());
                }
                const auto wr = rows("SELECT wr FROM pragma_table_list WHERE name = ?1 AND schema = ?2",
                                     {utf8(table), utf8(dbName)});
                bt.withoutRowid = !wr.empty() && wr.front()[0].toLongLong() != 0;
                // Unqualified statements written back reach a temporary table first, then
                // main; columns of attached databases or of a hidden main table are shown
                // but never written.
                if (qstrcmp(dbName, "temp") == 0)
                    bt.writable = true;
                else if (qstrcmp(dbName, "main") == 0)
                    bt.writable = rows("SELECT 1 FROM temp.sqlite_schema WHERE name = ?1 COLLATE NOCASE "
                                       "AND type IN ('table', 'view')",
                                       {utf8(table)})
                                      .empty();
                it = tables.emplace(key, bt).first;
            }
            info.baseColumn = utf8(origin);
            if (it->second.writable) {
                info.baseTable = utf8(table);
                info.baseCatalog = qstrcmp(dbName, "main") == 0 ? database_ : utf8(dbName);
            }
            const char *declared = nullptr, *collation = nullptr;
            int notNull = 0, primaryKey = 0, autoInc = 0;
            if (sqlite3_table_column_metadata(db_, dbName, table, origin, &declared, &collation, &notNull,
                                              &primaryKey, &autoInc) == SQLITE_OK) {
                info.nullable = !notNull;
                info.keyColumn = primaryKey != 0;
                info.autoIncrement = autoInc != 0;
                // A lone INTEGER PRIMARY KEY of a rowid table is the rowid itself: the
                // database numbers new rows.
                if (primaryKey && it->second.keyCount == 1 && !it->second.withoutRowid &&
                    decl.trimmed().compare(QLatin1String("INTEGER"), Qt::CaseInsensitive) == 0) {
                    info.type = ftAutoInc;
                    info.autoIncrement = true;
                    info.nullable = false;
                }
            }
            if (it->second.generated.count(info.baseColumn))
                info.readOnly = true;
        } else {
            info.readOnly = true; // an expression: nothing to write it back to
        }

        result.rows.columns.emplace_back(info.type == ftUnknown ? StorageKind::Text : storageFor(info.type));
    }

    // A key only identifies rows when all of its columns are in the result.
    for (auto &[key, bt] : tables) {
        const QString tableName = key.section(QChar(0x1f), 1);
        std::set<QString> present;
        for (const auto &info : result.columns)
            if (info.keyColumn && info.baseTable == tableName)
                present.insert(info.baseColumn);
        if (int(present.size()) != bt.keyCount)
            for (auto &info : result.columns)
                if (info.baseTable == tableName)
                    info.keyColumn = false;
    }
    guardAgainstSelfJoin(st, result.columns);
}

// ---- the rows of one result, fetched in slices ------------------------------------

bool SqliteRowSource::sliceSpent(const FetchBudget &budget, size_t fetched,
                                 std::chrono::steady_clock::time_point until)
{
    if (budget.rows && fetched >= budget.rows)
        return true;
    return budget.time.count() && fetched && (fetched & 255) == 0 &&
           std::chrono::steady_clock::now() >= until;
}

// A column still waiting for its first value counts its NULLs while stepping; between
// slices they go into the store so that every column holds every row.
void SqliteRowSource::carryPendingNulls()
{
    for (ColumnPlan &p : plans_)
        if (p.pending) {
            for (size_t i = 0; i < p.pendingNulls; ++i)
                p.store->appendNull();
            p.pendingNulls = 0;
        }
}

bool SqliteRowSource::fetchMore(std::vector<ColumnInfo> &columns, RowStore &rows,
                                const FetchBudget &budget)
{
    if (!statement_.st)
        return true;
    for (size_t c = 0; c < plans_.size(); ++c)
        plans_[c].store = &rows.columns[c];
    // The hot loop: values go straight from SQLite into the column stores.
    // The budget is checked between rows; the clock only every 256 rows.
    const bool limited = !budget.unlimited();
    const auto until = std::chrono::steady_clock::now() + budget.time;
    sqlite3_stmt *const st = statement_.st;
    const int n = int(plans_.size());
    std::optional<SliceWatch> watch; // later slices, once the result waits through steps_
    if (steps_ && limited && budget.time.count())
        watch.emplace(session_, *steps_, until);
    for (size_t fetched = 0;; ++fetched) {
        if (limited && (sliceSpent(budget, fetched, until) || (fetched && watch && watch->overTime()))) {
            carryPendingNulls();
            return false;
        }
        const int rc = sqlite3_step(st);
        if (rc == SQLITE_DONE)
            break;
        if (rc != SQLITE_ROW)
            session_.fail(rc);
        for (int c = 0; c < n; ++c) {
            ColumnPlan &p = plans_[size_t(c)];
            switch (sqlite3_column_type(st, c)) {
            case SQLITE_NULL:
                if (p.pending)
                    ++p.pendingNulls;
                else
                    p.store->appendNull();
                break;
            case SQLITE_INTEGER: {
                if (p.pending)
                    decide(p, columns[size_t(c)], ftLargeint);
                const int64_t v = sqlite3_column_int64(st, c);
                ColumnStore &cs = *p.store;
                if (cs.kind() == StorageKind::DateTime)
                    cs.promoteToText(p.type);
                if (cs.kind() == StorageKind::Int) {
                    // A boolean column shows True/False: any other number is kept as text.
                    if (p.type == ftBoolean && (v & ~int64_t(1)))
                        cs.promoteToText();
                } else if (cs.kind() == StorageKind::Real) {
                    if (v > kExactDoubleLimit || v < -kExactDoubleLimit)
                        cs.promoteToText();
                }
                cs.appendInt(v);
                break;
            }
            case SQLITE_FLOAT:
                if (p.pending)
                    decide(p, columns[size_t(c)], ftFloat);
                if (p.store->kind() == StorageKind::DateTime)
                    p.store->promoteToText(p.type);
                p.store->appendReal(sqlite3_column_double(st, c));
                break;
            case SQLITE_TEXT: {
                if (p.pending)
                    decide(p, columns[size_t(c)], ftWideString);
                const char *t = reinterpret_cast<const char *>(sqlite3_column_text(st, c));
                const int len = sqlite3_column_bytes(st, c);
                ColumnStore &cs = *p.store;
                p.sawText = true;
                if (cs.kind() == StorageKind::DateTime) {
                    int64_t ms;
                    if (parseStoredDate(t, len, p.type, ms)) {
                        cs.appendDateTime(ms);
                        break;
                    }
                    // The dates so far were read from text in exactly this form: as text
                    // again they are what is stored.
                    cs.promoteToText(p.type);
                }
                cs.appendText(std::string_view(t, size_t(len)));
                break;
            }
            default: { // SQLITE_BLOB
                if (p.pending)
                    decide(p, columns[size_t(c)], ftBlob);
                const char *b = static_cast<const char *>(sqlite3_column_blob(st, c));
                const int len = sqlite3_column_bytes(st, c);
                if (p.store->kind() == StorageKind::DateTime)
                    p.store->promoteToText(p.type);
                if (p.store->kind() != StorageKind::Bytes)
                    p.sawBlob = p.sawText = true;
                p.store->appendText(std::string_view(b ? b : "", size_t(len)));
                break;
            }
            }
        }
    }
    settle(columns);
    statement_ = Statement();
    return true;
}

void SqliteRowSource::settle(std::vector<ColumnInfo> &columns)
{
    // Settle the columns whose values did not all fit the declared kind.
    const int n = int(plans_.size());
    for (int c = 0; c < n; ++c) {
        ColumnPlan &p = plans_[size_t(c)];
        ColumnInfo &info = columns[size_t(c)];
        if (p.pending) {
            info.type = ftWideString;
            const size_t nulls = p.store->size() + p.pendingNulls;
            *p.store = ColumnStore(StorageKind::Text);
            p.store->reserve(nulls);
            for (size_t i = 0; i < nulls; ++i)
                p.store->appendNull();
            p.pendingNulls = 0;
            continue;
        }
        ColumnStore &cs = *p.store;
        // NUMERIC affinity turns every number-like text into a number: text left in an
        // exact-decimal column is not a number.
        if ((cs.kind() == StorageKind::Text && storageFor(info.type) != StorageKind::Text) ||
            ((info.type == ftBCD || info.type == ftFMTBcd) && p.sawText)) {
            info.type = ftWideString;
            info.size = info.precision = info.scale = 0;
            info.fixedLength = info.isLong = false;
        }
        if (p.sawBlob && cs.kind() == StorageKind::Text) {
            bool allText = true;
            for (size_t r = 0; r < cs.size() && allText; ++r)
                if (!cs.isNull(r) && !validUtf8(cs.textAt(r)))
                    allText = false;
            if (!allText) {
                // Binary values in a text column: keep every byte, show the column as binary.
                ColumnStore bytes(StorageKind::Bytes);
                bytes.reserve(cs.size());
                for (size_t r = 0; r < cs.size(); ++r) {
                    if (cs.isNull(r))
                        bytes.appendNull();
                    else
                        bytes.appendText(cs.textAt(r));
                }
                cs = std::move(bytes);
                info.type = ftBlob;
                info.isLong = true;
                info.size = 0;
                info.fixedLength = false;
            }
        }
    }
}

// All columns of one table may still come from several copies of it (a self-join):
// writing through such a result could change another row than the one shown. The query
// plan tells, with one SCAN or SEARCH step per table reference.
void SqliteSession::guardAgainstSelfJoin(sqlite3_stmt *st, std::vector<ColumnInfo> &columns)
{
    QString table;
    for (const auto &c : columns) {
        if (c.baseTable.isEmpty())
            return; // already not a single-table result
        if (!table.isEmpty() && table != c.baseTable)
            return;
        table = c.baseTable;
    }
    if (table.isEmpty())
        return;
    const QByteArray explain = QByteArray("EXPLAIN QUERY PLAN ") + sqlite3_sql(st);
    std::map<long long, std::pair<long long, QString>> steps; // id -> (parent, detail)
    try {
        for (const auto &row : rows(explain.constData(), {}))
            steps[row[0].toLongLong()] = {row[1].toLongLong(), row[3].toString()};
    } catch (const CommandStopped &) {
        throw;
    } catch (const DatabaseError &) {
        return;
    }
    int references = 0;
    for (const auto &[id, step] : steps) {
        const QString &detail = step.second;
        if (!(detail.startsWith(QLatin1String("SCAN ")) || detail.startsWith(QLatin1String("SEARCH "))) ||
            detail.startsWith(QLatin1String("SCAN CONSTANT ROW")))
            continue;
        // The branches of an OR answered by several indexes read one reference.
        bool orBranch = false;
        for (long long up = step.first; up != 0 && !orBranch;) {
            const auto it = steps.find(up);
            if (it == steps.end())
                break;
            orBranch = it->second.second.startsWith(QLatin1String("MULTI-INDEX OR"));
            up = it->second.first;
        }
        if (!orBranch)
            ++references;
    }
    if (references > 1)
        for (auto &c : columns) {
            c.baseTable.clear();
            c.keyColumn = false;
        }
}

std::vector<std::vector<QVariant>> SqliteSession::rows(const char *sql, const Params &params)
{
    sqlite3_stmt *raw = nullptr;
    const char *tail = nullptr;
    const int rc = sqlite3_prepare_v2(db_, sql, -1, &raw, &tail);
    if (rc != SQLITE_OK)
        fail(rc);
    Statement st(raw);
    if (!nothingRunsIn(tail, tail + qstrlen(tail)))
        failNotOneStatement(QString::fromUtf8(sql));
    for (size_t i = 0; i < params.size(); ++i)
        bindValue(raw, int(i) + 1, params[i]);
    std::vector<std::vector<QVariant>> out;
    const int n = sqlite3_column_count(raw);
    int step;
    while ((step = sqlite3_step(raw)) == SQLITE_ROW) {
        std::vector<QVariant> row(static_cast<size_t>(n));
        for (int c = 0; c < n; ++c) {
            switch (sqlite3_column_type(raw, c)) {
            case SQLITE_INTEGER: row[size_t(c)] = qint64(sqlite3_column_int64(raw, c)); break;
            case SQLITE_FLOAT: row[size_t(c)] = sqlite3_column_double(raw, c); break;
            case SQLITE_TEXT: row[size_t(c)] = utf8(sqlite3_column_text(raw, c)); break;
            case SQLITE_BLOB:
                row[size_t(c)] = QByteArray(static_cast<const char *>(sqlite3_column_blob(raw, c)),
                                            sqlite3_column_bytes(raw, c));
                break;
            default: break;
            }
        }
        out.push_back(std::move(row));
    }
    if (step != SQLITE_DONE)
        fail(step);
    return out;
}

// ---- transactions -----------------------------------------------------------------

void SqliteSession::beginTransaction()
{
    if (sqlite3_get_autocommit(db_)) {
        execute(QStringLiteral("BEGIN"));
        savepoints_.clear();
        savepoints_ << QString();
    } else {
        const QString name = QStringLiteral("ado_sp%1").arg(savepoints_.size() + 1);
        execute(QStringLiteral("SAVEPOINT ") + name);
        savepoints_ << name;
    }
}

void SqliteSession::commit()
{
    if (savepoints_.isEmpty()) {
        execute(QStringLiteral("COMMIT"));
        return;
    }
    const QString name = savepoints_.last();
    execute(name.isEmpty() ? QStringLiteral("COMMIT") : QStringLiteral("RELEASE ") + name);
    savepoints_.removeLast();
}

void SqliteSession::rollback()
{
    if (sqlite3_get_autocommit(db_)) {
        savepoints_.clear(); // the database has already undone the transaction
        return;
    }
    if (savepoints_.isEmpty()) {
        execute(QStringLiteral("ROLLBACK"));
        return;
    }
    const QString name = savepoints_.takeLast();
    if (name.isEmpty())
        execute(QStringLiteral("ROLLBACK"));
    else
        execute(QStringLiteral("ROLLBACK TO ") + name + QStringLiteral("; RELEASE ") + name);
}

QVariant SqliteSession::lastInsertId(const QString &)
{
    // A trigger's own inserts do not count once it has ended, so this is the table's row.
    return QVariant(qint64(sqlite3_last_insert_rowid(db_)));
}

std::unique_ptr<ProviderSession> openSqliteSession(const ConnectionString &cs)
{
    return std::make_unique<SqliteSession>(cs);
}

} // namespace data
