#pragma once
// What the address book model needs from the window that shows it, the
// terminal front end or a test: a yes/no question and a notice.

#include <string_view>

namespace corvina {

class AddressBookHost {
public:
    virtual ~AddressBookHost() = default;
    // A question with Yes and No (caption "Message from Marlo!"); true = Yes.
    virtual bool AskYesNo(std::string_view text) = 0;
    // A notice with OK; the dialog that caused it stays open.
    virtual void Notify(std::string_view text) = 0;
};

}  // namespace corvina
