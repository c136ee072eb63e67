// Edit masks written in the data layer's syntax become Qt input masks symbol by symbol;
// the typed value of a masked edit and the checks of typed values by field type.
#include "components/EditMask.h"
#include "components/SeekValueCheck.h"
#include <QLineEdit>
#include <QtTest>

using namespace components;

class TestWSeekEditMask : public QObject {
    Q_OBJECT
private slots:
    void translatesEachSymbol_data()
    {
        QTest::addColumn<QString>("editMask");
        QTest::addColumn<QString>("inputMask");
        QTest::addColumn<bool>("keepLiterals");
        QTest::newRow("empty: no mask") << "" << "" << true;
        QTest::newRow("0 digit required -> 9") << "000" << "999;_" << true;
        QTest::newRow("9 digit optional -> 0") << "999" << "000;_" << true;
        QTest::newRow("# digit or sign stays") << "#99" << "#00;_" << true;
        QTest::newRow("L letter required -> A") << "LL" << "AA;_" << true;
        QTest::newRow("l letter optional -> a") << "ll" << "aa;_" << true;
        QTest::newRow("A alphanumeric required -> N") << "AA" << "NN;_" << true;
        QTest::newRow("a alphanumeric optional -> n") << "aa" << "nn;_" << true;
        QTest::newRow("C any character required -> X") << "CC" << "XX;_" << true;
        QTest::newRow("c any character optional -> x") << "cc" << "xx;_" << true;
        QTest::newRow("> upper case stays") << ">LL" << ">AA;_" << true;
        QTest::newRow("< lower case stays") << "<LL" << "<AA;_" << true;
        QTest::newRow("<> case off -> !") << ">L<>l" << ">A!a;_" << true;
        QTest::newRow("! leading blanks: no Qt counterpart, dropped") << "!999" << "000;_" << true;
        QTest::newRow(": and / are literals") << "90:00/99" << "09:99/00;_" << true;
        QTest::newRow("_ inserts a blank") << "99_99" << "00 00;_" << true;
        QTest::newRow("\\ escapes a symbol") << "\\0\\L9" << "\\0L0;_" << true;
        QTest::newRow("escaped literal that Qt reads as symbol") << "\\A9" << "\\A0;_" << true;
        QTest::newRow("letters Qt reads as symbols are escaped") << "H9D9B9X9N" << "\\H0\\D0\\B0\\X0\\N;_" << true;
        QTest::newRow("brackets are escaped") << "[9]" << "\\[0\\];_" << true;
        QTest::newRow("date with ;1;_ tail") << "!9999/99/99;1;_" << "0000/00/00;_" << true;
        QTest::newRow(";0 drops literals") << "000-000;0;_" << "999-999;_" << false;
        QTest::newRow("own blank character") << "000;1;*" << "999;*" << true;
        QTest::newRow("tail without blank keeps _") << "000;0" << "999;_" << false;
        QTest::newRow("escaped ; is a literal, not a field") << "9\\;9;1;_" << "0 0;_" << true;
        QTest::newRow("only a tail: no mask") << ";1;_" << "" << true;
    }
    void translatesEachSymbol()
    {
        QFETCH(QString, editMask);
        QFETCH(QString, inputMask);
        QFETCH(bool, keepLiterals);
        const QtInputMask mask = toQtInputMask(editMask);
        QCOMPARE(mask.inputMask, inputMask);
        QCOMPARE(mask.keepLiterals, keepLiterals);
    }

    // The translated mask takes and refuses what the original syntax does.
    void translatedMaskAcceptsWhatTheSyntaxMeans_data()
    {
        QTest::addColumn<QString>("editMask");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("acceptable");
        QTest::newRow("required digits filled") << "000" << "123" << "123" << true;
        QTest::newRow("required digit missing") << "000" << "12" << "12" << false;
        QTest::newRow("optional digits may stay empty") << "999" << "1" << "1" << true;
        QTest::newRow("letters refuse digits") << "LLL" << "a1b" << "ab" << false;
        QTest::newRow("upper case") << ">LLL" << "abc" << "ABC" << true;
        QTest::newRow("date") << "!9999/99/99;1;_" << "20240309" << "2024/03/09" << true;
    }
    void translatedMaskAcceptsWhatTheSyntaxMeans()
    {
        QFETCH(QString, editMask);
        QFETCH(QString, typed);
        QFETCH(QString, text);
        QFETCH(bool, acceptable);
        QLineEdit edit;
        edit.setInputMask(toQtInputMask(editMask).inputMask);
        edit.setFocus();
        edit.home(false);
        QTest::keyClicks(&edit, typed);
        QCOMPARE(edit.text(), text);
        QCOMPARE(edit.hasAcceptableInput(), acceptable);
    }

