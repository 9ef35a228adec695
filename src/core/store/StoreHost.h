#pragma once
// What the store needs from whoever drives it: the main window, the
// terminal front end or a test. Every call comes on the thread that owns
// the folder files.

#include <string_view>

#include "common/UserPrompt.h"

namespace corvina {

class MailFolder;
class MailMessage;

class StoreHost {
public:
    virtual ~StoreHost() = default;

    // A question or warning in a box with the given caption (normally
    // "Message from Marlo!").
    virtual ConfirmAnswer Confirm(std::string_view text, std::string_view caption,
                                  ConfirmButtons buttons) = 0;

    // A storage failure the user must hear about (a mailbox could not be
    // written, a message could not be stored).
    virtual void ReportError(std::string_view text) {}

    // Called every 100 messages of a long load: let the interface process
    // pending input and idle updates.
    virtual void ProcessPendingInput() {}

    // The folder the message list shows, or nullptr.
    virtual MailFolder* ShownFolder() { return nullptr; }
    // The message shown in the viewer, or nullptr; SaveFolder keeps its body.
    virtual const MailMessage* ViewedMessage() { return nullptr; }

    // A message was stored into `folder`. If the folder is shown, the list
    // adds it (or refreshes once the window is restored if minimized); the
    // folder's tree item updates its bold state and counts.
    virtual void MessageDelivered(MailFolder& folder, MailMessage& message) {}
    // The folder's index was read again from its file because another
    // program replaced it: a list showing the folder must refill (the old
    // message records are gone).
    virtual void FolderReloaded(MailFolder& folder) {}
    // Delivery into a nested folder: expand its parent item in the tree.
    virtual void ExpandParentOf(MailFolder& folder) {}
};

}  // namespace corvina
