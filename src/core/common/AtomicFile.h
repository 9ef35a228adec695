#pragma once
// Replacing a file so that a crash leaves either the old or the new
// contents: a temporary file in the same directory, written, fsynced,
// renamed over the target, and the directory fsynced.

#include <filesystem>
#include <string_view>

namespace corvina {

// Mode argument meaning "the existing file's mode, else 0600": every file
// this program writes holds private mail data or settings.
constexpr int kKeepFileMode = -1;

// Writes bytes as the new contents of path. mode >= 0 sets the file mode
// exactly (e.g. 0600). A symbolic link is followed: its target is
// replaced. False (the old file untouched, no temp file left) when the
// new contents could not be written; false too when only the final
// directory sync failed (the new contents are then in place). On failure
// `err` (when given) receives the errno.
bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                         int mode = kKeepFileMode, int* err = nullptr);

// Replaces `to` with a copy of `from` the same way: the copy is written
// beside `to`, synced and renamed over it, so a failed copy (a full disk)
// never leaves `to` shorter or empty; the old `to` stays. mode as above
// (kKeepFileMode: that of the existing `to`, else 0600). On failure `err`
// (when given) receives the errno.
bool CopyFileAtomically(const std::filesystem::path& from, const std::filesystem::path& to,
                        int mode = kKeepFileMode, int* err = nullptr);

// fsyncs the directory (so a rename or create in it is durable).
bool FsyncDirectory(const std::filesystem::path& directory);
// fsyncs an existing file by path.
bool FsyncFile(const std::filesystem::path& path);

}  // namespace corvina
