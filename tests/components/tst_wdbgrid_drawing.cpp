// The grid's presentation in an active window: memo, picture and check-box cells as they
// are actually drawn (cells grabbed offscreen and compared pixel by pixel), the owner's
// highlight decision, row heights kept across layout changes and adopted from a dragged
// row, and the column-click events raised by clicks at title positions.
#include "components/GridCellPainter.h"
#include "components/PictureFit.h"
#include "components/wDBGrid.h"
#include "data/core/ColumnInfo.h"
#include "data/core/ColumnStore.h"
#include "data/core/Connection.h"
#include "data/core/Dataset.h"
#include "data/core/Field.h"
#include "support/GuiDriver.h"
#include "support/ScriptedUi.h"
#include <QAbstractButton>
#include <QBuffer>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPainter>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QtTest>
#include <sqlite3.h>

using namespace components;

namespace {

void execSql(const QString &file, const char *sql)
{
    sqlite3 *db = nullptr;
    sqlite3_open(file.toUtf8().constData(), &db);
    char *err = nullptr;
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &err);
    const QString text = QString::fromUtf8(err ? err : "");
    sqlite3_free(err);
    sqlite3_close(db);
    if (rc != SQLITE_OK)
        qFatal("%s", qPrintable(text));
}

QByteArray encoded(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QImage solid(int w, int h, QColor colour)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

quint32 crc32(const QByteArray &data)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char c : data) {
        crc ^= quint8(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void appendBigEndian(QByteArray &out, quint32 value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.append(char((value >> shift) & 0xFF));
}

// A well-formed PNG header that declares a picture far beyond any reader's allocation
// limit (60000 x 60000, 14 GB), with no pixel data after it.
QByteArray hugeDeclaredPng()
{
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    QByteArray chunk("IHDR");
    appendBigEndian(chunk, 60000);
    appendBigEndian(chunk, 60000);
    chunk.append("\x08\x06\x00\x00\x00", 5); // 8-bit RGBA, no interlace
    appendBigEndian(png, 13);
    png.append(chunk);
    appendBigEndian(png, crc32(chunk));
    return png;
}

// Bounding rectangle of the pixels of one colour; empty when there are none.
QRect boundsOf(const QImage &image, QColor colour)
{
    QRect bounds;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == colour)
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

bool allOf(const QImage &image, QColor colour)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) != colour)
                return false;
    return true;
}

// The grid alone in a window.
struct Window {
    QWidget window;
    TwDBGrid grid;
    explicit Window(QSize size = QSize(700, 400))
    {
        auto *layout = new QHBoxLayout(&window);
        layout->addWidget(&grid);
        window.resize(size);
    }
    bool show()
    {
        if (!drive::showActive(&window))
            return false;
        grid.setFocus();
        return drive::focused() == &grid;
    }
    // The rectangle a cell is painted in: its section less the grid line.
    QRect cellRect(int row, int column) const { return grid.visualRect(grid.model()->index(row, column)); }
    QImage grabCell(int row, int column) const
    {
        return grid.viewport()->grab(cellRect(row, column)).toImage().convertToFormat(QImage::Format_RGB32);
    }
    QColor base() const { return grid.palette().color(QPalette::Active, QPalette::Base); }
    QColor highlight() const { return grid.palette().color(QPalette::Active, QPalette::Highlight); }
    // An image of a cell's size, filled as the grid fills an unselected cell, painted on
    // by `paint` the way the grid paints into its viewport.
    template <typename Paint> QImage reference(QSize size, Paint paint) const
    {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.fillRect(QRect(QPoint(0, 0), size), base());
        paint(painter);
        painter.end();
        return pixmap.toImage().convertToFormat(QImage::Format_RGB32);
    }
};

