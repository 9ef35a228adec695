#pragma once
// What the attachment pane does with the selected attachment of a message:
// open it by its type's action, save a copy, run a chosen program on it,
// show its folder, or release the links (deleting files on request). The
// window only lists the entries and calls these; the questions and the
// desktop services go through the host.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvina {

class MailMessage;
class MimeTypeTable;
struct AttachmentEntry;

inline constexpr std::string_view kReleaseLinksQuestion =
    "Do you want to release the link to the attachment files?";
inline constexpr std::string_view kDeleteFileQuestion = "Do you want to delete the file?";

class AttachmentHost {
public:
    virtual ~AttachmentHost() = default;

    // The desktop's default action for the file (never executes it).
    virtual bool OpenWithDefaultAction(const std::filesystem::path& file) = 0;
    // Runs `program` with the file path as its one argument.
    virtual bool RunProgram(const std::filesystem::path& program,
                            const std::filesystem::path& file) = 0;
    // A save dialog with the filter "All Files" / "*.*"; nullopt on cancel.
    virtual std::optional<std::filesystem::path> AskSaveTarget(
        std::string_view suggestedName, const std::filesystem::path& startDirectory) = 0;
    // A program choice; nullopt on cancel.
    virtual std::optional<std::filesystem::path> AskProgram() = 0;
    virtual bool ExploreFolder(const std::filesystem::path& directory) = 0;
    // OK/Cancel and Yes/No questions; true for OK / Yes.
    virtual bool ConfirmOkCancel(std::string_view text) = 0;
    virtual bool AskYesNo(std::string_view text) = 0;
    // Hands a complete message text (ending in ".\n") to the main window,
    // which parses it and adds it to the folder shown in the message list.
    virtual void AddMessageToShownFolder(std::string text) = 0;
};

// Where the save dialog starts and what it remembers (AttachSaveDir).
struct AttachmentPaneState {
    std::filesystem::path attachSaveDir;
};

enum class OpenOutcome { Launched, Opened, AddedMessage, Saved, Cancelled, Failed };

// Double-click: Launch runs the row's application, Save asks where to
// save, otherwise a message/rfc822 file is handed to the main window and
// any other file opened by the desktop; a failed launch or open falls back
// to saving.
OpenOutcome OpenAttachment(const AttachmentEntry& entry, const MimeTypeTable& types,
                           AttachmentHost& host, AttachmentPaneState& state);

// "&Save As...": copies the file to the chosen target and remembers its
// directory. False on cancel or a failed copy.
bool SaveAttachmentAs(const AttachmentEntry& entry, AttachmentHost& host,
                      AttachmentPaneState& state);

// "&Launch Application...".
bool LaunchAttachmentWith(const AttachmentEntry& entry, AttachmentHost& host);

// "&Explore the Folder...".
bool ExploreAttachmentFolder(const AttachmentEntry& entry, AttachmentHost& host);

// Delete key: after the release question, asks for each selected entry
// whose file lies in `attachmentDirectory` whether to delete the file, and
// removes the entries from the message (marked changed). False when the
// user cancelled.
bool ReleaseAttachments(MailMessage& message, std::vector<std::size_t> selected,
                        const std::filesystem::path& attachmentDirectory, AttachmentHost& host);

// The text of a message/rfc822 file as the main window's hand-over takes
// it: line ends made LF, the store's own header lines left out, lines
// starting with "." stuffed, ".\n" appended.
// nullopt when the file cannot be read.
std::optional<std::string> EnclosedMessageText(const std::filesystem::path& file);

}  // namespace corvina
