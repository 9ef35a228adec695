#pragma once
// Search options and compiled search patterns. A pattern is prepared once
// (escapes decoded, letters folded, a regular expression compiled to an
// automaton) and then run over the lines of a text, forward or backward,
// in time linear in the text it walks. Matches may run over line ends.

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "editor/UndoHistory.h"

namespace corvina {

class CodePage;

// One flag per option letter; the persisted form is the letters of the set
// flags in the order G A M I Z W T E R.
struct SearchOptions {
    bool fromBeginning = false;  // G: start at the top (backward: the end)
    bool allMessages = false;    // A: go on in the next messages of the folder
    bool markFound = false;      // M: mark each line where a match starts
    bool ignoreCase = false;     // I: fold letter case
    bool ignoreMbcs = false;     // Z: fold wide characters to their narrow form
    bool wholeWord = false;      // W: the bytes around the match are below 64
    bool topOfLine = false;      // T: the match starts at a line start
    bool endOfLine = false;      // E: the match ends at a line end
    bool regex = false;          // R: the pattern is a regular expression

    // Sets each flag whose letter occurs; other letters and the order are
    // ignored.
    static SearchOptions FromLetters(std::string_view letters);
    std::string Letters() const;
    bool operator==(const SearchOptions&) const = default;
};

// The text a search walks: lines of the code page, each followed by a
// line end (the last one too).
class SearchText {
public:
    virtual ~SearchText() = default;
    virtual std::size_t LineCount() const = 0;
    // Line `line` without its line end; valid until the next call.
    virtual std::string_view Line(std::size_t line) const = 0;
};

// [start, end): after a matched line end, `end` is (next line, 0).
struct SearchMatch {
    TextPlace start;
    TextPlace end;
    bool operator==(const SearchMatch&) const = default;
};

// Asked every 1,000 lines; true ends the search with nothing found.
using SearchCancel = std::function<bool()>;

class SearchPattern {
public:
    // Prepares `escaped` (the escaped form the find dialog holds) for
    // `options`. Nothing (and *error set to a sentence for the user) when
    // the pattern is empty or cannot be compiled.
    static std::optional<SearchPattern> Compile(std::string_view escaped,
                                                const SearchOptions& options,
                                                const CodePage& codePage, std::string* error);

    // The first accepted match starting at `from` or after it.
    std::optional<SearchMatch> FindForward(const SearchText& text, TextPlace from,
                                           const SearchCancel& cancel = {}) const;
    // The first accepted match starting at `from` or before it, walking
    // back one start position after the other.
    std::optional<SearchMatch> FindBackward(const SearchText& text, TextPlace from,
                                            const SearchCancel& cancel = {}) const;

    const SearchOptions& Options() const;

    SearchPattern(SearchPattern&&) noexcept;
    SearchPattern& operator=(SearchPattern&&) noexcept;
    ~SearchPattern();

private:
    struct Impl;
    explicit SearchPattern(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace corvina
