#pragma once
// The search's regular expressions, compiled to a position automaton: one
// state per character atom as the pattern's author sees it (a wide
// character, a class or "." is one atom) and a start state, with no empty
// moves. The grammar:
//   "(" ")" group; "*" repeats the atom before it zero or more times, "+"
//   one or more times; "." is any one character, the line end included;
//   "|" and "?" both separate alternatives and bind more loosely than
//   concatenation, and an empty alternative matches the empty string;
//   "[...]" is a class running to the next "]": a leading "^" negates it,
//   exactly "x-y" is the range from x to y (compared by code: 16-bit code
//   on Shift_JIS, code point on UTF-8), anything else a list; "\" escapes
//   are decoded inside and outside classes; any other character, and a
//   "*" or "+" with nothing before it, stands for itself.
// Atoms and classes are folded as the text will be.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace corvina {

class CodePage;
class SearchFolding;

// A set of automaton states (at most 128).
struct StateSet {
    std::uint64_t words[2] = {0, 0};

    void Set(int state) { words[state >> 6] |= std::uint64_t{1} << (state & 63); }
    bool Has(int state) const { return (words[state >> 6] >> (state & 63)) & 1; }
    bool Empty() const { return (words[0] | words[1]) == 0; }
    bool Intersects(const StateSet& other) const {
        return ((words[0] & other.words[0]) | (words[1] & other.words[1])) != 0;
    }
    StateSet& operator|=(const StateSet& other) {
        words[0] |= other.words[0];
        words[1] |= other.words[1];
        return *this;
    }
    StateSet& operator&=(const StateSet& other) {
        words[0] &= other.words[0];
        words[1] &= other.words[1];
        return *this;
    }
    StateSet& Remove(const StateSet& other) {
        words[0] &= ~other.words[0];
        words[1] &= ~other.words[1];
        return *this;
    }
    bool operator==(const StateSet&) const = default;
};

// The characters one atom matches, as folded codes (SearchFolding).
struct CharSet {
    bool negate = false;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> ranges;  // inclusive

    bool Contains(std::uint32_t code) const;
};

// State 0 is the start; state i >= 1 is the state after atom i - 1.
// Moving to state i reads one character of atoms[i - 1].
struct RegexProgram {
    static constexpr int kMaxStates = 128;

    std::vector<CharSet> atoms;
    std::vector<StateSet> follow;  // per state: the states that may come next
    StateSet accept;               // states in which the pattern may end

    int StateCount() const { return static_cast<int>(atoms.size()) + 1; }
    // The states reached from `from` by reading a character of `code`.
    StateSet Step(const StateSet& from, std::uint32_t code) const;
    // The same language read from right to left: state 0 is the end, and
    // accepting means the pattern's start has been reached.
    RegexProgram Reversed() const;
};

// Compiles `pattern` (escapes still in it); nothing and *error set to a
// sentence for the user when it is malformed or needs more than
// kMaxStates states.
std::optional<RegexProgram> CompileRegex(std::string_view pattern, const SearchFolding& folding,
                                         std::string* error);

// Whether `pattern` holds no regular-expression operator, so that it reads
// as a plain string once its escapes are decoded.
bool IsPlainRegex(std::string_view pattern, const CodePage& codePage);

}  // namespace corvina
