#pragma once
// Runs a compiled regular expression over a SearchText in time linear in
// the text it walks. Forward, one pass of the earliest-start automaton
// finds where the leftmost accepted match ends; a pass of the reversed
// automaton, anchored there, walks back to its start. Backward, the
// latest-start automaton runs over growing windows of lines before the
// place (one line, two, four...), each window once, and the reversed
// automaton recovers the start in the same way.

#include <cstdint>
#include <optional>
#include <vector>

#include "editor/LazyDfa.h"
#include "editor/RegexCompiler.h"
#include "editor/SearchFolding.h"
#include "editor/SearchPattern.h"
#include "editor/SearchScan.h"

namespace corvina {

class RegexMatcher {
public:
    RegexMatcher(const RegexProgram& program, const SearchFolding& folding,
                 const MatchRules& rules);

    // `from` is a character start (or a line end) of a line of the text.
    std::optional<SearchMatch> FindForward(LineReader& lines, TextPlace from,
                                           const SearchCancel& cancel);
    std::optional<SearchMatch> FindBackward(LineReader& lines, TextPlace from,
                                            const SearchCancel& cancel);

private:
    // The class of a folded code.
    int ClassOf(std::uint32_t code) const;
    // The symbol of the character at p and its length.
    int SymbolAt(const char* p, const char* end, int* length) const;
    // Past the characters from p on that no match can begin with (none
    // of them dropped); *last is set to the last one passed.
    const char* SkipUnneeded(const char* p, const char* end, const char** last) const;

    // Runs `dfa` from `from` over the text until it dies; the end of the
    // last match it reported. Starts join only up to `lastStart`.
    std::optional<TextPlace> RunForward(LazyDfa& dfa, LineReader& lines, TextPlace from,
                                        const TextPlace* lastStart, const SearchCancel& cancel,
                                        bool* cancelled);
    // From the end of a match back to its start in [low, high]: the lowest
    // one when `lowest`, else the highest.
    TextPlace RunBackward(LineReader& lines, TextPlace end, TextPlace low, TextPlace high,
                          bool lowest);

    const SearchFolding& folding_;
    MatchRules rules_;
    std::vector<std::uint32_t> bounds_;  // class intervals: [bounds_[i], bounds_[i+1])
    std::vector<int> boundClass_;
    int byteSymbol_[256];  // the symbol of each byte read as a character of its own
    bool multiByte_[256];  // bytes that may start a longer character
    bool trailBytes_[256];
    const bool* trail_ = nullptr;  // Shift_JIS: trailBytes_
    bool skippable_[256];          // bytes no match can begin with (see RunForward)
    // When no atom names a wide character and none folds to a narrow one,
    // every wide character has one symbol; -1 otherwise.
    int wideSymbol_ = -1;
    bool wideSkippable_ = false;
    std::optional<LazyDfa> earliest_;
    std::optional<LazyDfa> latest_;
    std::optional<LazyDfa> reversed_;
};

}  // namespace corvina
