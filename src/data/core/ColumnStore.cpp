#include "data/core/ColumnStore.h"
#include "data/core/ExactNumber.h"
#include <QDateTime>
#include <charconv>
#include <cmath>
#include <limits>

namespace data {

namespace {

// A text column stays coded while its distinct values are few: it tries the first 4,096
// distinct values whatever comes, then goes on while at least every second row repeats
// an earlier value, up to 65,536 values. Long values are not worth looking up.
constexpr size_t kTrialCodes = 4096;
constexpr size_t kMostCodes = 65536;
constexpr size_t kLongestCoded = 256;

bool isIntegral(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::Int: case QMetaType::UInt: case QMetaType::LongLong: case QMetaType::ULongLong:
    case QMetaType::Long: case QMetaType::ULong: case QMetaType::Short: case QMetaType::UShort:
    case QMetaType::Char: case QMetaType::SChar: case QMetaType::UChar: case QMetaType::Bool:
        return true;
    default:
        return false;
    }
}

bool isReal(const QVariant &v)
{
    return v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float;
}

bool isTemporal(const QVariant &v)
{
    return v.typeId() == QMetaType::QDateTime || v.typeId() == QMetaType::QDate ||
           v.typeId() == QMetaType::QTime;
}

// Integer text that reads back identically ("12", "-3"; not "012" or "1e3").
bool parseExactInt(const QString &text, int64_t &out)
{
    bool ok = false;
    qint64 v = text.toLongLong(&ok);
    if (!ok || QString::number(v) != text)
        return false;
    out = v;
    return true;
}

bool parseMoney(const QString &text, int64_t &out)
{
    return exact::parseMoney(text.toStdString(), out) == exact::MoneyResult::Ok;
}

bool moneyOfIntegral(const QVariant &v, int64_t &out)
{
    if (v.typeId() == QMetaType::Bool) {
        out = v.toBool() ? exact::kMoneyScale : 0;
        return true;
    }
    if (v.typeId() == QMetaType::ULongLong || v.typeId() == QMetaType::ULong) {
        const qulonglong u = v.toULongLong();
        if (u > qulonglong(std::numeric_limits<int64_t>::max() / exact::kMoneyScale))
            return false;
        out = int64_t(u) * exact::kMoneyScale;
        return true;
    }
    const qint64 i = v.toLongLong();
    constexpr int64_t limit = std::numeric_limits<int64_t>::max() / exact::kMoneyScale;
    if (i > limit || i < -limit)
        return false;
    out = i * exact::kMoneyScale;
    return true;
}

// Money from any value: whole numbers, doubles whose shortest text has at most four
// decimals, and exact decimal text.
bool moneyOf(const QVariant &v, int64_t &out)
{
    if (isIntegral(v))
        return moneyOfIntegral(v, out);
    if (isReal(v))
        return exact::moneyFromDouble(v.toDouble(), out);
    if (v.typeId() == QMetaType::QString)
        return parseMoney(v.toString(), out);
    return false;
}

bool parseReal(const QString &text, double &out)
{
    bool ok = false;
    double v = text.trimmed().toDouble(&ok);
    if (ok)
        out = v;
    return ok;
}

// ISO dates as databases write them: "yyyy-MM-dd", "yyyy-MM-dd HH:mm[:ss[.zzz]]" or
// with a "T"; a lone time "HH:mm[:ss[.zzz]]" is a time of day.
bool parseDateTimeText(const QString &text, QDateTime &out)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return false;
    static const char *const dateTimeFormats[] = {
        "yyyy-MM-dd HH:mm:ss.zzz", "yyyy-MM-ddTHH:mm:ss.zzz", "yyyy-MM-dd HH:mm:ss",
        "yyyy-MM-ddTHH:mm:ss", "yyyy-MM-dd HH:mm", "yyyy-MM-ddTHH:mm"};
    for (const char *f : dateTimeFormats) {
        QDateTime dt = QDateTime::fromString(t, QLatin1String(f));
        if (dt.isValid()) {
            out = QDateTime(dt.date(), dt.time(), Qt::UTC);
            return true;
        }
    }
    QDate d = QDate::fromString(t, Qt::ISODate);
    if (d.isValid() && t.size() == 10) {
        out = QDateTime(d, QTime(0, 0), Qt::UTC);
        return true;
    }
    static const char *const timeFormats[] = {"HH:mm:ss.zzz", "HH:mm:ss", "HH:mm"};
    for (const char *f : timeFormats) {
        QTime tm = QTime::fromString(t, QLatin1String(f));
        if (tm.isValid()) {
            out = QDateTime(QDate(1899, 12, 30), tm, Qt::UTC);
            return true;
        }
    }
    return false;
}

