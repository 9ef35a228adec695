#pragma once
// uuencode attachments.

#include <filesystem>
#include <optional>
#include <string_view>

namespace corvina {

class UserPrompt;

// Where a decoded file goes: `directory` (empty: none) with the collision
// names "00_name" ... "ff_name"; when no free name is left or there is no
// directory, `prompt` is asked with a save dialog starting in
// `dialogDirectory` (without one the decoding gives none).
struct DecodeTarget {
    std::filesystem::path directory;
    std::filesystem::path dialogDirectory;
    UserPrompt* prompt = nullptr;
};

// Encodes `file` into "<temp dir>/<base name>.uue" and returns that path;
// nullopt when the file cannot be read or the output written (no partial
// output file is left). The one-argument form uses the private temp dir.
std::optional<std::filesystem::path> UuEncodeFile(const std::filesystem::path& file,
                                                  const std::filesystem::path& tempDir);
std::optional<std::filesystem::path> UuEncodeFile(const std::filesystem::path& file);

// Decodes text that starts at a "begin <octal mode> <name>" line into a file
// and returns its path. The name is reduced with SafeFileName first.
std::optional<std::filesystem::path> UuDecodeText(std::string_view text,
                                                  const DecodeTarget& target);

}  // namespace corvina
