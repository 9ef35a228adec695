#include "editor/LineBreaker.h"

#include <algorithm>
#include <string>
#include <vector>

#include "common/CodePage.h"
#include "editor/CharClasses.h"
#include "editor/DisplayRows.h"

namespace corvina {
namespace {

// Hanging characters may reach these columns whatever the split column
// (the last columns of an 80-column screen); with a split column beyond
// them, a hanging character may still pass the split column by one.
constexpr int kWideHangLimit = 77;    // a wide character hangs while n <= this
constexpr int kNarrowHangLimit = 79;  // a narrow character hangs while n < this
// The word wrap moves at most this many characters to the next line; a
// longer word stays and lets the line grow beyond the split column.
constexpr int kWordWrapReach = 10;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Characters of words: the split keeps them together, and a removed line
// end before one becomes a space.
bool IsWordCharacter(std::string_view character, const CodePage& cp) {
    const auto c = static_cast<unsigned char>(character[0]);
    const char* p = character.data();
    const char* end = p + character.size();
    if (character.size() > 1) {
        // A letter of any script; 932's double-byte characters are not.
        return cp.IsUtf8() && cp.ClassOf(p, end) == CharClass::Word;
    }
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '"' ||
        c == '\'' || c == '_') {
        return true;
    }
    if (cp.IsDbcs() || c < 0x80) {
        return false;
    }
    // 0xA0-0xDF count on every page but 932 (half-width katakana there);
    // on a single-byte page its letters count too, upper and lower case.
    return (c >= 0xA0 && c <= 0xDF) || (cp.IsSingleByte() && cp.ClassOf(p, end) == CharClass::Word);
}

// The paragraph as one stream: line ends removed (a space put in where
// words meet), CR dropped. Every break below removes from this stream only
// what this joining puts back, so breaking broken lines changes nothing.
class Breaker {
public:
    explicit Breaker(const LineBreakRules& rules)
        : rules_(rules),
          cp_(*rules.codePage),
          metrics_{rules.codePage, rules.tabWidth, 0},
          limit_(rules.splitColumn) {}

    BrokenParagraph Run(std::string_view paragraph, std::size_t caret);

private:
    std::string_view CharAt(std::string_view text, std::size_t pos) const {
        return text.substr(pos, StepAt(text, pos, 0, metrics_).bytes);
    }
    // Whether a removed line end before `character` becomes a space (wide
    // characters join without one).
    bool JoinsWithSpace(std::string_view character) const {
        return cp_.Columns(character.data(), character.data() + character.size()) == 1 &&
               (IsWordCharacter(character, cp_) ||
                InCharacterSet(rules_.sets->ankOida, character, cp_));
    }
    void Join(std::string_view paragraph, std::size_t caret);

    std::string& Line() { return out_.lines.back(); }
    void Place(std::string_view character, int columns);
    void BreakBefore();
    void Wide(std::string_view character, int columns);
    void Narrow(std::string_view character);
    void BreakAtSpace();
    void WrapWord(std::string_view trigger);

    const LineBreakRules& rules_;
    const CodePage& cp_;
    RowMetrics metrics_;
    int limit_;

    std::string stream_;
    std::size_t streamCaret_ = 0;
    std::size_t pos_ = 0;  // next byte of stream_