std::string realText(double v)
{
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

std::string dateTimeText(int64_t msecs, TFieldType shownAs = ftDateTime)
{
    QDateTime dt = ColumnStore::fromEpochMsecs(msecs);
    const bool ms = dt.time().msec() != 0;
    QString fmt = shownAs == ftDate   ? QStringLiteral("yyyy-MM-dd")
                  : shownAs == ftTime ? (ms ? QStringLiteral("HH:mm:ss.zzz") : QStringLiteral("HH:mm:ss"))
                  : ms                ? QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")
                                      : QStringLiteral("yyyy-MM-dd HH:mm:ss");
    return dt.toString(fmt).toStdString();
}

std::string textOfVariant(const QVariant &v)
{
    if (v.typeId() == QMetaType::QByteArray)
        return v.toByteArray().toStdString();
    if (isReal(v))
        return realText(v.toDouble());
    if (v.typeId() == QMetaType::Bool)
        return v.toBool() ? "True" : "False";
    if (v.typeId() == QMetaType::QDateTime)
        return dateTimeText(ColumnStore::toEpochMsecs(v.toDateTime()));
    if (v.typeId() == QMetaType::QDate)
        return v.toDate().toString(Qt::ISODate).toStdString();
    if (v.typeId() == QMetaType::QTime)
        return v.toTime().toString(v.toTime().msec() ? QStringLiteral("HH:mm:ss.zzz")
                                                     : QStringLiteral("HH:mm:ss"))
            .toStdString();
    return v.toString().toStdString();
}

} // namespace

int64_t ColumnStore::toEpochMsecs(const QDateTime &dt)
{
    return QDateTime(dt.date(), dt.time(), Qt::UTC).toMSecsSinceEpoch();
}

QDateTime ColumnStore::fromEpochMsecs(int64_t msecs)
{
    return QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC);
}

void ColumnStore::reserve(size_t rows)
{
    switch (kind_) {
    case StorageKind::Int: case StorageKind::DateTime: case StorageKind::Money: ints_.reserve(rows); break;
    case StorageKind::Real: reals_.reserve(rows); break;
    case StorageKind::Text: case StorageKind::Bytes: coded_ ? codes_.reserve(rows) : refs_.reserve(rows); break;
    }
}

void ColumnStore::appendNull()
{
    switch (kind_) {
    case StorageKind::Int: case StorageKind::DateTime: case StorageKind::Money: ints_.push_back(0); break;
    case StorageKind::Real: reals_.push_back(0); break;
    case StorageKind::Text: case StorageKind::Bytes: coded_ ? codes_.push_back(0) : refs_.push_back(0); break;
    }
    appended(true);
}

void ColumnStore::appended(bool isNull)
{
    nulls_.append(count_, isNull);
    ++count_;
}

void ColumnStore::setNull(size_t row, bool isNull)
{
    nulls_.set(row, isNull);
}

void ColumnStore::appendInt(int64_t v)
{
    if (kind_ == StorageKind::Int) {
        ints_.push_back(v);
        appended(false);
    } else if (kind_ == StorageKind::Real) {
        appendReal(double(v));
    } else if (kind_ == StorageKind::Money) {
        int64_t scaled;
        if (moneyOfIntegral(QVariant(qint64(v)), scaled)) {
            appendMoney(scaled);
        } else {
            promoteToText();
            appendInt(v);
        }
    } else {
        if (kind_ == StorageKind::DateTime)
            promoteToText();
        char buf[24];
        auto r = std::to_chars(buf, buf + sizeof buf, v);
        appendText(std::string_view(buf, size_t(r.ptr - buf)));
    }
}

void ColumnStore::appendReal(double v)
{
    if (kind_ == StorageKind::Real) {
        reals_.push_back(v);
        appended(false);
    } else if (kind_ == StorageKind::Int && std::isfinite(v) && v == std::trunc(v) &&
               std::fabs(v) < 9.2e18) {
        appendInt(int64_t(v));
    } else if (int64_t scaled; kind_ == StorageKind::Money && exact::moneyFromDouble(v, scaled)) {
        appendMoney(scaled);
    } else {
        if (kind_ != StorageKind::Text && kind_ != StorageKind::Bytes)
            promoteToText();
        appendText(realText(v));
    }
}

