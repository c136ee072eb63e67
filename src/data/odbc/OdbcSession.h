#pragma once
// Sessions over unixODBC: any ODBC data source ("MSDASQL.1") and SQL Server through the
// FreeTDS driver ("SQLOLEDB.1"). Text travels as UTF-16 through the W functions and is
// kept as UTF-8 in the column store.
#include "data/odbc/OdbcHandles.h"
#include "data/core/ProviderSession.h"
#include <QString>
#include <QStringList>
#include <mutex>
#include <optional>

namespace data {

class OdbcSession : public ProviderSession {
public:
    enum class Dialect { Generic, SqlServer };

    // Connects with SQLDriverConnectW (never prompting). loginTimeoutSeconds 0 leaves the
    // driver's default. Throws DatabaseError with the driver's messages.
    OdbcSession(const QString &odbcConnectionString, int loginTimeoutSeconds = 0,
                Dialect dialect = Dialect::Generic);
    ~OdbcSession() override;

    QString defaultDatabase() override;
    QString serverVersion() override;
    // SQL Server: SCHEMA_NAME(); PostgreSQL: current_schema(); other sources: unknown.
    std::optional<QString> defaultSchema() override;

    // With OneStatement the text is read before it is sent (StatementText.h): the
    // driver passes a batch to the server as it stands.
    std::unique_ptr<ResultSet> openQuery(const QString &sql, const Params &params, int timeoutSeconds,
                                         StatementScope scope, const FetchBudget &first) override;
    long long execute(const QString &sql, const Params &params = {},
                      int timeoutSeconds = 0,
                      StatementScope scope = StatementScope::Batch) override;

    // TABLES, COLUMNS, INDEXES and PRIMARY_KEYS through the ODBC catalog functions, with
    // the restrictions passed as the functions' arguments.
    std::unique_ptr<ResultSet> openSchema(const QString &rowset,
                                          const std::vector<QVariant> &restrictions) override;
    // table may be "name" or "schema.name" (either part quoted).
    QStringList primaryKey(const QString &table) override;

    void beginTransaction() override;
    void commit() override;
    void rollback() override;

    // SQL Server: [...]; other sources: the driver's SQL_IDENTIFIER_QUOTE_CHAR, or the
    // standard double quote when the driver reports none.
    QString quoteIdentifier(const QString &name) const override;
    QString quoteString(const QString &value) const override; // N'...' on SQL Server
    QVariant lastInsertId(const QString &table) override;
    bool connectionDead() override; // the driver's SQL_ATTR_CONNECTION_DEAD

    Dialect dialect() const { return dialect_; }
    SQLHDBC connectionHandle() const { return dbc_.get(); }
    // The driver's own name for itself (SQL_DRIVER_NAME), e.g. "psqlodbcw.so".
    QString driverName() const { return driverName_; }

protected:
    void interruptRunningCall() override; // SQLCancel on the running statement

private:
    friend class OdbcRowSource;
    class RunningStatement;
    // Runs work with st as the statement a stop request cancels; a failure after a stop
    // request is reported as CommandStopped.
    template <class Work> auto stoppable(odbc::Handle &st, Work work);
    odbc::Handle newStatement(int timeoutSeconds);
    // Refuses text past the first statement of a OneStatement command.
    void checkScope(const QString &sql, StatementScope scope) const;
    // Runs sql with params on st; the statement is left on its first result.
    void run(odbc::Handle &st, const QString &sql, const Params &params);
    // Walks the statement's results: fills result from the first one with columns (when
    // result is given) and returns the sum of the row counts of those without.
    // With `first`, the first result fetches only that much and keeps the statement
    // (and its later results) in result->pending when rows are left.
    long long collect(odbc::Handle &st, ResultSet *result, const FetchBudget *first);
    void describe(odbc::Handle &st, SQLSMALLINT count, std::vector<ColumnInfo> &columns,
                  std::vector<SQLSMALLINT> &sqlTypes);

    QString infoText(SQLUSMALLINT what) const;
    SQLUINTEGER infoInt(SQLUSMALLINT what) const;

