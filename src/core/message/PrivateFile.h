#pragma once
// Files the message layer writes (attachments, decoded files, the work
// files of the encoders, exports) hold mail, so only their owner may read
// them: every one is created with mode 0600, whatever the umask.

#include <cstdio>
#include <filesystem>

namespace corvina {

enum class PrivateOpen {
    kCreateNew,  // fails when the name exists (never follows or replaces it)
    kTruncate,   // created or emptied
    kAppend,     // created or appended to
};

// Opens `path` for binary writing with mode 0600; an existing file that is
// reused gets that mode too. nullptr on failure (errno tells why).
std::FILE* OpenPrivateFile(const std::filesystem::path& path, PrivateOpen how);

// Creates or empties `path` as a 0600 file and closes it, so that a stream
// opened on it afterwards writes into a private file. False on failure.
bool CreatePrivateFile(const std::filesystem::path& path);

}  // namespace corvina
