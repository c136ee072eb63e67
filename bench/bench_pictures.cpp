// Prints what a picture cell costs the data grid: the first paint of a grid whose picture
// field holds one large PNG (decoding it), then repaints of the same screen (which should
// draw the kept, scaled picture), and a repaint after the column was made wider (one
// decode again); in rounds, each with a new grid.
// Usage: bench_pictures [side in pixels, default 5000] [repaints, default 20] [rounds, default 5]
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
#include <algorithm>
#include <cstdio>
#include <vector>
#include "BenchRounds.h"

namespace {

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

struct PictureRound {
    double firstMs = 0, repaintMs = 0, resizedMs = 0;
};

// A new grid over the picture (its cache starts empty): the first paint, repaints of the
// same screen, and a repaint after the picture column was made wider.
PictureRound pictureRound(const QByteArray &png, int repaints)
{
    data::Dataset ds;
    openPicture(ds, png);
    components::TwDBGrid grid;
    grid.resize(600, 300);
    grid.setDataSet(&ds);
    grid.setDefaultRowHeight(60);
    grid.horizontalHeader()->resizeSection(1, 120);
    PictureRound r;
    r.firstMs = bench::timeMs([&] {
        grid.show();
        // Painting reaches the cells only once the window is exposed.
        while (!grid.windowHandle() || !grid.windowHandle()->isExposed())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        grid.viewport()->repaint();
    });
    r.repaintMs = bench::timeMs([&] {
                      for (int i = 0; i < repaints; ++i)
                          grid.viewport()->repaint();
                  }) /
                  repaints;
    grid.horizontalHeader()->resizeSection(1, 160);
    r.resizedMs = bench::timeMs([&] { grid.viewport()->repaint(); });
    return r;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int side = argc > 1 ? std::atoi(argv[1]) : 5000;
    const int repaints = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
    const int rounds = bench::roundsArgument(argc, argv, 3, 5);
    std::printf("PNG %d x %d ... ", side, side);
    std::fflush(stdout);
    const QByteArray png = bigPng(side);
    std::printf("%.1f MB\n", png.size() / 1e6);

    std::vector<double> firstMs, repaintMs, resizedMs;
    for (int round = 0; round < rounds; ++round) {
        const PictureRound r = pictureRound(png, repaints);
        firstMs.push_back(r.firstMs);
        repaintMs.push_back(r.repaintMs);
        resizedMs.push_back(r.resizedMs);
    }
    std::printf("%d rounds, each a new grid:\n", rounds);
    bench::printFigure("show and first paint (decode)", bench::spreadOf(firstMs), "ms");
    bench::printFigure("repaint, same size (each)", bench::spreadOf(repaintMs), "ms");
    bench::printFigure("repaint after a resize (one decode)", bench::spreadOf(resizedMs), "ms");
    return 0;
}
