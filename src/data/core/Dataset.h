#pragma once
// A client-side cursor over all rows of a command text (or of a loaded XML file).
// Rows live column-wise in a RowStore; the visible order is a separate index vector,
// so sorting, deleting and appending never copy the data. Everything runs on the GUI
// thread.
//
// Filling in the background. Open returns once the first rows are in (the first slice
// of the fetch: up to 2,000 rows or about 50 ms); the rest arrives in short slices
// (about 20 ms each) from a zero-interval timer, each announced by rowsArrived, while
// Fetching() is true. A result filled this way behaves, once complete, exactly like one
// fetched at once. Until then each operation follows one of two rules:
//
//   works on the rows that have arrived:
//     RecordCount (the rows so far), RecNo, First, Prior, bookmarks, valueAt and the
//     other reads, Edit, Delete (the fill keeps going; the write itself waits, see
//     below); Locate while the match is among them. Next, MoveBy and setRecNo past the
//     last arrived row fetch the slices they need first, so Eof means the end of the
//     result, never the end of what has arrived.
//   waits for all rows (FetchAll, progress through the fill-wait factory, which may stop it):
//     Last; Locate when the arrived rows hold no match; setSort; Append and Insert (new
//     rows go after all others); SaveToFile; RequireAllRows, which every export calls
//     first; and any other use of the connection: Connection::session() finishes the
//     pending fill before it hands the session out (the connection carries one active
//     result), so posting an edit, a delete, another query or a schema rowset wait too.
//
// Stopping the fill (StopFill, or the wait answering false) keeps the rows that
// arrived, frees the connection and makes the dataset complete: from then on it is a
// result of FetchedCount() rows, and FillStopped() says it was cut short. An operation
// whose own wait was stopped goes on with those rows, except RequireAllRows, which throws
// FetchStopped so that no export writes a cut result the user did not ask for.
//
// A fill that fails part-way keeps the rows before the failure, emits fillFailed and
// counts as stopped; a wait for all rows throws the database's error instead. When the
// server holds its rows back, a slice waits through the connection's CommandWait, whose
// stop ends the fill like StopFill (no fillFailed; a wait for all rows throws
// CommandStopped).
//
// A column whose kind is only known from its values may change its field type as rows
// arrive: one without a declared type at its first value, one of mixed kinds or with
// binary values in text when the last rows are in. The dataset then updates its fields
// in place and announces dataReset instead of rowsArrived.
//
// Close drops the rows not yet fetched. LoadFromFile reads the whole file at once.
#include "data/core/ColumnInfo.h"
#include "data/core/ColumnStore.h"
#include "data/core/DatabaseError.h"
#include "data/core/Field.h"
#include "data/core/FieldType.h"
#include "data/core/ProviderSession.h"
#include "data/core/TableName.h"
#include <QObject>
#include <QString>
#include <QTimer>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <functional>
#include <optional>
#include <vector>

namespace data {

// Thrown by RequireAllRows when the user stopped the wait for the remaining rows.
struct FetchStopped : DatabaseError {
    FetchStopped();
};

class Connection;
class RowWriter;
namespace rowsetxml {
struct Declared;
}

enum TLocateOption { loCaseInsensitive = 1, loPartialKey = 2 };
using TLocateOptions = int;
enum TPersistFormat { pfADTG, pfXML };

struct Bookmark {
    long long row = -1; // physical row; stays valid across sorting
    bool isValid() const { return row >= 0; }
    bool operator==(const Bookmark &) const = default;
};

class Dataset : public QObject {
    Q_OBJECT
public:
    explicit Dataset(QObject *parent = nullptr);
    ~Dataset() override;

    void setConnection(Connection *connection) { connection_ = connection; }
    Connection *connection() const { return connection_; }
    QString CommandText() const { return commandText_; }
    // OneStatement for a command built from names (SqlNames.h); typed text is a batch.
    void setCommandText(const QString &text, StatementScope scope = StatementScope::Batch)
    {
        commandText_ = text;
        scope_ = scope;
    }
    int CommandTimeout() const { return commandTimeout_; }
    void setCommandTimeout(int seconds) { commandTimeout_ = seconds; }

    // Life.
    virtual void Open();
    // Runs the command text once: a result set opens the dataset (nullopt); text that
    // yields none has still run, leaves the dataset closed and gives the rows affected
    // (-1 when the database does not say).
    std::optional<long long> OpenOrExecute();
    void Close();
    bool Active() const { return state_ != dsInactive; }
    void setActive(bool active) { active ? Open() : Close(); }
    TDataSetState State() const { return state_; }
    // How the rows of an opened result may change.
    enum class RowsMode { ReadOnly, InMemory, Database };
    // Opens an already fetched result (schema rowsets, loaded files, tests).
    void OpenResult(std::vector<ColumnInfo> columns, RowStore rows,
                    RowsMode mode = RowsMode::ReadOnly);

