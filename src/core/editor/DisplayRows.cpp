#include "editor/DisplayRows.h"

#include <algorithm>
#include <cstring>

#include "common/CodePage.h"

namespace corvina {

namespace {

// Printable ASCII takes one byte and one column in every code page: the
// fast path of every loop below.
inline bool IsPlainAscii(unsigned char c) {
    return c >= 0x20 && c < 0x7F;
}

}  // namespace

CharStep StepAt(std::string_view line, std::size_t pos, int column, const RowMetrics& m) {
    const auto c = static_cast<unsigned char>(line[pos]);
    if (IsPlainAscii(c)) {
        return {1, 1};
    }
    if (c == '\n') {
        return {1, 0};
    }
    if (c == '\t') {
        return {1, m.NextTabStop(column) - column};
    }
    if (c < 0x80) {
        return {1, 1};
    }
    const char* p = line.data() + pos;
    const char* end = line.data() + line.size();
    const int bytes = std::max(1, m.codePage->CharLength(p, end));
    if (bytes == 1) {
        return {1, 1};
    }
    // A multi-byte sequence cut by the LF is bytes of one column each.
    if (std::find(p, p + bytes, '\n') != p + bytes) {
        return {1, 1};
    }
    return {bytes, m.codePage->Columns(p, end)};
}

std::size_t NextRowStart(std::string_view line, std::size_t rowStart, const RowMetrics& m) {
    const int wrap = std::max(1, m.wrapWidth);
    // No character takes more columns than it has bytes but the TAB, so
    // the rest of a line shorter than the wrap width is one row without
    // measuring it: most lines of a mail are, and counting the rows of a
    // long body is then mostly a look for TABs.
    const std::size_t rest = line.size() > rowStart ? line.size() - rowStart : 0;
    if (rest <= static_cast<std::size_t>(wrap) &&
        std::memchr(line.data() + rowStart, '\t', rest) == nullptr) {
        return std::string_view::npos;
    }
    int column = 0;
    std::size_t pos = rowStart;
    while (pos < line.size()) {
        const auto c = static_cast<unsigned char>(line[pos]);
        if (IsPlainAscii(c)) {
            ++column;
            ++pos;
        } else {
            if (c == '\n') {
                return std::string_view::npos;
            }
            const CharStep step = StepAt(line, pos, column, m);
            // A wide character never straddles the edge; the first
            // character of a row always stays, so a row is never empty.
            if (step.columns >= 2 && c != '\t' && column + step.columns > wrap && pos > rowStart) {
                return pos;
            }
            column += step.columns;
            pos += step.bytes;
        }
        // A full row ends here even before the LF: the caret on the LF of
        // a line that fills its row stands at the start of a row of its own.
        if (column >= wrap) {
            return pos < line.size() ? pos : std::string_view::npos;
        }
    }
    return std::string_view::npos;
}

int CountRows(std::string_view line, const RowMetrics& m) {
    int rows = 1;
    std::size_t start = 0;
    while ((start = NextRowStart(line, start, m)) != std::string_view::npos && rows < 65535) {
        ++rows;
    }
    return rows;
}

RowPlace RowOf(std::string_view line, std::size_t pos, const RowMetrics& m) {
    RowPlace place;
    for (;;) {
        const std::size_t next = NextRowStart(line, place.rowStart, m);
        if (next == std::string_view::npos || next > pos) {
            return place;
        }
        place.rowStart = next;
        ++place.row;
    }
}

int ColumnOf(std::string_view line, std::size_t rowStart, std::size_t pos, const RowMetrics& m) {
    int column = 0;
    for (std::size_t i = rowStart; i < pos && i < line.size();) {
        const CharStep step = StepAt(line, i, column, m);
        column += step.columns;
        i += step.bytes;
    }
    return column;
}

std::size_t PosAtColumn(std::string_view line, std::size_t rowStart, int column,
                        const RowMetrics& m, int* reached) {
    const std::size_t rowEnd = [&] {
        const std::size_t next = NextRowStart(line, rowStart, m);
        return next == std::string_view::npos ? line.size() - 1 : next;
    }();
    int at = 0;
    std::size_t pos = rowStart;
    while (pos < rowEnd) {
        const CharStep step = StepAt(line, pos, at, m);
        if (at + step.columns > column) {
            break;
        }
        at += step.columns;
        pos += step.bytes;
    }
    if (reached != nullptr) {
        *reached = at;
    }
    return pos;
}

}  // namespace corvina
