// Writing messages: the header block, rewriting a folder file safely, and
// appending to one.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "common/AtomicFile.h"
#include "common/BufferedFile.h"
#include "common/MappedFile.h"
#include "message/AttachmentLink.h"
#include "message/MailMessage.h"
#include "message/StoredForm.h"
#include "store/FolderFileCheck.h"
#include "store/FolderLock.h"
#include "store/FolderNames.h"
#include "store/FolderStat.h"
#include "store/MailFolder.h"
#include "store/MailStore.h"
#include "store/Mailbox.h"
#include "store/MailboxParser.h"

namespace corvina {

namespace {

// The header block and the empty line after it, with LF line ends (the
// file layer adds the CRs).
void FormatHeader(const MailMessage& m, const std::filesystem::path& mailboxDir, std::string& out) {
    AppendStoredHeader(m, mailboxDir, out);
    out.push_back('\n');
}

// The whole message in the mailbox format with LF line ends.
std::string FormatMessage(const MailMessage& m, const std::filesystem::path& mailboxDir) {
    std::string out;
    std::size_t bodyBytes = 0;
    for (const MessageLine& line : m.bodyLines) {
        bodyBytes += line.Length() + 1;
    }
    out.reserve(512 + bodyBytes);
    FormatHeader(m, mailboxDir, out);
    if (m.bodyLines.empty()) {
        out.push_back('\n');
    }
    for (const MessageLine& line : m.bodyLines) {
        if (line.Length() == 2 && line.Text()[0] == '.') {
            out.append("..\n");
        } else {
            out.append(line.Text());
        }
    }
    out.append(".\n");
    return out;
}

// The body of the message at `offset`, up to and including its terminator
// line, when reading it and writing it back would give the same bytes
// (every line ends in CR LF, none is split, at least one line): a rewrite
// then copies it instead of rebuilding it line by line.
bool FindVerbatimBody(std::string_view file, std::int64_t offset, std::string_view& body) {
    if (offset < 0 || static_cast<std::uint64_t>(offset) > file.size()) {
        return false;
    }
    const char* end = file.data() + file.size();
    MailboxLineReader reader(file.data() + offset, end);
    if (!SkipMessageHeader(reader)) {
        return false;
    }
    const char* begin = reader.Position();
    std::string_view line;
    bool piece = false;
    int lines = 0;
    while (reader.Next(line, piece)) {
        const char* lineEnd = line.data() + line.size();
        if (piece || reader.NextIsPiece() || reader.Position() - lineEnd != 2 || *lineEnd != '\r') {
            return false;
        }
        if (line.size() == 1 && line[0] == '.') {
            if (lines == 0) {
                return false;  // an empty body is written as one empty line
            }
            body = std::string_view(begin, static_cast<std::size_t>(reader.Position() - begin));
            return true;
        }
        ++lines;
    }
    return false;
}

std::string ErrorText(std::string_view what, const std::filesystem::path& path, int err) {
    std::string text(what);
    text += ": ";
    text += path.string();
    if (err != 0) {
        text += " (";
        text += std::strerror(err);
        text += ")";
    }
    return text;
}

void Report(const StoreContext& context, const std::string& text) {
    if (context.store != nullptr) {
        context.store->ReportError(text);
    }
}

// Copies the first `length` bytes of `from` into the open descriptor `to`.
bool CopyPrefix(const std::filesystem::path& from, std::string_view mapped, int to,
                std::int64_t length, int& err) {
    if (length <= 0) {
        return true;
    }
    std::int64_t done = 0;
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in >= 0) {
        // The kernel copies (or shares) the unchanged part without a trip
        // through user space.
        loff_t inPos = 0;
        loff_t outPos = 0;
        while (done < length) {
            const ssize_t n = ::copy_file_range(in, &inPos, to, &outPos,
                                                static_cast<std::size_t>(length - done), 0);
            if (n <= 0) {
                break;
            }
            done += n;
        }
        ::close(in);
    }
    while (done < length) {
        const ssize_t n =
            ::pwrite(to, mapped.data() + done, static_cast<std::size_t>(length - done), done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            err = errno;
            return false;
        }
        done += n;
    }
    return true;
}

bool WriteAt(MailMessage& m, BufferedFile& file, const std::filesystem::path& mailboxDir,
             std::int64_t& position) {
    position = file.Tell();
    if (position < 0) {
        return false;
    }
    const std::string text = FormatMessage(m, mailboxDir);
    return file.Write(text) != BufferedFile::kWriteFailed && !file.Failed();
}

// Puts a message's parts back to "in the file" after a temporary load.
void DropLoadedParts(MailMessage& m, bool hadBody, bool hadHeaders) {
    if (!hadBody && m.bodyLoaded) {
        m.bodyLines.Clear();
        m.bodyLoaded = false;
    }
    if (!hadHeaders && m.otherHeadersLoaded && m.otherHeaderCount > 0) {
        std::vector<std::string>().swap(m.otherHeaders);
        m.otherHeadersLoaded = false;
    }
}

// What to write before a new message at the end of `before` (the bytes in
// front of it) so that it stays a message of its own: nothing after a
// terminator line, otherwise the end of an unfinished last message (a file
// cut short by a crash or by another program), which then keeps its text
// and no longer swallows what follows. LF line ends, as for FormatMessage.
std::string_view ClosingForTail(std::string_view before) {
    if (before.empty()) {
        return {};
    }
    // Drop the line end of the last line, then look for "." on a line of its own.
    std::string_view last = before;
    if (last.size() >= 2 && last.substr(last.size() - 2) == "\r\n") {
        last.remove_suffix(2);
    } else if (last.back() == '\n' || last.back() == '\r') {
        last.remove_suffix(1);
    } else {
        return "\n\n.\n";  // the last line is not even finished
    }
    if (!last.empty() && last.back() == '.' &&
        (last.size() == 1 || last[last.size() - 2] == '\n' || last[last.size() - 2] == '\r')) {
        return {};
    }
    return "\n.\n";
}

// The last few bytes of a file (enough for ClosingForTail).
std::string FileTail(const std::filesystem::path& path, off_t size) {
    std::string tail;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return tail;
    }
    const off_t from = size > 4 ? size - 4 : 0;
    tail.resize(static_cast<std::size_t>(size - from));
    const ssize_t n = ::pread(fd, tail.data(), tail.size(), from);
    tail.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    ::close(fd);
    return tail;
}

}  // namespace

