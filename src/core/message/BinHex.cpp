#include "message/BinHex.h"

#include <array>
#include <fstream>
#include <mutex>
#include <system_error>
#include <vector>

#include "message/DecodedFile.h"
#include "message/PrivateFile.h"
#include "message/SafeFileName.h"
#include "platform/Paths.h"

namespace corvina {

namespace {

constexpr char kAlphabet[] = "!\"#$%&'()*+,-012345689@ABCDEFGHIJKLMNPQRSTUVXYZ[`abcdefhijklmpqr";
constexpr unsigned char kRunMarker = 0x90;
constexpr const char* kWorkFile = "MOBINHEX.TMP";
constexpr const char* kExpandedFile = "MOBINHEX.001";

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

// The work files have fixed names: one encoding or decoding at a time.
std::mutex& WorkFileMutex() {
    static std::mutex m;
    return m;
}

void RemoveQuietly(const std::filesystem::path& p) {
    std::error_code ec;
    std::filesystem::remove(p, ec);
}

// Removes the work files however the operation ends.
struct WorkFiles {
    std::filesystem::path tmp, expanded;
    ~WorkFiles() {
        RemoveQuietly(tmp);
        if (!expanded.empty()) {
            RemoveQuietly(expanded);
        }
    }
};

std::string BaseName(const std::filesystem::path& file) {
    std::string name = file.filename().string();
    std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) {
        return name.substr(0, dot);
    }
    return name;
}

void PutBe32(std::string& s, std::uint32_t v) {
    s += static_cast<char>(v >> 24);
    s += static_cast<char>(v >> 16);
    s += static_cast<char>(v >> 8);
    s += static_cast<char>(v);
}

void PutBe16(std::string& s, std::uint16_t v) {
    s += static_cast<char>(v >> 8);
    s += static_cast<char>(v);
}

// Run-length coding of the binary stream, fed in pieces.
class RunLengthWriter {
public:
    explicit RunLengthWriter(std::ostream& out) : out_(out) {}
    void Add(std::string_view bytes) {
        for (unsigned char c : bytes) {
            if (count_ > 0 && c == last_ && count_ < 255) {
                ++count_;
                continue;
            }
            Flush();
            last_ = c;
            count_ = 1;
        }
    }
    void Flush() {
        if (count_ == 0) {
            return;
        }
        std::string s;
        auto literal = [&] {
            s += static_cast<char>(last_);
            if (last_ == kRunMarker) {
                s += '\0';
            }
        };
        if (count_ >= 3) {
            literal();
            s += static_cast<char>(kRunMarker);
            s += static_cast<char>(count_);
        } else {
            for (int i = 0; i < count_; ++i) {
                literal();
            }
        }
        out_.write(s.data(), static_cast<std::streamsize>(s.size()));
        count_ = 0;
    }

private:
    std::ostream& out_;
    unsigned char last_ = 0;
    int count_ = 0;
};

// Six-bit characters with CR LF after every 64 characters of a line.
class SixBitWriter {
public:
    explicit SixBitWriter(std::ostream& out) : out_(out) {}
    void AddByte(unsigned char b) {
        bits_ = (bits_ << 8) | b;
        nbits_ += 8;
        while (nbits_ >= 6) {
            nbits_ -= 6;
            Put(kAlphabet[(bits_ >> nbits_) & 63]);
        }
    }
    void Finish() {
        if (nbits_ > 0) {
            Put(kAlphabet[(bits_ << (6 - nbits_)) & 63]);
            nbits_ = 0;
        }
    }
    void Put(char c) {
        out_.put(c);
        if (++column_ == 64) {
            out_ << "\r\n";
            column_ = 0;
        }
    }

private:
    std::ostream& out_;
    unsigned bits_ = 0;
    int nbits_ = 0;
    int column_ = 0;
};

}  // namespace

std::uint16_t BinHexCrc(std::string_view bytes, std::uint16_t crc) {
    for (unsigned char c : bytes) {
        crc ^= static_cast<std::uint16_t>(c << 8);
        for (int i = 0; i < 8; ++i) {
            crc = (crc & 0x8000) ? static_cast<std::uint16_t>((crc << 1) ^ 0x1021)
                                 : static_cast<std::uint16_t>(crc << 1);
        }
    }
    return crc;
}

