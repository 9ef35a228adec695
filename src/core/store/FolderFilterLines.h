#pragma once
// The lines of Filter.DEF as folder operations see them: four tab-separated
// fields (header, find text, folder name, flags). A folder rename rewrites
// the folder field of the rules that point to the folder or below it.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace corvina {

// The fields of one rule line taken as tokens: runs of bytes between tabs,
// CR or LF (empty runs are no tokens).
std::vector<std::string_view> SplitFilterLine(std::string_view line);

// Rewrites every rule whose folder field is `oldName` or lies below it
// (ignoring case) so that it names `newName` with the same remainder; such a
// line is written back as header, tab, find, tab, folder, tab, flags, CR LF.
// Every other line stays byte for byte. `changed` counts rewritten lines.
std::string RewriteFilterFolders(std::string_view fileText, std::string_view oldName,
                                 std::string_view newName, int* changed = nullptr);

// The same on the file itself (written beside and renamed over). A missing
// file is no error; false only when a needed rewrite could not be written.
bool RewriteFilterFile(const std::filesystem::path& filterDef, std::string_view oldName,
                       std::string_view newName, int* changed = nullptr);

}  // namespace corvina
