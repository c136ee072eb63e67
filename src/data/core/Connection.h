#pragma once
// The program's one connection: an ADO-style connection string, open/close with
// notifications, the property collection, the name listings and schema rowsets.
#include "data/core/ConnectionString.h"
#include "data/core/ProviderSession.h"
#include "data/core/StoppableSession.h"
#include "data/core/TableName.h"
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

namespace data {

class CommandWait;
class Dataset;

struct ConnectionPropertyItem {
    QString name;
    QString value; // "" empty, decimal integers, "True"/"False"
};

// Ordered collection of the provider's properties, read from the connection string.
class ConnectionProperties {
public:
    int Count() const { return int(items_.size()); }
    const ConnectionPropertyItem &Item(int index) const { return items_.at(size_t(index)); }
    // Finds a property by name without regard to case; nullptr when absent.
    const ConnectionPropertyItem *Find(const QString &name) const;
    void Refresh(const QString &provider, const ConnectionString &cs);

private:
    std::vector<ConnectionPropertyItem> items_;
};

class Connection : public QObject {
    Q_OBJECT
public:
    explicit Connection(QObject *parent = nullptr);
    ~Connection() override;

    QString ConnectionString() const;
    void setConnectionString(const QString &text); // throws on an open connection
    QString Provider() const;
    void setProvider(const QString &provider);     // throws on an open connection
    QString DefaultDatabase() const;               // current database while open
    QString Version() const;                       // version of this access layer
    // False as soon as the session's link to the database is found gone (see
    // StoppableSession.h); the session is closed right after, and the next Open() or
    // session() connects again.
    bool Connected() const;
    void setConnected(bool connected);
    void Open();
    void Close();
    int CommandTimeout() const { return commandTimeout_; }
    void setCommandTimeout(int seconds) { commandTimeout_ = seconds; }

    ConnectionProperties &Properties() { return properties_; }

    // Listings, each replacing the list's content; they open a closed connection first.
    void GetTableNames(QStringList &list);  // TABLES rows typed "TABLE" or "VIEW"
    void GetFieldNames(const QString &table, QStringList &list);
    void GetIndexNames(const QString &table, QStringList &list); // one entry per index
    // The same tables as GetTableNames, each with its schema, labelled for the list
    // (listedTableName: "schema.name" outside the login's default schema).
    void GetTables(std::vector<ListedTable> &list);
    // Fields and indexes of exactly that table (restricted to its schema too).
    void GetFieldNames(const TableName &table, QStringList &list);
    void GetIndexNames(const TableName &table, QStringList &list);
    // Opens a schema rowset into the dataset (closing it first). restrictions:
    // nullptr = none; otherwise positional, an invalid QVariant meaning "any".
    void OpenSchema(const QString &rowset, const std::vector<QVariant> *restrictions,
                    Dataset &dataset);

    // The open session (opening the connection first); for datasets and commands. Its
    // long calls run as StoppableSession.h describes, waiting through the CommandWait
    // given here (nullptr: on the caller's thread, unstoppable). The wait must outlive
    // the connection or be removed first.
    // While a dataset fills from this connection in the background, the session carries
    // that result, so this first asks the dataset to fetch the rest (it may be stopped,
    // see Dataset.h); only then is the session free for another call.
    ProviderSession &session();
    void setCommandWait(CommandWait *wait);
    // The dataset whose result is still being fetched from this connection (nullptr:
    // none). Datasets register and unregister themselves.
    void setFillingDataset(Dataset *dataset);
    Dataset *fillingDataset() const;

signals:
    void AfterConnect();
    void AfterDisconnect();

private:
    void releaseSession();
    void closeIfLost();

    QString provider_;
    data::ConnectionString string_;
    std::unique_ptr<ProviderSession> session_;
    std::unique_ptr<StoppableSession> stoppable_; // over session_
    CommandWait *wait_ = nullptr;
    QPointer<Dataset> filling_;
    ConnectionProperties properties_;
    int commandTimeout_ = 30;
};

} // namespace data