bool AppendToFolderPath(MailMessage& message, const std::filesystem::path& path,
                        const StoreContext& context, std::int64_t* sizeBefore) {
    std::string lockError;
    const std::optional<FolderLock> lock = FolderLock::Acquire(path, &lockError);
    if (!lock) {
        Report(context, LockFailureText(lockError, "the message was not stored", path));
        return false;
    }
    struct stat st {};
    const bool existed = ::stat(path.c_str(), &st) == 0;
    const off_t oldSize = existed ? st.st_size : 0;
    if (sizeBefore != nullptr) {
        *sizeBefore = oldSize;
    }
    if (!existed) {
        // Mail files are private to their owner from the start.
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
        }
    }
    BufferedFile file;
    if (!file.Open(path, BufferedFile::kWrite)) {
        Report(context, ErrorText("The folder file could not be opened", path, errno));
        return false;
    }
    const std::int64_t oldOffset = message.offset;
    const bool oldDirty = message.dirty;
    const std::string tail = existed ? FileTail(path, oldSize) : std::string();
    const std::string_view closing = ClosingForTail(tail);
    bool ok = file.Seek(0, BufferedFile::kSeekEnd) >= 0 &&
              (closing.empty() || file.Write(closing) != BufferedFile::kWriteFailed) &&
              WriteMessage(message, file, context.mailboxDir);
    ok = file.Close() && ok;
    const int err = file.Error();
    if (!ok) {
        // Never leave a partial message at the end of the file.
        if (existed) {
            ::truncate(path.c_str(), oldSize);
        } else {
            ::unlink(path.c_str());
        }
        message.offset = oldOffset;
        message.dirty = oldDirty;
        Report(context, ErrorText("The message could not be stored", path, err));
        return false;
    }
    if (context.store != nullptr) {
        context.store->NoteFileToSync(path);
        if (!existed) {
            context.store->NoteDirectoryToSync(path.parent_path());
        }
    } else if (!FsyncFile(path) || (!existed && !FsyncDirectory(path.parent_path()))) {
        // Nothing batches the syncs: the append is durable now or not at all.
        Report(context, ErrorText("The stored message could not be made durable", path, errno));
        return false;
    }
    return true;
}

