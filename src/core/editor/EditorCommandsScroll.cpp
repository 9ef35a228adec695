// Scrolling over the model's viewport: rows, pages, the horizontal scroll
// and the continuous scroll on the view's timer.

#include <algorithm>

#include "editor/EditorCommands.h"
#include "editor/EditorHost.h"
#include "editor/EditorOptions.h"
#include "editor/TextEditor.h"

namespace corvina {

namespace {

// Timer periods (ms) of the continuous scroll set by the digits 0 to 9.
constexpr int kDigitPeriods[] = {1, 11, 21, 41, 61, 101, 151, 201, 301, 501};
constexpr int kMinPeriod = 1;
constexpr int kMaxPeriod = 501;
constexpr int kPeriodStep = 10;

}  // namespace

int EditorCommands::ScrollStep() const {
    if (options_.accell && keyRepeat_ > options_.accRpt) {
        return options_.accMode == 1 ? 4 : 2;
    }
    return 1;
}

void EditorCommands::MoveCaretRows(long rows) {
    for (; rows > 0; --rows) {
        const long row = editor_.CaretRow();
        editor_.CaretDown();
        if (editor_.CaretRow() == row) {
            return;
        }
    }
    for (; rows < 0; ++rows) {
        const long row = editor_.CaretRow();
        editor_.CaretUp();
        if (editor_.CaretRow() == row) {
            return;
        }
    }
}

bool EditorCommands::ScrollRows(long rows) {
    if (editor_.Document() == nullptr) {
        return false;
    }
    const long before = editor_.TopRow();
    editor_.ScrollTo(before + rows);
    if (editor_.TopRow() == before) {
        return false;
    }
    const long top = editor_.TopRow();
    const long bottom = top + editor_.WindowRows() - 1;
    const long row = editor_.CaretRow();
    if (row < top) {
        MoveCaretRows(top - row);
    } else if (row > bottom) {
        MoveCaretRows(bottom - row);
    }
    return true;
}

void EditorCommands::PageRows(long rows) {
    if (editor_.Document() == nullptr) {
        return;
    }
    editor_.ScrollTo(editor_.TopRow() + rows);
    MoveCaretRows(rows);
}

void EditorCommands::RollUp() {
    ScrollRows(ScrollStep());
}

void EditorCommands::RollDown() {
    ScrollRows(-ScrollStep());
}

void EditorCommands::NormalRlUp() {
    ScrollRows(1);
}

void EditorCommands::NormalRlDn() {
    ScrollRows(-1);
}

void EditorCommands::PageUp() {
    PageRows(editor_.WindowRows());
}

void EditorCommands::PageDown() {
    PageRows(-editor_.WindowRows());
}

void EditorCommands::HalfPageUp() {
    PageRows(std::max(1, editor_.WindowRows() / 2));
}

void EditorCommands::HalfPageDown() {
    PageRows(-std::max(1, editor_.WindowRows() / 2));
}

void EditorCommands::SetLeftColumn(int column) {
    const int left = std::clamp(column, 0, std::max(0, editor_.WrapWidth() - 1));
    if (left != editor_.LeftColumn()) {
        editor_.SetLeftColumn(left);
        host_.RedrawAll();
    }
}

void EditorCommands::RollLeft() {
    SetLeftColumn(editor_.LeftColumn() - kRollColumns);
}

void EditorCommands::RollRight() {
    SetLeftColumn(editor_.LeftColumn() + kRollColumns);
}

void EditorCommands::SlowRlup() {
    scrollDirection_ = editor_.Document() != nullptr ? 1 : 0;
}

void EditorCommands::SlowRldn() {
    scrollDirection_ = editor_.Document() != nullptr ? -1 : 0;
}

// One row per tick; the scroll ends by itself at either end of the text.
void EditorCommands::Tick() {
    if (Scrolling() && !ScrollRows(scrollDirection_)) {
        StopScrolling();
    }
}

// "+" makes the scroll faster (a shorter period), "-" slower.
bool EditorCommands::ScrollSpeedKey(char key) {
    if (!Scrolling()) {
        return false;
    }
    if (key == '+') {
        scrollPeriod_ = std::max(kMinPeriod, scrollPeriod_ - kPeriodStep);
    } else if (key == '-') {
        scrollPeriod_ = std::min(kMaxPeriod, scrollPeriod_ + kPeriodStep);
    } else if (key >= '0' && key <= '9') {
        scrollPeriod_ = kDigitPeriods[key - '0'];
    } else {
        return false;
    }
    return true;
}

void EditorCommands::MakeTop() {
    editor_.ScrollTo(editor_.CaretRow());
}

void EditorCommands::MakeBot() {
    editor_.ScrollTo(editor_.CaretRow() - editor_.WindowRows() + 1);
}

void EditorCommands::MakeMid() {
    editor_.CenterCaretRow();
}

}  // namespace corvina
