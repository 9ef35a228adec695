// BufferedFile::ReadLine and MappedFile over arbitrary file content: every
// line ends in a newline, fits the caller's size, is NUL-terminated, and
// reading ends.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/BufferedFile.h"
#include "common/MappedFile.h"

#include "FuzzScratch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first byte picks the caller's line size (2..257).
    const int lineSize = size > 0 ? 2 + data[0] : 64;
    const std::string path = corvina::fuzz::WriteScratchFile("input", data, size).string();

    corvina::BufferedFile file;
    if (!file.Open(path, corvina::BufferedFile::kRead)) {
        std::abort();
    }
    std::vector<char> buffer(static_cast<size_t>(lineSize) + 1);
    size_t calls = 0;
    for (;;) {
        const int n = file.ReadLine(buffer.data(), lineSize);
        if (n == 0) {
            break;
        }
        if (n < 0 || n > lineSize || buffer[static_cast<size_t>(n) - 1] != '\n' ||
            buffer[static_cast<size_t>(n)] != '\0') {
            std::abort();
        }
        if (++calls > size + 2) {
            std::abort();  // more lines than bytes: reading would not end
        }
    }
    if (file.ReadLine(buffer.data(), lineSize) != 0 || !file.AtEnd()) {
        std::abort();
    }
    file.Close();

    corvina::MappedFile map;
    if (!map.Open(path) || map.Size() != size ||
        (size > 0 && std::memcmp(map.Data(), data, size) != 0)) {
        std::abort();
    }
    size_t total = 0;
    std::string_view line;
    while (map.NextLine(line)) {
        total += line.size();
    }
    if (total != size) {
        std::abort();
    }
    return 0;
}
