#pragma once
// Web and mail addresses in the text of the editor: which address covers
// a place in a line, and every web address of a text. Lines are text of
// the code page without their line end; only single-byte ASCII characters
// ever belong to an address, so a trail byte that looks like a letter and
// Japanese text written right against an address stay outside it.
//
// A web address begins, in any letter case, with "http:", "https:",
// "news:", "ftp:" or "gopher:" and runs over letters, digits and
// # % & + - . / : = ? _ ~; full stops at its end are not part of it.
// A mail address is a run of letters, digits and - . @ _ (with quoted
// parts, commas and blanks inside the quotes included) that holds an "@"
// after its first character and does not end with one; it starts at the
// first letter, digit or quote of its run (never right after a letter,
// digit or "@"), and full stops at its end are not part of it. A
// "mailto:" in front belongs to the address.
// Either form may start right after a ":" (or other punctuation) inside a
// longer run, so "Homepage:http://..." and "Mail:taro@..." are found.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace corvina {

class CodePage;

struct AddressAt {
    enum class Kind { kNone, kWeb, kMail };
    Kind kind = Kind::kNone;
    std::size_t start = 0;  // [start, end) of the line
    std::size_t end = 0;
    std::string text;
};

// The address that holds the character at `pos`; a web address wins over
// a mail address, the leftmost over a later one. kNone when there is none.
AddressAt FindAddressAt(std::string_view line, std::size_t pos, const CodePage& codePage);

// Every distinct web address that begins with "http://" or "https://"
// (any letter case), in the order they first appear.
std::vector<std::string> HttpAddressesOf(const std::vector<std::string_view>& lines,
                                         const CodePage& codePage);

// The address of the To field for a mail address found in `line`: a
// leading scheme part up to ":" or "/" ("mailto:") dropped, and a quoted
// display name in front of an address in angle brackets taken along
// ("\"Taro Yamada\" <taro@example.jp>").
std::string AddressToWriteTo(std::string_view line, const AddressAt& address);

// The bare address of a mail address: its scheme part dropped.
std::string BareMailAddress(std::string_view addressText);

}  // namespace corvina
