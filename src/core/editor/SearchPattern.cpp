#include "editor/SearchPattern.h"

#include <algorithm>
#include <vector>

#include "common/CodePage.h"
#include "editor/EditorEscapes.h"
#include "editor/RegexCompiler.h"
#include "editor/RegexMatcher.h"
#include "editor/SearchFolding.h"
#include "editor/SearchScan.h"

namespace corvina {
namespace {

constexpr std::string_view kLetters = "GAMIZWTER";
// A plain string is compared over at most this many bytes of text.
constexpr std::size_t kPlainSpan = 256;
constexpr std::size_t kCancelLines = 1000;

bool SearchOptions::*const kFlags[] = {
    &SearchOptions::fromBeginning, &SearchOptions::allMessages, &SearchOptions::markFound,
    &SearchOptions::ignoreCase,    &SearchOptions::ignoreMbcs,  &SearchOptions::wholeWord,
    &SearchOptions::topOfLine,     &SearchOptions::endOfLine,   &SearchOptions::regex,
};

// Whether the last character of `pattern` is an unescaped `c`.
bool EndsWithOperator(std::string_view pattern, char c, const CodePage& codePage) {
    bool escaped = false;
    bool last = false;
    for (std::size_t pos = 0; pos < pattern.size();) {
        const int length = std::max(1, codePage.CharLength(pattern, pos));
        last = length == 1 && pattern[pos] == c && !escaped;
        escaped = length == 1 && pattern[pos] == '\\' && !escaped;
        pos += static_cast<std::size_t>(length);
    }
    return last;
}

}  // namespace

SearchOptions SearchOptions::FromLetters(std::string_view letters) {
    SearchOptions options;
    for (std::size_t i = 0; i < kLetters.size(); ++i) {
        options.*kFlags[i] = letters.find(kLetters[i]) != std::string_view::npos;
    }
    return options;
}

std::string SearchOptions::Letters() const {
    std::string letters;
    for (std::size_t i = 0; i < kLetters.size(); ++i) {
        if (this->*kFlags[i]) {
            letters += kLetters[i];
        }
    }
    return letters;
}

struct SearchPattern::Impl {
    SearchOptions options;
    SearchFolding folding;
    MatchRules rules;
    std::vector<std::uint32_t> literal;  // folded codes of a plain string
    std::optional<RegexMatcher> regex;   // a regular expression's matcher

    Impl(const SearchOptions& searchOptions, const CodePage& codePage)
        : options(searchOptions),
          folding(codePage, searchOptions.ignoreCase, searchOptions.ignoreMbcs),
          rules(searchOptions) {}

