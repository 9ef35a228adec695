#include "editor/RegexMatcher.h"

#include <algorithm>

#include "common/CodePage.h"

namespace corvina {
namespace {

constexpr std::size_t kCancelLines = 1000;

}  // namespace

RegexMatcher::RegexMatcher(const RegexProgram& program, const SearchFolding& folding,
                           const MatchRules& rules)
    : folding_(folding), rules_(rules) {
    // Split the codes into intervals at every bound of every atom, and give
    // intervals that the same atoms match the same class.
    bounds_.push_back(0);
    for (const CharSet& atom : program.atoms) {
        for (const auto& [low, high] : atom.ranges) {
            bounds_.push_back(low);
            if (high < SearchFolding::kDropped - 1) {
                bounds_.push_back(high + 1);
            }
        }
    }
    std::sort(bounds_.begin(), bounds_.end());
    bounds_.erase(std::unique(bounds_.begin(), bounds_.end()), bounds_.end());
    std::vector<StateSet> matching(1);  // class 0: dropped characters
    for (const std::uint32_t bound : bounds_) {
        StateSet states;
        for (int state = 1; state < program.StateCount(); ++state) {
            if (program.atoms[static_cast<std::size_t>(state - 1)].Contains(bound)) {
                states.Set(state);
            }
        }
        const auto same = std::find(matching.begin() + 1, matching.end(), states);
        boundClass_.push_back(static_cast<int>(same - matching.begin()));
        if (same == matching.end()) {
            matching.push_back(states);
        }
    }

    const CodePage& page = folding.Page();
    const bool nullable = program.accept.Has(0);
    for (int byte = 0; byte < 256; ++byte) {
        const char one = static_cast<char>(byte);
        int length = 1;
        const int charClass = ClassOf(folding.Fold(folding.Read(&one, &one + 1, &length)));
        const auto b = static_cast<unsigned char>(byte);
        byteSymbol_[byte] = LazyDfa::Symbol(charClass, rules_.EndBefore(b), rules_.StartAfter(b));
        multiByte_[byte] = page.IsDbcs() ? page.IsLeadByte(b) : page.IsUtf8() && byte >= 0x80;
        trailBytes_[byte] = page.IsTrailByte(b);
        skippable_[byte] =
            !nullable && !multiByte_[byte] && charClass != LazyDfa::kDroppedClass &&
            !program.follow[0].Intersects(matching[static_cast<std::size_t>(charClass)]);
    }
    if (page.IsDbcs()) {
        trail_ = trailBytes_;
    }
    if (!folding.IgnoreMbcs() && !page.IsSingleByte() && bounds_.back() <= 0x80) {
        // Wide characters keep codes of 0x80 and above, all in the last
        // interval: one class, and bytes of 64 and above on both sides.
        const int wideClass = boundClass_.back();
        wideSymbol_ = LazyDfa::Symbol(wideClass, rules_.EndBefore(0x80), rules_.StartAfter(0x80));
        wideSkippable_ = !nullable && !program.follow[0].Intersects(
                                          matching[static_cast<std::size_t>(wideClass)]);
    }
    earliest_.emplace(program, matching, DfaMode::kEarliestStart);
    latest_.emplace(program, matching, DfaMode::kLatestStart);
    reversed_.emplace(program.Reversed(), std::move(matching), DfaMode::kAnchored);
}

int RegexMatcher::ClassOf(std::uint32_t code) const {
    if (code == SearchFolding::kDropped) {
        return LazyDfa::kDroppedClass;
    }
    const auto after = std::upper_bound(bounds_.begin(), bounds_.end(), code);
    return boundClass_[static_cast<std::size_t>(after - bounds_.begin() - 1)];
}

int RegexMatcher::SymbolAt(const char* p, const char* end, int* length) const {
    const auto first = static_cast<unsigned char>(*p);
    if (!multiByte_[first]) {
        *length = 1;
        return byteSymbol_[first];
    }
    if (wideSymbol_ >= 0) {
        *length = folding_.Page().CharLength(p, end);
        return *length == 1 ? byteSymbol_[first] : wideSymbol_;
    }
    const std::uint32_t code = folding_.Read(p, end, length);
    if (*length == 1) {
        return byteSymbol_[first];
    }
    const auto last = static_cast<unsigned char>(p[*length - 1]);
    return LazyDfa::Symbol(ClassOf(folding_.Fold(code)), rules_.EndBefore(first),
                           rules_.StartAfter(last));
}

const char* RegexMatcher::SkipUnneeded(const char* p, const char* end, const char** last) const {
    while (p < end) {
        const auto first = static_cast<unsigned char>(*p);
        if (!multiByte_[first]) {
            if (!skippable_[first]) {
                break;
            }
            *last = p++;
            continue;
        }
        if (!wideSkippable_) {
            break;
        }
        int length = 1;
        if (trail_ != nullptr) {  // Shift_JIS: a lead byte and a trail byte
            length = end - p >= 2 && trail_[static_cast<unsigned char>(p[1])] ? 2 : 1;
        } else {
            length = folding_.Page().CharLength(p, end);
        }
        if (length == 1 && !skippable_[first]) {
            break;
        }
        *last = p;
        p += length;
    }
    return p;
}

std::optional<TextPlace> RegexMatcher::RunForward(LazyDfa& dfa, LineReader& lines, TextPlace from,
                                                  const TextPlace* lastStart,
                                                  const SearchCancel& cancel, bool* cancelled) {
    bool accepted = false;
    const bool joins =
        rules_.StartAllowed(lines, from) && (lastStart == nullptr || from <= *lastStart);
    int state =
        dfa.Next(dfa.Idle(), LazyDfa::Symbol(LazyDfa::kDroppedClass, false, joins), &accepted);
    std::optional<TextPlace> matchEnd;
    const std::size_t count = lines.Count();
    for (std::size_t line = from.line; line < count; ++line) {
        if (line != from.line && (line - from.line) % kCancelLines == 0 && cancel && cancel()) {
            *cancelled = true;
            return std::nullopt;
        }
        const std::string_view text = lines.Get(line);
        const char* const begin = text.data();
        const char* const end = begin + text.size();
        const char* p = begin + (line == from.line ? from.offset : 0);
        while (p < end) {
            if (lastStart == nullptr && dfa.Waiting(state) &&
                skippable_[static_cast<unsigned char>(*p)]) {
                // Nothing can begin here: jump over the bytes no match
                // begins with, and join again after the last of them.
                while (p + 1 < end && skippable_[static_cast<unsigned char>(p[1])]) {
                    ++p;
                }
                const int symbol = byteSymbol_[static_cast<unsigned char>(*p)] & LazyDfa::kStartBit;
                state = dfa.Next(dfa.Idle(), symbol, &accepted);
                ++p;
                continue;
            }
            int length = 1;
            int symbol = SymbolAt(p, end, &length);
            const TextPlace after{
                line, static_cast<std::size_t>(p - begin) + static_cast<std::size_t>(length)};
            if (lastStart != nullptr && after > *lastStart) {
                symbol &= ~LazyDfa::kStartBit;
            }
            state = dfa.Next(state, symbol, &accepted);
            if (accepted) {
                matchEnd = TextPlace{line, static_cast<std::size_t>(p - begin)};
            }
            p += length;
            if (dfa.Dead(state) && (lastStart == nullptr || after >= *lastStart)) {
                return matchEnd;
            }
        }
        int symbol = byteSymbol_['\n'];
        const TextPlace after{line + 1, 0};
        if (line + 1 == count ||
            (lastStart != nullptr && after > *lastStart)) {  // no start after the text
            symbol &= ~LazyDfa::kStartBit;
        }
        state = dfa.Next(state, symbol, &accepted);
        if (accepted) {
            matchEnd = TextPlace{line, text.size()};
        }
        if (dfa.Dead(state) && (lastStart == nullptr || after >= *lastStart)) {
            return matchEnd;
        }
    }
    dfa.Next(state, LazyDfa::Symbol(LazyDfa::kDroppedClass, rules_.EndBefore(0), false), &accepted);
    if (accepted) {
        matchEnd = TextPlace{count, 0};
    }
    return matchEnd;
}

TextPlace RegexMatcher::RunBackward(LineReader& lines, TextPlace end, TextPlace low, TextPlace high,
                                    bool lowest) {
    LazyDfa& dfa = *reversed_;
    CharStarts starts(folding_.Page());
    int state = dfa.Anchored();
    TextPlace place = end;
    TextPlace found = end;
    bool accepted = false;
    while (true) {
        int symbol = 0;
        TextPlace before = place;
        if (place.offset == 0) {
            symbol = place.line == 0
                         ? LazyDfa::Symbol(LazyDfa::kDroppedClass, false, rules_.StartAfter('\n'))
                         : byteSymbol_['\n'];
            if (place.line > 0) {
                before = {place.line - 1, lines.Get(place.line - 1).size()};
            }
        } else {
            const std::string_view text = lines.Get(place.line);
            before.offset = starts.Previous(place.line, text, place.offset);
            int length = 1;
            symbol = SymbolAt(text.data() + before.offset, text.data() + place.offset, &length);
        }
        state = dfa.Next(state, symbol, &accepted);
        if (accepted && place >= low && place <= high) {
            found = place;
            if (!lowest) {
                return found;
            }
        }
        if (place <= low || before == place || dfa.Dead(state)) {
            return found;
        }
        place = before;
    }
}

std::optional<SearchMatch> RegexMatcher::FindForward(LineReader& lines, TextPlace from,
                                                     const SearchCancel& cancel) {
    bool cancelled = false;
    const auto end = RunForward(*earliest_, lines, from, nullptr, cancel, &cancelled);
    if (!end) {
        return std::nullopt;
    }
    const TextPlace last{lines.Count(), 0};
    return SearchMatch{RunBackward(lines, *end, from, last, true), *end};
}

std::optional<SearchMatch> RegexMatcher::FindBackward(LineReader& lines, TextPlace from,
                                                      const SearchCancel& cancel) {
    TextPlace high = from;
    std::size_t lowLine = from.line;
    std::size_t span = 1;
    std::size_t walked = 0;
    while (true) {
        const TextPlace low{lowLine, 0};
        bool cancelled = false;
        const auto end = RunForward(*latest_, lines, low, &high, cancel, &cancelled);
        if (cancelled) {
            return std::nullopt;
        }
        if (end) {
            return SearchMatch{RunBackward(lines, *end, low, high, false), *end};
        }
        if (lowLine == 0) {
            return std::nullopt;
        }
        walked += high.line - lowLine + 1;
        if (walked >= kCancelLines && cancel) {
            walked = 0;
            if (cancel()) {
                return std::nullopt;
            }
        }
        high = {lowLine - 1, lines.Get(lowLine - 1).size()};
        lowLine = lowLine > span ? lowLine - span : 0;
        span *= 2;
    }
}

}  // namespace corvina