// A dataset of one picture field (an id before it, and after it a text reading as the
// grid's base text of a picture cell), one record per picture.
void openPictures(data::Dataset &ds, const QList<QByteArray> &pictures,
                  data::Dataset::RowsMode mode = data::Dataset::RowsMode::ReadOnly)
{
    std::vector<data::ColumnInfo> columns(3);
    columns[0].name = QStringLiteral("id");
    columns[0].type = data::ftInteger;
    columns[1].name = QStringLiteral("photo");
    columns[1].type = data::ftGraphic;
    columns[1].isLong = true;
    columns[2].name = QStringLiteral("text");
    columns[2].type = data::ftWideString;
    data::RowStore rows;
    rows.columns.emplace_back(data::StorageKind::Int);
    rows.columns.emplace_back(data::StorageKind::Bytes);
    rows.columns.emplace_back(data::StorageKind::Text);
    for (int i = 0; i < pictures.size(); ++i) {
        rows.columns[0].appendInt(i + 1);
        if (pictures[i].isNull())
            rows.columns[1].appendNull();
        else
            rows.columns[1].appendText(std::string_view(pictures[i].constData(), size_t(pictures[i].size())));
        rows.columns[2].appendValue(QStringLiteral("(GRAPHIC)"));
    }
    ds.OpenResult(std::move(columns), std::move(rows), mode);
}

// A SQLite table in a temporary folder, opened in a dataset.
struct SqliteTable {
    QTemporaryDir dir;
    data::Connection conn;
    data::Dataset ds;
    SqliteTable(const char *script, const char *select)
    {
        const QString file = dir.path() + QStringLiteral("/t.db");
        execSql(file, script);
        conn.setConnectionString(QStringLiteral("Provider=SQLite.1;Data Source=") + file);
        conn.Open();
        ds.setConnection(&conn);
        ds.setCommandText(QString::fromUtf8(select));
        ds.Open();
    }
};

constexpr const char *kPeople =
    "CREATE TABLE people (id INTEGER PRIMARY KEY, name NVARCHAR(20), flag CHAR(1));"
    "INSERT INTO people VALUES (1, 'Ann', 'Y'), (2, 'Bob', 'N'), (3, 'Cy', 'Y'), (4, 'Di', 'N');";

struct Click {
    QString event;
    int index;
    int button;
    TShiftState shift;
    QPoint at;
};

} // namespace

class TestWDBGridDrawing : public QObject {
    Q_OBJECT
private slots:
    void pictureArithmetic_data();
    void pictureArithmetic();
    void pictureDrawn_data();
    void pictureDrawn();
    void pictureDecodedOncePerCellAndSize_data();
    void pictureDecodedOncePerCellAndSize();
    void memoCell_data();
    void memoCell();
    void checkBoxCells();
    void ownerDecidesHighlight();
    void zeroRowHeightKeepsAndRemembers();
    void rowHeightSurvivesLayoutChanges_data();
    void rowHeightSurvivesLayoutChanges();
    void draggedRowHeightForEveryRow_data();
    void draggedRowHeightForEveryRow();
    void titleClicks_data();
    void titleClicks();
    void titlePressDraggedAway_data();
    void titlePressDraggedAway();
    void nativeClickLeavesTitleToGrid();
};

// The placement arithmetic on its own: ratios in floating point, halves to even, integer
// division toward zero.
void TestWDBGridDrawing::pictureArithmetic_data()
{
    QTest::addColumn<QRect>("cell");
    QTest::addColumn<QSize>("bitmap");
    QTest::addColumn<QRect>("expected");
    const QRect cell(100, 50, 40, 20);
    QTest::newRow("100x100 in 40x20") << cell << QSize(100, 100) << QRect(110, 50, 20, 20);
    QTest::newRow("empty") << cell << QSize(0, 0) << QRect(100, 60, 40, 0);
    QTest::newRow("no width") << cell << QSize(0, 7) << QRect(100, 60, 40, 0);
    QTest::newRow("no height") << cell << QSize(7, 0) << QRect(120, 50, 0, 20);
    QTest::newRow("tall") << cell << QSize(10, 100) << QRect(119, 50, 2, 20);
    QTest::newRow("wide") << cell << QSize(100, 10) << QRect(100, 58, 40, 4);
    QTest::newRow("2.5 rounds to 2") << cell << QSize(80, 5) << QRect(100, 59, 40, 2);
    QTest::newRow("5.5 rounds to 6") << cell << QSize(80, 11) << QRect(100, 57, 40, 6);
    QTest::newRow("odd margin truncated") << cell << QSize(3, 20) << QRect(118, 50, 3, 20);
    QTest::newRow("small picture grows") << cell << QSize(4, 4) << QRect(110, 50, 20, 20);
    QTest::newRow("stretched") << QRect(5, 6, 60, 20) << QSize(-1, -1) << QRect(5, 6, 40, 20);
    QTest::newRow("stretched past a narrow cell") << QRect(0, 0, 30, 20) << QSize(-1, -1) << QRect(0, 0, 40, 20);
}

