#include "data/core/Connection.h"
#include "data/core/Dataset.h"
#include "data/core/DatabaseError.h"
#include "data/core/Providers.h"
#include "data/core/SessionOpening.h"
#include <set>
#include <thread>

#ifndef ADO_LAYER_VERSION
#define ADO_LAYER_VERSION "1.0"
#endif

namespace data {

const ConnectionPropertyItem *ConnectionProperties::Find(const QString &name) const
{
    for (const auto &item : items_)
        if (item.name.compare(name, Qt::CaseInsensitive) == 0)
            return &item;
    return nullptr;
}

void ConnectionProperties::Refresh(const QString &provider, const ConnectionString &cs)
{
    items_.clear();
    std::set<QString> listed;
    if (const ProviderInfo *info = findProvider(provider)) {
        for (const auto &p : info->properties) {
            items_.push_back({p.name, cs.contains(p.name) ? cs.value(p.name) : p.defaultValue});
            listed.insert(p.name.toLower());
        }
    }
    for (const auto &[name, value] : cs.items()) {
        if (name.compare(QLatin1String("Provider"), Qt::CaseInsensitive) == 0 ||
            listed.count(name.toLower()))
            continue;
        items_.push_back({name, value});
        listed.insert(name.toLower());
    }
}

Connection::Connection(QObject *parent) : QObject(parent) {}

Connection::~Connection()
{
    // A dataset still filling from this session keeps its rows and forgets the source
    // (and this connection's registration) before the session goes.
    if (filling_)
        filling_->StopFill();
    releaseSession(); // no notifications while being destroyed
}

void Connection::releaseSession()
{
    auto stoppable = std::move(stoppable_);
    auto session = std::move(session_);
    if (stoppable && stoppable->abandoned()) {
        // A request given up still runs on the session's worker; it ends when the server
        // answers or the driver's timeout closes the link. Free the session then, away
        // from the caller.
        std::thread([stoppable = std::move(stoppable), session = std::move(session)]() mutable {
            stoppable.reset(); // joins the worker
            session.reset();
        }).detach();
    }
}

void Connection::closeIfLost()
{
    if (stoppable_ && stoppable_->lost())
        Close();
}

QString Connection::ConnectionString() const
{
    return string_.toString();
}

void Connection::setConnectionString(const QString &text)
{
    if (Connected())
        throw DatabaseError(QStringLiteral("連線開啟中，不允許此操作。"));
    string_ = data::ConnectionString::parse(text);
    properties_.Refresh(Provider(), string_);
}

QString Connection::Provider() const
{
    return string_.provider();
}

void Connection::setProvider(const QString &provider)
{
    if (Connected())
        throw DatabaseError(QStringLiteral("連線開啟中，不允許此操作。"));
    // The provider leads the string, as the connection reports it.
    data::ConnectionString rebuilt;
    rebuilt.set(QStringLiteral("Provider"), provider);
    for (const auto &[name, value] : string_.items())
        if (name.compare(QLatin1String("Provider"), Qt::CaseInsensitive) != 0)
            rebuilt.set(name, value);
    string_ = rebuilt;
    properties_.Refresh(Provider(), string_);
}

QString Connection::DefaultDatabase() const
{
    if (session_)
        return session_->defaultDatabase();
    return string_.value(QStringLiteral("Initial Catalog"));
}

QString Connection::Version() const
{
    return QStringLiteral(ADO_LAYER_VERSION);
}

void Connection::setConnected(bool connected)
{
    connected ? Open() : Close();
}

bool Connection::Connected() const
{
    return session_ && !stoppable_->lost();
}

void Connection::Open()
{
    closeIfLost(); // a session whose link is gone is closed first, then opened anew
    if (session_)
        return;
    const data::ConnectionString resolved = string_.resolveDataLinkFile();
    const QString providerName = resolved.provider();
    const ProviderInfo *info = findProvider(providerName);
    if (!info)
        throw DatabaseError(providerName.isEmpty()
                                ? QStringLiteral("連線字串中沒有指定資料提供者。")
                                : QStringLiteral("找不到資料提供者，可能沒有正確安裝。(%1)")
                                      .arg(providerName));
    session_ = openSessionWaiting(info->open, resolved, wait_);
    stoppable_ = std::make_unique<StoppableSession>(*session_);
    stoppable_->setCommandWait(wait_);
    // Closed once the failing command has unwound (callers may still hold the session
    // while they unwind); until then Connected() already says false.
    stoppable_->setOnLost([this] { QMetaObject::invokeMethod(this, &Connection::closeIfLost, Qt::QueuedConnection); });
    emit AfterConnect();
}

void Connection::Close()
{
    if (!session_)
        return;
    // The pending result belongs to the session: end it first, keeping its rows.
    if (filling_)
        filling_->StopFill();
    releaseSession();
    emit AfterDisconnect();
}

void Connection::setFillingDataset(Dataset *dataset)
{
    filling_ = dataset;
}

Dataset *Connection::fillingDataset() const
{
    return filling_.data();
}

ProviderSession &Connection::session()
{
    if (filling_)
        filling_->FetchAll(); // ends the fill either way, which unregisters the dataset
    Open();
    return *stoppable_;
}

void Connection::setCommandWait(CommandWait *wait)
{
    wait_ = wait;
    if (stoppable_)
        stoppable_->setCommandWait(wait);
}

namespace {

QStringList columnValues(const ResultSet &rs, const QString &column, const QString &typeColumn = {},
                         const QStringList &types = {})
{
    int index = -1, typeIndex = -1;
    for (size_t i = 0; i < rs.columns.size(); ++i) {
        if (rs.columns[i].name.compare(column, Qt::CaseInsensitive) == 0)
            index = int(i);
        if (!typeColumn.isEmpty() && rs.columns[i].name.compare(typeColumn, Qt::CaseInsensitive) == 0)
            typeIndex = int(i);
    }
    QStringList out;
    if (index < 0)
        return out;
    for (size_t row = 0; row < rs.rows.rowCount(); ++row) {
        if (typeIndex >= 0) {
            QString t = rs.rows.columns[size_t(typeIndex)].value(row, ftWideString).toString();
            if (!types.contains(t))
                continue;
        }
        out << rs.rows.columns[size_t(index)].value(row, ftWideString).toString();
    }
    return out;
}

} // namespace

void Connection::GetTableNames(QStringList &list)
{
    auto rs = session().openSchema(QStringLiteral("TABLES"), {});
    list = columnValues(*rs, QStringLiteral("TABLE_NAME"), QStringLiteral("TABLE_TYPE"),
                        {QStringLiteral("TABLE"), QStringLiteral("VIEW")});
}

void Connection::GetTables(std::vector<ListedTable> &list)
{
    auto rs = session().openSchema(QStringLiteral("TABLES"), {});
    const QStringList types{QStringLiteral("TABLE"), QStringLiteral("VIEW")};
    const QStringList schemas = columnValues(*rs, QStringLiteral("TABLE_SCHEMA"), QStringLiteral("TABLE_TYPE"), types);
    const QStringList names = columnValues(*rs, QStringLiteral("TABLE_NAME"), QStringLiteral("TABLE_TYPE"), types);
    std::vector<ListedTable> tables;
    bool anySchema = false;
    for (qsizetype i = 0; i < names.size(); ++i) {
        const TableName table{schemas.value(i), names.at(i)};
        anySchema = anySchema || !table.schema.isEmpty();
        tables.push_back({table, QString()});
    }
    const std::optional<QString> defaultSchema = anySchema ? session().defaultSchema() : std::nullopt;
    for (ListedTable &t : tables)
        t.label = listedTableName(t.table, defaultSchema);
    list = std::move(tables);
}

namespace {

// A restriction value for a schema: none at all when the source names no schema.
QVariant schemaRestriction(const TableName &table)
{
    return table.schema.isEmpty() ? QVariant() : QVariant(table.schema);
}

} // namespace

void Connection::GetFieldNames(const QString &table, QStringList &list)
{
    GetFieldNames(TableName{QString(), table}, list);
}

void Connection::GetFieldNames(const TableName &table, QStringList &list)
{
    auto rs = session().openSchema(QStringLiteral("COLUMNS"), {QVariant(), schemaRestriction(table), table.name});
    list = columnValues(*rs, QStringLiteral("COLUMN_NAME"));
}

void Connection::GetIndexNames(const QString &table, QStringList &list)
{
    GetIndexNames(TableName{QString(), table}, list);
}

void Connection::GetIndexNames(const TableName &table, QStringList &list)
{
    auto rs = session().openSchema(QStringLiteral("INDEXES"),
                                   {QVariant(), schemaRestriction(table), QVariant(), QVariant(), table.name});
    // One row per key column: keep each index once, in rowset order.
    QStringList names;
    for (const QString &name : columnValues(*rs, QStringLiteral("INDEX_NAME")))
        if (!names.contains(name))
            names << name;
    list = names;
}

void Connection::OpenSchema(const QString &rowset, const std::vector<QVariant> *restrictions,
                            Dataset &dataset)
{
    dataset.Close();
    auto rs = session().openSchema(rowset, restrictions ? *restrictions : std::vector<QVariant>{});
    dataset.setConnection(this);
    dataset.OpenResult(std::move(rs->columns), std::move(rs->rows));
}

} // namespace data
