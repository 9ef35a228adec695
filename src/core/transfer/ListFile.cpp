#include "transfer/ListFile.h"

#include <fstream>
#include <iterator>

#include "common/AtomicFile.h"

namespace corvina {

std::vector<std::string> ReadListFile(const std::filesystem::path& path) {
    std::vector<std::string> entries;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return entries;
    }
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty()) {
            entries.push_back(std::move(line));
        }
        pos = end + 1;
    }
    return entries;
}

bool WriteListFile(const std::filesystem::path& path, const std::vector<std::string>& entries) {
    std::string text;
    for (const std::string& entry : entries) {
        text += entry;
        text += "\r\n";
    }
    return WriteFileAtomically(path, text);
}

}  // namespace corvina