void TestWDBGridDrawing::pictureArithmetic()
{
    QFETCH(QRect, cell);
    QFETCH(QSize, bitmap);
    QFETCH(QRect, expected);
    const QRect got = bitmap.width() < 0 ? stretchedPictureRect(cell)
                                         : adjustedPictureRect(cell, bitmap.width(), bitmap.height());
    QCOMPARE(got, expected);
}

// What is drawn in a picture cell of 40 x 20 (60 x 20 for the stretched ones): the red
// picture's rectangle within the cell; for no data or empty data a cell that is only
// filled; for data no reader can show (corrupt, or too large for the readers) the grid's
// base text "(GRAPHIC)", exactly as a text cell holding it is drawn.
void TestWDBGridDrawing::pictureDrawn_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("cellWidth");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QRect>("picture"); // in the cell; empty: only the fill, or the text
    QTest::addColumn<bool>("baseText");
    const QByteArray square = encoded(solid(100, 100, Qt::red), "PNG");
    QTest::newRow("adjust 100x100") << int(gedgAdjust) << 40 << square << QRect(10, 0, 20, 20) << false;
    QTest::newRow("adjust tall bmp") << int(gedgAdjust) << 40 << encoded(solid(10, 100, Qt::red), "BMP")
                                     << QRect(19, 0, 2, 20) << false;
    QTest::newRow("adjust wide") << int(gedgAdjust) << 40 << encoded(solid(100, 10, Qt::red), "PNG")
                                 << QRect(0, 8, 40, 4) << false;
    QTest::newRow("adjust half to even") << int(gedgAdjust) << 40 << encoded(solid(80, 5, Qt::red), "PNG")
                                         << QRect(0, 9, 40, 2) << false;
    QTest::newRow("adjust empty") << int(gedgAdjust) << 40 << QByteArray("") << QRect() << false;
    QTest::newRow("adjust null") << int(gedgAdjust) << 40 << QByteArray() << QRect() << false;
    QTest::newRow("stretch") << int(gedgStretch) << 60 << square << QRect(0, 0, 40, 20) << false;
    QTest::newRow("no") << int(gedgNo) << 60 << encoded(solid(10, 100, Qt::red), "PNG") << QRect(0, 0, 40, 20) << false;
    QTest::newRow("garbage") << int(gedgAdjust) << 40 << QByteArray("not a picture; DROP TABLE x") << QRect() << true;
    QTest::newRow("truncated png") << int(gedgAdjust) << 40 << square.left(square.size() / 2) << QRect() << true;
    QTest::newRow("huge declared png") << int(gedgAdjust) << 40 << hugeDeclaredPng() << QRect() << true;
    QTest::newRow("garbage stretched") << int(gedgStretch) << 60 << QByteArray(4096, '\x01') << QRect() << true;
}

void TestWDBGridDrawing::pictureDrawn()
{
    QFETCH(int, mode);
    QFETCH(int, cellWidth);
    QFETCH(QByteArray, data);
    QFETCH(QRect, picture);
    QFETCH(bool, baseText);
    testsupport::ScriptedUiScope ui;
    Window w;
    data::Dataset ds;
    // The current record's cell is highlighted: the picture is in the second record.
    openPictures(ds, {encoded(solid(1, 1, Qt::blue), "PNG"), data});
    w.grid.setDataSet(&ds);
    w.grid.setDrawGraphic(TgedmGraphic(mode));
    w.grid.setDefaultRowHeight(21);
    w.grid.horizontalHeader()->resizeSection(1, cellWidth + 1);
    w.grid.horizontalHeader()->resizeSection(2, cellWidth + 1);
    QVERIFY(w.show());
    QCOMPARE(w.cellRect(1, 1).size(), QSize(cellWidth, 20));
    const QImage cell = w.grabCell(1, 1);
    QCOMPARE(boundsOf(cell, Qt::red), picture);
    if (baseText)
        QCOMPARE(cell, w.grabCell(1, 2));
    else if (picture.isEmpty())
        QVERIFY(allOf(cell, w.base()));
    else if (mode == gedgAdjust)
        QCOMPARE(boundsOf(cell, Qt::red) | boundsOf(cell, w.base()), QRect(QPoint(0, 0), cell.size()));
    QVERIFY(ui.messages().isEmpty());
}

