#include "editor/SearchPattern.h"

#include <algorithm>
#include <vector>

#include "common/CodePage.h"
#include "editor/EditorEscapes.h"
#include "editor/PlainMatcher.h"
#include "editor/RegexCompiler.h"
#include "editor/RegexMatcher.h"
#include "editor/SearchFolding.h"
#include "editor/SearchScan.h"

namespace corvina {
namespace {

constexpr std::string_view kLetters = "GAMIZWTER";

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
    SearchOptions options;  // as given: a leading "^" or trailing "$" sets only the rules
    SearchFolding folding;
    MatchRules rules;
    std::optional<PlainMatcher> plain;
    std::optional<RegexMatcher> regex;

    Impl(const SearchOptions& searchOptions, const CodePage& codePage)
        : options(searchOptions),
          folding(codePage, searchOptions.ignoreCase, searchOptions.ignoreMbcs),
          rules(searchOptions) {}

    // The character start at or after (forward) or at or before `offset`.
    std::size_t CharStart(std::size_t line, std::string_view text, std::size_t offset,
                          bool forward) const {
        CharStarts starts(folding.Page());
        while (!starts.At(line, text, offset)) {
            offset = forward ? offset + 1 : offset - 1;
        }
        return offset;
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
            impl->rules.topOfLine = true;
            pattern.remove_prefix(1);
        }
        if (EndsWithOperator(pattern, '$', codePage)) {
            impl->rules.endOfLine = true;
            pattern.remove_suffix(1);
        }
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
        impl->plain.emplace(UnescapeText(pattern, codePage), impl->folding, impl->rules);
        if (impl->plain->Empty() && !options.regex) {
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
    const std::string_view line = lines.Get(from.line);
    from.offset = impl_->CharStart(from.line, line, std::min(from.offset, line.size()), true);
    if (impl_->regex) {
        return impl_->regex->FindForward(lines, from, cancel);
    }
    return impl_->plain->FindForward(lines, from, cancel);
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
    const std::string_view line = lines.Get(from.line);
    from.offset = impl_->CharStart(from.line, line, std::min(from.offset, line.size()), false);
    if (impl_->regex) {
        return impl_->regex->FindBackward(lines, from, cancel);
    }
    return impl_->plain->FindBackward(lines, from, cancel);
}

}  // namespace corvina
