#pragma once
// A SearchText over lines given as one string ("a\nb\n": two lines), and a
// short way to run a pattern over it.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/CodePage.h"
#include "editor/SearchPattern.h"

namespace corvina::test {

class LinesText : public SearchText {
public:
    explicit LinesText(std::string_view body) {
        std::size_t start = 0;
        while (start < body.size()) {
            std::size_t lf = body.find('\n', start);
            if (lf == std::string_view::npos) {
                lf = body.size();
            }
            lines_.emplace_back(body.substr(start, lf - start));
            start = lf + 1;
        }
    }
    std::size_t LineCount() const override { return lines_.size(); }
    std::string_view Line(std::size_t line) const override { return lines_[line]; }

private:
    std::vector<std::string> lines_;
};

// "line:offset-line:offset", or "none".
inline std::string Describe(const std::optional<SearchMatch>& match) {
    if (!match) {
        return "none";
    }
    return std::to_string(match->start.line) + ":" + std::to_string(match->start.offset) + "-" +
           std::to_string(match->end.line) + ":" + std::to_string(match->end.offset);
}

inline std::optional<SearchPattern> MakePattern(std::string_view pattern, std::string_view letters,
                                                int codePage = CodePage::kShiftJis,
                                                std::string* error = nullptr) {
    return SearchPattern::Compile(pattern, SearchOptions::FromLetters(letters),
                                  CodePage::Get(codePage), error);
}

}  // namespace corvina::test
