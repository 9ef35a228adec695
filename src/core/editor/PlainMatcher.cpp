#include "editor/PlainMatcher.h"

#include <algorithm>
#include <cstring>

#include "common/CodePage.h"

namespace corvina {
namespace {

constexpr std::size_t kCancelLines = 1000;
constexpr std::size_t kNone = static_cast<std::size_t>(-1);

// How often a byte turns up in mail text, roughly: lower is rarer.
int Commonness(unsigned char byte) {
    static constexpr std::string_view kFrequent = " etaoinsrhldcu";
    const auto at = kFrequent.find(static_cast<char>(byte));
    if (at != std::string_view::npos) {
        return 100 - static_cast<int>(at) * 3;
    }
    if (byte >= 'a' && byte <= 'z') {
        return 40;
    }
    if (byte >= 0x81 && byte <= 0x83) {
        return 60;  // Shift_JIS kana and symbols' lead bytes
    }
    if (byte >= 0xE3 && byte <= 0xE9) {
        return 60;  // UTF-8 lead bytes of kana and kanji
    }
    if ((byte >= 0x88 && byte <= 0x9F) || (byte >= 0x80 && byte <= 0xBF)) {
        return 30;
    }
    if ((byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9')) {
        return 25;
    }
    return 15;
}

// The next offset at or after `from` where one of the anchor bytes is,
// keeping each byte's next place so that no byte is searched twice.
struct AnchorCursor {
    std::size_t next[2] = {kNone, kNone};
    bool searched[2] = {false, false};

    std::size_t Forward(std::string_view text, std::size_t from, const unsigned char* bytes,
                        int count) {
        std::size_t best = kNone;
        for (int i = 0; i < count; ++i) {
            if (!searched[i] || (next[i] != kNone && next[i] < from)) {
                const void* hit = from < text.size() ? std::memchr(text.data() + from, bytes[i],
                                                                   text.size() - from)
                                                     : nullptr;
                next[i] =
                    hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - text.data())
                        : kNone;
                searched[i] = true;
            }
            best = std::min(best, next[i]);
        }
        return best;
    }

    // The last offset at or before `upTo` (kNone: none).
    std::size_t Backward(std::string_view text, std::size_t upTo, const unsigned char* bytes,
                         int count) {
        std::size_t best = kNone;
        for (int i = 0; i < count; ++i) {
            if (!searched[i] || (next[i] != kNone && next[i] > upTo)) {
                const void* hit = memrchr(text.data(), bytes[i], upTo + 1);
                next[i] =
                    hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - text.data())
                        : kNone;
                searched[i] = true;
            }
            if (next[i] != kNone && (best == kNone || next[i] > best)) {
                best = next[i];
            }
        }
        return best;
    }
};

}  // namespace

PlainMatcher::PlainMatcher(std::string_view text, const SearchFolding& folding,
                           const MatchRules& rules)
    : folding_(folding), rules_(rules) {
    for (std::size_t pos = 0; pos < text.size();) {
        int length = 1;
        const std::uint32_t code =
            folding.Fold(folding.Read(text.data() + pos, text.data() + text.size(), &length));
        if (code != SearchFolding::kDropped) {
            codes_.push_back(code);
        }
        pos += static_cast<std::size_t>(length);
    }
    if (codes_.empty()) {
        std::fill(std::begin(mayStart_), std::end(mayStart_), true);  // the empty string
        return;
    }
    const CodePage& page = folding.Page();
    for (int byte = 0; byte < 256; ++byte) {
        const auto b = static_cast<unsigned char>(byte);
        if (page.IsLeadByte(b)) {
            mayStart_[byte] = true;
            continue;
        }
        const char one = static_cast<char>(byte);
        int length = 1;
        const std::uint32_t code = folding.Fold(folding.Read(&one, &one + 1, &length));
        mayStart_[byte] = code == codes_[0] || code == SearchFolding::kDropped;
    }
    ChooseAnchor(text);
}

void PlainMatcher::ChooseAnchor(std::string_view text) {
    if (!folding_.KeepsLength()) {
        return;  // wide characters may fold to one byte: offsets do not line up
    }
    const CodePage& page = folding_.Page();
    int best = 1 << 30;
    for (std::size_t pos = 0; pos < text.size() && text[pos] != '\n';) {
        const int length = std::max(1, page.CharLength(text, pos));
        if (length == 1) {
            // The bytes that fold to this one: itself, or a case pair.
            const char one = text[pos];
            int read = 1;
            const std::uint32_t folded = folding_.Fold(folding_.Read(&one, &one + 1, &read));
            unsigned char bytes[3];
            int count = 0;
            for (int byte = 0; byte < 256 && count < 3; ++byte) {
                const char other = static_cast<char>(byte);
                if (!page.IsLeadByte(static_cast<unsigned char>(byte)) &&
                    folding_.Fold(folding_.Read(&other, &other + 1, &read)) == folded) {
                    bytes[count++] = static_cast<unsigned char>(byte);
                }
            }
            int score = 0;
            for (int i = 0; i < count; ++i) {
                score += Commonness(bytes[i]);
            }
            if (count > 0 && count <= 2 && score < best) {
                best = score;
                anchorCount_ = count;
                std::copy(bytes, bytes + count, anchor_);
                anchorOffset_ = pos;
            }
        } else if (!(folding_.IgnoreCase() && page.IsUtf8())) {
            // Unfolded, a wide character finds only itself: any byte of it
            // will do, and its last is the most telling.
            const auto last =
                static_cast<unsigned char>(text[pos + static_cast<std::size_t>(length) - 1]);
            if (Commonness(last) < best) {
                best = Commonness(last);
                anchorCount_ = 1;
                anchor_[0] = last;
                anchorOffset_ = pos + static_cast<std::size_t>(length) - 1;
            }
        }
        pos += static_cast<std::size_t>(length);
    }
}

