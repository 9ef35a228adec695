#pragma once
// The editor view of every window: paints the display rows of a TextEditor
// and hands it key, input-method and mouse events. Every decision (what a
// key does, where the caret goes, what a row shows) is made by the model in
// src/core/editor; this class draws and forwards. The message viewer of the
// main window is one read-only view, each compose window holds an editing
// one.
//
// The class is split by topic: CIlkaView.cpp (the model, the host calls,
// scrolling), CIlkaViewPaint.cpp (layout and drawing), CIlkaViewKeys.cpp
// (keys, input method, focus), CIlkaViewMouse.cpp (mouse, drag and drop,
// context menus, addresses).

#include <QAbstractScrollArea>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "editor/AddressClick.h"
#include "editor/EditorCommands.h"
#include "editor/EditorHost.h"
#include "editor/KeyDispatcher.h"
#include "editor/RowContent.h"
#include "editor/TextEditor.h"
#include "ui/editor/LineAddresses.h"
#include "ui/editor/RowLayout.h"
#include "ui/editor/ViewMetrics.h"

class QMenu;
class QPainter;

namespace corvina {

class EditorDialogs;
class KeywordTable;
class MailMessage;
struct EditorOptions;

class CIlkaView : public QAbstractScrollArea, private EditorHost, private DocumentWatcher {
    Q_OBJECT

public:
    // options, keywords (may be null) and dialogs must outlive the view;
    // they are the process-wide editor settings and the frame's dialogs.
    CIlkaView(const EditorOptions& options, const KeywordTable* keywords, EditorDialogs& dialogs,
              QWidget* parent = nullptr);
    ~CIlkaView() override;

    // Shows a document the caller keeps, or one the view owns from now on.
    void Attach(MailMessage& document);
    void Attach(std::unique_ptr<MailMessage> document);
    MailMessage* Document() const { return editor_.Document(); }

    // The main window's viewer: nothing edits, line-end marks are not
    // drawn, and the viewer keys post mail commands.
    void SetReadOnly(bool readOnly);
    bool ReadOnly() const { return editor_.ReadOnly(); }

    // Display switches of this view.
    void SetShowLineNumbers(bool on);
    bool ShowLineNumbers() const { return showLineNumbers_; }
    void SetShowChangedLines(bool on);
    bool ShowChangedLines() const { return showChangedLines_; }

    TextEditor& Editor() { return editor_; }
    const TextEditor& Editor() const { return editor_; }
    EditorCommands& Commands() { return commands_; }
    const EditorOptions& Options() const { return options_; }

    // Runs a view command as its key would (the frames' menus); false for
    // a frame command.
    bool RunCommand(EditorCommand command);

    // "All Messages in Folder" asks the frame to show the next or previous
    // message of its list in this view; without a handler there is none.
    void SetAdjacentMessageHandler(std::function<bool(bool next)> handler) {
        adjacentMessage_ = std::move(handler);
    }

    // What a double-click on a web or mail address does (the mail
    // client's preferences); a command of the address menus overrides
    // them for one click.
    void SetDoubleClickActions(WebAddressAction web, MailAddressAction mail);

    // The context menu the view shows at a viewport point: the address
    // menu over a web or mail address, else the editing menu. Each
    // action's data is its command number; the caller owns the menu.
    QMenu* MakeContextMenu(QPoint point);

    // The position indicator ("[   row :col] #line  ") and the code of the
    // character at the caret, as last sent to the frame.
    QString PositionIndicator() const { return positionText_; }
    QString CharacterCode() const { return characterCode_; }

    // --- geometry (CIlkaViewPaint.cpp): viewport pixels <-> display places
    const ViewMetrics& Metrics() const { return metrics_; }
    // Absolute display row at a viewport y (may lie outside the text).
    long RowAtY(int y) const;
    // Display column at a viewport x in `row` (the nearest character edge).
    int ColumnAtX(long row, int x) const;
    // Viewport x of the left edge of `column` in `row`.
    int XOfColumn(long row, int column) const;
    // Viewport y of the top of `row`.
    int YOfRow(long row) const;
    // Whether a viewport point lies over the line-number column or the
    // column gauge.
    bool InLineNumberColumn(QPoint point) const;
    bool InGauge(QPoint point) const;

signals:
    // The position indicator changed (21 characters; spaces without focus).
    void PositionChanged(const QString& text);
    // The code of the character at the caret ("82A0h", "[EOF]"...).
    void CharacterCodeChanged(const QString& text);
    // A short message for the frame's status bar.
    void StatusMessage(const QString& text);
    // A frame command of the key table or a viewer key (its command id).
    void FrameCommand(int commandId);
    // The document was changed for the first time (WM_USER+1021).
    void DocumentChanged();
    // The view got the focus (WM_USER+1023): true for an editing view,
    // false for the read-only viewer.
    void ViewFocused(bool editView);
    // A mail address was double-clicked (or "Mail To This Address"): start
    // a message to `to`; `fromDefaultTemplate` when Shift was held.
    void WriteToAddress(const QString& to, bool fromDefaultTemplate);
    // "Add to Address Book...": the address, the display name in front of
    // it, and the text's web addresses joined with ", ".
    void AddToAddressBook(const QString& address, const QString& displayName,
                          const QString& webAddresses);

protected:
    // --- painting (CIlkaViewPaint.cpp)
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void changeEvent(QEvent* event) override;

