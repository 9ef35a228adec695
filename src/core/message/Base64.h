#pragma once
// Base64 with the standard alphabet and "=" padding.

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace corvina {

// Base64 of `bytes` without line breaks.
std::string Base64EncodeText(std::string_view bytes);

// The file's bytes as base64 lines of exactly 76 characters (the last one
// shorter), each handed to `sink` without a line end. A sink returning
// false stops the encoding. false when the file cannot be read or the sink
// refused a line.
bool Base64EncodeFile(const std::filesystem::path& file,
                      const std::function<bool(std::string_view line)>& sink);

// Decodes groups of four characters; "=" in the third or fourth place ends
// a group. nullopt for a short final group, a character outside the
// alphabet, or "=" in the first or second place.
std::optional<std::string> Base64DecodeText(std::string_view text);

// Takes the next base64 line of a body starting at `pos` (which is moved on):
// a line whose length is not a multiple of four is completed with characters
// of the following lines (line breaks skipped) until it is; a "-", a "." or
// the end of the text stops the completion. The result has no line end.
std::string Base64TakeBodyLine(std::string_view text, std::size_t& pos);

// Decodes a whole base64 body line by line with the completion rule above.
// A line that does not decode is skipped; decoding stops at a line that
// begins with "-" (a MIME boundary).
std::string Base64DecodeBody(std::string_view text);

}  // namespace corvina
