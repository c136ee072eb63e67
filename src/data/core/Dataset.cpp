#include "data/core/Dataset.h"
#include "data/core/ScopedFlag.h"
#include "data/core/Connection.h"
#include "data/core/DatabaseError.h"
#include "data/core/ExactNumber.h"
#include "data/core/RowWriter.h"
#include "data/rowsetxml/RowsetXml.h"
#include <QDateTime>
#include <algorithm>
#include <climits>
#include <numeric>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace data {

namespace {

const QString kNotInEdit = QStringLiteral("資料集不在編輯或新增狀態");

QString readOnlyText()
{
    return QStringLiteral("此資料集為唯讀，無法修改。");
}

QString joinedResultText()
{
    return QStringLiteral("此查詢結果由多個表格或運算欄位組成，無法修改。");
}

// Slices of the background fill. The first one shows a screenful at once; later ones
// are short enough that keys and paints between them are not held up.
FetchBudget firstSlice{2000, std::chrono::milliseconds(50)};
FetchBudget laterSlice{0, std::chrono::milliseconds(20)};
Dataset::FillWaitFactory fillWaitFactory;

} // namespace

FetchStopped::FetchStopped() : DatabaseError(QStringLiteral("已停止讀取資料。")) {}

Dataset::Dataset(QObject *parent) : QObject(parent), store_(std::make_unique<RowStore>())
{
    fillTimer_.setInterval(0);
    connect(&fillTimer_, &QTimer::timeout, this, &Dataset::fetchSlice);
}

Dataset::~Dataset()
{
    if (pending_ && connection_ && connection_->fillingDataset() == this)
        connection_->setFillingDataset(nullptr);
}

void Dataset::setFillWaitFactory(FillWaitFactory factory)
{
    fillWaitFactory = std::move(factory);
}

void Dataset::setFillBudgets(const FetchBudget &first, const FetchBudget &slice)
{
    firstSlice = first;
    laterSlice = slice;
}

FetchBudget Dataset::firstSliceBudget()
{
    return firstSlice;
}

FetchBudget Dataset::sliceBudget()
{
    return laterSlice;
}

