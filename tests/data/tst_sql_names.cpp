// Names and values the program puts into SQL: identifier quoting for every quote
// character a database may use, string literals, and where a built command's first
// statement ends.
#include "data/core/DatabaseError.h"
#include "data/core/SqlNames.h"
#include "data/core/StatementText.h"
#include <QtTest>

using namespace data;

class TestSqlNames : public QObject {
    Q_OBJECT

private slots:
    void identifierQuoting_data()
    {
        QTest::addColumn<QString>("quote");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("quoted");
        QTest::newRow("standard") << "\"" << "客戶" << "\"客戶\"";
        QTest::newRow("standard, inner quote") << "\"" << "a\"b" << "\"a\"\"b\"";
        QTest::newRow("standard, statement inside") << "\"" << "t;DELETE FROM victim" << "\"t;DELETE FROM victim\"";
        QTest::newRow("standard, leading quote") << "\"" << "\"; DROP TABLE victim; --"
                                                 << "\"\"\"; DROP TABLE victim; --\"";
        QTest::newRow("brackets") << "[" << "a]b" << "[a]]b]";
        QTest::newRow("brackets, opening bracket") << "[" << "[x" << "[[x]";
        QTest::newRow("brackets, quotes stay") << "[" << "it's \"q\"" << "[it's \"q\"]";
        QTest::newRow("backquote") << "`" << "a`b" << "`a``b`";
        QTest::newRow("no quote character") << "" << "a b" << "\"a b\"";
        QTest::newRow("blank quote character") << " " << "a\"b" << "\"a\"\"b\"";
        QTest::newRow("empty name") << "\"" << "" << "\"\"";
    }
    void identifierQuoting()
    {
        QFETCH(QString, quote);
        QFETCH(QString, name);
        QFETCH(QString, quoted);
        QCOMPARE(quoteIdentifierWith(quote, name), quoted);
    }

    void stringLiterals_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("national");
        QTest::addColumn<QString>("literal");
        QTest::newRow("plain") << "abc" << false << "'abc'";
        QTest::newRow("quote") << "it's" << false << "'it''s'";
        QTest::newRow("escape attempt") << "x'); DROP TABLE victim; --" << false << "'x''); DROP TABLE victim; --'";
        QTest::newRow("national") << "客戶 资料" << true << "N'客戶 资料'";
        QTest::newRow("national, quotes") << "''" << true << "N''''''";
        QTest::newRow("empty") << "" << false << "''";
    }
    void stringLiterals()
    {
        QFETCH(QString, value);
        QFETCH(bool, national);
        QFETCH(QString, literal);
        QCOMPARE(quoteStringLiteral(value, national), literal);
    }

    void oneStatement_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<bool>("brackets");
        QTest::addColumn<bool>("one");
        QTest::newRow("plain") << "Select * From t" << false << true;
        QTest::newRow("trailing semicolon and blanks") << "Select * From t ;  \r\n" << false << true;
        QTest::newRow("trailing comments") << "Select 1; -- done\r\n/* end */ ;" << false << true;
        QTest::newRow("second statement") << "Select * From t;DELETE FROM victim" << false << false;
        QTest::newRow("second after comment") << "Select 1; /* x */ DELETE FROM victim" << false << false;
        QTest::newRow("semicolon in quoted name") << "Select * From \"t;DELETE FROM victim\"" << false << true;
        QTest::newRow("doubled quote in name") << "Select * From \"a\"\";DELETE\"" << false << true;
        QTest::newRow("name closed early") << "Select * From \"a\";DELETE FROM victim;\"\"" << false << false;
        QTest::newRow("semicolon in literal") << "Select ';DELETE FROM victim'" << false << true;
        QTest::newRow("doubled literal quote") << "Select 'it''s;x'" << false << true;
        QTest::newRow("unclosed literal") << "Select 'abc" << false << false;
        QTest::newRow("unclosed name") << "Select * From \"abc" << false << false;
        QTest::newRow("unclosed comment") << "Select 1 /* ; " << false << false;
        QTest::newRow("semicolon in line comment") << "Select 1 -- ; DELETE\r\n" << false << true;
        QTest::newRow("brackets hold semicolon") << "Select * From [t;DELETE FROM victim]" << true << true;
        QTest::newRow("brackets doubled") << "Select * From [a]];DELETE]" << true << true;
        QTest::newRow("bracket closed early") << "Select * From [a];DELETE FROM victim" << true << false;
        QTest::newRow("unclosed bracket") << "Select * From [a" << true << false;
        QTest::newRow("brackets not quotes elsewhere") << "Select a[1] From t; Select 2" << false << false;
    }
    void oneStatement()
    {
        QFETCH(QString, sql);
        QFETCH(bool, brackets);
        QFETCH(bool, one);
        StatementQuoting quoting;
        quoting.brackets = brackets;
        QCOMPARE(holdsOneStatement(sql, quoting), one);
        bool threw = false;
        try {
            requireOneStatement(sql, quoting);
        } catch (const DatabaseError &e) {
            threw = true;
            QCOMPARE(e.message(), QStringLiteral("命令只能含一個 SQL 陳述式：") + sql);
        }
        QCOMPARE(threw, !one);
    }

    void driverQuoteCharacterIsHonoured()
    {
        StatementQuoting backquote;
        backquote.identifierQuote = QLatin1Char('`');
        QVERIFY(holdsOneStatement(QStringLiteral("Select * From `t;DELETE FROM victim`"), backquote));
        QVERIFY(!holdsOneStatement(QStringLiteral("Select * From `t`;DELETE FROM victim"), backquote));
    }
};

QTEST_GUILESS_MAIN(TestSqlNames)
#include "tst_sql_names.moc"
