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

// What a base64 decoder gives: the bytes, and whether the text was whole.
// `complete` is false when the text ends inside a group or holds "=" where
// no group can end; `bytes` then holds what could be decoded.
struct Base64Decoded {
    std::string bytes;
    bool complete = true;
};

// The one base64 decoder. Characters outside the alphabet (line breaks,
// blanks, anything else) are skipped, as RFC 2045 asks of a reader; "=" in
// the third or fourth place of a group ends it, and decoding goes on with
// the next group. With `stopAtDashLine` decoding ends at a line beginning
// with "-" (a MIME boundary or a trailer after the data).
Base64Decoded Base64Decode(std::string_view text, bool stopAtDashLine = false);

// An encoded word's text: nullopt unless it decodes completely.
std::optional<std::string> Base64DecodeText(std::string_view text);

// A base64 body: decoding ends at a line that begins with "-".
Base64Decoded Base64DecodeBody(std::string_view text);

}  // namespace corvina
