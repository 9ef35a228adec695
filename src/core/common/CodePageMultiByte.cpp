// Table decoders for the multi-byte charsets Japanese mail comes in
// (Shift_JIS, EUC-JP), into UTF-8 without iconv on the way. The tables are
// read from iconv itself, byte sequence by byte sequence, so the text is the
// same as iconv's, "?" for each byte iconv refuses included.

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>

#include "common/CodePageTables.h"
#include "common/Utf8.h"

namespace corvina {

namespace {

// What one byte sequence is to iconv: a character, a refused sequence, or
// the start of a longer one.
constexpr char32_t kRefused = 0xFFFFFFFF;
constexpr char32_t kLonger = 0xFFFFFFFE;

char32_t Probe(iconv_t cd, const unsigned char* bytes, std::size_t length) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* in = reinterpret_cast<char*>(const_cast<unsigned char*>(bytes));
    std::size_t inLeft = length;
    unsigned char buf[16];
    char* out = reinterpret_cast<char*>(buf);
    std::size_t outLeft = sizeof buf;
    const std::size_t rc = iconv(cd, &in, &inLeft, &out, &outLeft);
    if (rc == static_cast<std::size_t>(-1)) {
        return errno == EINVAL ? kLonger : kRefused;
    }
    if (inLeft != 0 || sizeof buf - outLeft != 4) {
        return kRefused;
    }
    return char32_t(buf[0]) | (char32_t(buf[1]) << 8) | (char32_t(buf[2]) << 16) |
           (char32_t(buf[3]) << 24);
}

// What a byte sequence gives, packed: the UTF-8 bytes in the low three
// bytes and their count in the top one; a count of 0 marks a refused
// sequence (kRefusedEntry) or the start of a longer one (kLongerEntry).
constexpr std::uint32_t kRefusedEntry = 0;
constexpr std::uint32_t kLongerEntry = 1;

// false for characters beyond the Basic Multilingual Plane, which take four
// bytes and do not fit an entry.
bool Pack(char32_t cp, std::uint32_t& entry) {
    if (cp == kRefused) {
        entry = kRefusedEntry;
    } else if (cp == kLonger) {
        entry = kLongerEntry;
    } else if (cp < 0x80) {
        entry = (1u << 24) | cp;
    } else if (cp < 0x800) {
        entry = (2u << 24) | (0xC0 | (cp >> 6)) | ((0x80 | (cp & 0x3F)) << 8);
    } else if (cp < 0x10000) {
        entry = (3u << 24) | (0xE0 | (cp >> 12)) | ((0x80 | ((cp >> 6) & 0x3F)) << 8) |
                ((0x80 | (cp & 0x3F)) << 16);
    } else {
        return false;
    }
    return true;
}

}  // namespace

// Byte sequences of up to three bytes. first[b] is the entry of b alone; a
// b that starts a longer sequence has a block in `second`, and a two-byte
// start one of 256 entries in `third`.
struct MultiByteDecoder::Tables {
    std::uint32_t first[256];
    bool asciiSame = true;                 // 0x00-0x7F are themselves
    int growth = 2;                        // most UTF-8 bytes one input byte can become
    unsigned short secondBlock[256] = {};  // 1 + block index, 0 for none
    // Blocks hold only the second bytes from trailMin up to trailMin +
    // width - 1 (the rest are refused), which keeps the table small.
    unsigned trailMin = 0;
    unsigned width = 256;
    std::unique_ptr<std::uint32_t[]> second;
    std::unique_ptr<unsigned short[]> thirdBlock;  // per second-level entry
    std::unique_ptr<std::uint32_t[]> third;
};

