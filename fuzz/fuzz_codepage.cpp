// CodePage on arbitrary bytes: character lengths stay inside the text,
// columns are 0-2, and every conversion of outside text terminates.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/CodePage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    static const int kPages[] = {932, 65001, 1252, 1251, 874};
    static const char* const kCharsets[] = {"iso-2022-jp", "euc-jp", "shift_jis", "utf-8",
                                            "iso-8859-1",  "koi8-r", "utf-16",    "x-unknown"};
    const corvina::CodePage& page = corvina::CodePage::Get(kPages[data[0] % 5]);
    const char* charset = kCharsets[(data[0] >> 3) % 8];
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end) {
        const int len = page.CharLength(p, end);
        const int cols = page.Columns(p, end);
        if (len < 1 || len > 4 || len > end - p || cols < 0 || cols > 2) {
            std::abort();
        }
        (void)page.ClassOf(p, end);
        p += len;
    }
    (void)page.PrevCharStart(text, text.size());
    (void)page.TextColumns(text);
    (void)page.ToUtf8(text);
    (void)page.FromUtf8(text);
    (void)page.FromCharset(charset, text);
    (void)page.ToCharset(charset, text);
    std::string lower(text);
    page.ToLowerAscii(lower);
    if (lower.size() != text.size()) {
        std::abort();
    }
    return 0;
}
