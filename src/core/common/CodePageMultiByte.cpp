// Table decoders for the multi-byte charsets Japanese mail comes in
// (Shift_JIS, EUC-JP), into UTF-8 without iconv on the way. The tables are
// read from iconv itself, byte sequence by byte sequence, so the text is the
// same as iconv's, "?" for each byte iconv refuses included.

#include <iconv.h>

#include <algorithm>
#include <cerrno>
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

}  // namespace

// Byte sequences of up to three bytes. first[b] is the meaning of b alone;
// a b that starts a longer sequence has a block of 256 in `second`, and a
// two-byte start one of 256 in `third`.
struct MultiByteDecoder::Tables {
    char32_t first[256];
    int growth = 2;                        // most UTF-8 bytes one input byte can become
    unsigned short secondBlock[256] = {};  // 1 + block index, 0 for none
    std::unique_ptr<char32_t[]> second;
    std::unique_ptr<unsigned short[]> thirdBlock;  // per second-level entry
    std::unique_ptr<char32_t[]> third;
};

MultiByteDecoder::MultiByteDecoder(const char* iconvName) : tables_(new Tables) {
    iconv_t cd = iconv_open("UTF-32LE", iconvName);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        tables_.reset();
        return;
    }
    Tables& t = *tables_;
    int blocks = 0;
    for (int b = 0; b < 256; ++b) {
        const unsigned char byte = static_cast<unsigned char>(b);
        const char32_t cp = Probe(cd, &byte, 1);
        t.first[b] = cp;
        blocks += cp == kLonger ? 1 : 0;
        if (cp < kLonger) {
            // Output room per input byte: a sequence of two or more bytes
            // never needs more than two each.
            t.growth = std::max(t.growth, cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4);
        }
    }
    t.second = std::make_unique<char32_t[]>(static_cast<std::size_t>(blocks) * 256);
    t.thirdBlock = std::make_unique<unsigned short[]>(static_cast<std::size_t>(blocks) * 256);
    int block = 0;
    int thirdBlocks = 0;
    for (int b = 0; b < 256; ++b) {
        if (t.first[b] != kLonger) {
            continue;
        }
        t.secondBlock[b] = static_cast<unsigned short>(++block);
        for (int c = 0; c < 256; ++c) {
            const unsigned char pair[2] = {static_cast<unsigned char>(b),
                                           static_cast<unsigned char>(c)};
            const char32_t cp = Probe(cd, pair, 2);
            t.second[(block - 1) * 256 + c] = cp;
            thirdBlocks += cp == kLonger ? 1 : 0;
        }
    }
    t.third = std::make_unique<char32_t[]>(static_cast<std::size_t>(thirdBlocks) * 256);
    int next = 0;
    for (int b = 0; b < 256; ++b) {
        if (t.secondBlock[b] == 0) {
            continue;
        }
        for (int c = 0; c < 256; ++c) {
            const std::size_t at = (t.secondBlock[b] - 1u) * 256u + static_cast<unsigned>(c);
            if (t.second[at] != kLonger) {
                continue;
            }
            t.thirdBlock[at] = static_cast<unsigned short>(++next);
            for (int d = 0; d < 256; ++d) {
                const unsigned char triple[3] = {static_cast<unsigned char>(b),
                                                 static_cast<unsigned char>(c),
                                                 static_cast<unsigned char>(d)};
                const char32_t cp = Probe(cd, triple, 3);
                // Nothing in these charsets is longer than three bytes.
                t.third[(next - 1) * 256 + d] = cp == kLonger ? kRefused : cp;
            }
        }
    }
    iconv_close(cd);
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
    out.resize(bytes.size() * static_cast<std::size_t>(t.growth));
    char* o = out.data();
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const end = p + bytes.size();
    auto put = [&o](char32_t cp) {
        if (cp < 0x80) {
            *o++ = static_cast<char>(cp);
        } else if (cp < 0x800) {
            *o++ = static_cast<char>(0xC0 | (cp >> 6));
            *o++ = static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            *o++ = static_cast<char>(0xE0 | (cp >> 12));
            *o++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            *o++ = static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            *o++ = static_cast<char>(0xF0 | (cp >> 18));
            *o++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            *o++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            *o++ = static_cast<char>(0x80 | (cp & 0x3F));
        }
    };
    while (p < end) {
        // Runs of ASCII are copied as they are.
        const unsigned char* run = p;
        while (p < end && *p < 0x80 && t.first[*p] == *p) {
            ++p;
        }
        std::memcpy(o, run, static_cast<std::size_t>(p - run));
        o += p - run;
        if (p == end) {
            break;
        }
        const char32_t one = t.first[*p];
        if (one != kLonger) {
            if (one == kRefused) {
                *o++ = '?';
            } else {
                put(one);
            }
            ++p;
            continue;
        }
        if (end - p < 2) {
            *o++ = '?';  // cut short at the end
            break;
        }
        const std::size_t at = (t.secondBlock[*p] - 1u) * 256u + p[1];
        const char32_t two = t.second[at];
        if (two != kLonger) {
            if (two == kRefused) {
                *o++ = '?';
                ++p;
            } else {
                put(two);
                p += 2;
            }
            continue;
        }
        if (end - p < 3) {
            *o++ = '?';
            break;
        }
        const char32_t three = t.third[(t.thirdBlock[at] - 1u) * 256u + p[2]];
        if (three == kRefused) {
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
