#pragma once
// The model of one editor view: the body lines of a MailMessage, the caret
// and the selection over them, typing and the line operations, undo, the
// clipboard and drag and drop. The view only paints what this says and
// forwards key, mouse and input-method events. Text is bytes of the
// working code page; line places are (line index, byte offset), display
// places (absolute display row, column).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "editor/DisplayRows.h"
#include "editor/LineEditBuffer.h"
#include "editor/UndoHistory.h"
#include "message/MailMessage.h"

namespace corvina {

class CodePage;
class DocumentWatcher;
class EditorHost;
struct EditorOptions;

enum class SelectionMode {
    kStream = 0,    // made with Shift or the mouse
    kAnchored = 1,  // anchored by "SelectBegin"; caret movement extends it
    kBox = 2,
};

class TextEditor : private LineEditBuffer::Owner {
public:
    // `options` are the process-wide editor settings and must outlive the
    // editor.
    TextEditor(EditorHost& host, const EditorOptions& options);
    ~TextEditor();
    TextEditor(const TextEditor&) = delete;
    TextEditor& operator=(const TextEditor&) = delete;

    // --- document and settings (TextEditor.cpp)
    // Shows `document` (an empty body gets one empty line); the caret goes
    // to the top, undo starts empty.
    void Attach(MailMessage& document);
    MailMessage* Document() const { return document_; }
    void SetReadOnly(bool readOnly);
    bool ReadOnly() const { return readOnly_; }
    void SetWatcher(DocumentWatcher* watcher) { watcher_ = watcher; }
    // The working code page unless set (tests).
    void SetCodePage(const CodePage& codePage);
    // Row counts are counted again, undo is cleared, the caret goes to the
    // top.
    void SetTabAndWrap(int tab, int wrap);
    int TabWidth() const { return tabWidth_; }
    int WrapWidth() const { return wrapWidth_; }
    const CodePage& TextCodePage() const { return *codePage_; }
    // Commits the open line: the edit buffer is shared by every view.
    void FocusOut();
    // Writes the open line back into its node; false (line kept open)
    // when the line pool has no room.
    bool CommitLine();

    // The whole body, each line with its LF, the open line included.
    std::string Text() const;
    std::size_t LineCount() const;
    // One line as it now stands, with its LF.
    std::string LineText(std::size_t line) const;
    // The line without its LF and without a copy; valid until the text
    // changes.
    std::string_view LineView(std::size_t line) const {
        const std::string_view text = TextOf(line);
        return text.substr(0, text.size() - 1);
    }

    // The mark of a line ("MarkLine", search marks); setting it redraws
    // the line's rows.
    bool LineMarked(std::size_t line) const;
    void SetLineMarked(std::size_t line, bool marked);

    // --- viewport (TextEditorViewport.cpp): the display rows the window
    // shows. The view tells the model its height; scroll commands and
    // jumps move the top row.
    int WindowRows() const { return windowRows_; }
    void SetWindowRows(int rows);
    long TopRow() const { return topRow_; }
    // Clamped to the rows of the text; redraws everything when it moves.
    void ScrollTo(long topRow);
    // The top row that shows the caret's row in the middle of the window.
    void CenterCaretRow();
    // Display rows [first, first + count) that exist, in order, found with
    // one walk: what a view paints. Reuses out's storage.
    struct VisibleRow {
        std::size_t line = 0;
        std::size_t rowStart = 0;  // byte of the line where the row begins
        std::string_view text;     // the line with its LF; valid until the text changes
        bool lastLine = false;
        std::uint8_t lineFlags = 0;  // LineFlag bits, the open line's change included
    };
    void VisibleRows(long first, int count, std::vector<VisibleRow>& out);

    // "PrevPos": jumps (search, JumpLine, TextTop...) note where the caret
    // stood; going back swaps the two places. False when no jump was noted.
    void NoteJumpOrigin();
    bool SwapWithJumpOrigin();

