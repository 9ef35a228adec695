#include "editor/RegexCompiler.h"

#include <algorithm>

#include "common/CodePage.h"
#include "editor/EditorEscapes.h"
#include "editor/SearchFolding.h"

namespace corvina {
namespace {

constexpr const char* kTooLong =
    "The regular expression is too long: it needs more than 128 states. Shorten it or split "
    "the search.";

bool IsHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// A piece of the automaton under construction: the states it may start
// and end in, and whether it matches the empty string.
struct Fragment {
    StateSet first;
    StateSet last;
    bool nullable = true;
};

class Parser {
public:
    Parser(std::string_view pattern, const SearchFolding& folding, std::string* error)
        : pattern_(pattern), folding_(folding), error_(error) {
        program_.follow.emplace_back();
    }

    std::optional<RegexProgram> Run() {
        const Fragment whole = Alternatives(0);
        if (failed_) {
            return std::nullopt;
        }
        if (pos_ < pattern_.size()) {
            return Fail(
                "The regular expression has a \")\" without a \"(\". Remove it or "
                "write \"\\)\" to find the character.");
        }
        program_.follow[0] = whole.first;
        program_.accept = whole.last;
        if (whole.nullable) {
            program_.accept.Set(0);
        }
        return std::move(program_);
    }

private:
    std::nullopt_t Fail(const char* message) {
        if (!failed_ && error_ != nullptr) {
            *error_ = message;
        }
        failed_ = true;
        return std::nullopt;
    }

    bool AtEnd() const { return failed_ || pos_ >= pattern_.size(); }
    int CharLength() const { return std::max(1, folding_.Page().CharLength(pattern_, pos_)); }
    // The next character when it is the single byte c.
    bool Peek(char c) const { return !AtEnd() && pattern_[pos_] == c && CharLength() == 1; }

    // Reads one character, decoding a "\" escape; `escaped` tells which.
    std::uint32_t ReadChar(bool* escaped) {
        *escaped = false;
        std::size_t length = static_cast<std::size_t>(CharLength());
        std::string decoded;
        if (length == 1 && pattern_[pos_] == '\\') {
            *escaped = true;
            std::size_t escape = 1;
            if (pos_ + 1 < pattern_.size()) {
                const char c = pattern_[pos_ + 1];
                escape += (c == 'x' || c == 'X') && pos_ + 3 < pattern_.size() &&
                                  IsHex(pattern_[pos_ + 2]) && IsHex(pattern_[pos_ + 3])
                              ? 3
                              : static_cast<std::size_t>(
                                    std::max(1, folding_.Page().CharLength(pattern_, pos_ + 1)));
            }
            decoded = UnescapeText(pattern_.substr(pos_, escape), folding_.Page());
            pos_ += escape;
            if (decoded.empty()) {  // a "\" at the very end is dropped
                return SearchFolding::kDropped;
            }
        } else {
            decoded.assign(pattern_.substr(pos_, length));
            pos_ += length;
        }
        int read = 0;
        return folding_.Fold(folding_.Read(decoded.data(), decoded.data() + decoded.size(), &read));
    }

    Fragment Atom(CharSet set) {
        if (static_cast<int>(program_.atoms.size()) + 1 >= RegexProgram::kMaxStates) {
            Fail(kTooLong);
            return {};
        }
        program_.atoms.push_back(std::move(set));
        program_.follow.emplace_back();
        Fragment fragment;
        fragment.first.Set(static_cast<int>(program_.atoms.size()));
        fragment.last = fragment.first;
        fragment.nullable = false;
        return fragment;
    }

    Fragment Literal(std::uint32_t code) {
        if (code == SearchFolding::kDropped) {
            return {};  // a character the folding drops matches nothing at all
        }
        CharSet set;
        set.ranges.emplace_back(code, code);
        return Atom(std::move(set));
    }

    void Link(const StateSet& from, const StateSet& to) {
        for (int state = 1; state < static_cast<int>(program_.follow.size()); ++state) {
            if (from.Has(state)) {
                program_.follow[state] |= to;
            }
        }
    }

    Fragment Concat(const Fragment& a, const Fragment& b) {
        Link(a.last, b.first);
        Fragment out;
        out.first = a.first;
        if (a.nullable) {
            out.first |= b.first;
        }
        out.last = b.last;
        if (b.nullable) {
            out.last |= a.last;
        }
        out.nullable = a.nullable && b.nullable;
        return out;
    }

    Fragment Alternatives(int depth) {
        Fragment all = Sequence(depth);
        while (!AtEnd() && (Peek('|') || Peek('?'))) {
            ++pos_;
            const Fragment next = Sequence(depth);
            all.first |= next.first;
            all.last |= next.last;
            all.nullable = all.nullable || next.nullable;
        }
        return all;
    }

