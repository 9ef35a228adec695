#pragma once
// What the attachment pane does with the selected attachment of a message:
// open it by its type's action, save a copy, run a chosen program on it,
// show its folder, or release the links (deleting files on request), which
// changes the stored message. The window only lists the entries and calls
// these; questions and file choices go through the prompt, the desktop's
// services through the host.

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace corvina {

class MailMessage;
class MimeTypeTable;
class UserPrompt;
struct AttachmentEntry;

inline constexpr std::string_view kReleaseLinksQuestion =
    "Do you want to release the link to the attachment files?";
// Asked before the desktop opens a file that could run code; the path
// follows in parentheses on the next line.
inline constexpr std::string_view kRunsProgramQuestion =
    "This file can run a program on your computer. Open it only if you trust its sender. Open "
    "it anyway?";

// The desktop's services for an attachment file, and the hand-over of an
// enclosed message to the main window.
class AttachmentHost {
public:
    virtual ~AttachmentHost() = default;

    // The desktop's default action for the file (never executes it).
    virtual bool OpenWithDefaultAction(const std::filesystem::path& file) = 0;
    // Runs `program` with the file path as its one argument.
    virtual bool RunProgram(const std::filesystem::path& program,
                            const std::filesystem::path& file) = 0;
    virtual bool ExploreFolder(const std::filesystem::path& directory) = 0;
    // Hands a complete message text (ending in ".\n") to the main window,
    // which adds it to the folder shown in the message list on its own
    // thread (DeliverToShownFolder, store/Mailbox.h).
    virtual void AddMessageToShownFolder(std::string text) = 0;
};

// Where the save dialog starts and what it remembers (AttachSaveDir).
struct AttachmentPaneState {
    std::filesystem::path attachSaveDir;
};

enum class OpenOutcome { Launched, Opened, AddedMessage, Saved, Cancelled, Failed };

// Whether handing the file to the desktop could run code rather than show
// it: a program or script by its extension or its MIME subtype, a file
// with an executable bit, or one that starts like a program (ELF, "#!",
// a DOS/Windows executable). Unreadable files count by name and type only.
bool OpensAsProgram(const std::filesystem::path& file, std::string_view type,
                    std::string_view subtype);

// "&Default Action": the desktop opens the file, after an OK to the
// question above when it could run code (Cancel: nothing is opened).
OpenOutcome OpenByDefaultAction(const AttachmentEntry& entry, AttachmentHost& host,
                                UserPrompt& prompt);

// Double-click: Launch runs the row's application, Save asks where to
// save, otherwise a message/rfc822 file is handed to the main window and
// any other file opened by the desktop (OpenByDefaultAction); a failed
// launch or open falls back to saving.
OpenOutcome OpenAttachment(const AttachmentEntry& entry, const MimeTypeTable& types,
                           AttachmentHost& host, UserPrompt& prompt, AttachmentPaneState& state);

// "&Save As...": a save dialog ("All Files", "*.*") in the remembered
// directory; copies the file to the chosen target and remembers its
// directory. False on cancel or a failed copy.
bool SaveAttachmentAs(const AttachmentEntry& entry, UserPrompt& prompt, AttachmentPaneState& state);

// "&Launch Application...": the program is chosen by the user.
bool LaunchAttachmentWith(const AttachmentEntry& entry, AttachmentHost& host, UserPrompt& prompt);

// "&Explore the Folder...".
bool ExploreAttachmentFolder(const AttachmentEntry& entry, AttachmentHost& host);

// The question before a linked file is deleted: "Do you want to delete the
// file?" with the path in parentheses on the next line.
std::string DeleteFileQuestion(const std::filesystem::path& file);

// Delete key: after the release question (OK/Cancel), asks for each
// selected entry whose file lies in `attachmentDirectory` whether to delete
// the file (Yes/No, No preset), and removes the entries from the message
// (marked changed). False when the user cancelled.
bool ReleaseAttachments(MailMessage& message, std::vector<std::size_t> selected,
                        const std::filesystem::path& attachmentDirectory, UserPrompt& prompt);

}  // namespace corvina