// A picture cell decodes its data once per size: repainting draws the kept picture;
// a new cell size, changed data or another order of the rows decodes again and shows
// what the cell now holds.
void TestWDBGridDrawing::pictureDecodedOncePerCellAndSize_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<int>("decodes");   // more than after the first paint
    QTest::addColumn<QColor>("colour"); // of the second record's picture afterwards
    QTest::newRow("repaint") << "repaint" << 0 << QColor(Qt::red);
    QTest::newRow("wider column") << "resize" << 2 << QColor(Qt::red);
    QTest::newRow("picture replaced") << "edit" << 2 << QColor(Qt::green);
    QTest::newRow("rows sorted the other way") << "sort" << 2 << QColor(Qt::blue);
}

void TestWDBGridDrawing::pictureDecodedOncePerCellAndSize()
{
    QFETCH(QString, change);
    QFETCH(int, decodes);
    QFETCH(QColor, colour);
    testsupport::ScriptedUiScope ui;
    Window w;
    data::Dataset ds;
    openPictures(ds, {encoded(solid(400, 400, Qt::blue), "PNG"), encoded(solid(400, 400, Qt::red), "PNG")},
                 data::Dataset::RowsMode::InMemory);
    w.grid.setDataSet(&ds);
    w.grid.setDefaultRowHeight(21);
    QVERIFY(w.show());
    const auto *painter = static_cast<GridCellPainter *>(w.grid.itemDelegate());
    QVERIFY(!boundsOf(w.grabCell(1, 1), Qt::red).isEmpty());
    const int first = painter->pictureCache().decodes();
    QCOMPARE(first, 2);
    if (change == QLatin1String("resize")) {
        w.grid.horizontalHeader()->resizeSection(1, w.grid.horizontalHeader()->sectionSize(1) + 10);
    } else if (change == QLatin1String("edit")) {
        ds.Next();
        ds.Fields(1)->setValue(encoded(solid(400, 400, Qt::green), "PNG"));
        ds.Post();
    } else if (change == QLatin1String("sort")) {
        ds.setSort(QStringLiteral("id DESC"));
    }
    w.grid.viewport()->repaint();
    QVERIFY(!boundsOf(w.grabCell(1, 1), colour).isEmpty());
    QCOMPARE(painter->pictureCache().decodes() - first, decodes);
    QVERIFY(ui.messages().isEmpty());
}

// A memo drawn word-wrapped from 2 pixels in, "&" as itself; with gedmNo the grid's own
// text, exactly as a text field holding that text is drawn.
void TestWDBGridDrawing::memoCell_data()
{
    QTest::addColumn<int>("drawMemo");
    QTest::newRow("gedmYes") << int(gedmYes);
    QTest::newRow("gedmNo") << int(gedmNo);
}

void TestWDBGridDrawing::memoCell()
{
    QFETCH(int, drawMemo);
    const QString text = QStringLiteral("Tom & Jerry went to the market & bought bread");
    SqliteTable t("CREATE TABLE notes (id INTEGER PRIMARY KEY, memo MEMO, plain NVARCHAR(60));"
                  "INSERT INTO notes VALUES (1, 'first', 'first'),"
                  " (2, 'Tom & Jerry went to the market & bought bread', '(MEMO)');",
                  "Select * From notes");
    QCOMPARE(t.ds.Fields(1)->BlobType(), data::ftMemo);
    Window w;
    w.grid.setDataSet(&t.ds);
    w.grid.setDrawMemo(TgedmMemo(drawMemo));
    w.grid.setDefaultRowHeight(61);
    w.grid.horizontalHeader()->resizeSection(1, 121);
    w.grid.horizontalHeader()->resizeSection(2, 121);
    QVERIFY(w.show());
    const QImage memo = w.grabCell(1, 1);
    const QImage plain = w.grabCell(1, 2);
    const QImage wrapped = w.reference(memo.size(), [&](QPainter &p) {
        p.setFont(w.grid.font());
        p.setPen(w.grid.palette().color(QPalette::Active, QPalette::Text));
        p.drawText(QRect(2, 2, memo.width() - 2, memo.height() - 2), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                   text);
    });
    QVERIFY(wrapped != plain);
    if (drawMemo == gedmYes)
        QVERIFY(memo == wrapped);
    else
        QVERIFY(memo == plain);
}

