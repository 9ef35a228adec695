#pragma once
// Case folding of user text in a code page: names, nicknames, subjects and
// filter texts compare without regard to case in every script the code
// page holds (Latin, Greek, Cyrillic, full-width Latin...), by the simple
// case folding of the Unicode character database. Protocol tokens and file
// extensions keep the ASCII-only helpers of Bytes.h.

#include <string>
#include <string_view>
#include <vector>

namespace corvina {

class CodePage;

class CaseFold {
public:
    // Folds text of `page` (the working code page unless given).
    CaseFold();
    explicit CaseFold(const CodePage& page);

    // The simple case folding of one Unicode scalar value (itself when it
    // has none): "A" -> "a", "É" -> "é", "Σ" and "ς" -> "σ", "Ａ" -> "ａ".
    static char32_t Fold(char32_t cp);

    // `text` with every character replaced by its folded form, written in
    // the same code page. Bytes that form no character stay as they are,
    // and the bytes of a double-byte character are only ever replaced as a
    // whole, so a trail byte never changes. Equal keys mean equal text
    // apart from case; keys order as the text does apart from case.
    std::string Key(std::string_view text) const;

    bool Equal(std::string_view a, std::string_view b) const;
    // <0, 0, >0 by the keys' bytes.
    int Compare(std::string_view a, std::string_view b) const;
    // Whether `needle` occurs in `hay` starting and ending at character
    // boundaries; an empty needle occurs everywhere.
    bool Contains(std::string_view hay, std::string_view needle) const;

    struct PageTables;

private:
    // Appends the key of `text` to out; `starts` (if given) receives, per
    // byte of out, whether a character begins there.
    void AppendKey(std::string_view text, std::string& out, std::vector<bool>* starts) const;

    const CodePage& page_;
    const PageTables* tables_;  // null for UTF-8
};

}  // namespace corvina
