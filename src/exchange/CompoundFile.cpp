#include "CompoundFile.h"
#include "ExportError.h"
#include "platform/SaveFile.h"
#include <QSaveFile>
#include <cerrno>
#include <algorithm>
#include <cstdint>
#include <vector>

namespace exchange {

namespace {

constexpr uint32_t kSectorSize = 512;
constexpr uint32_t kMiniStreamCutoff = 4096;
constexpr uint32_t kFatEntriesPerSector = kSectorSize / 4;
constexpr uint32_t kHeaderFatSlots = 109;
constexpr uint32_t kDifatEntriesPerSector = kFatEntriesPerSector - 1; // the last points on
constexpr uint32_t kDifSect = 0xFFFFFFFC;
constexpr uint32_t kFatSect = 0xFFFFFFFD;
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kFreeSect = 0xFFFFFFFF;
constexpr uint32_t kNoStream = 0xFFFFFFFF;

void put16(std::string &out, size_t at, uint16_t v)
{
    out[at] = char(v & 0xFF);
    out[at + 1] = char(v >> 8);
}

void put32(std::string &out, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out[at + size_t(i)] = char((v >> (8 * i)) & 0xFF);
}

struct Layout {
    uint32_t streamSectors = 0;
    uint32_t directorySector = 0;
    uint32_t fatSectors = 0;
    uint32_t difatSectors = 0;
    uint32_t firstFat() const { return directorySector + 1; }
    uint32_t firstDifat() const { return firstFat() + fatSectors; }
    uint32_t total() const { return firstDifat() + difatSectors; }
};

// The FAT and DIFAT sectors take entries of the FAT themselves: grow until it fits.
Layout layoutFor(uint32_t streamSectors)
{
    Layout l;
    l.streamSectors = streamSectors;
    l.directorySector = streamSectors;
    l.fatSectors = 1;
    for (;;) {
        l.difatSectors = l.fatSectors <= kHeaderFatSlots
                             ? 0
                             : (l.fatSectors - kHeaderFatSlots + kDifatEntriesPerSector - 1) / kDifatEntriesPerSector;
        if (l.fatSectors * kFatEntriesPerSector >= l.total())
            return l;
        ++l.fatSectors;
    }
}

std::string directorySector(const QString &streamName, uint32_t streamSize)
{
    std::string dir(kSectorSize, '\0');
    auto entry = [&](size_t index, const QString &name, uint8_t type, uint32_t child, uint32_t start,
                     uint32_t size) {
        const size_t at = index * 128;
        for (qsizetype i = 0; i < name.size() && i < 31; ++i)
            put16(dir, at + size_t(i) * 2, name[i].unicode());
        put16(dir, at + 0x40, uint16_t((std::min<qsizetype>(name.size(), 31) + 1) * 2));
        dir[at + 0x42] = char(type);
        dir[at + 0x43] = 1; // black: a one-stream tree is trivially balanced
        put32(dir, at + 0x44, kNoStream);
        put32(dir, at + 0x48, kNoStream);
        put32(dir, at + 0x4C, child);
        put32(dir, at + 0x74, start);
        put32(dir, at + 0x78, size);
    };
    entry(0, QStringLiteral("Root Entry"), 5, 1, kEndOfChain, 0);
    entry(1, streamName, 2, kNoStream, 0, streamSize);
    for (size_t unused = 2; unused < 4; ++unused)
        for (size_t field : {0x44u, 0x48u, 0x4Cu})
            put32(dir, unused * 128 + field, kNoStream);
    return dir;
}

std::string fatSectors(const Layout &l)
{
    std::string fat(size_t(l.fatSectors) * kSectorSize, char(0xFF));
    for (uint32_t s = 0; s < l.streamSectors; ++s)
        put32(fat, s * 4, s + 1 < l.streamSectors ? s + 1 : kEndOfChain);
    put32(fat, l.directorySector * 4, kEndOfChain);
    for (uint32_t i = 0; i < l.fatSectors; ++i)
        put32(fat, (l.firstFat() + i) * 4, kFatSect);
    for (uint32_t i = 0; i < l.difatSectors; ++i)
        put32(fat, (l.firstDifat() + i) * 4, kDifSect);
    return fat;
}

std::string difatSectors(const Layout &l)
{
    std::string difat(size_t(l.difatSectors) * kSectorSize, char(0xFF));
    uint32_t fat = kHeaderFatSlots;
    for (uint32_t d = 0; d < l.difatSectors; ++d) {
        const size_t base = size_t(d) * kSectorSize;
        for (uint32_t slot = 0; slot < kDifatEntriesPerSector && fat < l.fatSectors; ++slot, ++fat)
            put32(difat, base + slot * 4, l.firstFat() + fat);
        put32(difat, base + kDifatEntriesPerSector * 4,
              d + 1 < l.difatSectors ? l.firstDifat() + d + 1 : kEndOfChain);
    }
    return difat;
}

std::string header(const Layout &l)
{
    std::string h(kSectorSize, '\0');
    const unsigned char signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    for (size_t i = 0; i < 8; ++i)
        h[i] = char(signature[i]);
    put16(h, 0x18, 0x003E);
    put16(h, 0x1A, 0x0003);
    put16(h, 0x1C, 0xFFFE);
    put16(h, 0x1E, 9); // 512-byte sectors
    put16(h, 0x20, 6); // 64-byte mini sectors
    put32(h, 0x2C, l.fatSectors);
    put32(h, 0x30, l.directorySector);
    put32(h, 0x38, kMiniStreamCutoff);
    put32(h, 0x3C, kEndOfChain);
    put32(h, 0x44, l.difatSectors ? l.firstDifat() : kEndOfChain);
    put32(h, 0x48, l.difatSectors);
    for (uint32_t i = 0; i < kHeaderFatSlots; ++i)
        put32(h, 0x4C + i * 4, i < l.fatSectors ? l.firstFat() + i : kFreeSect);
    return h;
}

} // namespace

void writeCompoundFile(const QString &path, const QString &streamName, std::string stream)
{
    if (stream.size() < kMiniStreamCutoff)
        stream.resize(kMiniStreamCutoff, '\0');
    const uint32_t streamSize = uint32_t(stream.size());
    const uint32_t streamSectors = (streamSize + kSectorSize - 1) / kSectorSize;
    stream.resize(size_t(streamSectors) * kSectorSize, '\0');
    const Layout l = layoutFor(streamSectors);

    QSaveFile file(path);
    auto fail = [&file] {
        const QString reason = platform::saveFailureReason(file, errno);
        file.cancelWriting();
        throw ExportError(QStringLiteral("無法寫入檔案 %1：%2").arg(file.fileName(), reason));
    };
    if (!platform::openForSave(file))
        fail();
    auto write = [&](const std::string &part) {
        if (!platform::writeAll(file, part.data(), qint64(part.size())))
            fail();
    };
    write(header(l));
    write(stream);
    write(directorySector(streamName, streamSize));
    write(fatSectors(l));
    write(difatSectors(l));
    errno = 0;
    if (!file.commit())
        fail();
}

} // namespace exchange