    void typedCharactersLeaveOutLiteralsAndBlanks_data()
    {
        QTest::addColumn<QString>("inputMask");
        QTest::addColumn<QString>("display");
        QTest::addColumn<QString>("typed");
        QTest::newRow("nothing typed") << "0000/00/00;_" << "____/__/__" << "";
        QTest::newRow("part typed") << "0000/00/00;_" << "2024/0_/__" << "20240";
        QTest::newRow("escaped symbol is a literal") << "\\A99;_" << "A12" << "12";
        QTest::newRow("case switches take no place") << ">AA!aa;_" << "ABcd" << "ABcd";
    }
    void typedCharactersLeaveOutLiteralsAndBlanks()
    {
        QFETCH(QString, inputMask);
        QFETCH(QString, display);
        QFETCH(QString, typed);
        QCOMPARE(typedCharacters(inputMask, display), typed);
    }

    void checksByFieldType_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("problem");
        const int typing = int(SeekCheckMode::Typing), search = int(SeekCheckMode::Search);
        const QString notNumber = QStringLiteral("輸入非數值字元"), notDate = QStringLiteral("輸入非日期字元");
        QTest::newRow("integer") << int(data::ftInteger) << "12" << typing << "";
        QTest::newRow("integer 12a") << int(data::ftInteger) << "12a" << typing << notNumber;
        QTest::newRow("integer empty") << int(data::ftInteger) << "" << typing << "";
        QTest::newRow("integer blanks") << int(data::ftInteger) << "  " << search << notNumber;
        QTest::newRow("smallint negative") << int(data::ftSmallint) << "-7" << typing << "";
        QTest::newRow("largeint") << int(data::ftLargeint) << "9000000000" << typing << "";
        QTest::newRow("largeint 1e3") << int(data::ftLargeint) << "1e3" << typing << notNumber;
        QTest::newRow("float C format") << int(data::ftFloat) << "3.25" << typing << "";
        QTest::newRow("float exponent") << int(data::ftFloat) << "-1.5e2" << typing << "";
        QTest::newRow("float x") << int(data::ftFloat) << "3.x" << typing << notNumber;
        QTest::newRow("float blanks typing") << int(data::ftFloat) << "  " << typing << notNumber;
        QTest::newRow("float blanks search") << int(data::ftFloat) << "  " << search << "";
        QTest::newRow("currency") << int(data::ftCurrency) << "12.50" << typing << "";
        QTest::newRow("date") << int(data::ftDate) << "2024/03/09" << typing << "";
        QTest::newRow("date one-digit parts") << int(data::ftDate) << "2024/3/9" << typing << "";
        QTest::newRow("date empty") << int(data::ftDate) << "" << search << notDate;
        QTest::newRow("date dashes") << int(data::ftDate) << "2024-03-09" << typing << notDate;
        QTest::newRow("date impossible") << int(data::ftDate) << "2024/02/30" << typing << notDate;
        QTest::newRow("date-time") << int(data::ftDateTime) << "2024/03/09" << typing << "";
        QTest::newRow("date-time empty") << int(data::ftDateTime) << "" << typing << notDate;
        QTest::newRow("text anything") << int(data::ftWideString) << "12a;'" << typing << "";
        QTest::newRow("time unchecked") << int(data::ftTime) << "xx" << typing << "";
    }
    void checksByFieldType()
    {
        QFETCH(int, type);
        QFETCH(QString, text);
        QFETCH(int, mode);
        QFETCH(QString, problem);
        QCOMPARE(seekValueProblem(data::TFieldType(type), text, SeekCheckMode(mode)), problem);
    }
};

QTEST_MAIN(TestWSeekEditMask)
#include "tst_wseek_editmask.moc"
