// Prints what a picture cell costs the data grid: the first paint of a grid whose picture
// field holds one large PNG (decoding it), then repaints of the same screen (which should
// draw the kept, scaled picture), and a repaint after the column was made wider (one
// decode again).
// Usage: bench_pictures [side in pixels, default 5000] [repaints, default 20]
#include "components/wDBGrid.h"
#include "data/core/ColumnInfo.h"
#include "data/core/ColumnStore.h"
#include "data/core/Dataset.h"
#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QImage>
#include <QWindow>
#include <cstdio>

namespace {

double ms(const QElapsedTimer &t)
{
    return t.nsecsElapsed() / 1e6;
}

QByteArray bigPng(int side)
{
    QImage image(side, side, QImage::Format_RGB32);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            image.setPixel(x, y, qRgb(x % 256, y % 256, (x ^ y) % 256));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

void openPicture(data::Dataset &ds, const QByteArray &png)
{
    std::vector<data::ColumnInfo> columns(2);
    columns[0].name = QStringLiteral("id");
    columns[0].type = data::ftInteger;
    columns[1].name = QStringLiteral("photo");
    columns[1].type = data::ftGraphic;
    columns[1].isLong = true;
    data::RowStore rows;
    rows.columns.emplace_back(data::StorageKind::Int);
    rows.columns.emplace_back(data::StorageKind::Bytes);
    rows.columns[0].appendInt(1);
    rows.columns[1].appendText(std::string_view(png.constData(), size_t(png.size())));
    ds.OpenResult(std::move(columns), std::move(rows));
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int side = argc > 1 ? std::atoi(argv[1]) : 5000;
    const int repaints = argc > 2 ? std::atoi(argv[2]) : 20;
    std::printf("PNG %d x %d ... ", side, side);
    std::fflush(stdout);
    const QByteArray png = bigPng(side);
    std::printf("%.1f MB\n", png.size() / 1e6);

    data::Dataset ds;
    openPicture(ds, png);
    components::TwDBGrid grid;
    grid.resize(600, 300);
    grid.setDataSet(&ds);
    grid.setDefaultRowHeight(60);
    grid.horizontalHeader()->resizeSection(1, 120);
    QElapsedTimer t;
    t.start();
    grid.show();
    // Painting reaches the cells only once the window is exposed.
    while (!grid.windowHandle() || !grid.windowHandle()->isExposed())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);

    grid.viewport()->repaint();
    std::printf("show and first paint (decode): %9.1f ms\n", ms(t));
    t.restart();
    for (int i = 0; i < repaints; ++i)
        grid.viewport()->repaint();
    std::printf("repaint, same size (each):     %9.3f ms\n", ms(t) / repaints);
    grid.horizontalHeader()->resizeSection(1, 160);
    t.restart();
    grid.viewport()->repaint();
    std::printf("repaint after a resize:        %9.1f ms\n", ms(t));
    return 0;
}
