#include "data/core/RowWriter.h"
#include "data/core/DatabaseError.h"
#include "data/core/ExactNumber.h"
#include "data/core/ProviderSession.h"
#include <QRegularExpression>
#include <algorithm>
#include <set>

namespace data {

namespace {

QString changedByOthersText()
{
    return QStringLiteral("資料列已被其他使用者修改或刪除，未寫入任何變更。");
}

QString notUniqueText()
{
    return QStringLiteral("此筆資料無法唯一識別，未寫入任何變更。");
}

QString unknownCountText()
{
    return QStringLiteral("無法確認寫入的資料列數，未寫入任何變更。");
}

QString unnumberedText()
{
    return QStringLiteral("這筆新增的資料列還不知道資料庫給它的編號，請重新開啟資料表後再修改或刪除，未寫入任何變更。");
}

QString notSingleTableText()
{
    return QStringLiteral("此查詢結果由多個表格或運算欄位組成，無法修改。");
}

QString roundedText(const QString &column, const QString &sent, const QString &stored)
{
    return QStringLiteral("資料庫無法精確存放欄位「%1」的值 %2（會存成 %3），未寫入任何變更。").arg(column, sent, stored);
}

// Exact numbers as the same value whatever their spelling ("1.50" and "1.5").
bool sameNumber(const QVariant &a, const QVariant &b)
{
    exact::Decimal x, y;
    const std::string ta = a.toString().toStdString(), tb = b.toString().toStdString();
    if (exact::parseDecimal(ta, x) && exact::parseDecimal(tb, y))
        return x == y;
    return ta == tb;
}

bool isNullValue(const QVariant &v)
{
    return !v.isValid() || v.isNull();
}

// Writes through nothing but the provider session, so every provider shares it. Each
// change is one parameterised statement in its own transaction, kept only when it
// touched exactly one row.
class DatabaseRowWriter : public RowWriter {
public:
    DatabaseRowWriter(ProviderSession &session, const TableName &table, std::vector<ColumnInfo> columns,
                      const QStringList &keyColumns, int timeoutSeconds)
        : session_(session), table_(qualifiedTableName(session, table)), columns_(std::move(columns)),
          timeout_(timeoutSeconds)
    {
        if (table.name.isEmpty())
            throw DatabaseError(notSingleTableText());
        // The same table column twice (a self-join) cannot be written back safely.
        std::set<QString> seen;
        for (size_t i = 0; i < columns_.size(); ++i)
            if (!seen.insert(columnName(i).toLower()).second)
                throw DatabaseError(notSingleTableText());
        for (const QString &key : keyColumns) {
            const int index = findColumn(key);
            if (index < 0) {
                keys_.clear(); // part of the key is missing: identify rows by all values
                break;
            }
            keys_.push_back(size_t(index));
        }
    }

    void update(const RowStore &store, size_t row, const std::vector<QVariant> &values,
                const std::vector<bool> &modified) override
    {
        QStringList assignments;
        Params params;
        std::vector<size_t> changed;
        for (size_t i = 0; i < columns_.size(); ++i) {
            if (!isModified(modified, i) || columns_[i].readOnly)
                continue;
            assignments << quoted(i) + QStringLiteral(" = ?");
            params.push_back(valueAt(values, i));
            changed.push_back(i);
        }
        if (assignments.isEmpty())
            return;
        refuseUnnumbered(store, row);
        // With a key: the key plus the original values of the changed columns, so a
        // change someone else made to those columns meanwhile is not overwritten.
        std::vector<size_t> identify;
        if (!keys_.empty()) {
            identify = keys_;
            for (size_t i : changed)
                if (!isKey(i) && !isLongColumn(i))
                    identify.push_back(i);
        } else {
            identify = allColumns();
        }
        const QString sql = QStringLiteral("UPDATE %1 SET %2 WHERE %3")
                                .arg(table_, assignments.join(QStringLiteral(", ")),
                                     where(store, row, identify, params));
        inTransaction([&] {
            expectOneRow(session_.execute(sql, params, timeout_));
            verifyExact(keyValuesAfterUpdate(store, row, values, modified), values, modified);
        });
    }

