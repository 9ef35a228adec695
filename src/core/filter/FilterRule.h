#pragma once
// One rule of Filter.DEF and the two ways of reading that file: for
// matching (token rules, at least three fields) and for the rule editor
// (every line kept as it stands, except near-empty and comment lines).

#include <string>
#include <string_view>
#include <vector>

namespace corvina {

inline constexpr unsigned kFilterIgnoreCase = 1;  // flag "I"

struct FilterRule {
    std::string header;  // header name without the colon
    std::string find;    // text searched for in the header's value
    std::string folder;  // target folder name, levels joined by "\"
    unsigned flags = 0;

    bool IgnoreCase() const { return (flags & kFilterIgnoreCase) != 0; }
    bool operator==(const FilterRule&) const = default;
};

// Rules in file order; lines with fewer than three fields are skipped and an
// "I" anywhere in the fourth field sets kFilterIgnoreCase.
std::vector<FilterRule> ParseFilterRules(std::string_view fileText);

// The lines the editor shows, without their line ends; lines of one
// character or less and lines starting with "#" are left out.
std::vector<std::string> ParseFilterEditorLines(std::string_view fileText);

// Splits a file's bytes into lines at LF, a lone CR or CR LF (line ends
// removed). A NUL byte is an ordinary byte.
std::vector<std::string_view> SplitFilterFileLines(std::string_view fileText);

}  // namespace corvina
