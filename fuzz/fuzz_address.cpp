// Address lists: every token and its name/address split.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "common/CodePage.h"
#include "message/Address.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace corvina;
    if (size == 0) {
        return 0;
    }
    const CodePage& cp = CodePage::Get(data[0] & 1 ? CodePage::kShiftJis : CodePage::kUtf8);
    std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    AddressTokenizer tokens(text, cp);
    std::size_t total = 0, count = 0;
    while (auto token = tokens.Next()) {
        total += token->size();
        if (++count > text.size() + 1 || total > text.size()) {
            __builtin_trap();  // tokens are pieces of the list
        }
        NameAddress na = SplitNameAddress(*token);
        if (na.name.size() > token->size() || na.address.size() > token->size()) {
            __builtin_trap();
        }
    }
    SplitNameAddress(text);
    FormatAddressForList(text, text);
    return 0;
}