    BrokenParagraph out_;
    std::vector<std::size_t> starts_;  // character starts of the current line
    int column_ = 0;                   // n: columns of the current line
    bool caretPlaced_ = false;
};

void Breaker::Join(std::string_view paragraph, std::size_t caret) {
    std::size_t end = paragraph.size();
    if (end > 0 && paragraph[end - 1] == '\n') {
        --end;  // the paragraph's own end
    }
    streamCaret_ = std::string::npos;
    for (std::size_t pos = 0; pos < end;) {
        const CharStep step = StepAt(paragraph, pos, 0, metrics_);
        if (streamCaret_ == std::string::npos && caret < pos + step.bytes) {
            streamCaret_ = stream_.size();
        }
        const char c = paragraph[pos];
        if (c == '\n') {
            std::size_t next = pos + 1;
            while (next < end && paragraph[next] == '\r') {
                ++next;
            }
            if (next < end && !stream_.empty() && !IsBlank(stream_.back()) &&
                JoinsWithSpace(CharAt(paragraph, next))) {
                stream_ += ' ';
            }
        } else if (c != '\r') {
            stream_.append(paragraph.substr(pos, step.bytes));
        }
        pos += step.bytes;
    }
    if (streamCaret_ == std::string::npos) {
        streamCaret_ = stream_.size();
    }
}

void Breaker::Place(std::string_view character, int columns) {
    if (!caretPlaced_ && streamCaret_ < pos_) {
        out_.caretLine = out_.lines.size() - 1;
        out_.caretOffset = Line().size();
        caretPlaced_ = true;
    }
    starts_.push_back(Line().size());
    Line() += character;
    column_ += columns;
}

// A line break before the next character; never leaves an empty line.
void Breaker::BreakBefore() {
    if (Line().empty()) {
        return;
    }
    out_.lines.emplace_back();
    starts_.clear();
    column_ = 0;
}

void Breaker::Wide(std::string_view character, int columns) {
    const KinsokuSets& sets = *rules_.sets;
    if (column_ < limit_ - 3) {
        // room enough
    } else if (InCharacterSet(sets.dbcsOida, character, cp_)) {
        BreakBefore();  // may not end a line
    } else if (column_ < limit_ - 1) {
        // still fits before the split column
    } else if (!(InCharacterSet(sets.dbcsBura, character, cp_) &&
                 column_ <= std::max(kWideHangLimit, limit_ - 1))) {
        BreakBefore();
    }
    Place(character, columns);
}

void Breaker::Narrow(std::string_view character) {
    const KinsokuSets& sets = *rules_.sets;
    const bool hangs = InCharacterSet(sets.ankBura, character, cp_) &&
                       column_ < std::max(kNarrowHangLimit, limit_);
    if (column_ < limit_ - 1 || hangs) {
        Place(character, 1);
    } else if (IsWordCharacter(character, cp_) || InCharacterSet(sets.ankOida, character, cp_)) {
        WrapWord(character);
        Place(character, 1);
    } else if (character == " ") {
        BreakAtSpace();
    } else {
        BreakBefore();
        Place(character, 1);
    }
}

// A space where the line must end (pos_ is past it). The spaces there go
// when a word follows, as the joining puts one back, and at the end of the
// paragraph (a space typed at the limit moves the caret on); before
// anything else they stay, hanging, so that rejoining glues nothing.
void Breaker::BreakAtSpace() {
    const std::size_t first = pos_ - 1;
    std::size_t next = pos_;
    while (next < stream_.size() && stream_[next] == ' ') {
        ++next;
    }
    const bool atEnd = next == stream_.size();
    if (Line().empty() || (!atEnd && StepAt(stream_, next, 0, metrics_).columns == 0)) {
        Place(" ", 1);  // nothing to break from, or a mark on the space
        return;
    }
    if (atEnd || (!IsBlank(Line().back()) && JoinsWithSpace(CharAt(stream_, next)))) {
        pos_ = next;
        BreakBefore();
        if (!caretPlaced_ && streamCaret_ >= first && streamCaret_ < next) {
            out_.caretLine = out_.lines.size() - 1;  // the new line's start
            out_.caretOffset = 0;
            caretPlaced_ = true;
        }
        return;
    }
    Place(" ", 1);
    while (pos_ < next) {
        ++pos_;
        Place(" ", 1);
    }
    BreakBefore();
}

// Moves the word at the end of the current line to a new line when a
// blank lies within reach before it. The blank stays at the end of the
// line unless it is the one space the joining puts back.
void Breaker::WrapWord(std::string_view trigger) {
    std::string& line = Line();
    std::size_t blank = std::string::npos;
    for (int k = 0; k < static_cast<int>(starts_.size()) && k <= kWordWrapReach; ++k) {
        const std::size_t start = starts_[starts_.size() - 1 - k];
        if (IsBlank(line[start])) {
            blank = start;
            break;
        }
    }
    if (blank == std::string::npos || line.find_first_not_of(" \t") >= blank) {
        return;  // no blank in reach, or nothing but blanks would stay
    }
    const std::size_t wordStart = blank + 1;
    const std::string_view first = wordStart < line.size() ? CharAt(line, wordStart) : trigger;
    const bool dropBlank = line[blank] == ' ' && !IsBlank(line[blank - 1]) && JoinsWithSpace(first);
    const std::size_t keep = dropBlank ? blank : wordStart;

    std::string word = line.substr(wordStart);
    line.resize(keep);
    if (caretPlaced_ && out_.caretLine == out_.lines.size() - 1) {
        if (out_.caretOffset >= wordStart) {
            out_.caretLine += 1;
            out_.caretOffset -= wordStart;
        } else {
            out_.caretOffset = std::min(out_.caretOffset, keep);
        }
    }
    std::vector<std::size_t> wordStarts;
    for (std::size_t start : starts_) {
        if (start >= wordStart) {
            wordStarts.push_back(start - wordStart);
        }
    }
    out_.lines.push_back(std::move(word));
    starts_ = std::move(wordStarts);
    column_ = 0;
    for (std::size_t pos = 0; pos < Line().size();) {
        const CharStep step = StepAt(Line(), pos, column_, metrics_);
        column_ += step.columns;
        pos += step.bytes;
    }
}

BrokenParagraph Breaker::Run(std::string_view paragraph, std::size_t caret) {
    Join(paragraph, caret);
    out_.lines.emplace_back();
    while (pos_ < stream_.size()) {
        const CharStep step = StepAt(stream_, pos_, column_, metrics_);
        const std::string_view character = std::string_view(stream_).substr(pos_, step.bytes);
        pos_ += step.bytes;
        if (character[0] == '\t' || step.columns == 0) {
            Place(character, step.columns);  // a TAB always fits; marks join their base
        } else if (step.columns >= 2) {
            Wide(character, step.columns);
        } else {
            Narrow(character);
        }
    }
    if (!caretPlaced_) {
        out_.caretLine = out_.lines.size() - 1;
        out_.caretOffset = Line().size();
    }
    // The empty line after a space at the end stays only to hold the caret.
    if (out_.lines.size() > 1 && Line().empty() && out_.caretLine + 1 < out_.lines.size()) {
        out_.lines.pop_back();
    }
    return std::move(out_);
}

}  // namespace

BrokenParagraph BreakParagraph(std::string_view paragraph, std::size_t caret,
                               const LineBreakRules& rules) {
    return Breaker(rules).Run(paragraph, caret);
}

bool SplitTriggeredBy(std::string_view character, int column, const LineBreakRules& rules) {
    if (character.empty() || character[0] == '\t' || character[0] == '\n' || character[0] == '\r') {
        return false;
    }
    const CodePage& cp = *rules.codePage;
    const KinsokuSets& sets = *rules.sets;
    const int limit = rules.splitColumn;
    const int columns = cp.Columns(character.data(), character.data() + character.size());
    if (columns == 0) {
        return false;
    }
    if (columns >= 2) {
        if (column >= limit - 3 && InCharacterSet(sets.dbcsOida, character, cp)) {
            return true;
        }
        return column >= limit - 1 && !(InCharacterSet(sets.dbcsBura, character, cp) &&
                                        column <= std::max(kWideHangLimit, limit - 1));
    }
    if (column >= limit - 2 && InCharacterSet(sets.ankOida, character, cp)) {
        return true;
    }
    return column >= limit - 1 && !(InCharacterSet(sets.ankBura, character, cp) &&
                                    column < std::max(kNarrowHangLimit, limit));
}

}  // namespace corvina
