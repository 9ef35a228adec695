// Filter.DEF is a text file the user may edit by hand: every reader of it
// must take any bytes.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "filter/FilterRule.h"
#include "store/FolderFilterLines.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto rules = corvina::ParseFilterRules(text);
    for (const auto& rule : rules) {
        if (rule.header.empty() || rule.find.empty() || rule.folder.empty())
            __builtin_trap();
    }
    (void)corvina::ParseFilterEditorLines(text);
    int changed = 0;
    const auto out = corvina::RewriteFilterFolders(text, "Work", "Job\\New", &changed);
    if (changed == 0 && out != text)
        __builtin_trap();
    return 0;
}
