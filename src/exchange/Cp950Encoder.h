#pragma once
// Code page 950 for files written in bulk: a table of every UTF-16 unit's bytes, built
// once from the C library's converter, so a million values cost no converter call each.
// Characters code page 950 lacks (and any character outside the BMP) become "?".
#include <QStringView>
#include <array>
#include <cstdint>
#include <string>

namespace exchange {

class Cp950Encoder {
public:
    static const Cp950Encoder &instance();

    // Appends the text's bytes; returns false when some character was written as "?".
    bool append(QStringView text, std::string &out) const;
    // Same for UTF-8 input (how the data layer keeps text).
    bool appendUtf8(std::string_view utf8, std::string &out) const;

private:
    Cp950Encoder();
    bool appendUnit(char16_t unit, std::string &out) const;

    // 0xFFFF: no form; below 0x100: one byte; otherwise lead byte << 8 | trail byte.
    std::array<uint16_t, 65536> bytesOf_{};
};

} // namespace exchange