MultiByteDecoder::MultiByteDecoder(const char* iconvName) : tables_(new Tables) {
    iconv_t cd = iconv_open("UTF-32LE", iconvName);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        tables_.reset();
        return;
    }
    Tables& t = *tables_;
    bool packed = true;
    int blocks = 0;
    for (int b = 0; b < 256; ++b) {
        const unsigned char byte = static_cast<unsigned char>(b);
        const char32_t cp = Probe(cd, &byte, 1);
        packed = Pack(cp, t.first[b]) && packed;
        blocks += cp == kLonger ? 1 : 0;
        if (b < 0x80 && cp != static_cast<char32_t>(b)) {
            t.asciiSame = false;
        }
        if (cp < kLonger) {
            t.growth = std::max(t.growth, static_cast<int>(t.first[b] >> 24));
        }
    }
    t.second = std::make_unique<std::uint32_t[]>(static_cast<std::size_t>(blocks) * 256);
    t.thirdBlock = std::make_unique<unsigned short[]>(static_cast<std::size_t>(blocks) * 256);
    int block = 0;
    int thirdBlocks = 0;
    for (int b = 0; b < 256; ++b) {
        if (t.first[b] != kLongerEntry) {
            continue;
        }
        t.secondBlock[b] = static_cast<unsigned short>(++block);
        for (int c = 0; c < 256; ++c) {
            const unsigned char pair[2] = {static_cast<unsigned char>(b),
                                           static_cast<unsigned char>(c)};
            const char32_t cp = Probe(cd, pair, 2);
            packed = Pack(cp, t.second[(block - 1) * 256 + c]) && packed;
            thirdBlocks += cp == kLonger ? 1 : 0;
        }
    }
    t.third = std::make_unique<std::uint32_t[]>(static_cast<std::size_t>(thirdBlocks) * 256);
    int next = 0;
    for (int b = 0; b < 256; ++b) {
        if (t.secondBlock[b] == 0) {
            continue;
        }
        for (int c = 0; c < 256; ++c) {
            const std::size_t at = (t.secondBlock[b] - 1u) * 256u + static_cast<unsigned>(c);
            if (t.second[at] != kLongerEntry) {
                continue;
            }
            t.thirdBlock[at] = static_cast<unsigned short>(++next);
            for (int d = 0; d < 256; ++d) {
                const unsigned char triple[3] = {static_cast<unsigned char>(b),
                                                 static_cast<unsigned char>(c),
                                                 static_cast<unsigned char>(d)};
                const char32_t cp = Probe(cd, triple, 3);
                // Nothing in these charsets is longer than three bytes.
                packed =
                    Pack(cp == kLonger ? kRefused : cp, t.third[(next - 1) * 256 + d]) && packed;
            }
        }
    }
    iconv_close(cd);
    // Narrow the blocks to the second bytes that mean anything.
    unsigned low = 255, high = 0;
    for (std::size_t i = 0; i < static_cast<std::size_t>(blocks) * 256; ++i) {
        if (t.second[i] != kRefusedEntry) {
            low = std::min(low, static_cast<unsigned>(i % 256));
            high = std::max(high, static_cast<unsigned>(i % 256));
        }
    }
    if (low <= high) {
        const unsigned width = high - low + 1;
        auto second = std::make_unique<std::uint32_t[]>(static_cast<std::size_t>(blocks) * width);
        auto thirdBlock =
            std::make_unique<unsigned short[]>(static_cast<std::size_t>(blocks) * width);
        for (std::size_t b = 0; b < static_cast<std::size_t>(blocks); ++b) {
            for (unsigned c = 0; c < width; ++c) {
                second[b * width + c] = t.second[b * 256 + low + c];
                thirdBlock[b * width + c] = t.thirdBlock[b * 256 + low + c];
            }
        }
        t.second = std::move(second);
        t.thirdBlock = std::move(thirdBlock);
        t.trailMin = low;
        t.width = width;
    }
    if (!packed) {
        tables_.reset();  // iconv stays in charge of such a charset
    }
}

MultiByteDecoder::~MultiByteDecoder() = default;

const MultiByteDecoder* MultiByteDecoder::For(std::string_view iconvName) {
    // Built on first use: reading the tables from iconv takes a few
    // milliseconds.
    static std::once_flag sjisOnce, eucOnce;
    static std::unique_ptr<MultiByteDecoder> sjis, euc;
    if (iconvName == "CP932") {
        std::call_once(sjisOnce, [] { sjis.reset(new MultiByteDecoder("CP932")); });
        return sjis->tables_ ? sjis.get() : nullptr;
    }
    if (iconvName == "EUC-JP-MS") {
        std::call_once(eucOnce, [] { euc.reset(new MultiByteDecoder("EUC-JP-MS")); });
        return euc->tables_ ? euc.get() : nullptr;
    }
    return nullptr;
}

std::string MultiByteDecoder::ToUtf8(std::string_view bytes) const {
    const Tables& t = *tables_;
    std::string out;
    // Entries are stored four bytes at a time: three bytes of slack.
    out.resize(bytes.size() * static_cast<std::size_t>(t.growth) + 3);
    char* o = out.data();
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const end = p + bytes.size();
    auto put = [&o](std::uint32_t entry) {
        std::memcpy(o, &entry, 4);
        o += entry >> 24;
    };
    while (p < end) {
        if (*p < 0x80 && t.asciiSame) {
            // ASCII eight bytes at a time, then byte by byte.
            while (end - p >= 8) {
                std::uint64_t word;
                std::memcpy(&word, p, 8);
                if (word & 0x8080808080808080ull) {
                    break;
                }
                std::memcpy(o, &word, 8);
                o += 8;
                p += 8;
            }
            while (p < end && *p < 0x80) {
                *o++ = static_cast<char>(*p++);
            }
            continue;
        }
        const std::uint32_t one = t.first[*p];
        if (one > kLongerEntry) {
            put(one);
            ++p;
            continue;
        }
        if (one == kRefusedEntry) {
            *o++ = '?';
            ++p;
            continue;
        }
        if (end - p < 2) {
            *o++ = '?';  // cut short at the end
            break;
        }
        const unsigned trail = p[1] - t.trailMin;
        const std::size_t at = (t.secondBlock[*p] - 1u) * t.width + trail;
        const std::uint32_t two = trail < t.width ? t.second[at] : kRefusedEntry;
        if (two > kLongerEntry) {
            put(two);
            p += 2;
            continue;
        }
        if (two == kRefusedEntry) {
            *o++ = '?';
            ++p;
            continue;
        }
        if (end - p < 3) {
            *o++ = '?';
            break;
        }
        const std::uint32_t three = t.third[(t.thirdBlock[at] - 1u) * 256u + p[2]];
        if (three == kRefusedEntry) {
            *o++ = '?';
            ++p;
        } else {
            put(three);
            p += 3;
        }
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
    return out;
}

}  // namespace corvina
