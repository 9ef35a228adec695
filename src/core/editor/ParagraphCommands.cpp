#include "editor/ParagraphCommands.h"

#include <algorithm>
#include <cstddef>
#include <string_view>

#include "common/Bytes.h"
#include "common/CaseFold.h"
#include "common/CodePage.h"
#include "editor/CharConversions.h"
#include "editor/DisplayRows.h"

namespace corvina {
namespace {

RowMetrics Metrics(const CodePage& codePage, int tabWidth) {
    RowMetrics metrics;
    metrics.codePage = &codePage;
    metrics.tabWidth = tabWidth;
    return metrics;
}

// Display columns of `text` standing at `column`.
int ColumnsFrom(std::string_view text, int column, const RowMetrics& metrics) {
    const int start = column;
    for (std::size_t pos = 0; pos < text.size();) {
        const CharStep step = StepAt(text, pos, column, metrics);
        pos += static_cast<std::size_t>(step.bytes);
        column += step.columns;
    }
    return column - start;
}

std::string TabsToSpaces(std::string_view line, const RowMetrics& metrics) {
    std::string out;
    int column = 0;
    for (std::size_t pos = 0; pos < line.size();) {
        const CharStep step = StepAt(line, pos, column, metrics);
        if (line[pos] == '\t') {
            out.append(static_cast<std::size_t>(step.columns), ' ');
        } else {
            out.append(line.substr(pos, static_cast<std::size_t>(step.bytes)));
        }
        pos += static_cast<std::size_t>(step.bytes);
        column += step.columns;
    }
    return out;
}

// A run of at least two spaces that reaches a tab stop becomes a TAB; the
// spaces of a run that ends before the next stop stay.
std::string SpacesToTabs(std::string_view line, const RowMetrics& metrics) {
    std::string out;
    int column = 0;
    int pendingSpaces = 0;
    for (std::size_t pos = 0; pos < line.size();) {
        const CharStep step = StepAt(line, pos, column, metrics);
        if (line[pos] == ' ') {
            ++pendingSpaces;
            ++column;
            ++pos;
            if (metrics.tabWidth > 0 && column % metrics.tabWidth == 0) {
                out.append(pendingSpaces >= 2
                               ? std::string(1, '\t')
                               : std::string(static_cast<std::size_t>(pendingSpaces), ' '));
                pendingSpaces = 0;
            }
            continue;
        }
        out.append(static_cast<std::size_t>(pendingSpaces), ' ');
        pendingSpaces = 0;
        out.append(line.substr(pos, static_cast<std::size_t>(step.bytes)));
        pos += static_cast<std::size_t>(step.bytes);
        column += step.columns;
    }
    out.append(static_cast<std::size_t>(pendingSpaces), ' ');
    return out;
}

std::string Aligned(std::string_view line, LineAlignment alignment, int width,
                    const RowMetrics& metrics) {
    if (alignment == LineAlignment::kLeft) {
        return std::string(TrimLeft(line));
    }
    const std::string_view text = Trim(line);
    if (text.empty()) {
        return std::string();
    }
    const int columns = ColumnsFrom(text, 0, metrics);
    if (columns > width) {
        return std::string(line);
    }
    // A TAB inside the text may grow as the text moves right, so the pad
    // is settled on the columns the padded text really takes.
    auto fits = [&](int pad) { return pad + ColumnsFrom(text, pad, metrics) <= width; };
    int pad = alignment == LineAlignment::kRight ? width - columns : (width - columns) / 2;
    while (pad > 0 && !fits(pad)) {
        --pad;
    }
    return std::string(static_cast<std::size_t>(pad), ' ') + std::string(text);
}

}  // namespace

std::vector<std::string> ConvertLines(const std::vector<std::string>& lines,
                                      const ConvertChoice& choice, const CodePage& codePage,
                                      int tabWidth) {
    const RowMetrics metrics = Metrics(codePage, tabWidth);
    std::vector<std::string> out;
    out.reserve(lines.size());
    for (const std::string& line : lines) {
        std::string text = ConvertCase(line, choice.letterCase, codePage);
        text = ConvertWidth(text, choice.width, codePage);
        if (choice.spacing == SpacingConversion::kTabToSpace) {
            text = TabsToSpaces(text, metrics);
        } else if (choice.spacing == SpacingConversion::kSpaceToTab) {
            text = SpacesToTabs(text, metrics);
        }
        out.push_back(std::move(text));
    }
    return out;
}

std::vector<std::string> SortLines(const std::vector<std::string>& lines,
                                   const std::vector<bool>& continued, const SortChoice& choice,
                                   const CodePage& codePage) {
    // Each group is [first, last) of lines that move together.
    struct Group {
        std::size_t first;
        std::size_t last;
        std::string key;
    };
    const CaseFold fold(codePage);
    std::vector<Group> groups;
    for (std::size_t i = 0; i < lines.size();) {
        std::size_t last = i + 1;
        while (!choice.sortLines && last < lines.size() && last - 1 < continued.size() &&
               continued[last - 1]) {
            ++last;
        }
        std::string text;
        for (std::size_t j = i; j < last; ++j) {
            text += lines[j];
        }
        groups.push_back({i, last, choice.ignoreCase ? fold.Key(text) : std::move(text)});
        i = last;
    }
    std::stable_sort(groups.begin(), groups.end(), [&choice](const Group& a, const Group& b) {
        return choice.descending ? b.key < a.key : a.key < b.key;
    });
    std::vector<std::string> out;
    out.reserve(lines.size());
    for (const Group& group : groups) {
        out.insert(out.end(), lines.begin() + static_cast<std::ptrdiff_t>(group.first),
                   lines.begin() + static_cast<std::ptrdiff_t>(group.last));
    }
    return out;
}

std::vector<std::string> AlignLines(const std::vector<std::string>& lines, LineAlignment alignment,
                                    int width, const CodePage& codePage, int tabWidth) {
    const RowMetrics metrics = Metrics(codePage, tabWidth);
    std::vector<std::string> out;
    out.reserve(lines.size());
    for (const std::string& line : lines) {
        out.push_back(Aligned(line, alignment, width, metrics));
    }
    return out;
}

std::vector<std::string> IndentLines(const std::vector<std::string>& lines, bool softTab,
                                     int tabWidth) {
    const std::string step =
        softTab ? std::string(static_cast<std::size_t>(std::max(1, tabWidth)), ' ') : "\t";
    std::vector<std::string> out;
    out.reserve(lines.size());
    for (const std::string& line : lines) {
        out.push_back(line.empty() ? line : step + line);
    }
    return out;
}

std::vector<std::string> UnindentLines(const std::vector<std::string>& lines, int tabWidth) {
    const std::size_t stop = static_cast<std::size_t>(std::max(1, tabWidth));
    std::vector<std::string> out;
    out.reserve(lines.size());
    for (const std::string& line : lines) {
        std::size_t cut = 0;
        while (cut < line.size() && cut < stop && line[cut] == ' ') {
            ++cut;
        }
        if (cut < stop && cut < line.size() && line[cut] == '\t') {
            ++cut;
        }
        out.push_back(line.substr(cut));
    }
    return out;
}

std::vector<std::string> AddStringToLines(const std::vector<std::string>& lines,
                                          const AddStringChoice& choice) {
    std::vector<std::string> out;
    out.reserve(lines.size());
    for (const std::string& line : lines) {
        out.push_back(choice.atEnd ? line + choice.text : choice.text + line);
    }
    return out;
}

}  // namespace corvina
