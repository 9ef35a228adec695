// Command lines of the client and the file lists handed between instances:
// NUL bytes split the input into parameters.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/CommandLine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> args;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= input.size(); ++i) {
        if (i == input.size() || input[i] == '\0') {
            args.emplace_back(input.substr(start, i - start));
            start = i + 1;
        }
    }
    auto exists = [](const std::string& p) { return p.size() % 3 == 0; };
    corvina::CommandLine cl = corvina::ParseCommandLine(args, exists);
    if (cl.address && (cl.address->empty() || cl.address->find('?') != std::string::npos)) {
        __builtin_trap();
    }
    // Names without quotes survive the hand-over line unchanged.
    std::vector<std::string> plain;
    for (const std::string& f : cl.files) {
        if (f.find('"') == std::string::npos && f.find_first_not_of(" \t") != std::string::npos &&
            f.front() != ' ' && f.front() != '\t' && f.back() != ' ' && f.back() != '\t') {
            plain.push_back(f);
        }
    }
    if (corvina::SplitFileList(corvina::JoinFileList(plain)) != plain)
        __builtin_trap();
    corvina::SplitFileList(input);
    return 0;
}
