#pragma once
// The display order of a folder's messages: newest first, or threaded by
// parent references (and, until the first message that carries one, by
// reply subjects). Built in near-linear time so that folders of a hundred
// thousand messages open at once.

#include <memory>
#include <string_view>
#include <vector>

namespace corvina {

class MailMessage;

// One row of the display order: a message's index in file order and its
// thread depth (0 = top level).
struct ThreadEntry {
    int index = 0;
    int depth = 0;
    bool operator==(const ThreadEntry&) const = default;
};

// The subject after one leading blank and a leading list tag ("[ml:123]"
// and the blanks after it) are removed.
std::string_view StripListTag(std::string_view subject);

// The subject without its list tag and its reply prefixes ("Re:", "RE[2]:",
// "Re^3:" and chains of them); `isReply` (if given) tells whether at least
// one prefix was removed. A word such as "Reply" is not a prefix.
std::string_view BaseSubject(std::string_view subject, bool* isReply = nullptr);
bool IsReplySubject(std::string_view subject);

// From the last message of the file to the first, all at depth 0.
std::vector<ThreadEntry> NewestFirstOrder(int count);

// The threaded order of `messages` (file order).
std::vector<ThreadEntry> ThreadedOrder(const std::vector<std::unique_ptr<MailMessage>>& messages);

}  // namespace corvina