    // --- caret (TextEditorCaret.cpp)
    std::size_t CaretLine() const { return caretLine_; }
    std::size_t CaretOffset() const { return caretPos_; }
    TextPlace Caret() const { return {caretLine_, caretPos_}; }
    long CaretRow() const { return lineRowBase_ + caretRowInLine_; }
    // Column of the caret in its display row, and where it shows (beyond
    // the LF with the free cursor).
    int CaretColumn() const;
    int VirtualColumn() const { return virtualColumn_; }
    int DesiredColumn() const { return desiredColumn_; }
    int LeftColumn() const { return leftColumn_; }
    void SetLeftColumn(int column) { leftColumn_ = column < 0 ? 0 : column; }
    long TotalRows();
    // The line place shown at a display place: the character that covers
    // the column, or the row's end; *reached gets that place's column.
    TextPlace PlaceOfRow(long row, int column, int* reached = nullptr);

    bool MoveCaretTo(std::size_t line, std::size_t offset);
    void MoveCaretToRow(long row, int column);
    void CaretLeft();
    void CaretRight();
    void CaretUp();
    void CaretDown();
    void RowHome();
    void RowEnd();

    // --- typing and line operations (TextEditorEdit.cpp)
    bool InsertMode() const { return insertMode_; }
    void SetInsertMode(bool insert) { insertMode_ = insert; }
    // The automatic line split of this view ("ModeAutoSplit"); starts at
    // the AutoSplit setting.
    bool AutoSplit() const { return autoSplit_; }
    void SetAutoSplit(bool on) { autoSplit_ = on; }
    // One byte from the keyboard; a lead byte waits for the rest of its
    // character. LF or CR splits the line, TAB is InsertTab.
    void TypeChar(unsigned char byte);
    // Whole characters (a UTF-8 character, an input-method commit).
    void TypeText(std::string_view characters);
    void InsertTab();
    void DeleteChar();
    void BackSpace();
    void SplitLine();
    void DeleteLine();
    void PopLine();
    void InsertLineCopy(bool after);
    // Text of the working code page with line ends (LF, CR LF or CR) at
    // the caret as one step, replacing a selection: a paste-history entry,
    // a text block. The caret ends after it. Lines that would grow beyond
    // the line limit continue on a new line.
    bool InsertText(std::string_view text);
    // Replaces lines [first, first + count) by `lines` (without line ends)
    // in one undo step; every new line but the last is marked continued.
    // The caret then goes to `caret`.
    bool ReplaceLines(std::size_t first, std::size_t count, const std::vector<std::string>& lines,
                      TextPlace caret);

    // --- primitives of the editor's commands (TextEditorCommands.cpp)
    // The same with the line flags of each new line given (marks and
    // continued bits stay with the lines a paragraph command moves).
    bool ReplaceLinesWithFlags(std::size_t first, std::size_t count,
                               const std::vector<std::string>& lines,
                               const std::vector<std::uint8_t>& flags, TextPlace caret);
    // Bytes [from, to) replaced by `changed`, which holds the same line
    // ends (a case change), as one undo step; the caret goes after it.
    bool RewriteRange(TextPlace from, TextPlace to, std::string_view changed);

    // --- undo (TextEditorUndo.cpp)
    bool Undo();
    bool Redo();
    bool Repeat();
    std::size_t UndoCount() const { return history_.UndoCount(); }
    std::size_t RedoCount() const { return history_.RedoCount(); }
    UndoHistory& History() { return history_; }

    // --- selection, clipboard, mouse, drag and drop (TextEditorSelection.cpp)
    bool HasSelection() const { return selActive_; }
    SelectionMode Selection() const { return selMode_; }
    bool SelectionExtending() const { return selExtending_; }
    // Start and end as display places (row, column), start before end for
    // stream selections.
    long SelectionStartRow() const;
    int SelectionStartColumn() const;
    long SelectionEndRow() const;
    int SelectionEndColumn() const;
    std::size_t SelectionFirstLine() const;
    std::size_t SelectionLastLine() const;
    // Start and end of a stream selection as line places.
    std::pair<TextPlace, TextPlace> SelectedRange() const { return StreamRange(); }
    // Shift selection: anchors at the caret when none is active; caret
    // movement then extends it.
    void ExtendSelection();
    // "SelectBegin": cancels an active selection, else anchors one.
    void SelectBegin();
    void StartBoxSelection();
    void SelectRange(TextPlace from, TextPlace to);
    void ClearSelection();
    // Stream: the text with LF line ends; box: the rows' lines joined by LF.
    std::string SelectedText() const;
    std::vector<std::string> SelectedBoxLines() const;
    bool DeleteSelection();
    // ASCII letters of a stream selection to upper or lower case (wide
    // characters untouched); false when nothing changed.
    bool ChangeCase(bool upper);