    std::vector<QVariant> insert(const std::vector<QVariant> &values,
                                 const std::vector<bool> &modified) override
    {
        QStringList names, marks;
        Params params;
        for (size_t i = 0; i < columns_.size(); ++i) {
            if (!isModified(modified, i) || columns_[i].readOnly)
                continue;
            names << quoted(i);
            marks << QStringLiteral("?");
            params.push_back(valueAt(values, i));
        }
        const QString sql =
            names.isEmpty()
                ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(table_)
                : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                      .arg(table_, names.join(QStringLiteral(", ")),
                           marks.join(QStringLiteral(", ")));
        std::vector<QVariant> stored(columns_.size());
        for (size_t i = 0; i < columns_.size(); ++i)
            stored[i] = isModified(modified, i) ? valueAt(values, i) : QVariant();
        inTransaction([&] {
            expectOneRow(session_.execute(sql, params, timeout_));
            for (size_t i = 0; i < columns_.size(); ++i) {
                const bool autoNumber = columns_[i].autoIncrement || columns_[i].type == ftAutoInc;
                if (autoNumber && isNullValue(stored[i])) {
                    const QVariant id = session_.lastInsertId(table_);
                    if (!isNullValue(id))
                        stored[i] = id;
                }
            }
            rereadInserted(stored);
            verifyExact(keyValuesOf(stored), values, modified);
        });
        return stored;
    }

    void remove(const RowStore &store, size_t row) override
    {
        refuseUnnumbered(store, row);
        Params params;
        const QString sql = QStringLiteral("DELETE FROM %1 WHERE %2")
                                .arg(table_,
                                     where(store, row, keys_.empty() ? allColumns() : keys_, params));
        inTransaction([&] { expectOneRow(session_.execute(sql, params, timeout_)); });
    }

private:
    QString columnName(size_t i) const
    {
        return columns_[i].baseColumn.isEmpty() ? columns_[i].name : columns_[i].baseColumn;
    }

    QString quoted(size_t i) const { return session_.quoteIdentifier(columnName(i)); }

    int findColumn(const QString &name) const
    {
        for (size_t i = 0; i < columns_.size(); ++i)
            if (columns_[i].name.compare(name, Qt::CaseInsensitive) == 0)
                return int(i);
        for (size_t i = 0; i < columns_.size(); ++i)
            if (columns_[i].baseColumn.compare(name, Qt::CaseInsensitive) == 0)
                return int(i);
        return -1;
    }

    QVariant originalValue(const RowStore &store, size_t row, size_t i) const
    {
        return i < store.columns.size() ? store.columns[i].value(row, columns_[i].type) : QVariant();
    }

    // A row added here whose number the database did not tell: "WHERE key IS NULL" finds
    // nothing, which would read as someone else's change.
    void refuseUnnumbered(const RowStore &store, size_t row) const
    {
        for (size_t k : keys_)
            if ((columns_[k].autoIncrement || columns_[k].type == ftAutoInc) && isNullValue(originalValue(store, row, k)))
                throw DatabaseError(unnumberedText());
    }

    bool isKey(size_t i) const { return std::find(keys_.begin(), keys_.end(), i) != keys_.end(); }

    // Memo and binary values are left out of comparisons when a key identifies the row:
    // several servers cannot compare them, and the key is enough.
    bool isLongColumn(size_t i) const { return isBlobType(columns_[i].type) || columns_[i].isLong; }

    static bool isModified(const std::vector<bool> &modified, size_t i)
    {
        return i < modified.size() && modified[i];
    }

    static QVariant valueAt(const std::vector<QVariant> &values, size_t i)
    {
        return i < values.size() ? values[i] : QVariant();
    }

    std::vector<size_t> allColumns() const
    {
        std::vector<size_t> all(columns_.size());
        for (size_t i = 0; i < all.size(); ++i)
            all[i] = i;
        return all;
    }

