#pragma once
// What a list shows, as text to compare: in order, or as a set where the order is the
// server's own.
#include <QListWidget>
#include <QStringList>
#include <set>

namespace testsupport {

inline QStringList itemsOf(const QListWidget *list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

inline std::set<QString> asSet(const QStringList &list)
{
    return {list.begin(), list.end()};
}

} // namespace testsupport
