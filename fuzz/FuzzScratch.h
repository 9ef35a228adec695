#pragma once
// The scratch area of one fuzz process: a private directory made with
// mkdtemp under $TMPDIR (or /tmp) and removed with its contents when the
// process ends, so no target writes to a shared or fixed path.

#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace corvina::fuzz {

inline const std::filesystem::path& ScratchDir() {
    struct Holder {
        std::filesystem::path path;
        Holder() {
            const char* tmp = std::getenv("TMPDIR");
            std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/corvina-fuzz.XXXXXX";
            if (::mkdtemp(pattern.data()) == nullptr) {
                std::abort();
            }
            path = pattern;
        }
        ~Holder() {
            std::error_code ec;
            std::filesystem::remove_all(path, ec);
        }
    };
    static const Holder holder;
    return holder.path;
}

// Writes the input as the whole content of `name` in the scratch directory.
inline std::filesystem::path WriteScratchFile(std::string_view name, const uint8_t* data,
                                              size_t size) {
    const std::filesystem::path path = ScratchDir() / name;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || (size > 0 && std::fwrite(data, 1, size, f) != size)) {
        std::abort();
    }
    std::fclose(f);
    return path;
}

}  // namespace corvina::fuzz
