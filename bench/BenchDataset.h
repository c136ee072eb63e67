#pragma once
// A connection to a benchmark's SQLite file and a dataset over its table T, not yet open.
#include "data/core/Connection.h"
#include "data/core/Dataset.h"
#include <QString>

namespace bench {

struct TableDataset {
    data::Connection connection;
    data::Dataset dataset;

    explicit TableDataset(const QString &dbFile)
    {
        connection.setConnectionString(QStringLiteral("Provider=SQLite.1;Data Source=") + dbFile);
        connection.Open();
        dataset.setConnection(&connection);
        dataset.setCommandText(QStringLiteral("Select * From T"));
    }
};

} // namespace bench
