#pragma once
// The keywords of keyword colouring, read from the editor's keyword file,
// and the matching of them in a line of text.
//
// Keyword file (bytes in the working code page, one entry a line):
//   word<TAB>c      a keyword; c a hex digit picks one of the 16 keyword
//                   colours, any other character colour 0
//   <d>name<TAB>text[<TAB>x]
//                   d a control byte: starts keyword group d. The keyword
//                   lines after it, up to the next group line, belong to
//                   it; a second field (x, any text) makes them match
//                   without regard to ASCII letter case. Fields are the
//                   non-empty runs between TABs. Keywords before the first
//                   group line match case as written.
// Other lines (no TAB, or longer than kMaxLineBytes) are ignored.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace corvina {

class CodePage;

// A keyword found in a line: bytes [start, start + length) in colour
// `colour` (0-15).
struct KeywordSpan {
    std::size_t start = 0;
    std::size_t length = 0;
    int colour = 0;
    bool operator==(const KeywordSpan&) const = default;
};

class KeywordTable {
public:
    static constexpr std::size_t kMaxLineBytes = 256;

    // Replaces the table with the keywords of `path`, whose bytes are in
    // `codePage`. False when the file cannot be read; the table is empty
    // then (colouring goes on without keywords).
    bool Load(const std::filesystem::path& path, const CodePage& codePage);

    bool Empty() const { return count_ == 0; }
    std::size_t Size() const { return count_; }
    // Changes whenever the table is loaded, so that cached results of
    // FindAll can tell they are stale.
    unsigned Generation() const { return generation_; }

    // Every keyword of `text` (one line), found left to right: at each
    // character start not inside an earlier match, the longest keyword
    // that matches and stands as a word wins. A word is a run of
    // characters of class Word (letters of any script, digits, "_"); a
    // keyword starting with a wide character needs no word test.
    void FindAll(std::string_view text, std::vector<KeywordSpan>& out) const;

private:
    struct Keyword {
        std::string bytes;     // case-insensitive keywords: letters upper case
        std::string foldable;  // 1 where a byte is an ASCII letter to fold
        int colour = 0;
        bool ignoreCase = false;
        bool wideStart = false;  // no word test
    };

    void Clear();
    void Add(std::string_view word, int colour, bool ignoreCase);
    // Length of the keyword at text[pos], or 0; `afterWord`: the character
    // before pos continues a word. On a match, lastCharStart receives the
    // start of its last character.
    std::size_t MatchAt(std::string_view text, std::size_t pos, bool afterWord,
                        std::size_t& lastCharStart, int& colour) const;
    bool Equals(const Keyword& k, const char* p) const;

    const CodePage* codePage_ = nullptr;
    std::vector<Keyword> lists_[256];  // by first byte, ASCII upper case
    std::size_t count_ = 0;
    unsigned generation_ = 0;
};

}  // namespace corvina