    void Copy();
    void Cut();
    void Paste();
    void PasteWithPrefix(std::string_view prefix);
    void BoxPaste();

    void PressAt(long row, int column, bool shift);
    void DragTo(long row, int column);
    void Release();
    bool Dragging() const { return dragging_; }
    std::string DraggedText() const { return dragging_ ? SelectedText() : std::string(); }
    // Drops the selection of `source` (this editor or another) at a
    // display place: copied, or moved when `copy` is false.
    bool DropAt(TextEditor& source, long row, int column, bool copy);
    // Drops text from another program (bytes of the code page, any line
    // ends) at a display place, padding the line as a view-to-view drop
    // does; one undo step.
    bool DropTextAt(std::string_view text, long row, int column);

    // Test seam: the next `count` line allocations succeed and the ones
    // after fail as if the line pool were exhausted (-1: no limit).
    static void SetLineAllocationBudget(long count);

private:
    struct SelEnd {
        TextPlace place;
        long row = 0;
        int column = 0;  // on screen (the virtual column)
    };
    // Row bases of every few thousandth line once all rows are counted,
    // kept by deltas, so that a jump walks at most kMarkSpacing lines.
    struct RowMark {
        std::size_t line = 0;
        long base = 0;
    };
    static constexpr std::size_t kMarkSpacing = 2048;
    struct BoxSlice {
        std::size_t line = 0;
        std::size_t from = 0, to = 0;
    };

    void CommitOpenLine() override;
    RowMetrics Metrics() const { return {codePage_, tabWidth_, wrapWidth_}; }

    // Lines and rows (TextEditor.cpp).
    std::string_view TextOf(std::size_t line) const;
    static bool TakeLineAllocation();
    bool StoreLine(std::size_t line, std::string_view text);
    bool InsertNode(std::size_t index, std::string_view text);
    MessageLine DetachNode(std::size_t index);
    bool AttachNode(std::size_t index, MessageLine line);
    void RemoveNodes(std::size_t index, std::size_t count);
    void MarkChanged(std::size_t line);
    void NoteModified();
    int RowsOf(std::size_t line);
    int RowsOfUncounted(std::size_t line);
    void SetRows(std::size_t line, int rows);
    void ResetRows();
    void TellNoMemory();
    void CheckRecordFailure();

    // Caret (TextEditorCaret.cpp).
    void ResetCaret();
    bool FreeCursorOn() const;
    long SumRows(std::size_t first, std::size_t last);
    long RowBaseOf(std::size_t line);
    void BuildRowMarks();
    void ShiftRowMarks(std::size_t line, long lines, long rows);
    const RowMark* MarkAtOrBefore(std::size_t line) const;
    const RowMark* MarkAtOrBeforeRow(long row) const;
    bool PlaceCaret(std::size_t line, std::size_t offset);
    void UpdateCaretRow();
    int CountRowsFromRestart();
    void SyncVirtualColumn();
    void AfterMove();
    // After a move that is not up or down: the desired column is gone.
    void AfterSideMove();
    void KeepDesiredColumn(int desired);
    void MoveToRowColumn(long row, int column);
    TextPlace ClampPlace(TextPlace place) const;

    // Editing in the caret's line (TextEditorEdit.cpp).
    bool Editable() const;
    bool OpenCaretLine();
    void AfterBufferChange();
    bool InsertInLine(std::string_view bytes, UndoKind kind);
    bool InsertAtCaret(std::string_view bytes, UndoKind kind);
    bool OverwriteAtCaret(std::string_view character);
    bool FillToVirtualColumn();
    std::string WholeCharacters(std::string_view text) const;
    static std::size_t ExpectedUtf8Length(char lead);
    bool DeleteSelectionFirst();
    bool PrepareDelete();
    bool JoinNext(UndoKind kind, TextPlace before);
    bool SplitAtCaret();

