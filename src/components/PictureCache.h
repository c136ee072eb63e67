#pragma once
// The pictures of a grid's picture cells, decoded once and kept scaled to the rectangle
// they are drawn in, so that repainting a cell (scrolling, selecting, a window passing
// over it) does not decode its data again. Entries are per visible row, field and cell
// size; whoever shows the rows clears the cache when they change.
#include "wDBGrid.h"
#include <QCache>
#include <QImage>
#include <QRect>
#include <functional>

namespace components {

struct CachedPicture {
    bool drawable = true; // false: there is data, but no image reader can show it
    QRect target;         // where the picture goes, relative to the cell's top-left corner
    QImage scaled;        // the picture at the target's size; null when nothing is drawn
};

class PictureCache {
public:
    // The picture of a cell, decoding `bytes()` only when the cell is not cached at this
    // size and mode. No data is an empty (0 x 0) picture, which draws nothing.
    const CachedPicture &picture(int row, int field, QSize cell, TgedmGraphic mode,
                                 const std::function<QByteArray()> &bytes);
    void clear() { cache_.clear(); }
    // How many times data was decoded (the cache's own measure, for tests and benchmarks).
    int decodes() const { return decodes_; }

    struct Key {
        int row;
        int field;
        QSize cell;
        TgedmGraphic mode;
        bool operator==(const Key &) const = default;
    };

private:
    QCache<Key, CachedPicture> cache_{64 * 1024 * 1024}; // bytes of scaled pictures
    CachedPicture last_; // one picture too large to keep
    int decodes_ = 0;
};

size_t qHash(const PictureCache::Key &key, size_t seed = 0);

} // namespace components
