#pragma once
// Reading of structured MIME header values: "type/subtype; a=b; c=\"d\"".
// Tolerant of anything: unknown parameters are skipped, a missing closing
// quote ends at the end of the value.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvina {

struct MimeTypeName {
    std::string type;
    std::string subtype;
};

// Type up to "/" or a blank, subtype up to ";", blank, CR, LF or tab.
// Leading blanks of the value are skipped.
MimeTypeName ParseContentTypeValue(std::string_view value);

struct MimeParameter {
    std::string name;       // as written, without a trailing "*"
    std::string value;      // quotes and backslash escapes removed
    int section = -1;       // RFC 2231 continuation number, -1 when none
    bool extended = false;  // "name*=" or "name*N*=": value is %-encoded
};

// Every "name=value" after the first ";" of the value.
std::vector<MimeParameter> ParseParameters(std::string_view value);

// Value of the plain parameter `name` (case ignored), or nothing.
std::optional<std::string> FindParameter(std::string_view value, std::string_view name);

// A parameter value that may have been written in the RFC 2231 forms.
struct DecodedParameter {
    std::string bytes;      // in `charset` when that is not empty
    std::string charset;    // empty: as written (no conversion needed)
    bool extended = false;  // taken from the "name*" forms
};

// The value of `name`, preferring "name*=" and "name*0..N" continuations
// over a plain "name=" (a receiver of today's mail expects the extended
// form to win). Nothing when neither form is present.
std::optional<DecodedParameter> FindExtendedParameter(std::string_view value,
                                                      std::string_view name);

// "BOUNDARY=" (case ignored): blanks after "=" skipped, then the text
// inside double quotes or the text up to ";" or a blank.
std::optional<std::string> FindBoundary(std::string_view value);

// "CHARSET=" with blanks and one pair of double quotes removed.
std::optional<std::string> FindCharset(std::string_view value);

}  // namespace corvina