    Fragment Sequence(int depth) {
        Fragment sequence;
        bool any = false;
        while (!AtEnd() && !Peek('|') && !Peek('?')) {
            if (Peek(')')) {
                if (depth == 0) {
                    Fail(
                        "The regular expression has a \")\" without a \"(\". Remove it or "
                        "write \"\\)\" to find the character.");
                }
                break;
            }
            Fragment piece;
            if (!any && (Peek('*') || Peek('+'))) {
                piece = Literal(folding_.Fold(static_cast<unsigned char>(pattern_[pos_++])));
            } else {
                piece = Single(depth);
            }
            while (!AtEnd() && (Peek('*') || Peek('+'))) {
                Link(piece.last, piece.first);
                if (pattern_[pos_] == '*') {
                    piece.nullable = true;
                }
                ++pos_;
            }
            sequence = Concat(sequence, piece);
            any = true;
        }
        return sequence;
    }

    Fragment Single(int depth) {
        if (Peek('(')) {
            ++pos_;
            const Fragment group = Alternatives(depth + 1);
            if (!Peek(')')) {
                Fail(
                    "The regular expression has a \"(\" without its \")\". Close the group "
                    "or write \"\\(\" to find the character.");
                return {};
            }
            ++pos_;
            return group;
        }
        if (Peek('[')) {
            ++pos_;
            return Class();
        }
        if (Peek('.')) {
            ++pos_;
            CharSet any;
            any.negate = true;
            return Atom(std::move(any));
        }
        bool escaped = false;
        return Literal(ReadChar(&escaped));
    }

    Fragment Class() {
        CharSet set;
        if (Peek('^')) {
            set.negate = true;
            ++pos_;
        }
        struct Item {
            std::uint32_t code;
            bool dash;  // an unescaped "-"
        };
        std::vector<Item> items;
        while (!Peek(']')) {
            if (AtEnd()) {
                Fail(
                    "The regular expression has a \"[\" without its \"]\". Close the class "
                    "or write \"\\[\" to find the character.");
                return {};
            }
            bool escaped = false;
            const bool dash = Peek('-');
            const std::uint32_t code = ReadChar(&escaped);
            items.push_back({code, dash && !escaped});
        }
        ++pos_;  // the "]"
        if (items.size() == 3 && items[1].dash) {
            if (items[0].code != SearchFolding::kDropped &&
                items[2].code != SearchFolding::kDropped && items[0].code <= items[2].code) {
                set.ranges.emplace_back(items[0].code, items[2].code);
            }
        } else {
            for (const Item& item : items) {
                if (item.code != SearchFolding::kDropped) {
                    set.ranges.emplace_back(item.code, item.code);
                }
            }
        }
        return Atom(std::move(set));
    }

    std::string_view pattern_;
    const SearchFolding& folding_;
    std::string* error_;
    std::size_t pos_ = 0;
    bool failed_ = false;
    RegexProgram program_;
};

}  // namespace

bool CharSet::Contains(std::uint32_t code) const {
    bool in = false;
    for (const auto& [low, high] : ranges) {
        if (code >= low && code <= high) {
            in = true;
            break;
        }
    }
    return in != negate;
}

StateSet RegexProgram::Step(const StateSet& from, std::uint32_t code) const {
    StateSet reachable;
    for (int state = 0; state < StateCount(); ++state) {
        if (from.Has(state)) {
            reachable |= follow[state];
        }
    }
    StateSet next;
    for (int state = 1; state < StateCount(); ++state) {
        if (reachable.Has(state) && atoms[state - 1].Contains(code)) {
            next.Set(state);
        }
    }
    return next;
}

RegexProgram RegexProgram::Reversed() const {
    RegexProgram reversed;
    reversed.atoms = atoms;
    reversed.follow.resize(follow.size());
    reversed.follow[0] = accept;
    reversed.follow[0].Remove(StateSet{{1, 0}});
    for (int state = 0; state < StateCount(); ++state) {
        for (int next = 1; next < StateCount(); ++next) {
            if (follow[state].Has(next)) {
                if (state != 0) {
                    reversed.follow[next].Set(state);
                } else {
                    reversed.accept.Set(next);
                }
            }
        }
    }
    if (accept.Has(0)) {
        reversed.accept.Set(0);
    }
    return reversed;
}

std::optional<RegexProgram> CompileRegex(std::string_view pattern, const SearchFolding& folding,
                                         std::string* error) {
    return Parser(pattern, folding, error).Run();
}

bool IsPlainRegex(std::string_view pattern, const CodePage& codePage) {
    static constexpr std::string_view kOperators = "()*+.|?[";
    for (std::size_t pos = 0; pos < pattern.size();) {
        const int length = std::max(1, codePage.CharLength(pattern, pos));
        if (length == 1 && kOperators.find(pattern[pos]) != std::string_view::npos) {
            return false;
        }
        pos += static_cast<std::size_t>(length);
    }
    return true;
}

}  // namespace corvina
