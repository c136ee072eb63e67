#pragma once
// Column-wise storage of a result: one typed array per column and one byte arena for
// text and binary values, so a million rows cost little more than their own bytes.
// Integers take the narrowest width their values allow, NULLs a bit, and a text column
// whose values repeat stores each value once and a small number per row.
#include "data/core/ByteArena.h"
#include "data/core/FieldType.h"
#include "data/core/NarrowInts.h"
#include "data/core/NullFlags.h"
#include "data/core/PodVector.h"
#include "data/core/TextDictionary.h"
#include <QVariant>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace data {

class ColumnStore {
public:
    explicit ColumnStore(StorageKind kind = StorageKind::Text) : kind_(kind) {}

    StorageKind kind() const { return kind_; }
    size_t size() const { return count_; }
    void reserve(size_t rows);

    void appendNull();
    void appendInt(int64_t v);
    void appendReal(double v);
    void appendDateTime(int64_t msecsSinceEpoch); // wall-clock time, no zone
    void appendMoney(int64_t tenThousandths);
    void appendText(std::string_view utf8);       // Text and Bytes columns
    // Appends a value of any kind, converting it to the column's storage. A value the
    // storage cannot hold without loss turns the column into a Text column first.
    void appendValue(const QVariant &value);

    bool isNull(size_t row) const;
    int64_t intAt(size_t row) const { return ints_[row]; }
    double realAt(size_t row) const { return reals_[row]; }
    int64_t dateTimeAt(size_t row) const { return ints_[row]; }
    int64_t moneyAt(size_t row) const { return ints_[row]; } // ten-thousandths
    std::string_view textAt(size_t row) const;

    // The value as the field type reads it: qint64, double, bool, QDateTime/QDate/QTime,
    // QString (exact decimal text for money), QByteArray; an invalid QVariant for NULL.
    QVariant value(size_t row, TFieldType type) const;
    // Replaces one value (same conversions as appendValue).
    void setValue(size_t row, const QVariant &value);

    // Converts every value to text (used when a column turns out to hold mixed kinds).
    // Date-times become text in the form of `shownAs`: a date column's "yyyy-MM-dd", a
    // time column's "HH:mm:ss[.zzz]", otherwise both.
    void promoteToText(TFieldType shownAs = ftDateTime);

    size_t memoryBytes() const;
    // Gives back the room kept for more rows (when the last row is in); appending later
    // still works.
    void releaseSlack();

    static int64_t toEpochMsecs(const QDateTime &dt);
    static QDateTime fromEpochMsecs(int64_t msecs);

private:
    void appended(bool isNull); // bookkeeping after a value went into the typed array
    void setNull(size_t row, bool isNull);
    bool fits(const QVariant &value) const;
    void storeAt(size_t row, const QVariant &value); // row == count_ appends
    void setText(size_t row, std::string_view utf8);
    bool tooVariedToCode(uint32_t code) const;
    void stopCoding();

    StorageKind kind_;
    size_t count_ = 0;
    NarrowInts ints_;              // Int, DateTime and Money
    PodVector<double> reals_;      // Real
    bool coded_ = true;            // Text/Bytes: rows hold codes_ until values vary too much
    NarrowInts codes_;             // Text/Bytes coded: the value's number in dictionary_
    TextDictionary dictionary_;
    PodVector<uint64_t> refs_;     // Text/Bytes not coded: the value's reference in arena_
    ByteArena arena_;
    NullFlags nulls_;
};

// All columns of one result. Physical row numbers never change; the dataset keeps the
// visible order separately.
struct RowStore {
    std::vector<ColumnStore> columns;
    size_t rowCount() const { return columns.empty() ? physicalRows : columns.front().size(); }
    size_t physicalRows = 0; // for results without columns
    size_t memoryBytes() const;
    void releaseSlack();
};

} // namespace data
