#include "store/FolderFilterLines.h"

#include <fstream>
#include <sstream>
#include <system_error>

#include "common/AtomicFile.h"
#include "store/FolderNames.h"

namespace corvina {

std::vector<std::string_view> SplitFilterLine(std::string_view line) {
    std::vector<std::string_view> tokens;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == '\t' || line[i] == '\r' || line[i] == '\n'))
            ++i;
        const size_t start = i;
        while (i < line.size() && line[i] != '\t' && line[i] != '\r' && line[i] != '\n')
            ++i;
        if (i > start)
            tokens.push_back(line.substr(start, i - start));
    }
    return tokens;
}

std::string RewriteFilterFolders(std::string_view fileText, std::string_view oldName,
                                 std::string_view newName, int* changed) {
    std::string out;
    out.reserve(fileText.size() + 64);
    int count = 0;
    size_t pos = 0;
    while (pos < fileText.size()) {
        // Line ends as the readers take them: LF, CR LF or a lone CR.
        size_t eol = fileText.find_first_of("\r\n", pos);
        size_t next = fileText.size();
        if (eol == std::string_view::npos) {
            eol = fileText.size();
        } else {
            next = eol + 1;
            if (fileText[eol] == '\r' && next < fileText.size() && fileText[next] == '\n')
                ++next;
        }
        const std::string_view whole = fileText.substr(pos, next - pos);
        const std::string_view line = fileText.substr(pos, eol - pos);
        pos = next;

        const auto tokens = SplitFilterLine(line);
        if (tokens.size() < 3 || oldName.empty() || !FolderNameIsWithin(tokens[2], oldName)) {
            out.append(whole);
            continue;
        }
        out.append(tokens[0]);
        out += '\t';
        out.append(tokens[1]);
        out += '\t';
        out.append(newName);
        out.append(tokens[2].substr(oldName.size()));
        out += '\t';
        if (tokens.size() > 3)
            out.append(tokens[3]);
        out += "\r\n";
        ++count;
    }
    if (changed)
        *changed = count;
    return out;
}

bool RewriteFilterFile(const std::filesystem::path& filterDef, std::string_view oldName,
                       std::string_view newName, int* changed) {
    if (changed)
        *changed = 0;
    std::ifstream in(filterDef, std::ios::binary);
    if (!in)
        return true;
    std::ostringstream text;
    text << in.rdbuf();
    int count = 0;
    const std::string rewritten = RewriteFilterFolders(text.str(), oldName, newName, &count);
    if (count == 0)
        return true;
    if (!WriteFileAtomically(filterDef, rewritten))
        return false;
    if (changed)
        *changed = count;
    return true;
}

}  // namespace corvina
