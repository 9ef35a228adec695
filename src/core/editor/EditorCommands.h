#pragma once
// The view commands of the key table run on the editor model: one table
// from command number to handler, so the key dispatcher, the menus and
// "Repeat" all reach a command the same way. Handlers live by topic in
// EditorCommandsMove.cpp, EditorCommandsEdit.cpp, EditorCommandsScroll.cpp
// and EditorCommandsBlock.cpp.

#include <cstddef>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "editor/EditorCommandIds.h"
#include "editor/EditorDialogs.h"
#include "editor/EditorSearch.h"
#include "editor/UndoHistory.h"

namespace corvina {

class EditorHost;
class TextEditor;
struct EditorOptions;

class EditorCommands {
public:
    EditorCommands(TextEditor& editor, EditorHost& host, EditorDialogs& dialogs,
                   const EditorOptions& options, SearchState& search = SearchState::Shared());

    // Runs a view command of the key table, the search commands included;
    // false when `command` is not one the view handles (frame commands).
    bool Run(EditorCommand command);

    // "InputCtrl": the next typed key is entered as a control character.
    bool InputCtrlPending() const { return inputCtrlPending_; }
    // A typed byte from the view (character events): applies a pending
    // InputCtrl, else TextEditor::TypeChar.
    void TypeChar(unsigned char byte);
    // The characters of one key event that no command took (bytes of the
    // code page): while the continuous scroll runs, a speed key changes
    // its speed and any other key stops it; control characters (what
    // Ctrl with a letter gives) are typed only for a pending InputCtrl.
    void TypeKeyText(std::string_view bytes);

    // The dispatcher's key-repeat count (0..100) for the scroll
    // acceleration.
    void SetKeyRepeat(int count);

    // The continuous scroll ("SlowRlup"/"SlowRldn"): the view runs a timer
    // with this period (ms) while Scrolling() and calls Tick(); the speed
    // keys "+" "-" and the digits while it runs; Stop on any key or mouse
    // press.
    bool Scrolling() const { return scrollDirection_ != 0; }
    int ScrollPeriod() const { return scrollPeriod_; }
    void Tick();
    // True when `key` was a speed key of the running scroll.
    bool ScrollSpeedKey(char key);
    void StopScrolling() { scrollDirection_ = 0; }

    // The clock of "TimeStamp" (tests set a fixed one).
    void SetClock(std::function<std::time_t()> clock) { clock_ = std::move(clock); }

    // Columns that "RollLeft" and "RollRight" move the view.
    static constexpr int kRollColumns = 8;

private:
    using Handler = void (EditorCommands::*)();
    struct Entry {
        EditorCommand command;
        Handler handler;
    };
    static const Entry* Find(EditorCommand command);

    // Caret, jumps and marks (EditorCommandsMove.cpp).
    void CsrUp();
    void CsrLeft();
    void CsrRight();
    void CsrDown();
    void WordLeft();
    void WordRight();
    void BegLine();
    void EndLine();
    void LeftSide();
    void RightSide();
    void TextTop();
    void TextBot();
    void ScreenTop();
    void ScreenBot();
    void NextMark();
    void PrevMark();
    void MarkLine();
    void MarkOff();
    void NoEffect();
    void PrevPos();
    void OtherParen();
    void JumpMark(bool forward);
    // After a jump: the caret's row is brought into the window (centred
    // with JumpCenter).
    void ShowJumpTarget();

    // Editing (EditorCommandsEdit.cpp).
    void BackSpace();
    void DeleteChar();
    void InsertTab();
    void ChangeCase();
    void ChgCaseOne();
    void DeleteAfter();
    void DeleteTop();
    void WordBS();
    void WordDel();
    void RepeatOne();
    void TimeStamp();
    void SplitLine();
    void DeleteLine();
    void InsertAft();
    void InsertBef();
    void DupLine();
    void PopLine();
    void ModeInsert();
    void ModeAutoSplit();
    void InputCtrl();
    void Undo();
    void Redo();
    void Repeat();
    void StepDo();
    bool Editable() const;
    // Deletes [from, to) as one step.
    void DeleteRange(TextPlace from, TextPlace to);
    // The character at the caret; empty on the line end.
    std::string_view CharAtCaret() const;
    // The class run of the word at `offset` of the caret's line.
    std::pair<std::size_t, std::size_t> RunAt(std::size_t offset) const;

    // Scrolling (EditorCommandsScroll.cpp).
    void RollUp();
    void RollDown();
    void NormalRlUp();
    void NormalRlDn();
    void PageUp();
    void PageDown();
    void HalfPageUp();
    void HalfPageDown();
    void RollLeft();
    void RollRight();
    void SlowRlup();
    void SlowRldn();
    void MakeTop();
    void MakeBot();
    void MakeMid();
    // Rows of one smooth-scroll step: more while a key repeats long.
    int ScrollStep() const;
    // Moves the text up (rows > 0) or down; the caret keeps its line while
    // that stays in the window. False when the text could not move.
    bool ScrollRows(long rows);
    // Moves the window and the caret by `rows` (paging).
    void PageRows(long rows);
    void MoveCaretRows(long rows);
    void SetLeftColumn(int column);

    // Selection, clipboard, files, paragraphs (EditorCommandsBlock.cpp).
    void SelectBegin();
    void BoxBegin();
    void BoxPaste();
    void EditPaste();
    void EditCopy();
    void EditCut();
    void SelectAll();
    void FlushBuf();
    void SelectClipBd();
    void Indent();
    void BackInd();
    void EditLeft();
    void EditRight();
    void EditCenter();
    void EditSort();
    void EditConvert();
    void AddString();
    void CopyToFile();
    void AppendFile();
    void PasteFromFile();
    void SaveFile();
    // The lines a paragraph command works on: the selected ones (a
    // selection ending at a line start leaves that line out), else the
    // caret's line.
    struct LineRange {
        std::size_t first = 0, count = 0;
        bool endsAtLineStart = false;
    };
    LineRange SelectedLines();
    // Replaces the selected lines by what `change` makes of them, as one
    // undo step, and selects them again. `linesMove`: the change reorders
    // lines; `paragraphsKept`: paragraphs of the automatic split moved as
    // a whole.
    void ChangeSelectedLines(
        const std::function<std::vector<std::string>(const std::vector<std::string>&)>& change,
        bool linesMove = false, bool paragraphsKept = true);
    bool AskPath(FileDialogKind kind, std::filesystem::path& path);
    void WriteSelection(bool append);
    void ReportFileError(std::string_view verb, const std::filesystem::path& path, int error);

    TextEditor& editor_;
    EditorHost& host_;
    EditorDialogs& dialogs_;
    const EditorOptions& options_;
    std::function<std::time_t()> clock_;
    bool inputCtrlPending_ = false;
    int keyRepeat_ = 0;
    int scrollDirection_ = 0;  // +1 up, -1 down, 0 stopped
    int scrollPeriod_ = 101;
    EditorSearch search_;
};

}  // namespace corvina
