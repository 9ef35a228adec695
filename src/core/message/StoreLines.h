#pragma once
// Leaving the store's own header lines out of text that comes from outside.
// The client trusts them in its own mailbox files (they link local files to
// a message and say it needs no decoding), so every path that takes mail
// from outside drops them here; which lines they are is the stored form's
// table (message/StoredForm.h).

#include <string>
#include <string_view>

namespace corvina {

// Whether a header line is one of the store's own (letter case ignored).
bool IsStoreLine(std::string_view line);

// Follows the lines of one message and tells which ones to leave out: the
// store lines of its header together with their continuation lines. The
// header ends at the first empty line; the body is never touched.
class StoreLineFilter {
public:
    // The next line is the first of a new message.
    void Reset() {
        inHeader_ = true;
        dropping_ = false;
    }
    // True when `line` (with or without its line end) is to be left out.
    bool Drops(std::string_view line);
    bool InHeader() const { return inHeader_; }

private:
    bool inHeader_ = true;
    bool dropping_ = false;
};

}  // namespace corvina
