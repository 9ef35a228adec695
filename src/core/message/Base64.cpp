#include "message/Base64.h"

#include <array>
#include <fstream>

namespace corvina {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<signed char, 256> MakeDecodeTable() {
    std::array<signed char, 256> t{};
    for (auto& v : t) {
        v = -1;
    }
    for (int i = 0; i < 64; ++i) {
        t[static_cast<unsigned char>(kAlphabet[i])] = static_cast<signed char>(i);
    }
    return t;
}
constexpr auto kDecode = MakeDecodeTable();

void EncodeGroups(std::string_view bytes, std::string& out) {
    std::size_t i = 0;
    const std::size_t n = bytes.size();
    for (; i + 3 <= n; i += 3) {
        unsigned v = (static_cast<unsigned char>(bytes[i]) << 16) |
                     (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                     static_cast<unsigned char>(bytes[i + 2]);
        out += kAlphabet[v >> 18];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += kAlphabet[v & 63];
    }
    if (n - i == 1) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        out += kAlphabet[v >> 18];
        out += kAlphabet[(v >> 12) & 63];
        out += "==";
    } else if (n - i == 2) {
        unsigned v = (static_cast<unsigned char>(bytes[i]) << 16) |
                     (static_cast<unsigned char>(bytes[i + 1]) << 8);
        out += kAlphabet[v >> 18];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += '=';
    }
}

}  // namespace

std::string Base64EncodeText(std::string_view bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    EncodeGroups(bytes, out);
    return out;
}

bool Base64EncodeFile(const std::filesystem::path& file,
                      const std::function<bool(std::string_view line)>& sink) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return false;
    }
    constexpr std::size_t kLineBytes = 57;  // 76 characters
    constexpr std::size_t kChunk = kLineBytes * 1024;
    std::string chunk(kChunk, '\0');
    std::string line;
    while (true) {
        in.read(chunk.data(), static_cast<std::streamsize>(kChunk));
        std::size_t got = static_cast<std::size_t>(in.gcount());
        if (got == 0) {
            break;
        }
        for (std::size_t off = 0; off < got; off += kLineBytes) {
            line.clear();
            EncodeGroups(std::string_view(chunk).substr(off, std::min(kLineBytes, got - off)),
                         line);
            if (!sink(line)) {
                return false;
            }
        }
        if (got < kChunk) {
            break;
        }
    }
    return !in.bad();
}

Base64Decoded Base64Decode(std::string_view text, bool stopAtDashLine) {
    Base64Decoded result;
    std::string& out = result.bytes;
    out.resize(text.size() / 4 * 3 + 3);
    std::size_t used = 0;
    unsigned group = 0;
    int count = 0;          // characters of the current group
    bool afterPad = false;  // only "=" seen since the last padded group
    const std::size_t n = text.size();
    if (stopAtDashLine && n > 0 && text[0] == '-') {
        out.clear();
        return result;
    }
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const int v = kDecode[c];
        if (v >= 0) {
            group = (group << 6) | static_cast<unsigned>(v);
            afterPad = false;
            if (++count == 4) {
                out[used++] = static_cast<char>(group >> 16);
                out[used++] = static_cast<char>(group >> 8);
                out[used++] = static_cast<char>(group);
                count = 0;
                group = 0;
            }
        } else if (c == '=') {
            if (count == 2) {
                out[used++] = static_cast<char>(group >> 4);
            } else if (count == 3) {
                out[used++] = static_cast<char>(group >> 10);
                out[used++] = static_cast<char>(group >> 2);
            } else if (count != 0 || !afterPad) {
                result.complete = false;  // "=" in the first or second place
            }
            count = 0;
            group = 0;
            afterPad = true;
        } else if (c == '\n' && stopAtDashLine && i + 1 < n && text[i + 1] == '-') {
            break;
        }
    }
    if (count != 0) {
        // The text ends inside a group: keep the whole bytes it holds.
        result.complete = false;
        if (count == 2) {
            out[used++] = static_cast<char>(group >> 4);
        } else if (count == 3) {
            out[used++] = static_cast<char>(group >> 10);
            out[used++] = static_cast<char>(group >> 2);
        }
    }
    out.resize(used);
    return result;
}

std::optional<std::string> Base64DecodeText(std::string_view text) {
    Base64Decoded decoded = Base64Decode(text);
    if (!decoded.complete) {
        return std::nullopt;
    }
    return std::move(decoded.bytes);
}

Base64Decoded Base64DecodeBody(std::string_view text) {
    return Base64Decode(text, true);
}

}  // namespace corvina
