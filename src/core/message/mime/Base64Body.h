#pragma once
// Decoding of a base64 part body.

#include <string>
#include <string_view>

namespace corvina {

// The bytes of a base64 body. Bodies as mailers write them (lines of whole
// four-character groups, padding only in the last group) are decoded in one
// pass; anything else goes through Base64DecodeBody with its line
// completion, so both give the same bytes.
std::string DecodeBase64Body(std::string_view body);

}  // namespace corvina
