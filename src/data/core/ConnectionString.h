#pragma once
// ADO-style connection strings: name=value pairs joined by ";". Names compare without
// regard to case; values may be quoted with " or ' when they hold ";".
#include "data/core/DataLinkFile.h"
#include <QString>
#include <QStringList>
#include <initializer_list>
#include <utility>
#include <vector>

namespace data {

class ConnectionString {
public:
    ConnectionString() = default;
    explicit ConnectionString(const QString &text);

    static ConnectionString parse(const QString &text);
    // Pairs joined by ";" in their order; values holding ";", quotes or leading/trailing
    // blanks are quoted.
    QString toString() const;

    bool contains(const QString &name) const;
    QString value(const QString &name) const;          // empty when missing
    void set(const QString &name, const QString &value); // replaces in place or appends
    void remove(const QString &name);
    const std::vector<std::pair<QString, QString>> &items() const { return items_; }
    bool isEmpty() const { return items_.empty(); }

    QString provider() const { return value(QStringLiteral("Provider")); }

    // "FILE NAME=x.udl": the string read from the data-link file, with any other pairs
    // of this string added after it. Throws DatabaseError for a missing or bad file.
    ConnectionString resolveDataLinkFile() const;

private:
    std::vector<std::pair<QString, QString>> items_;
};

// The first non-blank value among synonym names ("Initial Catalog", "Database"), trimmed;
// empty when none has one.
QString firstOf(const ConnectionString &cs, std::initializer_list<const char *> names);

} // namespace data
