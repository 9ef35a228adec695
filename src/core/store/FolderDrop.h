#pragma once
// A message dropped onto a folder of the tree (window message WM_USER+1004
// with the raw text): the raw text is parsed into a MailMessage and this
// decides what happens to it.

#include <memory>
#include <string_view>

namespace corvina {

class FolderTree;
class MailFolder;
class MailMessage;
struct ParseOptions;

inline constexpr int kMsgDropMessage = 1004;  // WM_USER + 1004
inline constexpr int kNotYoursStringId = 61454;

enum class DropDecision {
    Add,       // AddMessage to the target
    NotYours,  // count-all target, sender is not the profile's address
    Compose,   // count-all target, no To: open it in a compose window
    NoTarget,  // an account root or no folder at all
};

// Count-all folders (OutBox, Sent, Draft, Reminder) take only the user's own
// messages, and only finished ones.
DropDecision DecideDrop(const MailFolder& target, const MailMessage& message,
                        std::string_view profileAddress);

// Carries out the decision: adds the message, warns with string 61454, or
// opens it in a compose window through the host. Returns the decision.
DropDecision DropMessageOnFolder(FolderTree& tree, MailFolder& target,
                                 std::unique_ptr<MailMessage> message,
                                 std::string_view profileAddress);

// The raw text of message 1004, parsed with `options` (mail from outside:
// the caller leaves the store's own lines untrusted), then dropped as
// above. An empty text drops nothing (NoTarget).
DropDecision DropRawMessageOnFolder(FolderTree& tree, MailFolder& target, std::string_view raw,
                                    const ParseOptions& options, std::string_view profileAddress);

}  // namespace corvina
