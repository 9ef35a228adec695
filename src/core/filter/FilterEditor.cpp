#include "filter/FilterEditor.h"

#include <fstream>
#include <sstream>

#include "common/AtomicFile.h"
#include "filter/FilterRule.h"
#include "store/FolderNames.h"

namespace corvina {

void FilterEditor::Load(const std::filesystem::path& filterDef) {
    std::ifstream in(filterDef, std::ios::binary);
    std::ostringstream text;
    if (in)
        text << in.rdbuf();
    SetLines(ParseFilterEditorLines(text.str()));
}

void FilterEditor::SetLines(std::vector<std::string> lines) {
    lines_ = std::move(lines);
    selected_ = -1;
}

void FilterEditor::Select(int index) {
    selected_ = (index >= 0 && index < static_cast<int>(lines_.size())) ? index : -1;
}

std::string FilterEditor::ComposeLine(std::string_view header, std::string_view find,
                                      const std::filesystem::path& mailboxDir,
                                      const std::filesystem::path& folderPath, bool noCase) {
    if (header.empty() || find.empty() || folderPath.empty())
        return {};
    const auto folder = FolderNameOfPath(mailboxDir, folderPath);
    if (!folder)
        return {};
    // A tab or line end typed into a field would split the rule when read.
    for (std::string_view field : {header, find}) {
        if (field.find_first_of("\t\r\n") != std::string_view::npos)
            return {};
    }
    std::string line;
    line.append(header).append("\t").append(find).append("\t").append(*folder).append("\t");
    if (noCase)
        line += 'I';
    return line;
}

bool FilterEditor::Add(const std::string& line) {
    if (line.empty())
        return false;
    lines_.push_back(line);
    selected_ = static_cast<int>(lines_.size()) - 1;
    return true;
}

bool FilterEditor::Insert(const std::string& line) {
    if (line.empty())
        return false;
    if (selected_ < 0)
        return Add(line);
    lines_.insert(lines_.begin() + selected_, line);
    return true;
}

bool FilterEditor::Replace(const std::string& line) {
    if (line.empty() || selected_ < 0)
        return false;
    lines_[selected_] = line;
    return true;
}

bool FilterEditor::Delete() {
    if (selected_ < 0)
        return false;
    lines_.erase(lines_.begin() + selected_);
    if (selected_ >= static_cast<int>(lines_.size()))
        selected_ = static_cast<int>(lines_.size()) - 1;
    return true;
}

bool FilterEditor::Up() {
    if (selected_ <= 0)
        return false;
    std::swap(lines_[selected_], lines_[selected_ - 1]);
    --selected_;
    return true;
}

bool FilterEditor::Down() {
    if (selected_ < 0 || selected_ + 1 >= static_cast<int>(lines_.size()))
        return false;
    std::swap(lines_[selected_], lines_[selected_ + 1]);
    ++selected_;
    return true;
}

bool FilterEditor::Save(const std::filesystem::path& filterDef) const {
    std::string bytes;
    for (const auto& line : lines_)
        bytes.append(line).append("\r\n");
    return WriteFileAtomically(filterDef, bytes);
}

}  // namespace corvina
