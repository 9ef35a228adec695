// The rules shared by the parser and its callers: which parts are shown as
// text, how shown text reaches the working code page, and how attachment
// links are stored.

#include "common/Bytes.h"
#include "common/CodePage.h"
#include "message/JapaneseCode.h"
#include "message/mime/MessageParser.h"
#include "message/mime/MimeTypeTable.h"

namespace corvina {

bool IsShownTextType(std::string_view type, std::string_view subtype, const MimeTypeTable& types) {
    if (types.FindByType(type, subtype) != nullptr) {
        return EqualNoCase(type, "text") && EqualNoCase(subtype, "plain");
    }
    return EqualNoCase(type, "text") || EqualNoCase(type, "message");
}

std::string ShownTextToWorking(std::string_view text, std::string_view charset,
                               const CodePage& cp) {
    if (cp.IsDbcs()) {
        if (EqualNoCase(charset, "utf-8") || EqualNoCase(charset, "utf8") ||
            EqualNoCase(charset, "euc-jp") || EqualNoCase(charset, "x-euc-jp")) {
            return cp.FromCharset(charset, text);
        }
        return text.find('\x1b') == std::string_view::npos ? std::string(text) : JisToSjis(text);
    }
    if (charset.empty() || EqualNoCase(charset, "us-ascii")) {
        if (text.find("\x1b$") != std::string_view::npos) {
            return JisToWorking(text, cp);
        }
        return std::string(text);
    }
    if (cp.IsCharsetOfW(charset)) {
        return std::string(text);
    }
    return cp.FromCharset(charset, text);
}

std::filesystem::path ResolveAttachmentLink(std::string_view value,
                                            const std::filesystem::path& mailboxDirectory,
                                            const CodePage& cp) {
    if (!value.empty() && value.front() == '/') {
        return std::filesystem::path(std::string(value));
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
    return mailboxDirectory / "Attach" / relative;
}

std::string AttachmentLinkValue(const std::filesystem::path& path,
                                const std::filesystem::path& mailboxDirectory) {
    std::string full = path.string();
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
