#pragma once
// A workbook as python3-xlrd reads it (tests/exchange/read_xls.py): an independent
// reader, so the tests do not check our writer with our own understanding of the format.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QVariant>
#include <QtTest>

namespace testsupport {

struct XlrdCell {
    QString type; // "text", "number", "date", "boolean"; empty: no cell
    QVariant value;
    QString format; // number format string: "General", "@", "yyyy/mm/dd" ...
};

struct XlrdColumn {
    int width = -1; // 1/256 of a character
    QString format;
};

struct XlrdWorkbook {
    QString error; // empty when read
    QStringList sheets;
    int rows = 0;
    int columns = 0;
    QMap<QPair<int, int>, XlrdCell> cells;
    QMap<int, XlrdColumn> columnInfo;
    QString log; // xlrd's warnings about the file

    XlrdCell cell(int row, int column) const { return cells.value({row, column}); }

    static XlrdWorkbook read(const QString &path)
    {
        XlrdWorkbook book;
        const QString script = qEnvironmentVariable("ADO_TEST_SOURCE_DIR") + QStringLiteral("/tests/exchange/read_xls.py");
        QProcess python;
        python.start(QStringLiteral("/usr/bin/python3"), {script, path});
        if (!python.waitForFinished(300000) || python.exitCode() != 0) {
            book.error = QStringLiteral("xlrd could not read %1: %2").arg(path, QString::fromUtf8(python.readAllStandardError()));
            return book;
        }
        const QJsonObject root = QJsonDocument::fromJson(python.readAllStandardOutput()).object();
        for (const QJsonValue &s : root.value(QStringLiteral("sheets")).toArray())
            book.sheets << s.toString();
        book.rows = root.value(QStringLiteral("nrows")).toInt();
        book.columns = root.value(QStringLiteral("ncols")).toInt();
        for (const QJsonValue &v : root.value(QStringLiteral("cells")).toArray()) {
            const QJsonObject c = v.toObject();
            book.cells.insert({c.value(QStringLiteral("row")).toInt(), c.value(QStringLiteral("col")).toInt()},
                              XlrdCell{c.value(QStringLiteral("type")).toString(), c.value(QStringLiteral("value")).toVariant(),
                                       c.value(QStringLiteral("format")).toString()});
        }
        const QJsonObject cols = root.value(QStringLiteral("columns")).toObject();
        for (auto it = cols.begin(); it != cols.end(); ++it) {
            const QJsonObject c = it.value().toObject();
            book.columnInfo.insert(it.key().toInt(), XlrdColumn{c.value(QStringLiteral("width")).toInt(),
                                                                c.value(QStringLiteral("format")).toString()});
        }
        book.log = root.value(QStringLiteral("log")).toString();
        return book;
    }
};

} // namespace testsupport

// Reads a workbook with xlrd into `book`; fails the test when xlrd cannot read it or
// warns about its structure.
#define READ_XLS(book, path)                                                                   \
    const testsupport::XlrdWorkbook book = testsupport::XlrdWorkbook::read(path);              \
    QVERIFY2(book.error.isEmpty(), qPrintable(book.error));                                    \
    QVERIFY2(book.log.isEmpty(), qPrintable(book.log));                                        \
    QCOMPARE(book.sheets, QStringList{QStringLiteral("Sheet1")})
