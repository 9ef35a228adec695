#include "message/Uuencode.h"

#include <fstream>
#include <system_error>

#include "message/DecodedFile.h"
#include "message/PrivateFile.h"
#include "message/SafeFileName.h"
#include "platform/Paths.h"

namespace corvina {

namespace {

char UuChar(unsigned v) {
    return v == 0 ? '`' : static_cast<char>(v + 32);
}

// The name without its last extension; the whole name when that is empty.
std::string BaseName(const std::filesystem::path& file) {
    std::string name = file.filename().string();
    std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) {
        return name.substr(0, dot);
    }
    return name;
}

void EncodeBlock(const unsigned char* p, std::size_t n, std::string& line) {
    line.clear();
    line += UuChar(static_cast<unsigned>(n));
    for (std::size_t i = 0; i < n; i += 3) {
        unsigned b0 = p[i];
        unsigned b1 = i + 1 < n ? p[i + 1] : 0;
        unsigned b2 = i + 2 < n ? p[i + 2] : 0;
        std::size_t left = n - i;
        line += UuChar(b0 >> 2);
        line += UuChar(((b0 & 3) << 4) | (b1 >> 4));
        if (left >= 2) {
            line += UuChar(((b1 & 15) << 2) | (b2 >> 6));
        }
        if (left >= 3) {
            line += UuChar(b2 & 63);
        }
    }
    line += "\r\n";
}

}  // namespace

std::optional<std::filesystem::path> UuEncodeFile(const std::filesystem::path& file,
                                                  const std::filesystem::path& tempDir) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::filesystem::path outPath = tempDir / (BaseName(file) + ".uue");
    if (!CreatePrivateFile(outPath)) {
        return std::nullopt;
    }
    std::ofstream out(outPath, std::ios::binary | std::ios::trunc);
    if (!out) {
        return std::nullopt;
    }
    out << "begin 666 " << file.filename().string() << "\n";
    unsigned char block[45];
    std::string line;
    while (true) {
        in.read(reinterpret_cast<char*>(block), sizeof block);
        std::size_t got = static_cast<std::size_t>(in.gcount());
        if (got == 0) {
            break;
        }
        EncodeBlock(block, got, line);
        out << line;
        if (got < sizeof block) {
            break;
        }
    }
    out << "`\r\nend\n";
    out.close();
    if (in.bad() || !out) {
        std::error_code ec;
        std::filesystem::remove(outPath, ec);
        return std::nullopt;
    }
    return outPath;
}

std::optional<std::filesystem::path> UuEncodeFile(const std::filesystem::path& file) {
    auto temp = PrivateTempDir();
    if (!temp) {
        return std::nullopt;
    }
    return UuEncodeFile(file, *temp);
}

std::optional<std::filesystem::path> UuDecodeText(std::string_view text,
                                                  const DecodeTarget& target) {
    constexpr std::size_t kMaxLine = 8192;
    std::size_t pos = 0;
    auto nextLine = [&]() {
        std::size_t lf = text.find('\n', pos);
        std::size_t end = lf == std::string_view::npos ? text.size() : lf;
        std::string_view line = text.substr(pos, end - pos);
        pos = lf == std::string_view::npos ? text.size() : lf + 1;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        return line.substr(0, kMaxLine);
    };

    // "begin <octal mode> <name>"
    std::string_view first = nextLine();
    if (first.substr(0, 6) != "begin ") {
        return std::nullopt;
    }
    first.remove_prefix(6);
    while (!first.empty() && first.front() == ' ') {
        first.remove_prefix(1);
    }
    std::size_t digits = 0;
    while (digits < first.size() && first[digits] >= '0' && first[digits] <= '7') {
        ++digits;
    }
    if (digits == 0 || digits >= first.size() || (first[digits] != ' ' && first[digits] != '\t')) {
        return std::nullopt;
    }
    std::string_view name = first.substr(digits);
    while (!name.empty() && (name.front() == ' ' || name.front() == '\t')) {
        name.remove_prefix(1);
    }
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) {
        name.remove_suffix(1);
    }
    if (name.empty()) {
        return std::nullopt;
    }

    DecodedFile out;
    if (!out.Open(target, SafeFileName(name))) {
        return std::nullopt;
    }
    std::string bytes;
    while (pos < text.size()) {
        std::string_view line = nextLine();
        if (line.empty()) {
            break;
        }
        std::size_t n = (static_cast<unsigned char>(line[0]) - 32) & 0x3F;
        if (n == 0) {
            break;
        }
        auto at = [&](std::size_t k) -> unsigned {
            return k < line.size() ? ((static_cast<unsigned char>(line[k]) - 32) & 0x3F) : 0;
        };
        bytes.clear();
        for (std::size_t k = 1; bytes.size() < n; k += 4) {
            unsigned c0 = at(k), c1 = at(k + 1), c2 = at(k + 2), c3 = at(k + 3);
            bytes += static_cast<char>((c0 << 2) | (c1 >> 4));
            if (bytes.size() < n) {
                bytes += static_cast<char>(((c1 & 15) << 4) | (c2 >> 2));
            }
            if (bytes.size() < n) {
                bytes += static_cast<char>(((c2 & 3) << 6) | c3);
            }
        }
        if (!out.Write(bytes)) {
            return std::nullopt;
        }
    }
    return out.Finish();
}

}  // namespace corvina
