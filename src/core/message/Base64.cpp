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

std::optional<std::string> Base64DecodeText(std::string_view text) {
    std::string out;
    out.reserve(text.size() / 4 * 3);
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; i += 4) {
        if (n - i < 4) {
            return std::nullopt;
        }
        int v[4];
        int count = 4;  // characters before the first "="
        for (int k = 0; k < 4; ++k) {
            unsigned char c = static_cast<unsigned char>(text[i + k]);
            if (c == '=') {
                if (k < 2) {
                    return std::nullopt;
                }
                count = k;
                break;
            }
            v[k] = kDecode[c];
            if (v[k] < 0) {
                return std::nullopt;
            }
        }
        out += static_cast<char>((v[0] << 2) | (v[1] >> 4));
        if (count >= 3) {
            out += static_cast<char>(((v[1] & 15) << 4) | (v[2] >> 2));
        }
        if (count == 4) {
            out += static_cast<char>(((v[2] & 3) << 6) | v[3]);
        }
    }
    return out;
}

std::string Base64TakeBodyLine(std::string_view text, std::size_t& pos) {
    const std::size_t n = text.size();
    if (pos >= n) {
        pos = n;
        return {};
    }
    std::size_t lf = text.find('\n', pos);
    std::size_t end = lf == std::string_view::npos ? n : lf;
    std::string line(text.substr(pos, end - pos));
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
        line.pop_back();
    }
    pos = lf == std::string_view::npos ? n : lf + 1;
    bool completed = false;
    while (line.size() % 4 != 0) {
        while (pos < n && (text[pos] == '\r' || text[pos] == '\n')) {
            ++pos;
        }
        if (pos >= n || text[pos] == '-' || text[pos] == '.') {
            break;
        }
        line += text[pos++];
        completed = true;
    }
    // A line used up by the completion does not come back as an empty one.
    if (completed) {
        while (pos < n && text[pos] == '\r') {
            ++pos;
        }
        if (pos < n && text[pos] == '\n') {
            ++pos;
        }
    }
    return line;
}

std::string Base64DecodeBody(std::string_view text) {
    std::string out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (text[pos] == '-') {
            break;
        }
        std::string line = Base64TakeBodyLine(text, pos);
        if (auto bytes = Base64DecodeText(line)) {
            out += *bytes;
        }
    }
    return out;
}

}  // namespace corvina
