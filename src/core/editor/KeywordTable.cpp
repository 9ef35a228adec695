#include "editor/KeywordTable.h"

#include <algorithm>

#include "common/BufferedFile.h"
#include "common/Bytes.h"
#include "common/CodePage.h"

namespace corvina {

namespace {

inline unsigned char ListIndex(char c) {
    return static_cast<unsigned char>(AsciiUpper(c));
}

inline bool IsWordAt(const CodePage& cp, std::string_view text, std::size_t pos) {
    const auto c = static_cast<unsigned char>(text[pos]);
    if (c < 0x80) {
        return IsAsciiAlpha(static_cast<char>(c)) || IsAsciiDigit(static_cast<char>(c)) || c == '_';
    }
    return cp.ClassOf(text.data() + pos, text.data() + text.size()) == CharClass::Word;
}

// The non-empty runs between TABs.
std::vector<std::string_view> Fields(std::string_view text) {
    std::vector<std::string_view> fields;
    for (std::string_view piece : Split(text, '\t')) {
        if (!piece.empty()) {
            fields.push_back(piece);
        }
    }
    return fields;
}

}  // namespace

void KeywordTable::Clear() {
    for (std::vector<Keyword>& list : lists_) {
        list.clear();
    }
    count_ = 0;
}

bool KeywordTable::Load(const std::filesystem::path& path, const CodePage& codePage) {
    Clear();
    ++generation_;
    codePage_ = &codePage;

    BufferedFile file;
    if (!file.Open(path, BufferedFile::kRead)) {
        return false;
    }
    constexpr int kReadSize = static_cast<int>(kMaxLineBytes) + 1;
    std::string line;
    bool ignoreCase = false;
    bool continuing = false;  // the last piece read was cut from a longer line
    for (;;) {
        const long before = file.Tell();
        const int n = file.ReadLine(line, kReadSize);
        if (n <= 0) {
            break;
        }
        // A piece of an over-long line ends in a newline the file does not
        // hold; none of its pieces is an entry of its own.
        const bool cut = n == kReadSize && file.Tell() - before == n - 1 && !file.AtEnd();
        const bool partOfLongLine = cut || continuing;
        continuing = cut;
        if (partOfLongLine) {
            continue;
        }
        line.pop_back();
        if (line.empty()) {
            continue;
        }
        if (static_cast<unsigned char>(line[0]) < 32) {
            const std::size_t tab = line.find('\t', 1);
            if (tab != std::string::npos) {
                ignoreCase = Fields(std::string_view(line).substr(tab + 1)).size() >= 2;
            }
            continue;
        }
        const std::size_t tab = line.find('\t');
        if (tab == std::string::npos) {
            continue;
        }
        const int colour = tab + 1 < line.size() ? HexDigitValue(line[tab + 1]) : -1;
        Add(std::string_view(line).substr(0, tab), colour < 0 ? 0 : colour, ignoreCase);
    }
    if (file.Failed()) {
        Clear();
        return false;
    }
    // Of two keywords with a common start the longer must be tried first.
    for (std::vector<Keyword>& list : lists_) {
        std::stable_sort(list.begin(), list.end(), [](const Keyword& a, const Keyword& b) {
            return a.bytes.size() > b.bytes.size();
        });
    }
    return true;
}

void KeywordTable::Add(std::string_view word, int colour, bool ignoreCase) {
    const CodePage& cp = *codePage_;
    Keyword k;
    k.bytes = word;
    k.colour = colour;
    k.ignoreCase = ignoreCase;
    const char* end = word.data() + word.size();
    k.wideStart = cp.Columns(word.data(), end) == 2;
    if (ignoreCase) {
        // Only single-byte letters fold: a trail byte matches only itself.
        k.foldable.assign(word.size(), '\0');
        for (std::size_t i = 0; i < word.size();) {
            const int len = cp.CharLength(word.data() + i, end);
            if (len == 1 && IsAsciiAlpha(word[i])) {
                k.foldable[i] = '\1';
                k.bytes[i] = AsciiUpper(word[i]);
            }
            i += static_cast<std::size_t>(len);
        }
    }
    std::vector<Keyword>& list = lists_[ListIndex(word[0])];
    const bool known = std::any_of(list.begin(), list.end(), [&](const Keyword& other) {
        return other.bytes == k.bytes && other.colour == k.colour &&
               other.ignoreCase == k.ignoreCase;
    });
    if (!known) {
        list.push_back(std::move(k));
        ++count_;
    }
}

bool KeywordTable::Equals(const Keyword& k, const char* p) const {
    const std::size_t n = k.bytes.size();
    if (!k.ignoreCase) {
        // Keywords are short: a byte loop beats a call to memcmp.
        for (std::size_t i = 0; i < n; ++i) {
            if (p[i] != k.bytes[i]) {
                return false;
            }
        }
        return true;
    }
    for (std::size_t i = 0; i < n; ++i) {
        const char c = k.foldable[i] != '\0' ? AsciiUpper(p[i]) : p[i];
        if (c != k.bytes[i]) {
            return false;
        }
    }
    return true;
}

std::size_t KeywordTable::MatchAt(std::string_view text, std::size_t pos, bool afterWord,
                                  std::size_t& lastCharStart, int& colour) const {
    const CodePage& cp = *codePage_;
    const char* end = text.data() + text.size();
    for (const Keyword& k : lists_[ListIndex(text[pos])]) {
        const std::size_t n = k.bytes.size();
        if ((afterWord && !k.wideStart) || n > text.size() - pos || !Equals(k, text.data() + pos)) {
            continue;
        }
        // The match must end at a character boundary of the text.
        std::size_t at = pos;
        std::size_t last = pos;
        while (at < pos + n) {
            last = at;
            at += static_cast<std::size_t>(cp.CharLength(text.data() + at, end));
        }
        if (at != pos + n) {
            continue;
        }
        if (!k.wideStart && at < text.size() && IsWordAt(cp, text, at)) {
            continue;
        }
        lastCharStart = last;
        colour = k.colour;
        return n;
    }
    return 0;
}

void KeywordTable::FindAll(std::string_view text, std::vector<KeywordSpan>& out) const {
    out.clear();
    if (count_ == 0) {
        return;
    }
    const CodePage& cp = *codePage_;
    const char* end = text.data() + text.size();
    bool afterWord = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        // Inside a word only a keyword starting with a wide character can
        // match, and such a keyword never starts with an ASCII byte.
        const bool candidate = !afterWord || static_cast<unsigned char>(text[pos]) >= 0x80;
        if (candidate && !lists_[ListIndex(text[pos])].empty()) {
            std::size_t last = 0;
            int colour = 0;
            if (const std::size_t n = MatchAt(text, pos, afterWord, last, colour); n > 0) {
                out.push_back({pos, n, colour});
                afterWord = IsWordAt(cp, text, last);
                pos += n;
                continue;
            }
        }
        afterWord = IsWordAt(cp, text, pos);
        pos += static_cast<unsigned char>(text[pos]) < 0x80
                   ? 1
                   : static_cast<std::size_t>(cp.CharLength(text.data() + pos, end));
    }
}

}  // namespace corvina
