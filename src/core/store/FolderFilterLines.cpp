#include "store/FolderFilterLines.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <system_error>

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

bool WriteFilterFileBytes(const std::filesystem::path& target, const std::string& bytes) {
    std::filesystem::path temp = target;
    temp += ".new";
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    size_t done = 0;
    bool ok = true;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ok = false;
            break;
        }
        done += static_cast<size_t>(n);
    }
    if (ok && ::fsync(fd) != 0)
        ok = false;
    if (::close(fd) != 0)
        ok = false;
    if (ok && ::rename(temp.c_str(), target.c_str()) != 0)
        ok = false;
    if (!ok)
        ::unlink(temp.c_str());
    return ok;
}

bool RewriteFilterFile(const std::filesystem::path& filterDef, std::string_view oldName,
                       std::string_view newName) {
    std::ifstream in(filterDef, std::ios::binary);
    if (!in)
        return true;
    std::ostringstream text;
    text << in.rdbuf();
    int changed = 0;
    const std::string rewritten = RewriteFilterFolders(text.str(), oldName, newName, &changed);
    if (changed == 0)
        return true;
    return WriteFilterFileBytes(filterDef, rewritten);
}

}  // namespace corvina
