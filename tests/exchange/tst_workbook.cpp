// The .xls writer checked by an independent reader (python3-xlrd, and olefile for the
// compound file): cell values and types, the "@" text format, date formats, column
// widths, long and CJK strings across CONTINUE records, a file large enough to need
// DIFAT sectors, the sheet's limits and failed writes.
#include "exchange/ExportError.h"
#include "exchange/TypedCellText.h"
#include "exchange/Worksheet.h"
#include "exchange/XlrdWorkbook.h"
#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace exchange;

class TestWorkbook : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

    QString path(const QString &name) const { return dir.filePath(name); }

private slots:
    void typedText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("kind");
        QTest::addColumn<double>("number");
        QTest::newRow("integer") << "42" << int(CellKind::Number) << 42.0;
        QTest::newRow("negative decimal") << "-12.50" << int(CellKind::Number) << -12.5;
        QTest::newRow("exponent") << "1e+20" << int(CellKind::Number) << 1e20;
        QTest::newRow("leading point") << ".5" << int(CellKind::Number) << 0.5;
        QTest::newRow("15 digits") << "123456789012345" << int(CellKind::Number) << 123456789012345.0;
        QTest::newRow("16 digits stay text") << "1234567890123456" << int(CellKind::Text) << 0.0;
        QTest::newRow("19-digit bigint stays text") << "9223372036854775807" << int(CellKind::Text) << 0.0;
        QTest::newRow("date") << "2024/01/05" << int(CellKind::Date) << 45296.0;
        QTest::newRow("date with dashes") << "2024-01-05" << int(CellKind::Date) << 45296.0;
        QTest::newRow("1900-01-01 is serial 1") << "1900/01/01" << int(CellKind::Date) << 1.0;
        QTest::newRow("1900-03-01 is serial 61") << "1900/03/01" << int(CellKind::Date) << 61.0;
        QTest::newRow("before 1900 stays text") << "1899/12/31" << int(CellKind::Text) << 0.0;
        QTest::newRow("no such day stays text") << "2023/02/29" << int(CellKind::Text) << 0.0;
        QTest::newRow("date-time") << "2024/01/05 18:00:00" << int(CellKind::DateTime) << 45296.75;
        QTest::newRow("date-time to the minute") << "2024/01/05 06:00" << int(CellKind::DateTimeMinutes) << 45296.25;
        QTest::newRow("time") << "12:00:00" << int(CellKind::Time) << 0.5;
        QTest::newRow("leading zeros in a number column") << "007" << int(CellKind::Number) << 7.0;
        QTest::newRow("month-day guess stays text") << "1-2" << int(CellKind::Text) << 0.0;
        QTest::newRow("address stays text") << "192.168.1.10" << int(CellKind::Text) << 0.0;
        QTest::newRow("padded number stays text") << " 12" << int(CellKind::Text) << 0.0;
        QTest::newRow("True is a logical value") << "True" << int(CellKind::Logical) << 1.0;
        QTest::newRow("False is a logical value") << "False" << int(CellKind::Logical) << 0.0;
        QTest::newRow("TRUE in any case") << "tRUE" << int(CellKind::Logical) << 1.0;
        QTest::newRow("padded True stays text") << " True" << int(CellKind::Text) << 0.0;
        QTest::newRow("Truth stays text") << "Truth" << int(CellKind::Text) << 0.0;
        QTest::newRow("Chinese true stays text") << "真" << int(CellKind::Text) << 0.0;
        QTest::newRow("infinity stays text") << "1e999" << int(CellKind::Text) << 0.0;
        QTest::newRow("chinese") << "台北" << int(CellKind::Text) << 0.0;
    }

    void typedText()
    {
        QFETCH(QString, text);
        QFETCH(int, kind);
        QFETCH(double, number);
        const TypedCell cell = convertTypedText(text);
        QCOMPARE(int(cell.kind), kind);
        if (cell.kind != CellKind::Text)
            QCOMPARE(cell.number, number);
    }

    void displayWidth_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("width");
        QTest::newRow("ascii") << "abc" << 3;
        QTest::newRow("cjk counts double") << "產生日期時間：" << 14;
        QTest::newRow("mixed") << "客戶 0001" << 9;
        QTest::newRow("fullwidth digits") << "１２" << 4;
        QTest::newRow("supplementary cjk is one wide character") << QString::fromUcs4(U"\U00020000a") << 3;
    }

    void displayWidth()
    {
        QFETCH(QString, text);
        QFETCH(int, width);
        QCOMPARE(displayWidthOf(text), width);
    }

    void cellsAndFormatsAsXlrdReadsThem()
    {
        Worksheet sheet;
        sheet.setColumnTextFormat(1);
        sheet.putTyped(0, 0, QStringLiteral("產生日期時間："));
        sheet.putTyped(0, 1, QStringLiteral("2026/12/10 13:54"));
        sheet.putTyped(1, 0, QStringLiteral("00123"));
        sheet.putTyped(1, 1, QStringLiteral("00123"));
        sheet.putTyped(1, 2, QStringLiteral("2024/01/05"));
        sheet.putTyped(1, 3, QStringLiteral("O'Brien; \"x\" <&>"));
        sheet.putTyped(2, 2, QStringLiteral("2024/01/05 18:00:00"));
        sheet.putTyped(2, 3, QStringLiteral("12:00:00"));
        sheet.putTyped(2, 0, QString()); // stays empty
        sheet.putNumber(3, 4, 2.5);
        sheet.putTyped(3, 0, QStringLiteral("True"));
        sheet.putTyped(3, 1, QStringLiteral("True")); // a text column keeps the text
        sheet.putTyped(3, 2, QStringLiteral("False"));
        for (int c = 0; c < 4; ++c)
            sheet.fitColumn(c, 1);
        sheet.save(path(QStringLiteral("cells.xls")));

        READ_XLS(book, path(QStringLiteral("cells.xls")));
        QCOMPARE(book.rows, 4);
        QCOMPARE(book.columns, 5);
        QCOMPARE(book.cells.size(), 12);
        auto check = [&](int r, int c, const char *type, const QVariant &value, const char *format) {
            const testsupport::XlrdCell cell = book.cell(r, c);
            QCOMPARE(cell.type, QString::fromLatin1(type));
            QCOMPARE(cell.value, value);
            QCOMPARE(cell.format, QString::fromLatin1(format));
        };
        check(0, 0, "text", QStringLiteral("產生日期時間："), "General");
        check(0, 1, "text", QStringLiteral("2026/12/10 13:54"), "@");
        check(1, 0, "number", 123.0, "General");
        check(1, 1, "text", QStringLiteral("00123"), "@");
        check(1, 2, "date", 45296.0, "yyyy/mm/dd");
        check(1, 3, "text", QStringLiteral("O'Brien; \"x\" <&>"), "General");
        check(2, 2, "date", 45296.75, "yyyy/mm/dd hh:mm:ss");
        check(2, 3, "date", 0.5, "hh:mm:ss");
        check(3, 4, "number", 2.5, "General");
        check(3, 0, "boolean", 1, "General");
        check(3, 1, "text", QStringLiteral("True"), "@");
        check(3, 2, "boolean", 0, "General");
        QCOMPARE(book.cell(2, 0).type, QString());
        // Widest cell plus one character, CJK counting two; column B keeps "@".
        QCOMPARE(book.columnInfo.value(0).width, (14 + 1) * 256);
        QCOMPARE(book.columnInfo.value(1).width, (16 + 1) * 256);
        QCOMPARE(book.columnInfo.value(1).format, QStringLiteral("@"));
        QCOMPARE(book.columnInfo.value(2).width, (19 + 1) * 256);
        QCOMPARE(book.columnInfo.value(3).width, (16 + 1) * 256);
        QCOMPARE(book.columnInfo.value(0).format, QStringLiteral("General"));
        QVERIFY(!book.columnInfo.contains(4));
    }

    // Strings long enough to be split over CONTINUE records, in one-byte and two-byte
    // form, a character outside the BMP, and the longest text a cell holds.
    void longStringsRoundTrip()
    {
        QStringList texts;
        for (int i = 0; i < 3000; ++i)
            texts << QStringLiteral("客戶 %1 café 😀").arg(i);
        texts << QString(kCellMaxChars, QLatin1Char('x'));
        texts << QString(kCellMaxChars, QChar(0x4E2D));
        texts << QString(9000, QChar(0xE9)) + QStringLiteral("末");
        Worksheet sheet;
        for (int i = 0; i < texts.size(); ++i)
            sheet.putText(i, 0, texts[i]);
        sheet.save(path(QStringLiteral("long.xls")));
        READ_XLS(book, path(QStringLiteral("long.xls")));
        QCOMPARE(book.rows, int(texts.size()));
        for (int i = 0; i < texts.size(); ++i)
            QCOMPARE(book.cell(i, 0).value.toString(), texts[i]);
        QCOMPARE(book.columnInfo.size(), 0); // never fitted: the sheet's default
    }

    // Every row of a sheet, with five text columns: a stream past 7 MB, where the
    // compound file needs DIFAT sectors beyond the header's 109 FAT slots.
    void fullSheetNeedsDifat()
    {
        Worksheet sheet;
        for (int r = 0; r < kSheetMaxRows; ++r) {
            sheet.putNumber(r, 0, r);
            for (int c = 1; c < 6; ++c)
                sheet.putText(r, c, QStringLiteral("r%1c%2").arg(r).arg(c));
        }
        const QString file = path(QStringLiteral("full.xls"));
        sheet.save(file);
        QVERIFY(QFileInfo(file).size() > 109 * 128 * 512); // beyond the header's FAT slots
        READ_XLS(book, file);
        QCOMPARE(book.rows, kSheetMaxRows);
        QCOMPARE(book.cell(kSheetMaxRows - 1, 0).value, QVariant(double(kSheetMaxRows - 1)));
        QCOMPARE(book.cell(kSheetMaxRows - 1, 5).value.toString(), QStringLiteral("r65535c5"));
        QCOMPARE(book.cell(40000, 5).value.toString(), QStringLiteral("r40000c5"));
        QCOMPARE(book.cell(123, 1).value.toString(), QStringLiteral("r123c1"));
    }

    void limitsRefusedBeforeWriting_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("length");
        QTest::newRow("row 65,537") << kSheetMaxRows << 0 << 1;
        QTest::newRow("column 257") << 0 << kSheetMaxColumns << 1;
        QTest::newRow("32,768 characters") << 0 << 0 << kCellMaxChars + 1;
    }

    void limitsRefusedBeforeWriting()
    {
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(int, length);
        Worksheet sheet;
        sheet.putText(0, 0, QStringLiteral("kept"));
        QVERIFY_THROWS_EXCEPTION(SheetLimitError, sheet.putText(row, column, QString(length, QLatin1Char('a'))));
        QCOMPARE(sheet.cells().size(), size_t(1));
    }

    void failedSaveKeepsTheOldFileAndTellsWhy()
    {
        const QString file = path(QStringLiteral("kept.xls"));
        Worksheet good;
        good.putText(0, 0, QStringLiteral("good"));
        good.save(file);
        const QByteArray before = QCryptographicHash::hash([&] { QFile f(file); f.open(QIODevice::ReadOnly); return f.readAll(); }(), QCryptographicHash::Sha256);
        // A folder that does not exist: the file's own error text.
        Worksheet other;
        other.putText(0, 0, QStringLiteral("other"));
        const QString missing = path(QStringLiteral("no such folder/x.xls"));
        try {
            other.save(missing);
            QFAIL("saved into a missing folder");
        } catch (const ExportError &e) {
            QVERIFY2(e.message().startsWith(QStringLiteral("無法寫入檔案 ") + missing + QStringLiteral("：")), qPrintable(e.message()));
        }
        QVERIFY(!QFile::exists(missing));
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256), before);
    }
};

QTEST_GUILESS_MAIN(TestWorkbook)
#include "tst_workbook.moc"
