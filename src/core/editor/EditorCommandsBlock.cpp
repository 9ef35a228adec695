// Selection, the clipboard and the paste history, the file commands and
// the paragraph commands over the selected lines.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "common/AtomicFile.h"
#include "common/CodePage.h"
#include "editor/EditorCommands.h"
#include "editor/EditorDialogs.h"
#include "editor/EditorHost.h"
#include "editor/EditorOptions.h"
#include "editor/ParagraphCommands.h"
#include "editor/PasteHistory.h"
#include "editor/TextEditor.h"
#include "message/MailMessage.h"

namespace corvina {

namespace {

// A file inserted by "PasteFromFile" larger than this is refused: it is
// not text meant for a message.
constexpr off_t kMaxPastedFile = 64L * 1024 * 1024;

bool WriteAllTo(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// Appends as one O_APPEND write sequence; a failed append is cut back to
// the old end, so the file never keeps half the text.
bool AppendToFile(const std::filesystem::path& path, std::string_view bytes, int& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = errno;
        return false;
    }
    struct stat before {};
    if (::fstat(fd, &before) != 0) {
        error = errno;
        ::close(fd);
        return false;
    }
    bool ok = WriteAllTo(fd, bytes) && ::fsync(fd) == 0;
    if (!ok) {
        error = errno;
        if (::ftruncate(fd, before.st_size) != 0) {
            // The cut failed too; the reason of the write is the one to tell.
        }
    }
    if (::close(fd) != 0 && ok) {
        error = errno;
        ok = false;
    }
    return ok;
}

bool ReadWholeFile(const std::filesystem::path& path, std::string& bytes, int& error) {
    // Non-blocking, so that a named pipe without a writer reads as empty
    // instead of hanging the window.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        error = errno;
        return false;
    }
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0;
    if (ok && S_ISDIR(info.st_mode)) {
        errno = EISDIR;
        ok = false;
    } else if (ok && info.st_size > kMaxPastedFile) {
        errno = EFBIG;
        ok = false;
    }
    char buffer[65536];
    while (ok) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        bytes.append(buffer, static_cast<std::size_t>(got));
        if (static_cast<off_t>(bytes.size()) > kMaxPastedFile) {
            errno = EFBIG;
            ok = false;
        }
    }
    if (!ok) {
        error = errno;
    }
    ::close(fd);
    return ok;
}

}  // namespace

void EditorCommands::SelectBegin() {
    editor_.SelectBegin();
}

// A box being made is cancelled; otherwise a new box starts at the caret.
void EditorCommands::BoxBegin() {
    const bool makingBox = editor_.HasSelection() && editor_.Selection() == SelectionMode::kBox &&
                           editor_.SelectionExtending();
    editor_.ClearSelection();
    if (!makingBox) {
        editor_.StartBoxSelection();
    }
}

void EditorCommands::BoxPaste() {
    editor_.BoxPaste();
}

void EditorCommands::EditPaste() {
    editor_.Paste();
}

void EditorCommands::EditCopy() {
    editor_.Copy();
}

void EditorCommands::EditCut() {
    editor_.Cut();
}

void EditorCommands::SelectAll() {
    if (editor_.Document() != nullptr) {
        const std::size_t last = editor_.LineCount() - 1;
        editor_.SelectRange({0, 0}, {last, editor_.LineView(last).size()});
    }
}

void EditorCommands::FlushBuf() {
    PasteHistory::Shared().FlushNewest();
}

void EditorCommands::SelectClipBd() {
    const std::vector<std::string> entries = PasteHistory::Shared().Entries();
    if (entries.empty()) {
        host_.Beep();
        return;
    }
    const PasteHistoryChoice choice = dialogs_.AskPasteHistory(entries);
    if (choice.action == PasteHistoryChoice::Action::kPaste) {
        editor_.InsertText(choice.text);
    } else if (choice.action == PasteHistoryChoice::Action::kCopy) {
        host_.SetClipboardText(editor_.TextCodePage().ToUtf8(choice.text));
    }
}

