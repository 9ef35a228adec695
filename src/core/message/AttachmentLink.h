#pragma once
// The value of a stored attachment link, the part of the stored form
// (message/StoredForm.h) that names a file.
//
// Stored form: a file inside the mailbox directory's "Attach" directory is
// written relative to it, any other file as its full path. Links written on
// a Windows system use "\" between names; a drive path ("C:\...") or a
// rooted one ("\...") names a disk that is not here.

#include <filesystem>
#include <string>
#include <string_view>

namespace corvina {

class CodePage;

// The file a link names. A value beginning with "/" is a path of this
// system. A relative value lies inside mailboxDirectory / "Attach", its "\"
// read as "/" (never the second byte of a double-byte character of `cp`).
// A drive or rooted Windows path is kept whole as one name inside that
// directory: it never resolves against the process's working directory,
// and it is written back exactly as it was read.
std::filesystem::path AttachmentLinkPath(std::string_view value,
                                         const std::filesystem::path& mailboxDirectory,
                                         const CodePage& cp);
std::filesystem::path AttachmentLinkPath(std::string_view value,
                                         const std::filesystem::path& mailboxDirectory);

// The stored value of a link: relative to mailboxDirectory / "Attach" when
// the path lies inside it (compared byte for byte, as the file system
// does), the whole path otherwise.
std::string AttachmentLinkValue(const std::filesystem::path& path,
                                const std::filesystem::path& mailboxDirectory);

}  // namespace corvina
