#pragma once
// The web and mail addresses of one line, which the view draws
// underlined. The rows of a line are painted one after another: its
// addresses are found once.

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace corvina {

class CodePage;

class LineAddresses {
public:
    using Span = std::pair<std::size_t, std::size_t>;  // [start, end) of the line

    // The addresses of `line` (without its LF), left to right.
    const std::vector<Span>& Of(std::string_view line, const CodePage& codePage);

private:
    std::string line_;
    const CodePage* codePage_ = nullptr;
    std::vector<Span> spans_;
};

}  // namespace corvina
