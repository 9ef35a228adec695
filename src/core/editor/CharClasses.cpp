#include "editor/CharClasses.h"

#include <algorithm>

#include "common/CodePage.h"
#include "editor/EditorOptions.h"

namespace corvina {

bool InCharacterSet(std::string_view set, std::string_view ch, const CodePage& codePage) {
    for (std::size_t pos = 0; pos < set.size();) {
        const auto length = static_cast<std::size_t>(std::max(1, codePage.CharLength(set, pos)));
        if (set.substr(pos, length) == ch) {
            return true;
        }
        pos += length;
    }
    return false;
}

namespace {

int SingleByteClass(unsigned char byte, std::string_view ch, const CodePage& codePage,
                    const KinsokuSets& sets) {
    if (byte <= 0x20 || InCharacterSet(sets.ankDelimiter, ch, codePage)) {
        return kWordDelimiter;
    }
    return byte <= 0x7E ? kWordAscii : kWordHighByte;
}

int ShiftJisClass(unsigned lead, unsigned trail, std::string_view ch, const CodePage& codePage,
                  const KinsokuSets& sets) {
    const unsigned code = lead << 8 | trail;
    if (code == 0x8140 || InCharacterSet(sets.dbcsDelimiter, ch, codePage)) {
        return kWordWideDelimiter;
    }
    if (code >= 0x824F && code <= 0x829A) {
        return kWordWideAlnum;
    }
    if (code >= 0x829F && code <= 0x833F) {
        return kWordHiragana;
    }
    if ((code >= 0x8340 && code <= 0x8396) || code == 0x815B) {
        return kWordKatakana;
    }
    if (code >= 0x889F || (code >= 0x8152 && code <= 0x815A)) {
        return kWordKanji;
    }
    return kWordWideOther;
}

// A character that is not plain ASCII on UTF-8 or a single-byte page,
// placed by its Unicode class beside the Shift_JIS classes.
int UnicodeClass(std::string_view ch, const CodePage& codePage, const KinsokuSets& sets) {
    const char* begin = ch.data();
    const char* end = begin + ch.size();
    const char32_t cp = codePage.Decode(begin, end);
    const bool wide = codePage.Columns(begin, end) == 2;
    if (cp == U'\u3000' || (wide && InCharacterSet(sets.dbcsDelimiter, ch, codePage))) {
        return kWordWideDelimiter;
    }
    if (!wide && InCharacterSet(sets.ankDelimiter, ch, codePage)) {
        return kWordDelimiter;
    }
    if ((cp >= U'\uFF10' && cp <= U'\uFF19') || (cp >= U'\uFF21' && cp <= U'\uFF3A') ||
        (cp >= U'\uFF41' && cp <= U'\uFF5A')) {
        return kWordWideAlnum;
    }
    if (cp >= U'\uFF61' && cp <= U'\uFF9F') {
        return kWordHalfKana;
    }
    switch (codePage.ClassOf(begin, end)) {
        case CharClass::Space:
        case CharClass::Control:
            return wide ? kWordWideDelimiter : kWordDelimiter;
        case CharClass::Word:
            return kWordAscii;
        case CharClass::Hiragana:
            return kWordHiragana;
        case CharClass::Katakana:
            return kWordKatakana;
        case CharClass::Ideograph:
            return kWordKanji;
        case CharClass::Punct:
            return wide ? kWordWideOther : kWordHighByte;
        case CharClass::WideSymbol:
            return kWordWideOther;
    }
    return kWordWideOther;
}

}  // namespace

int WordClassAt(std::string_view line, std::size_t pos, const CodePage& codePage,
                const KinsokuSets& sets) {
    if (pos >= line.size()) {
        return kWordDelimiter;  // the line end
    }
    const auto length = static_cast<std::size_t>(std::max(1, codePage.CharLength(line, pos)));
    const std::string_view ch = line.substr(pos, length);
    const auto byte = static_cast<unsigned char>(line[pos]);
    if (codePage.IsDbcs()) {
        if (length == 2) {
            return ShiftJisClass(byte, static_cast<unsigned char>(line[pos + 1]), ch, codePage,
                                 sets);
        }
        if (byte >= 0xA0 && byte <= 0xDF) {
            return byte == 0xA0 ? kWordHighByte : kWordHalfKana;
        }
        return SingleByteClass(byte, ch, codePage, sets);
    }
    if (byte < 0x80) {
        return SingleByteClass(byte, ch, codePage, sets);
    }
    return UnicodeClass(ch, codePage, sets);
}

std::pair<std::size_t, std::size_t> WordRunAt(std::string_view line, std::size_t pos,
                                              const CodePage& codePage, const KinsokuSets& sets) {
    if (pos >= line.size()) {
        return {line.size(), line.size()};
    }
    const int wordClass = WordClassAt(line, pos, codePage, sets);
    const auto length = static_cast<std::size_t>(std::max(1, codePage.CharLength(line, pos)));
    if (IsDelimiterClass(wordClass)) {
        return {pos, pos + length};
    }
    // Walk forward from the line start: going back a character at a time
    // would rescan the line for every step on Shift_JIS.
    std::size_t start = 0;
    for (std::size_t at = 0; at < pos;) {
        const int atClass = WordClassAt(line, at, codePage, sets);
        at += static_cast<std::size_t>(std::max(1, codePage.CharLength(line, at)));
        if (atClass != wordClass) {
            start = at;
        }
    }
    std::size_t end = pos + length;
    while (end < line.size() && WordClassAt(line, end, codePage, sets) == wordClass) {
        end += static_cast<std::size_t>(std::max(1, codePage.CharLength(line, end)));
    }
    return {start, end};
}

}  // namespace corvina
