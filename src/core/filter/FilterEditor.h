#pragma once
// The rule list of the "Filter" dialog as a model: the dialog shows Lines()
// one per list line, passes the input fields to Add/Insert/Replace, and
// beeps when an operation answers false.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace corvina {

class FilterEditor {
public:
    // Reads Filter.DEF for editing (a missing file gives an empty list).
    void Load(const std::filesystem::path& filterDef);
    void SetLines(std::vector<std::string> lines);

    const std::vector<std::string>& Lines() const { return lines_; }
    // Index of the selected line, -1 for none.
    int Selected() const { return selected_; }
    void Select(int index);

    // The rule line for the input fields: header, tab, find, tab, folder
    // name, tab, "I" or nothing. `folderPath` is the .mbx of the folder
    // chosen in the tree (empty for the account root). Empty when the header
    // or the find text is empty or no real folder is chosen.
    static std::string ComposeLine(std::string_view header, std::string_view find,
                                   const std::filesystem::path& mailboxDir,
                                   const std::filesystem::path& folderPath, bool noCase);

    // Each returns false (and changes nothing) when the line is empty or,
    // for those that need one, nothing is selected.
    bool Add(const std::string& line);     // appends and selects it
    bool Insert(const std::string& line);  // before the selection (at the end without one)
    bool Replace(const std::string& line);
    bool Delete();  // selects the line now at that place
    bool Up();
    bool Down();

    // OK: writes every line followed by CR LF, replacing the whole file.
    bool Save(const std::filesystem::path& filterDef) const;

private:
    std::vector<std::string> lines_;
    int selected_ = -1;
};

}  // namespace corvina
