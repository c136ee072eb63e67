// Shared by the XML page and batch export tests: an SQLite file made from SQL, values
// read straight from files, and the main window on that file, shown and active.
#pragma once

#include "app/gui/MainWindow.h"
#include "app/gui/TableListBox.h"
#include "support/GuiDriver.h"
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>
#include <memory>
#include <sqlite3.h>

namespace xmlpagetest {

// Runs SQL on a new SQLite file; the error text, empty on success.
inline QString makeSqlite(const QString &file, const QString &sql)
{
    QFile::remove(file);
    sqlite3 *db = nullptr;
    if (sqlite3_open(file.toUtf8().constData(), &db) != SQLITE_OK)
        return QStringLiteral("cannot open ") + file;
    char *error = nullptr;
    const int rc = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &error);
    const QString text = rc == SQLITE_OK ? QString() : QString::fromUtf8(error ? error : "error");
    sqlite3_free(error);
    sqlite3_close(db);
    return text;
}

inline QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// The main window on a connection string, shown and active.
inline std::unique_ptr<Tfm_ADO_Schema> openWindow(const QString &connectionString)
{
    auto w = std::make_unique<Tfm_ADO_Schema>();
    w->ADOConnection1.setConnectionString(connectionString);
    w->resize(1000, 700);
    if (!drive::showActive(w.get()))
        return nullptr;
    return w;
}

inline int rowOf(Tfm_ADO_Schema &w, const QString &table)
{
    const auto found = w.lbxTableName->findItems(table, Qt::MatchExactly);
    return found.isEmpty() ? -1 : w.lbxTableName->row(found.first());
}

// A click on a table name, with Ctrl to add it to the selection.
inline void clickTable(Tfm_ADO_Schema &w, const QString &table, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    const int row = rowOf(w, table);
    QVERIFY2(row >= 0, qPrintable(table));
    QListWidget *list = w.lbxTableName;
    QTest::mouseClick(list->viewport(), Qt::LeftButton, mods, list->visualItemRect(list->item(row)).center());
}

inline QStringList selectedTables(Tfm_ADO_Schema &w)
{
    QStringList names;
    for (int row = 0; row < w.lbxTableName->count(); ++row)
        if (w.lbxTableName->item(row)->isSelected())
            names << w.lbxTableName->item(row)->text();
    return names;
}

} // namespace xmlpagetest
