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
class AddressTokenizer {
public:
    explicit AddressTokenizer(std::string_view list);
    AddressTokenizer(std::string_view list, const CodePage& cp);

    // The next address, or nullopt when the list is exhausted.
    std::optional<std::string> Next();

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

// "Name <addr>", "\"Name\" <addr>", "addr (Name)" or a bare address.
NameAddress SplitNameAddress(std::string_view text);
// The address half of SplitNameAddress.
std::string AddressOf(std::string_view text);

// Address-book entries as inserted into an address field: a person as
// "name <address>" (the name quoted when it holds one of ",<>():;@/?+*|"),
// a group as "@\"group\"".
std::string FormatAddressForList(std::string_view displayName, std::string_view address);
std::string FormatGroupForList(std::string_view groupName);

}  // namespace corvina
