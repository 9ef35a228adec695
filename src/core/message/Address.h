#pragma once
// Address lists: splitting a list into addresses, an address into display
// name and bare address, and the text an address-book entry inserts.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace corvina {

class CodePage;

// Walks an address list one address at a time. Spaces and commas between
// addresses are skipped, a comment in parentheses before an address is
// skipped, a comma inside double quotes or parentheses does not split.
// Addresses keep inner comments and trailing blanks.
// Inside double quotes a backslash escapes the next character.
class AddressTokenizer {
public:
    explicit AddressTokenizer(std::string_view list);
    AddressTokenizer(std::string_view list, const CodePage& cp);

    // Where an address lies in the list: its first byte and its length.
    struct Range {
        std::size_t start = 0;
        std::size_t length = 0;
    };

    // The next address, or nullopt when the list is exhausted.
    std::optional<std::string> Next();
    // The same walk, giving the address's place in the list.
    std::optional<Range> NextRange();

private:
    std::string list_;
    std::size_t pos_ = 0;
    bool done_ = false;
    const CodePage* cp_;
};

// The tokenizer of the calling thread: a call with a list restarts it, a
// call without one continues the last list of this thread.
std::optional<std::string> NextAddressToken(std::string_view list);
std::optional<std::string> NextAddressToken();

struct NameAddress {
    std::string name;     // display name, without quotes; may be empty
    std::string address;  // bare address
};

// "Name <addr>", "\"Name\" <addr>", "addr (Name)" or a bare address. The
// name of the angle form is the phrase before "<" with its double quotes
// removed and its backslash escapes undone.
NameAddress SplitNameAddress(std::string_view text);
NameAddress SplitNameAddress(std::string_view text, const CodePage& cp);
// The address half of SplitNameAddress.
std::string AddressOf(std::string_view text);
// A phrase as the name it shows: double quotes dropped, backslash escapes
// inside them undone, outer blanks trimmed.
std::string UnquotePhrase(std::string_view phrase, const CodePage& cp);

// Characters that make a display name need double quotes: the list
// separator, the address and comment brackets, and the rest of the
// specials of an address header (a double quote or backslash in a name is
// escaped inside the quotes).
inline constexpr std::string_view kDisplayNameSpecials = ",<>():;@/?+*|\"\\[]";

// The display name as written before "<address>": unchanged when it holds
// none of kDisplayNameSpecials, otherwise in double quotes with every '"'
// and '\' escaped. Double-byte characters of `cp` are never split or
// escaped.
std::string QuoteDisplayName(std::string_view name, const CodePage& cp);
std::string QuoteDisplayName(std::string_view name);  // working code page

// "name <address>" with the name quoted as above; the bare address when
// the name is empty.
std::string FormatNameAddress(std::string_view name, std::string_view address);

// Address-book entries as inserted into an address field: a person as
// "name <address>" (the name quoted as above unless it already begins with
// a double quote), a group as "@\"group\"".
std::string FormatAddressForList(std::string_view displayName, std::string_view address);
std::string FormatGroupForList(std::string_view groupName);

}  // namespace corvina