    // Background fill (see the top of this file).
    bool Fetching() const { return pending_ != nullptr; }
    // Fetches the remaining rows now, in slices, showing the wait (setFillWaitFactory).
    // Returns true when all rows are in, false when the wait was stopped.
    bool FetchAll();
    // FetchAll for operations that must see every row: throws FetchStopped when stopped.
    void RequireAllRows();
    // Ends the fill, keeping the rows that arrived; nothing happens when not fetching.
    void StopFill();
    bool FillStopped() const { return fillStopped_; }
    // Rows fetched so far (deleted ones included), for progress texts.
    long long FetchedCount() const { return (long long)store_->rowCount(); }

    // What the user sees while an operation waits for the remaining rows: made when the
    // wait begins, told after each slice, destroyed when it ends. progress answering
    // false stops the fill. The program shows the count in its status bar and stops on
    // Esc; without a factory the wait runs to the end.
    class FillWait {
    public:
        virtual ~FillWait() = default;
        virtual bool progress(const Dataset &dataset) = 0;
    };
    using FillWaitFactory = std::function<std::unique_ptr<FillWait>(const Dataset &)>;
    static void setFillWaitFactory(FillWaitFactory factory);
    // Slice sizes: the first slice Open fetches and each later one. Tests make them
    // small so that modest tables fill in several slices.
    static void setFillBudgets(const FetchBudget &first, const FetchBudget &slice);
    static FetchBudget firstSliceBudget();
    static FetchBudget sliceBudget();

    // Cursor.
    bool IsEmpty() const { return order_.empty(); }
    bool Eof() const { return eof_; }
    bool Bof() const { return bof_; }
    void First();
    void Last();
    void Next();
    void Prior();
    int MoveBy(int distance);
    int RecordCount() const { return int(order_.size()); }
    int RecNo() const { return current_ + 1; } // 1-based; 0 when empty
    void setRecNo(int recNo);
    bool IsSequenced() const { return sequenced_; }
    void setSequenced(bool sequenced) { sequenced_ = sequenced; }
    Bookmark GetBookmark() const;
    void GotoBookmark(const Bookmark &bookmark);
    bool BookmarkValid(const Bookmark &bookmark) const;
    void DisableControls() { ++disableCount_; }
    void EnableControls();
    bool ControlsDisabled() const { return disableCount_ > 0; }

    // Changes.
    void Edit();
    void Append();
    void Insert();
    void Post();
    void Cancel();
    void Delete();
    bool CanModify() const;
    // Why the rows cannot be changed (empty when they can).
    QString ReadOnlyReason() const { return readOnlyReason_; }

    // Text typed into a control but not yet in its field (a grid's open editor). Before
    // the dataset posts, leaves an edit for a move or closes, it asks every holder to store
    // its text: a holder answers with the error when the field refuses the text, and the
    // post, move or close then stops with that error, the edit and the text kept.
    using TypedTextHolder = std::function<std::optional<DatabaseError>()>;
    void setTypedTextHolder(const QObject *holder, TypedTextHolder store); // empty: removes it

    bool Locate(const QString &keyFields, const QVariant &keyValues, TLocateOptions options);
    // The same with the fields themselves, for names a ";"-joined list cannot carry.
    bool Locate(const std::vector<Field *> &keyFields, const QVariantList &keyValues, TLocateOptions options);
    bool SupportsSort() const { return true; }
    QString Sort() const { return sort_; }
    // "Name ASC, [Other, odd] DESC": a name in square brackets may hold commas and blanks,
    // "]]" standing for "]" (sortNameOf writes one). Empty restores the read order.
    void setSort(const QString &sort);
    static QString sortNameOf(const QString &fieldName);

    // Fields.
    int FieldCount() const { return int(fields_.size()); }
    Field *Fields(int index) const { return fields_.at(size_t(index)).get(); }
    Field *FindField(const QString &name) const; // case-insensitive; nullptr when absent
    Field *FieldByName(const QString &name) const; // throws when absent
    QStringList FieldNames() const;

    // Persistence in the rowset XML format.
    void SaveToFile(const QString &fileName, TPersistFormat format = pfXML);
    void LoadFromFile(const QString &fileName);
    // What the last LoadFromFile passed over (values of undeclared columns, nested rows
    // kept but not shown), as one line for the status bar; empty when nothing.
    const QString &LoadNotes() const { return loadNotes_; }

