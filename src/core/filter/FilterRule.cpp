#include "filter/FilterRule.h"

#include "store/FolderFilterLines.h"

namespace corvina {

std::vector<std::string_view> SplitFilterFileLines(std::string_view fileText) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    size_t i = 0;
    while (i < fileText.size()) {
        const char c = fileText[i];
        if (c == '\n' || c == '\r') {
            lines.push_back(fileText.substr(start, i - start));
            if (c == '\r' && i + 1 < fileText.size() && fileText[i + 1] == '\n')
                ++i;
            start = ++i;
            continue;
        }
        ++i;
    }
    if (start < fileText.size())
        lines.push_back(fileText.substr(start));
    return lines;
}

std::vector<FilterRule> ParseFilterRules(std::string_view fileText) {
    std::vector<FilterRule> rules;
    for (std::string_view line : SplitFilterFileLines(fileText)) {
        const auto tokens = SplitFilterLine(line);
        if (tokens.size() < 3)
            continue;
        FilterRule rule;
        rule.header.assign(tokens[0]);
        rule.find.assign(tokens[1]);
        rule.folder.assign(tokens[2]);
        if (tokens.size() > 3 && tokens[3].find('I') != std::string_view::npos)
            rule.flags |= kFilterIgnoreCase;
        rules.push_back(std::move(rule));
    }
    return rules;
}

std::vector<std::string> ParseFilterEditorLines(std::string_view fileText) {
    std::vector<std::string> lines;
    for (std::string_view line : SplitFilterFileLines(fileText)) {
        if (line.size() <= 1 || line.front() == '#')
            continue;
        lines.emplace_back(line);
    }
    return lines;
}

}  // namespace corvina