std::optional<std::filesystem::path> BinHexEncodeFile(const std::filesystem::path& file,
                                                      const std::filesystem::path& tempDir) {
    std::error_code ec;
    auto size = std::filesystem::file_size(file, ec);
    if (ec || size > 0xFFFFFFFFu) {
        return std::nullopt;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::lock_guard lock(WorkFileMutex());
    WorkFiles work{tempDir / kWorkFile, {}};
    {
        if (!CreatePrivateFile(work.tmp)) {
            return std::nullopt;
        }
        std::ofstream tmp(work.tmp, std::ios::binary | std::ios::trunc);
        if (!tmp) {
            return std::nullopt;
        }
        RunLengthWriter rle(tmp);
        std::string name = file.filename().string().substr(0, 255);
        std::string header;
        header += static_cast<char>(name.size());
        header += name;
        header += '\0';
        header += "????????";
        header += '\x01';
        header += '\0';
        PutBe32(header, static_cast<std::uint32_t>(size));
        PutBe32(header, 0);
        std::uint16_t headerCrc = BinHexCrc(header);
        PutBe16(header, headerCrc);
        rle.Add(header);

        std::uint16_t dataCrc = 0;
        std::uint64_t total = 0;
        std::vector<char> buf(64 * 1024);
        while (total < size) {
            in.read(buf.data(), static_cast<std::streamsize>(buf.size()));
            std::size_t got = static_cast<std::size_t>(in.gcount());
            if (got == 0) {
                break;
            }
            got = static_cast<std::size_t>(std::min<std::uint64_t>(got, size - total));
            std::string_view piece(buf.data(), got);
            dataCrc = BinHexCrc(piece, dataCrc);
            rle.Add(piece);
            total += got;
        }
        if (total != size || in.bad()) {
            return std::nullopt;  // the file changed under us
        }
        std::string tail;
        PutBe16(tail, dataCrc);
        PutBe16(tail, 0);  // CRC of the empty resource fork
        rle.Add(tail);
        rle.Flush();
        tmp.close();
        if (!tmp) {
            return std::nullopt;
        }
    }

    std::filesystem::path outPath = tempDir / (BaseName(file) + ".hqx");
    std::ifstream stream(work.tmp, std::ios::binary);
    if (!CreatePrivateFile(outPath)) {
        return std::nullopt;
    }
    std::ofstream out(outPath, std::ios::binary | std::ios::trunc);
    if (!stream || !out) {
        return std::nullopt;
    }
    out << kBinHexFirstLine << "\n";
    SixBitWriter six(out);
    six.Put(':');
    std::vector<char> buf(48 * 1024);
    while (stream) {
        stream.read(buf.data(), static_cast<std::streamsize>(buf.size()));
        std::size_t got = static_cast<std::size_t>(stream.gcount());
        for (std::size_t i = 0; i < got; ++i) {
            six.AddByte(static_cast<unsigned char>(buf[i]));
        }
    }
    six.Finish();
    out << ":\r\n";
    out.close();
    if (stream.bad() || !out) {
        RemoveQuietly(outPath);
        return std::nullopt;
    }
    return outPath;
}

std::optional<std::filesystem::path> BinHexEncodeFile(const std::filesystem::path& file) {
    auto temp = PrivateTempDir();
    if (!temp) {
        return std::nullopt;
    }
    return BinHexEncodeFile(file, *temp);
}

std::optional<std::filesystem::path> BinHexDecodeText(std::string_view text,
                                                      const DecodeTarget& target,
                                                      const std::filesystem::path& tempDir) {
    std::size_t start = text.find(':');
    if (start == std::string_view::npos) {
        return std::nullopt;
    }
    std::lock_guard lock(WorkFileMutex());
    WorkFiles work{tempDir / kWorkFile, tempDir / kExpandedFile};

    // Six-bit characters into eight-bit bytes: MOBINHEX.TMP.
    {
        if (!CreatePrivateFile(work.tmp)) {
            return std::nullopt;
        }
        std::ofstream tmp(work.tmp, std::ios::binary | std::ios::trunc);
        if (!tmp) {
            return std::nullopt;
        }
        unsigned bits = 0;
        int nbits = 0;
        bool closed = false;
        std::string chunk;
        for (std::size_t i = start + 1; i < text.size(); ++i) {
            unsigned char c = static_cast<unsigned char>(text[i]);
            if (c == ':') {
                closed = true;
                break;
            }
            if (c == '\r' || c == '\n' || c == ' ' || c == '\t') {
                continue;
            }
            int v = kDecode[c];
            if (v < 0) {
                return std::nullopt;
            }
            bits = (bits << 6) | static_cast<unsigned>(v);
            nbits += 6;
            if (nbits >= 8) {
                nbits -= 8;
                chunk += static_cast<char>((bits >> nbits) & 0xFF);
                if (chunk.size() >= 64 * 1024) {
                    tmp.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
                    chunk.clear();
                }
            }
        }
        if (!closed) {
            return std::nullopt;  // cut off before the closing colon
        }
        tmp.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        tmp.close();
        if (!tmp) {
            return std::nullopt;
        }
    }

    // Expand the runs: MOBINHEX.001.
    {
        std::ifstream tmp(work.tmp, std::ios::binary);
        if (!CreatePrivateFile(work.expanded)) {
            return std::nullopt;
        }
        std::ofstream expanded(work.expanded, std::ios::binary | std::ios::trunc);
        if (!tmp || !expanded) {
            return std::nullopt;
        }
        std::vector<char> in(64 * 1024);
        std::string out;
        unsigned char last = 0;
        bool marker = false;
        while (tmp) {
            tmp.read(in.data(), static_cast<std::streamsize>(in.size()));
            std::size_t got = static_cast<std::size_t>(tmp.gcount());
            out.clear();
            for (std::size_t i = 0; i < got; ++i) {
                unsigned char c = static_cast<unsigned char>(in[i]);
                if (marker) {
                    marker = false;
                    if (c == 0) {
                        last = kRunMarker;
                        out += static_cast<char>(last);
                    } else {
                        out.append(c - 1u, static_cast<char>(last));
                    }
                } else if (c == kRunMarker) {
                    marker = true;
                } else {
                    last = c;
                    out += static_cast<char>(c);
                }
            }
            expanded.write(out.data(), static_cast<std::streamsize>(out.size()));
        }
        expanded.close();
        if (!expanded) {
            return std::nullopt;
        }
    }

    // Header, then the data fork into the target file.
    std::ifstream stream(work.expanded, std::ios::binary);
    if (!stream) {
        return std::nullopt;
    }
    int nameLength = stream.get();
    if (nameLength == EOF) {
        return std::nullopt;
    }
    std::string name(static_cast<std::size_t>(nameLength), '\0');
    char fixed[1 + 4 + 4 + 2 + 4 + 4 + 2];
    stream.read(name.data(), nameLength);
    stream.read(fixed, sizeof fixed);
    if (!stream) {
        return std::nullopt;
    }
    std::string_view type(fixed + 1, 4);
    auto be32 = [](const char* p) {
        return (static_cast<std::uint32_t>(static_cast<unsigned char>(p[0])) << 24) |
               (static_cast<std::uint32_t>(static_cast<unsigned char>(p[1])) << 16) |
               (static_cast<std::uint32_t>(static_cast<unsigned char>(p[2])) << 8) |
               static_cast<std::uint32_t>(static_cast<unsigned char>(p[3]));
    };
    std::uint64_t dataLength = be32(fixed + 11);

    std::string safe = SafeFileName(name);
    if (type == "TEXT" && safe.find('.') == std::string::npos) {
        safe += ".txt";
    }
    DecodedFile out;
    if (!out.Open(target, safe)) {
        return std::nullopt;
    }
    std::vector<char> buf(64 * 1024);
    while (dataLength > 0 && stream) {
        std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(dataLength, buf.size()));
        stream.read(buf.data(), static_cast<std::streamsize>(want));
        std::size_t got = static_cast<std::size_t>(stream.gcount());
        if (!out.Write(std::string_view(buf.data(), got))) {
            return std::nullopt;
        }
        dataLength -= got;
    }
    return out.Finish();
}

std::optional<std::filesystem::path> BinHexDecodeText(std::string_view text,
                                                      const DecodeTarget& target) {
    auto temp = PrivateTempDir();
    if (!temp) {
        return std::nullopt;
    }
    return BinHexDecodeText(text, target, *temp);
}

}  // namespace corvina