bool WriteMessage(MailMessage& message, BufferedFile& file,
                  const std::filesystem::path& mailboxDir) {
    if (!message.bodyLoaded || !message.otherHeadersLoaded) {
        LoadMessageBody(message);
        if (!message.otherHeadersLoaded) {
            return false;  // writing now would drop its header lines
        }
    }
    std::int64_t position = 0;
    if (!WriteAt(message, file, mailboxDir, position)) {
        return false;
    }
    message.offset = position;
    message.dirty = false;
    return true;
}

bool AppendToFolderFile(MailMessage& message, std::string_view folderName,
                        const StoreContext& context) {
    // The file of a folder the tree knows, else the file on disk whose name
    // matches at every level ignoring case; a new file only when none does.
    const std::string name = ResolveFolderName(folderName);
    const MailFolder* folder = FindFolder(context.mailboxDir, name);
    return AppendToFolderPath(
        message, folder != nullptr ? folder->path : FolderFilePath(context.mailboxDir, name),
        context, nullptr);
}

bool SaveFolder(MailFolder& folder, bool keepBodies, const StoreContext& context,
                SaveResult* result) {
    SaveResult ignored;
    SaveResult& outcome = result != nullptr ? *result : ignored;
    if (!folder.modified) {
        if (folder.countAll) {
            folder.unread = folder.total;
        }
        if (folder.total >= 0 && folder.unread >= 0) {
            WriteFolderCounts(folder, folder.total, folder.unread);
        }
        outcome = SaveResult::CountsOnly;
        return false;
    }
    auto& messages = folder.messages;
    const std::size_t count = messages.size();
    std::size_t first = count;
    for (std::size_t i = 0; i < count; ++i) {
        if (messages[i]->dirty) {
            first = i;
            break;
        }
    }
    if (first == count && count > 0) {
        first = count - 1;
    }

    const std::filesystem::path& path = folder.path;
    // One writer per folder file: the check of what changed since the
    // index was read and the rewrite happen under the folder's lock.
    std::string lockError;
    const std::optional<FolderLock> lock = FolderLock::Acquire(path, &lockError);
    if (!lock) {
        outcome = SaveResult::Failed;
        Report(context, LockFailureText(lockError, "it was not saved", path));
        return false;
    }
    struct stat st {};
    const bool existed = ::stat(path.c_str(), &st) == 0;
    MappedFile old;
    if (existed && !old.Open(path)) {
        outcome = SaveResult::Failed;
        Report(context, ErrorText("The folder file could not be read", path, errno));
        return false;
    }
    const std::int64_t oldSize = existed ? static_cast<std::int64_t>(old.Size()) : 0;
    const FolderFileChange change = CheckFolderFile(folder, old.View(), existed ? &st : nullptr);
    if (change == FolderFileChange::Changed) {
        outcome = SaveResult::Failed;
        Report(context,
               FolderChangedError(folder, context,
                                  "it was not saved. Open it again and repeat the change."));
        return false;
    }
    // The index covers the file up to knownEnd. What lies after it (another
    // writer's appends, an unfinished or foreign tail) was never parsed: it
    // is kept, byte for byte, after the rewritten part.
    const FolderFileIdentity& identity = folder.fileIdentity;
    const std::int64_t knownEnd = !identity.known    ? oldSize
                                  : identity.existed ? std::min(identity.knownEnd, oldSize)
                                                     : 0;
    const std::string_view tail = change == FolderFileChange::Grew
                                      ? old.View().substr(static_cast<std::size_t>(knownEnd))
                                      : std::string_view();
    // The rewrite starts where the first message it writes again lies in
    // the file; a new message (no offset) may come before messages that are
    // in the file already (indexed after it was added), which are rewritten
    // after it.
    std::int64_t start = 0;
    if (first > 0) {
        start = knownEnd;
        for (std::size_t i = first; i < count; ++i) {
            if (messages[i]->offset >= 0) {
                start = std::min(start, messages[i]->offset);
            }
        }
    }

    // The new contents go to a file beside the old one; the old file stays
    // as it is until the new one is complete and on disk.
    const std::filesystem::path temp = path.string() + ".saving";
    const mode_t mode = existed ? (st.st_mode & 07777) : 0600;
    int err = 0;
    const int fd =
        ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, mode);
    if (fd < 0) {
        outcome = SaveResult::Failed;
        Report(context, ErrorText("The folder file could not be written", path, errno));
        return false;
    }
    if (existed) {
        ::fchmod(fd, mode);
    }
    bool ok = CopyPrefix(path, old.View(), fd, start, err);
    if (::close(fd) != 0 && ok) {
        err = errno;
        ok = false;
    }

    const MailStore* store = context.store;
    const auto keepLoaded = [store](const MailMessage& m) {
        return store != nullptr && store->KeepsBodyLoaded(m);
    };
    std::vector<std::int64_t> newOffsets;
    newOffsets.reserve(count - std::min(first, count));
    BufferedFile out;
    if (ok) {
        ok = out.Open(temp, BufferedFile::kWrite) &&
             out.Seek(start, BufferedFile::kSeekSet) == start;
    }
    if (ok && first < count) {
        const std::string_view closing =
            ClosingForTail(old.View().substr(0, static_cast<std::size_t>(start)));
        ok = closing.empty() || out.Write(closing) != BufferedFile::kWriteFailed;
    }
    for (std::size_t i = first; ok && i < count; ++i) {
        MailMessage& m = *messages[i];
        const bool hadBody = m.bodyLoaded;
        const bool hadHeaders = m.otherHeadersLoaded;
        std::string_view verbatim;
        if (!keepBodies && !hadBody && !keepLoaded(m) &&
            FindVerbatimBody(old.View(), m.offset, verbatim)) {
            // Only the header block is rebuilt; the body is copied as it is.
            if (!hadHeaders && !LoadMessagePartsFrom(old.View(), m, true, false)) {
                ok = false;
                break;
            }
            std::string header;
            FormatHeader(m, context.mailboxDir, header);
            const std::int64_t position = out.Tell();
            ok = position >= 0 && out.Write(header) != BufferedFile::kWriteFailed;
            out.SetNoCr(true);  // the copied lines carry their CR LF already
            ok = ok && out.Write(verbatim) != BufferedFile::kWriteFailed && !out.Failed();
            out.SetNoCr(false);
            newOffsets.push_back(position);
            DropLoadedParts(m, true, hadHeaders);
            continue;
        }
        if (!hadBody || !hadHeaders) {
            if (m.offset >= 0) {
                if (!LoadMessagePartsFrom(old.View(), m, true, true)) {
                    ok = false;  // its text is not where the index says
                    break;
                }
            } else {
                m.bodyLoaded = true;  // a new message: what it holds is its body
            }
        }
        std::int64_t position = 0;
        ok = WriteAt(m, out, context.mailboxDir, position);
        newOffsets.push_back(position);
        if (!keepBodies && !keepLoaded(m) && m.offset >= 0) {
            DropLoadedParts(m, hadBody, hadHeaders);
        }
    }
    const std::int64_t rewrittenEnd = ok ? out.Tell() : -1;
    if (ok && !tail.empty()) {
        out.SetNoCr(true);  // copied as it is
        ok = out.Write(tail) != BufferedFile::kWriteFailed && !out.Failed();
        out.SetNoCr(false);
    }
    if (ok) {
        ok = out.Sync();
    }
    ok = out.Close() && ok;
    if (err == 0) {
        err = out.Error();
    }
    if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
        err = errno;
        ok = false;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        outcome = SaveResult::Failed;
        Report(context, ErrorText("The folder file could not be written", path, err));
        return false;
    }
    FsyncDirectory(path.parent_path());
    RecordFolderFileOnDisk(folder, rewrittenEnd);

    for (std::size_t i = first; i < count; ++i) {
        messages[i]->offset = newOffsets[i - first];
        messages[i]->dirty = false;
    }
    if (!keepBodies) {
        for (auto& m : messages) {
            if (!keepLoaded(*m)) {
                ReleaseMessageBody(*m);
            }
        }
    }
    folder.total = static_cast<int>(count);
    folder.unread = folder.UnreadInIndex();
    folder.modified = false;
    WriteFolderCounts(folder, folder.total, folder.unread);
    outcome = SaveResult::Written;
    return true;
}

}  // namespace corvina