// Check boxes appear once the column's Check holds "Y" or "N" (set on entering it), each
// marked by its own record's text.
void TestWDBGridDrawing::checkBoxCells()
{
    SqliteTable t(kPeople, "Select * From people");
    Window w;
    w.grid.setDataSet(&t.ds);
    t.ds.Fields(2)->setTag(10);
    w.grid.setDefaultRowHeight(25);
    w.grid.horizontalHeader()->resizeSection(2, 41);
    QVERIFY(w.show());
    const QSize size = w.cellRect(1, 2).size();
    auto box = [&](bool on) {
        return w.reference(size, [&](QPainter &p) {
            QStyleOptionButton option;
            option.rect = QRect((size.width() - w.grid.style()->pixelMetric(QStyle::PM_IndicatorWidth)) / 2,
                                (size.height() - w.grid.style()->pixelMetric(QStyle::PM_IndicatorHeight)) / 2,
                                w.grid.style()->pixelMetric(QStyle::PM_IndicatorWidth),
                                w.grid.style()->pixelMetric(QStyle::PM_IndicatorHeight));
            option.palette = w.grid.palette();
            option.state = QStyle::State_Enabled | (on ? QStyle::State_On : QStyle::State_Off);
            w.grid.style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &option, &p, &w.grid);
        });
    };
    const QImage checked = box(true);
    const QImage unchecked = box(false);
    QVERIFY(checked != unchecked);
    QCOMPARE(w.grid.Columns(2)->Check(), QString());
    QVERIFY(w.grabCell(2, 2) != checked); // plain text until the column is entered

    drive::press(Qt::Key_Right);
    drive::press(Qt::Key_Right);
    QCOMPARE(w.grid.SelectedIndex(), 2);
    QCOMPARE(w.grid.Columns(2)->Check(), QStringLiteral("Y"));
    QVERIFY(w.grabCell(1, 2) == unchecked); // "N"
    QVERIFY(w.grabCell(2, 2) == checked);   // "Y"
    QVERIFY(w.grabCell(3, 2) == unchecked); // "N"
}

// The owner sees the grid's own decision and may turn it either way. Whole rows are
// selected, so the current record's cells other than the focused one are highlighted by
// the grid's decision alone.
void TestWDBGridDrawing::ownerDecidesHighlight()
{
    SqliteTable t(kPeople, "Select * From people");
    Window w;
    w.grid.setDataSet(&t.ds);
    w.grid.setOptions(w.grid.Options() | dgRowSelect);
    struct Call { TGridDrawState state = 0; bool highlighted = false; };
    QMap<QPair<int, int>, Call> calls; // by data column and row: the latest call
    w.grid.OnChangeDrawing = [&](QObject *sender, int col, int row, TGridDrawState state, bool &highlighted) {
        if (sender != &w.grid)
            qFatal("sender is not the grid");
        calls[{col, row}] = Call{state, highlighted};
        if (col == 1 && row == 2)
            highlighted = true;
        else if (col == 1 && row == 0)
            highlighted = false;
    };
    // The owner's own drawing comes after the decision, with the cell's rectangle.
    QStringList order;
    w.grid.OnDrawColumnCell = [&](QObject *, QPainter *painter, const QRect &rect, int col, TCheckColumn *column,
                                  TGridDrawState) {
        if (col == 1 && rect == w.cellRect(2, 1) && painter && column == w.grid.Columns(1))
            order << QStringLiteral("draw");
    };
    auto decide = w.grid.OnChangeDrawing;
    w.grid.OnChangeDrawing = [&](QObject *sender, int col, int row, TGridDrawState state, bool &highlighted) {
        if (col == 1 && row == 2)
            order << QStringLiteral("decide");
        decide(sender, col, row, state, highlighted);
    };
    w.grid.setDefaultRowHeight(40);
    QVERIFY(w.show());
    order.clear();
    const QImage turnedOff = w.grabCell(0, 1);
    const QImage kept = w.grabCell(0, 2);
    const QImage turnedOn = w.grabCell(2, 1);
    const QImage plain = w.grabCell(3, 1);
    QVERIFY(calls.contains({1, 0}) && calls.contains({2, 0}) && calls.contains({1, 2}) && calls.contains({1, 3}));
    QCOMPARE(calls.value({1, 0}).state, TGridDrawState(gdSelected));
    QVERIFY(calls.value({1, 0}).highlighted);
    QVERIFY(calls.value({2, 0}).highlighted);
    QCOMPARE(calls.value({1, 2}).state, TGridDrawState(0));
    QVERIFY(!calls.value({1, 2}).highlighted);
    // A pixel of each cell's background, clear of its text.
    const QPoint background(4, 4);
    QCOMPARE(turnedOff.pixelColor(background), w.base());
    QCOMPARE(kept.pixelColor(background), w.highlight());
    QCOMPARE(turnedOn.pixelColor(background), w.highlight());
    QCOMPARE(plain.pixelColor(background), w.base());
    QCOMPARE(order, (QStringList{"decide", "draw"}));
}