namespace {

// All rows are in: the room kept for more goes back to the system, and so do the C
// library's pages freed while the fill grew its arrays.
void releaseFillSlack(RowStore &rows)
{
    rows.releaseSlack();
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

} // namespace

// ---- life -------------------------------------------------------------------------

void Dataset::Open()
{
    if (OpenOrExecute())
        throw DatabaseError(QStringLiteral("CommandText 不會傳回資料列集"));
}

std::optional<long long> Dataset::OpenOrExecute()
{
    if (Active())
        return std::nullopt;
    if (!connection_)
        throw DatabaseError(QStringLiteral("沒有指定資料庫連線或連線字串"));
    if (commandText_.trimmed().isEmpty())
        throw DatabaseError(QStringLiteral("CommandText 不會傳回資料列集"));
    emit beforeOpen();
    auto result = connection_->session().openQuery(commandText_, {}, commandTimeout_, scope_,
                                                   fillsInBackground_ ? firstSlice : FetchBudget{});
    if (result->columns.empty())
        return result->rowsAffected;
    install(std::move(result->columns), std::move(result->rows), RowsMode::Database);
    if (result->pending) {
        startFill(std::move(result->pending)); // the key is asked for at the first write
    } else {
        releaseFillSlack(*store_);
        decideKeys(false);
    }
    return std::nullopt;
}

// ---- background fill ----------------------------------------------------------------

void Dataset::startFill(std::unique_ptr<PendingRows> pending)
{
    pending_ = std::move(pending);
    if (connection_)
        connection_->setFillingDataset(this);
    fillTimer_.start();
    emit stateChanged();
}

bool Dataset::fetchInto(const FetchBudget &budget)
{
    // A slice waiting for a stalled server lets events through (the stop button); none of
    // them may fetch from the same source meanwhile.
    if (inSlice_)
        throw DatabaseError(QStringLiteral("資料讀取中，請稍候。"));
    const std::vector<ColumnInfo> before = columns_;
    bool ended = false;
    {
        const ScopedFlag slicing(inSlice_);
        try {
            ended = pending_->fetchMore(columns_, *store_, budget);
        } catch (const DatabaseError &) {
            // The rows so far stay, marked as cut short like a stopped fill.
            stopAfterSlice_ = false;
            takeArrivedRows(before);
            endFill(true);
            throw;
        }
    }
    takeArrivedRows(before);
    if (stopAfterSlice_) { // asked for while the slice ran: its source could not go then
        stopAfterSlice_ = false;
        endFill(true);
        return false;
    }
    return ended;
}

// Rows past the visible order are new: they join it at the end. A column whose type
// changed (a first value, or the settling at the end) makes the fields follow and the
// controls re-read everything.
void Dataset::takeArrivedRows(const std::vector<ColumnInfo> &before)
{
    const size_t physical = store_->rowCount();
    const int firstVisible = RecordCount();
    for (size_t row = fetchedRows_; row < physical; ++row)
        order_.push_back(uint32_t(row));
    fetchedRows_ = physical;
    bool retyped = false;
    for (size_t c = 0; c < columns_.size(); ++c)
        if (columns_[c].type != before[c].type || columns_[c].isLong != before[c].isLong ||
            columns_[c].size != before[c].size) {
            fields_[c]->settleInfo(columns_[c]);
            retyped = true;
        }
    if (current_ < 0 && !order_.empty()) {
        current_ = 0;
        eof_ = false;
    }
    // No insert is pending here (Append and Insert wait for all rows), so the new rows
    // are the last visible ones.
    if (retyped)
        notifyReset();
    else if (RecordCount() > firstVisible && disableCount_ == 0)
        emit rowsArrived(firstVisible, RecordCount() - 1);
    else if (RecordCount() > firstVisible)
        pendingReset_ = true;
}

void Dataset::fetchSlice()
{
    if (!pending_) {
        fillTimer_.stop();
        return;
    }
    if (inSlice_)
        return; // the timer fired during the slice's own wait
    try {
        if (fetchInto(laterSlice))
            endFill(false);
    } catch (const CommandStopped &) {
        // Stopped while the server kept its rows back: a stopped fill, rows kept.
    } catch (const DatabaseError &e) {
        emit fillFailed(e.message());
    }
}

bool Dataset::FetchAll()
{
    if (!pending_)
        return true;
    fillTimer_.stop();
    if (waiting_ || !fillWaitFactory) {
        // Nobody to show the wait to (or asked from inside a wait): fetch the rest now.
        if (fetchInto(FetchBudget{}))
            endFill(false);
        return true;
    }
    const ScopedFlag waiting(waiting_);
    const std::unique_ptr<FillWait> wait = fillWaitFactory(*this);
    while (pending_) {
        if (fetchInto(laterSlice)) {
            endFill(false);
            break;
        }
        if (wait && !wait->progress(*this))
            StopFill();
    }
    return !fillStopped_;
}

void Dataset::fetchUntil(int rows)
{
    while (pending_ && RecordCount() < rows)
        if (fetchInto(laterSlice))
            endFill(false);
}

void Dataset::RequireAllRows()
{
    const bool wasFetching = Fetching();
    if (!FetchAll() && wasFetching)
        throw FetchStopped();
}

void Dataset::StopFill()
{
    if (inSlice_) // the slice's source is in use below us: it ends when the slice returns
        stopAfterSlice_ = true;
    else if (pending_)
        endFill(true);
}

void Dataset::endFill(bool stopped)
{
    fillTimer_.stop();
    pending_.reset(); // frees the statement: the connection is free again
    if (connection_ && connection_->fillingDataset() == this)
        connection_->setFillingDataset(nullptr);
    fillStopped_ = stopped;
    if (Active()) // not when closing: the rows go anyway
        releaseFillSlack(*store_);
    emit stateChanged();
    emit fillEnded();
}

void Dataset::OpenResult(std::vector<ColumnInfo> columns, RowStore rows, RowsMode mode)
{
    Close();
    emit beforeOpen();
    install(std::move(columns), std::move(rows), mode);
}

void Dataset::install(std::vector<ColumnInfo> columns, RowStore rows, RowsMode mode)
{
    columns_ = std::move(columns);
    *store_ = std::move(rows);
    // A result without any rows still needs one store per column.
    while (store_->columns.size() < columns_.size())
        store_->columns.emplace_back(storageFor(columns_[store_->columns.size()].type));
    order_.resize(store_->rowCount());
    std::iota(order_.begin(), order_.end(), 0u);
    fetchedRows_ = store_->rowCount();
    fillStopped_ = false;
    sort_.clear();
    mode_ = mode;
    buildFields();
    decideWritability();
    current_ = order_.empty() ? -1 : 0;
    bof_ = true;
    eof_ = order_.empty();
    state_ = dsBrowse;
    emit afterOpen();
    emit stateChanged();
    notifyReset();
    notifyScroll();
}

void Dataset::Close()
{
    if (!Active())
        return;
    // Closing (or replacing the rows) leaves a pending edit as a move does: typed changes
    // are posted, an untouched edit is cancelled; a failed post keeps the dataset open.
    checkBrowse();
    emit beforeClose();
    state_ = dsInactive;
    if (pending_)
        endFill(false); // drops the rows not fetched; the dataset is closed, not cut short
    fillStopped_ = false;
    fetchedRows_ = 0;
    keysDecided_ = false;
    fields_.clear();
    columns_.clear();
    *store_ = RowStore();
    order_.clear();
    order_.shrink_to_fit();
    buffer_.clear();
    modified_.clear();
    current_ = -1;
    eof_ = bof_ = true;
    baseTable_ = {};
    keyColumns_.clear();
    readOnlyReason_.clear();
    xmlDeclared_.reset();
    loadNotes_.clear();
    emit afterClose();
    emit stateChanged();
    notifyReset();
}

void Dataset::buildFields()
{
    fields_.clear();
    for (size_t i = 0; i < columns_.size(); ++i)
        fields_.push_back(std::make_unique<Field>(this, int(i), columns_[i]));
}

void Dataset::decideWritability()
{
    baseTable_ = {};
    keyColumns_.clear();
    readOnlyReason_.clear();
    if (mode_ == RowsMode::ReadOnly) {
        readOnlyReason_ = readOnlyText();
        return;
    }
    if (mode_ == RowsMode::InMemory)
        return;
    // Rows go back to the database only when they all come from one table.
    TableName table;
    bool single = !columns_.empty();
    for (const auto &c : columns_) {
        const TableName base{c.baseSchema, c.baseTable};
        if (c.baseTable.isEmpty() || (!table.name.isEmpty() && base != table)) {
            single = false;
            break;
        }
        table = base;
    }
    const TableName named = singleTableNameOf(commandText_);
    if (!single)
        table = named;
    else if (table.schema.isEmpty() && table.name == named.name)
        table.schema = named.schema; // drivers that name the base table without its schema
    if (table.name.isEmpty()) {
        readOnlyReason_ = joinedResultText();
        return;
    }
    baseTable_ = table;
    keysDecided_ = false;
}

// The key of a complete result is asked for at Open; while rows still arrive, at the
// first write: asking then would wait for all of them (one result at a time).
void Dataset::decideKeys(bool forWrite)
{
    if (keysDecided_ || baseTable_.name.isEmpty())
        return;
    keysDecided_ = true;
    QStringList keys;
    for (const auto &c : columns_)
        if (c.keyColumn)
            keys << c.name;
    if (keys.isEmpty() && connection_ && connection_->Connected()) {
        try {
            // A table of a schema goes as its quoted parts, which the key lookup reads apart.
            ProviderSession &session = connection_->session();
            keys = session.primaryKey(baseTable_.schema.isEmpty() ? baseTable_.name
                                                                  : qualifiedTableName(session, baseTable_));
        } catch (const CommandStopped &) {
            keysDecided_ = false; // asked again at the next write
            if (forWrite)
                throw; // the write was stopped
            return;
        } catch (const DatabaseError &) {
            keys.clear(); // identify rows by all their values instead
        }
    }
    for (const QString &k : keys)
        if (!FindField(k)) {
            keys.clear(); // the result lacks part of the key
            break;
        }
    keyColumns_ = keys;
}

bool Dataset::CanModify() const
{
    return Active() && readOnlyReason_.isEmpty();
}

std::unique_ptr<RowWriter> Dataset::makeWriter()
{
    if (mode_ != RowsMode::Database)
        return nullptr;
    if (!connection_)
        throw DatabaseError(QStringLiteral("沒有指定資料庫連線或連線字串"));
    ProviderSession &session = connection_->session(); // waits for a pending fill first
    decideKeys(true);
    return makeDatabaseRowWriter(session, baseTable_, columns_, keyColumns_,
                                 commandTimeout_);
}

// ---- notifications ------------------------------------------------------------------

void Dataset::setState(TDataSetState state)
{
    if (state_ == state)
        return;
    state_ = state;
    emit stateChanged();
}

void Dataset::notifyScroll()
{
    if (disableCount_ > 0) {
        pendingScroll_ = true;
        return;
    }
    emit afterScroll();
}

void Dataset::notifyReset()
{
    if (disableCount_ > 0) {
        pendingReset_ = true;
        return;
    }
    emit dataReset();
}

void Dataset::EnableControls()
{
    if (disableCount_ == 0 || --disableCount_ > 0)
        return;
    // Controls re-read everything once, as after any change made while disabled.
    pendingReset_ = pendingScroll_ = false;
    emit dataReset();
    emit afterScroll();
}

// ---- cursor -------------------------------------------------------------------------

void Dataset::checkActive() const
{
    if (!Active())
        throw DatabaseError(QStringLiteral("資料集已關閉，無法執行此操作"));
}

void Dataset::checkBrowse()
{
    checkActive();
    if (state_ == dsEdit || state_ == dsInsert) {
        emit checkingBrowseMode();
        storeTypedText();
        if (std::find(modified_.begin(), modified_.end(), true) != modified_.end())
            Post();
        else
            Cancel();
    }
}

void Dataset::setTypedTextHolder(const QObject *holder, TypedTextHolder store)
{
    std::erase_if(typedTextHolders_, [holder](const auto &entry) { return entry.first == holder; });
    if (store)
        typedTextHolders_.emplace_back(holder, std::move(store));
}

void Dataset::storeTypedText()
{
    for (const auto &[holder, store] : std::vector(typedTextHolders_)) // a holder may deregister
        if (std::optional<DatabaseError> refused = store())
            throw *refused;
}

void Dataset::moveTo(int row)
{
    const int count = RecordCount();
    current_ = count == 0 ? -1 : std::clamp(row, 0, count - 1);
    notifyScroll();
}

void Dataset::First()
{
    checkBrowse();
    moveTo(0);
    bof_ = true;
    eof_ = order_.empty();
}

void Dataset::Last()
{
    checkBrowse();
    FetchAll(); // the last row of the result, not of what has arrived
    moveTo(RecordCount() - 1);
    eof_ = true;
    bof_ = order_.empty();
}

void Dataset::Next()
{
    checkBrowse();
    fetchUntil(current_ + 2);
    bof_ = false;
    if (current_ + 1 < RecordCount()) {
        moveTo(current_ + 1);
        eof_ = false;
    } else {
        eof_ = true;
    }
}

void Dataset::Prior()
{
    checkBrowse();
    eof_ = false;
    if (current_ > 0) {
        moveTo(current_ - 1);
        bof_ = false;
    } else {
        bof_ = true;
    }
}

int Dataset::MoveBy(int distance)
{
    checkBrowse();
    if (distance > 0)
        fetchUntil(int(std::min<long long>((long long)current_ + distance + 1, INT_MAX)));
    if (order_.empty()) {
        eof_ = bof_ = true;
        return 0;
    }
    const int from = current_;
    const int to = std::clamp(current_ + distance, 0, RecordCount() - 1);
    eof_ = distance > 0 && current_ + distance >= RecordCount();
    bof_ = distance < 0 && current_ + distance < 0;
    if (to != from)
        moveTo(to);
    return to - from;
}

void Dataset::setRecNo(int recNo)
{
    checkBrowse();
    fetchUntil(recNo);
    moveTo(recNo - 1);
    eof_ = bof_ = false;
}

Bookmark Dataset::GetBookmark() const
{
    if (current_ < 0 || current_ >= RecordCount())
        return {};
    return {order_[size_t(current_)]};
}

bool Dataset::BookmarkValid(const Bookmark &bookmark) const
{
    return bookmark.isValid() &&
           std::find(order_.begin(), order_.end(), uint32_t(bookmark.row)) != order_.end();
}

void Dataset::GotoBookmark(const Bookmark &bookmark)
{
    checkBrowse();
    auto it = std::find(order_.begin(), order_.end(), uint32_t(bookmark.row));
    if (!bookmark.isValid() || it == order_.end())
        throw DatabaseError(QStringLiteral("找不到該筆資料"));
    moveTo(int(it - order_.begin()));
    eof_ = bof_ = false;
}

// ---- values -------------------------------------------------------------------------

int Dataset::rowOfVisible(int row, bool &isBuffer) const
{
    isBuffer = false;
    if (state_ == dsInsert) {
        if (row == insertAt_) {
            isBuffer = true;
            return -1;
        }
        if (row > insertAt_)
            --row;
    } else if (state_ == dsEdit && row == current_) {
        isBuffer = true;
        return -1;
    }
    if (row < 0 || row >= RecordCount())
        return -2;
    return int(order_[size_t(row)]);
}

QVariant Dataset::valueAt(int row, int field) const
{
    bool isBuffer;
    const int physical = rowOfVisible(row, isBuffer);
    if (field < 0 || field >= FieldCount())
        return QVariant();
    if (isBuffer)
        return buffer_[size_t(field)];
    if (physical < 0)
        return QVariant();
    return store_->columns[size_t(field)].value(size_t(physical), columns_[size_t(field)].type);
}

QString Dataset::displayTextAt(int row, int field) const
{
    if (field < 0 || field >= FieldCount())
        return QString();
    return Field::displayTextOf(valueAt(row, field), columns_[size_t(field)].type);
}

QVariant Dataset::currentValue(int field) const
{
    if (!Active() || field < 0 || field >= FieldCount())
        return QVariant();
    if (state_ == dsEdit || state_ == dsInsert)
        return buffer_[size_t(field)];
    if (current_ < 0)
        return QVariant();
    return store_->columns[size_t(field)].value(order_[size_t(current_)], columns_[size_t(field)].type);
}

void Dataset::setCurrentValue(int field, const QVariant &value)
{
    checkActive();
    if (field < 0 || field >= FieldCount())
        throw DatabaseError(QStringLiteral("欄位索引超出範圍"));
    if (Fields(field)->ReadOnly())
        throw DatabaseError(QStringLiteral("欄位 '%1' 不能修改").arg(Fields(field)->FieldName()));
    if (state_ == dsBrowse)
        Edit();
    buffer_[size_t(field)] = value;
    modified_[size_t(field)] = true;
    emit fieldChanged(field);
    if (disableCount_ == 0)
        emit recordChanged(state_ == dsInsert ? insertAt_ : current_);
}

// ---- changes ------------------------------------------------------------------------

void Dataset::Edit()
{
    checkActive();
    if (state_ == dsEdit || state_ == dsInsert)
        return;
    if (!CanModify())
        throw DatabaseError(readOnlyReason_);
    if (order_.empty()) {
        Append();
        return;
    }
    buffer_.assign(columns_.size(), QVariant());
    for (size_t f = 0; f < columns_.size(); ++f)
        buffer_[f] = store_->columns[f].value(order_[size_t(current_)], columns_[f].type);
    modified_.assign(columns_.size(), false);
    setState(dsEdit);
}

void Dataset::Append()
{
    checkBrowse();
    FetchAll(); // the new row goes after every fetched one
    if (!CanModify())
        throw DatabaseError(readOnlyReason_);
    buffer_.assign(columns_.size(), QVariant());
    modified_.assign(columns_.size(), false);
    insertAt_ = RecordCount();
    current_ = insertAt_;
    eof_ = true;
    bof_ = false;
    setState(dsInsert);
    notifyReset();
    notifyScroll();
}

void Dataset::Insert()
{
    checkBrowse();
    FetchAll(); // rows arriving later must not shift the row being inserted
    if (!CanModify())
        throw DatabaseError(readOnlyReason_);
    buffer_.assign(columns_.size(), QVariant());
    modified_.assign(columns_.size(), false);
    insertAt_ = std::max(current_, 0);
    current_ = insertAt_;
    eof_ = bof_ = false;
    setState(dsInsert);
    notifyReset();
    notifyScroll();
}

void Dataset::Post()
{
    checkActive();
    if (state_ != dsEdit && state_ != dsInsert)
        return;
    storeTypedText();
    emit beforePost();
    for (size_t f = 0; f < fields_.size(); ++f) {
        const Field *field = fields_[f].get();
        if (field->Required() && !field->ReadOnly() && (!buffer_[f].isValid() || buffer_[f].isNull()) &&
            (state_ == dsInsert || modified_[f]))
            throw DatabaseError(QStringLiteral("欄位 '%1' 必須有值").arg(field->DisplayLabel()));
    }
    if (state_ == dsEdit) {
        const bool changed = std::find(modified_.begin(), modified_.end(), true) != modified_.end();
        if (changed) {
            const size_t physical = order_[size_t(current_)];
            if (auto writer = makeWriter())
                writer->update(*store_, physical, buffer_, modified_); // throws: stays in edit
            for (size_t f = 0; f < columns_.size(); ++f)
                if (modified_[f])
                    store_->columns[f].setValue(physical, buffer_[f]);
        }
        setState(dsBrowse);
        if (disableCount_ == 0)
            emit recordChanged(current_);
    } else {
        std::vector<QVariant> stored = buffer_;
        if (auto writer = makeWriter())
            stored = writer->insert(buffer_, modified_); // throws: stays in insert
        const uint32_t physical = uint32_t(store_->rowCount());
        for (size_t f = 0; f < columns_.size(); ++f)
            store_->columns[f].appendValue(f < stored.size() ? stored[f] : QVariant());
        if (columns_.empty())
            ++store_->physicalRows;
        order_.insert(order_.begin() + insertAt_, physical);
        current_ = insertAt_;
        insertAt_ = -1;
        eof_ = bof_ = false;
        setState(dsBrowse);
        notifyReset();
    }
    buffer_.clear();
    modified_.clear();
    emit afterPost();
}

void Dataset::Cancel()
{
    if (state_ != dsEdit && state_ != dsInsert)
        return;
    const bool wasInsert = state_ == dsInsert;
    buffer_.clear();
    modified_.clear();
    if (wasInsert) {
        const int count = RecordCount();
        current_ = count == 0 ? -1 : std::min(insertAt_, count - 1);
        insertAt_ = -1;
        eof_ = count == 0;
    }
    setState(dsBrowse);
    emit afterCancel();
    if (wasInsert) {
        notifyReset();
        notifyScroll();
    } else if (disableCount_ == 0) {
        emit recordChanged(current_);
    }
}

void Dataset::Delete()
{
    checkActive();
    if (state_ == dsInsert) {
        Cancel();
        return;
    }
    if (order_.empty())
        throw DatabaseError(QStringLiteral("資料集沒有資料，無法執行此操作"));
    if (!CanModify())
        throw DatabaseError(readOnlyReason_);
    if (state_ == dsEdit)
        Cancel();
    emit beforeDelete();
    const size_t physical = order_[size_t(current_)];
    if (auto writer = makeWriter())
        writer->remove(*store_, physical);
    order_.erase(order_.begin() + current_);
    const int count = RecordCount();
    current_ = count == 0 ? -1 : std::min(current_, count - 1);
    eof_ = count == 0;
    notifyReset();
    emit afterDelete();
    notifyScroll();
}

// ---- fields -------------------------------------------------------------------------

Field *Dataset::FindField(const QString &name) const
{
    for (const auto &f : fields_)
        if (f->FieldName().compare(name, Qt::CaseInsensitive) == 0)
            return f.get();
    return nullptr;
}

Field *Dataset::FieldByName(const QString &name) const
{
    Field *f = FindField(name);
    if (!f)
        throw DatabaseError(QStringLiteral("找不到欄位 '%1'").arg(name));
    return f;
}

QStringList Dataset::FieldNames() const
{
    QStringList names;
    for (const auto &f : fields_)
        names << f->FieldName();
    return names;
}

// ---- locate and sort ----------------------------------------------------------------

namespace {

bool matches(const QVariant &value, const QVariant &key, const Field &field, TLocateOptions options)
{
    const bool keyNull = !key.isValid() || key.isNull() ||
                         (key.typeId() == QMetaType::QString && key.toString().isEmpty() &&
                          field.DataType() != ftString && field.DataType() != ftWideString);
    if (!value.isValid() || value.isNull())
        return keyNull;
    if (keyNull)
        return false;
    const QString valueText = Field::textOf(value, field.DataType());
    QString keyText = key.typeId() == QMetaType::QString ? key.toString() : Field::textOf(key, field.DataType());
    // Numbers and dates compare by value when the key reads as one.
    if (!(options & loPartialKey) && storageFor(field.DataType()) != StorageKind::Text &&
        storageFor(field.DataType()) != StorageKind::Bytes) {
        try {
            const QVariant typed = key.typeId() == QMetaType::QString ? field.fromText(keyText) : key;
            if (typed.isValid()) {
                if (value.typeId() == QMetaType::Double || typed.typeId() == QMetaType::Double)
                    return value.toDouble() == typed.toDouble();
                return Field::textOf(typed, field.DataType()) == valueText;
            }
        } catch (const DatabaseError &) {
            return false;
        }
    }
    const Qt::CaseSensitivity cs = (options & loCaseInsensitive) ? Qt::CaseInsensitive : Qt::CaseSensitive;
    if (options & loPartialKey)
        return valueText.startsWith(keyText, cs);
    return valueText.compare(keyText, cs) == 0;
}

} // namespace

bool Dataset::Locate(const QString &keyFields, const QVariant &keyValues, TLocateOptions options)
{
    checkBrowse();
    const QStringList names = keyFields.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    std::vector<Field *> fields;
    for (const QString &n : names)
        fields.push_back(FieldByName(n.trimmed()));
    QVariantList keys;
    if (keyValues.typeId() == QMetaType::QVariantList)
        keys = keyValues.toList();
    else if (keyValues.typeId() == QMetaType::QStringList)
        for (const QString &s : keyValues.toStringList())
            keys << s;
    else
        keys << keyValues;
    return Locate(fields, keys, options);
}

bool Dataset::Locate(const std::vector<Field *> &fields, const QVariantList &keys, TLocateOptions options)
{
    checkBrowse();
    if (fields.empty() || keys.size() != qsizetype(fields.size()))
        throw DatabaseError(QStringLiteral("尋找資料時每個欄位都要有一個值"));
    for (const Field *field : fields)
        if (!field || field->DataSet() != this)
            throw DatabaseError(QStringLiteral("尋找資料只能用本資料集的欄位"));
    auto search = [&](int from) {
        for (int row = from; row < RecordCount(); ++row) {
            bool all = true;
            for (size_t i = 0; i < fields.size() && all; ++i)
                all = matches(valueAt(row, fields[i]->Index()), keys[qsizetype(i)], *fields[i], options);
            if (all)
                return row;
        }
        return -1;
    };
    int found = search(0);
    if (found < 0 && Fetching()) {
        // No match among the rows so far: the rest may hold one.
        const int searched = RecordCount();
        FetchAll();
        found = search(searched);
    }
    if (found < 0)
        return false;
    moveTo(found);
    eof_ = bof_ = false;
    return true;
}

namespace {

bool isExactDecimal(TFieldType type)
{
    return type == ftBCD || type == ftFMTBcd;
}

// Exact decimals are held as text; they order by value. Text that is no number: nullopt.
std::optional<int> compareDecimalTexts(std::string_view a, std::string_view b)
{
    exact::Decimal x, y;
    if (!exact::parseDecimal(a, x) || !exact::parseDecimal(b, y))
        return std::nullopt;
    return exact::compare(x, y);
}

struct SortPart {
    QString name;
    bool descending = false;
    bool bracketed = false;
};

// A direction word closing a sort part: the part's direction, or nullopt when the text
// is something else.
std::optional<bool> directionOf(const QString &word)
{
    if (word.compare(QLatin1String("DESC"), Qt::CaseInsensitive) == 0)
        return true;
    if (word.isEmpty() || word.compare(QLatin1String("ASC"), Qt::CaseInsensitive) == 0)
        return false;
    return std::nullopt;
}

// "[name]" at `at`, with "]]" standing for "]"; `at` ends after the closing bracket.
// Unclosed: nullopt.
std::optional<QString> bracketedName(const QString &text, qsizetype &at)
{
    QString name;
    for (qsizetype i = at + 1; i < text.size(); ++i) {
        if (text[i] != QLatin1Char(']')) {
            name += text[i];
        } else if (i + 1 < text.size() && text[i + 1] == QLatin1Char(']')) {
            name += text[i++];
        } else {
            at = i + 1;
            return name;
        }
    }
    return std::nullopt;
}

// A part in brackets: the name and the direction after it, up to the next comma.
std::optional<SortPart> bracketedPart(const QString &sort, qsizetype &from)
{
    qsizetype at = from;
    while (at < sort.size() && sort[at].isSpace())
        ++at;
    if (at >= sort.size() || sort[at] != QLatin1Char('['))
        return std::nullopt;
    const std::optional<QString> name = bracketedName(sort, at);
    if (!name)
        return std::nullopt;
    const qsizetype comma = sort.indexOf(QLatin1Char(','), at);
    const qsizetype end = comma < 0 ? sort.size() : comma;
    const std::optional<bool> desc = directionOf(sort.mid(at, end - at).trimmed());
    if (!desc)
        return std::nullopt;
    from = end;
    return SortPart{*name, *desc, true};
}

// A plain part: words up to the next comma, less a closing ASC or DESC.
SortPart plainPart(const QString &sort, qsizetype &from)
{
    const qsizetype comma = sort.indexOf(QLatin1Char(','), from);
    const qsizetype end = comma < 0 ? sort.size() : comma;
    QStringList words = sort.mid(from, end - from).trimmed().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    from = end;
    SortPart part;
    if (words.size() > 1 && !words.last().isEmpty()) {
        if (const std::optional<bool> desc = directionOf(words.last())) {
            part.descending = *desc;
            words.removeLast();
        }
    }
    part.name = words.join(QLatin1Char(' '));
    return part;
}

// "Name ASC, [Other, odd] DESC": parts split at commas outside square brackets; a name in
// brackets keeps its commas and blanks ("]]" inside stands for "]"); empty plain parts
// are skipped.
std::vector<SortPart> parseSort(const QString &sort)
{
    std::vector<SortPart> parts;
    for (qsizetype from = 0; from < sort.size(); ++from) {
        std::optional<SortPart> part = bracketedPart(sort, from);
        if (!part)
            part = plainPart(sort, from);
        if (part->bracketed || !part->name.isEmpty())
            parts.push_back(std::move(*part));
    }
    return parts;
}

} // namespace

QString Dataset::sortNameOf(const QString &fieldName)
{
    return QLatin1Char('[') + QString(fieldName).replace(QLatin1Char(']'), QLatin1String("]]")) +
           QLatin1Char(']');
}

void Dataset::setSort(const QString &sort)
{
    checkBrowse();
    FetchAll(); // rows arriving later would fall outside the order
    struct Key {
        int field;
        bool descending;
    };
    std::vector<Key> keys;
    for (const SortPart &part : parseSort(sort))
        keys.push_back({FieldByName(part.name)->Index(), part.descending});
    const Bookmark keep = GetBookmark();
    if (keys.empty()) {
        std::sort(order_.begin(), order_.end());
    } else {
        const RowStore &st = *store_;
        auto compareField = [&](const Key &k, uint32_t a, uint32_t b) -> int {
            const ColumnStore &c = st.columns[size_t(k.field)];
            const bool na = c.isNull(a), nb = c.isNull(b);
            if (na || nb)
                return na == nb ? 0 : (na ? -1 : 1); // NULLs first
            switch (c.kind()) {
            case StorageKind::Int: case StorageKind::DateTime: case StorageKind::Money:
                return c.intAt(a) < c.intAt(b) ? -1 : c.intAt(a) > c.intAt(b) ? 1 : 0;
            case StorageKind::Real:
                return c.realAt(a) < c.realAt(b) ? -1 : c.realAt(a) > c.realAt(b) ? 1 : 0;
            case StorageKind::Bytes: {
                int r = c.textAt(a).compare(c.textAt(b));
                return r < 0 ? -1 : r > 0 ? 1 : 0;
            }
            case StorageKind::Text: {
                const auto ta = c.textAt(a), tb = c.textAt(b);
                if (isExactDecimal(columns_[size_t(k.field)].type))
                    if (const std::optional<int> r = compareDecimalTexts(ta, tb))
                        return *r;
                return QString::compare(QString::fromUtf8(ta.data(), qsizetype(ta.size())),
                                        QString::fromUtf8(tb.data(), qsizetype(tb.size())),
                                        Qt::CaseInsensitive);
            }
            }
            return 0;
        };
        std::stable_sort(order_.begin(), order_.end(), [&](uint32_t a, uint32_t b) {
            for (const Key &k : keys) {
                int r = compareField(k, a, b);
                if (r != 0)
                    return k.descending ? r > 0 : r < 0;
            }
            return false;
        });
    }
    sort_ = sort;
    notifyReset();
    if (keep.isValid())
        GotoBookmark(keep);
}

// ---- persistence --------------------------------------------------------------------

void Dataset::SaveToFile(const QString &fileName, TPersistFormat format)
{
    checkActive();
    if (format != pfXML)
        throw DatabaseError(QStringLiteral("只支援 XML 存檔格式"));
    checkBrowse();
    RequireAllRows();
    rowsetxml::save(fileName, columns_, *store_, order_, CanModify(), xmlDeclared_.get());
}

void Dataset::LoadFromFile(const QString &fileName)
{
    rowsetxml::Rowset rowset = rowsetxml::load(fileName); // nothing changes when it fails
    Close();
    commandText_.clear(); // a loaded file stands alone: its edits stay in memory
    xmlDeclared_ = std::move(rowset.declared);
    loadNotes_ = rowsetxml::loadNotesText(rowset.notes);
    emit beforeOpen();
    install(std::move(rowset.columns), std::move(rowset.rows), RowsMode::InMemory);
}

} // namespace data
