#include "editor/EditorIndicators.h"

#include <algorithm>

#include "common/Bytes.h"
#include "common/CodePage.h"
#include "common/Utf8.h"

namespace corvina {

namespace {

constexpr std::string_view kGaugePattern =
    "----+----1----+----2----+----3----+----4----+----5----+----6----+----7----+----8----+----9"
    "----+----0";
constexpr std::string_view kGaugePrefix = ">>>>>> ";
constexpr std::size_t kLineNumberCells = 7;

unsigned long Shown(long zeroBased) {
    return static_cast<unsigned long>(std::max(0L, zeroBased)) + 1;
}

}  // namespace

std::string LineNumberText(bool countDisplayRows, long displayRow, long logicalLine,
                           bool firstRowOfLine) {
    std::string text;
    if (countDisplayRows) {
        text = Format("%10lu:", Shown(displayRow));
    } else if (firstRowOfLine) {
        text = Format("%10lu:", Shown(logicalLine));
    } else {
        text = "          :";
    }
    return text.substr(text.size() - kLineNumberCells);
}

ColumnGauge MakeColumnGauge(int leftColumn, int visibleColumns, int wrapWidth, bool lineNumbers,
                            int caretColumn) {
    ColumnGauge gauge;
    if (lineNumbers) {
        gauge.text = kGaugePrefix;
    }
    const int left = std::max(0, leftColumn);
    const int length = std::max(0, std::min(visibleColumns, wrapWidth - left));
    const std::size_t prefix = gauge.text.size();
    gauge.text.reserve(prefix + static_cast<std::size_t>(length));
    for (int i = 0; i < length; ++i) {
        gauge.text += kGaugePattern[static_cast<std::size_t>(left + i) % kGaugePattern.size()];
    }
    if (caretColumn >= left && caretColumn < left + length) {
        gauge.caretIndex = static_cast<int>(prefix) + caretColumn - left;
    }
    return gauge;
}

std::string PositionText(long displayRow, int caretColumn, long logicalLine, bool focused) {
    if (!focused) {
        return std::string(21, ' ');
    }
    return Format("[%6lu :%3d] #%-6lu", Shown(displayRow) % 1000000, caretColumn + 1,
                  Shown(logicalLine) % 1000000);
}

std::string CharacterCodeText(std::string_view line, std::size_t pos, bool lastLine,
                              const CodePage& codePage) {
    if (pos >= line.size()) {
        return {};
    }
    const auto* p = reinterpret_cast<const unsigned char*>(line.data() + pos);
    if (*p == '\n') {
        return lastLine ? "[EOF]" : "0D0Ah";
    }
    const int length = codePage.CharLength(line.data() + pos, line.data() + line.size());
    if (codePage.IsUtf8()) {
        const auto* end = reinterpret_cast<const unsigned char*>(line.data() + line.size());
        if (utf8::SequenceLength(p, end) == length) {
            return Format("U+%04X", static_cast<unsigned>(utf8::Decode(p, length)));
        }
    } else if (length == 2) {
        return Format("%04Xh", static_cast<unsigned>(p[0] << 8 | p[1]));
    }
    return Format("  %02Xh", static_cast<unsigned>(p[0]));
}

}  // namespace corvina
