#pragma once
// The output file of the uuencode and BinHex decoders.

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string_view>

namespace corvina {

struct DecodeTarget;

// An open output file that is closed (and, unless kept, removed) when the
// object goes away, so a failed decoding leaves nothing behind.
class DecodedFile {
public:
    DecodedFile() = default;
    ~DecodedFile();
    DecodedFile(const DecodedFile&) = delete;
    DecodedFile& operator=(const DecodedFile&) = delete;

    // Picks the path for `safeName`: the target directory + name, then
    // "00_name" ... "ff_name" while the name exists (created exclusively, so
    // an existing file is never overwritten); with no free name or no
    // directory the host's save dialog decides. false when nothing could be
    // opened or the user cancelled.
    bool Open(const DecodeTarget& target, std::string_view safeName);

    bool Write(std::string_view bytes);
    // Flushes and closes; the path is returned when everything was written.
    std::optional<std::filesystem::path> Finish();

    const std::filesystem::path& Path() const { return path_; }

private:
    std::FILE* file_ = nullptr;
    std::filesystem::path path_;
    bool failed_ = false;
};

}  // namespace corvina
