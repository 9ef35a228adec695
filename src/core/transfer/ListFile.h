#pragma once
// The one-entry-per-line files of the mailbox directory ("UIDL.DAT",
// "MsgId.DAT"): read whole, rewritten whole.

#include <filesystem>
#include <string>
#include <vector>

namespace corvina {

inline constexpr const char* kUidlFile = "UIDL.DAT";
inline constexpr const char* kMessageIdFile = "MsgId.DAT";

// The lines without their ends (CR LF or LF); empty when the file is
// missing. Empty lines are skipped.
std::vector<std::string> ReadListFile(const std::filesystem::path& path);

// Replaces the file with the entries, each ended by CR LF, so that a crash
// leaves the old or the new list, never a mix.
bool WriteListFile(const std::filesystem::path& path, const std::vector<std::string>& entries);

}  // namespace corvina
