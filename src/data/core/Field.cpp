#include "data/core/Field.h"
#include "data/core/Dataset.h"
#include "data/core/DatabaseError.h"
#include "data/core/ExactNumber.h"
#include <QDateTime>
#include <QLocale>
#include <cmath>

namespace data {

Field::Field(Dataset *dataset, int index, const ColumnInfo &info)
    : dataset_(dataset), index_(index), info_(info),
      required_(!info.nullable && !info.autoIncrement && !info.readOnly),
      readOnly_(info.readOnly)
{
}

void Field::setVisible(bool visible)
{
    visible_ = visible;
}

void Field::setDisplayLabel(const QString &label)
{
    label_ = (label == info_.name) ? QString() : label;
}

int Field::DisplayWidth() const
{
    if (displayWidth_ >= 0)
        return displayWidth_;
    switch (info_.type) {
    case ftString: case ftWideString: case ftFixedChar:
        return info_.size > 0 ? info_.size : 20;
    case ftSmallint: return 6;
    case ftWord: return 5;
    case ftInteger: case ftAutoInc: return 11;
    case ftLargeint: return 15;
    case ftBoolean: return 5;
    case ftFloat: case ftCurrency: return 10;
    case ftBCD: case ftFMTBcd: return info_.precision > 0 ? info_.precision + 2 : 10;
    case ftDate: return 10;
    case ftTime: return 10;
    case ftDateTime: return 18;
    case ftGuid: return 38;
    default: return 10;
    }
}

TFieldType Field::BlobType() const
{
    switch (info_.type) {
    case ftMemo: case ftWideMemo: return ftMemo;
    case ftBlob: case ftGraphic: return info_.type == ftGraphic ? ftGraphic : ftBlob;
    default: return info_.type;
    }
}

QVariant Field::Value() const
{
    return dataset_->currentValue(index_);
}

void Field::setValue(const QVariant &value)
{
    dataset_->setCurrentValue(index_, value);
}

QString Field::textOf(const QVariant &value, TFieldType type)
{
    if (!value.isValid() || value.isNull())
        return QString();
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::Double: case QMetaType::Float:
        return QString::number(value.toDouble(), 'g', 15);
    case QMetaType::QDate:
        return value.toDate().toString(QStringLiteral("yyyy/MM/dd"));
    case QMetaType::QTime:
        return value.toTime().toString(QStringLiteral("HH:mm:ss"));
    case QMetaType::QDateTime: {
        const QDateTime dt = value.toDateTime();
        if (type == ftDate || dt.time() == QTime(0, 0))
            return dt.date().toString(QStringLiteral("yyyy/MM/dd"));
        if (type == ftTime)
            return dt.time().toString(QStringLiteral("HH:mm:ss"));
        return dt.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
    }
    case QMetaType::QByteArray:
        return QString::fromLatin1(value.toByteArray());
    default:
        return value.toString();
    }
}

QString Field::AsString() const
{
    return textOf(Value(), info_.type);
}

QString Field::displayTextOf(const QVariant &value, TFieldType type)
{
    if (!isBlobType(type))
        return textOf(value, type);
    const QString name = type == ftGraphic ? QStringLiteral("GRAPHIC")
                         : (type == ftMemo || type == ftWideMemo) ? QStringLiteral("MEMO")
                                                                 : QStringLiteral("BLOB");
    const bool isNull = !value.isValid() || value.isNull();
    return QLatin1Char('(') + (isNull ? name.toLower() : name) + QLatin1Char(')');
}

QString Field::DisplayText() const
{
    return displayTextOf(Value(), info_.type);
}

QVariant Field::fromText(const QString &text) const
{
    const QString t = text.trimmed();
    auto bad = [&](const char *what) { // what: the type in the message, UTF-8
        return DatabaseError(QStringLiteral("'%1' 不是欄位 '%3' 可接受的%2值")
                                 .arg(text, QString::fromUtf8(what), info_.name));
    };
    switch (info_.type) {
    case ftString: case ftWideString: case ftFixedChar: case ftMemo: case ftWideMemo: case ftGuid:
        return text;
    case ftBytes: case ftVarBytes: case ftBlob: case ftGraphic:
        return text.toLatin1();
    default:
        break;
    }
    if (t.isEmpty())
        return QVariant();
    switch (info_.type) {
    case ftSmallint: case ftInteger: case ftWord: case ftAutoInc: case ftLargeint: {
        bool ok = false;
        qint64 v = t.toLongLong(&ok);
        if (!ok)
            throw bad("整數");
        return v;
    }
    case ftFloat: {
        bool ok = false;
        double v = QLocale::c().toDouble(t, &ok);
        if (!ok)
            v = QLocale::system().toDouble(t, &ok);
        if (!ok)
            throw bad("浮點數");
        return v;
    }
    case ftCurrency:
        return moneyFromText(t);
    case ftBCD: case ftFMTBcd:
        return decimalFromText(t);
    case ftBoolean: {
        const QString l = t.toLower();
        if (l == QLatin1String("true") || l == QLatin1String("t") || l == QLatin1String("y") ||
            l == QLatin1String("yes") || l == QLatin1String("1") || l == QLatin1String("-1"))
            return true;
        if (l == QLatin1String("false") || l == QLatin1String("f") || l == QLatin1String("n") ||
            l == QLatin1String("no") || l == QLatin1String("0"))
            return false;
        throw bad("布林");
    }
    case ftDate: case ftTime: case ftDateTime: {
        static const char *const formats[] = {
            "yyyy/M/d H:m:s", "yyyy/M/d H:m", "yyyy/M/d", "yyyy-M-d H:m:s", "yyyy-M-d H:m",
            "yyyy-MM-ddTHH:mm:ss", "yyyy-MM-ddTHH:mm:ss.zzz", "yyyy-M-d", "H:m:s", "H:m"};
        for (const char *f : formats) {
            QDateTime dt = QDateTime::fromString(t, QLatin1String(f));
            if (dt.isValid()) {
                if (info_.type == ftDate)
                    return dt.date();
                if (info_.type == ftTime)
                    return dt.time();
                return QDateTime(dt.date(), dt.time(), Qt::UTC);
            }
        }
        throw bad("日期");
    }
    default:
        return text;
    }
}