// --- files

bool EditorCommands::AskPath(FileDialogKind kind, std::filesystem::path& path) {
    return editor_.Document() != nullptr && dialogs_.AskFileName(kind, path) && !path.empty();
}

void EditorCommands::ReportFileError(std::string_view verb, const std::filesystem::path& path,
                                     int error) {
    std::string text = "Could not " + std::string(verb) + " \"" + path.string() + "\": ";
    text += error != 0 ? std::strerror(error) : "unknown error";
    text += ". Nothing was changed; check the file name and its folder and try again.";
    dialogs_.ShowError(text);
}

// "CopyToFile" replaces the file whole; "AppendFile" adds to its end.
void EditorCommands::WriteSelection(bool append) {
    if (!editor_.HasSelection()) {
        host_.Beep();
        return;
    }
    std::filesystem::path path;
    if (!AskPath(append ? FileDialogKind::kAppendToFile : FileDialogKind::kCopyToFile, path)) {
        return;
    }
    const std::string text = editor_.SelectedText();
    int error = 0;
    const bool done = append ? AppendToFile(path, text, error)
                             : WriteFileAtomically(path, text, kKeepFileMode, &error);
    if (!done) {
        ReportFileError(append ? "append to" : "write", path, error);
    }
}

void EditorCommands::CopyToFile() {
    WriteSelection(false);
}

void EditorCommands::AppendFile() {
    WriteSelection(true);
}

// The file's bytes are text of the working code page; its line ends (LF,
// CR LF or CR) split lines.
void EditorCommands::PasteFromFile() {
    std::filesystem::path path;
    if (!Editable() || !AskPath(FileDialogKind::kPasteFromFile, path)) {
        return;
    }
    std::string bytes;
    int error = 0;
    if (!ReadWholeFile(path, bytes, error)) {
        ReportFileError("read", path, error);
        return;
    }
    if (!bytes.empty()) {
        editor_.InsertText(bytes);
    }
}

void EditorCommands::SaveFile() {
    std::filesystem::path path;
    if (!AskPath(FileDialogKind::kSaveAs, path)) {
        return;
    }
    int error = 0;
    if (!WriteFileAtomically(path, editor_.Text(), kKeepFileMode, &error)) {
        ReportFileError("save", path, error);
    }
}

// --- paragraph commands

EditorCommands::LineRange EditorCommands::SelectedLines() {
    if (!editor_.HasSelection()) {
        return {editor_.CaretLine(), 1, false};
    }
    std::size_t first = editor_.SelectionFirstLine();
    std::size_t last = editor_.SelectionLastLine();
    bool endsAtLineStart = false;
    if (editor_.Selection() != SelectionMode::kBox) {
        const auto [from, to] = editor_.SelectedRange();
        first = from.line;
        last = to.line;
        if (to.offset == 0 && to.line > from.line) {
            --last;
            endsAtLineStart = true;
        }
    }
    return {first, last - first + 1, endsAtLineStart};
}

