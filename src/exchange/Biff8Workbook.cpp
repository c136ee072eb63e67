#include "Biff8Workbook.h"
#include "CompoundFile.h"
#include "Worksheet.h"
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <string_view>

namespace exchange {

namespace {

constexpr size_t kMaxRecordData = 8224;

enum Record : uint16_t {
    rBof = 0x0809, rEof = 0x000A, rInterfaceHdr = 0x00E1, rMms = 0x00C1, rInterfaceEnd = 0x00E2,
    rWriteAccess = 0x005C, rCodePage = 0x0042, rDsf = 0x0161, rTabId = 0x013D, rFnGroupCount = 0x009C,
    rWindowProtect = 0x0019, rProtect = 0x0012, rPassword = 0x0013, rProt4Rev = 0x01AF,
    rProt4RevPass = 0x01BC, rWindow1 = 0x003D, rBackup = 0x0040, rHideObj = 0x008D, rDateMode = 0x0022,
    rPrecision = 0x000E, rRefreshAll = 0x01B7, rBookBool = 0x00DA, rFont = 0x0031, rFormat = 0x041E,
    rXf = 0x00E0, rStyle = 0x0293, rBoundSheet = 0x0085, rCountry = 0x008C, rSst = 0x00FC,
    rContinue = 0x003C, rExtSst = 0x00FF, rWsBool = 0x0081, rDefColWidth = 0x0055, rColInfo = 0x007D,
    rDimensions = 0x0200, rLabelSst = 0x00FD, rNumber = 0x0203, rBoolErr = 0x0205, rWindow2 = 0x023E,
};

// Cell formats after the 21 built-in ones, in the order of Worksheet::Format.
constexpr uint16_t kGeneralXf = 15;
constexpr uint16_t kFirstOwnXf = 21;
struct OwnFormat {
    uint16_t id;        // number format: 49 is the built-in "@"
    const char *custom; // text of a custom number format, nullptr for built-in
};
constexpr OwnFormat kOwnFormats[] = {
    {49, nullptr},                     // Text
    {164, "yyyy/mm/dd"},               // Date
    {165, "yyyy/mm/dd hh:mm:ss"},      // DateTime
    {166, "yyyy/mm/dd hh:mm"},         // DateTimeMinutes
    {167, "hh:mm:ss"},                 // Time
};

uint16_t xfOf(Worksheet::Format format)
{
    return format == Worksheet::Format::General ? kGeneralXf
                                                : uint16_t(kFirstOwnXf + int(format) - int(Worksheet::Format::Text));
}

class Stream {
public:
    std::string bytes;

    void u8(uint8_t v) { bytes.push_back(char(v)); }
    void u16(uint16_t v) { u8(uint8_t(v)); u8(uint8_t(v >> 8)); }
    void u32(uint32_t v) { u16(uint16_t(v)); u16(uint16_t(v >> 16)); }
    void f64(double v) { const uint64_t b = std::bit_cast<uint64_t>(v); u32(uint32_t(b)); u32(uint32_t(b >> 32)); }
    void hex(std::string_view h)
    {
        for (size_t i = 0; i + 1 < h.size(); i += 3)
            u8(uint8_t(std::stoi(std::string(h.substr(i, 2)), nullptr, 16)));
    }
    void patch32(size_t at, uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            bytes[at + size_t(i)] = char((v >> (8 * i)) & 0xFF);
    }

    // A record is opened, filled and closed; its size is patched in on closing.
    size_t open(uint16_t type)
    {
        const size_t at = bytes.size();
        u16(type);
        u16(0);
        return at;
    }
    void close(size_t at)
    {
        const size_t size = bytes.size() - at - 4;
        bytes[at + 2] = char(size & 0xFF);
        bytes[at + 3] = char(size >> 8);
    }
    size_t dataIn(size_t at) const { return bytes.size() - at - 4; }
    void record(uint16_t type, std::string_view hexData = {})
    {
        const size_t at = open(type);
        hex(hexData);
        close(at);
    }
};

bool fitsOneByte(const QString &text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() <= 0xFF; });
}

void unicodeString16(Stream &s, const QString &text)
{
    const bool compressed = fitsOneByte(text);
    s.u16(uint16_t(text.size()));
    s.u8(compressed ? 0 : 1);
    for (QChar c : text)
        compressed ? s.u8(uint8_t(c.unicode())) : s.u16(c.unicode());
}

