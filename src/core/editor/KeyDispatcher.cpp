#include "editor/KeyDispatcher.h"

#include <algorithm>

#include "editor/EditorHost.h"
#include "editor/EditorOptions.h"
#include "editor/TextEditor.h"

namespace corvina {
namespace {

// The prefix letter of a two-stroke key whose second key has not come yet,
// or kNoKey.
KeyCode pendingPrefix = kNoKey;

constexpr int kFirstDispatched = 3;  // Ctrl+Break
constexpr int kLastImeKey = 25;      // Kanji
constexpr int kLastDispatched = kVkDelete;
constexpr int kFirstLetterKey = 0x41;
constexpr int kLastLetterKey = 0x5F;

bool IsFunctionKey(int key) {
    return key >= kVkF1 && key <= kVkF24;
}

bool IsLetterKey(int key) {
    return key >= kFirstLetterKey && key <= kLastLetterKey;
}

// Shift, Ctrl, Alt, Pause, Caps Lock and the input method's keys.
bool IsDefaultProcessingKey(int key) {
    return (key >= kVkShift && key <= kLastImeKey) || key == kVkProcessKey;
}

// The keys some keyboards report for "[", "\", "]", "^", "_".
int FoldPunctuationKey(int key) {
    if (key >= 219 && key <= 223) {
        return key - 219 + '[';
    }
    return key == 226 ? '_' : key;
}

// Keys whose Shift makes another key (WordBS, InsertAft, SearchPrev...)
// rather than a selection: BS to Space, Ins, Del and the F keys.
bool ShiftIsPartOfKey(int key) {
    return (key >= kVkBack && key <= kVkSpace) || key == kVkInsert || key == kVkDelete ||
           IsFunctionKey(key);
}

void DropPendingPrefix(EditorHost& host) {
    pendingPrefix = kNoKey;
    host.ShowStatus("");
}

}  // namespace

KeyDispatcher::KeyDispatcher(TextEditor& editor, EditorHost& host, const EditorOptions& options,
                             KeyBindings& bindings)
    : editor_(editor), host_(host), options_(options), bindings_(bindings) {}

void KeyDispatcher::SetViewCommandSink(std::function<void(EditorCommand)> sink) {
    viewSink_ = std::move(sink);
}

void KeyDispatcher::SetStopContinuousScroll(std::function<void()> stop) {
    stopContinuousScroll_ = std::move(stop);
}

void KeyDispatcher::ResetPendingPrefix() {
    pendingPrefix = kNoKey;
}

void KeyDispatcher::KeyUp(bool morePressesQueued) {
    if (!morePressesQueued) {
        keyRepeat_ = 0;
    }
}

// With ShiftSelect on, Shift selects instead of counting as a modifier,
// except on the keys it changes. Alt with Shift never moves the caret, so
// there Shift counts too: without it the SAlt+ keys of the table
// (HalfPageUp, HalfPageDown...) could never be pressed.
bool KeyDispatcher::ShiftCounts(int key, KeyModifiers modifiers) const {
    return modifiers.shift && (!options_.shiftSelect || modifiers.alt || ShiftIsPartOfKey(key));
}

KeyDisposition KeyDispatcher::KeyDown(int virtualKey, KeyModifiers modifiers,
                                      const KeyContext& context) {
    if (virtualKey == kVkReturn && context.frameMinimised) {
        return KeyDisposition::kRestoreFrame;
    }
    if (context.readOnly && (virtualKey == kVkSpace || virtualKey == kVkProcessKey) &&
        !modifiers.alt) {
        PostToFrame(EditorCommand::kNextPageOrMessage);
        return KeyDisposition::kConsumedDropCharacters;
    }
    if (IsDefaultProcessingKey(virtualKey) || context.inputCtrlPending) {
        return KeyDisposition::kPassOn;
    }
    const int key = FoldPunctuationKey(virtualKey);
    const bool prefixPending = pendingPrefix != kNoKey;
    const bool dispatched = (key >= kFirstDispatched && key <= kLastDispatched) ||
                            IsFunctionKey(key) ||
                            (IsLetterKey(key) && (modifiers.ctrl || prefixPending));
    if (!dispatched) {
        // A key that cannot finish a two-stroke key (a digit) ends it and
        // is typed as usual.
        if (prefixPending) {
            DropPendingPrefix(host_);
        }
        return KeyDisposition::kPassOn;
    }
    keyRepeat_ = std::min(keyRepeat_ + 1, kMaxKeyRepeat);
    if (stopContinuousScroll_) {
        stopContinuousScroll_();
    }
    if (options_.shiftSelect && modifiers.shift && !ShiftCounts(key, modifiers)) {
        editor_.ExtendSelection();  // anchors one unless a selection is active
    }
    const KeyDisposition disposition = Dispatch(key, modifiers, context);
    ClearEmptyStreamSelection();
    return disposition;
}

KeyDisposition KeyDispatcher::Dispatch(int key, KeyModifiers modifiers, const KeyContext& context) {
    const bool shift = ShiftCounts(key, modifiers);
    std::uint8_t modifier = kModNone;
    if (modifiers.alt) {
        modifier = shift ? kModShiftAlt : kModAlt;
    } else if (modifiers.ctrl) {
        modifier = shift ? kModShiftCtrl : kModCtrl;
    } else if (shift) {
        modifier = kModShift;
    }
    KeyCode code = MakeKeyCode(modifier, key);

    if (pendingPrefix != kNoKey) {
        const char prefix = static_cast<char>(pendingPrefix);
        DropPendingPrefix(host_);
        if (IsLetterKey(key)) {
            code = MakeTwoStrokeKey(prefix, static_cast<char>(key));
        }
    }
    if (modifier == kModCtrl && !IsTwoStrokeKey(code) && bindings_.IsPrefix(key)) {
        pendingPrefix = static_cast<KeyCode>(key);
        host_.ShowStatus(std::string("Ctrl+") + static_cast<char>(key) + '^');
        return KeyDisposition::kConsumed;
    }

    if (editor_.HasSelection()) {
        EditorCommand onSelection = EditorCommand::kNone;
        if (code == MakeKeyCode(kModNone, kVkTab)) {
            onSelection = EditorCommand::kIndent;
        } else if (code == MakeKeyCode(kModShift, kVkTab)) {
            onSelection = EditorCommand::kBackInd;
        } else if (code == MakeKeyCode(kModShift, kVkDelete)) {
            onSelection = EditorCommand::kEditCut;
        }
        if (onSelection != EditorCommand::kNone) {
            SendToView(onSelection);
            lastCommand_ = onSelection;
            return KeyDisposition::kConsumed;
        }
    }
    if (code == MakeKeyCode(kModNone, kVkEscape)) {
        PostToFrame(EditorCommand::kNextPane);
        return KeyDisposition::kConsumed;
    }
    if (context.readOnly) {
        if (const CommandRow* row = FindCommandRow(ViewerRows(), code)) {
            PostToFrame(row->frameCommand);
            return KeyDisposition::kConsumed;
        }
    }
    const CommandRow* row = bindings_.Find(code);
    if (row == nullptr) {
        // The second key of a two-stroke key was meant as a command, never
        // as text: an unbound one is not typed either.
        return IsTwoStrokeKey(code) ? KeyDisposition::kConsumed : KeyDisposition::kPassOn;
    }
    if (row->viewCommand != EditorCommand::kNone) {
        SendToView(row->viewCommand);
    }
    if (row->frameCommand != EditorCommand::kNone) {
        PostToFrame(row->frameCommand);
    }
    lastCommand_ = row->Command();
    return KeyDisposition::kConsumed;
}

void KeyDispatcher::SendToView(EditorCommand command) {
    if (viewSink_) {
        viewSink_(command);
    }
}

// The frame may work on the text (save, search, print), so the open line
// goes back into the document first.
void KeyDispatcher::PostToFrame(EditorCommand command) {
    editor_.CommitLine();
    host_.PostFrameCommand(CommandNumber(command));
}

void KeyDispatcher::ClearEmptyStreamSelection() {
    if (editor_.HasSelection() && editor_.Selection() == SelectionMode::kStream &&
        editor_.SelectionStartRow() == editor_.SelectionEndRow() &&
        editor_.SelectionStartColumn() == editor_.SelectionEndColumn()) {
        editor_.ClearSelection();
    }
}

}  // namespace corvina
