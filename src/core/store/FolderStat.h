#pragma once
// Counts and properties of a folder kept in its control file (an INI file
// beside the .mbx: [Mail] Total/UnRead, [Property], [Tree], [Settings]).

#include <cstddef>
#include <string>
#include <string_view>

namespace corvina {

class MailFolder;

// Longest property value read from a control file.
inline constexpr std::size_t kMaxFolderPropertyLength = 1024;

// Integer read with a default (missing file or key gives the default).
int ReadFolderStat(const MailFolder& folder, std::string_view section, std::string_view key,
                   int defaultValue);
// Writes the number as decimal text; false when the file cannot be written.
bool WriteFolderStat(const MailFolder& folder, std::string_view section, std::string_view key,
                     int value);

// String read, cut at kMaxFolderPropertyLength bytes.
std::string ReadFolderProperty(const MailFolder& folder, std::string_view section,
                               std::string_view key, std::string_view defaultValue = {});
bool WriteFolderProperty(const MailFolder& folder, std::string_view section, std::string_view key,
                         std::string_view value);

// Writes [Mail] Total and UnRead together (one rewrite of the file).
bool WriteFolderCounts(const MailFolder& folder, int total, int unread);

}  // namespace corvina