// Writing 0 keeps the present height and remembers it, so a later layout change (here a
// larger font, which makes the grid size its rows again) keeps it too. The title row is
// as high as "Wg" plus 4 pixels.
void TestWDBGridDrawing::zeroRowHeightKeepsAndRemembers()
{
    SqliteTable t(kPeople, "Select * From people");
    Window w;
    w.grid.setDataSet(&t.ds);
    QVERIFY(w.show());
    const int before = w.grid.DefaultRowHeight();
    w.grid.setDefaultRowHeight(0);
    QCOMPARE(w.grid.DefaultRowHeight(), before);
    QCOMPARE(w.grid.SavedRowHeight(), before);
    QFont bigger = w.grid.font();
    bigger.setPixelSize(40);
    w.grid.setFont(bigger);
    QVERIFY(QFontMetrics(bigger).height() + 6 != before);
    QCOMPARE(w.grid.DefaultRowHeight(), before);
    QCOMPARE(w.grid.verticalHeader()->sectionSize(3), before);
    QHeaderView *titles = w.grid.horizontalHeader();
    QCOMPARE(titles->font().pixelSize(), 40);
    QCOMPARE(titles->height(), QFontMetrics(titles->font()).height() + 4);
}

void TestWDBGridDrawing::rowHeightSurvivesLayoutChanges_data()
{
    QTest::addColumn<QString>("change");
    for (const char *change : {"font", "reopen", "close", "columns", "options"})
        QTest::newRow(change) << QString::fromLatin1(change);
}

void TestWDBGridDrawing::rowHeightSurvivesLayoutChanges()
{
    QFETCH(QString, change);
    SqliteTable t(kPeople, "Select * From people");
    Window w;
    w.grid.setDataSet(&t.ds);
    QVERIFY(w.show());
    w.grid.setDefaultRowHeight(33);
    if (change == QLatin1String("font")) {
        QFont f = w.grid.font();
        f.setPixelSize(30);
        w.grid.setFont(f);
    } else if (change == QLatin1String("reopen")) {
        t.ds.Close();
        t.ds.Open();
    } else if (change == QLatin1String("close")) {
        t.ds.Close();
    } else if (change == QLatin1String("columns")) {
        t.ds.Fields(1)->setVisible(false);
        w.grid.LayoutChanged();
    } else {
        w.grid.setOptions(w.grid.Options() | dgRowSelect);
    }
    QCOMPARE(w.grid.DefaultRowHeight(), 33);
    QCOMPARE(w.grid.SavedRowHeight(), 33);
    if (t.ds.Active())
        QCOMPARE(w.grid.verticalHeader()->sectionSize(2), 33);
    QHeaderView *titles = w.grid.horizontalHeader();
    QCOMPARE(titles->height(), QFontMetrics(titles->font()).height() + 4);
}

// The third record row's border dragged in the indicator column to make it 30 pixels
// high: with row sizing allowed every record row follows; without, nothing moves.
void TestWDBGridDrawing::draggedRowHeightForEveryRow_data()
{
    QTest::addColumn<bool>("allowed");
    QTest::newRow("allowed") << true;
    QTest::newRow("not allowed") << false;
}

void TestWDBGridDrawing::draggedRowHeightForEveryRow()
{
    QFETCH(bool, allowed);
    SqliteTable t(kPeople, "Select * From people");
    Window w;
    w.grid.setDataSet(&t.ds);
    w.grid.setDefaultRowHeight(20);
    w.grid.setRowSizingAllowed(allowed);
    QCOMPARE(w.grid.RowSizingAllowed(), allowed);
    QVERIFY(w.show());
    QHeaderView *rows = w.grid.verticalHeader();
    QWidget *area = rows->viewport();
    const QPoint border(rows->width() / 2, rows->sectionViewportPosition(2) + rows->sectionSize(2) - 1);
    QTest::mousePress(area, Qt::LeftButton, Qt::NoModifier, border);
    QTest::mouseMove(area, border + QPoint(0, 5));
    QTest::mouseMove(area, border + QPoint(0, 10));
    QTest::mouseRelease(area, Qt::LeftButton, Qt::NoModifier, border + QPoint(0, 10));
    const int expected = allowed ? 30 : 20;
    QCOMPARE(w.grid.DefaultRowHeight(), expected);
    QCOMPARE(w.grid.SavedRowHeight(), expected);
    for (int row = 0; row < 4; ++row)
        QCOMPARE(rows->sectionSize(row), expected);
}

