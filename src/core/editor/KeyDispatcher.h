#pragma once
// Turns the key-down events of one editor view into commands through the
// key table: the keys that go to the default processing, two-stroke keys,
// the Shift selection, the viewer's mail commands, and the table lookup.
// The view forwards its key events here and acts on the disposition.

#include <functional>

#include "editor/CommandTable.h"
#include "editor/EditorCommandIds.h"

namespace corvina {

class EditorHost;
class TextEditor;
struct EditorOptions;

struct KeyModifiers {
    bool ctrl = false, shift = false, alt = false;
};

struct KeyContext {
    bool readOnly = false;          // the main window's message viewer
    bool frameMinimised = false;    // the frame window is minimised
    bool inputCtrlPending = false;  // "InputCtrl" waits for its character
};

enum class KeyDisposition {
    kPassOn,                  // default processing: the key's character is typed
    kConsumed,                // a command (or a prefix) took the key
    kConsumedDropCharacters,  // taken; drop the character events it queued
    kRestoreFrame,            // restore the minimised frame
};

class KeyDispatcher {
public:
    // `editor`, `host`, `options` and `bindings` must outlive the
    // dispatcher.
    KeyDispatcher(TextEditor& editor, EditorHost& host, const EditorOptions& options,
                  KeyBindings& bindings = KeyBindings::Shared());

    // Where view commands go (the view wires the editor's command runner).
    void SetViewCommandSink(std::function<void(EditorCommand)> sink);
    // Stops a running continuous scroll; every dispatched key calls it.
    void SetStopContinuousScroll(std::function<void()> stop);

    KeyDisposition KeyDown(int virtualKey, KeyModifiers modifiers, const KeyContext& context);
    // A key release with no further key press waiting resets the repeat
    // count.
    void KeyUp(bool morePressesQueued);
    int KeyRepeat() const { return keyRepeat_; }  // 0..100, drives the scroll acceleration
    EditorCommand LastCommand() const { return lastCommand_; }  // for "Repeat"

    // The prefix letter of a two-stroke key waiting for its second key is
    // one for the whole process (the key goes on in another view); tests
    // start without one.
    static void ResetPendingPrefix();

    static constexpr int kMaxKeyRepeat = 100;

private:
    bool ShiftCounts(int key, KeyModifiers modifiers) const;
    KeyDisposition Dispatch(int key, KeyModifiers modifiers, const KeyContext& context);
    void SendToView(EditorCommand command);
    void PostToFrame(EditorCommand command);
    void ClearEmptyStreamSelection();

    TextEditor& editor_;
    EditorHost& host_;
    const EditorOptions& options_;
    KeyBindings& bindings_;
    std::function<void(EditorCommand)> viewSink_;
    std::function<void()> stopContinuousScroll_;
    int keyRepeat_ = 0;
    EditorCommand lastCommand_ = EditorCommand::kNone;
};

}  // namespace corvina