    QString where(const RowStore &store, size_t row, const std::vector<size_t> &identify,
                  Params &params) const
    {
        QStringList terms;
        for (size_t i : identify) {
            const QVariant original = i < store.columns.size() ? store.columns[i].value(row, columns_[i].type)
                                                               : QVariant();
            if (isNullValue(original)) {
                terms << quoted(i) + QStringLiteral(" IS NULL");
            } else {
                terms << quoted(i) + QStringLiteral(" = ?");
                params.push_back(original);
            }
        }
        return terms.join(QStringLiteral(" AND "));
    }

    static void expectOneRow(long long affected)
    {
        if (affected == 1)
            return;
        if (affected == 0)
            throw DatabaseError(changedByOthersText());
        if (affected > 1)
            throw DatabaseError(notUniqueText());
        throw DatabaseError(unknownCountText());
    }

    template <class Work>
    void inTransaction(Work work)
    {
        session_.beginTransaction();
        try {
            work();
            session_.commit();
        } catch (const DatabaseError &) {
            try {
                session_.rollback();
            } catch (const DatabaseError &) {
                // the first error is the one that tells the user what went wrong
            }
            throw;
        }
    }

    // Currency and decimals hold exactly what was typed; a column whose database rounds
    // them (SQLite keeps 15 digits, a money type two decimals) would change the value
    // behind the user's back. Reading the written values back by the key tells; without
    // a key, or when the read fails, the values are taken as written.
    bool isExactNumber(size_t i) const
    {
        const TFieldType t = columns_[i].type;
        return t == ftCurrency || t == ftBCD || t == ftFMTBcd;
    }

    std::vector<QVariant> keyValuesOf(const std::vector<QVariant> &row) const
    {
        std::vector<QVariant> keys;
        for (size_t k : keys_)
            keys.push_back(valueAt(row, k));
        return keys;
    }

    std::vector<QVariant> keyValuesAfterUpdate(const RowStore &store, size_t row, const std::vector<QVariant> &values,
                                               const std::vector<bool> &modified) const
    {
        std::vector<QVariant> keys;
        for (size_t k : keys_)
            keys.push_back(isModified(modified, k) ? valueAt(values, k)
                           : k < store.columns.size() ? store.columns[k].value(row, columns_[k].type)
                                                      : QVariant());
        return keys;
    }

    void verifyExact(const std::vector<QVariant> &keyValues, const std::vector<QVariant> &values,
                     const std::vector<bool> &modified)
    {
        std::vector<size_t> check;
        for (size_t i = 0; i < columns_.size(); ++i)
            if (isModified(modified, i) && !columns_[i].readOnly && isExactNumber(i) && !isNullValue(valueAt(values, i)))
                check.push_back(i);
        if (check.empty() || keys_.empty())
            return;
        Params params;
        QStringList names, terms;
        for (size_t i : check)
            names << quoted(i);
        for (size_t n = 0; n < keys_.size(); ++n) {
            if (isNullValue(keyValues[n]))
                return;
            terms << quoted(keys_[n]) + QStringLiteral(" = ?");
            params.push_back(keyValues[n]);
        }
        std::unique_ptr<ResultSet> rs;
        try {
            rs = session_.query(QStringLiteral("SELECT %1 FROM %2 WHERE %3")
                                    .arg(names.join(QStringLiteral(", ")), table_,
                                         terms.join(QStringLiteral(" AND "))),
                                params, timeout_);
        } catch (const CommandStopped &) {
            throw; // the whole change is undone, not taken as written
        } catch (const DatabaseError &) {
            return;
        }
        if (!rs || rs->rows.rowCount() != 1 || rs->columns.size() != check.size())
            return;
        for (size_t n = 0; n < check.size(); ++n) {
            const QVariant sent = valueAt(values, check[n]);
            const QVariant stored = rs->rows.columns[n].value(0, rs->columns[n].type);
            if (!sameNumber(sent, stored))
                throw DatabaseError(roundedText(columns_[check[n]].name, sent.toString(),
                                                isNullValue(stored) ? QStringLiteral("NULL") : stored.toString()));
        }
    }