    // The automatic line split (TextEditorAutoSplit.cpp).
    int LineColumnOfCaret();
    void AutoSplitAfterTyping(std::string_view character, int columnBefore);
    void AutoSplitAfterRemoval();
    void AutoSplitParagraph();

    // Line primitives (TextEditorText.cpp).
    std::string TextBetween(TextPlace from, TextPlace to) const;
    TextPlace PlaceAfter(TextPlace at, std::string_view text) const;
    bool ReplaceLineRange(std::size_t first, std::size_t count,
                          const std::vector<std::string>& lines);
    bool InsertRaw(TextPlace at, std::string_view text, TextPlace* end);
    bool EraseRaw(TextPlace from, TextPlace to);
    bool InsertTextAt(TextPlace at, std::string_view text, UndoKind kind);
    bool EraseWithUndo(TextPlace from, TextPlace to, UndoKind kind);
    bool InsertWholeLine(std::size_t index, std::string_view text, std::uint8_t flags);
    void RemoveWholeLine(std::size_t index);
    bool ChangeLines(std::size_t first, std::size_t count, const std::vector<std::string>& lines,
                     const std::vector<std::uint8_t>& flags, UndoKind kind, TextPlace caretAfter);
    void RefuseTooLong();
    void RedrawAfterLinesChanged();

    // Undo (TextEditorUndo.cpp).
    bool Replay(bool undo);
    void ApplyUndo(const UndoRecord& record);
    void ApplyRedo(const UndoRecord& record);
    void ReplaceRecordedLines(std::size_t first, std::size_t count, std::string_view text,
                              const std::vector<std::uint8_t>& flags);

    // Selection (TextEditorSelection.cpp).
    static std::string WithLf(std::string_view text);
    SelEnd EndAtCaret() const;
    void FollowCaret();
    void Anchor(SelectionMode mode);
    std::pair<TextPlace, TextPlace> StreamRange() const;
    std::vector<BoxSlice> BoxSlices() const;
    bool DeleteBoxSelection();

    EditorHost& host_;
    const EditorOptions& options_;
    const CodePage* codePage_;
    MailMessage* document_ = nullptr;
    DocumentWatcher* watcher_ = nullptr;
    const MailMessage* notified_ = nullptr;
    UndoHistory history_;
    bool readOnly_ = false;
    bool insertMode_ = true;
    bool autoSplit_ = true;
    bool freeCursorForced_ = false;
    bool noMemoryTold_ = false;
    bool undoLossTold_ = false;
    bool replaying_ = false;  // undo replays: lines are not marked changed
    int tabWidth_ = 8;
    int wrapWidth_ = 80;

    std::size_t caretLine_ = 0;
    std::size_t caretPos_ = 0;
    std::size_t caretRowStart_ = 0;  // byte where the caret's row begins
    int caretRowInLine_ = 0;
    // A row start of the caret's line at least two rows before the caret's
    // row (or the line start), valid until a line changes other than by
    // typing: an edit at the caret cannot move the rows before it, so the
    // rows are counted again only from there.
    std::size_t rowRestart_ = 0;
    int rowRestartIndex_ = 0;
    bool rowRestartValid_ = false;
    long lineRowBase_ = 0;  // display row of the caret line's first row
    int virtualColumn_ = 0;
    int desiredColumn_ = -1;
    int leftColumn_ = 0;
    long topRow_ = 0;
    int windowRows_ = 1;
    TextPlace jumpOrigin_;
    bool hasJumpOrigin_ = false;
    long totalRows_ = 0;
    bool totalsKnown_ = false;
    std::vector<RowMark> rowMarks_;
    std::string openText_;      // the open line as it stands
    bool lineOpen_ = false;     // the caret's line is in openText_
    bool lineChanged_ = false;  // and differs from its node
    std::string pending_;       // lead bytes of a character being typed

    bool selActive_ = false;
    SelectionMode selMode_ = SelectionMode::kStream;
    bool selExtending_ = false;
    SelEnd selAnchor_;
    SelEnd selEnd_;
    bool pressed_ = false;
    bool dragging_ = false;
};

}  // namespace corvina
