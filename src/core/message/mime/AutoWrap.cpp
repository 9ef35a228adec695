#include "message/mime/AutoWrap.h"

#include "common/Bytes.h"
#include "common/CodePage.h"
#include "message/MailMessage.h"

namespace corvina {

namespace {

constexpr int kPlaceWideBelow = 75;      // a wide character is placed below this
constexpr int kPlaceNarrowUpTo = 75;     // a narrow one up to this
constexpr int kHangWideAt = 77;          // a "bura" wide character may still sit here
constexpr int kNarrowSoftLimit = 77;     // narrow characters placed below this
constexpr int kNarrowBuraLimit = 79;     // and hanging "bura" ones below this
constexpr int kWordBackCharacters = 20;  // how far a word break may look back

bool IsAsciiAlnum(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

struct Piece {
    std::string text;
    std::vector<std::size_t> starts;  // character starts within text
    int column = 0;
};

int Advance(int column, std::string_view ch, int width) {
    if (ch.size() == 1 && ch[0] == '\t') {
        return (column / 8 + 1) * 8;
    }
    return column + width;
}

}  // namespace

LineBreakSets LineBreakSets::Defaults(const CodePage& cp) {
    LineBreakSets sets;
    sets.ankOida = "([{";
    sets.ankBura = ")]},.?!\"'";
    // The wide sets and the half-width katakana additions, written in UTF-8.
    static const char* const kDbcsOida = "（［｛「〔《『【〈≪‘“";
    static const char* const kDbcsBura =
        "、。，．？！゛゜～…‥’”）〕］｝〉》」』】≫ーぁぃぅぇぉっゃゅょァィゥェォッャュョ";
    static const char* const kHalfOida = "｢";
    static const char* const kHalfBura = "ﾟﾞ｣､｡ｰ";
    if (cp.IsDbcs() || cp.IsUtf8()) {
        sets.dbcsOida = cp.FromUtf8(kDbcsOida);
        sets.dbcsBura = cp.FromUtf8(kDbcsBura);
        sets.ankOida += cp.FromUtf8(kHalfOida);
        sets.ankBura += cp.FromUtf8(kHalfBura);
    }
    return sets;
}

bool SetHoldsChar(std::string_view set, std::string_view ch, const CodePage& cp) {
    if (ch.empty()) {
        return false;
    }
    for (std::size_t pos = 0; pos < set.size();) {
        int len = cp.CharLength(set, pos);
        if (len <= 0) {
            break;
        }
        if (set.substr(pos, static_cast<std::size_t>(len)) == ch) {
            return true;
        }
        pos += static_cast<std::size_t>(len);
    }
    return false;
}

std::vector<std::string> AutoWrapLine(std::string_view line, const LineBreakSets& sets,
                                      const CodePage& cp) {
    if (!line.empty() && line.back() == '\n') {
        line.remove_suffix(1);
    }
    std::vector<std::string> out;
    Piece piece;
    bool dropBlanks = false;

    auto finish = [&](std::size_t keepBytes) {
        std::string done = piece.text.substr(0, keepBytes);
        done += '\n';
        out.push_back(std::move(done));
        std::string rest = piece.text.substr(keepBytes);
        piece = Piece();
        for (std::size_t pos = 0; pos < rest.size();) {
            int len = cp.CharLength(rest, pos);
            std::string_view ch(rest.data() + pos, static_cast<std::size_t>(len));
            piece.starts.push_back(pos);
            piece.column = Advance(piece.column, ch, cp.Columns(ch.data(), ch.data() + ch.size()));
            pos += static_cast<std::size_t>(len);
        }
        piece.text = std::move(rest);
    };
    auto place = [&](std::string_view ch, int width) {
        piece.starts.push_back(piece.text.size());
        piece.text.append(ch);
        piece.column = Advance(piece.column, ch, width);
    };

    for (std::size_t pos = 0; pos < line.size();) {
        int len = cp.CharLength(line, pos);
        if (len <= 0) {
            break;
        }
        std::string_view ch = line.substr(pos, static_cast<std::size_t>(len));
        pos += static_cast<std::size_t>(len);
        const bool blank = ch == " " || ch == "\t";
        if (dropBlanks) {
            if (blank) {
                continue;
            }
            dropBlanks = false;
        }
        const int width = cp.Columns(ch.data(), ch.data() + ch.size());
        const int col = piece.column;
        if (width >= 2) {
            if (col < kPlaceWideBelow) {
                place(ch, width);
            } else if (SetHoldsChar(sets.dbcsOida, ch, cp)) {
                finish(piece.text.size());
                place(ch, width);
            } else if (col >= kHangWideAt &&
                       !(col == kHangWideAt && SetHoldsChar(sets.dbcsBura, ch, cp))) {
                finish(piece.text.size());
                place(ch, width);
            } else {
                place(ch, width);
            }
            continue;
        }
        if (col <= kPlaceNarrowUpTo) {
            place(ch, width);
            continue;
        }
        if (SetHoldsChar(sets.ankOida, ch, cp)) {
            finish(piece.text.size());
            place(ch, width);
            continue;
        }
        const bool bura = SetHoldsChar(sets.ankBura, ch, cp);
        if (col < kNarrowSoftLimit || (bura && col < kNarrowBuraLimit)) {
            place(ch, width);
            continue;
        }
        // Multi-byte letters of UTF-8 count as letters, so words in any
        // script are not cut in the middle.
        const unsigned char first = static_cast<unsigned char>(ch[0]);
        if (IsAsciiAlnum(first) || (ch.size() > 1 && width == 1)) {
            std::size_t breakAt = std::string::npos;
            const std::size_t n = piece.starts.size();
            for (std::size_t k = 0; k < n && k < static_cast<std::size_t>(kWordBackCharacters);
                 ++k) {
                std::size_t start = piece.starts[n - 1 - k];
                char c = piece.text[start];
                if (c == ' ' || c == '\t') {
                    breakAt = start + 1;
                    break;
                }
            }
            finish(breakAt == std::string::npos ? piece.text.size() : breakAt);
            place(ch, width);
            continue;
        }
        finish(piece.text.size());
        if (blank) {
            dropBlanks = true;
            continue;
        }
        place(ch, width);
    }
    if (!piece.text.empty() || out.empty()) {
        out.push_back(piece.text + "\n");
    }
    return out;
}

void AutoWrapLine(MailMessage& message, std::string_view line, const LineBreakSets& sets,
                  const CodePage& cp) {
    for (const std::string& piece : AutoWrapLine(line, sets, cp)) {
        message.AddBodyLine(piece);
    }
}

}  // namespace corvina
