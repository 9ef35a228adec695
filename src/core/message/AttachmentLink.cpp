#include "message/AttachmentLink.h"

#include "common/CodePage.h"

namespace corvina {

namespace {

bool IsWindowsAbsolute(std::string_view value) {
    return (!value.empty() && value[0] == '\\') || (value.size() > 1 && value[1] == ':');
}

}  // namespace

std::filesystem::path AttachmentLinkPath(std::string_view value,
                                         const std::filesystem::path& mailboxDirectory,
                                         const CodePage& cp) {
    if (!value.empty() && value.front() == '/') {
        return std::filesystem::path(std::string(value));
    }
    const std::filesystem::path attach = mailboxDirectory / "Attach";
    if (IsWindowsAbsolute(value)) {
        return attach / std::string(value);
    }
    std::string relative;
    relative.reserve(value.size());
    for (std::size_t pos = 0; pos < value.size();) {
        int len = cp.CharLength(value, pos);
        if (len <= 0) {
            break;
        }
        if (len == 1 && value[pos] == '\\') {
            relative += '/';
        } else {
            relative.append(value.substr(pos, static_cast<std::size_t>(len)));
        }
        pos += static_cast<std::size_t>(len);
    }
    return attach / relative;
}

std::filesystem::path AttachmentLinkPath(std::string_view value,
                                         const std::filesystem::path& mailboxDirectory) {
    return AttachmentLinkPath(value, mailboxDirectory, CodePage::Working());
}

std::string AttachmentLinkValue(const std::filesystem::path& path,
                                const std::filesystem::path& mailboxDirectory) {
    const std::string full = path.string();
    std::string prefix = (mailboxDirectory / "Attach").string();
    if (!prefix.empty() && prefix.back() != '/') {
        prefix += '/';
    }
    if (full.size() > prefix.size() && full.compare(0, prefix.size(), prefix) == 0) {
        return full.substr(prefix.size());
    }
    return full;
}

}  // namespace corvina
