// uuencoded text into a scratch directory; the written file stays inside it
// and holds at most 63 bytes for every line of the text.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string_view>

#include "message/Uuencode.h"

#include "FuzzScratch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    namespace fs = std::filesystem;
    const fs::path& dir = corvina::fuzz::ScratchDir();
    std::string_view text(reinterpret_cast<const char*>(data), size);
    auto out = corvina::UuDecodeText(text, {dir, dir, nullptr});
    if (out) {
        if (out->parent_path() != dir || fs::file_size(*out) > 32 * size + 64) {
            __builtin_trap();
        }
        fs::remove(*out);
    }
    return 0;
}