// Currency as typed, exactly: never more than four decimals, never beyond the range of
// the 64-bit count of ten-thousandths it is held in.
QVariant Field::moneyFromText(const QString &text) const
{
    int64_t scaled = 0;
    switch (exact::parseMoney(text.toStdString(), scaled)) {
    case exact::MoneyResult::Ok:
        return QString::fromStdString(exact::moneyText(scaled));
    case exact::MoneyResult::TooManyDecimals:
        throw DatabaseError(QStringLiteral("'%1' 的小數超過四位，欄位 '%2' 存不下")
                                .arg(text, info_.name));
    case exact::MoneyResult::OutOfRange:
        throw DatabaseError(QStringLiteral("'%1' 超出貨幣欄位 '%2' 的範圍")
                                .arg(text, info_.name));
    case exact::MoneyResult::NotANumber:
        break;
    }
    throw DatabaseError(QStringLiteral("'%1' 不是欄位 '%2' 可接受的貨幣值").arg(text, info_.name));
}

// Decimal text is kept as typed; a value the column's precision and scale cannot hold is
// refused rather than left for the database to round.
QVariant Field::decimalFromText(const QString &text) const
{
    exact::Decimal d;
    if (!exact::parseDecimal(text.toStdString(), d) || text.contains(QLatin1Char('e'), Qt::CaseInsensitive))
        throw DatabaseError(QStringLiteral("'%1' 不是欄位 '%2' 可接受的數值").arg(text, info_.name));
    switch (exact::fitsNumeric(d, info_.precision, info_.scale)) {
    case exact::FitResult::TooManyDecimals:
        throw DatabaseError(QStringLiteral("'%1' 的小數超過 %2 位，欄位 '%3' 存不下")
                                .arg(text)
                                .arg(info_.scale)
                                .arg(info_.name));
    case exact::FitResult::TooManyDigits:
        throw DatabaseError(QStringLiteral("'%1' 的位數超過欄位 '%2' 可存的位數 (有效位數 %3，小數位數 %4)")
                                .arg(text, info_.name)
                                .arg(info_.precision)
                                .arg(info_.scale));
    case exact::FitResult::Ok:
        break;
    }
    return text;
}

void Field::setAsString(const QString &text)
{
    setValue(fromText(text));
}

int Field::AsInteger() const
{
    const QVariant v = Value();
    if (!v.isValid() || v.isNull())
        return 0;
    switch (v.typeId()) {
    case QMetaType::Bool: return v.toBool() ? 1 : 0;
    case QMetaType::Double: case QMetaType::Float: return int(std::lround(v.toDouble()));
    case QMetaType::LongLong: case QMetaType::Int: return int(v.toLongLong());
    default: {
        if (isNumericType(info_.type)) { // exact decimal text: rounded as a double would be
            bool isNumber = false;
            const double d = v.toString().trimmed().toDouble(&isNumber);
            if (isNumber)
                return int(std::lround(d));
        }
        bool ok = false;
        int i = v.toString().trimmed().toInt(&ok);
        if (!ok)
            throw DatabaseError(QStringLiteral("'%1' 不是有效的整數值").arg(v.toString()));
        return i;
    }
    }
}

double Field::AsFloat() const
{
    const QVariant v = Value();
    if (!v.isValid() || v.isNull())
        return 0;
    bool ok = false;
    double d = v.toDouble(&ok);
    if (!ok)
        throw DatabaseError(QStringLiteral("'%1' 不是有效的浮點數值").arg(v.toString()));
    return d;
}

bool Field::AsBoolean() const
{
    const QVariant v = Value();
    if (v.typeId() == QMetaType::QString)
        return fromText(v.toString()).toBool();
    return v.toBool();
}

} // namespace data
