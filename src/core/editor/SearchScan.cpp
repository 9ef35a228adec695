#include "editor/SearchScan.h"

#include <algorithm>

#include "common/CodePage.h"
#include "editor/SearchFolding.h"

namespace corvina {

bool CharStarts::At(std::size_t line, std::string_view text, std::size_t pos) {
    if (pos == 0 || pos >= text.size() || page_.IsSingleByte()) {
        return true;
    }
    const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
    if (page_.IsUtf8()) {
        if ((byte(pos) & 0xC0) != 0x80) {
            return true;
        }
        for (std::size_t back = 1; back <= 3 && back <= pos; ++back) {
            if ((byte(pos - back) & 0xC0) != 0x80) {
                return page_.CharLength(text, pos - back) <= static_cast<int>(back);
            }
        }
        return true;  // a stray continuation byte is a character of its own
    }
    std::size_t run = 0;
    while (run < pos && run <= kLongRun && page_.IsLeadByte(byte(pos - run - 1))) {
        ++run;
    }
    if (run > kLongRun) {
        return Marked(line, text, pos);
    }
    return run % 2 == 0 || !page_.IsTrailByte(byte(pos));
}

std::size_t CharStarts::Previous(std::size_t line, std::string_view text, std::size_t pos) {
    if (page_.IsUtf8()) {
        std::size_t lead = pos - 1;
        while (lead > 0 && pos - lead < 4 &&
               (static_cast<unsigned char>(text[lead]) & 0xC0) == 0x80) {
            --lead;
        }
        return page_.CharLength(text, lead) == static_cast<int>(pos - lead) ? lead : pos - 1;
    }
    if (page_.IsDbcs() && pos >= 2 && page_.CharLength(text, pos - 2) == 2 &&
        At(line, text, pos - 2)) {
        return pos - 2;
    }
    return pos - 1;
}

bool CharStarts::Marked(std::size_t line, std::string_view text, std::size_t pos) {
    if (line != line_) {
        starts_.assign(text.size() + 1, 0);
        for (std::size_t at = 0; at < text.size();) {
            starts_[at] = 1;
            at += static_cast<std::size_t>(std::max(1, page_.CharLength(text, at)));
        }
        line_ = line;
    }
    return starts_[pos] != 0;
}

std::uint32_t ReadFolded(LineReader& lines, const SearchFolding& folding, TextPlace& place) {
    const std::string_view line = lines.Get(place.line);
    if (place.offset >= line.size()) {
        place = {place.line + 1, 0};
        return '\n';
    }
    int length = 1;
    const std::uint32_t code =
        folding.Read(line.data() + place.offset, line.data() + line.size(), &length);
    place.offset += static_cast<std::size_t>(length);
    return folding.Fold(code);
}

unsigned char ByteBefore(LineReader& lines, TextPlace place) {
    if (place.offset == 0) {
        return '\n';
    }
    return static_cast<unsigned char>(lines.Get(place.line)[place.offset - 1]);
}

unsigned char ByteAt(LineReader& lines, TextPlace place) {
    if (place.line >= lines.Count()) {
        return 0;
    }
    const std::string_view line = lines.Get(place.line);
    return place.offset < line.size() ? static_cast<unsigned char>(line[place.offset]) : '\n';
}

bool MatchRules::StartAllowed(LineReader& lines, TextPlace start) const {
    return StartAfter(ByteBefore(lines, start));
}

bool MatchRules::EndAllowed(LineReader& lines, TextPlace end) const {
    return EndBefore(ByteAt(lines, end));
}

}  // namespace corvina
