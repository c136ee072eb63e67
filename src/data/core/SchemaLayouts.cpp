#include "data/core/SchemaLayouts.h"
#include "data/core/DatabaseError.h"
#include "data/core/SchemaTables.inc"

namespace data {

namespace {

std::vector<SchemaLayout> buildLayouts()
{
    std::vector<SchemaLayout> layouts;
    for (const auto &def : schema_tables::rowsetDefs()) {
        SchemaLayout layout;
        layout.rowset = QString::fromLatin1(def.name);
        for (const auto &c : def.columns) {
            ColumnInfo info;
            info.name = QString::fromLatin1(c.name);
            info.type = c.type;
            info.nullable = c.nullable;
            info.readOnly = true;
            info.size = c.type == ftWideString ? 128 : c.type == ftGuid ? 38 : 0;
            layout.columns.push_back(info);
        }
        for (const char *r : def.restrictions)
            layout.restrictionColumns << QString::fromLatin1(r);
        layouts.push_back(std::move(layout));
    }
    return layouts;
}

const std::vector<SchemaLayout> &layouts()
{
    static const std::vector<SchemaLayout> all = buildLayouts();
    return all;
}

} // namespace

const SchemaLayout *findSchemaLayout(const QString &rowset)
{
    for (const auto &l : layouts())
        if (l.rowset.compare(rowset, Qt::CaseInsensitive) == 0)
            return &l;
    return nullptr;
}

QStringList knownSchemaRowsets()
{
    QStringList names;
    for (const auto &l : layouts())
        names << l.rowset;
    return names;
}

SchemaRowsetBuilder::SchemaRowsetBuilder(const QString &rowset)
    : layout_(findSchemaLayout(rowset)), result_(std::make_unique<ResultSet>())
{
    if (!layout_)
        throw DatabaseError(QStringLiteral("未知的結構描述資料列集：%1").arg(rowset));
    result_->columns = layout_->columns;
    for (const auto &c : layout_->columns)
        result_->rows.columns.emplace_back(storageFor(c.type));
}

int SchemaRowsetBuilder::columnIndex(const QString &name) const
{
    for (size_t i = 0; i < layout_->columns.size(); ++i)
        if (layout_->columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

void SchemaRowsetBuilder::addRow(const std::vector<std::pair<QString, QVariant>> &values)
{
    std::vector<QVariant> row(layout_->columns.size());
    for (const auto &[name, value] : values) {
        int i = columnIndex(name);
        if (i < 0)
            throw DatabaseError(QStringLiteral("結構描述資料列集 %1 沒有欄位 %2")
                                    .arg(layout_->rowset, name));
        row[size_t(i)] = value;
    }
    addRow(row);
}

void SchemaRowsetBuilder::addRow(const std::vector<QVariant> &values)
{
    auto &cols = result_->rows.columns;
    for (size_t i = 0; i < cols.size(); ++i)
        cols[i].appendValue(i < values.size() ? values[i] : QVariant());
}

std::unique_ptr<ResultSet> SchemaRowsetBuilder::finish()
{
    return std::move(result_);
}

std::unique_ptr<ResultSet> SchemaRowsetBuilder::finishFiltered(const std::vector<QVariant> &restrictions)
{
    std::vector<std::pair<int, QString>> tests;
    for (size_t i = 0; i < restrictions.size() && i < size_t(layout_->restrictionColumns.size()); ++i) {
        const QVariant &r = restrictions[i];
        if (!r.isValid() || r.isNull())
            continue;
        const QString text = r.typeId() == QMetaType::Bool
                                 ? (r.toBool() ? QStringLiteral("True") : QStringLiteral("False"))
                                 : r.toString();
        tests.emplace_back(columnIndex(layout_->restrictionColumns[qsizetype(i)]), text);
    }
    if (tests.empty())
        return finish();
    auto filtered = std::make_unique<ResultSet>();
    filtered->columns = result_->columns;
    for (const auto &c : result_->columns)
        filtered->rows.columns.emplace_back(storageFor(c.type));
    const auto &src = result_->rows;
    for (size_t row = 0; row < src.rowCount(); ++row) {
        bool keep = true;
        for (const auto &[col, text] : tests) {
            QVariant v = src.columns[size_t(col)].value(row, result_->columns[size_t(col)].type);
            QString s = v.typeId() == QMetaType::Bool ? (v.toBool() ? QStringLiteral("True") : QStringLiteral("False"))
                                                      : v.toString();
            if (!v.isValid() || s != text) {
                keep = false;
                break;
            }
        }
        if (!keep)
            continue;
        for (size_t c = 0; c < src.columns.size(); ++c)
            filtered->rows.columns[c].appendValue(src.columns[c].value(row, result_->columns[c].type));
    }
    result_.reset();
    return filtered;
}

int dbTypeOf(const ColumnInfo &column)
{
    switch (column.type) {
    case ftString: case ftFixedChar: case ftMemo: return DBTYPE_STR;
    case ftWideString: case ftWideMemo: return DBTYPE_WSTR;
    case ftSmallint: return DBTYPE_I2;
    case ftInteger: case ftAutoInc: return DBTYPE_I4;
    case ftWord: return DBTYPE_UI2;
    case ftLargeint: return DBTYPE_I8;
    case ftBoolean: return DBTYPE_BOOL;
    case ftFloat: return DBTYPE_R8;
    case ftCurrency: return DBTYPE_CY;
    case ftBCD: case ftFMTBcd: return DBTYPE_NUMERIC;
    case ftDate: return DBTYPE_DBDATE;
    case ftTime: return DBTYPE_DBTIME;
    case ftDateTime: return DBTYPE_DBTIMESTAMP;
    case ftGuid: return DBTYPE_GUID;
    case ftBytes: case ftVarBytes: case ftBlob: case ftGraphic: return DBTYPE_BYTES;
    default: return DBTYPE_EMPTY;
    }
}

} // namespace data
