#include "editor/RowContent.h"

#include <algorithm>

#include "common/CodePage.h"
#include "common/Utf8.h"

namespace corvina {

namespace {

constexpr char32_t kIdeographicSpace = 0x3000;

}  // namespace

struct RowContent::Attributes {
    Rgb colour;
    bool bold = false;
};

std::string_view DisplayRow::TextOf(std::size_t cell) const {
    const std::size_t start = cells[cell].textStart;
    const std::size_t end = cell + 1 < cells.size() ? cells[cell + 1].textStart : utf8.size();
    return std::string_view(utf8).substr(start, end - start);
}

int DisplayRow::Columns() const {
    int columns = 0;
    for (const DisplayCell& cell : cells) {
        columns += cell.columns;
    }
    return columns;
}

RowContent::RowContent(const EditorOptions& options, const KeywordTable* keywords,
                       RowMetrics metrics, RowStyle style)
    : options_(options), keywords_(keywords), metrics_(metrics), style_(style) {}

const std::vector<KeywordSpan>& RowContent::KeywordsOf(std::string_view line) {
    if (!cacheValid_ || cachedGeneration_ != keywords_->Generation() || line != cachedLine_) {
        cachedLine_.assign(line);
        keywords_->FindAll(line, cachedSpans_);
        cachedGeneration_ = keywords_->Generation();
        cacheValid_ = true;
    }
    return cachedSpans_;
}

void RowContent::AddCell(DisplayRow& out, std::string_view utf8, int columns, RowMark mark,
                         const Attributes& attributes) const {
    DisplayCell cell;
    cell.textStart = static_cast<std::uint32_t>(out.utf8.size());
    cell.columns = static_cast<std::uint8_t>(columns);
    cell.mark = mark;
    cell.bold = attributes.bold;
    cell.colour = attributes.colour;
    out.cells.push_back(cell);
    out.utf8 += utf8;
}

// A printable character of one or more bytes, converted for the view.
void RowContent::AddCharacter(DisplayRow& out, const char* p, const char* end, int columns,
                              const Attributes& attributes) const {
    const EditorColors& colors = options_.colors;
    const char32_t u = static_cast<unsigned char>(*p) < 0x80 ? static_cast<unsigned char>(*p)
                                                             : metrics_.codePage->Decode(p, end);
    if (u == kIdeographicSpace && !style_.readOnly && !style_.printing && options_.dSpcDisplay) {
        AddCell(out, "\u3000", columns, RowMark::WideSpace, {colors.tab, false});
        return;
    }
    if (u >= 0x80 && u < 0xA0) {
        // C1 controls have no glyph: shown like the other control bytes.
        AddCell(out, style_.printing ? " " : "?", columns, RowMark::None, {colors.control, false});
        return;
    }
    AddCell(out, {}, columns, RowMark::None, attributes);
    utf8::Append(out.utf8, u);
}

void RowContent::Build(const RowRequest& request, DisplayRow& out) {
    out.Clear();
    const std::string_view line = request.line;
    if (request.rowStart >= line.size() || metrics_.codePage == nullptr) {
        return;
    }
    const EditorColors& colors = options_.colors;
    const std::size_t next = NextRowStart(line, request.rowStart, metrics_);
    const std::size_t rowEnd = next == std::string_view::npos ? line.size() : next;
    // Far beyond any row (a line holds at most 65,535 bytes), and safe
    // from overflow.
    constexpr int kFarColumn = 1 << 24;
    const int left = std::clamp(request.leftColumn, 0, kFarColumn);
    const int right = left + std::clamp(request.columns, 0, kFarColumn);
    // A TAB that reaches past the wrap width ends the row at the wrap width.
    const int wrap = std::max(1, metrics_.wrapWidth);
    const bool marks = !style_.readOnly && !style_.printing;

    const std::vector<KeywordSpan>* spans = nullptr;
    if (options_.keyWords && keywords_ != nullptr && !keywords_->Empty()) {
        spans = &KeywordsOf(line);
    }
    std::size_t spanIndex = 0;
    const Attributes plain{request.markedLine ? colors.mark : colors.text,
                           style_.printing && request.markedLine};

    int column = 0;
    std::size_t pos = request.rowStart;
    while (pos < rowEnd && column < right) {
        const auto c = static_cast<unsigned char>(line[pos]);
        if (c == '\n') {
            if (column < left) {
                break;
            }
            if (request.lastLine && marks && options_.eofDisplay) {
                AddCell(out, "<", 1, RowMark::EndOfText, {colors.eof, false});
            } else if (!request.lastLine && marks && options_.crDisplay) {
                AddCell(out, " ", 1, RowMark::LineEnd, {colors.lineEnd, false});
            } else {
                AddCell(out, " ", 1, RowMark::None, plain);
            }
            break;
        }
        const CharStep step = StepAt(line, pos, column, metrics_);
        const int from = column;
        const int to = column + step.columns;

        Attributes attributes = plain;
        if (spans != nullptr) {
            while (spanIndex < spans->size() &&
                   (*spans)[spanIndex].start + (*spans)[spanIndex].length <= pos) {
                ++spanIndex;
            }
            if (spanIndex < spans->size() && (*spans)[spanIndex].start <= pos) {
                if (!request.markedLine) {
                    attributes.colour = colors.keyword[(*spans)[spanIndex].colour & 15];
                }
                attributes.bold = attributes.bold || (options_.keyBold && style_.fixedPitch);
            }
        }

        if (c == '\t') {
            const int stop = std::min({to, std::max(wrap, from + 1), right});
            for (int col = std::max(from, left); col < stop; ++col) {
                if (col == from && !style_.printing && options_.tabDisplay) {
                    AddCell(out, " ", 1, RowMark::Tab, {colors.tab, false});
                } else {
                    AddCell(out, " ", 1, RowMark::None, attributes);
                }
            }
        } else if (step.columns == 0) {
            // A zero-width mark draws onto the character before it.
            if (from >= left && !out.cells.empty()) {
                const char32_t u = metrics_.codePage->Decode(
                    line.data() + pos, line.data() + pos + static_cast<std::size_t>(step.bytes));
                utf8::Append(out.utf8, u);
            }
        } else if (from < left || to > right) {
            // A wide character cut by an edge shows blank where visible.
            for (int col = std::max(from, left); col < std::min(to, right); ++col) {
                AddCell(out, " ", 1, RowMark::None, attributes);
            }
        } else if (c < 0x20 || c == 0x7F) {
            const char letter = style_.printing ? ' ' : static_cast<char>(c ^ 0x40);
            AddCell(out, std::string_view(&letter, 1), 1, RowMark::None, {colors.control, false});
        } else {
            AddCharacter(out, line.data() + pos,
                         line.data() + pos + static_cast<std::size_t>(step.bytes), step.columns,
                         attributes);
        }
        column = to;
        pos += static_cast<std::size_t>(step.bytes);
    }
}

}  // namespace corvina