    // Random access for grids and exports, without moving the cursor. row is 0-based
    // in the visible order; while editing, the current row shows the edit buffer.
    QVariant valueAt(int row, int field) const;
    QString displayTextAt(int row, int field) const;
    int currentRow() const { return current_; } // -1 when empty
    // Rows a grid shows: the records plus a row being inserted.
    int visibleRowCount() const { return int(order_.size()) + (state_ == dsInsert ? 1 : 0); }
    bool isInsertedRowPending() const { return state_ == dsInsert; }

    // For the field objects.
    QVariant currentValue(int field) const;
    void setCurrentValue(int field, const QVariant &value);

    // Direct access for writers of files and for the XML reader.
    const std::vector<ColumnInfo> &columnInfos() const { return columns_; }
    const RowStore &store() const { return *store_; }
    const std::vector<uint32_t> &order() const { return order_; }

signals:
    void beforeOpen();
    void afterOpen();
    void beforeClose();
    void afterClose();
    void stateChanged();
    void beforePost();
    void afterPost();
    void afterCancel();
    void beforeDelete();
    void afterDelete();
    void afterScroll();             // the current record moved
    void recordChanged(int row);    // values of one visible row changed
    void dataReset();               // rows inserted, deleted, reordered or reloaded
    void fieldChanged(int field);   // a field of the edit buffer changed
    // A pending edit is about to be posted or cancelled because the cursor moves or rows
    // are added: controls store what they still hold first, so the post-or-cancel rule
    // sees every change.
    void checkingBrowseMode();
    // The background fill appended the visible rows first..last (0-based, inclusive).
    void rowsArrived(int first, int last);
    // The fill ended: all rows in, stopped (FillStopped()), failed or closed.
    void fillEnded();
    // The fill failed mid-result with this database error; the rows so far stay and
    // FillStopped() is true.
    void fillFailed(const QString &message);

protected:
    // Subclasses whose callers walk all rows at once (CommandQuery) open them whole.
    void setFillsInBackground(bool value) { fillsInBackground_ = value; }

private:
    void setState(TDataSetState state);
    void moveTo(int row);
    void checkActive() const;
    void checkBrowse(); // posts a pending edit first
    void storeTypedText(); // throws what a holder's field refused
    void buildFields();
    void notifyScroll();
    void notifyReset();
    void decideWritability();
    void install(std::vector<ColumnInfo> columns, RowStore rows, RowsMode mode);
    std::unique_ptr<RowWriter> makeWriter();
    void decideKeys(bool forWrite); // a stopped lookup ends a write, not an open
    // Background fill.
    void startFill(std::unique_ptr<PendingRows> pending);
    void fetchSlice();                              // one timer slice
    bool fetchInto(const FetchBudget &budget);     // true at the end of the result
    void takeArrivedRows(const std::vector<ColumnInfo> &before);
    void endFill(bool stopped);
    void fetchUntil(int rows); // navigation past the arrived rows: more slices now
    int rowOfVisible(int row, bool &isBuffer) const;

    Connection *connection_ = nullptr;
    QString commandText_;
    StatementScope scope_ = StatementScope::Batch;
    int commandTimeout_ = 30;
    TDataSetState state_ = dsInactive;
    std::vector<ColumnInfo> columns_;
    std::unique_ptr<RowStore> store_;
    // What a loaded file declared beyond the fields, written back by SaveToFile.
    std::shared_ptr<const rowsetxml::Declared> xmlDeclared_;
    QString loadNotes_;
    std::vector<uint32_t> order_;
    std::vector<std::unique_ptr<Field>> fields_;
    int current_ = -1;
    bool eof_ = true;
    bool bof_ = true;
    bool sequenced_ = true;
    int disableCount_ = 0;
    bool pendingScroll_ = false;
    bool pendingReset_ = false;
    QString sort_;
    std::vector<std::pair<const QObject *, TypedTextHolder>> typedTextHolders_;
    // Edit buffer of the current (or appended) row.
    std::vector<QVariant> buffer_;
    std::vector<bool> modified_;
    int insertAt_ = -1; // visible position of the row being inserted
    RowsMode mode_ = RowsMode::ReadOnly;
    TableName baseTable_;     // table the rows are written back to
    QStringList keyColumns_;  // its primary key, when the result holds all of it
    bool keysDecided_ = false; // looked up at the first write, not while rows arrive
    std::unique_ptr<PendingRows> pending_;
    QTimer fillTimer_;
    bool fillStopped_ = false;
    bool waiting_ = false;     // inside FetchAll
    bool inSlice_ = false;     // inside fetchInto
    bool stopAfterSlice_ = false; // StopFill came during a slice
    bool fillsInBackground_ = true;
    size_t fetchedRows_ = 0;   // physical rows already in the visible order
    QString readOnlyReason_;
};

} // namespace data