void globalsHead(Stream &s)
{
    s.record(rBof, "00 06 05 00 BB 0D CC 07 41 00 00 00 06 00 00 00");
    s.record(rInterfaceHdr, "B0 04");
    s.record(rMms, "00 00");
    s.record(rInterfaceEnd);
    const size_t at = s.open(rWriteAccess);
    unicodeString16(s, QStringLiteral("ADO Schema"));
    while (s.dataIn(at) < 112)
        s.u8(0x20);
    s.close(at);
    s.record(rCodePage, "B0 04"); // UTF-16
    s.record(rDsf, "00 00");
    s.record(rTabId, "01 00");
    s.record(rFnGroupCount, "0E 00");
    for (uint16_t r : {rWindowProtect, rProtect, rPassword, rProt4Rev, rProt4RevPass})
        s.record(r, "00 00");
    s.record(rWindow1, "00 00 00 00 BC 25 72 15 38 00 00 00 00 00 01 00 58 02");
    s.record(rBackup, "00 00");
    s.record(rHideObj, "00 00");
    s.record(rDateMode, "00 00"); // the 1900 date system
    s.record(rPrecision, "01 00");
    s.record(rRefreshAll, "00 00");
    s.record(rBookBool, "00 00");
}

void fontsFormatsStyles(Stream &s)
{
    // Five fonts: indices 0 to 3 and 5 (index 4 does not exist in BIFF).
    for (int i = 0; i < 5; ++i)
        s.record(rFont, "C8 00 00 00 FF 7F 90 01 00 00 00 00 00 00 05 00 41 72 69 61 6C");
    for (const OwnFormat &f : kOwnFormats) {
        if (!f.custom)
            continue;
        const size_t at = s.open(rFormat);
        s.u16(f.id);
        unicodeString16(s, QString::fromLatin1(f.custom));
        s.close(at);
    }
    const char *tail = " 00 00 00 00 00 00 00 00 C0 20";
    s.record(rXf, std::string("00 00 00 00 F5 FF 20 00 00 00") + tail); // Normal style
    for (int i = 1; i <= 14; ++i) {
        const char *font = (i <= 2) ? "01" : (i <= 4) ? "02" : "00";
        s.record(rXf, std::string(font) + " 00 00 00 F5 FF 20 00 00 F4" + tail);
    }
    s.record(rXf, std::string("00 00 00 00 01 00 20 00 00 00") + tail); // default cell format
    for (const char *builtInFormat : {"2B", "29", "2C", "2A", "09"})   // Comma ... Percent styles
        s.record(rXf, std::string("01 00 ") + builtInFormat + " 00 F5 FF 20 00 00 F8" + tail);
    for (const OwnFormat &f : kOwnFormats) {
        // A cell format on the Normal style whose own number format applies.
        const size_t at = s.open(rXf);
        s.u16(0);
        s.u16(f.id);
        s.hex("01 00 20 00 00 04 00 00 00 00 00 00 00 00 C0 20");
        s.close(at);
    }
    for (const char *style : {"10 80 03 FF", "11 80 06 FF", "12 80 04 FF", "13 80 07 FF", "00 80 00 FF",
                              "14 80 05 FF"})
        s.record(rStyle, style);
}

// The shared string table, split over CONTINUE records, and its index EXTSST.
void sharedStrings(Stream &s, const std::vector<QString> &strings, uint32_t references)
{
    const uint32_t unique = uint32_t(strings.size());
    const uint32_t perBucket = std::max<uint32_t>(unique / 128 + 1, 8);
    std::vector<std::pair<uint32_t, uint16_t>> buckets; // stream offset, offset in record
    size_t rec = s.open(rSst);
    s.u32(references);
    s.u32(unique);
    for (uint32_t i = 0; i < unique; ++i) {
        const QString &text = strings[i];
        const bool compressed = fitsOneByte(text);
        // Bytes of the character at c: a surrogate pair is never split between records.
        auto bytesAt = [&](qsizetype c) -> size_t {
            if (compressed)
                return 1;
            return text[c].isHighSurrogate() && c + 1 < text.size() ? 4 : 2;
        };
        // A string's header and its first character stay in one record.
        if (s.dataIn(rec) + 3 + (text.isEmpty() ? 0 : bytesAt(0)) > kMaxRecordData) {
            s.close(rec);
            rec = s.open(rContinue);
        }
        if (i % perBucket == 0)
            buckets.emplace_back(uint32_t(s.bytes.size()), uint16_t(s.bytes.size() - rec));
        s.u16(uint16_t(text.size()));
        s.u8(compressed ? 0 : 1);
        for (qsizetype c = 0; c < text.size(); ++c) {
            if (s.dataIn(rec) + bytesAt(c) > kMaxRecordData) {
                // The rest of the characters go on in a CONTINUE that repeats the width flag.
                s.close(rec);
                rec = s.open(rContinue);
                s.u8(compressed ? 0 : 1);
            }
            compressed ? s.u8(uint8_t(text[c].unicode())) : s.u16(text[c].unicode());
        }
    }
    s.close(rec);
    const size_t ext = s.open(rExtSst);
    s.u16(uint16_t(perBucket));
    for (const auto &[offset, inRecord] : buckets) {
        s.u32(offset);
        s.u16(inRecord);
        s.u16(0);
    }
    s.close(ext);
}

