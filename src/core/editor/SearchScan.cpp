#include "editor/SearchScan.h"

#include "editor/SearchFolding.h"

namespace corvina {

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
