#include "TabTextExport.h"
#include "Cp950Encoder.h"
#include "ExportError.h"
#include "data/core/Dataset.h"
#include "platform/SaveFile.h"
#include <QSaveFile>
#include <cerrno>
#include <charconv>
#include <cmath>

namespace exchange {

namespace {

constexpr size_t kFlushBytes = 1 << 20;

// Appends one value's display text, read straight from the store for the common kinds
// (the same text Field::displayTextOf gives for them, without a QVariant or a QString per
// value); any other kind goes through the display text of the data layer.
class ValueWriter {
public:
    ValueWriter(const data::Dataset &dataset, int field)
        : dataset_(dataset), field_(field), store_(dataset.store().columns[size_t(field)]),
          type_(dataset.columnInfos()[size_t(field)].type)
    {
        if (data::isBlobType(type_))
            kind_ = Kind::Generic;
        else if (store_.kind() == data::StorageKind::Text)
            kind_ = Kind::Text;
        else if (store_.kind() == data::StorageKind::Int && type_ != data::ftBoolean)
            kind_ = Kind::Integer;
        else if (store_.kind() == data::StorageKind::Real)
            kind_ = Kind::Real;
        else if (store_.kind() == data::StorageKind::DateTime)
            kind_ = Kind::DateTime;
    }

    bool append(int row, std::string &out) const
    {
        const Cp950Encoder &cp950 = Cp950Encoder::instance();
        const size_t physical = dataset_.order()[size_t(row)];
        if (kind_ == Kind::Generic || (kind_ == Kind::Real && !std::isfinite(store_.realAt(physical))))
            return cp950.append(dataset_.displayTextAt(row, field_), out);
        if (store_.isNull(physical))
            return true;
        switch (kind_) {
        case Kind::Text:
            return cp950.appendUtf8(store_.textAt(physical), out);
        case Kind::Integer:
            appendInteger(store_.intAt(physical), out);
            return true;
        case Kind::Real:
            appendReal(store_.realAt(physical), out);
            return true;
        case Kind::DateTime:
            if (!appendDateTime(store_.dateTimeAt(physical), out))
                return cp950.append(dataset_.displayTextAt(row, field_), out);
            return true;
        case Kind::Generic:
            break;
        }
        return true;
    }

private:
    enum class Kind { Generic, Text, Integer, Real, DateTime };

    static void appendInteger(int64_t v, std::string &out)
    {
        char digits[24];
        const auto done = std::to_chars(digits, digits + sizeof digits, v);
        out.append(digits, done.ptr);
    }
    // As QString::number(v, 'g', 15).
    static void appendReal(double v, std::string &out)
    {
        if (v == 0) { // negative zero too
            out.push_back('0');
            return;
        }
        char digits[40];
        const auto done = std::to_chars(digits, digits + sizeof digits, v, std::chars_format::general, 15);
        out.append(digits, done.ptr);
    }
    static void appendPadded(int v, int width, std::string &out)
    {
        char digits[8];
        for (int i = width - 1; i >= 0; --i, v /= 10)
            digits[i] = char('0' + v % 10);
        out.append(digits, size_t(width));
    }
    // "yyyy/MM/dd", "HH:mm:ss" or both, as Field::textOf shows the field's type; false
    // for years the four-digit form does not cover.
    bool appendDateTime(int64_t msecs, std::string &out) const
    {
        constexpr int64_t kDay = 86400000;
        int64_t days = msecs / kDay;
        int64_t inDay = msecs % kDay;
        if (inDay < 0) {
            inDay += kDay;
            --days;
        }
        // Civil date from days since 1970-01-01 (proleptic Gregorian).
        const int64_t z = days + 719468;
        const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
        const int64_t doe = z - era * 146097;
        const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
        const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
        const int64_t mp = (5 * doy + 2) / 153;
        const int day = int(doy - (153 * mp + 2) / 5 + 1);
        const int month = int(mp < 10 ? mp + 3 : mp - 9);
        const int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
        if (year < 1 || year > 9999)
            return false;
        const bool showDate = type_ != data::ftTime;
        const bool showTime = type_ == data::ftTime || (type_ != data::ftDate && inDay != 0);
        if (showDate) {
            appendPadded(int(year), 4, out);
            out.push_back('/');
            appendPadded(month, 2, out);
            out.push_back('/');
            appendPadded(day, 2, out);
        }
        if (showDate && showTime)
            out.push_back(' ');
        if (showTime) {
            const int seconds = int(inDay / 1000);
            appendPadded(seconds / 3600, 2, out);
            out.push_back(':');
            appendPadded(seconds / 60 % 60, 2, out);
            out.push_back(':');
            appendPadded(seconds % 60, 2, out);
        }
        return true;
    }

    const data::Dataset &dataset_;
    int field_;
    const data::ColumnStore &store_;
    data::TFieldType type_;
    Kind kind_ = Kind::Generic;
};

class LineFile {
public:
    explicit LineFile(const QString &path) : file_(path)
    {
        if (!platform::openForSave(file_))
            fail();
        buffer_.reserve(kFlushBytes + (64 << 10));
    }
    std::string &buffer() { return buffer_; }
    void endLine()
    {
        buffer_ += "\r\n";
        if (buffer_.size() >= kFlushBytes)
            flush();
    }
    void commit()
    {
        flush();
        errno = 0;
        if (!file_.commit())
            fail();
    }

private:
    void flush()
    {
        if (!buffer_.empty() && !platform::writeAll(file_, buffer_.data(), qint64(buffer_.size())))
            fail();
        buffer_.clear();
    }
    [[noreturn]] void fail()
    {
        const QString reason = platform::saveFailureReason(file_, errno);
        file_.cancelWriting();
        throw ExportError(QStringLiteral("無法寫入檔案 %1：%2").arg(file_.fileName(), reason));
    }

    QSaveFile file_;
    std::string buffer_;
};

} // namespace

TextExportResult writeTabText(const QString &path, const data::Dataset &dataset,
                              const std::vector<TextColumn> &columns, bool endLinesWithTab)
{
    TextExportResult result;
    LineFile file(path);
    std::string &out = file.buffer();
    auto separator = [&](size_t i) {
        if (i + 1 < columns.size() || endLinesWithTab)
            out.push_back('\t');
    };
    for (size_t i = 0; i < columns.size(); ++i) {
        if (!Cp950Encoder::instance().append(columns[i].title, out))
            ++result.valuesWithReplacements;
        separator(i);
    }
    file.endLine();
    std::vector<ValueWriter> writers;
    writers.reserve(columns.size());
    for (const TextColumn &c : columns)
        writers.emplace_back(dataset, c.field);
    const int rows = dataset.RecordCount();
    for (int row = 0; row < rows; ++row) {
        for (size_t i = 0; i < writers.size(); ++i) {
            if (!writers[i].append(row, out))
                ++result.valuesWithReplacements;
            separator(i);
        }
        file.endLine();
    }
    file.commit();
    result.rows = rows;
    return result;
}

} // namespace exchange
