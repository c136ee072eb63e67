#include "TabTextExport.h"
#include "Cp950Encoder.h"
#include "ExportError.h"
#include "data/Dataset.h"
#include <QSaveFile>
#include <charconv>

namespace exchange {

namespace {

constexpr size_t kFlushBytes = 1 << 20;

// Appends one value's display text. Text and integer columns are read straight from
// the store (the same text Field::displayTextOf gives for them); every other kind goes
// through the display text of the data layer.
class ValueWriter {
public:
    ValueWriter(const data::Dataset &dataset, int field)
        : dataset_(dataset), field_(field), store_(dataset.store().columns[size_t(field)])
    {
        const data::TFieldType type = dataset.columnInfos()[size_t(field)].type;
        const bool blob = data::isBlobType(type);
        direct_ = !blob && (store_.kind() == data::StorageKind::Text ||
                            (store_.kind() == data::StorageKind::Int && type != data::ftBoolean));
    }

    bool append(int row, std::string &out) const
    {
        const Cp950Encoder &cp950 = Cp950Encoder::instance();
        if (!direct_)
            return cp950.append(dataset_.displayTextAt(row, field_), out);
        const size_t physical = dataset_.order()[size_t(row)];
        if (store_.isNull(physical))
            return true;
        if (store_.kind() == data::StorageKind::Text)
            return cp950.appendUtf8(store_.textAt(physical), out);
        char digits[24];
        const auto done = std::to_chars(digits, digits + sizeof digits, store_.intAt(physical));
        out.append(digits, done.ptr);
        return true;
    }

private:
    const data::Dataset &dataset_;
    int field_;
    const data::ColumnStore &store_;
    bool direct_ = false;
};

class LineFile {
public:
    explicit LineFile(const QString &path) : file_(path)
    {
        if (!file_.open(QIODevice::WriteOnly))
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
        if (!file_.commit())
            fail();
    }

private:
    void flush()
    {
        if (!buffer_.empty() && file_.write(buffer_.data(), qint64(buffer_.size())) != qint64(buffer_.size()))
            fail();
        buffer_.clear();
    }
    [[noreturn]] void fail()
    {
        const QString reason = file_.errorString();
        file_.cancelWriting();
        throw ExportError(QStringLiteral("Unable to write to %1: %2").arg(file_.fileName(), reason));
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