std::optional<TextPlace> PlainMatcher::MatchAt(LineReader& lines, TextPlace start) const {
    if (!rules_.StartAllowed(lines, start)) {
        return std::nullopt;
    }
    TextPlace place = start;
    std::size_t bytes = 0;
    std::size_t matched = 0;
    while (true) {
        if (matched == codes_.size() && rules_.EndAllowed(lines, place)) {
            return place;
        }
        if (place.line >= lines.Count()) {
            return std::nullopt;
        }
        const TextPlace before = place;
        const std::uint32_t code = ReadFolded(lines, folding_, place);
        bytes += place.line == before.line ? place.offset - before.offset : 1;
        if (bytes > kPlainSpan) {
            return std::nullopt;
        }
        if (code == SearchFolding::kDropped) {
            continue;
        }
        if (matched == codes_.size() || codes_[matched] != code) {
            return std::nullopt;
        }
        ++matched;
    }
}

std::optional<SearchMatch> PlainMatcher::FindForward(LineReader& lines, TextPlace from,
                                                     const SearchCancel& cancel) const {
    const CodePage& page = folding_.Page();
    CharStarts starts(page);
    for (std::size_t line = from.line; line < lines.Count(); ++line) {
        if (line != from.line && (line - from.line) % kCancelLines == 0 && cancel && cancel()) {
            return std::nullopt;
        }
        const std::size_t first = line == from.line ? from.offset : 0;
        if (anchorCount_ > 0) {
            AnchorCursor cursor;
            for (std::size_t pos = first + anchorOffset_;;) {
                const std::string_view text = lines.Get(line);
                const std::size_t hit = cursor.Forward(text, pos, anchor_, anchorCount_);
                if (hit == kNone) {
                    break;
                }
                const TextPlace start{line, hit - anchorOffset_};
                if (starts.At(line, text, start.offset)) {
                    if (const auto end = MatchAt(lines, start)) {
                        return SearchMatch{start, *end};
                    }
                }
                pos = hit + 1;
            }
            continue;
        }
        for (std::size_t pos = first;;) {
            std::string_view text = lines.Get(line);
            const auto byte = pos < text.size() ? static_cast<unsigned char>(text[pos]) : '\n';
            if (mayStart_[byte]) {
                if (const auto end = MatchAt(lines, {line, pos})) {
                    return SearchMatch{{line, pos}, *end};
                }
                text = lines.Get(line);
            }
            if (pos >= text.size()) {
                break;
            }
            pos += static_cast<std::size_t>(std::max(1, page.CharLength(text, pos)));
        }
    }
    return std::nullopt;
}

std::optional<SearchMatch> PlainMatcher::FindBackward(LineReader& lines, TextPlace from,
                                                      const SearchCancel& cancel) const {
    const CodePage& page = folding_.Page();
    CharStarts starts(page);
    std::vector<std::size_t> offsets;
    for (std::size_t line = from.line;; --line) {
        if (line != from.line && (from.line - line) % kCancelLines == 0 && cancel && cancel()) {
            return std::nullopt;
        }
        std::string_view text = lines.Get(line);
        const std::size_t last = line == from.line ? from.offset : text.size();
        if (anchorCount_ > 0) {
            AnchorCursor cursor;
            std::size_t upTo = std::min(last + anchorOffset_ + 1, text.size());
            while (upTo-- > 0) {
                text = lines.Get(line);
                const std::size_t hit = cursor.Backward(text, upTo, anchor_, anchorCount_);
                if (hit == kNone || hit < anchorOffset_) {
                    break;
                }
                const TextPlace start{line, hit - anchorOffset_};
                if (starts.At(line, text, start.offset)) {
                    if (const auto end = MatchAt(lines, start)) {
                        return SearchMatch{start, *end};
                    }
                }
                upTo = hit;
            }
        } else {
            offsets.clear();
            for (std::size_t pos = 0; pos <= last;) {
                offsets.push_back(pos);
                if (pos >= text.size()) {
                    break;
                }
                pos += static_cast<std::size_t>(std::max(1, page.CharLength(text, pos)));
            }
            for (auto at = offsets.rbegin(); at != offsets.rend(); ++at) {
                text = lines.Get(line);
                const auto byte = *at < text.size() ? static_cast<unsigned char>(text[*at]) : '\n';
                if (mayStart_[byte]) {
                    if (const auto end = MatchAt(lines, {line, *at})) {
                        return SearchMatch{{line, *at}, *end};
                    }
                }
            }
        }
        if (line == 0) {
            return std::nullopt;
        }
    }
}

}  // namespace corvina