namespace {

// The grid with every column-click event logged.
struct TitleGrid {
    SqliteTable t{kPeople, "Select * From people"};
    Window w;
    QList<Click> clicks;
    TitleGrid()
    {
        w.grid.setDataSet(&t.ds);
        w.grid.OnColumnClick = [this](QObject *, int index, TMouseButton button, TShiftState shift, int x, int y) {
            clicks << Click{QStringLiteral("Click"), index, int(button), shift, QPoint(x, y)};
        };
        auto simple = [this](const char *name) {
            return [this, name](QObject *, int index, TShiftState shift, int x, int y) {
                clicks << Click{QString::fromLatin1(name), index, -1, shift, QPoint(x, y)};
            };
        };
        w.grid.OnColumnLeftClick = simple("Left");
        w.grid.OnColumnRightClick = simple("Right");
        w.grid.OnColumnMiddleClick = simple("Middle");
    }
    QStringList names() const
    {
        QStringList out;
        for (const Click &c : clicks)
            out << c.event;
        return out;
    }
};

} // namespace

// Clicks at title positions: column -1 is the indicator's title cell (the corner).
void TestWDBGridDrawing::titleClicks_data()
{
    QTest::addColumn<TdbeNativeClick>("native");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("mods");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<int>("eventButton");
    QTest::addColumn<TShiftState>("shift");
    const int left = Qt::LeftButton, right = Qt::RightButton, middle = Qt::MiddleButton;
    const int none = Qt::NoModifier, shift = Qt::ShiftModifier, ctrl = Qt::ControlModifier, alt = Qt::AltModifier;
    const QStringList leftClick{"Click", "Left"};
    QTest::newRow("ctrl native, ctrl+click") << TdbeNativeClick(ncssCtrl) << 1 << left << ctrl << QStringList()
                                              << 0 << TShiftState(0);
    QTest::newRow("ctrl native, plain click") << TdbeNativeClick(ncssCtrl) << 1 << left << none << leftClick
                                               << int(mbLeft) << TShiftState(ssLeft);
    QTest::newRow("default, plain click") << TdbeNativeClick(0) << 1 << left << none << QStringList() << 0
                                          << TShiftState(0);
    QTest::newRow("default, shift+click first column") << TdbeNativeClick(0) << 0 << left << shift << leftClick
                                                       << int(mbLeft) << TShiftState(ssShift | ssLeft);
    QTest::newRow("default, shift+click indicator") << TdbeNativeClick(0) << -1 << left << shift << leftClick
                                                    << int(mbLeft) << TShiftState(ssShift | ssLeft);
    QTest::newRow("default, alt+right") << TdbeNativeClick(0) << 2 << right << alt << QStringList{"Click", "Right"}
                                        << int(mbRight) << TShiftState(ssAlt | ssRight);
    QTest::newRow("default, alt+middle") << TdbeNativeClick(0) << 2 << middle << alt
                                         << QStringList{"Click", "Middle"} << int(mbMiddle)
                                         << TShiftState(ssAlt | ssMiddle);
    QTest::newRow("default, plain right") << TdbeNativeClick(0) << 2 << right << none << QStringList() << 0
                                          << TShiftState(0);
    QTest::newRow("shift+alt native, shift+alt") << TdbeNativeClick(ncssShift | ncssAlt) << 1 << left
                                                 << (shift | alt) << QStringList() << 0 << TShiftState(0);
    QTest::newRow("shift+alt native, shift") << TdbeNativeClick(ncssShift | ncssAlt) << 1 << left << shift
                                             << leftClick << int(mbLeft) << TShiftState(ssShift | ssLeft);
}

