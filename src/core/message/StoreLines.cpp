#include "message/StoreLines.h"

#include "common/Bytes.h"

namespace corvina {

bool IsStoreLine(std::string_view line) {
    static constexpr std::string_view kStoreLines[] = {
        "X-Marlo-Attachment-File:", "X-Marlo-Decorded:", "X-Marlo-Reply:", "X-Marlo-Encoding:"};
    for (std::string_view name : kStoreLines) {
        if (StartsWithNoCase(line, name)) {
            return true;
        }
    }
    return false;
}

bool StoreLineFilter::Drops(std::string_view line) {
    if (!inHeader_) {
        return false;
    }
    std::string_view content = line;
    while (!content.empty() && (content.back() == '\n' || content.back() == '\r')) {
        content.remove_suffix(1);
    }
    if (content.empty()) {
        inHeader_ = false;
        dropping_ = false;
        return false;
    }
    if (content.front() == ' ' || content.front() == '\t') {
        return dropping_;
    }
    dropping_ = IsStoreLine(content);
    return dropping_;
}

}  // namespace corvina
