#pragma once
// BinHex 4.0 attachments.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>

#include "message/Uuencode.h"  // DecodeTarget

namespace corvina {

inline constexpr std::string_view kBinHexFirstLine =
    "(This file must be converted with BinHex 4.0)";

// The BinHex 4.0 CRC (polynomial 0x1021, start 0) of `bytes` continued from
// `crc`.
std::uint16_t BinHexCrc(std::string_view bytes, std::uint16_t crc = 0);

// Encodes `file` into "<temp dir>/<base name>.hqx" (work file MOBINHEX.TMP in
// the temp dir) and returns that path; nullopt on a read or write failure
// (no partial output left). The one-argument form uses the private temp dir.
std::optional<std::filesystem::path> BinHexEncodeFile(const std::filesystem::path& file,
                                                      const std::filesystem::path& tempDir);
std::optional<std::filesystem::path> BinHexEncodeFile(const std::filesystem::path& file);

// Decodes text that starts at the BinHex first line; writes the data fork
// under the BinHex name (reduced with SafeFileName; ".txt" added for type
// TEXT without a dot). Work files go to `tempDir` (the private temp dir in
// the two-argument form).
std::optional<std::filesystem::path> BinHexDecodeText(std::string_view text,
                                                      const DecodeTarget& target,
                                                      const std::filesystem::path& tempDir);
std::optional<std::filesystem::path> BinHexDecodeText(std::string_view text,
                                                      const DecodeTarget& target);

}  // namespace corvina