void TestWDBGridDrawing::titleClicks()
{
    QFETCH(TdbeNativeClick, native);
    QFETCH(int, column);
    QFETCH(int, button);
    QFETCH(int, mods);
    QFETCH(QStringList, events);
    QFETCH(int, eventButton);
    QFETCH(TShiftState, shift);
    testsupport::ScriptedUiScope ui;
    TitleGrid g;
    g.w.grid.setNativeClick(native);
    QVERIFY(g.w.show());
    QWidget *target = nullptr;
    QPoint at;
    if (column < 0) {
        auto *corner = g.w.grid.findChild<QAbstractButton *>();
        QVERIFY(corner && corner->isVisible());
        target = corner;
        at = corner->rect().center();
    } else {
        target = g.w.grid.horizontalHeader()->viewport();
        at = drive::sectionCentre(g.w.grid.horizontalHeader(), column);
    }
    QTest::mouseClick(target, Qt::MouseButton(button), Qt::KeyboardModifiers(mods), at);
    QCOMPARE(g.names(), events);
    for (const Click &c : g.clicks) {
        QCOMPARE(c.index, column);
        QCOMPARE(c.shift, shift);
        QCOMPARE(c.at, target->mapTo(&g.w.grid, at));
    }
    if (!events.isEmpty())
        QCOMPARE(g.clicks.first().button, eventButton);
    QVERIFY(ui.messages().isEmpty());
}

// A tracked press ends when the pointer leaves its title: released over another title,
// or brought back to its own before the release, or released on a data row below it
// after leaving the title row, nothing is raised.
void TestWDBGridDrawing::titlePressDraggedAway_data()
{
    QTest::addColumn<QList<int>>("moves"); // columns the pointer passes, -2 for a data row
    QTest::addColumn<QStringList>("events");
    QTest::newRow("released on another title") << QList<int>{2} << QStringList();
    QTest::newRow("back to its own title") << QList<int>{2, 1} << QStringList();
    QTest::newRow("down to a data row") << QList<int>{-2} << QStringList();
    QTest::newRow("moved within its title") << QList<int>{1} << QStringList{"Click", "Left"};
}

void TestWDBGridDrawing::titlePressDraggedAway()
{
    QFETCH(QList<int>, moves);
    QFETCH(QStringList, events);
    TitleGrid g;
    QVERIFY(g.w.show());
    QHeaderView *titles = g.w.grid.horizontalHeader();
    QWidget *area = titles->viewport();
    auto pointAt = [&](int column) {
        if (column == -2) // the data row under column 1, in the header's coordinates
            return area->mapFrom(&g.w.grid, g.w.grid.viewport()->mapTo(&g.w.grid, drive::cellCentre(&g.w.grid, 1, 1)));
        return drive::sectionCentre(titles, column) + QPoint(column == 1 ? 3 : 0, 0);
    };
    QTest::mousePress(area, Qt::LeftButton, Qt::ShiftModifier, drive::sectionCentre(titles, 1));
    for (int column : moves)
        QTest::mouseMove(area, pointAt(column));
    QTest::mouseRelease(area, Qt::LeftButton, Qt::ShiftModifier, pointAt(moves.last()));
    QCOMPARE(g.names(), events);
}

// A press the grid leaves to the platform grid (modifiers equal to NativeClick) may size
// a column by its title border; a tracked one does not.
void TestWDBGridDrawing::nativeClickLeavesTitleToGrid()
{
    TitleGrid g;
    g.w.grid.setNativeClick(ncssCtrl);
    QVERIFY(g.w.show());
    QHeaderView *titles = g.w.grid.horizontalHeader();
    QWidget *area = titles->viewport();
    const int width = titles->sectionSize(1);
    auto dragBorder = [&](Qt::KeyboardModifiers mods) {
        const QPoint border(titles->sectionViewportPosition(1) + titles->sectionSize(1) - 1, titles->height() / 2);
        QTest::mousePress(area, Qt::LeftButton, mods, border);
        QTest::mouseMove(area, border + QPoint(10, 0));
        QTest::mouseMove(area, border + QPoint(20, 0));
        QTest::mouseRelease(area, Qt::LeftButton, mods, border + QPoint(20, 0));
    };
    dragBorder(Qt::NoModifier);
    QCOMPARE(titles->sectionSize(1), width);
    dragBorder(Qt::ControlModifier);
    QCOMPARE(titles->sectionSize(1), width + 20);
    QVERIFY(g.clicks.isEmpty());
}

QTEST_MAIN(TestWDBGridDrawing)
#include "tst_wdbgrid_drawing.moc"
