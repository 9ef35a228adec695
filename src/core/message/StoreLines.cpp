#include "message/StoreLines.h"

#include "message/StoredForm.h"

namespace corvina {

bool IsStoreLine(std::string_view line) {
    return IsOwnStoreField(ClassifyStoredLine(line).field);
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