    // After an insert, read the row back by its key so defaults and values the database
    // filled in show as stored. Without a complete key the values typed are kept.
    void rereadInserted(std::vector<QVariant> &stored)
    {
        if (keys_.empty())
            return;
        Params params;
        QStringList terms;
        for (size_t k : keys_) {
            if (isNullValue(stored[k]))
                return;
            terms << quoted(k) + QStringLiteral(" = ?");
            params.push_back(stored[k]);
        }
        QStringList names;
        for (size_t i = 0; i < columns_.size(); ++i)
            names << quoted(i);
        const QString sql = QStringLiteral("SELECT %1 FROM %2 WHERE %3")
                                .arg(names.join(QStringLiteral(", ")), table_,
                                     terms.join(QStringLiteral(" AND ")));
        try {
            auto rs = session_.query(sql, params, timeout_);
            if (!rs || rs->rows.rowCount() != 1 || rs->columns.size() != columns_.size())
                return;
            for (size_t i = 0; i < columns_.size(); ++i)
                stored[i] = rs->rows.columns[i].value(0, rs->columns[i].type);
        } catch (const CommandStopped &) {
            throw;
        } catch (const DatabaseError &) {
            // The row is written; showing the typed values is the fallback.
        }
    }

    ProviderSession &session_;
    QString table_; // as SQL names it, quoted
    std::vector<ColumnInfo> columns_;
    std::vector<size_t> keys_;
    int timeout_;
};

} // namespace

std::unique_ptr<RowWriter> makeDatabaseRowWriter(ProviderSession &session, const QString &table,
                                                 const std::vector<ColumnInfo> &columns,
                                                 const QStringList &keyColumns, int timeoutSeconds)
{
    return makeDatabaseRowWriter(session, TableName{QString(), table}, columns, keyColumns, timeoutSeconds);
}

std::unique_ptr<RowWriter> makeDatabaseRowWriter(ProviderSession &session, const TableName &table,
                                                 const std::vector<ColumnInfo> &columns,
                                                 const QStringList &keyColumns, int timeoutSeconds)
{
    return std::make_unique<DatabaseRowWriter>(session, table, columns, keyColumns, timeoutSeconds);
}

namespace {

// One name of a "Select * From" statement: [..], "..", `..` or bare.
const QString kNamePart = QStringLiteral("(?:\\[((?:[^\\]]|\\]\\])+)\\]"
                                         "|\"((?:[^\"]|\"\")+)\""
                                         "|`((?:[^`]|``)+)`"
                                         "|([^\\s;\\[\\]\"`'.,()]+))");

// The unquoted text of the name part whose four groups start at `first`.
QString namePart(const QRegularExpressionMatch &m, int first)
{
    if (m.capturedLength(first))
        return m.captured(first).replace(QLatin1String("]]"), QLatin1String("]"));
    if (m.capturedLength(first + 1))
        return m.captured(first + 1).replace(QLatin1String("\"\""), QLatin1String("\""));
    if (m.capturedLength(first + 2))
        return m.captured(first + 2).replace(QLatin1String("``"), QLatin1String("`"));
    return m.captured(first + 3);
}

} // namespace

TableName singleTableNameOf(const QString &commandText)
{
    static const QRegularExpression pattern(QStringLiteral("^\\s*select\\s+\\*\\s+from\\s+(?:%1\\s*\\.\\s*)?%1\\s*;?\\s*$")
                                                .arg(kNamePart),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = pattern.match(commandText);
    if (!m.hasMatch())
        return {};
    return {namePart(m, 1), namePart(m, 5)};
}

QString singleTableOf(const QString &commandText)
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*select\\s+\\*\\s+from\\s+"
                       "(?:\\[((?:[^\\]]|\\]\\])+)\\]"
                       "|\"((?:[^\"]|\"\")+)\""
                       "|`((?:[^`]|``)+)`"
                       "|([^\\s;\\[\\]\"`'.,()]+))"
                       "\\s*;?\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = pattern.match(commandText);
    if (!m.hasMatch())
        return QString();
    if (m.capturedLength(1))
        return m.captured(1).replace(QLatin1String("]]"), QLatin1String("]"));
    if (m.capturedLength(2))
        return m.captured(2).replace(QLatin1String("\"\""), QLatin1String("\""));
    if (m.capturedLength(3))
        return m.captured(3).replace(QLatin1String("``"), QLatin1String("`"));
    return m.captured(4);
}

} // namespace data