    // Catalog helpers (OdbcSchema.cpp).
    std::unique_ptr<ResultSet> schemaTables(const std::vector<QVariant> &r);
    std::unique_ptr<ResultSet> schemaColumns(const std::vector<QVariant> &r);
    std::unique_ptr<ResultSet> schemaIndexes(const std::vector<QVariant> &r);
    std::unique_ptr<ResultSet> schemaPrimaryKeys(const std::vector<QVariant> &r);
    std::unique_ptr<ResultSet> schemaCatalogs(const std::vector<QVariant> &r);
    std::unique_ptr<ResultSet> schemaStatistics(const std::vector<QVariant> &r);
    std::unique_ptr<ResultSet> schemaProcedures(const std::vector<QVariant> &r);
    std::unique_ptr<ResultSet> schemaProcedureParameters(const std::vector<QVariant> &r);
    std::unique_ptr<ResultSet> schemaTablePrivileges(const std::vector<QVariant> &r);
    std::unique_ptr<ResultSet> schemaColumnPrivileges(const std::vector<QVariant> &r);
    std::unique_ptr<ResultSet> schemaProviderTypes(const std::vector<QVariant> &r);
    // Rowsets ODBC has no function for, from the source's INFORMATION_SCHEMA views.
    std::unique_ptr<ResultSet> schemaFromInformationSchema(const QString &rowset,
                                                           const std::vector<QVariant> &r);
    // The catalog argument of a catalog function for restriction r[index]; false when
    // the restriction names another database of a source without catalogs.
    bool catalogArgument(const std::vector<QVariant> &r, size_t index, std::optional<QString> &arg);
    // Rows of a catalog function's result, every value as text or NULL (small results).
    struct CatalogRow {
        std::vector<QVariant> values; // QString, qint64, or invalid for NULL
        QVariant at(size_t i) const { return i < values.size() ? values[i] : QVariant(); }
    };
    std::vector<CatalogRow> catalogRows(odbc::Handle &st, SQLRETURN rc, const QString &what);
    // A restriction value for a pattern argument, with the driver's escape character
    // in front of "%" and "_" (and of itself, where the driver reads it so).
    QString patternArgument(const QString &value) const;
    // Whether the driver names catalogs at all; restrictions on other catalogs then
    // match nothing.
    bool supportsCatalogs() const;
    // Some drivers take a catalog argument and ignore it: rows of another catalog than
    // the restriction (r[0]) are dropped here.
    bool catalogMatches(const QVariant &rowCatalog, const std::vector<QVariant> &r) const;
    // How names compare in restrictions applied here (SQL Server: without case).
    Qt::CaseSensitivity nameCase() const;
    struct TableRef {
        QString catalog, schema, name;
    };
    std::vector<TableRef> tablesFor(const QVariant &catalog, const QVariant &schema, const QVariant &table);
    // The tables a per-table function (SQLStatistics, SQLPrimaryKeys) is called for:
    // catalog r[0], schema r[1], table r[tableIndex]; nullopt when the catalog names
    // another database of a source without catalogs.
    std::optional<std::vector<TableRef>> restrictedTables(const std::vector<QVariant> &r, size_t tableIndex);
    // The pattern argument for restriction r[i]; none when it is not given.
    std::optional<QString> patternAt(const std::vector<QVariant> &r, size_t i) const;
    std::vector<std::pair<QString, QVariant>> columnsRow(const CatalogRow &row, const QString &current) const;
    struct IndexListing;
    QStringList primaryKeyNames(const TableRef &t);
    void listIndexes(const TableRef &t, IndexListing &listing);
    QVariant tableCardinality(const TableRef &t);
    std::vector<CatalogRow> typeInfoRows(); // SQLGetTypeInfo's rows
    std::unique_ptr<ResultSet> queryInformationSchema(const QString &rowset, const std::vector<QVariant> &r);

    odbc::Handle env_;
    odbc::Handle dbc_;
    std::mutex runningLock_;     // guards running_ against a stop from another thread
    SQLHSTMT running_ = nullptr; // the statement a call executes or fetches now
    Dialect dialect_;
    QString driverName_;
    QString quoteChar_;
    QString escapeChar_;
    bool inTransaction_ = false;
    int getDataExtensions_ = 0;
    int catalogSupport_ = -1; // -1 unknown
};

} // namespace data
