// HTML of any shape, read in a declared charset (the first byte picks one)
// into each kind of working code page.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "common/CodePage.h"
#include "message/mime/HtmlToText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    constexpr std::string_view kCharsets[] = {
        "", "utf-8", "Shift_JIS", "ISO-2022-JP", "windows-1252", "x-unknown"};
    constexpr int kCodePages[] = {corvina::CodePage::kUtf8, 932, 1252};
    if (size == 0) {
        return 0;
    }
    const std::string_view charset = kCharsets[data[0] % std::size(kCharsets)];
    const int codePage = kCodePages[(data[0] / std::size(kCharsets)) % std::size(kCodePages)];
    const std::string_view html(reinterpret_cast<const char*>(data + 1), size - 1);
    corvina::HtmlToText(html, charset, corvina::CodePage::Get(codePage), 20 + data[0] % 60);
    return 0;
}