// Marks and the message layer's bit stay with their lines. When lines move
// (a sort), a line is found again by its text; a paragraph the automatic
// split made keeps its continued bits only while it moves as a whole, and
// whether the last line goes on after the range stays as it was.
void EditorCommands::ChangeSelectedLines(
    const std::function<std::vector<std::string>(const std::vector<std::string>&)>& change,
    bool linesMove, bool paragraphsKept) {
    if (!Editable()) {
        return;
    }
    const LineRange range = SelectedLines();
    const MailMessage& document = *editor_.Document();
    std::vector<std::string> lines;
    std::vector<std::uint8_t> oldFlags;
    for (std::size_t k = 0; k < range.count; ++k) {
        lines.emplace_back(editor_.LineView(range.first + k));
        oldFlags.push_back(document.bodyLines[range.first + k].lineFlags);
    }
    const std::vector<std::string> changed = change(lines);
    if (changed == lines || changed.empty()) {
        return;
    }
    std::vector<std::uint8_t> flags(changed.size(), 0);
    std::vector<bool> taken(lines.size(), false);
    for (std::size_t k = 0; k < changed.size(); ++k) {
        std::size_t from = k;
        if (linesMove) {
            for (from = 0; from < lines.size() && (taken[from] || lines[from] != changed[k]);
                 ++from) {
            }
        }
        if (from < lines.size()) {
            taken[from] = true;
            flags[k] = oldFlags[from];
            if ((linesMove && !paragraphsKept) || from + 1 == lines.size()) {
                flags[k] &= static_cast<std::uint8_t>(~kLineContinued);
            }
        }
        flags[k] &= static_cast<std::uint8_t>(~kLineChanged);
    }
    flags.back() = static_cast<std::uint8_t>((flags.back() & ~kLineContinued) |
                                             (oldFlags.back() & kLineContinued));
    if (!editor_.ReplaceLinesWithFlags(range.first, range.count, changed, flags,
                                       {range.first, 0})) {
        return;
    }
    const std::size_t last = range.first + changed.size() - 1;
    editor_.SelectRange({range.first, 0}, range.endsAtLineStart
                                              ? TextPlace{last + 1, 0}
                                              : TextPlace{last, editor_.LineView(last).size()});
}

void EditorCommands::Indent() {
    ChangeSelectedLines([this](const std::vector<std::string>& lines) {
        return IndentLines(lines, options_.softTab, editor_.TabWidth());
    });
}

void EditorCommands::BackInd() {
    ChangeSelectedLines([this](const std::vector<std::string>& lines) {
        return UnindentLines(lines, editor_.TabWidth());
    });
}

void EditorCommands::EditLeft() {
    ChangeSelectedLines([this](const std::vector<std::string>& lines) {
        return AlignLines(lines, LineAlignment::kLeft, editor_.WrapWidth(), editor_.TextCodePage(),
                          editor_.TabWidth());
    });
}

void EditorCommands::EditRight() {
    ChangeSelectedLines([this](const std::vector<std::string>& lines) {
        return AlignLines(lines, LineAlignment::kRight, editor_.WrapWidth(), editor_.TextCodePage(),
                          editor_.TabWidth());
    });
}

void EditorCommands::EditCenter() {
    ChangeSelectedLines([this](const std::vector<std::string>& lines) {
        return AlignLines(lines, LineAlignment::kCenter, editor_.WrapWidth(),
                          editor_.TextCodePage(), editor_.TabWidth());
    });
}

void EditorCommands::EditSort() {
    SortChoice choice;
    if (!Editable() || !dialogs_.AskSort(choice)) {
        return;
    }
    const LineRange range = SelectedLines();
    std::vector<bool> continued;
    for (std::size_t k = 0; k + 1 < range.count; ++k) {
        continued.push_back(
            (editor_.Document()->bodyLines[range.first + k].lineFlags & kLineContinued) != 0);
    }
    ChangeSelectedLines(
        [&](const std::vector<std::string>& lines) {
            return SortLines(lines, continued, choice, editor_.TextCodePage());
        },
        true, !choice.sortLines);
}

void EditorCommands::EditConvert() {
    ConvertChoice choice;
    if (!Editable() || !dialogs_.AskConvert(choice)) {
        return;
    }
    ChangeSelectedLines([&](const std::vector<std::string>& lines) {
        return ConvertLines(lines, choice, editor_.TextCodePage(), editor_.TabWidth());
    });
}

void EditorCommands::AddString() {
    AddStringChoice choice;
    if (!Editable() || !dialogs_.AskAddString(choice)) {
        return;
    }
    ChangeSelectedLines(
        [&](const std::vector<std::string>& lines) { return AddStringToLines(lines, choice); });
}

}  // namespace corvina