void ColumnStore::appendDateTime(int64_t msecs)
{
    if (kind_ == StorageKind::DateTime) {
        ints_.push_back(msecs);
        appended(false);
    } else {
        if (kind_ != StorageKind::Text && kind_ != StorageKind::Bytes)
            promoteToText();
        appendText(dateTimeText(msecs));
    }
}

void ColumnStore::appendMoney(int64_t tenThousandths)
{
    if (kind_ == StorageKind::Money) {
        ints_.push_back(tenThousandths);
        appended(false);
    } else {
        if (kind_ != StorageKind::Text && kind_ != StorageKind::Bytes)
            promoteToText();
        appendText(exact::moneyText(tenThousandths));
    }
}

void ColumnStore::appendText(std::string_view utf8)
{
    if (kind_ != StorageKind::Text && kind_ != StorageKind::Bytes)
        promoteToText();
    if (coded_ && utf8.size() > kLongestCoded)
        stopCoding();
    if (!coded_) {
        refs_.push_back(arena_.append(utf8));
        appended(false);
        return;
    }
    const uint32_t code = dictionary_.codeOf(utf8, arena_);
    codes_.push_back(code);
    appended(false);
    if (tooVariedToCode(code))
        stopCoding();
}

void ColumnStore::setText(size_t row, std::string_view utf8)
{
    if (coded_ && utf8.size() > kLongestCoded)
        stopCoding();
    if (!coded_) {
        refs_[row] = arena_.append(utf8);
        return;
    }
    const uint32_t code = dictionary_.codeOf(utf8, arena_);
    codes_.set(row, code);
    if (tooVariedToCode(code))
        stopCoding();
}

// Asked when a value was just coded: a new code is the dictionary's last.
bool ColumnStore::tooVariedToCode(uint32_t code) const
{
    const size_t distinct = dictionary_.size();
    if (code + 1 != distinct)
        return false;
    return distinct > kMostCodes || (distinct > kTrialCodes && distinct * 2 > count_);
}

// Every row gets its value's reference; the values stay where they are in the arena.
void ColumnStore::stopCoding()
{
    refs_.reserve(codes_.size());
    for (size_t r = 0; r < codes_.size(); ++r)
        refs_.push_back(dictionary_.ref(uint32_t(codes_[r])));
    codes_.clear();
    dictionary_.clear();
    coded_ = false;
}

bool ColumnStore::isNull(size_t row) const
{
    return nulls_.isNull(row);
}

std::string_view ColumnStore::textAt(size_t row) const
{
    return arena_.at(coded_ ? dictionary_.ref(uint32_t(codes_[row])) : refs_[row]);
}

QVariant ColumnStore::value(size_t row, TFieldType type) const
{
    if (row >= count_ || isNull(row))
        return QVariant();
    switch (kind_) {
    case StorageKind::Int:
        if (type == ftBoolean)
            return QVariant(ints_[row] != 0);
        return QVariant(qint64(ints_[row]));
    case StorageKind::Real:
        return QVariant(reals_[row]);
    case StorageKind::Money:
        return QVariant(QString::fromStdString(exact::moneyText(ints_[row])));
    case StorageKind::DateTime: {
        QDateTime dt = fromEpochMsecs(ints_[row]);
        if (type == ftDate)
            return QVariant(dt.date());
        if (type == ftTime)
            return QVariant(dt.time());
        return QVariant(dt);
    }
    case StorageKind::Text: {
        std::string_view t = textAt(row);
        return QVariant(QString::fromUtf8(t.data(), qsizetype(t.size())));
    }
    case StorageKind::Bytes: {
        std::string_view t = textAt(row);
        return QVariant(QByteArray(t.data(), qsizetype(t.size())));
    }
    }
    return QVariant();
}

