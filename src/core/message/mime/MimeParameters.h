#pragma once
// Reading of structured MIME header values: "type/subtype; a=b; c=\"d\"".
// Tolerant of anything: unknown parameters are skipped, a missing closing
// quote ends at the end of the value.
//
// Quoted strings are read here and nowhere else, on the value as it stands
// in the header, before any of its text is decoded or converted: a
// backslash escapes the next character, but the second byte of a
// double-byte character (0x5C in Shift_JIS "表", "ソ", "能") is never taken
// for one. Encoded words and raw ISO-2022-JP in a value are decoded only
// after that (ParameterText).

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvina {

class CodePage;

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

// Every "name=value" after the first ";" of the value. `cp` is the code
// page of the value's raw 8-bit text (it tells where characters begin).
std::vector<MimeParameter> ParseParameters(std::string_view value, const CodePage& cp);
// The same in the working code page (Shift_JIS for raw Shift_JIS on UTF-8).
std::vector<MimeParameter> ParseParameters(std::string_view value);

// Value of the plain parameter `name` (case ignored), or nothing.
std::optional<std::string> FindParameter(std::string_view value, std::string_view name);

// A parameter value that may have been written in the RFC 2231 forms.
struct DecodedParameter {
    std::string bytes;      // in `charset` when that is not empty
    std::string charset;    // empty: in the code page the value was read in
    bool extended = false;  // taken from the "name*" forms
};

// The value of `name`, preferring "name*=" and "name*0..N" continuations
// over a plain "name=" (a receiver of today's mail expects the extended
// form to win). Nothing when neither form is present. `cp` is the working
// code page; on UTF-8, a value holding raw 8-bit text that is not UTF-8 but
// is Shift_JIS is read as Shift_JIS (and a plain value says so in charset).
std::optional<DecodedParameter> FindExtendedParameter(std::string_view value, std::string_view name,
                                                      const CodePage& cp);
std::optional<DecodedParameter> FindExtendedParameter(std::string_view value,
                                                      std::string_view name);

// A parameter found by FindExtendedParameter as text of the code page `cp`:
// converted from its charset, and for a plain value its encoded words
// decoded and raw ISO-2022-JP converted.
std::string ParameterText(const DecodedParameter& parameter, const CodePage& cp);

// "BOUNDARY=" (case ignored): blanks after "=" skipped, then the text
// inside double quotes or the text up to ";" or a blank.
std::optional<std::string> FindBoundary(std::string_view value);

// "CHARSET=" with blanks and one pair of double quotes removed.
std::optional<std::string> FindCharset(std::string_view value);

}  // namespace corvina