    // The character at `place` (a line end reads as '\n'), folded; moves
    // `place` past it.
    std::uint32_t ReadAt(LineReader& lines, TextPlace& place) const {
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

    // The end of the shortest accepted match starting at `start`.
    std::optional<TextPlace> MatchAt(LineReader& lines, TextPlace start) const {
        if (!rules.StartAllowed(lines, start)) {
            return std::nullopt;
        }
        return PlainAt(lines, start);
    }

    std::optional<TextPlace> PlainAt(LineReader& lines, TextPlace start) const {
        TextPlace place = start;
        std::size_t bytes = 0;
        std::size_t matched = 0;
        while (true) {
            if (matched == literal.size() && rules.EndAllowed(lines, place)) {
                return place;
            }
            if (place.line >= lines.Count()) {
                return std::nullopt;
            }
            const TextPlace before = place;
            const std::uint32_t code = ReadAt(lines, place);
            bytes += place.line == before.line ? place.offset - before.offset : 1;
            if (bytes > kPlainSpan) {
                return std::nullopt;
            }
            if (code == SearchFolding::kDropped) {
                continue;
            }
            if (matched == literal.size() || literal[matched] != code) {
                return std::nullopt;
            }
            ++matched;
        }
    }

    // The character start at or after (forward) or at or before `offset`.
    std::size_t CharStart(std::string_view line, std::size_t offset, bool forward) const {
        const CodePage& page = folding.Page();
        std::size_t pos = 0;
        while (pos < offset) {
            const auto length = static_cast<std::size_t>(std::max(1, page.CharLength(line, pos)));
            if (pos + length > offset) {
                return forward ? pos + length : pos;
            }
            pos += length;
        }
        return pos;
    }
};

SearchPattern::SearchPattern(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
SearchPattern::SearchPattern(SearchPattern&&) noexcept = default;
SearchPattern& SearchPattern::operator=(SearchPattern&&) noexcept = default;
SearchPattern::~SearchPattern() = default;

const SearchOptions& SearchPattern::Options() const {
    return impl_->options;
}

std::optional<SearchPattern> SearchPattern::Compile(std::string_view escaped,
                                                    const SearchOptions& options,
                                                    const CodePage& codePage, std::string* error) {
    auto impl = std::make_unique<Impl>(options, codePage);
    std::string_view pattern = escaped;
    if (options.regex) {
        if (!pattern.empty() && pattern.front() == '^') {
            impl->options.topOfLine = true;
            pattern.remove_prefix(1);
        }
        if (EndsWithOperator(pattern, '$', codePage)) {
            impl->options.endOfLine = true;
            pattern.remove_suffix(1);
        }
        impl->rules = MatchRules(impl->options);
    }
    if (escaped.empty()) {
        if (error != nullptr) {
            *error = "The search string is empty. Type the text to find.";
        }
        return std::nullopt;
    }
    if (options.regex && !IsPlainRegex(pattern, codePage)) {
        auto program = CompileRegex(pattern, impl->folding, error);
        if (!program) {
            return std::nullopt;
        }
        impl->regex.emplace(*program, impl->folding, impl->rules);
    } else {
        const std::string text = UnescapeText(pattern, codePage);
        for (std::size_t pos = 0; pos < text.size();) {
            int length = 1;
            const std::uint32_t code =
                impl->folding.Read(text.data() + pos, text.data() + text.size(), &length);
            const std::uint32_t folded = impl->folding.Fold(code);
            if (folded != SearchFolding::kDropped) {
                impl->literal.push_back(folded);
            }
            pos += static_cast<std::size_t>(length);
        }
        if (impl->literal.empty() && !options.regex) {
            if (error != nullptr) {
                *error =
                    "The search string has nothing left to find once its marks are "
                    "ignored. Type the text to find.";
            }
            return std::nullopt;
        }
    }
    return SearchPattern(std::move(impl));
}

std::optional<SearchMatch> SearchPattern::FindForward(const SearchText& text, TextPlace from,
                                                      const SearchCancel& cancel) const {
    LineReader lines(text);
    if (from.line >= lines.Count()) {
        return std::nullopt;
    }
    {
        const std::string_view line = lines.Get(from.line);
        from.offset = impl_->CharStart(line, std::min(from.offset, line.size()), true);
    }
    if (impl_->regex) {
        return impl_->regex->FindForward(lines, from, cancel);
    }
    std::size_t walked = 0;
    TextPlace start = from;
    while (start.line < lines.Count()) {
        if (const auto end = impl_->MatchAt(lines, start)) {
            return SearchMatch{start, *end};
        }
        const std::size_t line = start.line;
        impl_->ReadAt(lines, start);
        if (start.line != line && ++walked % kCancelLines == 0 && cancel && cancel()) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

std::optional<SearchMatch> SearchPattern::FindBackward(const SearchText& text, TextPlace from,
                                                       const SearchCancel& cancel) const {
    LineReader lines(text);
    if (lines.Count() == 0) {
        return std::nullopt;
    }
    if (from.line >= lines.Count()) {
        from = {lines.Count() - 1, lines.Get(lines.Count() - 1).size()};
    }
    std::size_t walked = 0;
    TextPlace start = from;
    {
        const std::string_view line = lines.Get(start.line);
        start.offset = impl_->CharStart(line, std::min(start.offset, line.size()), false);
    }
    if (impl_->regex) {
        return impl_->regex->FindBackward(lines, start, cancel);
    }
    while (true) {
        if (const auto end = impl_->MatchAt(lines, start)) {
            return SearchMatch{start, *end};
        }
        if (start.offset == 0) {
            if (start.line == 0) {
                return std::nullopt;
            }
            if (++walked % kCancelLines == 0 && cancel && cancel()) {
                return std::nullopt;
            }
            start = {start.line - 1, lines.Get(start.line - 1).size()};
        } else {
            const std::string_view line = lines.Get(start.line);
            start.offset = impl_->folding.Page().PrevCharStart(line, start.offset);
        }
    }
}

}  // namespace corvina
