#include "app/PasswordScrambler.h"

#include <array>
#include <cstdint>

#include "common/Bytes.h"

namespace corvina {

namespace {

constexpr std::array<std::uint8_t, 16> kKey = {0x5A, 0xC3, 0x17, 0x8E, 0x2B, 0xF4, 0x61, 0x9D,
                                               0x3C, 0xA7, 0x48, 0xE2, 0x05, 0xB9, 0x76, 0xD1};
constexpr char kMarker = '~';
constexpr char kHexDigits[] = "0123456789ABCDEF";

std::uint8_t Mask(std::size_t i) {
    return static_cast<std::uint8_t>(kKey[i % kKey.size()] ^ static_cast<std::uint8_t>(i * 37));
}

}  // namespace

std::string ScramblePassword(std::string_view plain) {
    if (plain.empty())
        return {};
    std::string out;
    out.reserve(1 + plain.size() * 2);
    out.push_back(kMarker);
    for (std::size_t i = 0; i < plain.size(); ++i) {
        auto b = static_cast<std::uint8_t>(static_cast<std::uint8_t>(plain[i]) ^ Mask(i));
        out.push_back(kHexDigits[b >> 4]);
        out.push_back(kHexDigits[b & 0x0F]);
    }
    return out;
}

std::string UnscramblePassword(std::string_view stored) {
    if (stored.size() < 3 || stored.front() != kMarker || (stored.size() - 1) % 2 != 0) {
        return std::string(stored);
    }
    std::string out;
    out.reserve((stored.size() - 1) / 2);
    for (std::size_t pos = 1, i = 0; pos < stored.size(); pos += 2, ++i) {
        int hi = HexDigitValue(stored[pos]);
        int lo = HexDigitValue(stored[pos + 1]);
        if (hi < 0 || lo < 0)
            return std::string(stored);
        out.push_back(static_cast<char>(static_cast<std::uint8_t>((hi << 4) | lo) ^ Mask(i)));
    }
    return out;
}

}  // namespace corvina
