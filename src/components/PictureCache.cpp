#include "PictureCache.h"
#include "PictureFit.h"
#include <QHash>
#include <algorithm>

namespace components {

namespace {

CachedPicture decode(const QByteArray &bytes, QSize cell, TgedmGraphic mode)
{
    CachedPicture out;
    QImage picture;
    if (!bytes.isEmpty() && !picture.loadFromData(bytes)) {
        out.drawable = false; // corrupt, or beyond the readers' size limit
        return out;
    }
    const QRect cellRect(QPoint(0, 0), cell);
    out.target = mode == gedgAdjust ? adjustedPictureRect(cellRect, picture.width(), picture.height())
                                    : stretchedPictureRect(cellRect);
    if (!picture.isNull() && !out.target.isEmpty())
        out.scaled = picture.scaled(out.target.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return out;
}

} // namespace

const CachedPicture &PictureCache::picture(int row, int field, QSize cell, TgedmGraphic mode,
                                           const std::function<QByteArray()> &bytes)
{
    const Key key{row, field, cell, mode};
    if (const CachedPicture *kept = cache_.object(key))
        return *kept;
    ++decodes_;
    auto *made = new CachedPicture(decode(bytes(), cell, mode));
    const qsizetype cost = std::max<qsizetype>(1, made->scaled.sizeInBytes());
    const CachedPicture copy = *made;
    if (cache_.insert(key, made, cost))
        return *cache_.object(key);
    // Larger than the whole cache: kept alone until the next call.
    last_ = copy;
    return last_;
}

size_t qHash(const PictureCache::Key &key, size_t seed)
{
    return qHashMulti(seed, key.row, key.field, key.cell.width(), key.cell.height(), int(key.mode));
}

} // namespace components