bool ColumnStore::fits(const QVariant &v) const
{
    if (!v.isValid() || v.isNull())
        return true;
    int64_t i;
    double d;
    QDateTime dt;
    switch (kind_) {
    case StorageKind::Money:
        return moneyOf(v, i);
    case StorageKind::Int:
        if (isIntegral(v))
            return true;
        if (isReal(v)) {
            double x = v.toDouble();
            return std::isfinite(x) && x == std::trunc(x) && std::fabs(x) < 9.2e18;
        }
        return v.typeId() == QMetaType::QString && parseExactInt(v.toString(), i);
    case StorageKind::Real:
        if (isIntegral(v) || isReal(v))
            return true;
        return v.typeId() == QMetaType::QString && parseReal(v.toString(), d);
    case StorageKind::DateTime:
        if (isTemporal(v))
            return true;
        return v.typeId() == QMetaType::QString && parseDateTimeText(v.toString(), dt);
    case StorageKind::Text: case StorageKind::Bytes:
        return true;
    }
    return false;
}

void ColumnStore::appendValue(const QVariant &value)
{
    if (!fits(value))
        promoteToText();
    storeAt(count_, value);
}

void ColumnStore::setValue(size_t row, const QVariant &value)
{
    if (!fits(value))
        promoteToText();
    storeAt(row, value);
}

void ColumnStore::storeAt(size_t row, const QVariant &v)
{
    const bool append = row == count_;
    if (append)
        appendNull(); // grows every vector; the value is filled in below
    if (!v.isValid() || v.isNull()) {
        setNull(row, true);
        return;
    }
    setNull(row, false);
    switch (kind_) {
    case StorageKind::Money: {
        int64_t scaled = 0;
        moneyOf(v, scaled); // fits() said it does
        ints_.set(row, scaled);
        break;
    }
    case StorageKind::Int: {
        int64_t i = 0;
        if (isIntegral(v))
            i = v.typeId() == QMetaType::Bool ? (v.toBool() ? 1 : 0) : v.toLongLong();
        else if (isReal(v))
            i = int64_t(v.toDouble());
        else
            parseExactInt(v.toString(), i);
        ints_.set(row, i);
        break;
    }
    case StorageKind::Real:
        if (v.typeId() == QMetaType::QString)
            parseReal(v.toString(), reals_[row]);
        else
            reals_[row] = v.toDouble();
        break;
    case StorageKind::DateTime: {
        QDateTime dt;
        if (v.typeId() == QMetaType::QDateTime)
            dt = v.toDateTime();
        else if (v.typeId() == QMetaType::QDate)
            dt = QDateTime(v.toDate(), QTime(0, 0), Qt::UTC);
        else if (v.typeId() == QMetaType::QTime)
            dt = QDateTime(QDate(1899, 12, 30), v.toTime(), Qt::UTC);
        else
            parseDateTimeText(v.toString(), dt);
        ints_.set(row, toEpochMsecs(dt));
        break;
    }
    case StorageKind::Text: case StorageKind::Bytes:
        setText(row, textOfVariant(v));
        break;
    }
}

void ColumnStore::promoteToText(TFieldType shownAs)
{
    if (kind_ == StorageKind::Text || kind_ == StorageKind::Bytes)
        return;
    ColumnStore text(StorageKind::Text);
    text.reserve(count_);
    for (size_t r = 0; r < count_; ++r) {
        if (isNull(r))
            text.appendNull();
        else if (kind_ == StorageKind::Int)
            text.appendText(std::to_string(ints_[r]));
        else if (kind_ == StorageKind::Real)
            text.appendText(realText(reals_[r]));
        else if (kind_ == StorageKind::Money)
            text.appendText(exact::moneyText(ints_[r]));
        else
            text.appendText(dateTimeText(ints_[r], shownAs));
    }
    *this = std::move(text);
}

size_t ColumnStore::memoryBytes() const
{
    return ints_.capacityBytes() + reals_.capacity() * sizeof(double) + codes_.capacityBytes() +
           dictionary_.capacityBytes() + refs_.capacity() * sizeof(uint64_t) + arena_.capacityBytes() +
           nulls_.capacityBytes();
}

void ColumnStore::releaseSlack()
{
    ints_.releaseSlack();
    reals_.releaseSlack();
    codes_.releaseSlack();
    refs_.releaseSlack();
    arena_.releaseSlack();
    nulls_.releaseSlack();
}

void RowStore::releaseSlack()
{
    for (auto &c : columns)
        c.releaseSlack();
}

size_t RowStore::memoryBytes() const
{
    size_t total = 0;
    for (const auto &c : columns)
        total += c.memoryBytes();
    return total;
}

} // namespace data
