#include "editor/SearchScan.h"

namespace corvina {

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