    // --- keys, input method, focus (CIlkaViewKeys.cpp)
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool focusNextPrevChild(bool next) override;

    // --- mouse, drag and drop, context menus (CIlkaViewMouse.cpp)
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // --- EditorHost (CIlkaView.cpp)
    std::string ClipboardText() override;
    void SetClipboardText(std::string_view utf8) override;
    void Beep() override;
    void ShowStatus(std::string_view text) override;
    void RedrawRows(long first, long last) override;
    void RedrawAll() override;
    void EnsureCaretVisible() override;
    bool AskString(std::string_view prompt, std::string& value) override;
    void PostFrameCommand(int commandId) override;
    bool SelectAdjacentMessage(bool next) override;
    // DocumentWatcher
    void DocumentModified(const MailMessage& document) override;

    // --- the model and scrolling (CIlkaView.cpp)
    // After every key, mouse or command: scroll bars, the caret kept in
    // view, the indicators.
    void AfterInput();
    void SyncScrollBars();
    void UpdateIndicators();
    void StartOrStopContinuousScroll();

    const EditorOptions& options_;
    const KeywordTable* keywords_;
    EditorDialogs& dialogs_;
    std::unique_ptr<MailMessage> ownedDocument_;
    TextEditor editor_;
    KeyDispatcher dispatcher_;
    EditorCommands commands_;
    std::function<bool(bool)> adjacentMessage_;
    QTimer continuousScroll_;
    QString positionText_;
    QString characterCode_;
    bool showLineNumbers_ = false;
    bool showChangedLines_ = true;
    bool syncingScrollBars_ = false;

    // --- painting state (CIlkaViewPaint.cpp)
    // Fonts and cell sizes from the options; measured again on a font
    // change.
    void UpdateMetrics();
    // Columns the text area shows.
    int VisibleColumns() const;
    // Builds and lays out the cells of one visible row into rowBuffer_ and
    // rowLayout_.
    void LayRow(const TextEditor::VisibleRow& row) const;
    // The layout of display row `row` (a proportional font measures it).
    const RowLayout& LayoutOfRow(long row) const;
    void PaintArea(QPainter& painter, const QRect& area, bool focused);
    void PaintGauge(QPainter& painter, int visibleColumns, bool focused);
    void PaintRow(QPainter& painter, const TextEditor::VisibleRow& row, long rowNumber,
                  bool focused);
    void PaintCaret(QPainter& painter);
    // Repaints what shows the caret when it moved or changed shape: its
    // old and new rows (caret, line pointer, caret-line underline) and the
    // gauge.
    void UpdateCaretArea();
    struct CaretShown {
        long row = 0;
        int column = 0;
        bool insert = true;
        bool operator==(const CaretShown&) const = default;
    };
    CaretShown caretShown_;
    ViewMetrics metrics_;
    // Scratch of the painting and of the geometry queries.
    mutable RowContent rowContent_;
    mutable DisplayRow rowBuffer_;
    mutable RowLayout rowLayout_;
    std::vector<TextEditor::VisibleRow> visibleRows_;
    LineAddresses addresses_;

    // --- input state (CIlkaViewKeys.cpp, CIlkaViewMouse.cpp)
    // The input method's uncommitted text, drawn at the caret.
    QString preedit_;
    int preeditCursor_ = 0;
    // The caret line as the input method sees it, and a UTF-16 index of
    // it as a byte offset.
    QString CaretLineText() const;
    std::size_t OffsetOfIndex(const QString& line, int index) const;

    // Mouse timers and pointer; called once by the constructor.
    void SetUpMouse();
    // The display place at a viewport point: the nearest character edge
    // (`cell`: the character under the point), the row kept inside the
    // window's rows of the text.
    struct DisplayPlace {
        long row = 0;
        int column = 0;
    };
    DisplayPlace PlaceAt(QPoint point, bool cell = false);
    // The clicked place and the text around it for the address
    // decisions; `cell` as for PlaceAt.
    AddressClick ClickAt(QPoint point, bool cell);
    void CarryOut(const AddressDecision& decision, std::size_t line, bool shift);
    void RunContextCommand(EditorCommand command, QPoint point, bool shift);
    void AutoScroll();
    void StartDrag();
    void UpdatePointer(QPoint point);
    bool InSelection(const DisplayPlace& place);

    QTimer autoScroll_;
    QPoint pressPoint_;
    QPoint mousePoint_;
    bool dragPending_ = false;
    WebAddressAction webAction_ = WebAddressAction::kOpen;
    MailAddressAction mailAction_ = MailAddressAction::kWrite;
};

}  // namespace corvina