// Cells by row, then column; a cell put twice keeps its last value.
std::vector<Worksheet::Cell> orderedCells(const Worksheet &sheet)
{
    std::vector<Worksheet::Cell> cells = sheet.cells();
    std::stable_sort(cells.begin(), cells.end(), [](const auto &a, const auto &b) {
        return a.row != b.row ? a.row < b.row : a.column < b.column;
    });
    std::vector<Worksheet::Cell> unique;
    unique.reserve(cells.size());
    for (const auto &c : cells) {
        if (!unique.empty() && unique.back().row == c.row && unique.back().column == c.column)
            unique.back() = c;
        else
            unique.push_back(c);
    }
    return unique;
}

void columnInfos(Stream &s, const Worksheet &sheet)
{
    constexpr double kDefaultWidth = 2340.0 / 256; // the sheet's 8.43 characters
    const auto &settings = sheet.columnSettings();
    for (size_t c = 0; c < settings.size(); ++c) {
        const auto &setting = settings[c];
        if (!setting.text && setting.width < 0)
            continue;
        const double width = setting.width < 0 ? kDefaultWidth : setting.width;
        const size_t at = s.open(rColInfo);
        s.u16(uint16_t(c));
        s.u16(uint16_t(c));
        s.u16(uint16_t(std::lround(width * 256)));
        s.u16(setting.text ? xfOf(Worksheet::Format::Text) : kGeneralXf);
        s.u16(setting.width < 0 ? 0 : 0x0002); // width set by the program
        s.u16(0);
        s.close(at);
    }
}

void sheetStream(Stream &s, const Worksheet &sheet, const std::vector<Worksheet::Cell> &cells)
{
    s.record(rBof, "00 06 10 00 BB 0D CC 07 41 00 00 00 06 00 00 00");
    s.record(rWsBool, "C1 04");
    s.record(rDefColWidth, "08 00");
    columnInfos(s, sheet);
    const size_t dim = s.open(rDimensions);
    s.u32(0);
    s.u32(uint32_t(sheet.rowCount()));
    s.u16(0);
    s.u16(uint16_t(sheet.columnCount()));
    s.u16(0);
    s.close(dim);
    for (const auto &c : cells) {
        const size_t at = s.open(c.isText ? rLabelSst : c.isLogical ? rBoolErr : rNumber);
        s.u16(c.row);
        s.u16(c.column);
        s.u16(xfOf(c.format));
        if (c.isText) {
            s.u32(c.sst);
        } else if (c.isLogical) {
            s.u8(c.number != 0 ? 1 : 0); // the value
            s.u8(0);                     // a logical value, not an error code
        } else {
            s.f64(c.number);
        }
        s.close(at);
    }
    s.record(rWindow2, "B6 06 00 00 00 00 40 00 00 00 00 00 00 00 00 00 00 00");
    s.record(rEof);
}

} // namespace

std::string biff8WorkbookStream(const Worksheet &sheet)
{
    const std::vector<Worksheet::Cell> cells = orderedCells(sheet);
    const uint32_t references = uint32_t(std::count_if(cells.begin(), cells.end(), [](const auto &c) { return c.isText; }));
    Stream s;
    s.bytes.reserve(cells.size() * 14 + sheet.strings().size() * 16 + 8192);
    globalsHead(s);
    fontsFormatsStyles(s);
    const size_t bound = s.open(rBoundSheet);
    const size_t sheetOffsetAt = s.bytes.size();
    s.hex("00 00 00 00 00 00 06 00 53 68 65 65 74 31"); // visible worksheet "Sheet1"
    s.close(bound);
    s.record(rCountry, "01 00 01 00");
    sharedStrings(s, sheet.strings(), references);
    s.record(rEof);
    s.patch32(sheetOffsetAt, uint32_t(s.bytes.size()));
    sheetStream(s, sheet, cells);
    return std::move(s.bytes);
}

void writeBiff8Workbook(const QString &path, const Worksheet &sheet)
{
    writeCompoundFile(path, QStringLiteral("Workbook"), biff8WorkbookStream(sheet));
}

} // namespace exchange
