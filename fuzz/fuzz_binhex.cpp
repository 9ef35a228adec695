// BinHex text into a scratch directory; the written file stays inside it
// and the work files are gone afterwards.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string_view>

#include "message/BinHex.h"

#include "FuzzScratch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    namespace fs = std::filesystem;
    static const fs::path dir = [] {
        const fs::path& d = corvina::fuzz::ScratchDir();
        fs::create_directory(d / "out");
        return d;
    }();
    std::string_view text(reinterpret_cast<const char*>(data), size);
    auto out = corvina::BinHexDecodeText(text, {dir / "out", {}, nullptr}, dir);
    if (out) {
        // Runs expand at most 255 times.
        if (out->parent_path() != dir / "out" || fs::file_size(*out) > size * 255) {
            __builtin_trap();
        }
        fs::remove(*out);
    }
    if (fs::exists(dir / "MOBINHEX.TMP") || fs::exists(dir / "MOBINHEX.001")) {
        __builtin_trap();
    }
    return 0;
}
